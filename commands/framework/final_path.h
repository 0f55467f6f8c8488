// Final paths: where the file system really reaches a path, after every link and drive
// mapping. Used to find a destination that leads into the item it would back up.
#pragma once
#include <stddef.h>
#include <windows.h>

// The path by which the file system reaches an existing file or folder, after every link and
// drive mapping, in the plain form ("C:\...", "\\server\share\..."): its normalized name, or the
// name as opened where the file system cannot normalize it (some network redirectors). False
// when it cannot be had.
bool finalPathOfExisting(const wchar_t* path, wchar_t* out, size_t capacity);

// The system's GetFinalPathNameByHandleW by default; replaceable for tests (nullptr restores it),
// as Wine has no redirector that refuses a normalized name.
typedef DWORD(WINAPI* FinalPathCall)(HANDLE file, LPWSTR path, DWORD capacity, DWORD flags);
void setFinalPathCall(FinalPathCall call);

// The same for an object already open.
bool finalPathOfHandle(HANDLE handle, wchar_t* out, size_t capacity);

// Final path of a full path that may not exist yet (a destination still to be made): the final
// path of its nearest existing folder, with the missing rest appended as written. False when no
// part of it resolves.
bool finalPath(const wchar_t* path, wchar_t* out, size_t capacity);
