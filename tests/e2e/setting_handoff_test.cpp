// TazuSetting in pre-backup mode: a real TazuHere with "StartSetting" 1 shows it, and the button
// the user presses decides with which settings the backup runs, or whether it runs at all.
#include "setting_fixture.h"

namespace e2e {
namespace {

constexpr DWORD kEndedWithoutRun = static_cast<DWORD>(-1);

class SettingHandoffTest : public SettingTest {};

TEST_F(SettingHandoffTest, TheWaitingCommandFollowsTheButton)
{
    ASSERT_TRUE(addProgram(L"TazuHere.exe"));
    struct Row {
        const char* name;
        UINT message;
        WPARAM id;
        const wchar_t* marker;       // what the backup's name carries, nullptr: no backup
        bool saved;                  // "tazu.ini" holds the change
        bool temporary;              // "tazu_tmp.ini" holds it
    };
    const Row rows[] = {
        {"OK", WM_COMMAND, IDOK, L"-changed-", true, false},
        {"OK(No save)", WM_COMMAND, IDC_MAIN_OK_NO_SAVE, L"-changed-", false, true},
        {"Cancel", WM_COMMAND, IDC_MAIN_CANCEL, nullptr, false, false},
        {"close box", WM_CLOSE, 0, nullptr, false, false},
    };
    int run = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(settings({{L"StartSetting", L"1"}, {L"Path", sandbox.data}, {L"PrefixAft1", L"-saved-"}}));
        DeleteFileW(iniPath(L"tazu_tmp.ini").c_str());
        DeleteFileW((sandbox.programFolder + L"tazu_bk.ini").c_str());
        std::string before;
        ASSERT_TRUE(readFile(iniPath(), &before));
        std::wstring item = file(L"item" + std::to_wstring(++run) + L".txt", "item");

        driver::Program* command = nullptr;
        ASSERT_TRUE(runCommand(L"TazuHere.exe", inQuotes(item), &command));
        SettingWindow window;
        ASSERT_TRUE(attachStarted(&window));
        // The command waits: OK(No save) is offered beside OK.
        EXPECT_TRUE(driver::isVisible(GetDlgItem(window.main, IDC_MAIN_OK_NO_SAVE)));
        EXPECT_TRUE(driver::isRunning(*command));
        ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_PREFIX_AFT1, L"-changed-"));
        PostMessageW(window.main, row.message, row.id, 0);
        EXPECT_TRUE(endsWith(*window.program, 0, 20000));

        if (row.marker) {
            EXPECT_TRUE(endsWith(*command, 0, 30000));
        } else {
            EXPECT_TRUE(endsWith(*command, kEndedWithoutRun, 20000));
        }
        std::vector<std::wstring> backups;
        std::wstring base = L"item" + std::to_wstring(run);
        for (const std::wstring& name : namesIn(sandbox.data))
            if (name.rfind(base, 0) == 0 && name != base + L".txt") backups.push_back(name);
        if (row.marker) {
            ASSERT_EQ(backups.size(), 1u);
            EXPECT_EQ(backups[0].find(base + row.marker), 0u) << narrow(backups[0]);
        } else {
            EXPECT_TRUE(backups.empty());
        }

        std::string after;
        ASSERT_TRUE(readFile(iniPath(), &after));
        EXPECT_EQ(after != before, row.saved);
        EXPECT_EQ(setting(L"PrefixAft1"), row.saved ? L"-changed-" : L"-saved-");
        EXPECT_EQ(exists(sandbox.programFolder + L"tazu_bk.ini"), row.saved);
        EXPECT_EQ(exists(iniPath(L"tazu_tmp.ini")), row.temporary);
        for (const std::wstring& name : namesIn(sandbox.data))
            if (name.rfind(base, 0) == 0 && name != base + L".txt") removeTree(sandbox.data + name);
    }
}

}  // namespace
}  // namespace e2e
