// TazuSetting's side of the elevation hand-off: context-menu entries need administrator rights,
// so the registration page has TazuUAC started through the elevation prompt with the requested
// positions on its command line, and collects TazuUAC's fifteen-number reply from the named
// shared block. Runs on the calling (window) thread and blocks it for the whole exchange.
#pragma once
#include <windows.h>

#include "command_table.h"
#include "language.h"
#include "registration_exchange.h"

// The file started through the elevation prompt, from TazuSetting's own folder.
extern const wchar_t kHelperProgramFile[];   // "TazuUAC.exe"

// Reads of the block: one, then one after each pause while it stays empty (about three minutes).
constexpr DWORD kReplyPollMilliseconds = 200;
constexpr int kReplyRereads = 901;

struct ElevationHandoffResult {
    // The context-menu column of the page's result tables, rows in command-table order; all 0
    // (None) when no reply arrived.
    RegistrationReply reply;
    bool started;           // TazuUAC was started
    bool failed;            // the block or the event could not be made, or TazuUAC not started
    // The hand-off's own error trail: what a failed cell shows when the hand-off failed.
    unsigned keptNumber;
    DWORD keptCode;
};

// The whole exchange for one "Execute": creates the block and the event, starts TazuUAC with
// the request made of the language and the five context-menu positions (owner: the window
// that the prompt belongs to), waits for the reply, signals that it has been read and closes
// everything. Returns 0 when a reply was read, else -1 (see the flags).
int runElevationHandoff(HWND owner, UiLanguage language, const int positions[kCommandCount],
                        ElevationHandoffResult* result);

// Pause between reads of an empty block; replaceable for tests (default Sleep).
extern void (*g_elevationPause)(DWORD milliseconds);
