// Fixture of the ZIP commands' end-to-end tests: a sandbox holding both ZIP programs and the
// archiver library, the archives found by their time-stamped names, and the progress window.
#pragma once
#include <string>
#include <vector>

#include "e2e_support.h"
#include "zip_reader.h"

namespace e2e {

constexpr const wchar_t* kHereZip = L"TazuHereZip.exe";
constexpr const wchar_t* kThereZip = L"TazuThereZip.exe";
constexpr const wchar_t* kArchiverFile = L"7-zip32.dll";

class ZipTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { EXPECT_TRUE(removeSandbox(&sandbox)); }

    // Settings with the defaults, English, auto close on, and the given keys.
    ::testing::AssertionResult settings(std::map<std::wstring, std::wstring> keys = {});
    ::testing::AssertionResult start(const wchar_t* programFile, const std::wstring& tail, driver::Program** program)
    {
        return run(&sandbox, programFile, tail, program);
    }
    // A file of the data folder with the given bytes (folders created as needed).
    std::wstring file(const std::wstring& relative, const std::string& bytes);
    // Files and folders of the data folder from archive entries ("a/b.txt" -> bytes, "a/" a
    // folder).
    void makeEntries(const std::vector<std::pair<std::string, std::string>>& entries);

    Sandbox sandbox;
};

// The single archive in the folder named base + "_YYYYMMDD_hhmmss" + extension + ".zip".
::testing::AssertionResult findArchive(const std::wstring& folder, const std::wstring& base,
                                       const std::wstring& extension, std::wstring* archive);

// Every entry name with a byte above 0x7F carries the UTF-8 flag.
::testing::AssertionResult namesFlaggedUtf8(const std::wstring& archive);

// The library's progress window of a process, polled every millisecond.
HWND findProgressWindow(DWORD processId, DWORD timeoutMs);

// Presses Cancel in the progress window (sent, so that it has been handled on return).
::testing::AssertionResult cancelProgress(HWND progress);

// Selects the folder in the program's folder dialog and confirms it once the dialog shows it
// as selected; cancels the dialog when it does not.
::testing::AssertionResult chooseFolderSurely(HWND dialog, DWORD processId, const std::wstring& folder);

// Reads a message box, looking again for a while when its icon is not yet the expected one.
bool readMessageBoxLooking(HWND box, driver::IconKind icon, driver::MessageBoxInfo* info);
// Expects the next message box of the program with this title, text and icon and presses OK.
::testing::AssertionResult answerBox(const driver::Program& program, const std::wstring& title,
                                     const std::wstring& text, driver::IconKind icon);

// The first dialog of the process that is neither the result window nor a message box.
HWND findFolderDialog(DWORD processId, DWORD timeoutMs);

}  // namespace e2e
