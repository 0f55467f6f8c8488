// The command icons of the registration page's rows, drawn at the size that the window's DPI
// asks for, and the DPI of a window on systems with and without per-monitor DPI.
#pragma once
#include <windows.h>

constexpr int kCommandRowCount = 5;
constexpr int kIconSizeClassCount = 4;

// Size class of the row icons for a DPI: 0 below 144, 1 to 239, 2 to 911, 3 above.
int rowIconSizeClass(int dpi);
// Icon resource of a row (0 to 4) in a size class.
int rowIconResource(int row, int sizeClass);
// Side of a row icon in pixels: 16 at 96 DPI, scaled.
int rowIconPixels(int dpi);

// Looks up GetDpiForWindow (user32) and GetDpiForMonitor (Shcore); either may be missing.
void lookUpDpiFunctions();
// DPI of a window: GetDpiForWindow, else its monitor's effective DPI, else the screen's.
int windowDpi(HWND window);

// Draws the five row icons into the static controls of the page (replacing earlier images).
void drawRowIcons(HWND page, int dpi);
// Deletes the images of drawRowIcons.
void deleteRowIcons();
