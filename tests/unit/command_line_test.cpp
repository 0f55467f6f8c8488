// Splitting of a command program's command-line tail: which paths reach the core action, in
// which order, and where the walk stops for a path that is too long.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

struct Collected {
    std::vector<std::wstring> paths;
    std::vector<std::wstring> failing;  // paths for which the handler reports a failure
};

int collect(const wchar_t* path, void* context)
{
    Collected* collected = static_cast<Collected*>(context);
    collected->paths.push_back(path);
    for (const std::wstring& failing : collected->failing) {
        if (failing == path) return -1;
    }
    return 0;
}

std::string show(const std::vector<std::wstring>& paths)
{
    std::string text;
    for (const std::wstring& path : paths) {
        text += "[";
        for (wchar_t c : path) text += c < 128 ? static_cast<char>(c) : '?';
        text += "]";
    }
    return text;
}

::testing::AssertionResult walksTo(const std::wstring& tail, const std::vector<std::wstring>& expected,
                                   int expectedResult = 0)
{
    Collected collected;
    TailWalk walk;
    walkCommandTail(tail.c_str(), collect, &collected, &walk);
    if (collected.paths != expected || walk.result != expectedResult || walk.pathTooLong)
        return ::testing::AssertionFailure() << "paths " << show(collected.paths) << " result " << walk.result
                                             << (walk.pathTooLong ? " (too long)" : "") << ", expected "
                                             << show(expected) << " result " << expectedResult;
    return ::testing::AssertionSuccess();
}

TEST(CommandTail, SplitsAtBlanksOutsideQuotes)
{
    struct Case {
        const char* label;
        std::wstring tail;
        std::vector<std::wstring> paths;
        int result;
    } cases[] = {
        {"quoted path with a blank is one path", L"\"C:\\a b\\x.txt\"", {L"C:\\a b\\x.txt"}, 0},
        {"unquoted path with a blank is two", L"C:\\a b\\x.txt", {L"C:\\a", L"b\\x.txt"}, 0},
        {"two quoted paths", L"\"C:\\a\" \"C:\\b c\"", {L"C:\\a", L"C:\\b c"}, 0},
        {"quoted then unquoted", L"\"C:\\a\" C:\\b", {L"C:\\a", L"C:\\b"}, 0},
        {"unquoted then quoted", L"C:\\a \"C:\\b\"", {L"C:\\a", L"C:\\b"}, 0},
        {"two blanks hand over an empty path", L"C:\\a  C:\\b", {L"C:\\a", L"", L"C:\\b"}, 0},
        {"closing quote at the very end", L"\"C:\\a\"", {L"C:\\a"}, 0},
        {"closing quote and a final blank", L"\"C:\\a\" ", {L"C:\\a"}, 0},
        {"character after a closing quote is skipped", L"\"C:\\a\"xC:\\b", {L"C:\\a", L"C:\\b"}, 0},
        {"two blanks after a closing quote", L"\"C:\\a\"  C:\\b", {L"C:\\a", L"", L"C:\\b"}, 0},
        {"final blank hands over an empty path", L"C:\\a ", {L"C:\\a", L""}, 0},
        {"unterminated quote keeps its blanks", L"\"C:\\a b", {L"C:\\a b"}, 0},
        {"quote inside a word opens a quoted part", L"C:\\a\"b c\"", {L"C:\\ab c"}, 0},
        {"empty tail hands over nothing", L"", {}, 0},
        {"Japanese names pass unchanged", L"\"C:\\資料\\報告 書.txt\"", {L"C:\\資料\\報告 書.txt"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_TRUE(walksTo(c.tail, c.paths, c.result));
    }
}

TEST(CommandTail, AFailedItemFailsTheRunButTheWalkGoesOn)
{
    Collected collected;
    collected.failing = {L"C:\\bad"};
    TailWalk walk;
    walkCommandTail(L"C:\\good C:\\bad \"C:\\after\"", collect, &collected, &walk);
    EXPECT_EQ(-1, walk.result);
    EXPECT_FALSE(walk.pathTooLong);
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\good", L"C:\\bad", L"C:\\after"}), collected.paths);
}

TEST(CommandTail, StopsAtAPathOf260Characters)
{
    const std::wstring fits(259, L'a');
    const std::wstring tooLong(260, L'b');
    struct Case {
        const char* label;
        std::wstring tail;
        std::vector<std::wstring> handled;
        bool tooLong;
        bool quoted;
    } cases[] = {
        {"259 unquoted characters are one path", fits, {fits}, false, false},
        {"259 quoted characters are one path", L"\"" + fits + L"\"", {fits}, false, false},
        {"260 unquoted characters stop the walk", tooLong, {}, true, false},
        {"260 quoted characters stop the walk", L"\"" + tooLong + L"\"", {}, true, true},
        {"paths before are handled, none after", L"C:\\first \"" + tooLong + L"\" C:\\after", {L"C:\\first"}, true, true},
        {"a long path after a short one", L"C:\\x " + tooLong + L"tail", {L"C:\\x"}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Collected collected;
        TailWalk walk;
        walkCommandTail(c.tail.c_str(), collect, &collected, &walk);
        EXPECT_EQ(c.handled, collected.paths);
        EXPECT_EQ(c.tooLong, walk.pathTooLong);
        if (c.tooLong) {
            EXPECT_EQ(-1, walk.result);
            EXPECT_EQ(c.quoted, walk.tooLongWasQuoted);
            // The message shows what was collected: exactly 260 characters.
            EXPECT_EQ(tooLong, std::wstring(walk.collected));
        } else {
            EXPECT_EQ(0, walk.result);
        }
    }
}

}  // namespace
