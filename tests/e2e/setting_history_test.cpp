// The destination history dialog of TazuSetting: its operations on the rows, its refusals and
// keys, and what OK and Cancel give back to the backup setting page.
#include "setting_fixture.h"

namespace e2e {
namespace {

class SettingHistoryTest : public SettingTest {
protected:
    // Opens TazuSetting on the backup setting page with the given history, then the dialog.
    ::testing::AssertionResult openDialog(const std::vector<std::wstring>& slots)
    {
        std::map<std::wstring, std::wstring> keys = {{L"Tab", L"1"}, {L"Path", sandbox.data}};
        for (size_t i = 0; i < slots.size(); ++i) keys[L"PathHis" + std::to_wstring(i + 1)] = slots[i];
        auto written = settings(keys);
        if (!written) return written;
        auto opened = open(&window);
        if (!opened) return opened;
        return reopenDialog();
    }

    ::testing::AssertionResult reopenDialog()
    {
        driver::pressButton(window.backup, IDC_BACKUP_HISTORY);
        dialog = nullptr;
        driver::waitUntil([&] {
            for (HWND top : driver::windowsOf(window.program->id))
                if (GetDlgItem(top, IDC_HISTORY_LIST)) dialog = top;
            return dialog != nullptr;
        }, 10000);
        if (!dialog) return ::testing::AssertionFailure() << "the history dialog did not open";
        list = GetDlgItem(dialog, IDC_HISTORY_LIST);
        // The dialog selects its first row once it has shown its list.
        driver::waitUntil([&] { return driver::listViewSelection(list) >= 0; }, 5000);
        return ::testing::AssertionSuccess();
    }

    std::vector<std::wstring> rows() { return driver::listViewRows(window.program->id, list); }

    // Ten rows: the given ones, then empty ones.
    static std::vector<std::wstring> tenRows(std::vector<std::wstring> first)
    {
        first.resize(10);
        return first;
    }

    ::testing::AssertionResult press(int id, int selectRow)
    {
        if (selectRow != kKeepSelection && !driver::selectListViewRow(window.program->id, list, selectRow))
            return ::testing::AssertionFailure() << "row " << selectRow << " not selected";
        if (!driver::pressButton(dialog, id)) return ::testing::AssertionFailure() << "button " << id << " not pressed";
        // Posted: wait until the dialog has handled it.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        return ::testing::AssertionSuccess();
    }

    std::wstring status() { return driver::controlText(dialog, IDC_HISTORY_STATUS); }
    std::wstring edited() { return driver::controlText(dialog, IDC_HISTORY_EDIT); }

    static constexpr int kKeepSelection = -2;
    SettingWindow window;
    HWND dialog = nullptr;
    HWND list = nullptr;
};

TEST_F(SettingHistoryTest, OperationsMoveDeleteAndUpdateRows)
{
    ASSERT_TRUE(openDialog({L"C:\\A", L"C:\\B", L"C:\\C"}));
    EXPECT_EQ(driver::controlText(dialog, IDC_HISTORY_LABEL), L"Folder path");
    EXPECT_EQ(rows(), tenRows({L"C:\\A", L"C:\\B", L"C:\\C"}));
    EXPECT_EQ(driver::listViewSelection(list), 0);
    EXPECT_EQ(edited(), L"C:\\A");

    struct Step {
        const char* name;
        int button;
        int selectRow;
        const wchar_t* typed;   // nullptr: the edit box is left alone
        std::vector<std::wstring> rows;
        int selected;
        const wchar_t* status;
    };
    const Step steps[] = {
        {"up", IDC_HISTORY_UP, 2, nullptr, tenRows({L"C:\\A", L"C:\\C", L"C:\\B"}), 1, L""},
        {"up on the first row", IDC_HISTORY_UP, 0, nullptr, tenRows({L"C:\\A", L"C:\\C", L"C:\\B"}), 0, L""},
        {"down", IDC_HISTORY_DOWN, 0, nullptr, tenRows({L"C:\\C", L"C:\\A", L"C:\\B"}), 1, L""},
        {"down on the last row", IDC_HISTORY_DOWN, 9, nullptr, tenRows({L"C:\\C", L"C:\\A", L"C:\\B"}), 9, L""},
        {"update", IDC_HISTORY_UPDATE, 1, L"D:\\New Place", tenRows({L"C:\\C", L"D:\\New Place", L"C:\\B"}), 1,
         L"Updated."},
        {"a pasted path loses its line breaks", IDC_HISTORY_UPDATE, 4, L"E:\\Pasted\r\n",
         tenRows({L"C:\\C", L"D:\\New Place", L"C:\\B", L"", L"E:\\Pasted"}), 4, L"Removed the control code and updated."},
        {"without a selection update fills the first empty row", IDC_HISTORY_UPDATE, -1, L"F:\\",
         tenRows({L"C:\\C", L"D:\\New Place", L"C:\\B", L"F:\\", L"E:\\Pasted"}), 3, L"Updated."},
        {"delete", IDC_HISTORY_DELETE, 0, nullptr, tenRows({L"D:\\New Place", L"C:\\B", L"F:\\", L"E:\\Pasted"}), 0, L""},
        {"an empty text empties a row", IDC_HISTORY_UPDATE, 1, L"", tenRows({L"D:\\New Place", L"", L"F:\\", L"E:\\Pasted"}),
         1, L"Updated."},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.typed) {
            // The selection fills the edit box; type after selecting.
            if (step.selectRow != kKeepSelection) {
                ASSERT_TRUE(driver::selectListViewRow(window.program->id, list, step.selectRow));
            }
            ASSERT_TRUE(driver::setControlText(dialog, IDC_HISTORY_EDIT, step.typed));
            ASSERT_TRUE(press(step.button, kKeepSelection));
        } else {
            ASSERT_TRUE(press(step.button, step.selectRow));
        }
        EXPECT_EQ(rows(), step.rows);
        EXPECT_TRUE(driver::waitUntil([&] { return driver::listViewSelection(list) == step.selected; }, 3000));
        EXPECT_EQ(status(), step.status);
        EXPECT_EQ(edited(), step.rows[step.selected]);
    }
    ASSERT_TRUE(driver::pressButton(dialog, IDC_HISTORY_CANCEL));
    ASSERT_TRUE(driver::waitGone(dialog, 5000));
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
    EXPECT_TRUE(endsWith(*window.program, 0, 10000));
}

TEST_F(SettingHistoryTest, RefusalsKeysAndMessagesLeaveTheRowsAsTheyWere)
{
    std::vector<std::wstring> full;
    for (int i = 1; i <= 10; ++i) full.push_back(L"C:\\Slot" + std::to_wstring(i));
    ASSERT_TRUE(openDialog(full));

    struct Refusal {
        const char* name;
        int selectRow;
        const wchar_t* typed;
        std::wstring message;
    };
    const Refusal refusals[] = {
        {"a question mark", 2, L"C:\\What?", L"The folder path contains characters that can not be used.\n\nNG : ? \n\nC:\\What?"},
        {"too long", 2, nullptr,
         L"The folder path is too long.\n\nNow:260 characters or more  Max:259 characters\n\nC:\\" + std::wstring(257, L'x')},
        {"no row selected and none empty", -1, L"C:\\Other", L"Please select a list.\n"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        ASSERT_TRUE(driver::selectListViewRow(window.program->id, list, refusal.selectRow));
        std::wstring typed = refusal.typed ? refusal.typed : L"C:\\" + std::wstring(257, L'x');
        ASSERT_TRUE(driver::setControlText(dialog, IDC_HISTORY_EDIT, typed));
        ASSERT_TRUE(driver::pressButton(dialog, IDC_HISTORY_UPDATE));
        HWND box = driver::findMessageBox(window.program->id, 10000);
        ASSERT_TRUE(box);
        // Escape and Enter do not close the dialog's message boxes.
        driver::key(box, VK_ESCAPE);
        driver::key(box, VK_RETURN);
        Sleep(300);
        EXPECT_TRUE(IsWindow(box));
        EXPECT_TRUE(answerMessageBox(*window.program, kSettingTitle, refusal.message, driver::IconError, IDOK));
        EXPECT_EQ(rows(), full);
        EXPECT_EQ(status(), L"");
    }

    // Enter and Escape do nothing in the dialog either.
    ASSERT_TRUE(driver::selectListViewRow(window.program->id, list, 0));
    driver::key(list, VK_RETURN);
    driver::key(list, VK_ESCAPE);
    driver::key(GetDlgItem(dialog, IDC_HISTORY_EDIT), VK_RETURN);
    Sleep(300);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(rows(), full);
    ASSERT_TRUE(driver::pressButton(dialog, IDC_HISTORY_CANCEL));
    EXPECT_TRUE(driver::waitGone(dialog, 5000));
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
    EXPECT_TRUE(endsWith(*window.program, 0, 10000));
}

TEST_F(SettingHistoryTest, OkGivesTheRowsToThePageAndCancelDropsThem)
{
    ASSERT_TRUE(openDialog({L"C:\\A", L"C:\\B"}));
    HWND destinations = GetDlgItem(window.backup, IDC_BACKUP_DEST);

    // Cancel after operations leaves the page's list as it was.
    ASSERT_TRUE(press(IDC_HISTORY_DOWN, 0));
    ASSERT_TRUE(press(IDC_HISTORY_DELETE, 0));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(driver::waitGone(dialog, 5000));
    EXPECT_EQ(driver::comboItems(destinations), tenRows({L"C:\\A", L"C:\\B"}));

    // The row chosen in the page's list is the dialog's first selection; OK shows the new order
    // in the page's list at once.
    ASSERT_TRUE(driver::chooseComboItem(window.backup, IDC_BACKUP_DEST, 1));
    ASSERT_TRUE(reopenDialog());
    EXPECT_EQ(driver::listViewSelection(list), 1);
    ASSERT_TRUE(press(IDC_HISTORY_UP, kKeepSelection));
    ASSERT_TRUE(driver::pressButton(dialog, IDOK));
    ASSERT_TRUE(driver::waitGone(dialog, 5000));
    EXPECT_EQ(driver::comboItems(destinations), tenRows({L"C:\\B", L"C:\\A"}));
    // The field shows the entry now at the selected place.
    EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_DEST), L"C:\\A");

    // Saved with the destination on top.
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_DEST, sandbox.data));
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    ASSERT_TRUE(endsWith(*window.program, 0, 10000));
    EXPECT_EQ(setting(L"PathHis1"), sandbox.data);
    EXPECT_EQ(setting(L"PathHis2"), L"C:\\B\\");
    EXPECT_EQ(setting(L"PathHis3"), L"C:\\A\\");
    EXPECT_EQ(setting(L"PathHis4"), L"");
}

}  // namespace
}  // namespace e2e
