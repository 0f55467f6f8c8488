// Destination history dialog and the keyboard filter that runs while it is open.
#include "history_dialog.h"

#include <commctrl.h>
#include <wchar.h>

#include "backup_page.h"
#include "backup_rules.h"
#include "resource_ids.h"
#include "setting_texts.h"
#include "setting_window.h"
#include "settings.h"

namespace {

// The slots as the user edits them; given back to g_settings only by OK.
wchar_t g_workingSlots[kHistoryCount][kHistoryLimit + 1];
// Set while the list is rebuilt after an operation: the status line then stays.
bool g_refreshing = false;
HWND g_page = nullptr;
HHOOK g_keyFilter = nullptr;

constexpr int kColumnWidth = 490;
// What the dialog ends with; nobody reads it, but 0 and -1 mean it could not be shown.
constexpr INT_PTR kEndedByOk = 550;
constexpr INT_PTR kEndedByCancel = 2;

const BilingualText kSelectARow = {L"リストを選択してください。\n", L"Please select a list.\n"};
const BilingualText kUpdated = {L"更新しました。", L"Updated."};
const BilingualText kUpdatedWithoutControls = {L"制御コードを除去して更新しました。", L"Removed the control code and updated."};
const wchar_t kDialogNotShown[] = L"Unable to create the sub window.";

// ---- Keyboard filter of the dialog's modal loops (the dialog and its message boxes) ----

bool keyDown(int virtualKey)
{
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

LRESULT CALLBACK keyFilter(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && message && message->message == WM_KEYDOWN) {
        HWND focus = GetFocus();
        wchar_t focusClass[16] = L"";
        if (focus) GetClassNameW(focus, focusClass, 16);
        HistoryKeyAction action = historyKeyAction(static_cast<unsigned>(message->wParam), keyDown(VK_CONTROL),
                                                   keyDown(VK_SHIFT), keyDown(VK_MENU), focusClass);
        if (action == SelectAllAndSwallow) SendMessageW(focus, EM_SETSEL, 0, -1);
        if (action != PassKey) return 1;
    }
    return CallNextHookEx(g_keyFilter, code, wParam, lParam);
}

// ---- The list ----

HWND list(HWND dialog)
{
    return GetDlgItem(dialog, IDC_HISTORY_LIST);
}

int selectedRow(HWND dialog)
{
    return static_cast<int>(SendMessageW(list(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         LVNI_SELECTED | LVNI_FOCUSED));
}

int firstEmptySlot()
{
    for (int i = 0; i < kHistoryCount; ++i)
        if (!g_workingSlots[i][0]) return i;
    return -1;
}

void setStatus(HWND dialog, const wchar_t* text)
{
    SetDlgItemTextW(dialog, IDC_HISTORY_STATUS, text);
}

void rebuildList(HWND dialog, int row)
{
    HWND rows = list(dialog);
    SendMessageW(rows, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < kHistoryCount; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = g_workingSlots[i];
        SendMessageW(rows, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(rows, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(rows), TRUE);
}

// Rebuilds after an operation without touching the status line.
void refresh(HWND dialog, int row)
{
    g_refreshing = true;
    rebuildList(dialog, row);
    g_refreshing = false;
}

// ---- Operations ----

void showError(HWND dialog, const wchar_t* text)
{
    showSettingMessage(dialog, MB_ICONERROR, text);
}

void exchangeSlots(int a, int b)
{
    static wchar_t held[kHistoryLimit + 1];
    wcscpy(held, g_workingSlots[a]);
    wcscpy(g_workingSlots[a], g_workingSlots[b]);
    wcscpy(g_workingSlots[b], held);
}

void moveUp(HWND dialog, int row)
{
    setStatus(dialog, L"");
    if (row > 0) {
        exchangeSlots(row, row - 1);
        refresh(dialog, row - 1);
    }
}

void moveDown(HWND dialog, int row)
{
    setStatus(dialog, L"");
    if (row < kHistoryCount - 1) {
        exchangeSlots(row, row + 1);
        refresh(dialog, row + 1);
    }
}

void deleteRow(HWND dialog, int row)
{
    setStatus(dialog, L"");
    for (int i = row; i < kHistoryCount - 1; ++i) wcscpy(g_workingSlots[i], g_workingSlots[i + 1]);
    g_workingSlots[kHistoryCount - 1][0] = L'\0';
    refresh(dialog, row);
}

void updateRow(HWND dialog, int row)
{
    setStatus(dialog, L"");
    wchar_t text[kFieldChars + 1];
    GetDlgItemTextW(dialog, IDC_HISTORY_EDIT, text, kFieldChars + 1);
    bool removedControls = false;
    wchar_t message[kCheckMessageChars];
    if (prepareHistoryEntry(text, g_settingLanguage, &removedControls, message, kCheckMessageChars) != 0) {
        showError(dialog, message);
        return;
    }
    wcscpy(g_workingSlots[row], text);
    setStatus(dialog, pickText(removedControls ? kUpdatedWithoutControls : kUpdated, g_settingLanguage));
    refresh(dialog, row);
}

void onOperation(HWND dialog, int id)
{
    int row = selectedRow(dialog);
    if (row < 0 && id == IDC_HISTORY_UPDATE) row = firstEmptySlot();
    if (row < 0) {
        showError(dialog, pickText(kSelectARow, g_settingLanguage));
        return;
    }
    switch (id) {
    case IDC_HISTORY_UP: moveUp(dialog, row); break;
    case IDC_HISTORY_DOWN: moveDown(dialog, row); break;
    case IDC_HISTORY_DELETE: deleteRow(dialog, row); break;
    case IDC_HISTORY_UPDATE: updateRow(dialog, row); break;
    default: break;
    }
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list(dialog)), TRUE);
}

void onOk(HWND dialog)
{
    for (int i = 0; i < kHistoryCount; ++i) wcscpy(g_settings.pathHistory[i], g_workingSlots[i]);
    refillDestinationList(g_page);
    EndDialog(dialog, kEndedByOk);
}

void onCancel(HWND dialog)
{
    EndDialog(dialog, kEndedByCancel);
}

// ---- Dialog ----

void onInitDialog(HWND dialog, int firstRow)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETTING), IMAGE_ICON,
                                               16, 16, LR_SHARED));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    g_refreshing = false;
    setCaptions(dialog, kHistoryDialogCaptions, kHistoryDialogCaptionCount);

    HWND rows = list(dialog);
    SendMessageW(rows, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    wchar_t title[64];
    GetDlgItemTextW(dialog, IDC_HISTORY_LABEL, title, 64);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumnWidth;
    column.pszText = title;
    SendMessageW(rows, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    for (int i = 0; i < kHistoryCount; ++i) wcscpy(g_workingSlots[i], g_settings.pathHistory[i]);
    SetDlgItemTextW(dialog, IDC_HISTORY_EDIT, L"");
    setStatus(dialog, L"");
    rebuildList(dialog, firstRow < 0 ? 0 : firstRow);

    SendDlgItemMessageW(dialog, IDC_HISTORY_EDIT, EM_LIMITTEXT, kFieldChars, 0);
    setStatus(dialog, L"");
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    SendMessageW(rows, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SendDlgItemMessageW(dialog, IDC_HISTORY_EDIT, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void onListNotification(HWND dialog)
{
    int row = selectedRow(dialog);
    if (row >= 0 && row < kHistoryCount)
        SetDlgItemTextW(dialog, IDC_HISTORY_EDIT, g_workingSlots[row]);
    else if (!g_refreshing)
        setStatus(dialog, L"");
}

void onNotify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom != IDC_HISTORY_LIST) return;
    if (header->code == NM_CLICK || header->code == LVN_ITEMCHANGED || header->code == LVN_ITEMACTIVATE)
        onListNotification(dialog);
}

void onCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_HISTORY_UP:
    case IDC_HISTORY_DOWN:
    case IDC_HISTORY_DELETE:
    case IDC_HISTORY_UPDATE:
        onOperation(dialog, id);
        break;
    case IDOK:
        onOk(dialog);
        break;
    case IDC_HISTORY_CANCEL:
        onCancel(dialog);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK historyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog, static_cast<int>(lParam));
        return FALSE;   // the list takes the focus
    case WM_NOTIFY:
        onNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
        return TRUE;
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        onCancel(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void openHistoryDialog(HWND page, int firstRow)
{
    g_page = page;
    g_keyFilter = SetWindowsHookExW(WH_MSGFILTER, keyFilter, nullptr, GetCurrentThreadId());
    INT_PTR result = DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page, GWLP_HINSTANCE)),
                                     MAKEINTRESOURCEW(IDD_HISTORY), page, historyDialogProc, firstRow);
    if (result == 0 || result == -1)
        MessageBoxW(nullptr, kDialogNotShown, kSettingTitle, MB_ICONERROR | MB_TOPMOST);
    if (g_keyFilter) UnhookWindowsHookEx(g_keyFilter);
    g_keyFilter = nullptr;
}
