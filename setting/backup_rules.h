// Rules of the backup setting page without any window: the add-string choices and their
// coupling, the checks run when the settings are confirmed (each gives the one message to show),
// and the update of the destination history that follows a successful check.
#pragma once
#include <stddef.h>

#include "language.h"
#include "settings.h"

// Choices of the two add-string pull-downs; the stored value is the index, -1 is no selection.
enum AddStringChoice {
    AddNothing = 0,
    AddDateTime = 1,
    AddDate = 2,
    AddDateSerial = 3,
    AddSerial = 4,
};
constexpr int kAddStringChoiceCount = 5;

// Text of a choice in a pull-down (the empty text for AddNothing).
const wchar_t* addStringChoiceText(int choice, UiLanguage language);

// The other pull-down's choice once the changed one shows changedChoice.
int coupledAddStringChoice(int changedChoice, int otherChoice);

// Whether the zero-suppression controls apply: a serial number is added on either side.
bool serialNumberChosen(int before, int after);

// The edit fields hold one character more than a settings reader keeps.
constexpr size_t kFieldChars = kTextSettingLimit + 1;
// Longest destination or added text that may be used: a path of 259 characters.
constexpr size_t kMaxTextLength = 259;
// Messages embed one text of a field besides their own words.
constexpr size_t kCheckMessageChars = 1024;

// The fault of an add-string combination: 0 when the pair may be used, else 1 to 5 for the
// messages A to E (checked with the choice before the name first, then the other way round).
int addStringCombinationFault(int before, int after);

// Creates a missing destination folder with its parents; 0 when it is a folder afterwards.
typedef int (*DestinationFolderMaker)(const wchar_t* folder);

// Checks the collected values of the page in their fixed order: the destination (trimmed of
// blanks at its ends, given its final backslash, then its length, a full path of usable
// characters, created when missing), the four added texts (length, then characters), the
// combination of the two choices, and the number of backups to keep (-1 from keepBackupsOfText
// is refused like any other value outside 0 to 999). Returns 0,
// or -1 with the message of the first failure in `message`. On success record->path holds the
// trimmed destination with its final backslash.
int checkBackupSettings(SettingsRecord* record, UiLanguage language, DestinationFolderMaker makeFolder,
                        wchar_t* message, size_t capacity);

// Puts the destination at the top of the history: both are trimmed of blanks (U+0020 and U+3000)
// at the ends and given a final backslash, slots equal to the destination or to an earlier slot
// (ignoring case) drop out, the others follow in their order, and the rest is emptied.
void updateDestinationHistory(wchar_t* path, size_t pathCapacity,
                              wchar_t (*slots)[kHistoryLimit + 1]);

// One row of the destination history dialog, as the user edited it: control characters 7 to 13
// are removed (*removedControls tells whether there were any). Returns 0 when the rest may be
// stored, else -1 with the message to show.
int prepareHistoryEntry(wchar_t* text, UiLanguage language, bool* removedControls, wchar_t* message,
                        size_t capacity);

// What the keyboard filter of the destination history dialog does with a key press: Enter and
// Escape neither press a button nor close a window, and Ctrl+A (without Shift or Alt) in an edit
// control selects its whole text.
enum HistoryKeyAction {
    PassKey,
    SwallowKey,
    SelectAllAndSwallow,
};
HistoryKeyAction historyKeyAction(unsigned virtualKey, bool control, bool shift, bool alt,
                                  const wchar_t* focusClass);
