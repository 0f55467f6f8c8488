// Backup name builder: composition of new paths, serial-number scan, length and collision rules.
#include "naming.h"

#include <wchar.h>

#include "message_box.h"

const BilingualText kPathTooLongText = {
    L"出力ファイルのパスが最大値(%d文字)を超えています。\n\n%s (%d文字)",
    L"The path of the output file exceeds maximum value(%d characters).\n\n%s (%d characters)",
};
const BilingualText kNameTakenText = {
    L"バックアップ先に同名のファイルが既に存在しています。\n\n%s",
    L"The same name of the file to the backup destination already exists.\n\n%s",
};
const BilingualText kSerialOverflowText = {
    L"連番が最大値(%I64d)を超えました。",
    L"The serial number has exceeded the maximum value(%I64d).",
};

namespace {

void systemLocalTime(SYSTEMTIME* now)
{
    GetLocalTime(now);
}

void systemSleep(DWORD milliseconds)
{
    Sleep(milliseconds);
}

LocalTimeSource g_localTimeSource = systemLocalTime;
CollisionSleep g_collisionSleep = systemSleep;

const wchar_t kArchiveSuffix[] = L".zip";

// Appends to a fixed buffer, keeping what fits (always terminated) and counting the full length,
// so that an overlong composition can be reported but never written past its buffer.
struct TextBuilder {
    wchar_t* out;
    size_t capacity;
    size_t length;   // full length of everything appended
    size_t stored;   // characters actually in out
};

void builderStart(TextBuilder* builder, wchar_t* out, size_t capacity)
{
    builder->out = out;
    builder->capacity = capacity;
    builder->length = 0;
    builder->stored = 0;
    if (capacity) out[0] = L'\0';
}

void builderAppend(TextBuilder* builder, const wchar_t* text)
{
    size_t count = wcslen(text);
    builder->length += count;
    if (builder->capacity == 0) return;
    size_t room = builder->capacity - 1 - builder->stored;
    size_t kept = count < room ? count : room;
    wmemcpy(builder->out + builder->stored, text, kept);
    builder->stored += kept;
    builder->out[builder->stored] = L'\0';
}

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Equal ignoring the case of ASCII letters only; every other character must match exactly.
bool asciiCaseEqual(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x == y) continue;
        if (!isAsciiLetter(x) || !isAsciiLetter(y) || (x | 0x20) != (y | 0x20)) return false;
    }
    return true;
}

// The dates of one moment: "YYYYMMDD_hhmmss", "YYYYMMDD" and "YYYYMMDD_".
struct DateTexts {
    wchar_t dateTime[32];
    wchar_t date[16];
    wchar_t dateUnderscore[16];
};

void makeDateTexts(const SYSTEMTIME* now, DateTexts* texts)
{
    _snwprintf(texts->dateTime, 31, L"%04d%02d%02d_%02d%02d%02d", now->wYear, now->wMonth,
               now->wDay, now->wHour, now->wMinute, now->wSecond);
    texts->dateTime[31] = L'\0';
    _snwprintf(texts->date, 15, L"%04d%02d%02d", now->wYear, now->wMonth, now->wDay);
    texts->date[15] = L'\0';
    _snwprintf(texts->dateUnderscore, 15, L"%04d%02d%02d_", now->wYear, now->wMonth, now->wDay);
    texts->dateUnderscore[15] = L'\0';
}

// Name, extension and archive suffix of the item as they enter the name.
struct ItemTexts {
    const wchar_t* name;
    const wchar_t* ext;       // empty for a folder
    const wchar_t* archive;   // ".zip" or empty
};

ItemTexts itemTexts(const PathParts* parts, ItemKind item, OutputKind output)
{
    ItemTexts texts;
    texts.name = parts->name;
    texts.ext = item == ItemFile ? parts->ext : L"";
    texts.archive = output == OutputArchive ? kArchiveSuffix : L"";
    return texts;
}

// Appends the serial number found for the scan to `side`. Returns NamingOk or SerialOverflow.
int appendSerial(const wchar_t* destFolder, const wchar_t* scanPrefix, const wchar_t* scanSuffix,
                 int zeroSuppress, wchar_t* side)
{
    long long next = 0;
    if (findNextSerial(destFolder, scanPrefix, scanSuffix, zeroSuppress, &next) != NamingOk)
        return SerialOverflow;
    wchar_t serial[kAddedStringChars];
    formatSerial(next, zeroSuppress, serial, kAddedStringChars);
    size_t used = wcslen(side);
    copyText(side + used, kAddedStringChars - used, serial);
    return NamingOk;
}

}  // namespace

void setLocalTimeSource(LocalTimeSource source)
{
    g_localTimeSource = source ? source : systemLocalTime;
}

void setCollisionSleep(CollisionSleep sleep)
{
    g_collisionSleep = sleep ? sleep : systemSleep;
}

int formatSerial(long long value, int zeroSuppress, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    wchar_t format[16];
    _snwprintf(format, 15, L"%%0%dI64d", clampZeroSuppress(zeroSuppress));
    format[15] = L'\0';
    wchar_t text[kAddedStringChars];
    _snwprintf(text, kAddedStringChars - 1, format, value);
    text[kAddedStringChars - 1] = L'\0';
    return copyText(out, capacity, text);
}

bool serialOfEntryName(const wchar_t* entryName, const wchar_t* prefix, const wchar_t* suffix,
                       int zeroSuppress, long long* value)
{
    if (wcscmp(entryName, L".") == 0 || wcscmp(entryName, L"..") == 0) return false;
    size_t nameLength = wcslen(entryName);
    size_t prefixLength = wcslen(prefix);
    size_t suffixLength = wcslen(suffix);
    if (nameLength <= prefixLength + suffixLength) return false;
    if (!asciiCaseEqual(entryName, prefix, prefixLength)) return false;
    if (!asciiCaseEqual(entryName + nameLength - suffixLength, suffix, suffixLength)) return false;

    const wchar_t* middle = entryName + prefixLength;
    size_t digits = nameLength - prefixLength - suffixLength;
    for (size_t i = 0; i < digits; ++i)
        if (middle[i] < L'0' || middle[i] > L'9') return false;

    size_t least = static_cast<size_t>(clampZeroSuppress(zeroSuppress));
    if (digits < least) return false;
    if (digits > least && middle[0] == L'0') return false;

    unsigned long long number = 0;
    for (size_t i = 0; i < digits; ++i) {
        unsigned digit = static_cast<unsigned>(middle[i] - L'0');
        if (number > (static_cast<unsigned long long>(kMaxSerial) - digit) / 10) {
            number = static_cast<unsigned long long>(kMaxSerial);
            break;
        }
        number = number * 10 + digit;
    }
    *value = static_cast<long long>(number);
    return true;
}

int serialAfterFailedListing(DWORD listingError, bool folderExists, long long* next)
{
    // A folder without any entry (an empty volume root has no "." either) lists as
    // file-not-found; its numbering starts at 1. Every other failure is not ours to guess.
    if (listingError == ERROR_FILE_NOT_FOUND && folderExists) {
        *next = 1;
        return NamingOk;
    }
    return SerialOverflow;
}

int findNextSerial(const wchar_t* destFolder, const wchar_t* scanPrefix, const wchar_t* scanSuffix,
                   int zeroSuppress, long long* next)
{
    wchar_t pattern[kComposedPathChars];
    if (!destFolder || !destFolder[0]) return SerialOverflow;
    if (copyText(pattern, kComposedPathChars - 4, destFolder) != 0 ||
        addTrailingBackslash(pattern, kComposedPathChars - 4) != 0)
        return SerialOverflow;
    size_t folderLength = wcslen(pattern);
    copyText(pattern + folderLength, kComposedPathChars - folderLength, L"*.*");

    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        pattern[folderLength] = L'\0';
        DWORD attributes = GetFileAttributesW(pattern);
        bool folderExists =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        return serialAfterFailedListing(error, folderExists, next);
    }
    long long largest = 0;
    do {
        long long value = 0;
        if (serialOfEntryName(entry.cFileName, scanPrefix, scanSuffix, zeroSuppress, &value) &&
            value > largest)
            largest = value;
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);

    if (largest >= kMaxSerial) return SerialOverflow;
    *next = largest + 1;
    return NamingOk;
}

int makeAddedStrings(const wchar_t* destFolder, const PathParts* parts, ItemKind item,
                     OutputKind output, const SettingsRecord* settings, const SYSTEMTIME* now,
                     AddedStrings* added)
{
    added->before[0] = added->after[0] = L'\0';
    DateTexts dates;
    makeDateTexts(now, &dates);
    ItemTexts texts = itemTexts(parts, item, output);
    const SettingsRecord& s = *settings;
    wchar_t scanPrefix[kComposedPathChars];
    wchar_t scanSuffix[kComposedPathChars];
    int result = NamingOk;
    TextBuilder prefix, suffix;

    // Before side.
    switch (s.addStringsBef) {
    case AddDateTime: copyText(added->before, kAddedStringChars, dates.dateTime); break;
    case AddDate: copyText(added->before, kAddedStringChars, dates.date); break;
    case AddDateSerial:
    case AddSerial:
        if (s.addStringsBef == AddDateSerial) {
            copyText(added->before, kAddedStringChars, dates.dateUnderscore);
        } else if (s.addStringsAft == AddDate) {
            // The scan must see the after date already in place.
            copyText(added->after, kAddedStringChars, dates.date);
        }
        builderStart(&prefix, scanPrefix, kComposedPathChars);
        builderAppend(&prefix, s.prefixBef1);
        builderAppend(&prefix, added->before);
        builderStart(&suffix, scanSuffix, kComposedPathChars);
        builderAppend(&suffix, s.prefixBef2);
        builderAppend(&suffix, texts.name);
        builderAppend(&suffix, s.prefixAft1);
        builderAppend(&suffix, added->after);
        builderAppend(&suffix, s.prefixAft2);
        builderAppend(&suffix, texts.ext);
        builderAppend(&suffix, texts.archive);
        result = appendSerial(destFolder, scanPrefix, scanSuffix, s.zeroSuppress, added->before);
        break;
    default: break;
    }

    // After side.
    if (result == NamingOk) {
        switch (s.addStringsAft) {
        case AddDateTime: copyText(added->after, kAddedStringChars, dates.dateTime); break;
        case AddDate: copyText(added->after, kAddedStringChars, dates.date); break;
        case AddDateSerial:
        case AddSerial:
            copyText(added->after, kAddedStringChars,
                     s.addStringsAft == AddDateSerial ? dates.dateUnderscore : L"");
            builderStart(&prefix, scanPrefix, kComposedPathChars);
            builderAppend(&prefix, s.prefixBef1);
            builderAppend(&prefix, added->before);
            builderAppend(&prefix, s.prefixBef2);
            builderAppend(&prefix, texts.name);
            builderAppend(&prefix, s.prefixAft1);
            builderAppend(&prefix, added->after);
            builderStart(&suffix, scanSuffix, kComposedPathChars);
            builderAppend(&suffix, s.prefixAft2);
            builderAppend(&suffix, texts.ext);
            builderAppend(&suffix, texts.archive);
            result = appendSerial(destFolder, scanPrefix, scanSuffix, s.zeroSuppress, added->after);
            break;
        default: added->after[0] = L'\0'; break;
        }
    }

    if (result != NamingOk) added->before[0] = added->after[0] = L'\0';
    return result;
}

int composeBackupPath(const wchar_t* destFolder, const PathParts* parts, ItemKind item,
                      OutputKind output, const SettingsRecord* settings, wchar_t* out,
                      size_t capacity, size_t* fullLength)
{
    if (capacity) out[0] = L'\0';
    if (fullLength) *fullLength = 0;
    SYSTEMTIME now;
    g_localTimeSource(&now);
    AddedStrings added;
    int result = makeAddedStrings(destFolder, parts, item, output, settings, &now, &added);
    if (result != NamingOk) return result;

    ItemTexts texts = itemTexts(parts, item, output);
    TextBuilder path;
    builderStart(&path, out, capacity);
    builderAppend(&path, destFolder);
    builderAppend(&path, settings->prefixBef1);
    builderAppend(&path, added.before);
    builderAppend(&path, settings->prefixBef2);
    builderAppend(&path, texts.name);
    builderAppend(&path, settings->prefixAft1);
    builderAppend(&path, added.after);
    builderAppend(&path, settings->prefixAft2);
    builderAppend(&path, texts.ext);
    if (item == ItemFolder && output == OutputCopyOrRename) builderAppend(&path, L"\\");
    builderAppend(&path, texts.archive);
    if (fullLength) *fullLength = path.length;
    return NamingOk;
}

size_t newPathLimit(ItemKind item, OutputKind output)
{
    return (item == ItemFolder && output == OutputCopyOrRename) ? kFolderCopyPathLimit
                                                                 : kFileOrArchivePathLimit;
}

int checkNewPathLength(const wchar_t* newPath, size_t length, ItemKind item, OutputKind output,
                       UiLanguage language)
{
    size_t limit = newPathLimit(item, output);
    if (length <= limit) return 0;
    showPathTooLongMessage(language, limit, newPath, length);
    return -1;
}

int applyCollisionRule(const wchar_t* newPath, int* collisions, const SettingsRecord* settings)
{
    if (!pathExists(newPath)) return CollisionFree;
    ++*collisions;
    if (*collisions <= kMaxCollisions) {
        // Only a time text moves on by waiting; other names are composed again at once.
        if (settings->addStringsBef == AddDateTime || settings->addStringsAft == AddDateTime)
            g_collisionSleep(kCollisionWaitMs);
        return CollisionRetry;
    }
    showNameTakenMessage(settings->language, newPath);
    return CollisionGiveUp;
}

void showPathTooLongMessage(UiLanguage language, size_t limit, const wchar_t* newPath, size_t length)
{
    showMessageF(MB_ICONERROR, language, kPathTooLongText, static_cast<int>(limit), newPath,
                 static_cast<int>(length));
}

void showNameTakenMessage(UiLanguage language, const wchar_t* newPath)
{
    showMessageF(MB_ICONERROR, language, kNameTakenText, newPath);
}

void showSerialOverflowMessage(UiLanguage language)
{
    showMessageF(MB_ICONERROR, language, kSerialOverflowText, kMaxSerial);
}

int findUnusableFreeText(const SettingsRecord* settings, UnusableFreeText* found)
{
    const struct {
        const wchar_t* key;
        const wchar_t* text;
    } texts[] = {
        {L"PrefixBef1", settings->prefixBef1},
        {L"PrefixBef2", settings->prefixBef2},
        {L"PrefixAft1", settings->prefixAft1},
        {L"PrefixAft2", settings->prefixAft2},
    };
    for (const auto& freeText : texts) {
        if (listForbiddenCharacters(freeText.text, NamePartCharacters, found->characters, kForbiddenListChars) == 0)
            continue;
        found->key = freeText.key;
        found->text = freeText.text;
        return -1;
    }
    found->key = nullptr;
    found->text = nullptr;
    found->characters[0] = L'\0';
    return 0;
}
