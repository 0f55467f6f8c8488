// Life of a command program: window class and hidden main window, start-up, notification icon,
// result window, the worker thread that hands each path to the core action, and the shutdown
// chain (the result window's destruction ends the program).
#include "framework.h"

#include <commctrl.h>
#include <string.h>

#include "command_line.h"
#include "command_texts.h"
#include "copy_verify.h"
#include "explorer.h"
#include "handoff.h"
#include "language.h"
#include "message_box.h"
#include "naming.h"
#include "paths.h"
#include "program_window.h"
#include "resource_ids.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

// ---- Main window ----

void onMainDestroy(HWND window)
{
    // The program ends: a copy being read back is not trusted any more.
    setCopyVerifyCancelled(true);
    deleteResultBrushes();
    removeProgramNotifyIcon(window);
    PostQuitMessage(0);
}

void onMainCommand(HWND window, WORD command)
{
    if (command != IDM_EXIT) return;
    if (g_resultWindow) SendMessageW(g_resultWindow, WM_CLOSE, 0, 0);
    DestroyWindow(window);
}

void onNotifyCallback(LPARAM mouseMessage)
{
    if (mouseMessage == WM_LBUTTONDBLCLK || mouseMessage == WM_RBUTTONDOWN) showResultWindowInFront();
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        createResultBrushes();
        return 0;
    case WM_DESTROY:
        onMainDestroy(window);
        return 0;
    case WM_COMMAND:
        onMainCommand(window, LOWORD(wParam));
        return 0;
    case kNotifyCallbackMessage:
        onNotifyCallback(lParam);
        return 0;
    case WM_PAINT:
        // The window is never shown; nothing to draw.
        ValidateRect(window, nullptr);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void clearAllState()
{
    memset(&g_settings, 0, sizeof g_settings);
    clearPerRunState();
    resetNotedItems();
    g_runState = RunNotStarted;
    g_handoffAnswer = 0;
}

int createTooltipControl()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    g_tooltipWindow = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, g_mainWindow,
                                      nullptr, g_instance, nullptr);
    resetNotedItems();
    return 0;
}

int startUp(const wchar_t* commandTail)
{
    // The settings start-up picks the interface language for what it shows before the settings
    // are read; every later text follows "Lang".
    prepareSettingsAtStart();
    if (!commandTail || commandTail[0] == L'\0') {
        showMessage(MB_ICONINFORMATION, pickText(kNothingDroppedText, g_settings.language));
        return -1;
    }
    if (g_settings.startSetting == 1) {
        int answer = runPreBackupHandoff(g_mainWindow);
        if (answer != 0) return answer;
    }
    return createTooltipControl();
}

// ---- Worker ----

int handOneItem(const wchar_t* path, void* context)
{
    const CommandProgram* program = static_cast<const CommandProgram*>(context);
    return program->runCoreAction(path);
}

DWORD WINAPI workerMain(void* argument)
{
    const wchar_t* tail = static_cast<const wchar_t*>(argument);
    clearPerRunState();
    setRunState(Running);

    int result = 0;
    // A hand-edited free text with path characters would put the backups elsewhere or into a
    // stream: refused before any item is touched.
    UnusableFreeText unusable;
    if (findUnusableFreeText(&g_settings, &unusable) != 0) {
        showMessageF(MB_ICONERROR, g_settings.language, kFreeTextCharactersText, unusable.key, unusable.characters,
                     unusable.text);
        result = -1;
    } else {
        TailWalk walk;
        walkCommandTail(tail, handOneItem, const_cast<CommandProgram*>(g_program), &walk);
        if (walk.pathTooLong) {
            showMessageF(MB_ICONERROR, g_settings.language,
                         walk.tooLongWasQuoted ? kQuotedPathTooLongText : kUnquotedPathTooLongText,
                         static_cast<int>(kCommandPathLimit), walk.collected);
        }
        result = walk.result;
    }

    if (!g_resultWindow && g_mainWindow) SendMessageW(g_mainWindow, WM_DESTROY, 0, 0);

    if (g_program->writesSettingsBack && g_run.chosenFolder[0] != L'\0') {
        copyText(g_settings.path, sizeof g_settings.path / sizeof g_settings.path[0], g_run.chosenFolder);
        if (g_handoffAnswer == 0) saveSettings();
    }

    Sleep(kWorkerFinalWaitMs);

    if (result != 0) {
        setRunState(Failed);
    } else {
        if (g_settings.openDir == 1) {
            const wchar_t* folder = g_run.virtualStoreFlag ? g_run.virtualStoreFolder : g_run.destinationFolder;
            OpenFolderAndSelect(folder, lastComponent(g_run.lastNewPath));
        }
        setRunState(Succeeded);
    }
    if (g_resultWindow) InvalidateRect(g_resultWindow, nullptr, TRUE);
    return static_cast<DWORD>(result);
}

}  // namespace

int runCommandProgram(HINSTANCE instance, const wchar_t* commandTail, const CommandProgram* program)
{
    g_instance = instance;
    g_program = program;
    g_programName = program->name;

    if (!registerProgramWindowClass(instance, g_programName, mainWindowProc, IDI_PROGRAM, IDM_MAIN_MENU)) {
        showMessage(MB_ICONERROR, kClassNotRegisteredText);
        return 0;
    }
    g_mainWindow = CreateWindowExW(0, program->name, program->name, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                   instance, nullptr);
    if (!g_mainWindow) {
        showMessage(MB_ICONERROR, kMainWindowNotCreatedText);
        return 0;
    }
    ShowWindow(g_mainWindow, SW_HIDE);

    clearAllState();
    if (startUp(commandTail) != 0) {
        SendMessageW(g_mainWindow, WM_DESTROY, 0, 0);
        return -1;
    }
    addProgramNotifyIcon(instance, g_mainWindow, IDI_PROGRAM, g_programName);
    createResultWindow(instance);
    g_workerThread = CreateThread(nullptr, 0, workerMain, const_cast<wchar_t*>(commandTail), 0, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // A copy whose verify pass the end cancelled is this run's and was never found good: it goes
    // before the program does.
    awaitCopyVerifyHold(kQuitVerifyWaitMs);
    if (g_workerThread) CloseHandle(g_workerThread);
    return static_cast<int>(message.wParam);
}
