// Window driver for end-to-end tests.
#include "window_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>

namespace driver {

namespace {

struct FindContext {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter)
{
    FindContext* context = reinterpret_cast<FindContext*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != context->processId) return TRUE;
    if (context->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (context->className && className(window) != context->className) return TRUE;
    if (context->title && text(window) != context->title) return TRUE;
    context->found.push_back(window);
    return TRUE;
}

std::vector<HWND> collect(DWORD processId, const wchar_t* cls, const wchar_t* title, bool visibleOnly)
{
    FindContext context{processId, cls, title, visibleOnly, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

struct ChildContext {
    std::vector<HWND> children;
};

BOOL CALLBACK collectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<ChildContext*>(parameter)->children.push_back(window);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND parent)
{
    ChildContext context;
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&context));
    return context.children;
}

// Draws into a 32-bit top-down bitmap of the given size and returns its pixels; `draw` gets a
// memory device context with the bitmap selected and says whether it succeeded.
template <typename Draw>
bool drawToPixels(int width, int height, Draw draw, std::vector<DWORD>* pixels)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool drawn = bitmap && draw(memory, screen);
    GdiFlush();
    if (drawn) pixels->assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return drawn;
}

// Screen image of a rectangle as 32-bit pixels.
bool captureScreen(const RECT& area, std::vector<DWORD>* pixels)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    return drawToPixels(width, height, [&](HDC memory, HDC screen) {
        return BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    }, pixels);
}

// The system icon drawn on a background colour, as a message box shows it.
std::vector<DWORD> referenceIcon(LPCWSTR id, int width, int height, COLORREF background)
{
    std::vector<DWORD> pixels;
    drawToPixels(width, height, [&](HDC memory, HDC) {
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, id), width, height, 0, nullptr, DI_NORMAL);
        return true;
    }, &pixels);
    return pixels;
}

long long difference(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    if (a.size() != b.size()) return -1;
    long long sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            int x = (a[i] >> shift) & 0xff, y = (b[i] >> shift) & 0xff;
            sum += std::abs(x - y);
        }
    }
    return sum;
}

IconKind iconOfBox(HWND box)
{
    for (HWND child : childrenOf(box)) {
        if (className(child) != L"Static") continue;
        LONG style = static_cast<LONG>(GetWindowLongPtrW(child, GWL_STYLE));
        if ((style & SS_TYPEMASK) != SS_ICON) continue;
        if (!IsWindowVisible(child)) return IconNone;
        RECT area;
        GetWindowRect(child, &area);
        int width = area.right - area.left, height = area.bottom - area.top;
        if (width <= 0 || height <= 0) return IconNone;
        if (width > 32) width = 32;
        if (height > 32) height = 32;
        area.right = area.left + width;
        area.bottom = area.top + height;
        std::vector<DWORD> shown;
        if (!captureScreen(area, &shown)) return IconUnknown;
        // The background of the icon is the box's own: take it from the top-left corner.
        DWORD corner = shown[0];
        COLORREF background = RGB((corner >> 16) & 0xff, (corner >> 8) & 0xff, corner & 0xff);
        struct { IconKind kind; LPCWSTR id; } candidates[] = {
            {IconError, IDI_HAND}, {IconWarning, IDI_EXCLAMATION},
            {IconInformation, IDI_ASTERISK}, {IconQuestion, IDI_QUESTION},
        };
        IconKind best = IconUnknown;
        long long bestDifference = -1;
        for (const auto& candidate : candidates) {
            long long d = difference(shown, referenceIcon(candidate.id, width, height, background));
            if (d >= 0 && (bestDifference < 0 || d < bestDifference)) {
                bestDifference = d;
                best = candidate.kind;
            }
        }
        // The shown icon is the system's own, so one candidate matches all but exactly.
        if (bestDifference > static_cast<long long>(width) * height * 3 * 8) return IconUnknown;
        return best;
    }
    return IconNone;
}

// Whether the box lies above every other window at the corners and the middle of its icon.
bool uncovered(HWND box)
{
    for (HWND child : childrenOf(box)) {
        if (className(child) != L"Static") continue;
        if ((static_cast<LONG>(GetWindowLongPtrW(child, GWL_STYLE)) & SS_TYPEMASK) != SS_ICON) continue;
        RECT area;
        GetWindowRect(child, &area);
        const POINT points[] = {{area.left + 1, area.top + 1}, {area.right - 2, area.top + 1},
                                {area.left + 1, area.bottom - 2}, {area.right - 2, area.bottom - 2},
                                {(area.left + area.right) / 2, (area.top + area.bottom) / 2}};
        for (const POINT& point : points) {
            HWND hit = WindowFromPoint(point);
            if (!hit || GetAncestor(hit, GA_ROOT) != box) return false;
        }
        return true;
    }
    return true;
}

}  // namespace

// ---- Processes ----

bool start(const std::wstring& exe, const std::wstring& tail, Program* program)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!tail.empty()) commandLine += L" " + tail;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    program->process = process.hProcess;
    program->id = process.dwProcessId;
    return true;
}

bool waitForExit(const Program& program, DWORD timeoutMs, DWORD* exitCode)
{
    if (!program.process) return false;
    if (WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(program.process, exitCode);
    return true;
}

bool isRunning(const Program& program)
{
    return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

void stop(Program* program)
{
    if (!program->process) return;
    if (isRunning(*program)) {
        TerminateProcess(program->process, 99);
        WaitForSingleObject(program->process, 5000);
    }
    CloseHandle(program->process);
    program->process = nullptr;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    DWORD started = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - started >= timeoutMs) return false;
        Sleep(pollMs);
    }
}

// ---- Windows ----

HWND findWindow(DWORD processId, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs, bool visibleOnly)
{
    HWND found = nullptr;
    waitUntil([&] {
        std::vector<HWND> windows = collect(processId, cls, title, visibleOnly);
        if (windows.empty()) return false;
        found = windows.front();
        return true;
    }, timeoutMs);
    return found;
}

std::vector<HWND> windowsOf(DWORD processId, bool visibleOnly)
{
    return collect(processId, nullptr, nullptr, visibleOnly);
}

bool waitGone(HWND window, DWORD timeoutMs)
{
    return waitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::wstring className(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring text(HWND window)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                             2000, &copied))
        return L"";
    buffer[4095] = L'\0';
    return buffer;
}

std::wstring controlText(HWND parent, int id)
{
    HWND control = GetDlgItem(parent, id);
    return control ? text(control) : L"";
}

bool setControlText(HWND parent, int id, const std::wstring& value)
{
    HWND control = GetDlgItem(parent, id);
    if (!control) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()),
                               SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

bool isVisible(HWND window)
{
    return IsWindowVisible(window) != FALSE;
}

bool hasExStyle(HWND window, LONG_PTR exStyle)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & exStyle) == exStyle;
}

bool isTopmost(HWND window)
{
    return hasExStyle(window, WS_EX_TOPMOST);
}

bool layeredOpacity(HWND window, BYTE* alpha)
{
    COLORREF key = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, &key, alpha, &flags)) return false;
    return (flags & LWA_ALPHA) != 0;
}

SIZE clientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

COLORREF pixel(HWND window, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    // A window of a test running beside this one may lie over the point: raise the window's own
    // top-level window (posted, so a program that does not answer cannot hold the test) and
    // report no colour this time; callers read again until their time runs out.
    HWND root = GetAncestor(window, GA_ROOT);
    HWND hit = WindowFromPoint(point);
    if (!hit || GetAncestor(hit, GA_ROOT) != root) {
        SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        return CLR_INVALID;
    }
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// ---- Input ----

void click(HWND control)
{
    RECT client = {};
    GetClientRect(control, &client);
    LPARAM at = MAKELPARAM((client.right - client.left) / 2, (client.bottom - client.top) / 2);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
}

void clickChild(HWND parent, int id)
{
    HWND control = GetDlgItem(parent, id);
    if (control) click(control);
}

void key(HWND control, UINT virtualKey)
{
    PostMessageW(control, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(control, WM_KEYUP, virtualKey, 0xC0000001);
}

bool pressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

// ---- Message boxes ----

const char* iconKindName(IconKind kind)
{
    switch (kind) {
    case IconNone: return "none";
    case IconError: return "error";
    case IconWarning: return "warning";
    case IconInformation: return "information";
    case IconQuestion: return "question";
    default: return "unknown";
    }
}

HWND findMessageBox(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND window : collect(processId, L"#32770", nullptr, true)) {
            if (GetDlgItem(window, 0xFFFF)) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

bool readMessageBox(HWND box, MessageBoxInfo* info)
{
    if (!IsWindow(box)) return false;
    info->title = text(box);
    info->text = controlText(box, 0xFFFF);
    info->buttons.clear();
    for (HWND child : childrenOf(box)) {
        if (className(child) == L"Button" && IsWindowVisible(child)) info->buttons.push_back(GetDlgCtrlID(child));
    }
    // The icon is read from the screen: move the box where no other window lies (without a
    // window manager, Wine may stack a later window above a topmost box; tests running at the
    // same time use other places) and give it time to paint before it is compared.
    const POINT places[] = {{8, 8}, {8, 300}, {8, 600}, {860, 8}, {860, 300}, {860, 600}};
    const int count = sizeof places / sizeof places[0];
    DWORD seed = GetCurrentProcessId() / 4;
    info->icon = IconUnknown;
    for (int attempt = 0; attempt < count * 2 && info->icon == IconUnknown; ++attempt) {
        const POINT& place = places[(seed + attempt) % count];
        // Posted, not sent: a box whose program stops answering cannot hold the test here.
        SetWindowPos(box, HWND_TOPMOST, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        Sleep(200);
        if (!uncovered(box)) continue;
        info->icon = iconOfBox(box);
        // Another test's window may have come over it while the icon was read.
        if (!uncovered(box)) info->icon = IconUnknown;
    }
    return true;
}

// ---- Tooltips ----

HWND tooltipOf(DWORD processId)
{
    std::vector<HWND> found = collect(processId, TOOLTIPS_CLASSW, nullptr, false);
    return found.empty() ? nullptr : found.front();
}

int toolCount(HWND tooltip)
{
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(tooltip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count)) return -1;
    return static_cast<int>(count);
}

std::wstring toolText(DWORD processId, HWND tooltip, HWND toolWindow, UINT_PTR toolId)
{
    // The request and its answer live in the tooltip's own process.
    const size_t textChars = 1024;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, processId);
    if (!process) return L"";
    size_t bytes = sizeof(TOOLINFOW) + textChars * sizeof(wchar_t);
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::wstring text;
    if (remote) {
        TOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = toolWindow;
        tool.uId = toolId;
        tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof(TOOLINFOW));
        std::vector<wchar_t> buffer(textChars, L'\0');
        DWORD_PTR result = 0;
        if (WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr) &&
            WriteProcessMemory(process, remote + sizeof(TOOLINFOW), buffer.data(), textChars * sizeof(wchar_t), nullptr) &&
            SendMessageTimeoutW(tooltip, TTM_GETTEXTW, textChars, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                                2000, &result) &&
            ReadProcessMemory(process, remote + sizeof(TOOLINFOW), buffer.data(), textChars * sizeof(wchar_t), nullptr)) {
            buffer[textChars - 1] = L'\0';
            text = buffer.data();
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

// ---- Folder dialog ----

HWND findFolderDialog(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND window : windowsOf(processId)) {
            if (className(window) == L"#32770" && GetDlgItem(window, kFolderDialogTitleId) && folderDialogEdit(window)) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

HWND folderDialogEdit(HWND dialog)
{
    for (HWND child : childrenOf(dialog)) {
        if (className(child) == L"Edit" && IsWindowVisible(child)) return child;
    }
    return nullptr;
}

namespace {

// Text of a tree-view item of another process.
std::wstring treeItemText(HANDLE process, HWND tree, LRESULT item)
{
    const size_t textChars = 260;
    size_t bytes = sizeof(TVITEMW) + textChars * sizeof(wchar_t);
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) return L"";
    TVITEMW request = {};
    request.mask = TVIF_TEXT | TVIF_HANDLE;
    request.hItem = reinterpret_cast<HTREEITEM>(item);
    request.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
    request.cchTextMax = static_cast<int>(textChars);
    std::vector<wchar_t> buffer(textChars, L'\0');
    std::wstring result;
    DWORD_PTR answer = 0;
    if (WriteProcessMemory(process, remote, &request, sizeof request, nullptr) &&
        WriteProcessMemory(process, remote + sizeof(TVITEMW), buffer.data(), textChars * sizeof(wchar_t), nullptr) &&
        SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &answer) &&
        ReadProcessMemory(process, remote + sizeof(TVITEMW), buffer.data(), textChars * sizeof(wchar_t), nullptr)) {
        buffer[textChars - 1] = L'\0';
        result = buffer.data();
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return result;
}

// The child of a tree item whose text passes the test, after expanding the item (which fills
// its children from the folder as it is now).
template <typename Test>
LRESULT childWhere(HANDLE process, HWND tree, LRESULT parent, Test test)
{
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, parent);
    for (LRESULT child = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, parent); child;
         child = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, child)) {
        if (test(treeItemText(process, tree, child))) return child;
    }
    return 0;
}

// Selects a folder of a drive by walking the tree by item texts: the drive's item (its text
// holds "(C:)") lies below the root's children, and each folder's item below its parent's.
// The dialog's own walk compares saved item identifiers, which hold each folder's modification
// time: once a folder on the way changes (other programs create things in the temporary
// folder), the dialog can no longer find anything below it.
bool selectTreeItemByPath(HANDLE process, HWND tree, const std::wstring& folder)
{
    std::vector<std::wstring> parts;
    for (size_t from = 0; from <= folder.size();) {
        size_t to = folder.find(L'\\', from);
        if (to == std::wstring::npos) to = folder.size();
        if (to > from) parts.push_back(folder.substr(from, to - from));
        from = to + 1;
    }
    if (parts.size() < 2 || parts[0].size() != 2 || parts[0][1] != L':') return false;
    const std::wstring driveMark = L"(" + parts[0] + L")";
    auto sameName = [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; };

    LRESULT root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    LRESULT item = 0;
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, root);
    for (LRESULT child = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, root); child && !item;
         child = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, child)) {
        item = childWhere(process, tree, child,
                          [&](const std::wstring& text) { return text.find(driveMark) != std::wstring::npos; });
    }
    for (size_t part = 1; item && part < parts.size(); ++part)
        item = childWhere(process, tree, item, [&](const std::wstring& text) { return sameName(text, parts[part]); });
    if (!item) return false;
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, item);
    return true;
}

// The edit box's text and the texts from the selected tree item up to the root, for a failure
// message.
std::wstring folderDialogState(HANDLE process, HWND edit, HWND tree)
{
    std::wstring state = L"edit \"" + (edit ? text(edit) : std::wstring()) + L"\", tree";
    if (!tree) return state + L" missing";
    LRESULT item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item) state += L" without selection";
    for (int depth = 0; item && depth < 32; ++depth) {
        state += L" < \"" + treeItemText(process, tree, item) + L"\"";
        item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, item);
    }
    return state;
}

}  // namespace

bool chooseInFolderDialog(HWND dialog, DWORD processId, const std::wstring& folder, std::wstring* showedInstead)
{
    // BFFM_SETSELECTIONW takes a path in the dialog's own process.
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, processId);
    if (!process) return false;
    size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(process, remote, folder.c_str(), bytes, nullptr);
    // The dialog shows the selected folder's name in its edit box once the selection has moved
    // there; confirm only then.
    std::wstring name = folder;
    while (!name.empty() && name.back() == L'\\') name.pop_back();
    name = name.substr(name.find_last_of(L'\\') + 1);
    HWND edit = folderDialogEdit(dialog);
    HWND tree = nullptr;
    for (HWND child : childrenOf(dialog)) {
        if (className(child) == WC_TREEVIEWW) tree = child;
    }
    auto shown = [&](DWORD timeoutMs) { return !edit || waitUntil([&] { return text(edit) == name; }, timeoutMs, 50); };
    bool selected = false;
    // Under load Wine's dialog sometimes drops a selection request while it still fills its
    // tree; asking again is harmless, and it never confirms a folder it does not show.
    for (int attempt = 0; ok && !selected && attempt < 6; ++attempt) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                            5000, &result);
        selected = shown(1500);
        if (!selected && tree) selected = selectTreeItemByPath(process, tree, folder) && shown(1500);
    }
    if (ok && !selected && showedInstead) *showedInstead = folderDialogState(process, edit, tree);
    if (ok) {
        // Never confirm whatever happens to be preselected: cancel when the folder is not shown.
        Sleep(100);
        ok = pressButton(dialog, selected ? IDOK : IDCANCEL);
        if (ok) waitGone(dialog, 5000);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok && selected;
}

// ---- Common controls of another process ----

namespace {

// A block of memory in another process, for requests that carry pointers.
struct RemoteBlock {
    HANDLE process = nullptr;
    char* address = nullptr;
};

bool openRemoteBlock(DWORD processId, size_t bytes, RemoteBlock* block)
{
    block->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, processId);
    if (!block->process) return false;
    block->address = static_cast<char*>(VirtualAllocEx(block->process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE,
                                                       PAGE_READWRITE));
    return block->address != nullptr;
}

void closeRemoteBlock(RemoteBlock* block)
{
    if (block->address) VirtualFreeEx(block->process, block->address, 0, MEM_RELEASE);
    if (block->process) CloseHandle(block->process);
    *block = RemoteBlock();
}

bool sendWaiting(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, result ? result : &ignored) != 0;
}

// Text that a request of the given struct writes into the buffer behind it.
template <typename Request, typename Fill>
std::wstring remoteText(DWORD processId, HWND control, UINT message, WPARAM wParam, Fill fill)
{
    const size_t textChars = 1024;
    RemoteBlock block;
    std::wstring text;
    if (openRemoteBlock(processId, sizeof(Request) + textChars * sizeof(wchar_t), &block)) {
        Request request = {};
        wchar_t* remoteBuffer = reinterpret_cast<wchar_t*>(block.address + sizeof(Request));
        fill(&request, remoteBuffer, static_cast<int>(textChars));
        std::vector<wchar_t> buffer(textChars, L'\0');
        if (WriteProcessMemory(block.process, block.address, &request, sizeof request, nullptr) &&
            WriteProcessMemory(block.process, remoteBuffer, buffer.data(), textChars * sizeof(wchar_t), nullptr) &&
            sendWaiting(control, message, wParam, reinterpret_cast<LPARAM>(block.address)) &&
            ReadProcessMemory(block.process, remoteBuffer, buffer.data(), textChars * sizeof(wchar_t), nullptr)) {
            buffer[textChars - 1] = L'\0';
            text = buffer.data();
        }
    }
    closeRemoteBlock(&block);
    return text;
}

}  // namespace

std::vector<std::wstring> comboItems(HWND combo)
{
    std::vector<std::wstring> items;
    DWORD_PTR count = 0;
    if (!sendWaiting(combo, CB_GETCOUNT, 0, 0, &count)) return items;
    for (int i = 0; i < static_cast<int>(count); ++i) {
        DWORD_PTR length = 0;
        sendWaiting(combo, CB_GETLBTEXTLEN, i, 0, &length);
        std::vector<wchar_t> text(length + 1, L'\0');
        sendWaiting(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        items.push_back(text.data());
    }
    return items;
}

int comboSelection(HWND combo)
{
    DWORD_PTR selected = 0;
    if (!sendWaiting(combo, CB_GETCURSEL, 0, 0, &selected)) return -2;
    return static_cast<int>(static_cast<LRESULT>(selected));
}

void clickNow(HWND control)
{
    RECT client = {};
    GetClientRect(control, &client);
    LPARAM at = MAKELPARAM((client.right - client.left) / 2, (client.bottom - client.top) / 2);
    sendWaiting(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    sendWaiting(control, WM_LBUTTONUP, 0, at);
}

void keyNow(HWND control, UINT virtualKey)
{
    sendWaiting(control, WM_KEYDOWN, virtualKey, 1);
    sendWaiting(control, WM_KEYUP, virtualKey, 0xC0000001);
}

bool pressButtonNow(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (!button) return false;
    return sendWaiting(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool chooseComboItem(HWND dialog, int id, int index)
{
    HWND combo = GetDlgItem(dialog, id);
    if (!combo || !sendWaiting(combo, CB_SETCURSEL, index, 0)) return false;
    return sendWaiting(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool isChecked(HWND dialog, int id)
{
    DWORD_PTR state = 0;
    return sendWaiting(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

bool setChecked(HWND dialog, int id, bool checked)
{
    HWND box = GetDlgItem(dialog, id);
    return box && sendWaiting(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0) &&
           sendWaiting(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

std::wstring tabItemText(DWORD processId, HWND tabs, int index)
{
    return remoteText<TCITEMW>(processId, tabs, TCM_GETITEMW, index, [](TCITEMW* item, wchar_t* buffer, int chars) {
        item->mask = TCIF_TEXT;
        item->pszText = buffer;
        item->cchTextMax = chars;
    });
}

bool chooseTab(HWND tabs, int index)
{
    // Moving the focus of a tab control without buttons selects the tab and notifies the parent.
    return sendWaiting(tabs, TCM_SETCURFOCUS, index, 0);
}

std::vector<std::wstring> listViewRows(DWORD processId, HWND list)
{
    std::vector<std::wstring> rows;
    DWORD_PTR count = 0;
    if (!sendWaiting(list, LVM_GETITEMCOUNT, 0, 0, &count)) return rows;
    for (int row = 0; row < static_cast<int>(count); ++row) {
        rows.push_back(remoteText<LVITEMW>(processId, list, LVM_GETITEMTEXTW, row,
                                           [](LVITEMW* item, wchar_t* buffer, int chars) {
                                               item->iSubItem = 0;
                                               item->pszText = buffer;
                                               item->cchTextMax = chars;
                                           }));
    }
    return rows;
}

int listViewSelection(HWND list)
{
    DWORD_PTR row = 0;
    if (!sendWaiting(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED | LVNI_FOCUSED, &row)) return -2;
    return static_cast<int>(static_cast<LRESULT>(row));
}

bool selectListViewRow(DWORD processId, HWND list, int row)
{
    RemoteBlock block;
    bool done = false;
    if (openRemoteBlock(processId, sizeof(LVITEMW), &block)) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = row >= 0 ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
        done = WriteProcessMemory(block.process, block.address, &state, sizeof state, nullptr) &&
               sendWaiting(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.address));
    }
    closeRemoteBlock(&block);
    return done;
}

std::string narrow(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    return out;
}

}  // namespace driver
