// One item of a backup run: its working state, the checks when it begins (it exists, it is no
// drive root or share nor named like a device, a relative path is made full) and the refusal of
// a destination inside it.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "naming.h"
#include "path_rules.h"
#include "paths.h"

constexpr size_t kErrorTextChars = 256;

// Working state of one item.
struct BackupItem {
    wchar_t path[kPathChars];           // one trailing backslash removed
    wchar_t finalPath[kComparedPathChars]; // where the file system has it, after every link
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
// item: the same message names the path as given. An item named like a device (CON, nul.txt)
// gets its own message before anything else. Returns 0 or -1.
int beginBackupItem(const wchar_t* itemPath, BackupItem* item);

// A folder copied into a destination inside itself would copy into its own copy: a destination
// folder that is a folder item or lies below it is refused with its message, whether its path
// says so or a link or another drive letter leads there (the final paths of the destination,
// or of its nearest existing folder, and of the item are compared). An archive written below
// the item's path as written is left out by the archiver and so is not refused; one reached
// another way is. Returns PassGoOn or PassFail.
int refuseDestinationInsideItem(const BackupItem* item, const wchar_t* destinationFolder);
