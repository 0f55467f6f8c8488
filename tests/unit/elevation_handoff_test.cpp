// TazuSetting's side of the elevation hand-off with stand-ins for TazuUAC: a helper that is not
// there (as when the user declines the prompt), a helper that never replies (the wait ends
// through the pause seam instead of after three minutes), one that ends without a reply (the
// wait ends with it), and objects whose names are taken.
#include <gtest/gtest.h>

#include <string>

#include "elevation_handoff.h"
#include "errors.h"
#include "registration_support.h"
#include "settings.h"
#include "unit_support.h"
#include "window_driver.h"

using registration_test::ProgramFolder;

namespace {

std::wstring g_standInRecord;   // the stand-in's start record, watched by the pause seam
int g_pauses = 0;

// Waits a little while the stand-in has not started, then reads again at once.
void pauseUntilTheStandInRuns(DWORD)
{
    ++g_pauses;
    if (GetFileAttributesW(g_standInRecord.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(20);
}

bool objectsAreGone()
{
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, kRegistrationBlockName);
    HANDLE taken = OpenEventW(SYNCHRONIZE, FALSE, kReplyTakenEventName);
    bool gone = !block && !taken;
    if (block) CloseHandle(block);
    if (taken) CloseHandle(taken);
    return gone;
}

class ElevationHandoffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registration_test::makeProgramFolder(&folder));
        ASSERT_EQ(0, setInstallation(folder.path.c_str(), CallerSetting));
        copyText(g_settingsLocation.debugLogPath, kPathChars, (folder.path + L"tazu_debug.log").c_str());
        g_settings.debug = 1;
        g_pauses = 0;
        g_standInRecord = folder.path + L"TazuUAC_started.txt";
        g_elevationPause = pauseUntilTheStandInRuns;
    }

    void TearDown() override
    {
        g_elevationPause = [](DWORD milliseconds) { Sleep(milliseconds); };
        g_settings.debug = 0;
        // The silent stand-in ends by itself once the event is signalled.
        std::wstring finished = folder.path + L"TazuUAC_finished.txt";
        for (int i = 0; i < 100 && GetFileAttributesW(g_standInRecord.c_str()) != INVALID_FILE_ATTRIBUTES &&
                        GetFileAttributesW(finished.c_str()) == INVALID_FILE_ATTRIBUTES;
             ++i)
            Sleep(100);
        EXPECT_TRUE(registration_test::removeEverything(folder));
    }

    ProgramFolder folder;
};

// The shell tells the user that the program it was asked to start is missing, in a message box
// of the calling process; a thread of the test closes every such box until the hand-off is over.
struct ShellMessages {
    HANDLE done = nullptr;
    int closed = 0;
};

DWORD WINAPI closeShellMessages(void* context)
{
    ShellMessages* messages = static_cast<ShellMessages*>(context);
    while (WaitForSingleObject(messages->done, 0) != WAIT_OBJECT_0) {
        HWND box = driver::findMessageBox(GetCurrentProcessId(), 100);
        if (box && driver::pressButton(box, IDOK) && driver::waitGone(box, 5000)) ++messages->closed;
    }
    return 0;
}

// The hand-off without a helper in the folder; returns how many message boxes the shell showed.
int runWithoutHelper(UiLanguage language, const int positions[5], ElevationHandoffResult* result)
{
    ShellMessages messages;
    messages.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE closer = CreateThread(nullptr, 0, closeShellMessages, &messages, 0, nullptr);
    EXPECT_EQ(-1, runElevationHandoff(nullptr, language, positions, result));
    SetEvent(messages.done);
    WaitForSingleObject(closer, 15000);
    CloseHandle(closer);
    CloseHandle(messages.done);
    return messages.closed;
}

TEST_F(ElevationHandoffTest, HelperNotStartedFailsAtOnceWithoutReading)
{
    const int positions[5] = {2, 1, 1, 1, 0};
    ElevationHandoffResult result;
    DWORD start = GetTickCount();
    EXPECT_GE(1, runWithoutHelper(UiEnglish, positions, &result)) << "at most the shell's word on the missing program";
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_FALSE(result.started);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(1106u, result.keptNumber);
    EXPECT_EQ(0u, result.keptCode);
    EXPECT_EQ(0, g_pauses);
    EXPECT_EQ(std::wstring(L"ID:MP3 CD:0x00000000\n"), g_errorTrail.text) << "the block is never read";
    for (int row = 0; row < 5; ++row) EXPECT_EQ(ResultNone, result.reply.results[row]);
    EXPECT_EQ(L"ID:MP3 CD:0x00000000\r\n\r\n", readUtf16File(folder.path + L"tazu_debug.log"));
    EXPECT_TRUE(objectsAreGone());
}

TEST_F(ElevationHandoffTest, SilentHelperLeavesEveryCellAtNone)
{
    ASSERT_TRUE(registration_test::placeProgram(folder, L"VANTREL_TEST_BIN_DIR", L"registration_stand_in.exe",
                                                L"TazuUAC.exe"));
    const int positions[5] = {2, 1, 1, 1, 0};
    ElevationHandoffResult result;
    EXPECT_EQ(-1, runElevationHandoff(nullptr, UiEnglish, positions, &result));
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(kReplyRereads, g_pauses);
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(ResultNone, result.reply.results[row]);
        EXPECT_EQ(0, result.reply.numbers[row]);
        EXPECT_EQ(0, result.reply.codes[row]);
    }
    EXPECT_EQ(0u, result.keptNumber);
    EXPECT_EQ("0 2 1 1 1 0", registration_test::readBytes(g_standInRecord)) << "the request as started";
    // The event is signalled after the last read, also when nothing arrived.
    std::wstring finished = folder.path + L"TazuUAC_finished.txt";
    for (int i = 0; i < 100 && GetFileAttributesW(finished.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    EXPECT_EQ("signalled", registration_test::readBytes(finished));
    EXPECT_TRUE(objectsAreGone());
}

TEST_F(ElevationHandoffTest, HelperThatEndsWithoutAReplyEndsTheWait)
{
    ASSERT_TRUE(registration_test::placeProgram(folder, L"VANTREL_TEST_BIN_DIR", L"registration_stand_in.exe",
                                                L"TazuUAC.exe"));
    ASSERT_TRUE(writeUtf16File(folder.path + L"TazuUAC_ends.txt", L""));
    // Real pauses, short ones: the helper has time to end long before the reads run out.
    g_elevationPause = [](DWORD) {
        ++g_pauses;
        Sleep(20);
    };
    const int positions[5] = {1, 1, 1, 1, 1};
    ElevationHandoffResult result;
    EXPECT_EQ(-1, runElevationHandoff(nullptr, UiEnglish, positions, &result));
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.failed);
    EXPECT_LT(g_pauses, kReplyRereads) << "the reads stop once the helper has ended";
    EXPECT_EQ("0 1 1 1 1 1", registration_test::readBytes(g_standInRecord));
    EXPECT_EQ("ended at once", registration_test::readBytes(folder.path + L"TazuUAC_finished.txt"));
    for (int row = 0; row < 5; ++row) EXPECT_EQ(ResultNone, result.reply.results[row]);
    EXPECT_TRUE(objectsAreGone());
}

TEST_F(ElevationHandoffTest, ObjectsThatCannotBeMadeFailTheHandoff)
{
    struct Case {
        const char* name;
        const wchar_t* takenName;   // a mutex holds this name first
        const wchar_t* firstLines;
        unsigned keptNumber;
    };
    const Case cases[] = {
        {"block", kRegistrationBlockName, L"ID:CSM1 CD:0x00000006\nID:MP1 CD:0x00000000\n", 1070},
        {"event", kReplyTakenEventName, L"ID:MP2 CD:0x00000006\n", 1103},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE squatter = CreateMutexW(nullptr, FALSE, c.takenName);
        ASSERT_TRUE(squatter);
        const int positions[5] = {1, 1, 2, 1, 1};
        ElevationHandoffResult result;
        runWithoutHelper(UiJapanese, positions, &result);
        CloseHandle(squatter);
        EXPECT_TRUE(result.failed);
        EXPECT_FALSE(result.started) << "no helper lies in the folder";
        EXPECT_EQ(c.keptNumber, result.keptNumber);
        EXPECT_EQ(0u, std::wstring(g_errorTrail.text).find(c.firstLines)) << utf8(g_errorTrail.text);
        EXPECT_TRUE(objectsAreGone());
    }
}

}  // namespace
