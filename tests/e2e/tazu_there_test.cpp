// TazuThere end to end: where the copies go ("Path", created when missing, or a folder chosen
// in the dialog), and what the run leaves in "tazu.ini".
#include "command_fixture.h"

#include <shlobj.h>

#include "process_command_line.h"

namespace e2e {
namespace {

constexpr const wchar_t* kThereTitle = L"TazuThere";

class ThereTest : public CommandTest {
protected:
    ThereTest() : CommandTest(L"TazuThere.exe") {}

    // Runs to the end with the given status, then expects the program gone.
    ::testing::AssertionResult finishes(const driver::Program& program, const wchar_t* status)
    {
        HWND result = findResultWindow(program);
        if (!result) return ::testing::AssertionFailure() << "no result window";
        auto shown = waitForStatus(result, status, 20000);
        if (!shown) return shown;
        return endsWith(program, 0, 10000);
    }
};

std::wstring lastComponentOf(std::wstring path)
{
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path.substr(path.find_last_of(L'\\') + 1);
}

TEST_F(ThereTest, WithVerifyAFolderOfEveryKindIsReadBackAndTheWindowSaysSo)
{
    const std::wstring destination = sandbox.root + L"backups\\";
    ASSERT_TRUE(settings({{L"Path", destination}, {L"Verify", L"1"}, {L"AutoClose", L"0"}}));
    const std::wstring project = folder(L"\x8cc7\x6599");                    // 資料
    file(L"\x8cc7\x6599\\\x7a7a.txt", "");                                // 空.txt
    file(L"\x8cc7\x6599\\large.bin", std::string(2 * 1024 * 1024 + 1, 'L'));
    folder(L"\x8cc7\x6599\\empty");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(project), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    ASSERT_TRUE(waitForStatus(result, L"Success.", 30000));
    EXPECT_EQ(L"[\x8cc7\x6599 (verified)]", driver::controlText(result, kNamesId));
    HWND tooltip = driver::tooltipOf(program->id);
    ASSERT_TRUE(tooltip);
    EXPECT_EQ(project + L"\r\n\x8cc7\x6599: verified, 2,097,153 bytes read back and found equal.",
              driver::toolText(program->id, tooltip, result, 1));
    driver::clickChild(result, kCloseId);
    EXPECT_TRUE(endsWith(*program, 0, 10000));

    auto copies = backupsIn(destination, L"\x8cc7\x6599", L"");
    ASSERT_EQ(1u, copies.size());
    EXPECT_TRUE(sameTree(project, copies[0]));
}

TEST_F(ThereTest, EmptyPathAsksOnceAndTheChoiceBecomesPath)
{
    const std::map<std::wstring, std::wstring> history = {
        {L"PathHis1", L"C:\\Old One\\"}, {L"PathHis2", L"D:\\Older\\"}, {L"PathHis10", L"E:\\Last\\"}};
    std::map<std::wstring, std::wstring> keys = history;
    keys[L"Path"] = L"";
    ASSERT_TRUE(settings(keys));
    std::wstring first = file(L"items\\first.txt", "first bytes");
    std::wstring second = file(L"items\\Project\\inner.txt", "inner bytes");
    std::wstring project = second.substr(0, second.find_last_of(L'\\'));
    std::wstring chosen = folder(L"chosen");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(first) + L" " + inQuotes(project), &program));
    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    // Nothing to suggest: the documents folder is preselected.
    wchar_t documents[MAX_PATH] = L"";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
    EXPECT_EQ(lastComponentOf(documents), driver::text(driver::folderDialogEdit(dialog)));
    ASSERT_TRUE(choose(dialog, *program, chosen));
    EXPECT_TRUE(finishes(*program, L"Success."));
    EXPECT_EQ(nullptr, folderDialog(*program, 0));   // once for the whole run

    auto fileCopies = backupsIn(chosen, L"first", L".txt");
    ASSERT_EQ(1u, fileCopies.size());
    std::string bytes;
    EXPECT_TRUE(readFile(fileCopies[0], &bytes) && bytes == "first bytes");
    auto folderCopies = backupsIn(chosen, L"Project", L"");
    ASSERT_EQ(1u, folderCopies.size());
    EXPECT_TRUE(sameTree(project, folderCopies[0]));
    EXPECT_EQ((std::vector<std::wstring>{L"Project", L"first.txt"}), namesIn(sandbox.data + L"items\\"));

    // The choice is saved with a backslash; the history stays as it was.
    EXPECT_EQ(chosen + L"\\", setting(L"Path"));
    for (const auto& entry : history) {
        SCOPED_TRACE(narrow(entry.first));
        EXPECT_EQ(entry.second, setting(entry.first.c_str()));
    }

    // The next run goes there without asking.
    driver::Program* next = nullptr;
    ASSERT_TRUE(start(inQuotes(first), &next));
    EXPECT_TRUE(finishes(*next, L"Success."));
    EXPECT_EQ(2u, backupsIn(chosen, L"first", L".txt").size());
}

TEST_F(ThereTest, MissingPathIsCreatedWithItsParentsWithoutAsking)
{
    std::wstring destination = sandbox.data + L"new\\deeper\\sub\\";
    ASSERT_TRUE(settings({{L"Path", destination}}));
    std::string before;
    ASSERT_TRUE(readSettingsBytes(sandbox, &before));
    std::wstring item = file(L"report.txt", "report");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    EXPECT_TRUE(finishes(*program, L"Success."));
    EXPECT_EQ(nullptr, driver::findMessageBox(program->id, 0));
    auto copies = backupsIn(destination, L"report", L".txt");
    ASSERT_EQ(1u, copies.size());
    std::string bytes;
    EXPECT_TRUE(readFile(copies[0], &bytes) && bytes == "report");
    // Nothing was chosen, so nothing is written back.
    std::string after;
    ASSERT_TRUE(readSettingsBytes(sandbox, &after));
    EXPECT_EQ(before, after);
}

TEST_F(ThereTest, PathOnADriveThatDoesNotExistGivesTheMessageThenTheDialog)
{
    DWORD drives = GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t c = L'Q'; c > L'D' && !letter; --c)
        if (!(drives & (1u << (c - L'A')))) letter = c;
    ASSERT_NE(letter, 0) << "every drive letter is in use";
    std::wstring missing = std::wstring(1, letter) + L":\\Backups\\Tazu\\";
    ASSERT_TRUE(settings({{L"Path", missing}}));
    std::wstring item = file(L"notes.txt", "notes");
    std::wstring chosen = folder(L"instead");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    driver::MessageBoxInfo info;
    ASSERT_TRUE(driver::readMessageBox(box, &info));
    driver::pressButton(box, IDOK);
    EXPECT_EQ(kThereTitle, info.title);
    EXPECT_EQ(driver::IconError, info.icon);
    const std::wstring head = L"Could not create backup destination folder.\n\n";
    const std::wstring tail = L"\n\n" + missing;
    EXPECT_EQ(0u, info.text.rfind(head, 0)) << narrow(info.text);
    ASSERT_GT(info.text.size(), head.size() + tail.size());
    EXPECT_EQ(tail, info.text.substr(info.text.size() - tail.size())) << narrow(info.text);
    // The error text of the failed creation sits between them.
    EXPECT_EQ(0u, info.text.find(L"0x", head.size()) - head.size()) << narrow(info.text);

    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(choose(dialog, *program, chosen));
    EXPECT_TRUE(finishes(*program, L"Success."));
    EXPECT_EQ(1u, backupsIn(chosen, L"notes", L".txt").size());
    EXPECT_EQ(chosen + L"\\", setting(L"Path"));
}

TEST_F(ThereTest, PathTooLongForAFolderGivesTheMessageAndCreatesNothing)
{
    // Hand-edited: longer than a folder path may be, within what the settings reader keeps.
    const std::wstring first = sandbox.data + std::wstring(120, L'p');
    const std::wstring tooLong = first + L"\\" + std::wstring(280 - first.size() - 2, L'q') + L"\\";
    ASSERT_EQ(280u, tooLong.size());
    ASSERT_TRUE(settings({{L"Path", tooLong}}));
    std::wstring item = file(L"notes.txt", "notes");
    auto before = snapshotTree(sandbox.data);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    EXPECT_TRUE(answerMessageBox(*program, kThereTitle,
                                 L"Could not create backup destination folder.\n\n"
                                 L"0x000000ce:The filename or extension is too long\n\n" + tooLong,
                                 driver::IconError, IDOK));
    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    driver::pressButton(dialog, IDCANCEL);
    EXPECT_TRUE(finishes(*program, L"Backup failed!"));
    EXPECT_FALSE(exists(first));
    EXPECT_EQ(before, snapshotTree(sandbox.data));
}

// A "Path" that is no full path would put the backups below whatever folder the command runs in
// (a folder of that name there took them); one with characters that a folder path may not hold
// would fail only in its creation. Each gets its own message, then the dialog, which does not
// offer "Path"; the choice becomes "Path".
TEST_F(ThereTest, PathThatIsNoFullPathOrHoldsUnusableCharactersGivesItsMessageThenTheDialog)
{
    const std::wstring working = sandbox.programFolder;   // where the command runs
    ASSERT_TRUE(makeFolders(working + L"Backup"));
    const std::wstring unusable = sandbox.data + L"a|b:c\\";
    struct Case {
        const char* name;
        std::wstring path;
        std::wstring message;
    };
    const Case cases[] = {
        {"relative", L"Backup\\",
         L"The backup destination folder must be a full path,\nsuch as D:\\Backup\\ or \\\\server\\share\\Backup\\.\n\n"
         L"Backup\\"},
        {"a bar and a stream's colon", unusable,
         L"The path of the backup destination folder holds characters that can not be used.\n\nNG : : | \n\n" + unusable},
    };
    wchar_t documents[MAX_PATH] = L"";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
    const std::wstring item = file(L"memo.txt", "memo");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(settings({{L"Path", c.path}}));
        const std::wstring chosen = folder(std::wstring(L"chosen ") + (c.path == unusable ? L"2" : L"1"));

        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(item), &program));
        EXPECT_TRUE(answerMessageBox(*program, kThereTitle, c.message, driver::IconError, IDOK));
        HWND dialog = folderDialog(*program);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(lastComponentOf(documents), driver::text(driver::folderDialogEdit(dialog)));
        ASSERT_TRUE(choose(dialog, *program, chosen));
        EXPECT_TRUE(finishes(*program, L"Success."));
        EXPECT_EQ(1u, backupsIn(chosen, L"memo", L".txt").size());
        EXPECT_EQ(chosen + L"\\", setting(L"Path"));
    }
    EXPECT_TRUE(namesIn(working + L"Backup\\").empty());
    EXPECT_FALSE(exists(sandbox.data + L"a"));
}

TEST_F(ThereTest, SelDirAsksWithPathPreselectedAndSavesTheNewChoice)
{
    std::wstring usual = folder(L"usual");
    ASSERT_TRUE(settings({{L"Path", usual + L"\\"}, {L"SelDir", L"1"}}));
    std::wstring item = file(L"data.bin", std::string("\x00\x01\x02\xff", 4));
    std::wstring other = folder(L"other");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(L"usual", driver::text(driver::folderDialogEdit(dialog)));
    ASSERT_TRUE(choose(dialog, *program, other));
    EXPECT_TRUE(finishes(*program, L"Success."));
    EXPECT_EQ(1u, backupsIn(other, L"data", L".bin").size());
    EXPECT_TRUE(namesIn(usual + L"\\").empty());
    EXPECT_EQ(other + L"\\", setting(L"Path"));
    EXPECT_EQ(L"1", setting(L"SelDir"));
}

TEST_F(ThereTest, ChosenFolderIsSavedEvenWhenEveryItemFails)
{
    ASSERT_TRUE(settings({{L"Path", L""}}));
    // The item's name is so long that no new path fits below the chosen folder.
    std::wstring deep = folder(L"chosen for names that are too long");
    std::wstring item = file(std::wstring(200 - (sandbox.data.size() - 47), L'n') + L".txt", "kept");
    ASSERT_LT(item.size(), 260u);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND dialog = folderDialog(*program);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(choose(dialog, *program, deep));
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    driver::MessageBoxInfo info;
    ASSERT_TRUE(driver::readMessageBox(box, &info));
    driver::pressButton(box, IDOK);
    EXPECT_EQ(0u, info.text.rfind(L"The path of the output file exceeds maximum value(259 characters).", 0))
        << narrow(info.text);
    EXPECT_TRUE(finishes(*program, L"Backup failed!"));
    EXPECT_TRUE(namesIn(deep + L"\\").empty());
    EXPECT_EQ(deep + L"\\", setting(L"Path"));
}

TEST_F(ThereTest, RunUnsavedUsesTheChoiceButLeavesTheSettingsFile)
{
    std::wstring saved = folder(L"saved");
    ASSERT_TRUE(standInSettingsProgram("1"));
    ASSERT_TRUE(settings({{L"Path", saved + L"\\"}, {L"StartSetting", L"1"}}));
    // The settings of this run only: no destination, so the dialog asks.
    ASSERT_TRUE(temporarySettings({{L"Path", L""}, {L"StartSetting", L"1"}}));
    std::string before;
    ASSERT_TRUE(readSettingsBytes(sandbox, &before));
    std::wstring item = file(L"letter.txt", "letter");
    std::wstring chosen = folder(L"for this run");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND dialog = folderDialog(*program, 20000);
    ASSERT_TRUE(dialog) << "the run did not take the settings of tazu_tmp.ini";
    ASSERT_TRUE(choose(dialog, *program, chosen));
    EXPECT_TRUE(finishes(*program, L"Success."));
    EXPECT_EQ(1u, backupsIn(chosen, L"letter", L".txt").size());
    EXPECT_TRUE(namesIn(saved + L"\\").empty());
    std::string after;
    ASSERT_TRUE(readSettingsBytes(sandbox, &after));
    EXPECT_EQ(before, after);
}

TEST_F(ThereTest, OpenDirShowsTheCopySelectedInTheFileManagerAfterASuccessfulRun)
{
    std::wstring destination = folder(L"shown");
    ASSERT_TRUE(settings({{L"Path", destination + L"\\"}, {L"OpenDir", L"1"}}));
    std::wstring item = file(L"minutes.txt", "minutes");
    std::set<DWORD> before = observe::processesNamed(L"explorer.exe");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    std::wstring others;
    // Only the file manager of this test's folder: other tests may start theirs meanwhile.
    std::wstring started = observe::endStartedProcess(L"explorer.exe", before,
                                                      L"/select,\"" + destination + L"\\minutes_", 60000, &others);
    // The program now looks for the new window 101 times; Wine has no shell window collection
    // and takes seconds to say so each time, so the test ends the program here (the sandbox
    // does) instead of waiting minutes for "Success.".
    auto copies = backupsIn(destination, L"minutes", L".txt");
    ASSERT_EQ(1u, copies.size());
    // Started by its full path, with the new item's path in quotes.
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    EXPECT_EQ(0u, started.find(L"\"" + std::wstring(windows) + L"\\explorer.exe\"")) << narrow(started);
    EXPECT_NE(std::wstring::npos, started.find(L"/select,\"" + copies[0] + L"\""))
        << "started: " << narrow(started) << "; others: " << narrow(others);
}

TEST_F(ThereTest, OpenDirShowsNothingAfterAFailedRun)
{
    std::wstring destination = folder(L"unshown");
    ASSERT_TRUE(settings({{L"Path", destination + L"\\"}, {L"OpenDir", L"1"}}));
    std::set<DWORD> before = observe::processesNamed(L"explorer.exe");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(sandbox.data + L"missing.txt"), &program));
    EXPECT_TRUE(answerMessageBox(*program, kThereTitle, L"Please select a folder or file.\n\n" + sandbox.data + L"missing.txt",
                                 driver::IconError, IDOK));
    EXPECT_TRUE(finishes(*program, L"Backup failed!"));
    EXPECT_EQ(L"", observe::endStartedProcess(L"explorer.exe", before, L"/select,\"" + destination, 1000, nullptr));
}

}  // namespace
}  // namespace e2e
