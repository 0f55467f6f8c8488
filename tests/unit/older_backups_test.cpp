// The record of backups made and the clean-up of older backups below the whole programs: which
// earlier backups go (pure), the record file on real files (a line cut short, a file of other
// content, a file another program holds, the bound), the turn of runs of one item, the Recycle
// Bin's presence and room, and the clean-up on real files where Wine cannot show the case (a
// volume without GUID name, a full bin, a declined move) or where only a record sets it up (an
// older backup that holds the working folder).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "backup_identity.h"
#include "backup_record.h"
#include "backup_turn.h"
#include "message_box.h"
#include "older_backups.h"
#include "recycle_bin.h"
#include "run_state.h"
#include "settings.h"
#include "shell_operation.h"
#include "unit_support.h"

namespace {

// ---- Which earlier backups go ----

CandidateState stateOf(wchar_t c)
{
    switch (c) {
    case L'g': return CandidateGone;
    case L'c': return CandidateChanged;
    case L'l': return CandidateLink;
    case L'h': return CandidateHoldsItem;
    default: return CandidateOurs;
    }
}

wchar_t letterOf(CandidateAction action)
{
    switch (action) {
    case ActionMove: return L'm';
    case ActionForget: return L'f';
    case ActionStayInUse: return L'u';
    default: return L's';
    }
}

// Earlier backups oldest first: o ours, g gone, c changed, l link, h holds the item.
// Actions: s stays, m moves, f its record is forgotten, u stays although older (in use).
TEST(OlderBackupsPlan, TheNewestStayAndOnlyOursMove)
{
    struct Row {
        const wchar_t* states;
        int keep;
        const wchar_t* actions;
    };
    const Row rows[] = {
        {L"ooo", 0, L"sss"},     // keep all
        {L"ooo", 1, L"mmm"},     // the new backup alone stays
        {L"ooo", 2, L"mms"},
        {L"ooo", 9, L"sss"},
        {L"ogco", 2, L"mffs"},   // gone and changed ones neither count nor move
        {L"oloo", 2, L"mums"},   // a link stays even when it is older
        {L"hoo", 3, L"uss"},
        {L"lo", 3, L"ss"},       // links and holders count among the kept
        {L"", 1, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.states) + " keep " + std::to_string(row.keep));
        std::vector<CandidateState> states;
        for (const wchar_t* c = row.states; *c; ++c) states.push_back(stateOf(*c));
        std::vector<CandidateAction> actions(states.size() + 1, ActionStay);
        planOlderBackups(states.data(), states.size(), row.keep, actions.data());
        std::wstring letters;
        for (size_t i = 0; i < states.size(); ++i) letters += letterOf(actions[i]);
        EXPECT_EQ(std::wstring(row.actions), letters);
    }
}

TEST(OlderBackupsPlan, SizesAsTheShellShowsThemAndTheBinsRoom)
{
    const struct {
        unsigned long long bytes;
        const wchar_t* text;
    } sizes[] = {{0, L"0 bytes"}, {1023, L"1023 bytes"}, {1024, L"1.0 KB"}, {1536, L"1.5 KB"},
                 {356515840ULL, L"340 MB"}, {1288490189ULL, L"1.2 GB"}, {1099511627776ULL, L"1.0 TB"}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.bytes);
        wchar_t text[32];
        formatByteSize(size.bytes, text, 32);
        EXPECT_STREQ(size.text, text);
    }

    const unsigned long long gb = 1024ULL * 1024 * 1024;
    EXPECT_EQ(3 * gb, defaultRecycleBinCapacity(30 * gb));
    EXPECT_EQ(4 * gb + 3 * gb, defaultRecycleBinCapacity(100 * gb));

    RecycleBinState bin = {};
    bin.absence = BinPresent;
    bin.capacity = 100;
    bin.used = 60;
    EXPECT_TRUE(fitsInRecycleBin(&bin, 40));
    EXPECT_FALSE(fitsInRecycleBin(&bin, 41));
    bin.used = 120;  // over its size already (the user lowered it)
    EXPECT_FALSE(fitsInRecycleBin(&bin, 0));
    bin.used = 0;
    bin.absence = BinNoVolumeName;
    EXPECT_FALSE(fitsInRecycleBin(&bin, 0));
}

// ---- One record line ----

BackupRecord sampleRecord(const wchar_t* item, const wchar_t* backup, ItemKind kind = ItemFile,
                          OutputKind output = OutputCopyOrRename)
{
    BackupRecord record = {};
    record.itemKind = kind;
    record.output = output;
    record.identity.volume = 0x1234abcdULL;
    for (int i = 0; i < 16; ++i) record.identity.fileId[i] = static_cast<unsigned char>(i * 17);
    record.identity.folder = kind == ItemFolder && output == OutputCopyOrRename;
    record.identity.size = record.identity.folder ? 0x8f3a61c2d5e4b7a9ULL : 1234567;
    record.identity.time = 0x01d9a0b0c0d0e0f0ULL;
    copyText(record.itemPath, kRecordPathChars, item);
    copyText(record.backupPath, kRecordPathChars, backup);
    return record;
}

::testing::AssertionResult sameRecord(const BackupRecord& a, const BackupRecord& b)
{
    if (a.itemKind != b.itemKind || a.output != b.output) return ::testing::AssertionFailure() << "kind or output";
    if (!sameIdentity(&a.identity, &b.identity)) return ::testing::AssertionFailure() << "identity";
    if (std::wstring(a.itemPath) != b.itemPath || std::wstring(a.backupPath) != b.backupPath)
        return ::testing::AssertionFailure() << utf8(a.itemPath) << " / " << utf8(b.itemPath);
    return ::testing::AssertionSuccess();
}

std::string lineOf(const BackupRecord& record)
{
    char line[4096];
    int length = formatRecordLine(&record, line, sizeof line);
    return length < 0 ? std::string() : std::string(line, static_cast<size_t>(length));
}

TEST(BackupRecordLine, EveryKindReadsBackAndNothingElseReads)
{
    const BackupRecord records[] = {
        sampleRecord(L"C:\\Docs\\報告書.txt", L"D:\\Backup\\報告書_1.txt"),
        sampleRecord(L"C:\\Docs\\Project", L"D:\\Backup\\Project_1", ItemFolder),
        sampleRecord(L"\\\\server\\share\\proj", L"\\\\server\\share\\proj_1.zip", ItemFolder, OutputArchive),
        sampleRecord(L"C:\\a.txt", L"C:\\a.txt_1.zip", ItemFile, OutputArchive),
    };
    for (const BackupRecord& record : records) {
        SCOPED_TRACE(utf8(record.backupPath));
        std::string line = lineOf(record);
        ASSERT_FALSE(line.empty());
        BackupRecord read;
        ASSERT_EQ(0, parseRecordLine(line.data(), line.size(), &read));
        EXPECT_TRUE(sameRecord(record, read));
    }

    const std::string good = lineOf(records[0]);
    const std::string fields = good.substr(0, good.find("\tC:"));
    const char* const refused[] = {
        "",
        "hello",
        "XC\t000000001234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a\tC:\\b",  // kind
        "FC\t1234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a\tC:\\b",          // volume
        "FC\t000000001234ABCD\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a\tC:\\b",  // case
        "FC\t000000001234abcd\t00112233445566778899aabbccddeeff\t01\t01d9a0b0c0d0e0f0\tC:\\a\tC:\\b", // size
        "FC\t000000001234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a",         // a path short
        "FC\t000000001234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a\tC:\\b\tC:\\c",
        "FC\t000000001234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a\t",
        "FC\t000000001234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\a\x01\tC:\\b",
        "FC\t000000001234abcd\t00112233445566778899aabbccddeeff\t1\t01d9a0b0c0d0e0f0\tC:\\\xff\tC:\\b",  // not UTF-8
    };
    for (const char* line : refused) {
        SCOPED_TRACE(line);
        BackupRecord read;
        EXPECT_EQ(-1, parseRecordLine(line, strlen(line), &read));
    }
    // A path with a tab would end its field early: such a record is never written.
    BackupRecord tabbed = sampleRecord(L"C:\\a\tb", L"C:\\c");
    char line[512];
    EXPECT_EQ(-1, formatRecordLine(&tabbed, line, sizeof line));
    EXPECT_FALSE(fields.empty());
}

// ---- The record file ----

int g_pauses;
HANDLE g_heldFile = INVALID_HANDLE_VALUE;

void countPause(DWORD)
{
    ++g_pauses;
}

// The other program lets go of the file at the third pause.
void letGoAtTheThirdPause(DWORD)
{
    if (++g_pauses == 3 && g_heldFile != INVALID_HANDLE_VALUE) {
        CloseHandle(g_heldFile);
        g_heldFile = INVALID_HANDLE_VALUE;
    }
}

const char kHeaderLine[] = "Vantrel record of backups made, format 1\r\n";

class BackupRecordFile : public ::testing::Test {
protected:
    void TearDown() override
    {
        setRecordPause(nullptr);
        if (g_heldFile != INVALID_HANDLE_VALUE) CloseHandle(g_heldFile);
        g_heldFile = INVALID_HANDLE_VALUE;
    }

    RecordStatus add(const BackupRecord& record, std::vector<BackupRecord>* earlier = nullptr)
    {
        RecordList list;
        RecordStatus status = recordBackupMade(path.c_str(), &record, &list);
        if (earlier) earlier->assign(list.records, list.records + list.count);
        freeRecordList(&list);
        return status;
    }

    TempFolder temp;
    const std::wstring path = temp / L"made.txt";
};

TEST_F(BackupRecordFile, EachBackupIsAppendedAndOnlyTheSameItemsEarlierOnesReturn)
{
    const BackupRecord first = sampleRecord(L"C:\\ProjA\\src", L"D:\\B\\src_1", ItemFolder);
    const BackupRecord otherItem = sampleRecord(L"C:\\ProjB\\src", L"D:\\B\\src_2", ItemFolder);
    const BackupRecord archive = sampleRecord(L"C:\\ProjA\\src", L"D:\\B\\src_1.zip", ItemFolder, OutputArchive);
    const BackupRecord caseOnly = sampleRecord(L"C:\\ProjA\\SRC", L"D:\\B\\SRC_1", ItemFolder);
    const BackupRecord second = sampleRecord(L"C:\\ProjA\\src", L"D:\\B\\src_3", ItemFolder);
    std::vector<BackupRecord> earlier;
    for (const BackupRecord* record : {&first, &otherItem, &archive, &caseOnly}) {
        ASSERT_EQ(RecordOk, add(*record, &earlier));
        EXPECT_TRUE(earlier.empty());
    }
    ASSERT_EQ(RecordOk, add(second, &earlier));
    ASSERT_EQ(1u, earlier.size());
    EXPECT_TRUE(sameRecord(first, earlier[0]));

    std::string expected = kHeaderLine;
    for (const BackupRecord* record : {&first, &otherItem, &archive, &caseOnly, &second}) expected += lineOf(*record) + "\r\n";
    EXPECT_EQ(expected, readBytes(path));

    // What moved or went is forgotten; nothing else.
    ASSERT_EQ(RecordOk, dropRecords(path.c_str(), &first, 1));
    expected = kHeaderLine;
    for (const BackupRecord* record : {&otherItem, &archive, &caseOnly, &second}) expected += lineOf(*record) + "\r\n";
    EXPECT_EQ(expected, readBytes(path));
}

TEST_F(BackupRecordFile, ALineCutShortByARunThatEndedIsLeftOut)
{
    const BackupRecord kept = sampleRecord(L"C:\\r.txt", L"C:\\r_1.txt");
    const BackupRecord cut = sampleRecord(L"C:\\r.txt", L"C:\\r_2.txt");
    const BackupRecord next = sampleRecord(L"C:\\r.txt", L"C:\\r_3.txt");
    const std::string cutLine = lineOf(cut);
    ASSERT_TRUE(writeBytes(path, kHeaderLine + lineOf(kept) + "\r\n" + cutLine.substr(0, cutLine.size() / 2)));
    std::vector<BackupRecord> earlier;
    ASSERT_EQ(RecordOk, add(next, &earlier));
    ASSERT_EQ(1u, earlier.size());
    EXPECT_TRUE(sameRecord(kept, earlier[0]));
    EXPECT_EQ(kHeaderLine + lineOf(kept) + "\r\n" + lineOf(next) + "\r\n", readBytes(path));

    // So is a header cut short: the file starts anew.
    ASSERT_TRUE(writeBytes(path, std::string(kHeaderLine).substr(0, 12)));
    ASSERT_EQ(RecordOk, add(next, &earlier));
    EXPECT_EQ(kHeaderLine + lineOf(next) + "\r\n", readBytes(path));
}

TEST_F(BackupRecordFile, AFileOfOtherContentIsLeftAsItIs)
{
    const BackupRecord record = sampleRecord(L"C:\\r.txt", L"C:\\r_1.txt");
    const std::string contents[] = {
        "my notes\r\n",
        kHeaderLine + std::string("FC\tnot a record\r\n"),
        "Vantrel record of backups made, format 2\r\n",
        "\xff\xfe" "V\0a\0",
    };
    for (const std::string& content : contents) {
        SCOPED_TRACE(content);
        ASSERT_TRUE(writeBytes(path, content));
        EXPECT_EQ(RecordDamaged, add(record));
        EXPECT_EQ(RecordDamaged, dropRecords(path.c_str(), &record, 1));
        EXPECT_EQ(content, readBytes(path));
    }
}

TEST_F(BackupRecordFile, AFileAnotherProgramHoldsIsWaitedForWithinABound)
{
    const BackupRecord record = sampleRecord(L"C:\\r.txt", L"C:\\r_1.txt");
    ASSERT_TRUE(writeBytes(path, kHeaderLine));
    g_heldFile = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, g_heldFile);

    g_pauses = 0;
    setRecordPause(countPause);
    EXPECT_EQ(RecordLocked, add(record));
    EXPECT_EQ(static_cast<int>(kRecordWaitMs / kRecordRetryMs), g_pauses);
    CloseHandle(g_heldFile);
    EXPECT_EQ(kHeaderLine, readBytes(path));
    g_heldFile = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, g_heldFile);

    g_pauses = 0;
    setRecordPause(letGoAtTheThirdPause);
    EXPECT_EQ(RecordOk, add(record));
    EXPECT_EQ(3, g_pauses);
    EXPECT_EQ(kHeaderLine + lineOf(record) + "\r\n", readBytes(path));
}

TEST_F(BackupRecordFile, PastTheBoundTheOldestRecordsGo)
{
    std::string content = kHeaderLine;
    for (size_t i = 0; i < kMaxRecords; ++i) {
        std::wstring backup = L"D:\\B\\r_" + std::to_wstring(i) + L".txt";
        content += lineOf(sampleRecord(L"C:\\r.txt", backup.c_str())) + "\r\n";
    }
    ASSERT_TRUE(writeBytes(path, content));
    const BackupRecord newest = sampleRecord(L"C:\\r.txt", L"D:\\B\\r_new.txt");
    std::vector<BackupRecord> earlier;
    ASSERT_EQ(RecordOk, add(newest, &earlier));
    EXPECT_EQ(kRecordsAfterTrim - 1, earlier.size());

    std::string after = readBytes(path);
    size_t lines = 0;
    for (char c : after) lines += c == '\n';
    EXPECT_EQ(kRecordsAfterTrim + 1, lines);  // the header and the newest records
    const size_t firstKept = kMaxRecords + 1 - kRecordsAfterTrim;
    EXPECT_EQ(std::string::npos, after.find("r_" + std::to_string(firstKept - 1) + ".txt"));
    EXPECT_NE(std::string::npos, after.find("r_" + std::to_string(firstKept) + ".txt"));
    EXPECT_EQ(lineOf(newest) + "\r\n", after.substr(after.size() - lineOf(newest).size() - 2));
}

// ---- Turns ----

TEST(BackupTurn, OneTurnPerItemOutputAndFolder)
{
    auto name = [](const wchar_t* item, ItemKind kind, OutputKind output, const wchar_t* folder) {
        wchar_t text[96];
        backupTurnName(item, kind, output, folder, text, 96);
        return std::wstring(text);
    };
    const std::wstring one = name(L"C:\\ProjA\\src", ItemFolder, OutputCopyOrRename, L"D:\\Backup");
    EXPECT_EQ(one, name(L"C:\\ProjA\\src", ItemFolder, OutputCopyOrRename, L"D:\\Backup"));
    EXPECT_EQ(0u, one.find(L"Local\\"));
    EXPECT_EQ(std::wstring::npos, one.find(L'\\', 6));
    for (const std::wstring& other :
         {name(L"C:\\ProjB\\src", ItemFolder, OutputCopyOrRename, L"D:\\Backup"),
          name(L"C:\\ProjA\\src", ItemFolder, OutputArchive, L"D:\\Backup"),
          name(L"C:\\ProjA\\src", ItemFile, OutputCopyOrRename, L"D:\\Backup"),
          name(L"C:\\ProjA\\src", ItemFolder, OutputCopyOrRename, L"D:\\Backup2"),
          name(L"C:\\ProjA\\sr", ItemFolder, OutputCopyOrRename, L"cD:\\Backup")})
        EXPECT_NE(one, other);
}

TEST(BackupTurn, ATurnKeptElsewhereIsAwaitedOnlyWithinItsBound)
{
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread otherRun([&] {
        HANDLE turn = takeBackupTurn(L"C:\\r.txt", ItemFile, OutputCopyOrRename, L"C:\\turn test");
        SetEvent(taken);
        WaitForSingleObject(release, 10000);
        giveBackTurn(turn);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken, 10000));
    setTurnWait(1);
    EXPECT_EQ(nullptr, takeBackupTurn(L"C:\\r.txt", ItemFile, OutputCopyOrRename, L"C:\\turn test"));
    HANDLE otherFolder = takeBackupTurn(L"C:\\r.txt", ItemFile, OutputCopyOrRename, L"C:\\elsewhere");
    EXPECT_NE(nullptr, otherFolder);
    giveBackTurn(otherFolder);
    setTurnWait(0);
    SetEvent(release);
    HANDLE mine = takeBackupTurn(L"C:\\r.txt", ItemFile, OutputCopyOrRename, L"C:\\turn test");
    EXPECT_NE(nullptr, mine);
    giveBackTurn(mine);
    otherRun.join();
    CloseHandle(taken);
    CloseHandle(release);
}

// ---- The Recycle Bin of Wine's real drives ----

const wchar_t kPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// Sets a DWORD value of HKEY_CURRENT_USER, or removes it (value < 0).
bool setUserDword(const std::wstring& key, const wchar_t* name, int value)
{
    if (value < 0) {
        LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), name);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    DWORD data = static_cast<DWORD>(value);
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &data, sizeof data) == ERROR_SUCCESS;
}

RecycleBinAbsence absenceOf(const wchar_t* folder)
{
    RecycleBinState state;
    return queryRecycleBin(folder, &state) == 0 ? state.absence : static_cast<RecycleBinAbsence>(-1);
}

TEST(RecycleBinCheck, AFixedDriveWithVolumeNameHasOneUnlessTurnedOff)
{
    TempFolder temp;
    RecycleBinState state;
    ASSERT_EQ(0, queryRecycleBin(temp.path().c_str(), &state));
    if (state.absence == BinNoVolumeName) GTEST_SKIP() << "Wine names no volume for " << utf8(temp.path());
    ASSERT_EQ(BinPresent, state.absence);
    EXPECT_GT(state.capacity, 0u);
    for (const wchar_t* notFull : {L"Backup\\", L"C:Backup\\", L"\\Backup\\", L"\\\\?\\C:\\Backup\\"}) {
        SCOPED_TRACE(utf8(notFull));
        EXPECT_EQ(BinNotFullPath, absenceOf(notFull));
    }
    EXPECT_NE(BinPresent, absenceOf(L"\\\\vantrel-no-server\\share\\backups\\"));

    ASSERT_TRUE(setUserDword(kPolicyKey, L"NoRecycleFiles", 1));
    EXPECT_EQ(BinTurnedOff, absenceOf(temp.path().c_str()));
    ASSERT_TRUE(setUserDword(kPolicyKey, L"NoRecycleFiles", -1));

    wchar_t volume[MAX_PATH];
    ASSERT_TRUE(GetVolumeNameForVolumeMountPointW(state.drive, volume, MAX_PATH));
    std::wstring guid = wcschr(volume, L'{');
    guid.pop_back();
    const std::wstring volumeKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\" + guid;
    ASSERT_TRUE(setUserDword(volumeKey, L"NukeOnDelete", 1));
    EXPECT_EQ(BinTurnedOff, absenceOf(temp.path().c_str()));
    ASSERT_TRUE(setUserDword(volumeKey, L"NukeOnDelete", 0));
    ASSERT_TRUE(setUserDword(volumeKey, L"MaxCapacity", 7));
    ASSERT_EQ(0, queryRecycleBin(temp.path().c_str(), &state));
    EXPECT_EQ(BinPresent, state.absence);
    EXPECT_EQ(7ULL * 1024 * 1024, state.capacity);
    // The policy, which wins over the volume's own size, is a share of the volume in percent.
    ASSERT_TRUE(setUserDword(kPolicyKey, L"RecycleBinSize", 3));
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(state.drive, &available, &total, &free));
    ASSERT_EQ(0, queryRecycleBin(temp.path().c_str(), &state));
    EXPECT_EQ(total.QuadPart / 100 * 3, state.capacity);
    EXPECT_TRUE(setUserDword(kPolicyKey, L"RecycleBinSize", -1));
    RegDeleteKeyW(HKEY_CURRENT_USER, volumeKey.c_str());
}

// ---- The clean-up on real files ----

RecycleBinState g_bin;
int g_shellCalls;

int fakeBin(const wchar_t*, RecycleBinState* state)
{
    *state = g_bin;
    return 0;
}

// The user answers "No" when the shell asks whether to delete for good.
int WINAPI declineDeletion(LPSHFILEOPSTRUCTW request)
{
    ++g_shellCalls;
    request->fAnyOperationsAborted = TRUE;
    return 0;
}

std::vector<std::wstring> g_messages;

int recordMessage(UINT, const wchar_t*, const wchar_t* text)
{
    g_messages.push_back(text);
    return IDOK;
}

class OlderBackups : public ::testing::Test {
protected:
    void SetUp() override
    {
        readSettingsFile((temp / L"none.ini").c_str(), &g_settings);
        g_settings.language = UiEnglish;
        g_settings.keepBackups = 0;
        clearPerRunState();
        savedLocation = g_settingsLocation;
        copyText(g_settingsLocation.settingsFolder, kSettingsPathChars, temp.path().c_str());
        GetCurrentDirectoryW(MAX_PATH, savedWorkingFolder);
        g_shellCalls = 0;
        setShellOperationCall(declineDeletion);
        setMessageBoxSink(recordMessage);
        g_bin = RecycleBinState{};
        g_bin.absence = BinPresent;
        g_bin.capacity = 1ULL << 40;
        copyText(g_bin.drive, MAX_PATH, L"C:\\");
        setRecycleBinQuery(fakeBin);
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(savedWorkingFolder);
        g_settingsLocation = savedLocation;
        setRecycleBinQuery(nullptr);
        setShellOperationCall(nullptr);
        setMessageBoxSink(nullptr);
    }

    // A backup of the item made by a run: the item and its backup are created, and the backup
    // recorded; the clean-up runs with the given "KeepBackups".
    CleanupReport backUp(const std::wstring& item, const std::wstring& backup, bool folder, int keep, bool haveTurn = true)
    {
        if (!fileExists(item)) {
            EXPECT_TRUE(folder ? makeDirectory(item) : writeBytes(item, "item"));
        }
        EXPECT_TRUE(folder ? makeDirectory(backup) && writeBytes(backup + L"\\in.txt", "12345")
                           : writeBytes(backup, "backup"));
        BackupItem backupItem;
        EXPECT_EQ(0, beginBackupItem(item.c_str(), &backupItem));
        backupItem.output = OutputCopyOrRename;
        copyText(g_run.lastNewPath, kPathChars, (backup + (folder ? L"\\" : L"")).c_str());
        g_settings.keepBackups = keep;
        CleanupReport report;
        recordAndCleanUp(&backupItem, haveTurn, &report);
        return report;
    }

    TempFolder temp;
    SettingsLocation savedLocation;
    wchar_t savedWorkingFolder[MAX_PATH];
};

TEST_F(OlderBackups, WithoutARecycleBinOrRoomNothingMovesAndTheReasonIsGiven)
{
    const std::wstring item = temp / L"report.txt";
    for (const wchar_t* name : {L"report_1.txt", L"report_2.txt", L"report_3.txt"})
        EXPECT_EQ(CleanupNothingToDo, backUp(item, temp / name, false, 0).outcome);

    g_bin.absence = BinNoVolumeName;
    CleanupReport report = backUp(item, temp / L"report_4.txt", false, 2);
    EXPECT_EQ(CleanupNoRecycleBin, report.outcome);
    EXPECT_EQ(2, report.stayed);
    EXPECT_STREQ(L"C:", report.drive);

    g_bin.absence = BinPresent;
    g_bin.used = g_bin.capacity - 5;  // room for less than the three older backups of 6 bytes
    report = backUp(item, temp / L"report_5.txt", false, 2);
    EXPECT_EQ(CleanupNoRoom, report.outcome);
    EXPECT_EQ(3, report.stayed);
    EXPECT_EQ(18u, report.bytes);

    EXPECT_EQ(0, g_shellCalls);
    for (const wchar_t* name : {L"report_1.txt", L"report_2.txt", L"report_3.txt", L"report_4.txt"})
        EXPECT_TRUE(fileExists(temp / name)) << utf8(name);
}

TEST_F(OlderBackups, ADeclinedMoveStopsTheCleanUpAtTheOldest)
{
    const std::wstring item = temp / L"report.txt";
    for (const wchar_t* name : {L"report_1.txt", L"report_2.txt"}) backUp(item, temp / name, false, 0);
    CleanupReport report = backUp(item, temp / L"report_3.txt", false, 1);
    EXPECT_EQ(CleanupStopped, report.outcome);
    EXPECT_EQ(0, report.moved);
    EXPECT_EQ(2, report.stayed);
    EXPECT_STREQ(L"report_1.txt", report.stoppedAt);
    EXPECT_EQ(1, g_shellCalls);  // nothing after the refusal
    EXPECT_TRUE(fileExists(temp / L"report_1.txt"));
}

// The user says "Yes" when the shell asks whether to delete for good: the backup is gone, but
// the bin holds nothing more, so it is no move to the Recycle Bin.
int WINAPI deleteForGood(LPSHFILEOPSTRUCTW request)
{
    ++g_shellCalls;
    return DeleteFileW(request->pFrom) ? 0 : ERROR_ACCESS_DENIED;
}

TEST_F(OlderBackups, ABackupDeletedForGoodIsNoMoveToTheBin)
{
    const std::wstring item = temp / L"report.txt";
    for (const wchar_t* name : {L"report_1.txt", L"report_2.txt"}) backUp(item, temp / name, false, 0);
    setShellOperationCall(deleteForGood);
    CleanupReport report = backUp(item, temp / L"report_3.txt", false, 1);
    EXPECT_EQ(CleanupStopped, report.outcome);
    EXPECT_EQ(0, report.moved);
    EXPECT_STREQ(L"report_1.txt", report.stoppedAt);
    EXPECT_EQ(1, g_shellCalls);
}

TEST_F(OlderBackups, AnOlderBackupThatHoldsTheWorkingFolderStays)
{
    const std::wstring item = temp / L"Project";
    backUp(item, temp / L"Project_1", true, 0);
    backUp(item, temp / L"Project_2", true, 0);
    // The user works inside the oldest backup.
    ASSERT_TRUE(SetCurrentDirectoryW((temp / L"Project_1").c_str()));
    g_bin.absence = BinNoVolumeName;  // nothing really moves in this test
    CleanupReport report = backUp(item, temp / L"Project_3", true, 1);
    EXPECT_EQ(1, report.inUse);
    EXPECT_EQ(2, report.stayed);
    EXPECT_EQ(CleanupNoRecycleBin, report.outcome);
}

// A run that did not get its turn in time: the run that holds it may record its own backup
// after this one, and would then take this newer backup for an older one. So it is not
// recorded, and never moves; nor does anything else.
TEST_F(OlderBackups, ARunWithoutItsTurnNeitherRecordsNorMoves)
{
    const std::wstring item = temp / L"report.txt";
    backUp(item, temp / L"report_1.txt", false, 0);
    const std::string recorded = readBytes(temp / L"tazu_backups_made.txt");
    CleanupReport report = backUp(item, temp / L"report_2.txt", false, 1, false);
    EXPECT_EQ(CleanupNoTurn, report.outcome);
    EXPECT_EQ(0, g_shellCalls);
    EXPECT_EQ(recorded, readBytes(temp / L"tazu_backups_made.txt"));

    // The run that held the turn finds only its own and the earlier recorded backup.
    report = backUp(item, temp / L"report_3.txt", false, 1);
    EXPECT_EQ(1, g_shellCalls) << "report_1.txt is offered to the bin, report_2.txt never";
    EXPECT_STREQ(L"report_1.txt", report.stoppedAt);
    EXPECT_EQ(1, report.stayed) << "report_2.txt is no older backup of any run";
    EXPECT_TRUE(fileExists(temp / L"report_2.txt"));
}

// A folder backup whose contents changed in any way since it was made is the user's now: it
// stays, whatever its place among the older backups, and its record goes.
TEST_F(OlderBackups, AFolderBackupWithAnythingInItChangedStays)
{
    const std::wstring in = L"\\in.txt";
    struct Case {
        const char* name;
        std::function<bool(const std::wstring& backup)> change;
        bool moves;
    };
    const Case cases[] = {
        {"untouched", [](const std::wstring&) { return true; }, true},
        {"a file written, its size kept",
         [&](const std::wstring& b) {
             if (!writeBytes(b + in, "54321")) return false;
             HANDLE file = CreateFileW((b + in).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             FILETIME later = {0x12345678, 0x01dc0000};
             bool set = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &later);
             if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
             return set;
         },
         false},
        {"an empty file added", [](const std::wstring& b) { return writeBytes(b + L"\\notes.txt", ""); }, false},
        {"a file removed", [&](const std::wstring& b) { return DeleteFileW((b + in).c_str()) != FALSE; }, false},
        {"a file renamed", [&](const std::wstring& b) { return MoveFileW((b + in).c_str(), (b + L"\\out.txt").c_str()) != FALSE; }, false},
        {"a folder added deep inside",
         [](const std::wstring& b) { return makeDirectory(b + L"\\sub") && makeDirectory(b + L"\\sub\\deeper"); }, false},
        {"its attributes only", [&](const std::wstring& b) { return SetFileAttributesW((b + in).c_str(), FILE_ATTRIBUTE_READONLY) != FALSE; }, true},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring item = temp / (L"Project" + std::to_wstring(++round));
        const std::wstring older = item + L"_1";
        backUp(item, older, true, 0);
        ASSERT_TRUE(c.change(older));
        const int callsBefore = g_shellCalls;
        CleanupReport report = backUp(item, item + L"_2", true, 1);
        EXPECT_EQ(c.moves ? 1 : 0, g_shellCalls - callsBefore);
        EXPECT_EQ(c.moves ? CleanupStopped : CleanupNothingToDo, report.outcome);
        EXPECT_TRUE(fileExists(older));
        SetFileAttributesW((older + in).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(OlderBackups, ARecordThatCannotBeUsedMeansNoCleanUp)
{
    const std::wstring item = temp / L"report.txt";
    backUp(item, temp / L"report_1.txt", false, 0);
    ASSERT_TRUE(writeBytes(temp / L"tazu_backups_made.txt", "my own notes\r\n"));
    CleanupReport report = backUp(item, temp / L"report_2.txt", false, 1);
    EXPECT_EQ(CleanupNoRecord, report.outcome);
    EXPECT_EQ(RecordDamaged, report.record);
    EXPECT_EQ(0, g_shellCalls);
    EXPECT_EQ("my own notes\r\n", readBytes(temp / L"tazu_backups_made.txt"));

    // Without a settings folder there is nowhere to keep it.
    g_settingsLocation.settingsFolder[0] = L'\0';
    report = backUp(item, temp / L"report_3.txt", false, 1);
    EXPECT_EQ(CleanupNoRecord, report.outcome);
    EXPECT_EQ(RecordNoPlace, report.record);
}

}  // namespace
