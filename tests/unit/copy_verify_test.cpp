// The copy commands' verify pass on real files: a copy that a disk changed after the shell wrote
// it (a byte, a length, a file or an empty folder gone) fails with its file named in the active
// language and leaves nothing; reads on both sides cover the chunk edges; a pass cancelled by the
// program's end removes its copy before the end waits no longer.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "backup_steps.h"
#include "copy_verify.h"
#include "errors.h"
#include "message_box.h"
#include "run_state.h"
#include "settings.h"
#include "unit_support.h"

namespace {

// The change a row makes between the copy and its verify pass (on the copy's full path).
std::function<void(const std::wstring& copy)> g_change;
void changeBeforeVerify(const wchar_t*, const wchar_t* copyPath)
{
    std::wstring copy = copyPath;
    if (!copy.empty() && copy.back() == L'\\') copy.pop_back();
    if (g_change) g_change(copy);
}

// Flips one byte in place; the file keeps its size and its times.
bool flipByte(const std::wstring& path, LONGLONG offset)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME created, accessed, written;
    GetFileTime(file, &created, &accessed, &written);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    BYTE byte = 0;
    DWORD n = 0;
    bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, &byte, 1, &n, nullptr) && n == 1;
    byte ^= 0x20;
    ok = ok && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && WriteFile(file, &byte, 1, &n, nullptr) && n == 1;
    SetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    return ok;
}

bool truncateTo(const std::wstring& path, LONGLONG size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = size;
    bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// Bytes that differ from position to position, so that a shifted or swapped chunk shows.
std::string pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 23);
    return bytes;
}

class CopyVerifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        readSettingsFile((temp / L"none.ini").c_str(), &g_settings);
        g_settings.verify = 1;
        clearPerRunState();
        setBeforeVerifyHook(changeBeforeVerify);
        g_change = nullptr;
    }
    void TearDown() override
    {
        setBeforeVerifyHook(nullptr);
        setCopyReadCall(nullptr);
        setCopyVerifyCancelled(false);
        g_change = nullptr;
        g_settings.verify = 0;
    }

    void language(UiLanguage which)
    {
        g_settings.language = which;
        copyText(g_settings.lang, kLangLimit + 1, which == UiEnglish ? L"en" : L"ja");
    }

    TempFolder temp;
};

TEST_F(CopyVerifyTest, ACopyChangedAfterTheShellWroteItFailsWithItsFileNamedAndLeavesNothing)
{
    const std::wstring nested = L"\x8cc7\x6599\\\x6df1\x3044.bin";   // 資料\深い.bin
    const std::string large = pattern(kVerifyChunkBytes + 5000, 7);
    struct Row {
        const char* label;
        UiLanguage language;
        bool folder;                 // the item "Project" with a tree, else the file "report.bin"
        std::wstring file;           // the file named, below the item (empty: the item itself)
        std::function<void(const std::wstring& copy)> change;
        bool unreadable;
    };
    HANDLE held = INVALID_HANDLE_VALUE;
    const Row rows[] = {
        {"a byte of a file item's copy, same size and time", UiEnglish, false, L"",
         [](const std::wstring& copy) { flipByte(copy, 3); }, false},
        {"a byte past the first chunk of a nested file", UiJapanese, true, L"\\" + nested,
         [nested](const std::wstring& copy) { flipByte(copy + L"\\" + nested, kVerifyChunkBytes + 4000); }, false},
        {"a file of the folder copy cut short", UiEnglish, true, L"\\" + nested,
         [nested](const std::wstring& copy) { truncateTo(copy + L"\\" + nested, kVerifyChunkBytes); }, false},
        {"a file of the folder copy removed", UiJapanese, true, L"\\top.txt",
         [](const std::wstring& copy) { DeleteFileW((copy + L"\\top.txt").c_str()); }, false},
        {"an empty folder of the copy removed", UiEnglish, true, L"\\empty",
         [](const std::wstring& copy) { RemoveDirectoryW((copy + L"\\empty").c_str()); }, false},
        {"the item's file held by another program", UiEnglish, true, L"\\top.txt",
         [this, &held](const std::wstring&) {
             held = CreateFileW((temp / L"Project\\top.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        language(row.language);
        const std::wstring item = temp / (row.folder ? L"Project" : L"report.bin");
        if (row.folder) {
            ASSERT_TRUE(makeDirectory(item));
            ASSERT_TRUE(makeDirectory(item + L"\\empty"));
            ASSERT_TRUE(makeDirectory(item + L"\\\x8cc7\x6599"));
            ASSERT_TRUE(writeBytes(item + L"\\top.txt", "top level"));
            ASSERT_TRUE(writeBytes(item + L"\\" + nested, large));
        } else {
            ASSERT_TRUE(writeBytes(item, "report bytes"));
        }
        MessageRecorder messages;
        BackupItem backup;
        ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
        const std::wstring newPath = temp / (row.folder ? L"Project_copy\\" : L"report_copy.bin");
        g_change = row.change;
        const int result = copyToNewPath(&backup, newPath.c_str());
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        held = INVALID_HANDLE_VALUE;

        EXPECT_EQ(-1, result);
        EXPECT_FALSE(fileExists(newPath));
        const std::wstring named = item + row.file;
        std::wstring expected;
        if (row.unreadable) {
            wchar_t error[256];
            SystemErrorText(ERROR_SHARING_VIOLATION, row.language, error, 256);
            expected = L"The backup failed its check: it could not be read back.\nThis file or its copy could not be read:\n\n" +
                       named + L"\n\n" + error;
        } else if (row.language == UiEnglish) {
            expected = L"The backup failed its check: read back from the disk, it does not match.\n"
                       L"This file is missing from the copy or differs in it:\n\n" + named;
        } else {
            // バックアップの検証に失敗しました。ディスクから読み戻した内容が一致しません。
            // コピーに無いか内容が異なるファイル:
            expected = L"\x30d0\x30c3\x30af\x30a2\x30c3\x30d7\x306e\x691c\x8a3c\x306b\x5931\x6557\x3057\x307e\x3057\x305f\x3002"
                       L"\x30c7\x30a3\x30b9\x30af\x304b\x3089\x8aad\x307f\x623b\x3057\x305f\x5185\x5bb9\x304c\x4e00\x81f4\x3057"
                       L"\x307e\x305b\x3093\x3002\n\x30b3\x30d4\x30fc\x306b\x7121\x3044\x304b\x5185\x5bb9\x304c\x7570\x306a\x308b"
                       L"\x30d5\x30a1\x30a4\x30eb:\n\n" + named;
        }
        ASSERT_EQ(1u, messages.shown().size());
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), messages.shown()[0].style & MB_ICONMASK);
        EXPECT_EQ(expected, messages.shown()[0].text);
        // The item itself stays as it was.
        EXPECT_EQ(row.folder ? large : std::string("report bytes"), readBytes(row.folder ? item + L"\\" + nested : item));
        removeTree(item);
    }
}

// Reads of the copy held to Windows' rules past the cache (Wine takes any read): a length or
// buffer that is not whole sectors is refused, as Windows refuses it; and a read gives at most a
// megabyte at a time, as a redirector may.
std::atomic<int> g_unbufferedReads{0};
std::atomic<int> g_refusedReads{0};
BOOL sectorRuleRead(HANDLE file, void* buffer, DWORD length, DWORD* got, bool unbuffered)
{
    if (unbuffered) {
        ++g_unbufferedReads;
        if (length % 512 != 0 || reinterpret_cast<uintptr_t>(buffer) % 512 != 0) {
            ++g_refusedReads;
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (length > (1u << 20)) length = 1u << 20;
    }
    return ReadFile(file, buffer, length, got, nullptr);
}

TEST_F(CopyVerifyTest, EveryByteIsReadAcrossTheChunkEdges)
{
    // Sizes around the chunk: the unbuffered reads of the copy always ask for whole sectors and
    // get the tail back at the end, never falling back to the cache.
    setCopyReadCall(sectorRuleRead);
    g_unbufferedReads = 0;
    g_refusedReads = 0;
    const std::wstring item = temp / L"Sizes";
    ASSERT_TRUE(makeDirectory(item));
    ASSERT_TRUE(makeDirectory(item + L"\\empty"));
    ULONGLONG total = 0;
    const size_t sizes[] = {0, 1, kVerifyChunkBytes - 1, kVerifyChunkBytes, kVerifyChunkBytes + 1, 2 * kVerifyChunkBytes + 512};
    for (size_t size : sizes) {
        ASSERT_TRUE(writeBytes(item + L"\\f" + std::to_wstring(size) + L".bin", pattern(size, static_cast<unsigned>(size))));
        total += size;
    }
    MessageRecorder messages;
    BackupItem backup;
    ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
    const std::wstring newPath = temp / L"Sizes_copy\\";
    ASSERT_EQ(0, copyToNewPath(&backup, newPath.c_str()));
    EXPECT_TRUE(messages.shown().empty());

    CopyVerify verify;
    EXPECT_EQ(VerifyMatch, verifyCopiedTree(item.c_str(), newPath.c_str(), &verify));
    EXPECT_EQ(total, verify.bytesCompared);
    EXPECT_GT(g_unbufferedReads.load(), 0);
    EXPECT_EQ(0, g_refusedReads.load()) << "a read past the cache asked for part of a sector";
    // The last byte of the largest file is read too.
    const std::wstring last = newPath + L"f" + std::to_wstring(sizes[5]) + L".bin";
    ASSERT_TRUE(flipByte(last, static_cast<LONGLONG>(sizes[5]) - 1));
    EXPECT_EQ(VerifyDifferent, verifyCopiedTree(item.c_str(), newPath.c_str(), &verify));
    EXPECT_EQ(item + L"\\f" + std::to_wstring(sizes[5]) + L".bin", std::wstring(verify.file));
    EXPECT_EQ(0, g_refusedReads.load());
}

// The program ends while a copy is read back: the pass stops, its copy goes, and the end of the
// program waits until it is gone.
std::atomic<bool> g_passBegan{false};
std::atomic<bool> g_cancelSent{false};
void holdUntilCancelled(const wchar_t*, const wchar_t*)
{
    g_passBegan = true;
    for (int i = 0; i < 30000 && !g_cancelSent; ++i) Sleep(1);
}

TEST_F(CopyVerifyTest, ACancelledPassRemovesItsCopyBeforeTheProgramEnds)
{
    const std::wstring item = temp / L"big.bin";
    ASSERT_TRUE(writeBytes(item, pattern(3 * kVerifyChunkBytes, 3)));
    const std::wstring newPath = temp / L"big_copy.bin";
    MessageRecorder messages;
    BackupItem backup;
    ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
    g_passBegan = false;
    g_cancelSent = false;
    setBeforeVerifyHook(holdUntilCancelled);
    std::atomic<int> result{1};
    std::thread worker([&] { result = copyToNewPath(&backup, newPath.c_str()); });
    for (int i = 0; i < 30000 && !g_passBegan; ++i) Sleep(1);
    ASSERT_TRUE(g_passBegan.load());
    EXPECT_TRUE(inVerifyPhase());

    setCopyVerifyCancelled(true);
    g_cancelSent = true;   // the pass goes on, into the cancel
    awaitCopyVerifyHold(30000);
    // When the end stops waiting, the copy is already gone.
    EXPECT_FALSE(fileExists(newPath));
    worker.join();
    EXPECT_EQ(-1, result.load());
    EXPECT_FALSE(inVerifyPhase());
    // A cancel says nothing: the program is ending.
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(pattern(3 * kVerifyChunkBytes, 3), readBytes(item));
}

}  // namespace
