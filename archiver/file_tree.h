// The entries of an archive: each item, and for a folder everything below it, in a stable order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zip_records.h"

// One item of the command line: where it is and the length of its name in the archive.
struct ItemRoot {
    std::wstring path;          // absolute, \\?\ form
    size_t nameLength = 0;      // UTF-8 bytes of the item's own archive name
};

// The entries of one run, in chunks that never move, and their names in blocks that never move:
// a tree of millions of files neither copies them nor needs one huge allocation. Every byte taken
// counts against budget; past it the walk ends with an error instead of failing to allocate.
struct EntryList {
    std::vector<ZipEntry*> chunks;
    std::vector<char*> nameBlocks;
    size_t count = 0;
    size_t nameBlockUsed = 0;
    size_t nameBlockSize = 0;
    uint64_t bytesHeld = 0;
    uint64_t budget = 0;
    std::vector<ItemRoot> items;
    // Entries another thread may read while the walk goes on (chunks and items never move: both
    // are reserved for the whole budget and every item at the start).
    volatile LONG published = 0;
};

// Memory an entry list may take by default: far from the 2 GiB of a 32-bit process.
const uint64_t kEntryMemoryBudget = 768ull << 20;

void entryListInit(EntryList* list, uint64_t budget);
void entryListFree(EntryList* list);
ZipEntry& entryAt(EntryList* list, size_t index);
// The file an entry is read from (the item's path and the rest of the entry's name).
std::wstring sourcePathOf(const EntryList& list, const ZipEntry& e);

struct WalkFailure {
    std::wstring path;
    DWORD systemError = 0;
};

// A walk beside the writing of the archive: the file to leave out (the archive's temporary file,
// when the archive is written into the tree), and an event set whenever entries were published.
struct WalkSide {
    std::wstring skipPath;
    HANDLE published = nullptr;
};

// Adds the entries of every item to *entries and their file sizes to *totalBytes.
// Returns ARCHIVER_OK or ARCHIVER_ERROR_ITEM_NOT_FOUND, ARCHIVER_ERROR_ITEM_READ,
// ARCHIVER_ERROR_LINK_LOOP, ARCHIVER_ERROR_NAME, ARCHIVER_ERROR_INTERNAL (memory; systemError
// ERROR_NOT_ENOUGH_MEMORY) or ARCHIVER_CANCELLED (when *cancel becomes nonzero).
int collectEntries(const std::vector<std::wstring>& items, EntryList* entries, uint64_t* totalBytes,
                   volatile LONG* cancel, WalkFailure* failure, const WalkSide* side = nullptr);

// Pure helpers.
// Name an item gets in the archive: its last path component (trailing separators ignored;
// a drive root gives its letter).
std::wstring itemArchiveName(const std::wstring& path);
// Path for the file functions: absolute and in the \\?\ form, so that long paths work.
std::wstring extendedPath(const std::wstring& absolutePath);
// The path as the user knows it: the \\?\ form of extendedPath undone.
std::wstring shownPath(const std::wstring& path);
// UTF-8 form of an archive name, separators turned into '/'. False when the name holds an unpaired
// surrogate (Windows allows it in file names; UTF-8 cannot say it, and a replacement character
// would give two such files one name).
bool zipName(const std::wstring& name, std::string* out);
// Order of the entries of one folder: ASCII letters without case, then byte by byte.
bool nameBefore(const char* a, size_t aLength, const char* b, size_t bLength);
