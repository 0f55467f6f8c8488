// Deflate of one block of a file as a piece of a single raw deflate stream, and CRC-32 helpers.
// A file cut into blocks is compressed block by block (in parallel if wanted): each block is
// primed with the 32 KiB before it as dictionary and all but the last end on a byte boundary
// (sync flush), so the pieces joined in order form one valid deflate stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

const size_t kDeflateWindow = 32768;

struct BlockDeflater {
    z_stream stream;
    int level;
    bool ready;
};

// 0 or -1 (no memory).
int blockDeflaterInit(BlockDeflater* d, int level);
void blockDeflaterEnd(BlockDeflater* d);

// Compresses data into the start of *out and sets *produced to its length; out only grows (it is
// reused from block to block). dict holds the up to 32 KiB that precede data in the file (none
// for the first block); last ends the stream. Returns 0 or -1.
int deflateBlock(BlockDeflater* d, const uint8_t* dict, size_t dictLength, const uint8_t* data,
                 size_t length, bool last, std::vector<uint8_t>* out, size_t* produced);

uint32_t crc32Of(const uint8_t* data, size_t length, uint32_t crc = 0);
// CRC of A followed by B from the CRCs of A and B.
uint32_t crc32Join(uint32_t crcA, uint32_t crcB, uint64_t lengthB);
