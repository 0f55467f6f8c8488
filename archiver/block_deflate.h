// Deflate of a whole file, or of one block of a large file as a piece of a single raw deflate
// stream, and CRC-32 helpers.
// Whole files and blocks are compressed by libdeflate, which works on whole buffers only: a block
// is compressed as a stream of its own and then continued (deflate_join.h), so the pieces joined
// in order form one valid deflate stream. zlib serves when a piece cannot be continued, and as
// the engine of primed blocks: each block primed with the 32 KiB before it as dictionary and all
// but the last ending on a byte boundary (sync flush).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

struct libdeflate_compressor;

const size_t kDeflateWindow = 32768;

struct BlockDeflater {
    z_stream stream;
    int level;
    bool ready;
    libdeflate_compressor* whole;   // null when the level is 0
};

// zlib level (0 stores) and libdeflate level (1 to 12). 0 or -1 (no memory).
int blockDeflaterInit(BlockDeflater* d, int level, int wholeLevel);
void blockDeflaterEnd(BlockDeflater* d);

// Room an output buffer needs for a whole buffer or piece of length bytes.
size_t deflateRoom(const BlockDeflater* d, size_t length);

// Compresses data into the start of *out (grown if it is short of deflateRoom) and sets *produced:
// a complete stream when last, else a piece that the next one continues. 0 or -1.
int deflatePiece(BlockDeflater* d, const uint8_t* data, size_t length, bool last, std::vector<uint8_t>* out,
                 size_t* produced);

// Compresses data into the start of *out and sets *produced to its length; out only grows (it is
// reused from block to block). dict holds the up to 32 KiB that precede data in the file (none
// for the first block); last ends the stream. Returns 0 or -1.
int deflateBlock(BlockDeflater* d, const uint8_t* dict, size_t dictLength, const uint8_t* data,
                 size_t length, bool last, std::vector<uint8_t>* out, size_t* produced);

uint32_t crc32Of(const uint8_t* data, size_t length, uint32_t crc = 0);
// CRC of A followed by B from the CRCs of A and B.
uint32_t crc32Join(uint32_t crcA, uint32_t crcB, uint64_t lengthB);
