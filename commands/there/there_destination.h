// Destination rule of the destination-folder commands (TazuThere, TazuThereZip): the folder of
// "Path", created when missing, or the folder chosen in the dialog during the run.
#pragma once
#include "backup_steps.h"

// Destination rule of one pass: while no folder is chosen for the run, asks with the folder
// dialog when "SelDir" is 1 or "Path" is empty (preselecting suggestedFolder), uses an existing
// "Path", creates a missing one (on failure the creation message, then the dialog preselecting
// "Path"). The destination folder is the chosen folder if set, else "Path"; never the item's
// own folder. Returns PassGoOn, PassAgain or PassFail.
int destinationInBackupFolder(BackupItem* item);
