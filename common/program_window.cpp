#include "program_window.h"

#include <string.h>

#include "paths.h"

namespace {

constexpr UINT kNotifyIconId = 1;

}  // namespace

ATOM registerProgramWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure,
                                int iconId, int menuId)
{
    WNDCLASSEXW windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(iconId));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(menuId);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass);
}

void addProgramNotifyIcon(HINSTANCE instance, HWND window, int iconId, const wchar_t* tip)
{
    NOTIFYICONDATAW icon;
    memset(&icon, 0, sizeof icon);
    // The first-version layout (152 bytes in the 32-bit build) is understood by every shell.
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = window;
    icon.uID = kNotifyIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kNotifyCallbackMessage;
    icon.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(iconId));
    copyText(icon.szTip, 64, tip);
    Shell_NotifyIconW(NIM_ADD, &icon);
}

void removeProgramNotifyIcon(HWND window)
{
    NOTIFYICONDATAW icon;
    memset(&icon, 0, sizeof icon);
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = window;
    icon.uID = kNotifyIconId;
    Shell_NotifyIconW(NIM_DELETE, &icon);
}
