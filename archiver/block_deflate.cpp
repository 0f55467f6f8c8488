// libdeflate for whole buffers and continued pieces; zlib raw deflate per block, with a
// dictionary and a sync flush between blocks.
#include "block_deflate.h"

#include <libdeflate.h>

#include <climits>
#include <cstring>

#include "deflate_join.h"

int blockDeflaterInit(BlockDeflater* d, int level, int wholeLevel)
{
    std::memset(&d->stream, 0, sizeof(d->stream));
    d->level = level;
    d->whole = nullptr;
    d->ready = deflateInit2(&d->stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (d->ready && level != 0) {
        d->whole = libdeflate_alloc_compressor(wholeLevel);
        if (!d->whole) blockDeflaterEnd(d);
    }
    return d->ready ? 0 : -1;
}

void blockDeflaterEnd(BlockDeflater* d)
{
    if (d->ready) deflateEnd(&d->stream);
    if (d->whole) libdeflate_free_compressor(d->whole);
    d->whole = nullptr;
    d->ready = false;
}

size_t deflateRoom(const BlockDeflater* d, size_t length)
{
    // libdeflate's bound, the empty stored block that continues a piece, and zlib's bound with its
    // sync marker for the fallback.
    const size_t fast = d->whole ? libdeflate_deflate_compress_bound(d->whole, length) + 5 : 0;
    const size_t slow = length + length / 1000 + (length >> 12) + (length >> 14) + (length >> 25) + 13 + 64;
    return fast > slow ? fast : slow;
}

int deflatePiece(BlockDeflater* d, const uint8_t* data, size_t length, bool last, std::vector<uint8_t>* out,
                 size_t* produced)
{
    if (!d->ready || !d->whole) return -1;
    const size_t room = deflateRoom(d, length);
    if (out->size() < room) out->resize(room);
    size_t n = libdeflate_deflate_compress(d->whole, data, length, out->data(), room - 5);
    if (n && !last) n = continueAfter(out->data(), n);
    if (n) {
        *produced = n;
        return 0;
    }
    // A piece that could not be continued (never seen): zlib makes it without a dictionary.
    return deflateBlock(d, nullptr, 0, data, length, last, out, produced);
}

int deflateBlock(BlockDeflater* d, const uint8_t* dict, size_t dictLength, const uint8_t* data,
                 size_t length, bool last, std::vector<uint8_t>* out, size_t* produced)
{
    if (!d->ready || length > UINT_MAX) return -1;
    z_stream* s = &d->stream;
    if (deflateReset(s) != Z_OK) return -1;
    if (dictLength > kDeflateWindow) {
        dict += dictLength - kDeflateWindow;
        dictLength = kDeflateWindow;
    }
    if (dictLength && deflateSetDictionary(s, dict, static_cast<uInt>(dictLength)) != Z_OK) return -1;
    // Room for the worst case plus the sync marker; grown if zlib ever asks for more.
    const size_t room = deflateBound(s, static_cast<uLong>(length)) + 64;
    if (out->size() < room) out->resize(room);
    s->next_in = const_cast<Bytef*>(data);
    s->avail_in = static_cast<uInt>(length);
    *produced = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        s->next_out = out->data() + *produced;
        s->avail_out = static_cast<uInt>(out->size() - *produced);
        int rc = deflate(s, flush);
        *produced = out->size() - s->avail_out;
        if (rc == Z_STREAM_ERROR) return -1;
        if (last ? rc == Z_STREAM_END : (s->avail_in == 0 && s->avail_out != 0)) break;
        out->resize(out->size() * 2 + 64);
    }
    return 0;
}

uint32_t crc32Of(const uint8_t* data, size_t length, uint32_t crc)
{
    // libdeflate's CRC uses the processor's carry-less multiply where it has one: several times
    // zlib's speed.
    return libdeflate_crc32(crc, data, length);
}

uint32_t crc32Join(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
    // crc32_combine(a, b, n) is a's CRC shifted over n zero bytes, xor b's. zlib's z_off_t may be
    // 32 bits here, so shift in pieces below 1 GiB.
    uLong shifted = crcA;
    while (lengthB) {
        uint64_t piece = lengthB > 0x20000000u ? 0x20000000u : lengthB;
        shifted = crc32_combine(shifted, 0, static_cast<z_off_t>(piece));
        lengthB -= piece;
    }
    return static_cast<uint32_t>(shifted ^ crcB);
}
