// Rules of TazuSetting's backup setting page: the checks with their messages in both languages,
// the combinations and the coupling of the two add-string choices, the destination history
// update, the edited history rows, the size classes of the row icons, and the window's link.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backup_rules.h"
#include "row_icons.h"
#include "setting_texts.h"
#include "unit_support.h"

namespace {

// ---- Checks ----

// Destination folders asked for, and the answer given to each.
std::vector<std::wstring> g_foldersMade;
int g_folderResult = 0;
int recordFolder(const wchar_t* folder)
{
    g_foldersMade.push_back(folder);
    return g_folderResult;
}

// A record that passes every check: nothing to create, "_" and the date and time after the name.
std::unique_ptr<SettingsRecord> passingRecord()
{
    std::unique_ptr<SettingsRecord> record(new SettingsRecord());
    wcscpy(record->prefixAft1, L"_");
    record->addStringsBef = AddNothing;
    record->addStringsAft = AddDateTime;
    record->zeroSuppress = 1;
    return record;
}

struct CheckCase {
    const char* name;
    std::function<void(SettingsRecord*)> edit;
    int folderResult;
    std::wstring english;    // empty when the record passes
    std::wstring japanese;
};

TEST(BackupSettingsCheck, EachFailureShowsItsMessageInBothLanguages)
{
    const std::wstring long259(259, L'p');
    const std::wstring long260(260, L'x');
    const CheckCase cases[] = {
        {"passes", [](SettingsRecord*) {}, 0, L"", L""},
        {"destination of 259 characters gets its backslash and is too long",
         [&](SettingsRecord* r) { wcscpy(r->path, (L"C:\\" + std::wstring(256, L'd')).c_str()); }, 0,
         (L"The path of the backup destination folder is too long.\n\nNow:260 characters or more  Max:259 characters\n\nC:\\" +
          std::wstring(256, L'd') + L"\\"),
         (L"バックアップ先のフォルダのパスが長すぎます。\n\n現在:260文字以上 最大:259文字\n\nC:\\" + std::wstring(256, L'd') + L"\\")}, 
        {"destination of a full field", [](SettingsRecord* r) { wcscpy(r->path, std::wstring(291, L'd').c_str()); }, 0,
         (L"The path of the backup destination folder is too long.\n\nNow:292 characters or more  Max:259 characters\n\n" +
          std::wstring(291, L'd') + L"\\"),
         (L"バックアップ先のフォルダのパスが長すぎます。\n\n現在:292文字以上 最大:259文字\n\n" + std::wstring(291, L'd') + L"\\")}, 
        {"relative destination", [](SettingsRecord* r) { wcscpy(r->path, L"Backup"); }, 0,
         L"The backup destination folder must be a full path,\nsuch as D:\\Backup\\ or \\\\server\\share\\Backup\\.\n\nBackup\\",
         L"バックアップ先のフォルダはフルパスで指定してください。\n(例: D:\\Backup\\ または \\\\server\\share\\Backup\\)\n\nBackup\\"},
        {"destination with a stream's colon and a bar", [](SettingsRecord* r) { wcscpy(r->path, L"C:\\a:b|c"); }, 0,
         L"The path of the backup destination folder holds characters that can not be used.\n\nNG : : | \n\nC:\\a:b|c\\",
         L"バックアップ先のフォルダのパスに使用できない文字が含まれています。\n\nNG : : | \n\nC:\\a:b|c\\"},
        {"destination that cannot be created", [](SettingsRecord* r) { wcscpy(r->path, L"Q:\\New"); }, 5,
         L"Failed to create backup destination folder.\nQ:\\New\\", L"バックアップ先のフォルダの作成に失敗しました。\nQ:\\New\\"},
        {"top too long", [&](SettingsRecord* r) { wcscpy(r->prefixBef1, long260.c_str()); }, 0,
         (L"Add Strings(top) is too long.\n\nNow:260 characters or more  Max:259 characters\n\n" + long260),
         (L"付与する文字列(先頭)が長すぎます。\n\n現在:260文字以上 最大:259文字\n\n" + long260)}, 
        {"top of 259 characters is long enough", [&](SettingsRecord* r) { wcscpy(r->prefixBef1, long259.c_str()); }, 0,
         L"", L""},
        {"length before characters", [&](SettingsRecord* r) { wcscpy(r->prefixBef1, (long260 + L":").c_str()); }, 0,
         (L"Add Strings(top) is too long.\n\nNow:261 characters or more  Max:259 characters\n\n" + long260 + L":"),
         (L"付与する文字列(先頭)が長すぎます。\n\n現在:261文字以上 最大:259文字\n\n" + long260 + L":")}, 
        {"characters of top", [](SettingsRecord* r) { wcscpy(r->prefixBef1, L"a?b*"); }, 0,
         L"Characters that can not be used in the prefix(top) are included.\n\nNG : * ? \n\na?b*",
         L"付与する文字列(先頭)に使用できない文字が含まれています。\n\nNG : * ? \n\na?b*"},
        {"before file name, checked before after file name",
         [](SettingsRecord* r) { wcscpy(r->prefixBef2, L"a/b"); wcscpy(r->prefixAft1, L"c:d"); }, 0,
         L"Characters that can not be used in the prefix(Before file name) are included.\n\nNG : / \n\na/b",
         L"付与する文字列(ファイル名の前)に使用できない文字が含まれています。\n\nNG : / \n\na/b"},
        {"before file name too long", [&](SettingsRecord* r) { wcscpy(r->prefixBef2, long260.c_str()); }, 0,
         (L"Add Strings(Before file name) is too long.\n\nNow:260 characters or more  Max:259 characters\n\n" + long260),
         (L"付与する文字列(ファイル名の前)が長すぎます。\n\n現在:260文字以上 最大:259文字\n\n" + long260)}, 
        {"a colon after the file name", [](SettingsRecord* r) { wcscpy(r->prefixAft1, L"_:"); }, 0,
         L"Characters that can not be used in the prefix(After file name) are included.\n\nNG : : \n\n_:",
         L"付与する文字列(ファイル名の後)に使用できない文字が含まれています。\n\nNG : : \n\n_:"},
        {"after file name too long", [&](SettingsRecord* r) { wcscpy(r->prefixAft1, long260.c_str()); }, 0,
         (L"Add Strings(After file name) is too long.\n\nNow:260 characters or more  Max:259 characters\n\n" + long260),
         (L"付与する文字列(ファイル名の後)が長すぎます。\n\n現在:260文字以上 最大:259文字\n\n" + long260)}, 
        {"a tab in last", [](SettingsRecord* r) { wcscpy(r->prefixAft2, L"x\ty|"); }, 0,
         L"Characters that can not be used in the prefix(Last) are included.\n\nNG : | \\t \n\nx\ty|",
         L"付与する文字列(最後)に使用できない文字が含まれています。\n\nNG : | \\t \n\nx\ty|"},
        {"last too long", [&](SettingsRecord* r) { wcscpy(r->prefixAft2, long260.c_str()); }, 0,
         (L"Add Strings(Last) is too long.\n\nNow:260 characters or more  Max:259 characters\n\n" + long260),
         (L"付与する文字列(最後)が長すぎます。\n\n現在:260文字以上 最大:259文字\n\n" + long260)}, 
        {"texts before the combination", [](SettingsRecord* r) { wcscpy(r->prefixAft2, L"<"); r->addStringsAft = AddNothing; }, 0,
         L"Characters that can not be used in the prefix(Last) are included.\n\nNG : < \n\n<",
         L"付与する文字列(最後)に使用できない文字が含まれています。\n\nNG : < \n\n<"},
        {"A: nothing added", [](SettingsRecord* r) { r->addStringsAft = AddNothing; }, 0,
         L"Select Date~ or Serial number from the pull-down to the string to give.\n",
         L"付与する文字列には、年月日～か連番のいずれかをプルダウンより選択してください。\n"},
        {"B: date and time with more", [](SettingsRecord* r) { r->addStringsBef = AddDateTime; r->addStringsAft = AddSerial; }, 0,
         L"In the add strings to be given,Date_time can be specified only by itself.\n",
         L"付与する文字列には、年月日時分秒は単独でしか指定できません。\n"},
        {"C: date alone", [](SettingsRecord* r) { r->addStringsBef = AddDate; r->addStringsAft = AddNothing; }, 0,
         L"In the add strings to be given,Please be sure to combine Date with Serial number.\n",
         L"付与する文字列には、年月日は必ず連番と組み合わせて指定してください。\n"},
        {"D: date and serial number with more", [](SettingsRecord* r) { r->addStringsBef = AddDateSerial; r->addStringsAft = AddDateTime; }, 0,
         L"In the add strings to be given,Date_Sirial number can be specified only by itself.\n",
         L"付与する文字列には、年月日_連番は単独でしか指定できません。\n"},
        {"D: date and serial number twice", [](SettingsRecord* r) { r->addStringsBef = AddDateSerial; r->addStringsAft = AddDateSerial; }, 0,
         L"In the add strings to be given,Date_Sirial number can be specified only by itself.\n",
         L"付与する文字列には、年月日_連番は単独でしか指定できません。\n"},
        {"E: serial number twice, the whole English sentence", [](SettingsRecord* r) { r->addStringsBef = AddSerial; r->addStringsAft = AddSerial; }, 0,
         L"In the add strings to be given,Serial number can be specified only by itself or with Date.\n",
         L"付与する文字列には、連番は指定なしか年月日しか指定できません。\n"},
    };
    for (const CheckCase& c : cases) {
        for (UiLanguage language : {UiEnglish, UiJapanese}) {
            SCOPED_TRACE(std::string(c.name) + (language == UiEnglish ? " (English)" : " (Japanese)"));
            std::unique_ptr<SettingsRecord> record = passingRecord();
            c.edit(record.get());
            g_folderResult = c.folderResult;
            wchar_t message[kCheckMessageChars];
            int result = checkBackupSettings(record.get(), language, recordFolder, message, kCheckMessageChars);
            const std::wstring& expected = language == UiEnglish ? c.english : c.japanese;
            EXPECT_EQ(result, expected.empty() ? 0 : -1);
            EXPECT_EQ(std::wstring(message), expected);
        }
    }
    g_folderResult = 0;
}

TEST(BackupSettingsCheck, KeepBackupsFieldTakesOneToThreeDigits)
{
    struct Row { const wchar_t* text; int value; };
    const Row rows[] = {
        {L"0", 0}, {L"3", 3}, {L"007", 7}, {L"999", 999},
        {L" 12 ", -1}, {L"", -1}, {L"1000", -1}, {L"0001", -1}, {L"-1", -1}, {L"+1", -1}, {L"3a", -1},
        {L"1 2", -1}, {L"\xFF13", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.text));
        EXPECT_EQ(row.value, keepBackupsOfText(row.text));
    }

    const std::wstring english = L"The number of backups to keep must be a number from 0 to 999.\n(0: keep every backup)\n";
    const std::wstring japanese =
        L"保持するバックアップの数は 0 から 999 までの数で指定してください。\n(0: すべてのバックアップを保持)\n";
    struct Case { const char* name; int keep; int addStringsAft; std::wstring english; };
    const Case cases[] = {
        {"999 passes", 999, AddDateTime, L""},
        {"1000", 1000, AddDateTime, english},
        {"not a number", -1, AddDateTime, english},
        {"checked after the combination", -1, AddNothing,
         L"Select Date~ or Serial number from the pull-down to the string to give.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<SettingsRecord> record = passingRecord();
        record->keepBackups = c.keep;
        record->addStringsAft = c.addStringsAft;
        wchar_t message[kCheckMessageChars];
        EXPECT_EQ(c.english.empty() ? 0 : -1, checkBackupSettings(record.get(), UiEnglish, recordFolder, message, kCheckMessageChars));
        EXPECT_EQ(c.english, std::wstring(message));
    }
    std::unique_ptr<SettingsRecord> record = passingRecord();
    record->keepBackups = 1000;
    wchar_t message[kCheckMessageChars];
    EXPECT_EQ(-1, checkBackupSettings(record.get(), UiJapanese, recordFolder, message, kCheckMessageChars));
    EXPECT_EQ(japanese, std::wstring(message));
}

TEST(BackupSettingsCheck, DestinationIsCreatedOnlyWhenGivenAndBeforeTheTextsAreChecked)
{
    struct Row {
        const wchar_t* path;
        const wchar_t* prefixAft2;
        const wchar_t* asked;    // nullptr: no folder asked for
        const wchar_t* kept;     // the destination afterwards
    };
    const Row rows[] = {
        {L"", L"", nullptr, L""},
        {L"C:\\Backup", L"", L"C:\\Backup\\", L"C:\\Backup\\"},
        {L"C:\\Backup\\", L"", L"C:\\Backup\\", L"C:\\Backup\\"},
        // Blanks at the ends are no part of the folder: never a name ending in a blank, never
        // a relative path.
        {L"C:\\Backup ", L"", L"C:\\Backup\\", L"C:\\Backup\\"},
        {L"  C:\\Backup\\  ", L"", L"C:\\Backup\\", L"C:\\Backup\\"},
        {L"   ", L"", nullptr, L""},
        // The ideographic space of a Japanese input method is a blank too.
        {L"\x3000" L"C:\\Backup\x3000", L"", L"C:\\Backup\\", L"C:\\Backup\\"},
        // Never made, and refused as written: a relative destination, one with a stream's colon.
        {L"C:Backup", L"", nullptr, L"C:Backup"},
        {L"C:\\Back:up", L"", nullptr, L"C:\\Back:up"},
        // A folder made for a destination stays even when a later check fails.
        {L"C:\\Made", L"?", L"C:\\Made\\", L"C:\\Made\\"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.path));
        std::unique_ptr<SettingsRecord> record = passingRecord();
        wcscpy(record->path, row.path);
        wcscpy(record->prefixAft2, row.prefixAft2);
        g_foldersMade.clear();
        wchar_t message[kCheckMessageChars];
        checkBackupSettings(record.get(), UiEnglish, recordFolder, message, kCheckMessageChars);
        if (row.asked) {
            ASSERT_EQ(g_foldersMade.size(), 1u);
            EXPECT_EQ(g_foldersMade[0], row.asked);
        } else {
            EXPECT_TRUE(g_foldersMade.empty());
        }
        EXPECT_EQ(std::wstring(record->path), row.kept);
    }
}

TEST(BackupSettingsCheck, FolderMakerOfTheProgramCreatesParents)
{
    TempFolder temp;
    std::unique_ptr<SettingsRecord> record = passingRecord();
    std::wstring destination = temp / L"a\\b\\c";
    wcscpy(record->path, destination.c_str());
    wchar_t message[kCheckMessageChars];
    EXPECT_EQ(checkBackupSettings(record.get(), UiEnglish, makeFolder, message, kCheckMessageChars), 0);
    EXPECT_TRUE(fileExists(destination + L"\\"));

    // A file where the folder should be cannot become one.
    ASSERT_TRUE(writeBytes(temp / L"file", "x"));
    wcscpy(record->path, (temp / L"file").c_str());
    EXPECT_EQ(checkBackupSettings(record.get(), UiEnglish, makeFolder, message, kCheckMessageChars), -1);
    EXPECT_EQ(std::wstring(message), L"Failed to create backup destination folder.\n" + temp / L"file\\");
}

// ---- Add-string choices ----

TEST(AddStringChoices, OnlyPairsThatAddADateOrASerialNumberOnceMayBeUsed)
{
    // Every pair of choices, no selection (-1) included, against the pairs that may be used.
    const std::pair<int, int> usable[] = {{0, 1}, {0, 3}, {0, 4}, {1, 0}, {3, 0}, {4, 0}, {2, 4}, {4, 2},
                                          {-1, 1}, {-1, 3}, {-1, 4}, {1, -1}, {3, -1}, {4, -1}};
    for (int before = -1; before < kAddStringChoiceCount; ++before) {
        for (int after = -1; after < kAddStringChoiceCount; ++after) {
            SCOPED_TRACE(std::to_string(before) + "," + std::to_string(after));
            bool expected = false;
            for (const auto& pair : usable) expected = expected || (pair.first == before && pair.second == after);
            EXPECT_EQ(addStringCombinationFault(before, after) == 0, expected);
        }
    }
    // The message of a refused pair: the side checked first decides.
    EXPECT_EQ(addStringCombinationFault(AddNothing, AddNothing), 1);
    EXPECT_EQ(addStringCombinationFault(-1, -1), 1);      // a hand-edited pair that adds nothing
    EXPECT_EQ(addStringCombinationFault(AddNothing, AddDate), 3);
    EXPECT_EQ(addStringCombinationFault(AddSerial, AddDateTime), 5);
    EXPECT_EQ(addStringCombinationFault(AddDateSerial, AddDate), 4);
}

TEST(AddStringChoices, ChangingOnePullDownAdjustsTheOther)
{
    struct Row {
        int changed;
        int other;
        int becomes;
    };
    const Row rows[] = {
        {AddNothing, AddDate, AddNothing},         {AddNothing, AddSerial, AddSerial},
        {AddNothing, AddDateTime, AddDateTime},    {AddNothing, -1, -1},
        {AddDateTime, AddSerial, AddNothing},      {AddDateTime, AddNothing, AddNothing},
        {AddDate, AddNothing, AddSerial},          {AddDate, AddDateTime, AddSerial},
        {AddDateSerial, AddDate, AddNothing},      {AddDateSerial, -1, AddNothing},
        {AddSerial, AddDate, AddDate},             {AddSerial, AddSerial, AddNothing},
        {AddSerial, AddDateSerial, AddNothing},    {-1, AddDate, AddDate},
        {-1, AddSerial, AddSerial},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.changed) + " with " + std::to_string(row.other));
        EXPECT_EQ(coupledAddStringChoice(row.changed, row.other), row.becomes);
    }
    // Every pair the coupling leaves behind after a change passes the combination check.
    for (int changed = 0; changed < kAddStringChoiceCount; ++changed) {
        for (int other = 0; other < kAddStringChoiceCount; ++other) {
            int coupled = coupledAddStringChoice(changed, other);
            if (changed == AddNothing && coupled == AddNothing) continue;   // message A
            SCOPED_TRACE(std::to_string(changed) + " then " + std::to_string(coupled));
            EXPECT_EQ(addStringCombinationFault(changed, coupled), 0);
        }
    }
}

// ---- Destination history ----

typedef wchar_t HistorySlots[kHistoryCount][kHistoryLimit + 1];

struct HistoryCase {
    const char* name;
    const wchar_t* path;
    std::vector<std::wstring> slots;
    const wchar_t* newPath;
    std::vector<std::wstring> updated;   // the first slots; the rest must be empty
};

TEST(DestinationHistory, DestinationGoesOnTopAndRepeatsDropOut)
{
    const HistoryCase cases[] = {
        {"a destination without backslash, the same folder in other spellings", L"C:\\Backup",
         {L"c:\\backup\\", L"D:\\Old", L"C:\\Backup "}, L"C:\\Backup\\", {L"C:\\Backup\\", L"D:\\Old\\"}},
        {"repeated slots", L"C", {L"A", L"A", L"B"}, L"C\\", {L"C\\", L"A\\", L"B\\"}},
        {"an empty destination moves every slot down", L"",
         {L"1\\", L"2\\", L"3\\", L"4\\", L"5\\", L"6\\", L"7\\", L"8\\", L"9\\", L"10\\"}, L"",
         {L"", L"1\\", L"2\\", L"3\\", L"4\\", L"5\\", L"6\\", L"7\\", L"8\\", L"9\\"}},
        {"empty slots keep their places", L"X\\", {L"", L"A\\", L"", L"x"}, L"X\\", {L"X\\", L"", L"A\\", L""}},
        {"blanks at both ends go, inner blanks stay", L"  C:\\My Backup  ", {L" C:\\My Backup\\ ", L" D:\\a b "},
         L"C:\\My Backup\\", {L"C:\\My Backup\\", L"D:\\a b\\"}},
        {"a full history drops its last", L"New",
         {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10"}, L"New\\",
         {L"New\\", L"1\\", L"2\\", L"3\\", L"4\\", L"5\\", L"6\\", L"7\\", L"8\\", L"9\\"}},
        {"case is ignored beyond ASCII too", L"C:\\ÄRCHIV", {L"c:\\ärchiv\\", L"C:\\Other\\"}, L"C:\\ÄRCHIV\\",
         {L"C:\\ÄRCHIV\\", L"C:\\Other\\"}},
    };
    std::unique_ptr<HistorySlots> slots(new HistorySlots[1]);
    for (const HistoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < kHistoryCount; ++i)
            wcscpy((*slots)[i], i < static_cast<int>(c.slots.size()) ? c.slots[i].c_str() : L"");
        wchar_t path[kTextSettingLimit + 2];
        wcscpy(path, c.path);
        updateDestinationHistory(path, kTextSettingLimit + 2, *slots);
        EXPECT_EQ(std::wstring(path), c.newPath);
        for (int i = 0; i < kHistoryCount; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(std::wstring((*slots)[i]), i < static_cast<int>(c.updated.size()) ? c.updated[i] : L"");
        }
    }
}

// ---- Rows of the history dialog ----

TEST(HistoryEntry, ControlCodesGoAndFolderPathsAreChecked)
{
    struct Row {
        std::wstring edited;
        std::wstring stored;
        bool removed;
        std::wstring english;    // empty when it may be stored
        std::wstring japanese;
    };
    const std::wstring long260(260, L'h');
    const Row rows[] = {
        {L"C:\\Backup\\", L"C:\\Backup\\", false, L"", L""},
        {L"C:/Back:up", L"C:/Back:up", false, L"", L""},     // separators and colons are a path's own
        {L"", L"", false, L"", L""},
        {L"C:\\Pasted\r\n", L"C:\\Pasted", true, L"", L""},
        {L"\aC:\\\b\t\n\v\f\rX", L"C:\\X", true, L"", L""},
        {L"C:\\What?", L"C:\\What?", false,
         L"The folder path contains characters that can not be used.\n\nNG : ? \n\nC:\\What?",
         L"フォルダのパスに使用できない文字が含まれています。\n\nNG : ? \n\nC:\\What?"},
        {L"C:\\a|b<c>\"*\t", L"C:\\a|b<c>\"*", true,
         L"The folder path contains characters that can not be used.\n\nNG : * \" < > | \n\nC:\\a|b<c>\"*",
         L"フォルダのパスに使用できない文字が含まれています。\n\nNG : * \" < > | \n\nC:\\a|b<c>\"*"},
        {long260 + L"\n", long260, true,
         L"The folder path is too long.\n\nNow:260 characters or more  Max:259 characters\n\n" + long260,
         L"フォルダのパスが長すぎます。\n\n現在:260文字以上 最大:259文字\n\n" + long260},
    };
    for (const Row& row : rows) {
        for (UiLanguage language : {UiEnglish, UiJapanese}) {
            const std::wstring& expected = language == UiEnglish ? row.english : row.japanese;
            SCOPED_TRACE(utf8(row.edited) + (language == UiEnglish ? " (English)" : " (Japanese)"));
            wchar_t text[kFieldChars + 1];
            wcscpy(text, row.edited.c_str());
            bool removed = false;
            wchar_t message[kCheckMessageChars];
            int result = prepareHistoryEntry(text, language, &removed, message, kCheckMessageChars);
            EXPECT_EQ(std::wstring(text), row.stored);
            EXPECT_EQ(removed, row.removed);
            EXPECT_EQ(result, expected.empty() ? 0 : -1);
            EXPECT_EQ(std::wstring(message), expected);
        }
    }
}

// ---- Keys in the history dialog ----

TEST(HistoryKeys, EnterAndEscapeAreSwallowedCtrlASelectsAnEditText)
{
    struct Row {
        unsigned key;
        bool control, shift, alt;
        const wchar_t* focusClass;
        HistoryKeyAction action;
    };
    const Row rows[] = {
        {VK_RETURN, false, false, false, L"SysListView32", SwallowKey},
        {VK_ESCAPE, false, false, false, L"Button", SwallowKey},
        {VK_RETURN, true, false, false, L"Edit", SwallowKey},
        {'A', true, false, false, L"Edit", SelectAllAndSwallow},
        {'A', true, false, false, L"EDIT", SelectAllAndSwallow},
        {'A', true, true, false, L"Edit", PassKey},
        {'A', true, false, true, L"Edit", PassKey},
        {'A', false, false, false, L"Edit", PassKey},
        {'A', true, false, false, L"SysListView32", PassKey},
        {'A', true, false, false, L"", PassKey},
        {'B', true, false, false, L"Edit", PassKey},
        {VK_TAB, false, false, false, L"Edit", PassKey},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.key) + (row.control ? " ctrl" : "") + (row.shift ? " shift" : "") +
                     (row.alt ? " alt" : "") + " in " + utf8(row.focusClass));
        EXPECT_EQ(historyKeyAction(row.key, row.control, row.shift, row.alt, row.focusClass), row.action);
    }
}

// ---- Row icons ----

TEST(RowIcons, SizeClassAndSideFollowTheDpi)
{
    struct Row {
        int dpi;
        int sizeClass;
        int pixels;
    };
    const Row rows[] = {
        {96, 0, 16},  {120, 0, 20}, {143, 0, 24},  {144, 1, 24},  {239, 1, 40},
        {240, 2, 40}, {288, 2, 48}, {911, 2, 152}, {912, 3, 152}, {1536, 3, 256},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(rowIconSizeClass(row.dpi), row.sizeClass);
        EXPECT_EQ(rowIconPixels(row.dpi), row.pixels);
    }
    EXPECT_EQ(rowIconResource(0, 0), 121);
    EXPECT_EQ(rowIconResource(4, 3), 140);
}

}  // namespace

namespace {

// The program's own row icons: each resource holds the one image of its size class.
TEST(RowIcons, EachResourceHoldsTheImageOfItsClass)
{
    wchar_t bin[MAX_PATH] = L"";
    ASSERT_TRUE(GetEnvironmentVariableW(L"VANTREL_BIN_DIR", bin, MAX_PATH));
    HMODULE program = LoadLibraryExW((std::wstring(bin) + L"\\TazuSetting.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    const int sides[kIconSizeClassCount] = {16, 32, 48, 256};
    for (int row = 0; row < kCommandRowCount; ++row) {
        for (int sizeClass = 0; sizeClass < kIconSizeClassCount; ++sizeClass) {
            SCOPED_TRACE(std::to_string(row) + "/" + std::to_string(sizeClass));
            HRSRC group = FindResourceW(program, MAKEINTRESOURCEW(rowIconResource(row, sizeClass)), RT_GROUP_ICON);
            ASSERT_NE(group, nullptr);
            // A group icon directory: reserved, type, count, then 14-byte entries (width first, 0 = 256).
            const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(program, group)));
            ASSERT_NE(directory, nullptr);
            EXPECT_EQ(*reinterpret_cast<const WORD*>(directory + 4), 1);
            int width = directory[6] ? directory[6] : 256;
            EXPECT_EQ(width, sides[sizeClass]);
        }
    }
    FreeLibrary(program);
}

// ---- The link ----

// A build with a project page shows and opens it; one without shows the read-me in the language
// and opens the file beside the programs.
TEST(ProjectLink, PageOfTheBuildOrTheReadmeBesideThePrograms)
{
    const std::wstring longFolder = L"C:\\" + std::wstring(250, L'x') + L"\\";
    struct Case {
        const char* name;
        const wchar_t* page;
        std::wstring folder;
        UiLanguage language;
        int result;
        const wchar_t* text;
        std::wstring target;
    };
    const Case cases[] = {
        {"page", L"https://vantrel.org/", L"C:\\Tools\\Tazu\\", UiJapanese, 0, L"https://vantrel.org/",
         L"https://vantrel.org/"},
        {"no page, Japanese", L"", L"C:\\Tools\\Tazu\\", UiJapanese, 0, L"説明書 (README.txt)",
         L"C:\\Tools\\Tazu\\README.txt"},
        {"no page, English", L"", L"D:\\Tazu\\", UiEnglish, 0, L"Read me (README.txt)", L"D:\\Tazu\\README.txt"},
        {"no page, folder too long for the file", L"", longFolder, UiEnglish, -1, L"Read me (README.txt)", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const wchar_t* text = nullptr;
        wchar_t target[kLinkTargetChars];
        wmemset(target, L'#', kLinkTargetChars);
        EXPECT_EQ(c.result, composeProjectLink(c.page, c.folder.c_str(), c.language, &text, target, kLinkTargetChars));
        ASSERT_TRUE(text);
        EXPECT_EQ(std::wstring(c.text), text);
        EXPECT_EQ(c.target, std::wstring(target));
    }
}

}  // namespace
