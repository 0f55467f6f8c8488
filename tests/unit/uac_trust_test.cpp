// What the elevated helper TazuUAC trusts: it loads no library from its own folder (a folder the
// user may write to), and it starts TazuSetting through the shell of the user's desktop, so that
// the settings program does not run with administrator rights; directly where that shell is not
// there. Wine has no desktop shell to ask, so the route's choice is tested through its seam.
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

int desktopShellStandIn(const wchar_t* programPath)
{
    ++g_desktopCalls;
    g_desktopProgram = programPath;
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
    }

    void TearDown() override
    {
        g_desktopShellStart = startThroughDesktopShell;
        EXPECT_TRUE(registration_test::removeEverything(folder));
    }

    ProgramFolder folder;
};

TEST_F(SettingStartTest, DesktopShellFirstAndTheDirectStartOnlyWithoutIt)
{
    struct Case {
        const char* name;
        int desktopAnswer;
        int route;
    };
    const Case cases[] = {
        {"the desktop's shell starts it", 0, SettingStartedByDesktopShell},
        {"no desktop shell", -1, SettingStartedDirectly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring program = folder.path + L"TazuSetting.exe";
        const std::wstring record = folder.path + L"TazuSetting_started.txt";
        DeleteFileW(record.c_str());
        g_desktopCalls = 0;
        g_desktopAnswer = c.desktopAnswer;
        EXPECT_EQ(c.route, startSettingProgram(nullptr, program.c_str()));
        EXPECT_EQ(1, g_desktopCalls);
        EXPECT_EQ(program, g_desktopProgram);
        bool startedDirectly =
            driver::waitUntil([&] { return fileExists(record); }, c.route == SettingStartedDirectly ? 10000 : 1000, 50);
        EXPECT_EQ(c.route == SettingStartedDirectly, startedDirectly);
        if (startedDirectly) {
            EXPECT_EQ("", readBytes(record)) << "started without arguments";
        }
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
    EXPECT_FALSE(userClassesDifferBetween(limited, nullptr)) << "a token that cannot be asked";
    CloseHandle(limited);
    CloseHandle(own);
}

}  // namespace
