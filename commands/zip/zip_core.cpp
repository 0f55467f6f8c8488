// What the two ZIP commands share: the archive as the item's operation and the core around it.
#include "zip.h"

#include "archive_item.h"
#include "run_state.h"
#include "settings.h"

int archiveToNewPath(BackupItem* item, const wchar_t* newPath)
{
    // Taken by another run while the library worked (two items of the same name zipped into one
    // folder in the same second): a name collision like any other, never a failure.
    int result = archiveItem(item->path, newPath, &item->entry, g_settings.language);
    if (result == kArchivePathTaken) return kNewPathTaken;
    return result == 0 ? 0 : -1;
}

int runZipCore(const wchar_t* itemPath, DestinationRule destination)
{
    BackupItem item;
    if (beginBackupItem(itemPath, &item) != 0) return -1;
    if (runBackupLoop(&item, destination, OutputArchive, archiveToNewPath) != 0) return -1;
    checkVirtualStore(g_run.lastNewPath);
    return 0;
}
