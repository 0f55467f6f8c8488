// Writes one archive from a parsed command: walk, compress (in parallel), write, rename.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "command_line.h"
#include "progress_window.h"

struct ArchiveReport {
    int code = 0;                   // ARCHIVER_OK or an error code of archiver_api.h
    std::wstring path;              // the path an error is about
    DWORD systemError = 0;
    uint64_t files = 0, folders = 0;
    uint64_t inputBytes = 0, archiveBytes = 0;
};

// Creates the archive of cmd; progress (already started) carries the cancel flag.
void writeArchive(const ArchiverCommand& cmd, Progress* progress, ArchiveReport* report);

// The temporary file of an archive: its name with ".part" (attempt 1), then ".2.part" and on,
// so that a user who sees one knows what it is and a later run of the same archive finds it.
std::wstring temporaryName(const std::wstring& archive, int attempt);
const int kTemporaryAttempts = 16;

// Worker count for -mmt: 0 means one per core. Never more than 16.
int workerCount(int requested);
