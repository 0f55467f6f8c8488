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

// Where boxes go: MessageBoxW by default. Tests install a sink that receives the style, title
// and text of what would be shown and returns the button; nullptr restores MessageBoxW.
typedef int (*MessageBoxSink)(UINT style, const wchar_t* title, const wchar_t* text);
void setMessageBoxSink(MessageBoxSink sink);
