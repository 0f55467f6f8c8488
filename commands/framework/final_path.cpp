// Final paths of existing and of not yet existing paths.
#include "final_path.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

#include "path_rules.h"

namespace {

// GetFinalPathNameByHandleW, which systems before Vista lack.
FinalPathCall systemFinalPathCall()
{
    static const FinalPathCall call = reinterpret_cast<FinalPathCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    return call;
}

FinalPathCall g_finalPathCall;

}  // namespace

void setFinalPathCall(FinalPathCall call)
{
    g_finalPathCall = call;
}

bool finalPathOfHandle(HANDLE handle, wchar_t* out, size_t capacity)
{
    FinalPathCall call = g_finalPathCall ? g_finalPathCall : systemFinalPathCall();
    if (!call) return false;
    wchar_t final[kComparedPathChars];
    DWORD length = call(handle, final, kComparedPathChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // Some network redirectors cannot normalize a name: the name as opened, links resolved all
    // the same, still says where the path leads.
    if (length == 0) length = call(handle, final, kComparedPathChars, FILE_NAME_OPENED | VOLUME_NAME_DOS);
    if (length == 0 || length >= kComparedPathChars) return false;
    const wchar_t* plain = final;
    if (_wcsnicmp(final, L"\\\\?\\UNC\\", 8) == 0) {
        final[6] = L'\\';
        plain = final + 6;
    } else if (wcsncmp(final, L"\\\\?\\", 4) == 0) {
        plain = final + 4;
    }
    return copyText(out, capacity, plain) == 0;
}

bool finalPathOfExisting(const wchar_t* path, wchar_t* out, size_t capacity)
{
    if (!g_finalPathCall && !systemFinalPathCall()) return false;
    // Backup semantics open a folder as well as a file; nothing of the contents is read.
    HANDLE handle = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool found = finalPathOfHandle(handle, out, capacity);
    CloseHandle(handle);
    return found;
}

// Final path of a full path that may not exist yet (a destination still to be made): the final
// path of its nearest existing folder, with the missing rest appended as written. False when no
// part of it resolves.
bool finalPath(const wchar_t* path, wchar_t* out, size_t capacity)
{
    wchar_t full[kComparedPathChars];
    if (!withoutTrailingBackslashes(path, full, kComparedPathChars) || !full[0]) return false;
    size_t end = wcslen(full);
    for (;;) {
        wchar_t part[kComparedPathChars];
        wmemcpy(part, full, end);
        part[end] = L'\0';
        // A drive's root keeps its backslash: "C:" alone names the current folder of drive C.
        if (end == 2 && part[1] == L':') wcscpy(part + 2, L"\\");
        if (finalPathOfExisting(part, out, capacity)) break;
        size_t cut = end;
        while (cut > 0 && full[cut - 1] != L'\\') --cut;
        // Never shorter than a drive's root or a share: "\\server" alone is no folder, and "\"
        // alone the root of the working folder's drive.
        if (cut <= 2) return false;
        end = cut - 1;
    }
    if (!full[end]) return true;
    // The rest begins with its separator; a root's final path ("C:\") ends with one already.
    size_t used = wcslen(out);
    const wchar_t* rest = full + end;
    if (used > 0 && out[used - 1] == L'\\') ++rest;
    if (used + wcslen(rest) >= capacity) return false;
    wcscpy(out + used, rest);
    return true;
}
