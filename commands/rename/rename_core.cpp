// TazuRename's core action: the item itself takes its new name in its own folder. No folder
// dialog, no write test: a rename that the system refuses is reported by the shell.
#include "rename.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "backup_steps.h"
#include "naming.h"
#include "run_state.h"
#include "settings.h"

namespace {

// Shell rename of the item; the shell shows its own confirmations and errors, and the rename
// can be undone in the file manager. Returns 0 or -1.
int renameThroughShell(const wchar_t* itemPath, const wchar_t* newPath)
{
    // Path lists of the shell's file operations end with two zero characters.
    wchar_t from[kPathChars + 1];
    wchar_t to[kPathChars + 1];
    memset(from, 0, sizeof from);
    memset(to, 0, sizeof to);
    copyText(from, kPathChars, itemPath);
    copyText(to, kPathChars, newPath);
    // A folder's new path ends with a backslash; the shell wants the folder's name.
    removeTrailingBackslash(to);

    SHFILEOPSTRUCTW rename;
    memset(&rename, 0, sizeof rename);
    rename.hwnd = nullptr;
    rename.wFunc = FO_RENAME;
    rename.pFrom = from;
    rename.pTo = to;
    rename.fFlags = FOF_ALLOWUNDO;
    return SHFileOperationW(&rename) == 0 ? 0 : -1;
}

} // namespace

int RunCoreAction(const wchar_t* itemPath)
{
    BackupItem item;
    if (beginBackupItem(itemPath, &item) != 0) return -1;

    for (;;) {
        memset(&item.parts, 0, sizeof item.parts);
        if (splitPath(item.path, item.kind == ItemFolder, &item.parts) != 0 ||
            joinFolder(&item.parts, g_run.destinationFolder, kFolderChars) != 0) {
            g_run.destinationFolder[0] = L'\0';
            return -1;
        }

        wchar_t newPath[kComposedPathChars];
        size_t length = 0;
        if (composeBackupPath(g_run.destinationFolder, &item.parts, item.kind, OutputCopyOrRename,
                              &g_settings, newPath, kComposedPathChars, &length) != NamingOk) {
            showSerialOverflowMessage(g_settings.language);
            return -1;
        }
        copyText(g_run.lastNewPath, kPathChars, newPath);
        if (checkNewPathLength(newPath, length, item.kind, OutputCopyOrRename, g_settings.language) != 0)
            return -1;

        int step = applyCollisionRule(newPath, &item.collisions, &g_settings);
        if (step == CollisionGiveUp) return -1;
        if (step == CollisionRetry) continue;

        if (renameThroughShell(item.path, newPath) != 0) return -1;
        if (item.kind == ItemFile) checkVirtualStore(newPath);
        return 0;
    }
}
