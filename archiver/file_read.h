// Opening and reading the files to archive (shared by the reading thread and the workers).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Opens for reading, sharing read, write and delete: files that other programs hold open
// (even for writing) are read as they are.
HANDLE openForReading(const std::wstring& path);

// Reads up to length bytes; *got < length only at the end of the file. 0 or the system error.
DWORD readFully(HANDLE file, uint8_t* data, size_t length, size_t* got);
