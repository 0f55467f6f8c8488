// Clean-up of an item's older backups into the Recycle Bin.
#include "older_backups.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "command_texts.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

RecycleBinCheck g_recycleBinCheck = folderHasRecycleBin;

// The list grows by this many entries at a time.
constexpr size_t kListStep = 64;

bool sameName(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

int newestFirst(const void* left, const void* right)
{
    const EarlierBackup* a = static_cast<const EarlierBackup*>(left);
    const EarlierBackup* b = static_cast<const EarlierBackup*>(right);
    int order = compareBackupKeys(&b->key, &a->key);
    return order ? order : wcscmp(b->name, a->name);
}

bool dwordValueIsOne(HKEY root, const wchar_t* subKey, const wchar_t* value)
{
    DWORD data = 0;
    DWORD size = sizeof data;
    return RegGetValueW(root, subKey, value, RRF_RT_REG_DWORD, nullptr, &data, &size) == ERROR_SUCCESS && data == 1;
}

// The bin of a volume is off when a policy says so for every drive, or the user chose "Don't
// move files to the Recycle Bin" for this volume.
bool recycleBinTurnedOff(const wchar_t* root)
{
    const wchar_t kPolicy[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    if (dwordValueIsOne(HKEY_CURRENT_USER, kPolicy, L"NoRecycleFiles") ||
        dwordValueIsOne(HKEY_LOCAL_MACHINE, kPolicy, L"NoRecycleFiles"))
        return true;
    wchar_t volume[MAX_PATH];
    if (!GetVolumeNameForVolumeMountPointW(root, volume, MAX_PATH)) return false;
    const wchar_t* guid = wcschr(volume, L'{');
    if (!guid) return false;
    wchar_t key[MAX_PATH + 96];
    formatInto(key, MAX_PATH + 96, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\%s", guid);
    size_t length = wcslen(key);
    if (length && key[length - 1] == L'\\') key[length - 1] = L'\0';
    return dwordValueIsOne(HKEY_CURRENT_USER, key, L"NukeOnDelete");
}

void report(const wchar_t* itemName, const CleanupReport* done)
{
    UiLanguage language = g_settings.language;
    wchar_t note[64];
    wchar_t sentence[2 * MAX_PATH + 256];
    const size_t noteChars = sizeof note / sizeof note[0];
    const size_t sentenceChars = sizeof sentence / sizeof sentence[0];
    if (done->moved > 0) {
        formatInto(note, noteChars, pickText(kOlderMovedNote, language), done->moved);
        formatInto(sentence, sentenceChars, pickText(kOlderMovedSentence, language), itemName, done->moved);
        noteCleanup(note, sentence);
    }
    if (done->outcome == CleanupNoRecycleBin) {
        wchar_t root[MAX_PATH] = L"";
        if (!GetVolumePathNameW(g_run.destinationFolder, root, MAX_PATH)) copyText(root, MAX_PATH, g_run.destinationFolder);
        formatInto(sentence, sentenceChars, pickText(kOlderKeptNoBinSentence, language), itemName, root);
        noteCleanup(pickText(kOlderKeptNote, language), sentence);
    } else if (done->outcome == CleanupStopped) {
        formatInto(sentence, sentenceChars, pickText(kOlderStoppedSentence, language), itemName, done->stayed);
        noteCleanup(pickText(kOlderStoppedNote, language), sentence);
    }
}

// Moves one backup to the Recycle Bin. The shell confirms nothing, except that it warns before
// it would delete for good what the bin cannot take (too large, or no bin after all); the user's
// "No" there aborts, which counts as a failure. Returns 0 when the backup is gone.
int recycle(const wchar_t* path)
{
    const FILEOP_FLAGS flags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING;
    if (shellFileOperation(FO_DELETE, path, nullptr, flags) != 0) return -1;
    return pathExists(path) ? -1 : 0;
}

}  // namespace

void setRecycleBinCheck(RecycleBinCheck check)
{
    g_recycleBinCheck = check ? check : folderHasRecycleBin;
}

bool folderHasRecycleBin(const wchar_t* folder)
{
    wchar_t root[MAX_PATH];
    if (!GetVolumePathNameW(folder, root, MAX_PATH)) return false;
    // Network shares and removable media delete for good; so do drives of other kinds.
    if (GetDriveTypeW(root) != DRIVE_FIXED) return false;
    return !recycleBinTurnedOff(root);
}

int listEarlierBackups(const wchar_t* folder, const BackupItem* item, const wchar_t* newName,
                       EarlierBackup** list, size_t* count)
{
    *list = nullptr;
    *count = 0;
    wchar_t pattern[kFolderChars + 2];
    if (copyText(pattern, kFolderChars, folder) != 0 || addTrailingBackslash(pattern, kFolderChars) != 0) return -1;
    size_t folderLength = wcslen(pattern);
    wcscat(pattern, L"*");

    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return -1;
    HANDLE heap = GetProcessHeap();
    EarlierBackup* found = nullptr;
    size_t used = 0, capacity = 0;
    int result = 0;
    do {
        BackupNameKey key;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!matchEarlierBackup(entry.cFileName, isFolder, &item->parts, item->kind, item->output, &g_settings, &key))
            continue;
        // The new backup counts but never goes; the item itself is never a backup of itself.
        if (sameName(entry.cFileName, newName)) continue;
        wchar_t path[kFolderChars + MAX_PATH];
        _snwprintf(path, kFolderChars + MAX_PATH - 1, L"%.*s%s", static_cast<int>(folderLength), pattern, entry.cFileName);
        path[kFolderChars + MAX_PATH - 1] = L'\0';
        if (sameName(path, item->path)) continue;
        if (used == capacity) {
            size_t bytes = (capacity + kListStep) * sizeof(EarlierBackup);
            void* grown = found ? HeapReAlloc(heap, 0, found, bytes) : HeapAlloc(heap, 0, bytes);
            if (!grown) {
                result = -1;
                break;
            }
            found = static_cast<EarlierBackup*>(grown);
            capacity += kListStep;
        }
        copyText(found[used].name, MAX_PATH, entry.cFileName);
        found[used].key = key;
        ++used;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (result != 0) {
        freeEarlierBackups(found);
        return -1;
    }
    *list = found;
    *count = used;
    return 0;
}

void freeEarlierBackups(EarlierBackup* list)
{
    if (list) HeapFree(GetProcessHeap(), 0, list);
}

size_t orderAndCountSurplus(EarlierBackup* list, size_t count, int keep)
{
    if (keep <= 0 || count == 0) return 0;
    qsort(list, count, sizeof *list, newestFirst);
    // The new backup is one of the kept.
    size_t keptEarlier = static_cast<size_t>(keep - 1);
    return count > keptEarlier ? count - keptEarlier : 0;
}

void removeOlderBackups(const BackupItem* item, CleanupReport* result)
{
    CleanupReport done;
    memset(&done, 0, sizeof done);
    if (result) *result = done;
    if (g_settings.keepBackups <= 0 || !backupsHaveAddedString(&g_settings)) return;

    // The folder and name of the new backup (a folder copy's path ends with a backslash).
    wchar_t newPath[kPathChars];
    copyText(newPath, kPathChars, g_run.lastNewPath);
    removeTrailingBackslash(newPath);
    const wchar_t* newName = lastComponent(newPath);
    wchar_t folder[kFolderChars];
    copyText(folder, kFolderChars, newPath);
    folder[newName - newPath] = L'\0';

    EarlierBackup* list = nullptr;
    size_t count = 0;
    if (listEarlierBackups(folder, item, newName, &list, &count) != 0) return;
    size_t surplus = orderAndCountSurplus(list, count, g_settings.keepBackups);
    if (surplus > 0) {
        if (!g_recycleBinCheck(folder)) {
            done.outcome = CleanupNoRecycleBin;
        } else {
            done.outcome = CleanupMoved;
            // Oldest first: a stop leaves the newer ones.
            for (size_t i = count; i > count - surplus; --i) {
                const wchar_t* name = list[i - 1].name;
                wchar_t path[kFolderChars + MAX_PATH];
                bool fits = wcslen(folder) + wcslen(name) < kPathChars;
                if (fits) _snwprintf(path, kFolderChars + MAX_PATH, L"%s%s", folder, name);
                // A path too long for the shell's buffer must never be handed over cut short.
                if (!fits || recycle(path) != 0) {
                    done.outcome = CleanupStopped;
                    copyText(done.stayed, MAX_PATH, name);
                    break;
                }
                ++done.moved;
            }
        }
        const wchar_t* itemName = lastComponent(item->path);
        report(itemName, &done);
    }
    freeEarlierBackups(list);
    if (result) *result = done;
}
