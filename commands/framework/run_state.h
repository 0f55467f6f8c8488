// Per-run state of a command program: the run state that the result window polls, and the
// folders and paths that the core action leaves for the worker's closing steps.
#pragma once
#include <windows.h>
#include "paths.h"

enum RunState { RunNotStarted = 0, Running = 1, Succeeded = 2, Failed = 9 };

// Written only by the worker, read by the result window's timers and painting.
extern volatile LONG g_runState;
void setRunState(RunState state);
RunState currentRunState();

// Whether the item at hand is being read back and compared with its item, for the result
// window's phase text. The copy commands' verify pass sets the flag; a ZIP program names the
// archiver library's answer as the source instead, since the library reads its archive back
// inside its own call (nullptr restores the flag).
void setVerifyPhase(bool on);
typedef bool (*VerifyPhaseSource)();
void setVerifyPhaseSource(VerifyPhaseSource source);
bool inVerifyPhase();

// A chosen folder may hold a full path and the appended backslash.
constexpr size_t kFolderChars = kPathChars + 1;

struct PerRunState {
    // Folder picked in the folder dialog during this run (ending with a backslash; empty when
    // none). Once set it is the destination of every later item of the run.
    wchar_t chosenFolder[kFolderChars];
    // Folder of the last composed new path (ending with a backslash).
    wchar_t destinationFolder[kFolderChars];
    // New path of the last composition.
    wchar_t lastNewPath[kPathChars];
    // "VirtualStore" below the local application data folder, and whether the last file copy
    // was found there.
    wchar_t virtualStoreFolder[kFolderChars];
    bool virtualStoreFlag;
    // Set by the folder dialog when the user typed a folder that does not exist.
    bool validateFailed;
};

extern PerRunState g_run;

// Clears the folders and flags (the worker does this before the first item).
void clearPerRunState();
