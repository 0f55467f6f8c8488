// The framework of the command programs: start-up, the hidden main window, the worker thread
// that hands each path of the command line to the program's core action, and the shutdown.
// A program is its core action plus its name and icon:
//
//   int RunCoreAction(const wchar_t* itemPath);            // 0 on success, non-zero on failure
//   const CommandProgram kThisProgram = {L"TazuHere", RunCoreAction, false};
//   int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR tail, int)
//   { return runCommandProgram(instance, tail, &kThisProgram); }
#pragma once
#include <windows.h>

// Core action: called by the worker with one path (at most 259 characters, quotes removed);
// shows its own messages; returns 0 on success, non-zero on failure.
typedef int (*CoreAction)(const wchar_t* itemPath);

struct CommandProgram {
    const wchar_t* name;          // window class, titles, notification tip
    CoreAction runCoreAction;
    bool writesSettingsBack;      // destination commands: a chosen folder becomes "Path"
};

// The whole life of a command program; returns the process exit code.
int runCommandProgram(HINSTANCE instance, const wchar_t* commandTail, const CommandProgram* program);

// Handles of the running program (interface thread creates them; the worker reads them).
extern HINSTANCE g_instance;
extern HWND g_mainWindow;
extern HWND g_resultWindow;
extern HWND g_tooltipWindow;
extern HANDLE g_workerThread;
extern const CommandProgram* g_program;

// Waits after the last item, before the final state is set.
constexpr DWORD kWorkerFinalWaitMs = 500;
