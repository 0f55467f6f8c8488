// TazuHere end to end, what lands on disk: each kind of item is copied beside itself under its
// time-stamped name with its bytes (a folder with its whole tree), and the item stays as it was.
#include "here_fixture.h"

namespace e2e {
namespace {

struct ItemCase {
    const char* label;
    const wchar_t* relative;   // below the data folder
    bool folder;
    const wchar_t* base;       // expected name parts of the backup
    const wchar_t* extension;
};

const ItemCase kItems[] = {
    {"file", L"report.txt", false, L"report", L".txt"},
    {"folder with a tree", L"Project.old", true, L"Project.old", L""},
    {"dotfile", L".profile", false, L"", L".profile"},
    {"name without extension", L"README", false, L"README", L""},
    {"double extension", L"archive.tar.gz", false, L"archive.tar", L".gz"},
    {"name with blanks", L"my notes.txt", false, L"my notes", L".txt"},
};

// The backup of one item: the single new entry of the folder that fits the name pattern.
::testing::AssertionResult findBackup(const std::wstring& folder, const ItemCase& item, std::wstring* backup)
{
    std::vector<std::wstring> matches;
    for (const std::wstring& name : listFolder(folder)) {
        if (isTimeStampedName(name, item.base, item.extension)) matches.push_back(name);
    }
    if (matches.size() != 1)
        return ::testing::AssertionFailure() << matches.size() << " backups of " << narrow(item.relative) << " in " << narrow(folder);
    *backup = folder + matches[0];
    return ::testing::AssertionSuccess();
}

class HereCopies : public HereTest {};

TEST_F(HereCopies, CopiesEachKindOfItemBesideItself)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring tail;
    for (const ItemCase& item : kItems) {
        if (item.folder) {
            file(std::wstring(item.relative) + L"\\top.txt", "top level");
            file(std::wstring(item.relative) + L"\\sub\\deep\\leaf.bin", std::string("\0\1\2\3", 4));
            makeFolders(sandbox.data + item.relative + L"\\empty");
        } else {
            file(item.relative, std::string("bytes of ") + narrow(item.relative));
        }
        tail += (tail.empty() ? L"" : L" ") + inQuotes(sandbox.data + item.relative);
    }
    auto before = snapshotTree(sandbox.data);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(tail, &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 15000));
    EXPECT_TRUE(endsWith(*program, 0, 10000));

    for (const ItemCase& item : kItems) {
        SCOPED_TRACE(item.label);
        std::wstring original = sandbox.data + item.relative;
        std::wstring backup;
        ASSERT_TRUE(findBackup(sandbox.data, item, &backup));
        if (item.folder) {
            EXPECT_TRUE(sameTree(original, backup));
        } else {
            std::string expected, copied;
            ASSERT_TRUE(readFile(original, &expected));
            ASSERT_TRUE(readFile(backup, &copied));
            EXPECT_EQ(expected, copied);
        }
    }
    // The items themselves are untouched; only the backups are new.
    auto after = snapshotTree(sandbox.data);
    for (const auto& entry : before) {
        SCOPED_TRACE(narrow(entry.first));
        ASSERT_TRUE(after.count(entry.first));
        EXPECT_EQ(entry.second, after[entry.first]);
    }
}

}  // namespace
}  // namespace e2e
