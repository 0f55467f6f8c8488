// TazuHereZip and TazuThereZip end to end with the real archiver library: where the archives
// land and what they hold, Japanese names, the progress window from 10 MiB on and its Cancel,
// the UTF-8 limit of the command line, a library error, and a program folder without the library.
#include "zip_fixture.h"

#include "archiver_api.h"

namespace e2e {
namespace {

const std::wstring kShiryo = L"\x8cc7\x6599";                       // 資料
const std::wstring kMemo = L"\x65e5\x672c\x8a9e\x30e1\x30e2";       // 日本語メモ
const std::string kShiryoUtf8 = "\xE8\xB3\x87\xE6\x96\x99";
const std::string kMemoUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\xA1\xE3\x83\xA2";
const std::string kNakamiUtf8 = "\xE4\xB8\xAD\xE8\xBA\xAB";         // 中身

constexpr DWORD kFirstWindowMs = 30000;

struct ArchiveCase {
    const char* label;
    std::wstring item;        // below the data folder
    std::wstring base;        // archive name parts
    std::wstring extension;
    std::vector<std::pair<std::string, std::string>> entries;  // also what the item holds
};

// Items of every kind with their expected archive contents; a folder's entries lie under its name.
const std::vector<ArchiveCase>& archiveCases()
{
    static const std::vector<ArchiveCase> cases = {
        {"file", L"report.txt", L"report", L".txt", {{"report.txt", "quarterly report"}}},
        {"folder", L"Project", L"Project", L"",
         {{"Project/", ""}, {"Project/top.txt", "top level"}, {"Project/sub/", ""},
          {"Project/sub/leaf.bin", std::string("\0\1\2\3", 4)}, {"Project/empty/", ""}}},
        {"Japanese file", kMemo + L".txt", kMemo, L".txt", {{kMemoUtf8 + ".txt", "memo"}}},
        {"Japanese folder", kShiryo, kShiryo, L"",
         {{kShiryoUtf8 + "/", ""}, {kShiryoUtf8 + "/" + kNakamiUtf8 + ".txt", "contents"}}},
    };
    return cases;
}

::testing::AssertionResult runsTo(driver::Program* program, const wchar_t* status)
{
    // The first program of a fresh prefix may take long to show its first window.
    HWND result = findResultWindow(*program, kFirstWindowMs);
    if (!result) {
        DWORD code = 0;
        if (driver::waitForExit(*program, 0, &code)) return ::testing::AssertionFailure() << "ended with " << code;
        return ::testing::AssertionFailure() << "no result window";
    }
    ::testing::AssertionResult shown = waitForStatus(result, status, 30000);
    if (!shown) return shown;
    return endsWith(*program, 0, 15000);
}

// After a message about "Path": the folder dialog comes, the folder is chosen, and the run ends
// in success.
::testing::AssertionResult choosesThenSucceeds(driver::Program* program, HWND result, const std::wstring& chosen)
{
    HWND dialog = findFolderDialog(program->id, 15000);
    if (!dialog) return ::testing::AssertionFailure() << "no folder dialog";
    ::testing::AssertionResult chose = chooseFolderSurely(dialog, program->id, chosen);
    if (!chose) return chose;
    ::testing::AssertionResult shown = waitForStatus(result, L"Success.", 30000);
    if (!shown) return shown;
    return endsWith(*program, 0, 15000);
}

// The archive of the item notes.txt lies in the chosen folder, and "Path" names that folder now.
::testing::AssertionResult notesArchivedAndPathKept(const Sandbox& sandbox, const std::wstring& chosen)
{
    std::wstring archive;
    ::testing::AssertionResult found = findArchive(chosen + L"\\", L"notes", L".txt", &archive);
    if (!found) return found;
    ::testing::AssertionResult holds = zipread::holdsExactly(archive, {{"notes.txt", "notes"}});
    if (!holds) return holds;
    wchar_t saved[MAX_PATH] = L"";
    GetPrivateProfileStringW(L"Env", L"Path", L"", saved, MAX_PATH, (sandbox.settingsFolder + L"tazu.ini").c_str());
    if (chosen + L"\\" != saved) return ::testing::AssertionFailure() << "Path is " << narrow(saved);
    return ::testing::AssertionSuccess();
}

// Bytes that deflate cannot shrink, so that archiving them takes a while.
std::string noise(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 23);
    return bytes;
}

}  // namespace

// Suites of their own so that ctest runs them side by side.
class ZipArchives : public ZipTest {};
class ZipProgress : public ZipTest {};
class ZipFailures : public ZipTest {};

TEST_F(ZipArchives, HereZipArchivesEachItemBesideItself)
{
    ASSERT_TRUE(settings());
    std::wstring tail;
    for (const ArchiveCase& item : archiveCases()) {
        makeEntries(item.entries);
        tail += (tail.empty() ? L"" : L" ") + inQuotes(sandbox.data + item.item);
    }
    auto before = snapshotTree(sandbox.data);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kHereZip, tail, &program));
    ASSERT_TRUE(runsTo(program, L"Success."));

    for (const ArchiveCase& item : archiveCases()) {
        SCOPED_TRACE(item.label);
        std::wstring archive;
        ASSERT_TRUE(findArchive(sandbox.data, item.base, item.extension, &archive));
        EXPECT_TRUE(zipread::holdsExactly(archive, item.entries));
        EXPECT_TRUE(namesFlaggedUtf8(archive));
    }
    // Nothing but the archives is new, and the items are untouched.
    auto after = snapshotTree(sandbox.data);
    EXPECT_EQ(before.size() + archiveCases().size(), after.size());
    for (const auto& entry : before) {
        SCOPED_TRACE(narrow(entry.first));
        ASSERT_TRUE(after.count(entry.first));
        EXPECT_EQ(entry.second, after[entry.first]);
    }
}

TEST_F(ZipArchives, ThereZipArchivesIntoPathCreatingIt)
{
    const std::wstring destination = sandbox.root + L"backups\\zip\\";
    ASSERT_TRUE(settings({{L"Path", destination}}));
    std::wstring tail;
    for (const ArchiveCase& item : archiveCases()) {
        makeEntries(item.entries);
        tail += (tail.empty() ? L"" : L" ") + inQuotes(sandbox.data + item.item);
    }
    auto before = snapshotTree(sandbox.data);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kThereZip, tail, &program));
    ASSERT_TRUE(runsTo(program, L"Success."));

    for (const ArchiveCase& item : archiveCases()) {
        SCOPED_TRACE(item.label);
        std::wstring archive;
        ASSERT_TRUE(findArchive(destination, item.base, item.extension, &archive));
        EXPECT_TRUE(zipread::holdsExactly(archive, item.entries));
    }
    EXPECT_EQ(archiveCases().size(), namesIn(destination).size());
    EXPECT_EQ(before, snapshotTree(sandbox.data));
}

// Text that deflate shrinks, different from line to line.
std::string lines(size_t size)
{
    std::string out;
    for (unsigned line = 0; out.size() < size; ++line) out += "line " + std::to_string(line * 7919u % 100003u) + "\n";
    out.resize(size);
    return out;
}

TEST_F(ZipArchives, WithVerifyBothProgramsReadTheirArchivesBackAndSaySo)
{
    // A folder of every kind: Japanese names, an empty file, a file of several of the library's
    // 1 MiB blocks and an empty folder.
    const std::vector<std::pair<std::string, std::string>> entries = {
        {kShiryoUtf8 + "/", ""},
        {kShiryoUtf8 + "/" + kNakamiUtf8 + ".txt", ""},
        {kShiryoUtf8 + "/large.txt", lines(3 * 1024 * 1024 + 5)},
        {kShiryoUtf8 + "/empty/", ""},
    };
    struct Row {
        const char* label;
        const wchar_t* program;
        const wchar_t* lang;
        std::wstring destination;     // where the archive goes
        std::wstring note;            // after the name on the names line
        std::wstring before, after;   // the tooltip's sentence around the archive's size
    };
    const Row rows[] = {
        {"TazuHereZip, Japanese", kHereZip, L"ja", sandbox.data, L" (\x691c\x8a3c\x6e08\x307f)",
         // 資料: アーカイブの N バイトを読み戻し、全エントリが一致しました。
         kShiryo + L": \x30a2\x30fc\x30ab\x30a4\x30d6\x306e ",
         L" \x30d0\x30a4\x30c8\x3092\x8aad\x307f\x623b\x3057\x3001\x5168\x30a8\x30f3\x30c8\x30ea\x304c\x4e00\x81f4"
         L"\x3057\x307e\x3057\x305f\x3002"},
        {"TazuThereZip, English", kThereZip, L"en", sandbox.root + L"backups\\", L" (verified)",
         kShiryo + L": verified, the archive's ", L" bytes read back and every entry found equal."},
    };
    makeEntries(entries);
    const std::wstring item = sandbox.data + kShiryo;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_TRUE(settings({{L"Lang", row.lang}, {L"Path", row.destination}, {L"Verify", L"1"}, {L"AutoClose", L"0"}}));
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(row.program, inQuotes(item), &program));
        HWND result = findResultWindow(*program, kFirstWindowMs);
        ASSERT_TRUE(result);
        ASSERT_TRUE(waitForStatus(result, L"Success.", 30000));
        std::wstring archive;
        ASSERT_TRUE(findArchive(row.destination, kShiryo, L"", &archive));
        std::string bytes;
        ASSERT_TRUE(readFile(archive, &bytes));
        std::wstring size = std::to_wstring(bytes.size());
        for (size_t at = size.size(); at > 3; at -= 3) size.insert(at - 3, L",");
        EXPECT_EQ(L"[" + kShiryo + row.note + L"]", driver::controlText(result, kNamesId));
        HWND tooltip = driver::tooltipOf(program->id);
        ASSERT_TRUE(tooltip);
        EXPECT_EQ(item + L"\r\n" + row.before + size + row.after, driver::toolText(program->id, tooltip, result, 1));
        driver::clickChild(result, kCloseId);
        EXPECT_TRUE(endsWith(*program, 0, 15000));
        EXPECT_TRUE(zipread::holdsExactly(archive, entries));
    }
}

TEST_F(ZipArchives, ThereZipAsksWithoutPathAndKeepsTheChosenFolder)
{
    ASSERT_TRUE(settings({{L"Path", L""}}));
    const std::wstring chosen = sandbox.root + L"chosen";
    ASSERT_TRUE(makeFolders(chosen));
    const std::wstring item = file(L"notes.txt", "notes");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kThereZip, inQuotes(item), &program));
    HWND dialog = findFolderDialog(program->id, 15000);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(chooseFolderSurely(dialog, program->id, chosen));
    ASSERT_TRUE(runsTo(program, L"Success."));
    EXPECT_TRUE(notesArchivedAndPathKept(sandbox, chosen));
}

TEST_F(ZipArchives, ThereZipPathThatCannotBeMadeGivesTheMessageThenTheDialog)
{
    const std::wstring unreachable = L"Q:\\nowhere\\backups\\";  // no drive Q: in the test prefix
    ASSERT_FALSE(exists(L"Q:\\"));
    ASSERT_TRUE(settings({{L"Path", unreachable}}));
    const std::wstring chosen = sandbox.root + L"picked";
    ASSERT_TRUE(makeFolders(chosen));
    const std::wstring item = file(L"notes.txt", "notes");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kThereZip, inQuotes(item), &program));
    HWND result = findResultWindow(*program, kFirstWindowMs);
    ASSERT_TRUE(result);
    driver::clickChild(result, kHideId);  // keeps the box's icon in view
    HWND box = driver::findMessageBox(program->id, 15000);
    ASSERT_TRUE(box);
    driver::MessageBoxInfo info;
    ASSERT_TRUE(readMessageBoxLooking(box, driver::IconError, &info));
    EXPECT_EQ(L"TazuThereZip", info.title);
    const std::wstring head = L"Could not create backup destination folder.\n\n";
    EXPECT_EQ(head, info.text.substr(0, head.size())) << narrow(info.text);
    EXPECT_EQ(L"\n\n" + unreachable, info.text.substr(info.text.size() - unreachable.size() - 2)) << narrow(info.text);
    EXPECT_GT(info.text.size(), head.size() + unreachable.size() + 2) << "no error text";
    EXPECT_EQ(driver::IconError, info.icon);
    ASSERT_TRUE(driver::pressButton(box, IDOK));
    ASSERT_TRUE(driver::waitGone(box, 5000));
    ASSERT_TRUE(choosesThenSucceeds(program, result, chosen));
    EXPECT_TRUE(notesArchivedAndPathKept(sandbox, chosen));
}

// A relative "Path" names a folder of whatever folder the command runs in: refused with its
// message before anything is made there, then the dialog.
TEST_F(ZipArchives, ThereZipRefusesARelativePathThenAsks)
{
    ASSERT_TRUE(makeFolders(sandbox.programFolder + L"Backup"));
    ASSERT_TRUE(settings({{L"Path", L"Backup"}}));
    const std::wstring chosen = sandbox.root + L"picked";
    ASSERT_TRUE(makeFolders(chosen));
    const std::wstring item = file(L"notes.txt", "notes");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kThereZip, inQuotes(item), &program));
    HWND result = findResultWindow(*program, kFirstWindowMs);
    ASSERT_TRUE(result);
    driver::clickChild(result, kHideId);  // keeps the box's icon in view
    EXPECT_TRUE(answerBox(*program, L"TazuThereZip",
                          L"The backup destination folder must be a full path,\nsuch as D:\\Backup\\ or "
                          L"\\\\server\\share\\Backup\\.\n\nBackup\\",
                          driver::IconError));
    ASSERT_TRUE(choosesThenSucceeds(program, result, chosen));
    std::wstring archive;
    EXPECT_TRUE(findArchive(chosen + L"\\", L"notes", L".txt", &archive));
    EXPECT_TRUE(namesIn(sandbox.programFolder + L"Backup\\").empty());
}

TEST_F(ZipArchives, ThreeRunsOfOneItemStartedTogetherEachKeepTheirArchive)
{
    // One process per selected item, as the context menu starts them: all three compose the same
    // name in the same second, and each must end with an archive of its own.
    // Auto close off: each result window waits to be read, however the three runs interleave.
    ASSERT_TRUE(settings({{L"AutoClose", L"0"}}));
    const std::string bytes = noise(2000000);
    const std::wstring item = file(L"report.txt", bytes);

    driver::Program* programs[3] = {};
    for (driver::Program*& program : programs) ASSERT_TRUE(start(kHereZip, inQuotes(item), &program));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(::testing::Message() << "run " << i + 1);
        HWND result = findResultWindow(*programs[i], kFirstWindowMs);
        ASSERT_TRUE(result);
        EXPECT_TRUE(waitForStatus(result, L"Success.", 30000));
        HWND close = GetDlgItem(result, kCloseId);
        ASSERT_TRUE(driver::waitUntil([&] { return driver::isVisible(close); }, 5000));
        driver::click(close);
        EXPECT_TRUE(endsWith(*programs[i], 0, 15000));
    }

    std::vector<std::wstring> archives;
    for (const std::wstring& name : namesIn(sandbox.data))
        if (isTimeStampedName(name, L"report", L".txt.zip")) archives.push_back(name);
    ASSERT_EQ(3u, archives.size());
    for (const std::wstring& name : archives) {
        SCOPED_TRACE(narrow(name));
        EXPECT_TRUE(zipread::holdsExactly(sandbox.data + name, {{"report.txt", bytes}}));
    }
    EXPECT_EQ(4u, namesIn(sandbox.data).size());
}

TEST_F(ZipProgress, NoProgressWindowBelowTenMebibytes)
{
    ASSERT_TRUE(settings());
    const std::string bytes = noise(10485759);
    const std::wstring item = file(L"small.bin", bytes);
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kHereZip, inQuotes(item), &program));
    HWND result = findResultWindow(*program, kFirstWindowMs);
    ASSERT_TRUE(result);
    // Watched through the whole run (the next test shows that the watch catches the window).
    HWND progress = nullptr;
    driver::waitUntil([&] {
        progress = findProgressWindow(program->id, 0);
        return progress != nullptr || driver::controlText(result, kStatusId) == L"Success.";
    }, 30000, 1);
    EXPECT_FALSE(progress);
    EXPECT_TRUE(runsTo(program, L"Success."));
    std::wstring archive;
    ASSERT_TRUE(findArchive(sandbox.data, L"small", L".bin", &archive));
    EXPECT_TRUE(zipread::holdsExactly(archive, {{"small.bin", bytes}}));
}

TEST_F(ZipProgress, ProgressWindowFromTenMebibytes)
{
    ASSERT_TRUE(settings());
    const std::string bytes = noise(10485760);
    const std::wstring item = file(L"large.bin", bytes);
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kHereZip, inQuotes(item), &program));
    EXPECT_TRUE(findProgressWindow(program->id, 20000));
    EXPECT_TRUE(runsTo(program, L"Success."));
    std::wstring archive;
    ASSERT_TRUE(findArchive(sandbox.data, L"large", L".bin", &archive));
    EXPECT_TRUE(zipread::holdsExactly(archive, {{"large.bin", bytes}}));
}

TEST_F(ZipProgress, CancelInTheProgressWindow)
{
    ASSERT_TRUE(settings());
    // Archiving 10 MiB takes less time than a test needs to press Cancel; a sparse file of 2 GiB
    // of zeros costs no disk and keeps the library busy for many seconds.
    const std::wstring item = sandbox.data + L"large.bin";
    HANDLE sparse = CreateFileW(item.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, sparse);
    LARGE_INTEGER size;
    size.QuadPart = 2LL << 30;
    bool sized = SetFilePointerEx(sparse, size, nullptr, FILE_BEGIN) && SetEndOfFile(sparse);
    CloseHandle(sparse);
    ASSERT_TRUE(sized);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kHereZip, inQuotes(item), &program));
    HWND progress = findProgressWindow(program->id, 20000);
    ASSERT_TRUE(progress);
    ASSERT_TRUE(cancelProgress(progress));
    // A cancel is the user's own choice: no message, the item fails and no archive remains.
    HWND result = findResultWindow(*program, kFirstWindowMs);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 30000));
    EXPECT_FALSE(driver::findMessageBox(program->id, 0));
    EXPECT_TRUE(endsWith(*program, 0, 15000));
    EXPECT_EQ(std::vector<std::wstring>{L"large.bin"}, namesIn(sandbox.data));
}

TEST_F(ZipFailures, CommandLineOver1039Utf8BytesIsRefused)
{
    ASSERT_TRUE(settings());
    // The sent line is "a -tzip -ssw -mmt=on -hide -- \"<archive>\" \"<item>\"" with the archive
    // path <folder><base>_YYYYMMDD_hhmmss.txt.zip and the item <folder><base>.txt: its UTF-8 length
    // is always odd, so 1039 bytes (fits with the terminator) and 1041 lie on either side.
    const std::wstring folder = sandbox.data + std::wstring(80, L'\x8cc7') + L"\\";
    const std::wstring japanese(50, L'\x8a9e');
    struct Row { const char* label; size_t bytes; bool archived; };
    const Row rows[] = {{"1039 bytes", 1039, true}, {"1041 bytes", 1041, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::wstring base = japanese;
        auto lineBytes = [&] {
            std::wstring archive = folder + base + L"_20240305_140709.txt.zip";
            std::wstring line = L"a -tzip -ssw -mmt=on -hide -- \"" + archive + L"\" \"" + folder + base + L".txt\"";
            return narrow(line).size();
        };
        while (lineBytes() < row.bytes) base += L'a';
        ASSERT_EQ(row.bytes, lineBytes());
        const std::wstring item = folder + base + L".txt";
        ASSERT_LE(item.size() + 20, 259u);
        file(item.substr(sandbox.data.size()), "long name");

        driver::Program* program = nullptr;
        ASSERT_TRUE(start(kHereZip, inQuotes(item), &program));
        if (row.archived) {
            EXPECT_TRUE(runsTo(program, L"Success."));
            std::wstring archive;
            ASSERT_TRUE(findArchive(folder, base, L".txt", &archive));
            EXPECT_TRUE(zipread::holdsExactly(archive, {{narrow(base) + ".txt", "long name"}}));
            removeTree(archive);
        } else {
            EXPECT_TRUE(answerBox(*program, L"TazuHereZip",
                                  L"ZIP format. Could not be converted to Unicode(UTF-8).\n\n" + item, driver::IconError));
            EXPECT_TRUE(runsTo(program, L"Backup failed!"));
            EXPECT_EQ(std::vector<std::wstring>{base + L".txt"}, namesIn(folder));
        }
        removeTree(item);
    }
}

TEST_F(ZipFailures, LibraryErrorNamesItsCodeAndLeavesNoArchive)
{
    ASSERT_TRUE(settings({{L"Lang", L"ja"}}));
    const std::wstring item = file(L"held.txt", "held by another program");
    // Held without any sharing, the item cannot be read by the library.
    HANDLE held = CreateFileW(item.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(kHereZip, inQuotes(item), &program));
    // The small centred result window may cover the icon of the narrower Japanese box: hide it.
    HWND result = findResultWindow(*program, kFirstWindowMs);
    ASSERT_TRUE(result);
    driver::clickChild(result, kHideId);
    ASSERT_TRUE(driver::waitUntil([&] { return !driver::isVisible(result); }, 5000));
    wchar_t expected[512];
    _snwprintf(expected, 512, L"ZIP\x5f62\x5f0f\x306b\x5727\x7e2e\x3067\x304d\x307e\x305b\x3093\x3067\x3057\x305f\x3002"
               L"\n7-zip ErrorCD:0x%08x\n\n%s", static_cast<unsigned>(ARCHIVER_ERROR_ITEM_READ), item.c_str());
    expected[511] = L'\0';
    EXPECT_TRUE(answerBox(*program, L"TazuHereZip", expected, driver::IconError));
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 30000));
    EXPECT_TRUE(endsWith(*program, 0, 15000));
    CloseHandle(held);
    EXPECT_EQ(std::vector<std::wstring>{L"held.txt"}, namesIn(sandbox.data));
}

TEST_F(ZipFailures, WithoutTheLibraryTheProgramDoesNotStart)
{
    ASSERT_TRUE(settings());
    ASSERT_TRUE(DeleteFileW((sandbox.programFolder + kArchiverFile).c_str()));
    const std::wstring item = file(L"report.txt", "report");
    for (const wchar_t* programFile : {kHereZip, kThereZip}) {
        SCOPED_TRACE(narrow(programFile));
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(programFile, inQuotes(item), &program));
        // The system loader refuses the program before any of its code runs (Wine reports this on
        // the console; Windows shows its own message first).
        DWORD exitCode = 0;
        ASSERT_TRUE(driver::waitForExit(*program, 30000, &exitCode));
        EXPECT_EQ(static_cast<DWORD>(0xC0000135), exitCode);  // STATUS_DLL_NOT_FOUND
    }
    EXPECT_EQ(std::vector<std::wstring>{L"report.txt"}, namesIn(sandbox.data));
}

}  // namespace e2e
