// Pre-backup hand-off, the parts both sides share: the names of the answer block and its two
// events, the settings program's "/k" option, and the settings program's answer.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <windows.h>

// A key has room for this many characters (the buffers add the terminator).
constexpr size_t kHandoffKeyLimit = 275;
constexpr size_t kHandoffKeyChars = kHandoffKeyLimit + 1;

// Size of the answer block; its text is UTF-16 and zero-terminated.
constexpr DWORD kHandoffBlockBytes = 520;
constexpr size_t kHandoffBlockChars = kHandoffBlockBytes / sizeof(wchar_t);

// The block is named by the key itself; the events by the key and these suffixes.
extern const wchar_t kHandoffReadySuffix[];   // answer written, set by the settings program
extern const wchar_t kHandoffTakenSuffix[];   // answer read, set by the command
constexpr size_t kHandoffNameChars = kHandoffKeyChars + 17;

// Key followed by a suffix. Returns 0, or -1 when it does not fit (out is then empty).
int handoffObjectName(const wchar_t* key, const wchar_t* suffix, wchar_t* out, size_t capacity);

// Scans the settings program's argument string for "/k" or "/K" followed directly by a blank,
// anywhere in it; the key is the word after the blanks that follow, up to the next blank or the
// end. Each later occurrence replaces the key. A key longer than kHandoffKeyLimit is refused
// (taken as empty): a cut key would never name the command's objects. Returns 1 when the final
// key is not empty (pre-backup mode), else 0 with an empty key.
int parseHandoffKeyOption(const wchar_t* arguments, wchar_t* key, size_t capacity);

// Where delivering an answer stopped.
enum HandoffDeliveryFailure {
    DeliveryDone = 0,
    DeliveryOpenBlock = 1,    // the block could not be opened
    DeliveryMapBlock = 2,     // ... mapped
    DeliveryUnmapBlock = 3,   // ... unmapped
};

// The command's main window, from the hexadecimal text after the key's last "_"; 0 when the key
// does not end in one.
uintptr_t handoffKeyWindow(const wchar_t* key);

// How long the settings program waits for the answer-taken event when the waiting command
// cannot be found from the key (normally the command takes the answer at once).
extern DWORD g_answerTakenFallbackMs;

// The settings program's half of the exchange without the error trail: writes the answer as
// decimal text into the block named `key`, sets the answer-ready event, then waits for the
// answer-taken event (an event that cannot be opened is skipped). The wait also ends when the
// command whose window the key names is gone, or after g_answerTakenFallbackMs when that
// command cannot be found. Returns a HandoffDeliveryFailure; *systemCode receives GetLastError
// of a failure, else 0.
int deliverHandoffAnswer(const wchar_t* key, int answer, DWORD* systemCode);

// deliverHandoffAnswer, recording a failure in the error trail. Returns 0 or -1.
int sendHandoffAnswer(const wchar_t* key, int answer);
