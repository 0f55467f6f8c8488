// Watch over every test executable: a test that runs far longer than any test should is hung,
// most often in a call that waits for a program under test that no longer answers. The watch
// then writes what that program shows, ends every process the test started (which returns the
// waiting call, so the test fails with its own message) and, should the test still not end,
// ends the test executable, so that the runner reports this test at once instead of the whole
// suite after its time limit.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// No single test comes near this; a suite's limit in the runner is ten minutes.
constexpr DWORD kHungTestMs = 240 * 1000;
// After its programs are gone, the time a test gets to fail by itself.
constexpr DWORD kEndAfterMs = 60 * 1000;

CRITICAL_SECTION g_lock;
std::string g_testName;
DWORD g_testStarted;
bool g_testRunning;

std::string narrow(const wchar_t* text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

struct Program {
    DWORD id;
    std::string name;
};

// Whether a process runs a program of the system folder: the desktop, a console host or a
// service that the system started through this process, none of them the test's own.
bool isSystemProgram(DWORD id)
{
    wchar_t system[MAX_PATH];
    UINT systemChars = GetWindowsDirectoryW(system, MAX_PATH);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return false;
    wchar_t image[MAX_PATH];
    DWORD imageChars = MAX_PATH;
    bool inSystem = QueryFullProcessImageNameW(process, 0, image, &imageChars) && systemChars > 0 &&
                    systemChars < imageChars && _wcsnicmp(image, system, systemChars) == 0 &&
                    image[systemChars] == L'\\';
    CloseHandle(process);
    return inSystem;
}

// Every process that this one started, and theirs, children before grandchildren.
std::vector<Program> descendants()
{
    std::vector<Program> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    std::vector<PROCESSENTRY32W> all;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        all.push_back(entry);
    CloseHandle(snapshot);
    std::vector<DWORD> parents{GetCurrentProcessId()};
    for (size_t next = 0; next < parents.size(); ++next) {
        for (const PROCESSENTRY32W& process : all) {
            if (process.th32ParentProcessID != parents[next] || process.th32ProcessID == parents[next]) continue;
            if (isSystemProgram(process.th32ProcessID)) continue;
            parents.push_back(process.th32ProcessID);
            found.push_back({process.th32ProcessID, narrow(process.szExeFile)});
        }
    }
    return found;
}

// One line per window: its class, its text as the system keeps it (read without a message, so
// a program that does not answer cannot hold the watch) and whether it shows.
void describeWindow(HWND window, int depth)
{
    wchar_t cls[64] = L"";
    wchar_t text[256] = L"";
    GetClassNameW(window, cls, 64);
    InternalGetWindowText(window, text, 256);
    fprintf(stderr, "%*s%s \"%s\"%s\n", 4 + depth * 2, "", narrow(cls).c_str(), narrow(text).c_str(),
            IsWindowVisible(window) ? "" : " (hidden)");
}

BOOL CALLBACK describeChild(HWND window, LPARAM)
{
    describeWindow(window, 1);
    return TRUE;
}

BOOL CALLBACK describeTopLevel(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != static_cast<DWORD>(processId) || !IsWindowVisible(window)) return TRUE;
    describeWindow(window, 0);
    EnumChildWindows(window, describeChild, 0);
    return TRUE;
}

void endPrograms(const std::string& test)
{
    std::vector<Program> programs = descendants();
    fprintf(stderr, "[ HUNG     ] %s has run for %lu s; ending the %u processes it started\n", test.c_str(),
            static_cast<unsigned long>(kHungTestMs / 1000), static_cast<unsigned>(programs.size()));
    for (const Program& program : programs) {
        fprintf(stderr, "  %s (process %lu) shows:\n", program.name.c_str(), static_cast<unsigned long>(program.id));
        EnumWindows(describeTopLevel, static_cast<LPARAM>(program.id));
    }
    fflush(stderr);
    for (const Program& program : programs) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, program.id);
        if (!process) continue;
        TerminateProcess(process, 99);
        CloseHandle(process);
    }
}

DWORD WINAPI watch(void*)
{
    std::string ended;  // the test whose programs were ended last
    for (;;) {
        Sleep(1000);
        EnterCriticalSection(&g_lock);
        bool running = g_testRunning;
        std::string name = g_testName;
        DWORD elapsed = GetTickCount() - g_testStarted;
        LeaveCriticalSection(&g_lock);
        if (!running || elapsed < kHungTestMs) continue;
        if (ended != name) {
            ended = name;
            endPrograms(name);
        } else if (elapsed >= kHungTestMs + kEndAfterMs) {
            fprintf(stderr, "[ HUNG     ] %s did not end after its programs were ended; ending the tests\n",
                    name.c_str());
            fflush(stderr);
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}

class HangWatch : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override
    {
        EnterCriticalSection(&g_lock);
        g_testName = std::string(test.test_suite_name()) + "." + test.name();
        g_testStarted = GetTickCount();
        g_testRunning = true;
        LeaveCriticalSection(&g_lock);
    }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EnterCriticalSection(&g_lock);
        g_testRunning = false;
        LeaveCriticalSection(&g_lock);
    }
};

// Joins the test events before main runs; the listener list owns the listener.
const bool g_watching = [] {
    InitializeCriticalSection(&g_lock);
    ::testing::UnitTest::GetInstance()->listeners().Append(new HangWatch);
    HANDLE thread = CreateThread(nullptr, 0, watch, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
    return true;
}();

}  // namespace
