// The clean-up of older backups where Wine cannot show the case: a drive without a Recycle Bin
// (Wine has one on every drive) and a move that the user declines at the shell's warning.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "older_backups.h"
#include "run_state.h"
#include "settings.h"
#include "unit_support.h"

namespace {

bool noRecycleBin(const wchar_t*)
{
    return false;
}

bool withRecycleBin(const wchar_t*)
{
    return true;
}

std::vector<std::wstring> g_shellCalls;

// The user answers "No" when the shell warns that it would delete for good.
int WINAPI declineDeletion(LPSHFILEOPSTRUCTW request)
{
    g_shellCalls.push_back(request->pFrom);
    request->fAnyOperationsAborted = TRUE;
    return 0;
}

class OlderBackups : public ::testing::Test {
protected:
    void SetUp() override
    {
        readSettingsFile((temp / L"none.ini").c_str(), &g_settings);
        g_settings.language = UiEnglish;
        g_settings.addStringsAft = 4;   // serial number after "_"
        g_settings.keepBackups = 2;
        clearPerRunState();
        g_shellCalls.clear();
        for (const wchar_t* name : {L"report.txt", L"report_1.txt", L"report_2.txt", L"report_3.txt", L"report_old.txt"})
            ASSERT_TRUE(writeBytes(temp / name, "bytes"));
        ASSERT_EQ(0, beginBackupItem((temp / L"report.txt").c_str(), &item));
        item.output = OutputCopyOrRename;
        ASSERT_EQ(0, splitPath(item.path, false, &item.parts));
        // The new backup of this run.
        ASSERT_TRUE(writeBytes(temp / L"report_4.txt", "new"));
        copyText(g_run.lastNewPath, kPathChars, (temp / L"report_4.txt").c_str());
        copyText(g_run.destinationFolder, kFolderChars, temp.path().c_str());
    }
    void TearDown() override
    {
        setRecycleBinCheck(nullptr);
        setShellOperationCall(nullptr);
    }

    std::vector<std::wstring> left() { return namesIn(temp.path()); }

    TempFolder temp;
    BackupItem item;
    const std::vector<std::wstring> all = {L"report.txt",   L"report_1.txt", L"report_2.txt",
                                           L"report_3.txt", L"report_4.txt", L"report_old.txt"};
};

TEST_F(OlderBackups, ADriveWithoutRecycleBinKeepsEveryBackup)
{
    setRecycleBinCheck(noRecycleBin);
    setShellOperationCall(declineDeletion);
    CleanupReport report;
    removeOlderBackups(&item, &report);
    EXPECT_EQ(CleanupNoRecycleBin, report.outcome);
    EXPECT_EQ(0, report.moved);
    EXPECT_TRUE(g_shellCalls.empty());
    EXPECT_EQ(all, left());

    // Nothing to ask about when every backup may stay.
    g_settings.keepBackups = 0;
    removeOlderBackups(&item, &report);
    EXPECT_EQ(CleanupNothingToDo, report.outcome);
    g_settings.keepBackups = 4;
    removeOlderBackups(&item, &report);
    EXPECT_EQ(CleanupNothingToDo, report.outcome);
    EXPECT_TRUE(g_shellCalls.empty());
}

TEST_F(OlderBackups, ADeclinedMoveStopsTheCleanUpAtTheOldest)
{
    setRecycleBinCheck(withRecycleBin);
    setShellOperationCall(declineDeletion);
    CleanupReport report;
    removeOlderBackups(&item, &report);
    EXPECT_EQ(CleanupStopped, report.outcome);
    EXPECT_EQ(0, report.moved);
    EXPECT_STREQ(L"report_1.txt", report.stayed);
    // Oldest first, and nothing after the refusal.
    EXPECT_EQ(std::vector<std::wstring>{temp / L"report_1.txt"}, g_shellCalls);
    EXPECT_EQ(all, left());
}

}  // namespace

namespace {

const wchar_t kPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// Sets a DWORD value of HKEY_CURRENT_USER, or removes it (value < 0).
bool setUserDword(const std::wstring& key, const wchar_t* name, int value)
{
    if (value < 0) {
        LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), name);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    DWORD data = static_cast<DWORD>(value);
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &data, sizeof data) == ERROR_SUCCESS;
}

// The check that the seam replaces, on Wine's real drives and the user's real settings.
TEST(RecycleBinCheck, AFixedDriveHasOneUnlessTheUserOrAPolicyTurnedItOff)
{
    TempFolder temp;
    ASSERT_TRUE(folderHasRecycleBin(temp.path().c_str()));
    EXPECT_FALSE(folderHasRecycleBin(L"\\\\vantrel-no-server\\share\\backups\\"));

    ASSERT_TRUE(setUserDword(kPolicyKey, L"NoRecycleFiles", 1));
    EXPECT_FALSE(folderHasRecycleBin(temp.path().c_str()));
    ASSERT_TRUE(setUserDword(kPolicyKey, L"NoRecycleFiles", -1));

    wchar_t root[MAX_PATH], volume[MAX_PATH];
    ASSERT_TRUE(GetVolumePathNameW(temp.path().c_str(), root, MAX_PATH));
    if (!GetVolumeNameForVolumeMountPointW(root, volume, MAX_PATH) || !wcschr(volume, L'{'))
        GTEST_SKIP() << "Wine names no volume for " << utf8(root);
    std::wstring guid = wcschr(volume, L'{');
    if (!guid.empty() && guid.back() == L'\\') guid.pop_back();
    const std::wstring volumeKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\" + guid;
    ASSERT_TRUE(setUserDword(volumeKey, L"NukeOnDelete", 1));
    EXPECT_FALSE(folderHasRecycleBin(temp.path().c_str()));
    ASSERT_TRUE(setUserDword(volumeKey, L"NukeOnDelete", 0));
    EXPECT_TRUE(folderHasRecycleBin(temp.path().c_str()));
    RegDeleteKeyW(HKEY_CURRENT_USER, volumeKey.c_str());
}

}  // namespace
