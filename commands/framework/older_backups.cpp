// The record of each backup and the clean-up of an item's older backups.
#include "older_backups.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "backup_identity.h"
#include "command_texts.h"
#include "destination.h"
#include "final_path.h"
#include "path_rules.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

// ---- Sizes ----

// What a move takes into the bin: a file's size, or the bytes of a folder's files (links in it
// are not followed: the bin takes the link, not what it leads to).
unsigned long long backupBytes(const BackupRecord* record)
{
    if (!record->identity.folder) return record->identity.size;
    FolderContents contents;
    folderContents(record->backupPath, &contents);
    return contents.bytes;
}

// ---- What lies at an earlier backup's path ----

// The folder part of a path without trailing backslash ("D:\Backup\x" gives "D:\Backup\").
size_t folderLength(const wchar_t* path)
{
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? static_cast<size_t>(slash - path + 1) : 0;
}

CandidateState observeCandidate(const BackupRecord* record, const wchar_t* itemFinalPath, const wchar_t* workingFolder)
{
    ObservedObject seen;
    if (observeObject(record->backupPath, &seen) != 0) {
        // Nothing there. A path that is there but cannot be opened stays the user's concern.
        return pathExists(record->backupPath) ? CandidateChanged : CandidateGone;
    }
    // A folder's contents count as well, unless its record predates their digest.
    if (record->identity.folder && record->identity.size != 0 && seen.identity.folder && !seen.reparsePoint &&
        sameObject(&seen.identity, &record->identity)) {
        FolderContents contents;
        folderContents(record->backupPath, &contents);
        seen.identity.size = contents.digest;
    }
    if (!sameIdentity(&seen.identity, &record->identity)) return CandidateChanged;
    // Reached by another way than recorded (a folder on the way became a link): not where ours was.
    if (seen.finalPath[0] && wcscmp(seen.finalPath, record->backupPath) != 0) return CandidateChanged;
    if (seen.reparsePoint) return CandidateLink;
    if (record->identity.folder &&
        (isWithinFolder(itemFinalPath, record->backupPath) || (workingFolder[0] && isWithinFolder(workingFolder, record->backupPath))))
        return CandidateHoldsItem;
    return CandidateOurs;
}

void workingFolderFinalPath(wchar_t* out, size_t capacity)
{
    out[0] = L'\0';
    wchar_t current[kComparedPathChars];
    DWORD length = GetCurrentDirectoryW(kComparedPathChars, current);
    if (length == 0 || length >= kComparedPathChars) return;
    if (!finalPathOfExisting(current, out, capacity)) copyText(out, capacity, current);
}

// ---- The report ----

void reportIn(const wchar_t* itemName, const CleanupReport* done)
{
    UiLanguage language = g_settings.language;
    wchar_t note[64] = L"";
    wchar_t sentence[3 * MAX_PATH + 256] = L"";
    const size_t noteChars = sizeof note / sizeof note[0];
    const size_t sentenceChars = sizeof sentence / sizeof sentence[0];
    wchar_t recordPath[kSettingsPathChars];
    recordFilePath(recordPath, kSettingsPathChars);

    if (done->moved > 0) {
        formatInto(note, noteChars, pickText(kOlderMovedNote, language), done->moved);
        formatInto(sentence, sentenceChars, pickText(kOlderMovedSentence, language), itemName, done->moved);
        noteCleanup(note, sentence);
    }
    const wchar_t* shortNote = nullptr;
    switch (done->outcome) {
    case CleanupNoRecycleBin:
        shortNote = pickText(kOlderKeptNote, language);
        formatInto(sentence, sentenceChars, pickText(kOlderKeptNoBinSentence, language), itemName, done->stayed, done->drive);
        break;
    case CleanupNoRoom: {
        wchar_t size[32];
        formatByteSize(done->bytes, size, sizeof size / sizeof size[0]);
        shortNote = pickText(kOlderNoRoomNote, language);
        formatInto(sentence, sentenceChars, pickText(kOlderNoRoomSentence, language), itemName, done->stayed, done->drive, size);
        break;
    }
    case CleanupStopped:
        shortNote = pickText(kOlderStoppedNote, language);
        formatInto(sentence, sentenceChars, pickText(kOlderStoppedSentence, language), itemName, done->stoppedAt, done->stayed);
        break;
    case CleanupNoRecord: {
        const BilingualText* why = &kOlderRecordUnusableSentence;
        if (done->record == RecordLocked) why = &kOlderRecordLockedSentence;
        else if (done->record == RecordDamaged) why = &kOlderRecordDamagedSentence;
        else if (done->record == RecordNoPlace) why = &kOlderRecordNoPlaceSentence;
        shortNote = pickText(kOlderNoRecordNote, language);
        formatInto(sentence, sentenceChars, pickText(*why, language), itemName, recordPath);
        break;
    }
    case CleanupNoTurn:
        shortNote = pickText(kOlderNoTurnNote, language);
        formatInto(sentence, sentenceChars, pickText(kOlderNoTurnSentence, language), itemName);
        break;
    default:
        break;
    }
    if (shortNote) noteCleanup(shortNote, sentence);
    if (done->inUse > 0) {
        formatInto(sentence, sentenceChars, pickText(kOlderInUseSentence, language), itemName, done->inUse);
        noteCleanup(done->moved > 0 || shortNote ? L"" : pickText(kOlderInUseNote, language), sentence);
    }
}

// ---- The steps ----

// Describes the new backup for its record. Returns 0, or -1 when it cannot be looked at.
int describeNewBackup(const BackupItem* item, BackupRecord* made)
{
    memset(made, 0, sizeof *made);
    wchar_t path[kPathChars];
    copyText(path, kPathChars, g_run.lastNewPath);
    removeTrailingBackslash(path);
    ObservedObject seen;
    if (observeObject(path, &seen) != 0 || seen.reparsePoint) return -1;
    made->itemKind = item->kind;
    made->output = item->output;
    made->identity = seen.identity;
    if (copyText(made->itemPath, kRecordPathChars, item->finalPath) != 0) return -1;
    if (seen.finalPath[0]) {
        if (copyText(made->backupPath, kRecordPathChars, seen.finalPath) != 0) return -1;
    } else {
        comparisonPath(path, made->backupPath, kRecordPathChars);
    }
    if (made->identity.folder) {
        FolderContents contents;
        folderContents(made->backupPath, &contents);
        made->identity.size = contents.digest;
    }
    return 0;
}

// Moves the older backups that the plan names, oldest first, when the bin can take them all.
void moveOlderBackups(const BackupRecord* candidates, const CandidateAction* actions, size_t count,
                      const wchar_t* folder, const wchar_t* itemFinalPath, const wchar_t* workingFolder,
                      CleanupReport* done, BackupRecord* forgotten, size_t* forgottenCount)
{
    unsigned long long bytes = 0;
    int moves = 0;
    for (size_t i = 0; i < count; ++i) {
        if (actions[i] != ActionMove) continue;
        ++moves;
        bytes += backupBytes(&candidates[i]);
    }
    if (moves == 0) return;
    done->stayed += moves;

    RecycleBinState bin;
    memset(&bin, 0, sizeof bin);
    // Never on a folder that a relative path names: the shell deletes such paths for good.
    if (!isDriveOrSharePath(folder) || recycleBinQuery()(folder, &bin) != 0 || bin.absence != BinPresent) {
        done->outcome = CleanupNoRecycleBin;
        if (!bin.drive[0] && !GetVolumePathNameW(folder, bin.drive, MAX_PATH)) copyText(bin.drive, MAX_PATH, folder);
        copyText(done->drive, MAX_PATH, bin.drive);
        removeTrailingBackslash(done->drive);
        return;
    }
    if (!fitsInRecycleBin(&bin, bytes)) {
        done->outcome = CleanupNoRoom;
        done->bytes = bytes;
        copyText(done->drive, MAX_PATH, bin.drive);
        removeTrailingBackslash(done->drive);
        return;
    }
    done->outcome = CleanupMoved;
    for (size_t i = 0; i < count; ++i) {
        if (actions[i] != ActionMove) continue;
        // Once more just before the move: only what is still ours goes.
        CandidateState now = observeCandidate(&candidates[i], itemFinalPath, workingFolder);
        if (now != CandidateOurs) {
            --done->stayed;
            if (now == CandidateGone || now == CandidateChanged) forgotten[(*forgottenCount)++] = candidates[i];
            continue;
        }
        if (moveToRecycleBin(candidates[i].backupPath) != 0) {
            done->outcome = CleanupStopped;
            copyText(done->stoppedAt, MAX_PATH, lastComponent(candidates[i].backupPath));
            return;
        }
        --done->stayed;
        ++done->moved;
        forgotten[(*forgottenCount)++] = candidates[i];
    }
}

}  // namespace

void planOlderBackups(const CandidateState* states, size_t count, int keep, CandidateAction* actions)
{
    // The new backup is the newest of the kept.
    int kept = 1;
    for (size_t i = count; i > 0; --i) {
        size_t at = i - 1;
        switch (states[at]) {
        case CandidateGone:
        case CandidateChanged:
            actions[at] = ActionForget;
            break;
        default:
            if (keep <= 0 || kept < keep) {
                actions[at] = ActionStay;
                ++kept;
            } else {
                actions[at] = states[at] == CandidateOurs ? ActionMove : ActionStayInUse;
            }
            break;
        }
    }
}

void formatByteSize(unsigned long long bytes, wchar_t* out, size_t capacity)
{
    if (bytes < 1024) {
        formatInto(out, capacity, L"%I64u bytes", bytes);
        return;
    }
    static const wchar_t* const units[] = {L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1000 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    // Three significant digits, cut rather than rounded up, as the shell shows sizes.
    if (value < 10) formatInto(out, capacity, L"%.1f %s", static_cast<double>(static_cast<long long>(value * 10)) / 10, units[unit]);
    else formatInto(out, capacity, L"%I64d %s", static_cast<long long>(value), units[unit]);
}

void recordAndCleanUp(const BackupItem* item, bool haveTurn, CleanupReport* result)
{
    CleanupReport done;
    memset(&done, 0, sizeof done);
    if (result) *result = done;

    BackupRecord* made = static_cast<BackupRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BackupRecord)));
    if (!made) return;
    wchar_t recordPath[kSettingsPathChars];
    recordFilePath(recordPath, kSettingsPathChars);
    RecordList earlier = {nullptr, 0};
    const int keep = g_settings.keepBackups;
    if (keep > 0 && !haveTurn) {
        // Another run of the item into this folder holds the turn and may record its backup
        // after this one: recorded, this newer backup would be an older one to it. Unrecorded,
        // it is never any run's to move; it stays until the user removes it.
        done.outcome = CleanupNoTurn;
    } else {
        done.record = describeNewBackup(item, made) == 0 ? recordBackupMade(recordPath, made, &earlier) : RecordUnavailable;
        if (keep > 0 && done.record != RecordOk) done.outcome = CleanupNoRecord;
    }
    if (keep > 0 && done.outcome == CleanupNothingToDo) {
        // The earlier backups of this item in the folder where this one was made.
        const size_t folderChars = folderLength(made->backupPath);
        wchar_t folder[kRecordPathChars];
        copyText(folder, kRecordPathChars, made->backupPath);
        folder[folderChars] = L'\0';
        size_t count = 0;
        for (size_t i = 0; i < earlier.count; ++i) {
            const BackupRecord* record = &earlier.records[i];
            if (folderLength(record->backupPath) != folderChars || wcsncmp(record->backupPath, folder, folderChars) != 0)
                continue;
            // The new backup's own path is never an older backup, whatever an old record says.
            if (wcscmp(record->backupPath, made->backupPath) == 0) continue;
            earlier.records[count++] = *record;
        }

        wchar_t working[kComparedPathChars];
        workingFolderFinalPath(working, kComparedPathChars);
        HANDLE heap = GetProcessHeap();
        CandidateState* states = static_cast<CandidateState*>(HeapAlloc(heap, 0, (count + 1) * sizeof(CandidateState)));
        CandidateAction* actions = static_cast<CandidateAction*>(HeapAlloc(heap, 0, (count + 1) * sizeof(CandidateAction)));
        BackupRecord* forgotten = static_cast<BackupRecord*>(HeapAlloc(heap, 0, (count + 1) * sizeof(BackupRecord)));
        if (states && actions && forgotten) {
            for (size_t i = 0; i < count; ++i) states[i] = observeCandidate(&earlier.records[i], item->finalPath, working);
            planOlderBackups(states, count, keep, actions);
            size_t forgottenCount = 0;
            for (size_t i = 0; i < count; ++i) {
                if (actions[i] == ActionForget) forgotten[forgottenCount++] = earlier.records[i];
                if (actions[i] == ActionStayInUse) ++done.inUse;
            }
            done.stayed = done.inUse;
            moveOlderBackups(earlier.records, actions, count, folder, item->finalPath, working, &done, forgotten,
                             &forgottenCount);
            dropRecords(recordPath, forgotten, forgottenCount);
        }
        if (states) HeapFree(heap, 0, states);
        if (actions) HeapFree(heap, 0, actions);
        if (forgotten) HeapFree(heap, 0, forgotten);
    }
    if (done.outcome != CleanupNothingToDo || done.moved > 0 || done.inUse > 0) reportIn(lastComponent(item->path), &done);
    freeRecordList(&earlier);
    HeapFree(GetProcessHeap(), 0, made);
    if (result) *result = done;
}
