// Backup name builder: the new path of an item made of its own name and up to two added strings
// (date, date and time, serial number) framed by the user's free texts, the serial-number scan of
// the destination folder, the length limit of a new path and the rule for a name already taken.
// The core actions own the loop around these pieces (folder choice, write test, the copy itself).
#pragma once
#include <stddef.h>
#include <windows.h>
#include "language.h"
#include "name_characters.h"
#include "paths.h"
#include "settings.h"

enum ItemKind { ItemFile = 0, ItemFolder = 1 };
enum OutputKind { OutputCopyOrRename = 0, OutputArchive = 1 };

// Results of the composition and of the serial-number scan.
enum NamingResult { NamingOk = 0, SerialOverflow = 1 };

// Codes of "AddStringsBef" and "AddStringsAft"; any other value adds nothing.
enum AddedStringCode {
    AddNothing = 0,
    AddDateTime = 1,      // "Date_time"
    AddDate = 2,          // "Date"
    AddDateSerial = 3,    // "Date_Sirial number"
    AddSerial = 4,        // "Sirial number"
};

constexpr long long kMaxSerial = 9223372036854775807LL;
// An added string holds at most 63 characters (buffers add the terminator).
constexpr size_t kAddedStringChars = 64;

// Room for any composition from settings within their limits (destination folder, four free
// texts, name, extension, two added strings, ".zip"), so that an overlong result can still be
// shown whole in the length message. A smaller buffer receives the path cut to fit.
constexpr size_t kComposedPathChars = 2304;

// Limits of a new path in UTF-16 code units, trailing backslash included.
constexpr size_t kFileOrArchivePathLimit = 259;
constexpr size_t kFolderCopyPathLimit = 247;

// Collision rule: at most 60 new compositions per item; the 61st collision fails the item.
constexpr int kMaxCollisions = 60;
constexpr DWORD kCollisionWaitMs = 1000;

// ---- Clock seam ---------------------------------------------------------------------------

// The local time of a composition comes from this function (GetLocalTime by default).
// Passing nullptr restores GetLocalTime.
typedef void (*LocalTimeSource)(SYSTEMTIME* now);
void setLocalTimeSource(LocalTimeSource source);

// ---- Serial numbers -----------------------------------------------------------------------

// Serial number text: the decimal value with at least zeroSuppress digits (leading zeros);
// zeroSuppress is brought into 1 to 19. Returns 0, or -1 when it was cut to fit.
int formatSerial(long long value, int zeroSuppress, wchar_t* out, size_t capacity);

// Whether one directory entry name counts for the scan with prefix P and suffix S: the name is
// longer than P and S together, begins with P and ends with S (ASCII letters compared without
// case, every other character exactly), and the middle is all ASCII digits, at least
// zeroSuppress of them and beginning with 0 only when exactly zeroSuppress. On true, *value is
// the middle read as a decimal number, saturated at kMaxSerial. "." and ".." never count.
bool serialOfEntryName(const wchar_t* entryName, const wchar_t* prefix, const wchar_t* suffix,
                       int zeroSuppress, long long* value);

// Next serial number for the scan prefix and suffix in a destination folder (with trailing
// backslash): the largest value of the counted entries (files and folders) plus 1, 1 when none
// counts or the folder exists without any entry. Returns NamingOk with *next set, or
// SerialOverflow when the next number would exceed kMaxSerial or the folder cannot be listed.
int findNextSerial(const wchar_t* destFolder, const wchar_t* scanPrefix, const wchar_t* scanSuffix,
                   int zeroSuppress, long long* next);

// Result of a scan whose listing could not be opened: a folder that exists but lists as
// file-not-found (no entry at all, as an empty volume root) starts at 1; every other failure
// is SerialOverflow.
int serialAfterFailedListing(DWORD listingError, bool folderExists, long long* next);

// ---- Composition --------------------------------------------------------------------------

// The before and after added strings (B and A) of one composition.
struct AddedStrings {
    wchar_t before[kAddedStringChars];
    wchar_t after[kAddedStringChars];
};

// Fills B and A from "AddStringsBef"/"AddStringsAft" for the moment `now`, scanning the
// destination folder for each side that needs a serial number. Returns NamingOk or
// SerialOverflow (the strings are then empty).
int makeAddedStrings(const wchar_t* destFolder, const PathParts* parts, ItemKind item,
                     OutputKind output, const SettingsRecord* settings, const SYSTEMTIME* now,
                     AddedStrings* added);

// One composition: takes the local time once, fills the added strings and joins
//   D + PrefixBef1 + B + PrefixBef2 + name + PrefixAft1 + A + PrefixAft2 + tail
// where the tail is the extension (file copy or rename), "\" (folder copy or rename),
// extension + ".zip" (file archive) or ".zip" (folder archive). The result is always
// terminated; *fullLength (optional) receives the length of the whole composition even when
// it was cut to the buffer. Does not check the length or whether the path is free.
// Returns NamingOk or SerialOverflow (out is then empty).
int composeBackupPath(const wchar_t* destFolder, const PathParts* parts, ItemKind item,
                      OutputKind output, const SettingsRecord* settings, wchar_t* out,
                      size_t capacity, size_t* fullLength = nullptr);

// ---- Free texts ---------------------------------------------------------------------------

// A free text that a name may not hold: the key of its setting, its text, and the list of the
// forbidden characters found in it.
struct UnusableFreeText {
    const wchar_t* key;       // "PrefixBef1", "PrefixBef2", "PrefixAft1" or "PrefixAft2"
    const wchar_t* text;      // the setting's text in the record
    wchar_t characters[kForbiddenListChars];
};

// Checks the four free texts, in the order of the name (PrefixBef1, PrefixBef2, PrefixAft1,
// PrefixAft2), with the settings program's rule for a part of a file name: a hand-edited
// "\..\..\x" would place the backup folders away, a ":" would name a stream. Returns 0 when all
// may be used, else -1 with the first one that may not.
int findUnusableFreeText(const SettingsRecord* settings, UnusableFreeText* found);

// ---- Length check, collision rule and messages ---------------------------------------------

// 259 for a file copy or rename and every archive, 247 for a folder copy or rename.
size_t newPathLimit(ItemKind item, OutputKind output);

// Length check of a composed path: 0 when it is within its limit, else shows the length
// message (limit, path, length) and returns -1. `length` is the composition's full length.
int checkNewPathLength(const wchar_t* newPath, size_t length, ItemKind item, OutputKind output,
                       UiLanguage language);

enum CollisionStep {
    CollisionFree = 0,     // the path is free: go on with it
    CollisionRetry = 1,    // taken: compose again (any wait has been done)
    CollisionGiveUp = -1,  // taken for the 61st time: message shown, the item fails
};

// The wait before a new composition (Sleep by default; nullptr restores it).
typedef void (*CollisionSleep)(DWORD milliseconds);
void setCollisionSleep(CollisionSleep sleep);

// Collision rule for one composed path. *collisions counts this item's collisions (the core
// sets it to 0 when it begins the item). When the path exists the count goes up; up to 60 the
// result is CollisionRetry, after waiting 1000 ms first when either side uses "Date_time";
// at 61 the collision message is shown (in settings->language) and the result is CollisionGiveUp.
int applyCollisionRule(const wchar_t* newPath, int* collisions, const SettingsRecord* settings);

// The three failure messages: error icon, topmost, no owner, the program's name as title.
void showPathTooLongMessage(UiLanguage language, size_t limit, const wchar_t* newPath, size_t length);
void showNameTakenMessage(UiLanguage language, const wchar_t* newPath);
void showSerialOverflowMessage(UiLanguage language);

// Their texts, for callers and tests that need the words.
extern const BilingualText kPathTooLongText;     // limit, path, length
extern const BilingualText kNameTakenText;       // path
extern const BilingualText kSerialOverflowText;  // maximum serial number (%I64d)
