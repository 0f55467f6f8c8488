// The entries of an archive: each item, and for a folder everything below it, in a stable order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zip_records.h"

struct WalkFailure {
    std::wstring path;
    DWORD systemError = 0;
};

// Adds the entries of every item to *entries and their file sizes to *totalBytes.
// Returns ARCHIVER_OK, ARCHIVER_ERROR_ITEM_NOT_FOUND, ARCHIVER_ERROR_ITEM_READ or
// ARCHIVER_CANCELLED (when *cancel becomes nonzero).
int collectEntries(const std::vector<std::wstring>& items, std::vector<ZipEntry>* entries,
                   uint64_t* totalBytes, volatile LONG* cancel, WalkFailure* failure);

// Pure helpers.
// Name an item gets in the archive: its last path component (trailing separators ignored;
// a drive root gives its letter).
std::wstring itemArchiveName(const std::wstring& path);
// Path for the file functions: absolute and in the \\?\ form, so that long paths work.
std::wstring extendedPath(const std::wstring& absolutePath);
// UTF-8 form of an archive name, separators turned into '/'.
std::string zipName(const std::wstring& name);
