#include <gtest/gtest.h>

#include "language.h"

TEST(LanguageSetting, EnInAnyCaseSelectsEnglishAndEverythingElseJapanese)
{
    struct Row { const wchar_t* value; UiLanguage expected; };
    const Row rows[] = {
        {L"en", UiEnglish}, {L"EN", UiEnglish}, {L"eN", UiEnglish},
        {L"", UiJapanese}, {L"ja", UiJapanese}, {L"de", UiJapanese}, {L"en ", UiJapanese},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "Lang=\"" << row.value << "\"");
        EXPECT_EQ(row.expected, languageFromSetting(row.value));
    }
}

TEST(LanguageSetting, PickTextFollowsTheFlag)
{
    const BilingualText text = {L"日本語", L"English"};
    EXPECT_STREQ(L"日本語", pickText(text, UiJapanese));
    EXPECT_STREQ(L"English", pickText(text, UiEnglish));
}
