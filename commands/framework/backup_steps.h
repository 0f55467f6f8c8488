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
    OutputKind output;                  // set by the loop: a copy or an archive
    PathParts parts;                    // split anew at each pass
    int collisions;                     // collisions of this item's new paths
    wchar_t errorText[kErrorTextChars]; // of the last failed write test
};

// Outcome of one step of a pass.
enum PassStep { PassGoOn = 0, PassAgain = 1, PassFail = -1 };

// Removes one trailing backslash, makes a relative path full against the working folder (a full
// path of 260 characters or more gives the path-length message), checks that the item exists
// (else the "Please select a folder or file." message and -1), notes it in the result window,
// takes its kind and sets the collision count to 0. A drive root or a bare share is never an
// item: the same message names the path as given. Returns 0 or -1.
int beginBackupItem(const wchar_t* itemPath, BackupItem* item);

// Whether a path names a drive root or a share rather than an item in it: "C:", "C:", "",
// "\server", "\server\share" (each with or without trailing backslashes, also in the "\?"
// and "\." forms). Pure text.
bool isRootPath(const wchar_t* path);

// Whether `path` is `folder` itself or lies anywhere below it; both full paths, with or without
// trailing backslash, compared without regard to case. Pure text.
bool isWithinFolder(const wchar_t* path, const wchar_t* folder);

// A folder copied into a destination inside itself would copy into its own copy: a destination
// folder that is a folder item or lies below it is refused with its message, whether its path
// says so or a link or another drive letter leads there (the final paths of the destination,
// or of its nearest existing folder, and of the item are compared). An archive written below
// the item's path as written is left out by the archiver and so is not refused; one reached
// another way is. Returns PassGoOn or PassFail.
int refuseDestinationInsideItem(const BackupItem* item, const wchar_t* destinationFolder);

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
// What an operation returns when the new path cannot be created after all (item->errorText
// tells why): the loop then runs the re-selection as after a failed write test.
constexpr int kNewPathNotWritable = 2;

// The item's operation on the free, tested new path: 0 on success, -1 on failure (messages
// shown), kNewPathTaken or kNewPathNotWritable.
typedef int (*ItemOperation)(BackupItem* item, const wchar_t* newPath);

// The loop of one item: per pass split, destination rule, the refusal of a copy's destination
// inside the item, composition (g_run.lastNewPath), length check, collision rule, write test
// (the file form for archives) with re-selection on failure, and finally the operation. A path
// that is found taken after the write test counts as a collision. Returns the operation's
// result (0 or -1).
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
// created where the new item will go and removed again. Only what the test's own create call
// made is removed: a path that exists already, or that another program takes between the check
// and the create call, gives kNewPathTaken and is left alone. Returns 0, -1 with the error
// text, or kNewPathTaken.
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
// names the folder itself. Returns 0 when the shell reports success and nothing was aborted
// (the shell returns 0 also when the user cancelled or skipped a part), else -1.
int shellFileOperation(UINT operation, const wchar_t* from, const wchar_t* to, FILEOP_FLAGS flags);

// Takes the new path for this run with a create call that fails when anything is there: an
// empty file, or an empty folder. Returns 0 (the path is this run's), kNewPathTaken, or
// kNewPathNotWritable with the error text.
int claimNewPath(const wchar_t* newPath, ItemKind kind, wchar_t* errorText, size_t capacity);

// Shell copy of the item to the new path (the shell shows its own progress, confirmations and
// errors; the copy can be undone). The new path is first claimed (claimNewPath): a file is
// copied over its own empty claim, a folder's contents into its claimed folder. The copy then
// counts only when compareCopiedTree finds it complete; else the message names the first file
// missing or cut short. A failed, cancelled or incomplete copy is removed with its claim, and
// only then: nothing this run did not create is ever written over or removed. Returns 0, -1,
// kNewPathTaken or kNewPathNotWritable.
int copyToNewPath(BackupItem* item, const wchar_t* newPath);

// Shell rename of the item to the new path (the shell shows its own confirmations and errors).
// Counts only when the shell reports success and the new name exists afterwards. Returns 0 or -1.
int renameToNewPath(const BackupItem* item, const wchar_t* newPath);

// After a successful file copy: stores the "VirtualStore" folder below the local application
// data folder and sets g_run.virtualStoreFlag when the new file's name lies directly in it.
void checkVirtualStore(const wchar_t* newFilePath);

// Seam for tests: called after a successful write test, just before the operation.
typedef void (*BeforeOperationHook)(const wchar_t* newPath);
void setBeforeOperationHook(BeforeOperationHook hook);

// Seam for tests: the shell's file operation (SHFileOperationW by default; nullptr restores it),
// so that a cancel or a skip, which only a user can give, can be played.
typedef int (WINAPI* ShellOperationCall)(LPSHFILEOPSTRUCTW request);
void setShellOperationCall(ShellOperationCall call);
