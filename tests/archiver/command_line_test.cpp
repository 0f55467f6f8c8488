// The archiver command line: what the ZIP commands send is understood, everything else refused.
#include <gtest/gtest.h>

#include "command_line.h"

namespace {

struct GoodRow {
    const wchar_t* line;
    const wchar_t* archive;
    std::vector<std::wstring> items;
    int threads;
    int level;
    bool hide;
};

TEST(ArchiverCommandLine, AcceptsTheLinesOfTheZipCommandsAndTheDocumentedSwitches)
{
    const GoodRow rows[] = {
        {L"a -tzip -ssw -mmt=on -- \"C:\\Docs\\report_1.txt.zip\" \"C:\\Docs\\report.txt\"",
         L"C:\\Docs\\report_1.txt.zip", {L"C:\\Docs\\report.txt"}, 0, 6, false},
        {L"a -tzip -ssw -mmt=on -hide -- \"C:\\My Docs\\a b.zip\" \"C:\\My Docs\\a b\"",
         L"C:\\My Docs\\a b.zip", {L"C:\\My Docs\\a b"}, 0, 6, true},
        {L"a -tzip -- \"C:\\x.zip\" \"C:\\one\" \"C:\\two words\" C:\\three",
         L"C:\\x.zip", {L"C:\\one", L"C:\\two words", L"C:\\three"}, 0, 6, false},
        {L"A -TZIP -MMT=OFF -MX0 -HIDE -- x.zip y", L"x.zip", {L"y"}, 1, 0, true},
        {L"a -mmt=3 -mx9 x.zip y", L"x.zip", {L"y"}, 3, 9, false},
        {L"a -mmt -mx1 x.zip y", L"x.zip", {L"y"}, 0, 1, false},
        {L"a -mx5 x.zip y", L"x.zip", {L"y"}, 0, 6, false},
        {L"  a\t-tzip   --   \"C:\\日本語\\資料.zip\"   \"C:\\日本語\\資料 😀\"  ",
         L"C:\\日本語\\資料.zip", {L"C:\\日本語\\資料 😀"}, 0, 6, false},
        // After "--" a leading dash is part of a name.
        {L"a -- -dash.zip -item", L"-dash.zip", {L"-item"}, 0, 6, false},
        // Quotes may cover part of a token.
        {L"a C:\\\"with space\"\\x.zip \"C:\\y\"", L"C:\\with space\\x.zip", {L"C:\\y"}, 0, 6, false},
    };
    for (const GoodRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << "line: " << ::testing::PrintToString(std::wstring(row.line)));
        ArchiverCommand cmd;
        ASSERT_EQ(CommandLineOk, parseCommandLine(row.line, &cmd));
        EXPECT_EQ(std::wstring(row.archive), cmd.archivePath);
        EXPECT_EQ(row.items, cmd.items);
        EXPECT_EQ(row.threads, cmd.threads);
        EXPECT_EQ(row.level, cmd.zlibLevel);
        EXPECT_EQ(row.hide, cmd.hideWindow);
    }
}

TEST(ArchiverCommandLine, RefusesMalformedLinesWithTheirReason)
{
    struct Row {
        const wchar_t* line;
        CommandLineError expected;
    };
    const Row rows[] = {
        {L"", CommandLineEmpty},
        {L"   \t ", CommandLineEmpty},
        {L"x -tzip -- a.zip b", CommandLineUnknownCommand},
        {L"\"a\" -- a.zip b", CommandLineUnknownCommand},
        {L"add a.zip b", CommandLineUnknownCommand},
        {L"a -t7z -- a.zip b", CommandLineBadType},
        {L"a -tzip -r -- a.zip b", CommandLineUnknownSwitch},
        {L"a -sswx a.zip b", CommandLineUnknownSwitch},
        {L"a -mmt=0 a.zip b", CommandLineBadThreads},
        {L"a -mmt=65 a.zip b", CommandLineBadThreads},
        {L"a -mmt=two a.zip b", CommandLineBadThreads},
        {L"a -mx a.zip b", CommandLineBadLevel},
        {L"a -mx10 a.zip b", CommandLineBadLevel},
        {L"a -mxx a.zip b", CommandLineBadLevel},
        {L"a -- \"a.zip b", CommandLineOpenQuote},
        {L"a -- a.zip \"b", CommandLineOpenQuote},
        {L"a -tzip --", CommandLineNoArchive},
        {L"a", CommandLineNoArchive},
        {L"a -- a.zip", CommandLineNoItem},
        {L"a -- \"\" b", CommandLineEmptyPath},
        {L"a -- a.zip \"\"", CommandLineEmptyPath},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "line: " << ::testing::PrintToString(std::wstring(row.line)));
        ArchiverCommand cmd;
        EXPECT_EQ(row.expected, parseCommandLine(row.line, &cmd));
        EXPECT_STRNE(L"", commandLineErrorText(row.expected));
    }
    ArchiverCommand cmd;
    EXPECT_EQ(CommandLineEmpty, parseCommandLine(nullptr, &cmd));
}

TEST(ArchiverCommandLine, MxLevelsMapToZlibLevelsWithFiveAsSix)
{
    const int expected[10] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 9};
    for (int mx = 0; mx <= 9; ++mx) {
        SCOPED_TRACE(::testing::Message() << "-mx" << mx);
        EXPECT_EQ(expected[mx], zlibLevelForMx(mx));
    }
}

}  // namespace
