// Per-process state of the settings program that its windows share, and its message boxes.
#pragma once
#include <windows.h>

#include "handoff_answer.h"
#include "language.h"

// The settings window; null until it is created.
extern HWND g_mainWindow;
// Language of every text the program shows; the language drop-down changes it.
extern UiLanguage g_settingLanguage;
// Pre-backup mode: started by a command with "/k" and the key of its hand-off.
extern bool g_preBackupMode;
extern wchar_t g_handoffKey[kHandoffKeyChars];

// Message box titled "TazuSetting" with the given owner (null: none) and style.
int showSettingMessage(HWND owner, UINT style, const wchar_t* text);

// Creates the modeless settings window from its template. Returns null on failure.
HWND createMainWindow(HINSTANCE instance);

// Sets the captions of a table on a window in the current language.
struct ControlCaption;
void setCaptions(HWND window, const ControlCaption* captions, size_t count);
