// Destination rule of the destination commands (TazuThere and TazuThereZip).
#pragma once

struct BackupItem;

// While no folder is chosen for the run, each pass decides whether to ask for one ("SelDir" 1
// or an empty "Path"), or uses "Path", creating it with all parents when missing (the creation
// message and the dialog when that fails, or when "Path" is too long for a folder path, which is
// then not created at all; a "Path" that is no full path or holds characters a folder path may
// not hold gets its own message, then the dialog). A folder item's copy is refused before a
// "Path" inside the item is
// created. The destination is the chosen folder if set, else "Path"; never the item's own
// folder. Returns a PassStep.
int destinationInBackupFolder(BackupItem* item);
