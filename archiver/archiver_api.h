// Interface of the archiver library 7-zip32.dll as the ZIP commands use it.
//
// The library is imported by ordinal (link the import library of the target vantrel_archiver):
//   ordinal 200  SevenZipSetUnicodeMode(BOOL utf8)  1: command lines are UTF-8, 0: ANSI code page.
//                                                  Returns TRUE.
//   ordinal 1    SevenZip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize)
//                Runs one command line and returns 0 or one of the codes below.
// Both use the WINAPI (stdcall) calling convention.
//
// Command line: a [switches] [--] "archive" "item" ["item" ...]
//   -tzip            archive type (ZIP is the only type)
//   -ssw             read files that other programs hold open for writing (always done)
//   -mmt=on|off|N    compress on every core, on one, or on N threads (default on)
//   -mx0 .. -mx9     compression level, 0 stores; default 5
//   -hide            no progress window
//   -verify          read the written archive back from the disk before it is renamed: every
//                    header must be what was meant, every entry must inflate to the size and
//                    CRC-32 computed from its source; else ARCHIVER_ERROR_VERIFY (or
//                    ARCHIVER_ERROR_READ_BACK) and nothing is left (see archive_check.h)
//   --               end of switches
// Paths may stand in double quotes. The archive is written to a temporary file beside it, named
// after it with ".part" (".2.part" and on while another run writes that one) and hidden, and
// renamed only when complete; an existing archive path is never touched. A hidden ".part" file
// that no process holds open is what an ended run left, and a run of the same archive removes it.
// Folder links (junctions, symbolic links) are followed as a copy follows them.
//
// When output is not null and outputSize is not zero, a one-line summary (success) or the error
// text (failure) is written to it, in the command line's encoding, always zero-terminated and
// never longer than outputSize bytes. The text of ARCHIVER_ERROR_VERIFY is ARCHIVER_VERIFY_TEXT
// followed by the name of the first entry missing, extra or different, as the archive stores it
// ('/' separated; nothing when the end of the archive differs).
//
// ordinal 2    SevenZipIsVerifying(void)  TRUE while a call of this process reads its archive
//              back (-verify), so that a caller's window can say so. Any thread may ask.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Results of SevenZip.
#define ARCHIVER_OK                   0
#define ARCHIVER_ERROR_COMMAND_LINE   0x8010  // malformed or unsupported command line
#define ARCHIVER_ERROR_ITEM_NOT_FOUND 0x8011  // an item path does not exist
#define ARCHIVER_ERROR_ITEM_READ      0x8012  // an item (or a file below it) cannot be read
#define ARCHIVER_ERROR_ARCHIVE_EXISTS 0x8013  // something already exists at the archive path
#define ARCHIVER_ERROR_CREATE_ARCHIVE 0x8014  // the archive cannot be created in its folder
#define ARCHIVER_ERROR_WRITE          0x8015  // writing the archive failed (disk full and the like)
#define ARCHIVER_ERROR_INTERNAL       0x8016  // out of memory, no threads, compressor failure
#define ARCHIVER_ERROR_LINK_LOOP      0x8017  // a folder link leads back into a folder being archived
                                              // (following it would never end); nothing is written
#define ARCHIVER_ERROR_NAME           0x8018  // a name cannot be stored: it holds an unpaired
                                              // surrogate, which UTF-8 cannot carry
#define ARCHIVER_ERROR_VERIFY         0x8019  // -verify: the archive read back is not what was written
#define ARCHIVER_ERROR_READ_BACK      0x801A  // -verify: the written archive cannot be read back
#define ARCHIVER_BUSY                 0x801F  // another call is running in this process
#define ARCHIVER_CANCELLED            0x8020  // the user pressed Cancel in the progress window

#define ARCHIVER_VERIFY_TEXT "The archive does not read back as written: "

// Window class of the progress window (its Cancel button has the id IDCANCEL).
#define ARCHIVER_PROGRESS_CLASS L"VantrelArchiverProgress"

BOOL WINAPI SevenZipSetUnicodeMode(BOOL utf8);
int WINAPI SevenZip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize);
BOOL WINAPI SevenZipIsVerifying(void);

typedef BOOL(WINAPI* SevenZipSetUnicodeModeProc)(BOOL utf8);
typedef int(WINAPI* SevenZipProc)(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize);
typedef BOOL(WINAPI* SevenZipIsVerifyingProc)(void);

#ifdef __cplusplus
}
#endif
