// The settings window: loads the settings, holds the language drop-down, the link to the maker's
// page, the two tab pages and the three buttons, saves the settings and answers a waiting
// command in pre-backup mode.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wchar.h>

#include "backup_page.h"
#include "backup_rules.h"
#include "elevation_handoff.h"
#include "handoff_answer.h"
#include "registration_page.h"
#include "resource_ids.h"
#include "setting_texts.h"
#include "setting_window.h"
#include "settings.h"

HWND g_mainWindow = nullptr;
UiLanguage g_settingLanguage = UiJapanese;
bool g_preBackupMode = false;
wchar_t g_handoffKey[kHandoffKeyChars] = L"";

namespace {

enum Page { RegistrationPage = 0, BackupPage = 1, kPageCount = 2 };

// Answers of the pre-backup mode.
constexpr int kAnswerSaveAndRun = 0;
constexpr int kAnswerRunUnsaved = 1;
constexpr int kAnswerCancel = 2;

HWND g_pages[kPageCount] = {};
int g_lastLanguageIndex = -1;
WNDPROC g_linkDefaultProc = nullptr;

const BilingualText kFolderNotCreated = {
    L"設定ファイルの保存先のディレクトリを作成できませんでした。\n\n%s",
    L"Setup was unable to create the destination directory for the file.\n\n%s",
};
const BilingualText kFileNotWritten = {
    L"設定ファイルを書き込めませんでした。\n\n%s",
    L"Could not write the configuration file.\n\n%s",
};

void showError(HWND window, const BilingualText& format, const wchar_t* argument)
{
    wchar_t text[kCheckMessageChars];
    _snwprintf(text, kCheckMessageChars - 1, pickText(format, g_settingLanguage), argument);
    text[kCheckMessageChars - 1] = L'\0';
    showSettingMessage(window, MB_ICONERROR, text);
}

// ---- Settings file ----

// Locates the settings, restores "tazu.ini" from the copy beside the programs when it is missing
// (silently), and reads it. Nothing is written here: a new user's file is made by OK.
void loadSettingsAtStart()
{
    locateSettings();
    const SettingsLocation& l = g_settingsLocation;
    if (!pathExists(l.iniPath) && pathExists(l.backupIniPath) && makeFolder(l.settingsFolder) == 0)
        CopyFileW(l.backupIniPath, l.iniPath, FALSE);
    readSettingsFile(l.iniPath, &g_settings);
}

// Saves g_settings to "tazu.ini" or, for a run that keeps nothing, "tazu_tmp.ini". Returns 0, or
// -1 after the message of the failure.
int saveSettingsFile(HWND window, bool forThisRunOnly)
{
    const SettingsLocation& l = g_settingsLocation;
    if (!PathIsDirectoryW(l.settingsFolder) && makeFolder(l.settingsFolder) != 0) {
        showError(window, kFolderNotCreated, l.settingsFolder);
        return -1;
    }
    const wchar_t* target = forThisRunOnly ? l.tempIniPath : l.iniPath;
    if (writeSettingsProgramFile(target, &g_settings) != 0) {
        showError(window, kFileNotWritten, target);
        return -1;
    }
    return 0;
}

// ---- Link to the maker's page ----

LRESULT CALLBACK linkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
    case WM_LBUTTONDOWN:
        ShellExecuteW(nullptr, L"open", kMakerPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    default:
        return CallWindowProcW(g_linkDefaultProc, link, message, wParam, lParam);
    }
}

// ---- Pages and captions ----

void showPage(int shown)
{
    for (int page = 0; page < kPageCount; ++page)
        ShowWindow(g_pages[page], page == shown ? SW_SHOW : SW_HIDE);
}

void setTabTexts(HWND window)
{
    HWND tabs = GetDlgItem(window, IDC_MAIN_TABS);
    for (int page = 0; page < kPageCount; ++page) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(pickText(kTabTexts[page], g_settingLanguage));
        if (SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) > page)
            SendMessageW(tabs, TCM_SETITEMW, page, reinterpret_cast<LPARAM>(&item));
        else
            SendMessageW(tabs, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
    }
}

void relabel(HWND window)
{
    setTabTexts(window);
    setCaptions(g_pages[RegistrationPage], kRegistrationPageCaptions, kRegistrationPageCaptionCount);
    setCaptions(g_pages[BackupPage], kBackupPageCaptions, kBackupPageCaptionCount);
    relabelAddStringChoices(g_pages[BackupPage], g_settingLanguage);
    fitKeepBackupsLine(g_pages[BackupPage]);
}

// Where the pages stand: inside the tab control, below its row of tabs.
POINT pageOrigin(HWND window)
{
    LONG baseUnits = GetDialogBaseUnits();
    int unitX = LOWORD(baseUnits) / 4;
    int unitY = HIWORD(baseUnits) / 8;
    HWND tabs = GetDlgItem(window, IDC_MAIN_TABS);
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    RECT item = {};
    SendMessageW(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    int rows = static_cast<int>(SendMessageW(tabs, TCM_GETROWCOUNT, 0, 0));
    POINT origin = {area.left + 1 + unitX, area.top + rows * (item.bottom - item.top) + 3 * unitY};
    return origin;
}

void createPages(HWND window)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    g_pages[RegistrationPage] =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_REGISTRATION_PAGE), window, registrationPageProc, 0);
    g_pages[BackupPage] = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_BACKUP_PAGE), window, backupPageProc, 0);
    POINT origin = pageOrigin(window);
    HWND tabs = GetDlgItem(window, IDC_MAIN_TABS);
    for (HWND page : g_pages)
        SetWindowPos(page, tabs, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

// ---- Initialisation ----

void placeOkButton(HWND window)
{
    // Outside pre-backup mode OK takes the place of the hidden OK(No save), beside Cancel.
    HWND noSave = GetDlgItem(window, IDC_MAIN_OK_NO_SAVE);
    RECT place;
    GetWindowRect(noSave, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    ShowWindow(noSave, SW_HIDE);
    SetWindowPos(GetDlgItem(window, IDOK), nullptr, place.left, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void fillLanguages(HWND window)
{
    for (const wchar_t* item : kLanguageItems)
        SendDlgItemMessageW(window, IDC_MAIN_LANGUAGE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    g_settingLanguage = languageFromSetting(g_settings.lang);
    SendDlgItemMessageW(window, IDC_MAIN_LANGUAGE, CB_SETCURSEL, g_settingLanguage == UiEnglish ? 1 : 0, 0);
}

void onInitDialog(HWND window)
{
    g_mainWindow = window;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETTING),
                                               IMAGE_ICON, 16, 16, LR_SHARED));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    HICON bigIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETTING),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                  GetSystemMetrics(SM_CYICON), LR_SHARED));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));

    SetDlgItemTextW(window, IDC_MAIN_LINK, kMakerPageUrl);
    g_linkDefaultProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        GetDlgItem(window, IDC_MAIN_LINK), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(linkProc)));
    if (!g_preBackupMode) placeOkButton(window);

    loadSettingsAtStart();
    fillLanguages(window);
    setTabTexts(window);
    createPages(window);

    // A page index from a hand-edited file that names no page shows the first one.
    if (g_settings.tab != RegistrationPage && g_settings.tab != BackupPage) g_settings.tab = RegistrationPage;
    SendDlgItemMessageW(window, IDC_MAIN_TABS, TCM_SETCURSEL, g_settings.tab, 0);
    showPage(g_settings.tab);
    relabel(window);
}

// ---- Commands ----

void answerWaitingCommand(int answer)
{
    if (g_preBackupMode) sendHandoffAnswer(g_handoffKey, answer);
}

// OK and OK(No save): collect, check, update the history, save, answer, end.
void onConfirm(HWND window, bool forThisRunOnly)
{
    SettingsRecord& s = g_settings;
    bool english = SendDlgItemMessageW(window, IDC_MAIN_LANGUAGE, CB_GETCURSEL, 0, 0) == 1;
    wcscpy(s.lang, english ? L"en" : L"ja");
    collectRegistrationPage(g_pages[RegistrationPage], &s.startSetting, &s.autoClose, &s.userMenu);
    collectBackupPage(g_pages[BackupPage], &s);

    wchar_t message[kCheckMessageChars];
    if (checkBackupSettings(&s, g_settingLanguage, makeFolder, message, kCheckMessageChars) != 0) {
        showSettingMessage(window, MB_ICONERROR, message);
        return;
    }
    updateDestinationHistory(s.path, sizeof s.path / sizeof s.path[0], s.pathHistory);
    if (saveSettingsFile(window, forThisRunOnly) != 0) return;
    if (!forThisRunOnly) CopyFileW(g_settingsLocation.iniPath, g_settingsLocation.backupIniPath, FALSE);
    answerWaitingCommand(forThisRunOnly ? kAnswerRunUnsaved : kAnswerSaveAndRun);
    DestroyWindow(window);
}

void onCancel(HWND window)
{
    answerWaitingCommand(kAnswerCancel);
    DestroyWindow(window);
}

void onLanguage(HWND window)
{
    int index = static_cast<int>(SendDlgItemMessageW(window, IDC_MAIN_LANGUAGE, CB_GETCURSEL, 0, 0));
    if (index == g_lastLanguageIndex) return;
    g_lastLanguageIndex = index;
    g_settingLanguage = index == 1 ? UiEnglish : UiJapanese;
    renderRegistrationResult(g_pages[RegistrationPage]);
    relabel(window);
    for (HWND page : g_pages) RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The registration page's context-menu changes: the elevated helper is started with the
// positions the page read, and its outcome goes back to the page. The window's thread waits.
void onRunElevation(HWND window)
{
    ElevationHandoffResult outcome;
    runElevationHandoff(window, g_settingLanguage, rememberedContextMenuPositions(), &outcome);
    storeElevationOutcome(outcome);
}

void onCommand(HWND window, int id)
{
    switch (id) {
    case IDOK:
        onConfirm(window, false);
        break;
    case IDC_MAIN_OK_NO_SAVE:
        onConfirm(window, true);
        break;
    case IDC_MAIN_CANCEL:
        onCancel(window);
        break;
    case IDC_MAIN_LANGUAGE:
        onLanguage(window);
        break;
    case IDC_MAIN_RUN_ELEVATION:
        onRunElevation(window);
        break;
    default:
        // Escape sends IDCANCEL, which no control carries: it does nothing here.
        break;
    }
}

void onNotify(const NMHDR* header)
{
    if (header->idFrom != IDC_MAIN_TABS || header->code != TCN_SELCHANGE) return;
    int selected = static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0));
    if (selected != RegistrationPage && selected != BackupPage) return;
    g_settings.tab = selected;
    showPage(selected);
}

// The link is drawn as links are: blue on the window's background.
INT_PTR onLinkColour(HDC dc)
{
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(window);
        return TRUE;
    case WM_COMMAND:
        onCommand(window, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        onNotify(reinterpret_cast<const NMHDR*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != GetDlgItem(window, IDC_MAIN_LINK)) return FALSE;
        return onLinkColour(reinterpret_cast<HDC>(wParam));
    case WM_DPICHANGED:
        applyRegistrationPageDpi(g_pages[RegistrationPage], LOWORD(wParam));
        return FALSE;   // the system scales the dialog
    case WM_CLOSE:
        onCancel(window);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int showSettingMessage(HWND owner, UINT style, const wchar_t* text)
{
    return MessageBoxW(owner, text, kSettingTitle, style);
}

void setCaptions(HWND window, const ControlCaption* captions, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        SetDlgItemTextW(window, captions[i].id, pickText(captions[i].text, g_settingLanguage));
}

HWND createMainWindow(HINSTANCE instance)
{
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTING_MAIN), nullptr, mainWindowProc, 0);
}
