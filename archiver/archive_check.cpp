// The read-back of a written archive: one pass over the file, headers compared with the bytes
// the entry list gives, entry data inflated and counted.
#include "archive_check.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "archiver_api.h"
#include "block_deflate.h"
#include "parallel_deflate.h"
#include "zip_records.h"

namespace {

volatile LONG g_checking = 0;

// Output of zlib's inflate, thrown away once counted.
const size_t kInflateOutBytes = 256 * 1024;
// Room for the compressed bytes of one block: far above what deflate makes of 1 MiB.
const size_t kPieceRoom = 2 * kBlockSize;
// An empty final stored block: after a piece that ends on a byte boundary, it makes the piece a
// complete stream of its own.
const uint8_t kFinalEmptyBlock[5] = {0x01, 0x00, 0x00, 0xFF, 0xFF};

enum Step { StepOk = 0, StepDiffers = 1, StepFailed = -1 };

struct ReadBack {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool unbuffered = false;
    uint8_t* buffer = nullptr;      // kCheckChunkBytes, page aligned
    size_t length = 0;              // bytes in the buffer
    size_t used = 0;                // of them consumed
    uint64_t position = 0;          // file offset of buffer[used]
    uint64_t size = 0;              // the file's length: nothing is read past it
    DWORD error = 0;                // read error (StepFailed)
    bool cancelled = false;         // StepFailed by Cancel
    const std::wstring* path = nullptr;
    Progress* progress = nullptr;
};

HANDLE openArchive(const std::wstring& path, bool unbuffered)
{
    // Others may read it meanwhile; nobody may write or remove it (another run of the same
    // archive takes it for a leftover only when it can delete it).
    const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (unbuffered ? FILE_FLAG_NO_BUFFERING : 0);
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
}

// Reads the next chunk when the buffer is spent. Reads never begin at or past the end, so an
// unbuffered handle is always asked at an aligned offset for a whole chunk. StepOk with at least
// one byte, StepDiffers when the file ends, StepFailed on a read error or Cancel.
int fill(ReadBack* r)
{
    if (r->used < r->length) return StepOk;
    if (r->position >= r->size) return StepDiffers;
    if (r->progress->cancel) {
        r->cancelled = true;
        return StepFailed;
    }
    DWORD got = 0;
    if (!ReadFile(r->file, r->buffer, kCheckChunkBytes, &got, nullptr)) {
        DWORD error = GetLastError();
        // The volume wants another alignment than ours: the rest goes through the cache.
        HANDLE cached = error == ERROR_INVALID_PARAMETER && r->unbuffered ? openArchive(*r->path, false)
                                                                           : INVALID_HANDLE_VALUE;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(r->position);
        if (cached == INVALID_HANDLE_VALUE || !SetFilePointerEx(cached, at, nullptr, FILE_BEGIN) ||
            !ReadFile(cached, r->buffer, kCheckChunkBytes, &got, nullptr)) {
            r->error = cached == INVALID_HANDLE_VALUE ? error : GetLastError();
            if (cached != INVALID_HANDLE_VALUE) CloseHandle(cached);
            if (!r->error) r->error = ERROR_READ_FAULT;
            return StepFailed;
        }
        CloseHandle(r->file);
        r->file = cached;
        r->unbuffered = false;
    }
    if (got == 0) return StepDiffers;
    r->length = got;
    r->used = 0;
    progressAddBytes(r->progress, got);
    return StepOk;
}

void consume(ReadBack* r, size_t n)
{
    r->used += n;
    r->position += n;
}

// The next bytes of the file must be these.
int expectBytes(ReadBack* r, const uint8_t* expected, size_t length)
{
    while (length) {
        int step = fill(r);
        if (step != StepOk) return step;
        size_t n = r->length - r->used;
        if (n > length) n = length;
        if (std::memcmp(r->buffer + r->used, expected, n) != 0) return StepDiffers;
        consume(r, n);
        expected += n;
        length -= n;
    }
    return StepOk;
}

// The next length bytes of the file into dest.
int readInto(ReadBack* r, uint8_t* dest, size_t length)
{
    while (length) {
        int step = fill(r);
        if (step != StepOk) return step;
        size_t n = r->length - r->used;
        if (n > length) n = length;
        std::memcpy(dest, r->buffer + r->used, n);
        consume(r, n);
        dest += n;
        length -= n;
    }
    return StepOk;
}

// What inflating needs, kept for the whole read-back.
struct Inflater {
    libdeflate_decompressor* decompressor = nullptr;
    std::vector<uint8_t> in;        // one block's compressed bytes and the final block it may need
    std::vector<uint8_t> out;       // what one block inflates to
    std::vector<uint8_t> streamed;  // zlib's output
    size_t nextRun = 0;             // in EntryPieces::runs
};

// Inflates the complete stream in x->in (length bytes), which must use every byte given.
int inflateWhole(Inflater* x, size_t length, size_t* made)
{
    size_t usedIn = 0;
    libdeflate_result rc =
        libdeflate_deflate_decompress_ex(x->decompressor, x->in.data(), length, x->out.data(), x->out.size(), &usedIn, made);
    return rc == LIBDEFLATE_SUCCESS && usedIn == length ? StepOk : StepDiffers;
}

// An entry of several blocks, block by block: each block's stream inflates alone.
int readPieces(ReadBack* r, const ZipEntry& e, const EntryPieces& pieces, const PieceRun& run, Inflater* x,
               uint64_t* produced, uint32_t* crc)
{
    uint64_t total = 0;
    for (size_t k = 0; k < run.count; ++k) total += pieces.lengths[run.first + k];
    if (total != e.compressedSize) return StepDiffers;
    for (size_t k = 0; k < run.count; ++k) {
        size_t length = pieces.lengths[run.first + k];
        if (length + sizeof kFinalEmptyBlock > x->in.size()) return StepDiffers;
        int step = readInto(r, x->in.data(), length);
        if (step != StepOk) return step;
        if (k + 1 < run.count) {
            std::memcpy(x->in.data() + length, kFinalEmptyBlock, sizeof kFinalEmptyBlock);
            length += sizeof kFinalEmptyBlock;
        }
        size_t made = 0;
        step = inflateWhole(x, length, &made);
        if (step != StepOk) return step;
        *crc = crc32Of(x->out.data(), made, *crc);
        *produced += made;
        if (*produced > e.uncompressedSize) return StepDiffers;
    }
    return StepOk;
}

// A stored entry's data: its bytes counted and their CRC taken.
int readStored(ReadBack* r, uint64_t length, uint64_t* produced, uint32_t* crc)
{
    while (length) {
        int step = fill(r);
        if (step != StepOk) return step;
        size_t n = r->length - r->used;
        if (n > length) n = static_cast<size_t>(length);
        *crc = crc32Of(r->buffer + r->used, n, *crc);
        *produced += n;
        consume(r, n);
        length -= n;
    }
    return StepOk;
}

// A deflated entry's data: inflated in bounded memory, counted and its CRC taken. The stream must
// end exactly at the end of its compressed bytes, and give no more than expected.
int readDeflated(ReadBack* r, uint64_t length, uint64_t expected, std::vector<uint8_t>* out, uint64_t* produced,
                 uint32_t* crc)
{
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        r->error = ERROR_NOT_ENOUGH_MEMORY;
        return StepFailed;
    }
    int result = StepOk;
    bool ended = false;
    while (!ended && result == StepOk) {
        if (length == 0) {
            result = StepDiffers;   // the compressed bytes end inside the stream
            break;
        }
        result = fill(r);
        if (result != StepOk) break;
        size_t available = r->length - r->used;
        if (available > length) available = static_cast<size_t>(length);
        z.next_in = r->buffer + r->used;
        z.avail_in = static_cast<uInt>(available);
        for (;;) {
            z.next_out = out->data();
            z.avail_out = static_cast<uInt>(out->size());
            const int rc = inflate(&z, Z_NO_FLUSH);
            const size_t made = out->size() - z.avail_out;
            *crc = crc32Of(out->data(), made, *crc);
            *produced += made;
            if (*produced > expected) {
                result = StepDiffers;
                break;
            }
            if (rc == Z_STREAM_END) {
                ended = true;
                break;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                result = StepDiffers;
                break;
            }
            // More input is needed once the output has room left and no input is left (or
            // inflate could make no progress at all).
            if (z.avail_out != 0 && (z.avail_in == 0 || rc == Z_BUF_ERROR)) break;
        }
        const size_t taken = available - z.avail_in;
        consume(r, taken);
        length -= taken;
        if (result == StepOk && !ended && taken == 0) result = StepDiffers;
    }
    // Bytes after the end of the stream within the entry are not what was written.
    if (result == StepOk && length != 0) result = StepDiffers;
    inflateEnd(&z);
    return result;
}

std::wstring entryName(const ZipEntry& e)
{
    if (!e.nameLength) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, e.name, e.nameLength, nullptr, 0);
    std::wstring name(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, e.name, e.nameLength, &name[0], n);
    return name;
}

// Local header and data of one entry.
int checkEntry(ReadBack* r, EntryList* entries, const EntryPieces* pieces, size_t index, std::vector<uint8_t>* header,
               Inflater* x)
{
    const ZipEntry& e = entryAt(entries, index);
    if (r->position != e.headerOffset) return StepDiffers;
    if (r->progress->thread && !e.isFolder) progressSetItem(r->progress, sourcePathOf(*entries, e));
    header->clear();
    appendLocalHeader(header, e);
    int step = expectBytes(r, header->data(), header->size());
    if (step != StepOk) return step;
    uint64_t produced = 0;
    uint32_t crc = 0;
    const PieceRun* run = pieces && x->nextRun < pieces->runs.size() && pieces->runs[x->nextRun].entry == index
                              ? &pieces->runs[x->nextRun++]
                              : nullptr;
    if (e.method == kZipDeflated && run) {
        step = readPieces(r, e, *pieces, *run, x, &produced, &crc);
    } else if (e.method == kZipDeflated && e.compressedSize <= kPieceRoom && e.uncompressedSize <= x->out.size()) {
        size_t made = 0;
        step = readInto(r, x->in.data(), static_cast<size_t>(e.compressedSize));
        if (step == StepOk) step = inflateWhole(x, static_cast<size_t>(e.compressedSize), &made);
        if (step == StepOk) crc = crc32Of(x->out.data(), made, 0);
        produced = made;
    } else if (e.method == kZipDeflated) {
        step = readDeflated(r, e.compressedSize, e.uncompressedSize, &x->streamed, &produced, &crc);
    } else {
        step = e.compressedSize == e.uncompressedSize ? readStored(r, e.compressedSize, &produced, &crc) : StepDiffers;
    }
    if (step != StepOk) return step;
    return produced == e.uncompressedSize && crc == e.crc ? StepOk : StepDiffers;
}

// Every entry, then the central directory, then the end records. *at receives the entry a
// difference is about (entries->count for the end records and the length).
int checkAll(ReadBack* r, EntryList* entries, const WrittenArchive& written, size_t* at)
{
    std::vector<uint8_t> header;
    Inflater x;
    x.decompressor = libdeflate_alloc_decompressor();
    if (!x.decompressor) {
        r->error = ERROR_NOT_ENOUGH_MEMORY;
        return StepFailed;
    }
    x.in.resize(kPieceRoom + sizeof kFinalEmptyBlock);
    x.out.resize(kBlockSize);
    x.streamed.resize(kInflateOutBytes);
    int result = StepOk;
    for (size_t i = 0; i < entries->count && result == StepOk; ++i) {
        *at = i;
        result = checkEntry(r, entries, written.pieces, i, &header, &x);
    }
    libdeflate_free_decompressor(x.decompressor);
    if (result != StepOk) return result;
    *at = 0;
    if (r->position != written.centralOffset) return StepDiffers;
    for (size_t i = 0; i < entries->count; ++i) {
        *at = i;
        header.clear();
        appendCentralHeader(&header, entryAt(entries, i));
        int step = expectBytes(r, header.data(), header.size());
        if (step != StepOk) return step;
    }
    *at = entries->count;
    header.clear();
    appendEndRecords(&header, entries->count, written.centralOffset, written.centralSize);
    int step = expectBytes(r, header.data(), header.size());
    if (step != StepOk) return step;
    return r->position == r->size ? StepOk : StepDiffers;
}

int fail(ArchiveReport* report, int code, const std::wstring& path, DWORD systemError)
{
    report->code = code;
    report->path = path;
    report->systemError = systemError;
    return -1;
}

}  // namespace

int checkWrittenArchive(const std::wstring& path, const std::wstring& shownArchive, EntryList* entries,
                        const WrittenArchive& written, Progress* progress, ArchiveReport* report)
{
    InterlockedExchange(&g_checking, 1);
    progressStartCheck(progress, written.size);
    ReadBack r;
    r.path = &path;
    r.progress = progress;
    r.size = written.size;
    r.buffer = static_cast<uint8_t*>(VirtualAlloc(nullptr, kCheckChunkBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    r.file = openArchive(path, true);
    r.unbuffered = r.file != INVALID_HANDLE_VALUE;
    if (r.file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) r.file = openArchive(path, false);

    int rc = 0;
    LARGE_INTEGER size;
    if (!r.buffer) {
        rc = fail(report, ARCHIVER_ERROR_INTERNAL, L"", ERROR_NOT_ENOUGH_MEMORY);
    } else if (r.file == INVALID_HANDLE_VALUE || !GetFileSizeEx(r.file, &size)) {
        rc = fail(report, ARCHIVER_ERROR_READ_BACK, shownArchive, GetLastError());
    } else if (static_cast<uint64_t>(size.QuadPart) != written.size) {
        rc = fail(report, ARCHIVER_ERROR_VERIFY, L"", 0);
    } else {
        size_t at = 0;
        const int step = checkAll(&r, entries, written, &at);
        if (step == StepDiffers) {
            rc = fail(report, ARCHIVER_ERROR_VERIFY, at < entries->count ? entryName(entryAt(entries, at)) : L"", 0);
        } else if (step == StepFailed) {
            rc = r.cancelled ? fail(report, ARCHIVER_CANCELLED, L"", 0)
                             : fail(report, ARCHIVER_ERROR_READ_BACK, shownArchive, r.error);
        }
    }
    if (r.file != INVALID_HANDLE_VALUE) CloseHandle(r.file);
    if (r.buffer) VirtualFree(r.buffer, 0, MEM_RELEASE);
    InterlockedExchange(&g_checking, 0);
    return rc;
}

bool archiveCheckRunning()
{
    return g_checking != 0;
}
