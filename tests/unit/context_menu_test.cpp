// Context-menu entries in the real registry of the Wine prefix, read back from the registry
// itself: registration under both roots, re-registration, legacy entries, removal of nothing,
// a missing program, an entry that cannot be deleted, the parents that a registration made for
// the user's entries, and a folder name too long for a verb key.
// Each test has a program folder of its own, so its verb keys are its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
        ASSERT_EQ(0, registerProgramEntries(MenuForMachine, commandFileName(c.row), caption.c_str(), c.before, c.after));
        for (const wchar_t* root : kRoots)
            EXPECT_TRUE(holdsEntry(current(root, base), caption, program(base), c.before, c.after));
        EXPECT_FALSE(keyExists(verbKey(kFilesShellRoot, L"", base))) << "no legacy entry is ever made";
        EXPECT_EQ(0, checkProgramEntries(MenuForMachine, commandFileName(c.row)));
    }
    EXPECT_EQ(std::wstring(), g_errorTrail.text);
}

TEST_F(ContextMenuTest, ReRegistrationReplacesEveryValue)
{
    ASSERT_EQ(0, registerProgramEntries(MenuForMachine, L"TazuThere.exe", L"old(&1)", true, true));
    std::wstring key = current(kFilesShellRoot, L"TazuThere");
    ASSERT_TRUE(writeDefaultText(key + L"\\Command", L"stale"));
    ASSERT_EQ(0, registerProgramEntries(MenuForMachine, L"TazuThere.exe", L"new(&2)", false, false));
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
        EXPECT_EQ(0, checkProgramEntries(MenuForMachine, L"TazuRename.exe"));
        if (c.registerAfterwards) {
            ASSERT_EQ(0, registerProgramEntries(MenuForMachine, L"TazuRename.exe", L"renamed(&1)", true, true));
            for (const wchar_t* root : kRoots)
                EXPECT_TRUE(holdsEntry(current(root, L"TazuRename"), L"renamed(&1)", program(L"TazuRename"), true, true));
            ASSERT_EQ(0, removeProgramEntries(MenuForMachine, L"TazuRename.exe"));
        } else {
            EXPECT_EQ(0, removeProgramEntries(MenuForMachine, L"TazuRename.exe"));
        }
        for (const wchar_t* root : kRoots) {
            EXPECT_FALSE(keyExists(verbKey(root, L"", L"TazuRename")));
            EXPECT_FALSE(keyExists(current(root, L"TazuRename")));
        }
        EXPECT_EQ(4, checkProgramEntries(MenuForMachine, L"TazuRename.exe"));
    }
}

TEST_F(ContextMenuTest, NothingToRemoveGivesFour)
{
    EXPECT_EQ(4, checkProgramEntries(MenuForMachine, L"TazuHereZip.exe"));
    EXPECT_EQ(std::wstring(L"ID:UAC-CMCK1 CD:0x00000002\nID:UAC-CMP1 CD:0x00000000\n"), g_errorTrail.text);
    trailClear(&g_errorTrail);
    EXPECT_EQ(4, removeProgramEntries(MenuForMachine, L"TazuHereZip.exe"));
    EXPECT_EQ(0u, g_errorTrail.keptNumber);
    EXPECT_EQ(std::wstring(L"ID:UAC-CMR1 CD:0x00000002\nID:UAC-CMP6 CD:0x00000000\n"
                           L"ID:UAC-CMR1 CD:0x00000002\nID:UAC-CMP7 CD:0x00000000\n"),
              g_errorTrail.text);
}

TEST_F(ContextMenuTest, MissingProgramFailsBeforeAnyKeyIsTouched)
{
    ASSERT_EQ(0, registerProgramEntries(MenuForMachine, L"TazuHere.exe", L"kept", false, false));
    ASSERT_TRUE(DeleteFileW(program(L"TazuHere").c_str()));
    trailClear(&g_errorTrail);
    EXPECT_EQ(-1, registerProgramEntries(MenuForMachine, L"TazuHere.exe", L"replaced", false, false));
    EXPECT_EQ(2005u, g_errorTrail.keptNumber);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), g_errorTrail.keptCode);
    for (const wchar_t* root : kRoots)
        EXPECT_TRUE(holdsEntry(current(root, L"TazuHere"), L"kept", program(L"TazuHere"), false, false));
}

// A removal that cannot finish leaves the entry whole: here the verb key holds another subkey,
// which is not the entry's to delete, so the command key deleted before it comes back.
TEST_F(ContextMenuTest, AnEntryThatCannotGoStaysWhole)
{
    ASSERT_EQ(0, registerProgramEntries(MenuForMachine, L"TazuHere.exe", L"entry", false, false));
    std::wstring key = current(kFoldersShellRoot, L"TazuHere");
    ASSERT_TRUE(writeDefaultText(key + L"\\Extra", L"someone else's"));
    trailClear(&g_errorTrail);
    EXPECT_EQ(-1, removeProgramEntries(MenuForMachine, L"TazuHere.exe"));
    EXPECT_FALSE(keyExists(current(kFilesShellRoot, L"TazuHere")));
    EXPECT_EQ(L"entry", keyValues(key)[L""].text);
    EXPECT_EQ(L"\"" + program(L"TazuHere") + L"\" \"%1\"", keyValues(key + L"\\Command")[L""].text);
    EXPECT_TRUE(keyExists(key + L"\\Extra")) << "only the entry's own keys are deleted";
    // The step that stopped it (the verb key's deletion) with the system's code.
    EXPECT_EQ(2033u, g_errorTrail.keptNumber);
    EXPECT_NE(0u, g_errorTrail.keptCode);
    EXPECT_NE(nullptr, wcsstr(g_errorTrail.text, L"ID:UAC-CMP7")) << utf8(g_errorTrail.text);
    EXPECT_EQ(nullptr, wcsstr(g_errorTrail.text, L"ID:UAC-CMP6")) << utf8(g_errorTrail.text);
    EXPECT_EQ(nullptr, wcsstr(g_errorTrail.text, L"ID:UAC-CMR6")) << utf8(g_errorTrail.text);
}

// HKEY_CURRENT_USER of this process stands for a key of the test's own while one of these lives,
// so that the user's classes begin empty and nothing of them outlives the test.
class OwnUserKey {
public:
    OwnUserKey() : path_(L"Software\\vantrel_user_" + std::to_wstring(GetCurrentProcessId()))
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
        overridden_ = key_ && RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
    }
    ~OwnUserKey()
    {
        if (overridden_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (key_) RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    bool ready() const { return overridden_; }

private:
    std::wstring path_;
    HKEY key_ = nullptr;
    bool overridden_ = false;
};

bool makeEmptyKey(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The user's classes may lack "*" and "Folder": a registration makes them, and the removal of
// the last entry takes away what it made once nothing else is in it, never a key that was there.
TEST_F(ContextMenuTest, RemovalTakesAwayOnlyTheParentsThatRegistrationMade)
{
    struct Case {
        const char* name;
        bool valueAddedToStar;   // someone else put a value into "*" meanwhile
    };
    const Case cases[] = {{"untouched", false}, {"\"*\" used by someone else", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnUserKey user;
        ASSERT_TRUE(user.ready());
        ASSERT_TRUE(makeEmptyKey(L"Folder\\shell"));   // there before: "Folder" and "Folder\shell"
        for (const wchar_t* file : {L"TazuHere.exe", L"TazuThere.exe"})
            ASSERT_EQ(0, registerProgramEntries(MenuForUser, file, L"entry", true, true));
        EXPECT_EQ(1u, keyValues(L"*", UserClasses).count(kMadeForEntriesValue));
        EXPECT_EQ(1u, keyValues(L"*\\shell", UserClasses).count(kMadeForEntriesValue));
        EXPECT_EQ(0u, keyValues(L"Folder", UserClasses).count(kMadeForEntriesValue));
        EXPECT_EQ(0u, keyValues(L"Folder\\shell", UserClasses).count(kMadeForEntriesValue));
        if (c.valueAddedToStar) {
            ASSERT_TRUE(writeDefaultText(L"*", L"theirs", UserClasses));
        }

        ASSERT_EQ(0, removeProgramEntries(MenuForUser, L"TazuHere.exe"));
        EXPECT_TRUE(keyExists(L"*\\shell", UserClasses)) << "another entry is still in it";
        ASSERT_EQ(0, removeProgramEntries(MenuForUser, L"TazuThere.exe"));
        EXPECT_FALSE(keyExists(L"*\\shell", UserClasses));
        EXPECT_EQ(c.valueAddedToStar, keyExists(L"*", UserClasses));
        EXPECT_TRUE(keyExists(L"Folder\\shell", UserClasses));
        EXPECT_TRUE(subkeyNames(L"Folder\\shell", UserClasses).empty());
    }
}

// What the check and the removal asked for when they opened keys. Wine enforces no access
// lists, so the seam plays Windows for a user without administrator rights: the machine's
// entries open for reading only.
struct OpenRequest {
    HKEY base;
    std::wstring path;
    REGSAM access;
};
std::vector<OpenRequest> g_opens;
bool g_denyWriting = false;

LONG recordOpen(HKEY base, const wchar_t* path, REGSAM access, HKEY* key)
{
    g_opens.push_back({base, path, access});
    if (g_denyWriting && (access & ~KEY_READ) != 0) return ERROR_ACCESS_DENIED;
    return RegOpenKeyExW(base, path, 0, access, key);
}

// Installs the recorder while it lives.
struct RecordedOpens {
    LONG (*saved)(HKEY, const wchar_t*, REGSAM, HKEY*);
    explicit RecordedOpens(bool denyWriting) : saved(g_openRegistryKey)
    {
        g_opens.clear();
        g_denyWriting = denyWriting;
        g_openRegistryKey = recordOpen;
    }
    ~RecordedOpens() { g_openRegistryKey = saved; }
};

// Every open asked for the access, below "Software\Classes" of the scope's own key: the
// machine's entries are not read through HKEY_CLASSES_ROOT, whose merged view on Windows shows
// the user's entries too (Wine merges nothing, so only the seam can tell).
::testing::AssertionResult everyOpenAsked(REGSAM access, size_t count, HKEY base = HKEY_LOCAL_MACHINE)
{
    if (g_opens.size() != count) return ::testing::AssertionFailure() << g_opens.size() << " opens, expected " << count;
    for (const OpenRequest& open : g_opens) {
        if (open.access != access)
            return ::testing::AssertionFailure() << utf8(open.path) << " opened with access 0x" << std::hex << open.access;
        if (open.base != base || open.path.rfind(L"Software\\Classes\\", 0) != 0)
            return ::testing::AssertionFailure() << utf8(open.path) << " opened below another key";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ContextMenuTest, CheckOpensForReadingAndRemovalForChangingInTheScopesOwnClasses)
{
    ASSERT_EQ(0, registerProgramEntries(MenuForMachine, L"TazuHere.exe", L"entry", false, false));
    ASSERT_TRUE(writeLegacyEntry(kFilesShellRoot, L"TazuThere", program(L"TazuThere")));
    {
        RecordedOpens opens(true);
        setInstallation(folder.path.c_str(), CallerSetting);
        // Both variants' command and verb keys under each root: the current entry and a legacy
        // one count as registered, also where writing is refused.
        EXPECT_EQ(0, checkProgramEntries(MenuForMachine, L"TazuHere.exe"));
        EXPECT_TRUE(everyOpenAsked(KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, 8));
        g_opens.clear();
        EXPECT_EQ(0, checkEntryUnder(MenuForMachine, kFilesShellRoot, L"TazuThere.exe"));
        EXPECT_TRUE(everyOpenAsked(KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, 4));

        // Removal opens to delete, the verb key first: refused here, so it fails at once, says
        // where and why, and deletes nothing.
        g_opens.clear();
        trailClear(&g_errorTrail);
        EXPECT_EQ(-1, removeProgramEntries(MenuForMachine, L"TazuHere.exe"));
        EXPECT_EQ(2032u, g_errorTrail.keptNumber);
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), g_errorTrail.keptCode);
        EXPECT_TRUE(everyOpenAsked(KEY_ALL_ACCESS, 4));
        for (const wchar_t* root : kRoots)
            EXPECT_TRUE(holdsEntry(current(root, L"TazuHere"), L"entry", program(L"TazuHere"), false, false));
    }
    RecordedOpens opens(false);
    // Per root the legacy verb key (missing), then the current verb key and its command key.
    EXPECT_EQ(0, removeProgramEntries(MenuForMachine, L"TazuHere.exe"));
    EXPECT_TRUE(everyOpenAsked(KEY_ALL_ACCESS, 6));
    for (const wchar_t* root : kRoots) EXPECT_FALSE(keyExists(current(root, L"TazuHere")));
    g_opens.clear();
    EXPECT_EQ(4, checkProgramEntries(MenuForUser, L"TazuHere.exe"));
    EXPECT_TRUE(everyOpenAsked(KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, 4, HKEY_CURRENT_USER));
}

class LongFolderContextMenuTest : public ContextMenuTest {
protected:
    // A folder-derived text that makes the base name and the suffix 64 characters or more.
    void SetUp() override { prepare(std::wstring(56, L'x')); }
};

TEST_F(LongFolderContextMenuTest, FolderNameTooLongForAVerbKey)
{
    ASSERT_GE(wcslen(L"TazuHere") + folder.captionSuffix.size(), 64u);
    EXPECT_EQ(-1, registerProgramEntries(MenuForMachine, L"TazuHere.exe", L"caption", true, true));
    EXPECT_EQ(2010u, g_errorTrail.keptNumber);
    EXPECT_EQ(0u, g_errorTrail.keptCode);
    for (const wchar_t* root : kRoots) EXPECT_FALSE(keyExists(current(root, L"TazuHere")));
}

}  // namespace
