// The record of backups made: one line for every backup that TazuHere, TazuHereZip, TazuThere or
// TazuThereZip made, kept in the settings folder beside "tazu.ini". The clean-up of older
// backups acts only on what a record names, and only while the backup there still has the
// identity it was recorded with: names never decide.
//
// The file is UTF-8 text with CR LF line ends: a first line that names the format, then one
// record per line, oldest first, fields separated by tabs (which no Windows name holds):
//   kind and output ("FC" file copy, "DC" folder copy, "FA"/"DA" archive of a file/folder),
//   volume serial (16 hex digits), file ID (32), size (decimal: a file's size, the digest of a
//   folder's contents, 0 in folder records made before there was one), time (16 hex digits of a
//   FILETIME: a file's last write, a folder's creation), the item's final path, the backup's.
// Runs that write it take turns by opening it for themselves alone, each waiting a bounded
// time. A last line cut short by a run that ended while writing it is left out (its backup is
// simply kept); anything else that does not read as a record makes the whole file one this
// program does not understand, which it then leaves alone.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "backup_identity.h"
#include "naming.h"

// Name of the file in the settings folder.
extern const wchar_t* const kRecordFileName;

// The file holds at most this many records. Appending one more drops the oldest down to
// kRecordsAfterTrim, whose backups are then simply kept: the whole file is written anew once
// in a thousand backups, not at every one.
constexpr size_t kMaxRecords = 10000;
constexpr size_t kRecordsAfterTrim = 9000;

constexpr size_t kRecordPathChars = 520;

struct BackupRecord {
    ItemKind itemKind;
    OutputKind output;
    BackupIdentity identity;                 // of the backup when it was made
    wchar_t itemPath[kRecordPathChars];      // the item's final path
    wchar_t backupPath[kRecordPathChars];    // the backup's final path
};

enum RecordStatus {
    RecordOk = 0,
    RecordNoPlace = 1,       // there is no settings folder to keep it in
    RecordLocked = 2,        // another program kept it open past the wait
    RecordUnavailable = 3,   // it cannot be created, read or written (read-only, access denied)
    RecordDamaged = 4,       // it holds what this program did not write
};

// ---- One line (pure) ------------------------------------------------------------------------

// The record's line in UTF-8 without its line end. Returns its length, or -1 when it does not
// fit or a path cannot be written as UTF-8.
int formatRecordLine(const BackupRecord* record, char* out, size_t capacity);

// Reads one line (without its line end). Returns 0, or -1 when it is not a record.
int parseRecordLine(const char* line, size_t length, BackupRecord* record);

// Whether two records are of the same item backed up the same way: the same final path of
// the item (exactly: the file system gives a final path in the case it stores), the same kind
// and the same output.
bool sameItemAndOutput(const BackupRecord* a, const BackupRecord* b);

// ---- The file -------------------------------------------------------------------------------

// Records of one item, oldest first, allocated from the process heap.
struct RecordList {
    BackupRecord* records;
    size_t count;
};
void freeRecordList(RecordList* list);

// Appends the record of a backup just made and returns in *earlier the records of the same item
// and output that came before it (empty unless RecordOk). The file is created when missing.
RecordStatus recordBackupMade(const wchar_t* recordPath, const BackupRecord* made, RecordList* earlier);

// Removes the lines of the given records (moved to the Recycle Bin, or whose backups are gone
// or no longer ours) from the file.
RecordStatus dropRecords(const wchar_t* recordPath, const BackupRecord* dropped, size_t count);

// Path of the record file of the running program's settings folder; empty when there is none.
void recordFilePath(wchar_t* out, size_t capacity);

// Seam for tests: the pause between two attempts to open the file while another program has it
// (Sleep by default; nullptr restores it). The attempts stop after kRecordWaitMs of pauses.
constexpr DWORD kRecordWaitMs = 5000;
constexpr DWORD kRecordRetryMs = 50;
typedef void (*RecordPause)(DWORD milliseconds);
void setRecordPause(RecordPause pause);
