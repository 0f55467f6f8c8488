// Joining whole deflate streams into one: pure functions on the bytes.
// A compressor that only makes complete streams (the last block flagged final) can still serve a
// large file cut into pieces: each piece is compressed on its own, the final flag of its last block
// is cleared and an empty stored block brings it to a byte boundary (what a sync flush writes), so
// the pieces laid end to end, the last one unchanged, are one valid stream.
#pragma once

#include <cstddef>
#include <cstdint>

// Finds the last block of a complete raw deflate stream: the bit offset of its header (whose first
// bit is the final flag) and the bit offset just after its end-of-block code. The bits are counted
// from the first byte's lowest bit. False when the bytes are not one complete valid stream.
bool findLastBlock(const uint8_t* stream, size_t length, uint64_t* headerBit, uint64_t* endBit);

// Turns the complete stream in out[0, length) into a piece that the next piece may follow: clears
// the final flag, cuts the padding and appends an empty stored block. out must have room for
// length + 5 bytes. Returns the new length, or 0 when the stream is not valid.
size_t continueAfter(uint8_t* out, size_t length);
