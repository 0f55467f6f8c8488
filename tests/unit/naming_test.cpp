// Backup name builder: the worked names at a fixed moment in real folders, the serial scan,
// the length limits, the collision rule and the three messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "naming.h"
#include "unit_support.h"

namespace {

SYSTEMTIME g_now;

void fixedNow(SYSTEMTIME* now)
{
    *now = g_now;
}

SYSTEMTIME moment(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME t = {};
    t.wYear = year; t.wMonth = month; t.wDay = day;
    t.wHour = hour; t.wMinute = minute; t.wSecond = second;
    return t;
}

// The clock stands at 2024-03-05 14:07:09 while one of these lives.
struct FixedClock {
    FixedClock() { g_now = moment(2024, 3, 5, 14, 7, 9); setLocalTimeSource(fixedNow); }
    ~FixedClock() { setLocalTimeSource(nullptr); }
};

std::vector<DWORD> g_sleeps;
void recordSleep(DWORD milliseconds) { g_sleeps.push_back(milliseconds); }

// Sleeps are recorded instead of slept; each one moves the fixed clock on by its time.
void sleepAndAdvance(DWORD milliseconds)
{
    g_sleeps.push_back(milliseconds);
    FILETIME ft;
    SystemTimeToFileTime(&g_now, &ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart += static_cast<ULONGLONG>(milliseconds) * 10000;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    FileTimeToSystemTime(&ft, &g_now);
}

struct SleepRecorder {
    explicit SleepRecorder(CollisionSleep sleep = recordSleep) { g_sleeps.clear(); setCollisionSleep(sleep); }
    ~SleepRecorder() { setCollisionSleep(nullptr); }
};

// Naming settings as a new user has them: "PrefixAft1" "_", after code 1, ZeroSuppress 1.
std::unique_ptr<SettingsRecord> defaultNaming()
{
    std::unique_ptr<SettingsRecord> s(new SettingsRecord());
    wcscpy(s->prefixAft1, L"_");
    s->addStringsAft = AddDateTime;
    s->zeroSuppress = 1;
    s->language = UiEnglish;
    return s;
}

struct Composed {
    int result;
    std::wstring path;
    size_t length;
};

Composed compose(const std::wstring& folder, const std::wstring& itemName, ItemKind item,
                 OutputKind output, const SettingsRecord& settings)
{
    PathParts parts;
    EXPECT_EQ(0, splitPath((folder + itemName).c_str(), item == ItemFolder, &parts));
    wchar_t out[kComposedPathChars];
    Composed c;
    c.length = 0;
    c.result = composeBackupPath(folder.c_str(), &parts, item, output, &settings, out,
                                 kComposedPathChars, &c.length);
    c.path = out;
    return c;
}

::testing::AssertionResult composesTo(const Composed& c, const std::wstring& expected)
{
    if (c.result != NamingOk) return ::testing::AssertionFailure() << "result " << c.result;
    if (c.path != expected)
        return ::testing::AssertionFailure() << "got " << utf8(c.path) << ", expected " << utf8(expected);
    if (c.length != expected.size())
        return ::testing::AssertionFailure() << "length " << c.length << ", expected " << expected.size();
    return ::testing::AssertionSuccess();
}

// Entries: a trailing backslash makes a folder, anything else an empty file.
void createEntries(const TempFolder& temp, const std::vector<std::wstring>& entries)
{
    for (const std::wstring& entry : entries) {
        if (!entry.empty() && entry.back() == L'\\')
            ASSERT_TRUE(makeDirectory(temp / entry)) << utf8(entry);
        else
            ASSERT_TRUE(writeEmptyFile(temp / entry)) << utf8(entry);
    }
}

long long nextSerial(const TempFolder& temp, const wchar_t* prefix, const wchar_t* suffix, int zeroSuppress,
                     int* result)
{
    long long next = -1;
    *result = findNextSerial(temp.path().c_str(), prefix, suffix, zeroSuppress, &next);
    return next;
}

}  // namespace

TEST(NamingWorkedExamples, FixedMomentInARealFolder)
{
    FixedClock clock;
    struct Row {
        const char* what;
        const wchar_t* item;
        ItemKind kind;
        OutputKind output;
        void (*adjust)(SettingsRecord*);
        std::vector<std::wstring> entries;
        const wchar_t* expected;   // below the destination folder
    };
    const Row rows[] = {
        {"file, defaults", L"report.txt", ItemFile, OutputCopyOrRename, [](SettingsRecord*) {},
         {}, L"report_20240305_140709.txt"},
        {"folder with a dot, defaults", L"Project.old", ItemFolder, OutputCopyOrRename,
         [](SettingsRecord*) {}, {}, L"Project.old_20240305_140709\\"},
        {"file without extension", L"README", ItemFile, OutputCopyOrRename, [](SettingsRecord*) {},
         {}, L"README_20240305_140709"},
        {"dot file", L".profile", ItemFile, OutputCopyOrRename, [](SettingsRecord*) {}, {},
         L"_20240305_140709.profile"},
        {"before date-time, after nothing", L"report.txt", ItemFile, OutputCopyOrRename,
         [](SettingsRecord* s) { s->addStringsBef = 1; wcscpy(s->prefixBef2, L"_"); s->addStringsAft = 0; },
         {}, L"20240305_140709_report_.txt"},
        {"after serial", L"report.txt", ItemFile, OutputCopyOrRename,
         [](SettingsRecord* s) { s->addStringsAft = 4; },
         {L"report_1.txt", L"report_2.txt", L"REPORT_10.TXT", L"report_007.txt", L"report_x.txt", L"report_.txt"},
         L"report_11.txt"},
        {"after serial, ZeroSuppress 3", L"report.txt", ItemFile, OutputCopyOrRename,
         [](SettingsRecord* s) { s->addStringsAft = 4; s->zeroSuppress = 3; },
         {L"report_1.txt", L"report_2.txt", L"REPORT_10.TXT", L"report_007.txt", L"report_x.txt", L"report_.txt"},
         L"report_008.txt"},
        {"after date and serial", L"report.txt", ItemFile, OutputCopyOrRename,
         [](SettingsRecord* s) { s->addStringsAft = 3; s->zeroSuppress = 2; },
         {L"report_20240305_01.txt", L"report_20240305_02.txt", L"report_20240304_05.txt"},
         L"report_20240305_03.txt"},
        {"before serial, after date", L"report.txt", ItemFile, OutputCopyOrRename,
         [](SettingsRecord* s) { s->addStringsBef = 4; wcscpy(s->prefixBef2, L"_"); s->addStringsAft = 2; },
         {L"1_report_20240305.txt", L"2_report_20240305.txt", L"7_report_20240304.txt"},
         L"3_report_20240305.txt"},
        {"before date, after serial", L"report.txt", ItemFile, OutputCopyOrRename,
         [](SettingsRecord* s) { s->addStringsBef = 2; wcscpy(s->prefixBef2, L"_"); s->addStringsAft = 4;
                                 wcscpy(s->prefixAft1, L"-"); },
         {L"20240305_report-4.txt"}, L"20240305_report-5.txt"},
        {"file archive", L"report.txt", ItemFile, OutputArchive, [](SettingsRecord*) {}, {},
         L"report_20240305_140709.txt.zip"},
        {"folder archive", L"Project", ItemFolder, OutputArchive, [](SettingsRecord*) {}, {},
         L"Project_20240305_140709.zip"},
        {"folder archive, after serial", L"Project", ItemFolder, OutputArchive,
         [](SettingsRecord* s) { s->addStringsAft = 4; },
         {L"Project_1.zip", L"Project_2\\"}, L"Project_2.zip"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder temp;
        createEntries(temp, row.entries);
        auto settings = defaultNaming();
        row.adjust(settings.get());
        EXPECT_TRUE(composesTo(compose(temp.path(), row.item, row.kind, row.output, *settings),
                               temp / row.expected));
    }
}

TEST(NamingWorkedExamples, DateAndSerialStartAgainOnTheNextDay)
{
    FixedClock clock;
    TempFolder temp;
    createEntries(temp, {L"report_20240305_01.txt", L"report_20240305_02.txt"});
    auto settings = defaultNaming();
    settings->addStringsAft = AddDateSerial;
    settings->zeroSuppress = 2;
    g_now = moment(2024, 3, 6, 0, 0, 1);
    EXPECT_TRUE(composesTo(compose(temp.path(), L"report.txt", ItemFile, OutputCopyOrRename, *settings),
                           temp / L"report_20240306_01.txt"));
}

TEST(NamingWorkedExamples, FreeTextsStayWhenTheirSideAddsNothing)
{
    FixedClock clock;
    TempFolder temp;
    auto settings = defaultNaming();
    settings->addStringsAft = 0;
    wcscpy(settings->prefixBef1, L"a");
    wcscpy(settings->prefixBef2, L"b");
    wcscpy(settings->prefixAft2, L"c");
    EXPECT_TRUE(composesTo(compose(temp.path(), L"report.txt", ItemFile, OutputCopyOrRename, *settings),
                           temp / L"abreport_c.txt"));
    settings->addStringsBef = 9;   // unknown codes add nothing
    settings->addStringsAft = -1;
    EXPECT_TRUE(composesTo(compose(temp.path(), L"report.txt", ItemFile, OutputCopyOrRename, *settings),
                           temp / L"abreport_c.txt"));
}

TEST(NamingSerialScan, EntryNameRule)
{
    struct Row { const wchar_t* name; const wchar_t* prefix; const wchar_t* suffix; int zero;
                 bool counts; long long value; };
    const Row rows[] = {
        {L"report_1.txt", L"report_", L".txt", 1, true, 1},
        {L"REPORT_10.TXT", L"report_", L".txt", 1, true, 10},
        {L"report_0.txt", L"report_", L".txt", 1, true, 0},
        {L"report_007.txt", L"report_", L".txt", 1, false, 0},
        {L"report_007.txt", L"report_", L".txt", 3, true, 7},
        {L"report_0007.txt", L"report_", L".txt", 3, false, 0},
        {L"report_1234.txt", L"report_", L".txt", 3, true, 1234},
        {L"report_12.txt", L"report_", L".txt", 3, false, 0},
        {L"report_.txt", L"report_", L".txt", 1, false, 0},
        {L"report_x.txt", L"report_", L".txt", 1, false, 0},
        {L"report_1a.txt", L"report_", L".txt", 1, false, 0},
        {L"report_ 1.txt", L"report_", L".txt", 1, false, 0},
        {L"report_１.txt", L"report_", L".txt", 1, false, 0},           // full-width digit
        {L"report_1.txt.bak", L"report_", L".txt", 1, false, 0},
        {L"xreport_1.txt", L"report_", L".txt", 1, false, 0},
        {L"report_ä1.txt", L"report_Ä", L".txt", 1, false, 0},         // ASCII case only
        {L"report_Ä1.txt", L"report_Ä", L".txt", 1, true, 1},
        {L"42", L"", L"", 1, true, 42},
        {L"9223372036854775807", L"", L"", 1, true, kMaxSerial},
        {L"9999999999999999999", L"", L"", 1, true, kMaxSerial},
        {L"99999999999999999999999", L"", L"", 1, true, kMaxSerial},
        {L".", L"", L"", 1, false, 0},
        {L"..", L"", L"", 1, false, 0},
        {L"0000000000000000007", L"", L"", 19, true, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.name) + " / " + utf8(row.prefix) + " / " + utf8(row.suffix) +
                     " / Z=" + std::to_string(row.zero));
        long long value = -1;
        EXPECT_EQ(row.counts, serialOfEntryName(row.name, row.prefix, row.suffix, row.zero, &value));
        if (row.counts) { EXPECT_EQ(row.value, value); }
    }
}

TEST(NamingSerialScan, RealFolders)
{
    struct Row { const char* what; std::vector<std::wstring> entries; const wchar_t* prefix;
                 const wchar_t* suffix; int zero; int result; long long next; };
    const Row rows[] = {
        {"empty folder", {}, L"report_", L".txt", 1, NamingOk, 1},
        {"middle 0 counts as 0", {L"report_0.txt"}, L"report_", L".txt", 1, NamingOk, 1},
        {"folders count like files", {L"report_4.txt\\", L"report_2.txt"}, L"report_", L".txt", 1, NamingOk, 5},
        {"ASCII case only", {L"report_ä1.txt"}, L"report_Ä", L".txt", 1, NamingOk, 1},
        {"19 nines overflow", {L"report_9999999999999999999.txt"}, L"report_", L".txt", 1, SerialOverflow, -1},
        {"the largest number overflows", {L"report_9223372036854775807.txt"}, L"report_", L".txt", 1,
         SerialOverflow, -1},
        {"one below the largest", {L"report_9223372036854775806.txt"}, L"report_", L".txt", 1, NamingOk,
         kMaxSerial},
        {"archives: only .zip names", {L"Project_1.zip", L"Project_7\\", L"Project_9.ZIP.txt"}, L"Project_",
         L".zip", 1, NamingOk, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder temp;
        createEntries(temp, row.entries);
        int result = -1;
        long long next = nextSerial(temp, row.prefix, row.suffix, row.zero, &result);
        EXPECT_EQ(row.result, result);
        if (row.result == NamingOk) { EXPECT_EQ(row.next, next); }
    }
}

TEST(NamingSerialScan, FolderThatCannotBeListed)
{
    TempFolder temp;
    long long next = -1;
    EXPECT_EQ(SerialOverflow, findNextSerial((temp / L"missing\\").c_str(), L"a", L"", 1, &next));
    ASSERT_TRUE(writeEmptyFile(temp / L"file"));
    EXPECT_EQ(SerialOverflow, findNextSerial((temp / L"file\\").c_str(), L"a", L"", 1, &next));
}

TEST(NamingSerialScan, ListingFailures)
{
    // An empty volume root lists as file-not-found although it exists: numbering starts at 1.
    struct Row { DWORD error; bool exists; int result; };
    const Row rows[] = {
        {ERROR_FILE_NOT_FOUND, true, NamingOk},
        {ERROR_FILE_NOT_FOUND, false, SerialOverflow},
        {ERROR_PATH_NOT_FOUND, false, SerialOverflow},
        {ERROR_ACCESS_DENIED, true, SerialOverflow},
        {ERROR_NOT_READY, true, SerialOverflow},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.error << (row.exists ? " exists" : " missing"));
        long long next = -1;
        EXPECT_EQ(row.result, serialAfterFailedListing(row.error, row.exists, &next));
        if (row.result == NamingOk) { EXPECT_EQ(1, next); }
    }
}

TEST(NamingSerialScan, OverflowFailsTheComposition)
{
    FixedClock clock;
    TempFolder temp;
    createEntries(temp, {L"report_9999999999999999999.txt"});
    auto settings = defaultNaming();
    settings->addStringsAft = AddSerial;
    Composed c = compose(temp.path(), L"report.txt", ItemFile, OutputCopyOrRename, *settings);
    EXPECT_EQ(SerialOverflow, c.result);
    EXPECT_EQ(L"", c.path);
}

TEST(NamingSerialScan, SerialTextAndZeroSuppressOutsideItsRange)
{
    struct Row { long long value; int zero; const wchar_t* text; };
    const Row rows[] = {
        {7, 1, L"7"}, {7, 3, L"007"}, {1234, 3, L"1234"}, {1, 19, L"0000000000000000001"},
        {7, 0, L"7"}, {7, -4, L"7"}, {7, 500, L"0000000000000000007"},
        {kMaxSerial, 19, L"9223372036854775807"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.value << " Z=" << row.zero);
        wchar_t out[kAddedStringChars];
        EXPECT_EQ(0, formatSerial(row.value, row.zero, out, kAddedStringChars));
        EXPECT_STREQ(row.text, out);
    }
    // A hand-edited record that escaped the reader's clamping still gives short added strings.
    FixedClock clock;
    TempFolder temp;
    auto settings = defaultNaming();
    settings->addStringsBef = AddDateSerial;
    settings->addStringsAft = AddSerial;
    settings->zeroSuppress = 100000;
    PathParts parts;
    ASSERT_EQ(0, splitPath((temp / L"a.txt").c_str(), false, &parts));
    SYSTEMTIME now = moment(2024, 3, 5, 14, 7, 9);
    AddedStrings added;
    ASSERT_EQ(NamingOk, makeAddedStrings(temp.path().c_str(), &parts, ItemFile, OutputCopyOrRename,
                                         settings.get(), &now, &added));
    EXPECT_STREQ(L"20240305_0000000000000000001", added.before);
    EXPECT_STREQ(L"0000000000000000001", added.after);
}

TEST(NamingLength, ExactLimitPassesAndOneMoreShowsTheMessage)
{
    FixedClock clock;
    TempFolder temp;
    auto settings = defaultNaming();
    const size_t folderLength = temp.path().size();
    struct Row { const char* what; ItemKind kind; OutputKind output; size_t fixedChars;
                 const wchar_t* ext; size_t target; bool passes; };
    // Fixed characters besides the name: "_" + 15 of date-time, plus extension, "\" or ".zip".
    const Row rows[] = {
        {"file of 259", ItemFile, OutputCopyOrRename, 16 + 4, L".txt", 259, true},
        {"file of 260", ItemFile, OutputCopyOrRename, 16 + 4, L".txt", 260, false},
        {"folder of 247", ItemFolder, OutputCopyOrRename, 16 + 1, L"", 247, true},
        {"folder of 248", ItemFolder, OutputCopyOrRename, 16 + 1, L"", 248, false},
        {"folder archive of 259", ItemFolder, OutputArchive, 16 + 4, L"", 259, true},
        {"file archive of 260", ItemFile, OutputArchive, 16 + 4 + 4, L".txt", 260, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::wstring name(row.target - folderLength - row.fixedChars, L'n');
        Composed c = compose(temp.path(), name + row.ext, row.kind, row.output, *settings);
        ASSERT_EQ(NamingOk, c.result);
        ASSERT_EQ(row.target, c.length);
        ASSERT_EQ(row.target, c.path.size());
        MessageRecorder messages;
        EXPECT_EQ(row.passes ? 0 : -1,
                  checkNewPathLength(c.path.c_str(), c.length, row.kind, row.output, UiEnglish));
        if (row.passes) {
            EXPECT_TRUE(messages.shown().empty());
            continue;
        }
        ASSERT_EQ(1u, messages.shown().size());
        const size_t limit = newPathLimit(row.kind, row.output);
        const std::wstring expected = L"The path of the output file exceeds maximum value(" +
            std::to_wstring(limit) + L" characters).\n\n" + c.path + L" (" +
            std::to_wstring(row.target) + L" characters)";
        EXPECT_EQ(expected, messages.shown()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_TOPMOST), messages.shown()[0].style);
        EXPECT_EQ(L"VantrelUnit", messages.shown()[0].title);
    }
}

TEST(NamingLength, OverlongCompositionNeverWritesPastItsBuffer)
{
    FixedClock clock;
    TempFolder temp;
    auto settings = defaultNaming();
    const std::wstring filler(290, L'p');
    wcscpy(settings->prefixBef1, filler.c_str());
    wcscpy(settings->prefixBef2, filler.c_str());
    wcscpy(settings->prefixAft2, filler.c_str());
    PathParts parts;
    ASSERT_EQ(0, splitPath((temp / (std::wstring(200, L'n') + L".txt")).c_str(), false, &parts));
    wchar_t out[kPathChars + 8];
    wmemset(out, L'#', kPathChars + 8);
    size_t length = 0;
    ASSERT_EQ(NamingOk, composeBackupPath(temp.path().c_str(), &parts, ItemFile, OutputCopyOrRename,
                                          settings.get(), out, kPathChars, &length));
    EXPECT_EQ(temp.path().size() + 3 * 290 + 200 + 16 + 4, length);
    EXPECT_EQ(kPathChars - 1, wcslen(out));
    for (size_t i = kPathChars; i < kPathChars + 8; ++i) ASSERT_EQ(L'#', out[i]);

    // The Japanese message names the Japanese limit and the full length.
    MessageRecorder messages;
    EXPECT_EQ(-1, checkNewPathLength(out, length, ItemFile, OutputCopyOrRename, UiJapanese));
    ASSERT_EQ(1u, messages.shown().size());
    EXPECT_EQ(0u, messages.shown()[0].text.find(L"出力ファイルのパスが最大値(259文字)を超えています。\n\n"));
    const std::wstring tail = L" (" + std::to_wstring(length) + L"文字)";
    EXPECT_EQ(messages.shown()[0].text.size() - tail.size(), messages.shown()[0].text.rfind(tail));
}

TEST(NamingCollision, FreePathGoesOnAtOnce)
{
    TempFolder temp;
    SleepRecorder sleeps;
    auto settings = defaultNaming();
    int collisions = 0;
    EXPECT_EQ(CollisionFree, applyCollisionRule((temp / L"free.txt").c_str(), &collisions, settings.get()));
    EXPECT_EQ(0, collisions);
    EXPECT_TRUE(g_sleeps.empty());
}

TEST(NamingCollision, SixtyRetriesThenTheMessage)
{
    struct Row { const char* what; int before; int after; bool waits; };
    const Row rows[] = {
        {"after date-time", 0, 1, true},
        {"before date-time", 1, 0, true},
        {"date and serial never wait", 2, 4, false},
        {"serial never waits", 0, 4, false},
    };
    TempFolder temp;
    const std::wstring taken = temp / L"taken_1.txt";
    ASSERT_TRUE(writeEmptyFile(taken));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SleepRecorder sleeps;
        MessageRecorder messages;
        auto settings = defaultNaming();
        settings->addStringsBef = row.before;
        settings->addStringsAft = row.after;
        int collisions = 0;
        for (int i = 1; i <= kMaxCollisions; ++i) {
            ASSERT_EQ(CollisionRetry, applyCollisionRule(taken.c_str(), &collisions, settings.get()));
            ASSERT_EQ(i, collisions);
        }
        EXPECT_TRUE(messages.shown().empty());
        EXPECT_EQ(CollisionGiveUp, applyCollisionRule(taken.c_str(), &collisions, settings.get()));
        EXPECT_EQ(std::vector<DWORD>(row.waits ? 60 : 0, 1000), g_sleeps);
        ASSERT_EQ(1u, messages.shown().size());
        EXPECT_EQ(L"The same name of the file to the backup destination already exists.\n\n" + taken,
                  messages.shown()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_TOPMOST), messages.shown()[0].style);
    }
}

TEST(NamingCollision, SecondRunInTheSameSecondGetsTheNextSecond)
{
    // The loop a core action runs: compose, check the length, apply the collision rule.
    FixedClock clock;
    SleepRecorder sleeps(sleepAndAdvance);
    TempFolder temp;
    auto settings = defaultNaming();
    ASSERT_TRUE(writeEmptyFile(temp / L"report_20240305_140709.txt"));
    int collisions = 0;
    Composed c;
    int step;
    do {
        c = compose(temp.path(), L"report.txt", ItemFile, OutputCopyOrRename, *settings);
        ASSERT_EQ(NamingOk, c.result);
        ASSERT_EQ(0, checkNewPathLength(c.path.c_str(), c.length, ItemFile, OutputCopyOrRename, UiEnglish));
        step = applyCollisionRule(c.path.c_str(), &collisions, settings.get());
    } while (step == CollisionRetry);
    EXPECT_EQ(CollisionFree, step);
    EXPECT_EQ(temp / L"report_20240305_140710.txt", c.path);
    EXPECT_EQ(1, collisions);
    EXPECT_EQ(std::vector<DWORD>{1000}, g_sleeps);
}

TEST(NamingMessages, SerialOverflowText)
{
    MessageRecorder messages;
    showSerialOverflowMessage(UiEnglish);
    showSerialOverflowMessage(UiJapanese);
    ASSERT_EQ(2u, messages.shown().size());
    EXPECT_EQ(L"The serial number has exceeded the maximum value(9223372036854775807).",
              messages.shown()[0].text);
    EXPECT_EQ(L"連番が最大値(9223372036854775807)を超えました。", messages.shown()[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_TOPMOST), messages.shown()[1].style);
}
