// TazuHere's core action: each item is copied beside itself (or into the folder chosen for the
// run when "SelDir" is 1) under its new name.
#include "here.h"

#include "backup_steps.h"
#include "run_state.h"

int RunCoreAction(const wchar_t* itemPath)
{
    BackupItem item;
    if (beginBackupItem(itemPath, &item) != 0) return -1;
    if (runBackupLoop(&item, destinationBesideItem, OutputCopyOrRename, copyToNewPath) != 0) return -1;
    if (item.kind == ItemFile) checkVirtualStore(g_run.lastNewPath);
    return 0;
}
