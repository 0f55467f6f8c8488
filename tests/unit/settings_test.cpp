// Settings file: folder key, location, reading with defaults, the re-created UTF-16 file and the
// start-up sequence of a command program, all on real files.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "errors.h"
#include "settings.h"
#include "unit_support.h"

namespace {

std::unique_ptr<SettingsRecord> newRecord()
{
    return std::unique_ptr<SettingsRecord>(new SettingsRecord());
}

std::unique_ptr<SettingsRecord> readRecord(const std::wstring& iniPath)
{
    auto record = newRecord();
    EXPECT_EQ(0, readSettingsFile(iniPath.c_str(), record.get()));
    return record;
}

std::wstring profileText(const std::wstring& iniPath, const wchar_t* key)
{
    wchar_t value[1024];
    GetPrivateProfileStringW(L"Env", key, L"<missing>", value, 1024, iniPath.c_str());
    return value;
}

// Keys of the "Env" lines in file order.
std::vector<std::wstring> keysInFile(const std::wstring& iniPath)
{
    std::wstringstream lines(readUtf16File(iniPath));
    std::vector<std::wstring> keys;
    std::wstring line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) keys.push_back(line.substr(0, equals));
    }
    return keys;
}

::testing::AssertionResult startsWithBom(const std::wstring& path)
{
    std::string bytes = readBytes(path);
    if (bytes.size() < 2) return ::testing::AssertionFailure() << "file has " << bytes.size() << " bytes";
    if (bytes[0] != '\xFF' || bytes[1] != '\xFE')
        return ::testing::AssertionFailure() << "first bytes " << std::hex
                                             << (0xFF & bytes[0]) << " " << (0xFF & bytes[1]);
    // UTF-16: the section header follows as wide text, not as bytes.
    if (bytes.size() < 4 || bytes[2] != '[' || bytes[3] != '\0')
        return ::testing::AssertionFailure() << "text after the mark is not UTF-16LE";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult holdsDefaults(const SettingsRecord& r)
{
    std::ostringstream wrong;
    if (std::wstring(r.prefixAft1) != L"_") wrong << " PrefixAft1";
    if (r.addStringsAft != 1) wrong << " AddStringsAft";
    if (r.addStringsBef != 0) wrong << " AddStringsBef";
    if (r.zeroSuppress != 1) wrong << " ZeroSuppress";
    if (r.userMenu != 0) wrong << " UserMenu";
    if (r.autoClose != 1) wrong << " AutoClose";
    if (r.startSetting != 0 || r.selDir != 0 || r.openDir != 0) wrong << " switches";
    if (r.prefixBef1[0] || r.prefixBef2[0] || r.prefixAft2[0]) wrong << " free texts";
    for (int i = 0; i < kHistoryCount; ++i)
        if (r.pathHistory[i][0]) wrong << " PathHis" << i + 1;
    std::wstring path = r.path;
    const std::wstring tail = L"My Backup\\";
    if (path.size() < tail.size() || path.compare(path.size() - tail.size(), tail.size(), tail) != 0)
        wrong << " Path(" << utf8(path) << ")";
    std::wstring lang = r.lang;
    if (lang != (interfaceLanguage() == UiJapanese ? L"ja" : L"en")) wrong << " Lang(" << utf8(lang) << ")";
    if (wrong.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not default:" << wrong.str();
}

// A program folder and an application-data folder below a private temporary folder.
struct Installation {
    TempFolder temp;
    SettingsLocation location;
    explicit Installation(const wchar_t* programFolderName = L"Tazu")
    {
        EXPECT_TRUE(makeDirectory(temp / programFolderName));
        EXPECT_TRUE(makeDirectory(temp / L"AppData"));
        EXPECT_EQ(0, locateSettingsIn((temp / programFolderName).c_str(),
                                      (temp / L"AppData").c_str(), &location));
    }
};

}  // namespace

TEST(SettingsFolderKey, RuleTable)
{
    struct Row { const wchar_t* folder; const wchar_t* key; const wchar_t* derived; };
    const Row rows[] = {
        {L"C:\\Tools\\Tazu\\", L"tazu", L""},
        {L"C:\\Tools\\TAZU", L"tazu", L""},
        {L"C:\\Tools\\tazu", L"tazu", L""},
        {L"C:\\Tools\\tazu_", L"tazu__", L"_"},
        {L"C:\\Tools\\tazu_beta\\", L"tazu_beta", L"beta"},
        {L"C:\\Tools\\tazubeta", L"tazu_beta", L"beta"},
        {L"C:\\Tools\\TazuBeta", L"tazu_beta", L"beta"},
        {L"D:\\Backup Kit\\", L"tazu_backup kit", L"backup kit"},
        {L"D:\\taz", L"tazu_taz", L"taz"},
        {L"D:\\MyTazu", L"tazu_mytazu", L"mytazu"},
        // A drive root, such as a USB stick: its letter, never the impossible "tazu_e:".
        {L"E:\\", L"tazu_e", L"e"},
        {L"e:", L"tazu_e", L"e"},
        {L"\\\\server\\share\\", L"tazu_share", L"share"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.folder));
        wchar_t key[kPathChars], derived[kPathChars];
        deriveFolderKey(row.folder, key, kPathChars, derived, kPathChars);
        EXPECT_STREQ(row.key, key);
        EXPECT_STREQ(row.derived, derived);
    }
}

TEST(SettingsFolderKey, LocationPaths)
{
    SettingsLocation location;
    ASSERT_EQ(0, locateSettingsIn(L"D:\\Backup Kit", L"C:\\Users\\u\\AppData\\Roaming", &location));
    EXPECT_STREQ(L"D:\\Backup Kit\\", location.programFolder);
    EXPECT_STREQ(L"C:\\Users\\u\\AppData\\Roaming\\zevrald\\tazu_backup kit\\", location.settingsFolder);
    EXPECT_STREQ(L"C:\\Users\\u\\AppData\\Roaming\\zevrald\\tazu_backup kit\\tazu.ini", location.iniPath);
    EXPECT_STREQ(L"C:\\Users\\u\\AppData\\Roaming\\zevrald\\tazu_backup kit\\tazu_tmp.ini",
                 location.tempIniPath);
    EXPECT_STREQ(L"D:\\Backup Kit\\tazu_bk.ini", location.backupIniPath);
    EXPECT_STREQ(L"D:\\Backup Kit\\tazu_debug.log", location.debugLogPath);
    EXPECT_STREQ(L"backup kit", location.folderKeyText);

    ASSERT_EQ(0, locateSettingsIn(L"C:\\Tools\\Tazu\\", L"C:\\AD\\", &location));
    EXPECT_STREQ(L"C:\\AD\\zevrald\\tazu\\tazu.ini", location.iniPath);
    EXPECT_STREQ(L"", location.folderKeyText);

    const std::wstring deep = L"C:\\" + std::wstring(500, L'a');
    EXPECT_EQ(-1, locateSettingsIn(L"C:\\Tazu", deep.c_str(), &location));
    EXPECT_STREQ(L"", location.iniPath);

    // A program folder with room for "tazu_bk.ini" but not for "tazu_debug.log", and one with
    // room for neither: the settings file is still found; only a companion that does not fit is
    // left out.
    const std::wstring parent = L"D:\\" + std::wstring(230, L'x') + L"\\";
    struct Row { size_t room; bool backupFits; };
    for (const Row& row : {Row{11, true}, Row{2, false}}) {
        const std::wstring name(259 - parent.size() - row.room - 1, L'y');
        const std::wstring program = parent + name + L"\\";
        SCOPED_TRACE(::testing::Message() << "program folder of " << program.size() << " characters");
        EXPECT_EQ(-1, locateSettingsIn(program.c_str(), L"C:\\AD", &location));
        EXPECT_EQ(L"C:\\AD\\zevrald\\tazu_" + name + L"\\tazu.ini", std::wstring(location.iniPath));
        EXPECT_EQ(L"C:\\AD\\zevrald\\tazu_" + name + L"\\tazu_tmp.ini", std::wstring(location.tempIniPath));
        EXPECT_EQ(row.backupFits ? program + L"tazu_bk.ini" : L"", std::wstring(location.backupIniPath));
        EXPECT_STREQ(L"", location.debugLogPath);
    }
}

TEST(SettingsFolderKey, RunningProgramLocation)
{
    ASSERT_EQ(0, locateSettings());
    wchar_t folder[kPathChars];
    ASSERT_EQ(0, runningProgramFolder(folder, kPathChars));
    EXPECT_STREQ(folder, g_settingsLocation.programFolder);
    std::wstring ini = g_settingsLocation.iniPath;
    EXPECT_NE(std::wstring::npos, ini.find(L"\\zevrald\\tazu_")) << utf8(ini);
}

TEST(SettingsRead, MissingFileGivesDefaults)
{
    TempFolder temp;
    auto record = readRecord(temp / L"none.ini");
    EXPECT_TRUE(holdsDefaults(*record));
    EXPECT_EQ(interfaceLanguage(), record->language);
    EXPECT_FALSE(fileExists(temp / L"none.ini"));
}

TEST(SettingsRead, ValuesAreInterpreted)
{
    TempFolder temp;
    // Each row checks one key; the other keys of the row keep their defaults.
    struct Row { const wchar_t* line; int language; const wchar_t* path; int autoClose; };
    const int any = -99;
    const Row rows[] = {
        {L"Lang=EN", UiEnglish, nullptr, 1},
        {L"Lang=en", UiEnglish, nullptr, 1},
        {L"Lang=", UiJapanese, nullptr, 1},
        {L"Lang=de", UiJapanese, nullptr, 1},
        {L"Path=C:\\Backup", any, L"C:\\Backup\\", 1},
        {L"Path=C:\\Backup\\", any, L"C:\\Backup\\", 1},
        // Blanks that the profile reader keeps (quoted), of both kinds, go before the backslash
        // comes: never a folder whose name ends in a blank.
        {L"Path=\" D:\\Backup \"", any, L"D:\\Backup\\", 1},
        {L"Path=\"\x3000" L"D:\\Backup\x3000\"", any, L"D:\\Backup\\", 1},
        {L"Path=\"  \"", any, L"", 1},
        {L"AutoClose=abc", any, nullptr, 0},
        {L"AutoClose=0", any, nullptr, 0},
    };
    const std::wstring ini = temp / L"tazu.ini";
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.line));
        ASSERT_TRUE(writeUtf16File(ini, std::wstring(L"[Env]\r\n") + row.line + L"\r\n"));
        auto r = readRecord(ini);
        if (row.language != any) { EXPECT_EQ(row.language, static_cast<int>(r->language)); }
        if (row.path) { EXPECT_STREQ(row.path, r->path); }
        EXPECT_EQ(row.autoClose, r->autoClose);
    }
}

TEST(SettingsRead, ZeroSuppressIsKeptWithinOneToNineteen)
{
    TempFolder temp;
    struct Row { const wchar_t* value; int expected; };
    const Row rows[] = {
        {L"1", 1}, {L"7", 7}, {L"19", 19}, {L"20", 19}, {L"1000", 19},
        {L"0", 1}, {L"-5", 1}, {L"abc", 1},
    };
    const std::wstring ini = temp / L"tazu.ini";
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.value));
        ASSERT_TRUE(writeUtf16File(ini, std::wstring(L"[Env]\r\nZeroSuppress=") + row.value + L"\r\n"));
        EXPECT_EQ(row.expected, readRecord(ini)->zeroSuppress);
    }
}

TEST(SettingsRead, UserMenuAndVerifyAreOnOnlyForOne)
{
    TempFolder temp;
    struct Row { const wchar_t* value; int expected; };
    const Row rows[] = {{L"1", 1}, {L"0", 0}, {L"2", 0}, {L"-1", 0}, {L"yes", 0}, {L"", 0}};
    const std::wstring ini = temp / L"tazu.ini";
    for (const wchar_t* key : {L"UserMenu", L"Verify"}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(utf8(std::wstring(key) + L"=" + row.value));
            ASSERT_TRUE(writeUtf16File(ini, std::wstring(L"[Env]\r\n") + key + L"=" + row.value + L"\r\n"));
            auto r = readRecord(ini);
            EXPECT_EQ(row.expected, wcscmp(key, L"Verify") == 0 ? r->verify : r->userMenu);
        }
    }
    // A file without the key behaves as before there was one.
    ASSERT_TRUE(writeUtf16File(ini, L"[Env]\r\nLang=en\r\n"));
    EXPECT_EQ(0, readRecord(ini)->verify);
}

TEST(SettingsRead, KeepBackupsIsZeroUnlessOneToThreeDigitsOfOneToNineHundredNinetyNine)
{
    TempFolder temp;
    struct Row { const wchar_t* value; int expected; };
    // Anything unclear keeps every backup rather than removing some; the profile's own number
    // reader would take the texts after "abc" as 3.
    const Row rows[] = {{L"1", 1}, {L"3", 3}, {L"007", 7}, {L"999", 999}, {L"0", 0}, {L"1000", 0}, {L"-2", 0},
                        {L"abc", 0}, {L"3x", 0}, {L"\" 3\"", 0}, {L"0x3", 0}, {L"4294967299", 0}};
    const std::wstring ini = temp / L"tazu.ini";
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.value));
        ASSERT_TRUE(writeUtf16File(ini, std::wstring(L"[Env]\r\nKeepBackups=") + row.value + L"\r\n"));
        EXPECT_EQ(row.expected, readRecord(ini)->keepBackups);
    }
    ASSERT_TRUE(writeUtf16File(ini, L"[Env]\r\nLang=en\r\n"));
    EXPECT_EQ(0, readRecord(ini)->keepBackups);
}

TEST(SettingsRead, TextsAreCutToTheirLimits)
{
    TempFolder temp;
    const std::wstring ini = temp / L"tazu.ini";
    const std::wstring longText(400, L'x');
    ASSERT_TRUE(writeUtf16File(ini, L"[Env]\r\nLang=" + longText + L"\r\nPrefixBef1=" + longText +
                                        L"\r\nPath=" + longText + L"\r\n"));
    auto r = readRecord(ini);
    EXPECT_EQ(kLangLimit, wcslen(r->lang));
    EXPECT_EQ(kTextSettingLimit, wcslen(r->prefixBef1));
    // The cut path still gets its backslash.
    EXPECT_EQ(std::wstring(kTextSettingLimit, L'x') + L"\\", std::wstring(r->path));
}

TEST(SettingsWrite, FileIsUtf16WithKeysInOrder)
{
    TempFolder temp;
    const std::wstring ini = temp / L"tazu.ini";
    auto r = readRecord(temp / L"none.ini");
    wcscpy(r->lang, L"en");
    wcscpy(r->path, L"C:\\バックアップ\\");
    wcscpy(r->pathHistory[0], L"D:\\履歴\\");
    wcscpy(r->pathHistory[9], L"E:\\last\\");
    wcscpy(r->prefixBef1, L"前");
    r->addStringsBef = 4;
    r->addStringsAft = 2;
    r->zeroSuppress = 3;
    r->keepBackups = 12;
    r->verify = 1;
    r->autoClose = 0;
    ASSERT_EQ(0, writeSettingsFile(ini.c_str(), r.get()));

    EXPECT_TRUE(startsWithBom(ini));
    const std::vector<std::wstring> expected = {
        L"Lang", L"StartSetting", L"AutoClose", L"Path", L"PathHis1", L"PathHis2", L"PathHis3",
        L"PathHis4", L"PathHis5", L"PathHis6", L"PathHis7", L"PathHis8", L"PathHis9",
        L"PathHis10", L"SelDir", L"OpenDir", L"PrefixBef1", L"AddStringsBef", L"PrefixBef2",
        L"PrefixAft1", L"AddStringsAft", L"PrefixAft2", L"ZeroSuppress", L"UserMenu",
        L"KeepBackups", L"Verify"};
    EXPECT_EQ(expected, keysInFile(ini));

    // The platform's own reader sees every value, non-ASCII text included.
    EXPECT_EQ(L"C:\\バックアップ\\", profileText(ini, L"Path"));
    EXPECT_EQ(L"D:\\履歴\\", profileText(ini, L"PathHis1"));
    EXPECT_EQ(L"", profileText(ini, L"PathHis5"));
    EXPECT_EQ(L"前", profileText(ini, L"PrefixBef1"));
    EXPECT_EQ(L"_", profileText(ini, L"PrefixAft1"));
    EXPECT_EQ(3u, GetPrivateProfileIntW(L"Env", L"ZeroSuppress", -1, ini.c_str()));
    EXPECT_EQ(0u, GetPrivateProfileIntW(L"Env", L"AutoClose", -1, ini.c_str()));
    EXPECT_EQ(12u, GetPrivateProfileIntW(L"Env", L"KeepBackups", -1, ini.c_str()));
    EXPECT_EQ(1u, GetPrivateProfileIntW(L"Env", L"Verify", -1, ini.c_str()));

    auto back = readRecord(ini);
    EXPECT_STREQ(r->path, back->path);
    EXPECT_STREQ(r->pathHistory[9], back->pathHistory[9]);
    EXPECT_EQ(4, back->addStringsBef);
    EXPECT_EQ(UiEnglish, back->language);
}

TEST(SettingsWrite, WriteBackDropsTabAndDebugAndOldLinesButKeepsUserMenuAndVerify)
{
    TempFolder temp;
    const std::wstring ini = temp / L"tazu.ini";
    ASSERT_TRUE(writeUtf16File(ini, L"[Env]\r\nTab=2\r\nLang=en\r\nDebug=1\r\nStray=1\r\n"
                                    L"PrefixAft1=-\r\nUserMenu=1\r\nVerify=1\r\n[Other]\r\nX=1\r\n"));
    auto r = readRecord(ini);
    EXPECT_EQ(2, r->tab);
    EXPECT_EQ(1, r->debug);
    ASSERT_EQ(0, writeSettingsFile(ini.c_str(), r.get()));

    EXPECT_TRUE(startsWithBom(ini));
    std::wstring text = readUtf16File(ini);
    EXPECT_EQ(std::wstring::npos, text.find(L"Tab=")) << utf8(text);
    EXPECT_EQ(std::wstring::npos, text.find(L"Debug=")) << utf8(text);
    EXPECT_EQ(std::wstring::npos, text.find(L"Stray=")) << utf8(text);
    EXPECT_EQ(std::wstring::npos, text.find(L"[Other]")) << utf8(text);
    EXPECT_EQ(L"-", profileText(ini, L"PrefixAft1"));
    EXPECT_EQ(L"en", profileText(ini, L"Lang"));
    EXPECT_EQ(L"1", profileText(ini, L"UserMenu"));
    EXPECT_EQ(L"1", profileText(ini, L"Verify"));
}

TEST(SettingsWrite, UncreatableFileIsReported)
{
    TempFolder temp;
    auto r = readRecord(temp / L"none.ini");
    EXPECT_EQ(-1, writeSettingsFile((temp / L"missing\\tazu.ini").c_str(), r.get()));
    EXPECT_FALSE(fileExists(temp / L"missing"));
}

TEST(SettingsStart, GlobalSaveAndLoadUseTheLocatedFiles)
{
    Installation install(L"TazuGlobal");
    const SettingsLocation saved = g_settingsLocation;
    g_settingsLocation = install.location;
    MessageRecorder messages;

    // "tazu.ini" with its folder created on the way.
    readSettingsFile(L"", &g_settings);
    wcscpy(g_settings.path, L"F:\\Chosen\\");
    saveSettings();
    EXPECT_TRUE(startsWithBom(install.location.iniPath));
    EXPECT_EQ(L"F:\\Chosen\\", profileText(install.location.iniPath, L"Path"));
    wcscpy(g_settings.path, L"");
    EXPECT_EQ(0, loadSettings(false));
    EXPECT_STREQ(L"F:\\Chosen\\", g_settings.path);

    // The settings of one run come from "tazu_tmp.ini"; without it, from the defaults.
    ASSERT_TRUE(writeUtf16File(install.location.tempIniPath, L"[Env]\r\nPath=G:\\Once\r\n"));
    EXPECT_EQ(0, loadSettings(true));
    EXPECT_STREQ(L"G:\\Once\\", g_settings.path);
    ASSERT_TRUE(DeleteFileW(install.location.tempIniPath));
    EXPECT_EQ(0, loadSettings(true));
    EXPECT_TRUE(holdsDefaults(g_settings));

    EXPECT_TRUE(messages.shown().empty());
    g_settingsLocation = saved;
}

TEST(SettingsStart, FreshUserGetsDefaultsAndABackupCopy)
{
    Installation install;
    MessageRecorder messages;
    auto r = newRecord();
    ASSERT_EQ(0, prepareSettingsIn(&install.location, r.get()));
    EXPECT_TRUE(holdsDefaults(*r));
    EXPECT_TRUE(messages.shown().empty());

    EXPECT_TRUE(startsWithBom(install.location.iniPath));
    EXPECT_EQ(L"_", profileText(install.location.iniPath, L"PrefixAft1"));
    EXPECT_EQ(L"1", profileText(install.location.iniPath, L"AddStringsAft"));
    EXPECT_EQ(L"1", profileText(install.location.iniPath, L"ZeroSuppress"));
    EXPECT_EQ(L"1", profileText(install.location.iniPath, L"AutoClose"));
    EXPECT_EQ(readBytes(install.location.iniPath), readBytes(install.location.backupIniPath));
}

TEST(SettingsStart, BackupCopyRestoresANewUsersFile)
{
    Installation install(L"tazu_beta");
    ASSERT_TRUE(writeUtf16File(install.location.backupIniPath,
                               L"[Env]\r\nLang=en\r\nPrefixAft1=-\r\nAddStringsAft=4\r\nZeroSuppress=3\r\n"));
    MessageRecorder messages;
    auto r = newRecord();
    ASSERT_EQ(0, prepareSettingsIn(&install.location, r.get()));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_STREQ(L"-", r->prefixAft1);
    EXPECT_EQ(4, r->addStringsAft);
    EXPECT_EQ(3, r->zeroSuppress);
    EXPECT_EQ(UiEnglish, r->language);
    // A copy, not a file written from the values.
    EXPECT_EQ(readBytes(install.location.backupIniPath), readBytes(install.location.iniPath));
    EXPECT_NE(std::wstring::npos,
              std::wstring(install.location.iniPath).find(L"\\zevrald\\tazu_beta\\tazu.ini"));
}

TEST(SettingsStart, ExistingFileIsReadAsItIs)
{
    Installation install;
    ASSERT_EQ(0, makeFolder(install.location.settingsFolder));
    ASSERT_TRUE(writeUtf16File(install.location.iniPath, L"[Env]\r\nTab=1\r\nPrefixAft1=~\r\n"));
    ASSERT_TRUE(writeUtf16File(install.location.backupIniPath, L"[Env]\r\nPrefixAft1=bk\r\n"));
    const std::string before = readBytes(install.location.iniPath);
    auto r = newRecord();
    ASSERT_EQ(0, prepareSettingsIn(&install.location, r.get()));
    EXPECT_STREQ(L"~", r->prefixAft1);
    EXPECT_EQ(before, readBytes(install.location.iniPath));
}

namespace {

// The folder message with its frame in one language and the code text in another.
::testing::AssertionResult isFolderMessage(const ShownMessage& shown, UiLanguage frameLanguage,
                                           UiLanguage codeLanguage, const std::wstring& folder)
{
    const wchar_t* frame = frameLanguage == UiEnglish
        ? L"Could not create a directory to store the configuration file.\n\n%s\n\n%s"
        : L"設定ファイルを格納するディレクトリを作成できませんでした。\n\n%s\n\n%s";
    size_t codeAt = shown.text.find(L"\n\n0x");
    if (codeAt == std::wstring::npos)
        return ::testing::AssertionFailure() << "no code text in " << utf8(shown.text);
    DWORD code = wcstoul(shown.text.c_str() + codeAt + 4, nullptr, 16);
    wchar_t codeText[1024], expected[4096];
    ErrorCodeText(code, codeLanguage, codeText, 1024);
    _snwprintf(expected, 4095, frame, codeText, folder.c_str());
    expected[4095] = L'\0';
    if (shown.text != expected)
        return ::testing::AssertionFailure() << "shown \"" << utf8(shown.text) << "\", expected \""
                                             << utf8(expected) << "\"";
    if (shown.style != static_cast<UINT>(MB_ICONERROR | MB_TOPMOST) || shown.title != L"VantrelUnit")
        return ::testing::AssertionFailure() << "style " << shown.style << " title " << utf8(shown.title);
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(SettingsStart, UncreatableSettingsFolderShowsTheFolderMessage)
{
    struct Row { const char* what; bool withBackup; };
    const Row rows[] = {{"first start", false}, {"restore from the backup copy", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Installation install;
        // A file where the vendor folder should be: the settings folder cannot be created.
        ASSERT_TRUE(writeEmptyFile(install.temp / L"AppData\\zevrald"));
        if (row.withBackup) {
            ASSERT_TRUE(writeUtf16File(install.location.backupIniPath, L"[Env]\r\nPrefixAft1=bk\r\n"));
        }
        const std::string backupBefore = readBytes(install.location.backupIniPath);
        MessageRecorder messages;
        auto r = newRecord();
        ASSERT_EQ(0, prepareSettingsIn(&install.location, r.get()));
        // The program goes on with the defaults, and the backup copy is left as it was.
        EXPECT_TRUE(holdsDefaults(*r));
        EXPECT_EQ(backupBefore, readBytes(install.location.backupIniPath));
        ASSERT_EQ(1u, messages.shown().size());
        // Before the settings are read the frame follows the interface and the code is English.
        EXPECT_TRUE(isFolderMessage(messages.shown()[0],
                                    row.withBackup ? interfaceLanguage() : r->language,
                                    row.withBackup ? UiEnglish : r->language,
                                    install.location.settingsFolder));
    }
}

TEST(SettingsStart, MakeFolderCreatesParentsAndAcceptsExisting)
{
    TempFolder temp;
    const std::wstring deep = temp / L"a\\b\\c";
    EXPECT_EQ(0, makeFolder(deep.c_str()));
    DWORD attributes = GetFileAttributesW(deep.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(0, makeFolder((deep + L"\\").c_str()));
    ASSERT_TRUE(writeEmptyFile(temp / L"file"));
    EXPECT_NE(0, makeFolder((temp / L"file").c_str()));
}
