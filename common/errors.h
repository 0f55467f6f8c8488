// Error texts: system and shell codes rendered as "0x%08x:%s" in the active language, the
// shared message table, and the error trail that the settings program and the registration
// helper keep of each operation.
#pragma once
#include <stddef.h>
#include <windows.h>
#include "language.h"

// "0x%08x:%s" with the system's text for the code (English for UiEnglish, the user's default
// language for UiJapanese), as the system delivers it. Code 0 gives the empty text.
void SystemErrorText(DWORD code, UiLanguage language, wchar_t* out, size_t capacity);

// As SystemErrorText, but the folder-creation codes 3, 80, 161, 183, 206 and 1223 have texts
// of their own.
void ErrorCodeText(DWORD code, UiLanguage language, wchar_t* out, size_t capacity);

constexpr size_t kErrorTrailChars = 1024;

// Failure lines "ID:%s CD:0x%08x\n" of one operation, with the first numbered failure kept.
struct ErrorTrail {
    wchar_t text[kErrorTrailChars];
    unsigned keptNumber;
    DWORD keptCode;
};

extern ErrorTrail g_errorTrail;

void trailClear(ErrorTrail* trail);
// Appends a line (dropped when it would not fit) and updates the kept pair: while the kept
// number is 0, each call's number and code become the kept pair.
void trailRecord(ErrorTrail* trail, const wchar_t* id, unsigned number, DWORD code);

// Text of a message-table number, or nullptr when the table has none.
const wchar_t* messageTableText(unsigned number, UiLanguage language);

// Shown form of a trail failure: "CD:%d %s" and, for a non-zero kept code, " *0x%08x:%s". A
// number without a text of its own (0 included) shows "Error has occurred.".
void formatTrailFailure(const ErrorTrail* trail, UiLanguage language, wchar_t* out, size_t capacity);

// Appends the text and CR LF to a UTF-16LE log file (every line feed of the text stored as
// CR LF), starting a new or empty file with its byte-order mark. Failures are silent. A log path
// that is a link (a reparse point) or a file with more than one name gets nothing written.
void appendDebugLog(const wchar_t* logPath, const wchar_t* text);

// An elevated program writes its debug log only into the folder where its own image really lies:
// a link somewhere in the path of its folder, which the user may be able to change, must not lead
// an elevated write elsewhere. Called at the start of such a program; from then on appendDebugLog
// writes nothing to a log whose opened file lies in another folder (by final paths), and removes
// the file again when that open created it. Returns 0, or -1 when the image's folder cannot be
// had (no log is written then).
int keepDebugLogInProgramFolder();

// Ends that check (for tests).
void allowDebugLogAnywhere();

// The two looks of appendDebugLog at the log: its path before opening, the opened file after.
// Replaceable for tests (defaults GetFileAttributesW and GetFileInformationByHandle), as Wine
// shows no links as reparse points.
extern DWORD(WINAPI* g_logPathAttributes)(LPCWSTR path);
extern BOOL(WINAPI* g_logFileInformation)(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
