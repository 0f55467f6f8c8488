// The verify pass of the copy commands: with "Verify" 1 a copy counts only once every file of
// the item has been read back from the copy and found byte for byte equal to the item's file.
// The shell's copy and the check that follows it (copied_tree.h) trust the copy's directory
// entries; this pass reads what was written.
//
// The copy is read with FILE_FLAG_NO_BUFFERING, so that its bytes come from the disk and not
// from the file cache that the copy has just filled (the file system writes a file's cached
// changes out before it reads the file past the cache). The copy tools' other choice, writing
// with FILE_FLAG_WRITE_THROUGH, is not ours to make: the shell writes the copy. Unbuffered reads
// want sector-aligned buffers, offsets and sizes: the buffers come from VirtualAlloc (page
// aligned), every read asks for a whole chunk at a multiple of the chunk, and the last read of a
// file returns its tail. A volume that refuses such reads (a sector larger than a page, some
// network redirectors) is read through the cache instead. Wine on Linux takes the flag but reads
// from the page cache all the same. The item's side is read through the cache (what the cache
// holds of the item is what the item is). Both sides are compared byte for byte: memcmp costs
// a fraction of what a strong hash of both sides does (bench/verify_bench.py measures both).
#pragma once
#include <stddef.h>
#include <windows.h>

#include "language.h"
#include "paths.h"

// Results of the verify pass.
enum CopyVerifyResult {
    VerifyMatch = 0,        // every file of the item read back from the copy and found equal
    VerifyDifferent = 1,    // the file named is missing from the copy, or its copy differs
    VerifyUnreadable = 2,   // the file named, or its copy, could not be read (systemError)
    VerifyCancelled = 3,    // the program is ending
};

// Bytes read per file and side at a time: a multiple of every sector size.
constexpr DWORD kVerifyChunkBytes = 4u << 20;
// What every read past the cache keeps whole: the page, a multiple of the sectors it serves.
constexpr DWORD kVerifyAlignment = 4096;

// How long the end of the program waits for a cancelled verify to remove its copy.
constexpr DWORD kQuitVerifyWaitMs = 60000;

// What the pass found.
struct CopyVerify {
    bool ran;                                 // "Verify" was 1: the pass ran
    int result;                               // CopyVerifyResult
    wchar_t file[kPathChars + kPathChars];    // the item's path of the file named (cut to fit)
    DWORD systemError;                        // VerifyUnreadable
    ULONGLONG bytesCompared;                  // the item's bytes found equal in the copy
};

// Compares the copy with the item by reading both: a file item's copy, or every file below a
// folder item at any depth, byte for byte, and every folder of the item (empty ones too) must be
// a folder in the copy. Folder links below the item are not walked (a link back into the item
// would never end; the check after the copy has found them present); files reached through
// links are compared by what they hold. Fills *verify but `ran`. Both paths are full paths.
int verifyCopiedTree(const wchar_t* itemPath, const wchar_t* copyPath, CopyVerify* verify);

// The pass as copyToNewPath runs it: nothing with "Verify" other than 1 (ran false, result
// VerifyMatch); else verifyCopiedTree with the result window's phase text. From its start the
// program does not end (awaitCopyVerifyHold) until releaseCopyVerifyHold. Returns the result.
int verifyCopyWhenAsked(const wchar_t* itemPath, const wchar_t* copyPath, CopyVerify* verify);

// Called by copyToNewPath once the copy is trusted or removed.
void releaseCopyVerifyHold();

// After releaseCopyVerifyHold: notes a verified copy on the result window (names line and
// tooltip, with the bytes compared), or shows why the pass failed it. Nothing for a pass that
// did not run or was cancelled.
void reportCopyVerify(const wchar_t* itemPath, const CopyVerify* verify);

// The program is ending (interface thread): a pass under way stops at its next read and counts
// as cancelled; so does every later pass.
void setCopyVerifyCancelled(bool cancelled);

// Waits, answering what other threads send to this one, until no copy is being verified or
// removed after its pass, at most timeoutMs; the result window is hidden meanwhile. The
// interface thread calls it before the program ends, so that a cancelled pass leaves no copy
// of this run behind.
void awaitCopyVerifyHold(DWORD timeoutMs);

// Seam for tests: called when the pass begins, before anything is read, so that a test can
// change the copy the way a disk might (a byte, a length, a file gone) or cancel.
typedef void (*BeforeVerifyHook)(const wchar_t* itemPath, const wchar_t* copyPath);
void setBeforeVerifyHook(BeforeVerifyHook hook);

// Seam for tests: the reads of the copy (ReadFile), told whether the handle reads past the
// cache, so that a test can hold them to the rules that Windows sets for such reads and Wine
// does not. nullptr restores ReadFile.
typedef BOOL (*CopyReadCall)(HANDLE file, void* buffer, DWORD length, DWORD* got, bool unbuffered);
void setCopyReadCall(CopyReadCall call);
