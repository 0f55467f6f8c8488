// Backup setting page: initialisation, the destination list, Browse, the coupling of the two
// add-string pull-downs and collecting the values for the settings window.
#include "backup_page.h"

#include <commctrl.h>
#include <shlobj.h>
#include <wchar.h>

#include "backup_rules.h"
#include "history_dialog.h"
#include "resource_ids.h"
#include "setting_window.h"

namespace {

// Row of the history dialog to select first: the entry last chosen from the destination list,
// 0 once text was typed, -1 before either.
int g_historyIndex = -1;

const BilingualText kBrowseTitle = {L"バックアップフォルダを選択して下さい", L"Please select backup folder"};
const BilingualText kChosenFolderMissing = {L"選択したフォルダは存在しません。", L"Selected folder does not exist."};

// "999" at most; anything else that reaches the field is refused when the page is confirmed.
constexpr int kKeepBackupsFieldChars = 3;
// Width of the label before that field as the template gives it: the most its text may take.
int g_keepLabelWidth;

const int kZeroSuppressionControls[] = {IDC_BACKUP_ZERO, IDC_BACKUP_ZERO_LABEL, IDC_BACKUP_DIGIT};

LRESULT sendItem(HWND page, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendDlgItemMessageW(page, id, message, wParam, lParam);
}

int selectedIndex(HWND page, int id)
{
    return static_cast<int>(sendItem(page, id, CB_GETCURSEL));
}

// The pull-downs are narrower than their longest choice: the opened list is made as wide as
// its texts so that every choice can be read.
void widenDroppedList(HWND combo, UiLanguage language)
{
    HDC dc = GetDC(combo);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (int choice = 0; choice < kAddStringChoiceCount; ++choice) {
        const wchar_t* text = addStringChoiceText(choice, language);
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
        if (size.cx > widest) widest = size.cx;
    }
    SelectObject(dc, old);
    ReleaseDC(combo, dc);
    RECT own;
    GetWindowRect(combo, &own);
    int wanted = widest + 2 * GetSystemMetrics(SM_CXEDGE) + 8;
    SendMessageW(combo, CB_SETDROPPEDWIDTH, wanted > own.right - own.left ? wanted : own.right - own.left, 0);
}

void fillAddStringChoices(HWND page, int id, UiLanguage language, int selected)
{
    sendItem(page, id, CB_RESETCONTENT);
    for (int choice = 0; choice < kAddStringChoiceCount; ++choice)
        sendItem(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(addStringChoiceText(choice, language)));
    // An index outside the list leaves the pull-down without a selection.
    sendItem(page, id, CB_SETCURSEL, static_cast<WPARAM>(selected));
    widenDroppedList(GetDlgItem(page, id), language);
}

void enableZeroSuppression(HWND page)
{
    BOOL enable = serialNumberChosen(selectedIndex(page, IDC_BACKUP_ADD_BEF), selectedIndex(page, IDC_BACKUP_ADD_AFT));
    for (int id : kZeroSuppressionControls) EnableWindow(GetDlgItem(page, id), enable);
}

void setLimitedText(HWND page, int id, const wchar_t* text)
{
    sendItem(page, id, EM_LIMITTEXT, kFieldChars);
    SetDlgItemTextW(page, id, text);
}

void onInitDialog(HWND page)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const SettingsRecord& s = g_settings;

    sendItem(page, IDC_BACKUP_DEST, CB_LIMITTEXT, kFieldChars);
    SetDlgItemTextW(page, IDC_BACKUP_DEST, s.path);
    refillDestinationList(page);
    CheckDlgButton(page, IDC_BACKUP_SEL_DIR, s.selDir == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_BACKUP_OPEN_DIR, s.openDir == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_BACKUP_VERIFY, s.verify == 1 ? BST_CHECKED : BST_UNCHECKED);

    setLimitedText(page, IDC_BACKUP_PREFIX_BEF1, s.prefixBef1);
    fillAddStringChoices(page, IDC_BACKUP_ADD_BEF, g_settingLanguage, s.addStringsBef);
    setLimitedText(page, IDC_BACKUP_PREFIX_BEF2, s.prefixBef2);
    setLimitedText(page, IDC_BACKUP_PREFIX_AFT1, s.prefixAft1);
    fillAddStringChoices(page, IDC_BACKUP_ADD_AFT, g_settingLanguage, s.addStringsAft);
    setLimitedText(page, IDC_BACKUP_PREFIX_AFT2, s.prefixAft2);

    for (int digits = kMinZeroSuppress; digits <= kMaxZeroSuppress; ++digits) {
        wchar_t text[8];
        _snwprintf(text, 7, L"%d", digits);
        text[7] = L'\0';
        sendItem(page, IDC_BACKUP_ZERO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    sendItem(page, IDC_BACKUP_ZERO, CB_SETCURSEL, static_cast<WPARAM>(s.zeroSuppress - 1));
    enableZeroSuppression(page);

    RECT keepLabel;
    GetWindowRect(GetDlgItem(page, IDC_BACKUP_KEEP_LABEL), &keepLabel);
    g_keepLabelWidth = keepLabel.right - keepLabel.left;
    sendItem(page, IDC_BACKUP_KEEP, EM_LIMITTEXT, kKeepBackupsFieldChars);
    SetDlgItemInt(page, IDC_BACKUP_KEEP, static_cast<UINT>(s.keepBackups), FALSE);

    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    const int fontControls[] = {IDC_BACKUP_DEST, IDC_BACKUP_PREFIX_BEF1, IDC_BACKUP_PREFIX_BEF2,
                                IDC_BACKUP_PREFIX_AFT1, IDC_BACKUP_PREFIX_AFT2};
    for (int id : fontControls) sendItem(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

    g_historyIndex = -1;
}

// ---- Browse ----

struct BrowseState {
    bool chosenFolderMissing;
};

int CALLBACK browseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    BrowseState* state = reinterpret_cast<BrowseState*>(data);
    switch (message) {
    case BFFM_INITIALIZED:
        if (g_settings.path[0])
            SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(g_settings.path));
        return 0;
    case BFFM_VALIDATEFAILEDW:
        state->chosenFolderMissing = true;
        return 0;   // closes the browser
    default:
        return 0;
    }
}

// Lets the user choose the destination in the shell's folder browser; the choice goes to
// g_settings.path at once.
void browseForDestination()
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return;
    wchar_t* displayName = static_cast<wchar_t*>(allocator->Alloc(MAX_PATH * sizeof(wchar_t)));
    LPITEMIDLIST desktop = nullptr;
    if (displayName && SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop)) && desktop) {
        BrowseState state = {false};
        BROWSEINFOW info = {};
        info.hwndOwner = nullptr;
        info.pidlRoot = desktop;
        info.pszDisplayName = displayName;
        info.lpszTitle = pickText(kBrowseTitle, g_settingLanguage);
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
        info.lpfn = browseCallback;
        info.lParam = reinterpret_cast<LPARAM>(&state);
        LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
        if (state.chosenFolderMissing) {
            g_settings.path[0] = L'\0';
            showSettingMessage(nullptr, MB_ICONWARNING, pickText(kChosenFolderMissing, g_settingLanguage));
        } else if (chosen) {
            wchar_t path[MAX_PATH];
            if (SHGetPathFromIDListW(chosen, path)) wcscpy(g_settings.path, path);
        }
        if (chosen) allocator->Free(chosen);
    }
    if (desktop) allocator->Free(desktop);
    if (displayName) allocator->Free(displayName);
    allocator->Release();
}

void onBrowse(HWND page)
{
    browseForDestination();
    // Whatever happened, the field shows the destination of the settings.
    SetDlgItemTextW(page, IDC_BACKUP_DEST, g_settings.path);
}

// ---- Notifications ----

void onDestinationNotification(HWND page)
{
    int selected = selectedIndex(page, IDC_BACKUP_DEST);
    g_historyIndex = selected == CB_ERR ? 0 : selected;
}

void onAddStringNotification(HWND page, int changedId)
{
    int otherId = changedId == IDC_BACKUP_ADD_BEF ? IDC_BACKUP_ADD_AFT : IDC_BACKUP_ADD_BEF;
    int other = selectedIndex(page, otherId);
    int coupled = coupledAddStringChoice(selectedIndex(page, changedId), other);
    if (coupled != other) sendItem(page, otherId, CB_SETCURSEL, static_cast<WPARAM>(coupled));
    enableZeroSuppression(page);
}

void onCommand(HWND page, int id)
{
    switch (id) {
    case IDC_BACKUP_DEST:
        onDestinationNotification(page);
        break;
    case IDC_BACKUP_ADD_BEF:
    case IDC_BACKUP_ADD_AFT:
        onAddStringNotification(page, id);
        break;
    case IDC_BACKUP_BROWSE:
        onBrowse(page);
        break;
    case IDC_BACKUP_HISTORY:
        openHistoryDialog(page, g_historyIndex);
        break;
    default:
        break;
    }
}

}  // namespace

INT_PTR CALLBACK backupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(page);
        return FALSE;   // the settings window decides where the focus goes
    case WM_COMMAND:
        onCommand(page, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void collectBackupPage(HWND page, SettingsRecord* record)
{
    const int textChars = kFieldChars + 1;
    GetDlgItemTextW(page, IDC_BACKUP_DEST, record->path, textChars);
    record->selDir = IsDlgButtonChecked(page, IDC_BACKUP_SEL_DIR) == BST_CHECKED ? 1 : 0;
    record->openDir = IsDlgButtonChecked(page, IDC_BACKUP_OPEN_DIR) == BST_CHECKED ? 1 : 0;
    GetDlgItemTextW(page, IDC_BACKUP_PREFIX_BEF1, record->prefixBef1, textChars);
    GetDlgItemTextW(page, IDC_BACKUP_PREFIX_BEF2, record->prefixBef2, textChars);
    GetDlgItemTextW(page, IDC_BACKUP_PREFIX_AFT1, record->prefixAft1, textChars);
    GetDlgItemTextW(page, IDC_BACKUP_PREFIX_AFT2, record->prefixAft2, textChars);
    record->addStringsBef = selectedIndex(page, IDC_BACKUP_ADD_BEF);
    record->addStringsAft = selectedIndex(page, IDC_BACKUP_ADD_AFT);
    record->zeroSuppress = selectedIndex(page, IDC_BACKUP_ZERO) + 1;
    wchar_t keep[16];
    GetDlgItemTextW(page, IDC_BACKUP_KEEP, keep, 16);
    record->keepBackups = keepBackupsOfText(keep);
    record->verify = IsDlgButtonChecked(page, IDC_BACKUP_VERIFY) == BST_CHECKED ? 1 : 0;
}

void refillDestinationList(HWND page)
{
    int selected = selectedIndex(page, IDC_BACKUP_DEST);
    // Emptying the list empties the field too; typed text is put back.
    wchar_t typed[kFieldChars + 1];
    GetDlgItemTextW(page, IDC_BACKUP_DEST, typed, kFieldChars + 1);
    sendItem(page, IDC_BACKUP_DEST, CB_RESETCONTENT);
    for (int i = 0; i < kHistoryCount; ++i)
        sendItem(page, IDC_BACKUP_DEST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_settings.pathHistory[i]));
    if (selected != CB_ERR)
        sendItem(page, IDC_BACKUP_DEST, CB_SETCURSEL, static_cast<WPARAM>(selected));
    else
        SetDlgItemTextW(page, IDC_BACKUP_DEST, typed);
}

void relabelAddStringChoices(HWND page, UiLanguage language)
{
    fillAddStringChoices(page, IDC_BACKUP_ADD_BEF, language, selectedIndex(page, IDC_BACKUP_ADD_BEF));
    fillAddStringChoices(page, IDC_BACKUP_ADD_AFT, language, selectedIndex(page, IDC_BACKUP_ADD_AFT));
}

void fitKeepBackupsLine(HWND page)
{
    HWND label = GetDlgItem(page, IDC_BACKUP_KEEP_LABEL);
    HWND field = GetDlgItem(page, IDC_BACKUP_KEEP);
    HWND words = GetDlgItem(page, IDC_BACKUP_KEEP_UNIT);
    wchar_t text[128];
    GetWindowTextW(label, text, 128);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, 0, 0};
    DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(label, dc);

    RECT place, fieldPlace, wordsPlace, gap = {0, 0, 4, 0};
    MapDialogRect(page, &gap);
    GetWindowRect(label, &place);
    GetWindowRect(field, &fieldPlace);
    GetWindowRect(words, &wordsPlace);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&place), 2);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&fieldPlace), 2);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&wordsPlace), 2);
    int labelWidth = needed.right + 1 < g_keepLabelWidth ? needed.right + 1 : g_keepLabelWidth;
    int fieldLeft = place.left + labelWidth + gap.right;
    int fieldWidth = fieldPlace.right - fieldPlace.left;
    SetWindowPos(label, nullptr, 0, 0, labelWidth, place.bottom - place.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(field, nullptr, fieldLeft, fieldPlace.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The words keep their right edge, so they never run past the group.
    int wordsLeft = fieldLeft + fieldWidth + gap.right;
    SetWindowPos(words, nullptr, wordsLeft, wordsPlace.top, wordsPlace.right - wordsLeft, wordsPlace.bottom - wordsPlace.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
