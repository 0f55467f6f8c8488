// TazuThere: backup to the destination folder.
#pragma once

struct BackupItem;

// Destination rule of the destination commands (TazuThere and TazuThereZip): while no folder is
// chosen for the run, each pass decides whether to ask for one ("SelDir" 1 or an empty "Path"),
// or uses "Path", creating it with all parents when missing (the creation message and the
// dialog when that fails). The destination is the chosen folder if set, else "Path"; never the
// item's own folder. Returns a PassStep.
int destinationInBackupFolder(BackupItem* item);

// Copies one item into the destination folder under its new name. Returns 0 or -1 (messages
// shown).
int RunCoreAction(const wchar_t* itemPath);
