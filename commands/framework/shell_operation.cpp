// The shell's file operation on one item.
#include "shell_operation.h"

#include <string.h>

#include "backup_item.h"
#include "paths.h"

namespace {

ShellOperationCall g_shellOperation = SHFileOperationW;

// Buffer of a single path for the shell's file operations: ends with two zero characters. A
// folder's path ends with a backslash; given so, the shell would copy the folder into a new
// folder of that name instead of making the new folder the copy, so it goes.
void shellPathList(wchar_t* out, size_t capacity, const wchar_t* path)
{
    memset(out, 0, capacity * sizeof(wchar_t));
    copyText(out, capacity - 1, path);
    removeTrailingBackslash(out);
}

}  // namespace

int shellFileOperation(UINT operation, const wchar_t* from, const wchar_t* to, FILEOP_FLAGS flags)
{
    // Room for a path, a "\*" after it and the list's second terminator.
    wchar_t fromList[kPathChars + 3];
    wchar_t toList[kPathChars + 3];
    shellPathList(fromList, kPathChars + 3, from);
    shellPathList(toList, kPathChars + 3, to ? to : L"");

    SHFILEOPSTRUCTW request;
    memset(&request, 0, sizeof request);
    request.hwnd = nullptr;
    request.wFunc = operation;
    request.pFrom = fromList;
    request.pTo = to ? toList : nullptr;
    request.fFlags = flags;
    if (g_shellOperation(&request) != 0) return -1;
    // A cancel, or a part the user chose to skip, can come back as success.
    return request.fAnyOperationsAborted ? -1 : 0;
}

void setShellOperationCall(ShellOperationCall call)
{
    g_shellOperation = call ? call : SHFileOperationW;
}

int renameToNewPath(const BackupItem* item, const wchar_t* newPath)
{
    if (shellFileOperation(FO_RENAME, item->path, newPath, FOF_ALLOWUNDO) != 0) return -1;
    // A rename that the user declined can still come back as success.
    return pathExists(newPath) ? 0 : -1;
}

