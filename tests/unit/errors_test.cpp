// Error texts, the message table, the error trail and the debug log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors.h"
#include "unit_support.h"

namespace {

std::wstring systemText(DWORD code, UiLanguage language)
{
    wchar_t out[1024];
    SystemErrorText(code, language, out, 1024);
    return out;
}

std::wstring codeText(DWORD code, UiLanguage language)
{
    wchar_t out[1024];
    ErrorCodeText(code, language, out, 1024);
    return out;
}

// "0x" + eight lower-case hex digits + ":" + a text that is not empty.
::testing::AssertionResult isCodeTextWithSystemWords(const std::wstring& text, const wchar_t* prefix)
{
    std::wstring want = prefix;
    if (text.compare(0, want.size(), want) != 0)
        return ::testing::AssertionFailure() << "\"" << utf8(text) << "\" does not begin with "
                                             << utf8(want);
    if (text.size() == want.size())
        return ::testing::AssertionFailure() << "no system text after " << utf8(want);
    return ::testing::AssertionSuccess();
}

std::wstring trailFailure(const ErrorTrail& trail, UiLanguage language)
{
    wchar_t out[2048];
    formatTrailFailure(&trail, language, out, 2048);
    return out;
}

}  // namespace

TEST(ErrorText, SystemTextOfAccessDenied)
{
    std::wstring text = systemText(5, UiEnglish);
    EXPECT_TRUE(isCodeTextWithSystemWords(text, L"0x00000005:"));
    EXPECT_NE(std::wstring::npos, text.find(L"ccess")) << utf8(text);
    // The system's text is used as delivered, line break included.
    EXPECT_EQ(L'\n', text.back());
    EXPECT_TRUE(isCodeTextWithSystemWords(systemText(5, UiJapanese), L"0x00000005:"));
}

TEST(ErrorText, JapaneseUsesTheUsersLanguage)
{
    typedef LANGID(WINAPI * GetUiLanguageFn)();
    auto getUiLanguage = reinterpret_cast<GetUiLanguageFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetUserDefaultUILanguage")));
    if (!getUiLanguage || getUiLanguage() != 1041)
        GTEST_SKIP() << "the user's interface language is not Japanese here (Wine's test prefix "
                        "runs in English), so the system text of the user's language is English";
    std::wstring text = systemText(5, UiJapanese);
    EXPECT_NE(std::wstring::npos, text.find(L"アクセス")) << utf8(text);
}

TEST(ErrorText, SystemTextOfZeroAndOfUnknownCodes)
{
    EXPECT_EQ(L"", systemText(0, UiEnglish));
    EXPECT_EQ(L"", systemText(0, UiJapanese));
    // No text for the code: the code text ends after the colon.
    EXPECT_EQ(L"0x2000abcd:", systemText(0x2000ABCD, UiEnglish));
}

TEST(ErrorText, SystemTextIsCutToItsBuffer)
{
    wchar_t out[8];
    wmemset(out, L'#', 8);
    SystemErrorText(5, UiEnglish, out, 6);
    EXPECT_STREQ(L"0x000", out);
    EXPECT_EQ(L'#', out[6]);
}

TEST(ErrorText, FolderCodesHaveTextsOfTheirOwn)
{
    struct Row { DWORD code; const wchar_t* english; const wchar_t* japanese; };
    const Row rows[] = {
        {3, L"0x00000003:The system cannot find the path specified.",
            L"0x00000003:指定されたパスが見つかりません。"},
        {80, L"0x00000050:The file exists.", L"0x00000050:ファイルは存在しています。"},
        {161, L"0x000000a1:The specified path is invalid.", L"0x000000a1:指定されたパスは無効です。"},
        {183, L"0x000000b7:Cannot create a file when that file already exists.",
              L"0x000000b7:既に存在しています。"},
        {206, L"0x000000ce:The filename or extension is too long",
              L"0x000000ce:ファイル名または拡張子が長すぎます。"},
        {1223, L"0x000004c7:The operation was canceled by the user.",
               L"0x000004c7:キャンセルされました。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(row.english, codeText(row.code, UiEnglish));
        EXPECT_EQ(row.japanese, codeText(row.code, UiJapanese));
    }
    EXPECT_EQ(L"", codeText(0, UiJapanese));
    EXPECT_EQ(systemText(5, UiEnglish), codeText(5, UiEnglish));
}

TEST(MessageTable, EveryNumberHasItsText)
{
    struct Group { std::vector<unsigned> numbers; const wchar_t* english; const wchar_t* japanese; };
    const Group groups[] = {
        {{1000, 1003, 1006, 1010}, L"Failed to get the registration destination of the path.",
         L"登録先のパスの取得に失敗しました。"},
        {{1013, 2005}, L"Tazu program does not exist.", L"Tazuプログラムが存在しません。"},
        {{1020, 2001, 2010}, L"The folder name where Tazu is stored is too long.",
         L"Tazuが格納されているフォルダ名が長すぎます。"},
        {{1021, 1023, 1026, 1029, 1032, 1035}, L"Failed to create a shortcut.",
         L"ショートカットの作成に失敗しました。"},
        {{1040, 1046}, L"Failed to delete the shortcut.", L"ショートカットの削除に失敗しました。"},
        {{1050}, L"Failed to get the shortcut of information.",
         L"ショートカットの情報の取得に失敗しました。"},
        {{1053, 1056, 1059, 1062, 1065}, L"Failed to get the shortcut of  information.",
         L"ショートカットの情報の取得に失敗しました。"},
        {{1070, 1073, 1076, 1080, 1083, 1086, 1090, 1093, 1096, 1100, 1103, 1106},
         L"Failed to the context menu of the update.",
         L"コンテキストメニュー(レジストリ)の更新に失敗しました。"},
        {{2000}, L"Please start TazuUAC with administrator's privilege.",
         L"TazuUACは管理者権限で起動してください。"},
        {{2011, 2012, 2013, 2015, 2016, 2018, 2019, 2021, 2030},
         L"Failed to register the context menu(registry).",
         L"コンテキストメニュー(レジストリ)の登録に失敗しました。"},
        {{2031, 2032, 2033}, L"Failed to delete the context menu(registry).",
         L"コンテキストメニュー(レジストリ)の削除に失敗しました。"},
        {{2040}, L"TazuUAC changed nothing: this Windows cannot keep it from loading libraries from its folder.",
         L"このWindowsではTazuUACのライブラリの読み込み先を制限できないため、何も変更していません。"},
        {{2050, 2053, 2056, 2060, 2063}, L"Failed to update the context menu(registry).",
         L"コンテキストメニュー(レジストリ)の更新に失敗しました。"},
        {{0}, L"", L""},
    };
    for (const Group& group : groups) {
        for (unsigned number : group.numbers) {
            SCOPED_TRACE(number);
            const wchar_t* english = messageTableText(number, UiEnglish);
            const wchar_t* japanese = messageTableText(number, UiJapanese);
            ASSERT_NE(nullptr, english);
            ASSERT_NE(nullptr, japanese);
            EXPECT_STREQ(group.english, english);
            EXPECT_STREQ(group.japanese, japanese);
        }
    }
}

TEST(MessageTable, NumbersBetweenEntriesHaveNoText)
{
    const unsigned absent[] = {1, 999, 1001, 1011, 1047, 1107, 1999, 2002, 2064, 5000, 0xFFFFFFFFu};
    for (unsigned number : absent) {
        SCOPED_TRACE(number);
        EXPECT_EQ(nullptr, messageTableText(number, UiEnglish));
        EXPECT_EQ(nullptr, messageTableText(number, UiJapanese));
    }
}

TEST(ErrorTrailRecord, FirstNumberedFailureIsKept)
{
    ErrorTrail trail;
    trailClear(&trail);
    trailRecord(&trail, L"GSP1", 0, 5);
    EXPECT_EQ(0u, trail.keptNumber);
    EXPECT_EQ(5u, trail.keptCode);
    trailRecord(&trail, L"GSP2", 1050, 0);
    trailRecord(&trail, L"GSP3", 1053, 2);
    EXPECT_EQ(1050u, trail.keptNumber);
    EXPECT_EQ(0u, trail.keptCode);
    EXPECT_STREQ(L"ID:GSP1 CD:0x00000005\nID:GSP2 CD:0x00000000\nID:GSP3 CD:0x00000002\n", trail.text);

    trailClear(&trail);
    EXPECT_STREQ(L"", trail.text);
    EXPECT_EQ(0u, trail.keptNumber);
    EXPECT_EQ(0u, trail.keptCode);
}

TEST(ErrorTrailRecord, FullTrailDropsNewLinesButKeepsCounting)
{
    // Room beyond the trail must stay untouched however many failures a poll records.
    struct Guarded { ErrorTrail trail; wchar_t guard[64]; } guarded;
    wmemset(guarded.guard, L'#', 64);
    trailClear(&guarded.trail);
    const std::wstring line = L"ID:UAC-SSM1 CD:0x00000005\n";
    size_t recorded = 0;
    for (int i = 0; i < 900; ++i) {
        trailRecord(&guarded.trail, L"UAC-SSM1", 0, 5);
        if ((recorded + 1) * line.size() < kErrorTrailChars) ++recorded;
        ASSERT_LT(wcslen(guarded.trail.text), kErrorTrailChars);
    }
    std::wstring expected;
    for (size_t i = 0; i < recorded; ++i) expected += line;
    EXPECT_EQ(expected, std::wstring(guarded.trail.text));
    for (wchar_t c : guarded.guard) ASSERT_EQ(L'#', c);

    // The kept pair still follows the calls while nothing is kept.
    trailRecord(&guarded.trail, L"MP3", 1106, 1223);
    trailRecord(&guarded.trail, L"MP4", 1103, 2);
    EXPECT_EQ(1106u, guarded.trail.keptNumber);
    EXPECT_EQ(1223u, guarded.trail.keptCode);
    EXPECT_EQ(expected, std::wstring(guarded.trail.text));
}

TEST(ErrorTrailRecord, ExactFitIsKept)
{
    ErrorTrail trail;
    trailClear(&trail);
    // "ID:" + id + " CD:0x00000000\n" is 18 characters plus the identifier: fill to 1023 exactly.
    const std::wstring id(1023 - 18, L'X');
    trailRecord(&trail, id.c_str(), 0, 0);
    EXPECT_EQ(1023u, wcslen(trail.text));
    trailRecord(&trail, L"A", 0, 0);
    EXPECT_EQ(1023u, wcslen(trail.text));
}

TEST(ErrorTrailShown, NumberTextAndCode)
{
    ErrorTrail trail;
    trailClear(&trail);
    trailRecord(&trail, L"GSP1", 0, 5);
    trailRecord(&trail, L"GSP2", 1050, 0);
    EXPECT_EQ(L"CD:1050 Failed to get the shortcut of information.", trailFailure(trail, UiEnglish));
    EXPECT_EQ(L"CD:1050 ショートカットの情報の取得に失敗しました。", trailFailure(trail, UiJapanese));

    trailClear(&trail);
    trailRecord(&trail, L"MP2", 1103, 5);
    EXPECT_EQ(L"CD:1103 Failed to the context menu of the update. *" + systemText(5, UiEnglish),
              trailFailure(trail, UiEnglish));

    trailClear(&trail);
    trailRecord(&trail, L"X1", 1234, 1223);
    EXPECT_EQ(L"CD:1234 Error has occurred. *" + systemText(1223, UiEnglish),
              trailFailure(trail, UiEnglish));
    EXPECT_EQ(0u, trailFailure(trail, UiJapanese).find(L"CD:1234 エラーが発生しました。 *0x000004c7:"));

    // Number 0 has an entry, but with empty texts: it reads like a number without one.
    trailClear(&trail);
    EXPECT_EQ(L"CD:0 Error has occurred.", trailFailure(trail, UiEnglish));
    EXPECT_EQ(L"CD:0 エラーが発生しました。", trailFailure(trail, UiJapanese));
}

TEST(DebugLog, NewLogStartsWithOneByteOrderMark)
{
    TempFolder temp;
    const std::wstring log = temp / L"tazu_debug.log";
    appendDebugLog(log.c_str(), L"ID:MP1 CD:0x00000005\n");
    appendDebugLog(log.c_str(), L"ID:UAC-MP3 CD:0x00000000\r\n日本語");
    std::string bytes = readBytes(log);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(&text[0], bytes.data() + 2, text.size() * 2);
    EXPECT_EQ(std::wstring::npos, text.find(L'\xFEFF')) << "a second mark";
    EXPECT_EQ(L"ID:MP1 CD:0x00000005\r\n\r\nID:UAC-MP3 CD:0x00000000\r\n日本語\r\n", text);
}

TEST(DebugLog, ExistingLogIsAppendedAndAnEmptyOneGetsTheMark)
{
    TempFolder temp;
    const std::wstring log = temp / L"tazu_debug.log";
    ASSERT_TRUE(writeUtf16File(log, L"old\r\n"));
    appendDebugLog(log.c_str(), L"new");
    EXPECT_EQ(L"old\r\nnew\r\n", readUtf16File(log));
    EXPECT_EQ(2u + 2 * 10, readBytes(log).size());

    const std::wstring empty = temp / L"empty.log";
    ASSERT_TRUE(writeEmptyFile(empty));
    appendDebugLog(empty.c_str(), L"x");
    EXPECT_EQ(L"x\r\n", readUtf16File(empty));
}

// Wine shows no link as a reparse point: these looks add the mark to what the system says.
DWORD WINAPI attributesOfALink(LPCWSTR path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? attributes : attributes | FILE_ATTRIBUTE_REPARSE_POINT;
}

BOOL WINAPI informationOfALink(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information)
{
    if (!GetFileInformationByHandle(file, information)) return FALSE;
    information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return TRUE;
}

struct LogLooks {
    LogLooks(DWORD(WINAPI* path)(LPCWSTR), BOOL(WINAPI* file)(HANDLE, LPBY_HANDLE_FILE_INFORMATION))
    {
        g_logPathAttributes = path;
        g_logFileInformation = file;
    }
    ~LogLooks()
    {
        g_logPathAttributes = GetFileAttributesW;
        g_logFileInformation = GetFileInformationByHandle;
    }
};

// An elevated TazuUAC writes the log into a folder the user may write to: a link in the log's
// place must not lead the write to another file. A hard link is real under Wine; a reparse point
// (a symbolic link or a junction) is shown through the seams, once as the path looks before
// opening and once as the file looks after it (a link put there in between).
TEST(DebugLog, ALinkInTheLogsPlaceGetsNothing)
{
    struct Case {
        const char* name;
        bool hardLink;
        DWORD(WINAPI* path)(LPCWSTR);
        BOOL(WINAPI* file)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
    };
    const Case cases[] = {
        {"the path is a reparse point", false, attributesOfALink, GetFileInformationByHandle},
        {"a reparse point is found once opened", false, GetFileAttributesW, informationOfALink},
        {"a second name of another file", true, GetFileAttributesW, GetFileInformationByHandle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const std::wstring elsewhere = temp / L"elsewhere.txt";
        const std::wstring log = temp / L"tazu_debug.log";
        ASSERT_TRUE(writeBytes(elsewhere, "precious"));
        if (c.hardLink)
            ASSERT_TRUE(CreateHardLinkW(log.c_str(), elsewhere.c_str(), nullptr));
        else
            ASSERT_TRUE(writeBytes(log, "precious"));
        {
            LogLooks looks(c.path, c.file);
            appendDebugLog(log.c_str(), L"ID:UAC-MP3 CD:0x00000000");
        }
        EXPECT_EQ("precious", readBytes(elsewhere));
        EXPECT_EQ("precious", readBytes(log));
    }
}

// An elevated program writes its log only where its own image lies: a link in its folder's path
// could otherwise lead an elevated write into any folder. Here the test program's folder stands
// for the program's; a log elsewhere gets nothing, and is not even created.
TEST(DebugLog, AnElevatedProgramsLogStaysInItsOwnFolder)
{
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring own(self);
    own = own.substr(0, own.find_last_of(L'\\') + 1) + L"vantrel_log_" + std::to_wstring(GetCurrentProcessId()) + L".log";
    TempFolder temp;
    const std::wstring existing = temp / L"tazu_debug.log";
    ASSERT_TRUE(writeUtf16File(existing, L"old\r\n"));
    const std::wstring made = temp / L"new\\";
    ASSERT_TRUE(makeDirectory(made));

    ASSERT_EQ(0, keepDebugLogInProgramFolder());
    appendDebugLog(own.c_str(), L"kept");
    appendDebugLog(existing.c_str(), L"elsewhere");
    appendDebugLog((made + L"tazu_debug.log").c_str(), L"elsewhere");
    allowDebugLogAnywhere();

    EXPECT_EQ(L"kept\r\n", readUtf16File(own));
    EXPECT_TRUE(DeleteFileW(own.c_str()));
    EXPECT_EQ(L"old\r\n", readUtf16File(existing));
    EXPECT_FALSE(fileExists(made + L"tazu_debug.log"));
    // Without the check (programs that are not elevated) the log goes where its path says.
    appendDebugLog((made + L"tazu_debug.log").c_str(), L"anywhere");
    EXPECT_EQ(L"anywhere\r\n", readUtf16File(made + L"tazu_debug.log"));
}

TEST(DebugLog, UnopenableLogIsSilent)
{
    TempFolder temp;
    const std::wstring log = temp / L"missing\\tazu_debug.log";
    appendDebugLog(log.c_str(), L"text");
    EXPECT_FALSE(fileExists(temp / L"missing"));
    appendDebugLog(L"", L"text");
}
