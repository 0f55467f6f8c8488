// "KeepBackups" end to end: the four backup commands with the real shell operation under Wine,
// whose Recycle Bin is the freedesktop trash below XDG_DATA_HOME (inside the test prefix):
// moved backups are looked up there by the original path in their ".trashinfo" record. Only
// backups that the commands recorded making of the very item go there; the older backups of
// each test are made by runs of the commands, never by the test.
#include "e2e_support.h"

#include <functional>
#include <set>

namespace e2e {
namespace {

constexpr const wchar_t* kHereProgram = L"TazuHere.exe";
constexpr const wchar_t* kThereProgram = L"TazuThere.exe";
constexpr const wchar_t* kHereZipProgram = L"TazuHereZip.exe";
constexpr const wchar_t* kThereZipProgram = L"TazuThereZip.exe";
constexpr const wchar_t* kRecordFile = L"tazu_backups_made.txt";

// Names (relative to the folder) of what went to the Recycle Bin from below it.
std::set<std::string> recycledNames(const std::wstring& folder)
{
    std::set<std::string> names;
    for (const auto& entry : recycledFrom(folder)) names.insert(entry.first);
    return names;
}

// Starts a program of the machine below Wine and waits until `done` says that it did its work:
// Wine gives no handle to wait on for such a program.
bool runUnixProgram(const std::wstring& program, const std::wstring& arguments, const std::function<bool()>& done)
{
    std::wstring commandLine = program + L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring windowsProgram = L"Z:" + program;
    for (wchar_t& c : windowsProgram) c = c == L'/' ? L'\\' : c;
    if (!CreateProcessW(windowsProgram.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return driver::waitUntil(done, 10000, 50);
}

// A Windows path's Unix path, quoted for the command line of a program below Wine.
std::wstring quotedUnix(const std::wstring& path)
{
    return L"\"" + widen(unixPathOf(path)) + L"\"";
}

// Sets or clears the file system's immutable flag with "chattr": a file that not even its owner
// may change, move or delete, as a read-only file or folder is on Windows (Wine as root ignores
// the read-only attribute). Returns true when it took effect.
bool setImmutable(const std::wstring& path, bool on)
{
    auto writable = [&] {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    };
    return runUnixProgram(L"/usr/bin/chattr", std::wstring(on ? L"+i " : L"-i ") + quotedUnix(path),
                          [&] { return writable() != on; });
}

class KeepBackupsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(recycleBin().empty()) << "XDG_DATA_HOME does not name the test prefix's trash";
        ASSERT_TRUE(makeSandbox(&sandbox, kHereProgram));
        wchar_t bin[MAX_PATH] = L"";
        ASSERT_TRUE(GetEnvironmentVariableW(L"VANTREL_BIN_DIR", bin, MAX_PATH));
        for (const wchar_t* name : {kThereProgram, kHereZipProgram, kThereZipProgram, L"7-zip32.dll"}) {
            std::wstring source = std::wstring(bin) + L"\\" + name;
            ASSERT_TRUE(CopyFileW(source.c_str(), (sandbox.programFolder + name).c_str(), FALSE)) << narrow(source);
        }
    }

    void TearDown() override
    {
        for (const std::wstring& path : unlock) setImmutable(path, false);
        for (const std::wstring& link : links) runUnixProgram(L"/bin/rm", quotedUnix(link), [&] { return !exists(link); });
        EXPECT_TRUE(removeSandbox(&sandbox));
    }

    // Serial numbers after "_", the given number kept, English; the result window waits for
    // "Close", so that a test reads it and ends the run at once.
    ::testing::AssertionResult settings(int keep, std::map<std::wstring, std::wstring> keys = {})
    {
        keys.emplace(L"Lang", L"en");
        keys.emplace(L"AutoClose", L"0");
        keys.emplace(L"AddStringsAft", L"4");
        keys.emplace(L"PrefixAft1", L"_");
        keys[L"KeepBackups"] = std::to_wstring(keep);
        return writeSettings(sandbox, keys);
    }

    std::wstring file(const std::wstring& relative, const std::string& bytes)
    {
        std::wstring path = sandbox.data + relative;
        makeFolders(path.substr(0, path.find_last_of(L'\\')));
        EXPECT_TRUE(writeFile(path, bytes)) << narrow(path);
        return path;
    }

    std::wstring folder(const std::wstring& relative, const std::string& innerBytes)
    {
        std::wstring path = sandbox.data + relative;
        EXPECT_TRUE(makeFolders(path) && writeFile(path + L"\\inner.txt", innerBytes)) << narrow(path);
        return path;
    }

    // One run to its end with the given status; the result window's names line and the text of
    // its first tooltip, read before it is closed.
    ::testing::AssertionResult runToEnd(const wchar_t* program, const std::wstring& tail, const wchar_t* status,
                                        std::wstring* names = nullptr, std::wstring* tip = nullptr)
    {
        driver::Program* running = nullptr;
        auto started = run(&sandbox, program, tail, &running);
        if (!started) return started;
        HWND result = findResultWindow(*running, 20000);
        if (!result) return ::testing::AssertionFailure() << "no result window";
        auto shown = waitForStatus(result, status, 30000);
        if (!shown) return shown;
        if (names) *names = driver::controlText(result, kNamesId);
        if (tip) {
            HWND tooltip = driver::tooltipOf(running->id);
            *tip = tooltip ? driver::toolText(running->id, tooltip, result, 1) : L"";
        }
        return closeAndEnd(*running, result);
    }

    // Closes a finished run's result window and waits for the program's end.
    ::testing::AssertionResult closeAndEnd(const driver::Program& program, HWND result)
    {
        if (!driver::waitUntil([&] { return IsWindowVisible(GetDlgItem(result, kCloseId)) != FALSE; }, 10000))
            return ::testing::AssertionFailure() << "no Close control";
        driver::clickChild(result, kCloseId);
        return endsWith(program, 0, 15000);
    }

    ::testing::AssertionResult backUp(const wchar_t* program, const std::wstring& item)
    {
        return runToEnd(program, inQuotes(item), L"Success.");
    }

    Sandbox sandbox;
    std::vector<std::wstring> unlock;
    std::vector<std::wstring> links;
};

TEST_F(KeepBackupsTest, FiveSerialBackupsLeaveTheThreeNewestAndTheOthersInTheRecycleBin)
{
    ASSERT_TRUE(settings(3));
    std::wstring item = file(L"report.txt", "report bytes");
    // A near miss, the user's own file and a backup made under other settings.
    file(L"report_007.txt", "leading zero");
    file(L"report_old.txt", "the user's own");
    file(L"report_20240305_140709.txt", "date and time");

    for (int run = 1; run <= 4; ++run) {
        SCOPED_TRACE(run);
        ASSERT_TRUE(backUp(kHereProgram, item));
    }
    std::wstring names, tip;
    ASSERT_TRUE(runToEnd(kHereProgram, inQuotes(item), L"Success.", &names, &tip));

    EXPECT_EQ((std::vector<std::wstring>{L"report.txt", L"report_007.txt", L"report_20240305_140709.txt",
                                         L"report_3.txt", L"report_4.txt", L"report_5.txt", L"report_old.txt"}),
              namesIn(sandbox.data));
    auto recycled = recycledFrom(sandbox.data);
    ASSERT_EQ(2u, recycled.size());
    for (const char* name : {"report_1.txt", "report_2.txt"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(recycled.count(name));
        std::string bytes;
        EXPECT_TRUE(readFile(recycleBin() + L"files\\" + recycled[name], &bytes));
        EXPECT_EQ("report bytes", bytes);
    }
    EXPECT_EQ(L"[report.txt (1 older to Recycle Bin)]", names);
    EXPECT_EQ(item + L"\r\nreport.txt: 1 older backup(s) went to the Recycle Bin.", tip);
}

// An older backup that cannot be moved (the file system refuses it) cannot go to the Recycle
// Bin: the shell asks whether to delete it for good instead (Wine asks for each such item;
// Windows reports the refusal), the user declines, the clean-up stops there and says so, and the
// backup itself stays a success.
TEST_F(KeepBackupsTest, AnOlderBackupThatCannotBeMovedStopsTheCleanUpButNotTheRun)
{
    ASSERT_TRUE(settings(0));
    std::wstring item = file(L"report.txt", "report bytes");
    ASSERT_TRUE(backUp(kHereProgram, item));
    ASSERT_TRUE(backUp(kHereProgram, item));
    const std::wstring locked = sandbox.data + L"report_1.txt";
    unlock.push_back(locked);
    if (!setImmutable(locked, true)) GTEST_SKIP() << "the file system here keeps no immutable flag";

    ASSERT_TRUE(settings(1));
    driver::Program* program = nullptr;
    ASSERT_TRUE(run(&sandbox, kHereProgram, inQuotes(item), &program));
    // The shell's question: a dialog of the process with a "No" button.
    HWND question = nullptr;
    driver::waitUntil([&] {
        for (HWND window : driver::windowsOf(program->id))
            if (driver::className(window) == L"#32770" && GetDlgItem(window, IDNO)) question = window;
        return question != nullptr;
    }, 20000);
    ASSERT_TRUE(question) << "the shell did not ask before deleting for good";
    ASSERT_TRUE(driver::pressButton(question, IDNO));

    HWND result = findResultWindow(*program, 20000);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 30000));
    EXPECT_EQ(L"[report.txt (clean-up stopped)]", driver::controlText(result, kNamesId));
    HWND tooltip = driver::tooltipOf(program->id);
    ASSERT_TRUE(tooltip);
    EXPECT_EQ(item + L"\r\nreport.txt: could not move report_1.txt to the Recycle Bin; the clean-up of older backups "
                     L"stopped (2 kept).",
              driver::toolText(program->id, tooltip, result, 1));
    EXPECT_TRUE(closeAndEnd(*program, result));

    // The oldest stopped it, so the one after it was not even tried.
    EXPECT_EQ((std::vector<std::wstring>{L"report.txt", L"report_1.txt", L"report_2.txt", L"report_3.txt"}),
              namesIn(sandbox.data));
    EXPECT_TRUE(recycledFrom(sandbox.data).empty());
}

TEST_F(KeepBackupsTest, EachBackupCommandKeepsExactlyTheNewestInAFolderWithDecoys)
{
    struct Row {
        const char* label;
        const wchar_t* program;
        bool folderItem;
        bool toBackupFolder;          // TazuThere and TazuThereZip: into "Path"
        const wchar_t* backupSuffix;  // after the serial number
    };
    const Row rows[] = {
        {"TazuHere, a file", kHereProgram, false, false, L".txt"},
        {"TazuHere, a folder", kHereProgram, true, false, L""},
        {"TazuThere, a file", kThereProgram, false, true, L".txt"},
        {"TazuHereZip, a folder", kHereZipProgram, true, false, L".zip"},
        {"TazuThereZip, a file", kThereZipProgram, false, true, L".txt.zip"},
    };
    int row = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        const std::wstring base = L"item" + std::to_wstring(++row);
        const std::wstring itemFolder = sandbox.data + base + L"_src\\";
        const std::wstring destination = r.toBackupFolder ? sandbox.data + base + L"_backups\\" : itemFolder;
        ASSERT_TRUE(makeFolders(itemFolder) && makeFolders(destination));
        std::wstring item = r.folderItem ? folder(base + L"_src\\" + base, "inner") : file(base + L"_src\\" + base + L".txt", "item bytes");
        auto backupName = [&](const std::wstring& serial) { return base + L"_" + serial + r.backupSuffix; };
        // Decoys of other shapes.
        const std::vector<std::wstring> decoys = {base + L"_old" + r.backupSuffix, base + L"_04" + r.backupSuffix,
                                                  base + L"x_5" + r.backupSuffix};
        for (const std::wstring& decoy : decoys) ASSERT_TRUE(writeFile(destination + decoy, "decoy"));
        ASSERT_TRUE(settings(2, {{L"Path", destination}}));

        for (int run = 1; run <= 3; ++run) ASSERT_TRUE(backUp(r.program, item)) << run;

        std::set<std::wstring> expected(decoys.begin(), decoys.end());
        expected.insert(backupName(L"2"));
        expected.insert(backupName(L"3"));
        if (!r.toBackupFolder) expected.insert(base + (r.folderItem ? L"" : L".txt"));
        std::vector<std::wstring> left = namesIn(destination);
        EXPECT_EQ(expected, std::set<std::wstring>(left.begin(), left.end()));
        EXPECT_EQ(std::set<std::string>{narrow(backupName(L"1"))}, recycledNames(destination));
    }
}

// TazuThere and TazuThereZip put items of many folders into one: items of the same name are
// still different items, and so are a file copy and a folder archive of the same name.
TEST_F(KeepBackupsTest, ItemsOfTheSameNameKeepOnlyTheirOwnBackups)
{
    const std::wstring destination = sandbox.data + L"backups\\";
    ASSERT_TRUE(makeFolders(destination));
    ASSERT_TRUE(settings(1, {{L"Path", destination}}));

    // Two README.md files in one Send To run.
    const std::wstring readmeA = file(L"ProjA\\README.md", "A");
    const std::wstring readmeB = file(L"ProjB\\README.md", "B");
    ASSERT_TRUE(runToEnd(kThereProgram, inQuotes(readmeA) + L" " + inQuotes(readmeB), L"Success."));
    EXPECT_EQ((std::vector<std::wstring>{L"README_1.md", L"README_2.md"}), namesIn(destination));

    // Folders of the same name, one after the other.
    const std::wstring srcA = folder(L"ProjA\\src", "A");
    const std::wstring srcB = folder(L"ProjB\\src", "B");
    for (const std::wstring* item : {&srcA, &srcB, &srcA, &srcB}) ASSERT_TRUE(backUp(kThereProgram, *item));

    // A file proj.zip copied, a folder proj archived: both give "proj_<n>.zip".
    const std::wstring projZip = file(L"ProjA\\proj.zip", "not really a zip");
    const std::wstring proj = folder(L"ProjB\\proj", "B");
    ASSERT_TRUE(backUp(kThereProgram, projZip));
    ASSERT_TRUE(backUp(kThereZipProgram, proj));
    ASSERT_TRUE(backUp(kThereProgram, projZip));
    ASSERT_TRUE(backUp(kThereZipProgram, proj));

    EXPECT_EQ((std::vector<std::wstring>{L"README_1.md", L"README_2.md", L"proj_3.zip", L"proj_4.zip", L"src_3",
                                         L"src_4"}),
              namesIn(destination));
    std::string bytes;
    EXPECT_TRUE(readFile(destination + L"src_3\\inner.txt", &bytes) && bytes == "A");
    EXPECT_TRUE(readFile(destination + L"src_4\\inner.txt", &bytes) && bytes == "B");
    EXPECT_TRUE(readFile(destination + L"proj_3.zip", &bytes) && bytes == "not really a zip");
    EXPECT_TRUE(readFile(destination + L"proj_4.zip", &bytes) && bytes.compare(0, 2, "PK") == 0);
    // In the bin: each item's own older backup, A's folder and the file's copy among them.
    auto recycled = recycledFrom(destination);
    EXPECT_EQ((std::set<std::string>{"proj_1.zip", "proj_2.zip", "src_1", "src_2"}), recycledNames(destination));
    if (recycled.count("src_1")) {
        EXPECT_TRUE(readFile(recycleBin() + L"files\\" + recycled["src_1"] + L"\\inner.txt", &bytes) && bytes == "A");
    }
    if (recycled.count("proj_1.zip")) {
        EXPECT_TRUE(readFile(recycleBin() + L"files\\" + recycled["proj_1.zip"], &bytes) && bytes == "not really a zip");
    }
}

// Names of the shape of backups that the user made, or that backups of other settings have,
// are the user's: the clean-up never looks at names.
TEST_F(KeepBackupsTest, TheUsersOwnFilesOfABackupsShapeStay)
{
    const struct {
        const char* label;
        std::map<std::wstring, std::wstring> keys;
        const wchar_t* own;
    } rows[] = {
        {"date before the name", {{L"AddStringsBef", L"2"}, {L"PrefixBef2", L"_"}, {L"AddStringsAft", L"0"}, {L"PrefixAft1", L""}},
         L"20240312_report.xlsx"},
        {"serial number without texts", {{L"PrefixAft1", L""}}, L"report2.xlsx"},
        {"a date read as a serial number", {}, L"report_20240312.xlsx"},
    };
    int row = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        const std::wstring where = L"row" + std::to_wstring(++row) + L"\\";
        const std::wstring item = file(where + L"report.xlsx", "sheet");
        file(where + r.own, "the user's own");
        ASSERT_TRUE(settings(1, r.keys));
        ASSERT_TRUE(backUp(kHereProgram, item));
        std::string bytes;
        EXPECT_TRUE(readFile(sandbox.data + where + r.own, &bytes) && bytes == "the user's own");
        EXPECT_TRUE(recycledFrom(sandbox.data + where).empty());
    }
}

// Runs of one item started at once take turns: every "Success." has its backup, complete, in
// the folder or as an older backup in the bin, and nothing else leaves the folder.
TEST_F(KeepBackupsTest, ConcurrentRunsOfOneItemEachLeaveACompleteBackup)
{
    const struct {
        const char* label;
        bool folderItem;
        int keep;
    } rows[] = {{"file, keep 1", false, 1}, {"file, keep 2", false, 2}, {"folder, keep 1", true, 1}, {"folder, keep 2", true, 2}};
    constexpr int kRuns = 4;
    constexpr int kRounds = 2;
    int row = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        const std::wstring where = sandbox.data + L"row" + std::to_wstring(++row) + L"\\";
        const std::wstring item = r.folderItem ? folder(where.substr(sandbox.data.size()) + L"proj", std::string(200000, 'p'))
                                               : file(where.substr(sandbox.data.size()) + L"report.txt", std::string(200000, 'r'));
        const std::wstring name = r.folderItem ? L"proj" : L"report";
        const std::wstring suffix = r.folderItem ? L"" : L".txt";
        ASSERT_TRUE(settings(r.keep));
        for (int round = 1; round <= kRounds; ++round) {
            SCOPED_TRACE(round);
            std::vector<driver::Program*> programs(kRuns, nullptr);
            for (int i = 0; i < kRuns; ++i) ASSERT_TRUE(run(&sandbox, kHereProgram, inQuotes(item), &programs[i]));
            for (driver::Program* program : programs) {
                HWND result = findResultWindow(*program, 30000);
                ASSERT_TRUE(result);
                EXPECT_TRUE(waitForStatus(result, L"Success.", 60000));
                EXPECT_TRUE(closeAndEnd(*program, result));
            }
            const int made = round * kRuns;
            std::set<std::wstring> expected = {name + suffix};
            for (int serial = made - r.keep + 1; serial <= made; ++serial)
                expected.insert(name + L"_" + std::to_wstring(serial) + suffix);
            std::vector<std::wstring> left = namesIn(where);
            EXPECT_EQ(expected, std::set<std::wstring>(left.begin(), left.end()));
            std::set<std::string> older;
            for (int serial = 1; serial <= made - r.keep; ++serial)
                older.insert(narrow(name + L"_" + std::to_wstring(serial) + suffix));
            auto recycled = recycledFrom(where);
            EXPECT_EQ(older, recycledNames(where));
            for (const auto& entry : recycled) {
                SCOPED_TRACE(entry.first);
                const std::wstring inBin = recycleBin() + L"files\\" + entry.second;
                if (r.folderItem) EXPECT_TRUE(sameTree(item, inBin));
                else {
                    std::string bytes;
                    EXPECT_TRUE(readFile(inBin, &bytes) && bytes == std::string(200000, 'r'));
                }
            }
        }
    }
}

// A link named like a backup is never ours: neither it nor what it leads to goes anywhere.
TEST_F(KeepBackupsTest, ALinkNamedLikeABackupAndWhatItLeadsToStay)
{
    const std::wstring item = folder(L"work\\report", "item");
    const std::wstring elsewhere = folder(L"elsewhere", "someone's work");
    const std::wstring link = sandbox.data + L"work\\report_1";
    if (unixPathOf(item).empty()) GTEST_SKIP() << "not under Wine: no link of the machine below";
    links.push_back(link);
    ASSERT_TRUE(runUnixProgram(L"/bin/ln", L"-s " + quotedUnix(elsewhere) + L" " + quotedUnix(link),
                               [&] { return exists(link); }));
    ASSERT_TRUE(settings(1));
    ASSERT_TRUE(backUp(kHereProgram, item));
    ASSERT_TRUE(backUp(kHereProgram, item));

    EXPECT_EQ((std::vector<std::wstring>{L"report", L"report_1", L"report_3"}), namesIn(sandbox.data + L"work\\"));
    EXPECT_EQ(std::set<std::string>{"report_2"}, recycledNames(sandbox.data + L"work\\"));
    std::string bytes;
    EXPECT_TRUE(readFile(link + L"\\inner.txt", &bytes) && bytes == "someone's work");
    EXPECT_TRUE(readFile(elsewhere + L"\\inner.txt", &bytes) && bytes == "someone's work");
}

// Two items of one run, one named like the other's backup: the first item's clean-up never
// takes the second item.
TEST_F(KeepBackupsTest, AnItemNamedLikeAnotherItemsBackupInTheSameRunStays)
{
    const std::wstring r = file(L"r.txt", "r");
    const std::wstring r1 = file(L"r_1.txt", "r1");
    ASSERT_TRUE(settings(1));
    for (int run = 1; run <= 2; ++run)
        ASSERT_TRUE(runToEnd(kHereProgram, inQuotes(r) + L" " + inQuotes(r1), L"Success.")) << run;
    EXPECT_EQ((std::vector<std::wstring>{L"r.txt", L"r_1.txt", L"r_1_2.txt", L"r_3.txt"}), namesIn(sandbox.data));
    EXPECT_EQ((std::set<std::string>{"r_1_1.txt", "r_2.txt"}), recycledNames(sandbox.data));
    std::string bytes;
    EXPECT_TRUE(readFile(r1, &bytes) && bytes == "r1");
}

// In a folder whose names differ by case (as Linux folders, and case-sensitive folders of
// Windows, allow), Report.txt and report.txt are two items with their own backups.
TEST_F(KeepBackupsTest, InACaseSensitiveFolderItemsThatDifferByCaseKeepTheirOwn)
{
    const std::wstring upper = file(L"cs\\Report.txt", "upper");
    const std::wstring lower = sandbox.data + L"cs\\report.txt";
    // Wine opens names without regard to case: the second name is made below it, in the
    // case-sensitive folder of the machine.
    const std::string folderBelow = unixPathOf(sandbox.data + L"cs");
    if (folderBelow.empty()) GTEST_SKIP() << "not under Wine: no case-sensitive folder below";
    ASSERT_TRUE(runUnixProgram(L"/bin/cp", quotedUnix(upper) + L" \"" + widen(folderBelow) + L"/report.txt\"",
                               [&] { return namesIn(sandbox.data + L"cs\\").size() == 2; }));
    ASSERT_EQ((std::vector<std::wstring>{L"Report.txt", L"report.txt"}), namesIn(sandbox.data + L"cs\\"));

    ASSERT_TRUE(settings(1));
    for (const std::wstring* item : {&upper, &lower, &upper, &lower}) ASSERT_TRUE(backUp(kHereProgram, *item));
    EXPECT_EQ((std::vector<std::wstring>{L"Report.txt", L"Report_3.txt", L"report.txt", L"report_4.txt"}),
              namesIn(sandbox.data + L"cs\\"));
    EXPECT_EQ((std::set<std::string>{"Report_1.txt", "report_2.txt"}), recycledNames(sandbox.data + L"cs\\"));
}

// A backup renamed or edited since it was made is the user's now.
TEST_F(KeepBackupsTest, ARenamedAndAnEditedOlderBackupStay)
{
    const std::wstring item = file(L"report.txt", "report");
    ASSERT_TRUE(settings(0));
    for (int run = 1; run <= 3; ++run) ASSERT_TRUE(backUp(kHereProgram, item)) << run;
    ASSERT_TRUE(MoveFileW((sandbox.data + L"report_1.txt").c_str(), (sandbox.data + L"report_1 kept.txt").c_str()));
    ASSERT_TRUE(writeFile(sandbox.data + L"report_2.txt", "report, edited"));
    ASSERT_TRUE(settings(1));
    ASSERT_TRUE(backUp(kHereProgram, item));
    EXPECT_EQ((std::vector<std::wstring>{L"report.txt", L"report_1 kept.txt", L"report_2.txt", L"report_4.txt"}),
              namesIn(sandbox.data));
    EXPECT_EQ(std::set<std::string>{"report_3.txt"}, recycledNames(sandbox.data));
}

// A record of backups made that cannot be understood or written means no clean-up, said in the
// result window; the backup itself is a success, and the file stays as it was.
TEST_F(KeepBackupsTest, ARecordThatCannotBeUsedMeansNoCleanUpAndTheRunStaysGreen)
{
    const std::wstring item = file(L"report.txt", "report");
    const std::wstring record = sandbox.settingsFolder + kRecordFile;
    ASSERT_TRUE(settings(0));
    ASSERT_TRUE(backUp(kHereProgram, item));
    std::string recorded;
    ASSERT_TRUE(readFile(record, &recorded));

    const struct {
        const char* label;
        bool damaged;
        const wchar_t* sentence;
    } rows[] = {
        {"damaged", true, L"older backups stay: the record of backups made (%s) holds lines that cannot be read. Delete it to start a new record."},
        {"read-only", false, L"older backups stay: the record of backups made (%s) cannot be read or written."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        std::string before = recorded;
        if (r.damaged) {
            before += "this line is not a record\r\n";
            ASSERT_TRUE(writeFile(record, before));
        } else {
            ASSERT_TRUE(writeFile(record, before));
            unlock.push_back(record);
            if (!setImmutable(record, true)) GTEST_SKIP() << "the file system here keeps no immutable flag";
        }
        ASSERT_TRUE(settings(1));
        std::wstring names, tip;
        ASSERT_TRUE(runToEnd(kHereProgram, inQuotes(item), L"Success.", &names, &tip));
        EXPECT_EQ(L"[report.txt (no record: older kept)]", names);
        std::wstring sentence = r.sentence;
        sentence.replace(sentence.find(L"%s"), 2, record);
        EXPECT_EQ(item + L"\r\nreport.txt: " + sentence, tip);
        std::string after;
        EXPECT_TRUE(readFile(record, &after));
        EXPECT_EQ(before, after);
        EXPECT_TRUE(recycledFrom(sandbox.data).empty());
        if (!r.damaged) setImmutable(record, false);
    }
}

}  // namespace
}  // namespace e2e
