// Row icons of the registration page and the DPI of a window.
#include "row_icons.h"

#include "resource_ids.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;   // MDT_EFFECTIVE_DPI

GetDpiForWindowFn g_getDpiForWindow = nullptr;
GetDpiForMonitorFn g_getDpiForMonitor = nullptr;

HBITMAP g_rowBitmaps[kCommandRowCount] = {};

// Side of the one image that the resources of each size class hold.
const int kClassImagePixels[kIconSizeClassCount] = {16, 32, 48, 256};

template <typename Function>
Function lookUp(const wchar_t* library, const char* name)
{
    HMODULE module = LoadLibraryW(library);
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The icon drawn on the button face, as a square bitmap of the given side.
HBITMAP makeRowBitmap(HICON icon, int side)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, side, side);
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT all = {0, 0, side, side};
        FillRect(memory, &all, GetSysColorBrush(COLOR_BTNFACE));
        if (icon) DrawIconEx(memory, 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace

int rowIconSizeClass(int dpi)
{
    if (dpi < 144) return 0;
    if (dpi < 240) return 1;
    if (dpi < 912) return 2;
    return 3;
}

int rowIconResource(int row, int sizeClass)
{
    return IDI_ROW_ICON_FIRST + kIconSizeClassCount * row + sizeClass;
}

int rowIconPixels(int dpi)
{
    return MulDiv(16, dpi, 96);
}

void lookUpDpiFunctions()
{
    g_getDpiForWindow = lookUp<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    g_getDpiForMonitor = lookUp<GetDpiForMonitorFn>(L"Shcore.dll", "GetDpiForMonitor");
}

int windowDpi(HWND window)
{
    if (g_getDpiForWindow) {
        UINT dpi = g_getDpiForWindow(window);
        if (dpi) return static_cast<int>(dpi);
    }
    if (g_getDpiForMonitor) {
        UINT x = 0, y = 0;
        HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
        if (SUCCEEDED(g_getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && x) return static_cast<int>(x);
    }
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void drawRowIcons(HWND page, int dpi)
{
    deleteRowIcons();
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page, GWLP_HINSTANCE));
    int sizeClass = rowIconSizeClass(dpi);
    int side = rowIconPixels(dpi);
    for (int row = 0; row < kCommandRowCount; ++row) {
        // Each resource holds the one image of its class, loaded as it is and stretched when drawn.
        int image = kClassImagePixels[sizeClass];
        HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(rowIconResource(row, sizeClass)),
                                                   IMAGE_ICON, image, image, 0));
        g_rowBitmaps[row] = makeRowBitmap(icon, side);
        if (icon) DestroyIcon(icon);
        HWND control = GetDlgItem(page, IDC_REG_ROW_ICON_FIRST + row);
        SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_rowBitmaps[row]));
        InvalidateRect(control, nullptr, TRUE);
    }
}

void deleteRowIcons()
{
    for (HBITMAP& bitmap : g_rowBitmaps) {
        if (bitmap) DeleteObject(bitmap);
        bitmap = nullptr;
    }
}
