// Progress window procedure and its thread. The worker only writes the shared counters; the
// window reads them on a timer, so the worker never waits for the window.
#include "progress_window.h"

#include <commctrl.h>

#include "archiver_api.h"

namespace {

const UINT kTimerId = 1;
const UINT kTimerMs = 100;
const UINT kMessageDone = WM_APP + 1;
const int kIdItem = 101;
const int kIdArchive = 102;
const int kIdBar = 103;
const int kIdVerb = 104;
const int kBarRange = 1000;

HINSTANCE moduleInstance()
{
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&moduleInstance), &m);
    return m;
}

HWND addChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id)
{
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), moduleInstance(), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return c;
}

void onCreate(HWND hwnd, Progress* p)
{
    addChild(hwnd, L"STATIC", L"Adding:", SS_LEFT, 12, 12, 60, 18, kIdVerb);
    addChild(hwnd, L"STATIC", L"", SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX, 76, 12, 360, 18, kIdItem);
    addChild(hwnd, L"STATIC", L"To:", SS_LEFT, 12, 36, 60, 18, 0);
    addChild(hwnd, L"STATIC", p->archivePath.c_str(), SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX, 76, 36, 360, 18,
             kIdArchive);
    HWND bar = addChild(hwnd, PROGRESS_CLASSW, L"", PBS_SMOOTH, 12, 64, 424, 18, kIdBar);
    SendMessageW(bar, PBM_SETRANGE32, 0, kBarRange);
    addChild(hwnd, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 346, 94, 90, 26, IDCANCEL);
    SetTimer(hwnd, kTimerId, kTimerMs, nullptr);
}

std::wstring windowTitle(const Progress* p, const wchar_t* doing)
{
    size_t slash = p->archivePath.find_last_of(L"\\/");
    return std::wstring(doing) + L" - " + (slash == std::wstring::npos ? p->archivePath : p->archivePath.substr(slash + 1));
}

void showCheck(HWND hwnd, Progress* p)
{
    p->checkShown = true;
    SetDlgItemTextW(hwnd, kIdVerb, L"Checking:");
    SetWindowTextW(hwnd, windowTitle(p, L"Verifying").c_str());
}

void onTimer(HWND hwnd, Progress* p)
{
    if (p->checking && !p->checkShown) showCheck(hwnd, p);
    std::wstring item;
    EnterCriticalSection(&p->lock);
    item = p->currentItem;
    LeaveCriticalSection(&p->lock);
    wchar_t shown[1024];
    GetDlgItemTextW(hwnd, kIdItem, shown, 1024);
    if (item.compare(0, 1023, shown) != 0) SetDlgItemTextW(hwnd, kIdItem, item.c_str());
    uint64_t done = static_cast<uint64_t>(InterlockedCompareExchange64(&p->doneBytes, 0, 0));
    uint64_t total = static_cast<uint64_t>(InterlockedCompareExchange64(&p->totalBytes, 0, 0));
    int pos = total ? static_cast<int>((done > total ? total : done) * kBarRange / total) : 0;
    SendDlgItemMessageW(hwnd, kIdBar, PBM_SETPOS, pos, 0);
}

void onCancel(HWND hwnd, Progress* p)
{
    InterlockedExchange(&p->cancel, 1);
    HWND button = GetDlgItem(hwnd, IDCANCEL);
    SetWindowTextW(button, L"Cancelling");
    EnableWindow(button, FALSE);
}

LRESULT CALLBACK progressProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    Progress* p = reinterpret_cast<Progress*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_CREATE: {
        p = static_cast<Progress*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
        onCreate(hwnd, p);
        return 0;
    }
    case WM_TIMER:
        if (p) onTimer(hwnd, p);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL && p) onCancel(hwnd, p);
        return 0;
    case WM_CLOSE:  // the title bar's close box cancels too
        if (p) onCancel(hwnd, p);
        return 0;
    case kMessageDone:
        KillTimer(hwnd, kTimerId);
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

DWORD WINAPI progressThread(void* arg)
{
    Progress* p = static_cast<Progress*>(arg);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = progressProc;
    wc.hInstance = moduleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ARCHIVER_PROGRESS_CLASS;
    RegisterClassExW(&wc);  // fails harmlessly when already registered by an earlier call

    const std::wstring title = windowTitle(p, L"Compressing");
    RECT r = {0, 0, 448, 132};
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRectEx(&r, style, FALSE, 0);
    HWND owner = (p->owner && IsWindow(p->owner)) ? p->owner : nullptr;
    p->window = CreateWindowExW(0, ARCHIVER_PROGRESS_CLASS, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                r.right - r.left, r.bottom - r.top, owner, nullptr, moduleInstance(), p);
    SetEvent(p->ready);
    if (!p->window) return 1;
    ShowWindow(p->window, SW_SHOWNORMAL);
    UpdateWindow(p->window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(p->window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}

// Waits for h while answering messages that other threads send to this one.
void waitServingSentMessages(HANDLE h, bool serve)
{
    if (!serve) {
        WaitForSingleObject(h, INFINITE);
        return;
    }
    while (MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

int progressStart(Progress* p, HWND owner, const std::wstring& archivePath, bool showWindow)
{
    InitializeCriticalSection(&p->lock);
    p->archivePath = archivePath;
    p->owner = owner;
    p->ownerOnCallingThread = owner && IsWindow(owner) && GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId();
    if (!showWindow) return 0;
    p->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!p->ready) return -1;
    p->thread = CreateThread(nullptr, 0, progressThread, p, 0, nullptr);
    if (!p->thread) return -1;
    waitServingSentMessages(p->ready, p->ownerOnCallingThread);
    return p->window ? 0 : -1;
}

void progressSetItem(Progress* p, const std::wstring& item)
{
    if (!p->thread) return;
    EnterCriticalSection(&p->lock);
    p->currentItem = item;
    LeaveCriticalSection(&p->lock);
}

void progressAddBytes(Progress* p, uint64_t bytes)
{
    InterlockedExchangeAdd64(&p->doneBytes, static_cast<LONG64>(bytes));
}

void progressStartCheck(Progress* p, uint64_t archiveBytes)
{
    InterlockedExchange64(&p->doneBytes, 0);
    InterlockedExchange64(&p->totalBytes, static_cast<LONG64>(archiveBytes));
    InterlockedExchange(&p->checking, 1);
}

void progressServeOwner(Progress* p)
{
    if (!p->ownerOnCallingThread || !p->thread) return;
    const DWORD now = GetTickCount();
    if (now - p->lastServed < 20) return;
    p->lastServed = now;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void progressStop(Progress* p)
{
    if (p->thread) {
        if (p->window) PostMessageW(p->window, kMessageDone, 0, 0);
        waitServingSentMessages(p->thread, p->ownerOnCallingThread);
        CloseHandle(p->thread);
        p->thread = nullptr;
    }
    if (p->ready) CloseHandle(p->ready);
    p->ready = nullptr;
    p->window = nullptr;
    DeleteCriticalSection(&p->lock);
}
