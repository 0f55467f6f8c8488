// Location URLs of file-manager windows and the "/select," parameter.
#include <gtest/gtest.h>

#include <string>
#include <windows.h>

#include "explorer_url.h"

namespace {

// Output of a function that fills a buffer and returns 0 or -1.
struct TextResult {
    int rc;
    std::wstring text;
};

::testing::AssertionResult producesPath(const TextResult& got, const wchar_t* expected)
{
    if (!expected) {
        if (got.rc == -1) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "expected failure, got rc " << got.rc << " \""
                                             << ::testing::PrintToString(got.text) << "\"";
    }
    if (got.rc == 0 && got.text == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rc " << got.rc << ", text "
                                         << ::testing::PrintToString(got.text) << ", expected "
                                         << ::testing::PrintToString(std::wstring(expected));
}

TextResult folderOf(const std::wstring& url, size_t capacity = MAX_PATH)
{
    wchar_t out[2048];
    int rc = locationUrlToFolderPath(url.c_str(), out, capacity);
    return {rc, out};
}

std::wstring repeated(const wchar_t* piece, int times)
{
    std::wstring text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(ExplorerLocationUrl, WindowUrlsGiveTheFolderThatTheWindowShows)
{
    struct Row {
        const wchar_t* url;
        const wchar_t* folder;   // nullptr: the window is skipped
    };
    const Row rows[] = {
        {L"file:///C:/Data/x", L"C:\\Data\\x"},
        {L"file:///C:/Data/x/", L"C:\\Data\\x"},                  // one trailing slash goes
        {L"file:///C:/Data/x//", L"C:\\Data\\x\\"},               // ... only one
        {L"file:///C:/", L"C:"},                                  // drive root, comparison form
        {L"FILE:///c:/Data", L"c:\\Data"},                        // prefix in any case
        {L"File:///C:/Data", L"C:\\Data"},
        {L"file:///C:/My%20Files", L"C:\\My Files"},
        {L"file:///C:/a%2fb", L"C:\\a\\b"},                       // decoded before slashes turn
        {L"file:///C:/a%5Cb", L"C:\\a\\b"},
        {L"file:///C:/100%25", L"C:\\100%"},
        {L"file://server/share", L"\\\\server\\share"},           // network share
        {L"file://server/share/dir%20x/", L"\\\\server\\share\\dir x"},
        {L"file:\\\\server\\share", L"\\\\server\\share"},        // backslashes become slashes
        {L"file:///share/x", L"\\\\localhost\\share\\x"},         // local form without drive
        {L"file:///C", L"\\\\localhost\\C"},                      // no colon: not a drive
        {L"file:/C:/x", L"\\C:\\x"},                              // not "file:///": cut "file:"
        {L"file:///", nullptr},                                   // nothing after the prefix
        {L"file://", nullptr},
        {L"file:", nullptr},
        {L"", nullptr},
        {L"http://example.com/a", nullptr},                       // not a file-system place
        {L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", nullptr},   // shell namespace
        {L" file:///C:/x", nullptr},                              // must begin with "file:"
        {L"file:///C:/x%", nullptr},                              // "%" at the very end
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.url)));
        EXPECT_TRUE(producesPath(folderOf(row.url), row.folder));
    }
}

TEST(ExplorerLocationUrl, EscapesAreDecodedOneByOne)
{
    // A UTF-8 sequence stays three characters: one per escape.
    const wchar_t expected[] = {L'C', L':', L'\\', 0xE3, 0x81, 0x82, 0};
    EXPECT_TRUE(producesPath(folderOf(L"file:///C:/%E3%81%82"), expected));
    const wchar_t lower[] = {L'C', L':', L'\\', 0xE3, 0x81, 0x82, 0};
    EXPECT_TRUE(producesPath(folderOf(L"file:///C:/%e3%81%82"), lower));
}

TEST(ExplorerLocationUrl, UrlLengthLimitIs1383Characters)
{
    // Escapes shrink to one character each; the limit counts the URL as the window gives it.
    std::wstring head = L"file:///C:/a";
    std::wstring longest = head + repeated(L"%41", 457);
    ASSERT_EQ(longest.size(), kLocationUrlLimit - 1);
    EXPECT_TRUE(producesPath(folderOf(longest, 2048), (L"C:\\a" + std::wstring(457, L'A')).c_str()));
    EXPECT_TRUE(producesPath(folderOf(longest + L"x", 2048), nullptr));
    // A trailing slash counts before it is removed.
    EXPECT_TRUE(producesPath(folderOf(longest + L"/", 2048), nullptr));
}

TEST(ExplorerLocationUrl, FolderPathMustFitItsBuffer)
{
    std::wstring name256(256, L'n');
    std::wstring name257(257, L'n');
    // "C:/" and 256 characters: 259, the longest path.
    EXPECT_TRUE(producesPath(folderOf(L"file:///C:/" + name256), (L"C:\\" + name256).c_str()));
    EXPECT_TRUE(producesPath(folderOf(L"file:///C:/" + name257), nullptr));
    EXPECT_TRUE(producesPath(folderOf(L"file:///C:/abc", 7), L"C:\\abc"));
    EXPECT_TRUE(producesPath(folderOf(L"file:///C:/abc", 6), nullptr));
}

TEST(ExplorerPercentDecode, DecodesEachEscapeIntoOneCharacter)
{
    struct Row {
        const wchar_t* text;
        std::wstring decoded;   // may hold zero characters
        int rc;
    };
    const Row rows[] = {
        {L"plain", L"plain", 0},
        {L"a%41b", L"aAb", 0},
        {L"%4a%4A", L"JJ", 0},
        {L"%7e%7E", L"~~", 0},
        {L"%ff", std::wstring(1, wchar_t(0xFF)), 0},
        {L"%4", std::wstring(1, wchar_t(4)), 0},                     // one character left
        {L"%1G", std::wstring(1, wchar_t(1)) , 0},                   // as far as hexadecimal
        {L"%", L"", -1},
        {L"abc%", L"", -1},
        // Malformed escapes would cut the folder path short: the location cannot be named.
        {L"C:/a%zzb", L"", -1},
        {L"%G1x", L"", -1},
        {L"%%41", L"", -1},
        {L"C:/a%00/b", L"", -1},
        {L"C:/a%0", L"", -1},
        {L"", L"", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.text)));
        wchar_t out[64];
        wmemset(out, L'#', 64);
        EXPECT_EQ(percentDecode(row.text, out, 64), row.rc);
        if (row.rc != 0) continue;
        EXPECT_EQ(std::wstring(out, row.decoded.size()), row.decoded);
        EXPECT_EQ(out[row.decoded.size()], L'\0');
    }
}

TEST(ExplorerPercentDecode, RefusesWhatDoesNotFit)
{
    wchar_t out[4];
    EXPECT_EQ(percentDecode(L"abcd", out, 4), -1);
    EXPECT_EQ(percentDecode(L"abc", out, 4), 0);
    EXPECT_STREQ(out, L"abc");
    EXPECT_EQ(percentDecode(L"%41%42%43", out, 4), 0);
    EXPECT_STREQ(out, L"ABC");
}

TEST(ExplorerUrlToPath, LocalAndNetworkForms)
{
    struct Row {
        const wchar_t* url;
        const wchar_t* path;
    };
    const Row rows[] = {
        {L"file:///C:/Data/x", L"C:/Data/x"},
        {L"FILE:///C:/x", L"C:/x"},
        {L"file:///a", L"//localhost/a"},
        {L"file:///a/b:c", L"a/b:c"},                 // any colon counts
        {L"file://server/share", L"//server/share"},
        {L"file:/x", nullptr},                        // not longer than "file:///"
        {L"file:///", nullptr},
        {L"file:", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.url)));
        wchar_t out[MAX_PATH];
        int rc = urlToPath(row.url, out, MAX_PATH);
        EXPECT_TRUE(producesPath({rc, out}, row.path));
    }
    wchar_t small[14];
    EXPECT_EQ(urlToPath(L"file:///ab", small, 14), -1);   // "//localhost/ab" needs 15
    EXPECT_EQ(urlToPath(L"file:///a", small, 14), 0);
    EXPECT_STREQ(small, L"//localhost/a");
}

TEST(ExplorerSelectParameter, JoinsFolderAndItem)
{
    struct Row {
        const wchar_t* folder;
        const wchar_t* item;
        const wchar_t* parameter;
    };
    const Row rows[] = {
        {L"C:\\Docs", L"report_1.txt", L"/select,\"C:\\Docs\\report_1.txt\""},
        {L"C:\\Docs\\", L"report_1.txt", L"/select,\"C:\\Docs\\report_1.txt\""},
        {L"C:\\Docs\\", L"Project_1\\", L"/select,\"C:\\Docs\\Project_1\\\""},
        {L"C:\\", L"x", L"/select,\"C:\\x\""},
        {L"\\\\server\\share", L"a b.txt", L"/select,\"\\\\server\\share\\a b.txt\""},
        // A comma would otherwise end the path for the file manager.
        {L"C:\\Docs", L"report, final.txt", L"/select,\"C:\\Docs\\report, final.txt\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.folder)));
        wchar_t out[600];
        int rc = selectParameter(row.folder, row.item, out, 600);
        EXPECT_TRUE(producesPath({rc, out}, row.parameter));
    }
    wchar_t out[21];
    EXPECT_EQ(selectParameter(L"C:\\Docs", L"ab", out, 21), 0);   // 20 characters
    EXPECT_EQ(selectParameter(L"C:\\Docs", L"abc", out, 21), -1);
    EXPECT_STREQ(out, L"");
}

TEST(ExplorerRaise, MinimizedWindowsAreRestoredWithoutActivation)
{
    for (unsigned state = 0; state <= 11; ++state) {
        SCOPED_TRACE(state);
        bool minimized = state == 2 || state == 6 || state == 11;
        EXPECT_EQ(raiseShowCommand(state), minimized ? SW_SHOWNOACTIVATE : SW_SHOWNA);
    }
}

} // namespace
