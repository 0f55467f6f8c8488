// The claim of a new path and the write test.
#include "new_path_claim.h"

#include <windows.h>
#include <string.h>

#include "errors.h"
#include "paths.h"
#include "settings.h"

int writeTest(const wchar_t* newPath, ItemKind kind, const wchar_t* destinationFolder,
              wchar_t* errorText, size_t capacity)
{
    if (capacity) errorText[0] = L'\0';
    // Never create and then remove something under a name that is already in use.
    if (pathExists(newPath)) return kNewPathTaken;
    int code = makeFolder(destinationFolder);
    if (code != 0) {
        ErrorCodeText(static_cast<DWORD>(code), g_settings.language, errorText, capacity);
        return -1;
    }
    int claimed = claimNewPath(newPath, kind, errorText, capacity);
    if (claimed == kNewPathTaken) return kNewPathTaken;
    if (claimed != 0) return -1;
    // Made by the create call above, so it is this test's to remove.
    if (kind == ItemFolder) {
        wchar_t folder[kPathChars];
        copyText(folder, kPathChars, newPath);
        removeTrailingBackslash(folder);
        RemoveDirectoryW(folder);
    } else {
        DeleteFileW(newPath);
    }
    return 0;
}

int claimNewPath(const wchar_t* newPath, ItemKind kind, wchar_t* errorText, size_t capacity)
{
    if (capacity) errorText[0] = L'\0';
    DWORD error = 0;
    if (kind == ItemFolder) {
        wchar_t folder[kPathChars];
        copyText(folder, kPathChars, newPath);
        removeTrailingBackslash(folder);
        if (CreateDirectoryW(folder, nullptr)) return 0;
        error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return kNewPathTaken;
        ErrorCodeText(error, g_settings.language, errorText, capacity);
        return kNewPathNotWritable;
    }
    HANDLE file = CreateFileW(newPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 0;
    }
    error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return kNewPathTaken;
    SystemErrorText(error, g_settings.language, errorText, capacity);
    return kNewPathNotWritable;
}
