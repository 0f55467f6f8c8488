// The archive pipeline. The calling thread takes the entries in order and hands the workers one
// job per small file (opened here, read and compressed whole by the worker) or per block of a
// larger file (read here, 1 MiB at a time, compressed as a piece of the file's one stream); it
// writes the finished jobs in the same order, so the archive is one sequential stream and the
// same input gives the same bytes whatever the threads do. A local header is written with its final values when
// the file fits one block, else with placeholders that are patched once the last block is in.
// Everything goes to a temporary file beside the archive, renamed to the archive path last; with
// -verify it is read back from the disk and checked first (archive_check.h).
// The walk runs on its own thread and publishes the entries as it lists them, so compressing
// starts with the first folder; a walk that fails ends the run and its temporary file.
#include "archive_writer.h"

#include <vector>

#include "archive_check.h"
#include "archive_output.h"
#include "archiver_api.h"
#include "file_read.h"
#include "file_tree.h"
#include "parallel_deflate.h"
#include "zip_records.h"

namespace {

const DWORD kPollMs = 50;

struct Reader {
    size_t nextEntry = 0;
    bool inFile = false;
    bool done = false;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;
    uint64_t offset = 0;
    uint64_t sizeAtOpen = 0;
    // The folder whose files are being opened: a folder's files follow one another in the walk.
    HANDLE folder = INVALID_HANDLE_VALUE;
    std::wstring folderPath;
};

void closeReader(Reader& r)
{
    if (r.file != INVALID_HANDLE_VALUE) CloseHandle(r.file);
    if (r.folder != INVALID_HANDLE_VALUE) CloseHandle(r.folder);
    r.file = r.folder = INVALID_HANDLE_VALUE;
}

// Opens a file of the walk by its name in its folder, which stays open while its files follow.
HANDLE openEntryFile(Reader& r, const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return openForReading(path);
    if (r.folderPath.size() != slash || path.compare(0, slash, r.folderPath) != 0) {
        if (r.folder != INVALID_HANDLE_VALUE) CloseHandle(r.folder);
        r.folderPath.assign(path, 0, slash);
        r.folder = openFolderOfFiles(r.folderPath);
    }
    return openInFolder(r.folder, path.substr(slash + 1), path);
}

struct Writer {
    uint64_t crc = 0;
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    uint64_t dataStart = 0;
    size_t firstPiece = 0;          // the entry's first piece in Run::pieces
};

// The walk, on a thread of its own so that listing the tree and compressing it overlap.
struct WalkThread {
    HANDLE thread = nullptr;
    HANDLE published = nullptr;     // set whenever entries were added
    volatile LONG done = 0;
    volatile LONG stop = 0;         // the run ended early: the walk stops at its next folder
    int result = 0;
    WalkFailure failure;
    WalkSide side;
    uint64_t totalBytes = 0;
};

struct Run {
    const ArchiverCommand* cmd;
    Progress* progress;
    ArchiveReport* report;
    EntryList entries;
    ArchiveOutput out;
    DeflatePool pool;
    Reader reader;
    Writer writer;
    WalkThread walk;
    WrittenArchive written;         // where the central directory went, for the read-back
    EntryPieces pieces;             // the blocks of deflated entries, for the read-back
};

int failWith(Run* run, int code, const std::wstring& path, DWORD systemError)
{
    run->report->code = code;
    run->report->path = path;
    run->report->systemError = systemError;
    return -1;
}

// Fills the next job: a folder entry, a small file for a worker to read, or the next block of
// the current or next file. Every file is opened here, by its name in its open folder (one
// thread opening is what Wine's single server handles best, and the name alone is cheap to
// resolve); small files are read by the workers, larger ones here block by block.
int produceJob(Run* run, Reader& r, DeflateJob* job, bool workersRead)
{
    job->wholeFile = false;
    if (!r.inFile) {
        ZipEntry& e = entryAt(&run->entries, r.nextEntry);
        job->entry = r.nextEntry;
        job->isFolder = e.isFolder;
        job->first = true;
        job->dictLength = 0;
        job->dataLength = 0;
        if (e.isFolder) {
            job->last = true;
            ++r.nextEntry;
            return 0;
        }
        job->path = sourcePathOf(run->entries, e);
        progressSetItem(run->progress, shownPath(job->path));
        if (workersRead && e.uncompressedSize <= kBlockSize) {
            job->file = openEntryFile(r, job->path);
            if (job->file == INVALID_HANDLE_VALUE) {
                return failWith(run, ARCHIVER_ERROR_ITEM_READ, shownPath(job->path), GetLastError());
            }
            job->wholeFile = true;
            job->last = true;
            ++r.nextEntry;
            return 0;
        }
        r.path = job->path;
        r.file = openEntryFile(r, r.path);
        if (r.file == INVALID_HANDLE_VALUE) {
            return failWith(run, ARCHIVER_ERROR_ITEM_READ, shownPath(r.path), GetLastError());
        }
        LARGE_INTEGER size;
        r.sizeAtOpen = GetFileSizeEx(r.file, &size) ? static_cast<uint64_t>(size.QuadPart) : e.uncompressedSize;
        // Reading stops at the size seen at opening (a file that keeps growing cannot hold us),
        // so whether the sizes need zip64 is known now.
        e.zip64Sizes = r.sizeAtOpen >= kZip32Limit;
        r.inFile = true;
        r.offset = 0;
    } else {
        job->entry = r.nextEntry;
        job->isFolder = false;
        job->first = false;
    }
    job->path = r.path;
    job->dictLength = 0;
    const uint64_t left = r.sizeAtOpen - r.offset;
    const size_t want = left < kBlockSize ? static_cast<size_t>(left) : kBlockSize;
    size_t got = 0;
    DWORD err = want ? readFully(r.file, job->input.data() + job->dictLength, want, &got) : 0;
    if (err) return failWith(run, ARCHIVER_ERROR_ITEM_READ, shownPath(r.path), err);
    job->dataLength = got;
    r.offset += got;
    // A file that shrank while being read ends early: what was read is what is stored.
    job->last = got < want || r.offset >= r.sizeAtOpen;
    if (job->last) {
        CloseHandle(r.file);
        r.file = INVALID_HANDLE_VALUE;
        r.inFile = false;
        ++r.nextEntry;
    }
    return 0;
}

int writeHeader(Run* run, const ZipEntry& e)
{
    std::vector<uint8_t> header;
    appendLocalHeader(&header, e);
    if (outputWrite(&run->out, header.data(), header.size()) != 0) {
        return failWith(run, ARCHIVER_ERROR_WRITE, run->cmd->archivePath, run->out.error);
    }
    return 0;
}

int writeBytes(Run* run, const uint8_t* data, size_t length)
{
    if (outputWrite(&run->out, data, length) != 0) {
        return failWith(run, ARCHIVER_ERROR_WRITE, run->cmd->archivePath, run->out.error);
    }
    return 0;
}

// A file of several blocks whose deflate output did not shrink: store it instead, read again.
int rewriteStored(Run* run, ZipEntry* e, const std::wstring& path)
{
    if (outputTruncate(&run->out, run->writer.dataStart) != 0) {
        return failWith(run, ARCHIVER_ERROR_WRITE, run->cmd->archivePath, run->out.error);
    }
    HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE) return failWith(run, ARCHIVER_ERROR_ITEM_READ, shownPath(path), GetLastError());
    std::vector<uint8_t> buffer(kBlockSize);
    uint64_t left = e->uncompressedSize;
    uint32_t crc = 0;
    int rc = 0;
    while (left && rc == 0) {
        if (run->progress->cancel) { rc = failWith(run, ARCHIVER_CANCELLED, L"", 0); break; }
        size_t want = left < kBlockSize ? static_cast<size_t>(left) : kBlockSize;
        size_t got = 0;
        DWORD err = readFully(file, buffer.data(), want, &got);
        if (err || got < want) {
            rc = failWith(run, ARCHIVER_ERROR_ITEM_READ, shownPath(path), err ? err : ERROR_HANDLE_EOF);
            break;
        }
        crc = crc32Of(buffer.data(), got, crc);
        rc = writeBytes(run, buffer.data(), got);
        left -= got;
    }
    CloseHandle(file);
    if (rc != 0) return rc;
    e->crc = crc;
    e->method = kZipStored;
    e->compressedSize = e->uncompressedSize;
    return 0;
}

int writeFileHere(Run* run, size_t entry);

int writeJob(Run* run, const DeflateJob& job)
{
    if (job.error) return failWith(run, ARCHIVER_ERROR_INTERNAL, L"", 0);
    ZipEntry& e = entryAt(&run->entries, job.entry);
    if (job.readError) return failWith(run, ARCHIVER_ERROR_ITEM_READ, shownPath(job.path), job.readError);
    if (job.grew) return writeFileHere(run, job.entry);
    Writer& w = run->writer;
    const uint8_t* data = job.input.data() + job.dictLength;
    const uint8_t* piece = job.stored ? data : job.output.data();
    const size_t pieceLength = job.stored ? job.dataLength : job.outputLength;
    if (job.first) {
        e.headerOffset = run->out.position;
        if (job.last) {   // the whole entry is known: header with its final values
            e.method = job.isFolder || job.stored ? kZipStored : kZipDeflated;
            e.crc = job.crc;
            e.uncompressedSize = job.dataLength;
            e.compressedSize = pieceLength;
            if (writeHeader(run, e) != 0) return -1;
        } else {
            e.method = run->cmd->zlibLevel == 0 ? kZipStored : kZipDeflated;
            e.crc = 0;
            e.uncompressedSize = e.compressedSize = 0;
            if (writeHeader(run, e) != 0) return -1;
            w.dataStart = run->out.position;
            w.crc = 0;
            w.compressed = w.uncompressed = 0;
            w.firstPiece = run->pieces.lengths.size();
        }
    }
    if (writeBytes(run, piece, pieceLength) != 0) return -1;
    if (!job.isFolder) progressAddBytes(run->progress, job.dataLength);
    if (job.first && job.last) return 0;
    if (run->cmd->verify) run->pieces.lengths.push_back(static_cast<uint32_t>(pieceLength));
    w.crc = crc32Join(static_cast<uint32_t>(w.crc), job.crc, job.dataLength);
    w.uncompressed += job.dataLength;
    w.compressed += pieceLength;
    if (!job.last) return 0;
    e.crc = static_cast<uint32_t>(w.crc);
    e.uncompressedSize = w.uncompressed;
    e.compressedSize = w.compressed;
    if (e.method == kZipDeflated && e.compressedSize >= e.uncompressedSize && rewriteStored(run, &e, job.path) != 0) return -1;
    if (run->cmd->verify) {
        // Pieces count only while the entry stays deflated.
        EntryPieces& pieces = run->pieces;
        if (e.method == kZipDeflated) pieces.runs.push_back({job.entry, w.firstPiece, pieces.lengths.size() - w.firstPiece});
        else pieces.lengths.resize(w.firstPiece);
    }
    std::vector<uint8_t> header;
    appendLocalHeader(&header, e);
    if (outputPatch(&run->out, e.headerOffset, header.data(), header.size()) != 0) {
        return failWith(run, ARCHIVER_ERROR_WRITE, run->cmd->archivePath, run->out.error);
    }
    return 0;
}

// A small file that had grown past one block when a worker opened it: read, compress and write
// it here, block by block, before anything that follows it.
int writeFileHere(Run* run, size_t entry)
{
    Reader reader;
    reader.nextEntry = entry;
    DeflateJob job;
    job.input.resize(kBlockSize);
    BlockDeflater deflater;
    deflater.ready = false;
    deflater.whole = nullptr;
    if (run->cmd->zlibLevel != 0 && blockDeflaterInit(&deflater, run->cmd->zlibLevel, run->cmd->wholeLevel) != 0) {
        return failWith(run, ARCHIVER_ERROR_INTERNAL, L"", 0);
    }
    int rc = 0;
    do {
        if (run->progress->cancel) { rc = failWith(run, ARCHIVER_CANCELLED, L"", 0); break; }
        rc = produceJob(run, reader, &job, false);
        if (rc != 0) break;
        runDeflateJob(&job, run->cmd->zlibLevel, &deflater);
        rc = writeJob(run, job);
    } while (rc == 0 && !job.last);
    closeReader(reader);
    blockDeflaterEnd(&deflater);
    return rc;
}

DWORD WINAPI walkMain(void* arg)
{
    Run* run = static_cast<Run*>(arg);
    WalkThread& w = run->walk;
    w.result = collectEntries(run->cmd->items, &run->entries, &w.totalBytes, &w.stop, &w.failure, &w.side);
    InterlockedExchange64(&run->progress->totalBytes, static_cast<LONG64>(w.totalBytes));
    InterlockedExchange(&w.done, 1);
    SetEvent(w.published);
    return 0;
}

// Entries the walk has published; *complete when there will be no more.
size_t walkedEntries(Run* run, bool* complete)
{
    *complete = run->walk.done != 0;
    return static_cast<size_t>(run->walk.done ? run->entries.count : run->entries.published);
}

int compressEntries(Run* run)
{
    uint64_t readSeq = 0, writeSeq = 0;
    const size_t slotCount = run->pool.slots.size();
    for (;;) {
        if (run->progress->cancel) return failWith(run, ARCHIVER_CANCELLED, L"", 0);
        bool complete = false;
        const size_t available = walkedEntries(run, &complete);
        if (complete && run->walk.result != ARCHIVER_OK) {
            return failWith(run, run->walk.result, shownPath(run->walk.failure.path), run->walk.failure.systemError);
        }
        if (!run->reader.done && !run->reader.inFile && run->reader.nextEntry >= available && complete) {
            run->reader.done = true;
        }
        bool moved = false;
        // Write what is finished, in order.
        while (writeSeq < readSeq) {
            DeflateJob* head = &run->pool.slots[writeSeq % slotCount];
            if (!poolWaitDone(&run->pool, head, 0)) break;
            int rc = writeJob(run, *head);
            poolRelease(&run->pool, head);
            ++writeSeq;
            if (rc != 0) return -1;
            moved = true;
        }
        // Read the next block while there is a free slot and an entry to read.
        const bool entryReady = run->reader.inFile || run->reader.nextEntry < available;
        if (!run->reader.done && entryReady && readSeq - writeSeq < slotCount) {
            DeflateJob* job = poolSlotFor(&run->pool, readSeq);
            if (job) {
                job->seq = readSeq;
                if (produceJob(run, run->reader, job, true) != 0) return -1;
                poolSubmit(&run->pool, job);
                ++readSeq;
                continue;
            }
        }
        if (run->reader.done && writeSeq == readSeq) return 0;
        if (!moved) {
            progressServeOwner(run->progress);
            if (writeSeq < readSeq) poolWaitDone(&run->pool, &run->pool.slots[writeSeq % slotCount], kPollMs);
            else WaitForSingleObject(run->walk.published, kPollMs);   // waiting for the walk alone
        }
    }
}

int writeCentralDirectory(Run* run)
{
    const uint64_t centralOffset = run->out.position;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < run->entries.count; ++i) {
        appendCentralHeader(&bytes, entryAt(&run->entries, i));
        if (bytes.size() >= (1u << 20)) {
            if (writeBytes(run, bytes.data(), bytes.size()) != 0) return -1;
            bytes.clear();
        }
    }
    const uint64_t centralSize = run->out.position - centralOffset + bytes.size();
    appendEndRecords(&bytes, run->entries.count, centralOffset, centralSize);
    run->written.centralOffset = centralOffset;
    run->written.centralSize = centralSize;
    return writeBytes(run, bytes.data(), bytes.size());
}

// -verify: the file goes to the disk and is closed, still hidden, and is read back; only a file
// that passed is shown, to be renamed. 0 or -1 (the caller removes the file).
int sealAndCheck(Run* run, const std::wstring& temporary)
{
    run->written.size = run->out.position;
    run->written.pieces = &run->pieces;
    run->written.threads = workerCount(run->cmd->threads);
    if (outputSeal(&run->out) != 0) return failWith(run, ARCHIVER_ERROR_WRITE, run->cmd->archivePath, run->out.error);
    if (checkWrittenArchive(temporary, run->cmd->archivePath, &run->entries, run->written, run->progress,
                            run->report) != 0)
        return -1;
    if (!SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_ARCHIVE))
        return failWith(run, ARCHIVER_ERROR_WRITE, run->cmd->archivePath, GetLastError());
    return 0;
}

std::wstring absoluteExtended(const std::wstring& path)
{
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!needed) return std::wstring();
    std::vector<wchar_t> buf(needed + 1);
    DWORD n = GetFullPathNameW(path.c_str(), needed + 1, buf.data(), nullptr);
    if (!n || n > needed) return std::wstring();
    return extendedPath(std::wstring(buf.data(), n));
}

// A file at path that an earlier run of ours left: hidden (ours are, while they are written) and
// empty or beginning like an archive. Whether a process still writes it decides the delete.
bool looksLikeOurLeftover(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_HIDDEN) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;   // held without sharing: a run is writing it
    uint8_t head[4] = {0, 0, 0, 0};
    DWORD got = 0;
    const bool read = ReadFile(h, head, sizeof(head), &got, nullptr) != 0;
    CloseHandle(h);
    return read && (got == 0 || (got == 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4));
}

// Creates the temporary file beside the archive (see temporaryName); 0 or -1.
int createTemporary(Run* run, const std::wstring& archive, std::wstring* temporary)
{
    DWORD err = 0;
    for (int attempt = 1; attempt <= kTemporaryAttempts; ++attempt) {
        *temporary = temporaryName(archive, attempt);
        if (outputCreate(&run->out, temporary->c_str()) == 0) return 0;
        err = run->out.error;
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) break;
        // A leftover of an ended run goes; one that a running process holds stays, and the next
        // name is tried.
        if (looksLikeOurLeftover(*temporary) && DeleteFileW(temporary->c_str()) &&
            outputCreate(&run->out, temporary->c_str()) == 0) {
            return 0;
        }
    }
    temporary->clear();
    return failWith(run, ARCHIVER_ERROR_CREATE_ARCHIVE, run->cmd->archivePath, err);
}

void countEntries(Run* run)
{
    for (size_t i = 0; i < run->entries.count; ++i) {
        const ZipEntry& e = entryAt(&run->entries, i);
        if (e.isFolder) ++run->report->folders;
        else {
            ++run->report->files;
            run->report->inputBytes += e.uncompressedSize;
        }
    }
}

}  // namespace

std::wstring temporaryName(const std::wstring& archive, int attempt)
{
    if (attempt <= 1) return archive + L".part";
    return archive + L"." + std::to_wstring(attempt) + L".part";
}

int workerCount(int requested)
{
    int n = requested;
    if (n <= 0) {
        n = static_cast<int>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
        if (n <= 0) {
            SYSTEM_INFO si;
            GetSystemInfo(&si);
            n = static_cast<int>(si.dwNumberOfProcessors);
        }
    }
    if (n < 1) n = 1;
    return n > 16 ? 16 : n;
}

void writeArchive(const ArchiverCommand& cmd, Progress* progress, ArchiveReport* report)
{
    Run run;
    entryListInit(&run.entries, kEntryMemoryBudget);
    run.cmd = &cmd;
    run.progress = progress;
    run.report = report;
    report->code = ARCHIVER_OK;

    const std::wstring archive = absoluteExtended(cmd.archivePath);
    if (archive.empty()) { failWith(&run, ARCHIVER_ERROR_CREATE_ARCHIVE, cmd.archivePath, GetLastError()); return; }
    if (GetFileAttributesW(archive.c_str()) != INVALID_FILE_ATTRIBUTES) {
        failWith(&run, ARCHIVER_ERROR_ARCHIVE_EXISTS, cmd.archivePath, ERROR_FILE_EXISTS);
        return;
    }
    std::wstring temporary;
    if (createTemporary(&run, archive, &temporary) != 0) {
        entryListFree(&run.entries);
        return;
    }
    const int threads = workerCount(cmd.threads);
    bool ok = poolStart(&run.pool, threads, cmd.zlibLevel, cmd.wholeLevel) == 0;
    if (!ok) failWith(&run, ARCHIVER_ERROR_INTERNAL, L"", GetLastError());
    if (ok) {
        run.walk.side.skipPath = temporary;
        run.walk.published = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        run.walk.side.published = run.walk.published;
        run.walk.thread = run.walk.published ? CreateThread(nullptr, 0, walkMain, &run, 0, nullptr) : nullptr;
        if (!run.walk.thread) ok = failWith(&run, ARCHIVER_ERROR_INTERNAL, L"", GetLastError()) == 0;
    }
    ok = ok && compressEntries(&run) == 0;
    poolStop(&run.pool);
    closeReader(run.reader);
    if (run.walk.thread) {
        InterlockedExchange(&run.walk.stop, 1);
        WaitForSingleObject(run.walk.thread, INFINITE);
        CloseHandle(run.walk.thread);
    }
    if (run.walk.published) CloseHandle(run.walk.published);
    ok = ok && writeCentralDirectory(&run) == 0;
    if (ok && progress->cancel) ok = failWith(&run, ARCHIVER_CANCELLED, L"", 0) == 0;
    if (ok) {
        report->archiveBytes = run.out.position;
        if (cmd.verify) ok = sealAndCheck(&run, temporary) == 0;
        else if (outputFinish(&run.out) != 0) ok = failWith(&run, ARCHIVER_ERROR_WRITE, cmd.archivePath, run.out.error) == 0;
    }
    if (ok && !MoveFileExW(temporary.c_str(), archive.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DWORD err = GetLastError();
        ok = failWith(&run, (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) ? ARCHIVER_ERROR_ARCHIVE_EXISTS
                                                                                      : ARCHIVER_ERROR_WRITE,
                      cmd.archivePath, err) == 0;
    }
    if (!ok) {
        outputAbandon(&run.out);
        DeleteFileW(temporary.c_str());
    } else {
        countEntries(&run);
    }
    entryListFree(&run.entries);
}
