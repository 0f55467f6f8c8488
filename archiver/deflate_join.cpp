// Walks the blocks of a raw deflate stream (RFC 1951) without producing its output: stored blocks
// are skipped by their length, Huffman blocks symbol by symbol, which is what it takes to know
// where the last block begins and ends.
#include "deflate_join.h"

#include <cstring>

namespace {

const unsigned kMaxBits = 15;

struct BitReader {
    const uint8_t* data;
    size_t length;
    uint64_t pos;       // in bits
    uint64_t total;     // length * 8
};

// The next n (at most 25) bits, lowest first; bits past the end read as 0 (callers check the
// position against total once they know how many bits they used).
inline uint32_t peekBits(const BitReader& r, unsigned n)
{
    const size_t byte = static_cast<size_t>(r.pos >> 3);
    uint64_t v = 0;
    if (byte + 8 <= r.length) {
        std::memcpy(&v, r.data + byte, 8);
    } else {
        for (size_t i = 0; i < 8 && byte + i < r.length; ++i) v |= static_cast<uint64_t>(r.data[byte + i]) << (8 * i);
    }
    return static_cast<uint32_t>(v >> (r.pos & 7)) & ((1u << n) - 1);
}

inline bool takeBits(BitReader* r, unsigned n, uint32_t* value)
{
    if (r->pos + n > r->total) return false;
    *value = n ? peekBits(*r, n) : 0;
    r->pos += n;
    return true;
}

// A canonical Huffman code as a table indexed by the next `bits` bits of the stream: each entry
// holds symbol << 4 | code length, 0 where no code begins.
struct Huffman {
    unsigned bits;
    uint16_t table[1u << kMaxBits];
};

bool buildHuffman(Huffman* h, const uint8_t* lengths, unsigned count)
{
    unsigned perLength[kMaxBits + 1] = {0};
    unsigned longest = 0;
    for (unsigned s = 0; s < count; ++s) {
        if (lengths[s] > kMaxBits) return false;
        ++perLength[lengths[s]];
        if (lengths[s] > longest) longest = lengths[s];
    }
    h->bits = longest;
    if (!longest) return true;     // no code at all (a block without distances)
    int left = 1;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        left = (left << 1) - static_cast<int>(perLength[len]);
        if (left < 0) return false;  // more codes than the lengths allow
    }
    unsigned next[kMaxBits + 2] = {0};
    unsigned code = 0;
    perLength[0] = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    const unsigned size = 1u << longest;
    std::memset(h->table, 0, size * sizeof(h->table[0]));
    for (unsigned s = 0; s < count; ++s) {
        const unsigned len = lengths[s];
        if (!len) continue;
        unsigned c = next[len]++, reversed = 0;
        for (unsigned i = 0; i < len; ++i) reversed |= ((c >> i) & 1u) << (len - 1 - i);
        for (unsigned i = reversed; i < size; i += 1u << len) h->table[i] = static_cast<uint16_t>(s << 4 | len);
    }
    return true;
}

inline bool decodeSymbol(BitReader* r, const Huffman& h, unsigned* symbol)
{
    if (!h.bits) return false;
    const uint16_t e = h.table[peekBits(*r, h.bits)];
    const unsigned len = e & 15u;
    if (!len || r->pos + len > r->total) return false;
    r->pos += len;
    *symbol = e >> 4;
    return true;
}

const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct Codes {
    Huffman literals;
    Huffman distances;
    Huffman lengthCodes;
};

bool skipSymbols(BitReader* r, const Codes& c)
{
    for (;;) {
        unsigned sym = 0;
        if (!decodeSymbol(r, c.literals, &sym)) return false;
        if (sym < 256) continue;
        if (sym == 256) return true;
        if (sym > 285) return false;
        uint32_t extra = 0;
        if (!takeBits(r, kLengthExtra[sym - 257], &extra)) return false;
        unsigned dist = 0;
        if (!decodeSymbol(r, c.distances, &dist) || dist > 29) return false;
        if (!takeBits(r, kDistanceExtra[dist], &extra)) return false;
    }
}

bool readFixedCodes(Codes* c)
{
    uint8_t lengths[288];
    for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    uint8_t distances[30];
    std::memset(distances, 5, sizeof(distances));
    return buildHuffman(&c->literals, lengths, 288) && buildHuffman(&c->distances, distances, 30);
}

bool readDynamicCodes(BitReader* r, Codes* c)
{
    uint32_t hlit = 0, hdist = 0, hclen = 0;
    if (!takeBits(r, 5, &hlit) || !takeBits(r, 5, &hdist) || !takeBits(r, 4, &hclen)) return false;
    const unsigned literalCount = hlit + 257, distanceCount = hdist + 1, lengthCodeCount = hclen + 4;
    if (literalCount > 286 || distanceCount > 30) return false;
    uint8_t codeLengths[19] = {0};
    for (unsigned i = 0; i < lengthCodeCount; ++i) {
        uint32_t v = 0;
        if (!takeBits(r, 3, &v)) return false;
        codeLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(v);
    }
    if (!buildHuffman(&c->lengthCodes, codeLengths, 19)) return false;
    uint8_t lengths[286 + 30];
    const unsigned total = literalCount + distanceCount;
    unsigned n = 0;
    while (n < total) {
        unsigned sym = 0;
        if (!decodeSymbol(r, c->lengthCodes, &sym)) return false;
        if (sym < 16) {
            lengths[n++] = static_cast<uint8_t>(sym);
            continue;
        }
        uint32_t repeat = 0;
        uint8_t value = 0;
        if (sym == 16) {
            if (!n || !takeBits(r, 2, &repeat)) return false;
            value = lengths[n - 1];
            repeat += 3;
        } else if (sym == 17) {
            if (!takeBits(r, 3, &repeat)) return false;
            repeat += 3;
        } else {
            if (!takeBits(r, 7, &repeat)) return false;
            repeat += 11;
        }
        if (n + repeat > total) return false;
        while (repeat--) lengths[n++] = value;
    }
    if (!lengths[256]) return false;   // no end-of-block code
    return buildHuffman(&c->literals, lengths, literalCount) &&
           buildHuffman(&c->distances, lengths + literalCount, distanceCount);
}

bool skipStored(BitReader* r)
{
    r->pos = (r->pos + 7) & ~static_cast<uint64_t>(7);
    uint32_t len = 0, nlen = 0;
    if (!takeBits(r, 16, &len) || !takeBits(r, 16, &nlen) || (len ^ 0xFFFFu) != nlen) return false;
    if (r->pos + static_cast<uint64_t>(len) * 8 > r->total) return false;
    r->pos += static_cast<uint64_t>(len) * 8;
    return true;
}

}  // namespace

bool findLastBlock(const uint8_t* stream, size_t length, uint64_t* headerBit, uint64_t* endBit)
{
    BitReader r{stream, length, 0, static_cast<uint64_t>(length) * 8};
    // The tables are too large for the stack of a worker thread.
    static thread_local Codes codes;
    for (;;) {
        const uint64_t header = r.pos;
        uint32_t final = 0, type = 0;
        if (!takeBits(&r, 1, &final) || !takeBits(&r, 2, &type)) return false;
        bool ok = false;
        if (type == 0) ok = skipStored(&r);
        else if (type == 1) ok = readFixedCodes(&codes) && skipSymbols(&r, codes);
        else if (type == 2) ok = readDynamicCodes(&r, &codes) && skipSymbols(&r, codes);
        if (!ok) return false;
        if (final) {
            // Nothing may follow but the padding of the last byte.
            if ((r.pos + 7) / 8 != length) return false;
            *headerBit = header;
            *endBit = r.pos;
            return true;
        }
    }
}

size_t continueAfter(uint8_t* out, size_t length)
{
    uint64_t header = 0, end = 0;
    if (!findLastBlock(out, length, &header, &end)) return 0;
    out[header >> 3] = static_cast<uint8_t>(out[header >> 3] & ~(1u << (header & 7)));
    // An empty stored block: three zero header bits (not final, stored), zero padding to the byte
    // boundary, then LEN 0 and NLEN 0xFFFF.
    const size_t at = static_cast<size_t>(end >> 3);
    const unsigned used = static_cast<unsigned>(end & 7);
    if (used) out[at] = static_cast<uint8_t>(out[at] & ((1u << used) - 1));
    else out[at] = 0;
    size_t n = static_cast<size_t>((end + 3 + 7) / 8);
    if (n > at + 1) out[at + 1] = 0;
    out[n++] = 0x00;
    out[n++] = 0x00;
    out[n++] = 0xFF;
    out[n++] = 0xFF;
    return n;
}
