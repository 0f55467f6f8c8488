// The Recycle Bin of the drive that holds a folder: whether there is one that takes what is
// moved there (and does not delete it for good), and how much room it has left; and the move of
// one object into it.
#pragma once
#include <stddef.h>
#include <windows.h>

enum RecycleBinAbsence {
    BinPresent = 0,
    BinNotFullPath = 1,      // the folder is not a drive path or a share
    BinNoVolumeName = 2,     // the volume has no GUID name (a "subst" drive, some network drives)
    BinNotFixed = 3,         // network share, removable media or another kind of drive
    BinTurnedOff = 4,        // a policy or the volume's own setting deletes for good
};

struct RecycleBinState {
    RecycleBinAbsence absence;
    wchar_t drive[MAX_PATH];             // the drive's root as the user knows it ("D:\")
    unsigned long long capacity;         // most bytes the bin holds
    unsigned long long used;             // bytes it holds now
};

// The state of the bin of the drive that holds a folder (its final path). Returns 0 when it
// could be found out (then state->absence says whether there is a bin), -1 when not.
typedef int (*RecycleBinQuery)(const wchar_t* folderFinalPath, RecycleBinState* state);
int queryRecycleBin(const wchar_t* folderFinalPath, RecycleBinState* state);

// Seam for tests: what Wine cannot show (a volume without GUID name, a full bin). nullptr
// restores queryRecycleBin.
void setRecycleBinQuery(RecycleBinQuery query);
RecycleBinQuery recycleBinQuery();

// The size that Windows gives a bin that the user did not size: a tenth of the first 40 GB of
// the space the user may use on the volume and a twentieth of the rest. Pure.
unsigned long long defaultRecycleBinCapacity(unsigned long long volumeBytes);

// Whether `bytes` more fit into the bin without pushing out what it holds. Pure.
bool fitsInRecycleBin(const RecycleBinState* state, unsigned long long bytes);

// Moves one object (a full path of at most 259 characters) to the Recycle Bin with the shell,
// asking nothing. The shell never deletes for good without asking first: where it would, it
// warns, and the user's "No" leaves the object. Returns 0 when the object is gone from its path
// and the bin holds more than before; -1 otherwise (it may then still be there).
int moveToRecycleBin(const wchar_t* path);
