#include "name_characters.h"

#include <stdio.h>
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

// Whether a control character has its own escape in the table above.
bool hasNamedEscape(wchar_t character)
{
    return character >= L'\a' && character <= L'\r';
}

bool allowedIn(const ForbiddenCharacter& entry, ForbiddenCharacterForm form)
{
    if (form == NamePartCharacters) return false;
    if (form == PathBelowDriveCharacters && entry.character == L':') return false;
    return entry.allowedInFolderPath;
}

// Appends a token and its blank when both fit with the terminator.
void appendToken(const wchar_t* token, wchar_t* list, size_t capacity, size_t* used)
{
    size_t tokenLength = wcslen(token);
    if (*used + tokenLength + 1 >= capacity) return;
    wcscpy(list + *used, token);
    *used += tokenLength;
    list[(*used)++] = L' ';
    list[*used] = L'\0';
}

}  // namespace

int listForbiddenCharacters(const wchar_t* text, ForbiddenCharacterForm form, wchar_t* list,
                            size_t capacity)
{
    size_t used = 0;
    int found = 0;
    if (capacity > 0) list[0] = L'\0';
    for (const ForbiddenCharacter& entry : kForbidden) {
        if (allowedIn(entry, form)) continue;
        if (!wcschr(text, entry.character)) continue;
        ++found;
        appendToken(entry.token, list, capacity, &used);
    }
    // The other control characters: a text pasted from elsewhere or a hand-edited settings file
    // can hold them, and a name that holds one is refused only later by the file system.
    for (wchar_t character = 1; character < 32; ++character) {
        if (hasNamedEscape(character) || !wcschr(text, character)) continue;
        ++found;
        wchar_t token[8];
        _snwprintf(token, 8, L"\\x%02x", static_cast<unsigned>(character));
        appendToken(token, list, capacity, &used);
    }
    return found;
}
