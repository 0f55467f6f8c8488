// What the elevated helper TazuUAC trusts: it loads no library from its own folder (a folder the
// user may write to), it starts TazuSetting only through the shell of the user's desktop, so that
// the settings program does not run with administrator rights, and an elevated token's entries
// for "this user" are told apart from the desktop's. Wine has no desktop shell to ask, so the
// route's choice is tested through its seam.
#include <gtest/gtest.h>

#include <string>

#include "registration_support.h"
#include "setting_start.h"
#include "token_elevation.h"
#include "unit_support.h"
#include "window_driver.h"

using registration_test::ProgramFolder;

namespace {

std::wstring testBinary(const std::wstring& name)
{
    wchar_t bin[MAX_PATH] = L"";
    DWORD length = GetEnvironmentVariableW(L"VANTREL_TEST_BIN_DIR", bin, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"";
    std::wstring folder = bin;
    if (folder.back() != L'\\') folder += L'\\';
    return folder + name;
}

// A library placed beside the program, under a name that is loaded by name: without the
// restriction the system takes it from there, with it never.
TEST(LibrarySearch, ALibraryBesideTheProgramIsNotLoadedOnceRestricted)
{
    const wchar_t kMarker[] = L"vantrel_library_marker.dll";
    struct Case {
        const char* name;
        const wchar_t* arguments;
        DWORD exitCode;
        bool ran;
    };
    const Case cases[] = {
        {"unrestricted, as the system starts a program", L"", 1, true},
        {"restricted, as TazuUAC starts", L"restricted ", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        ASSERT_TRUE(CopyFileW(testBinary(L"library_search_probe.exe").c_str(), (folder / L"probe.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(testBinary(kMarker).c_str(), (folder / kMarker).c_str(), FALSE));
        driver::Program probe;
        ASSERT_TRUE(driver::start(folder / L"probe.exe", std::wstring(c.arguments) + kMarker, &probe));
        DWORD code = 99;
        EXPECT_TRUE(driver::waitForExit(probe, 20000, &code));
        driver::stop(&probe);
        EXPECT_EQ(c.exitCode, code);
        EXPECT_EQ(c.ran, fileExists(folder / (std::wstring(kMarker) + L".loaded")));
    }
}

int g_desktopCalls = 0;
std::wstring g_desktopProgram;
int g_desktopAnswer = 0;
HANDLE g_desktopHangsUntil = nullptr;   // set: the desktop's shell does not answer until then

int desktopShellStandIn(const wchar_t* programPath)
{
    ++g_desktopCalls;
    g_desktopProgram = programPath;
    if (g_desktopHangsUntil) WaitForSingleObject(g_desktopHangsUntil, INFINITE);
    return g_desktopAnswer;
}

class SettingStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registration_test::makeProgramFolder(&folder));
        ASSERT_TRUE(registration_test::placeProgram(folder, L"VANTREL_TEST_BIN_DIR", L"registration_stand_in.exe",
                                                    L"TazuSetting.exe"));
        g_desktopCalls = 0;
        g_desktopProgram.clear();
        g_desktopShellStart = desktopShellStandIn;
        g_desktopHangsUntil = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }

    void TearDown() override
    {
        // A shell that never answered answers now, so that its thread ends.
        SetEvent(g_desktopHangsUntil);
        Sleep(100);
        g_desktopShellStart = startThroughDesktopShell;
        EXPECT_TRUE(registration_test::removeEverything(folder));
    }

    ProgramFolder folder;
};

// TazuSetting is never started by TazuUAC itself, which would give it administrator rights: where
// the desktop's shell cannot start it, or does not answer within the bound, a message asks the
// user to start it from its folder.
TEST_F(SettingStartTest, OnlyTheDesktopShellStartsItAndNeverForLong)
{
    struct Case {
        const char* name;
        int desktopAnswer;
        bool hangs;
        UiLanguage language;
        int route;
        const wchar_t* message;   // nullptr: none
    };
    const Case cases[] = {
        {"the desktop's shell starts it", 0, false, UiEnglish, SettingStartedByDesktopShell, nullptr},
        {"no desktop shell", -1, false, UiEnglish, SettingLeftToUser,
         L"TazuSetting could not be started for you.\nPlease start TazuSetting.exe from its folder.\n\n"},
        {"a shell that does not answer", 0, true, UiJapanese, SettingLeftToUser,
         L"TazuSettingを起動できませんでした。\nTazuSetting.exeをそのフォルダから起動してください。\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring program = folder.path + L"TazuSetting.exe";
        const std::wstring record = folder.path + L"TazuSetting_started.txt";
        g_desktopCalls = 0;
        g_desktopAnswer = c.desktopAnswer;
        if (c.hangs)
            ResetEvent(g_desktopHangsUntil);
        else
            SetEvent(g_desktopHangsUntil);
        MessageRecorder recorder;
        // A bound of a fifth of a second stands for the product's few seconds.
        EXPECT_EQ(c.route, startSettingProgram(program.c_str(), 200, c.language));
        EXPECT_EQ(1, g_desktopCalls);
        EXPECT_EQ(program, g_desktopProgram);
        if (c.message) {
            ASSERT_EQ(1u, recorder.shown().size());
            EXPECT_EQ(c.message + program, recorder.shown()[0].text);
            EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_TOPMOST), recorder.shown()[0].style);
        } else {
            EXPECT_TRUE(recorder.shown().empty());
        }
        EXPECT_FALSE(driver::waitUntil([&] { return fileExists(record); }, 1000, 50)) << "started by TazuUAC itself";
    }
}

// Entries for this user written with an elevated token may be another account's or be ones that
// the desktop's own token does not see as its own: such a pair of tokens differs. Wine gives every
// process an elevated token with a limited one linked to it, which stands for the desktop's.
TEST(UserClasses, AnElevatedTokenBesideALimitedDesktopDiffers)
{
    HANDLE own = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own));
    HANDLE limited = nullptr;
    DWORD size = 0;
    if (tokenElevation() != 1 || !GetTokenInformation(own, TokenLinkedToken, &limited, sizeof limited, &size)) {
        CloseHandle(own);
        GTEST_SKIP() << "this process has no elevated token with a limited one linked to it";
    }
    EXPECT_TRUE(userClassesDifferBetween(own, limited));
    EXPECT_FALSE(userClassesDifferBetween(own, own));
    EXPECT_FALSE(userClassesDifferBetween(limited, own)) << "the same account, not elevated";
    EXPECT_FALSE(userClassesDifferBetween(limited, nullptr)) << "not elevated, whatever the desktop's";
    EXPECT_TRUE(userClassesDifferBetween(own, nullptr)) << "elevated beside a desktop that cannot be asked";
    EXPECT_FALSE(userClassesDifferBetween(nullptr, limited)) << "a token of its own that cannot be asked";
    CloseHandle(limited);
    CloseHandle(own);
}

}  // namespace
