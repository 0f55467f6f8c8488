// Characters that a user's free text may not hold: the texts added around a backup name become
// part of a file name, and a destination folder becomes part of a path. The settings program
// refuses such texts when they are entered, and the commands refuse them again when a settings
// file was edited by hand.
#pragma once
#include <stddef.h>

enum ForbiddenCharacterForm {
    NamePartCharacters,     // a part of a file name: no path separators, colons or wildcards
    FolderPathCharacters,   // a folder path: "\", "/" and ":" are allowed
    PathBelowDriveCharacters,   // a path after its drive ("X:") or a share path: "\" and "/" are
                                // allowed; a colon there would name a stream
};

// Room for the list of every forbidden character with its blank (9 tokens of 1 character, 7 of
// 2 and 24 of 4) and the terminator.
constexpr size_t kForbiddenListChars = 160;

// Lists the forbidden characters that the text holds, in a fixed order (\ / : * ? " < > |, the
// control characters 7, 8, 12, 10, 13, 9, 11, then the other control characters 1 to 31 in
// ascending order), each at most once, as its token followed by one blank. A control character's
// token is its escape: "\a", "\b", "\f", "\n", "\r", "\t", "\v", or "\x" and two hexadecimal
// digits ("\x01", "\x1b"). Windows names hold none of the characters 1 to 31. Returns the number
// of different forbidden characters found: 0 when the text may be used (the list is then empty).
int listForbiddenCharacters(const wchar_t* text, ForbiddenCharacterForm form, wchar_t* list,
                            size_t capacity);
