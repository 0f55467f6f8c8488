// Keeping the last "KeepBackups" backups of each item. Every backup that TazuHere, TazuHereZip,
// TazuThere or TazuThereZip makes is recorded (backup_record.h), whatever the setting. After the
// backup, the item's earlier recorded backups in the folder where this one was made go to the
// Recycle Bin, oldest first, beyond the newest N (the new one counts), but only those still at
// their recorded path with their recorded identity, that are no link and that hold neither the
// item nor the working folder. Names never decide, and nothing else in the folder is looked at.
// Nothing is deleted for good, and a move that the bin could not take without pushing out what
// it holds is not made. The backup itself stays a success whatever the clean-up meets; the
// result window says what happened.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "backup_item.h"
#include "backup_record.h"
#include "recycle_bin.h"

// ---- Which earlier backups go (pure) ---------------------------------------------------------

// What was found at the path of an earlier backup of the item in the folder.
enum CandidateState {
    CandidateOurs = 0,        // there with its recorded identity
    CandidateGone = 1,        // nothing there
    CandidateChanged = 2,     // renamed, replaced or edited since: the user's now
    CandidateLink = 3,        // a link or another reparse point
    CandidateHoldsItem = 4,   // holds the item or the working folder
};

enum CandidateAction {
    ActionStay = 0,           // one of the newest N
    ActionMove = 1,           // older than the newest N: to the Recycle Bin
    ActionForget = 2,         // gone or no longer ours: its record goes, nothing else happens
    ActionStayInUse = 3,      // older than the newest N, but a link or holding the item
};

// For the earlier backups of an item in a folder, oldest first: with the new backup, the newest
// `keep` of those still ours stay; the older ones move unless they are links or hold the item.
// `keep` 0 or less keeps everything.
void planOlderBackups(const CandidateState* states, size_t count, int keep, CandidateAction* actions);

// Byte count as Windows shows sizes: "512 bytes", "1.2 KB", "340 MB", "1.2 GB" (units of 1024;
// three significant digits). Pure.
void formatByteSize(unsigned long long bytes, wchar_t* out, size_t capacity);

// ---- The record and the clean-up -------------------------------------------------------------

enum CleanupOutcome {
    CleanupNothingToDo = 0,   // "KeepBackups" 0, or nothing older than the newest N
    CleanupMoved = 1,         // every backup older than the newest N that may move went
    CleanupNoRecycleBin = 2,  // the drive has no Recycle Bin: nothing moved
    CleanupNoRoom = 3,        // the bin has no room for all of them: nothing moved
    CleanupStopped = 4,       // a backup could not be moved; the ones before it went
    CleanupNoRecord = 5,      // the record of backups made could not be used: nothing moved
    CleanupNoTurn = 6,        // another run of the item into the folder kept its turn: the new
                              // backup is not recorded either
};

struct CleanupReport {
    CleanupOutcome outcome;
    RecordStatus record;            // of recording the new backup
    int moved;                      // went to the Recycle Bin
    int stayed;                     // older than the newest N and still there (moves not made)
    int inUse;                      // of those, links or holding the item or the working folder
    wchar_t drive[MAX_PATH];        // the drive of the folder (no bin, no room)
    unsigned long long bytes;       // what would have moved (no room)
    wchar_t stoppedAt[MAX_PATH];    // name of the backup that could not be moved
};

// After the operation made the new backup of the item (g_run.lastNewPath): records it, and when
// "KeepBackups" is 1 or more moves the older backups as above and reports in the result window.
// With "KeepBackups" 1 or more a run without its turn (backup_turn.h) neither records nor moves
// anything. Never fails the item.
void recordAndCleanUp(const BackupItem* item, bool haveTurn, CleanupReport* report = nullptr);
