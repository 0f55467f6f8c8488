// Context-menu entries in the real registry of the Wine prefix, read back from the registry
// itself: registration under both roots, re-registration, legacy entries, removal of nothing,
// a missing program, an entry that cannot be deleted and a folder name too long for a verb key.
// Each test has a program folder of its own, so its verb keys are its own.
#include <gtest/gtest.h>

#include <string>

#include "command_table.h"
#include "context_menu.h"
#include "errors.h"
#include "registration_support.h"

using namespace registration_test;

namespace {

const wchar_t* const kRoots[2] = {kFilesShellRoot, kFoldersShellRoot};

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override { prepare(L""); }

    void prepare(const std::wstring& tag)
    {
        ASSERT_TRUE(makeProgramFolder(&folder, tag));
        ASSERT_TRUE(placeCommandFiles(folder));
        ASSERT_EQ(0, setInstallation(folder.path.c_str(), CallerHelper));
        trailClear(&g_errorTrail);
    }

    void TearDown() override { EXPECT_TRUE(removeEverything(folder)); }

    std::wstring program(const wchar_t* base) const { return folder.path + base + L".exe"; }

    std::wstring current(const wchar_t* root, const wchar_t* base) const
    {
        return verbKey(root, folder.verbPrefix, base);
    }

    ProgramFolder folder;
};

TEST_F(ContextMenuTest, RegistrationWritesTheEntryUnderBothRoots)
{
    struct Case {
        int row;
        bool before;
        bool after;
    };
    const Case cases[] = {{0, true, false}, {1, false, true}, {2, true, true}, {3, false, false}};
    for (const Case& c : cases) {
        const wchar_t* base = kBaseNames[c.row];
        SCOPED_TRACE(utf8(base));
        std::wstring caption = std::wstring(base) + L" caption" + folder.captionSuffix + L"(&1)";
        ASSERT_EQ(0, registerProgramEntries(commandFileName(c.row), caption.c_str(), c.before, c.after));
        for (const wchar_t* root : kRoots)
            EXPECT_TRUE(holdsEntry(current(root, base), caption, program(base), c.before, c.after));
        EXPECT_FALSE(keyExists(verbKey(kFilesShellRoot, L"", base))) << "no legacy entry is ever made";
        EXPECT_EQ(0, checkProgramEntries(commandFileName(c.row)));
    }
    EXPECT_EQ(std::wstring(), g_errorTrail.text);
}

TEST_F(ContextMenuTest, ReRegistrationReplacesEveryValue)
{
    ASSERT_EQ(0, registerProgramEntries(L"TazuThere.exe", L"old(&1)", true, true));
    std::wstring key = current(kFilesShellRoot, L"TazuThere");
    ASSERT_TRUE(writeDefaultText(key + L"\\Command", L"stale"));
    ASSERT_EQ(0, registerProgramEntries(L"TazuThere.exe", L"new(&2)", false, false));
    for (const wchar_t* root : kRoots)
        EXPECT_TRUE(holdsEntry(current(root, L"TazuThere"), L"new(&2)", program(L"TazuThere"), false, false));
}

TEST_F(ContextMenuTest, LegacyEntriesCountAndGoAway)
{
    struct Case {
        const char* name;
        bool registerAfterwards;
    };
    const Case cases[] = {{"removed", false}, {"replaced by registration", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const wchar_t* root : kRoots) ASSERT_TRUE(writeLegacyEntry(root, L"TazuRename", program(L"TazuRename")));
        EXPECT_EQ(0, checkProgramEntries(L"TazuRename.exe"));
        if (c.registerAfterwards) {
            ASSERT_EQ(0, registerProgramEntries(L"TazuRename.exe", L"renamed(&1)", true, true));
            for (const wchar_t* root : kRoots)
                EXPECT_TRUE(holdsEntry(current(root, L"TazuRename"), L"renamed(&1)", program(L"TazuRename"), true, true));
            ASSERT_EQ(0, removeProgramEntries(L"TazuRename.exe"));
        } else {
            EXPECT_EQ(0, removeProgramEntries(L"TazuRename.exe"));
        }
        for (const wchar_t* root : kRoots) {
            EXPECT_FALSE(keyExists(verbKey(root, L"", L"TazuRename")));
            EXPECT_FALSE(keyExists(current(root, L"TazuRename")));
        }
        EXPECT_EQ(4, checkProgramEntries(L"TazuRename.exe"));
    }
}

TEST_F(ContextMenuTest, NothingToRemoveGivesFour)
{
    EXPECT_EQ(4, checkProgramEntries(L"TazuHereZip.exe"));
    EXPECT_EQ(std::wstring(L"ID:UAC-CMCK1 CD:0x00000002\nID:UAC-CMP1 CD:0x00000000\n"), g_errorTrail.text);
    trailClear(&g_errorTrail);
    EXPECT_EQ(4, removeProgramEntries(L"TazuHereZip.exe"));
    EXPECT_EQ(0u, g_errorTrail.keptNumber);
    EXPECT_EQ(std::wstring(L"ID:UAC-CMR1 CD:0x00000002\nID:UAC-CMP6 CD:0x00000000\n"
                           L"ID:UAC-CMR1 CD:0x00000002\nID:UAC-CMP7 CD:0x00000000\n"),
              g_errorTrail.text);
}

TEST_F(ContextMenuTest, MissingProgramFailsBeforeAnyKeyIsTouched)
{
    ASSERT_EQ(0, registerProgramEntries(L"TazuHere.exe", L"kept", false, false));
    ASSERT_TRUE(DeleteFileW(program(L"TazuHere").c_str()));
    trailClear(&g_errorTrail);
    EXPECT_EQ(-1, registerProgramEntries(L"TazuHere.exe", L"replaced", false, false));
    EXPECT_EQ(2005u, g_errorTrail.keptNumber);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), g_errorTrail.keptCode);
    for (const wchar_t* root : kRoots)
        EXPECT_TRUE(holdsEntry(current(root, L"TazuHere"), L"kept", program(L"TazuHere"), false, false));
}

TEST_F(ContextMenuTest, EntryWithAnotherSubkeyIsNotDeleted)
{
    ASSERT_EQ(0, registerProgramEntries(L"TazuHere.exe", L"entry", false, false));
    std::wstring key = current(kFoldersShellRoot, L"TazuHere");
    ASSERT_TRUE(writeDefaultText(key + L"\\Extra", L"someone else's"));
    trailClear(&g_errorTrail);
    EXPECT_EQ(-1, removeProgramEntries(L"TazuHere.exe"));
    EXPECT_FALSE(keyExists(current(kFilesShellRoot, L"TazuHere")));
    EXPECT_FALSE(keyExists(key + L"\\Command"));
    EXPECT_TRUE(keyExists(key + L"\\Extra")) << "only the entry's own keys are deleted";
    EXPECT_EQ(2030u, g_errorTrail.keptNumber);
    EXPECT_NE(nullptr, wcsstr(g_errorTrail.text, L"ID:UAC-CMP7")) << utf8(g_errorTrail.text);
    EXPECT_EQ(nullptr, wcsstr(g_errorTrail.text, L"ID:UAC-CMP6")) << utf8(g_errorTrail.text);
}

class LongFolderContextMenuTest : public ContextMenuTest {
protected:
    // A folder-derived text that makes the base name and the suffix 64 characters or more.
    void SetUp() override { prepare(std::wstring(56, L'x')); }
};

TEST_F(LongFolderContextMenuTest, FolderNameTooLongForAVerbKey)
{
    ASSERT_GE(wcslen(L"TazuHere") + folder.captionSuffix.size(), 64u);
    EXPECT_EQ(-1, registerProgramEntries(L"TazuHere.exe", L"caption", true, true));
    EXPECT_EQ(2010u, g_errorTrail.keptNumber);
    EXPECT_EQ(0u, g_errorTrail.keptCode);
    for (const wchar_t* root : kRoots) EXPECT_FALSE(keyExists(current(root, L"TazuHere")));
}

}  // namespace
