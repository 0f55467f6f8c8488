// What crosses between TazuSetting and the elevated helper TazuUAC: the request on TazuUAC's
// command line, the reply in the named shared block, the names of the block and of the event
// that says the reply has been read, and the writing of the block that both sides share.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "command_table.h"

// Named objects of the exchange; TazuSetting creates both, TazuUAC only opens them.
extern const wchar_t kRegistrationBlockName[];   // "ZEVRALD_TAZU_SHARE_KEY_DATA"
extern const wchar_t kReplyTakenEventName[];     // "ZEVRALD_TAZU_EVENT_KEY_OK"

// The block holds one zero-terminated UTF-16 text.
constexpr DWORD kRegistrationBlockBytes = 520;
constexpr size_t kRegistrationBlockChars = kRegistrationBlockBytes / sizeof(wchar_t);

// A request has at most this many characters.
constexpr size_t kRequestLimit = 31;
constexpr size_t kRequestChars = kRequestLimit + 1;

// The request: the language flag (1 Japanese, 0 English) and the context-menu switch position
// of each row of the command table.
struct RegistrationRequest {
    int languageFlag;
    int positions[kCommandCount];
};

// The reply: per row its OpResult, and the kept number and kept code of its error trail.
struct RegistrationReply {
    int results[kCommandCount];
    int numbers[kCommandCount];
    int codes[kCommandCount];
};

// "%d %d %d %d %d %d": the language flag of the page's language, then the five positions.
void composeRegistrationRequest(UiLanguage language, const int positions[kCommandCount], wchar_t* out,
                                size_t capacity);

// The language of a request's flag: exactly 1 is Japanese, anything else English.
UiLanguage requestLanguage(int languageFlag);

// Takes a request apart. It arrives from a less trusted process, so only its own form is
// accepted: at most 31 characters of blank-separated decimal numbers (runs of blanks count as
// one), at least the language flag, positions 0 to 2. Missing positions count as Off; numbers
// after the sixth are ignored. Returns 0, or -1 (and *request untouched) for anything else.
int parseRegistrationRequest(const wchar_t* text, RegistrationRequest* request);

// The fifteen numbers: the results, the kept numbers, the kept codes, single blanks between.
void composeRegistrationReply(const RegistrationReply& reply, wchar_t* out, size_t capacity);

// Reads a reply as far as it goes: blank-separated tokens, each converted as a decimal integer
// with optional sign up to its first other character (0 when it does not begin with one);
// numbers after the fifteenth are ignored and missing ones stay 0. An empty text is no reply.
void parseRegistrationReply(const wchar_t* text, RegistrationReply* reply);

// Message numbers of the three failure points of writing the block ("UAC-SSM1" to "UAC-SSM3":
// open, map, unmap); the two sides number them differently.
struct BlockWriteNumbers {
    unsigned open;
    unsigned map;
    unsigned unmap;
};

// Opens the block by name and copies the whole 520 bytes of `text` (text and the zeros behind
// it) into it, recording a failure with its system error code. Returns 0 or -1.
int writeRegistrationBlock(const wchar_t blockText[kRegistrationBlockChars], const BlockWriteNumbers& numbers);

// Copies the text of a view of the block into `text`. The writer puts the first character in
// last, so it is read first, on its own: zero means that nothing has arrived and nothing else is
// read; otherwise the rest is read after a barrier, one character at a time, and so holds what
// the writer had finished before it wrote the first one.
void readRegistrationBlockText(const void* view, wchar_t text[kRegistrationBlockChars]);

// Appends the whole error trail to the debug log when the settings ask for it ("Debug").
void logTrailWhenDebugging();
