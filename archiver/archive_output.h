// The archive file being written: a buffered sequential writer that can rewrite earlier bytes
// (local headers whose sizes are known only after the data) and cut the file back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct ArchiveOutput {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::vector<uint8_t> buffer;
    size_t used = 0;
    uint64_t position = 0;    // logical end: bytes written so far, buffered ones included
    DWORD error = 0;          // first system error, 0 while all is well
};

// Creates path (it must not exist), hidden and held without sharing until outputFinish. 0 or -1
// with out->error set.
int outputCreate(ArchiveOutput* out, const wchar_t* path);
int outputWrite(ArchiveOutput* out, const void* data, size_t length);
int outputFlush(ArchiveOutput* out);
// Overwrites bytes at an earlier offset; the logical end stays where it was.
int outputPatch(ArchiveOutput* out, uint64_t offset, const void* data, size_t length);
// Cuts the file back to offset, which becomes the logical end.
int outputTruncate(ArchiveOutput* out, uint64_t offset);
// Flushes to the disk, shows the file (clears hidden) and closes. 0 or -1.
int outputFinish(ArchiveOutput* out);
// Flushes to the disk and closes; the file stays hidden (it is read back before it is shown).
// 0 or -1.
int outputSeal(ArchiveOutput* out);
// Closes without caring about errors (the caller deletes the file).
void outputAbandon(ArchiveOutput* out);
