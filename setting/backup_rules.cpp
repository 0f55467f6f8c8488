// Rules of the backup setting page: choices, coupling, checks and the history update.
#include "backup_rules.h"

#include <windows.h>
#include <stdarg.h>
#include <wchar.h>

#include "destination.h"
#include "name_characters.h"
#include "paths.h"

namespace {

const BilingualText kAddStringChoices[kAddStringChoiceCount] = {
    {L"", L""},
    {L"年月日_時分秒", L"Date_time"},
    {L"年月日", L"Date"},
    {L"年月日_連番", L"Date_Sirial number"},
    {L"連番", L"Sirial number"},
};

const BilingualText kPathTooLong = {
    L"バックアップ先のフォルダのパスが長すぎます。\n\n現在:%d文字以上 最大:%d文字\n\n%s",
    L"The path of the backup destination folder is too long.\n\nNow:%d characters or more  Max:%d characters\n\n%s",
};

const BilingualText kPathNotCreated = {
    L"バックアップ先のフォルダの作成に失敗しました。\n%s",
    L"Failed to create backup destination folder.\n%s",
};

// Messages of the four added texts, in the order they are checked: top, before the file name,
// after it, last.
struct AddedTextMessages {
    BilingualText tooLong;
    BilingualText characters;
};

const AddedTextMessages kAddedTextMessages[] = {
    {{L"付与する文字列(先頭)が長すぎます。\n\n現在:%d文字以上 最大:%d文字\n\n%s",
      L"Add Strings(top) is too long.\n\nNow:%d characters or more  Max:%d characters\n\n%s"},
     {L"付与する文字列(先頭)に使用できない文字が含まれています。\n\nNG : %s\n\n%s",
      L"Characters that can not be used in the prefix(top) are included.\n\nNG : %s\n\n%s"}},
    {{L"付与する文字列(ファイル名の前)が長すぎます。\n\n現在:%d文字以上 最大:%d文字\n\n%s",
      L"Add Strings(Before file name) is too long.\n\nNow:%d characters or more  Max:%d characters\n\n%s"},
     {L"付与する文字列(ファイル名の前)に使用できない文字が含まれています。\n\nNG : %s\n\n%s",
      L"Characters that can not be used in the prefix(Before file name) are included.\n\nNG : %s\n\n%s"}},
    {{L"付与する文字列(ファイル名の後)が長すぎます。\n\n現在:%d文字以上 最大:%d文字\n\n%s",
      L"Add Strings(After file name) is too long.\n\nNow:%d characters or more  Max:%d characters\n\n%s"},
     {L"付与する文字列(ファイル名の後)に使用できない文字が含まれています。\n\nNG : %s\n\n%s",
      L"Characters that can not be used in the prefix(After file name) are included.\n\nNG : %s\n\n%s"}},
    {{L"付与する文字列(最後)が長すぎます。\n\n現在:%d文字以上 最大:%d文字\n\n%s",
      L"Add Strings(Last) is too long.\n\nNow:%d characters or more  Max:%d characters\n\n%s"},
     {L"付与する文字列(最後)に使用できない文字が含まれています。\n\nNG : %s\n\n%s",
      L"Characters that can not be used in the prefix(Last) are included.\n\nNG : %s\n\n%s"}},
};

// Messages A to E of the add-string combinations. The English E once stopped after its first
// words, and the English D described another rule; both now say what the Japanese says.
const BilingualText kCombinationFaults[] = {
    {L"付与する文字列には、年月日～か連番のいずれかをプルダウンより選択してください。\n",
     L"Select Date~ or Serial number from the pull-down to the string to give.\n"},
    {L"付与する文字列には、年月日時分秒は単独でしか指定できません。\n",
     L"In the add strings to be given,Date_time can be specified only by itself.\n"},
    {L"付与する文字列には、年月日は必ず連番と組み合わせて指定してください。\n",
     L"In the add strings to be given,Please be sure to combine Date with Serial number.\n"},
    {L"付与する文字列には、年月日_連番は単独でしか指定できません。\n",
     L"In the add strings to be given,Date_Sirial number can be specified only by itself.\n"},
    {L"付与する文字列には、連番は指定なしか年月日しか指定できません。\n",
     L"In the add strings to be given,Serial number can be specified only by itself or with Date.\n"},
};

const BilingualText kKeepBackupsOutOfRange = {
    L"保持するバックアップの数は 0 から 999 までの数で指定してください。\n(0: すべてのバックアップを保持)\n",
    L"The number of backups to keep must be a number from 0 to 999.\n(0: keep every backup)\n",
};

const BilingualText kHistoryPathTooLong = {
    L"フォルダのパスが長すぎます。\n\n現在:%d文字以上 最大:%d文字\n\n%s",
    L"The folder path is too long.\n\nNow:%d characters or more  Max:%d characters\n\n%s",
};

const BilingualText kHistoryPathCharacters = {
    L"フォルダのパスに使用できない文字が含まれています。\n\nNG : %s\n\n%s",
    L"The folder path contains characters that can not be used.\n\nNG : %s\n\n%s",
};

void formatMessage(wchar_t* message, size_t capacity, UiLanguage language, const BilingualText& format, ...)
{
    if (capacity == 0) return;
    va_list args;
    va_start(args, format);
    _vsnwprintf(message, capacity - 1, pickText(format, language), args);
    va_end(args);
    message[capacity - 1] = L'\0';
}

// One pass of the combination check with x on one side and y on the other. A pull-down without
// a selection (a hand-edited index outside the list) adds nothing, as the empty choice does, so
// it is checked as that choice: otherwise a pair that adds nothing at all would pass.
int combinationFaultOf(int x, int y)
{
    if (x < 0 || x >= kAddStringChoiceCount) x = AddNothing;
    if (y < 0 || y >= kAddStringChoiceCount) y = AddNothing;
    switch (x) {
    case AddNothing: return y == AddNothing ? 1 : 0;
    case AddDateTime: return y != AddNothing ? 2 : 0;
    case AddDate: return y != AddSerial ? 3 : 0;
    case AddDateSerial: return y != AddNothing ? 4 : 0;
    case AddSerial: return (y != AddNothing && y != AddDate) ? 5 : 0;
    default: return 0;
    }
}

bool sameFolder(const wchar_t* a, const wchar_t* b)
{
    if (!a[0] || !b[0]) return false;
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

const wchar_t* addStringChoiceText(int choice, UiLanguage language)
{
    if (choice < 0 || choice >= kAddStringChoiceCount) return L"";
    return pickText(kAddStringChoices[choice], language);
}

int coupledAddStringChoice(int changedChoice, int otherChoice)
{
    switch (changedChoice) {
    case AddNothing: return otherChoice == AddDate ? AddNothing : otherChoice;
    case AddDateTime: return AddNothing;
    case AddDate: return AddSerial;
    case AddDateSerial: return AddNothing;
    case AddSerial: return otherChoice == AddDate ? AddDate : AddNothing;
    default: return otherChoice;
    }
}

bool serialNumberChosen(int before, int after)
{
    return before == AddDateSerial || before == AddSerial || after == AddDateSerial || after == AddSerial;
}

int addStringCombinationFault(int before, int after)
{
    int fault = combinationFaultOf(before, after);
    return fault ? fault : combinationFaultOf(after, before);
}

int checkBackupSettings(SettingsRecord* record, UiLanguage language, DestinationFolderMaker makeFolder,
                        wchar_t* message, size_t capacity)
{
    if (capacity) message[0] = L'\0';

    // The field holds up to 291 characters; with its final backslash the destination may be one
    // longer than the record keeps, which the length check refuses anyway.
    wchar_t path[kFieldChars + 2];
    copyText(path, kFieldChars + 2, record->path);
    // Blanks at the ends go before the backslash comes: "D:\Backup " would otherwise become a
    // folder whose name ends in a blank, and " D:\Backup" a relative path.
    normaliseDestination(path, kFieldChars + 2);
    size_t length = wcslen(path);
    if (length > kMaxTextLength) {
        formatMessage(message, capacity, language, kPathTooLong, static_cast<int>(length),
                      static_cast<int>(kMaxTextLength), path);
        return -1;
    }
    // A relative destination would name a folder of whatever folder a command runs in.
    wchar_t unusable[kForbiddenListChars];
    switch (destinationFault(path, unusable, kForbiddenListChars)) {
    case DestinationNotFull:
        formatMessage(message, capacity, language, kDestinationNotFullText, path);
        return -1;
    case DestinationCharacters:
        formatMessage(message, capacity, language, kDestinationCharactersText, unusable, path);
        return -1;
    default:
        break;
    }
    copyText(record->path, sizeof record->path / sizeof record->path[0], path);
    if (path[0] && makeFolder(path) != 0) {
        formatMessage(message, capacity, language, kPathNotCreated, path);
        return -1;
    }

    const wchar_t* texts[] = {record->prefixBef1, record->prefixBef2, record->prefixAft1, record->prefixAft2};
    for (int i = 0; i < 4; ++i) {
        const wchar_t* text = texts[i];
        const AddedTextMessages& check = kAddedTextMessages[i];
        size_t textLength = wcslen(text);
        if (textLength > kMaxTextLength) {
            formatMessage(message, capacity, language, check.tooLong, static_cast<int>(textLength),
                          static_cast<int>(kMaxTextLength), text);
            return -1;
        }
        wchar_t found[kForbiddenListChars];
        if (listForbiddenCharacters(text, NamePartCharacters, found, kForbiddenListChars) > 0) {
            formatMessage(message, capacity, language, check.characters, found, text);
            return -1;
        }
    }

    int fault = addStringCombinationFault(record->addStringsBef, record->addStringsAft);
    if (fault) {
        formatMessage(message, capacity, language, kCombinationFaults[fault - 1]);
        return -1;
    }

    if (record->keepBackups < 0 || record->keepBackups > kMaxKeepBackups) {
        formatMessage(message, capacity, language, kKeepBackupsOutOfRange);
        return -1;
    }
    return 0;
}

void updateDestinationHistory(wchar_t* path, size_t pathCapacity, wchar_t (*slots)[kHistoryLimit + 1])
{
    normaliseDestination(path, pathCapacity);
    for (int i = 0; i < kHistoryCount; ++i) {
        trimDestinationBlanks(slots[i]);
        // A slot as long as a reader keeps has no room for the backslash; it stays as it is.
        addTrailingBackslash(slots[i], kHistoryLimit + 1);
    }

    bool dropped[kHistoryCount] = {};
    for (int i = 0; i < kHistoryCount; ++i) {
        if (sameFolder(slots[i], path)) dropped[i] = true;
        for (int earlier = 0; earlier < i && !dropped[i]; ++earlier)
            if (sameFolder(slots[i], slots[earlier])) dropped[i] = true;
    }

    // The kept slots close up, then all move down by one to make room for the destination.
    int kept = 0;
    for (int i = 0; i < kHistoryCount; ++i) {
        if (dropped[i]) continue;
        if (kept != i) wcscpy(slots[kept], slots[i]);
        ++kept;
    }
    for (int i = kept; i < kHistoryCount; ++i) slots[i][0] = L'\0';
    for (int i = kHistoryCount - 1; i > 0; --i) wcscpy(slots[i], slots[i - 1]);
    copyText(slots[0], kHistoryLimit + 1, path);
}

int prepareHistoryEntry(wchar_t* text, UiLanguage language, bool* removedControls, wchar_t* message,
                        size_t capacity)
{
    if (capacity) message[0] = L'\0';
    size_t kept = 0;
    *removedControls = false;
    for (size_t i = 0; text[i]; ++i) {
        if (text[i] >= 7 && text[i] <= 13) {
            *removedControls = true;
            continue;
        }
        text[kept++] = text[i];
    }
    text[kept] = L'\0';

    if (kept > kMaxTextLength) {
        formatMessage(message, capacity, language, kHistoryPathTooLong, static_cast<int>(kept),
                      static_cast<int>(kMaxTextLength), text);
        return -1;
    }
    wchar_t found[kForbiddenListChars];
    if (listForbiddenCharacters(text, FolderPathCharacters, found, kForbiddenListChars) > 0) {
        formatMessage(message, capacity, language, kHistoryPathCharacters, found, text);
        return -1;
    }
    return 0;
}

HistoryKeyAction historyKeyAction(unsigned virtualKey, bool control, bool shift, bool alt,
                                  const wchar_t* focusClass)
{
    if (virtualKey == VK_RETURN || virtualKey == VK_ESCAPE) return SwallowKey;
    if (virtualKey == 'A' && control && !shift && !alt && focusClass && _wcsicmp(focusClass, L"EDIT") == 0)
        return SelectAllAndSwallow;
    return PassKey;
}
