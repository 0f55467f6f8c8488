// The beginning of one item and the refusal of a destination inside it.
#include "backup_item.h"

#include <string.h>
#include <wchar.h>

#include "command_texts.h"
#include "final_path.h"
#include "message_box.h"
#include "path_rules.h"
#include "result_window.h"
#include "settings.h"

int refuseDestinationInsideItem(const BackupItem* item, const wchar_t* destinationFolder)
{
    if (item->kind != ItemFolder) return PassGoOn;
    wchar_t destination[kComparedPathChars];
    wchar_t itemPath[kComparedPathChars];
    comparisonPath(destinationFolder, destination, kComparedPathChars);
    comparisonPath(item->path, itemPath, kComparedPathChars);
    const bool insideByText = isWithinFolder(destination, itemPath);
    // The archiver leaves out the archive it writes when the archive lies below the item's path
    // as written; reached another way it would take in its own unfinished file.
    bool inside = item->output == OutputCopyOrRename && insideByText;
    if (!insideByText) {
        // A link or another drive letter can lead into the item under a path that looks
        // outside it: the paths that the file system reaches decide.
        wchar_t finalDestination[kComparedPathChars];
        wchar_t finalItem[kComparedPathChars];
        inside = finalPath(destination, finalDestination, kComparedPathChars) &&
                 finalPath(itemPath, finalItem, kComparedPathChars) && isWithinFolder(finalDestination, finalItem);
    }
    if (!inside) return PassGoOn;
    showMessageF(MB_ICONERROR, g_settings.language, kDestinationInsideItemText, destinationFolder, item->path);
    return PassFail;
}

int beginBackupItem(const wchar_t* itemPath, BackupItem* item)
{
    memset(item, 0, sizeof *item);
    // A drive root or a share would lose its meaning with its backslash ("C:" is the current
    // folder of drive C), and it is never an item to back up, zip or rename.
    if (itemPath && isRootPath(itemPath)) {
        showMessageF(MB_ICONERROR, g_settings.language, kItemNotFoundText, itemPath);
        return -1;
    }
    copyText(item->path, kPathChars, itemPath ? itemPath : L"");
    removeTrailingBackslash(item->path);
    // "CON" or "nul.txt" opens a device: the search below would find it and the copy or rename
    // fail without a word of why.
    if (namesReservedDevice(item->path)) {
        showMessageF(MB_ICONERROR, g_settings.language, kReservedItemNameText, item->path);
        return -1;
    }

    HANDLE search = hasWildcard(item->path) ? INVALID_HANDLE_VALUE : FindFirstFileW(item->path, &item->entry);
    if (search == INVALID_HANDLE_VALUE) {
        showMessageF(MB_ICONERROR, g_settings.language, kItemNotFoundText, item->path);
        return -1;
    }
    FindClose(search);

    // A relative path (a program started from a console or a script) names an item of the
    // working folder, where the search above found it; the steps below work with full paths.
    if (item->path[0] && !isFullPath(item->path)) {
        wchar_t full[kComparedPathChars];
        DWORD length = GetFullPathNameW(item->path, kComparedPathChars, full, nullptr);
        if (length == 0 || length >= kComparedPathChars || isRootPath(full)) {
            showMessageF(MB_ICONERROR, g_settings.language, kItemNotFoundText, item->path);
            return -1;
        }
        removeTrailingBackslash(full);
        if (wcslen(full) >= kPathChars) {
            showMessageF(MB_ICONERROR, g_settings.language, kQuotedPathTooLongText, static_cast<int>(kPathChars), full);
            return -1;
        }
        copyText(item->path, kPathChars, full);
    }

    // The item as the record of backups names it: the same wherever it was reached from.
    if (!finalPathOfExisting(item->path, item->finalPath, kComparedPathChars))
        comparisonPath(item->path, item->finalPath, kComparedPathChars);
    noteItem(item->path);
    item->kind = (item->entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ItemFolder : ItemFile;
    item->collisions = 0;
    return 0;
}
