// TazuUAC's processing of a request, in this process against the real registry: renumbering of
// registered rows left at Keep, separators, access keys and captions in both languages,
// removal, refused requests, a run without elevation, captions over 259 characters and
// per-row failures with their debug log.
#include <gtest/gtest.h>

#include <string>

#include "command_table.h"
#include "context_menu.h"
#include "errors.h"
#include "message_box.h"
#include "registration_exchange.h"
#include "registration_support.h"
#include "request_processing.h"
#include "settings.h"
#include "unit_support.h"

using registration_test::ProgramFolder;
using registration_test::holdsEntry;
using registration_test::kBaseNames;
using registration_test::keyExists;
using registration_test::keyValues;
using registration_test::verbKey;

namespace {

const wchar_t* const kRoots[2] = {L"*\\shell", L"Folder\\shell"};

struct ExpectedReply {
    int results[5];
    int numbers[5];
    int codes[5];
};

::testing::AssertionResult repliedAs(const RegistrationReply& reply, const ExpectedReply& expected)
{
    wchar_t have[kRegistrationBlockChars];
    wchar_t want[kRegistrationBlockChars];
    composeRegistrationReply(reply, have, kRegistrationBlockChars);
    RegistrationReply wanted;
    for (int row = 0; row < 5; ++row) {
        wanted.results[row] = expected.results[row];
        wanted.numbers[row] = expected.numbers[row];
        wanted.codes[row] = expected.codes[row];
    }
    composeRegistrationReply(wanted, want, kRegistrationBlockChars);
    if (std::wstring(have) == want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "reply \"" << utf8(have) << "\", expected \"" << utf8(want) << "\"";
}

class RequestProcessingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registration_test::makeProgramFolder(&folder));
        ASSERT_TRUE(registration_test::placeCommandFiles(folder));
        ASSERT_EQ(0, setInstallation(folder.path.c_str(), CallerHelper));
        g_settings.debug = 0;
        copyText(g_settingsLocation.debugLogPath, kPathChars, (folder.path + L"tazu_debug.log").c_str());
        trailClear(&g_errorTrail);
    }

    void TearDown() override
    {
        g_settings.debug = 0;
        EXPECT_TRUE(registration_test::removeEverything(folder));
    }

    std::wstring program(int row) const { return folder.path + kBaseNames[row] + L".exe"; }
    std::wstring current(const wchar_t* root, int row) const { return verbKey(root, folder.verbPrefix, kBaseNames[row]); }

    // The row's menu caption as TazuUAC writes it.
    std::wstring caption(int row, UiLanguage language, int accessKey) const
    {
        wchar_t text[kMenuCaptionChars];
        composeMenuCaption(row, language, accessKey, text, kMenuCaptionChars);
        return text;
    }

    ::testing::AssertionResult registered(int row, UiLanguage language, int accessKey, bool before, bool after)
    {
        for (const wchar_t* root : kRoots) {
            auto held = holdsEntry(current(root, row), caption(row, language, accessKey), program(row), before, after);
            if (!held) return held;
        }
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult absent(int row)
    {
        for (const wchar_t* root : kRoots)
            if (keyExists(current(root, row)) || keyExists(verbKey(root, L"", kBaseNames[row])))
                return ::testing::AssertionFailure() << "row " << row << " has an entry under " << utf8(root);
        return ::testing::AssertionSuccess();
    }

    void preRegister(int row)
    {
        ASSERT_EQ(0, registerProgramEntries(MenuForMachine, commandFileName(row), L"registered before", false, false));
    }

    ProgramFolder folder;
};

TEST_F(RequestProcessingTest, RegisteredRowsAtKeepAreRenumberedWithTheNewOnes)
{
    preRegister(0);
    preRegister(3);
    RegistrationReply reply;
    ASSERT_EQ(0, processRegistrationRequest(L"0 1 2 1 1 2", true, &reply));
    EXPECT_TRUE(repliedAs(reply, {{1, 1, 0, 1, 1}, {}, {}}));
    EXPECT_TRUE(registered(0, UiEnglish, 1, true, false));
    EXPECT_TRUE(registered(1, UiEnglish, 2, false, false));
    EXPECT_TRUE(absent(2));
    EXPECT_TRUE(registered(3, UiEnglish, 3, false, false));
    EXPECT_TRUE(registered(4, UiEnglish, 4, false, true));
    EXPECT_EQ(L"TazuHere - Backup here" + folder.captionSuffix + L"(&1)",
              keyValues(current(kRoots[0], 0))[L""].text);
}

TEST_F(RequestProcessingTest, SingleRowAtOnGetsBothSeparatorsAndTheFirstKey)
{
    RegistrationReply reply;
    ASSERT_EQ(0, processRegistrationRequest(L"1 1 1 1 2 1", true, &reply));
    EXPECT_TRUE(repliedAs(reply, {{0, 0, 0, 1, 0}, {}, {}}));
    EXPECT_TRUE(registered(3, UiJapanese, 1, true, true));
    EXPECT_EQ(L"TazuThere - 指定フォルダにバックアップ" + folder.captionSuffix + L"(&1)",
              keyValues(current(kRoots[1], 3))[L""].text);
    for (int row : {0, 1, 2, 4}) EXPECT_TRUE(absent(row));
}

TEST_F(RequestProcessingTest, RowsAtOffAreRemoved)
{
    struct Case {
        const char* name;
        const wchar_t* request;
    };
    const Case cases[] = {{"all Off", L"1 0 0 0 0 0"}, {"only the language number", L"0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        preRegister(1);
        preRegister(2);
        ASSERT_TRUE(registration_test::writeLegacyEntry(kRoots[0], L"TazuThere", program(3)));
        RegistrationReply reply;
        ASSERT_EQ(0, processRegistrationRequest(c.request, true, &reply));
        // Row 3's legacy entry lay under "*\shell" only: "Folder\shell" had nothing (4), and
        // that result is the one reported.
        EXPECT_TRUE(repliedAs(reply, {{4, 1, 1, 4, 4}, {}, {}}));
        for (int row = 0; row < 5; ++row) EXPECT_TRUE(absent(row));
    }
}

TEST_F(RequestProcessingTest, RefusedRequestChangesNothing)
{
    preRegister(0);
    const wchar_t* requests[] = {L"0 2 1 1 1 x", L"0 9 0 0 0 0", L"0 0 0 0 0 0;reg delete", L"", L"\"0\" 2 2 2 2 2"};
    for (const wchar_t* request : requests) {
        SCOPED_TRACE(utf8(request));
        RegistrationReply reply;
        EXPECT_EQ(-1, processRegistrationRequest(request, true, &reply));
        EXPECT_TRUE(repliedAs(reply, {{2, 2, 2, 2, 2}, {2050, 2050, 2050, 2050, 2050}, {}}));
        for (const wchar_t* root : kRoots)
            EXPECT_TRUE(holdsEntry(current(root, 0), L"registered before", program(0), false, false));
        for (int row = 1; row < 5; ++row) EXPECT_TRUE(absent(row));
    }
    EXPECT_STREQ(L"Failed to update the context menu(registry).", messageTableText(2050, UiEnglish));
}

// Where TazuUAC could not keep libraries of its own folder from loading it changes nothing; its
// reply says why for every row that asked for a change.
TEST_F(RequestProcessingTest, WithoutARestrictedSearchNothingChanges)
{
    preRegister(0);
    struct Case {
        const wchar_t* request;
        ExpectedReply reply;
    };
    const Case cases[] = {
        {L"0 0 1 2 1 0", {{2, 0, 2, 0, 2}, {2040, 0, 2040, 0, 2040}, {}}},
        {L"0 0 x", {{2, 2, 2, 2, 2}, {2050, 2050, 2050, 2050, 2050}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.request));
        RegistrationReply reply;
        refuseWithoutRestrictedSearch(c.request, &reply);
        EXPECT_TRUE(repliedAs(reply, c.reply));
        for (const wchar_t* root : kRoots)
            EXPECT_TRUE(holdsEntry(current(root, 0), L"registered before", program(0), false, false));
        for (int row = 1; row < 5; ++row) EXPECT_TRUE(absent(row));
    }
}

TEST_F(RequestProcessingTest, WithoutElevationEveryRequestedRowFails)
{
    struct Case {
        const wchar_t* request;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"1 2 1 0 1 1", L"TaZUUACは管理者権限で起動してください。"},
        {L"0 2 1 0 1 1", L"Please start TazuUAC with administrator's privilege."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.request));
        MessageRecorder recorder;
        const wchar_t* testName = g_programName;
        g_programName = L"TazuUAC";
        RegistrationReply reply;
        EXPECT_EQ(0, processRegistrationRequest(c.request, false, &reply));
        g_programName = testName;
        EXPECT_TRUE(repliedAs(reply, {{2, 0, 2, 0, 0}, {2000, 0, 2000, 0, 0}, {}}));
        ASSERT_EQ(1u, recorder.shown().size());
        EXPECT_EQ(L"TazuUAC", recorder.shown()[0].title);
        EXPECT_EQ(c.text, recorder.shown()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_TOPMOST), recorder.shown()[0].style);
        for (int row = 0; row < 5; ++row) EXPECT_TRUE(absent(row));
    }
}

TEST_F(RequestProcessingTest, FailedRowIsLoggedAndTheOthersGoOn)
{
    ASSERT_TRUE(DeleteFileW(program(2).c_str()));
    g_settings.debug = 1;
    RegistrationReply reply;
    ASSERT_EQ(0, processRegistrationRequest(L"0 2 2 2 1 1", true, &reply));
    EXPECT_TRUE(repliedAs(reply, {{1, 1, 2, 0, 0}, {0, 0, 2005, 0, 0}, {0, 0, 2, 0, 0}}));
    EXPECT_TRUE(registered(0, UiEnglish, 1, true, false));
    EXPECT_TRUE(registered(1, UiEnglish, 2, false, false));
    EXPECT_TRUE(absent(2));
    std::wstring log = readUtf16File(folder.path + L"tazu_debug.log");
    EXPECT_EQ(L"ID:UAC-CMP3 CD:0x00000002\r\nID:UAC-RRP2 CD:0x00000000\r\nID:" + caption(2, UiEnglish, 3) +
                  L" CD:0x00000000\r\n\r\n",
              log);
}

class LongCaptionProcessingTest : public RequestProcessingTest {
protected:
    void SetUp() override
    {
        // Only text: a folder whose name makes the captions of rows 1 and later longer than 259
        // characters, while row 0's still fits with its access key.
        std::wstring longFolder = L"C:\\x\\tazu_" + std::wstring(230, L'l') + L"\\";
        ASSERT_EQ(0, setInstallation(longFolder.c_str(), CallerHelper));
        ASSERT_EQ(257, composeMenuCaption(0, UiEnglish, 1, buffer, kMenuCaptionChars));
        ASSERT_EQ(264, composeMenuCaption(1, UiEnglish, 2, buffer, kMenuCaptionChars));
        folder = ProgramFolder();
        g_settings.debug = 0;
        trailClear(&g_errorTrail);
    }

    void TearDown() override
    {
        for (const wchar_t* root : kRoots)
            for (const wchar_t* base : kBaseNames)
                registration_test::deleteKeyTree(verbKey(root, g_installation.verbKeyPrefix, base));
        RequestProcessingTest::TearDown();
    }

    wchar_t buffer[kMenuCaptionChars];
};

TEST_F(LongCaptionProcessingTest, CaptionOver259CharactersStopsTheRows)
{
    RegistrationReply reply;
    ASSERT_EQ(0, processRegistrationRequest(L"0 2 2 2 1 1", true, &reply));
    // Row 0's program is missing (2005, its folder is not there); row 1 reports its own too-long caption, not row 0's
    // number; row 2 is never processed.
    EXPECT_TRUE(repliedAs(reply, {{2, 2, 0, 0, 0}, {2005, 2001, 0, 0, 0}, {3, 0, 0, 0, 0}}));
    for (const wchar_t* root : kRoots)
        for (int row = 0; row < 3; ++row)
            EXPECT_FALSE(keyExists(verbKey(root, g_installation.verbKeyPrefix, kBaseNames[row])));
}

}  // namespace
