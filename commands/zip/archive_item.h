// Archiving one item through the archiver library: the command line, its UTF-8 form, the
// library calls with the bounded retries while the library is busy, and the failure message.
#pragma once
#include <stddef.h>
#include <windows.h>
#include "language.h"

// Files below this size are archived without the library's progress window.
constexpr ULONGLONG kSmallFileBytes = 10485760ULL;
// The command line holds at most 1023 characters; its UTF-8 form must fit 1040 bytes.
constexpr size_t kCommandLineChars = 1024;
constexpr size_t kUtf8CommandLineBytes = 1040;

// Result codes of the library that the programs rely on.
constexpr int kArchiverBusy = 0x801F;
constexpr int kArchiverCancelled = 0x8020;
// Something lay at the archive path when the library began or took it while the library worked:
// the library never writes over it, so the archive path belongs to someone else.
constexpr int kArchiverPathTaken = 0x8013;

// What archiveItem returns when the library found the archive path taken: nothing was written
// and no message shown; the caller composes a new name.
constexpr int kArchivePathTaken = 1;
// Busy answers are met with a 500 ms wait and a new call, at most 601 calls in all.
constexpr int kArchiverMaxCalls = 601;
constexpr DWORD kArchiverBusyWaitMs = 500;

// Whether an item is archived without the progress window: a file (not a folder) of fewer
// than 10,485,760 bytes, by the directory entry found when the core began with the item.
bool isSmallFile(const WIN32_FIND_DATAW* entry);

// "a -tzip -ssw -mmt=on [-hide] [-verify] -- \"archive\" \"item\"". Returns 0, or -1 when it
// does not fit.
int buildArchiveCommandLine(const wchar_t* archivePath, const wchar_t* itemPath, bool hide, bool verify,
                            wchar_t* out, size_t capacity);

// UTF-8 form of a command line in kUtf8CommandLineBytes bytes, terminator included.
// Returns 0, or -1 when the conversion fails (a lone surrogate included) or does not fit.
int toUtf8CommandLine(const wchar_t* commandLine, char* out, size_t capacity);

// The library as the programs call it; replaceable so that tests can play the library.
struct ArchiverCalls {
    int (*setUtf8Mode)(int on);                   // ordinal 200
    // ordinal 1, no window; an output buffer, if any, receives the library's text (UTF-8)
    int (*run)(const char* utf8CommandLine, char* output, DWORD outputSize);
    void (*sleepMs)(DWORD milliseconds);
};

// The library's text after a call: room for an entry's name in a failed read-back.
constexpr DWORD kArchiverOutputBytes = 4096;

// The calls into the real library, bound by each ZIP program at start.
extern ArchiverCalls g_archiverCalls;

// Switches the library to UTF-8 and runs the command, retrying while it answers busy: at most
// kArchiverMaxCalls calls, each busy answer followed by a wait (the last one too). Returns the
// library's last result: 0, kArchiverCancelled, kArchiverBusy after the last call, or an error;
// output (null with outputSize 0: no text asked for) receives the last call's text.
int runArchiverCommand(const ArchiverCalls* calls, const char* utf8CommandLine, char* output, DWORD outputSize);

// The library's read-back (-verify) found the archive not as written: the text names the entry.
constexpr int kArchiverVerifyFailed = 0x8019;

// The entry that the library's text after kArchiverVerifyFailed names, into entry (UTF-16);
// empty when the text names none. Pure.
void verifyFailedEntry(const char* output, wchar_t* entry, size_t capacity);

// Archives an item into archivePath; with verify the library reads the archive back before it
// lets it count. Returns 0; kArchivePathTaken without a message when the library found the
// archive path taken; or -1 after its message (UTF-8 conversion, an archive that did not read
// back as written naming the entry, or another library failure naming the library's code). The
// archive path is never deleted: the library writes beside it and renames only a complete (and,
// with verify, checked) archive, so whatever lies there after a failure belongs to another run.
// A cancel in the library's window fails without a message.
int archiveItem(const wchar_t* itemPath, const wchar_t* archivePath,
                const WIN32_FIND_DATAW* entry, UiLanguage language, bool verify);

extern const BilingualText kUtf8ConversionText;  // item path
extern const BilingualText kArchiveFailedText;   // library code, item path
extern const BilingualText kArchiveVerifyFailedText;   // entry, item path
extern const BilingualText kArchiveVerifiedSentence;   // item name, archive bytes
