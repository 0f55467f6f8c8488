// Support of the end-to-end tests: a private program folder with its own settings, a data
// folder of real files, runs of the real command programs and the checks on their effects.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <string>
#include <vector>

#include "folder_names.h"
#include "window_driver.h"

namespace e2e {

// Result window controls (the same identifiers as the product's resources).
constexpr int kStatusId = 1001;
constexpr int kHideId = 1002;
constexpr int kQuitId = 1003;
constexpr int kSwitchId = 1004;
constexpr int kNamesId = 1005;
constexpr int kCloseId = 1006;

// Colours of the result window.
constexpr COLORREF kWaitingColour = RGB(0, 191, 255);
constexpr COLORREF kSuccessColour = RGB(51, 255, 0);
constexpr COLORREF kFailureColour = RGB(255, 0, 0);

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

// File helpers (Windows paths).
bool writeFile(const std::wstring& path, const std::string& bytes);
bool readFile(const std::wstring& path, std::string* bytes);
bool makeFolders(const std::wstring& folder);
bool removeTree(const std::wstring& path);
bool exists(const std::wstring& path);
bool isFolder(const std::wstring& path);
// Relative paths of every file and folder below a folder with each file's bytes ("dir/" for
// folders), for comparing whole trees.
std::map<std::wstring, std::string> snapshotTree(const std::wstring& folder);
::testing::AssertionResult sameTree(const std::wstring& expectedFolder, const std::wstring& actualFolder);

// A backup name with the date and time: base + "_YYYYMMDD_hhmmss" + extension.
bool isTimeStampedName(const std::wstring& name, const std::wstring& base, const std::wstring& extension,
                       std::wstring* stamp = nullptr);
// "YYYYMMDD_hhmmss" of a moment, and of now plus some seconds.
std::wstring stampOf(const SYSTEMTIME& moment);
std::wstring stampInSeconds(int seconds);

// Environment of one test: a program folder named uniquely (so its settings folder below
// AppData is its own), the settings file in that folder, and a data folder.
struct Sandbox {
    std::wstring root;            // everything of the test below here
    std::wstring programFolder;   // with trailing backslash
    std::wstring settingsFolder;  // with trailing backslash
    std::wstring data;            // with trailing backslash
    std::list<driver::Program> programs;  // a list: tests hold pointers to its elements
};

// Creates the folders and copies the named program from the build's bin folder.
::testing::AssertionResult makeSandbox(Sandbox* sandbox, const wchar_t* programFile);
// Unix path of a Windows path (empty when not under Wine).
std::string unixPathOf(const std::wstring& path);
// Wine's Recycle Bin: the freedesktop trash below XDG_DATA_HOME, as a Windows path with a
// trailing backslash (empty when XDG_DATA_HOME names none).
std::wstring recycleBin();
// Entries of the Recycle Bin that came from below a folder: path relative to the folder (as the
// trash records it) -> name of the entry in the bin's "files" folder.
std::map<std::string, std::wstring> recycledFrom(const std::wstring& folder);

// Ends every program still running and removes every folder and file of the test, and what its
// runs put in the Recycle Bin.
::testing::AssertionResult removeSandbox(Sandbox* sandbox);

// Writes "tazu.ini" with the given keys of section "Env" (others take their defaults).
::testing::AssertionResult writeSettings(const Sandbox& sandbox, const std::map<std::wstring, std::wstring>& keys);
bool readSettingsBytes(const Sandbox& sandbox, std::string* bytes);

// Starts the program of the sandbox with a command-line tail.
::testing::AssertionResult run(Sandbox* sandbox, const wchar_t* programFile, const std::wstring& tail,
                               driver::Program** program);

// The result window of a run (found once it is shown).
HWND findResultWindow(const driver::Program& program, DWORD timeoutMs = 10000);

// Waits for the status text of the result window.
::testing::AssertionResult waitForStatus(HWND result, const std::wstring& status, DWORD timeoutMs);

// Colour check of the result window's background.
::testing::AssertionResult hasColour(HWND window, COLORREF expected);

// Expects the next message box of the program: title, text and icon kind; presses the button.
::testing::AssertionResult answerMessageBox(const driver::Program& program, const std::wstring& title,
                                            const std::wstring& text, driver::IconKind icon, int button,
                                            DWORD timeoutMs = 10000);

// Waits for the program's end and checks its exit code.
::testing::AssertionResult endsWith(const driver::Program& program, DWORD exitCode, DWORD timeoutMs);

// Quotes a path for a command line.
std::wstring inQuotes(const std::wstring& path);

}  // namespace e2e
