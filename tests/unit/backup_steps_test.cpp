// Per-item backup steps on real files: the write test, the shell copy with its clean-up, and
// the loop's rule that a name taken by someone else after the write test is a collision, so
// that nothing this run did not create is ever written over or removed.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "backup_steps.h"
#include "copied_tree.h"
#include "message_box.h"
#include "naming.h"
#include "run_state.h"
#include "settings.h"
#include "there_destination.h"
#include "unit_support.h"

namespace {

// ---- Seams: a clock that only the collision wait moves on, and recorded message boxes ----

SYSTEMTIME g_now;
int g_sleeps;
std::vector<std::wstring> g_messages;

void fakeLocalTime(SYSTEMTIME* now)
{
    *now = g_now;
}

void fakeSleep(DWORD milliseconds)
{
    ++g_sleeps;
    g_now.wSecond = static_cast<WORD>(g_now.wSecond + milliseconds / 1000);
}

int recordMessage(UINT, const wchar_t*, const wchar_t* text)
{
    g_messages.push_back(text);
    return IDOK;
}

// ---- Files ----

std::string readFile(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// Files (with their bytes) and folders (ending in a backslash) below a root, in order.
void makeTree(const std::wstring& root, const std::vector<std::pair<std::wstring, std::string>>& entries)
{
    CreateDirectoryW(root.c_str(), nullptr);
    for (const auto& entry : entries) {
        std::wstring path = root + L"\\" + entry.first;
        if (path.back() == L'\\') CreateDirectoryW(path.substr(0, path.size() - 1).c_str(), nullptr);
        else writeBytes(path, entry.second);
    }
}

class BackupSteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"vantrel_steps_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        readSettingsFile((folder + L"none.ini").c_str(), &g_settings);
        copyText(g_settings.lang, kLangLimit + 1, L"en");
        g_settings.language = UiEnglish;
        clearPerRunState();
        g_now = SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 0};
        g_sleeps = 0;
        g_messages.clear();
        setLocalTimeSource(fakeLocalTime);
        setCollisionSleep(fakeSleep);
        setMessageBoxSink(recordMessage);
    }
    void TearDown() override
    {
        setBeforeOperationHook(nullptr);
        setFinalPathCall(nullptr);
        setLocalTimeSource(nullptr);
        setCollisionSleep(nullptr);
        setMessageBoxSink(nullptr);
        // Some tests leave paths longer than a plain path can name.
        removeTree(L"\\\\?\\" + folder.substr(0, folder.size() - 1));
        EXPECT_FALSE(fileExists(folder));
    }

    std::wstring folder;
};

TEST_F(BackupSteps, WriteTestCreatesAndRemovesItsProbe)
{
    struct Case {
        const char* label;
        std::wstring newPath;
        ItemKind kind;
        std::wstring destination;
    } cases[] = {
        {"file in an existing folder", folder + L"probe.txt", ItemFile, folder},
        {"file in a folder yet to be made", folder + L"new\\sub\\probe.txt", ItemFile, folder + L"new\\sub\\"},
        {"folder", folder + L"probe_folder\\", ItemFolder, folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        wchar_t error[kErrorTextChars] = L"unchanged";
        EXPECT_EQ(0, writeTest(c.newPath.c_str(), c.kind, c.destination.c_str(), error, kErrorTextChars));
        EXPECT_STREQ(L"", error);
        EXPECT_FALSE(fileExists(c.newPath));
        EXPECT_TRUE(fileExists(c.destination));
    }
}

TEST_F(BackupSteps, WriteTestLeavesAnItemOfTheNewNameAlone)
{
    std::wstring file = folder + L"taken.txt";
    std::wstring sub = folder + L"taken_folder";
    ASSERT_TRUE(writeBytes(file, "someone's"));
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    wchar_t error[kErrorTextChars];
    EXPECT_EQ(kNewPathTaken, writeTest(file.c_str(), ItemFile, folder.c_str(), error, kErrorTextChars));
    EXPECT_EQ(kNewPathTaken, writeTest((sub + L"\\").c_str(), ItemFolder, folder.c_str(), error, kErrorTextChars));
    EXPECT_EQ("someone's", readFile(file));
    EXPECT_TRUE(fileExists(sub));
}

TEST_F(BackupSteps, WriteTestReportsTheSystemTextWhereNothingCanBeCreated)
{
    // /proc takes no new files, whoever asks.
    wchar_t error[kErrorTextChars] = L"";
    EXPECT_EQ(-1, writeTest(L"Z:\\proc\\vantrel_probe.txt", ItemFile, L"Z:\\proc\\", error, kErrorTextChars));
    EXPECT_EQ(0, wcsncmp(error, L"0x0000", 6)) << "error text: " << ::testing::PrintToString(std::wstring(error));
    EXPECT_NE(nullptr, wcschr(error, L':'));
}

TEST_F(BackupSteps, CopyNeverWritesOverAnItemThatWasThere)
{
    std::wstring item = folder + L"item.txt";
    std::wstring target = folder + L"target.txt";
    ASSERT_TRUE(writeBytes(item, "mine"));
    ASSERT_TRUE(writeBytes(target, "someone's"));
    BackupItem backup;
    ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
    EXPECT_EQ(kNewPathTaken, copyToNewPath(&backup, target.c_str()));
    EXPECT_EQ("someone's", readFile(target));
    EXPECT_EQ("mine", readFile(item));
}

// Another process may make the new name between any check and the create call: the create
// call alone decides what this run made and may remove again.
TEST_F(BackupSteps, TheCreateCallDecidesWhatTheRunMayRemove)
{
    struct Case {
        const char* label;
        std::wstring existing;   // made by someone else, empty
        bool isFolder;
        std::wstring newPath;
    } cases[] = {
        {"empty folder", folder + L"theirs_folder", true, folder + L"theirs_folder\\"},
        {"empty file", folder + L"theirs.txt", false, folder + L"theirs.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(c.isFolder ? CreateDirectoryW(c.existing.c_str(), nullptr) : writeBytes(c.existing, ""));
        wchar_t error[kErrorTextChars];
        EXPECT_EQ(kNewPathTaken, claimNewPath(c.newPath.c_str(), c.isFolder ? ItemFolder : ItemFile, error, kErrorTextChars));
        EXPECT_TRUE(fileExists(c.existing));
        EXPECT_EQ(c.isFolder, (GetFileAttributesW(c.existing.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
    }
    // Made by the call: this run's own, empty.
    wchar_t error[kErrorTextChars];
    EXPECT_EQ(0, claimNewPath((folder + L"ours\\").c_str(), ItemFolder, error, kErrorTextChars));
    EXPECT_TRUE(RemoveDirectoryW((folder + L"ours").c_str()));
    EXPECT_EQ(kNewPathNotWritable, claimNewPath(L"Z:\\proc\\vantrel_claim.txt", ItemFile, error, kErrorTextChars));
    EXPECT_EQ(0, wcsncmp(error, L"0x0000", 6)) << ::testing::PrintToString(std::wstring(error));
}

TEST_F(BackupSteps, ACopyTheShellRefusesLeavesNothingAtTheNewPath)
{
    std::wstring item = folder + L"locked.txt";
    ASSERT_TRUE(writeBytes(item, "locked"));
    // Held open without sharing, the file cannot be read by the copy.
    HANDLE lock = CreateFileW(item.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    BackupItem backup;
    ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
    std::wstring newPath = folder + L"locked_copy.txt";
    int result = copyToNewPath(&backup, newPath.c_str());
    CloseHandle(lock);
    EXPECT_EQ(-1, result);
    EXPECT_FALSE(fileExists(newPath));
    EXPECT_EQ("locked", readFile(item));
}

// The shell's copy can report success with files missing: one held by another program, one
// whose path in the copy is longer than the shell can write. The check after the copy finds the
// first of them, the message names it, and the incomplete copy goes.
TEST_F(BackupSteps, AFolderCopyThatLostFilesFailsAndLeavesNothingAtTheNewPath)
{
    struct Case {
        const char* label;
        std::wstring lost;          // below the item
        bool lock;
        const wchar_t* newName;     // beside the item
    } cases[] = {
        {"file held by another program", L"locked.bin", true, L"Project_copy"},
        {"path too long in the copy", std::wstring(90, L'd') + L"\\" + std::wstring(90, L'e') + L".txt", false,
         L"Project_with_a_much_longer_backup_name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_messages.clear();
        std::wstring item = folder + L"Project";
        ASSERT_TRUE(CreateDirectoryW(item.c_str(), nullptr));
        ASSERT_TRUE(writeBytes(item + L"\\a.txt", "a"));
        std::wstring lost = item + L"\\" + c.lost;
        CreateDirectoryW(lost.substr(0, lost.find_last_of(L'\\')).c_str(), nullptr);
        ASSERT_TRUE(writeBytes(lost, "must not be lost"));
        std::wstring newPath = folder + c.newName + L"\\";
        ASSERT_LE(lost.size(), 259u);
        if (!c.lock) {
            ASSERT_GT(newPath.size() + c.lost.size(), 259u);
        }
        // Held open without sharing, the file cannot be read by the copy.
        HANDLE lock = c.lock ? CreateFileW(lost.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
        ASSERT_EQ(c.lock, lock != INVALID_HANDLE_VALUE);
        BackupItem backup;
        ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
        int result = copyToNewPath(&backup, newPath.c_str());
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);

        EXPECT_EQ(-1, result);
        EXPECT_FALSE(fileExists(newPath));
        EXPECT_EQ("a", readFile(item + L"\\a.txt"));
        EXPECT_EQ("must not be lost", readFile(lost));
        ASSERT_EQ(1u, g_messages.size());
        EXPECT_EQ(L"Could not back up completely.\nThis file or folder is missing or cut short in the copy:\n\n" + lost,
                  g_messages[0]);
        removeTree(item);
    }
}

TEST_F(BackupSteps, CopyCheckNamesTheFirstEntryMissingOrCutShort)
{
    const std::wstring item = folder + L"Item";
    const std::wstring deep = std::wstring(120, L'p') + L"\\" + std::wstring(120, L'q');
    // The item's tree: files with their bytes, folders ending in a backslash.
    const std::vector<std::pair<std::wstring, std::string>> tree = {
        {L"a.txt", "aaa"}, {L"sub\\", ""}, {L"sub\\b.txt", "bbbb"}, {L"empty\\", ""},
        {std::wstring(120, L'p') + L"\\", ""}, {deep + L".txt", "deep"},
    };
    struct Case {
        const char* label;
        std::function<void(const std::wstring& copy)> change;
        std::wstring difference;   // below the item; empty when the copy is complete
    } cases[] = {
        {"complete copy", [](const std::wstring&) {}, L""},
        {"more in the copy", [](const std::wstring& copy) { writeBytes(copy + L"\\extra.txt", "x"); }, L""},
        {"file missing", [](const std::wstring& copy) { DeleteFileW((copy + L"\\sub\\b.txt").c_str()); }, L"\\sub\\b.txt"},
        {"file cut short", [](const std::wstring& copy) { writeBytes(copy + L"\\a.txt", "a"); }, L"\\a.txt"},
        {"empty folder missing", [](const std::wstring& copy) { RemoveDirectoryW((copy + L"\\empty").c_str()); }, L"\\empty"},
        {"folder instead of a file",
         [](const std::wstring& copy) {
             DeleteFileW((copy + L"\\a.txt").c_str());
             CreateDirectoryW((copy + L"\\a.txt").c_str(), nullptr);
         },
         L"\\a.txt"},
        {"deep file missing", [deep](const std::wstring& copy) { DeleteFileW((copy + L"\\" + deep + L".txt").c_str()); },
         L"\\" + deep + L".txt"},
        {"copy missing", [](const std::wstring& copy) { removeTree(copy); }, L""},
    };
    makeTree(L"\\\\?\\" + item, tree);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring copy = L"\\\\?\\" + folder + L"Copy";
        makeTree(copy, tree);
        c.change(copy);
        bool missing = !fileExists(copy);
        wchar_t difference[600] = L"unchanged";
        int result = compareCopiedTree(item.c_str(), (folder + L"Copy").c_str(), difference, 600);
        if (c.difference.empty() && !missing) {
            EXPECT_EQ(CopyComplete, result);
        } else {
            EXPECT_EQ(CopyIncomplete, result);
            EXPECT_EQ(item + c.difference, std::wstring(difference));
        }
        removeTree(copy);
    }
    // A file item: its copy must be a file of its size.
    writeBytes(folder + L"one.txt", "12345");
    writeBytes(folder + L"one_copy.txt", "12345");
    writeBytes(folder + L"one_short.txt", "1234");
    wchar_t difference[600];
    EXPECT_EQ(CopyComplete, compareCopiedTree((folder + L"one.txt").c_str(), (folder + L"one_copy.txt").c_str(), difference, 600));
    EXPECT_EQ(CopyIncomplete, compareCopiedTree((folder + L"one.txt").c_str(), (folder + L"one_short.txt").c_str(), difference, 600));
    EXPECT_EQ(folder + L"one.txt", std::wstring(difference));
}

// Another program takes the new name between the write test and the copy.
std::string g_intruderBytes;
void takeTheNameOnce(const wchar_t* newPath)
{
    static int calls = 0;
    if (g_intruderBytes.empty()) {
        calls = 0;
        return;
    }
    if (calls++ == 0) writeBytes(newPath, g_intruderBytes);
}

TEST_F(BackupSteps, ANameTakenAfterTheWriteTestIsACollision)
{
    std::wstring item = folder + L"report.txt";
    ASSERT_TRUE(writeBytes(item, "report"));
    g_intruderBytes.clear();
    takeTheNameOnce(nullptr);
    g_intruderBytes = "another program's";
    setBeforeOperationHook(takeTheNameOnce);

    BackupItem backup;
    ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
    EXPECT_EQ(0, runBackupLoop(&backup, destinationBesideItem, OutputCopyOrRename, copyToNewPath));
    g_intruderBytes.clear();

    // The other program's file is untouched; the backup waited for the next second's name.
    EXPECT_EQ("another program's", readFile(folder + L"report_20240305_140709.txt"));
    EXPECT_EQ("report", readFile(folder + L"report_20240305_140710.txt"));
    EXPECT_EQ(folder + L"report_20240305_140710.txt", std::wstring(g_run.lastNewPath));
    EXPECT_EQ(folder, std::wstring(g_run.destinationFolder));
    EXPECT_EQ(1, backup.collisions);
    EXPECT_EQ(1, g_sleeps);
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(BackupSteps, ItemChecksRejectMissingItemsAndWildcards)
{
    std::wstring item = folder + L"present.txt";
    ASSERT_TRUE(writeBytes(item, "x"));
    struct Case {
        const char* label;
        std::wstring path;
        int result;
    } cases[] = {
        {"present file", item, 0},
        {"present file with a trailing backslash", item + L"\\", 0},
        {"present folder with a trailing backslash", folder, 0},
        {"missing file", folder + L"absent.txt", -1},
        {"empty path", L"", -1},
        {"wildcard that matches a file", folder + L"pres*", -1},
        {"question mark that matches a file", folder + L"present.tx?", -1},
        {"less-than sign, a wildcard of the directory search", folder + L"present<txt", -1},
        {"greater-than sign, a wildcard of the directory search", folder + L"present>txt", -1},
        {"double quote, a wildcard of the directory search", folder + L"present\".txt", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_messages.clear();
        BackupItem backup;
        EXPECT_EQ(c.result, beginBackupItem(c.path.c_str(), &backup));
        if (c.result == 0) {
            EXPECT_TRUE(g_messages.empty());
        } else {
            std::wstring shown = c.path;
            if (!shown.empty() && shown.back() == L'\\') shown.pop_back();
            ASSERT_EQ(1u, g_messages.size());
            EXPECT_EQ(L"Please select a folder or file.\n\n" + shown, g_messages[0]);
        }
    }
}

TEST(ItemPaths, DriveRootsAndSharesAreNotItems)
{
    struct Case {
        const wchar_t* path;
        bool root;
    } cases[] = {
        {L"C:\\", true}, {L"C:", true}, {L"e:\\\\", true}, {L"\\", true},
        {L"\\\\server\\share", true}, {L"\\\\server\\share\\", true}, {L"\\\\server", true},
        {L"\\\\?\\C:\\", true}, {L"\\\\?\\UNC\\server\\share\\", true}, {L"\\\\.\\D:", true},
        {L"C:\\Docs", false}, {L"C:\\Docs\\", false}, {L"C:x", false}, {L"CD:", false},
        {L"\\\\server\\share\\dir", false}, {L"\\\\?\\C:\\Docs", false}, {L"\\\\?\\UNC\\server\\share\\dir", false},
        {L"\\Docs", false}, {L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(c.root, isRootPath(c.path));
    }
}

TEST_F(BackupSteps, ARootIsRefusedWithThePathAsGiven)
{
    for (const wchar_t* root : {L"C:\\", L"C:", L"\\\\server\\share\\"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(root)));
        g_messages.clear();
        BackupItem backup;
        EXPECT_EQ(-1, beginBackupItem(root, &backup));
        ASSERT_EQ(1u, g_messages.size());
        EXPECT_EQ(L"Please select a folder or file.\n\n" + std::wstring(root), g_messages[0]);
    }
}

TEST(ItemPaths, NamesThatWindowsReservesForDevices)
{
    struct Case {
        const wchar_t* path;
        bool reserved;
    } cases[] = {
        {L"C:\\Docs\\CON", true}, {L"C:\\Docs\\nul.txt", true}, {L"C:\\Docs\\Aux.tar.gz", true},
        {L"C:\\Docs\\prn\\", true}, {L"C:\\Docs\\COM1", true}, {L"C:\\Docs\\lpt9.log", true},
        {L"C:\\Docs\\COM\x00B9.txt", true}, {L"C:\\Docs\\lpt\x00B3", true},
        // Windows strips dots and blanks at the end, and blanks before the extension.
        {L"C:\\Docs\\NUL. ", true}, {L"C:\\Docs\\com1 .txt", true}, {L"C:\\Docs\\CON..", true},
        {L"CON", true}, {L"C:NUL", true}, {L"D:/Docs/aux", true},
        {L"C:\\Docs\\CONSOLE", false}, {L"C:\\Docs\\COM10", false}, {L"C:\\Docs\\COM0", false},
        {L"C:\\Docs\\LPT", false}, {L"C:\\Docs\\my.CON", false}, {L"C:\\Docs\\_NUL", false},
        {L"C:\\Docs\\COM\x00B4", false}, {L"C:\\CON\\report.txt", false}, {L"C:\\Docs\\COM\xFF11", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(c.reserved, namesReservedDevice(c.path));
    }
}

// An item named like a device opens the device: refused with its message before the item is
// looked for; a device's name composed for a backup is refused before anything is made.
TEST_F(BackupSteps, DeviceNamesAreRefusedForItemsAndBackups)
{
    // Made under its real name, which only the "\\?\" form reaches.
    const std::wstring device = folder + L"nul.txt";
    ASSERT_TRUE(writeBytes(L"\\\\?\\" + device, "kept"));
    BackupItem backup;
    EXPECT_EQ(-1, beginBackupItem(device.c_str(), &backup));
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(L"The name of this item is one that Windows reserves for a device\n(CON, PRN, AUX, NUL, COM1 to "
              L"COM9, LPT1 to LPT9).\nAn item of this name can not be backed up or renamed.\n\n" + device,
              g_messages[0]);

    // "COM" with the first serial number and nothing between them.
    const std::wstring item = folder + L"COM.txt";
    ASSERT_TRUE(writeBytes(item, "com"));
    g_settings.prefixAft1[0] = L'\0';
    g_settings.addStringsAft = AddSerial;
    g_settings.zeroSuppress = 1;
    g_messages.clear();
    ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
    EXPECT_EQ(-1, runBackupLoop(&backup, destinationBesideItem, OutputCopyOrRename, copyToNewPath));
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(L"The new name \"COM1.txt\" of this item would be one that Windows reserves for a device.\n"
              L"Please change the strings added to names in TazuSetting.\n\n" + item,
              g_messages[0]);
    EXPECT_EQ(0, g_sleeps);
    EXPECT_EQ((std::vector<std::wstring>{L"COM.txt", L"nul.txt"}), namesIn(folder));
}

// The one message of a destination refused as inside the item, and the item (its file "a.txt"
// and its empty folder "Backups") untouched.
::testing::AssertionResult refusedAsInsideTheItem(const std::wstring& destination, const std::wstring& item)
{
    if (g_messages.size() != 1) return ::testing::AssertionFailure() << g_messages.size() << " messages shown";
    const std::wstring expected =
        L"The backup destination lies inside the folder to back up.\nPlease choose a destination outside it.\n\n" +
        destination + L"\n\n" + item;
    if (g_messages[0] != expected)
        return ::testing::AssertionFailure() << "message: " << ::testing::PrintToString(g_messages[0]);
    // Nothing was written into the item.
    if (namesIn(item) != std::vector<std::wstring>{L"Backups", L"a.txt"} || !namesIn(item + L"\\Backups").empty())
        return ::testing::AssertionFailure() << "the item changed";
    return ::testing::AssertionSuccess();
}

// A folder copied into a destination inside itself copies into its own copy: refused before
// anything is written, whether the destination was chosen or is "Path".
TEST_F(BackupSteps, AFolderIsNeverCopiedIntoItself)
{
    const std::wstring item = folder + L"Project";
    struct Case {
        const char* label;
        std::wstring chosen;       // chosen folder of the run, or empty
        std::wstring path;         // "Path" of the destination rule
        DestinationRule rule;
        bool refused;
    } cases[] = {
        {"chosen folder is the item", item + L"\\", L"", destinationBesideItem, true},
        {"chosen folder inside the item", item + L"\\Backups\\", L"", destinationBesideItem, true},
        {"chosen folder in other letters", folder + L"PROJECT\\backups\\", L"", destinationBesideItem, true},
        {"Path inside the item, yet to be made", L"", item + L"\\New\\Deeper\\", destinationInBackupFolder, true},
        {"Path beside the item", L"", folder + L"Project2\\", destinationInBackupFolder, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_messages.clear();
        clearPerRunState();
        ASSERT_TRUE(CreateDirectoryW(item.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((item + L"\\Backups").c_str(), nullptr));
        ASSERT_TRUE(writeBytes(item + L"\\a.txt", "a"));
        copyText(g_run.chosenFolder, kFolderChars, c.chosen.c_str());
        copyText(g_settings.path, kTextSettingLimit + 2, c.path.c_str());
        g_settings.selDir = 0;

        BackupItem backup;
        ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
        int result = runBackupLoop(&backup, c.rule, OutputCopyOrRename, copyToNewPath);

        if (c.refused) {
            EXPECT_EQ(-1, result);
            EXPECT_TRUE(refusedAsInsideTheItem(c.chosen.empty() ? c.path : c.chosen, item));
        } else {
            EXPECT_EQ(0, result);
            EXPECT_TRUE(g_messages.empty());
            EXPECT_EQ("a", readFile(c.path + L"Project_20240305_140709\\a.txt"));
        }
        removeTree(item);
        removeTree(folder + L"Project2");
    }
}

// ---- Relative items and links ----

// A relative item path names an item of the working folder: it is made full before anything
// else, so that the destination, the write test and the shell get full paths.
TEST_F(BackupSteps, ARelativeItemIsTakenFromTheWorkingFolder)
{
    // The working folder goes back before the folder is removed, also after a failed assertion.
    struct WorkingFolderBack {
        wchar_t previous[MAX_PATH] = L"";
        ~WorkingFolderBack() { SetCurrentDirectoryW(previous); }
    } back;
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, back.previous));
    ASSERT_TRUE(CreateDirectoryW((folder + L"work").c_str(), nullptr));
    ASSERT_TRUE(writeBytes(folder + L"work\\report.txt", "report"));
    makeTree(folder + L"work\\Project", {{L"a.txt", "a"}});
    ASSERT_TRUE(SetCurrentDirectoryW((folder + L"work").c_str()));
    struct Case {
        const wchar_t* given;
        std::wstring full;
        std::wstring copy;
    } cases[] = {
        {L"report.txt", folder + L"work\\report.txt", folder + L"work\\report_20240305_140709.txt"},
        {L".\\Project\\", folder + L"work\\Project", folder + L"work\\Project_20240305_140709\\a.txt"},
        {L"..\\work\\Project", folder + L"work\\Project", folder + L"work\\Project_20240305_140710\\a.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.given));
        clearPerRunState();
        BackupItem backup;
        ASSERT_EQ(0, beginBackupItem(c.given, &backup));
        // A relative path would reach the write test, fail it and open the folder dialog.
        ASSERT_EQ(c.full, backup.path);
        EXPECT_EQ(0, runBackupLoop(&backup, destinationBesideItem, OutputCopyOrRename, copyToNewPath));
        EXPECT_TRUE(fileExists(c.copy));
    }
    EXPECT_TRUE(g_messages.empty()) << utf8(g_messages.empty() ? L"" : g_messages[0]);
    // A missing relative item is named as given.
    BackupItem missing;
    EXPECT_EQ(-1, beginBackupItem(L"absent.txt", &missing));
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(L"Please select a folder or file.\n\nabsent.txt", g_messages[0]);
}

// The machine's own path of a Windows path under Wine, in double quotes for a command line (Wine
// splits a program's command line by the rules of Windows, for Linux programs too).
std::wstring unixPath(const std::wstring& path)
{
    typedef char*(CDECL * UnixNameCall)(LPCWSTR);
    auto call = reinterpret_cast<UnixNameCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!call) return L"";
    char* name = call(path.c_str());
    if (!name) return L"";
    std::string text(name);
    HeapFree(GetProcessHeap(), 0, name);
    return L"\"" + std::wstring(text.begin(), text.end()) + L"\"";
}

// Starts a program of the machine below Wine (ln, rm) and waits until `done` says that it did its
// work: Wine gives no handle to wait on for such a program.
bool runUnixProgram(const std::wstring& program, const std::wstring& arguments, const std::function<bool()>& done)
{
    std::wstring line = program + L" " + arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW((L"Z:" + program).c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    for (int wait = 0; wait < 200; ++wait) {
        if (done()) return true;
        Sleep(50);
    }
    return false;
}

// A folder link of the machine below Wine: to every Windows program a folder with the
// reparse-point attribute, as a junction or a folder symbolic link is on Windows.
bool makeFolderLink(const std::wstring& target, const std::wstring& link)
{
    return runUnixProgram(L"/bin/ln", L"-s " + unixPath(target) + L" " + unixPath(link),
                          [&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

bool removeFolderLink(const std::wstring& link)
{
    return runUnixProgram(L"/bin/rm", unixPath(link),
                          [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

// A redirector that answers only for the name as opened.
int g_openedNamesAsked;
DWORD WINAPI openedNamesOnly(HANDLE file, LPWSTR path, DWORD capacity, DWORD flags)
{
    if ((flags & FILE_NAME_OPENED) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ++g_openedNamesAsked;
    return GetFinalPathNameByHandleW(file, path, capacity, flags);
}

// A link that leads into the item gives a destination whose path looks outside it: the paths
// that the file system reaches decide, before anything is written.
TEST_F(BackupSteps, ADestinationReachedThroughALinkIsRefusedUpFront)
{
    const std::wstring item = folder + L"Project";
    makeTree(item, {{L"a.txt", "a"}, {L"Backups\\", ""}});
    ASSERT_TRUE(CreateDirectoryW((folder + L"Elsewhere").c_str(), nullptr));
    const std::wstring intoItem = folder + L"To backups";
    const std::wstring outOfItem = folder + L"To elsewhere";
    // This Wine makes no folder link of its own (CreateSymbolicLinkW does nothing); one of the
    // machine below it serves.
    if (unixPath(item).empty()) GTEST_SKIP() << "not under Wine: no link of the machine below";
    // The links go before the folder is removed, also after a failed assertion.
    struct LinksGo {
        std::vector<std::wstring> links;
        ~LinksGo()
        {
            for (const std::wstring& link : links) removeFolderLink(link);
        }
    } linksGo;
    linksGo.links = {intoItem, outOfItem};
    ASSERT_TRUE(makeFolderLink(item + L"\\Backups", intoItem));
    ASSERT_TRUE(makeFolderLink(folder + L"Elsewhere", outOfItem));

    static int s_operations;
    s_operations = 0;
    auto countOperation = [](BackupItem*, const wchar_t*) -> int {
        ++s_operations;
        return 0;
    };
    struct Case {
        const char* label;
        std::wstring chosen;   // chosen folder of the run, or empty for "Path"
        std::wstring path;     // "Path"
        OutputKind output;
        bool refused;
    } cases[] = {
        {"copy through the link", intoItem + L"\\", L"", OutputCopyOrRename, true},
        {"archive through the link", intoItem + L"\\", L"", OutputArchive, true},
        {"Path below the link, yet to be made", L"", intoItem + L"\\New\\Deeper\\", OutputCopyOrRename, true},
        {"archive Path below the link, yet to be made", L"", intoItem + L"\\New\\", OutputArchive, true},
        // The archiver leaves out an archive that it finds below the item's path.
        {"archive directly inside", item + L"\\Backups\\", L"", OutputArchive, false},
        {"copy through a link that leads outside", outOfItem + L"\\", L"", OutputCopyOrRename, false},
    };
    // Some network redirectors refuse a normalized name: the name as opened decides then.
    struct Redirector {
        const char* label;
        FinalPathCall call;
    } redirectors[] = {{"normalized names", nullptr}, {"opened names only", openedNamesOnly}};
    for (const Redirector& redirector : redirectors) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(redirector.label) + ": " + c.label);
            setFinalPathCall(redirector.call);
            g_openedNamesAsked = 0;
            g_messages.clear();
            clearPerRunState();
            s_operations = 0;
            copyText(g_run.chosenFolder, kFolderChars, c.chosen.c_str());
            copyText(g_settings.path, kTextSettingLimit + 2, c.path.c_str());
            g_settings.selDir = 0;
            BackupItem backup;
            ASSERT_EQ(0, beginBackupItem(item.c_str(), &backup));
            DestinationRule rule = c.chosen.empty() ? destinationInBackupFolder : destinationBesideItem;
            int result = runBackupLoop(&backup, rule, c.output, countOperation);
            if (c.refused) {
                EXPECT_EQ(-1, result);
                EXPECT_EQ(0, s_operations);
                EXPECT_TRUE(refusedAsInsideTheItem(c.chosen.empty() ? c.path : c.chosen, item));
            } else {
                EXPECT_EQ(0, result);
                EXPECT_EQ(1, s_operations);
                EXPECT_TRUE(g_messages.empty());
            }
            if (redirector.call && c.refused) {
                EXPECT_GT(g_openedNamesAsked, 0);
            }
            setFinalPathCall(nullptr);
        }
    }
}

// Only a user can cancel the shell's copy or rename or skip a part of it, and the shell may then
// still return 0: played through the seam (the clean-up's deletion stays real).
int WINAPI copyThenReportAborted(LPSHFILEOPSTRUCTW request)
{
    int result = SHFileOperationW(request);
    if (request->wFunc != FO_DELETE) request->fAnyOperationsAborted = TRUE;
    return result;
}
int WINAPI doNothingAndReportAborted(LPSHFILEOPSTRUCTW request)
{
    if (request->wFunc == FO_DELETE) return SHFileOperationW(request);
    request->fAnyOperationsAborted = TRUE;
    return 0;
}
int WINAPI doNothingAndReportSuccess(LPSHFILEOPSTRUCTW request)
{
    if (request->wFunc == FO_DELETE) return SHFileOperationW(request);
    request->fAnyOperationsAborted = FALSE;
    return 0;
}

TEST_F(BackupSteps, CancelledOrSkippedShellOperationsAreFailures)
{
    const std::wstring file = folder + L"report.txt";
    const std::wstring project = folder + L"Project";
    ASSERT_TRUE(writeBytes(file, "report"));
    ASSERT_TRUE(CreateDirectoryW(project.c_str(), nullptr));
    ASSERT_TRUE(writeBytes(project + L"\\a.txt", "a"));
    struct Case {
        const char* label;
        std::wstring item;
        ShellOperationCall shell;
        bool rename;
        std::wstring newPath;
    } cases[] = {
        {"file copy with a part skipped", file, copyThenReportAborted, false, folder + L"report_copy.txt"},
        {"folder copy with a part skipped", project, copyThenReportAborted, false, folder + L"Project_copy\\"},
        {"copy cancelled", file, doNothingAndReportAborted, false, folder + L"report_copy.txt"},
        {"rename cancelled", file, doNothingAndReportAborted, true, folder + L"report_renamed.txt"},
        {"rename reported done but not made", file, doNothingAndReportSuccess, true, folder + L"report_renamed.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_messages.clear();
        BackupItem backup;
        ASSERT_EQ(0, beginBackupItem(c.item.c_str(), &backup));
        setShellOperationCall(c.shell);
        int result = c.rename ? renameToNewPath(&backup, c.newPath.c_str()) : copyToNewPath(&backup, c.newPath.c_str());
        setShellOperationCall(nullptr);
        EXPECT_EQ(-1, result);
        EXPECT_FALSE(fileExists(c.newPath));
        EXPECT_TRUE(g_messages.empty());
    }
    EXPECT_EQ("report", readFile(file));
    EXPECT_EQ("a", readFile(project + L"\\a.txt"));
}

// While the shell copies, another program removes the claimed new path and makes its own item
// there (another run, the user): the failed copy's rollback must leave that item alone.
int WINAPI replaceClaimThenFail(LPSHFILEOPSTRUCTW request)
{
    if (request->wFunc == FO_DELETE) return SHFileOperationW(request);
    // The claim is moved aside first, so that the new item cannot take over its file ID.
    const std::wstring target = request->pTo;
    const std::wstring aside = target + L".ours";
    const bool isFolder = (GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
    MoveFileW(target.c_str(), aside.c_str());
    if (isFolder) {
        CreateDirectoryW(target.c_str(), nullptr);
        writeBytes(target + L"\\theirs.txt", "theirs");
        RemoveDirectoryW(aside.c_str());
    } else {
        writeBytes(target, "theirs");
        DeleteFileW(aside.c_str());
    }
    return ERROR_ACCESS_DENIED;
}

TEST_F(BackupSteps, AFailedCopyRemovesOnlyWhatItsOwnClaimMade)
{
    const std::wstring file = folder + L"report.txt";
    const std::wstring project = folder + L"Project";
    ASSERT_TRUE(writeBytes(file, "report"));
    makeTree(project, {{L"a.txt", "a"}});
    const struct {
        const char* label;
        std::wstring item;
        std::wstring newPath;
        std::wstring theirs;
    } cases[] = {
        {"file", file, folder + L"report_1.txt", folder + L"report_1.txt"},
        {"folder", project, folder + L"Project_1\\", folder + L"Project_1\\theirs.txt"},
    };
    setShellOperationCall(replaceClaimThenFail);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        BackupItem backup;
        ASSERT_EQ(0, beginBackupItem(c.item.c_str(), &backup));
        EXPECT_EQ(-1, copyToNewPath(&backup, c.newPath.c_str()));
        EXPECT_EQ("theirs", readFile(c.theirs));
    }
    setShellOperationCall(nullptr);
}

TEST_F(BackupSteps, VirtualStoreCheckFindsTheNewFileDirectlyInTheStore)
{
    wchar_t local[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)));
    std::wstring store = std::wstring(local) + L"\\VirtualStore\\";
    bool storeExisted = fileExists(store);
    CreateDirectoryW(store.c_str(), nullptr);
    std::wstring name = L"vantrel_store_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    ASSERT_TRUE(writeBytes(store + name, "redirected"));

    struct Case {
        const char* label;
        std::wstring newPath;
        bool flag;
    } cases[] = {
        {"name found in the store", folder + name, true},
        {"name not in the store", folder + L"other_" + name, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        clearPerRunState();
        checkVirtualStore(c.newPath.c_str());
        EXPECT_EQ(store, std::wstring(g_run.virtualStoreFolder));
        EXPECT_EQ(c.flag, g_run.virtualStoreFlag);
    }
    DeleteFileW((store + name).c_str());
    if (!storeExisted) RemoveDirectoryW(store.c_str());
}

TEST_F(BackupSteps, SuggestedFolderPrefersTheChosenFolderThenAnExistingPath)
{
    wchar_t documents[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
    struct Case {
        const char* label;
        std::wstring chosen;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {"chosen folder first", L"C:\\Chosen\\", folder, L"C:\\Chosen\\"},
        {"existing Path next", L"", folder, folder},
        {"missing Path gives the documents folder", L"", folder + L"missing\\", documents},
        {"empty Path gives the documents folder", L"", L"", documents},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        clearPerRunState();
        copyText(g_run.chosenFolder, kFolderChars, c.chosen.c_str());
        copyText(g_settings.path, kTextSettingLimit + 2, c.path.c_str());
        wchar_t suggested[kFolderChars];
        suggestedFolder(suggested, kFolderChars);
        EXPECT_EQ(c.expected, std::wstring(suggested));
    }
}

}  // namespace
