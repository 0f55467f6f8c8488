// Rules about item and destination paths as text.
#include "path_rules.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

bool hasWildcard(const wchar_t* path)
{
    return wcspbrk(path, L"*?<>\"") != nullptr;
}


namespace {

bool isDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

bool withoutTrailingBackslashes(const wchar_t* path, wchar_t* out, size_t capacity)
{
    if (copyText(out, capacity, path) != 0) return false;
    size_t length = wcslen(out);
    while (length > 0 && out[length - 1] == L'\\') out[--length] = L'\0';
    return true;
}


void comparisonPath(const wchar_t* path, wchar_t* out, size_t capacity)
{
    wchar_t full[kComparedPathChars];
    DWORD length = GetFullPathNameW(path, kComparedPathChars, full, nullptr);
    if (length == 0 || length >= kComparedPathChars) {
        copyText(out, capacity, path);
        return;
    }
    length = GetLongPathNameW(full, out, static_cast<DWORD>(capacity));
    if (length == 0 || length >= capacity) copyText(out, capacity, full);
}


bool isFullPath(const wchar_t* path)
{
    if (path[0] == L'\\' && path[1] == L'\\') return true;
    return isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

bool isRootPath(const wchar_t* path)
{
    if (!path || !path[0]) return false;
    wchar_t text[kComparedPathChars];
    if (!withoutTrailingBackslashes(path, text, kComparedPathChars)) return false;
    // Nothing but backslashes: the root of the current drive.
    if (!text[0]) return true;

    const wchar_t* rest = text;
    bool unc = false;
    if (wcsncmp(rest, L"\\\\?\\", 4) == 0 || wcsncmp(rest, L"\\\\.\\", 4) == 0) {
        rest += 4;
        if (_wcsnicmp(rest, L"UNC\\", 4) == 0) {
            rest += 4;
            unc = true;
        }
    } else if (rest[0] == L'\\' && rest[1] == L'\\') {
        rest += 2;
        unc = true;
    }
    if (unc) {
        // Server, or server and share, without anything below them.
        const wchar_t* slash = wcschr(rest, L'\\');
        return !slash || !wcschr(slash + 1, L'\\');
    }
    return wcslen(rest) == 2 && isDriveLetter(rest[0]) && rest[1] == L':';
}

bool isWithinFolder(const wchar_t* path, const wchar_t* folder)
{
    wchar_t inner[kComparedPathChars];
    wchar_t outer[kComparedPathChars];
    if (!withoutTrailingBackslashes(path, inner, kComparedPathChars) ||
        !withoutTrailingBackslashes(folder, outer, kComparedPathChars) || !outer[0])
        return false;
    size_t outerLength = wcslen(outer);
    size_t innerLength = wcslen(inner);
    if (innerLength < outerLength) return false;
    if (innerLength > outerLength && inner[outerLength] != L'\\') return false;
    return CompareStringOrdinal(inner, static_cast<int>(outerLength), outer, static_cast<int>(outerLength), TRUE) ==
           CSTR_EQUAL;
}


bool isDriveOrSharePath(const wchar_t* path)
{
    if (!path) return false;
    if (isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') return true;
    if (path[0] != L'\\' || path[1] != L'\\') return false;
    // A server name and a share name, neither empty; never the "?" or "." of a device path.
    const wchar_t* server = path + 2;
    const wchar_t* slash = wcschr(server, L'\\');
    if (!slash || slash == server || ((server[0] == L'?' || server[0] == L'.') && slash == server + 1)) return false;
    const wchar_t* share = slash + 1;
    return share[0] != L'\0' && share[0] != L'\\';
}
