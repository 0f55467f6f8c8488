// TazuHere end to end, the result window: its colours and texts in each state, the automatic
// close after success and failure, the "Close" control, the switch, the hide and quit controls,
// the names line and the tooltips, and how it looks (borderless, translucent, tool window).
#include "here_fixture.h"

#include <commctrl.h>

namespace e2e {
namespace {

// How long the window stays after its final state was shown. A closing window is hidden
// first; its destruction may take longer where the system waits for a window manager.
::testing::AssertionResult closesAfter(HWND result, DWORD shownAt, DWORD lowMs, DWORD highMs)
{
    if (!driver::waitUntil([&] { return !IsWindow(result) || !IsWindowVisible(result); }, highMs + 3000, 10))
        return ::testing::AssertionFailure() << "the window did not close";
    DWORD took = GetTickCount() - shownAt;
    if (took < lowMs || took > highMs)
        return ::testing::AssertionFailure() << "closed after " << took << " ms, expected " << lowMs << " to " << highMs;
    return ::testing::AssertionSuccess();
}

TEST_F(HereTest, WaitsBlueThenTurnsRedAndClosesAfterAFailure)
{
    struct Case {
        const wchar_t* lang;
        const wchar_t* missingText;
    } cases[] = {
        {L"en", L"Please select a folder or file.\n\n"},
        {L"ja", L"フォルダ又はファイルを選択してください。\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.lang));
        ASSERT_TRUE(settings(c.lang));
        std::wstring missing = sandbox.data + L"missing.txt";
        std::wstring good = file(std::wstring(L"good_") + c.lang + L".txt", "good");

        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(missing) + L" " + inQuotes(good), &program));
        HWND result = findResultWindow(*program);
        ASSERT_TRUE(result);
        // While the message of the missing item is open, the run goes on: blue, "Please wait."
        HWND box = driver::findMessageBox(program->id, 10000);
        ASSERT_TRUE(box);
        EXPECT_TRUE(waitForStatus(result, L"Please wait.", 2000));
        EXPECT_TRUE(hasColour(result, kWaitingColour));
        EXPECT_TRUE(answerMessageBox(*program, kHereTitle, c.missingText + missing, driver::IconError, IDOK));

        // The good item is still copied; the run ends as failed.
        EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
        DWORD shownAt = GetTickCount();
        EXPECT_TRUE(hasColour(result, kFailureColour));
        EXPECT_TRUE(driver::isTopmost(result));
        EXPECT_TRUE(closesAfter(result, shownAt, 3000, 4500));
        EXPECT_TRUE(endsWith(*program, 0, 5000));
        int backups = 0;
        for (const std::wstring& name : listFolder(sandbox.data)) {
            if (isTimeStampedName(name, std::wstring(L"good_") + c.lang, L".txt")) ++backups;
        }
        EXPECT_EQ(1, backups);
    }
}

TEST_F(HereTest, TurnsGreenAndClosesAfterSuccess)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring item = file(L"report.txt", "report");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    ASSERT_TRUE(waitForStatus(result, L"Success.", 10000));
    DWORD shownAt = GetTickCount();
    EXPECT_TRUE(hasColour(result, kSuccessColour));
    EXPECT_TRUE(driver::isTopmost(result));
    EXPECT_EQ(L"[report.txt]", driver::controlText(result, kNamesId));
    EXPECT_EQ(L"Auto close:On", driver::controlText(result, kSwitchId));
    EXPECT_FALSE(driver::isVisible(GetDlgItem(result, kCloseId)));
    EXPECT_TRUE(closesAfter(result, shownAt, 1000, 2500));
    EXPECT_TRUE(endsWith(*program, 0, 5000));
}

}  // namespace
}  // namespace e2e
