// Text side of the file-manager integration: turning a window's location URL into the folder
// path it shows, and composing the file manager's "/select," parameter. Pure functions.
#pragma once
#include <stddef.h>

// Location URLs of this length or more are not looked at.
constexpr size_t kLocationUrlLimit = 1384;

// Decodes "%xx" escapes one by one: the (up to) two characters after a "%" are read as a
// hexadecimal number as far as they are hexadecimal digits, and one character with that code
// takes their place; a multi-byte sequence stays one character per escape. Returns 0, or -1 when
// the text ends in "%", an escape starts with no hexadecimal digit or decodes to code 0, or the
// result does not fit.
int percentDecode(const wchar_t* text, wchar_t* out, size_t capacity);

// File-system path of a "file:" URL written with slashes: "file:///C:/x" gives "C:/x",
// "file:///share/x" (no colon) gives "//localhost/share/x", "file://server/share" gives
// "//server/share". Returns 0, or -1 when the URL is not longer than "file:///" or the path
// does not fit.
int urlToPath(const wchar_t* url, wchar_t* out, size_t capacity);

// The whole way from a window's "LocationURL" to its folder path with backslashes: length limit,
// slashes, one trailing slash removed, the "file:" test, decoding and urlToPath. Returns 0, or -1
// when the window shows no file-system folder that can be named here.
int locationUrlToFolderPath(const wchar_t* locationUrl, wchar_t* out, size_t capacity);

// Parameter of the file manager that opens `folder` with `itemName` selected: "/select," and
// the joined path in double quotes (a backslash between folder and item when the folder does not
// end in one), so that a name with a comma is selected whole. Returns 0, or -1 when it does not
// fit.
int selectParameter(const wchar_t* folder, const wchar_t* itemName, wchar_t* out, size_t capacity);

// The file manager's full path in the Windows folder ("C:\Windows" gives
// "C:\Windows\explorer.exe"): started by its bare name, a planted explorer.exe in the current
// folder (a download folder, an unpacked archive) would run instead. Returns 0, or -1 when the
// folder is empty or the path does not fit.
int explorerProgramPath(const wchar_t* windowsFolder, wchar_t* out, size_t capacity);

// Show command for raising an existing window: SW_SHOWNOACTIVATE for a minimized placement (show
// states 2, 6 and 11), SW_SHOWNA otherwise.
int raiseShowCommand(unsigned placementShowCommand);
