// What makes a backup on disk the one this installation made: the volume and file ID of the
// object, and for a file its size and last-write time, for a folder its creation time. A backup
// that was renamed, replaced or edited no longer has the identity it was recorded with; it is
// the user's then, and nothing of ours ever touches it.
#pragma once
#include <stddef.h>
#include <windows.h>

struct BackupIdentity {
    unsigned long long volume;         // volume serial number
    unsigned char fileId[16];          // 128-bit file ID (a 64-bit index fills the low half)
    bool folder;
    unsigned long long size;           // files; 0 for folders
    unsigned long long time;           // FILETIME: last write of a file, creation of a folder
};

// What was found at a path: whether it is there, what it is, and where the file system really
// has it.
struct ObservedObject {
    bool present;                      // false: nothing there (or it cannot be opened)
    bool reparsePoint;                 // a link, junction or other reparse point (not followed)
    BackupIdentity identity;
    wchar_t finalPath[520];            // plain form ("C:\...", "\\server\share\..."); may be empty
};

// Opens the path itself (a link is not followed) without reading it and fills *seen. Returns 0
// when something was found and opened, -1 when nothing is there or it cannot be opened
// (seen->present is false then).
int observeObject(const wchar_t* path, ObservedObject* seen);

// Whether two identities name the same object unchanged: volume, file ID, kind, and the size
// and time of its kind.
bool sameIdentity(const BackupIdentity* a, const BackupIdentity* b);

// Whether two identities name the same object, whatever happened to its contents since:
// volume, file ID and kind only.
bool sameObject(const BackupIdentity* a, const BackupIdentity* b);
