// What makes a backup on disk the one this installation made: the volume and file ID of the
// object, and for a file its size and last-write time, for a folder its creation time and a
// digest of what it holds. A backup that was renamed, replaced or edited (for a folder, anything
// in it added, removed, renamed or written) no longer has the identity it was recorded with; it
// is the user's then, and nothing of ours ever touches it.
#pragma once
#include <stddef.h>
#include <windows.h>

struct BackupIdentity {
    unsigned long long volume;         // volume serial number
    unsigned char fileId[16];          // 128-bit file ID (a 64-bit index fills the low half)
    bool folder;
    unsigned long long size;           // files; for folders the digest of their contents
                                       // (folderContents), 0 where none was taken
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

// Opens the path itself (a link is not followed) without reading it and fills *seen (a folder's
// digest is left 0). Returns 0 when something was found and opened, -1 when nothing is there or
// it cannot be opened (seen->present is false then).
int observeObject(const wchar_t* path, ObservedObject* seen);

// What a folder (a full path) holds at any depth: the bytes of its files, and a digest of the
// path below the folder of every file and folder, and of each file's size and last-write time,
// that changes when anything in it is added, removed, renamed or written (attributes and access
// times, which backup and search tools change, do not count). Links inside are counted as
// entries, not followed. The digest is never 0.
struct FolderContents {
    unsigned long long bytes;
    unsigned long long digest;
};
void folderContents(const wchar_t* folderPath, FolderContents* contents);

// Whether two identities name the same object unchanged: volume, file ID, kind, and the size
// and time of its kind.
bool sameIdentity(const BackupIdentity* a, const BackupIdentity* b);

// Whether two identities name the same object, whatever happened to its contents since:
// volume, file ID and kind only.
bool sameObject(const BackupIdentity* a, const BackupIdentity* b);
