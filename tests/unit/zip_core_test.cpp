// The ZIP commands' core with the real archiver library behind a seam that records what the
// core sends and can answer busy first: archive names and places, the two command-line forms,
// the virtual-store check for every item, and what is left on disk after a failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_item.h"
#include "archiver_api.h"
#include "backup_steps.h"
#include "message_box.h"
#include "naming.h"
#include "run_state.h"
#include "settings.h"
#include "there_destination.h"
#include "unit_support.h"
#include "zip.h"
#include "zip_reader.h"

namespace {

// Bytes that deflate cannot shrink, so that archiving them takes a while.
std::string noise(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 23);
    return bytes;
}

// Library seam: busy for the first `busyCalls` calls, then the real library, or `failWith`;
// with `race` set, another run's archive is put at the archive path of the first call while
// the real library works on it.
struct Seam {
    std::vector<std::string> commandLines;
    std::vector<int> answers;
    int busyCalls = 0;
    int failWith = 0;
    std::wstring failingArchive;
    std::wstring raceFolder;           // where the library writes
    std::wstring raceArchivePath;      // the first call's archive path
    std::wstring otherRunsArchive;     // a finished archive of the other run, copied in
};
Seam g_seam;

// Another run: waits until the library has begun to write (its working file appears in the
// folder), then finishes its own archive at the same path, as a faster run of a same-named item
// does.
volatile LONG g_libraryDone;
volatile LONG g_otherRunFinished;
DWORD WINAPI otherRun(void*)
{
    while (!g_libraryDone) {
        if (!namesIn(g_seam.raceFolder).empty()) {
            if (CopyFileW(g_seam.otherRunsArchive.c_str(), g_seam.raceArchivePath.c_str(), TRUE))
                InterlockedExchange(&g_otherRunFinished, 1);
            return 0;
        }
        Sleep(1);
    }
    return 0;
}

int seamSetUtf8(int on)
{
    return SevenZipSetUnicodeMode(on ? TRUE : FALSE);
}
int seamRun(const char* line, char* output, DWORD outputSize)
{
    g_seam.commandLines.push_back(line);
    if (static_cast<int>(g_seam.commandLines.size()) <= g_seam.busyCalls) return kArchiverBusy;
    // Our library never leaves anything at the archive path when it fails.
    if (g_seam.failWith != 0) return g_seam.failWith;
    HANDLE other = nullptr;
    if (!g_seam.raceFolder.empty() && g_seam.commandLines.size() == 1) {
        g_libraryDone = 0;
        other = CreateThread(nullptr, 0, otherRun, nullptr, 0, nullptr);
    }
    int answer = SevenZip(nullptr, line, output, outputSize);
    if (other) {
        InterlockedExchange(&g_libraryDone, 1);
        WaitForSingleObject(other, INFINITE);
        CloseHandle(other);
    }
    g_seam.answers.push_back(answer);
    return answer;
}
void seamSleep(DWORD) {}

SYSTEMTIME g_now;
void fixedNow(SYSTEMTIME* now) { *now = g_now; }
// The collision wait moves the clock on, as the real wait does.
void collisionWait(DWORD milliseconds) { g_now.wSecond = static_cast<WORD>(g_now.wSecond + milliseconds / 1000); }

std::wstring g_takenPath;
void takeNewPathOnce(const wchar_t* newPath)
{
    if (!g_takenPath.empty()) return;
    g_takenPath = newPath;
    writeBytes(g_takenPath, "someone else's");
}

class ZipCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_programName = L"TazuHereZip";
        readSettingsFile((temp / L"absent.ini").c_str(), &g_settings);
        g_settings.language = UiEnglish;
        clearPerRunState();
        g_seam = Seam();
        g_now = SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 0};
        setLocalTimeSource(fixedNow);
        setCollisionSleep(collisionWait);
        saved_ = g_archiverCalls;
        g_archiverCalls = {seamSetUtf8, seamRun, seamSleep};
    }
    void TearDown() override
    {
        g_archiverCalls = saved_;
        setLocalTimeSource(nullptr);
        setCollisionSleep(nullptr);
        setBeforeOperationHook(nullptr);
        g_takenPath.clear();
    }

    // A file of `size` bytes: the text first, zeros after it.
    std::wstring file(const std::wstring& relative, const std::string& text, LONGLONG size = -1)
    {
        std::wstring path = temp / relative;
        writeBytes(path, text);
        if (size >= 0) {
            HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER end;
            end.QuadPart = size;
            SetFilePointerEx(handle, end, nullptr, FILE_BEGIN);
            SetEndOfFile(handle);
            CloseHandle(handle);
        }
        return path;
    }

    TempFolder temp;
    MessageRecorder messages;
    ArchiverCalls saved_;
};

std::string commandLine(bool hide, const std::wstring& archive, const std::wstring& item)
{
    return std::string("a -tzip -ssw -mmt=on ") + (hide ? "-hide " : "") + "-- \"" + utf8(archive) + "\" \"" +
           utf8(item) + "\"";
}

TEST_F(ZipCoreTest, HereArchivesEachItemBesideItselfInItsForm)
{
    const std::string tenMiB(1, 'x');
    struct Row {
        const char* name;
        std::wstring item;        // below the temporary folder
        std::wstring archive;     // expected, below the temporary folder
        bool folder;
        LONGLONG size;            // file size, -1 for the text alone
        bool hide;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const std::string zeros = std::string(10485759 - 4, '\0');
    const Row rows[] = {
        {"small file", L"report.txt", L"report_20240305_140709.txt.zip", false, -1, true, {{"report.txt", "text"}}},
        {"10,485,759 bytes", L"big.bin", L"big_20240305_140709.bin.zip", false, 10485759, true,
         {{"big.bin", "text" + zeros}}},
        {"10,485,760 bytes", L"bigger.bin", L"bigger_20240305_140709.bin.zip", false, 10485760, false,
         {{"bigger.bin", "text" + zeros + std::string(1, '\0')}}},
        {"folder", L"Project", L"Project_20240305_140709.zip", true, -1, false,
         {{"Project/", ""}, {"Project/a.txt", "text"}, {"Project/sub/", ""}, {"Project/sub/b.txt", "text"}}},
        {"Japanese file name", L"\x65e5\x672c\x8a9e.txt", L"\x65e5\x672c\x8a9e_20240305_140709.txt.zip", false, -1, true,
         {{"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "text"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_seam.commandLines.clear();
        clearPerRunState();
        if (row.folder) {
            makeDirectory(temp / row.item);
            makeDirectory(temp / (row.item + L"\\sub"));
            file(row.item + L"\\a.txt", "text");
            file(row.item + L"\\sub\\b.txt", "text");
        } else {
            file(row.item, "text", row.size);
        }
        const std::wstring item = temp / row.item;
        const std::wstring archive = temp / row.archive;

        ASSERT_EQ(0, runZipCore(item.c_str(), destinationBesideItem));

        ASSERT_EQ(1u, g_seam.commandLines.size());
        EXPECT_EQ(commandLine(row.hide, archive, item), g_seam.commandLines[0]);
        EXPECT_EQ(archive, std::wstring(g_run.lastNewPath));
        EXPECT_TRUE(zipread::holdsExactly(archive, row.entries));
        // The virtual-store check runs for folders as well as files.
        EXPECT_NE(L'\0', g_run.virtualStoreFolder[0]);
        EXPECT_TRUE(messages.shown().empty());
        removeTree(archive);
        removeTree(item);
    }
}

TEST_F(ZipCoreTest, VerifyAsksTheLibraryToReadTheArchiveBackInBothForms)
{
    g_settings.verify = 1;
    const std::wstring small = file(L"report.txt", "text");
    makeDirectory(temp / L"Project");
    file(L"Project\\a.txt", "text");
    struct Row { const char* name; std::wstring item; std::wstring archive; const char* line; };
    const Row rows[] = {
        {"small file", small, temp / L"report_20240305_140709.txt.zip", "a -tzip -ssw -mmt=on -hide -verify -- "},
        {"folder", temp / L"Project", temp / L"Project_20240305_140709.zip", "a -tzip -ssw -mmt=on -verify -- "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_seam.commandLines.clear();
        ASSERT_EQ(0, runZipCore(row.item.c_str(), destinationBesideItem));
        ASSERT_EQ(1u, g_seam.commandLines.size());
        EXPECT_EQ(std::string(row.line) + "\"" + utf8(row.archive) + "\" \"" + utf8(row.item) + "\"", g_seam.commandLines[0]);
        EXPECT_TRUE(fileExists(row.archive));
        EXPECT_TRUE(messages.shown().empty());
    }
    g_settings.verify = 0;
}

TEST_F(ZipCoreTest, BusyAnswersThenSuccessGiveTheArchive)
{
    const std::wstring item = file(L"notes.txt", "notes");
    g_seam.busyCalls = 3;
    ASSERT_EQ(0, runZipCore(item.c_str(), destinationBesideItem));
    EXPECT_EQ(4u, g_seam.commandLines.size());
    EXPECT_TRUE(zipread::holdsExactly(temp / L"notes_20240305_140709.txt.zip", {{"notes.txt", "notes"}}));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(ZipCoreTest, ThereArchivesIntoPathCreatingItWhenMissing)
{
    struct Row { const char* name; std::wstring path; bool existsBefore; };
    const Row rows[] = {
        {"existing folder", L"dest\\", true},
        {"missing folders", L"new\\deeper\\", false},
    };
    const std::wstring item = file(L"data.csv", "1,2,3");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clearPerRunState();
        const std::wstring folder = temp / row.path;
        if (row.existsBefore) makeDirectory(folder);
        wcscpy(g_settings.path, folder.c_str());
        g_settings.selDir = 0;

        ASSERT_EQ(0, runZipCore(item.c_str(), destinationInBackupFolder));
        EXPECT_EQ(folder, std::wstring(g_run.destinationFolder));
        EXPECT_TRUE(zipread::holdsExactly(folder + L"data_20240305_140709.csv.zip", {{"data.csv", "1,2,3"}}));
        EXPECT_TRUE(messages.shown().empty());
        // Nothing beside the item: the item's own folder is never the destination.
        EXPECT_FALSE(fileExists(temp / L"data_20240305_140709.csv.zip"));
    }
}

TEST_F(ZipCoreTest, ArchivePathTakenJustBeforeArchivingIsLeftAlone)
{
    const std::wstring item = file(L"plan.txt", "plan");
    setBeforeOperationHook(takeNewPathOnce);
    ASSERT_EQ(0, runZipCore(item.c_str(), destinationBesideItem));
    EXPECT_EQ(temp / L"plan_20240305_140709.txt.zip", g_takenPath);
    EXPECT_EQ("someone else's", readBytes(g_takenPath));
    EXPECT_TRUE(zipread::holdsExactly(temp / L"plan_20240305_140710.txt.zip", {{"plan.txt", "plan"}}));
}

TEST_F(ZipCoreTest, AnArchivePathTakenWhileTheLibraryWorksIsACollisionAndBothArchivesSurvive)
{
    // Two items named plan.txt from different folders, zipped into one destination folder in the
    // same second: the other run finishes first, ours finds the name taken at its final rename.
    makeDirectory(temp / L"mine");
    makeDirectory(temp / L"theirs");
    const std::wstring ours = file(L"mine\\plan.txt", noise(9000000));
    const std::wstring theirs = file(L"theirs\\plan.txt", "their plan");
    const std::wstring destination = temp / L"dest\\";
    makeDirectory(destination);
    wcscpy(g_settings.path, destination.c_str());
    const std::wstring side = temp / L"their_archive.zip";
    ASSERT_EQ(0, SevenZip(nullptr, ("a -tzip -hide -- \"" + utf8(side) + "\" \"" + utf8(theirs) + "\"").c_str(), nullptr, 0));
    g_seam.raceFolder = destination;
    g_seam.raceArchivePath = destination + L"plan_20240305_140709.txt.zip";
    g_seam.otherRunsArchive = side;
    g_otherRunFinished = 0;

    ASSERT_EQ(0, runZipCore(ours.c_str(), destinationInBackupFolder));

    ASSERT_EQ(1, g_otherRunFinished) << "the other run did not finish while the library worked";
    EXPECT_EQ((std::vector<int>{ARCHIVER_ERROR_ARCHIVE_EXISTS, 0}), g_seam.answers);
    EXPECT_TRUE(zipread::holdsExactly(destination + L"plan_20240305_140709.txt.zip", {{"plan.txt", "their plan"}}));
    EXPECT_TRUE(zipread::holdsExactly(destination + L"plan_20240305_140710.txt.zip", {{"plan.txt", noise(9000000)}}));
    EXPECT_EQ(destination + L"plan_20240305_140710.txt.zip", std::wstring(g_run.lastNewPath));
    EXPECT_EQ(2u, namesIn(destination).size());
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(ZipCoreTest, LibraryFailureLeavesOnlyTheItem)
{
    const std::wstring item = file(L"locked.txt", "locked");
    g_seam.failWith = ARCHIVER_ERROR_ITEM_READ;
    g_seam.failingArchive = temp / L"locked_20240305_140709.txt.zip";
    EXPECT_EQ(-1, runZipCore(item.c_str(), destinationBesideItem));
    EXPECT_FALSE(fileExists(g_seam.failingArchive));
    ASSERT_EQ(1u, messages.shown().size());
    EXPECT_EQ(L"Could not be converted to ZIP format.\n7-zip ErrorCD:0x00008012\n\n" + item, messages.shown()[0].text);
    EXPECT_EQ(L"TazuHereZip", messages.shown()[0].title);
}

}  // namespace
