// Steps that the copy and archive commands share for each item: the existence check, the loop
// that finds a free and writable new path (destination, composition, length check, collision
// rule, write test, re-selection), the folder dialog, the shell copy with its clean-up, and the
// virtual-store check. A core action picks its destination rule and its operation:
//
//   BackupItem item;
//   if (beginBackupItem(path, &item) != 0) return -1;
//   if (runBackupLoop(&item, destinationBesideItem, OutputCopyOrRename, copyToNewPath) != 0) return -1;
//   if (item.kind == ItemFile) checkVirtualStore(g_run.lastNewPath);
#pragma once
#include <stddef.h>
#include <windows.h>
#include <shellapi.h>
#include "naming.h"
#include "paths.h"

constexpr size_t kErrorTextChars = 256;

// Working state of one item.
struct BackupItem {
    wchar_t path[kPathChars];           // one trailing backslash removed
    WIN32_FIND_DATAW entry;             // its directory entry, found when the item began
    ItemKind kind;
    PathParts parts;                    // split anew at each pass
    int collisions;                     // collisions of this item's new paths
    wchar_t errorText[kErrorTextChars]; // of the last failed write test
};

// Outcome of one step of a pass.
enum PassStep { PassGoOn = 0, PassAgain = 1, PassFail = -1 };

// Removes one trailing backslash, checks that the item exists (else the "Please select a folder
// or file." message and -1), notes it in the result window, takes its kind and sets the
// collision count to 0. Returns 0 or -1.
int beginBackupItem(const wchar_t* itemPath, BackupItem* item);

// Destination rule of one pass, run after the item path has been split into item->parts: sets
// g_run.destinationFolder (ending with a backslash). Returns PassGoOn, PassAgain (start the
// next pass) or PassFail (the item fails; any message has been shown).
typedef int (*DestinationRule)(BackupItem* item);

// Beside the item: the folder dialog when no folder is chosen yet and "SelDir" is 1 (the item's
// own folder preselected); the chosen folder if set, else the item's own folder.
int destinationBesideItem(BackupItem* item);

// The folder dialog of a pass with the result window as owner: a typed folder that does not
// exist gives PassAgain; a cancelled dialog PassFail; otherwise the chosen folder (with a
// trailing backslash) is created when missing, and PassGoOn, or, when it cannot be created,
// the creation message and PassAgain with the chosen folder cleared.
int askForChosenFolder(const wchar_t* initialFolder);

// What an operation returns when it found the new path taken before it began: the loop then
// applies the collision rule instead of writing over someone else's item.
constexpr int kNewPathTaken = 1;

// The item's operation on the free, tested new path: 0 on success, -1 on failure (messages
// shown), or kNewPathTaken.
typedef int (*ItemOperation)(BackupItem* item, const wchar_t* newPath);

// The loop of one item: per pass split, destination rule, composition (g_run.lastNewPath),
// length check, collision rule, write test (the file form for archives) with re-selection on
// failure, and finally the operation. A path that is found taken after the write test counts
// as a collision. Returns the operation's result (0 or -1).
int runBackupLoop(BackupItem* item, DestinationRule destination, OutputKind output, ItemOperation operation);

// The folder dialog: result receives the chosen folder path (no trailing backslash added), or
// stays unchanged when the user cancels or the choice has no file-system path; result is
// emptied when the user typed a folder that does not exist (then g_run.validateFailed is set
// and the "Selected folder does not exist." warning has been shown).
void chooseFolder(HWND owner, const wchar_t* initialFolder, wchar_t* result, size_t capacity);

// Initial folder of a re-selection: the chosen folder if set; else "Path" if not empty and it
// exists; else the user's documents folder.
void suggestedFolder(wchar_t* out, size_t capacity);

// Write test of a new path: a file (after creating its destination folder) or a folder is
// created where the new item will go and removed again. Returns 0, -1 with the error text, or
// kNewPathTaken when the new path exists already (nothing is then created or removed).
int writeTest(const wchar_t* newPath, ItemKind kind, const wchar_t* destinationFolder,
              wchar_t* errorText, size_t capacity);

// Re-selection after a failed write test: the "Can not backup." warning with the error text and
// the new path, then the folder dialog preselecting suggestedFolder, repeated while the user
// types folders that do not exist. Returns PassAgain with the chosen folder set (ending with a
// backslash), or PassFail when the dialog was cancelled.
int reselectAfterFailedWriteTest(const wchar_t* errorText, const wchar_t* newPath);

// Composition step of a pass, after the destination rule: composes the new path into newPath
// (and g_run.lastNewPath), checks its length and applies the collision rule. Returns PassGoOn
// with a free new path, PassAgain (compose again; any wait is done) or PassFail (message shown).
int composeFreeNewPath(BackupItem* item, OutputKind output, wchar_t* newPath, size_t capacity);

// One shell file operation (FO_COPY, FO_RENAME or FO_DELETE; `to` null for a deletion) on a
// single item, without owner window. Paths lose one trailing backslash, so a folder's new path
// names the folder itself. Returns 0 when the shell reports success, else -1.
int shellFileOperation(UINT operation, const wchar_t* from, const wchar_t* to, FILEOP_FLAGS flags);

// Shell copy of the item to the new path (the shell shows its own progress, confirmations and
// errors; the copy can be undone). On failure it removes what the copy created. It never
// writes over or removes an item that was there before it began: then kNewPathTaken.
int copyToNewPath(BackupItem* item, const wchar_t* newPath);

// After a successful file copy: stores the "VirtualStore" folder below the local application
// data folder and sets g_run.virtualStoreFlag when the new file's name lies directly in it.
void checkVirtualStore(const wchar_t* newFilePath);

// Seam for tests: called after a successful write test, just before the operation.
typedef void (*BeforeOperationHook)(const wchar_t* newPath);
void setBeforeOperationHook(BeforeOperationHook hook);
