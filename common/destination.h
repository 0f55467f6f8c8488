// The destination folder as text ("Path"): how every reader takes it (blanks trimmed from its
// ends, then the final backslash) and which texts may serve as a destination at all. The
// settings reader, the settings page and the destination commands go by these same rules.
#pragma once
#include <stddef.h>

#include "language.h"
#include "name_characters.h"

// Removes blanks from both ends: U+0020 and the ideographic space U+3000, which a Japanese input
// method types as a blank.
void trimDestinationBlanks(wchar_t* text);

// The destination as every reader takes it: blanks trimmed from both ends first, then a final
// backslash for a text that is not empty (left out when the buffer has no room for it), so that
// " D:\Backup " becomes "D:\Backup\" and never a folder whose name ends in a blank.
void normaliseDestination(wchar_t* text, size_t capacity);

// Whether a path is a drive path ("X:\...") or a share path ("\\server\share\..."): the only
// forms that name the same place for every program, whatever its working folder. The device
// forms "\\?\" and "\\.\" are neither. Pure text.
bool isDriveOrSharePath(const wchar_t* path);

enum DestinationFault {
    DestinationUsable = 0,       // empty (nothing is asked of it), or a full folder path
    DestinationNotFull = 1,      // not a drive path "X:\..." nor a share path "\\server\share\..."
    DestinationCharacters = 2,   // holds characters that a folder path may not hold
};

// What a normalised destination is: usable when empty or a full folder path, that is a drive path
// ("X:\...") or a share path ("\\server\share\...", not the device forms "\\?\" and "\\.\"),
// holding no character that a folder path may not hold (no "|", "<", ">", '"', "*", "?",
// control characters, and no colon but the drive's). For DestinationCharacters the list of the
// characters found goes to `characters` (kForbiddenListChars); otherwise it is emptied.
int destinationFault(const wchar_t* text, wchar_t* characters, size_t capacity);

// The messages of the two faults, for the settings page and the commands alike.
extern const BilingualText kDestinationNotFullText;      // destination
extern const BilingualText kDestinationCharactersText;   // forbidden characters, destination
