// Keeping the last "KeepBackups" backups of each item: after a successful backup by one of the
// four backup commands, the item's earlier backups in the folder where this one was made are
// ordered by their added strings, and those beyond the newest N (the new one counts) go to the
// Recycle Bin, oldest first. Never deleted for good: on a drive without a Recycle Bin nothing is
// removed, and the shell warns instead of deleting what the bin cannot take. A backup that
// cannot be moved stops the clean-up; the backup itself stays a success. The result window says
// what happened.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "backup_steps.h"
#include "earlier_backups.h"

// One earlier backup: its name in the destination folder and the order of its added strings.
struct EarlierBackup {
    wchar_t name[MAX_PATH];
    BackupNameKey key;
};

// Earlier backups of the item in a folder (with trailing backslash), besides the new backup
// newName, listed with the current settings. *list is allocated from the process heap (free
// it with freeEarlierBackups) and holds *count entries. Returns 0, or -1 when the folder cannot
// be listed or memory runs short (nothing is listed then).
int listEarlierBackups(const wchar_t* folder, const BackupItem* item, const wchar_t* newName,
                       EarlierBackup** list, size_t* count);
void freeEarlierBackups(EarlierBackup* list);

// Orders the list newest first and returns how many of its entries go (the last ones) so that,
// with the new backup, `keep` backups remain. Pure.
size_t orderAndCountSurplus(EarlierBackup* list, size_t count, int keep);

// What the clean-up did, for the result window and for tests.
enum CleanupOutcome {
    CleanupNothingToDo = 0,   // "KeepBackups" 0, nothing added to the names, or nothing surplus
    CleanupMoved = 1,         // every surplus backup went to the Recycle Bin
    CleanupNoRecycleBin = 2,  // the drive has no Recycle Bin: nothing removed
    CleanupStopped = 3,       // a backup could not be moved; the ones before it went
};

struct CleanupReport {
    CleanupOutcome outcome;
    int moved;
    wchar_t stayed[MAX_PATH];   // the backup that could not be moved (CleanupStopped)
};

// The clean-up after a successful backup of the item (g_run.lastNewPath is the new backup).
// Reports in the result window unless there was nothing to do. Never fails the item.
void removeOlderBackups(const BackupItem* item, CleanupReport* report = nullptr);

// Whether the folder's drive has a Recycle Bin in use: a fixed drive (not a network share, not
// removable media) whose bin the user or a policy has not turned off. The seam lets tests play
// a drive without one, which Wine does not have; nullptr restores the check.
typedef bool (*RecycleBinCheck)(const wchar_t* folder);
void setRecycleBinCheck(RecycleBinCheck check);
bool folderHasRecycleBin(const wchar_t* folder);
