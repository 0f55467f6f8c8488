// TazuHere end to end, what lands on disk: each kind of item is copied beside itself under its
// time-stamped name with its bytes (a folder with its whole tree), and the item stays as it was.
#include "here_fixture.h"

namespace e2e {
namespace {

struct ItemCase {
    const char* label;
    const wchar_t* relative;   // below the data folder
    bool folder;
    const wchar_t* base;       // expected name parts of the backup
    const wchar_t* extension;
};

const ItemCase kItems[] = {
    {"file", L"report.txt", false, L"report", L".txt"},
    {"folder with a tree", L"Project.old", true, L"Project.old", L""},
    {"dotfile", L".profile", false, L"", L".profile"},
    {"name without extension", L"README", false, L"README", L""},
    {"double extension", L"archive.tar.gz", false, L"archive.tar", L".gz"},
    {"name with blanks", L"my notes.txt", false, L"my notes", L".txt"},
};

// The backup of one item: the single new entry of the folder that fits the name pattern.
::testing::AssertionResult findBackup(const std::wstring& folder, const ItemCase& item, std::wstring* backup)
{
    std::vector<std::wstring> matches;
    for (const std::wstring& name : namesIn(folder)) {
        if (isTimeStampedName(name, item.base, item.extension)) matches.push_back(name);
    }
    if (matches.size() != 1)
        return ::testing::AssertionFailure() << matches.size() << " backups of " << narrow(item.relative) << " in " << narrow(folder);
    *backup = folder + matches[0];
    return ::testing::AssertionSuccess();
}

class HereCopies : public HereTest {};

TEST_F(HereCopies, CopiesEachKindOfItemBesideItself)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring tail;
    for (const ItemCase& item : kItems) {
        if (item.folder) {
            file(std::wstring(item.relative) + L"\\top.txt", "top level");
            file(std::wstring(item.relative) + L"\\sub\\deep\\leaf.bin", std::string("\0\1\2\3", 4));
            makeFolders(sandbox.data + item.relative + L"\\empty");
        } else {
            file(item.relative, std::string("bytes of ") + narrow(item.relative));
        }
        tail += (tail.empty() ? L"" : L" ") + inQuotes(sandbox.data + item.relative);
    }
    auto before = snapshotTree(sandbox.data);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(tail, &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 15000));
    EXPECT_TRUE(endsWith(*program, 0, 10000));

    for (const ItemCase& item : kItems) {
        SCOPED_TRACE(item.label);
        std::wstring original = sandbox.data + item.relative;
        std::wstring backup;
        ASSERT_TRUE(findBackup(sandbox.data, item, &backup));
        if (item.folder) {
            EXPECT_TRUE(sameTree(original, backup));
        } else {
            std::string expected, copied;
            ASSERT_TRUE(readFile(original, &expected));
            ASSERT_TRUE(readFile(backup, &copied));
            EXPECT_EQ(expected, copied);
        }
    }
    // The items themselves are untouched; only the backups are new.
    auto after = snapshotTree(sandbox.data);
    for (const auto& entry : before) {
        SCOPED_TRACE(narrow(entry.first));
        ASSERT_TRUE(after.count(entry.first));
        EXPECT_EQ(entry.second, after[entry.first]);
    }
}

// "1234567" as the result window writes a byte count: "1,234,567".
std::wstring grouped(unsigned long long value)
{
    std::wstring digits = std::to_wstring(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += L',';
        out += digits[i];
    }
    return out;
}

TEST_F(HereCopies, WithVerifyEveryKindOfItemIsReadBackAndTheWindowSaysSo)
{
    ASSERT_TRUE(settings(L"ja", 0, {{L"Verify", L"1"}}));
    const std::wstring shiryo = L"\x8cc7\x6599";                            // 資料
    const std::wstring report = file(L"\x5831\x544a.txt", "quarterly");      // 報告.txt
    const std::string large(5 * 1024 * 1024 + 3, 'L');
    file(shiryo + L"\\\x7a7a.txt", "");                                    // 空.txt
    file(shiryo + L"\\large.bin", large);
    file(shiryo + L"\\sub\\\x30e1\x30e2.txt", "memo");                    // メモ.txt
    makeFolders(sandbox.data + shiryo + L"\\empty");

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(report) + L" " + inQuotes(sandbox.data + shiryo), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    ASSERT_TRUE(waitForStatus(result, L"Success.", 30000));
    // 報告.txt (検証済み) 資料 (検証済み)
    EXPECT_EQ(L"[\x5831\x544a.txt (\x691c\x8a3c\x6e08\x307f) " + shiryo + L" (\x691c\x8a3c\x6e08\x307f)]",
              driver::controlText(result, kNamesId));
    HWND tooltip = driver::tooltipOf(program->id);
    ASSERT_TRUE(tooltip);
    // 〜: 読み戻して比較し、N バイトが一致しました。
    const std::wstring sentence = L": \x8aad\x307f\x623b\x3057\x3066\x6bd4\x8f03\x3057\x3001";
    const std::wstring ending = L" \x30d0\x30a4\x30c8\x304c\x4e00\x81f4\x3057\x307e\x3057\x305f\x3002";
    EXPECT_EQ(report + L"\r\n\x5831\x544a.txt" + sentence + L"9" + ending + L"\r\n" + shiryo + sentence +
                  grouped(large.size() + 4) + ending,
              driver::toolText(program->id, tooltip, result, 1));
    driver::clickChild(result, kCloseId);
    EXPECT_TRUE(endsWith(*program, 0, 10000));

    std::wstring stamp;
    std::wstring folderCopy, fileCopy;
    for (const std::wstring& name : namesIn(sandbox.data)) {
        if (isTimeStampedName(name, shiryo, L"")) folderCopy = sandbox.data + name;
        if (isTimeStampedName(name, L"\x5831\x544a", L".txt")) fileCopy = sandbox.data + name;
    }
    ASSERT_FALSE(folderCopy.empty());
    EXPECT_TRUE(sameTree(sandbox.data + shiryo, folderCopy));
    std::string copied;
    ASSERT_TRUE(readFile(fileCopy, &copied));
    EXPECT_EQ("quarterly", copied);
}

TEST_F(HereCopies, ACopyTheShellRefusesLeavesNothingAndFailsTheRun)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring locked = file(L"locked.txt", "held open by another program");
    std::wstring fine = file(L"fine.txt", "fine");
    // Held open without sharing, the file cannot be read by the shell's copy.
    HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);

    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(locked) + L" " + inQuotes(fine), &program));
    HWND result = findResultWindow(*program);
    EXPECT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 15000));
    CloseHandle(lock);
    // The program shows no message of its own for a refused copy.
    EXPECT_EQ(nullptr, driver::findMessageBox(program->id, 0));
    EXPECT_TRUE(endsWith(*program, 0, 8000));

    int lockedCopies = 0, fineCopies = 0;
    for (const std::wstring& name : namesIn(sandbox.data)) {
        if (isTimeStampedName(name, L"locked", L".txt")) ++lockedCopies;
        if (isTimeStampedName(name, L"fine", L".txt")) ++fineCopies;
    }
    EXPECT_EQ(0, lockedCopies);
    EXPECT_EQ(1, fineCopies);
}

TEST_F(HereCopies, FreeTextsWithPathCharactersAreRefusedBeforeAnyWork)
{
    // Hand-edited settings: "\..\..\esc" would put the copy two folders above the item, ":"
    // would write into a stream of the item's folder.
    struct Case {
        const char* label;
        const wchar_t* lang;
        const wchar_t* key;
        const wchar_t* text;
        std::wstring message;
    } cases[] = {
        {"leaves the item's folder", L"en", L"PrefixAft1", L"\\..\\..\\esc",
         L"The setting \"PrefixAft1\" holds characters that can not be used in a file name.\n"
         L"Please correct it in TazuSetting.\n\nNG : \\ \n\n\\..\\..\\esc"},
        {"names a stream", L"ja", L"PrefixBef1", L"x:y",
         L"\x8a2d\x5b9a\x300cPrefixBef1\x300d\x306b\x30d5\x30a1\x30a4\x30eb\x540d\x306b\x4f7f\x7528\x3067\x304d\x306a"
         L"\x3044\x6587\x5b57\x304c\x542b\x307e\x308c\x3066\x3044\x307e\x3059\x3002\n"
         L"TazuSetting\x3067\x4fee\x6b63\x3057\x3066\x304f\x3060\x3055\x3044\x3002\n\nNG : : \n\nx:y"},
    };
    std::wstring item = file(L"a\\b\\report.txt", "report");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(settings(c.lang, 1, {{c.key, c.text}}));
        auto before = snapshotTree(sandbox.root);

        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(item), &program));
        EXPECT_TRUE(answerMessageBox(*program, kHereTitle, c.message, driver::IconError, IDOK));
        HWND result = findResultWindow(*program);
        EXPECT_TRUE(result);
        EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 15000));
        EXPECT_TRUE(endsWith(*program, 0, 8000));
        // Nothing written anywhere: not beside the item, not above it.
        EXPECT_EQ(before, snapshotTree(sandbox.root));
    }
}

}  // namespace
}  // namespace e2e
