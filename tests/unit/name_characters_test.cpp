// The forbidden-character check of free texts and folder paths.
#include <gtest/gtest.h>

#include <string>

#include "name_characters.h"
#include "unit_support.h"

namespace {

struct ForbiddenCase {
    const wchar_t* text;
    ForbiddenCharacterForm form;
    int count;
    const wchar_t* list;
};

}  // namespace

TEST(ForbiddenCharacters, ListsEachFoundCharacterOnceInTheFixedOrder)
{
    const ForbiddenCase cases[] = {
        {L"_backup-1.0 (copy)", NamePartCharacters, 0, L""},
        {L"", NamePartCharacters, 0, L""},
        {L"a:b", NamePartCharacters, 1, L": "},
        // A colon and a tab: five characters, the tab shown as its escape.
        {L"a:\tb", NamePartCharacters, 2, L": \\t "},
        // Found twice, listed once; listed in the table's order, not the text's.
        {L"|x?y|", NamePartCharacters, 2, L"? | "},
        {L"\v\t\r\n\f\b\a|><\"?*:/\\", NamePartCharacters, 16,
         L"\\ / : * ? \" < > | \\a \\b \\f \\n \\r \\t \\v "},
        // The control characters without a named escape are shown by their number, after the
        // named ones and in ascending order; a folder path may not hold them either.
        {L"a\x1f\x01" L"b\x06\x0e\tc\x1b", NamePartCharacters, 6, L"\\t \\x01 \\x06 \\x0e \\x1b \\x1f "},
        {L"C:\\Backup\x02\\", FolderPathCharacters, 1, L"\\x02 "},
        // A folder path may hold separators and a drive colon, nothing else of the list.
        {L"C:\\Backup/new", FolderPathCharacters, 0, L""},
        {L"C:\\Back?up\\\r\n", FolderPathCharacters, 3, L"? \\n \\r "},
    };
    for (const ForbiddenCase& c : cases) {
        SCOPED_TRACE(utf8(c.text));
        wchar_t list[kForbiddenListChars];
        EXPECT_EQ(c.count, listForbiddenCharacters(c.text, c.form, list, kForbiddenListChars));
        EXPECT_EQ(std::wstring(c.list), list);
    }
}

// Every character that the rule refuses fits the list buffer at once.
TEST(ForbiddenCharacters, TheWholeListFitsItsBuffer)
{
    std::wstring all = L"\\/:*?\"<>|";
    for (wchar_t c = 1; c < 32; ++c) all += c;
    wchar_t list[kForbiddenListChars];
    EXPECT_EQ(40, listForbiddenCharacters(all.c_str(), NamePartCharacters, list, kForbiddenListChars));
    const std::wstring shown(list);
    EXPECT_EQ(kForbiddenListChars - 1, shown.size());
    EXPECT_EQ(L"\\x1f ", shown.substr(shown.size() - 5));
}

TEST(ForbiddenCharacters, ShortListBufferKeepsWholeTokensOnly)
{
    wchar_t list[4];
    EXPECT_EQ(3, listForbiddenCharacters(L"\t:*", NamePartCharacters, list, 4));
    EXPECT_EQ(std::wstring(L": "), list);
}
