// What the two ZIP commands share: the archive as the item's operation and the core around it.
#include "zip.h"

#include "archive_item.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

// The result window says that the archive was read back, and how many of its bytes.
void noteVerifiedArchive(const wchar_t* itemPath, const wchar_t* archivePath)
{
    WIN32_FILE_ATTRIBUTE_DATA archive;
    ULONGLONG bytes = 0;
    if (GetFileAttributesExW(archivePath, GetFileExInfoStandard, &archive))
        bytes = (static_cast<ULONGLONG>(archive.nFileSizeHigh) << 32) | archive.nFileSizeLow;
    noteVerified(itemPath, bytes, kArchiveVerifiedSentence);
}

}  // namespace

int archiveToNewPath(BackupItem* item, const wchar_t* newPath)
{
    // Taken by another run while the library worked (two items of the same name zipped into one
    // folder in the same second): a name collision like any other, never a failure.
    const bool verify = g_settings.verify == 1;
    int result = archiveItem(item->path, newPath, &item->entry, g_settings.language, verify);
    if (result == kArchivePathTaken) return kNewPathTaken;
    if (result != 0) return -1;
    if (verify) noteVerifiedArchive(item->path, newPath);
    return 0;
}

int runZipCore(const wchar_t* itemPath, DestinationRule destination)
{
    BackupItem item;
    if (beginBackupItem(itemPath, &item) != 0) return -1;
    if (runBackupLoop(&item, destination, OutputArchive, archiveToNewPath) != 0) return -1;
    checkVirtualStore(g_run.lastNewPath);
    return 0;
}
