// The check after a copy: the shell's copy can report success although files are missing or
// cut short (a full volume, a file another program holds, a path too long for the backup, a
// file the user skipped), so a backup is trusted only when every file and folder of the item
// lies in the copy, every file with its size.
#pragma once
#include <stddef.h>

// Paths of the comparison may be longer than a plain path (the copy's files often are).
constexpr size_t kLongPathChars = 32768;

// Folders nested deeper than this below the item cannot have been copied by the shell (their
// paths pass any limit it works within); meeting one counts as a difference.
constexpr int kMaxComparedDepth = 512;

// Extended-length form of a full path: "C:\x" gives "\\?\C:\x", "\\server\share\x" gives
// "\\?\UNC\server\share\x"; a path already in that form stays. Returns 0, or -1 when it does
// not fit or is not a full path.
int extendedLengthPath(const wchar_t* fullPath, wchar_t* out, size_t capacity);

// Extended-length form of a path that may be relative, into kLongPathChars characters, without
// a trailing backslash. Returns 0 or -1.
int extendedFullPath(const wchar_t* path, wchar_t* out);

// Appends "\" and a name to the kLongPathChars path at `length`; false when it does not fit.
bool appendName(wchar_t* path, size_t length, const wchar_t* name, size_t* newLength);

// Results of compareCopiedTree.
enum CopiedTreeResult {
    CopyComplete = 0,     // everything of the item lies in the copy
    CopyIncomplete = 1,   // *difference names the first file or folder missing or cut short
};

// Compares the copy with the item: for a file, the copy is a file at least as long as the item's
// directory entry says (a listed size may lag behind a file that is being written, never run
// ahead of it); for a folder, the copy is a folder that holds every file (so long) and folder of
// the item, at any depth (what the copy holds besides does not matter). Entries that are links (reparse points)
// need only be present: their size is the link's, and the folders they lead to are not walked,
// so that a link back into the item cannot loop (the item itself is walked even when it is one). difference receives the item's path of the
// first missing or short entry (cut to fit). Both paths are full paths.
int compareCopiedTree(const wchar_t* itemPath, const wchar_t* copyPath, wchar_t* difference,
                      size_t differenceCapacity);
