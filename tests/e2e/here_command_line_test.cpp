// TazuHere end to end, the command line: how the shell's command line becomes items, the
// messages for an empty command line, missing and empty items and paths that are too long,
// in both languages.
#include "here_fixture.h"

namespace e2e {
namespace {

class HereCommandLine : public HereTest {
protected:
    // Backups of one item name in the data folder.
    int backupsOf(const std::wstring& base, const std::wstring& extension)
    {
        int count = 0;
        for (const std::wstring& name : namesIn(sandbox.data)) {
            if (isTimeStampedName(name, base, extension)) ++count;
        }
        return count;
    }
};

TEST_F(HereCommandLine, EmptyCommandLineAsksForFilesAndEnds)
{
    struct Case {
        const wchar_t* lang;
        const wchar_t* text;
    } cases[] = {
        {L"en", L"Please drop the files you want to back up."},
        {L"ja", L"バックアップしたいファイルをドロップしてください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.lang));
        ASSERT_TRUE(settings(c.lang));
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(L"", &program));
        EXPECT_TRUE(answerMessageBox(*program, kHereTitle, c.text, driver::IconInformation, IDOK));
        EXPECT_TRUE(endsWith(*program, static_cast<DWORD>(-1), 5000));
        EXPECT_EQ(nullptr, findResultWindow(*program, 0));
    }
}

TEST_F(HereCommandLine, UnquotedPathWithABlankIsTwoItems)
{
    ASSERT_TRUE(settings(L"en"));
    file(L"my\\inside.txt", "inside");
    file(L"my docs.txt", "docs");
    driver::Program* program = nullptr;
    // Without quotes "...\my docs.txt" is the folder "...\my" and the item "docs.txt".
    ASSERT_TRUE(start(sandbox.data + L"my docs.txt", &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(answerMessageBox(*program, kHereTitle, L"Please select a folder or file.\n\ndocs.txt", driver::IconError, IDOK));
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
    EXPECT_EQ(L"[my]", driver::controlText(result, kNamesId));
    EXPECT_EQ(1, backupsOf(L"my", L""));
    EXPECT_EQ(0, backupsOf(L"my docs", L".txt"));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
}

TEST_F(HereCommandLine, EmptyItemIsReportedAndTheOthersAreCopied)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring first = file(L"first.txt", "1");
    std::wstring second = file(L"second.txt", "2");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(first + L"  " + second, &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(answerMessageBox(*program, kHereTitle, L"Please select a folder or file.\n\n", driver::IconError, IDOK));
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
    EXPECT_EQ(L"[first.txt second.txt]", driver::controlText(result, kNamesId));
    EXPECT_EQ(1, backupsOf(L"first", L".txt"));
    EXPECT_EQ(1, backupsOf(L"second", L".txt"));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
}

TEST_F(HereCommandLine, PathsOf259And260Characters)
{
    // A real file whose path has exactly 259 characters: accepted, and its backup name is then
    // too long for the 259-character limit of a new path.
    std::wstring exact = sandbox.data;
    exact += std::wstring(259 - exact.size() - 4, L'n') + L".txt";
    ASSERT_EQ(259u, exact.size());
    ASSERT_TRUE(writeFile(exact, "exact"));
    std::wstring tooLong = sandbox.data + std::wstring(260 - sandbox.data.size() - 4, L'm') + L".txt";
    ASSERT_EQ(260u, tooLong.size());
    std::wstring after = file(L"after.txt", "after");

    struct Case {
        const char* label;
        const wchar_t* lang;
        std::wstring tail;
        std::wstring message;
    } cases[] = {
        {"259 characters reach the length check", L"en", inQuotes(exact),
         L"The path of the output file exceeds maximum value(259 characters).\n\n" +
             exact.substr(0, exact.size() - 4) + L"_%STAMP%.txt (275 characters)"},
        {"260 quoted characters, English", L"en", inQuotes(tooLong) + L" " + inQuotes(after),
         L"Please refer to the length of the path of this file in less than 260 characters.\n\n" + tooLong},
        {"260 quoted characters, Japanese", L"ja", inQuotes(tooLong) + L" " + inQuotes(after),
         L"パスは260文字以内にしてください。\n\n" + tooLong},
        {"260 unquoted characters, Japanese", L"ja", tooLong + L" " + after,
         L"パスは260文字以内にしてくください。\n\n" + tooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(settings(c.lang));
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(c.tail, &program));
        HWND result = findResultWindow(*program);
        ASSERT_TRUE(result);
        HWND box = driver::findMessageBox(program->id, 10000);
        ASSERT_TRUE(box);
        driver::MessageBoxInfo info;
        ASSERT_TRUE(driver::readMessageBox(box, &info));
        std::wstring expected = c.message;
        size_t stamp = expected.find(L"%STAMP%");
        if (stamp != std::wstring::npos) {
            // The time stamp is the program's; take it from the text when its form is right.
            std::wstring shown = info.text.substr(stamp, 15);
            EXPECT_TRUE(isTimeStampedName(L"x_" + shown, L"x", L"")) << narrow(info.text);
            expected.replace(stamp, 7, shown);
        }
        EXPECT_EQ(expected, info.text);
        EXPECT_EQ(kHereTitle, info.title);
        EXPECT_EQ(driver::IconError, info.icon);
        driver::pressButton(box, IDOK);
        EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
        EXPECT_TRUE(endsWith(*program, 0, 8000));
        // Nothing is created, and no path after the long one is handled.
        EXPECT_EQ(0, backupsOf(exact.substr(sandbox.data.size(), exact.size() - sandbox.data.size() - 4), L".txt"));
        EXPECT_EQ(0, backupsOf(L"after", L".txt"));
    }
}

}  // namespace
}  // namespace e2e
