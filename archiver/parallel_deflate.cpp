// Worker threads of the block compressor. Each worker keeps its compressors (libdeflate, and zlib
// for the rare piece libdeflate's output cannot continue) for all its jobs.
#include "parallel_deflate.h"

#include <new>

#include "file_read.h"

namespace {

// Reads a small file into the job. False when the job ends here (read error or grown file).
bool readWholeFile(DeflateJob* job)
{
    job->dictLength = 0;
    job->dataLength = 0;
    HANDLE file = job->file != INVALID_HANDLE_VALUE ? job->file : openForReading(job->path);
    job->file = INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        job->readError = GetLastError() ? GetLastError() : ERROR_OPEN_FAILED;
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        job->readError = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    } else if (static_cast<uint64_t>(size.QuadPart) > kBlockSize) {
        job->grew = true;
    } else {
        size_t got = 0;
        job->readError = readFully(file, job->input.data(), static_cast<size_t>(size.QuadPart), &got);
        job->dataLength = got;
    }
    CloseHandle(file);
    return !job->readError && !job->grew;
}

}  // namespace

void runDeflateJob(DeflateJob* job, int level, BlockDeflater* deflater)
{
    job->error = 0;
    job->readError = 0;
    job->grew = false;
    if (job->wholeFile && !readWholeFile(job)) return;
    const uint8_t* data = job->input.data() + job->dictLength;
    job->crc = crc32Of(data, job->dataLength);
    job->stored = job->isFolder || level == 0;
    if (job->stored) return;
    if (deflatePiece(deflater, data, job->dataLength, job->last, &job->output, &job->outputLength) != 0) {
        job->error = -1;
        return;
    }
    // A file of one block that does not shrink is stored as it is.
    if (job->first && job->last && job->outputLength >= job->dataLength) job->stored = true;
}

namespace {

DWORD WINAPI workerMain(void* arg)
{
    DeflatePool* pool = static_cast<DeflatePool*>(arg);
    BlockDeflater deflater;
    deflater.ready = false;
    deflater.whole = nullptr;
    const bool ready = pool->level == 0 || blockDeflaterInit(&deflater, pool->level, pool->wholeLevel) == 0;
    EnterCriticalSection(&pool->lock);
    for (;;) {
        DeflateJob* job = &pool->slots[pool->nextToTake % pool->slots.size()];
        while (!pool->stopping && !(job->state == JobQueued && job->seq == pool->nextToTake)) {
            SleepConditionVariableCS(&pool->workReady, &pool->lock, INFINITE);
            job = &pool->slots[pool->nextToTake % pool->slots.size()];
        }
        if (pool->stopping) break;
        job->state = JobRunning;
        ++pool->nextToTake;
        LeaveCriticalSection(&pool->lock);
        if (ready) runDeflateJob(job, pool->level, &deflater);
        else job->error = -1;
        EnterCriticalSection(&pool->lock);
        job->state = JobDone;
        WakeAllConditionVariable(&pool->jobDone);
    }
    LeaveCriticalSection(&pool->lock);
    if (pool->level != 0) blockDeflaterEnd(&deflater);
    return 0;
}

}  // namespace

size_t poolSlotCount(int threads)
{
    size_t t = static_cast<size_t>(threads);
    size_t n = 2 * t + 2;
    return n < t + 8 ? n : t + 8;
}

int poolStart(DeflatePool* pool, int threads, int level, int wholeLevel)
{
    if (threads < 1) threads = 1;
    InitializeCriticalSection(&pool->lock);
    InitializeConditionVariable(&pool->workReady);
    InitializeConditionVariable(&pool->jobDone);
    pool->slots.resize(poolSlotCount(threads));
    pool->level = level;
    pool->wholeLevel = wholeLevel;
    // Buffers are sized once: growing them per block would clear megabytes for every small file.
    // A failed allocation ends the run with its error, not the process.
    BlockDeflater sizing;
    sizing.ready = false;
    sizing.whole = nullptr;
    if (level != 0 && blockDeflaterInit(&sizing, level, wholeLevel) != 0) return -1;
    const size_t room = level != 0 ? deflateRoom(&sizing, kBlockSize) : 0;
    blockDeflaterEnd(&sizing);
    try {
        for (DeflateJob& job : pool->slots) {
            job.input.resize(kBlockSize);
            job.output.resize(room);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    pool->nextToTake = 0;
    pool->stopping = false;
    for (int i = 0; i < threads; ++i) {
        HANDLE h = CreateThread(nullptr, 0, workerMain, pool, 0, nullptr);
        if (!h) return -1;
        pool->threads.push_back(h);
    }
    return 0;
}

DeflateJob* poolSlotFor(DeflatePool* pool, uint64_t seq)
{
    DeflateJob* job = &pool->slots[seq % pool->slots.size()];
    EnterCriticalSection(&pool->lock);
    const bool free = job->state == JobFree;
    LeaveCriticalSection(&pool->lock);
    return free ? job : nullptr;
}

void poolSubmit(DeflatePool* pool, DeflateJob* job)
{
    EnterCriticalSection(&pool->lock);
    job->state = JobQueued;
    WakeAllConditionVariable(&pool->workReady);
    LeaveCriticalSection(&pool->lock);
}

bool poolWaitDone(DeflatePool* pool, DeflateJob* job, DWORD timeoutMs)
{
    EnterCriticalSection(&pool->lock);
    if (job->state != JobDone && timeoutMs) SleepConditionVariableCS(&pool->jobDone, &pool->lock, timeoutMs);
    const bool done = job->state == JobDone;
    LeaveCriticalSection(&pool->lock);
    return done;
}

void poolRelease(DeflatePool* pool, DeflateJob* job)
{
    EnterCriticalSection(&pool->lock);
    job->state = JobFree;
    LeaveCriticalSection(&pool->lock);
}

void poolStop(DeflatePool* pool)
{
    EnterCriticalSection(&pool->lock);
    pool->stopping = true;
    WakeAllConditionVariable(&pool->workReady);
    LeaveCriticalSection(&pool->lock);
    for (HANDLE h : pool->threads) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    pool->threads.clear();
    for (DeflateJob& job : pool->slots) {
        if (job.file != INVALID_HANDLE_VALUE) CloseHandle(job.file);
        job.file = INVALID_HANDLE_VALUE;
    }
    DeleteCriticalSection(&pool->lock);
}
