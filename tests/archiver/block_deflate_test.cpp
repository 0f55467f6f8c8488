// Blocks compressed separately (each primed with the 32 KiB before it) join into one deflate
// stream that zlib inflates back to the input, and the joined CRC equals the CRC of the whole.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "block_deflate.h"
#include "deflate_join.h"

namespace {

std::vector<uint8_t> textData(size_t n)
{
    static const char* words[] = {"backup ", "archive ", "Vantrel ", "folder\n", "zip ", "deflate ", "2024 "};
    std::vector<uint8_t> out;
    uint32_t x = 12345;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % 7];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(n);
    return out;
}

std::vector<uint8_t> noiseData(size_t n)
{
    std::vector<uint8_t> out(n);
    uint32_t x = 987654321u;
    for (auto& b : out) {
        x ^= x << 13; x ^= x >> 17; x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

::testing::AssertionResult inflatesTo(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& expected)
{
    z_stream s;
    std::memset(&s, 0, sizeof(s));
    if (inflateInit2(&s, -15) != Z_OK) return ::testing::AssertionFailure() << "inflateInit2";
    std::vector<uint8_t> out(expected.size() + 1024);
    s.next_in = const_cast<Bytef*>(stream.data());
    s.avail_in = static_cast<uInt>(stream.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&s, Z_FINISH);
    const size_t produced = out.size() - s.avail_out;
    const size_t leftover = s.avail_in;
    inflateEnd(&s);
    if (rc != Z_STREAM_END) return ::testing::AssertionFailure() << "inflate ended with " << rc;
    if (leftover) return ::testing::AssertionFailure() << leftover << " bytes after the end of the stream";
    out.resize(produced);
    if (out != expected) return ::testing::AssertionFailure() << "inflated " << produced << " bytes differ";
    return ::testing::AssertionSuccess();
}

TEST(BlockDeflate, BlocksJoinIntoOneStreamAndCrcsCombine)
{
    struct Row {
        const char* label;
        std::vector<uint8_t> data;
        size_t blockSize;
        int level;
    };
    std::vector<uint8_t> mixed = textData(300000);
    std::vector<uint8_t> noise = noiseData(100000);
    mixed.insert(mixed.begin() + 150000, noise.begin(), noise.end());
    const Row rows[] = {
        {"text, 64 KiB blocks", textData(500000), 65536, 6},
        {"text, blocks smaller than the window", textData(100000), 10000, 6},
        {"text and noise, level 1", mixed, 65536, 1},
        {"text and noise, level 9", mixed, 131072, 9},
        {"zeros", std::vector<uint8_t>(400000, 0), 65536, 6},
        {"one block", textData(5000), 65536, 6},
        {"last block of one byte", textData(65537), 65536, 6},
        {"empty", std::vector<uint8_t>(), 65536, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        BlockDeflater d;
        ASSERT_EQ(0, blockDeflaterInit(&d, row.level, 6));
        std::vector<uint8_t> joined, piece;
        size_t produced = 0;
        uint32_t crc = 0;
        size_t at = 0;
        do {
            const size_t n = std::min(row.blockSize, row.data.size() - at);
            const bool last = at + n == row.data.size();
            const size_t dictLength = std::min(at, kDeflateWindow + 1000);  // more than a window: only 32 KiB count
            ASSERT_EQ(0, deflateBlock(&d, row.data.data() + at - dictLength, dictLength, row.data.data() + at, n, last,
                                      &piece, &produced));
            joined.insert(joined.end(), piece.begin(), piece.begin() + produced);
            crc = at == 0 ? crc32Of(row.data.data(), n) : crc32Join(crc, crc32Of(row.data.data() + at, n), n);
            at += n;
        } while (at < row.data.size());
        blockDeflaterEnd(&d);
        EXPECT_TRUE(inflatesTo(joined, row.data));
        EXPECT_EQ(crc32Of(row.data.data(), row.data.size()), crc);
    }
}

TEST(BlockDeflate, WholeBufferPiecesAreContinuedIntoOneStream)
{
    // Each piece is a complete stream of its own (no history shared) until it is continued.
    struct Row {
        const char* label;
        std::vector<uint8_t> data;
        size_t pieceSize;
        int level;
    };
    std::vector<uint8_t> mixed = textData(600000);
    std::vector<uint8_t> noise = noiseData(200000);
    mixed.insert(mixed.begin() + 250000, noise.begin(), noise.end());
    const Row rows[] = {
        {"text, level 6", textData(1500000), 262144, 6},
        {"text and noise (stored blocks), level 1", mixed, 100000, 1},
        {"text and noise, level 12", mixed, 300000, 12},
        {"noise alone", noiseData(300000), 65536, 6},
        {"zeros", std::vector<uint8_t>(1000000, 0), 131072, 6},
        {"pieces of one byte", textData(40), 1, 6},
        {"last piece of one byte", textData(65537), 65536, 9},
        {"one piece", textData(5000), 65536, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        BlockDeflater d;
        ASSERT_EQ(0, blockDeflaterInit(&d, 6, row.level));
        std::vector<uint8_t> joined, piece;
        size_t produced = 0, at = 0;
        do {
            const size_t n = std::min(row.pieceSize, row.data.size() - at);
            const bool last = at + n == row.data.size();
            ASSERT_EQ(0, deflatePiece(&d, row.data.data() + at, n, last, &piece, &produced));
            ASSERT_LE(produced, deflateRoom(&d, n));
            if (!last) {  // a continued piece ends with the empty stored block of a sync flush
                ASSERT_GE(produced, 4u);
                EXPECT_EQ(0, std::memcmp(piece.data() + produced - 4, "\x00\x00\xFF\xFF", 4));
            }
            joined.insert(joined.end(), piece.begin(), piece.begin() + produced);
            at += n;
        } while (at < row.data.size());
        blockDeflaterEnd(&d);
        EXPECT_TRUE(inflatesTo(joined, row.data));
    }
}

TEST(BlockDeflate, LastBlockIsFoundOnlyInACompleteStream)
{
    BlockDeflater d;
    ASSERT_EQ(0, blockDeflaterInit(&d, 6, 6));
    const std::vector<uint8_t> data = textData(200000);
    std::vector<uint8_t> out;
    size_t produced = 0;
    ASSERT_EQ(0, deflatePiece(&d, data.data(), data.size(), true, &out, &produced));
    blockDeflaterEnd(&d);
    out.resize(produced);
    uint64_t header = 0, end = 0;
    ASSERT_TRUE(findLastBlock(out.data(), out.size(), &header, &end));
    EXPECT_EQ(1u, (out[header >> 3] >> (header & 7)) & 1u) << "the final flag";
    EXPECT_EQ(out.size(), (end + 7) / 8);
    struct Row {
        const char* label;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> truncated(out.begin(), out.end() - 1), trailing = out, flipped = out;
    trailing.push_back(0);
    flipped[header >> 3] = static_cast<uint8_t>(flipped[header >> 3] ^ (1u << (header & 7)));  // no final block left
    const Row bad[] = {
        {"empty", {}},
        {"truncated", truncated},
        {"bytes after the end", trailing},
        {"final flag cleared", flipped},
        {"reserved block type", {0x07}},
        {"stored block with a bad length check", {0x01, 0x05, 0x00, 0x00, 0x00}},
    };
    for (const Row& row : bad) {
        SCOPED_TRACE(row.label);
        EXPECT_FALSE(findLastBlock(row.bytes.data(), row.bytes.size(), &header, &end));
    }
}

TEST(BlockDeflate, CrcJoinHandlesLengthsBeyondThirtyTwoBits)
{
    // CRC of 5 GiB of zeros after "abc", built by joining: compare with shifting step by step.
    const uint8_t abc[3] = {'a', 'b', 'c'};
    const uint32_t crcAbc = crc32Of(abc, 3);
    const uint64_t big = 5ull << 30;
    uint32_t zeros = 0;  // CRC of 'big' zero bytes, by doubling a 1 MiB block
    std::vector<uint8_t> mib(1 << 20, 0);
    const uint32_t crcMib = crc32Of(mib.data(), mib.size());
    for (uint64_t done = 0; done < big; done += mib.size()) zeros = done ? crc32Join(zeros, crcMib, mib.size()) : crcMib;
    uint32_t stepwise = crcAbc;
    for (uint64_t done = 0; done < big; done += mib.size()) stepwise = crc32Join(stepwise, crcMib, mib.size());
    EXPECT_EQ(stepwise, crc32Join(crcAbc, zeros, big));
}

}  // namespace
