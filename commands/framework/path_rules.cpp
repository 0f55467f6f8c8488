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

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Whether `count` characters of a name are `word` (ASCII, any case).
bool sameWord(const wchar_t* name, size_t count, const char* word)
{
    size_t length = strlen(word);
    if (count != length) return false;
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = name[i];
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != static_cast<wchar_t>(word[i])) return false;
    }
    return true;
}

// A port's number: 1 to 9, or the superscript 1, 2 or 3 that Windows takes for them.
bool isPortDigit(wchar_t c)
{
    return (c >= L'1' && c <= L'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3;
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


bool namesReservedDevice(const wchar_t* path)
{
    if (!path) return false;
    size_t end = wcslen(path);
    while (end > 0 && isSeparator(path[end - 1])) --end;
    size_t start = end;
    while (start > 0 && !isSeparator(path[start - 1])) --start;
    // "C:NUL" names the device as well as "C:\NUL" does.
    if (start == 0 && end >= 2 && isDriveLetter(path[0]) && path[1] == L':') start = 2;
    // Windows strips dots and blanks from the end of a name; the device's word ends at the first
    // dot (or a stream's colon), and blanks before that go too.
    while (end > start && (path[end - 1] == L'.' || path[end - 1] == L' ')) --end;
    size_t word = start;
    while (word < end && path[word] != L'.' && path[word] != L':') ++word;
    while (word > start && path[word - 1] == L' ') --word;
    const wchar_t* name = path + start;
    const size_t count = word - start;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : kDevices)
        if (sameWord(name, count, device)) return true;
    return count == 4 && (sameWord(name, 3, "COM") || sameWord(name, 3, "LPT")) && isPortDigit(name[3]);
}
