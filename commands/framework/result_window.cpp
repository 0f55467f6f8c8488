// Result window and notification icon of the command programs.
#include "result_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "command_texts.h"
#include "framework.h"
#include "message_box.h"
#include "resource_ids.h"
#include "run_state.h"
#include "settings.h"

namespace {

enum BrushIndex { WaitingBrush, SuccessBrush, SuccessDarkBrush, FailureBrush, FailureDarkBrush, BrushCount };
const COLORREF kBrushColours[BrushCount] = {
    RGB(0, 191, 255), RGB(51, 255, 0), RGB(32, 239, 0), RGB(255, 0, 0), RGB(230, 0, 0),
};
HBRUSH g_brushes[BrushCount];

// Per-run state of the window.
int g_autoCloseSwitch;
bool g_finished;
wchar_t g_namesText[kNamesChars];
wchar_t g_firstPath[kPathChars];
bool g_firstToolAdded;
bool g_secondToolAdded;
// Sentences about each item's verify pass and the clean-up of its older backups, shown below
// the first path in its tooltip.
constexpr size_t kCleanupChars = 1024;
wchar_t g_cleanupText[kCleanupChars];
// Status shown last, so that the 1 ms poll does not repaint the same text again and again.
const wchar_t* g_statusShown;

// Original procedures of the four subclassed controls.
WNDPROC g_switchProc;
WNDPROC g_hideProc;
WNDPROC g_quitProc;
WNDPROC g_closeProc;

HBRUSH stateBrush(bool darkForClose)
{
    switch (currentRunState()) {
    case Succeeded: return g_brushes[darkForClose ? SuccessDarkBrush : SuccessBrush];
    case Failed: return g_brushes[darkForClose ? FailureDarkBrush : FailureBrush];
    default: return g_brushes[WaitingBrush];
    }
}

bool runIsOver()
{
    RunState state = currentRunState();
    return state == Succeeded || state == Failed;
}

void bringToFrontNotTopmost(HWND window)
{
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
}

// Layered style with constant opacity; SetLayeredWindowAttributes is looked up at each use
// because older systems lack it (then only the style is set). Setting the attributes repaints
// the window on some systems, so they are set only when they differ: painting must not cause
// painting again, or the paint messages starve the timers.
void applyOpacity(HWND window)
{
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED)) SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    if (!user) return;
    typedef BOOL(WINAPI * GetLayeredFn)(HWND, COLORREF*, BYTE*, DWORD*);
    typedef BOOL(WINAPI * SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);
    auto getLayered = reinterpret_cast<GetLayeredFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetLayeredWindowAttributes")));
    auto setLayered = reinterpret_cast<SetLayeredFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetLayeredWindowAttributes")));
    if (!setLayered) return;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (getLayered && getLayered(window, &key, &alpha, &flags) && (flags & LWA_ALPHA) && alpha == kResultOpacity)
        return;
    setLayered(window, 0, kResultOpacity, LWA_ALPHA);
}

void paintBackground(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, stateBrush(false));
}

void showSwitchText(HWND window)
{
    SetDlgItemTextW(window, IDC_RESULT_AUTOCLOSE, g_autoCloseSwitch ? kAutoCloseOnText : kAutoCloseOffText);
}

void showStatus(HWND window, const wchar_t* text)
{
    if (g_statusShown == text) return;
    g_statusShown = text;
    SetDlgItemTextW(window, IDC_RESULT_STATUS, text);
}

// Status while the run goes on: the verify pass says that it runs.
const wchar_t* runningStatusText()
{
    return inVerifyPhase() ? pickText(kVerifyingText, g_settings.language) : kPleaseWaitText;
}

// ---- Control reactions ----

void onSwitchPressed()
{
    if (g_finished) return;
    g_autoCloseSwitch = g_autoCloseSwitch ? 0 : 1;
    showSwitchText(g_resultWindow);
}

void onHidePressed()
{
    ShowWindow(g_resultWindow, SW_HIDE);
}

void onQuitPressed(HWND control)
{
    int answer = MessageBoxW(control, pickText(kQuitQuestionText, g_settings.language), g_programName,
                             MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    if (answer == IDYES && g_mainWindow) SendMessageW(g_mainWindow, WM_DESTROY, 0, 0);
}

void onClosePressed()
{
    if (g_finished) SendMessageW(g_resultWindow, WM_CLOSE, 0, 0);
}

void reactToControl(HWND control)
{
    switch (GetDlgCtrlID(control)) {
    case IDC_RESULT_AUTOCLOSE: onSwitchPressed(); break;
    case IDC_RESULT_HIDE: onHidePressed(); break;
    case IDC_RESULT_QUIT: onQuitPressed(control); break;
    case IDC_RESULT_CLOSE: onClosePressed(); break;
    default: break;
    }
}

WNDPROC originalProcOf(HWND control)
{
    switch (GetDlgCtrlID(control)) {
    case IDC_RESULT_AUTOCLOSE: return g_switchProc;
    case IDC_RESULT_HIDE: return g_hideProc;
    case IDC_RESULT_QUIT: return g_quitProc;
    default: return g_closeProc;
    }
}

// A press of the left button, Enter or Space acts; every other key is swallowed.
LRESULT CALLBACK controlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        reactToControl(control);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE) reactToControl(control);
        return 0;
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        return 0;
    default:
        return CallWindowProcW(originalProcOf(control), control, message, wParam, lParam);
    }
}

WNDPROC subclassControl(HWND window, int id)
{
    HWND control = GetDlgItem(window, id);
    if (!control) return DefWindowProcW;
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc)));
}

// ---- Window messages ----

INT_PTR onInitDialog(HWND window)
{
    g_resultWindow = window;
    HDC dc = GetDC(window);
    if (dc) {
        paintBackground(window, dc);
        ReleaseDC(window, dc);
    }
    applyOpacity(window);
    InvalidateRect(window, nullptr, TRUE);

    SetTimer(window, kShowTimer, kShowDelayMs, nullptr);
    SetTimer(window, kPollTimer, kPollMs, nullptr);

    bringToFrontNotTopmost(window);
    SetForegroundWindow(window);

    g_switchProc = subclassControl(window, IDC_RESULT_AUTOCLOSE);
    g_hideProc = subclassControl(window, IDC_RESULT_HIDE);
    g_quitProc = subclassControl(window, IDC_RESULT_QUIT);
    g_closeProc = subclassControl(window, IDC_RESULT_CLOSE);

    showSwitchText(window);
    ShowWindow(GetDlgItem(window, IDC_RESULT_CLOSE), SW_HIDE);
    return FALSE;
}

void showFinalState(HWND window, const wchar_t* status)
{
    ShowWindow(window, SW_SHOW);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    showStatus(window, status);
}

void afterTimerTick(HWND window)
{
    if (!runIsOver() || g_finished) return;
    if (g_autoCloseSwitch) {
        SetTimer(window, kCloseTimer,
                 currentRunState() == Succeeded ? kCloseAfterSuccessMs : kCloseAfterFailureMs, nullptr);
    }
    g_finished = true;
    if (!g_autoCloseSwitch) {
        HWND close = GetDlgItem(window, IDC_RESULT_CLOSE);
        SetWindowTextW(close, kCloseText);
        ShowWindow(close, SW_SHOW);
    }
}

void onTimer(HWND window, UINT_PTR timer)
{
    switch (timer) {
    case kShowTimer:
        KillTimer(window, kShowTimer);
        ShowWindow(window, SW_SHOWNORMAL);
        break;
    case kPollTimer:
        KillTimer(window, kPollTimer);
        if (currentRunState() == Failed) {
            showFinalState(window, kBackupFailedText);
        } else if (currentRunState() == Succeeded) {
            showFinalState(window, kSuccessText);
        } else {
            showStatus(window, runningStatusText());
            SetTimer(window, kPollTimer, kPollMs, nullptr);
        }
        break;
    case kCloseTimer:
        KillTimer(window, kPollTimer);
        KillTimer(window, kCloseTimer);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        break;
    default:
        break;
    }
    afterTimerTick(window);
}

void onPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) paintBackground(window, dc);
    EndPaint(window, &paint);
    applyOpacity(window);
}

INT_PTR onControlColour(HDC dc, HWND control)
{
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<INT_PTR>(stateBrush(GetDlgCtrlID(control) == IDC_RESULT_CLOSE));
}

void onDestroy()
{
    g_resultWindow = nullptr;
    if (g_mainWindow) SendMessageW(g_mainWindow, WM_DESTROY, 0, 0);
    PostQuitMessage(0);
}

// Tooltip registration runs on the interface thread, which owns the tooltip control.
void addTool(HWND window, UINT_PTR id, const wchar_t* text)
{
    if (!g_tooltipWindow) return;
    TOOLINFOW tool;
    memset(&tool, 0, sizeof tool);
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = id;
    GetClientRect(window, &tool.rect);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(g_tooltipWindow, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

INT_PTR CALLBACK resultDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(window);
    case WM_TIMER:
        onTimer(window, wParam);
        return TRUE;
    case WM_PAINT:
        onPaint(window);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return onControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
            return TRUE;
        }
        return FALSE;
    case WM_LBUTTONDOWN:
        // Dragging anywhere on the window moves it.
        PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void createResultBrushes()
{
    for (int i = 0; i < BrushCount; ++i) {
        if (g_brushes[i]) DeleteObject(g_brushes[i]);
        g_brushes[i] = CreateSolidBrush(kBrushColours[i]);
    }
}

void deleteResultBrushes()
{
    for (int i = 0; i < BrushCount; ++i) {
        if (g_brushes[i]) DeleteObject(g_brushes[i]);
        g_brushes[i] = nullptr;
    }
}

int createResultWindow(HINSTANCE instance)
{
    // Like every other switch of the settings, only 1 turns it on.
    g_autoCloseSwitch = g_settings.autoClose == 1 ? 1 : 0;
    g_finished = false;
    g_statusShown = nullptr;
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_RESULT), nullptr, resultDialogProc, 0);
    if (!window) return -1;
    ShowWindow(window, SW_HIDE);
    return 0;
}

void resetNotedItems()
{
    g_namesText[0] = L'\0';
    g_firstPath[0] = L'\0';
    g_cleanupText[0] = L'\0';
    g_firstToolAdded = false;
    g_secondToolAdded = false;
}

bool appendNoteName(wchar_t* namesText, size_t capacity, const wchar_t* itemPath)
{
    size_t length = wcslen(namesText);
    if (length > kNamesGrowLimit) return false;
    const wchar_t* name = wcsrchr(itemPath, L'\\');
    name = name ? name + 1 : itemPath;
    size_t needed = length + (length ? 1 : 0) + wcslen(name);
    if (needed >= capacity) return false;
    if (length) wcscat(namesText, L" ");
    wcscat(namesText, name);
    return true;
}

void noteItem(const wchar_t* itemPath)
{
    HWND window = g_resultWindow;
    if (window) {
        if (!g_firstToolAdded) {
            copyText(g_firstPath, kPathChars, itemPath);
            addTool(window, 1, g_firstPath);
            g_firstToolAdded = true;
        } else if (!g_secondToolAdded) {
            wchar_t text[kPathChars + 8];
            _snwprintf(text, kPathChars + 8, kSecondToolFormat, g_firstPath);
            text[kPathChars + 7] = L'\0';
            addTool(window, 2, text);
            g_secondToolAdded = true;
        }
    }
    if (appendNoteName(g_namesText, kNamesChars, itemPath) && window) {
        wchar_t line[kNamesChars + 2];
        _snwprintf(line, kNamesChars + 2, kNamesLineFormat, g_namesText);
        line[kNamesChars + 1] = L'\0';
        SetDlgItemTextW(window, IDC_RESULT_NAMES, line);
    }
}

void noteCleanup(const wchar_t* shortNote, const wchar_t* sentence)
{
    HWND window = g_resultWindow;
    size_t length = wcslen(g_namesText);
    if (length <= kNamesGrowLimit && length + wcslen(shortNote) < kNamesChars) {
        wcscat(g_namesText, shortNote);
        if (window) {
            wchar_t line[kNamesChars + 2];
            _snwprintf(line, kNamesChars + 2, kNamesLineFormat, g_namesText);
            line[kNamesChars + 1] = L'\0';
            SetDlgItemTextW(window, IDC_RESULT_NAMES, line);
        }
    }

    length = wcslen(g_cleanupText);
    if (length + 2 + wcslen(sentence) < kCleanupChars) {
        if (length) wcscat(g_cleanupText, L"\r\n");
        wcscat(g_cleanupText, sentence);
    }
    if (!window || !g_tooltipWindow || !g_firstToolAdded) return;
    wchar_t text[kPathChars + 2 + kCleanupChars];
    _snwprintf(text, kPathChars + 2 + kCleanupChars, L"%s\r\n%s", g_firstPath, g_cleanupText);
    text[kPathChars + 1 + kCleanupChars] = L'\0';
    // Several lines show only in a tooltip with a width to break at.
    SendMessageW(g_tooltipWindow, TTM_SETMAXTIPWIDTH, 0, 480);
    TOOLINFOW tool;
    memset(&tool, 0, sizeof tool);
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageW(g_tooltipWindow, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void noteVerified(const wchar_t* itemPath, ULONGLONG bytes, const BilingualText& sentence)
{
    wchar_t count[32];
    groupDigits(bytes, count, sizeof count / sizeof count[0]);
    wchar_t text[kPathChars + 160];
    formatInto(text, sizeof text / sizeof text[0], pickText(sentence, g_settings.language), lastComponent(itemPath), count);
    // The same places as the clean-up's notes: after the item's name, below the first path.
    noteCleanup(pickText(kVerifiedNote, g_settings.language), text);
}

void groupDigits(ULONGLONG value, wchar_t* out, size_t capacity)
{
    wchar_t digits[32];
    int length = 0;
    do {
        digits[length++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value);
    size_t used = 0;
    for (int i = length - 1; i >= 0 && used + 1 < capacity; --i) {
        out[used++] = digits[i];
        if (i > 0 && i % 3 == 0 && used + 1 < capacity) out[used++] = L',';
    }
    if (capacity) out[used < capacity ? used : capacity - 1] = L'\0';
}

void showResultWindowInFront()
{
    if (!g_resultWindow) return;
    ShowWindow(g_resultWindow, SW_SHOW);
    SetForegroundWindow(g_resultWindow);
}
