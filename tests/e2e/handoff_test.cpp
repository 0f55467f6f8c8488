// The pre-backup hand-off end to end: TazuThere with "StartSetting" 1 and the stand-in settings
// program (tests-bin\handoff_answerer.exe as TazuSetting.exe) answering as each test asks.
// Answer 0 runs with "tazu.ini" (here: "Path" = saved\), answer 1 with "tazu_tmp.ini"
// ("Path" = unsaved\), any other answer ends the command without a window.
#include "command_fixture.h"

#include "settings.h"

// The shared code linked for deriveFolderKey shows its messages under this name.
const wchar_t* g_programName = L"HandoffTest";

namespace e2e {
namespace {

constexpr const wchar_t* kThereTitle = L"TazuThere";
constexpr DWORD kEndedWithoutRun = static_cast<DWORD>(-1);

class HandoffTest : public CommandTest {
protected:
    HandoffTest() : CommandTest(L"TazuThere.exe") {}

    void SetUp() override
    {
        CommandTest::SetUp();
        saved = folder(L"saved");
        unsaved = folder(L"unsaved");
        ASSERT_TRUE(settings({{L"StartSetting", L"1"}, {L"Path", saved + L"\\"}}));
        ASSERT_TRUE(temporarySettings({{L"StartSetting", L"1"}, {L"Path", unsaved + L"\\"}}));
    }

    // The stand-in's first record of a kind, waiting for it: its lines.
    std::vector<std::string> waitForRecord(const wchar_t* kind, DWORD timeoutMs)
    {
        std::vector<std::string> lines;
        driver::waitUntil([&] {
            auto records = standInRecords(kind);
            if (records.empty()) return false;
            size_t start = 0;
            for (size_t end; (end = records[0].find('\n', start)) != std::string::npos; start = end + 1)
                lines.push_back(records[0].substr(start, end - start));
            return true;
        }, timeoutMs, 50);
        return lines;
    }

    // A run that was stopped by the hand-off: no window, nothing copied anywhere.
    ::testing::AssertionResult endedWithoutRun(const driver::Program& program, const std::wstring& item)
    {
        auto ended = endsWith(program, kEndedWithoutRun, 20000);
        if (!ended) return ended;
        size_t copies = backupsIn(saved, item, L".txt").size() + backupsIn(unsaved, item, L".txt").size();
        if (copies) return ::testing::AssertionFailure() << copies << " copies were made";
        return ::testing::AssertionSuccess();
    }

    std::wstring saved;
    std::wstring unsaved;
};

TEST_F(HandoffTest, ThreeCommandsStartedTogetherEachRunWithTheirOwnAnswer)
{
    ASSERT_TRUE(standInSettingsProgram(nullptr));
    const char* answers[] = {"0", "1", "2"};
    const wchar_t* names[] = {L"zero", L"one", L"two"};
    driver::Program* programs[3] = {};
    for (int i = 0; i < 3; ++i) {
        std::wstring item = file(std::wstring(names[i]) + L".txt", narrow(names[i]));
        ASSERT_TRUE(start(inQuotes(item), &programs[i]));
        // The stand-in of this command waits for its own answer file.
        ASSERT_TRUE(writeFile(sandbox.programFolder + L"answerer_" + std::to_wstring(programs[i]->id) + L".txt",
                              answers[i]));
    }
    // The two runs close their result windows by themselves, possibly before anyone looks.
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(endsWith(*programs[i], 0, 30000));
    }
    EXPECT_TRUE(endedWithoutRun(*programs[2], L"two"));
    EXPECT_EQ(1u, backupsIn(saved, L"zero", L".txt").size());
    EXPECT_EQ(1u, backupsIn(unsaved, L"one", L".txt").size());
    EXPECT_EQ(2u, namesIn(saved + L"\\").size() + namesIn(unsaved + L"\\").size());

    // Three exchanges with three keys, each answer taken by its command.
    auto started = standInRecords(L"started");
    ASSERT_EQ(3u, started.size());
    std::set<std::string> keys;
    for (const std::string& record : started) keys.insert(record.substr(record.rfind('\n', record.size() - 2) + 1));
    EXPECT_EQ(3u, keys.size());
    auto finished = standInRecords(L"finished");
    ASSERT_EQ(3u, finished.size());
    for (const std::string& record : finished) EXPECT_NE(std::string::npos, record.find("delivery 0")) << record;
}

TEST_F(HandoffTest, SaveAndRunReadsTheSavedSettingsAgain)
{
    // The settings program saves a new "Path" before it answers 0.
    ASSERT_TRUE(standInSettingsProgram("0 gated"));
    std::wstring item = file(L"memo.txt", "memo");
    std::wstring changed = folder(L"changed");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    std::vector<std::string> started = waitForRecord(L"started", 20000);
    ASSERT_EQ(3u, started.size());
    // The key names the program folder and the command's main window.
    EXPECT_EQ(0u, started[2].find("ZEVRALD_tazu_e2e")) << started[2];
    EXPECT_EQ(std::to_string(program->id), started[1]);
    ASSERT_TRUE(settings({{L"StartSetting", L"1"}, {L"Path", changed + L"\\"}}));
    ASSERT_TRUE(writeFile(sandbox.programFolder + L"go.txt", "go"));

    HWND result = findResultWindow(*program, 20000);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 20000));
    EXPECT_TRUE(endsWith(*program, 0, 10000));
    EXPECT_EQ(1u, backupsIn(changed, L"memo", L".txt").size());
    EXPECT_TRUE(namesIn(saved + L"\\").empty());
}

TEST_F(HandoffTest, CancelAndUnknownAnswersEndTheCommandSilently)
{
    const char* answers[] = {"2", "7"};
    for (const char* answer : answers) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(standInSettingsProgram(answer));
        std::wstring base = std::wstring(L"answer") + widen(answer);
        std::wstring item = file(base + L".txt", answer);
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(item), &program));
        EXPECT_TRUE(endedWithoutRun(*program, base));
        auto finished = standInRecords(L"finished");
        ASSERT_EQ(1u, finished.size());
        EXPECT_EQ(std::string("answer ") + answer + " delivery 0 code 0", finished[0]);
        for (const std::wstring& name : namesIn(sandbox.programFolder))
            if (name.rfind(L"started_", 0) == 0 || name.rfind(L"finished_", 0) == 0)
                DeleteFileW((sandbox.programFolder + name).c_str());
    }
}

TEST_F(HandoffTest, SettingsProgramKilledMidExchangeEndsTheCommand)
{
    ASSERT_TRUE(standInSettingsProgram("hang"));
    std::wstring item = file(L"waiting.txt", "waiting");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    std::vector<std::string> started = waitForRecord(L"started", 20000);
    ASSERT_FALSE(started.empty());
    DWORD standIn = strtoul(started[0].c_str(), nullptr, 10);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, standIn);
    ASSERT_NE(nullptr, process);
    // Still waiting for the answer while the settings program is there.
    EXPECT_FALSE(driver::waitForExit(*program, 1000));
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
    EXPECT_TRUE(endedWithoutRun(*program, L"waiting"));
}

TEST_F(HandoffTest, ProgramFolderWithBlanksStillMeetsTheSettingsProgram)
{
    // Move the programs into a folder whose name holds blanks; its settings folder follows.
    std::wstring programs = sandbox.root + L"tazu my box " + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(makeFolders(programs));
    ASSERT_TRUE(MoveFileW((sandbox.programFolder + L"TazuThere.exe").c_str(), (programs + L"TazuThere.exe").c_str()));
    wchar_t appData[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    wchar_t key[kSettingsPathChars];
    wchar_t derived[kPathChars];
    deriveFolderKey(programs.c_str(), key, kSettingsPathChars, derived, kPathChars);
    ASSERT_NE(nullptr, wcschr(derived, L' '));
    std::wstring settingsFolder = std::wstring(appData) + L"\\zevrald\\" + key + L"\\";
    ASSERT_TRUE(makeFolders(settingsFolder));
    ASSERT_TRUE(MoveFileW((sandbox.settingsFolder + L"tazu.ini").c_str(), (settingsFolder + L"tazu.ini").c_str()));
    ASSERT_TRUE(MoveFileW((sandbox.settingsFolder + L"tazu_tmp.ini").c_str(), (settingsFolder + L"tazu_tmp.ini").c_str()));
    removeTree(sandbox.settingsFolder);
    sandbox.programFolder = programs;
    sandbox.settingsFolder = settingsFolder;
    ASSERT_TRUE(standInSettingsProgram("1"));

    std::wstring item = file(L"spaced.txt", "spaced");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    EXPECT_TRUE(endsWith(*program, 0, 30000));
    EXPECT_EQ(1u, backupsIn(unsaved, L"spaced", L".txt").size());
    auto started = standInRecords(L"started");
    ASSERT_EQ(1u, started.size());
    std::string handedKey = started[0].substr(started[0].rfind('\n', started[0].size() - 2) + 1);
    EXPECT_EQ(0u, handedKey.find("ZEVRALD_tazu__my_box_")) << handedKey;
    EXPECT_EQ(std::string::npos, handedKey.find(' ')) << handedKey;
}

TEST_F(HandoffTest, SettingsProgramThatCannotStartEndsTheCommandWithAMessage)
{
    // No TazuSetting.exe in the program folder.
    struct Row {
        const wchar_t* lang;
        const wchar_t* text;
    };
    const Row rows[] = {
        {L"en", L"It is set to start TazuSetting.exe before backup processing, but It terminates because "
                L"TazuSetting.exe startup failed."},
        {L"ja", L"バックアップ処理前にTazuSetting.exeを起動する設定になっていますが、TazuSetting.exeの起動に"
                L"失敗したため終了します。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.lang));
        ASSERT_TRUE(settings({{L"Lang", row.lang}, {L"StartSetting", L"1"}, {L"Path", saved + L"\\"}}));
        std::wstring base = std::wstring(L"alone_") + row.lang;
        std::wstring item = file(base + L".txt", "alone");
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(item), &program));
        driver::MessageBoxInfo info;
        // The shell may first report the missing program in a box of its own.
        for (int box = 0; box < 2 && info.text != row.text; ++box) {
            HWND window = driver::findMessageBox(program->id, 15000);
            ASSERT_TRUE(window);
            ASSERT_TRUE(driver::readMessageBox(window, &info));
            driver::pressButton(window, IDOK);
            driver::waitGone(window, 5000);
        }
        EXPECT_EQ(row.text, info.text);
        EXPECT_EQ(kThereTitle, info.title);
        EXPECT_EQ(driver::IconError, info.icon);
        EXPECT_TRUE(endedWithoutRun(*program, base));
    }
}

}  // namespace
}  // namespace e2e
