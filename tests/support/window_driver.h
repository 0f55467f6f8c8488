// Window driver for end-to-end tests: starts a program, finds its top-level windows, reads and
// presses message boxes, reads and sets control texts, checks visibility, topmost state and
// colours, and posts clicks and keys to controls. Works across processes (the tests drive the
// real programs).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

// ---- Processes ----

struct Program {
    HANDLE process = nullptr;
    DWORD id = 0;
};

// Starts exe with the given command-line tail (the text after the quoted program path).
// The working folder is the program's folder.
bool start(const std::wstring& exe, const std::wstring& tail, Program* program);
// Waits for the end; returns true and the exit code when it ended within the timeout.
bool waitForExit(const Program& program, DWORD timeoutMs, DWORD* exitCode = nullptr);
bool isRunning(const Program& program);
// Ends a program that still runs and closes its handle. Safe to call twice.
void stop(Program* program);

// Polls the condition every pollMs until it holds or the timeout passes.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

// ---- Windows ----

// First top-level window of the process with this class (nullptr: any) and title (nullptr:
// any), visible ones only unless visibleOnly is false, waiting up to timeoutMs.
HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* title, DWORD timeoutMs,
                bool visibleOnly = true);
// All visible top-level windows of the process.
std::vector<HWND> windowsOf(DWORD processId, bool visibleOnly = true);
// Waits until the window is gone (destroyed).
bool waitGone(HWND window, DWORD timeoutMs);

std::wstring className(HWND window);
std::wstring text(HWND window);
std::wstring controlText(HWND parent, int id);
bool setControlText(HWND parent, int id, const std::wstring& value);
bool isVisible(HWND window);
bool isTopmost(HWND window);
bool hasExStyle(HWND window, LONG_PTR exStyle);
// Opacity of a layered window (false when the window is not layered with constant alpha).
bool layeredOpacity(HWND window, BYTE* alpha);
// Size of the client area in pixels.
SIZE clientSize(HWND window);

// Colour of a pixel of the window's client area as the screen shows it.
COLORREF pixel(HWND window, int x, int y);

// ---- Input ----

// Posts a left-button press and release to the middle of the control.
void click(HWND control);
void clickChild(HWND parent, int id);
// Posts a key press and release to the control.
void key(HWND control, UINT virtualKey);
// Sends WM_COMMAND with the button's identifier to a dialog, as a press of that button does.
bool pressButton(HWND dialog, int id);

// The same inputs sent rather than posted: each returns once the program has handled it, so
// that a test can tell their order from that of its other messages.
void clickNow(HWND control);
void keyNow(HWND control, UINT virtualKey);
bool pressButtonNow(HWND dialog, int id);

// ---- Message boxes ----

enum IconKind { IconNone, IconError, IconWarning, IconInformation, IconQuestion, IconUnknown };
const char* iconKindName(IconKind kind);

struct MessageBoxInfo {
    std::wstring title;
    std::wstring text;
    IconKind icon = IconNone;
    std::vector<int> buttons;  // identifiers of its buttons (IDOK, IDYES, ...)
};

// Next message box (class "#32770" with a static text) of the process.
HWND findMessageBox(DWORD processId, DWORD timeoutMs);
bool readMessageBox(HWND box, MessageBoxInfo* info);

// ---- Tooltips ----

// The tooltip control of a process (class "tooltips_class32"), visible or not.
HWND tooltipOf(DWORD processId);
int toolCount(HWND tooltip);
// Text of the tool (window, identifier) of a tooltip control in another process.
std::wstring toolText(DWORD processId, HWND tooltip, HWND toolWindow, UINT_PTR toolId);

// ---- Folder dialog ----

// Static text of the folder dialog that holds the caller's title.
constexpr int kFolderDialogTitleId = 14146;
// The next folder dialog (SHBrowseForFolder with an edit box) of a process, or null on timeout.
HWND findFolderDialog(DWORD processId, DWORD timeoutMs);
// Selects a folder in a folder dialog of another process and confirms it once the dialog shows
// it; cancels the dialog and returns false when it never does, with what the dialog showed
// instead (its edit box and the selected tree item's ancestry) in *shown.
bool chooseInFolderDialog(HWND dialog, DWORD processId, const std::wstring& folder, std::wstring* shown = nullptr);
// The folder dialog's edit box (empty when it has none).
HWND folderDialogEdit(HWND dialog);

// ---- Common controls of another process ----

// Items of a combo box.
std::vector<std::wstring> comboItems(HWND combo);
int comboSelection(HWND combo);
// Selects an item of a dialog's combo box as the user does: the selection, then CBN_SELCHANGE
// to the dialog (sent, so the dialog has handled it when this returns).
bool chooseComboItem(HWND dialog, int id, int index);
bool isChecked(HWND dialog, int id);
// Sets a check box and tells the dialog, as a click does.
bool setChecked(HWND dialog, int id, bool checked);
// Text of a tab item.
std::wstring tabItemText(DWORD processId, HWND tabs, int index);
// Selects a tab as a click on it does (the tab control notifies its parent).
bool chooseTab(HWND tabs, int index);
// Texts of the first column of a list view, one per row.
std::vector<std::wstring> listViewRows(DWORD processId, HWND list);
// The row that is selected and focused, or -1.
int listViewSelection(HWND list);
// Selects and focuses a row (-1: takes selection and focus from every row).
bool selectListViewRow(DWORD processId, HWND list, int row);

// ---- Text helpers ----
std::string narrow(const std::wstring& text);

}  // namespace driver
