// ZIP record layout: zip64 exactly where a field overflows, and the fields readers rely on.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

#include "file_tree.h"
#include "zip_records.h"

namespace {

uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | (static_cast<uint32_t>(le16(b, at + 2)) << 16); }
uint64_t le64(const std::vector<uint8_t>& b, size_t at) { return le32(b, at) | (static_cast<uint64_t>(le32(b, at + 4)) << 32); }

// Finds an extra field by id in the extra area [from, from + length); returns its data offset.
bool findExtra(const std::vector<uint8_t>& b, size_t from, size_t length, uint16_t id, size_t* dataAt, uint16_t* size)
{
    size_t p = from;
    while (p + 4 <= from + length) {
        uint16_t tag = le16(b, p), len = le16(b, p + 2);
        if (tag == id) {
            *dataAt = p + 4;
            *size = len;
            return true;
        }
        p += 4 + len;
    }
    return false;
}

const char kSampleName[] = "Project/報告.txt";

ZipEntry sampleEntry()
{
    ZipEntry e;
    e.name = kSampleName;
    e.nameLength = static_cast<uint16_t>(sizeof(kSampleName) - 1);
    e.method = kZipDeflated;
    e.crc = 0x12345678;
    e.compressedSize = 1000;
    e.uncompressedSize = 5000;
    e.attributes = 0x20;
    e.modified = 133541212290000000ull;  // 2024-03-05 14:07:09 UTC
    dosDateTime(2024, 3, 5, 14, 7, 9, &e.dosDate, &e.dosTime);
    return e;
}

::testing::AssertionResult centralSays(const ZipEntry& e, uint64_t usize, uint64_t csize, uint64_t offset,
                                       bool expectZip64)
{
    std::vector<uint8_t> b;
    appendCentralHeader(&b, e);
    if (le32(b, 0) != 0x02014b50) return ::testing::AssertionFailure() << "signature";
    const size_t nameLen = le16(b, 28), extraLen = le16(b, 30);
    if (b.size() != 46 + nameLen + extraLen) return ::testing::AssertionFailure() << "record length";
    if (std::string(b.begin() + 46, b.begin() + 46 + nameLen) != std::string(e.name, e.nameLength)) {
        return ::testing::AssertionFailure() << "name";
    }
    if (!(le16(b, 8) & 0x0800)) return ::testing::AssertionFailure() << "UTF-8 flag missing";
    size_t at = 0;
    uint16_t size = 0;
    const bool hasZip64 = findExtra(b, 46 + nameLen, extraLen, 0x0001, &at, &size);
    if (hasZip64 != expectZip64) return ::testing::AssertionFailure() << "zip64 extra present: " << hasZip64;
    if (hasZip64 && le16(b, 6) != 45) return ::testing::AssertionFailure() << "version needed " << le16(b, 6);
    const size_t zip64Start = at;
    uint64_t gotU = le32(b, 24), gotC = le32(b, 20), gotOffset = le32(b, 42);
    if (gotU == 0xFFFFFFFFu) { gotU = le64(b, at); at += 8; }
    if (gotC == 0xFFFFFFFFu) { gotC = le64(b, at); at += 8; }
    if (gotOffset == 0xFFFFFFFFu) { gotOffset = le64(b, at); at += 8; }
    // The zip64 field holds exactly the values whose 32-bit fields point to it.
    if (hasZip64 && at != zip64Start + size) {
        return ::testing::AssertionFailure() << "zip64 field holds " << size << " bytes, read " << (at - zip64Start);
    }
    size_t ntfs = 0;
    uint16_t ntfsSize = 0;
    if (!findExtra(b, 46 + nameLen, extraLen, 0x000A, &ntfs, &ntfsSize) || ntfsSize != 32 ||
        le64(b, ntfs + 8) != e.modified) {
        return ::testing::AssertionFailure() << "NTFS times missing";
    }
    if (gotU != usize || gotC != csize || gotOffset != offset) {
        return ::testing::AssertionFailure() << "sizes/offset " << gotU << "/" << gotC << "/" << gotOffset;
    }
    return ::testing::AssertionSuccess();
}

TEST(ZipRecords, CentralHeaderUsesZip64OnlyForTheFieldsThatOverflow)
{
    struct Row {
        const char* label;
        uint64_t usize, csize, offset;
        bool zip64Sizes;
        bool expectZip64;
    };
    const Row rows[] = {
        {"small", 5000, 1000, 0, false, false},
        {"just below the limit", 0xFFFFFFFEull, 0xFFFFFFFEull, 0xFFFFFFFEull, false, false},
        {"size at the limit", 0xFFFFFFFFull, 100, 0, false, true},
        {"over 4 GiB file", 0x100000005ull, 0x2000, 10, false, true},
        {"offset over 4 GiB", 10, 10, 0x123456789ull, false, true},
        {"everything over", 0x500000000ull, 0x400000000ull, 0x300000000ull, false, true},
        {"local header reserved zip64", 100, 50, 0, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ZipEntry e = sampleEntry();
        e.uncompressedSize = row.usize;
        e.compressedSize = row.csize;
        e.headerOffset = row.offset;
        e.zip64Sizes = row.zip64Sizes;
        EXPECT_TRUE(centralSays(e, row.usize, row.csize, row.offset, row.expectZip64));
    }
}

TEST(ZipRecords, LocalHeaderCarriesZip64SizesWhenReservedAndKeepsItsLength)
{
    for (bool zip64 : {false, true}) {
        SCOPED_TRACE(zip64 ? "zip64" : "plain");
        ZipEntry e = sampleEntry();
        e.zip64Sizes = zip64;
        std::vector<uint8_t> before, after;
        appendLocalHeader(&before, e);
        e.uncompressedSize = zip64 ? 0x123456789ull : 77;
        e.compressedSize = zip64 ? 0x23456789ull : 55;
        e.method = kZipStored;
        appendLocalHeader(&after, e);
        // Patched in place later: the length must not depend on the values.
        ASSERT_EQ(before.size(), after.size());
        ASSERT_EQ(localHeaderLength(e), after.size());
        EXPECT_EQ(0x04034b50u, le32(after, 0));
        EXPECT_EQ(0x0800, le16(after, 6) & 0x0800);
        EXPECT_EQ(kZipStored, le16(after, 8));
        const size_t nameLen = le16(after, 26);
        size_t at = 0;
        uint16_t size = 0;
        ASSERT_EQ(zip64, findExtra(after, 30 + nameLen, le16(after, 28), 0x0001, &at, &size));
        if (zip64) {
            EXPECT_EQ(0xFFFFFFFFu, le32(after, 18));
            EXPECT_EQ(0xFFFFFFFFu, le32(after, 22));
            EXPECT_EQ(16, size);
            EXPECT_EQ(0x123456789ull, le64(after, at));
            EXPECT_EQ(0x23456789ull, le64(after, at + 8));
        } else {
            EXPECT_EQ(55u, le32(after, 18));
            EXPECT_EQ(77u, le32(after, 22));
        }
        // Extended timestamp: the modification time in Unix seconds (2024-03-05 14:07:09 UTC).
        ASSERT_TRUE(findExtra(after, 30 + nameLen, le16(after, 28), 0x5455, &at, &size));
        EXPECT_EQ(5, size);
        EXPECT_EQ(1, after[at]);
        EXPECT_EQ(1709647629u, le32(after, at + 1));
    }
}

TEST(ZipRecords, EndRecordsTurnZip64ForManyEntriesOrLargeOffsets)
{
    struct Row {
        uint64_t count, offset, size;
        bool zip64;
    };
    const Row rows[] = {
        {1, 100, 50, false},
        {65534, 100, 50, false},
        {65535, 100, 50, true},
        {70000, 100, 50, true},
        {3, 0xFFFFFFFFull, 50, true},
        {3, 0x100000000ull, 0x20, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "count " << row.count << " offset " << row.offset);
        std::vector<uint8_t> b;
        appendEndRecords(&b, row.count, row.offset, row.size);
        ASSERT_EQ(row.zip64 ? 56u + 20u + 22u : 22u, b.size());
        const size_t end = b.size() - 22;
        EXPECT_EQ(0x06054b50u, le32(b, end));
        if (!row.zip64) {
            EXPECT_EQ(row.count, le16(b, end + 10));
            EXPECT_EQ(row.offset, le32(b, end + 16));
            continue;
        }
        EXPECT_EQ(0x06064b50u, le32(b, 0));
        EXPECT_EQ(row.count, le64(b, 32));
        EXPECT_EQ(row.size, le64(b, 40));
        EXPECT_EQ(row.offset, le64(b, 48));
        EXPECT_EQ(0x07064b50u, le32(b, 56));
        EXPECT_EQ(row.offset + row.size, le64(b, 64));  // where the zip64 end record starts
        EXPECT_EQ(row.count >= 0xFFFF ? 0xFFFFu : row.count, le16(b, end + 10));
    }
}

TEST(ZipRecords, DosTimeIsClampedToItsRange)
{
    struct Row {
        int y, mo, d, h, mi, s;
        uint16_t date, time;
    };
    const Row rows[] = {
        {2024, 3, 5, 14, 7, 9, static_cast<uint16_t>((44 << 9) | (3 << 5) | 5), static_cast<uint16_t>((14 << 11) | (7 << 5) | 4)},
        {1970, 1, 1, 0, 0, 0, static_cast<uint16_t>((0 << 9) | (1 << 5) | 1), 0},
        {2200, 6, 1, 1, 1, 1, static_cast<uint16_t>((127 << 9) | (12 << 5) | 31), static_cast<uint16_t>((23 << 11) | (59 << 5) | 29)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.y);
        uint16_t date = 0, time = 0;
        dosDateTime(row.y, row.mo, row.d, row.h, row.mi, row.s, &date, &time);
        EXPECT_EQ(row.date, date);
        EXPECT_EQ(row.time, time);
    }
}

TEST(ZipRecords, ItemNamesAndPaths)
{
    struct Row {
        const wchar_t* path;
        const wchar_t* name;
    };
    const Row rows[] = {
        {L"C:\\Docs\\report.txt", L"report.txt"},
        {L"C:\\Docs\\Project\\", L"Project"},
        {L"C:\\Docs\\Project\\\\", L"Project"},
        {L"\\\\?\\C:\\Docs\\日本語", L"日本語"},
        {L"C:\\", L"C"},
        {L"relative", L"relative"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.path)));
        EXPECT_EQ(std::wstring(row.name), itemArchiveName(row.path));
    }
    EXPECT_EQ(L"\\\\?\\C:\\a", extendedPath(L"C:\\a"));
    EXPECT_EQ(L"\\\\?\\UNC\\server\\share\\a", extendedPath(L"\\\\server\\share\\a"));
    EXPECT_EQ(L"\\\\?\\C:\\a", extendedPath(L"\\\\?\\C:\\a"));
    std::string utf8;
    EXPECT_TRUE(zipName(L"a\\b/日.txt", &utf8));
    EXPECT_EQ(std::string("a/b/\xE6\x97\xA5.txt"), utf8);
}

TEST(ZipRecords, NamesWithUnpairedSurrogatesAreRefused)
{
    // Two such files would both turn into U+FFFD, so one name would stand for two files.
    struct Row {
        const wchar_t* name;
        bool stored;
    };
    const Row rows[] = {
        {L"pair \xD83D\xDE00.txt", true},
        {L"high \xD83D.txt", false},
        {L"low \xDE00.txt", false},
        {L"end \xD83D", false},
        {L"reversed \xDE00\xD83D.txt", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.name)));
        std::string utf8;
        EXPECT_EQ(row.stored, zipName(row.name, &utf8));
    }
}

TEST(ZipRecords, FoldersNeedVersion20AndAttributesKeepOnlyTheDosBits)
{
    struct Row {
        const char* label;
        bool folder;
        uint8_t method;
        uint32_t attributes;   // as Windows reports them
        uint16_t version;
        uint32_t external;
    };
    const Row rows[] = {
        {"folder", true, kZipStored, FILE_ATTRIBUTE_DIRECTORY, 20, 0x10},
        {"folder link, not indexed", true, kZipStored,
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, 20, 0x10},
        {"stored file, read-only hidden system archive", false, kZipStored, 0x27, 10, 0x27},
        {"deflated file, compressed and sparse", false, kZipDeflated,
         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE, 20, 0x20},
        {"cloud file (offline, pinned)", false, kZipDeflated, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_OFFLINE | 0x80000, 20, 0x20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ZipEntry e = sampleEntry();
        e.isFolder = row.folder;
        e.method = row.method;
        e.attributes = static_cast<uint8_t>(row.attributes & kDosAttributeBits);
        std::vector<uint8_t> central, local;
        appendCentralHeader(&central, e);
        appendLocalHeader(&local, e);
        EXPECT_EQ(row.version, le16(central, 6));
        EXPECT_EQ(row.version, le16(local, 4));
        EXPECT_EQ(63, le16(central, 4)) << "made by MS-DOS host, version 6.3";
        EXPECT_EQ(row.external, le32(central, 38));
    }
}

TEST(ZipRecords, ExtendedTimestampOnlyWhereItsSecondsCanHoldTheDate)
{
    const uint64_t epoch = 116444736000000000ull, second = 10000000ull;
    struct Row {
        const char* label;
        uint64_t modified;
        bool present;
        uint32_t seconds;
    };
    const Row rows[] = {
        {"1601, the first FILETIME", 0, false, 0},
        {"1969-12-31 23:59:59", epoch - second, false, 0},
        {"1970-01-01 00:00:00", epoch, true, 0},
        {"2024-03-05 14:07:09", 133541212290000000ull, true, 1709647629u},
        {"2038-01-19 03:14:07", epoch + 0x7FFFFFFFull * second, true, 0x7FFFFFFFu},
        {"2038-01-19 03:14:08", epoch + 0x80000000ull * second, false, 0},
        {"2100-01-01", epoch + 4102444800ull * second, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ZipEntry e = sampleEntry();
        e.modified = row.modified;
        std::vector<uint8_t> local, central;
        appendLocalHeader(&local, e);
        EXPECT_EQ(localHeaderLength(e), local.size());
        size_t at = 0;
        uint16_t size = 0;
        const size_t nameLen = le16(local, 26);
        ASSERT_EQ(row.present, findExtra(local, 30 + nameLen, le16(local, 28), 0x5455, &at, &size));
        if (row.present) {
            EXPECT_EQ(row.seconds, le32(local, at + 1));
        }
        // The NTFS times carry every date, clamped or not.
        appendCentralHeader(&central, e);
        ASSERT_TRUE(findExtra(central, 46 + nameLen, le16(central, 30), 0x000A, &at, &size));
        EXPECT_EQ(row.modified, le64(central, at + 8));
    }
}

}  // namespace
