// Path helpers: backslashes, splitting and joining, the existence test, last components.
#include <gtest/gtest.h>

#include <string>

#include "paths.h"
#include "unit_support.h"

namespace {

::testing::AssertionResult splitsInto(const wchar_t* path, bool isFolder, const wchar_t* drive,
                                      const wchar_t* folder, const wchar_t* name, const wchar_t* ext)
{
    PathParts parts;
    if (splitPath(path, isFolder, &parts) != 0)
        return ::testing::AssertionFailure() << "split failed";
    const std::wstring got[] = {parts.drive, parts.folder, parts.name, parts.ext};
    const std::wstring want[] = {drive, folder, name, ext};
    const char* labels[] = {"drive", "folder", "name", "ext"};
    for (int i = 0; i < 4; ++i) {
        if (got[i] != want[i])
            return ::testing::AssertionFailure() << labels[i] << " is \"" << utf8(got[i])
                                                 << "\", expected \"" << utf8(want[i]) << "\"";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(PathBackslash, AddAndRemoveOneTrailingBackslash)
{
    struct Row { const wchar_t* text; const wchar_t* added; const wchar_t* removed; };
    const Row rows[] = {
        {L"C:\\Backup", L"C:\\Backup\\", L"C:\\Backup"},
        {L"C:\\Backup\\", L"C:\\Backup\\", L"C:\\Backup"},
        {L"C:\\Backup\\\\", L"C:\\Backup\\\\", L"C:\\Backup\\"},
        {L"", L"", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.text));
        wchar_t buffer[32];
        wcscpy(buffer, row.text);
        EXPECT_EQ(0, addTrailingBackslash(buffer, 32));
        EXPECT_STREQ(row.added, buffer);
        wcscpy(buffer, row.text);
        removeTrailingBackslash(buffer);
        EXPECT_STREQ(row.removed, buffer);
    }
}

TEST(PathBackslash, NoRoomLeavesTheTextAsItWas)
{
    wchar_t buffer[6] = L"C:\\ab";  // 5 characters and the terminator: no room for one more
    EXPECT_EQ(-1, addTrailingBackslash(buffer, 6));
    EXPECT_STREQ(L"C:\\ab", buffer);
}

TEST(PathSplit, FilesSplitAtTheLastDotOfTheLastComponent)
{
    struct Row { const wchar_t* path; const wchar_t* drive; const wchar_t* folder;
                 const wchar_t* name; const wchar_t* ext; };
    const Row rows[] = {
        {L"C:\\Docs\\report.txt", L"C:", L"\\Docs\\", L"report", L".txt"},
        {L"C:\\Docs\\README", L"C:", L"\\Docs\\", L"README", L""},
        {L"C:\\Docs\\.profile", L"C:", L"\\Docs\\", L"", L".profile"},
        {L"C:\\Docs\\archive.tar.gz", L"C:", L"\\Docs\\", L"archive.tar", L".gz"},
        {L"C:\\dir.v2\\noext", L"C:", L"\\dir.v2\\", L"noext", L""},
        {L"C:\\a.txt", L"C:", L"\\", L"a", L".txt"},
        {L"\\\\server\\share\\f.doc", L"", L"\\\\server\\share\\", L"f", L".doc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.path));
        EXPECT_TRUE(splitsInto(row.path, false, row.drive, row.folder, row.name, row.ext));
    }
}

TEST(PathSplit, FoldersKeepTheirWholeLastComponent)
{
    struct Row { const wchar_t* path; const wchar_t* folder; const wchar_t* name; };
    const Row rows[] = {
        {L"C:\\Docs\\Project.old", L"\\Docs\\", L"Project.old"},
        {L"C:\\Docs\\Project.old\\", L"\\Docs\\", L"Project.old"},
        {L"C:\\Project", L"\\", L"Project"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.path));
        EXPECT_TRUE(splitsInto(row.path, true, L"C:", row.folder, row.name, L""));
    }
}

TEST(PathSplit, ComponentLimitsOf255)
{
    const std::wstring name255(255, L'n');
    const std::wstring name256(256, L'n');
    SCOPED_TRACE("name of 255 fits, 256 does not");
    EXPECT_TRUE(splitsInto((L"C:\\" + name255).c_str(), true, L"C:", L"\\", name255.c_str(), L""));
    PathParts parts;
    wcscpy(parts.name, L"stale");
    EXPECT_EQ(-1, splitPath((L"C:\\" + name256).c_str(), true, &parts));
    EXPECT_STREQ(L"", parts.name);
    // A folder part of 256 characters ("\" + 254 + "\") does not fit either.
    const std::wstring longFolder = L"C:\\" + std::wstring(254, L'f') + L"\\x";
    EXPECT_EQ(-1, splitPath(longFolder.c_str(), false, &parts));
    EXPECT_EQ(-1, splitPath((L"C:\\a." + std::wstring(255, L'e')).c_str(), false, &parts));
}

TEST(PathSplit, JoinFolderGivesTheHoldingFolder)
{
    struct Row { const wchar_t* path; bool isFolder; const wchar_t* folder; };
    const Row rows[] = {
        {L"C:\\Docs\\report.txt", false, L"C:\\Docs\\"},
        {L"C:\\Docs\\Project\\", true, L"C:\\Docs\\"},
        {L"C:\\a.txt", false, L"C:\\"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.path));
        PathParts parts;
        ASSERT_EQ(0, splitPath(row.path, row.isFolder, &parts));
        wchar_t out[kPathChars];
        EXPECT_EQ(0, joinFolder(&parts, out, kPathChars));
        EXPECT_STREQ(row.folder, out);
    }
    PathParts parts;
    ASSERT_EQ(0, splitPath(L"C:\\Docs\\report.txt", false, &parts));
    wchar_t small[8];
    EXPECT_EQ(-1, joinFolder(&parts, small, 8));
}

TEST(PathExists, RealFilesAndFolders)
{
    TempFolder temp;
    ASSERT_TRUE(writeEmptyFile(temp / L"file.txt"));
    ASSERT_TRUE(makeDirectory(temp / L"sub"));
    struct Row { std::wstring path; bool exists; };
    const Row rows[] = {
        {temp / L"file.txt", true},
        {temp / L"FILE.TXT", true},
        {temp / L"sub", true},
        {temp / L"sub\\", true},
        {temp.path(), true},
        {temp / L"missing.txt", false},
        {temp / L"missing\\", false},
        {temp / L"missing\\deeper.txt", false},
        {temp / L"file.txt\\x", false},
        {L"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.path));
        EXPECT_EQ(row.exists, pathExists(row.path.c_str()));
    }
}

TEST(PathText, LastComponentAndCopy)
{
    struct Row { const wchar_t* path; const wchar_t* last; };
    const Row rows[] = {
        {L"C:\\a\\b\\", L"b\\"}, {L"C:\\a\\b", L"b"}, {L"C:\\", L"C:\\"}, {L"name", L"name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.path));
        EXPECT_STREQ(row.last, lastComponent(row.path));
    }
    wchar_t out[4];
    EXPECT_EQ(0, copyText(out, 4, L"abc"));
    EXPECT_STREQ(L"abc", out);
    EXPECT_EQ(-1, copyText(out, 4, L"abcd"));
    EXPECT_STREQ(L"abc", out);
}

TEST(PathText, RunningProgramFolderHoldsThisTest)
{
    wchar_t folder[kPathChars];
    ASSERT_EQ(0, runningProgramFolder(folder, kPathChars));
    std::wstring text = folder;
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\\', text.back());
    EXPECT_TRUE(fileExists(text + L"common_tests.exe")) << utf8(text);
}
