// The read-back of a written archive: one pass over the file, headers compared with the bytes
// the entry list gives, entry data inflated and counted.
#include "archive_check.h"

#include <libdeflate.h>

#include <cstring>
#include <vector>

#include "archiver_api.h"
#include "block_deflate.h"
#include "parallel_deflate.h"
#include "zip_records.h"

namespace {

volatile LONG g_checking = 0;

// Room for the compressed bytes of one block: above what deflate makes of 1 MiB in any case.
const size_t kPieceRoom = kBlockSize + kBlockSize / 8;
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

// One block's inflate: on a helper thread of its own, or (the first) on the calling thread.
struct PieceSlot {
    std::vector<uint8_t> in;        // the block's compressed bytes and the final block it may need
    std::vector<uint8_t> out;       // what the block inflates to
    size_t length = 0;              // bytes of `in` to inflate
    size_t made = 0;
    uint32_t crc = 0;
    int step = StepOk;
    libdeflate_decompressor* decompressor = nullptr;
    HANDLE go = nullptr;
    HANDLE done = nullptr;
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
};

// Inflates the complete stream in the slot, which must use every byte given, and takes its CRC.
void inflateSlot(PieceSlot* s)
{
    size_t usedIn = 0;
    s->made = 0;
    libdeflate_result rc =
        libdeflate_deflate_decompress_ex(s->decompressor, s->in.data(), s->length, s->out.data(), s->out.size(), &usedIn, &s->made);
    s->step = rc == LIBDEFLATE_SUCCESS && usedIn == s->length ? StepOk : StepDiffers;
    s->crc = s->step == StepOk ? crc32Of(s->out.data(), s->made) : 0;
}

DWORD WINAPI helperMain(void* arg)
{
    PieceSlot* s = static_cast<PieceSlot*>(arg);
    for (;;) {
        WaitForSingleObject(s->go, INFINITE);
        if (s->stop) return 0;
        inflateSlot(s);
        SetEvent(s->done);
    }
}

// What inflating needs, kept for the whole read-back: a slot per thread (the blocks of a large
// entry inflate side by side, as they were compressed).
struct Inflater {
    std::vector<PieceSlot> slots;
    size_t nextRun = 0;             // in EntryPieces::runs
};

// Slot 0 for the calling thread and one helper thread per further slot, threads in all (fewer
// when a thread cannot be had). False without memory for the first slot.
bool startInflater(Inflater* x, int threads)
{
    x->slots.resize(threads > 1 ? static_cast<size_t>(threads) : 1);
    for (size_t i = 0; i < x->slots.size(); ++i) {
        PieceSlot& s = x->slots[i];
        s.in.resize(kPieceRoom + sizeof kFinalEmptyBlock);
        s.out.resize(kBlockSize);
        s.decompressor = libdeflate_alloc_decompressor();
        bool ready = s.decompressor != nullptr;
        if (ready && i > 0) {
            s.go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            s.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            s.thread = s.go && s.done ? CreateThread(nullptr, 0, helperMain, &s, 0, nullptr) : nullptr;
            ready = s.thread != nullptr;
        }
        if (!ready) {
            if (s.decompressor) libdeflate_free_decompressor(s.decompressor);
            if (s.go) CloseHandle(s.go);
            if (s.done) CloseHandle(s.done);
            x->slots.resize(i);
            break;
        }
    }
    return !x->slots.empty();
}

void stopInflater(Inflater* x)
{
    for (size_t i = 0; i < x->slots.size(); ++i) {
        PieceSlot& s = x->slots[i];
        if (s.thread) {
            InterlockedExchange(&s.stop, 1);
            SetEvent(s.go);
            WaitForSingleObject(s.thread, INFINITE);
            CloseHandle(s.thread);
        }
        if (s.go) CloseHandle(s.go);
        if (s.done) CloseHandle(s.done);
        libdeflate_free_decompressor(s.decompressor);
    }
    x->slots.clear();
}

// An entry of several blocks: each block's stream inflates alone, so as many blocks as there are
// slots are read in order and inflated together, their CRCs joined in order.
int readPieces(ReadBack* r, const ZipEntry& e, const EntryPieces& pieces, const PieceRun& run, Inflater* x,
               uint64_t* produced, uint32_t* crc)
{
    uint64_t total = 0;
    for (size_t k = 0; k < run.count; ++k) total += pieces.lengths[run.first + k];
    if (total != e.compressedSize) return StepDiffers;
    for (size_t k = 0; k < run.count;) {
        const size_t batch = run.count - k < x->slots.size() ? run.count - k : x->slots.size();
        size_t started = 0;   // helpers at work
        int step = StepOk;
        for (size_t j = 0; j < batch && step == StepOk; ++j) {
            PieceSlot& s = x->slots[j];
            s.length = pieces.lengths[run.first + k + j];
            if (s.length + sizeof kFinalEmptyBlock > s.in.size()) {
                step = StepDiffers;
                break;
            }
            step = readInto(r, s.in.data(), s.length);
            if (step != StepOk) break;
            if (k + j + 1 < run.count) {
                std::memcpy(s.in.data() + s.length, kFinalEmptyBlock, sizeof kFinalEmptyBlock);
                s.length += sizeof kFinalEmptyBlock;
            }
            if (j > 0) {
                SetEvent(s.go);
                ++started;
            }
        }
        if (step == StepOk) inflateSlot(&x->slots[0]);
        for (size_t j = 1; j <= started; ++j) WaitForSingleObject(x->slots[j].done, INFINITE);
        for (size_t j = 0; j < batch && step == StepOk; ++j) {
            const PieceSlot& s = x->slots[j];
            if (s.step != StepOk) return s.step;
            *crc = crc32Join(*crc, s.crc, s.made);
            *produced += s.made;
            if (*produced > e.uncompressedSize) return StepDiffers;
        }
        if (step != StepOk) return step;
        k += batch;
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
    if (r->progress->thread && !e.isFolder) progressSetItem(r->progress, shownPath(sourcePathOf(*entries, e)));
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
    } else if (e.method == kZipDeflated && e.compressedSize <= kPieceRoom && e.uncompressedSize <= kBlockSize) {
        // One block, one complete stream.
        PieceSlot& slot = x->slots[0];
        slot.length = static_cast<size_t>(e.compressedSize);
        step = readInto(r, slot.in.data(), slot.length);
        if (step == StepOk) inflateSlot(&slot);
        if (step == StepOk) step = slot.step;
        crc = slot.crc;
        produced = slot.made;
    } else if (e.method == kZipDeflated) {
        // The writer makes no other deflated entries: one that claims to be is not as written.
        step = StepDiffers;
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
    if (!startInflater(&x, written.threads)) {
        r->error = ERROR_NOT_ENOUGH_MEMORY;
        return StepFailed;
    }
    int result = StepOk;
    for (size_t i = 0; i < entries->count && result == StepOk; ++i) {
        *at = i;
        result = checkEntry(r, entries, written.pieces, i, &header, &x);
    }
    stopInflater(&x);
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
