// TazuThere's core action: each item is copied into one destination folder, "Path" or a folder
// chosen during the run, under its new name.
#include "there.h"

#include "backup_steps.h"
#include "run_state.h"
#include "there_destination.h"

int RunCoreAction(const wchar_t* itemPath)
{
    BackupItem item;
    if (beginBackupItem(itemPath, &item) != 0) return -1;
    if (runBackupLoop(&item, destinationInBackupFolder, OutputCopyOrRename, copyToNewPath) != 0) return -1;
    if (item.kind == ItemFile) checkVirtualStore(g_run.lastNewPath);
    return 0;
}
