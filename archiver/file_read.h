// Opening and reading the files to archive (shared by the reading thread and the workers).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Opens for reading, sharing read, write and delete: files that other programs hold open
// (even for writing) are read as they are.
HANDLE openForReading(const std::wstring& path);

// A folder whose files are then opened by their names alone (openInFolder); INVALID_HANDLE_VALUE
// when it cannot be opened.
HANDLE openFolderOfFiles(const std::wstring& folder);
// Opens the file name in folder as openForReading would open path, its full path. Resolving one
// name against an open folder instead of the whole path is most of what a tree of small files
// costs. Without a folder handle, or when that open fails (for the system's own error), the full
// path is opened.
HANDLE openInFolder(HANDLE folder, const std::wstring& name, const std::wstring& path);

// Reads up to length bytes; *got < length only at the end of the file. 0 or the system error.
DWORD readFully(HANDLE file, uint8_t* data, size_t length, size_t* got);
