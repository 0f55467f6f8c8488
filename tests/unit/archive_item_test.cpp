// The ZIP commands' side of the archiver: command-line forms, the small-file rule, the UTF-8
// limit and the busy retries, with the library played by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive_item.h"
#include "message_box.h"
#include "unit_support.h"

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
int fakeRun(const char* commandLine, char*, DWORD)
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
                                         L"C:\\Docs\\report.txt", true, false, line, kCommandLineChars));
    EXPECT_STREQ(L"a -tzip -ssw -mmt=on -hide -- \"C:\\Docs\\report_20240305_140709.txt.zip\" "
                 L"\"C:\\Docs\\report.txt\"", line);
    ASSERT_EQ(0, buildArchiveCommandLine(L"C:\\Docs\\Project_20240305_140709.zip",
                                         L"C:\\Docs\\Project", false, false, line, kCommandLineChars));
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
    ASSERT_EQ(0, buildArchiveCommandLine(archive.c_str(), item.c_str(), true, false, line, kCommandLineChars));
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
        char output[16];
        EXPECT_EQ(row.result, runArchiverCommand(&kFakeCalls, "cmd", output, sizeof output));
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

namespace {

// A library that finds another run's archive at the archive path at every call (put there by
// this play library before it answers), and records whether it is still there at each wait and
// at the message.
struct LeavingLibrary {
    std::wstring archivePath;
    std::vector<int> answers;
    std::string text;       // the library's text with its last answer
    bool askedForText = false;
    size_t runs = 0;
    size_t utf8Switches = 0;
    std::vector<bool> existsAtWait;
    std::vector<ShownMessage> shown;
    std::vector<bool> existsAtMessage;
};
LeavingLibrary* g_leaving = nullptr;

int leavingSetUtf8(int)
{
    ++g_leaving->utf8Switches;
    return 1;
}
int leavingRun(const char*, char* output, DWORD outputSize)
{
    writeBytes(g_leaving->archivePath, "PK another run's archive");
    size_t index = std::min(g_leaving->runs, g_leaving->answers.size() - 1);
    ++g_leaving->runs;
    g_leaving->askedForText = output && outputSize;
    if (outputSize > g_leaving->text.size()) memcpy(output, g_leaving->text.c_str(), g_leaving->text.size() + 1);
    return g_leaving->answers[index];
}
void leavingSleep(DWORD)
{
    g_leaving->existsAtWait.push_back(fileExists(g_leaving->archivePath));
}
int leavingSink(UINT style, const wchar_t* title, const wchar_t* text)
{
    g_leaving->shown.push_back({style, title, text});
    g_leaving->existsAtMessage.push_back(fileExists(g_leaving->archivePath));
    return IDOK;
}

std::wstring formatted(const BilingualText& text, UiLanguage language, unsigned code, const std::wstring& item)
{
    wchar_t out[1024];
    _snwprintf(out, 1024, pickText(text, language), code, item.c_str());
    out[1023] = L'\0';
    return out;
}

}  // namespace

// The library writes beside the archive path and renames only a complete archive, without
// replacing: whatever lies at the archive path after any answer is another run's.
TEST(ArchiveItemOutcomes, NoAnswerRemovesTheArchivePathAndFailuresNameTheLibraryCode)
{
    struct Row {
        const char* name;
        std::vector<int> answers;
        UiLanguage language;
        int result;
        size_t runs;
        size_t waits;
        bool message;       // the failure message with the last answer's code
        bool verify = false;            // "Verify" 1: the library reads back and may name an entry
        std::string text = "";          // the library's text
        std::wstring entry = L"";       // the entry that the message names instead of the code
    };
    const Row rows[] = {
        {"success", {0}, UiEnglish, 0, 1, 0, false},
        {"busy twice, then success", {kArchiverBusy, kArchiverBusy, 0}, UiEnglish, 0, 3, 2, false},
        {"library error", {0x8012}, UiEnglish, -1, 1, 0, true},
        {"library error, Japanese", {0x8012}, UiJapanese, -1, 1, 0, true},
        {"busy, then an error", {kArchiverBusy, 0x8015}, UiEnglish, -1, 2, 1, true},
        // 601 calls and a wait after each, the last one too (300.5 s in the product).
        {"busy for all 601 calls", {kArchiverBusy}, UiEnglish, -1, 601, 601, true},
        // A cancel in the library's window is the user's choice: no message.
        {"cancelled", {kArchiverCancelled}, UiEnglish, -1, 1, 0, false},
        // Taken by another run: the caller composes a new name, so no message either.
        {"archive path taken", {kArchiverPathTaken}, UiEnglish, kArchivePathTaken, 1, 0, false},
        {"busy, then taken", {kArchiverBusy, kArchiverPathTaken}, UiEnglish, kArchivePathTaken, 2, 1, false},
        // The read-back found an entry not as written: the message names it, in either language.
        {"read back not as written", {0x8019}, UiEnglish, -1, 1, 0, true, true,
         "The archive does not read back as written: \xE8\xB3\x87\xE6\x96\x99/a.txt", L"\x8cc7\x6599/a.txt"},
        {"read back not as written, Japanese", {0x8019}, UiJapanese, -1, 1, 0, true, true,
         "The archive does not read back as written: report.txt", L"report.txt"},
        // The end of the archive differs: no entry to name, so the code.
        {"read back not as written at its end", {0x8019}, UiEnglish, -1, 1, 0, true, true,
         "The archive does not read back as written: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder temp;
        const std::wstring item = temp / L"report.txt";
        ASSERT_TRUE(writeBytes(item, "report"));
        LeavingLibrary library;
        library.archivePath = temp / L"report_20240305_140709.txt.zip";
        library.answers = row.answers;
        library.text = row.text;
        g_leaving = &library;
        const ArchiverCalls saved = g_archiverCalls;
        g_archiverCalls = {leavingSetUtf8, leavingRun, leavingSleep};
        setMessageBoxSink(leavingSink);
        WIN32_FIND_DATAW entry = entryOf(6, false);

        int result = archiveItem(item.c_str(), library.archivePath.c_str(), &entry, row.language, row.verify);

        setMessageBoxSink(nullptr);
        g_archiverCalls = saved;
        g_leaving = nullptr;
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.runs, library.runs);
        EXPECT_EQ(row.waits, library.existsAtWait.size());
        EXPECT_EQ(1u, library.utf8Switches);
        // Without the read-back the call is the plain one: no window, no output buffer.
        EXPECT_EQ(row.verify, library.askedForText);
        EXPECT_EQ("PK another run's archive", readBytes(library.archivePath));
        for (size_t wait = 0; wait < library.existsAtWait.size(); ++wait) {
            SCOPED_TRACE(::testing::Message() << "wait " << wait + 1);
            EXPECT_TRUE(library.existsAtWait[wait]);
        }
        if (!row.message) {
            EXPECT_TRUE(library.shown.empty());
            continue;
        }
        ASSERT_EQ(1u, library.shown.size());
        if (row.entry.empty()) {
            EXPECT_EQ(formatted(kArchiveFailedText, row.language, static_cast<unsigned>(row.answers.back()), item),
                      library.shown[0].text);
        } else {
            wchar_t expected[1024];
            _snwprintf(expected, 1024, pickText(kArchiveVerifyFailedText, row.language), row.entry.c_str(), item.c_str());
            expected[1023] = L'\0';
            EXPECT_EQ(expected, library.shown[0].text);
        }
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), library.shown[0].style & MB_ICONMASK);
        EXPECT_TRUE(library.existsAtMessage[0]);
    }
}

TEST(ArchiveItemOutcomes, CommandLinesThatCannotBeUtf8NeverReachTheLibrary)
{
    struct Row { const char* name; std::wstring folder; std::wstring base; };
    const std::wstring longJapanese(80, L'\x8cc7');
    const Row rows[] = {
        // A name with a lone surrogate: a lossy conversion would name another file.
        {"lone surrogate", L"", std::wstring(L"memo\xD800")},
        // Two paths of 80 + 80 Japanese characters need far more than 1040 bytes in UTF-8.
        {"over 1040 bytes", longJapanese + L"\\", longJapanese},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder temp;
        const std::wstring item = temp / (row.folder + row.base + L".txt");
        const std::wstring archive = temp / (row.folder + row.base + L"_20240305_140709.txt.zip");
        LeavingLibrary library;
        library.archivePath = archive;
        library.answers = {0};
        g_leaving = &library;
        const ArchiverCalls saved = g_archiverCalls;
        g_archiverCalls = {leavingSetUtf8, leavingRun, leavingSleep};
        setMessageBoxSink(leavingSink);
        WIN32_FIND_DATAW entry = entryOf(6, false);
        EXPECT_EQ(-1, archiveItem(item.c_str(), archive.c_str(), &entry, UiEnglish, false));
        setMessageBoxSink(nullptr);
        g_archiverCalls = saved;
        g_leaving = nullptr;

        EXPECT_EQ(0u, library.utf8Switches);
        EXPECT_EQ(0u, library.runs);
        ASSERT_EQ(1u, library.shown.size());
        EXPECT_EQ(L"ZIP format. Could not be converted to Unicode(UTF-8).\n\n" + item, library.shown[0].text);
        EXPECT_FALSE(fileExists(archive));
    }
}
