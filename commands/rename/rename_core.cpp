// TazuRename's core action: the item itself takes its new name in its own folder. No folder
// dialog, no write test: a rename that the system refuses is reported by the shell.
#include "rename.h"

#include <string.h>

#include "backup_steps.h"
#include "naming.h"
#include "run_state.h"
#include "settings.h"

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
        int step = composeFreeNewPath(&item, OutputCopyOrRename, newPath, kComposedPathChars);
        if (step == PassAgain) continue;
        if (step != PassGoOn) return -1;

        // The shell shows its own confirmations and errors; the rename can be undone.
        if (renameToNewPath(&item, newPath) != 0) return -1;
        if (item.kind == ItemFile) checkVirtualStore(newPath);
        return 0;
    }
}
