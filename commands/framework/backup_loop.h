// The loop that finds a free and writable new path for one item of the copy and archive
// commands: per pass the destination rule, the refusal of a destination inside the item, the
// composition with its length check and collision rule, the write test with re-selection, and
// last the item's operation.
#pragma once
#include <stddef.h>

#include "backup_item.h"
#include "naming.h"

// Destination rule of one pass, run after the item path has been split into item->parts: sets
// g_run.destinationFolder (ending with a backslash). Returns PassGoOn, PassAgain (start the
// next pass) or PassFail (the item fails; any message has been shown).
typedef int (*DestinationRule)(BackupItem* item);

// Beside the item: the folder dialog when no folder is chosen yet and "SelDir" is 1 (the item's
// own folder preselected); the chosen folder if set, else the item's own folder.
int destinationBesideItem(BackupItem* item);

// The item's operation on the free, tested new path: 0 on success, -1 on failure (messages
// shown), kNewPathTaken or kNewPathNotWritable.
typedef int (*ItemOperation)(BackupItem* item, const wchar_t* newPath);

// The loop of one item: per pass split, destination rule, the refusal of a copy's destination
// inside the item, composition (g_run.lastNewPath), length check, collision rule, write test
// (the file form for archives) with re-selection on failure, and finally the operation. A path
// that is found taken after the write test counts as a collision. Returns the operation's
// result (0 or -1).
int runBackupLoop(BackupItem* item, DestinationRule destination, OutputKind output, ItemOperation operation);

// Composition step of a pass, after the destination rule: composes the new path into newPath
// (and g_run.lastNewPath), checks its length, refuses a new name that a device reserves (with its
// message) and applies the collision rule. Returns PassGoOn
// with a free new path, PassAgain (compose again; any wait is done) or PassFail (message shown).
int composeFreeNewPath(BackupItem* item, OutputKind output, wchar_t* newPath, size_t capacity);

// Seam for tests: called after a successful write test, just before the operation.
typedef void (*BeforeOperationHook)(const wchar_t* newPath);
void setBeforeOperationHook(BeforeOperationHook hook);
