// Which names are earlier backups of an item, and their order: each kind of added string, free
// texts, extensions, folders and archives, and the near misses that must never count.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "earlier_backups.h"
#include "unit_support.h"

namespace {

// Settings of a new user ("PrefixAft1" "_", date and time after the name), changed by a row.
std::unique_ptr<SettingsRecord> naming(const std::function<void(SettingsRecord*)>& change)
{
    std::unique_ptr<SettingsRecord> s(new SettingsRecord());
    wcscpy(s->prefixAft1, L"_");
    s->addStringsAft = AddDateTime;
    s->zeroSuppress = 1;
    if (change) change(s.get());
    return s;
}

PathParts partsOf(const wchar_t* itemPath, ItemKind item)
{
    PathParts parts;
    EXPECT_EQ(0, splitPath(itemPath, item == ItemFolder, &parts));
    return parts;
}

void serialAfter(SettingsRecord* s) { s->addStringsAft = AddSerial; }
void serialAfterThreeDigits(SettingsRecord* s) { s->addStringsAft = AddSerial; s->zeroSuppress = 3; }
void dateSerialAfter(SettingsRecord* s) { s->addStringsAft = AddDateSerial; s->zeroSuppress = 2; }
void dateAfter(SettingsRecord* s) { s->addStringsAft = AddDate; }
void serialBeforeDateAfter(SettingsRecord* s)
{
    s->addStringsBef = AddSerial;
    s->addStringsAft = AddDate;
    wcscpy(s->prefixBef2, L"_");
}
void dateBeforeSerialAfter(SettingsRecord* s)
{
    s->addStringsBef = AddDate;
    s->addStringsAft = AddSerial;
    wcscpy(s->prefixBef2, L"_");
    wcscpy(s->prefixAft1, L"-");
}
void freeTexts(SettingsRecord* s)
{
    wcscpy(s->prefixBef1, L"bk-");
    wcscpy(s->prefixAft2, L"~");
}
void nothingAdded(SettingsRecord* s) { s->addStringsAft = AddNothing; }

TEST(EarlierBackups, NamesOfTheItemsBackupsUnderTheCurrentSettings)
{
    struct Row {
        const char* label;
        void (*settings)(SettingsRecord*);
        const wchar_t* item;
        ItemKind kind;
        OutputKind output;
        const wchar_t* entry;
        bool entryIsFolder;
        bool counts;
        BackupNameKey key;   // checked when it counts
    };
    const Row rows[] = {
        {"date and time", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_140709.txt", false, true, {0, 20240305, 0, 140709}},
        {"letters in another case", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"REPORT_20240305_140709.TXT", false, true, {0, 20240305, 0, 140709}},
        {"time one digit short", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_14070.txt", false, false, {}},
        {"dash for the underscore", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305-140709.txt", false, false, {}},
        {"the user's own file", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_old.txt", false, false, {}},
        {"another item's backup", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report2_20240305_140709.txt", false, false, {}},
        {"the item itself", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename, L"report.txt", false,
         false, {}},
        {"a backup under other settings", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305.txt", false, false, {}},
        {"another extension", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_140709.doc", false, false, {}},
        {"an archive is not a copy", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_140709.txt.zip", false, false, {}},
        {"a folder of a file's backup name", nullptr, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_140709.txt", true, false, {}},
        {"no extension", nullptr, L"C:\\d\\README", ItemFile, OutputCopyOrRename, L"README_20240305_140709", false,
         true, {0, 20240305, 0, 140709}},
        {"serial", serialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename, L"report_12.txt", false, true,
         {0, 0, 0, 12}},
        {"serial 0", serialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename, L"report_0.txt", false, true,
         {0, 0, 0, 0}},
        {"serial with a leading zero beyond ZeroSuppress", serialAfter, L"C:\\d\\report.txt", ItemFile,
         OutputCopyOrRename, L"report_007.txt", false, false, {}},
        {"serial missing", serialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename, L"report_.txt", false,
         false, {}},
        {"serial with a letter", serialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename, L"report_1a.txt",
         false, false, {}},
        {"serial of three digits", serialAfterThreeDigits, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_007.txt", false, true, {0, 0, 0, 7}},
        {"serial shorter than three digits", serialAfterThreeDigits, L"C:\\d\\report.txt", ItemFile,
         OutputCopyOrRename, L"report_07.txt", false, false, {}},
        {"date and serial", dateSerialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_01.txt", false, true, {0, 20240305, 0, 1}},
        {"date and a serial too short", dateSerialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_1.txt", false, false, {}},
        {"date alone", dateAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename, L"report_20240305.txt", false,
         true, {0, 20240305, 0, 0}},
        {"serial before, date after", serialBeforeDateAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"3_report_20240305.txt", false, true, {0, 20240305, 3, 0}},
        {"date before, serial after", dateBeforeSerialAfter, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"20240305_report-4.txt", false, true, {20240305, 0, 0, 4}},
        {"date before, serial after, other item", dateBeforeSerialAfter, L"C:\\d\\report.txt", ItemFile,
         OutputCopyOrRename, L"20240305_report2-4.txt", false, false, {}},
        {"free texts", freeTexts, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"bk-report_20240305_140709~.txt", false, true, {0, 20240305, 0, 140709}},
        {"free texts missing", freeTexts, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_20240305_140709.txt", false, false, {}},
        {"folder copy", nullptr, L"C:\\d\\Project.old", ItemFolder, OutputCopyOrRename,
         L"Project.old_20240305_140709", true, true, {0, 20240305, 0, 140709}},
        {"file of a folder's backup name", nullptr, L"C:\\d\\Project.old", ItemFolder, OutputCopyOrRename,
         L"Project.old_20240305_140709", false, false, {}},
        {"archive of a file", nullptr, L"C:\\d\\report.txt", ItemFile, OutputArchive,
         L"report_20240305_140709.txt.zip", false, true, {0, 20240305, 0, 140709}},
        {"copy beside the archives", nullptr, L"C:\\d\\report.txt", ItemFile, OutputArchive,
         L"report_20240305_140709.txt", false, false, {}},
        {"archive of a folder", serialAfter, L"C:\\d\\Project", ItemFolder, OutputArchive, L"Project_2.zip", false,
         true, {0, 0, 0, 2}},
        {"folder copy beside the archives", serialAfter, L"C:\\d\\Project", ItemFolder, OutputArchive, L"Project_2",
         true, false, {}},
        {"nothing added tells no backups apart", nothingAdded, L"C:\\d\\report.txt", ItemFile, OutputCopyOrRename,
         L"report_.txt", false, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        auto settings = naming(row.settings);
        PathParts parts = partsOf(row.item, row.kind);
        BackupNameKey key = {-1, -1, -1, -1};
        bool counts = matchEarlierBackup(row.entry, row.entryIsFolder, &parts, row.kind, row.output, settings.get(), &key);
        EXPECT_EQ(row.counts, counts);
        if (row.counts && counts) {
            EXPECT_EQ(0, compareBackupKeys(&row.key, &key));
        }
    }
}

TEST(EarlierBackups, WhatTheNameBuilderMakesCounts)
{
    struct Row {
        const char* label;
        void (*settings)(SettingsRecord*);
        const wchar_t* itemName;
        ItemKind kind;
        OutputKind output;
    };
    const Row rows[] = {
        {"defaults", nullptr, L"report.txt", ItemFile, OutputCopyOrRename},
        {"serial", serialAfter, L"report.txt", ItemFile, OutputCopyOrRename},
        {"date and serial", dateSerialAfter, L"notes", ItemFile, OutputCopyOrRename},
        {"serial before, date after", serialBeforeDateAfter, L"report.txt", ItemFile, OutputArchive},
        {"date before, serial after", dateBeforeSerialAfter, L"Project.v2", ItemFolder, OutputCopyOrRename},
        {"free texts", freeTexts, L"Project", ItemFolder, OutputArchive},
    };
    TempFolder temp;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        auto settings = naming(row.settings);
        PathParts parts = partsOf((temp.path() + row.itemName).c_str(), row.kind);
        wchar_t path[kComposedPathChars];
        ASSERT_EQ(NamingOk, composeBackupPath(temp.path().c_str(), &parts, row.kind, row.output, settings.get(), path,
                                              kComposedPathChars));
        std::wstring name = path + temp.path().size();
        bool folder = !name.empty() && name.back() == L'\\';
        if (folder) name.pop_back();
        BackupNameKey key;
        EXPECT_TRUE(matchEarlierBackup(name.c_str(), folder, &parts, row.kind, row.output, settings.get(), &key))
            << utf8(name);
    }
}

TEST(EarlierBackups, OrderFollowsTheAddedStringsNotTheirText)
{
    struct Row {
        const char* label;
        void (*settings)(SettingsRecord*);
        const wchar_t* older;
        const wchar_t* newer;
    };
    const Row rows[] = {
        {"a later second", nullptr, L"report_20240305_140709.txt", L"report_20240305_140710.txt"},
        {"a later day before an earlier time", nullptr, L"report_20240304_235959.txt", L"report_20240305_000000.txt"},
        {"serial 10 after serial 9", serialAfter, L"report_9.txt", L"report_10.txt"},
        {"a new day restarts the serial", serialBeforeDateAfter, L"7_report_20240304.txt", L"1_report_20240305.txt"},
        {"date and serial: the day first", dateSerialAfter, L"report_20240304_05.txt", L"report_20240305_01.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        auto settings = naming(row.settings);
        PathParts parts = partsOf(L"C:\\d\\report.txt", ItemFile);
        BackupNameKey older, newer;
        ASSERT_TRUE(matchEarlierBackup(row.older, false, &parts, ItemFile, OutputCopyOrRename, settings.get(), &older));
        ASSERT_TRUE(matchEarlierBackup(row.newer, false, &parts, ItemFile, OutputCopyOrRename, settings.get(), &newer));
        EXPECT_LT(compareBackupKeys(&older, &newer), 0);
        EXPECT_GT(compareBackupKeys(&newer, &older), 0);
    }
}

}  // namespace
