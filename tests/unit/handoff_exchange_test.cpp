// Pre-backup hand-off between processes: the settings program's delivery of its answer, and the
// command's exchange with a stand-in settings program (tests-bin\handoff_answerer.exe copied as
// TazuSetting.exe into a program folder of the test's own).
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "errors.h"
#include "handoff.h"
#include "handoff_answer.h"
#include "handoff_exchange.h"

namespace {

std::wstring environmentText(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = L"";
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? value : L"";
}

std::wstring uniqueText()
{
    static LONG counter = 0;
    wchar_t text[64];
    _snwprintf(text, 63, L"%lu_%lu_%ld", GetCurrentProcessId(), GetTickCount(),
               InterlockedIncrement(&counter));
    text[63] = L'\0';
    return text;
}

std::string readFileText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof(buffer) - 1, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

void writeFileText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void removeTree(const std::wstring& folder)
{
    std::wstring from = folder + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

bool objectExists(const std::wstring& key)
{
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, key.c_str());
    wchar_t name[kHandoffNameChars];
    handoffObjectName(key.c_str(), kHandoffReadySuffix, name, kHandoffNameChars);
    HANDLE ready = OpenEventW(SYNCHRONIZE, FALSE, name);
    handoffObjectName(key.c_str(), kHandoffTakenSuffix, name, kHandoffNameChars);
    HANDLE taken = OpenEventW(SYNCHRONIZE, FALSE, name);
    bool any = block || ready || taken;
    for (HANDLE h : {block, ready, taken})
        if (h) CloseHandle(h);
    return any;
}

// Pauses of the answer re-reads, recorded instead of slept (or shortened, for a late answer).
std::vector<DWORD> g_pauses;
DWORD g_pauseDivisor = 0;   // 0: do not sleep
void recordPause(DWORD milliseconds)
{
    g_pauses.push_back(milliseconds);
    if (g_pauseDivisor) Sleep(milliseconds / g_pauseDivisor);
}

// ---- delivery, the settings program's side, against objects made here ----

struct CommandObjects {
    std::wstring key;
    HANDLE block;
    HANDLE ready;
    HANDLE taken;
};

::testing::AssertionResult createCommandObjects(CommandObjects* objects, bool withTaken,
                                                const std::wstring& key = L"")
{
    objects->key = key.empty() ? L"VantrelTestHandoff_" + uniqueText() : key;
    objects->block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kHandoffBlockBytes, objects->key.c_str());
    wchar_t name[kHandoffNameChars];
    handoffObjectName(objects->key.c_str(), kHandoffReadySuffix, name, kHandoffNameChars);
    objects->ready = CreateEventW(nullptr, TRUE, FALSE, name);
    handoffObjectName(objects->key.c_str(), kHandoffTakenSuffix, name, kHandoffNameChars);
    objects->taken = withTaken ? CreateEventW(nullptr, TRUE, FALSE, name) : nullptr;
    if (!objects->block || !objects->ready || (withTaken && !objects->taken))
        return ::testing::AssertionFailure() << "objects not created: " << GetLastError();
    // Garbage in the block shows whether the whole block is written.
    void* view = MapViewOfFile(objects->block, FILE_MAP_WRITE, 0, 0, kHandoffBlockBytes);
    FillMemory(view, kHandoffBlockBytes, 0xA5);
    UnmapViewOfFile(view);
    return ::testing::AssertionSuccess();
}

void closeCommandObjects(CommandObjects* objects)
{
    for (HANDLE h : {objects->block, objects->ready, objects->taken})
        if (h) CloseHandle(h);
}

::testing::AssertionResult blockHolds(HANDLE block, const std::wstring& text)
{
    const BYTE* view = static_cast<const BYTE*>(MapViewOfFile(block, FILE_MAP_READ, 0, 0, kHandoffBlockBytes));
    if (!view) return ::testing::AssertionFailure() << "block not mapped";
    std::wstring got(reinterpret_cast<const wchar_t*>(view));
    size_t firstFree = (got.size() + 1) * sizeof(wchar_t);
    size_t nonZero = 0;
    for (size_t i = firstFree; i < kHandoffBlockBytes; ++i)
        if (view[i] != 0) ++nonZero;
    UnmapViewOfFile(view);
    if (got != text)
        return ::testing::AssertionFailure() << "block text " << ::testing::PrintToString(got);
    if (nonZero)
        return ::testing::AssertionFailure() << nonZero << " bytes behind the text are not zero";
    return ::testing::AssertionSuccess();
}

struct DeliveryCall {
    std::wstring key;
    int answer;
    int result;
    DWORD code;
};

DWORD WINAPI deliverOnThread(void* parameter)
{
    DeliveryCall* call = static_cast<DeliveryCall*>(parameter);
    call->result = deliverHandoffAnswer(call->key.c_str(), call->answer, &call->code);
    return 0;
}

TEST(HandoffDelivery, AnswerIsWrittenSignalledAndHeldUntilTaken)
{
    const int answers[] = {0, 1, 2, 7, -5, 2147483647};
    for (int answer : answers) {
        SCOPED_TRACE(answer);
        CommandObjects objects = {};
        ASSERT_TRUE(createCommandObjects(&objects, true));
        DeliveryCall call = {objects.key, answer, -99, 99};
        HANDLE thread = CreateThread(nullptr, 0, deliverOnThread, &call, 0, nullptr);
        ASSERT_NE(thread, nullptr);

        EXPECT_EQ(WaitForSingleObject(objects.ready, 10000), WAIT_OBJECT_0);
        EXPECT_TRUE(blockHolds(objects.block, std::to_wstring(answer)));
        // Not gone before the command has taken the answer.
        EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
        SetEvent(objects.taken);
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        CloseHandle(thread);
        EXPECT_EQ(call.result, DeliveryDone);
        EXPECT_EQ(call.code, 0u);
        closeCommandObjects(&objects);
    }
}

TEST(HandoffDelivery, MissingObjects)
{
    // No block: nothing else is touched.
    CommandObjects objects = {};
    ASSERT_TRUE(createCommandObjects(&objects, true));
    DWORD code = 0;
    EXPECT_EQ(deliverHandoffAnswer((objects.key + L"_other").c_str(), 1, &code), DeliveryOpenBlock);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(WaitForSingleObject(objects.ready, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    closeCommandObjects(&objects);

    // No answer-taken event: the wait is skipped.
    ASSERT_TRUE(createCommandObjects(&objects, false));
    EXPECT_EQ(deliverHandoffAnswer(objects.key.c_str(), 2, &code), DeliveryDone);
    EXPECT_EQ(WaitForSingleObject(objects.ready, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(blockHolds(objects.block, L"2"));
    closeCommandObjects(&objects);
}

TEST(HandoffDelivery, SettingsProgramRecordsAFailedDeliveryInItsTrail)
{
    trailClear(&g_errorTrail);
    std::wstring key = L"VantrelTestHandoff_" + uniqueText() + L"_absent";
    EXPECT_EQ(sendHandoffAnswer(key.c_str(), 0), -1);
    EXPECT_STREQ(g_errorTrail.text, L"ID:UAC-SSM1 CD:0x00000002\n");
    EXPECT_EQ(g_errorTrail.keptNumber, 1080u);
    EXPECT_EQ(g_errorTrail.keptCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(messageTableText(1080, UiEnglish), nullptr);

    // A delivered answer leaves the trail alone.
    trailClear(&g_errorTrail);
    CommandObjects objects = {};
    ASSERT_TRUE(createCommandObjects(&objects, false));
    EXPECT_EQ(sendHandoffAnswer(objects.key.c_str(), 1), 0);
    EXPECT_TRUE(blockHolds(objects.block, L"1"));
    EXPECT_STREQ(g_errorTrail.text, L"");
    EXPECT_EQ(g_errorTrail.keptNumber, 0u);
    closeCommandObjects(&objects);
}

// ---- delivery when the waiting command is gone ----

void endWindowedProcess(struct WindowedProcess* process);

// A process with a top-level window standing for the waiting command (TazuSetting itself, which
// opens its window and waits). Ended by the test, or at the latest when the test leaves.
struct WindowedProcess {
    PROCESS_INFORMATION info = {};
    HWND window = nullptr;
    ~WindowedProcess() { endWindowedProcess(this); }
};

BOOL CALLBACK findProcessWindow(HWND window, LPARAM parameter)
{
    WindowedProcess* process = reinterpret_cast<WindowedProcess*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != process->info.dwProcessId || !IsWindowVisible(window)) return TRUE;
    process->window = window;
    return FALSE;
}

::testing::AssertionResult startWindowedProcess(WindowedProcess* process)
{
    std::wstring exe = environmentText(L"VANTREL_BIN_DIR") + L"\\TazuSetting.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process->info))
        return ::testing::AssertionFailure() << "cannot start TazuSetting: " << GetLastError();
    CloseHandle(process->info.hThread);
    for (int i = 0; i < 300 && !process->window; ++i) {
        EnumWindows(findProcessWindow, reinterpret_cast<LPARAM>(process));
        if (!process->window) Sleep(50);
    }
    if (!process->window) return ::testing::AssertionFailure() << "no window appeared";
    return ::testing::AssertionSuccess();
}

void endWindowedProcess(WindowedProcess* process)
{
    if (!process->info.hProcess) return;
    TerminateProcess(process->info.hProcess, 0);
    WaitForSingleObject(process->info.hProcess, 5000);
    CloseHandle(process->info.hProcess);
    process->info.hProcess = nullptr;
}

TEST(HandoffDelivery, WaitForTheTakenAnswerEndsWhenTheCommandIsGone)
{
    WindowedProcess command;
    ASSERT_TRUE(startWindowedProcess(&command));
    wchar_t window[24];
    _snwprintf(window, 23, L"_%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(command.window)));
    window[23] = L'\0';
    // The key's last part names the command's window, as a command's key does.
    std::wstring key = L"VantrelTestHandoff_" + uniqueText() + window;
    CommandObjects objects = {};
    ASSERT_TRUE(createCommandObjects(&objects, true, key));
    EXPECT_EQ(handoffKeyWindow(key.c_str()), reinterpret_cast<uintptr_t>(command.window));

    DeliveryCall call = {objects.key, 0, -99, 99};
    HANDLE thread = CreateThread(nullptr, 0, deliverOnThread, &call, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(objects.ready, 10000), WAIT_OBJECT_0);
    // While the command lives, the settings program waits for it to take the answer.
    EXPECT_EQ(WaitForSingleObject(thread, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    endWindowedProcess(&command);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) SetEvent(objects.taken);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(call.result, DeliveryDone);
    closeCommandObjects(&objects);
}

TEST(HandoffDelivery, WaitIsBoundedWhenTheKeyNamesNoCommand)
{
    const DWORD saved = g_answerTakenFallbackMs;
    g_answerTakenFallbackMs = 300;
    CommandObjects objects = {};
    ASSERT_TRUE(createCommandObjects(&objects, true, L"VantrelTestHandoff_" + uniqueText() + L"_nowindow"));
    DeliveryCall call = {objects.key, 1, -99, 99};
    HANDLE thread = CreateThread(nullptr, 0, deliverOnThread, &call, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) SetEvent(objects.taken);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(call.result, DeliveryDone);
    EXPECT_TRUE(blockHolds(objects.block, L"1"));
    g_answerTakenFallbackMs = saved;
    closeCommandObjects(&objects);
}

// ---- the command's exchange with the stand-in settings program ----

class HandoffExchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        tempFolder_ = temp;
        g_pauses.clear();
        g_pauseDivisor = 0;
        savedPause_ = g_handoffPause;
        g_handoffPause = recordPause;
    }

    void TearDown() override
    {
        g_handoffPause = savedPause_;
        for (HWND window : windows_) DestroyWindow(window);
        for (const std::wstring& folder : folders_) removeTree(folder);
    }

    // A program folder holding the stand-in as TazuSetting.exe.
    std::wstring makeProgramFolder(const std::wstring& name)
    {
        std::wstring folder = tempFolder_ + name + L" " + uniqueText() + L"\\";
        if (!CreateDirectoryW(folder.c_str(), nullptr)) return L"";
        folders_.push_back(folder);
        std::wstring answerer = environmentText(L"VANTREL_TEST_BIN_DIR") + L"\\handoff_answerer.exe";
        if (!CopyFileW(answerer.c_str(), (folder + L"TazuSetting.exe").c_str(), FALSE)) return L"";
        return folder;
    }

    // A hidden window standing for the command's main window.
    HWND makeWindow()
    {
        HWND window = CreateWindowExW(0, L"STATIC", L"handoff test", WS_OVERLAPPED, 0, 0, 10, 10,
                                      nullptr, nullptr, nullptr, nullptr);
        if (window) windows_.push_back(window);
        return window;
    }

    static std::wstring windowText(HWND window)
    {
        wchar_t text[16];
        _snwprintf(text, 15, L"%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
        text[15] = L'\0';
        return text;
    }

    std::wstring tempFolder_;
    std::vector<std::wstring> folders_;
    std::vector<HWND> windows_;
    void (*savedPause_)(DWORD) = nullptr;
};

struct ExchangeRun {
    std::wstring program;
    std::wstring key;
    HWND owner;
    int rc;
    int answer;
};

DWORD WINAPI exchangeOnThread(void* parameter)
{
    ExchangeRun* run = static_cast<ExchangeRun*>(parameter);
    run->rc = runHandoffExchange(run->program.c_str(), run->key.c_str(), run->owner, &run->answer);
    return 0;
}

TEST_F(HandoffExchange, EachAnswerOfTheSettingsProgramArrives)
{
    struct Row {
        const char* mode;
        int answer;
        const char* finished;   // the stand-in's own record
        size_t pauses;
    };
    const Row rows[] = {
        {"0", SaveAndRun, "answer 0 delivery 0 code 0", 0},
        {"1", RunUnsaved, "answer 1 delivery 0 code 0", 0},
        {"2", Cancel, "answer 2 delivery 0 code 0", 0},
        {"7", 7, "answer 7 delivery 0 code 0", 0},
        // The settings program ended without answering: the run is cancelled.
        {"exit", Cancel, "<missing>", 0},
        // Answer-ready without text: every re-read comes up empty, the answer stays 0 and the
        // settings program is not let go (it gives up waiting by itself here).
        {"empty 1500", 0, "empty not-taken", 901},
    };
    std::wstring folder = makeProgramFolder(L"tazu_handoff");
    ASSERT_FALSE(folder.empty());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        g_pauses.clear();
        HWND window = makeWindow();
        ASSERT_NE(window, nullptr);
        wchar_t key[kHandoffKeyChars];
        ASSERT_EQ(buildHandoffKey(L"handoff", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);
        writeFileText(folder + L"answerer.txt", row.mode);

        int answer = -99;
        EXPECT_EQ(runHandoffExchange((folder + L"TazuSetting.exe").c_str(), key, window, &answer), 0);
        EXPECT_EQ(answer, row.answer);
        std::wstring id = windowText(window);
        EXPECT_EQ(readFileText(folder + L"finished_" + id + L".txt"), row.finished);
        // The stand-in saw the key as the command made it.
        std::string started = readFileText(folder + L"started_" + id + L".txt");
        EXPECT_NE(started.find(std::string("ZEVRALD_tazu_handoff_") + std::string(id.begin(), id.end()) + "\n"),
                  std::string::npos) << started;
        EXPECT_EQ(g_pauses.size(), row.pauses);
        for (DWORD pause : g_pauses) EXPECT_EQ(pause, 200u);
        EXPECT_FALSE(objectExists(key));
    }
}

TEST_F(HandoffExchange, LateAnswerTextIsReadAgainEvery200Milliseconds)
{
    std::wstring folder = makeProgramFolder(L"tazu_late");
    ASSERT_FALSE(folder.empty());
    writeFileText(folder + L"answerer.txt", "late 400");
    g_pauseDivisor = 10;   // 20 ms instead of 200 ms
    HWND window = makeWindow();
    wchar_t key[kHandoffKeyChars];
    ASSERT_EQ(buildHandoffKey(L"late", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);

    int answer = -99;
    EXPECT_EQ(runHandoffExchange((folder + L"TazuSetting.exe").c_str(), key, window, &answer), 0);
    EXPECT_EQ(answer, RunUnsaved);
    EXPECT_GE(g_pauses.size(), 2u);
    EXPECT_LT(g_pauses.size(), 901u);
    for (DWORD pause : g_pauses) EXPECT_EQ(pause, 200u);
    EXPECT_EQ(readFileText(folder + L"finished_" + windowText(window) + L".txt"), "late written taken");
}

TEST_F(HandoffExchange, ProgramFolderWithBlanks)
{
    std::wstring folder = makeProgramFolder(L"tazu my backups");
    ASSERT_FALSE(folder.empty());
    writeFileText(folder + L"answerer.txt", "1");
    HWND window = makeWindow();
    wchar_t key[kHandoffKeyChars];
    ASSERT_EQ(buildHandoffKey(L"my backups", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);

    int answer = -99;
    EXPECT_EQ(runHandoffExchange((folder + L"TazuSetting.exe").c_str(), key, window, &answer), 0);
    EXPECT_EQ(answer, RunUnsaved);
    std::string started = readFileText(folder + L"started_" + windowText(window) + L".txt");
    EXPECT_NE(started.find("\nZEVRALD_tazu_my_backups_"), std::string::npos) << started;
}

TEST_F(HandoffExchange, SeveralCommandsAtOnceEachGetTheirOwnAnswer)
{
    std::wstring folder = makeProgramFolder(L"tazu_three");
    ASSERT_FALSE(folder.empty());
    const int answers[] = {SaveAndRun, RunUnsaved, Cancel};
    ExchangeRun runs[3];
    HANDLE threads[3];
    for (int i = 0; i < 3; ++i) {
        HWND window = makeWindow();
        ASSERT_NE(window, nullptr);
        writeFileText(folder + L"answerer_" + windowText(window) + L".txt", std::to_string(answers[i]));
        wchar_t key[kHandoffKeyChars];
        ASSERT_EQ(buildHandoffKey(L"three", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);
        runs[i] = {folder + L"TazuSetting.exe", key, window, -99, -99};
    }
    for (int i = 0; i < 3; ++i) {
        threads[i] = CreateThread(nullptr, 0, exchangeOnThread, &runs[i], 0, nullptr);
        ASSERT_NE(threads[i], nullptr);
    }
    EXPECT_EQ(WaitForMultipleObjects(3, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CloseHandle(threads[i]);
        EXPECT_EQ(runs[i].rc, 0);
        EXPECT_EQ(runs[i].answer, answers[i]);
    }
}

::testing::AssertionResult hasNullDacl(HANDLE object)
{
    PACL dacl = reinterpret_cast<PACL>(1);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD rc = GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                               &dacl, nullptr, &descriptor);
    if (descriptor) LocalFree(descriptor);
    if (rc != ERROR_SUCCESS) return ::testing::AssertionFailure() << "GetSecurityInfo " << rc;
    if (dacl) return ::testing::AssertionFailure() << "the object has an access list";
    return ::testing::AssertionSuccess();
}

TEST_F(HandoffExchange, SettingsProgramKilledBeforeAnsweringEndsTheWait)
{
    std::wstring folder = makeProgramFolder(L"tazu_killed");
    ASSERT_FALSE(folder.empty());
    writeFileText(folder + L"answerer.txt", "hang");
    HWND window = makeWindow();
    wchar_t key[kHandoffKeyChars];
    ASSERT_EQ(buildHandoffKey(L"killed", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);
    ExchangeRun run = {folder + L"TazuSetting.exe", key, window, -99, -99};
    HANDLE thread = CreateThread(nullptr, 0, exchangeOnThread, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);

    // The stand-in announces itself with its process id.
    std::wstring started = folder + L"started_" + windowText(window) + L".txt";
    DWORD answererPid = 0;
    for (int i = 0; i < 300 && !answererPid; ++i) {
        std::string record = readFileText(started);
        if (record != "<missing>") answererPid = strtoul(record.c_str(), nullptr, 10);
        else Sleep(50);
    }
    ASSERT_NE(answererPid, 0u);
    HANDLE answerer = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, answererPid);
    ASSERT_NE(answerer, nullptr);

    // Meanwhile the objects are there as the settings program needs them: open to everybody,
    // the block zero-filled, the events not set.
    HANDLE block = OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, key);
    wchar_t name[kHandoffNameChars];
    handoffObjectName(key, kHandoffReadySuffix, name, kHandoffNameChars);
    HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
    handoffObjectName(key, kHandoffTakenSuffix, name, kHandoffNameChars);
    HANDLE taken = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
    EXPECT_NE(block, nullptr);
    EXPECT_NE(ready, nullptr);
    EXPECT_NE(taken, nullptr);
    if (block) {
        EXPECT_TRUE(hasNullDacl(block));
        EXPECT_TRUE(blockHolds(block, L""));
        CloseHandle(block);
    }
    for (HANDLE event : {ready, taken}) {
        if (!event) continue;
        EXPECT_TRUE(hasNullDacl(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        CloseHandle(event);
    }

    TerminateProcess(answerer, 9);
    WaitForSingleObject(answerer, 10000);
    CloseHandle(answerer);
    EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0) << "the command still waits";
    CloseHandle(thread);
    EXPECT_EQ(run.rc, 0);
    EXPECT_EQ(run.answer, Cancel);
    EXPECT_TRUE(g_pauses.empty());
    EXPECT_FALSE(objectExists(key));
}

BOOL CALLBACK keepOwnDialog(HWND window, LPARAM found)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    if (pid != GetCurrentProcessId() || wcscmp(className, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// A dialog box of this process, as the shell shows its errors.
HWND findOwnDialog()
{
    HWND found = nullptr;
    EnumWindows(keepOwnDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Waits for an object while serving this thread's windows (a box owned by them needs that).
DWORD waitServingWindows(HANDLE object, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds) return WaitForSingleObject(object, 0);
        DWORD woken = MsgWaitForMultipleObjects(1, &object, FALSE, milliseconds - spent, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 1) return woken;
    }
}

TEST_F(HandoffExchange, SettingsProgramThatCannotStart)
{
    std::wstring folder = makeProgramFolder(L"tazu_missing");
    ASSERT_FALSE(folder.empty());
    HWND window = makeWindow();
    wchar_t key[kHandoffKeyChars];
    ASSERT_EQ(buildHandoffKey(L"missing", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);
    ExchangeRun run = {folder + L"NoSuchSetting.exe", key, window, -99, -99};
    HANDLE thread = CreateThread(nullptr, 0, exchangeOnThread, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);

    // The shell reports the failed start in a box of its own before the exchange gives up.
    HWND shellError = nullptr;
    for (int i = 0; i < 200 && !shellError && waitServingWindows(thread, 50) == WAIT_TIMEOUT; ++i)
        shellError = findOwnDialog();
    if (shellError) PostMessageW(shellError, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(waitServingWindows(thread, 20000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_NE(shellError, nullptr) << "no error box of the shell";
    EXPECT_EQ(run.rc, kExchangeStartFailed);
    EXPECT_FALSE(objectExists(key));
}

TEST_F(HandoffExchange, ObjectsThatCannotBeCreated)
{
    // A key naming an object of another kind cannot name the block.
    HWND window = makeWindow();
    wchar_t key[kHandoffKeyChars];
    ASSERT_EQ(buildHandoffKey(L"taken", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);
    HANDLE squatter = CreateMutexW(nullptr, FALSE, key);
    ASSERT_NE(squatter, nullptr);
    int answer = -99;
    EXPECT_EQ(runHandoffExchange(L"C:\\does-not-matter.exe", key, window, &answer),
              kExchangeObjectsFailed);
    CloseHandle(squatter);
    EXPECT_FALSE(objectExists(key));
}

TEST_F(HandoffExchange, NamesThatAnotherProcessHoldsAreNotTrusted)
{
    // Each of the three names already taken by an object of the same kind: the exchange does not
    // start the settings program, and the other process's objects stay as they were.
    HWND window = makeWindow();
    wchar_t key[kHandoffKeyChars];
    ASSERT_EQ(buildHandoffKey(L"held", reinterpret_cast<uintptr_t>(window), key, kHandoffKeyChars), 0);
    wchar_t readyName[kHandoffNameChars];
    wchar_t takenName[kHandoffNameChars];
    ASSERT_EQ(handoffObjectName(key, kHandoffReadySuffix, readyName, kHandoffNameChars), 0);
    ASSERT_EQ(handoffObjectName(key, kHandoffTakenSuffix, takenName, kHandoffNameChars), 0);
    struct Row {
        const char* name;
        bool block;
        const wchar_t* event;
    };
    const Row rows[] = {
        {"answer block", true, nullptr},
        {"answer-ready event", false, readyName},
        {"answer-taken event", false, takenName},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HANDLE held = row.block ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                     kHandoffBlockBytes, key)
                                : CreateEventW(nullptr, TRUE, FALSE, row.event);
        ASSERT_NE(held, nullptr);
        if (row.block) {
            void* view = MapViewOfFile(held, FILE_MAP_WRITE, 0, 0, kHandoffBlockBytes);
            ASSERT_NE(view, nullptr);
            wcscpy(static_cast<wchar_t*>(view), L"0");
            UnmapViewOfFile(view);
        }
        int answer = -99;
        EXPECT_EQ(runHandoffExchange(L"C:\\does-not-matter.exe", key, window, &answer), kExchangeNamesTaken);
        if (row.block) {
            const void* view = MapViewOfFile(held, FILE_MAP_READ, 0, 0, kHandoffBlockBytes);
            ASSERT_NE(view, nullptr);
            EXPECT_STREQ(L"0", static_cast<const wchar_t*>(view));
            UnmapViewOfFile(view);
        } else {
            EXPECT_EQ(WaitForSingleObject(held, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        }
        CloseHandle(held);
        EXPECT_FALSE(objectExists(key));
    }
}

} // namespace
