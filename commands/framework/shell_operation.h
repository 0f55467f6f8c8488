// The shell's file operation on one item, as the commands use it: copy, rename and delete,
// without owner window, and a seam for what only a user can do in its windows.
#pragma once
#include <windows.h>
#include <shellapi.h>

struct BackupItem;

// One shell file operation (FO_COPY, FO_RENAME or FO_DELETE; `to` null for a deletion) on a
// single item, without owner window. Paths lose one trailing backslash, so a folder's new path
// names the folder itself. Returns 0 when the shell reports success and nothing was aborted
// (the shell returns 0 also when the user cancelled or skipped a part), else -1.
int shellFileOperation(UINT operation, const wchar_t* from, const wchar_t* to, FILEOP_FLAGS flags);

// Shell rename of the item to the new path (the shell shows its own confirmations and errors).
// Counts only when the shell reports success and the new name exists afterwards. Returns 0 or -1.
int renameToNewPath(const BackupItem* item, const wchar_t* newPath);

// Seam for tests: the shell's file operation (SHFileOperationW by default; nullptr restores it),
// so that a cancel or a skip, which only a user can give, can be played.
typedef int (WINAPI* ShellOperationCall)(LPSHFILEOPSTRUCTW request);
void setShellOperationCall(ShellOperationCall call);
