// The registration vocabulary as text: an installation's caption suffix and verb-key prefix,
// captions and program paths, the request and reply of the elevation hand-off, the verdicts of
// a registry check and removal, and TazuUAC's separators and access keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_table.h"
#include "context_menu.h"
#include "registration_exchange.h"
#include "request_processing.h"
#include "unit_support.h"

namespace {

std::wstring captionOf(int row, UiLanguage language)
{
    wchar_t caption[kMenuCaptionChars];
    composeCaption(row, language, caption, kMenuCaptionChars);
    return caption;
}

TEST(InstallationText, SuffixAndPrefixFollowTheFolderName)
{
    struct Case {
        const wchar_t* folder;
        const wchar_t* suffix;
        const wchar_t* prefix;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\TAZU\\", L"", L"tazu."},
        {L"C:\\Tools\\tazu", L"", L"tazu."},
        {L"C:\\Tools\\", L"_tools", L"tazu.tools."},
        {L"D:\\Apps\\tazu_beta\\", L"_beta", L"tazu.beta."},
        {L"D:\\Apps\\TazuBeta\\", L"_beta", L"tazu.beta."},
        {L"D:\\Backup Kit\\", L"_backup kit", L"tazu.backup kit."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.folder));
        ASSERT_EQ(0, setInstallation(c.folder, CallerSetting));
        EXPECT_EQ(std::wstring(c.suffix), g_installation.captionSuffix);
        EXPECT_EQ(std::wstring(c.prefix), g_installation.verbKeyPrefix);
        EXPECT_EQ(L'\\', g_installation.programFolder[wcslen(g_installation.programFolder) - 1]);
    }
}

TEST(InstallationText, CaptionsCarryTheSuffixInEitherLanguage)
{
    ASSERT_EQ(0, setInstallation(L"D:\\Apps\\tazu_beta\\", CallerSetting));
    EXPECT_EQ(L"TazuHere - Backup here_beta", captionOf(0, UiEnglish));
    // The menus use the table's spelling "Zip" for row 4, not the page label's "ZIP".
    EXPECT_EQ(L"TazuThereZip - 指定フォルダにZip形式でバックアップ_beta", captionOf(4, UiJapanese));
    wchar_t small[8];
    EXPECT_EQ(27, composeCaption(0, UiEnglish, small, 8)) << "the whole length, though the text is cut";
    EXPECT_EQ(std::wstring(L"TazuHer"), small);
    EXPECT_EQ(-1, composeCaption(5, UiEnglish, small, 8));
}

TEST(InstallationText, ProgramPathsLieInTheInstallationFolder)
{
    ASSERT_EQ(0, setInstallation(L"C:\\Tools\\Tazu", CallerSetting));
    wchar_t path[kPathChars];
    ASSERT_EQ(0, programPath(3, path, kPathChars));
    EXPECT_EQ(std::wstring(L"C:\\Tools\\Tazu\\TazuThere.exe"), path);

    // A folder of 246 characters leaves room for "TazuHere.exe" within 259, not for "TazuThereZip.exe".
    std::wstring deep = L"C:\\" + std::wstring(242, L'd') + L"\\";
    ASSERT_EQ(246u, deep.size());
    ASSERT_EQ(0, setInstallation(deep.c_str(), CallerSetting));
    EXPECT_EQ(0, programPath(0, path, kPathChars));
    EXPECT_EQ(-1, programPath(4, path, kPathChars));
    EXPECT_EQ(std::wstring(), path);
}

TEST(RequestText, ComposedFromLanguageAndPositions)
{
    struct Case {
        UiLanguage language;
        int positions[5];
        const wchar_t* expected;
    };
    const Case cases[] = {
        {UiEnglish, {2, 1, 1, 1, 0}, L"0 2 1 1 1 0"},
        {UiJapanese, {0, 0, 0, 0, 0}, L"1 0 0 0 0 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.expected));
        wchar_t text[kRequestChars];
        composeRegistrationRequest(c.language, c.positions, text, kRequestChars);
        EXPECT_EQ(std::wstring(c.expected), text);
    }
}

TEST(RequestText, AcceptsOnlyTheRequestsOwnForm)
{
    struct Case {
        const wchar_t* text;
        bool accepted;
        int language;
        int positions[5];
    };
    const Case cases[] = {
        {L"0 2 1 1 1 0", true, 0, {2, 1, 1, 1, 0}},
        {L"1 0 0 0 0 0", true, 1, {0, 0, 0, 0, 0}},
        {L"1", true, 1, {0, 0, 0, 0, 0}},            // missing positions are Off
        {L"0 2 2", true, 0, {2, 2, 0, 0, 0}},
        {L"  0   2 1 1 1 0  ", true, 0, {2, 1, 1, 1, 0}},
        {L"7 1 1 1 1 1", true, 7, {1, 1, 1, 1, 1}},  // any language number but 1 is English
        {L"0 2 1 1 1 0 2 9", true, 0, {2, 1, 1, 1, 0}},   // numbers after the sixth are ignored
        {L"", false, 0, {}},
        {L"   ", false, 0, {}},
        {L"0 2 1 1 1 x", false, 0, {}},
        {L"0 2 1 1 1 0x1", false, 0, {}},
        {L"0 3 1 1 1 0", false, 0, {}},
        {L"0 -1 1 1 1 0", false, 0, {}},
        {L"+0 2 1 1 1 0", false, 0, {}},
        {L"0\t2 1 1 1 0", false, 0, {}},
        {L"0 2 1 1 1 0 & calc.exe", false, 0, {}},
        {L"\"0 2 1 1 1 0\"", false, 0, {}},
        {L"99999999999 1 1 1 1 1", false, 0, {}},
        {L"-", false, 0, {}},
        {L"0 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1", true, 0, {1, 1, 1, 1, 1}},   // 31 characters
        {L"0 1 1 1 1 1 1 1 1 1 1 1 1 1 1  1", false, 0, {}},              // 32 characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.text));
        RegistrationRequest request = {42, {42, 42, 42, 42, 42}};
        int result = parseRegistrationRequest(c.text, &request);
        if (!c.accepted) {
            EXPECT_EQ(-1, result);
            EXPECT_EQ(42, request.languageFlag) << "a refused request leaves nothing behind";
            continue;
        }
        ASSERT_EQ(0, result);
        EXPECT_EQ(c.language, request.languageFlag);
        for (int row = 0; row < 5; ++row) EXPECT_EQ(c.positions[row], request.positions[row]) << "row " << row;
    }
    EXPECT_EQ(UiJapanese, requestLanguage(1));
    EXPECT_EQ(UiEnglish, requestLanguage(0));
    EXPECT_EQ(UiEnglish, requestLanguage(-1));
}

TEST(ReplyText, ComposedAndReadBack)
{
    RegistrationReply reply = {{1, 4, 0, 0, 2}, {0, 0, 0, 0, 2011}, {0, 0, 0, 0, 5}};
    wchar_t text[kRegistrationBlockChars];
    composeRegistrationReply(reply, text, kRegistrationBlockChars);
    EXPECT_EQ(std::wstring(L"1 4 0 0 2 0 0 0 0 2011 0 0 0 0 5"), text);

    // A code of the system's high range travels as a negative number and comes back whole.
    reply.codes[2] = static_cast<int>(0x80070005u);
    composeRegistrationReply(reply, text, kRegistrationBlockChars);
    RegistrationReply back;
    parseRegistrationReply(text, &back);
    EXPECT_EQ(0x80070005u, static_cast<DWORD>(back.codes[2]));
    EXPECT_EQ(2011, back.numbers[4]);
    EXPECT_EQ(4, back.results[1]);
}

TEST(ReplyText, ReadAsFarAsItGoes)
{
    struct Case {
        const wchar_t* text;
        int results[5];
        int numbers[5];
        int codes[5];
    };
    const Case cases[] = {
        {L"", {}, {}, {}},
        {L"1 4 0 0 2 0 0 0 0 2011 0 0 0 0 5", {1, 4, 0, 0, 2}, {0, 0, 0, 0, 2011}, {0, 0, 0, 0, 5}},
        {L"2 2", {2, 2, 0, 0, 0}, {}, {}},
        {L"1 x 12abc -3 +4", {1, 0, 12, -3, 4}, {}, {}},
        {L"1  4   1", {1, 4, 1, 0, 0}, {}, {}},
        {L"1 1 1 1 1 0 0 0 0 0 0 0 0 0 7 99", {1, 1, 1, 1, 1}, {}, {0, 0, 0, 0, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.text));
        RegistrationReply reply;
        parseRegistrationReply(c.text, &reply);
        for (int row = 0; row < 5; ++row) {
            EXPECT_EQ(c.results[row], reply.results[row]) << "result of row " << row;
            EXPECT_EQ(c.numbers[row], reply.numbers[row]) << "number of row " << row;
            EXPECT_EQ(c.codes[row], reply.codes[row]) << "code of row " << row;
        }
    }
}

// The order in which a reader touches a block laid over two guard pages: the first character
// ends the first page, the rest fills the second. Each first touch of a page is recorded and
// then allowed (the system lifts a page's guard as it reports it).
struct GuardedBlock {
    static GuardedBlock* watched;
    BYTE* pages = nullptr;
    DWORD pageSize = 0;
    wchar_t* view = nullptr;
    std::vector<int> touched;   // page numbers in the order of their first touch
    PVOID handler = nullptr;

    explicit GuardedBlock(const std::wstring& text)
    {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        pageSize = system.dwPageSize;
        pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * pageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        view = reinterpret_cast<wchar_t*>(pages + pageSize - sizeof(wchar_t));
        ZeroMemory(view, kRegistrationBlockBytes);
        CopyMemory(view, text.c_str(), text.size() * sizeof(wchar_t));
        DWORD old = 0;
        VirtualProtect(pages, 2 * pageSize, PAGE_READWRITE | PAGE_GUARD, &old);
        watched = this;
        handler = AddVectoredExceptionHandler(1, onGuard);
    }
    ~GuardedBlock()
    {
        RemoveVectoredExceptionHandler(handler);
        watched = nullptr;
        VirtualFree(pages, 0, MEM_RELEASE);
    }

    static LONG CALLBACK onGuard(EXCEPTION_POINTERS* exception)
    {
        const EXCEPTION_RECORD* record = exception->ExceptionRecord;
        if (!watched || record->ExceptionCode != STATUS_GUARD_PAGE_VIOLATION || record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        BYTE* address = reinterpret_cast<BYTE*>(record->ExceptionInformation[1]);
        if (address < watched->pages || address >= watched->pages + 2 * watched->pageSize)
            return EXCEPTION_CONTINUE_SEARCH;
        watched->touched.push_back(address < watched->pages + watched->pageSize ? 0 : 1);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
};
GuardedBlock* GuardedBlock::watched = nullptr;

// The writer puts the reply's first character in last, so the reader takes it first and reads
// nothing more while it is zero: a reply is never seen half-written.
TEST(ReplyBlockReading, FirstCharacterFirstAndAloneWhileEmpty)
{
    struct Case {
        const char* name;
        std::wstring block;
        std::wstring read;
        std::vector<int> touched;
    };
    const Case cases[] = {
        {"nothing arrived", L"", L"", {0}},
        {"rest written, first character not yet", std::wstring(1, L'\0') + L" 0 0 0 0 0 0 0 0 0 0 0 0 0 0", L"", {0}},
        {"whole reply", L"1 4 0 0 2 0 0 0 0 2011 0 0 0 0 5", L"1 4 0 0 2 0 0 0 0 2011 0 0 0 0 5", {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t text[kRegistrationBlockChars];
        wmemset(text, L'#', kRegistrationBlockChars);
        std::vector<int> touched;
        {
            GuardedBlock block(c.block);
            ASSERT_TRUE(block.pages);
            readRegistrationBlockText(block.view, text);
            touched = block.touched;
        }
        EXPECT_EQ(c.read, std::wstring(text));
        EXPECT_EQ(c.touched, touched);
    }
}

TEST(RegistryVerdict, CheckOfBothVariants)
{
    const LONG ok = ERROR_SUCCESS, missing = ERROR_FILE_NOT_FOUND, denied = ERROR_ACCESS_DENIED, bad = 1009;
    struct Case {
        const char* name;
        CheckOpenCodes codes;   // legacy command, current command, legacy verb, current verb
        bool setting;
        int result;
        int point;
        LONG code;
    };
    const Case cases[] = {
        {"current entry", {missing, ok, missing, ok}, false, 0, 0, ok},
        {"legacy entry", {ok, missing, ok, missing}, false, 0, 0, ok},
        {"nothing", {missing, missing, missing, missing}, false, 4, 1, missing},
        {"both denied, settings", {denied, denied, denied, denied}, true, 3, 1, denied},
        {"both denied, helper", {denied, denied, denied, denied}, false, -1, 1, denied},
        {"mixed failures", {missing, bad, missing, missing}, true, -1, 1, bad},
        {"command keys without verb keys", {ok, missing, missing, missing}, false, 4, 2, missing},
        {"verb keys denied", {ok, ok, denied, denied}, true, 3, 2, denied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CheckVerdict verdict = judgeCheck(c.codes, c.setting);
        EXPECT_EQ(c.result, verdict.result);
        EXPECT_EQ(c.point, verdict.failurePoint);
        EXPECT_EQ(c.code, verdict.code);
    }
}

TEST(RegistryVerdict, RemovalOfBothVariants)
{
    const LONG ok = ERROR_SUCCESS, missing = ERROR_FILE_NOT_FOUND, denied = ERROR_ACCESS_DENIED, bad = 1009;
    const VariantRemoval gone = {4, 0, missing, ok};
    const VariantRemoval removed = {0, 0, ok, ok};
    struct Case {
        const char* name;
        VariantRemoval legacy;
        VariantRemoval current;
        bool quiet;
        int result;
        int point;
        LONG code;
    };
    const Case cases[] = {
        {"current removed", gone, removed, false, 0, 0, ok},
        {"legacy removed", removed, gone, false, 0, 0, ok},
        {"both removed", removed, removed, false, 0, 0, ok},
        {"nothing there", gone, gone, false, 4, 1, missing},
        {"nothing there, quiet", gone, gone, true, 0, 0, ok},
        // The step that stopped, with its own code: never an earlier step's success.
        {"current verb key not deleted", gone, {-1, 5, denied, ok}, false, -1, 5, denied},
        {"legacy stopped, current removed", {-1, 2, bad, ok}, removed, false, -1, 2, bad},
        {"both stopped: the current one's step", {-1, 3, bad, ok}, {-1, 4, denied, ok}, false, -1, 4, denied},
        {"stopped, quiet", gone, {-1, 5, denied, ok}, true, 0, 0, ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemovalVerdict verdict = judgeRemoval(c.legacy, c.current, c.quiet);
        EXPECT_EQ(c.result, verdict.result);
        EXPECT_EQ(c.point, verdict.failurePoint);
        EXPECT_EQ(c.code, verdict.code);
    }
}

TEST(MenuPlan, SeparatorsAndAccessKeysOfTheRowsAtOn)
{
    struct Case {
        const char* name;
        int positions[5];
        int keys[5];
        int before;   // row with the separator before, -1 none
        int after;
    };
    const Case cases[] = {
        {"four rows", {2, 2, 1, 2, 2}, {1, 2, 0, 3, 4}, 0, 4},
        {"one row gets both", {1, 0, 2, 1, 0}, {0, 0, 1, 0, 0}, 2, 2},
        {"middle rows", {0, 2, 1, 2, 1}, {0, 1, 0, 2, 0}, 1, 3},
        {"none at On", {0, 1, 0, 1, 0}, {0, 0, 0, 0, 0}, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MenuRowPlan plans[5];
        planMenuRows(c.positions, plans);
        for (int row = 0; row < 5; ++row) {
            SCOPED_TRACE(row);
            EXPECT_EQ(c.keys[row], plans[row].accessKey);
            EXPECT_EQ(row == c.before, plans[row].separatorBefore);
            EXPECT_EQ(row == c.after, plans[row].separatorAfter);
        }
    }
}

}  // namespace
