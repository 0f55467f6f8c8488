// Showing the output folder: raising an open window of the folder, or starting the file manager
// with the new item selected and waiting for its window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "explorer.h"
#include "process_command_line.h"

namespace {

// ---- replaced platform calls ----

struct FakeWindow {
    const wchar_t* folder;
    HWND window;
    UINT showCmd;
    int visibleFromRound;   // collection call (0 = the first) from which the window is listed
};

std::vector<FakeWindow> g_fakeWindows;
int g_collectCalls = 0;
std::vector<std::wstring> g_starts;
std::vector<DWORD> g_pauses;

// What the fake collection answers from a given call on (0 = always a collection).
int g_collectFailureFromRound = -1;
int g_collectFailure = 0;

int fakeCollect(ExplorerWindowList* list)
{
    int round = g_collectCalls++;
    if (g_collectFailure != 0 && round >= g_collectFailureFromRound) return g_collectFailure;
    list->capacity = 256;
    list->entries = static_cast<ExplorerWindowEntry*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ExplorerWindowEntry) * 256));
    for (const FakeWindow& fake : g_fakeWindows) {
        if (round < fake.visibleFromRound) continue;
        ExplorerWindowEntry* entry = &list->entries[list->count++];
        wcscpy(entry->folderPath, fake.folder);
        entry->window = fake.window;
        entry->placement.length = sizeof(WINDOWPLACEMENT);
        entry->placement.showCmd = fake.showCmd;
    }
    return 0;
}

void fakeStart(const wchar_t* program, const wchar_t* parameters)
{
    g_starts.push_back(std::wstring(program) + L"|" + parameters);
}

void fakePause(DWORD milliseconds)
{
    g_pauses.push_back(milliseconds);
}

class ExplorerShow : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fakeWindows.clear();
        g_collectCalls = 0;
        g_collectFailure = 0;
        g_collectFailureFromRound = -1;
        g_starts.clear();
        g_pauses.clear();
        savedCollect_ = g_explorerCollect;
        savedStart_ = g_explorerStart;
        savedPause_ = g_explorerPause;
        g_explorerCollect = fakeCollect;
        g_explorerStart = fakeStart;
        g_explorerPause = fakePause;
    }

    void TearDown() override
    {
        g_explorerCollect = savedCollect_;
        g_explorerStart = savedStart_;
        g_explorerPause = savedPause_;
        for (HWND window : windows_) DestroyWindow(window);
    }

    HWND makeWindow(const wchar_t* title, int showCommand)
    {
        HWND window = CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW, 40, 40, 200, 120,
                                      nullptr, nullptr, nullptr, nullptr);
        if (!window) return nullptr;
        windows_.push_back(window);
        if (showCommand != SW_HIDE) ShowWindow(window, showCommand);
        return window;
    }

    int (*savedCollect_)(ExplorerWindowList*) = nullptr;
    void (*savedStart_)(const wchar_t*, const wchar_t*) = nullptr;
    void (*savedPause_)(DWORD) = nullptr;
    std::vector<HWND> windows_;
};

bool isTopmost(HWND window)
{
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

BOOL CALLBACK listWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// True when `upper` lies above `lower` in the z-order. The order is taken from one snapshot of
// the top-level windows, top first: a walk from window to window would stop short at a window
// that another process destroys meanwhile.
bool isAbove(HWND upper, HWND lower)
{
    std::vector<HWND> order;
    EnumWindows(listWindow, reinterpret_cast<LPARAM>(&order));
    auto upperAt = std::find(order.begin(), order.end(), upper);
    return upperAt != order.end() && std::find(upperAt, order.end(), lower) != order.end();
}

TEST_F(ExplorerShow, NoWindowOfTheFolderStartsTheFileManagerAndWaitsForIt)
{
    // The file manager is started by its full path, never by a bare name that the current
    // folder could answer.
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring program = std::wstring(windows) + L"\\explorer.exe|";
    struct Row {
        const wchar_t* folder;
        const wchar_t* item;
        std::wstring start;
    };
    const Row rows[] = {
        {L"C:\\Docs\\", L"report_20240305_140709.txt",
         program + L"/select,\"C:\\Docs\\report_20240305_140709.txt\""},
        {L"C:\\Docs", L"report.txt", program + L"/select,\"C:\\Docs\\report.txt\""},
        {L"D:\\Backup\\", L"Project_1\\", program + L"/select,\"D:\\Backup\\Project_1\\\""},
    };
    HWND other = makeWindow(L"other", SW_HIDE);
    g_fakeWindows = {{L"C:\\Docs2", other, SW_SHOWNORMAL, 0}, {L"C:\\", other, SW_SHOWNORMAL, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.folder)));
        g_starts.clear();
        g_pauses.clear();
        g_collectCalls = 0;
        OpenFolderAndSelect(row.folder, row.item);
        ASSERT_EQ(g_starts.size(), 1u);
        EXPECT_EQ(g_starts[0], row.start);
        // 101 waits of 100 ms, each followed by a look at the windows; the window never came.
        EXPECT_EQ(g_pauses, std::vector<DWORD>(101, 100));
        EXPECT_EQ(g_collectCalls, 102);
    }
    EXPECT_FALSE(IsWindowVisible(other));
}

TEST_F(ExplorerShow, WithoutACollectionTheFileManagerIsStartedButNotWaitedFor)
{
    struct Row {
        const char* name;
        int failure;
        int fromRound;
        size_t starts;
        size_t pauses;
    };
    const Row rows[] = {
        // No collection at all: a new window is opened, and one look shows it cannot be found.
        {"no collection", kExplorerNoCollection, 0, 1, 1},
        // The collection goes away during the wait: the wait ends there.
        {"collection lost in round 5", kExplorerNoCollection, 5, 1, 5},
        // The first list cannot be allocated: nothing is opened at all.
        {"no first list", kExplorerNoList, 0, 0, 0},
        // A list that cannot be allocated during the wait ends the wait.
        {"no list in round 3", kExplorerNoList, 3, 1, 3},
        // An enumeration that stops early still may have found the window later: keep waiting.
        {"enumeration stopped early", -1, 0, 1, 101},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_starts.clear();
        g_pauses.clear();
        g_collectCalls = 0;
        g_collectFailure = row.failure;
        g_collectFailureFromRound = row.fromRound;
        OpenFolderAndSelect(L"C:\\Docs\\", L"report.txt");
        EXPECT_EQ(row.starts, g_starts.size());
        EXPECT_EQ(row.pauses, g_pauses.size());
    }
}

TEST_F(ExplorerShow, NewWindowIsBroughtToFrontWhenItAppears)
{
    HWND explorer = makeWindow(L"new file manager", SW_SHOWNOACTIVATE);
    HWND cover = makeWindow(L"cover", SW_SHOWNORMAL);
    ASSERT_TRUE(explorer && cover);
    SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(isAbove(cover, explorer));
    g_fakeWindows = {{L"c:\\DOCS", explorer, SW_SHOWNORMAL, 5}};

    OpenFolderAndSelect(L"C:\\Docs\\", L"a.txt");
    ASSERT_EQ(g_starts.size(), 1u);
    EXPECT_EQ(g_pauses.size(), 5u);   // listed at the fifth look after the start
    EXPECT_TRUE(isAbove(explorer, cover));
    EXPECT_FALSE(isTopmost(explorer));
}

TEST_F(ExplorerShow, OpenWindowOfTheFolderIsRaisedInstead)
{
    struct Row {
        const char* name;
        int initialShow;      // how the window is before
        UINT placement;       // show state that the collection reports
        bool minimizedAfter;
    };
    const Row rows[] = {
        {"hidden, normal placement", SW_HIDE, SW_SHOWNORMAL, false},
        {"shown behind another", SW_SHOWNOACTIVATE, SW_SHOWNORMAL, false},
        {"minimized", SW_SHOWMINNOACTIVE, SW_SHOWMINIMIZED, false},
        {"minimized, reported as 6", SW_SHOWMINNOACTIVE, SW_MINIMIZE, false},
        {"maximized", SW_SHOWMAXIMIZED, SW_SHOWMAXIMIZED, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_starts.clear();
        g_pauses.clear();
        HWND explorer = makeWindow(L"open file manager", row.initialShow);
        HWND cover = makeWindow(L"cover", SW_SHOWNORMAL);
        ASSERT_TRUE(explorer && cover);
        g_fakeWindows = {{L"C:\\Other", cover, SW_SHOWNORMAL, 0},
                         {L"c:\\docs\\sub", explorer, row.placement, 0}};

        OpenFolderAndSelect(L"C:\\Docs\\Sub\\", L"a.txt");
        EXPECT_TRUE(g_starts.empty());
        EXPECT_TRUE(g_pauses.empty());
        EXPECT_TRUE(IsWindowVisible(explorer));
        EXPECT_EQ(IsIconic(explorer) != 0, row.minimizedAfter);
        EXPECT_TRUE(isAbove(explorer, cover));
        EXPECT_FALSE(isTopmost(explorer));
    }
}

TEST(ExplorerBringToFront, EndsInFrontButNotTopmost)
{
    HWND back = CreateWindowExW(0, L"STATIC", L"back", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                                100, nullptr, nullptr, nullptr, nullptr);
    HWND front = CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(back && front);
    SetWindowPos(front, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RECT before;
    GetWindowRect(back, &before);
    bringToFront(back);
    EXPECT_TRUE(isAbove(back, front));
    EXPECT_FALSE(isTopmost(back));
    RECT after;
    GetWindowRect(back, &after);
    EXPECT_TRUE(EqualRect(&before, &after));   // neither moved nor sized
    DestroyWindow(front);
    DestroyWindow(back);
}

// ---- the real platform under Wine ----

bool runsUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(ExplorerCollection, ListsOnlyFolderWindows)
{
    ExplorerWindowList list = {};
    int rc = collectExplorerWindows(&list);
    if (runsUnderWine()) {
        // Wine has no working shell window collection: mostly it cannot be created at all, and
        // when Wine's desktop process does answer for it, walking it fails. Either way nothing
        // is listed.
        EXPECT_TRUE(rc == kExplorerNoCollection || rc == -1) << rc;
        EXPECT_EQ(list.count, 0);
    } else {
        EXPECT_EQ(rc, 0);
        for (int i = 0; i < list.count; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NE(list.entries[i].folderPath[0], L'\0');
        }
    }
    EXPECT_GE(list.capacity, 256);
    freeExplorerWindowList(&list);
    EXPECT_EQ(list.entries, nullptr);
    EXPECT_EQ(list.count, 0);
}

// A shell that stops answering until the test lets it go.
HANDLE g_shellAnswers = nullptr;
LONG g_walks = 0;

int walkThatWaitsForTheShell(ExplorerWindowList* list)
{
    InterlockedIncrement(&g_walks);
    WaitForSingleObject(g_shellAnswers, INFINITE);
    list->capacity = 256;
    list->entries = static_cast<ExplorerWindowEntry*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ExplorerWindowEntry) * 256));
    wcscpy(list->entries[0].folderPath, L"C:\\Answered");
    list->count = 1;
    return 0;
}

TEST(ExplorerCollectionBound, ShellThatStopsAnsweringIsGivenUpUntilItAnswersAgain)
{
    g_shellAnswers = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(g_shellAnswers, nullptr);
    g_walks = 0;
    int (*savedWalk)(ExplorerWindowList*) = g_explorerWalk;
    DWORD savedWait = g_explorerAnswerMilliseconds;
    g_explorerWalk = walkThatWaitsForTheShell;
    g_explorerAnswerMilliseconds = 200;

    ExplorerWindowList list = {};
    DWORD start = GetTickCount();
    EXPECT_EQ(collectExplorerWindows(&list), kExplorerNoCollection);
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(list.count, 0);
    EXPECT_GE(list.capacity, 256);
    freeExplorerWindowList(&list);

    // The first worker is still out: the next look gives up at once instead of queueing.
    start = GetTickCount();
    EXPECT_EQ(collectExplorerWindows(&list), kExplorerNoCollection);
    EXPECT_LT(GetTickCount() - start, 150u);
    EXPECT_EQ(g_walks, 1);
    freeExplorerWindowList(&list);

    // Once the shell answers again, so does the collection, with what the shell listed.
    SetEvent(g_shellAnswers);
    int rc = kExplorerNoCollection;
    for (int round = 0; round < 100 && rc != 0; ++round) {
        Sleep(20);
        freeExplorerWindowList(&list);
        rc = collectExplorerWindows(&list);
    }
    g_explorerWalk = savedWalk;
    g_explorerAnswerMilliseconds = savedWait;
    CloseHandle(g_shellAnswers);

    EXPECT_EQ(rc, 0);
    EXPECT_EQ(g_walks, 2);
    EXPECT_EQ(list.count, 1);
    if (list.count >= 1) {
        EXPECT_STREQ(list.entries[0].folderPath, L"C:\\Answered");
    }
    freeExplorerWindowList(&list);
}

void quickPause(DWORD)
{
    Sleep(10);
}

// Wine's collection is empty anyway, and each look at it can take seconds there.
int emptyCollection(ExplorerWindowList*)
{
    return 0;
}

TEST(ExplorerStart, FileManagerIsStartedWithTheItemSelected)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t folder[MAX_PATH];
    _snwprintf(folder, MAX_PATH - 1, L"%svantrel_explorer_%lu", temp, GetCurrentProcessId());
    folder[MAX_PATH - 1] = L'\0';
    ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    std::wstring item = std::wstring(folder) + L"\\shown item.txt";
    HANDLE file = CreateFileW(item.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    std::set<DWORD> before = observe::processesNamed(L"explorer.exe");
    void (*savedPause)(DWORD) = g_explorerPause;
    int (*savedCollect)(ExplorerWindowList*) = g_explorerCollect;
    g_explorerPause = quickPause;   // the real start, a shorter wait
    g_explorerCollect = emptyCollection;
    OpenFolderAndSelect(folder, L"shown item.txt");
    g_explorerPause = savedPause;
    g_explorerCollect = savedCollect;

    // Find the file manager that was started and end it again. Wine may start its desktop
    // process (also explorer.exe) on the way; that one stays.
    std::wstring expected = L"/select,\"" + item + L"\"";
    std::wstring others;
    std::wstring started = observe::endStartedProcess(L"explorer.exe", before, expected, 5000, &others);
    DeleteFileW(item.c_str());
    RemoveDirectoryW(folder);
    EXPECT_NE(started.find(expected), std::wstring::npos)
        << "started: " << ::testing::PrintToString(started) << "; others: " << ::testing::PrintToString(others);
}

} // namespace
