// TazuSetting's window driven as a user does: what it shows at start, the language switch, the
// link, saving with OK (and what a command then makes of it), the restore from the copy, refused
// values, Browse and the row icons. Cancel and closing are tested with a waiting command.
#include "setting_fixture.h"

#include "backup_rules.h"
#include "process_command_line.h"
#include "setting_texts.h"

// The shared code linked for the texts shows its messages under this name.
const wchar_t* g_programName = L"SettingTest";

namespace e2e {
namespace {

::testing::AssertionResult showsCaptions(HWND page, const ControlCaption* captions, size_t count, UiLanguage language)
{
    for (size_t i = 0; i < count; ++i) {
        std::wstring shown = driver::controlText(page, captions[i].id);
        std::wstring expected = pickText(captions[i].text, language);
        if (shown != expected)
            return ::testing::AssertionFailure() << "control " << captions[i].id << " shows \"" << narrow(shown)
                                                 << "\", expected \"" << narrow(expected) << "\"";
    }
    return ::testing::AssertionSuccess();
}

RECT rectOf(HWND dialog, int id)
{
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    return rect;
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The link names the project's page when the build has one, else the read-me in the language.
std::wstring linkText(UiLanguage language)
{
    return kProjectPageUrl[0] ? kProjectPageUrl : pickText(kReadmeLinkText, language);
}

class SettingWindowTest : public SettingTest {};

TEST_F(SettingWindowTest, OpensOnTheSavedPageInTheSavedLanguage)
{
    struct Row {
        const wchar_t* tab;
        const wchar_t* lang;
        int page;
        UiLanguage language;
    };
    const Row rows[] = {
        {L"1", L"en", 1, UiEnglish},
        {L"0", L"EN", 0, UiEnglish},
        {L"7", L"fr", 0, UiJapanese},     // a page index of no page shows the first
        {L"-1", L"", 0, UiJapanese},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.tab) + "/" + narrow(row.lang));
        ASSERT_TRUE(settings({{L"Tab", row.tab}, {L"Lang", row.lang}}));
        SettingWindow window;
        ASSERT_TRUE(open(&window));
        EXPECT_EQ(driver::text(window.main), kSettingTitle);
        EXPECT_EQ(driver::isVisible(window.registration), row.page == 0);
        EXPECT_EQ(driver::isVisible(window.backup), row.page == 1);
        HWND tabs = GetDlgItem(window.main, IDC_MAIN_TABS);
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), row.page);
        EXPECT_EQ(driver::tabItemText(window.program->id, tabs, 1), pickText(kTabTexts[1], row.language));
        EXPECT_EQ(driver::comboSelection(GetDlgItem(window.main, IDC_MAIN_LANGUAGE)), row.language == UiEnglish ? 1 : 0);
        EXPECT_EQ(driver::comboItems(GetDlgItem(window.main, IDC_MAIN_LANGUAGE)),
                  (std::vector<std::wstring>{L"Japanese", L"English"}));
        EXPECT_EQ(driver::controlText(window.main, IDC_MAIN_LINK), linkText(row.language));
        // Without a waiting command there is no OK(No save); OK stands in its place beside Cancel.
        EXPECT_FALSE(driver::isVisible(GetDlgItem(window.main, IDC_MAIN_OK_NO_SAVE)));
        EXPECT_TRUE(sameRect(rectOf(window.main, IDOK), rectOf(window.main, IDC_MAIN_OK_NO_SAVE)));
        ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
        EXPECT_TRUE(endsWith(*window.program, 0, 10000));
    }
}

TEST_F(SettingWindowTest, LanguageSwitchRelabelsEveryControlAndKeepsTheChoices)
{
    ASSERT_TRUE(settings({{L"Lang", L"ja"}, {L"AddStringsBef", L"2"}, {L"AddStringsAft", L"4"}, {L"Verify", L"1"}}));
    SettingWindow window;
    ASSERT_TRUE(open(&window));
    EXPECT_TRUE(driver::isChecked(window.backup, IDC_BACKUP_VERIFY));
    HWND tabs = GetDlgItem(window.main, IDC_MAIN_TABS);
    for (UiLanguage language : {UiJapanese, UiEnglish, UiJapanese, UiEnglish}) {
        SCOPED_TRACE(language == UiEnglish ? "English" : "Japanese");
        ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, language == UiEnglish ? 1 : 0));
        EXPECT_TRUE(showsCaptions(window.registration, kRegistrationPageCaptions, kRegistrationPageCaptionCount, language));
        EXPECT_TRUE(showsCaptions(window.backup, kBackupPageCaptions, kBackupPageCaptionCount, language));
        for (int page = 0; page < 2; ++page)
            EXPECT_EQ(driver::tabItemText(window.program->id, tabs, page), pickText(kTabTexts[page], language));
        for (int id : {IDC_BACKUP_ADD_BEF, IDC_BACKUP_ADD_AFT}) {
            std::vector<std::wstring> choices;
            for (int choice = 0; choice < kAddStringChoiceCount; ++choice)
                choices.push_back(addStringChoiceText(choice, language));
            EXPECT_EQ(driver::comboItems(GetDlgItem(window.backup, id)), choices);
        }
        // The number of backups to keep stands right after its label, the words right after it.
        RECT label = rectOf(window.backup, IDC_BACKUP_KEEP_LABEL), field = rectOf(window.backup, IDC_BACKUP_KEEP);
        RECT words = rectOf(window.backup, IDC_BACKUP_KEEP_UNIT), group = rectOf(window.backup, IDC_BACKUP_KEEP_GROUP);
        EXPECT_LE(label.right, field.left);
        EXPECT_LT(field.left - label.right, 12);
        EXPECT_LE(field.right, words.left);
        EXPECT_LE(words.right, group.right);
        EXPECT_EQ(driver::comboSelection(GetDlgItem(window.backup, IDC_BACKUP_ADD_BEF)), AddDate);
        EXPECT_EQ(driver::comboSelection(GetDlgItem(window.backup, IDC_BACKUP_ADD_AFT)), AddSerial);
        EXPECT_EQ(driver::controlText(window.main, IDC_MAIN_LINK), linkText(language));
        // The window's own captions stay as they are.
        EXPECT_EQ(driver::controlText(window.main, IDOK), L"OK");
        EXPECT_EQ(driver::controlText(window.main, IDC_MAIN_CANCEL), L"Cancel");
        EXPECT_EQ(driver::controlText(window.main, IDC_MAIN_OK_NO_SAVE), L"OK(No save)");
    }
    // The language reaches the file only through OK.
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
    EXPECT_TRUE(endsWith(*window.program, 0, 10000));
    EXPECT_EQ(setting(L"Lang"), L"ja");
}

// Text files are opened with the text editor, as on every Windows; the test prefix of Wine has
// the editor's file type but not the extension's link to it, which this makes while it lives.
struct TextFileType {
    bool made = false;
    TextFileType()
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".txt", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            return;
        }
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L".txt", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        const wchar_t type[] = L"txtfile";
        RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(type), sizeof type);
        RegCloseKey(key);
        made = true;
    }
    ~TextFileType()
    {
        if (made) RegDeleteKeyW(HKEY_CLASSES_ROOT, L".txt");
    }
};

// A build that names no project page ships no made-up address: the link opens the read-me
// beside the programs, in the program the system opens text files with.
TEST_F(SettingWindowTest, LinkOpensTheReadmeBesideThePrograms)
{
    if (kProjectPageUrl[0]) GTEST_SKIP() << "this build names a project page";
    TextFileType textFiles;
    const std::wstring readme = sandbox.programFolder + L"README.txt";
    ASSERT_TRUE(writeFile(readme, "Vantrel\r\n"));
    SettingWindow window;
    ASSERT_TRUE(open(&window));
    std::set<DWORD> before = observe::processesNamed(L"notepad.exe");
    driver::click(GetDlgItem(window.main, IDC_MAIN_LINK));
    std::wstring others;
    std::wstring viewer = observe::endStartedProcess(L"notepad.exe", before, L"README.txt", 20000, &others);
    EXPECT_NE(std::wstring::npos, viewer.find(readme)) << narrow(viewer) << " / " << narrow(others);
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
    EXPECT_TRUE(endsWith(*window.program, 0, 10000));
}

TEST_F(SettingWindowTest, NewUserSavesWithOkAndTheNextBackupUsesTheSettings)
{
    ASSERT_TRUE(addProgram(L"TazuThere.exe"));
    SettingWindow window;
    ASSERT_TRUE(open(&window));
    // Nothing is written before OK; the destination shows its default.
    EXPECT_FALSE(exists(iniPath()));
    std::wstring shownDefault = driver::controlText(window.backup, IDC_BACKUP_DEST);
    EXPECT_EQ(shownDefault.substr(shownDefault.size() - 10), L"My Backup\\") << narrow(shownDefault);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window.backup, IDC_BACKUP_ZERO)));

    ASSERT_TRUE(driver::chooseTab(GetDlgItem(window.main, IDC_MAIN_TABS), 1));
    EXPECT_TRUE(driver::isVisible(window.backup));
    EXPECT_FALSE(driver::isVisible(window.registration));
    ASSERT_TRUE(driver::chooseComboItem(window.main, IDC_MAIN_LANGUAGE, 1));
    // A destination whose parents are missing too.
    std::wstring destination = sandbox.data + L"backups\\of today";
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_DEST, destination));
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_PREFIX_AFT1, L"-"));
    ASSERT_TRUE(driver::chooseComboItem(window.backup, IDC_BACKUP_ADD_AFT, AddSerial));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.backup, IDC_BACKUP_ZERO)));
    ASSERT_TRUE(driver::chooseComboItem(window.backup, IDC_BACKUP_ZERO, 2));
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_PREFIX_AFT2, L"v"));
    ASSERT_TRUE(driver::setChecked(window.backup, IDC_BACKUP_OPEN_DIR, false));
    ASSERT_TRUE(driver::setChecked(window.registration, IDC_REG_AUTO_CLOSE, true));
    EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_KEEP), L"0");
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_KEEP, L"3"));
    EXPECT_FALSE(driver::isChecked(window.backup, IDC_BACKUP_VERIFY));
    ASSERT_TRUE(driver::setChecked(window.backup, IDC_BACKUP_VERIFY, true));
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    ASSERT_TRUE(endsWith(*window.program, 0, 10000));

    std::vector<std::wstring> lines;
    ASSERT_TRUE(savedLines(iniPath(), &lines));
    std::vector<std::wstring> expected = {L"[Env]", L"Tab=1", L"Lang=en", L"StartSetting=0", L"AutoClose=1",
                                          L"Path=" + destination + L"\\", L"PathHis1=" + destination + L"\\"};
    for (int slot = 2; slot <= 10; ++slot) expected.push_back(L"PathHis" + std::to_wstring(slot) + L"=");
    for (const wchar_t* line : {L"SelDir=0", L"OpenDir=0", L"PrefixBef1=", L"AddStringsBef=0", L"PrefixBef2=",
                                L"PrefixAft1=-", L"AddStringsAft=4", L"PrefixAft2=v", L"ZeroSuppress=3",
                                L"UserMenu=0", L"KeepBackups=3", L"Verify=1"})
        expected.push_back(line);
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(isFolder(destination));
    // The copy beside the programs holds the same bytes.
    std::string saved, copy;
    ASSERT_TRUE(readFile(iniPath(), &saved));
    ASSERT_TRUE(readFile(sandbox.programFolder + L"tazu_bk.ini", &copy));
    EXPECT_EQ(saved, copy);

    driver::Program* there = nullptr;
    ASSERT_TRUE(runCommand(L"TazuThere.exe", inQuotes(file(L"memo.txt", "memo")), &there));
    EXPECT_TRUE(endsWith(*there, 0, 30000));
    EXPECT_EQ(namesIn(destination), std::vector<std::wstring>{L"memo-001v.txt"});
}

TEST_F(SettingWindowTest, RestoresTheCopyBesideTheProgramsAndSavesWithoutDebug)
{
    // A new user's settings come from the copy; "Debug" lives only until the next save.
    std::wstring copy = sandbox.programFolder + L"tazu_bk.ini";
    ASSERT_TRUE(writeFile(copy, std::string("\xFF\xFE", 2)));
    const std::pair<const wchar_t*, const wchar_t*> keys[] = {
        {L"Debug", L"1"}, {L"Lang", L"en"}, {L"Tab", L"1"}, {L"PrefixBef1", L"from-copy"}, {L"AddStringsBef", L"3"},
        {L"AddStringsAft", L"0"}, {L"Path", L""}, {L"PathHis1", L"C:\\Old"}};
    for (const auto& key : keys) WritePrivateProfileStringW(L"Env", key.first, key.second, copy.c_str());
    removeTree(sandbox.settingsFolder);

    SettingWindow window;
    ASSERT_TRUE(open(&window));
    std::string restored, original;
    ASSERT_TRUE(readFile(iniPath(), &restored));
    ASSERT_TRUE(readFile(copy, &original));
    EXPECT_EQ(restored, original);
    EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_PREFIX_BEF1), L"from-copy");
    EXPECT_EQ(driver::comboItems(GetDlgItem(window.backup, IDC_BACKUP_DEST)).front(), L"C:\\Old");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window.backup, IDC_BACKUP_ZERO)));
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    ASSERT_TRUE(endsWith(*window.program, 0, 10000));

    std::vector<std::wstring> lines;
    ASSERT_TRUE(savedLines(iniPath(), &lines));
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(lines[1], L"Tab=1");
    EXPECT_EQ(lines[5], L"Path=");
    // An empty destination takes the history's first place; the old entries move down.
    EXPECT_EQ(lines[6], L"PathHis1=");
    EXPECT_EQ(lines[7], L"PathHis2=C:\\Old\\");
    for (const std::wstring& line : lines) EXPECT_NE(line.rfind(L"Debug", 0), 0u) << narrow(line);
}

TEST_F(SettingWindowTest, RefusedValuesKeepTheWindowOpenWithTheirMessage)
{
    ASSERT_TRUE(settings({{L"Tab", L"1"}, {L"Path", sandbox.data}, {L"AddStringsBef", L"2"}, {L"AddStringsAft", L"0"},
                          {L"KeepBackups", L"5"}}));
    std::string before;
    ASSERT_TRUE(readFile(iniPath(), &before));
    SettingWindow window;
    ASSERT_TRUE(open(&window));
    EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_KEEP), L"5");
    // Values read from the file pass the start unchanged and are refused at OK.
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    EXPECT_TRUE(refused(window, L"In the add strings to be given,Please be sure to combine Date with Serial number.\n"));

    // Choosing Date on one side asks for a serial number on the other; taking that back empties both.
    ASSERT_TRUE(driver::chooseComboItem(window.backup, IDC_BACKUP_ADD_BEF, AddDate));
    EXPECT_EQ(driver::comboSelection(GetDlgItem(window.backup, IDC_BACKUP_ADD_AFT)), AddSerial);
    ASSERT_TRUE(driver::chooseComboItem(window.backup, IDC_BACKUP_ADD_AFT, AddNothing));
    EXPECT_EQ(driver::comboSelection(GetDlgItem(window.backup, IDC_BACKUP_ADD_BEF)), AddNothing);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window.backup, IDC_BACKUP_ZERO_LABEL)));
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    EXPECT_TRUE(refused(window, L"Select Date~ or Serial number from the pull-down to the string to give.\n"));

    ASSERT_TRUE(driver::chooseComboItem(window.backup, IDC_BACKUP_ADD_AFT, AddDateTime));
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_PREFIX_AFT1, L"a:b"));
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    EXPECT_TRUE(refused(window, L"Characters that can not be used in the prefix(After file name) are included.\n\nNG : : \n\na:b"));
    // The field keeps what the user typed; nothing was saved.
    EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_PREFIX_AFT1), L"a:b");
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_PREFIX_AFT1, L"_"));
    // Pasted past the field's three digits or its digits-only rule: one to three digits count.
    for (const wchar_t* keep : {L"1000", L" 3"}) {
        SCOPED_TRACE(narrow(keep));
        ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_KEEP, keep));
        ASSERT_TRUE(driver::pressButton(window.main, IDOK));
        EXPECT_TRUE(refused(window, L"The number of backups to keep must be a number from 0 to 999.\n(0: keep every backup)\n"));
        EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_KEEP), keep);
    }
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_KEEP, L"5"));
    // A relative destination names a folder of whatever folder a program runs in; a folder of
    // that name beside TazuSetting does not make it one.
    ASSERT_TRUE(makeFolders(sandbox.programFolder + L"Backup"));
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_DEST, L"Backup"));
    ASSERT_TRUE(driver::pressButton(window.main, IDOK));
    EXPECT_TRUE(refused(window, L"The backup destination folder must be a full path,\nsuch as D:\\Backup\\ or "
                                L"\\\\server\\share\\Backup\\.\n\nBackup\\"));
    EXPECT_EQ(driver::controlText(window.backup, IDC_BACKUP_DEST), L"Backup");
    // Escape does nothing in the settings window.
    driver::key(GetDlgItem(window.main, IDC_MAIN_LANGUAGE), VK_ESCAPE);
    Sleep(300);
    EXPECT_TRUE(IsWindow(window.main));
    std::string after;
    ASSERT_TRUE(readFile(iniPath(), &after));
    EXPECT_EQ(after, before);
    EXPECT_FALSE(exists(sandbox.programFolder + L"tazu_bk.ini"));
}

TEST_F(SettingWindowTest, BrowseSetsTheDestinationFromTheFolderDialog)
{
    std::wstring saved = sandbox.data + L"saved";
    std::wstring picked = sandbox.data + L"picked";
    ASSERT_TRUE(makeFolders(saved) && makeFolders(picked));
    ASSERT_TRUE(settings({{L"Tab", L"1"}, {L"Path", saved}}));
    SettingWindow window;
    ASSERT_TRUE(open(&window));

    // Cancelled: the field shows the destination of the settings again, not what was typed.
    ASSERT_TRUE(driver::setControlText(window.backup, IDC_BACKUP_DEST, L"typed"));
    ASSERT_TRUE(driver::pressButton(window.backup, IDC_BACKUP_BROWSE));
    HWND dialog = driver::findFolderDialog(window.program->id, 10000);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(driver::controlText(dialog, driver::kFolderDialogTitleId), L"Please select backup folder");
    // The dialog starts at the destination of the settings.
    EXPECT_EQ(driver::text(driver::folderDialogEdit(dialog)), L"saved");
    ASSERT_TRUE(driver::pressButton(dialog, IDCANCEL));
    ASSERT_TRUE(driver::waitGone(dialog, 5000));
    EXPECT_TRUE(driver::waitUntil([&] { return driver::controlText(window.backup, IDC_BACKUP_DEST) == saved + L"\\"; }, 3000));

    // Chosen: the folder becomes the destination at once.
    ASSERT_TRUE(driver::pressButton(window.backup, IDC_BACKUP_BROWSE));
    dialog = driver::findFolderDialog(window.program->id, 10000);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(driver::chooseInFolderDialog(dialog, window.program->id, picked));
    EXPECT_TRUE(driver::waitUntil([&] { return driver::controlText(window.backup, IDC_BACKUP_DEST) == picked; }, 3000))
        << narrow(driver::controlText(window.backup, IDC_BACKUP_DEST));
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
    EXPECT_TRUE(endsWith(*window.program, 0, 10000));
}

TEST_F(SettingWindowTest, BrowseToATypedFolderThatDoesNotExistEmptiesTheDestination)
{
    ASSERT_TRUE(settings({{L"Tab", L"1"}, {L"Path", sandbox.data}}));
    SettingWindow window;
    ASSERT_TRUE(open(&window));
    ASSERT_TRUE(driver::pressButton(window.backup, IDC_BACKUP_BROWSE));
    HWND dialog = driver::findFolderDialog(window.program->id, 10000);
    ASSERT_TRUE(dialog);
    std::wstring missing = sandbox.data + L"no such folder";
    SendMessageW(driver::folderDialogEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(missing.c_str()));
    driver::pressButton(dialog, IDOK);
    HWND box = driver::findMessageBox(window.program->id, 3000);
    if (!box) {
        ASSERT_TRUE(driver::waitGone(dialog, 5000));
        GTEST_SKIP() << "Wine's folder dialog does not validate a typed folder (no BFFM_VALIDATEFAILED)";
    }
    EXPECT_TRUE(answerMessageBox(*window.program, kSettingTitle, L"Selected folder does not exist.", driver::IconWarning, IDOK));
    EXPECT_TRUE(driver::waitUntil([&] { return driver::controlText(window.backup, IDC_BACKUP_DEST).empty(); }, 3000));
    EXPECT_FALSE(exists(missing));
}

TEST_F(SettingWindowTest, RowIconsTakeTheSizeOfTheDisplay)
{
    SettingWindow window;
    ASSERT_TRUE(open(&window));
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    int side = MulDiv(16, dpi, 96);
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        HWND icon = GetDlgItem(window.registration, IDC_REG_ROW_ICON_FIRST + row);
        SIZE size = driver::clientSize(icon);
        EXPECT_EQ(size.cx, side);
        EXPECT_EQ(size.cy, side);
    }
    ASSERT_TRUE(driver::pressButton(window.main, IDC_MAIN_CANCEL));
    EXPECT_TRUE(endsWith(*window.program, 0, 10000));
}

}  // namespace
}  // namespace e2e
