// The registration page of TazuSetting driven through its window: the marks of the state
// detection, the switches, "Execute" over the user's real Send To and desktop folders and, with
// the real TazuUAC, the context menu; the labels, the result line and the details. The entries
// that a full run registers start TazuHere the way the shell would, and it backs up. Last, the
// context menu for this user only: written by TazuSetting itself into the user's classes,
// with the marks and the note following the box, and the box saved with the settings.
// Each test works in a program folder of its own, so captions, shortcut names and verb keys are
// its own; everything it made is removed also when it fails.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "command_table.h"
#include "e2e_support.h"
#include "registration_page_rules.h"
#include "registration_support.h"
#include "resource_ids.h"
#include "setting_fixture.h"
#include "window_driver.h"

using namespace registration_test;

namespace {

const wchar_t* const kRoots[2] = {L"*\\shell", L"Folder\\shell"};
const wchar_t kSettingFile[] = L"TazuSetting.exe";

const wchar_t kNothingRequested[] = L"Please set the On/Off.";
const wchar_t kSuccess[] = L"Successful completion.";
const wchar_t kError[] = L"NG:Error has occurred.You click the NG displayed error details.";

// A run with TazuUAC may wait for it a while on a busy machine.
constexpr DWORD kRunTimeoutMs = 60000;

class RegistrationPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(helperRuns()) << "a TazuUAC of another test still runs";
        ASSERT_TRUE(makeProgramFolder(&folder));
        ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", kSettingFile, kSettingFile));
        ASSERT_TRUE(placeCommandFiles(folder));
        sendTo = userFolder(CSIDL_SENDTO);
        desktop = userFolder(CSIDL_DESKTOPDIRECTORY);
        ASSERT_FALSE(sendTo.empty());
        ASSERT_FALSE(desktop.empty());
        ASSERT_TRUE(settings({{L"Lang", L"en"}}));
    }

    void TearDown() override
    {
        driver::stop(&program);
        EXPECT_TRUE(driver::waitUntil([] { return !helperRuns(); }, 10000, 50)) << "TazuUAC did not end";
        EXPECT_TRUE(removeEverything(folder));
    }

    // The settings folder of the program folder's folder key.
    std::wstring settingsFolder() const
    {
        wchar_t appData[MAX_PATH] = L"";
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return L"";
        return std::wstring(appData) + L"\\zevrald\\tazu_" + folder.folderText + L"\\";
    }
    std::wstring settingsFile() const { return settingsFolder() + L"tazu.ini"; }

    // "tazu.ini" of the folder's settings folder with these keys.
    ::testing::AssertionResult settings(const std::map<std::wstring, std::wstring>& keys)
    {
        e2e::Sandbox place;
        place.settingsFolder = settingsFolder();
        if (place.settingsFolder.empty()) return ::testing::AssertionFailure() << "no application data folder";
        if (!e2e::makeFolders(place.settingsFolder)) return ::testing::AssertionFailure() << "no settings folder";
        return e2e::writeSettings(place, keys);
    }

    // A key of the saved settings, or "<missing>".
    std::wstring savedSetting(const wchar_t* key) const
    {
        wchar_t value[64] = L"";
        GetPrivateProfileStringW(L"Env", key, L"<missing>", value, 64, settingsFile().c_str());
        return value;
    }

    ::testing::AssertionResult open()
    {
        if (!driver::start(folder.path + kSettingFile, L"", &program))
            return ::testing::AssertionFailure() << "cannot start TazuSetting (error " << GetLastError() << ")";
        auto found = e2e::findSettingWindow(&program, &window);
        if (found) page = window.registration;
        return found;
    }

    std::wstring caption(int row, UiLanguage language = UiEnglish) const
    {
        return std::wstring(commandCaption(row, language)) + folder.captionSuffix;
    }
    std::wstring programOf(int row) const { return folder.path + kBaseNames[row] + L".exe"; }
    std::wstring verb(const wchar_t* root, int row) const { return verbKey(root, folder.verbPrefix, kBaseNames[row]); }

    HWND switchOf(int place, int row) const { return GetDlgItem(page, switchControlId(place, row)); }
    int position(int place, int row) const
    {
        return static_cast<int>(SendMessageW(switchOf(place, row), TBM_GETPOS, 0, 0));
    }

    // Moves a switch with the arrow keys, as the keyboard does.
    ::testing::AssertionResult move(int place, int row, int target)
    {
        for (int step = 0; step < 2 && position(place, row) != target; ++step)
            driver::keyNow(switchOf(place, row), position(place, row) < target ? VK_RIGHT : VK_LEFT);
        if (position(place, row) == target) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "switch " << place << "/" << row << " stays at " << position(place, row);
    }

    std::wstring label(int place, int row, int side) const
    {
        return driver::controlText(page, statusLabelId(place, row, side));
    }
    std::wstring resultLine() const { return driver::controlText(page, IDC_REG_RESULT); }

    // The Off and On labels of every cell, compared with what is expected ("*" marks, "OK",
    // "NG"), cell by cell.
    ::testing::AssertionResult labelsAre(const std::vector<std::vector<std::wstring>>& expected)
    {
        auto failure = ::testing::AssertionFailure();
        bool failed = false;
        for (int place = 0; place < kPlaceCount; ++place) {
            for (int row = 0; row < kCommandCount; ++row) {
                const std::wstring& want = expected[place][row];
                std::wstring have = label(place, row, OffSide) + L"|" + label(place, row, OnSide);
                if (have != want) {
                    failure << " place " << place << " row " << row << ": \"" << utf8(have) << "\", expected \""
                            << utf8(want) << "\";";
                    failed = true;
                }
            }
        }
        return failed ? failure : ::testing::AssertionSuccess();
    }

    // Presses "Execute" and waits for the result line of the run.
    ::testing::AssertionResult execute(const std::wstring& expectedLine, DWORD timeoutMs = kRunTimeoutMs)
    {
        if (!driver::pressButtonNow(page, IDC_REG_EXECUTE)) return ::testing::AssertionFailure() << "no Execute";
        return waitForLine(expectedLine, timeoutMs);
    }

    ::testing::AssertionResult waitForLine(const std::wstring& expectedLine, DWORD timeoutMs = kRunTimeoutMs)
    {
        if (driver::waitUntil([&] { return resultLine() == expectedLine; }, timeoutMs, 50))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the result line says \"" << utf8(resultLine()) << "\", expected \""
                                             << utf8(expectedLine) << "\"";
    }

    bool shieldShown() const
    {
        return SendDlgItemMessageW(page, IDC_REG_EXECUTE, BM_GETIMAGE, IMAGE_ICON, 0) != 0;
    }

    ProgramFolder folder;
    std::wstring sendTo;
    std::wstring desktop;
    driver::Program program;
    e2e::SettingWindow window;
    HWND page = nullptr;
};

// Every cell's labels at "Off|On": the "*" of a command that is not registered anywhere.
std::vector<std::vector<std::wstring>> nothingRegistered()
{
    return std::vector<std::vector<std::wstring>>(kPlaceCount, std::vector<std::wstring>(kCommandCount, L"*|"));
}

TEST_F(RegistrationPageTest, KeepEverywhereChangesNothingAndExecuteLooksAgain)
{
    // Registered before the window opens: row 1 in Send To under a name of the user's, row 2 in
    // the context menu under the name that older versions used.
    const std::wstring ownName = sendTo + L"my own name " + folder.folderText + L".lnk";
    ASSERT_TRUE(makeShortcut(ownName, programOf(1)));
    for (const wchar_t* root : kRoots) ASSERT_TRUE(writeLegacyEntry(root, kBaseNames[2], programOf(2)));

    ASSERT_TRUE(open());
    auto expected = nothingRegistered();
    expected[PlaceSendTo][1] = L"|*";
    expected[PlaceContextMenu][2] = L"|*";
    EXPECT_TRUE(labelsAre(expected));
    for (int place = 0; place < kPlaceCount; ++place) {
        for (int row = kAllRow; row < kCommandCount; ++row) {
            SCOPED_TRACE(std::to_string(place) + "/" + std::to_string(row));
            EXPECT_EQ(SwitchKeep, position(place, row));
            EXPECT_EQ(SwitchOn, SendMessageW(switchOf(place, row), TBM_GETRANGEMAX, 0, 0));
        }
    }
    EXPECT_EQ(L"", resultLine());
    EXPECT_FALSE(shieldShown());

    // Registered while the window is open: "Execute" looks again before it reads the switches.
    ASSERT_TRUE(makeShortcut(desktop + caption(4) + L".lnk", programOf(4)));
    ASSERT_TRUE(execute(kNothingRequested));
    expected[PlaceDesktop][4] = L"|*";
    EXPECT_TRUE(labelsAre(expected));

    EXPECT_EQ(std::vector<std::wstring>{ownName.substr(sendTo.size())}, shortcutsInto(sendTo, folder.path));
    EXPECT_EQ(std::vector<std::wstring>{caption(4) + L".lnk"}, shortcutsInto(desktop, folder.path));
    for (const wchar_t* root : kRoots) {
        EXPECT_TRUE(keyExists(verbKey(root, L"", kBaseNames[2])));
        for (int row = 0; row < kCommandCount; ++row) EXPECT_FALSE(keyExists(verb(root, row)));
    }
}

TEST_F(RegistrationPageTest, SendToAllOnAndDesktopOffOfAnAbsentCommand)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(move(PlaceSendTo, kAllRow, SwitchOn));
    for (int row = 0; row < kCommandCount; ++row) EXPECT_EQ(SwitchOn, position(PlaceSendTo, row)) << row;
    ASSERT_TRUE(move(PlaceDesktop, 3, SwitchOff));
    EXPECT_EQ(SwitchKeep, position(PlaceDesktop, kAllRow)) << "one row of four at Keep moves no All switch";
    EXPECT_FALSE(shieldShown());

    ASSERT_TRUE(execute(kSuccess));
    auto expected = nothingRegistered();
    for (int row = 0; row < kCommandCount; ++row) expected[PlaceSendTo][row] = L"|OK";
    expected[PlaceDesktop][3] = L"OK|";   // nothing to remove is success too
    EXPECT_TRUE(labelsAre(expected));

    std::vector<std::wstring> names;
    for (int row = 0; row < kCommandCount; ++row) {
        names.push_back(caption(row) + L".lnk");
        EXPECT_EQ(programOf(row), shortcutTarget(sendTo + caption(row) + L".lnk")) << row;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, shortcutsInto(sendTo, folder.path));
    EXPECT_TRUE(shortcutsInto(desktop, folder.path).empty());
    for (const wchar_t* root : kRoots)
        for (int row = 0; row < kCommandCount; ++row) EXPECT_FALSE(keyExists(verb(root, row)));
    // The switches stay where the user left them.
    EXPECT_EQ(SwitchOn, position(PlaceSendTo, kAllRow));
    EXPECT_EQ(SwitchOff, position(PlaceDesktop, 3));

    // The language switch writes the result line again.
    ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, 0));
    EXPECT_EQ(L"正常に終了しました。 ", resultLine());
}

TEST_F(RegistrationPageTest, ContextMenuForTwoRowsThroughTazuUac)
{
    ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", L"TazuUAC.exe", L"TazuUAC.exe"));
    ASSERT_TRUE(open());

    // The shield stands for the elevated helper: only context-menu switches that ask for a
    // change show it.
    struct Move {
        const char* name;
        int place;
        int row;
        int position;
        bool shield;
    };
    const Move moves[] = {
        {"Send To row", PlaceSendTo, 1, SwitchOn, false},
        {"desktop All", PlaceDesktop, kAllRow, SwitchOff, false},
        {"context-menu row On", PlaceContextMenu, 0, SwitchOn, true},
        {"desktop row back", PlaceDesktop, 2, SwitchKeep, true},
        {"context-menu row back", PlaceContextMenu, 0, SwitchKeep, false},
        {"context-menu All Off", PlaceContextMenu, kAllRow, SwitchOff, true},
        {"context-menu All back", PlaceContextMenu, kAllRow, SwitchKeep, false},
        {"desktop All back", PlaceDesktop, kAllRow, SwitchKeep, false},
        {"context-menu row 0", PlaceContextMenu, 0, SwitchOn, true},
        {"context-menu row 3", PlaceContextMenu, 3, SwitchOn, true},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.name);
        ASSERT_TRUE(move(m.place, m.row, m.position));
        EXPECT_EQ(m.shield, shieldShown());
    }

    ASSERT_TRUE(execute(kSuccess));
    auto expected = nothingRegistered();
    expected[PlaceSendTo][1] = L"|OK";
    expected[PlaceContextMenu][0] = L"|OK";
    expected[PlaceContextMenu][3] = L"|OK";
    EXPECT_TRUE(labelsAre(expected));
    for (const wchar_t* root : kRoots) {
        EXPECT_TRUE(holdsEntry(verb(root, 0), caption(0) + L"(&1)", programOf(0), true, false));
        EXPECT_TRUE(holdsEntry(verb(root, 3), caption(3) + L"(&2)", programOf(3), false, true));
        for (int row : {1, 2, 4}) EXPECT_FALSE(keyExists(verb(root, row))) << row;
    }
    EXPECT_TRUE(driver::waitUntil([] { return !helperRuns(); }, 10000, 50)) << "TazuUAC ends once its reply is read";
    EXPECT_TRUE(shieldShown()) << "the switches, and so the shield, stay";
}

TEST_F(RegistrationPageTest, MissingTazuUacFailsEveryContextMenuCellWithDetails)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(move(PlaceSendTo, 0, SwitchOn));
    ASSERT_TRUE(move(PlaceContextMenu, 1, SwitchOn));
    ASSERT_TRUE(move(PlaceContextMenu, 4, SwitchOff));
    ASSERT_TRUE(driver::pressButtonNow(page, IDC_REG_EXECUTE));
    // Wine's shell tells of the missing program in a box of its own; a declined elevation
    // prompt on Windows shows none. Either way the run goes on once it is gone.
    if (HWND box = driver::findMessageBox(program.id, 5000)) {
        EXPECT_TRUE(driver::pressButton(box, IDOK));
        EXPECT_TRUE(driver::waitGone(box, 5000));
    }
    ASSERT_TRUE(waitForLine(kError));
    auto expected = nothingRegistered();
    expected[PlaceSendTo][0] = L"|OK";
    expected[PlaceContextMenu][1] = L"*|NG";   // the Off side keeps its mark
    expected[PlaceContextMenu][4] = L"NG|";
    EXPECT_TRUE(labelsAre(expected));
    EXPECT_EQ(std::vector<std::wstring>{caption(0) + L".lnk"}, shortcutsInto(sendTo, folder.path));

    // Clicks that show nothing: an OK label, the other side of a failed cell, a cell at Keep.
    struct Click {
        const char* name;
        int place;
        int row;
        int side;
    };
    const Click nothing[] = {
        {"OK label", PlaceSendTo, 0, OnSide},
        {"other side of NG", PlaceContextMenu, 1, OffSide},
        {"cell at Keep", PlaceDesktop, 2, OffSide},
    };
    for (const Click& c : nothing) {
        SCOPED_TRACE(c.name);
        driver::clickNow(GetDlgItem(page, statusLabelId(c.place, c.row, c.side)));
        EXPECT_EQ(kError, resultLine());
    }

    // A refused prompt or a missing TazuUAC: the box for this user only needs no rights.
    const std::wstring english =
        L"CD:1106 Failed to the context menu of the update.\n"
        L"Turn on \"Context menu for this user only\" to register without administrator rights.";
    for (int row : {1, 4}) {
        SCOPED_TRACE(row);
        SetDlgItemTextW(page, IDC_REG_RESULT, L"");
        driver::clickNow(GetDlgItem(page, statusLabelId(PlaceContextMenu, row, row == 1 ? OnSide : OffSide)));
        EXPECT_EQ(english, resultLine());
    }
    driver::clickNow(GetDlgItem(page, statusLabelId(PlaceSendTo, 0, OnSide)));
    EXPECT_EQ(english, resultLine()) << "a click on OK leaves the details";

    // The details follow the language.
    ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, 0));
    EXPECT_EQ(L"CD:1106 コンテキストメニュー(レジストリ)の更新に失敗しました。\n"
              L"「このユーザーのみに登録」をオンにすると、管理者権限なしで登録できます。",
              resultLine());
    ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, 1));
    EXPECT_EQ(english, resultLine());
}

TEST_F(RegistrationPageTest, ClicksWithinTheDelayGiveOneRun)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(move(PlaceSendTo, 0, SwitchOn));
    // A click, the switch back at Keep and a second click: only the state at the last click runs.
    DWORD start = GetTickCount();
    ASSERT_TRUE(driver::pressButtonNow(page, IDC_REG_EXECUTE));
    ASSERT_TRUE(move(PlaceSendTo, 0, SwitchKeep));
    ASSERT_TRUE(driver::pressButtonNow(page, IDC_REG_EXECUTE));
    DWORD burst = GetTickCount() - start;
    ASSERT_TRUE(waitForLine(kNothingRequested));
    Sleep(700);
    EXPECT_EQ(kNothingRequested, resultLine());
    if (burst >= 400) GTEST_SKIP() << "the clicks took " << burst << " ms: too slow here to be one burst";
    EXPECT_TRUE(shortcutsInto(sendTo, folder.path).empty()) << "a run started by the first click";
}

// The command line of a context-menu entry with the item in place of "%1".
std::wstring entryCommandLine(const std::wstring& verbKeyPath, const std::wstring& item, ClassesView view = ClassesRoot)
{
    auto values = keyValues(verbKeyPath + L"\\Command", view);
    std::wstring line = values.count(L"") ? values[L""].text : L"";
    size_t at = line.find(L"%1");
    if (at != std::wstring::npos) line.replace(at, 2, item);
    return line;
}

// Starts a command line as the shell does and waits for the program's end.
::testing::AssertionResult runsToTheEnd(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return ::testing::AssertionFailure() << "cannot start " << utf8(commandLine) << " (error " << GetLastError() << ")";
    CloseHandle(started.hThread);
    DWORD waited = WaitForSingleObject(started.hProcess, 60000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(started.hProcess, 99);
    CloseHandle(started.hProcess);
    if (waited != WAIT_OBJECT_0) return ::testing::AssertionFailure() << utf8(commandLine) << " did not end";
    return ::testing::AssertionSuccess();
}

// The one backup beside an item: a time-stamped copy with the item's bytes.
::testing::AssertionResult backedUp(const std::wstring& folderPath, const std::wstring& base, const std::wstring& extension,
                                    const std::string& bytes)
{
    std::vector<std::wstring> found;
    for (const std::wstring& name : namesIn(folderPath))
        if (e2e::isTimeStampedName(name, base, extension)) found.push_back(name);
    if (found.size() != 1)
        return ::testing::AssertionFailure() << found.size() << " backups of " << utf8(base + extension);
    std::string copied;
    if (!e2e::readFile(folderPath + found[0], &copied) || copied != bytes)
        return ::testing::AssertionFailure() << utf8(found[0]) << " does not hold the item's bytes";
    return ::testing::AssertionSuccess();
}

TEST_F(RegistrationPageTest, EntriesOfAFullOnRunBackUpAnItem)
{
    ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", L"TazuUAC.exe", L"TazuUAC.exe"));
    ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", L"TazuHere.exe", L"TazuHere.exe"));
    ASSERT_TRUE(settings({{L"Lang", L"en"}, {L"AutoClose", L"1"}}));
    ASSERT_TRUE(open());
    for (int place = 0; place < kPlaceCount; ++place) ASSERT_TRUE(move(place, 0, SwitchOn));
    ASSERT_TRUE(execute(kSuccess));
    auto expected = nothingRegistered();
    for (int place = 0; place < kPlaceCount; ++place) expected[place][0] = L"|OK";
    EXPECT_TRUE(labelsAre(expected));
    driver::stop(&program);

    // One item per way in, so that no two backups share a second.
    const std::wstring data = folder.root + L"data\\";
    ASSERT_TRUE(e2e::makeFolders(data + L"folder item"));
    struct Way {
        const char* name;
        std::wstring base;
        std::wstring extension;
        std::string bytes;
    };
    const Way ways[] = {
        {"context menu of a file", L"menu item", L".txt", "registered in the context menu\r\n"},
        {"Send To", L"sent item", L".txt", "sent to TazuHere\r\n"},
        {"desktop shortcut", L"dropped item", L".csv", "1,2,3\r\n"},
    };
    for (const Way& way : ways) ASSERT_TRUE(e2e::writeFile(data + way.base + way.extension, way.bytes));
    ASSERT_TRUE(e2e::writeFile(data + L"folder item\\inside.txt", "in a folder\r\n"));

    const std::wstring sendToTarget = shortcutTarget(sendTo + caption(0) + L".lnk");
    const std::wstring desktopTarget = shortcutTarget(desktop + caption(0) + L".lnk");
    EXPECT_EQ(programOf(0), sendToTarget);
    EXPECT_EQ(programOf(0), desktopTarget);
    const std::wstring lines[] = {
        entryCommandLine(verb(kRoots[0], 0), data + ways[0].base + ways[0].extension),
        e2e::inQuotes(sendToTarget) + L" " + e2e::inQuotes(data + ways[1].base + ways[1].extension),
        e2e::inQuotes(desktopTarget) + L" " + e2e::inQuotes(data + ways[2].base + ways[2].extension),
    };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(ways[i].name);
        ASSERT_TRUE(runsToTheEnd(lines[i]));
        EXPECT_TRUE(backedUp(data, ways[i].base, ways[i].extension, ways[i].bytes));
    }

    // The folder entry backs up a folder.
    SCOPED_TRACE("context menu of a folder");
    ASSERT_TRUE(runsToTheEnd(entryCommandLine(verb(kRoots[1], 0), data + L"folder item")));
    std::vector<std::wstring> copies;
    for (const std::wstring& name : namesIn(data))
        if (e2e::isTimeStampedName(name, L"folder item", L"")) copies.push_back(name);
    ASSERT_EQ(1u, copies.size());
    EXPECT_TRUE(e2e::sameTree(data + L"folder item\\", data + copies[0] + L"\\"));
}

// ---- Context menu for this user only ----

const wchar_t kMachineEntriesStay[] = L"Entries registered for all users stay until removed with this box off.";
const wchar_t kUserEntriesStay[] = L"Entries registered for this user only stay until removed with this box on.";

TEST_F(RegistrationPageTest, ContextMenuForThisUserOnlyIsWrittenWithoutTazuUac)
{
    // A stand-in in TazuUAC's place writes a file beside itself if anything starts it.
    ASSERT_TRUE(placeProgram(folder, L"VANTREL_TEST_BIN_DIR", L"registration_stand_in.exe", L"TazuUAC.exe"));
    ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", L"TazuHere.exe", L"TazuHere.exe"));
    ASSERT_TRUE(settings({{L"Lang", L"en"}, {L"AutoClose", L"1"}, {L"UserMenu", L"1"}}));
    ASSERT_TRUE(open());
    EXPECT_TRUE(driver::isChecked(page, IDC_REG_USER_MENU));
    EXPECT_EQ(L"Context menu for this &user only (no administrator rights)",
              driver::controlText(page, IDC_REG_USER_MENU));
    ASSERT_TRUE(move(PlaceContextMenu, 0, SwitchOn));
    ASSERT_TRUE(move(PlaceContextMenu, 3, SwitchOn));
    EXPECT_FALSE(shieldShown()) << "this user's entries need no elevation";

    ASSERT_TRUE(execute(kSuccess));
    auto expected = nothingRegistered();
    expected[PlaceContextMenu][0] = L"|OK";
    expected[PlaceContextMenu][3] = L"|OK";
    EXPECT_TRUE(labelsAre(expected));
    // The helper's keys and values, in the user's classes only.
    for (const wchar_t* root : kRoots) {
        SCOPED_TRACE(utf8(root));
        EXPECT_TRUE(holdsEntry(verb(root, 0), caption(0) + L"(&1)", programOf(0), true, false, UserClasses));
        EXPECT_TRUE(holdsEntry(verb(root, 3), caption(3) + L"(&2)", programOf(3), false, true, UserClasses));
        for (int row : {1, 2, 4}) EXPECT_FALSE(keyExists(verb(root, row), UserClasses)) << row;
        for (int row = 0; row < kCommandCount; ++row) EXPECT_FALSE(keyExists(verb(root, row), MachineClasses)) << row;
    }

    // The files entry backs up a file the way the shell starts it.
    const std::wstring data = folder.root + L"data\\";
    ASSERT_TRUE(e2e::makeFolders(data));
    ASSERT_TRUE(e2e::writeFile(data + L"user item.txt", "from this user's menu\r\n"));
    ASSERT_TRUE(runsToTheEnd(entryCommandLine(verb(kRoots[0], 0), data + L"user item.txt", UserClasses)));
    EXPECT_TRUE(backedUp(data, L"user item", L".txt", "from this user's menu\r\n"));

    ASSERT_TRUE(move(PlaceContextMenu, 0, SwitchOff));
    ASSERT_TRUE(move(PlaceContextMenu, 3, SwitchOff));
    SetDlgItemTextW(page, IDC_REG_RESULT, L"");   // so that the line of this run is awaited
    ASSERT_TRUE(execute(kSuccess));
    expected[PlaceContextMenu][0] = L"OK|";
    expected[PlaceContextMenu][3] = L"OK|";
    EXPECT_TRUE(labelsAre(expected));
    for (const wchar_t* root : kRoots)
        for (int row = 0; row < kCommandCount; ++row) EXPECT_FALSE(keyExists(verb(root, row), UserClasses)) << row;

    // A failure of this user's own run has the helper's details, and no hint at the box.
    ASSERT_TRUE(DeleteFileW(programOf(4).c_str()));
    ASSERT_TRUE(move(PlaceContextMenu, 4, SwitchOn));
    ASSERT_TRUE(execute(kError));
    EXPECT_EQ(L"*|NG", label(PlaceContextMenu, 4, OffSide) + L"|" + label(PlaceContextMenu, 4, OnSide));
    driver::clickNow(GetDlgItem(page, statusLabelId(PlaceContextMenu, 4, OnSide)));
    EXPECT_EQ(L"CD:2005 Tazu program does not exist. *0x00000002:", resultLine().substr(0, 49));
    EXPECT_EQ(std::wstring::npos, resultLine().find(L"Turn on")) << utf8(resultLine());

    EXPECT_EQ("<missing>", readBytes(folder.path + L"TazuUAC_started.txt")) << "TazuUAC was started";
    EXPECT_FALSE(helperRuns());
}

TEST_F(RegistrationPageTest, MarksAndNoteFollowTheBoxWhichOkSaves)
{
    // Registered before the window opens: row 2 for every user, row 1 for this user only.
    for (const wchar_t* root : kRoots) {
        ASSERT_TRUE(writeLegacyEntry(root, kBaseNames[2], programOf(2), MachineClasses));
        ASSERT_TRUE(writeLegacyEntry(root, kBaseNames[1], programOf(1), UserClasses));
    }
    auto machineMarks = nothingRegistered();
    machineMarks[PlaceContextMenu][2] = L"|*";
    auto userMarks = nothingRegistered();
    userMarks[PlaceContextMenu][1] = L"|*";

    // OK checks the destination: one that exists.
    ASSERT_TRUE(settings({{L"Lang", L"en"}, {L"Path", folder.root}}));
    ASSERT_TRUE(open());
    EXPECT_FALSE(driver::isChecked(page, IDC_REG_USER_MENU)) << "off by default";
    EXPECT_TRUE(labelsAre(machineMarks));
    EXPECT_EQ(kUserEntriesStay, driver::controlText(page, IDC_REG_SCOPE_NOTE));
    ASSERT_TRUE(move(PlaceContextMenu, 4, SwitchOn));
    EXPECT_TRUE(shieldShown());

    // Each turn of the box reads the marks of the place it names; the shield needs the machine.
    struct Turn {
        const char* name;
        bool userMenu;
        const std::vector<std::vector<std::wstring>>* marks;
        const wchar_t* note;
    };
    const Turn turns[] = {
        {"this user", true, &userMarks, kMachineEntriesStay},
        {"the machine", false, &machineMarks, kUserEntriesStay},
        {"this user again", true, &userMarks, kMachineEntriesStay},
    };
    for (const Turn& turn : turns) {
        SCOPED_TRACE(turn.name);
        driver::clickNow(GetDlgItem(page, IDC_REG_USER_MENU));
        ASSERT_EQ(turn.userMenu, driver::isChecked(page, IDC_REG_USER_MENU));
        EXPECT_TRUE(labelsAre(*turn.marks));
        EXPECT_EQ(turn.note, driver::controlText(page, IDC_REG_SCOPE_NOTE));
        EXPECT_EQ(!turn.userMenu, shieldShown());
    }

    ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, 0));
    EXPECT_EQ(L"コンテキストメニューをこのユーザーのみに登録(管理者権限不要)(&U)",
              driver::controlText(page, IDC_REG_USER_MENU));
    EXPECT_EQ(L"全ユーザー用に登録済みの項目は、このチェックを外して解除するまで残ります。",
              driver::controlText(page, IDC_REG_SCOPE_NOTE));

    // OK keeps the box; the next window opens with it and reads the entries of its place.
    for (bool userMenu : {true, false}) {
        SCOPED_TRACE(userMenu ? "saved on" : "saved off");
        ASSERT_TRUE(driver::setChecked(page, IDC_REG_USER_MENU, userMenu));
        ASSERT_TRUE(driver::pressButton(window.main, IDOK));
        ASSERT_TRUE(driver::waitForExit(program, 10000));
        EXPECT_EQ(userMenu ? L"1" : L"0", savedSetting(L"UserMenu"));
        driver::stop(&program);
        ASSERT_TRUE(open());
        EXPECT_EQ(userMenu, driver::isChecked(page, IDC_REG_USER_MENU));
        EXPECT_TRUE(labelsAre(userMenu ? userMarks : machineMarks));
    }
}

}  // namespace
