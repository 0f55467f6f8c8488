// Pre-backup hand-off, command side without the settings: the key, and the exchange with the
// settings program through the answer block and its two events.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <windows.h>

// Key of one command process: "ZEVRALD_tazu_", the folder-derived text, "_" and the main window
// handle as "%x". Blanks become "_" so that the settings program's option parsing keeps the key
// whole; a folder text too long for the settings program's key room is cut (the handle at the
// end keeps the key unique). Returns 0, or -1 when `capacity` is too small for any key.
int buildHandoffKey(const wchar_t* folderKeyText, uintptr_t mainWindow, wchar_t* key,
                    size_t capacity);

// Results of runHandoffExchange besides 0 (answer known).
constexpr int kExchangeObjectsFailed = -1;   // the block or an event could not be created
constexpr int kExchangeStartFailed = -2;     // the settings program could not be started
constexpr int kExchangeNamesTaken = -3;      // the block or an event existed already: another
                                             // process holds the name; nothing was started

// Creates the block and the events for `key`, starts `settingsProgram` with "/k <key>" (owner
// `owner`), waits for the answer or the end of the program, reads the answer, lets the program
// go, waits for its end and closes everything. *answer receives the value read; Cancel when the
// program ended without answering; 0 when the answer text never arrived.
int runHandoffExchange(const wchar_t* settingsProgram, const wchar_t* key, HWND owner,
                       int* answer);

// Pause between reads of an empty answer block; replaceable for tests (default Sleep).
extern void (*g_handoffPause)(DWORD milliseconds);
