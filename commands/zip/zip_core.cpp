// What the two ZIP commands share: the archive as the item's operation and the core around it.
#include "zip.h"

#include "archive_item.h"
#include "run_state.h"
#include "settings.h"

int archiveToNewPath(const BackupItem* item, const wchar_t* newPath)
{
    // The loop has just found the archive path free (a taken one counts as a collision), so a
    // failure's clean-up only ever deletes what the library left.
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
