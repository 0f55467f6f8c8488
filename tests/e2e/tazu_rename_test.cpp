// TazuRename end to end: items take their new names in their own folders, never through the
// folder dialog; a refused rename keeps the old name; the folder limit counts the backslash.
#include "command_fixture.h"

namespace e2e {
namespace {

constexpr const wchar_t* kRenameTitle = L"TazuRename";

class RenameTest : public CommandTest {
protected:
    RenameTest() : CommandTest(L"TazuRename.exe") {}
};

TEST_F(RenameTest, FileAndFolderAreRenamedInPlaceWithoutADialog)
{
    // "SelDir" and an empty "Path" would make the copy commands ask; renaming never does.
    ASSERT_TRUE(settings({{L"SelDir", L"1"}, {L"Path", L""}}));
    std::string before;
    ASSERT_TRUE(readSettingsBytes(sandbox, &before));
    std::wstring report = file(L"docs\\report.txt", "report bytes");
    file(L"docs\\Project\\inner\\deep.txt", "deep bytes");
    file(L"docs\\Project\\top.txt", "top bytes");
    std::wstring project = sandbox.data + L"docs\\Project";
    auto projectTree = snapshotTree(project);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(report) + L" " + inQuotes(project + L"\\"), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 20000));
    EXPECT_EQ(nullptr, driver::findMessageBox(program->id, 0));
    EXPECT_TRUE(endsWith(*program, 0, 10000));

    std::vector<std::wstring> names = namesIn(sandbox.data + L"docs\\");
    ASSERT_EQ(2u, names.size());
    std::wstring renamedFile, renamedFolder;
    for (const std::wstring& name : names) {
        if (isTimeStampedName(name, L"report", L".txt")) renamedFile = name;
        if (isTimeStampedName(name, L"Project", L"")) renamedFolder = name;
    }
    ASSERT_FALSE(renamedFile.empty()) << narrow(names[0]) << " " << narrow(names[1]);
    ASSERT_FALSE(renamedFolder.empty());
    std::string bytes;
    EXPECT_TRUE(readFile(sandbox.data + L"docs\\" + renamedFile, &bytes) && bytes == "report bytes");
    EXPECT_EQ(projectTree, snapshotTree(sandbox.data + L"docs\\" + renamedFolder));
    std::string after;
    ASSERT_TRUE(readSettingsBytes(sandbox, &after));
    EXPECT_EQ(before, after);
}

TEST_F(RenameTest, FileHeldOpenKeepsItsName)
{
    ASSERT_TRUE(settings());
    std::wstring held = file(L"held.txt", "held bytes");
    HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(held), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    // The shell may report the refusal in a window of its own; it is closed as a user would.
    std::wstring shellReport;
    bool failed = driver::waitUntil([&] {
        HWND box = driver::findMessageBox(program->id, 0);
        if (box) {
            driver::MessageBoxInfo info;
            if (driver::readMessageBox(box, &info)) shellReport = info.text;
            driver::pressButton(box, IDOK);
        }
        std::wstring status = driver::controlText(result, kStatusId);
        return status == L"Success." || status == L"Backup failed!";
    }, 20000, 100);
    CloseHandle(handle);
    ASSERT_TRUE(failed);
    if (exists(sandbox.data + L"held.txt") == false && driver::controlText(result, kStatusId) == L"Success.")
        GTEST_SKIP() << "Wine renamed a file that another process holds open without sharing";
    EXPECT_EQ(L"Backup failed!", driver::controlText(result, kStatusId)) << narrow(shellReport);
    EXPECT_EQ((std::vector<std::wstring>{L"held.txt"}), namesIn(sandbox.data));
    EXPECT_TRUE(endsWith(*program, 0, 10000));
}

TEST_F(RenameTest, FolderLimitIs247WithTheTrailingBackslash)
{
    ASSERT_TRUE(settings());
    std::wstring parent = folder(L"limit") + L"\\";
    // New path: parent, name, "_" and the 15-character stamp, and the backslash.
    const size_t fixed = parent.size() + 1 + 15 + 1;
    ASSERT_LT(fixed + 10, 247u);
    struct Row {
        size_t newPathLength;
        bool renamed;
    };
    const Row rows[] = {{247, true}, {248, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.newPathLength);
        std::wstring name(row.newPathLength - fixed, row.renamed ? L'a' : L'b');
        file(L"limit\\" + name + L"\\content.txt", "content " + std::to_string(row.newPathLength));

        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(parent + name), &program));
        if (!row.renamed) {
            HWND box = driver::findMessageBox(program->id, 10000);
            ASSERT_TRUE(box);
            driver::MessageBoxInfo info;
            ASSERT_TRUE(driver::readMessageBox(box, &info));
            driver::pressButton(box, IDOK);
            EXPECT_EQ(kRenameTitle, info.title);
            EXPECT_EQ(driver::IconError, info.icon);
            EXPECT_EQ(0u, info.text.rfind(L"The path of the output file exceeds maximum value(247 characters).\n\n" +
                                              parent + name + L"_", 0))
                << narrow(info.text);
            const std::wstring tail = L"\\ (248 characters)";
            EXPECT_EQ(tail, info.text.substr(info.text.size() - std::min(info.text.size(), tail.size())))
                << narrow(info.text);
        }
        HWND result = findResultWindow(*program);
        ASSERT_TRUE(result);
        EXPECT_TRUE(waitForStatus(result, row.renamed ? L"Success." : L"Backup failed!", 20000));
        EXPECT_TRUE(endsWith(*program, 0, 10000));
        EXPECT_EQ(row.renamed ? 1u : 0u, backupsIn(parent, name, L"").size());
        EXPECT_EQ(!row.renamed, isFolder(parent + name));
    }
}

}  // namespace
}  // namespace e2e
