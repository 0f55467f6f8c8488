// Which entries of a folder are earlier backups of an item: the names that the current settings
// give that item's backups, with an added string of exactly its shape in place of each date,
// time or serial number. The same pattern as the serial-number scan: the item's name, the four
// free texts and the tail compared without regard to the case of ASCII letters, a serial number
// of at least "ZeroSuppress" digits that begins with 0 only when it has exactly that many.
#pragma once
#include "naming.h"

// Order of backups by their added strings: the dates of both sides first (a serial number
// starts again each day when a date stands beside it), then the time or serial number of each.
struct BackupNameKey {
    long long beforeDate;
    long long afterDate;
    long long beforeNumber;   // time "hhmmss" or serial number
    long long afterNumber;
};

// Negative when a is older than b, 0 when they are equal, positive when a is newer.
int compareBackupKeys(const BackupNameKey* a, const BackupNameKey* b);

// Whether the settings add anything that tells backups apart (a code 1 to 4 on either side).
bool backupsHaveAddedString(const SettingsRecord* settings);

// Whether an entry is a backup of the item under the settings: the name is
//   PrefixBef1 + B + PrefixBef2 + name + PrefixAft1 + A + PrefixAft2 + tail
// (tail: the extension of a file, nothing for a folder, and ".zip" after it for an archive),
// B and A of the shapes of "AddStringsBef" and "AddStringsAft", and the entry is a folder
// exactly when the backup is a folder copy. On true, *key holds the values of B and A.
bool matchEarlierBackup(const wchar_t* entryName, bool entryIsFolder, const PathParts* parts, ItemKind item,
                        OutputKind output, const SettingsRecord* settings, BackupNameKey* key);
