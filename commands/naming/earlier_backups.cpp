// Names of earlier backups of an item and their order.
#include "earlier_backups.h"

#include <string.h>
#include <wchar.h>

namespace {

const wchar_t kArchiveSuffix[] = L".zip";

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool allDigits(const wchar_t* text, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!isDigit(text[i])) return false;
    return true;
}

long long digitsValue(const wchar_t* text, size_t count)
{
    long long value = 0;
    for (size_t i = 0; i < count; ++i) value = value * 10 + (text[i] - L'0');
    return value;
}

// Equal ignoring the case of ASCII letters only, as the serial-number scan compares.
bool asciiCaseEqual(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x == y) continue;
        bool letters = ((x | 0x20) >= L'a' && (x | 0x20) <= L'z') && ((y | 0x20) >= L'a' && (y | 0x20) <= L'z');
        if (!letters || (x | 0x20) != (y | 0x20)) return false;
    }
    return true;
}

// A serial number text under the scan's rule; *value saturates at kMaxSerial.
bool serialValue(const wchar_t* text, size_t count, int zeroSuppress, long long* value)
{
    // An added string holds at most 63 characters.
    if (count == 0 || count >= kAddedStringChars) return false;
    wchar_t serial[kAddedStringChars];
    wmemcpy(serial, text, count);
    serial[count] = L'\0';
    return serialOfEntryName(serial, L"", L"", zeroSuppress, value);
}

// Whether text (count characters) has the shape of an added string of this code; its date and
// its time or serial number go to *date and *number.
bool addedStringValue(const wchar_t* text, size_t count, int code, int zeroSuppress, long long* date,
                      long long* number)
{
    *date = 0;
    *number = 0;
    switch (code) {
    case AddDateTime:
        if (count != 15 || text[8] != L'_' || !allDigits(text, 8) || !allDigits(text + 9, 6)) return false;
        *date = digitsValue(text, 8);
        *number = digitsValue(text + 9, 6);
        return true;
    case AddDate:
        if (count != 8 || !allDigits(text, 8)) return false;
        *date = digitsValue(text, 8);
        return true;
    case AddDateSerial:
        if (count < 10 || text[8] != L'_' || !allDigits(text, 8)) return false;
        *date = digitsValue(text, 8);
        return serialValue(text + 9, count - 9, zeroSuppress, number);
    case AddSerial:
        return serialValue(text, count, zeroSuppress, number);
    default:
        return count == 0;
    }
}

bool addsString(int code)
{
    return code >= AddDateTime && code <= AddSerial;
}

}  // namespace

int compareBackupKeys(const BackupNameKey* a, const BackupNameKey* b)
{
    const long long left[] = {a->beforeDate, a->afterDate, a->beforeNumber, a->afterNumber};
    const long long right[] = {b->beforeDate, b->afterDate, b->beforeNumber, b->afterNumber};
    for (int i = 0; i < 4; ++i) {
        if (left[i] < right[i]) return -1;
        if (left[i] > right[i]) return 1;
    }
    return 0;
}

bool backupsHaveAddedString(const SettingsRecord* settings)
{
    return addsString(settings->addStringsBef) || addsString(settings->addStringsAft);
}

bool matchEarlierBackup(const wchar_t* entryName, bool entryIsFolder, const PathParts* parts, ItemKind item,
                        OutputKind output, const SettingsRecord* settings, BackupNameKey* key)
{
    const SettingsRecord& s = *settings;
    if (!backupsHaveAddedString(settings)) return false;
    if (entryIsFolder != (item == ItemFolder && output == OutputCopyOrRename)) return false;
    if (wcscmp(entryName, L".") == 0 || wcscmp(entryName, L"..") == 0) return false;

    // Fixed pieces: the head before B, the middle between B and A, the tail after A.
    wchar_t middle[kComposedPathChars] = L"";
    wchar_t tail[kComposedPathChars] = L"";
    middle[kComposedPathChars - 1] = tail[kComposedPathChars - 1] = L'\0';
    if (_snwprintf(middle, kComposedPathChars - 1, L"%s%s%s", s.prefixBef2, parts->name, s.prefixAft1) < 0 ||
        _snwprintf(tail, kComposedPathChars - 1, L"%s%s%s", s.prefixAft2, item == ItemFile ? parts->ext : L"",
                   output == OutputArchive ? kArchiveSuffix : L"") < 0)
        return false;
    const wchar_t* head = s.prefixBef1;
    size_t headLength = wcslen(head), middleLength = wcslen(middle), tailLength = wcslen(tail);
    size_t nameLength = wcslen(entryName);
    if (nameLength < headLength + middleLength + tailLength) return false;
    if (!asciiCaseEqual(entryName, head, headLength)) return false;
    if (!asciiCaseEqual(entryName + nameLength - tailLength, tail, tailLength)) return false;

    // What lies between head and tail is B + middle + A; the first split that gives both
    // added strings their shapes decides.
    const wchar_t* rest = entryName + headLength;
    size_t restLength = nameLength - headLength - tailLength;
    for (size_t before = 0; before + middleLength <= restLength; ++before) {
        if (!asciiCaseEqual(rest + before, middle, middleLength)) continue;
        BackupNameKey found;
        const wchar_t* after = rest + before + middleLength;
        size_t afterLength = restLength - before - middleLength;
        if (addedStringValue(rest, before, s.addStringsBef, s.zeroSuppress, &found.beforeDate, &found.beforeNumber) &&
            addedStringValue(after, afterLength, s.addStringsAft, s.zeroSuppress, &found.afterDate,
                             &found.afterNumber)) {
            *key = found;
            return true;
        }
    }
    return false;
}
