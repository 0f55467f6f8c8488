// Texts of the command programs: the messages of start-up, the worker, the folder dialog, the
// backup steps and the quit question in both languages, and the result window's own texts,
// which exist in English only.
#pragma once
#include "language.h"

// Start-up and worker.
extern const wchar_t* const kClassNotRegisteredText;      // English only
extern const wchar_t* const kMainWindowNotCreatedText;    // English only
extern const BilingualText kNothingDroppedText;
extern const BilingualText kQuotedPathTooLongText;        // limit, collected text
extern const BilingualText kUnquotedPathTooLongText;      // limit, collected text

// Backup steps.
extern const BilingualText kItemNotFoundText;             // item path
extern const BilingualText kFolderNotCreatedReselectText; // error text, folder
extern const BilingualText kFolderNotCreatedText;         // error text, folder ("Path" of the destination commands)
extern const BilingualText kCanNotBackupText;             // error text, new path
extern const BilingualText kBrowseTitleText;
extern const BilingualText kFolderDoesNotExistText;
extern const BilingualText kCopyIncompleteText;           // first missing or short entry
extern const BilingualText kDestinationInsideItemText;    // destination folder, item path
extern const BilingualText kFreeTextCharactersText;       // setting, forbidden characters, its text
extern const BilingualText kReservedItemNameText;         // item path
extern const BilingualText kReservedBackupNameText;       // new name, item path

// Result window.
extern const BilingualText kQuitQuestionText;
extern const wchar_t* const kAutoCloseOnText;
extern const wchar_t* const kAutoCloseOffText;
extern const wchar_t* const kPleaseWaitText;
extern const wchar_t* const kSuccessText;
extern const wchar_t* const kBackupFailedText;
extern const wchar_t* const kCloseText;
extern const wchar_t* const kNamesLineFormat;             // names text
extern const wchar_t* const kSecondToolFormat;            // first path

// Clean-up of older backups: a short note after the item's name on the names line and a
// sentence in the tooltip, both beginning with what identifies the item.
extern const BilingualText kOlderMovedNote;               // count
extern const BilingualText kOlderKeptNote;
extern const BilingualText kOlderNoRoomNote;
extern const BilingualText kOlderStoppedNote;
extern const BilingualText kOlderNoRecordNote;
extern const BilingualText kOlderNoTurnNote;
extern const BilingualText kOlderInUseNote;
extern const BilingualText kOlderMovedSentence;           // item name, count
extern const BilingualText kOlderKeptNoBinSentence;       // item name, count, drive
extern const BilingualText kOlderNoRoomSentence;          // item name, count, drive, size
extern const BilingualText kOlderStoppedSentence;         // item name, backup that stayed, count
extern const BilingualText kOlderRecordLockedSentence;    // item name, record file
extern const BilingualText kOlderRecordUnusableSentence;  // item name, record file
extern const BilingualText kOlderRecordDamagedSentence;   // item name, record file
extern const BilingualText kOlderRecordNoPlaceSentence;   // item name
extern const BilingualText kOlderNoTurnSentence;          // item name
extern const BilingualText kOlderInUseSentence;           // item name, count

// The verify pass ("Verify" 1): the blue phase text while the backup is read back, the short
// note after the item's name and the tooltip's sentence once it matched, and why a copy failed.
extern const BilingualText kVerifyingText;
extern const BilingualText kVerifiedNote;
extern const BilingualText kCopyVerifiedSentence;         // item name, bytes compared
extern const BilingualText kCopyVerifyDifferentText;      // the item's file
extern const BilingualText kCopyVerifyUnreadableText;     // the item's file, system text
