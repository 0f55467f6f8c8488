#include "name_characters.h"

#include <wchar.h>

namespace {

struct ForbiddenCharacter {
    wchar_t character;
    const wchar_t* token;
    bool allowedInFolderPath;
};

// The order of this table is the order of the list shown to the user.
const ForbiddenCharacter kForbidden[] = {
    {L'\\', L"\\", true}, {L'/', L"/", true},    {L':', L":", true},    {L'*', L"*", false},
    {L'?', L"?", false},  {L'"', L"\"", false},  {L'<', L"<", false},   {L'>', L">", false},
    {L'|', L"|", false},  {L'\a', L"\\a", false}, {L'\b', L"\\b", false}, {L'\f', L"\\f", false},
    {L'\n', L"\\n", false}, {L'\r', L"\\r", false}, {L'\t', L"\\t", false}, {L'\v', L"\\v", false},
};

}  // namespace

int listForbiddenCharacters(const wchar_t* text, ForbiddenCharacterForm form, wchar_t* list,
                            size_t capacity)
{
    size_t used = 0;
    int found = 0;
    if (capacity > 0) list[0] = L'\0';
    for (const ForbiddenCharacter& entry : kForbidden) {
        if (form == FolderPathCharacters && entry.allowedInFolderPath) continue;
        if (!wcschr(text, entry.character)) continue;
        ++found;
        size_t tokenLength = wcslen(entry.token);
        if (used + tokenLength + 1 < capacity) {
            wcscpy(list + used, entry.token);
            used += tokenLength;
            list[used++] = L' ';
            list[used] = L'\0';
        }
    }
    return found;
}
