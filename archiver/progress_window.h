// The progress window: item and archive names, a bar by bytes and Cancel, on its own thread so
// that it stays responsive while the archive is written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct Progress {
    volatile LONG cancel = 0;          // set by Cancel (or by closing the window)
    volatile LONG64 doneBytes = 0;
    uint64_t totalBytes = 0;
    CRITICAL_SECTION lock;             // guards currentItem
    std::wstring currentItem;
    std::wstring archivePath;
    HWND owner = nullptr;
    HANDLE thread = nullptr;
    HANDLE ready = nullptr;
    HWND window = nullptr;
};

// Prepares p; with showWindow opens the window and returns once it exists. 0 or -1.
int progressStart(Progress* p, HWND owner, const std::wstring& archivePath, bool showWindow);
void progressSetItem(Progress* p, const std::wstring& item);
void progressAddBytes(Progress* p, uint64_t bytes);
// Closes the window (if any) and waits for its thread.
void progressStop(Progress* p);
