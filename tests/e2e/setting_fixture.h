// Fixture of TazuSetting's end-to-end tests: a sandbox holding TazuSetting.exe (and, for the
// hand-off, a command program beside it), the settings window of a run with its two pages, and
// the reading of what the window saved.
#pragma once
#include "command_fixture.h"

#include <tlhelp32.h>

#include "resource_ids.h"

namespace e2e {

constexpr const wchar_t* kSettingTitle = L"TazuSetting";

// The settings window of one run of TazuSetting and its pages.
struct SettingWindow {
    driver::Program* program = nullptr;
    HWND main = nullptr;
    HWND registration = nullptr;   // page 0
    HWND backup = nullptr;         // page 1
};

// Finds the window and pages of a running TazuSetting.
inline ::testing::AssertionResult findSettingWindow(driver::Program* program, SettingWindow* window)
{
    window->program = program;
    window->main = driver::findWindow(program->id, L"#32770", kSettingTitle, 15000);
    if (!window->main) return ::testing::AssertionFailure() << "no settings window appeared";
    for (HWND page = FindWindowExW(window->main, nullptr, L"#32770", nullptr); page;
         page = FindWindowExW(window->main, page, L"#32770", nullptr)) {
        if (GetDlgItem(page, IDC_REG_ROW_LABEL_FIRST)) window->registration = page;
        if (GetDlgItem(page, IDC_BACKUP_ADD_BEF)) window->backup = page;
    }
    if (!window->registration || !window->backup) return ::testing::AssertionFailure() << "a page is missing";
    return ::testing::AssertionSuccess();
}

class SettingTest : public CommandTest {
protected:
    SettingTest() : CommandTest(L"TazuSetting.exe") {}

    void TearDown() override
    {
        // A TazuSetting that a command started is no child of the test: end whatever still runs
        // from the sandbox, also when a test stopped before it took the program into its care.
        endProgramsOfSandbox();
        CommandTest::TearDown();
    }

    // Starts TazuSetting with the command-line tail and finds its window and pages.
    ::testing::AssertionResult open(SettingWindow* window, const std::wstring& tail = L"")
    {
        auto started = start(tail, &window->program);
        if (!started) return started;
        return attach(window, window->program);
    }

    // Finds the window and pages of a running TazuSetting.
    ::testing::AssertionResult attach(SettingWindow* window, driver::Program* program)
    {
        return findSettingWindow(program, window);
    }

    // The TazuSetting that a command of this sandbox started, taken into the sandbox's care.
    ::testing::AssertionResult attachStarted(SettingWindow* window)
    {
        std::wstring exe = sandbox.programFolder + L"TazuSetting.exe";
        DWORD found = 0;
        driver::waitUntil([&] {
            for (HWND top = FindWindowW(L"#32770", kSettingTitle); top; top = FindWindowExW(nullptr, top, L"#32770", kSettingTitle)) {
                DWORD id = 0;
                GetWindowThreadProcessId(top, &id);
                if (_wcsicmp(imageOf(id).c_str(), exe.c_str()) == 0) {
                    found = id;
                    return true;
                }
            }
            return false;
        }, 20000, 50);
        if (!found) return ::testing::AssertionFailure() << "the command did not show TazuSetting";
        driver::Program program;
        program.id = found;
        program.process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, found);
        if (!program.process) return ::testing::AssertionFailure() << "cannot open TazuSetting's process";
        sandbox.programs.push_back(program);
        return attach(window, &sandbox.programs.back());
    }

    // Puts a program of the build beside TazuSetting.
    ::testing::AssertionResult addProgram(const wchar_t* name)
    {
        wchar_t bin[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"VANTREL_BIN_DIR", bin, MAX_PATH);
        std::wstring source = std::wstring(bin) + L"\\" + name;
        if (!CopyFileW(source.c_str(), (sandbox.programFolder + name).c_str(), FALSE))
            return ::testing::AssertionFailure() << "cannot copy " << narrow(source);
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult runCommand(const wchar_t* name, const std::wstring& tail, driver::Program** program)
    {
        return run(&sandbox, name, tail, program);
    }

    std::wstring iniPath(const wchar_t* name = L"tazu.ini") { return sandbox.settingsFolder + name; }

    // The keys of a saved settings file in their order, as "key=value" lines; the file must
    // begin with the UTF-16LE byte-order mark.
    ::testing::AssertionResult savedLines(const std::wstring& path, std::vector<std::wstring>* lines)
    {
        std::string bytes;
        if (!readFile(path, &bytes)) return ::testing::AssertionFailure() << narrow(path) << " is missing";
        if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0)
            return ::testing::AssertionFailure() << "no byte-order mark";
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        lines->clear();
        size_t start = 0;
        for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
            lines->push_back(text.substr(start, end - start));
        if (start != text.size()) lines->push_back(text.substr(start));
        return ::testing::AssertionSuccess();
    }

    // Expects the next message box of TazuSetting with its text and the error icon, closes it,
    // and checks that the settings window is still there.
    ::testing::AssertionResult refused(const SettingWindow& window, const std::wstring& text)
    {
        auto shown = answerMessageBox(*window.program, kSettingTitle, text, driver::IconError, IDOK);
        if (!shown) return shown;
        Sleep(200);
        if (!IsWindow(window.main) || !driver::isRunning(*window.program))
            return ::testing::AssertionFailure() << "the settings window closed";
        return ::testing::AssertionSuccess();
    }

private:
    void endProgramsOfSandbox()
    {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            std::wstring image = imageOf(entry.th32ProcessID);
            if (image.size() <= sandbox.programFolder.size() ||
                _wcsnicmp(image.c_str(), sandbox.programFolder.c_str(), sandbox.programFolder.size()) != 0)
                continue;
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
            if (!process) continue;
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        CloseHandle(snapshot);
    }

    static std::wstring imageOf(DWORD processId)
    {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (!process) return L"";
        wchar_t path[MAX_PATH] = L"";
        DWORD size = MAX_PATH;
        if (!QueryFullProcessImageNameW(process, 0, path, &size)) path[0] = L'\0';
        CloseHandle(process);
        return path;
    }
};

}  // namespace e2e
