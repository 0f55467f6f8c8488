// Result window of the command programs: a small borderless translucent window that shows the
// run's state (blue while it runs, green after success, red after failure), the names of the
// handled items, an auto-close switch, a hide and a quit control, and a "Close" control when
// it does not close itself. Also the notification-area icon that shows it again.
#pragma once
#include <windows.h>

#include "language.h"

// Window opacity of 255.
constexpr BYTE kResultOpacity = 160;
// Timer identifiers and periods.
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelayMs = 100;
constexpr UINT_PTR kPollTimer = 2;
constexpr UINT kPollMs = 1;
constexpr UINT_PTR kCloseTimer = 3;
constexpr UINT kCloseAfterSuccessMs = 1500;
constexpr UINT kCloseAfterFailureMs = 3500;

// Names text of up to 519 characters; it stops growing once it passes 64.
constexpr size_t kNamesChars = 520;
constexpr size_t kNamesGrowLimit = 64;

// The five brushes: created and deleted by the main window.
void createResultBrushes();
void deleteResultBrushes();

// Creates the window from its template, without owner, hidden; sets g_resultWindow.
// Returns 0, or -1 when it cannot be created.
int createResultWindow(HINSTANCE instance);

// Reports an existing item before the core action handles it: tooltips (the first item's path;
// for the second item a second tool "first path ...") and the names line "[name name ...]".
// Called from the worker thread.
void noteItem(const wchar_t* itemPath);

// Reports the clean-up of an item's older backups: the short note follows on the names line
// (while it grows at all), and the sentence is added below the first item's path in the
// tooltip. Called from the worker thread after the item's backup.
void noteCleanup(const wchar_t* shortNote, const wchar_t* sentence);

// Reports an item whose backup was read back and found equal to it: the verified note follows
// its name on the names line (while the line grows at all) and the sentence (item name, bytes
// with grouped digits) goes below the first path in the tooltip. Called from the worker thread.
void noteVerified(const wchar_t* itemPath, ULONGLONG bytes, const BilingualText& sentence);

// "1234567" as "1,234,567". Pure.
void groupDigits(ULONGLONG value, wchar_t* out, size_t capacity);

// Clears the names text, the first path and the two tooltip flags.
void resetNotedItems();

// Pure part of noteItem: appends the last component of itemPath to the names text (preceded
// by a blank unless the text is empty) while the text holds at most 64 characters. Returns
// true when it appended.
bool appendNoteName(wchar_t* namesText, size_t capacity, const wchar_t* itemPath);

// Shows the result window and brings it to the foreground (notification-icon callback).
void showResultWindowInFront();
