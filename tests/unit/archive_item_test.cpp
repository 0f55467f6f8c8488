// The ZIP commands' side of the archiver: command-line forms, the small-file rule, the UTF-8
// limit and the busy retries, with the library played by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_item.h"

namespace {

WIN32_FIND_DATAW entryOf(ULONGLONG size, bool folder)
{
    WIN32_FIND_DATAW entry = {};
    entry.dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    entry.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    entry.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    return entry;
}

// A scripted library: answers from a list (the last answer repeats) and records every call.
struct FakeLibrary {
    std::vector<int> answers;
    std::vector<std::string> events;
    size_t runs = 0;
};
FakeLibrary* g_fake = nullptr;

int fakeSetUtf8(int on)
{
    g_fake->events.push_back("utf8=" + std::to_string(on));
    return 1;
}
int fakeRun(const char* commandLine)
{
    g_fake->events.push_back(std::string("run:") + commandLine);
    size_t index = g_fake->runs < g_fake->answers.size() ? g_fake->runs : g_fake->answers.size() - 1;
    ++g_fake->runs;
    return g_fake->answers[index];
}
void fakeSleep(DWORD ms)
{
    g_fake->events.push_back("sleep " + std::to_string(ms));
}
const ArchiverCalls kFakeCalls = {fakeSetUtf8, fakeRun, fakeSleep};

}  // namespace

TEST(ArchiveCommandLine, SmallFilesHideTheProgressWindowAndFoldersNever)
{
    struct Row { ULONGLONG size; bool folder; bool small; };
    const Row rows[] = {
        {0, false, true},
        {10485759ULL, false, true},
        {10485760ULL, false, false},
        {5ULL << 32, false, false},   // high part alone must not read as small
        {0, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "size " << row.size << (row.folder ? " folder" : " file"));
        WIN32_FIND_DATAW entry = entryOf(row.size, row.folder);
        EXPECT_EQ(row.small, isSmallFile(&entry));
    }
}

TEST(ArchiveCommandLine, BothFormsQuoteArchiveThenItem)
{
    wchar_t line[kCommandLineChars];
    ASSERT_EQ(0, buildArchiveCommandLine(L"C:\\Docs\\report_20240305_140709.txt.zip",
                                         L"C:\\Docs\\report.txt", true, line, kCommandLineChars));
    EXPECT_STREQ(L"a -tzip -ssw -mmt=on -hide -- \"C:\\Docs\\report_20240305_140709.txt.zip\" "
                 L"\"C:\\Docs\\report.txt\"", line);
    ASSERT_EQ(0, buildArchiveCommandLine(L"C:\\Docs\\Project_20240305_140709.zip",
                                         L"C:\\Docs\\Project", false, line, kCommandLineChars));
    EXPECT_STREQ(L"a -tzip -ssw -mmt=on -- \"C:\\Docs\\Project_20240305_140709.zip\" "
                 L"\"C:\\Docs\\Project\"", line);
}

TEST(ArchiveCommandLine, Utf8FormMustFitWithItsTerminator)
{
    char utf8[kUtf8CommandLineBytes];
    ASSERT_EQ(0, toUtf8CommandLine(L"a -- \"C:\\日本\\x.zip\"", utf8, sizeof utf8));
    EXPECT_STREQ("a -- \"C:\\\xE6\x97\xA5\xE6\x9C\xAC\\x.zip\"", utf8);

    // Exactly 1039 bytes of text fit with the terminator; 1040 do not.
    std::wstring fits(1039, L'a');
    EXPECT_EQ(0, toUtf8CommandLine(fits.c_str(), utf8, sizeof utf8));
    std::wstring tooLong(1040, L'a');
    EXPECT_EQ(-1, toUtf8CommandLine(tooLong.c_str(), utf8, sizeof utf8));

    // Two paths of about 170 Japanese characters (3 bytes each) overflow the 1040 bytes
    // although the UTF-16 command line is far below its 1023 characters.
    std::wstring name(170, L'\x3042');
    std::wstring archive = L"C:\\" + name + L".zip";
    std::wstring item = L"C:\\" + name;
    wchar_t line[kCommandLineChars];
    ASSERT_EQ(0, buildArchiveCommandLine(archive.c_str(), item.c_str(), true, line, kCommandLineChars));
    EXPECT_EQ(-1, toUtf8CommandLine(line, utf8, sizeof utf8));
}

TEST(ArchiverRetries, BusyIsRetriedEvery500msAtMost601Calls)
{
    struct Row { const char* name; std::vector<int> answers; int result; size_t runs; size_t sleeps; };
    const Row rows[] = {
        {"success at once", {0}, 0, 1, 0},
        {"busy twice then success", {kArchiverBusy, kArchiverBusy, 0}, 0, 3, 2},
        {"cancelled", {kArchiverCancelled}, kArchiverCancelled, 1, 0},
        {"error", {0x800A}, 0x800A, 1, 0},
        {"busy then error", {kArchiverBusy, 0x8005}, 0x8005, 2, 1},
        // Busy for good: 601 calls, and the last busy answer is waited for too.
        {"busy for good", {kArchiverBusy}, kArchiverBusy, 601, 601},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeLibrary fake;
        fake.answers = row.answers;
        g_fake = &fake;
        EXPECT_EQ(row.result, runArchiverCommand(&kFakeCalls, "cmd"));
        EXPECT_EQ(row.runs, fake.runs);
        size_t sleeps = 0;
        for (const std::string& event : fake.events) {
            if (event.rfind("sleep", 0) == 0) {
                ++sleeps;
                EXPECT_EQ("sleep 500", event);
            }
        }
        EXPECT_EQ(row.sleeps, sleeps);
        // UTF-8 mode is switched on before the first call of the item.
        ASSERT_FALSE(fake.events.empty());
        EXPECT_EQ("utf8=1", fake.events.front());
        EXPECT_EQ("run:cmd", fake.events[1]);
        g_fake = nullptr;
    }
}
