// Rules about item and destination paths as text: wildcards, full paths, drive roots and
// shares, and whether one path lies within another.
#pragma once
#include <stddef.h>

#include "paths.h"

// Item and destination paths are plain paths; room for a full form of either.
constexpr size_t kComparedPathChars = 2 * kPathChars;

// Windows names never hold wildcards; a path with one would make the existence check and the
// shell copy act on whatever matches it. Besides "*" and "?", the directory search reads "<",
// ">" and '"' as wildcards too.
bool hasWildcard(const wchar_t* path);

// Whether a path names its place without the working folder: "C:\..." or "\\...".
bool isFullPath(const wchar_t* path);

// The path with trailing backslashes removed into out; false when it does not fit.
bool withoutTrailingBackslashes(const wchar_t* path, wchar_t* out, size_t capacity);

// Whether a path is a drive path ("X:\...") or a share ("\\server\share\..."): the only forms
// that name the same place for every program, whatever its working folder. "\\?\" and "\\.\"
// device forms are neither. Pure text.
bool isDriveOrSharePath(const wchar_t* path);

// Full path of a folder or item for comparisons, with its long names where it exists.
void comparisonPath(const wchar_t* path, wchar_t* out, size_t capacity);

// Whether a path names a drive root or a share rather than an item in it: "C:", "C:\", "\",
// "\\server", "\\server\share" (each with or without trailing backslashes, also in the "\\?\"
// and "\\.\" forms). Pure text.
bool isRootPath(const wchar_t* path);

// Whether `path` is `folder` itself or lies anywhere below it; both full paths, with or without
// trailing backslash, compared without regard to case. Pure text.
bool isWithinFolder(const wchar_t* path, const wchar_t* folder);
