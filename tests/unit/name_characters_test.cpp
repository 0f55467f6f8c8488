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

TEST(ForbiddenCharacters, ShortListBufferKeepsWholeTokensOnly)
{
    wchar_t list[4];
    EXPECT_EQ(3, listForbiddenCharacters(L"\t:*", NamePartCharacters, list, 4));
    EXPECT_EQ(std::wstring(L": "), list);
}
