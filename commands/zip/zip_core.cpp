// What the two ZIP commands share: the archive as the item's operation and the core around it.
#include "zip.h"

#include "archive_item.h"
#include "run_state.h"
#include "settings.h"

int archiveToNewPath(const BackupItem* item, const wchar_t* newPath)
{
    // Never let a failure's clean-up delete an archive path that someone else holds.
    if (pathExists(newPath)) return kNewPathTaken;
    return archiveItem(item->path, newPath, &item->entry, g_settings.language);
}

int runZipCore(const wchar_t* itemPath, DestinationRule destination)
{
    BackupItem item;
    if (beginBackupItem(itemPath, &item) != 0) return -1;
    if (runBackupLoop(&item, destination, OutputArchive, archiveToNewPath) != 0) return -1;
    checkVirtualStore(g_run.lastNewPath);
    return 0;
}
