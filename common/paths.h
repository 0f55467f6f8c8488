// Path helpers shared by all programs: trailing backslashes, splitting a path into its parts and
// joining them again, the existence test, and the folder of the running program.
#pragma once
#include <stddef.h>

// Paths are held in buffers of 260 characters with the terminator (at most 259 characters).
constexpr size_t kPathChars = 260;

// Component limits of a split path: drive at most 2 characters, folder, name and extension
// at most 255 characters each (buffers include the terminator).
struct PathParts {
    wchar_t drive[3];
    wchar_t folder[256];   // begins and ends with a backslash, or empty
    wchar_t name[256];     // base name of a file, or the whole last component of a folder
    wchar_t ext[256];      // extension of a file with its dot; always empty for a folder
};

// Appends a backslash when the text is not empty and does not end in one. Returns 0, or -1
// when the buffer has no room (the text is left unchanged).
int addTrailingBackslash(wchar_t* path, size_t capacity);

// Removes one trailing backslash, if there is one.
void removeTrailingBackslash(wchar_t* path);

// Splits a path (one trailing backslash ignored) into drive, folder, name and extension.
// A file splits at the last dot of its last component (".profile" has an empty name and the
// extension ".profile"); a folder keeps its whole last component as name. Returns 0, or -1 when
// a component exceeds its limit (the parts are then empty).
int splitPath(const wchar_t* path, bool isFolder, PathParts* parts);

// Drive followed by folder, with a trailing backslash: the folder that holds the split item.
// Returns 0, or -1 when it does not fit.
int joinFolder(const PathParts* parts, wchar_t* out, size_t capacity);

// A path exists when a directory search finds it (one trailing backslash removed), or when the
// search fails with an error other than file-not-found and no-more-files while the path's
// attributes can still be read. An empty path does not exist.
bool pathExists(const wchar_t* path);

// The last component of a path: the text after the last backslash that is not the final
// character, so a folder path keeps its trailing backslash ("C:\a\b\" gives "b\").
const wchar_t* lastComponent(const wchar_t* path);

// Folder of the running program with a trailing backslash (from GetModuleFileNameW).
// Returns 0, or -1 when it cannot be had.
int runningProgramFolder(wchar_t* out, size_t capacity);

// Copies text into a fixed buffer, cutting it to fit. Returns 0, or -1 when it was cut.
int copyText(wchar_t* out, size_t capacity, const wchar_t* text);

// Formats into a fixed buffer and always terminates it (cut text stays cut). Returns the length
// of the whole text, also when the buffer cuts it.
int formatInto(wchar_t* out, size_t capacity, const wchar_t* format, ...);
