// Byte layout of the ZIP records after the PKWARE application note: little-endian fields,
// UTF-8 names (flag bit 11), the file times as extra fields, zip64 extras only
// where a size, an offset or a count does not fit its 16- or 32-bit field.
#include "zip_records.h"

namespace {

const uint16_t kFlagUtf8 = 0x0800;
const uint16_t kVersionMadeBy = 63;        // host 0 (MS-DOS/Windows attributes), version 6.3
const uint16_t kVersionStored = 10;
const uint16_t kVersionDeflate = 20;
const uint16_t kVersionZip64 = 45;
const uint16_t kExtraZip64 = 0x0001;
const uint16_t kExtraNtfs = 0x000A;
const uint16_t kExtraUnixTime = 0x5455;
const size_t kNtfsExtraLength = 36;
const size_t kUnixTimeExtraLength = 9;

void put16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>* out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put64(std::vector<uint8_t>* out, uint64_t v)
{
    put32(out, static_cast<uint32_t>(v));
    put32(out, static_cast<uint32_t>(v >> 32));
}

const uint64_t kUnixEpochTicks = 116444736000000000ull;
const uint64_t kTicksPerSecond = 10000000ull;

// The access time slot holds the modification time: reading the files to archive them moves
// their access time, so the real one would make every archive of the same files differ.
void putNtfsExtra(std::vector<uint8_t>* out, const ZipEntry& e)
{
    put16(out, kExtraNtfs);
    put16(out, 32);
    put32(out, 0);          // reserved
    put16(out, 1);          // tag 1: the three times
    put16(out, 24);
    put64(out, e.modified);
    put64(out, e.modified);
    put64(out, e.created);
}

size_t unixTimeExtraLength(const ZipEntry& e) { return unixTimeFits(e.modified) ? kUnixTimeExtraLength : 0; }

void putUnixTimeExtra(std::vector<uint8_t>* out, const ZipEntry& e)
{
    if (!unixTimeFits(e.modified)) return;
    put16(out, kExtraUnixTime);
    put16(out, 5);
    out->push_back(1);      // modification time present
    put32(out, static_cast<uint32_t>((e.modified - kUnixEpochTicks) / kTicksPerSecond));
}

void putName(std::vector<uint8_t>* out, const ZipEntry& e) { out->insert(out->end(), e.name, e.name + e.nameLength); }

bool centralSizesNeedZip64(const ZipEntry& e)
{
    return e.zip64Sizes || e.uncompressedSize >= kZip32Limit || e.compressedSize >= kZip32Limit;
}

// 2.0 for deflate and for folders, 1.0 for stored files, 4.5 with zip64.
uint16_t versionNeeded(const ZipEntry& e, bool zip64)
{
    if (zip64) return kVersionZip64;
    return e.method == kZipDeflated || e.isFolder ? kVersionDeflate : kVersionStored;
}

uint32_t low32OrMark(uint64_t v, bool inZip64) { return inZip64 ? kZip32Limit : static_cast<uint32_t>(v); }

}  // namespace

// Local headers carry the short extended timestamp (modification time in seconds), the central
// directory the full NTFS times: repeating those in every local header would cost 36 bytes.
size_t localHeaderLength(const ZipEntry& e)
{
    return 30 + e.nameLength + (e.zip64Sizes ? 20 : 0) + unixTimeExtraLength(e);
}

void appendLocalHeader(std::vector<uint8_t>* out, const ZipEntry& e)
{
    put32(out, 0x04034b50);
    put16(out, versionNeeded(e, e.zip64Sizes));
    put16(out, kFlagUtf8);
    put16(out, e.method);
    put16(out, e.dosTime);
    put16(out, e.dosDate);
    put32(out, e.crc);
    put32(out, low32OrMark(e.compressedSize, e.zip64Sizes));
    put32(out, low32OrMark(e.uncompressedSize, e.zip64Sizes));
    put16(out, e.nameLength);
    put16(out, static_cast<uint32_t>((e.zip64Sizes ? 20 : 0) + unixTimeExtraLength(e)));
    putName(out, e);
    if (e.zip64Sizes) {
        put16(out, kExtraZip64);
        put16(out, 16);
        put64(out, e.uncompressedSize);
        put64(out, e.compressedSize);
    }
    putUnixTimeExtra(out, e);
}

void appendCentralHeader(std::vector<uint8_t>* out, const ZipEntry& e)
{
    const bool sizes64 = centralSizesNeedZip64(e);
    const bool offset64 = e.headerOffset >= kZip32Limit;
    const size_t zip64Length = (sizes64 ? 16 : 0) + (offset64 ? 8 : 0);
    put32(out, 0x02014b50);
    put16(out, kVersionMadeBy);
    put16(out, versionNeeded(e, sizes64 || offset64));
    put16(out, kFlagUtf8);
    put16(out, e.method);
    put16(out, e.dosTime);
    put16(out, e.dosDate);
    put32(out, e.crc);
    put32(out, low32OrMark(e.compressedSize, sizes64));
    put32(out, low32OrMark(e.uncompressedSize, sizes64));
    put16(out, e.nameLength);
    put16(out, static_cast<uint32_t>((zip64Length ? 4 + zip64Length : 0) + kNtfsExtraLength));
    put16(out, 0);          // comment length
    put16(out, 0);          // disk number start
    put16(out, 0);          // internal attributes
    put32(out, e.attributes & kDosAttributeBits);
    put32(out, low32OrMark(e.headerOffset, offset64));
    putName(out, e);
    if (zip64Length) {
        put16(out, kExtraZip64);
        put16(out, static_cast<uint32_t>(zip64Length));
        if (sizes64) {
            put64(out, e.uncompressedSize);
            put64(out, e.compressedSize);
        }
        if (offset64) put64(out, e.headerOffset);
    }
    putNtfsExtra(out, e);
}

bool unixTimeFits(uint64_t fileTimeTicks)
{
    return fileTimeTicks >= kUnixEpochTicks && (fileTimeTicks - kUnixEpochTicks) / kTicksPerSecond <= 0x7FFFFFFFull;
}

bool endNeedsZip64(uint64_t entryCount, uint64_t centralOffset, uint64_t centralSize)
{
    return entryCount >= kZip16Limit || centralOffset >= kZip32Limit || centralSize >= kZip32Limit;
}

void appendEndRecords(std::vector<uint8_t>* out, uint64_t entryCount, uint64_t centralOffset,
                      uint64_t centralSize)
{
    const bool zip64 = endNeedsZip64(entryCount, centralOffset, centralSize);
    if (zip64) {
        const uint64_t zip64EndOffset = centralOffset + centralSize;
        put32(out, 0x06064b50);
        put64(out, 44);                 // size of the rest of this record
        put16(out, kVersionMadeBy);
        put16(out, kVersionZip64);
        put32(out, 0);                  // this disk
        put32(out, 0);                  // disk with the central directory
        put64(out, entryCount);
        put64(out, entryCount);
        put64(out, centralSize);
        put64(out, centralOffset);
        put32(out, 0x07064b50);         // locator
        put32(out, 0);
        put64(out, zip64EndOffset);
        put32(out, 1);                  // total disks
    }
    const uint32_t count16 = entryCount >= kZip16Limit ? kZip16Limit : static_cast<uint32_t>(entryCount);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, count16);
    put16(out, count16);
    put32(out, centralSize >= kZip32Limit ? kZip32Limit : static_cast<uint32_t>(centralSize));
    put32(out, centralOffset >= kZip32Limit ? kZip32Limit : static_cast<uint32_t>(centralOffset));
    put16(out, 0);                      // comment length
}

void dosDateTime(int year, int month, int day, int hour, int minute, int second,
                 uint16_t* date, uint16_t* time)
{
    if (year < 1980) { year = 1980; month = 1; day = 1; hour = 0; minute = 0; second = 0; }
    if (year > 2107) { year = 2107; month = 12; day = 31; hour = 23; minute = 59; second = 58; }
    *date = static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    *time = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}
