// Location-URL and parameter texts of the file-manager integration.
#include "explorer_url.h"

#include <windows.h>
#include <wchar.h>

namespace {

const wchar_t kFilePrefix[] = L"file:";
const wchar_t kLocalFilePrefix[] = L"file:///";
const wchar_t kLocalHostPrefix[] = L"//localhost/";
const wchar_t kSelectPrefix[] = L"/select,";
const wchar_t kExplorerProgram[] = L"explorer.exe";

int hexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool startsWithIgnoringCase(const wchar_t* text, const wchar_t* prefix)
{
    size_t n = wcslen(prefix);
    return wcslen(text) >= n && _wcsnicmp(text, prefix, n) == 0;
}

// Appends `text` at out[*used], keeping room for the terminator.
int appendText(wchar_t* out, size_t capacity, size_t* used, const wchar_t* text)
{
    size_t n = wcslen(text);
    if (*used + n + 1 > capacity) return -1;
    wmemcpy(out + *used, text, n);
    *used += n;
    out[*used] = L'\0';
    return 0;
}

void replaceChar(wchar_t* text, wchar_t from, wchar_t to)
{
    for (; *text; ++text)
        if (*text == from) *text = to;
}

} // namespace

int percentDecode(const wchar_t* text, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    size_t used = 0;
    for (const wchar_t* p = text; *p;) {
        wchar_t c = *p++;
        if (c == L'%') {
            if (*p == L'\0') {
                out[0] = L'\0';
                return -1;
            }
            // The escape takes the next two characters, but never reads past the end: a "%"
            // with a single character after it decodes that one.
            unsigned value = 0;
            int digits = 0;
            bool inDigits = true;
            for (int i = 0; i < 2 && *p; ++i, ++p) {
                int digit = inDigits ? hexValue(*p) : -1;
                if (digit < 0) {
                    inDigits = false;
                } else {
                    value = value * 16 + static_cast<unsigned>(digit);
                    ++digits;
                }
            }
            // No hexadecimal digit ("%zz") or a zero character ("%00") would cut the path short
            // and name another folder: not a location that can be named.
            if (digits == 0 || value == 0) {
                out[0] = L'\0';
                return -1;
            }
            c = static_cast<wchar_t>(value);
        }
        if (used + 1 >= capacity) {
            out[0] = L'\0';
            return -1;
        }
        out[used++] = c;
    }
    out[used] = L'\0';
    return 0;
}

int urlToPath(const wchar_t* url, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    out[0] = L'\0';
    size_t localLength = wcslen(kLocalFilePrefix);
    if (wcslen(url) <= localLength) return -1;

    size_t used = 0;
    int rc;
    if (_wcsnicmp(url, kLocalFilePrefix, localLength) == 0) {
        const wchar_t* rest = url + localLength;
        if (wcschr(rest, L':')) {
            rc = appendText(out, capacity, &used, rest);
        } else {
            rc = appendText(out, capacity, &used, kLocalHostPrefix);
            if (rc == 0) rc = appendText(out, capacity, &used, rest);
        }
    } else {
        rc = appendText(out, capacity, &used, url + wcslen(kFilePrefix));
    }
    if (rc != 0) out[0] = L'\0';
    return rc;
}

int locationUrlToFolderPath(const wchar_t* locationUrl, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    out[0] = L'\0';
    size_t length = wcslen(locationUrl);
    if (length >= kLocationUrlLimit) return -1;

    wchar_t url[kLocationUrlLimit];
    wmemcpy(url, locationUrl, length + 1);
    replaceChar(url, L'\\', L'/');
    if (length > 0 && url[length - 1] == L'/') url[length - 1] = L'\0';
    if (!startsWithIgnoringCase(url, kFilePrefix)) return -1;

    wchar_t decoded[kLocationUrlLimit];
    if (percentDecode(url, decoded, kLocationUrlLimit) != 0) return -1;
    if (urlToPath(decoded, out, capacity) != 0) return -1;
    replaceChar(out, L'/', L'\\');
    return 0;
}

int selectParameter(const wchar_t* folder, const wchar_t* itemName, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    out[0] = L'\0';
    size_t used = 0;
    size_t folderLength = wcslen(folder);
    int rc = appendText(out, capacity, &used, kSelectPrefix);
    if (rc == 0) rc = appendText(out, capacity, &used, L"\"");
    if (rc == 0) rc = appendText(out, capacity, &used, folder);
    if (rc == 0 && (folderLength == 0 || folder[folderLength - 1] != L'\\'))
        rc = appendText(out, capacity, &used, L"\\");
    if (rc == 0) rc = appendText(out, capacity, &used, itemName);
    if (rc == 0) rc = appendText(out, capacity, &used, L"\"");
    if (rc != 0) out[0] = L'\0';
    return rc;
}

int explorerProgramPath(const wchar_t* windowsFolder, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    out[0] = L'\0';
    size_t folderLength = wcslen(windowsFolder);
    if (folderLength == 0) return -1;
    size_t used = 0;
    int rc = appendText(out, capacity, &used, windowsFolder);
    if (rc == 0 && windowsFolder[folderLength - 1] != L'\\') rc = appendText(out, capacity, &used, L"\\");
    if (rc == 0) rc = appendText(out, capacity, &used, kExplorerProgram);
    if (rc != 0) out[0] = L'\0';
    return rc;
}

int raiseShowCommand(unsigned placementShowCommand)
{
    switch (placementShowCommand) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_FORCEMINIMIZE:
        return SW_SHOWNOACTIVATE;
    default:
        return SW_SHOWNA;
    }
}
