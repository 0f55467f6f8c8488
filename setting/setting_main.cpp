// TazuSetting: the settings program. Started by the user, or by a command with "/k" and the key
// of its pre-backup hand-off. Always ends with exit code 0.
#include <windows.h>
#include <ole2.h>

#include "command_table.h"
#include "errors.h"
#include "handoff_answer.h"
#include "message_box.h"
#include "row_icons.h"
#include "setting_texts.h"
#include "setting_window.h"
#include "token_elevation.h"

// The shared code's message boxes carry this name.
const wchar_t* g_programName = kSettingTitle;

namespace {
const wchar_t kWindowNotCreated[] = L"Unable to create the main window.";
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR arguments, int)
{
    lookUpDpiFunctions();
    // Elevated, its debug log must not follow a link out of its own folder.
    if (tokenElevation() == 1) keepDebugLogInProgramFolder();
    // Captions, program paths and verb keys of the registration page derive from this folder.
    setInstallationFromRunningProgram(CallerSetting);
    // The folder browser's new style needs OLE on this thread.
    OleInitialize(nullptr);

    // No window class of its own is registered: the settings window is a dialog of the system's
    // dialog class.
    g_preBackupMode = parseHandoffKeyOption(arguments, g_handoffKey, kHandoffKeyChars) == 1;

    HWND window = createMainWindow(instance);
    if (!window) {
        MessageBoxW(nullptr, kWindowNotCreated, kSettingTitle, MB_ICONERROR);
        OleUninitialize();
        return 0;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(g_mainWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    OleUninitialize();
    return 0;
}
