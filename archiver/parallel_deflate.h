// A ring of block jobs compressed by a few worker threads. Jobs are submitted and collected in
// sequence order, so memory is bounded by the ring size whatever the input.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "block_deflate.h"

const size_t kBlockSize = 1 << 20;

enum JobState { JobFree = 0, JobQueued, JobRunning, JobDone };

struct DeflateJob {
    uint64_t seq = 0;
    size_t entry = 0;
    bool isFolder = false;
    bool first = false, last = false;
    std::wstring path;              // the file the data comes from
    bool wholeFile = false;         // a file of at most one block the worker reads itself
    HANDLE file = INVALID_HANDLE_VALUE;  // that file, opened for the worker, which closes it
    std::vector<uint8_t> input;     // the block's data; allocated once
    size_t dictLength = 0;          // always 0: blocks are compressed without a dictionary
    size_t dataLength = 0;
    // Results.
    std::vector<uint8_t> output;    // the first outputLength bytes; allocated once
    size_t outputLength = 0;
    uint32_t crc = 0;
    bool stored = false;            // write the data itself (level 0, or a one-block file that did not shrink)
    int error = 0;                  // the compressor failed
    DWORD readError = 0;            // wholeFile could not be read
    bool grew = false;              // wholeFile is now larger than a block: the writer takes it over
    JobState state = JobFree;
};

struct DeflatePool {
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE workReady;
    CONDITION_VARIABLE jobDone;
    std::vector<DeflateJob> slots;
    uint64_t nextToTake = 0;
    bool stopping = false;
    int level = 6;
    int wholeLevel = 6;
    std::vector<HANDLE> threads;
};

// Starts threads workers (at least 1) with the zlib level (0 stores) and the libdeflate level.
// 0 or -1.
int poolStart(DeflatePool* pool, int threads, int level, int wholeLevel);
// The slot for sequence number seq when it is free, else null.
DeflateJob* poolSlotFor(DeflatePool* pool, uint64_t seq);
void poolSubmit(DeflatePool* pool, DeflateJob* job);
// True when the job is done; waits at most timeoutMs for it.
bool poolWaitDone(DeflatePool* pool, DeflateJob* job, DWORD timeoutMs);
void poolRelease(DeflatePool* pool, DeflateJob* job);
// Stops and joins the workers (jobs not taken yet are dropped, their files closed).
void poolStop(DeflatePool* pool);

// Does a job's work (reading a whole small file first if asked): CRC and deflate.
void runDeflateJob(DeflateJob* job, int level, BlockDeflater* deflater);

// Number of slots for a number of workers: enough to keep them busy, few enough to bound memory.
size_t poolSlotCount(int threads);
