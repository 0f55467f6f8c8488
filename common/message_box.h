// Message boxes of the command programs: no owner, topmost, an icon by kind, the program's name
// as title.
#pragma once
#include <windows.h>
#include "language.h"

// The running program's name ("TazuHere", ...): window class, titles and notification tip.
extern const wchar_t* g_programName;

// Shows text with MB_TOPMOST and the given icon (MB_ICONERROR, MB_ICONWARNING, ...) and
// returns the button pressed.
int showMessage(UINT iconAndButtons, const wchar_t* text);

// Formats the text of the active language with printf-style arguments (%s takes wide text) and
// shows it as showMessage does.
int showMessageF(UINT iconAndButtons, UiLanguage language, const BilingualText& format, ...);
