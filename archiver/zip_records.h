// The ZIP records (local header, central directory header, end records) as bytes: pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Everything the archive says about one entry. A tree of millions of files keeps one of these
// per file, so it stays small: the name lives in the run's name store, the file to read is
// made again from the item's path and the name when it is needed.
struct ZipEntry {
    const char* name = nullptr; // UTF-8, '/' separated, folders end with '/'; not terminated
    uint16_t nameLength = 0;
    uint16_t item = 0;          // which item of the command line the entry belongs to
    uint16_t dosTime = 0, dosDate = 0;  // local modification time
    uint8_t attributes = 0;     // MS-DOS attribute bits only
    bool isFolder = false;
    bool zip64Sizes = false;    // the local header carries a zip64 extra field with both sizes
    uint8_t method = 0;         // 0 stored, 8 deflate
    uint32_t crc = 0;
    uint64_t created = 0, modified = 0;  // FILETIME ticks (UTC)
    // The size seen by the walk until the data is written, then the size stored.
    uint64_t uncompressedSize = 0;
    // Known once the entry's data is written.
    uint64_t headerOffset = 0;
    uint64_t compressedSize = 0;
};

const uint16_t kZipStored = 0;
const uint16_t kZipDeflated = 8;
const uint32_t kZip32Limit = 0xFFFFFFFFu;   // a 32-bit field holding this means "see zip64"
const uint16_t kZip16Limit = 0xFFFFu;
// The Windows attribute bits that MS-DOS knew (read-only, hidden, system, folder, archive): the
// only ones the external attributes of an MS-DOS host may carry.
const uint32_t kDosAttributeBits = 0x37;

// Appends the local file header of e (with its current crc, sizes and method).
void appendLocalHeader(std::vector<uint8_t>* out, const ZipEntry& e);
// Length of that header (the same whatever the crc, sizes and method).
size_t localHeaderLength(const ZipEntry& e);
// Appends the central directory header of e.
void appendCentralHeader(std::vector<uint8_t>* out, const ZipEntry& e);
// Appends the zip64 end record and locator when needed, then the end of central directory record.
void appendEndRecords(std::vector<uint8_t>* out, uint64_t entryCount, uint64_t centralOffset,
                      uint64_t centralSize);
// True when the end records need the zip64 form.
bool endNeedsZip64(uint64_t entryCount, uint64_t centralOffset, uint64_t centralSize);

// True when the extended timestamp (Unix seconds, 32 bits) can hold the modification time; it is
// left out otherwise, and the NTFS times carry the date alone.
bool unixTimeFits(uint64_t fileTimeTicks);

// MS-DOS date and time fields of a local calendar time, clamped to 1980..2107.
void dosDateTime(int year, int month, int day, int hour, int minute, int second,
                 uint16_t* date, uint16_t* time);
