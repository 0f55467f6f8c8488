// Pre-backup hand-off texts: the command's key, the settings program's "/k" option and the
// names of the three objects.
#include <gtest/gtest.h>

#include <string>

#include "handoff_answer.h"
#include "handoff_exchange.h"

namespace {

std::wstring keyFor(const std::wstring& folderText, uintptr_t window)
{
    wchar_t key[kHandoffKeyChars];
    if (buildHandoffKey(folderText.c_str(), window, key, kHandoffKeyChars) != 0) return L"<failed>";
    return key;
}

struct ParsedOption {
    int mode;
    std::wstring key;
};

ParsedOption parse(const std::wstring& arguments)
{
    wchar_t key[kHandoffKeyChars];
    wmemset(key, L'#', kHandoffKeyChars);
    int mode = parseHandoffKeyOption(arguments.c_str(), key, kHandoffKeyChars);
    return {mode, key};
}

::testing::AssertionResult parsesTo(const std::wstring& arguments, const std::wstring& key)
{
    ParsedOption got = parse(arguments);
    int mode = key.empty() ? 0 : 1;
    if (got.mode == mode && got.key == key) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "mode " << got.mode << " key "
                                         << ::testing::PrintToString(got.key) << ", expected "
                                         << ::testing::PrintToString(key);
}

TEST(HandoffKey, KeyNamesFolderAndWindow)
{
    struct Row {
        const wchar_t* folderText;
        uintptr_t window;
        const wchar_t* key;
    };
    const Row rows[] = {
        {L"", 0x5a0c2e, L"ZEVRALD_tazu__5a0c2e"},                 // folder named tazu
        {L"beta", 0x5a0c2e, L"ZEVRALD_tazu_beta_5a0c2e"},
        {L"beta", 0xABCDEF, L"ZEVRALD_tazu_beta_abcdef"},         // lower-case hex
        {L"x", 0x10, L"ZEVRALD_tazu_x_10"},                       // no leading zeros
        {L"x", 0xffffffff, L"ZEVRALD_tazu_x_ffffffff"},
        {L"my backup", 0x10, L"ZEVRALD_tazu_my_backup_10"},       // blanks become "_"
        {L" a  b ", 0x2, L"ZEVRALD_tazu__a__b__2"},
        {L"ツール", 0x3, L"ZEVRALD_tazu_ツール_3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.folderText)));
        EXPECT_EQ(keyFor(row.folderText, row.window), row.key);
    }
}

TEST(HandoffKey, EveryKeyReachesTheSettingsProgramWhole)
{
    // Whatever the folder, the settings program's parsing must give back the command's key.
    const std::wstring folders[] = {L"", L"beta", L"my backup folder", L"  ", L"a/k b",
                                    std::wstring(255, L'x'), std::wstring(200, L' ') + L"z"};
    for (const std::wstring& folder : folders) {
        SCOPED_TRACE(::testing::PrintToString(folder));
        std::wstring key = keyFor(folder, 0x1a2b3c);
        EXPECT_LE(key.size(), kHandoffKeyLimit);
        EXPECT_EQ(key.find(L' '), std::wstring::npos);
        EXPECT_TRUE(parsesTo(L"/k " + key, key));
    }
}

TEST(HandoffKey, LongFolderTextIsCutButTheWindowStays)
{
    std::wstring key = keyFor(std::wstring(300, L'x'), 0x1234);
    EXPECT_EQ(key.size(), kHandoffKeyLimit);
    EXPECT_EQ(key.substr(0, 16), L"ZEVRALD_tazu_xxx");
    EXPECT_EQ(key.substr(key.size() - 5), L"_1234");

    wchar_t small[20];
    EXPECT_EQ(buildHandoffKey(L"abcdef", 0x1234, small, 20), 0);
    EXPECT_STREQ(small, L"ZEVRALD_tazu_a_1234");
    EXPECT_EQ(buildHandoffKey(L"abcdef", 0x123456, small, 20), -1);   // no room for the window
}

TEST(HandoffKeyOption, SettingsProgramFindsTheKey)
{
    struct Row {
        const wchar_t* arguments;
        const wchar_t* key;   // empty: pre-backup mode off
    };
    const Row rows[] = {
        {L"/k KEY", L"KEY"},
        {L"/K KEY", L"KEY"},
        {L"/k    KEY", L"KEY"},
        {L"/k KEY more words", L"KEY"},
        {L"before /k KEY", L"KEY"},
        {L"x/k KEY", L"KEY"},                      // anywhere in the string
        {L"/k A /k B", L"B"},                      // a later option replaces the key
        {L"/k A /K B c", L"B"},
        {L"/k A /k ", L""},                        // ... also with an empty one
        {L"/k", L""},
        {L"/k ", L""},
        {L"/k     ", L""},
        {L"/kKEY", L""},                           // the blank must follow directly
        {L"-k KEY", L""},
        {L"/j KEY", L""},
        {L"", L""},
        {L"KEY", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.arguments)));
        EXPECT_TRUE(parsesTo(row.arguments, row.key));
    }
}

TEST(HandoffKeyOption, KeysLongerThanTheirRoomAreRefused)
{
    std::wstring longest(kHandoffKeyLimit, L'k');
    EXPECT_TRUE(parsesTo(L"/k " + longest, longest));
    EXPECT_TRUE(parsesTo(L"/k " + longest + L"k", L""));
    EXPECT_TRUE(parsesTo(L"/k " + longest + L"k /k B", L"B"));
    // A refused key also replaces an earlier one: no answer may go to another command's key.
    EXPECT_TRUE(parsesTo(L"/k A /k " + longest + L"k", L""));

    wchar_t small[4];
    EXPECT_EQ(parseHandoffKeyOption(L"/k abc", small, 4), 1);
    EXPECT_STREQ(small, L"abc");
    EXPECT_EQ(parseHandoffKeyOption(L"/k abcd", small, 4), 0);
    EXPECT_STREQ(small, L"");
}

TEST(HandoffKey, WindowOfTheWaitingCommandFromTheKey)
{
    struct Row {
        const wchar_t* key;
        uintptr_t window;   // 0: none
    };
    const Row rows[] = {
        {L"ZEVRALD_tazu__5a0c2e", 0x5a0c2e},
        {L"ZEVRALD_tazu_my_backup_10", 0x10},
        {L"KEY_ABCdef", 0xabcdef},
        {L"ZEVRALD_tazu_", 0},
        {L"ZEVRALD_tazu_x_5g", 0},
        {L"nounderscore", 0},
        {L"", 0},
        {L"KEY_1ffffffffffffffff", 0},     // more digits than a handle has
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.key)));
        EXPECT_EQ(handoffKeyWindow(row.key), row.window);
    }
}

TEST(HandoffObjectNames, KeyAndSuffix)
{
    wchar_t name[kHandoffNameChars];
    ASSERT_EQ(handoffObjectName(L"ZEVRALD_tazu__5a0c2e", kHandoffReadySuffix, name, kHandoffNameChars), 0);
    EXPECT_STREQ(name, L"ZEVRALD_tazu__5a0c2e_KEY_SET_SET_WAIT");
    ASSERT_EQ(handoffObjectName(L"ZEVRALD_tazu__5a0c2e", kHandoffTakenSuffix, name, kHandoffNameChars), 0);
    EXPECT_STREQ(name, L"ZEVRALD_tazu__5a0c2e_KEY_SEL_GET_WAIT");

    // The longest key still has room for its event names.
    std::wstring longest(kHandoffKeyLimit, L'k');
    ASSERT_EQ(handoffObjectName(longest.c_str(), kHandoffTakenSuffix, name, kHandoffNameChars), 0);
    EXPECT_EQ(std::wstring(name), longest + L"_KEY_SEL_GET_WAIT");

    wchar_t small[8];
    EXPECT_EQ(handoffObjectName(L"abc", L"_WAIT", small, 8), -1);
    EXPECT_STREQ(small, L"");
    EXPECT_EQ(handoffObjectName(L"ab", L"_WAIT", small, 8), 0);
}

} // namespace
