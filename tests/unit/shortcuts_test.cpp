// Send To and desktop shortcuts on real shortcut files: the shortcut operation in a folder of
// the test's own (standing in for a shell folder), and the place dispatcher with the user's
// real folders and the registry check of the context menu.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_table.h"
#include "e2e_support.h"
#include "errors.h"
#include "registration_support.h"
#include "shortcuts.h"

using namespace registration_test;

namespace {

class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(makeProgramFolder(&folder));
        ASSERT_TRUE(placeCommandFiles(folder));
        ASSERT_EQ(0, setInstallation(folder.path.c_str(), CallerSetting));
        shellFolder = folder.root + L"SendTo\\";
        ASSERT_TRUE(CreateDirectoryW(shellFolder.c_str(), nullptr));
        trailClear(&g_errorTrail);
    }

    void TearDown() override
    {
        for (const std::wstring& name : namesIn(shellFolder))
            SetFileAttributesW((shellFolder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(removeEverything(folder));
    }

    int operate(const wchar_t* file, const std::wstring& caption, int operation)
    {
        return runShortcutOperation(shellFolder.c_str(), file, caption.c_str(), operation);
    }

    std::wstring program(const wchar_t* file) const { return folder.path + file; }

    ProgramFolder folder;
    std::wstring shellFolder;   // with trailing backslash
};

TEST_F(ShortcutTest, RegisteringTwiceLeavesOneShortcutNamedAfterTheCaption)
{
    std::wstring japanese = L"TazuHere - ここにバックアップ" + folder.captionSuffix;
    std::wstring english = L"TazuHere - Backup here" + folder.captionSuffix;
    ASSERT_EQ(0, operate(L"TazuHere.exe", japanese, OperationRegister));
    EXPECT_EQ(std::vector<std::wstring>{japanese + L".lnk"}, namesIn(shellFolder));
    EXPECT_EQ(program(L"TazuHere.exe"), shortcutTarget(shellFolder + japanese + L".lnk"));
    EXPECT_EQ(0, operate(L"TazuHere.exe", L"", OperationCheck));

    // Registering in the other language replaces the first language's shortcut.
    ASSERT_EQ(0, operate(L"TazuHere.exe", english, OperationRegister));
    EXPECT_EQ(std::vector<std::wstring>{english + L".lnk"}, namesIn(shellFolder));
    EXPECT_EQ(program(L"TazuHere.exe"), shortcutTarget(shellFolder + english + L".lnk"));
    EXPECT_EQ(std::wstring(), g_errorTrail.text);
}

TEST_F(ShortcutTest, ShortcutsAreKnownByTheirTargetWhateverTheirName)
{
    struct Case {
        const char* name;
        std::wstring file;
        std::wstring target;
    };
    std::wstring upper = program(L"TazuThere.exe");
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    const Case cases[] = {
        {"another name", L"My backups.lnk", program(L"TazuThere.exe")},
        {"other letter case", L"tazuthere.lnk", upper},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(makeShortcut(shellFolder + c.file, c.target));
        EXPECT_EQ(0, operate(L"TazuThere.exe", L"", OperationCheck));
        EXPECT_EQ(4, operate(L"TazuThereZip.exe", L"", OperationCheck)) << "another program's file name";
        EXPECT_EQ(0, operate(L"TazuThere.exe", L"", OperationRemove));
        EXPECT_TRUE(namesIn(shellFolder).empty());
    }
}

TEST_F(ShortcutTest, OneRemovalDeletesEveryShortcutOfTheProgram)
{
    ASSERT_TRUE(makeShortcut(shellFolder + L"first.lnk", program(L"TazuRename.exe")));
    ASSERT_TRUE(makeShortcut(shellFolder + L"second.lnk", program(L"TazuRename.exe")));
    ASSERT_TRUE(makeShortcut(shellFolder + L"other.lnk", program(L"TazuHere.exe")));
    ASSERT_TRUE(e2e::writeFile(shellFolder + L"broken.lnk", "not a shortcut"));
    EXPECT_EQ(0, operate(L"TazuRename.exe", L"", OperationRemove));
    EXPECT_EQ((std::vector<std::wstring>{L"broken.lnk", L"other.lnk"}), namesIn(shellFolder));
    // The unreadable shortcut is skipped, and its failure is what the trail keeps.
    EXPECT_EQ(1059u, g_errorTrail.keptNumber);
}

TEST_F(ShortcutTest, NothingThereGivesFour)
{
    struct Case {
        const char* name;
        bool otherShortcut;   // a shortcut of another program lies in the folder
        int operation;
        const wchar_t* trail;
    };
    const Case cases[] = {
        {"check, empty folder", false, OperationCheck, L"ID:SC1 CD:0x00000000\nID:SP2 CD:0x00000000\n"},
        {"remove, empty folder", false, OperationRemove, L"ID:SR2 CD:0x00000000\nID:SP5 CD:0x00000000\n"},
        {"check, another program's shortcut", true, OperationCheck, L"ID:SC1 CD:0x00000000\nID:SP2 CD:0x00000000\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.otherShortcut) {
            ASSERT_TRUE(makeShortcut(shellFolder + L"here.lnk", program(L"TazuHere.exe")));
        }
        trailClear(&g_errorTrail);
        EXPECT_EQ(4, operate(L"TazuHereZip.exe", L"", c.operation));
        EXPECT_EQ(std::wstring(c.trail), g_errorTrail.text);
        EXPECT_EQ(0u, g_errorTrail.keptNumber);
    }
}

TEST_F(ShortcutTest, RegistrationFailures)
{
    std::wstring folderPart = shellFolder;
    struct Case {
        const char* name;
        const wchar_t* file;
        size_t pathLength;       // of the shortcut file; 0: a short caption
        int result;
        unsigned number;
        DWORD code;
    };
    const Case cases[] = {
        {"program missing", L"Missing.exe", 0, -1, 1013, ERROR_FILE_NOT_FOUND},
        {"shortcut path of 260 characters", L"TazuHere.exe", 260, -1, 1020, 0},
        {"shortcut path of 259 characters", L"TazuHere.exe", 259, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring caption = L"caption";
        if (c.pathLength) caption = std::wstring(c.pathLength - folderPart.size() - 4, L'c');
        trailClear(&g_errorTrail);
        EXPECT_EQ(c.result, operate(c.file, caption, OperationRegister));
        EXPECT_EQ(c.number, g_errorTrail.keptNumber);
        EXPECT_EQ(c.code, g_errorTrail.keptCode);
        std::vector<std::wstring> expected;
        if (c.result == 0) expected.push_back(caption + L".lnk");
        EXPECT_EQ(expected, namesIn(shellFolder));
    }
}

TEST_F(ShortcutTest, ShortcutsThatCannotBeDeleted)
{
    ASSERT_TRUE(makeShortcut(shellFolder + L"kept.lnk", program(L"TazuHere.exe")));
    ASSERT_TRUE(SetFileAttributesW((shellFolder + L"kept.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(2, operate(L"TazuHere.exe", L"", OperationRemove));
    EXPECT_EQ(1040u, g_errorTrail.keptNumber);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), g_errorTrail.keptCode);
    EXPECT_NE(nullptr, wcsstr(g_errorTrail.text, L"ID:SR3 ")) << utf8(g_errorTrail.text);
    EXPECT_EQ(std::vector<std::wstring>{L"kept.lnk"}, namesIn(shellFolder));
}

TEST_F(ShortcutTest, NoFolderNoOperation)
{
    EXPECT_EQ(-1, runShortcutOperation(L"", L"TazuHere.exe", L"caption", OperationRegister));
    EXPECT_EQ(1010u, g_errorTrail.keptNumber);
    trailClear(&g_errorTrail);
    EXPECT_EQ(0, operate(L"TazuHere.exe", L"caption", 5)) << "an unknown operation does nothing";
    EXPECT_TRUE(namesIn(shellFolder).empty());
}

// The dispatcher with the user's real folders and the real registry.
class PlaceDispatchTest : public ShortcutTest {};

TEST_F(PlaceDispatchTest, EachPlaceGoesItsOwnWay)
{
    wchar_t sendTo[kPathChars];
    ASSERT_EQ(0, lookUpShellFolder(sendTo, kSendToFolderId));
    EXPECT_EQ(userFolder(CSIDL_SENDTO), std::wstring(sendTo) + L"\\");
    wchar_t desktop[kPathChars];
    ASSERT_EQ(0, lookUpShellFolder(desktop, kDesktopFolderId));
    EXPECT_EQ(userFolder(CSIDL_DESKTOPDIRECTORY), std::wstring(desktop) + L"\\");

    struct Case {
        const char* name;
        int place;
        const wchar_t* file;
        int operation;
        int result;
        const wchar_t* lastRecord;   // nullptr: nothing recorded
    };
    const Case cases[] = {
        {"send to, program missing", PlaceSendTo, L"Missing.exe", OperationRegister, -1, L"ID:RRP1 "},
        {"desktop, nothing to remove", PlaceDesktop, L"TazuHere.exe", OperationRemove, 4, L"ID:RRP3 "},
        {"context menu, not registered", PlaceContextMenu, L"TazuHere.exe", OperationCheck, 4, L"ID:RRP2 "},
        {"context menu, changes go elsewhere", PlaceContextMenu, L"TazuHere.exe", OperationRegister, 0, nullptr},
        {"unknown place", 7, L"TazuHere.exe", OperationRegister, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        trailClear(&g_errorTrail);
        EXPECT_EQ(c.result, dispatchPlaceOperation(c.place, c.file, L"caption", c.operation, MenuForMachine));
        std::wstring trail = g_errorTrail.text;
        if (!c.lastRecord) {
            EXPECT_EQ(std::wstring(), trail);
            continue;
        }
        size_t last = trail.rfind(L"ID:");
        ASSERT_NE(std::wstring::npos, last) << utf8(trail);
        EXPECT_EQ(0u, trail.find(c.lastRecord, last) - last) << utf8(trail);
    }
    trailClear(&g_errorTrail);
    dispatchPlaceOperation(PlaceContextMenu, L"TazuHere.exe", L"caption", OperationCheck, MenuForMachine);
    EXPECT_EQ(std::wstring(L"ID:CMC1 CD:0x00000002\nID:CMP1 CD:0x00000000\nID:RRP2 CD:0x00000000\n"),
              g_errorTrail.text);
    EXPECT_TRUE(shortcutsInto(sendTo, folder.path).empty());
    EXPECT_TRUE(shortcutsInto(desktop, folder.path).empty());
}

}  // namespace
