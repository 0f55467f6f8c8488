// Registration end to end: TazuSetting's side of the hand-off (run by the test, as the page
// will) starts the real TazuUAC of a program folder of the test's own, which writes the
// context-menu entries and replies; Send To and desktop shortcuts go through the place
// dispatcher into the user's real folders. Also TazuUAC alone: a second instance, the end of
// the wait when TazuSetting is gone, a request without TazuSetting, and a start without a
// request, which leaves the start of TazuSetting to the desktop's shell or the user.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <initializer_list>
#include <list>
#include <string>
#include <vector>

#include "command_table.h"
#include "elevation_handoff.h"
#include "errors.h"
#include "registration_support.h"
#include "settings.h"
#include "shortcuts.h"
#include "window_driver.h"

using namespace registration_test;

// The shared code linked for the settings path shows its messages under this name.
const wchar_t* g_programName = L"RegistrationTest";

namespace {

const wchar_t* const kRoots[2] = {L"*\\shell", L"Folder\\shell"};

class RegistrationExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(helperRuns()) << "a TazuUAC of another test still runs";
        ASSERT_TRUE(makeProgramFolder(&folder));
        ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", L"TazuUAC.exe", L"TazuUAC.exe"));
        ASSERT_TRUE(placeProgram(folder, L"VANTREL_BIN_DIR", L"TazuHere.exe", L"TazuHere.exe"));
        ASSERT_TRUE(placeCommandFiles(folder, {L"TazuHereZip.exe", L"TazuRename.exe", L"TazuThere.exe",
                                               L"TazuThereZip.exe"}));
        ASSERT_EQ(0, setInstallation(folder.path.c_str(), CallerSetting));
        g_settings.debug = 0;
    }

    void TearDown() override
    {
        for (driver::Program& program : programs) driver::stop(&program);
        EXPECT_TRUE(driver::waitUntil([] { return !helperRuns(); }, 10000, 50)) << "TazuUAC did not end";
        EXPECT_TRUE(removeEverything(folder));
    }

    std::wstring program(int row) const { return folder.path + kBaseNames[row] + L".exe"; }
    std::wstring current(const wchar_t* root, int row) const { return verbKey(root, folder.verbPrefix, kBaseNames[row]); }

    std::wstring caption(int row, UiLanguage language) const
    {
        wchar_t text[2 * kPathChars];
        composeCaption(row, language, text, 2 * kPathChars);
        return text;
    }

    // TazuSetting's side for the context-menu column; the helper has ended afterwards.
    ::testing::AssertionResult exchange(UiLanguage language, std::initializer_list<int> positionList,
                                        RegistrationReply* reply)
    {
        int positions[kCommandCount];
        int row = 0;
        for (int position : positionList) positions[row++] = position;
        ElevationHandoffResult result;
        int outcome = runElevationHandoff(nullptr, language, positions, &result);
        *reply = result.reply;
        if (outcome != 0 || !result.started || result.failed)
            return ::testing::AssertionFailure() << "hand-off " << outcome << ", started " << result.started
                                                 << ", failed " << result.failed << ", trail "
                                                 << utf8(g_errorTrail.text);
        if (!driver::waitUntil([] { return !helperRuns(); }, 10000, 50))
            return ::testing::AssertionFailure() << "TazuUAC still runs after the reply was taken";
        return ::testing::AssertionSuccess();
    }

    // Starts TazuUAC of the folder directly, as the elevation prompt would.
    ::testing::AssertionResult startHelper(const std::wstring& tail, driver::Program** started)
    {
        driver::Program helper;
        if (!driver::start(folder.path + L"TazuUAC.exe", tail, &helper))
            return ::testing::AssertionFailure() << "cannot start TazuUAC (error " << GetLastError() << ")";
        programs.push_back(helper);
        *started = &programs.back();
        return ::testing::AssertionSuccess();
    }

    // A key of TazuUAC's settings file ("tazu.ini" of the folder's settings folder).
    ::testing::AssertionResult setting(const wchar_t* key, const wchar_t* value)
    {
        wchar_t appData[MAX_PATH] = L"";
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)))
            return ::testing::AssertionFailure() << "no application-data folder";
        const std::wstring settings = std::wstring(appData) + L"\\zevrald\\tazu_" + folder.folderText + L"\\";
        int made = SHCreateDirectoryExW(nullptr, settings.c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS)
            return ::testing::AssertionFailure() << "cannot make " << utf8(settings);
        if (!WritePrivateProfileStringW(L"Env", key, value, (settings + L"tazu.ini").c_str()))
            return ::testing::AssertionFailure() << "cannot write tazu.ini";
        return ::testing::AssertionSuccess();
    }

    ProgramFolder folder;
    std::list<driver::Program> programs;
};

::testing::AssertionResult replied(const RegistrationReply& reply, const int (&results)[5], const int (&numbers)[5],
                                   const int (&codes)[5])
{
    auto failure = ::testing::AssertionFailure();
    bool failed = false;
    for (int row = 0; row < 5; ++row) {
        if (reply.results[row] != results[row] || reply.numbers[row] != numbers[row] || reply.codes[row] != codes[row]) {
            failure << "row " << row << ": " << reply.results[row] << "/" << reply.numbers[row] << "/" << reply.codes[row]
                    << ", expected " << results[row] << "/" << numbers[row] << "/" << codes[row] << "; ";
            failed = true;
        }
    }
    return failed ? failure : ::testing::AssertionSuccess();
}

TEST_F(RegistrationExchangeTest, OnInAllThreePlacesThenOff)
{
    const std::wstring title = caption(0, UiEnglish);
    const std::wstring sendTo = userFolder(CSIDL_SENDTO);
    const std::wstring desktop = userFolder(CSIDL_DESKTOPDIRECTORY);
    ASSERT_FALSE(sendTo.empty());
    ASSERT_FALSE(desktop.empty());

    struct Case {
        const char* name;
        int position;
        int operation;
        int check;   // what every place's check says afterwards
    };
    const Case cases[] = {{"On", SwitchOn, OperationRegister, 0}, {"Off", SwitchOff, OperationRemove, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(0, dispatchPlaceOperation(PlaceSendTo, L"TazuHere.exe", title.c_str(), c.operation, MenuForMachine));
        EXPECT_EQ(0, dispatchPlaceOperation(PlaceDesktop, L"TazuHere.exe", title.c_str(), c.operation, MenuForMachine));
        RegistrationReply reply;
        ASSERT_TRUE(exchange(UiEnglish, {c.position, 1, 1, 1, 1}, &reply));
        EXPECT_TRUE(replied(reply, {1, 0, 0, 0, 0}, {}, {}));

        for (int place : {PlaceSendTo, PlaceContextMenu, PlaceDesktop})
            EXPECT_EQ(c.check, dispatchPlaceOperation(place, L"TazuHere.exe", L"", OperationCheck, MenuForMachine))
                << "place " << place;
        if (c.position == SwitchOn) {
            for (const wchar_t* root : kRoots)
                EXPECT_TRUE(holdsEntry(current(root, 0), title + L"(&1)", program(0), true, true));
            EXPECT_EQ(std::vector<std::wstring>{title + L".lnk"}, shortcutsInto(sendTo, folder.path));
            EXPECT_EQ(std::vector<std::wstring>{title + L".lnk"}, shortcutsInto(desktop, folder.path));
            EXPECT_EQ(program(0), shortcutTarget(desktop + title + L".lnk"));
        } else {
            for (const wchar_t* root : kRoots) EXPECT_FALSE(keyExists(current(root, 0)));
            EXPECT_TRUE(shortcutsInto(sendTo, folder.path).empty());
            EXPECT_TRUE(shortcutsInto(desktop, folder.path).empty());
        }
    }
}

TEST_F(RegistrationExchangeTest, ReplyCarriesEveryRowsResultNumberAndCode)
{
    RegistrationReply reply;
    ASSERT_TRUE(exchange(UiJapanese, {1, 1, 1, 2, 1}, &reply));
    ASSERT_TRUE(DeleteFileW(program(2).c_str()));

    // Row 0 stays unregistered at Keep, row 1 is new, row 2's program is missing, row 3 is
    // registered and renumbered, row 4 has nothing to remove.
    ASSERT_TRUE(exchange(UiJapanese, {1, 2, 2, 1, 0}, &reply));
    EXPECT_TRUE(replied(reply, {0, 1, 2, 1, 4}, {0, 0, 2005, 0, 0}, {0, 0, 2, 0, 0}));
    for (const wchar_t* root : kRoots) {
        EXPECT_TRUE(holdsEntry(current(root, 1), caption(1, UiJapanese) + L"(&1)", program(1), true, false));
        EXPECT_TRUE(holdsEntry(current(root, 3), caption(3, UiJapanese) + L"(&3)", program(3), false, true));
        EXPECT_FALSE(keyExists(current(root, 0)));
        EXPECT_FALSE(keyExists(current(root, 2)));
    }
}

// The test plays TazuSetting: it makes the block and the event and reads the reply itself.
struct SettingSide {
    HANDLE block = nullptr;
    HANDLE taken = nullptr;
    SettingSide()
    {
        block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRegistrationBlockBytes,
                                   kRegistrationBlockName);
        taken = CreateEventW(nullptr, TRUE, FALSE, kReplyTakenEventName);
    }
    ~SettingSide() { closeAll(); }
    void closeAll()
    {
        if (block) CloseHandle(block);
        if (taken) CloseHandle(taken);
        block = taken = nullptr;
    }
    std::wstring text() const
    {
        wchar_t copy[kRegistrationBlockChars] = L"";
        const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, kRegistrationBlockBytes);
        if (view) {
            CopyMemory(copy, view, kRegistrationBlockBytes);
            UnmapViewOfFile(view);
        }
        copy[kRegistrationBlockChars - 1] = L'\0';
        return copy;
    }
    void clear()
    {
        void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, kRegistrationBlockBytes);
        if (view) {
            ZeroMemory(view, kRegistrationBlockBytes);
            UnmapViewOfFile(view);
        }
    }
    bool waitForReply(DWORD timeoutMs) const
    {
        return driver::waitUntil([this] { return !text().empty(); }, timeoutMs, 50);
    }
};

TEST_F(RegistrationExchangeTest, SecondInstanceEndsAtOnceWithoutReplying)
{
    SettingSide setting;
    ASSERT_TRUE(setting.block && setting.taken);
    driver::Program* first = nullptr;
    ASSERT_TRUE(startHelper(L"0 1 1 1 1 1", &first));
    ASSERT_TRUE(setting.waitForReply(20000));
    EXPECT_EQ(L"0 0 0 0 0 0 0 0 0 0 0 0 0 0 0", setting.text()) << "all at Keep and nothing registered";
    setting.clear();

    driver::Program* second = nullptr;
    ASSERT_TRUE(startHelper(L"0 2 2 2 2 2", &second));
    DWORD code = 0;
    ASSERT_TRUE(driver::waitForExit(*second, 20000, &code));
    EXPECT_EQ(1u, code);
    EXPECT_EQ(L"", setting.text());
    for (int row = 0; row < 5; ++row) EXPECT_FALSE(keyExists(current(kRoots[0], row)));

    EXPECT_TRUE(driver::isRunning(*first)) << "the first waits for the word that its reply was read";
    SetEvent(setting.taken);
    ASSERT_TRUE(driver::waitForExit(*first, 10000, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(RegistrationExchangeTest, HelperEndsWhenTazuSettingIsGone)
{
    SettingSide setting;
    ASSERT_TRUE(setting.block && setting.taken);
    driver::Program* helper = nullptr;
    ASSERT_TRUE(startHelper(L"1 1 1 1 1 1", &helper));
    ASSERT_TRUE(setting.waitForReply(20000));
    // TazuSetting ends without signalling: its objects go with it.
    setting.closeAll();
    DWORD code = 0;
    ASSERT_TRUE(driver::waitForExit(*helper, 5000, &code)) << "TazuUAC still waits for a reader that is gone";
    EXPECT_EQ(0u, code);
}

// Started with a request but without TazuSetting's block (by hand, or after TazuSetting gave
// up): the work is done, no reply is written and TazuUAC ends at once, so that it holds its
// single-instance lock no longer and the next exchange is served by its own TazuUAC.
TEST_F(RegistrationExchangeTest, WithoutTazuSettingTheHelperWorksAndEndsAtOnce)
{
    driver::Program* orphan = nullptr;
    DWORD start = GetTickCount();
    ASSERT_TRUE(startHelper(L"0 2 1 1 1 1", &orphan));
    DWORD code = 99;
    ASSERT_TRUE(driver::waitForExit(*orphan, 20000, &code)) << "TazuUAC waits for a TazuSetting that is not there";
    EXPECT_EQ(0u, code);
    EXPECT_LT(GetTickCount() - start, 20000u);
    for (const wchar_t* root : kRoots)
        EXPECT_TRUE(holdsEntry(current(root, 0), caption(0, UiEnglish) + L"(&1)", program(0), true, true));
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, kRegistrationBlockName);
    EXPECT_FALSE(block) << "TazuUAC made a block of its own";
    if (block) CloseHandle(block);

    RegistrationReply reply;
    ASSERT_TRUE(exchange(UiEnglish, {SwitchOff, 1, 1, 1, 1}, &reply));
    EXPECT_TRUE(replied(reply, {1, 0, 0, 0, 0}, {}, {})) << "the next exchange's own TazuUAC removed the entry";
    for (const wchar_t* root : kRoots) EXPECT_FALSE(keyExists(current(root, 0)));
}

// The elevated helper keeps its debug log in its own folder, where its image really lies: there
// the log is written.
TEST_F(RegistrationExchangeTest, TheHelpersDebugLogIsWrittenInItsOwnFolder)
{
    ASSERT_TRUE(setting(L"Debug", L"1"));
    driver::Program* helper = nullptr;
    ASSERT_TRUE(startHelper(L"0 9", &helper));
    DWORD code = 99;
    ASSERT_TRUE(driver::waitForExit(*helper, 20000, &code));
    const std::string log = readBytes(folder.path + L"tazu_debug.log");
    const std::string refused("I\0D\0:\0U\0A\0C\0-\0M\0P\0\x34\0", 20);   // "ID:UAC-MP4" in UTF-16LE
    EXPECT_NE(std::string::npos, log.find(refused)) << "log: " << log.size() << " bytes";
}

// Started without a request, TazuUAC has only the desktop's shell start TazuSetting, which must
// not run with administrator rights; Wine has no such shell, so the message in the language of
// the settings asks the user to start it from its folder. The message does not hold the lock
// that a later TazuUAC looks for.
TEST_F(RegistrationExchangeTest, WithoutRequestTheUserIsAskedToStartTazuSetting)
{
    ASSERT_TRUE(placeProgram(folder, L"VANTREL_TEST_BIN_DIR", L"registration_stand_in.exe", L"TazuSetting.exe"));
    ASSERT_TRUE(setting(L"Lang", L"ja"));

    driver::Program* helper = nullptr;
    ASSERT_TRUE(startHelper(L"", &helper));
    HWND box = driver::findMessageBox(helper->id, 20000);
    ASSERT_TRUE(box);
    driver::MessageBoxInfo info;
    ASSERT_TRUE(driver::readMessageBox(box, &info));
    EXPECT_EQ(L"TazuUAC", info.title);
    EXPECT_EQ(L"TazuSettingを起動できませんでした。\nTazuSetting.exeをそのフォルダから起動してください。\n\n" + folder.path +
                  L"TazuSetting.exe",
              info.text);
    EXPECT_FALSE(helperRuns()) << "the open message holds the single-instance lock";
    ASSERT_TRUE(driver::pressButton(box, IDOK));
    DWORD code = 99;
    ASSERT_TRUE(driver::waitForExit(*helper, 10000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ("<missing>", readBytes(folder.path + L"TazuSetting_started.txt")) << "TazuUAC started it itself";
}

}  // namespace
