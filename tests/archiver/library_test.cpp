// 7-zip32.dll loaded and called as the ZIP commands call it (ordinal 200, then ordinal 1):
// result codes, output buffer, nothing left behind on failure, progress window, cancel, busy and
// a read error in the middle of a file.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "archiver_api.h"
#include "block_deflate.h"

namespace {

// ---- the library -------------------------------------------------------------------------

struct Library {
    HMODULE module = nullptr;
    SevenZipSetUnicodeModeProc setUnicode = nullptr;
    SevenZipProc run = nullptr;
};

Library& library()
{
    static Library lib;
    if (!lib.module) {
        wchar_t bin[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"VANTREL_BIN_DIR", bin, MAX_PATH);
        lib.module = LoadLibraryW((std::wstring(bin) + L"\\7-zip32.dll").c_str());
        if (lib.module) {
            lib.setUnicode = reinterpret_cast<SevenZipSetUnicodeModeProc>(
                reinterpret_cast<void*>(GetProcAddress(lib.module, MAKEINTRESOURCEA(200))));
            lib.run = reinterpret_cast<SevenZipProc>(reinterpret_cast<void*>(GetProcAddress(lib.module, MAKEINTRESOURCEA(1))));
        }
    }
    return lib;
}

std::string utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(n - 1);
    return s;
}

struct CallResult {
    int code;
    std::string text;
};

CallResult callUtf8(const std::string& line, HWND owner = nullptr)
{
    Library& lib = library();
    lib.setUnicode(TRUE);
    char out[2048];
    std::memset(out, 0, sizeof(out));
    int code = lib.run(owner, line.c_str(), out, sizeof(out));
    return CallResult{code, out};
}

std::string zipLine(const std::wstring& archive, const std::wstring& item, bool hide = true, const char* extra = "")
{
    return std::string("a -tzip -ssw -mmt=on ") + extra + (hide ? "-hide " : "") + "-- \"" + utf8(archive) + "\" \"" +
           utf8(item) + "\"";
}

// ---- files -------------------------------------------------------------------------------

struct TempFolder {
    std::wstring path;
};

void removeTree(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, library().module) << "7-zip32.dll not loaded from VANTREL_BIN_DIR";
        ASSERT_NE(nullptr, library().run);
        ASSERT_NE(nullptr, library().setUnicode);
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        static int counter = 0;
        dir = std::wstring(tmp) + L"vantrel-archiver-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    }
    void TearDown() override { removeTree(dir); }

    std::wstring path(const std::wstring& name) const { return dir + L"\\" + name; }
    std::wstring dir;
};

bool writeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    CloseHandle(h);
    return ok;
}

std::string readFile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string("<missing>");
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
    CloseHandle(h);
    return out;
}

// A sparse file of the given size: large input that costs no disk.
bool makeLargeFile(const std::wstring& path, uint64_t size)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(size);
    bool ok = SetFilePointerEx(h, li, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

std::vector<std::wstring> folderNames(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

::testing::AssertionResult folderHoldsExactly(const std::wstring& dir, std::vector<std::wstring> expected)
{
    std::sort(expected.begin(), expected.end());
    std::vector<std::wstring> names = folderNames(dir);
    if (names == expected) return ::testing::AssertionSuccess();
    ::testing::AssertionResult r = ::testing::AssertionFailure();
    r << "folder holds:";
    for (const auto& n : names) r << " [" << utf8(n) << "]";
    return r;
}

// A minimal look into a written archive: the entries of its central directory (no zip64).
struct CentralEntry {
    std::string name;
    uint32_t size;
    uint32_t crc;
    uint16_t method;
    uint32_t compressed;
    uint32_t localOffset;     // of its local header
    size_t recordOffset;      // of its central directory record
};

std::vector<CentralEntry> centralEntries(const std::string& zip)
{
    std::vector<CentralEntry> entries;
    if (zip.size() < 22) return entries;
    size_t eocd = zip.rfind(std::string("PK\x05\x06", 4));
    if (eocd == std::string::npos) return entries;
    auto le16 = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(zip[at]) | (static_cast<uint8_t>(zip[at + 1]) << 8)); };
    auto le32 = [&](size_t at) { return le16(at) | (le16(at + 2) << 16); };
    size_t p = le32(eocd + 16);
    const uint32_t count = le16(eocd + 10);
    for (uint32_t i = 0; i < count && p + 46 <= zip.size() && le32(p) == 0x02014b50; ++i) {
        const uint32_t n = le16(p + 28), x = le16(p + 30), c = le16(p + 32);
        entries.push_back(CentralEntry{zip.substr(p + 46, n), le32(p + 24), le32(p + 16),
                                       static_cast<uint16_t>(le16(p + 10)), le32(p + 20), le32(p + 42), p});
        p += 46 + n + x + c;
    }
    return entries;
}

std::vector<std::string> centralNames(const std::string& zip)
{
    std::vector<std::string> names;
    for (const CentralEntry& e : centralEntries(zip)) names.push_back(e.name);
    return names;
}

// ---- windows -----------------------------------------------------------------------------

// Pumps this thread's messages (it may own the progress window's owner) for up to ms.
void pumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

bool runsUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

HWND waitForProgressWindow(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND w = FindWindowW(ARCHIVER_PROGRESS_CLASS, nullptr);
        if (w && IsWindowVisible(w)) return w;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        pumpFor(20);
    }
}

BOOL CALLBACK collectText(HWND child, LPARAM lp)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(child, text, 1024);
    reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(text);
    return TRUE;
}

bool windowShowsText(HWND w, const std::wstring& text)
{
    std::vector<std::wstring> texts;
    EnumChildWindows(w, collectText, reinterpret_cast<LPARAM>(&texts));
    for (const auto& t : texts) {
        if (t == text) return true;
    }
    return false;
}

// A call running on its own thread, as a command's worker thread would make it.
struct BackgroundCall {
    std::thread thread;
    std::atomic<int> code{-1};
    std::atomic<bool> done{false};
    std::string text;
    std::chrono::steady_clock::time_point finished;

    void start(const std::string& line, HWND owner)
    {
        thread = std::thread([this, line, owner] {
            CallResult r = callUtf8(line, owner);
            text = r.text;
            finished = std::chrono::steady_clock::now();
            code = r.code;
            done = true;
        });
    }
    bool waitDone(DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        while (!done && GetTickCount() - start < timeoutMs) pumpFor(10);
        if (done && thread.joinable()) thread.join();
        return done;
    }
};

// ---- failures and texts ------------------------------------------------------------------

TEST_F(LibraryTest, MalformedCommandLinesAreRefusedAndWriteNothing)
{
    ASSERT_TRUE(writeFile(path(L"item.txt"), "content"));
    const std::string archive = utf8(path(L"x.zip")), item = utf8(path(L"item.txt"));
    const std::string rows[] = {
        "",
        "   ",
        "x -tzip -- \"" + archive + "\" \"" + item + "\"",
        "a -t7z -- \"" + archive + "\" \"" + item + "\"",
        "a -tzip -sdel -- \"" + archive + "\" \"" + item + "\"",
        "a -tzip -mmt=many -- \"" + archive + "\" \"" + item + "\"",
        "a -tzip -mx12 -- \"" + archive + "\" \"" + item + "\"",
        "a -tzip -- \"" + archive + "\"",
        "a -tzip -- \"" + archive + "\" \"" + item,
        "a -tzip -- \"" + archive + "\" \"\"",
        "a -tzip -- \"" + archive + "\xff\xfe\" \"" + item + "\"",  // not UTF-8
    };
    for (const std::string& line : rows) {
        SCOPED_TRACE(line);
        CallResult r = callUtf8(line);
        EXPECT_EQ(ARCHIVER_ERROR_COMMAND_LINE, r.code);
        EXPECT_EQ(0u, r.text.find("Bad command line")) << r.text;
        EXPECT_TRUE(folderHoldsExactly(dir, {L"item.txt"}));
    }
    library().setUnicode(TRUE);
    EXPECT_EQ(ARCHIVER_ERROR_COMMAND_LINE, library().run(nullptr, nullptr, nullptr, 0));
}

TEST_F(LibraryTest, FailuresHaveTheirCodesAndLeaveTheFolderAsItWas)
{
    ASSERT_TRUE(writeFile(path(L"item.txt"), "content"));
    ASSERT_TRUE(writeFile(path(L"existing.zip"), "precious"));
    ASSERT_TRUE(CreateDirectoryW(path(L"folder.zip").c_str(), nullptr));
    struct Row {
        const char* label;
        std::wstring archive, item;
        int code;
        const char* textStart;
    };
    const Row rows[] = {
        {"item not found", path(L"a.zip"), path(L"missing.txt"), ARCHIVER_ERROR_ITEM_NOT_FOUND, "Item not found: "},
        {"item folder not found", path(L"a.zip"), path(L"nowhere\\x.txt"), ARCHIVER_ERROR_ITEM_NOT_FOUND, "Item not found: "},
        {"archive exists", path(L"existing.zip"), path(L"item.txt"), ARCHIVER_ERROR_ARCHIVE_EXISTS, "The archive already exists: "},
        {"archive path is a folder", path(L"folder.zip"), path(L"item.txt"), ARCHIVER_ERROR_ARCHIVE_EXISTS, "The archive already exists: "},
        {"archive folder missing", path(L"nowhere\\a.zip"), path(L"item.txt"), ARCHIVER_ERROR_CREATE_ARCHIVE, "Cannot create the archive: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        CallResult r = callUtf8(zipLine(row.archive, row.item));
        EXPECT_EQ(row.code, r.code);
        EXPECT_EQ(0u, r.text.find(row.textStart)) << r.text;
        EXPECT_TRUE(folderHoldsExactly(dir, {L"item.txt", L"existing.zip", L"folder.zip"}));
        EXPECT_EQ("precious", readFile(path(L"existing.zip")));
    }
}

TEST_F(LibraryTest, SuccessWritesTheArchiveAndASummary)
{
    const std::wstring folder = path(L"資料 😀");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\empty").c_str(), nullptr));
    ASSERT_TRUE(writeFile(folder + L"\\報告.txt", std::string(10000, 'x')));
    CallResult r = callUtf8(zipLine(path(L"out.zip"), folder));
    ASSERT_EQ(ARCHIVER_OK, r.code) << r.text;
    EXPECT_EQ("Archive created: 1 files, 2 folders, 10000 bytes in " + std::to_string(readFile(path(L"out.zip")).size()) +
                  " bytes.",
              r.text);
    EXPECT_TRUE(folderHoldsExactly(dir, {L"資料 😀", L"out.zip"}));
    const std::vector<std::string> expected = {utf8(L"資料 😀/"), utf8(L"資料 😀/empty/"), utf8(L"資料 😀/報告.txt")};
    EXPECT_EQ(expected, centralNames(readFile(path(L"out.zip"))));
}

TEST_F(LibraryTest, AnsiModeReadsTheCommandLineInTheCodePage)
{
    ASSERT_TRUE(writeFile(path(L"plain.txt"), "plain"));
    Library& lib = library();
    EXPECT_NE(FALSE, lib.setUnicode(FALSE));
    char out[256];
    const std::string line = zipLine(path(L"plain.zip"), path(L"plain.txt"));  // ASCII only
    int code = lib.run(nullptr, line.c_str(), out, sizeof(out));
    EXPECT_NE(FALSE, lib.setUnicode(TRUE));
    EXPECT_EQ(ARCHIVER_OK, code) << out;
    EXPECT_EQ(std::vector<std::string>{"plain.txt"}, centralNames(readFile(path(L"plain.zip"))));
}

TEST_F(LibraryTest, OutputBufferIsTerminatedAndNeverOverrun)
{
    // The error text names the missing item: Japanese, so cuts could fall inside a character.
    const std::string line = zipLine(path(L"a.zip"), path(L"見つからない項目.txt"));
    const CallResult full = callUtf8(line);
    ASSERT_EQ(ARCHIVER_ERROR_ITEM_NOT_FOUND, full.code);
    for (DWORD size : {1u, 2u, 10u, 17u, 40u, 41u, 42u, 43u, 44u, 80u, 1000u}) {
        SCOPED_TRACE(::testing::Message() << "size " << size);
        std::vector<char> buf(size + 16, '\xCC');
        library().setUnicode(TRUE);
        EXPECT_EQ(ARCHIVER_ERROR_ITEM_NOT_FOUND, library().run(nullptr, line.c_str(), buf.data(), size));
        const size_t len = strnlen(buf.data(), size);
        ASSERT_LT(len, size) << "not terminated within the buffer";
        for (size_t i = size; i < buf.size(); ++i) ASSERT_EQ('\xCC', buf[i]) << "written past the end at " << i;
        const std::string got(buf.data(), len);
        EXPECT_EQ(0u, full.text.find(got)) << "not a prefix of the full text";
        EXPECT_TRUE(got.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, got.c_str(), -1, nullptr, 0) > 0)
            << "cut inside a character";
        EXPECT_TRUE(got.size() == full.text.size() || got.size() + 4 > size) << "cut shorter than needed";
    }
    // No buffer, or a size of 0: nothing is written.
    library().setUnicode(TRUE);
    EXPECT_EQ(ARCHIVER_ERROR_ITEM_NOT_FOUND, library().run(nullptr, line.c_str(), nullptr, 100));
    char untouched[4] = {'\xCC', '\xCC', '\xCC', '\xCC'};
    EXPECT_EQ(ARCHIVER_ERROR_ITEM_NOT_FOUND, library().run(nullptr, line.c_str(), untouched, 0));
    EXPECT_EQ('\xCC', untouched[0]);
}

// ---- progress window, cancel, busy -------------------------------------------------------

class ProgressTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        // Three GiB of zeros on one thread at the best level: far longer than the test runs.
        ASSERT_TRUE(makeLargeFile(path(L"large.img"), 3ull << 30));
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, owner);
    }
    void TearDown() override
    {
        if (owner) DestroyWindow(owner);
        LibraryTest::TearDown();
    }
    std::string longLine() { return zipLine(path(L"large.zip"), path(L"large.img"), false, "-mmt=1 -mx9 "); }
    HWND owner = nullptr;
};

TEST_F(ProgressTest, WindowShowsTheNamesAndCancelStopsTheCallAtOnce)
{
    BackgroundCall call;
    call.start(longLine(), owner);
    HWND w = waitForProgressWindow(10000);
    ASSERT_NE(nullptr, w) << "no progress window";
    EXPECT_EQ(owner, GetWindow(w, GW_OWNER));
    EXPECT_TRUE(windowShowsText(w, path(L"large.zip")));
    const DWORD start = GetTickCount();
    while (!windowShowsText(w, L"\\\\?\\" + path(L"large.img")) && !windowShowsText(w, path(L"large.img")) &&
           GetTickCount() - start < 3000) {
        pumpFor(50);
    }
    EXPECT_TRUE(windowShowsText(w, path(L"large.img"))) << "item name not shown";
    HWND cancel = GetDlgItem(w, IDCANCEL);
    ASSERT_NE(nullptr, cancel);
    const auto pressed = std::chrono::steady_clock::now();
    PostMessageW(cancel, BM_CLICK, 0, 0);
    // The work stops and its temporary file goes at once.
    while (folderNames(dir).size() > 1 && std::chrono::steady_clock::now() - pressed < std::chrono::seconds(5)) pumpFor(5);
    const auto cleaned = std::chrono::steady_clock::now();
    ASSERT_TRUE(call.waitDone(15000)) << "the call did not end after Cancel";
    const auto msCleaned = std::chrono::duration_cast<std::chrono::milliseconds>(cleaned - pressed).count();
    const auto msReturned = std::chrono::duration_cast<std::chrono::milliseconds>(call.finished - pressed).count();
    EXPECT_EQ(ARCHIVER_CANCELLED, call.code.load()) << call.text;
    EXPECT_EQ("Cancelled.", call.text);
    // "At once" with room for a loaded test machine: the work stops between 1 MiB blocks.
    EXPECT_LT(msCleaned, 1000) << "the work went on for " << msCleaned << " ms after Cancel";
    // Under Wine without a window manager, taking down a captioned window waits 2 s for the
    // window manager (winex11's withdrawn-state wait); Windows has no such wait.
    const long long windowTeardownAllowance = runsUnderWine() ? 2500 : 0;
    EXPECT_LT(msReturned, 1500 + windowTeardownAllowance) << "the call returned " << msReturned << " ms after Cancel";
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img"}));
}

TEST_F(ProgressTest, OwnerOnTheCallingThreadDoesNotHoldUpTheWindow)
{
    // The call runs on the thread that owns the owner window and pumps nothing meanwhile; Cancel
    // is pressed from another thread once the window is up.
    std::atomic<bool> clicked{false};
    std::thread presser([&] {
        HWND w = nullptr;
        for (int i = 0; i < 500 && !w; ++i) {
            w = FindWindowW(ARCHIVER_PROGRESS_CLASS, nullptr);
            if (!w) Sleep(20);
        }
        if (w) {
            Sleep(300);
            PostMessageW(GetDlgItem(w, IDCANCEL), BM_CLICK, 0, 0);
            clicked = true;
        }
    });
    CallResult r = callUtf8(longLine(), owner);
    presser.join();
    EXPECT_TRUE(clicked.load()) << "no progress window";
    EXPECT_EQ(ARCHIVER_CANCELLED, r.code) << r.text;
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img"}));
}

TEST_F(ProgressTest, HideShowsNoWindow)
{
    ASSERT_TRUE(writeFile(path(L"small.txt"), std::string(300000, 'a')));
    BackgroundCall call;
    call.start(zipLine(path(L"small.zip"), path(L"small.txt"), true), nullptr);
    bool seen = false;
    while (!call.done) {
        if (FindWindowW(ARCHIVER_PROGRESS_CLASS, nullptr)) seen = true;
        pumpFor(1);
    }
    call.waitDone(1000);
    EXPECT_EQ(ARCHIVER_OK, call.code.load()) << call.text;
    EXPECT_FALSE(seen);
}

TEST_F(ProgressTest, SecondCallWhileOneRunsIsBusyAndTheLibraryIsFreeAfterwards)
{
    ASSERT_TRUE(writeFile(path(L"small.txt"), "small"));
    BackgroundCall first;
    first.start(longLine(), nullptr);
    HWND w = waitForProgressWindow(10000);
    ASSERT_NE(nullptr, w) << "the first call did not start";
    CallResult second = callUtf8(zipLine(path(L"small.zip"), path(L"small.txt")));
    EXPECT_EQ(ARCHIVER_BUSY, second.code);
    EXPECT_EQ(0u, second.text.find("Busy")) << second.text;
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img", L"small.txt"}) ||
                folderNames(dir).size() == 3)  // the first call's temporary file may be there
        << "the busy call wrote something";
    EXPECT_EQ(std::string("<missing>"), readFile(path(L"small.zip")));
    PostMessageW(GetDlgItem(w, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(first.waitDone(15000));
    EXPECT_EQ(ARCHIVER_CANCELLED, first.code.load());
    CallResult third = callUtf8(zipLine(path(L"small.zip"), path(L"small.txt")));
    EXPECT_EQ(ARCHIVER_OK, third.code) << third.text;
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img", L"small.txt", L"small.zip"}));
}

// ---- files that fail or change while they are read --------------------------------------

// The library's imports, replaced for one test at a time (import table of 7-zip32.dll).
void* swapImport(HMODULE module, const char* dll, const char* function, void* replacement)
{
    auto base = reinterpret_cast<BYTE*>(module);
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dirEntry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dirEntry.VirtualAddress); imp->Name; ++imp) {
        if (_stricmp(reinterpret_cast<char*>(base + imp->Name), dll) != 0) continue;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return previous;
        }
    }
    return nullptr;
}

// Reads of a file of the marked size fail with a data error from the marked position on, as a
// bad disk sector would.
std::atomic<LONGLONG> g_failSize{0};
std::atomic<LONGLONG> g_failFrom{0};
std::atomic<int> g_failedReads{0};
decltype(&ReadFile) g_realReadFile = nullptr;

BOOL WINAPI failingReadFile(HANDLE h, LPVOID buf, DWORD n, LPDWORD got, LPOVERLAPPED ov)
{
    LARGE_INTEGER size, pos, zero;
    zero.QuadPart = 0;
    if (GetFileSizeEx(h, &size) && size.QuadPart == g_failSize && SetFilePointerEx(h, zero, &pos, FILE_CURRENT) &&
        pos.QuadPart >= g_failFrom) {
        ++g_failedReads;
        if (got) *got = 0;
        SetLastError(ERROR_CRC);
        return FALSE;
    }
    return g_realReadFile(h, buf, n, got, ov);
}

TEST_F(LibraryTest, ReadErrorInAFileFailsTheCallAndLeavesNothing)
{
    struct Row {
        const char* label;
        LONGLONG size;
        LONGLONG failFrom;
    };
    const Row rows[] = {
        {"large file, error after 2 MiB", 5 * 1024 * 1024 + 4321, 2 * 1024 * 1024},
        {"small file, error on its only read", 700001, 0},
    };
    const std::wstring folder = path(L"data");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(writeFile(folder + L"\\first.txt", std::string(3 << 20, 'a')));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_TRUE(writeFile(folder + L"\\second.bin", std::string(static_cast<size_t>(row.size), 'b')));
        g_failSize = row.size;
        g_failFrom = row.failFrom;
        g_failedReads = 0;
        g_realReadFile = reinterpret_cast<decltype(&ReadFile)>(
            swapImport(library().module, "KERNEL32.dll", "ReadFile", reinterpret_cast<void*>(&failingReadFile)));
        ASSERT_NE(nullptr, g_realReadFile) << "ReadFile import not found";
        CallResult r = callUtf8(zipLine(path(L"data.zip"), folder));
        swapImport(library().module, "KERNEL32.dll", "ReadFile", reinterpret_cast<void*>(g_realReadFile));
        EXPECT_GT(g_failedReads.load(), 0);
        EXPECT_EQ(ARCHIVER_ERROR_ITEM_READ, r.code);
        EXPECT_EQ("Cannot read: " + utf8(folder + L"\\second.bin") + " (system error 0x00000017)", r.text);
        EXPECT_TRUE(folderHoldsExactly(dir, {L"data"}));
    }
    // The library works normally again.
    CallResult again = callUtf8(zipLine(path(L"data.zip"), folder));
    EXPECT_EQ(ARCHIVER_OK, again.code) << again.text;
}

// Another program appends to a file between the listing of its folder and its reading. The
// library opens the files of a folder by name relative to the folder (NtCreateFile).
std::wstring g_growName;
typedef NTSTATUS(NTAPI* NtCreateFileProc)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                           ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
NtCreateFileProc g_realNtCreateFile = nullptr;

NTSTATUS NTAPI growingNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                   PIO_STATUS_BLOCK io, PLARGE_INTEGER allocation, ULONG fileAttributes, ULONG share,
                                   ULONG disposition, ULONG options, PVOID ea, ULONG eaLength)
{
    const std::wstring n(attributes->ObjectName->Buffer, attributes->ObjectName->Length / sizeof(wchar_t));
    if (!g_growName.empty() && n.size() >= g_growName.size() &&
        n.compare(n.size() - g_growName.size(), std::wstring::npos, g_growName) == 0) {
        g_growName.clear();
        HANDLE h = nullptr;
        IO_STATUS_BLOCK appendIo;
        OBJECT_ATTRIBUTES same = *attributes;
        if (g_realNtCreateFile(&h, FILE_APPEND_DATA | SYNCHRONIZE, &same, &appendIo, nullptr, 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, 1 /* open */, 0x20 | 0x40 /* synchronous, file */,
                               nullptr, 0) == 0) {
            std::string more(3 * 1024 * 1024 + 5, 'g');
            DWORD written = 0;
            WriteFile(h, more.data(), static_cast<DWORD>(more.size()), &written, nullptr);
            CloseHandle(h);
        }
    }
    return g_realNtCreateFile(handle, access, attributes, io, allocation, fileAttributes, share, disposition, options, ea,
                              eaLength);
}

TEST_F(LibraryTest, FileThatGrowsAfterTheListingIsArchivedWhole)
{
    const std::wstring folder = path(L"logs");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(writeFile(folder + L"\\a.log", std::string(1000, 'a')));
    ASSERT_TRUE(writeFile(folder + L"\\b.log", std::string(2000, 'b')));  // listed small, read large
    ASSERT_TRUE(writeFile(folder + L"\\c.log", std::string(3000, 'c')));
    g_growName = L"b.log";
    g_realNtCreateFile = reinterpret_cast<NtCreateFileProc>(
        swapImport(library().module, "ntdll.dll", "NtCreateFile", reinterpret_cast<void*>(&growingNtCreateFile)));
    ASSERT_NE(nullptr, g_realNtCreateFile) << "NtCreateFile import not found";
    CallResult r = callUtf8(zipLine(path(L"logs.zip"), folder));
    swapImport(library().module, "ntdll.dll", "NtCreateFile", reinterpret_cast<void*>(g_realNtCreateFile));
    ASSERT_EQ(ARCHIVER_OK, r.code) << r.text;
    EXPECT_TRUE(g_growName.empty()) << "the file was not opened";
    const std::vector<CentralEntry> entries = centralEntries(readFile(path(L"logs.zip")));
    ASSERT_EQ(4u, entries.size());
    const char* names[] = {"logs/", "logs/a.log", "logs/b.log", "logs/c.log"};
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(names[i], entries[i].name);
        if (i == 0) continue;
        const std::string content = readFile(folder + L"\\" + std::wstring(entries[i].name.begin() + 5, entries[i].name.end()));
        EXPECT_EQ(content.size(), entries[i].size);
        EXPECT_EQ(crc32Of(reinterpret_cast<const uint8_t*>(content.data()), content.size()), entries[i].crc);
    }
    EXPECT_EQ(2000u + 3 * 1024 * 1024 + 5, entries[2].size);
}

// ---- the temporary file ------------------------------------------------------------------

std::wstring testBinFolder()
{
    wchar_t bin[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"VANTREL_TEST_BIN_DIR", bin, MAX_PATH);
    return bin;
}

bool isHidden(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(LibraryTest, RunEndedMidwayLeavesAHiddenPartFileThatTheNextRunOfTheArchiveRemoves)
{
    // A ZIP command ended while it archives (the result window's quit, log-off): here the driver
    // in a process of its own, ended once its temporary file exists.
    ASSERT_TRUE(makeLargeFile(path(L"large.img"), 3ull << 30));
    std::wstring command = L"\"" + testBinFolder() + L"\\archiver_driver.exe\" add --hide --mmt 1 --mx 9 \"" +
                           path(L"backup.zip") + L"\" \"" + path(L"large.img") + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        << GetLastError();
    const std::wstring part = path(L"backup.zip.part");
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 20000) Sleep(20);
    const bool appeared = GetFileAttributesW(part.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool hiddenWhileWritten = isHidden(part);
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ASSERT_TRUE(appeared) << "no temporary file named after the archive";
    EXPECT_TRUE(hiddenWhileWritten);
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img", L"backup.zip.part"}));

    // The same archive name tried again: the leftover goes, the archive is made and is not hidden.
    ASSERT_TRUE(writeFile(path(L"small.txt"), "small"));
    CallResult r = callUtf8(zipLine(path(L"backup.zip"), path(L"small.txt")));
    ASSERT_EQ(ARCHIVER_OK, r.code) << r.text;
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img", L"small.txt", L"backup.zip"}));
    EXPECT_FALSE(isHidden(path(L"backup.zip")));
    EXPECT_EQ(std::vector<std::string>{"small.txt"}, centralNames(readFile(path(L"backup.zip"))));
}

TEST_F(LibraryTest, PartFilesThatAreNotLeftoversStayUntouched)
{
    ASSERT_TRUE(writeFile(path(L"small.txt"), "small"));
    struct Row {
        const char* label;
        bool hidden;
        bool held;          // open without sharing, as a run writing it holds it
        std::string content;
    };
    const Row rows[] = {
        {"another run is writing it", true, true, ""},
        {"the user's own file of that name", false, false, "PK\x03\x04 user's"},
        {"hidden, but not an archive", true, false, "notes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::wstring part = path(L"x.zip.part");
        HANDLE h = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               row.hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD n = 0;
        WriteFile(h, row.content.data(), static_cast<DWORD>(row.content.size()), &n, nullptr);
        if (!row.held) CloseHandle(h);
        CallResult r = callUtf8(zipLine(path(L"x.zip"), path(L"small.txt")));
        if (row.held) CloseHandle(h);
        EXPECT_EQ(ARCHIVER_OK, r.code) << r.text;
        EXPECT_TRUE(folderHoldsExactly(dir, {L"small.txt", L"x.zip", L"x.zip.part"}));
        EXPECT_EQ(row.content, readFile(part));
        SetFileAttributesW(part.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(part.c_str());
        DeleteFileW(path(L"x.zip").c_str());
    }
}

// ---- -verify: the archive read back from the disk before it is renamed --------------------

// Text that deflate shrinks, different from line to line.
std::string text(size_t size)
{
    std::string out;
    for (unsigned line = 0; out.size() < size; ++line) out += "line " + std::to_string(line * 7919u % 100003u) + " of the report\n";
    out.resize(size);
    return out;
}

// Bytes that deflate cannot shrink.
std::string noise(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 23);
    return bytes;
}

// A folder of every kind the read-back meets: a Japanese name, an empty file, a file of several
// blocks that deflate shrinks (inflated block by block), one that it cannot shrink (stored after
// all), a small stored file, a small deflated one and an empty folder.
std::wstring makeVerifiedTree(const std::wstring& root)
{
    const std::wstring folder = root + L"\\\x8cc7\x6599";   // 資料
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\empty").c_str(), nullptr);
    writeFile(folder + L"\\\x7a7a.txt", "");                              // 空.txt
    writeFile(folder + L"\\report.txt", text(3 * 1024 * 1024 + 17));
    writeFile(folder + L"\\noise.bin", noise(2 * 1024 * 1024 + 5, 1));
    writeFile(folder + L"\\small.bin", noise(5000, 2));
    writeFile(folder + L"\\memo.txt", text(20000));
    return folder;
}

TEST_F(LibraryTest, VerifiedArchiveReadsBackAndIsTheSameAsWithoutTheCheck)
{
    const std::wstring folder = makeVerifiedTree(dir);
    for (const char* level : {"", "-mx0 "}) {
        SCOPED_TRACE(*level ? level : "default level");
        CallResult plain = callUtf8(zipLine(path(L"plain.zip"), folder, true, level));
        CallResult checked = callUtf8(zipLine(path(L"checked.zip"), folder, true, (std::string(level) + "-verify ").c_str()));
        ASSERT_EQ(ARCHIVER_OK, plain.code) << plain.text;
        ASSERT_EQ(ARCHIVER_OK, checked.code) << checked.text;
        EXPECT_EQ(plain.text.substr(0, plain.text.find(" in ")), checked.text.substr(0, checked.text.find(" in ")));
        // The read-back changes nothing in what is written.
        const std::string bytes = readFile(path(L"checked.zip"));
        EXPECT_EQ(readFile(path(L"plain.zip")), bytes);
        EXPECT_EQ(7u, centralEntries(bytes).size());
        EXPECT_TRUE(folderHoldsExactly(dir, {L"\x8cc7\x6599", L"plain.zip", L"checked.zip"}));
        DeleteFileW(path(L"plain.zip").c_str());
        DeleteFileW(path(L"checked.zip").c_str());
    }
}

// The library's own opening of its temporary file for the read-back (unbuffered, ".part"), and
// reads through that handle, replaced for one test at a time.
decltype(&CreateFileW) g_realCreateFileW = nullptr;
std::function<void(const std::wstring& part)> g_beforeReadBack;
std::atomic<HANDLE> g_readBackHandle{INVALID_HANDLE_VALUE};
std::function<BOOL(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)> g_readBackRead;

bool isReadBackOpen(LPCWSTR name, DWORD flags)
{
    const size_t length = wcslen(name);
    return (flags & FILE_FLAG_NO_BUFFERING) && length > 5 && wcscmp(name + length - 5, L".part") == 0;
}

HANDLE WINAPI readBackCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const bool readBack = isReadBackOpen(name, flags);
    if (readBack && g_beforeReadBack) {
        auto change = g_beforeReadBack;
        g_beforeReadBack = nullptr;
        change(name);
    }
    HANDLE h = g_realCreateFileW(name, access, share, security, disposition, flags, templateFile);
    if (readBack) g_readBackHandle = h;
    return h;
}

BOOL WINAPI readBackReadFile(HANDLE h, LPVOID buffer, DWORD n, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (h == g_readBackHandle.load() && g_readBackRead) return g_readBackRead(h, buffer, n, got, overlapped);
    return g_realReadFile(h, buffer, n, got, overlapped);
}

// Swaps both imports of the library while it lives.
struct ReadBackSeam {
    ReadBackSeam()
    {
        g_readBackHandle = INVALID_HANDLE_VALUE;
        g_realCreateFileW = reinterpret_cast<decltype(&CreateFileW)>(
            swapImport(library().module, "KERNEL32.dll", "CreateFileW", reinterpret_cast<void*>(&readBackCreateFileW)));
        g_realReadFile = reinterpret_cast<decltype(&ReadFile)>(
            swapImport(library().module, "KERNEL32.dll", "ReadFile", reinterpret_cast<void*>(&readBackReadFile)));
    }
    ~ReadBackSeam()
    {
        if (g_realCreateFileW) swapImport(library().module, "KERNEL32.dll", "CreateFileW", reinterpret_cast<void*>(g_realCreateFileW));
        if (g_realReadFile) swapImport(library().module, "KERNEL32.dll", "ReadFile", reinterpret_cast<void*>(g_realReadFile));
        g_beforeReadBack = nullptr;
        g_readBackRead = nullptr;
    }
    bool installed() const { return g_realCreateFileW && g_realReadFile; }
};

// Flips one byte of a file in place, as a bad sector or a faulty cable would.
void flipByteAt(const std::wstring& file, size_t offset)
{
    std::string bytes = readFile(file);
    if (offset >= bytes.size()) return;
    bytes[offset] = static_cast<char>(bytes[offset] ^ 0x10);
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

// Where an entry's data begins: after its local header with name and extra field.
size_t dataOffsetOf(const std::string& zip, const CentralEntry& e)
{
    auto le16 = [&](size_t at) { return static_cast<size_t>(static_cast<uint8_t>(zip[at]) | (static_cast<uint8_t>(zip[at + 1]) << 8)); };
    return e.localOffset + 30 + le16(e.localOffset + 26) + le16(e.localOffset + 28);
}

const CentralEntry* entryNamed(const std::vector<CentralEntry>& entries, const std::string& name)
{
    for (const CentralEntry& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

TEST_F(LibraryTest, AnArchiveThatDoesNotReadBackAsWrittenFailsNamingTheEntryAndLeavesNothing)
{
    const std::wstring folder = makeVerifiedTree(dir);
    ReadBackSeam seam;
    ASSERT_TRUE(seam.installed()) << "imports not found";
    const std::string shiryo = utf8(L"\x8cc7\x6599");
    struct Row {
        const char* label;
        std::string entry;          // named in the error; empty for the end of the archive
        uint16_t method;            // the entry's method, as the row means it
        std::function<size_t(const std::string& zip, const CentralEntry& e)> where;   // the byte to flip
        bool cut;                   // cut the file's last byte instead
    };
    const Row rows[] = {
        {"a byte inside a stored entry", shiryo + "/small.bin", 0,
         [](const std::string& zip, const CentralEntry& e) { return dataOffsetOf(zip, e) + 2500; }, false},
        {"a byte inside a deflated entry", shiryo + "/memo.txt", 8,
         [](const std::string& zip, const CentralEntry& e) { return dataOffsetOf(zip, e) + 40; }, false},
        {"a byte inside a deflated entry of several blocks", shiryo + "/report.txt", 8,
         [](const std::string& zip, const CentralEntry& e) { return dataOffsetOf(zip, e) + e.compressed / 2; }, false},
        {"a byte of an entry's name in its local header", shiryo + "/noise.bin", 0,
         [](const std::string&, const CentralEntry& e) { return static_cast<size_t>(e.localOffset) + 30 + 2; }, false},
        {"a byte of an entry's CRC in the central directory", shiryo + "/memo.txt", 8,
         [](const std::string&, const CentralEntry& e) { return e.recordOffset + 16; }, false},
        {"the last byte of the archive lost", "", 0, nullptr, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        g_beforeReadBack = [&row](const std::wstring& part) {
            const std::string zip = readFile(part);
            if (row.cut) {
                HANDLE h = CreateFileW(part.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
                LARGE_INTEGER at;
                at.QuadPart = static_cast<LONGLONG>(zip.size() - 1);
                SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
                SetEndOfFile(h);
                CloseHandle(h);
                return;
            }
            const std::vector<CentralEntry> entries = centralEntries(zip);
            const CentralEntry* e = entryNamed(entries, row.entry);
            ASSERT_NE(nullptr, e) << row.entry;
            EXPECT_EQ(row.method, e->method);
            flipByteAt(part, row.where(zip, *e));
        };
        CallResult r = callUtf8(zipLine(path(L"checked.zip"), folder, true, "-verify "));
        EXPECT_EQ(nullptr, g_beforeReadBack) << "the archive was not read back";
        EXPECT_EQ(ARCHIVER_ERROR_VERIFY, r.code);
        EXPECT_EQ(ARCHIVER_VERIFY_TEXT + row.entry, r.text);
        // Neither the archive nor its temporary file is left.
        EXPECT_TRUE(folderHoldsExactly(dir, {L"\x8cc7\x6599"}));
    }
    // A read error of the disk: nothing is left either, and the error says what it is.
    g_readBackRead = [](HANDLE, LPVOID, DWORD, LPDWORD got, LPOVERLAPPED) {
        if (got) *got = 0;
        SetLastError(ERROR_CRC);
        return FALSE;
    };
    CallResult r = callUtf8(zipLine(path(L"checked.zip"), folder, true, "-verify "));
    EXPECT_EQ(ARCHIVER_ERROR_READ_BACK, r.code);
    EXPECT_EQ("The written archive cannot be read back: " + utf8(path(L"checked.zip")) + " (system error 0x00000017)", r.text);
    EXPECT_TRUE(folderHoldsExactly(dir, {L"\x8cc7\x6599"}));
}

TEST_F(ProgressTest, CancelWhileTheArchiveIsReadBackStopsItAndLeavesNothing)
{
    // Bytes that stay as they are: the archive takes several reads.
    ASSERT_TRUE(writeFile(path(L"report.txt"), noise(12 * 1024 * 1024, 5)));
    ReadBackSeam seam;
    ASSERT_TRUE(seam.installed()) << "imports not found";
    // The first read of the read-back waits until the test has seen the phase and pressed Cancel.
    HANDLE reading = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE pressed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_readBackRead = [reading, pressed](HANDLE h, LPVOID buffer, DWORD n, LPDWORD got, LPOVERLAPPED overlapped) {
        SetEvent(reading);
        WaitForSingleObject(pressed, 20000);
        return g_realReadFile(h, buffer, n, got, overlapped);
    };
    SevenZipIsVerifyingProc isVerifying = reinterpret_cast<SevenZipIsVerifyingProc>(
        reinterpret_cast<void*>(GetProcAddress(library().module, MAKEINTRESOURCEA(2))));
    ASSERT_NE(nullptr, isVerifying);
    EXPECT_FALSE(isVerifying());

    BackgroundCall call;
    call.start(zipLine(path(L"report.zip"), path(L"report.txt"), false, "-verify "), owner);
    bool readBackBegan = false;
    for (int i = 0; i < 3000 && !readBackBegan; ++i) {
        readBackBegan = WaitForSingleObject(reading, 0) == WAIT_OBJECT_0;
        pumpFor(10);
    }
    ASSERT_TRUE(readBackBegan) << "the archive was not read back";
    EXPECT_TRUE(isVerifying());
    HWND w = FindWindowW(ARCHIVER_PROGRESS_CLASS, nullptr);
    ASSERT_NE(nullptr, w);
    // The window says what it does now (it looks on its 100 ms timer).
    wchar_t title[256] = L"";
    for (int i = 0; i < 100 && wcsncmp(title, L"Verifying - report.zip", 256) != 0; ++i) {
        pumpFor(20);
        GetWindowTextW(w, title, 256);
    }
    EXPECT_STREQ(L"Verifying - report.zip", title);
    EXPECT_TRUE(windowShowsText(w, L"Checking:"));
    PostMessageW(GetDlgItem(w, IDCANCEL), BM_CLICK, 0, 0);
    for (int i = 0; i < 500 && !call.done; ++i) {
        pumpFor(10);
        if (!IsWindowEnabled(GetDlgItem(w, IDCANCEL))) break;
    }
    SetEvent(pressed);
    ASSERT_TRUE(call.waitDone(15000));
    CloseHandle(reading);
    CloseHandle(pressed);
    EXPECT_EQ(ARCHIVER_CANCELLED, call.code.load()) << call.text;
    EXPECT_FALSE(isVerifying());
    EXPECT_TRUE(folderHoldsExactly(dir, {L"large.img", L"report.txt"}));
}

}  // namespace
