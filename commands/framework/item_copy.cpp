// The shell copy of an item into its claimed new path.
#include "item_copy.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "backup_identity.h"
#include "backup_item.h"
#include "command_texts.h"
#include "copied_tree.h"
#include "copy_verify.h"
#include "message_box.h"
#include "new_path_claim.h"
#include "settings.h"
#include "shell_operation.h"

namespace {

// Whether a folder holds anything besides "." and "..".
bool folderHasEntries(const wchar_t* folder)
{
    wchar_t pattern[kPathChars + 2];
    if (_snwprintf(pattern, kPathChars + 2, L"%s\\*", folder) < 0) return true;
    pattern[kPathChars + 1] = L'\0';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() != ERROR_FILE_NOT_FOUND;
    bool any = false;
    do {
        any = wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0;
    } while (!any && FindNextFileW(search, &entry));
    FindClose(search);
    return any;
}

// The shell copy into the claimed new path: a file over its own empty claim (no question to
// replace it, it is this run's), a folder's contents into its claimed folder.
int copyIntoClaim(const BackupItem* item, const wchar_t* newPath)
{
    if (item->kind == ItemFile) return shellFileOperation(FO_COPY, item->path, newPath, FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
    if (folderHasEntries(item->path)) {
        wchar_t contents[kPathChars + 2];
        _snwprintf(contents, kPathChars + 2, L"%s\\*", item->path);
        contents[kPathChars + 1] = L'\0';
        if (shellFileOperation(FO_COPY, contents, newPath, FOF_ALLOWUNDO) != 0) return -1;
    }
    // The claimed folder is new: give it the item's own attributes, as a copy of the folder has.
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (item->entry.dwFileAttributes & kept) {
        wchar_t folder[kPathChars];
        copyText(folder, kPathChars, newPath);
        removeTrailingBackslash(folder);
        SetFileAttributesW(folder, item->entry.dwFileAttributes & kept);
    }
    return 0;
}

}  // namespace

int copyToNewPath(BackupItem* item, const wchar_t* newPath)
{
    int claimed = claimNewPath(newPath, item->kind, item->errorText, kErrorTextChars);
    if (claimed != 0) return claimed;
    // What the claim made, so that a failed copy removes this and nothing else.
    wchar_t claimPath[kPathChars];
    copyText(claimPath, kPathChars, newPath);
    removeTrailingBackslash(claimPath);
    ObservedObject claim;
    bool claimKnown = observeObject(claimPath, &claim) == 0 && !claim.reparsePoint;

    int result = copyIntoClaim(item, newPath);
    wchar_t difference[kPathChars + kPathChars];
    bool incomplete = result == 0 && compareCopiedTree(item->path, newPath, difference, kPathChars + kPathChars) != CopyComplete;
    // With "Verify" 1 a complete copy counts only once it was read back and found equal.
    CopyVerify verify = {};
    bool unverified = result == 0 && !incomplete && verifyCopyWhenAsked(item->path, newPath, &verify) != VerifyMatch;
    if (result == 0 && !incomplete && !unverified) {
        releaseCopyVerifyHold();
        reportCopyVerify(item->path, &verify);
        return 0;
    }

    // What lies at the new path now is this run's failed copy only while it is still the object
    // that the claim created; anything else there is someone else's and stays.
    ObservedObject now;
    if (claimKnown && observeObject(claimPath, &now) == 0 && !now.reparsePoint && sameObject(&now.identity, &claim.identity))
        shellFileOperation(FO_DELETE, newPath, nullptr, FOF_NOCONFIRMATION);
    releaseCopyVerifyHold();
    if (incomplete) showMessageF(MB_ICONERROR, g_settings.language, kCopyIncompleteText, difference);
    reportCopyVerify(item->path, &verify);
    return -1;
}
