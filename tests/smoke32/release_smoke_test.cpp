// The files of the release archive, 32-bit, each program doing its main job once: run from the
// folder unpacked from the zip that users download (the first argument after the test options),
// inside the 32-bit runner (scripts/win32-run.sh). The ZIP scenario also leaves copies of its
// archives and their sources in the folder of the second argument, for the outside readers that
// run on the Linux side (run_release_smoke.sh).
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

#include "command_fixture.h"
#include "command_table.h"
#include "parallel_deflate.h"
#include "registration_page_rules.h"
#include "registration_support.h"
#include "setting_fixture.h"
#include "setting_texts.h"
#include "zip_fixture.h"

// The shared code linked for the texts shows its messages under this name.
const wchar_t* g_programName = L"ReleaseSmoke";

namespace e2e {
namespace {

// Emulated 32-bit code runs many times slower than the 64-bit tests: generous bounds for the
// ends of runs, which only stop a test that hangs.
constexpr DWORD kRunMs = 180000;
constexpr DWORD kWindowMs = 120000;

const std::wstring kShiryo = L"\x8cc7\x6599";                      // 資料
const std::wstring kMemo = L"\x65e5\x672c\x8a9e\x30e1\x30e2";      // 日本語メモ
const std::wstring kNakami = L"\x4e2d\x8eab";                      // 中身

std::wstring g_checkFolder;   // Z:\... of the outside readers' folder

// Waits for the green or red end of a run and the program's end.
::testing::AssertionResult finishes(const driver::Program& program, const wchar_t* status)
{
    HWND result = findResultWindow(program, kWindowMs);
    if (!result) {
        DWORD code = 0;
        if (driver::waitForExit(program, 0, &code)) return ::testing::AssertionFailure() << "ended with " << code;
        return ::testing::AssertionFailure() << "no result window";
    }
    auto shown = waitForStatus(result, status, kRunMs);
    if (!shown) return shown;
    return endsWith(program, 0, kWindowMs);
}

// The one item of the folder with a time-stamped name of base and extension.
::testing::AssertionResult onlyBackup(const std::wstring& folder, const std::wstring& base,
                                      const std::wstring& extension, std::wstring* found)
{
    std::vector<std::wstring> names;
    for (const std::wstring& name : namesIn(folder))
        if (isTimeStampedName(name, base, extension)) names.push_back(name);
    if (names.size() != 1)
        return ::testing::AssertionFailure() << names.size() << " backups of " << narrow(base + extension) << " in "
                                             << narrow(folder);
    *found = folder + names[0];
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult holdsBytes(const std::wstring& path, const std::string& bytes)
{
    std::string read;
    if (!readFile(path, &read)) return ::testing::AssertionFailure() << narrow(path) << " is missing";
    if (read != bytes) return ::testing::AssertionFailure() << narrow(path) << " holds other bytes";
    return ::testing::AssertionSuccess();
}

// The first window of an emulated TazuSetting may take longer than the end-to-end helpers wait
// for it on a busy machine: wait here for any settings window of the process (0: of any
// process) within the emulation's bound, then let the helpers find its pages.
bool settingWindowShown(DWORD processId)
{
    return driver::waitUntil([&] {
        for (HWND top = FindWindowW(L"#32770", kSettingTitle); top;
             top = FindWindowExW(nullptr, top, L"#32770", kSettingTitle)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(top, &owner);
            if (processId == 0 || owner == processId) return true;
        }
        return false;
    }, kWindowMs, 50);
}

// Bytes that deflate cannot shrink much.
std::string noise(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 2024;
    for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 23);
    return bytes;
}

// Waits until the folder dialog shows its preselected folder, then selects the folder of the
// given name beside it and confirms it once the dialog's edit box shows that name. Under qemu-user Wine cannot reach another
// process's memory (its server needs ptrace, which the emulator lacks), so the path cannot be
// handed to the dialog: the tree is walked with messages that carry item handles only.
::testing::AssertionResult chooseBeside(HWND dialog, const std::wstring& preselected, const std::wstring& name)
{
    HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    HWND edit = driver::folderDialogEdit(dialog);
    if (!tree || !edit) return ::testing::AssertionFailure() << "the folder dialog has no tree or no edit box";
    if (!driver::waitUntil([&] { return driver::text(edit) == preselected; }, kWindowMs, 50)) {
        driver::pressButton(dialog, IDCANCEL);
        return ::testing::AssertionFailure() << "the dialog shows \"" << narrow(driver::text(edit)) << "\", not "
                                             << narrow(preselected);
    }
    HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    HTREEITEM parent = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT,
                                                                reinterpret_cast<LPARAM>(selected)));
    std::wstring seen;
    for (HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                   reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        std::wstring shown = driver::text(edit);
        if (shown == name) {
            driver::pressButton(dialog, IDOK);
            driver::waitGone(dialog, kWindowMs);
            return ::testing::AssertionSuccess();
        }
        seen += L" \"" + shown + L"\"";
    }
    driver::pressButton(dialog, IDCANCEL);
    return ::testing::AssertionFailure() << "no folder " << narrow(name) << " beside the selection; seen:" << narrow(seen);
}

// ---- The three copying commands ----

class HereSmoke : public CommandTest {
protected:
    HereSmoke() : CommandTest(L"TazuHere.exe") {}
};

TEST_F(HereSmoke, BacksUpAFileAndAFolderWithJapaneseNames)
{
    ASSERT_TRUE(settings());
    std::wstring memo = file(kMemo + L".txt", "\xE3\x83\xA1\xE3\x83\xA2 memo\r\n");
    file(kShiryo + L"\\" + kNakami + L".txt", "contents");
    file(kShiryo + L"\\sub\\empty.bin", "");
    std::wstring shiryo = sandbox.data + kShiryo;

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(memo) + L" " + inQuotes(shiryo), &program));
    ASSERT_TRUE(finishes(*program, L"Success."));
    std::wstring copy;
    ASSERT_TRUE(onlyBackup(sandbox.data, kMemo, L".txt", &copy));
    EXPECT_TRUE(holdsBytes(copy, items[memo]));
    ASSERT_TRUE(onlyBackup(sandbox.data, kShiryo, L"", &copy));
    EXPECT_TRUE(sameTree(shiryo, copy));
}

// "KeepBackups" 1: the second backup is kept, the first (recorded by the first run) goes to the
// Recycle Bin, and the record of backups made names only the one that stays.
TEST_F(HereSmoke, KeepsTheNewestBackupAndMovesTheOlderToTheRecycleBin)
{
    ASSERT_TRUE(settings({{L"AddStringsAft", L"4"}, {L"KeepBackups", L"1"}, {L"AutoClose", L"0"}}));
    std::wstring memo = file(kMemo + L".txt", "kept, and moved once");
    std::wstring names;
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(memo), &program));
        HWND result = findResultWindow(*program, kWindowMs);
        ASSERT_TRUE(result);
        ASSERT_TRUE(waitForStatus(result, L"Success.", kRunMs));
        names = driver::controlText(result, kNamesId);
        ASSERT_TRUE(driver::waitUntil([&] { return IsWindowVisible(GetDlgItem(result, kCloseId)) != FALSE; }, kWindowMs));
        driver::clickChild(result, kCloseId);
        ASSERT_TRUE(endsWith(*program, 0, kWindowMs));
    }
    EXPECT_EQ(L"[" + kMemo + L".txt (1 older to Recycle Bin)]", names);
    EXPECT_EQ((std::vector<std::wstring>{kMemo + L".txt", kMemo + L"_2.txt"}), namesIn(sandbox.data));
    EXPECT_TRUE(holdsBytes(sandbox.data + kMemo + L"_2.txt", items[memo]));
    std::string record;
    ASSERT_TRUE(readFile(sandbox.settingsFolder + L"tazu_backups_made.txt", &record));
    EXPECT_EQ(2, std::count(record.begin(), record.end(), '\n'));
    EXPECT_NE(std::string::npos, record.find("_2.txt"));
}

class ThereSmoke : public CommandTest {
protected:
    ThereSmoke() : CommandTest(L"TazuThere.exe") {}
};

TEST_F(ThereSmoke, CopiesIntoPathAndWritesBackTheChosenFolder)
{
    std::wstring usual = folder(L"usual");
    ASSERT_TRUE(settings({{L"Path", usual + L"\\"}}));
    std::wstring first = file(L"first.txt", "first bytes");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(first), &program));
    ASSERT_TRUE(finishes(*program, L"Success."));
    std::wstring copy;
    ASSERT_TRUE(onlyBackup(usual + L"\\", L"first", L".txt", &copy));
    EXPECT_TRUE(holdsBytes(copy, "first bytes"));

    // Without "Path" the 32-bit folder dialog asks, starting at the documents folder; the folder
    // chosen beside it receives the copy and becomes "Path".
    wchar_t documents[MAX_PATH] = L"";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
    std::wstring profile = documents;
    profile.resize(profile.find_last_of(L'\\') + 1);
    const std::wstring chosenName = kShiryo + L"_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring chosen = profile + chosenName;
    ASSERT_TRUE(makeFolders(chosen));
    struct Removal {
        std::wstring path;
        ~Removal() { removeTree(path); }
    } removal{chosen};
    ASSERT_TRUE(settings({{L"Path", L""}}));
    std::wstring second = file(L"second.bin", std::string("\x00\x01\xfe\xff", 4));
    ASSERT_TRUE(start(inQuotes(second), &program));
    HWND dialog = folderDialog(*program, kWindowMs);
    ASSERT_TRUE(dialog);
    std::wstring documentsName = documents;
    documentsName = documentsName.substr(documentsName.find_last_of(L'\\') + 1);
    ASSERT_TRUE(chooseBeside(dialog, documentsName, chosenName));
    ASSERT_TRUE(finishes(*program, L"Success."));
    ASSERT_TRUE(onlyBackup(chosen + L"\\", L"second", L".bin", &copy));
    EXPECT_TRUE(holdsBytes(copy, items[second]));
    EXPECT_EQ(chosen + L"\\", setting(L"Path"));
}

class RenameSmoke : public CommandTest {
protected:
    RenameSmoke() : CommandTest(L"TazuRename.exe") {}
};

TEST_F(RenameSmoke, RenamesAFile)
{
    ASSERT_TRUE(settings());
    std::wstring item = file(kMemo + L".txt", "renamed, never lost");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    ASSERT_TRUE(finishes(*program, L"Success."));
    EXPECT_FALSE(exists(item));
    std::wstring renamed;
    ASSERT_TRUE(onlyBackup(sandbox.data, kMemo, L".txt", &renamed));
    EXPECT_TRUE(holdsBytes(renamed, "renamed, never lost"));
}

// ---- The ZIP commands through the 32-bit archiver library ----

class ZipSmoke : public ZipTest {};

TEST_F(ZipSmoke, BothCommandsArchiveAJapaneseFolderWithAnEmptyAndALargeFileAndReadItBack)
{
    const std::wstring destination = sandbox.root + L"destination\\";
    // The library reads each archive back before it counts; the window waits so that its names
    // line can be read.
    ASSERT_TRUE(settings({{L"Path", destination}, {L"Verify", L"1"}, {L"AutoClose", L"0"}}));
    // An empty file, a small one read whole by a worker, and one above a block, read block by block.
    const std::string utf8Folder = "\xE8\xB3\x87\xE6\x96\x99";
    const std::vector<std::pair<std::string, std::string>> entries = {
        {utf8Folder + "/", ""},
        {utf8Folder + "/empty.txt", ""},
        {utf8Folder + "/\xE4\xB8\xAD\xE8\xBA\xAB.txt", "contents of a small file"},
        {utf8Folder + "/large/", ""},
        {utf8Folder + "/large/noise.bin", noise(2 * kBlockSize + 12345)},
    };
    makeEntries(entries);
    const std::wstring item = sandbox.data + kShiryo;

    struct Run {
        const wchar_t* program;
        std::wstring folder;
    };
    const Run runs[] = {{kHereZip, sandbox.data}, {kThereZip, destination}};
    const std::wstring check = g_checkFolder + L"zip\\";
    ASSERT_TRUE(makeFolders(check + L"archives"));
    for (const Run& run : runs) {
        SCOPED_TRACE(narrow(run.program));
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(run.program, inQuotes(item), &program));
        HWND result = findResultWindow(*program, kWindowMs);
        ASSERT_TRUE(result);
        ASSERT_TRUE(waitForStatus(result, L"Success.", kRunMs));
        EXPECT_EQ(L"[" + kShiryo + L" (verified)]", driver::controlText(result, kNamesId));
        driver::clickChild(result, kCloseId);
        ASSERT_TRUE(endsWith(*program, 0, kWindowMs));
        std::wstring archive;
        ASSERT_TRUE(findArchive(run.folder, kShiryo, L"", &archive));
        EXPECT_TRUE(zipread::holdsExactly(archive, entries));
        EXPECT_TRUE(namesFlaggedUtf8(archive));
        std::wstring copy = check + L"archives\\" + run.program + L".zip";
        EXPECT_TRUE(CopyFileW(archive.c_str(), copy.c_str(), FALSE)) << narrow(copy);
    }
    // What unzip and Python's zipfile compare the archives with.
    std::wstring from = item + L'\0' + L'\0';
    std::wstring to = check + L"source" + L'\0' + L'\0';
    ASSERT_TRUE(makeFolders(check + L"source"));
    SHFILEOPSTRUCTW copy = {};
    copy.wFunc = FO_COPY;
    copy.pFrom = from.c_str();
    copy.pTo = to.c_str();
    copy.fFlags = FOF_NO_UI;
    EXPECT_EQ(0, SHFileOperationW(&copy));
    EXPECT_TRUE(sameTree(item, check + L"source\\" + kShiryo));
}

// ---- TazuSetting ----

class SettingSmoke : public SettingTest {};

TEST_F(SettingSmoke, SwitchesToEnglishAndOkWritesTheSettingsAndTheCopy)
{
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(L"", &program));
    ASSERT_TRUE(settingWindowShown(program->id));
    SettingWindow window;
    ASSERT_TRUE(attach(&window, program));
    ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, 1));
    struct Page {
        HWND window;
        const ControlCaption* captions;
        size_t count;
    };
    const Page pages[] = {{window.registration, kRegistrationPageCaptions, kRegistrationPageCaptionCount},
                          {window.backup, kBackupPageCaptions, kBackupPageCaptionCount}};
    for (const Page& page : pages) {
        for (size_t i = 0; i < page.count; ++i) {
            SCOPED_TRACE(page.captions[i].id);
            EXPECT_EQ(driver::controlText(page.window, page.captions[i].id), pickText(page.captions[i].text, UiEnglish));
        }
    }
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    ASSERT_TRUE(endsWith(*window.program, 0, kRunMs));

    std::vector<std::wstring> lines;
    ASSERT_TRUE(savedLines(iniPath(), &lines));   // with its byte-order mark
    std::vector<std::wstring> keys;
    for (const std::wstring& line : lines) keys.push_back(line.substr(0, line.find(L'=')));
    std::vector<std::wstring> expected = {L"[Env]", L"Tab", L"Lang", L"StartSetting", L"AutoClose", L"Path"};
    for (int slot = 1; slot <= 10; ++slot) expected.push_back(L"PathHis" + std::to_wstring(slot));
    for (const wchar_t* key : {L"SelDir", L"OpenDir", L"PrefixBef1", L"AddStringsBef", L"PrefixBef2", L"PrefixAft1",
                               L"AddStringsAft", L"PrefixAft2", L"ZeroSuppress", L"UserMenu", L"KeepBackups", L"Verify"})
        expected.push_back(key);
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(setting(L"Lang"), L"en");
    std::string saved, copy;
    ASSERT_TRUE(readFile(iniPath(), &saved));
    ASSERT_TRUE(readFile(sandbox.programFolder + L"tazu_bk.ini", &copy));
    EXPECT_EQ(saved, copy);
}

// ---- The pre-backup hand-off ----

TEST_F(SettingSmoke, OkWithoutSavingRunsTheWaitingBackupWithTheUnsavedSettings)
{
    ASSERT_TRUE(addProgram(L"TazuHere.exe"));
    ASSERT_TRUE(settings({{L"StartSetting", L"1"}, {L"PrefixAft1", L"-saved-"}}));
    std::string before;
    ASSERT_TRUE(readFile(iniPath(), &before));
    std::wstring item = file(L"item.txt", "item");

    driver::Program* command = nullptr;
    ASSERT_TRUE(runCommand(L"TazuHere.exe", inQuotes(item), &command));
    SettingWindow window;
    ASSERT_TRUE(settingWindowShown(0));
    ASSERT_TRUE(attachStarted(&window));
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_PREFIX_AFT1, L"-changed-"));
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_OK_NO_SAVE));
    EXPECT_TRUE(endsWith(*window.program, 0, kRunMs));
    ASSERT_TRUE(finishes(*command, L"Success."));

    std::vector<std::wstring> backups;
    for (const std::wstring& name : namesIn(sandbox.data))
        if (name != L"item.txt") backups.push_back(name);
    ASSERT_EQ(1u, backups.size());
    EXPECT_EQ(0u, backups[0].find(L"item-changed-")) << narrow(backups[0]);
    EXPECT_TRUE(holdsBytes(sandbox.data + backups[0], "item"));
    std::string after;
    ASSERT_TRUE(readFile(iniPath(), &after));
    EXPECT_EQ(before, after);
}

// ---- Registration through TazuSetting and the real 32-bit TazuUAC ----

using namespace registration_test;

class RegistrationSmoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(helperRuns()) << "a TazuUAC still runs";
        ASSERT_TRUE(makeProgramFolder(&folder));
        for (const wchar_t* name : {L"TazuSetting.exe", L"TazuUAC.exe", L"TazuHere.exe", L"TazuHereZip.exe",
                                    L"TazuThere.exe", L"TazuThereZip.exe", L"TazuRename.exe", L"7-zip32.dll"})
            ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", name, name));
        wchar_t appData[MAX_PATH] = L"";
        ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
        Sandbox place;
        place.settingsFolder = std::wstring(appData) + L"\\zevrald\\tazu_" + folder.folderText + L"\\";
        ASSERT_TRUE(makeFolders(place.settingsFolder));
        ASSERT_TRUE(writeSettings(place, {{L"Lang", L"en"}, {L"AutoClose", L"1"}}));
        sendTo = userFolder(CSIDL_SENDTO);
        ASSERT_FALSE(sendTo.empty());
    }

    void TearDown() override
    {
        driver::stop(&program);
        EXPECT_TRUE(driver::waitUntil([] { return !helperRuns(); }, kWindowMs, 50)) << "TazuUAC did not end";
        EXPECT_TRUE(removeEverything(folder));
    }

    // Opens TazuSetting, moves TazuHere's switches of Send To and the context menu, presses
    // Execute and waits for the result line.
    ::testing::AssertionResult executeWith(int position)
    {
        if (!driver::start(folder.path + L"TazuSetting.exe", L"", &program))
            return ::testing::AssertionFailure() << "cannot start TazuSetting (error " << GetLastError() << ")";
        SettingWindow window;
        if (!settingWindowShown(program.id)) return ::testing::AssertionFailure() << "no settings window";
        auto found = findSettingWindow(&program, &window);
        if (!found) return found;
        for (int place : {PlaceSendTo, PlaceContextMenu}) {
            HWND control = GetDlgItem(window.registration, switchControlId(place, 0));
            for (int step = 0; step < 2 && SendMessageW(control, TBM_GETPOS, 0, 0) != position; ++step)
                driver::keyNow(control, SendMessageW(control, TBM_GETPOS, 0, 0) < position ? VK_RIGHT : VK_LEFT);
            if (SendMessageW(control, TBM_GETPOS, 0, 0) != position)
                return ::testing::AssertionFailure() << "switch of place " << place << " does not move";
        }
        if (!driver::pressButtonNow(window.registration, IDC_REG_EXECUTE))
            return ::testing::AssertionFailure() << "no Execute";
        std::wstring line;
        bool done = driver::waitUntil([&] {
            line = driver::controlText(window.registration, IDC_REG_RESULT);
            return !line.empty();
        }, kRunMs, 50);
        if (!done) return ::testing::AssertionFailure() << "no result line";
        if (line != L"Successful completion.") return ::testing::AssertionFailure() << "result line: " << narrow(line);
        for (int place : {PlaceSendTo, PlaceContextMenu}) {
            std::wstring label = driver::controlText(window.registration, statusLabelId(place, 0, position == SwitchOn ? OnSide : OffSide));
            if (label != L"OK") return ::testing::AssertionFailure() << "place " << place << " shows " << narrow(label);
        }
        driver::pressButton(window.main, IDC_MAIN_CANCEL);
        if (!driver::waitForExit(program, kRunMs)) return ::testing::AssertionFailure() << "TazuSetting did not end";
        driver::stop(&program);
        return ::testing::AssertionSuccess();
    }

    std::wstring verb(const wchar_t* root) const { return verbKey(root, folder.verbPrefix, kBaseNames[0]); }

    ProgramFolder folder;
    std::wstring sendTo;
    driver::Program program;
};

// Starts a command line as the shell does and waits for the program's end.
::testing::AssertionResult runsToTheEnd(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    driver::Program started;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return ::testing::AssertionFailure() << "cannot start " << narrow(commandLine) << " (error " << GetLastError() << ")";
    CloseHandle(process.hThread);
    started.process = process.hProcess;
    started.id = process.dwProcessId;
    auto finished = finishes(started, L"Success.");
    driver::stop(&started);
    return finished;
}

TEST_F(RegistrationSmoke, SendToAndContextMenuOnStartTheBackupThenOffRemovesThem)
{
    ASSERT_TRUE(executeWith(SwitchOn));
    const std::wstring caption = std::wstring(commandCaption(0, UiEnglish)) + folder.captionSuffix;
    const std::wstring shortcut = sendTo + caption + L".lnk";
    const std::wstring program = folder.path + L"TazuHere.exe";
    EXPECT_EQ(program, shortcutTarget(shortcut));
    const wchar_t* const roots[] = {L"*\\shell", L"Folder\\shell"};
    for (const wchar_t* root : roots) {
        SCOPED_TRACE(narrow(root));
        // The only entry: the first and the last of the menu, with a separator on either side.
        EXPECT_TRUE(holdsEntry(verb(root), caption + L"(&1)", program, true, true));
    }

    // The shortcut and the registered command line start the program, which backs up.
    const std::wstring data = folder.root + L"data\\";
    ASSERT_TRUE(makeFolders(data));
    struct Way {
        const char* name;
        std::wstring base;
        std::wstring commandLine;
    };
    const Way ways[] = {
        {"Send To", L"sent", inQuotes(shortcutTarget(shortcut)) + L" " + inQuotes(data + L"sent.txt")},
        {"context menu", kMemo, L""},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        std::wstring item = data + way.base + L".txt";
        ASSERT_TRUE(writeFile(item, "registered " + std::string(way.name)));
        std::wstring commandLine = way.commandLine;
        if (commandLine.empty()) {
            commandLine = keyValues(verb(roots[0]) + L"\\Command")[L""].text;
            commandLine.replace(commandLine.find(L"%1"), 2, item);
        }
        ASSERT_TRUE(runsToTheEnd(commandLine));
        std::wstring copy;
        ASSERT_TRUE(onlyBackup(data, way.base, L".txt", &copy));
        EXPECT_TRUE(holdsBytes(copy, "registered " + std::string(way.name)));
    }

    ASSERT_TRUE(executeWith(SwitchOff));
    EXPECT_FALSE(exists(shortcut));
    for (const wchar_t* root : roots) EXPECT_FALSE(keyExists(verb(root))) << narrow(root);
}

}  // namespace
}  // namespace e2e

// release_smoke32.exe [gtest options] RELEASE_FOLDER CHECK_FOLDER
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: release_smoke32.exe [gtest options] RELEASE_FOLDER CHECK_FOLDER\n");
        return 2;
    }
    // The sandboxes copy the programs from here, as they copy those of the build elsewhere.
    SetEnvironmentVariableW(L"VANTREL_BIN_DIR", e2e::widen(argv[1]).c_str());
    e2e::g_checkFolder = e2e::widen(argv[2]);
    if (e2e::g_checkFolder.back() != L'\\') e2e::g_checkFolder += L'\\';
    return RUN_ALL_TESTS();
}
