// How TazuUAC, started without a request, starts TazuSetting. TazuUAC runs with administrator
// rights and TazuSetting must not: it is started by the shell of the signed-in user's desktop,
// as that user and without elevation. Where there is no such shell (no shell process, no desktop
// folder view, a system without these interfaces) or it does not answer in time, nothing is
// started: a message asks the user to start TazuSetting from its folder.
#pragma once
#include <windows.h>

#include "language.h"

// A hung file manager must not hold TazuUAC (and its single-instance lock) for longer than this.
constexpr DWORD kDesktopShellBoundMs = 5000;

// The route TazuSetting was started by.
enum SettingStartRoute {
    SettingStartedByDesktopShell = 0,
    SettingLeftToUser = 1,   // the message asked the user to start it
};

// Starts the program through the desktop's shell, waiting at most boundMs for the shell's
// answer; when the route is not available, the shell refused or did not answer in time, shows
// the message (in the language) that asks the user to start the program from its folder.
// Returns the route taken.
int startSettingProgram(const wchar_t* programPath, DWORD boundMs, UiLanguage language);

// Has the shell of the desktop start the program ("open", shown normally). Returns 0, or -1 when
// the route is not available or the shell refused.
int startThroughDesktopShell(const wchar_t* programPath);

// The desktop's route as startSettingProgram takes it; replaceable for tests (default
// startThroughDesktopShell).
extern int (*g_desktopShellStart)(const wchar_t* programPath);

// The message that asks the user to start TazuSetting (its path) from its folder.
extern const BilingualText kStartSettingYourselfText;
