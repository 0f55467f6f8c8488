// The hidden main window that the command programs and the registration helper share: its
// window class (the program's icon and one-item menu) and the notification-area icon that marks
// the program at work.
#pragma once
#include <windows.h>

// Callback message of the notification icon.
constexpr UINT kNotifyCallbackMessage = WM_APP + 1;

// Registers the class of a program's hidden main window: horizontal and vertical redraw, the
// window colour, the program's icon (large and small), the arrow cursor and the program's menu.
ATOM registerProgramWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure,
                                int iconId, int menuId);

// Adds (or removes) the program's notification icon (identifier 1) with the program's name as tip.
void addProgramNotifyIcon(HINSTANCE instance, HWND window, int iconId, const wchar_t* tip);
void removeProgramNotifyIcon(HWND window);
