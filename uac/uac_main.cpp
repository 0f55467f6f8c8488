// TazuUAC: the elevated helper that writes and removes the context-menu entries of the
// commands. Started by TazuSetting through the elevation prompt with a request on its command
// line, it does the work, writes the reply into TazuSetting's block and ends once TazuSetting
// has read it; started with a request but without TazuSetting's block, it does the work and ends
// at once. It shows no window: a notification icon marks that it is at work. Started
// without a request, it has the desktop's shell start TazuSetting instead. Where it cannot keep
// libraries of its own folder from loading, it does nothing but say so in its reply.
#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "command_table.h"
#include "errors.h"
#include "library_search.h"
#include "message_box.h"
#include "paths.h"
#include "program_window.h"
#include "reply_delivery.h"
#include "request_processing.h"
#include "resource_ids.h"
#include "setting_start.h"
#include "settings.h"
#include "shortcuts.h"

const wchar_t* g_programName = L"TazuUAC";

namespace {

const wchar_t kMutexName[] = L"tazuuac vantrel app 2016.04";
const wchar_t kWindowClass[] = L"TazuUACClass";
const wchar_t kWindowTitle[] = L"TazuUAC";
const wchar_t kSettingProgramFile[] = L"TazuSetting.exe";
const wchar_t kClassNotRegisteredText[] = L"Could not register window class.";
const wchar_t kWindowNotCreatedText[] = L"Unable to create the main window.";
constexpr int kAppDataFolderId = 26;   // CSIDL_APPDATA
constexpr int kExitAnotherInstance = 1;

HINSTANCE g_instance;
HWND g_mainWindow;
HANDLE g_instanceLock;
bool g_elevated;

void onDestroy(HWND window)
{
    removeProgramNotifyIcon(window);
    PostQuitMessage(0);
}

void onCommand(HWND window, WORD command)
{
    if (command == IDM_EXIT) DestroyWindow(window);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        onCommand(window, LOWORD(wParam));
        return 0;
    case WM_DESTROY:
        onDestroy(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The elevated flag, the installation's texts, and the debug flag of the settings file.
void prepareState()
{
    g_elevated = runsElevated();
    setInstallationFromRunningProgram(CallerHelper);
    wchar_t appData[kPathChars];
    lookUpShellFolder(appData, kAppDataFolderId);
    locateSettingsIn(g_installation.programFolder, appData, &g_settingsLocation);
    g_settings.debug = 0;
    g_settings.language = interfaceLanguage();
    if (pathExists(g_settingsLocation.iniPath)) {
        g_settings.debug = static_cast<int>(
            GetPrivateProfileIntW(L"Env", L"Debug", 0, g_settingsLocation.iniPath));
        // For the one message that TazuUAC may show on its own.
        GetPrivateProfileStringW(L"Env", L"Lang", L"", g_settings.lang, kLangLimit + 1, g_settingsLocation.iniPath);
        if (g_settings.lang[0]) g_settings.language = languageFromSetting(g_settings.lang);
    }
}

void handleRequest(const wchar_t* commandLine)
{
    addProgramNotifyIcon(g_instance, g_mainWindow, IDI_PROGRAM, g_programName);
    // Looked at before the work: a block that appears meanwhile belongs to a later exchange,
    // whose own TazuUAC must not find this one still holding the single-instance lock.
    bool readerWaits = readerBlockExists();
    RegistrationReply reply;
    processRegistrationRequest(commandLine, g_elevated, &reply);
    trailClear(&g_errorTrail);
    if (!readerWaits) return;
    if (deliverRegistrationReply(reply) != ReplyWritten) return;
    waitForReplyTaken(kReplyTakenBoundMilliseconds, kReplyTakenCheckMilliseconds);
}

void startSetting()
{
    wchar_t setting[kPathChars];
    if (composeProgramPath(g_installation.programFolder, kSettingProgramFile, setting, kPathChars) != 0) return;
    // Nothing here needs the lock any more; a message left open must not hold off the TazuUAC
    // that the user's next registration starts, which looks for the lock's name.
    ReleaseMutex(g_instanceLock);
    CloseHandle(g_instanceLock);
    g_instanceLock = nullptr;
    startSettingProgram(setting, kDesktopShellBoundMs, g_settings.language);
}

// Without the restricted search a library put beside the program would run with administrator
// rights as soon as a window or the shell loads one by name: no window, no shell, no registry;
// only the reply that says so, to a TazuSetting that waits for it.
void answerWithoutWork(const wchar_t* commandLine)
{
    if (!commandLine || !commandLine[0] || !readerBlockExists()) return;
    RegistrationReply reply;
    refuseWithoutRestrictedSearch(commandLine, &reply);
    trailClear(&g_errorTrail);
    if (deliverRegistrationReply(reply) != ReplyWritten) return;
    waitForReplyTaken(kReplyTakenBoundMilliseconds, kReplyTakenCheckMilliseconds);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    // Before anything can load a library: none may come from the program's folder.
    const bool searchRestricted = restrictLibrarySearchToSystem() == 0;
    g_instance = instance;
    g_instanceLock = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) return kExitAnotherInstance;
    if (!searchRestricted) {
        answerWithoutWork(commandLine);
        return 0;
    }
    keepDebugLogInProgramFolder();

    if (!registerProgramWindowClass(g_instance, kWindowClass, mainWindowProc, IDI_PROGRAM, IDM_MAIN_MENU)) {
        showMessage(MB_ICONERROR, kClassNotRegisteredText);
        return 0;
    }
    g_mainWindow = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                   instance, nullptr);
    if (!g_mainWindow) {
        showMessage(MB_ICONERROR, kWindowNotCreatedText);
        return 0;
    }
    ShowWindow(g_mainWindow, SW_HIDE);

    prepareState();
    if (commandLine && commandLine[0])
        handleRequest(commandLine);
    else
        startSetting();

    DestroyWindow(g_mainWindow);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
