// Pre-backup hand-off, command side: the key from the program folder and the main window, the
// exchange with the settings program, and the settings that the answer selects.
#include "handoff.h"

#include <windows.h>
#include <wchar.h>

#include "handoff_answer.h"
#include "handoff_exchange.h"
#include "message_box.h"
#include "paths.h"
#include "settings.h"

namespace {

const wchar_t kSettingsProgramName[] = L"TazuSetting.exe";

const BilingualText kSettingsStartFailedText = {
    L"バックアップ処理前に%sを起動する設定になっていますが、%sの起動に失敗したため終了します。",
    L"It is set to start %s before backup processing, but It terminates because %s startup failed.",
};

void showStartFailure()
{
    showMessageF(MB_ICONERROR, g_settings.language, kSettingsStartFailedText, kSettingsProgramName,
                 kSettingsProgramName);
}

} // namespace

int g_handoffAnswer = 0;

int runPreBackupHandoff(void* mainWindow)
{
    wchar_t key[kHandoffKeyChars];
    if (buildHandoffKey(g_settingsLocation.folderKeyText, reinterpret_cast<uintptr_t>(mainWindow),
                        key, kHandoffKeyChars) != 0)
        return -1;

    // A program folder too long for the settings program's path cannot start it either.
    wchar_t program[kPathChars];
    if (copyText(program, kPathChars, g_settingsLocation.programFolder) != 0 ||
        addTrailingBackslash(program, kPathChars) != 0 ||
        wcslen(program) + wcslen(kSettingsProgramName) >= kPathChars) {
        showStartFailure();
        return -1;
    }
    wcscat(program, kSettingsProgramName);

    int answer = 0;
    int rc = runHandoffExchange(program, key, static_cast<HWND>(mainWindow), &answer);
    if (rc == kExchangeStartFailed) {
        showStartFailure();
        return -1;
    }
    // Names held by another process: its answer could be anything, so the run does not start.
    if (rc == kExchangeNamesTaken) {
        showStartFailure();
        return Cancel;
    }
    if (rc != 0) return -1;

    g_handoffAnswer = answer;
    if (answer == SaveAndRun) {
        loadSettings(false);
        return 0;
    }
    if (answer == RunUnsaved) {
        loadSettings(true);
        return 0;
    }
    return Cancel;
}
