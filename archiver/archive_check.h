// The read-back of a written archive (switch -verify): before the temporary file is renamed, it is
// read from the disk once, front to back, and checked against what the writer meant to write.
// Every local header, every central directory record and the end records must be the very bytes
// that the entry list gives (zip_records.h makes them again, so the format is known in one place);
// every entry's data must inflate (or, stored, read) in bounded memory to the size and the CRC-32
// that were computed from the source while it was compressed, its deflate stream ending exactly
// where its compressed size says. An entry of one block inflates whole, one of several blocks
// block by block on as many threads as compressed it (both with libdeflate, in bounded memory:
// a block at a time per thread). The file is read with FILE_FLAG_NO_BUFFERING, so that its bytes
// come from the disk rather than from the cache that the writing filled (aligned buffer and
// chunks; a volume that refuses such reads is read through the cache).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "file_tree.h"
#include "progress_window.h"

// Bytes read at a time: a multiple of every sector size.
const DWORD kCheckChunkBytes = 4u << 20;

// One deflated entry of more than one block: the writer compressed each block as a stream of
// its own and continued it (deflate_join.h), so the read-back inflates it block by block with
// libdeflate, several times zlib's speed, each block needing no bytes before it.
struct PieceRun {
    size_t entry = 0;
    size_t first = 0;     // in EntryPieces::lengths
    size_t count = 0;
};

// The pieces of those entries, in entry order: a few bytes per MiB of data.
struct EntryPieces {
    std::vector<uint32_t> lengths;   // compressed length of each piece
    std::vector<PieceRun> runs;
};

// Where the writer put the central directory, and the length of the whole file.
struct WrittenArchive {
    uint64_t centralOffset = 0;
    uint64_t centralSize = 0;
    uint64_t size = 0;
    const EntryPieces* pieces = nullptr;
    int threads = 1;                  // inflating the blocks of a large entry side by side
};

// Reads the complete, closed archive at path back and checks it against entries. Returns 0, or
// -1 with report->code ARCHIVER_ERROR_VERIFY (report->path: the first entry missing, extra or
// different, as the archive names it; empty when the end records or the length differ),
// ARCHIVER_ERROR_READ_BACK (report->path: shownArchive, with the system error) or
// ARCHIVER_CANCELLED. The progress window, if any, shows the read-back by bytes.
int checkWrittenArchive(const std::wstring& path, const std::wstring& shownArchive, EntryList* entries,
                        const WrittenArchive& written, Progress* progress, ArchiveReport* report);

// Whether a call of this process is reading its archive back now.
bool archiveCheckRunning();
