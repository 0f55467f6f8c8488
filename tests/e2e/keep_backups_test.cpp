// "KeepBackups" end to end: the four backup commands with the real shell operation under Wine,
// whose Recycle Bin is the freedesktop trash below XDG_DATA_HOME (inside the test prefix):
// moved backups are looked up there by the original path in their ".trashinfo" record.
#include "e2e_support.h"

#include <set>

namespace e2e {
namespace {

constexpr const wchar_t* kHereProgram = L"TazuHere.exe";
constexpr const wchar_t* kThereProgram = L"TazuThere.exe";
constexpr const wchar_t* kHereZipProgram = L"TazuHereZip.exe";
constexpr const wchar_t* kThereZipProgram = L"TazuThereZip.exe";

// Unix path of a Windows path, as Wine's trash records it.
std::string unixPathOf(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    char* unix = toUnix(path.c_str());
    if (!unix) return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::string percentDecoded(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Wine's Recycle Bin: "<XDG_DATA_HOME>\Trash\" as a Windows path.
std::wstring recycleBin()
{
    wchar_t dataHome[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"XDG_DATA_HOME", dataHome, MAX_PATH) || dataHome[0] != L'/') return L"";
    std::wstring bin = std::wstring(L"Z:") + dataHome + L"/Trash/";
    for (wchar_t& c : bin) c = c == L'/' ? L'\\' : c;
    return bin;
}

// Entries of the Recycle Bin that came from below a folder: original path -> name in "files".
std::map<std::string, std::wstring> recycledFrom(const std::wstring& folder)
{
    std::map<std::string, std::wstring> found;
    std::string below = unixPathOf(folder);
    if (below.empty()) return found;
    if (below.back() != '/') below += '/';
    const std::wstring info = recycleBin() + L"info\\";
    for (const std::wstring& name : namesIn(info)) {
        const std::wstring suffix = L".trashinfo";
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string record;
        if (!readFile(info + name, &record)) continue;
        size_t at = record.find("\nPath=");
        if (at == std::string::npos) continue;
        size_t end = record.find('\n', at + 1);
        std::string original = percentDecoded(record.substr(at + 6, end - at - 6));
        if (original.compare(0, below.size(), below) == 0)
            found[original.substr(below.size())] = name.substr(0, name.size() - suffix.size());
    }
    return found;
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
        // What this test put in the Recycle Bin goes with it.
        for (const auto& entry : recycledFrom(sandbox.data)) {
            removeTree(recycleBin() + L"files\\" + entry.second);
            DeleteFileW((recycleBin() + L"info\\" + entry.second + L".trashinfo").c_str());
        }
        EXPECT_TRUE(removeSandbox(&sandbox));
    }

    // Serial numbers after "_", the given number kept, English, auto close.
    ::testing::AssertionResult settings(int keep, std::map<std::wstring, std::wstring> keys = {})
    {
        keys.emplace(L"Lang", L"en");
        keys.emplace(L"AutoClose", L"1");
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

    // One run to its end with the given status; the result window's names line and the text of
    // its first tooltip, read before it closes (auto close must be off to read them).
    ::testing::AssertionResult runToEnd(const wchar_t* program, const std::wstring& item, const wchar_t* status,
                                        std::wstring* names = nullptr, std::wstring* tip = nullptr)
    {
        driver::Program* running = nullptr;
        auto started = run(&sandbox, program, inQuotes(item), &running);
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
        if (names || tip) driver::clickChild(result, kCloseId);
        return endsWith(*running, 0, 15000);
    }

    Sandbox sandbox;
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
        ASSERT_TRUE(runToEnd(kHereProgram, item, L"Success."));
    }
    ASSERT_TRUE(settings(3, {{L"AutoClose", L"0"}}));
    std::wstring names, tip;
    ASSERT_TRUE(runToEnd(kHereProgram, item, L"Success.", &names, &tip));

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

// Sets or clears the file system's immutable flag of a file with the Linux tool "chattr", which
// Wine starts like a Windows program: a file that not even its owner may move or delete, as a
// read-only destination's backups are on Windows. Returns true when it took effect.
bool setImmutable(const std::wstring& path, bool on)
{
    std::wstring commandLine = std::wstring(L"/usr/bin/chattr ") + (on ? L"+i " : L"-i ") + e2e::widen(unixPathOf(path));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\usr\\bin\\chattr", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine does not wait for a Linux program; the effect tells when it is done: an immutable
    // file takes no further name (and the probe's name goes again without touching the file).
    auto changeable = [&] {
        std::wstring probe = path + L".probe";
        if (!CreateHardLinkW(probe.c_str(), path.c_str(), nullptr)) return false;
        DeleteFileW(probe.c_str());
        return true;
    };
    return driver::waitUntil([&] { return changeable() != on; }, 10000, 50);
}

// An older backup that cannot be moved (the file system refuses it) cannot go to the Recycle
// Bin: the shell asks whether to delete it for good instead (Wine asks for each such item;
// Windows reports the refusal), the user declines, the clean-up stops there and says so, and the
// backup itself stays a success.
TEST_F(KeepBackupsTest, AnOlderBackupThatCannotBeMovedStopsTheCleanUpButNotTheRun)
{
    ASSERT_TRUE(settings(1, {{L"AutoClose", L"0"}}));
    std::wstring item = file(L"report.txt", "report bytes");
    std::wstring locked = file(L"report_1.txt", "oldest");
    file(L"report_2.txt", "older");
    if (!setImmutable(locked, true)) {
        setImmutable(locked, false);
        GTEST_SKIP() << "the file system here keeps no immutable flag";
    }
    struct Unlock {
        std::wstring path;
        ~Unlock() { setImmutable(path, false); }
    } unlock{locked};

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
    EXPECT_EQ(item + L"\r\nreport.txt: could not move report_1.txt to the Recycle Bin; the clean-up of older backups stopped.",
              driver::toolText(program->id, tooltip, result, 1));
    driver::clickChild(result, kCloseId);
    EXPECT_TRUE(endsWith(*program, 0, 15000));

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
        std::wstring item = r.folderItem ? itemFolder + base : file(base + L"_src\\" + base + L".txt", "item bytes");
        if (r.folderItem) {
            ASSERT_TRUE(makeFolders(item));
            ASSERT_TRUE(writeFile(item + L"\\inner.txt", "inner"));
        }
        auto backupName = [&](const std::wstring& serial) { return base + L"_" + serial + r.backupSuffix; };
        // Three older backups of the form this command makes, and decoys of other forms.
        bool folderBackups = r.folderItem && std::wstring(r.backupSuffix).empty();
        for (const wchar_t* serial : {L"1", L"2", L"3"}) {
            bool made = folderBackups ? makeFolders(destination + backupName(serial))
                                      : writeFile(destination + backupName(serial), "older");
            ASSERT_TRUE(made);
        }
        const std::vector<std::wstring> decoys = {base + L"_old" + r.backupSuffix, base + L"_04" + r.backupSuffix,
                                                  base + L"x_5" + r.backupSuffix};
        for (const std::wstring& decoy : decoys) ASSERT_TRUE(writeFile(destination + decoy, "decoy"));
        ASSERT_TRUE(settings(2, {{L"Path", destination}}));

        ASSERT_TRUE(runToEnd(r.program, item, L"Success."));

        std::set<std::wstring> expected(decoys.begin(), decoys.end());
        expected.insert(backupName(L"3"));
        expected.insert(backupName(L"4"));
        if (!r.toBackupFolder) expected.insert(base + (r.folderItem ? L"" : L".txt"));
        std::vector<std::wstring> left = namesIn(destination);
        EXPECT_EQ(expected, std::set<std::wstring>(left.begin(), left.end()));
        auto recycled = recycledFrom(destination);
        EXPECT_EQ(2u, recycled.size());
        EXPECT_TRUE(recycled.count(narrow(backupName(L"1"))));
        EXPECT_TRUE(recycled.count(narrow(backupName(L"2"))));
    }
}

}  // namespace
}  // namespace e2e
