// How TazuUAC, started without a request, starts TazuSetting. TazuUAC runs with administrator
// rights and TazuSetting must not: it is started by the shell of the signed-in user's desktop,
// as that user and without elevation. Where there is no such shell (no shell process, no desktop
// folder view, a system without these interfaces), TazuSetting is started directly.
#pragma once
#include <windows.h>

// The route TazuSetting was started by.
enum SettingStartRoute {
    SettingStartedByDesktopShell = 0,
    SettingStartedDirectly = 1,
    SettingNotStarted = -1,
};

// Starts the program: through the desktop's shell first, directly ("open", shown normally, owner
// the given window) when that route is not available. Returns the route taken.
int startSettingProgram(HWND owner, const wchar_t* programPath);

// Has the shell of the desktop start the program ("open", shown normally). Returns 0, or -1 when
// the route is not available or the shell refused.
int startThroughDesktopShell(const wchar_t* programPath);

// The desktop's route as startSettingProgram takes it; replaceable for tests (default
// startThroughDesktopShell).
extern int (*g_desktopShellStart)(const wchar_t* programPath);
