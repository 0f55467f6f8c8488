// The Recycle Bin of a drive and the move into it.
#include "recycle_bin.h"

#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "destination.h"
#include "paths.h"
#include "shell_operation.h"

namespace {

RecycleBinQuery g_query = queryRecycleBin;

const wchar_t kPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

bool readDword(HKEY root, const wchar_t* subKey, const wchar_t* value, DWORD* data)
{
    DWORD size = sizeof *data;
    return RegGetValueW(root, subKey, value, RRF_RT_REG_DWORD, nullptr, data, &size) == ERROR_SUCCESS;
}

bool dwordIsOne(HKEY root, const wchar_t* subKey, const wchar_t* value)
{
    DWORD data = 0;
    return readDword(root, subKey, value, &data) && data == 1;
}

// A policy's value for every user first, then the user's own.
bool policyDword(const wchar_t* value, DWORD* data)
{
    return readDword(HKEY_LOCAL_MACHINE, kPolicyKey, value, data) || readDword(HKEY_CURRENT_USER, kPolicyKey, value, data);
}

// "{GUID}" of a volume name "\\?\Volume{GUID}\"; false when the volume has no such name.
bool volumeGuid(const wchar_t* root, wchar_t* guid, size_t capacity)
{
    wchar_t volume[MAX_PATH];
    if (!GetVolumeNameForVolumeMountPointW(root, volume, MAX_PATH)) return false;
    const wchar_t* open = wcschr(volume, L'{');
    const wchar_t* close = open ? wcschr(open, L'}') : nullptr;
    if (!close || static_cast<size_t>(close - open + 2) > capacity) return false;
    size_t length = static_cast<size_t>(close - open + 1);
    wmemcpy(guid, open, length);
    guid[length] = L'\0';
    return true;
}

// Items in the bins of every drive, as the shell counts them; -1 when it cannot be asked.
// The items in the bin of one drive (not every drive's bins: that takes long where they are
// full, and a deletion elsewhere meanwhile would change the count).
long long itemsInRecycleBinOf(const wchar_t* root)
{
    SHQUERYRBINFO information;
    memset(&information, 0, sizeof information);
    information.cbSize = sizeof information;
    if (FAILED(SHQueryRecycleBinW(root, &information))) return -1;
    return information.i64NumItems;
}

}  // namespace

int queryRecycleBin(const wchar_t* folderFinalPath, RecycleBinState* state)
{
    memset(state, 0, sizeof *state);
    // Only a drive path or a share names the same place for the shell as for us.
    if (!isDriveOrSharePath(folderFinalPath)) {
        state->absence = BinNotFullPath;
        return 0;
    }
    if (!GetVolumePathNameW(folderFinalPath, state->drive, MAX_PATH)) return -1;
    wchar_t guid[64];
    if (!volumeGuid(state->drive, guid, sizeof guid / sizeof guid[0])) {
        state->absence = BinNoVolumeName;
        return 0;
    }
    // Network shares and removable media delete for good; so do drives of other kinds.
    if (GetDriveTypeW(state->drive) != DRIVE_FIXED) {
        state->absence = BinNotFixed;
        return 0;
    }
    wchar_t volumeKey[160];
    formatInto(volumeKey, sizeof volumeKey / sizeof volumeKey[0],
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\%s", guid);
    DWORD noRecycle = 0;
    if ((policyDword(L"NoRecycleFiles", &noRecycle) && noRecycle == 1) ||
        dwordIsOne(HKEY_CURRENT_USER, volumeKey, L"NukeOnDelete")) {
        state->absence = BinTurnedOff;
        return 0;
    }

    // Its size: the policy's share of the space the user may use on the volume (in percent),
    // else the user's choice for the volume (in MB), else Windows' default for that space.
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(state->drive, &available, &total, &free)) return -1;
    DWORD percent = 0, megabytes = 0;
    if (policyDword(L"RecycleBinSize", &percent))
        state->capacity = total.QuadPart / 100 * (percent < 100 ? percent : 100);
    else if (readDword(HKEY_CURRENT_USER, volumeKey, L"MaxCapacity", &megabytes))
        state->capacity = static_cast<unsigned long long>(megabytes) * 1024 * 1024;
    else
        state->capacity = defaultRecycleBinCapacity(total.QuadPart);
    SHQUERYRBINFO information;
    memset(&information, 0, sizeof information);
    information.cbSize = sizeof information;
    if (FAILED(SHQueryRecycleBinW(state->drive, &information))) return -1;
    state->used = static_cast<unsigned long long>(information.i64Size);
    state->absence = BinPresent;
    return 0;
}

void setRecycleBinQuery(RecycleBinQuery query)
{
    g_query = query ? query : queryRecycleBin;
}

RecycleBinQuery recycleBinQuery()
{
    return g_query;
}

unsigned long long defaultRecycleBinCapacity(unsigned long long volumeBytes)
{
    const unsigned long long first = 40ULL * 1024 * 1024 * 1024;
    if (volumeBytes <= first) return volumeBytes / 10;
    return first / 10 + (volumeBytes - first) / 20;
}

bool fitsInRecycleBin(const RecycleBinState* state, unsigned long long bytes)
{
    return state->absence == BinPresent && state->used <= state->capacity && bytes <= state->capacity - state->used;
}

int moveToRecycleBin(const wchar_t* path)
{
    if (wcslen(path) >= kPathChars) return -1;
    wchar_t root[MAX_PATH];
    if (!GetVolumePathNameW(path, root, MAX_PATH)) return -1;
    long long before = itemsInRecycleBinOf(root);
    // FOF_WANTNUKEWARNING overrides FOF_NOCONFIRMATION for one question only: whether to delete
    // for good what the bin cannot take. The checks before the move leave no such case that
    // Windows documents; should one come up, the user is asked instead of losing the backup.
    const FILEOP_FLAGS flags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_WANTNUKEWARNING;
    if (shellFileOperation(FO_DELETE, path, nullptr, flags) != 0) return -1;
    if (pathExists(path)) return -1;
    // A "Yes" to that question deletes for good: the bin then holds no more than before.
    long long after = itemsInRecycleBinOf(root);
    return before < 0 || after < 0 || after > before ? 0 : -1;
}
