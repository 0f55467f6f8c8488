// The progress window: item and archive names, a bar by bytes and Cancel, on its own thread so
// that it stays responsive while the archive is written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct Progress {
    volatile LONG cancel = 0;          // set by Cancel (or by closing the window)
    volatile LONG64 doneBytes = 0;
    volatile LONG64 totalBytes = 0;
    volatile LONG checking = 0;        // the archive is being read back (-verify)
    bool checkShown = false;           // window thread: the window says so
    CRITICAL_SECTION lock;             // guards currentItem
    std::wstring currentItem;
    std::wstring archivePath;
    HWND owner = nullptr;
    bool ownerOnCallingThread = false; // then the calling thread must answer messages sent to it
    DWORD lastServed = 0;
    HANDLE thread = nullptr;
    HANDLE ready = nullptr;
    HWND window = nullptr;
};

// Prepares p; with showWindow opens the window and returns once it exists. 0 or -1.
int progressStart(Progress* p, HWND owner, const std::wstring& archivePath, bool showWindow);
void progressSetItem(Progress* p, const std::wstring& item);
void progressAddBytes(Progress* p, uint64_t bytes);
// The read-back begins: the window says "Verifying" and its bar counts the archive's bytes.
void progressStartCheck(Progress* p, uint64_t archiveBytes);
// Answers messages sent to the calling thread (at most every few milliseconds) when the owner
// window is its own: the window thread sends to the owner on activation, and would hang else.
void progressServeOwner(Progress* p);
// Closes the window (if any) and waits for its thread.
void progressStop(Progress* p);
