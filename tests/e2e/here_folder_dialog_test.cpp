// TazuHere end to end, the folder dialog: "SelDir" 1 asks once per run and sends every item to
// the chosen folder; a cancelled dialog fails its item and the next item asks again; a typed
// folder that does not exist is refused; a failed write test asks for another folder.
#include "here_fixture.h"

namespace e2e {
namespace {


class HereFolderDialog : public HereTest {
protected:
    // The next folder dialog of the program.
    HWND folderDialog(const driver::Program& program, DWORD timeoutMs = 10000)
    {
        return driver::findFolderDialog(program.id, timeoutMs);
    }

    std::vector<std::wstring> backupsIn(const std::wstring& folder, const std::wstring& base, const std::wstring& extension)
    {
        std::vector<std::wstring> found;
        for (const std::wstring& name : namesIn(folder)) {
            if (isTimeStampedName(name, base, extension)) found.push_back(folder + name);
        }
        return found;
    }
};

TEST_F(HereFolderDialog, AsksOnceAndSendsEveryItemToTheChosenFolder)
{
    struct Case {
        const wchar_t* lang;
        const wchar_t* title;
    } cases[] = {
        {L"en", L"Please select backup folder"},
        {L"ja", L"バックアップフォルダを選択して下さい"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.lang));
        ASSERT_TRUE(settings(c.lang, 1, {{L"SelDir", L"1"}}));
        std::wstring source = std::wstring(L"items_") + c.lang + L"\\";
        std::wstring first = file(source + L"first.txt", "first");
        std::wstring second = file(source + L"second.txt", "second");
        std::wstring third = file(std::wstring(L"elsewhere_") + c.lang + L"\\Folder\\inner.txt", "inner");
        third = third.substr(0, third.find_last_of(L'\\'));
        std::wstring chosen = sandbox.data + L"chosen_" + c.lang;
        ASSERT_TRUE(makeFolders(chosen));

        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(first) + L" " + inQuotes(second) + L" " + inQuotes(third), &program));
        HWND dialog = folderDialog(*program);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(c.title, driver::controlText(dialog, driver::kFolderDialogTitleId));
        // The first item's own folder is preselected.
        EXPECT_EQ(std::wstring(L"items_") + c.lang, driver::text(driver::folderDialogEdit(dialog)));
        ASSERT_TRUE(driver::chooseInFolderDialog(dialog, program->id, chosen))
            << "edit shows " << narrow(driver::text(driver::folderDialogEdit(dialog)));

        HWND result = findResultWindow(*program);
        ASSERT_TRUE(result);
        EXPECT_TRUE(waitForStatus(result, L"Success.", 15000));
        EXPECT_EQ(nullptr, folderDialog(*program, 0));
        EXPECT_TRUE(endsWith(*program, 0, 8000));

        std::string bytes;
        auto firstCopies = backupsIn(chosen + L"\\", L"first", L".txt");
        ASSERT_EQ(1u, firstCopies.size());
        EXPECT_TRUE(readFile(firstCopies[0], &bytes) && bytes == "first");
        auto secondCopies = backupsIn(chosen + L"\\", L"second", L".txt");
        ASSERT_EQ(1u, secondCopies.size());
        EXPECT_TRUE(readFile(secondCopies[0], &bytes) && bytes == "second");
        auto folderCopies = backupsIn(chosen + L"\\", L"Folder", L"");
        ASSERT_EQ(1u, folderCopies.size());
        EXPECT_TRUE(sameTree(third, folderCopies[0]));
        // Nothing lands beside the items.
        EXPECT_EQ((std::vector<std::wstring>{L"first.txt", L"second.txt"}), namesIn(sandbox.data + source));
    }
}

TEST_F(HereFolderDialog, ACancelledDialogFailsItsItemAndTheNextItemAsksAgain)
{
    ASSERT_TRUE(settings(L"en", 1, {{L"SelDir", L"1"}}));
    std::wstring first = file(L"first.txt", "first");
    std::wstring second = file(L"second.txt", "second");
    std::wstring chosen = sandbox.data + L"chosen";
    ASSERT_TRUE(makeFolders(chosen));

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(first) + L" " + inQuotes(second), &program));
    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    driver::pressButton(dialog, IDCANCEL);
    ASSERT_TRUE(driver::waitGone(dialog, 5000));
    // No message of its own: the next dialog is for the second item.
    HWND again = folderDialog(*program);
    ASSERT_TRUE(again);
    EXPECT_EQ(nullptr, driver::findMessageBox(program->id, 0));
    ASSERT_TRUE(driver::chooseInFolderDialog(again, program->id, chosen));

    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 15000));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
    EXPECT_TRUE(backupsIn(chosen + L"\\", L"first", L".txt").empty());
    EXPECT_EQ(1u, backupsIn(chosen + L"\\", L"second", L".txt").size());
}

TEST_F(HereFolderDialog, ATypedFolderThatDoesNotExistIsRefused)
{
    ASSERT_TRUE(settings(L"en", 1, {{L"SelDir", L"1"}}));
    std::wstring item = file(L"item.txt", "item");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    HWND edit = driver::folderDialogEdit(dialog);
    ASSERT_TRUE(edit);
    std::wstring missing = sandbox.data + L"no such folder";
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(missing.c_str()));
    driver::pressButton(dialog, IDOK);
    HWND box = driver::findMessageBox(program->id, 3000);
    if (!box) {
        driver::stop(&sandbox.programs.back());
        GTEST_SKIP() << "Wine's folder dialog does not validate a typed folder (no BFFM_VALIDATEFAILED)";
    }
    EXPECT_TRUE(answerMessageBox(*program, kHereTitle, L"Selected folder does not exist.", driver::IconWarning, IDOK));
    HWND again = folderDialog(*program);
    ASSERT_TRUE(again);
    driver::pressButton(again, IDCANCEL);
    EXPECT_TRUE(endsWith(*program, 0, 10000));
    EXPECT_FALSE(exists(missing));
}

TEST_F(HereFolderDialog, AFailedWriteTestAsksForAnotherFolder)
{
    // /proc lets everyone read its files and nobody create new ones: the write test fails
    // beside the item, the warning names the system's reason and the new path, and the dialog
    // proposes "Path".
    std::wstring proposed = sandbox.data + L"proposed";
    ASSERT_TRUE(makeFolders(proposed));
    ASSERT_TRUE(settings(L"en", 1, {{L"Path", proposed}}));
    const std::wstring item = L"Z:\\proc\\version";
    std::string original;
    ASSERT_TRUE(readFile(item, &original));

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    driver::MessageBoxInfo info;
    ASSERT_TRUE(driver::readMessageBox(box, &info));
    EXPECT_EQ(kHereTitle, info.title);
    EXPECT_EQ(driver::IconWarning, info.icon);
    // "Can not backup.\n\n<code text>\n<new path>\n\nPlease Select in which to backup."
    const std::wstring head = L"Can not backup.\n\n0x";
    const std::wstring tail = L"\n\nPlease Select in which to backup.";
    EXPECT_EQ(head, info.text.substr(0, head.size())) << narrow(info.text);
    ASSERT_GT(info.text.size(), tail.size());
    EXPECT_EQ(tail, info.text.substr(info.text.size() - tail.size()));
    size_t pathStart = info.text.rfind(L"\nZ:\\proc\\version_");
    ASSERT_NE(std::wstring::npos, pathStart) << narrow(info.text);
    std::wstring newPath = info.text.substr(pathStart + 1, info.text.size() - tail.size() - pathStart - 1);
    EXPECT_TRUE(isTimeStampedName(newPath.substr(8), L"version", L"")) << narrow(newPath);
    driver::pressButton(box, IDOK);

    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(L"proposed", driver::text(driver::folderDialogEdit(dialog)));
    ASSERT_TRUE(driver::chooseInFolderDialog(dialog, program->id, proposed));

    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 15000));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
    auto copies = backupsIn(proposed + L"\\", L"version", L"");
    ASSERT_EQ(1u, copies.size());
    std::string copied;
    ASSERT_TRUE(readFile(copies[0], &copied));
    EXPECT_EQ(original, copied);
}

TEST_F(HereFolderDialog, AFailedWriteTestAndACancelledChoiceLeaveNothing)
{
    // /proc takes no new files: every write test beside the item fails. ("Path" is left empty,
    // so the dialog proposes the documents folder, which the cancel leaves alone.)
    ASSERT_TRUE(settings(L"ja", 1, {{L"Path", L""}}));
    const std::wstring item = L"Z:\\proc\\version";
    auto before = snapshotTree(sandbox.root);
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    driver::MessageBoxInfo info;
    ASSERT_TRUE(driver::readMessageBox(box, &info));
    const std::wstring head = L"バックアップできません。\n\n0x";
    const std::wstring tail = L"\n\nバックアップ先のフォルダを選択して下さい。";
    EXPECT_EQ(head, info.text.substr(0, head.size())) << narrow(info.text);
    EXPECT_NE(std::wstring::npos, info.text.find(L"\n" + item + L"_2")) << narrow(info.text);
    ASSERT_GT(info.text.size(), tail.size());
    EXPECT_EQ(tail, info.text.substr(info.text.size() - tail.size()));
    EXPECT_EQ(driver::IconWarning, info.icon);
    driver::pressButton(box, IDOK);

    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    driver::pressButton(dialog, IDCANCEL);
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
    EXPECT_EQ(before, snapshotTree(sandbox.root));
}

}  // namespace
}  // namespace e2e
