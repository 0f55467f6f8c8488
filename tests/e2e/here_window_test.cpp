// TazuHere end to end, the result window: its colours and texts in each state, the automatic
// close after success and failure, the "Close" control, the switch, the hide and quit controls,
// the names line and the tooltips, and how it looks (borderless, translucent, tool window).
#include "here_fixture.h"

#include <commctrl.h>

namespace e2e {
namespace {

class HereResultWindow : public HereTest {};

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

TEST_F(HereResultWindow, WaitsBlueThenTurnsRedAndClosesAfterAFailure)
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
        // (Reading the box moves it off the result window, which it covers.)
        HWND box = driver::findMessageBox(program->id, 10000);
        ASSERT_TRUE(box);
        driver::MessageBoxInfo info;
        ASSERT_TRUE(driver::readMessageBox(box, &info));
        EXPECT_TRUE(waitForStatus(result, L"Please wait.", 2000));
        EXPECT_TRUE(hasColour(result, kWaitingColour));
        EXPECT_EQ(kHereTitle, info.title);
        EXPECT_EQ(c.missingText + missing, info.text);
        EXPECT_EQ(driver::IconError, info.icon);
        driver::pressButton(box, IDOK);

        // The good item is still copied; the run ends as failed.
        EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
        DWORD shownAt = GetTickCount();
        EXPECT_TRUE(hasColour(result, kFailureColour));
        EXPECT_TRUE(driver::isTopmost(result));
        EXPECT_TRUE(closesAfter(result, shownAt, 3000, 5000));
        EXPECT_TRUE(endsWith(*program, 0, 5000));
        int backups = 0;
        for (const std::wstring& name : namesIn(sandbox.data)) {
            if (isTimeStampedName(name, std::wstring(L"good_") + c.lang, L".txt")) ++backups;
        }
        EXPECT_EQ(1, backups);
    }
}

TEST_F(HereResultWindow, TurnsGreenAndClosesAfterSuccess)
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
    HWND tooltip = driver::tooltipOf(program->id);
    ASSERT_TRUE(tooltip);
    EXPECT_EQ(1, driver::toolCount(tooltip));
    EXPECT_EQ(item, driver::toolText(program->id, tooltip, result, 1));
    EXPECT_EQ(L"Auto close:On", driver::controlText(result, kSwitchId));
    EXPECT_FALSE(driver::isVisible(GetDlgItem(result, kCloseId)));
    EXPECT_TRUE(closesAfter(result, shownAt, 1000, 3000));
    EXPECT_TRUE(endsWith(*program, 0, 5000));
}

TEST_F(HereResultWindow, LooksAsItShould)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring item = file(L"report.txt", "report");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(sandbox.data + L"missing") + L" " + inQuotes(item), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    ASSERT_TRUE(driver::findMessageBox(program->id, 10000));
    // Borderless pop-up tool window, translucent at 160 of 255, centred on the screen.
    LONG_PTR style = GetWindowLongPtrW(result, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_FALSE((style & WS_CAPTION) == WS_CAPTION);
    EXPECT_TRUE(driver::hasExStyle(result, WS_EX_TOOLWINDOW));
    EXPECT_TRUE(driver::hasExStyle(result, WS_EX_LAYERED));
    BYTE alpha = 0;
    EXPECT_TRUE(driver::layeredOpacity(result, &alpha));
    EXPECT_EQ(160, alpha);
    EXPECT_FALSE(driver::isTopmost(result));
    RECT window;
    GetWindowRect(result, &window);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (window.left + window.right) / 2, 2);
    EXPECT_NEAR((work.top + work.bottom) / 2, (window.top + window.bottom) / 2, 2);
    // The controls: "-", "x", the switch, and a hidden "Close".
    EXPECT_EQ(L"-", driver::controlText(result, kHideId));
    EXPECT_EQ(L"x", driver::controlText(result, kQuitId));
    EXPECT_EQ(L"Auto close:On", driver::controlText(result, kSwitchId));
    EXPECT_FALSE(driver::isVisible(GetDlgItem(result, kCloseId)));
    EXPECT_TRUE(answerMessageBox(*program, kHereTitle, L"Please select a folder or file.\n\n" + sandbox.data + L"missing",
                                 driver::IconError, IDOK));
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
    EXPECT_TRUE(driver::isTopmost(result));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
}

TEST_F(HereResultWindow, WithoutAutoCloseItWaitsForClose)
{
    ASSERT_TRUE(settings(L"en", 0));
    std::string before;
    ASSERT_TRUE(readSettingsBytes(sandbox, &before));
    std::wstring item = file(L"report.txt", "report");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    ASSERT_TRUE(waitForStatus(result, L"Success.", 10000));
    EXPECT_EQ(L"Auto close:Off", driver::controlText(result, kSwitchId));
    HWND close = GetDlgItem(result, kCloseId);
    ASSERT_TRUE(driver::waitUntil([&] { return driver::isVisible(close); }, 2000));
    EXPECT_EQ(L"Close", driver::text(close));
    EXPECT_TRUE(hasColour(result, kSuccessColour));
    // The button is painted after it is shown: give the paint a moment.
    EXPECT_TRUE(driver::waitUntil([&] { return driver::pixel(close, 1, 1) == RGB(32, 239, 0); }, 2000))
        << "colour " << std::hex << driver::pixel(close, 1, 1);
    // Well past the automatic close, the window is still there; the switch no longer changes.
    Sleep(2500);
    EXPECT_TRUE(driver::isVisible(result));
    driver::clickChild(result, kSwitchId);
    Sleep(300);
    EXPECT_EQ(L"Auto close:Off", driver::controlText(result, kSwitchId));
    driver::click(close);
    EXPECT_TRUE(endsWith(*program, 0, 5000));
    std::string after;
    ASSERT_TRUE(readSettingsBytes(sandbox, &after));
    EXPECT_EQ(before, after);
}

TEST_F(HereResultWindow, AutoCloseOtherThanOneIsOff)
{
    // Read as the other switches are read: only 1 turns it on.
    std::wstring item = file(L"report.txt", "report");
    for (const wchar_t* value : {L"2", L"-1"}) {
        SCOPED_TRACE(narrow(value));
        ASSERT_TRUE(writeSettings(sandbox, {{L"Lang", L"en"}, {L"AutoClose", value}}));
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(item), &program));
        HWND result = findResultWindow(*program);
        ASSERT_TRUE(result);
        EXPECT_EQ(L"Auto close:Off", driver::controlText(result, kSwitchId));
        ASSERT_TRUE(waitForStatus(result, L"Success.", 10000));
        HWND close = GetDlgItem(result, kCloseId);
        ASSERT_TRUE(driver::waitUntil([&] { return driver::isVisible(close); }, 2000));
        driver::click(close);
        EXPECT_TRUE(endsWith(*program, 0, 5000));
    }
}

TEST_F(HereResultWindow, SwitchedOffDuringTheRunItStaysAndTheSettingsKeepTheirValue)
{
    ASSERT_TRUE(settings(L"en", 1));
    std::string before;
    ASSERT_TRUE(readSettingsBytes(sandbox, &before));
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(sandbox.data + L"missing"), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    // Click, then the keys that act (Space, Enter) and one that is swallowed (A).
    struct Step {
        const char* label;
        int action;  // 0 click, else a virtual key
        const wchar_t* expected;
    } steps[] = {
        {"click", 0, L"Auto close:Off"},
        {"space", VK_SPACE, L"Auto close:On"},
        {"enter", VK_RETURN, L"Auto close:Off"},
        {"another key", 'A', L"Auto close:Off"},
    };
    HWND toggle = GetDlgItem(result, kSwitchId);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        if (step.action == 0) driver::click(toggle);
        else driver::key(toggle, step.action);
        EXPECT_TRUE(driver::waitUntil([&] { return driver::text(toggle) == step.expected; }, 2000));
    }
    driver::pressButton(box, IDOK);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 10000));
    EXPECT_TRUE(hasColour(result, kFailureColour));
    HWND close = GetDlgItem(result, kCloseId);
    EXPECT_TRUE(driver::waitUntil([&] { return driver::isVisible(close); }, 2000));
    // Shown is not yet painted: the label takes its colour with its first paint.
    EXPECT_TRUE(driver::waitUntil([&] { return driver::pixel(close, 1, 1) == RGB(230, 0, 0); }, 2000))
        << "colour " << std::hex << driver::pixel(close, 1, 1);
    Sleep(4500);
    EXPECT_TRUE(driver::isVisible(result));
    driver::key(close, VK_RETURN);
    EXPECT_TRUE(endsWith(*program, 0, 5000));
    std::string after;
    ASSERT_TRUE(readSettingsBytes(sandbox, &after));
    EXPECT_EQ(before, after);
}

TEST_F(HereResultWindow, HiddenDuringTheRunItComesBackTopmostAtTheEnd)
{
    ASSERT_TRUE(settings(L"en", 0));
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(sandbox.data + L"missing"), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    driver::clickChild(result, kHideId);
    EXPECT_TRUE(driver::waitUntil([&] { return !driver::isVisible(result); }, 2000));
    EXPECT_TRUE(driver::isRunning(*program));
    driver::pressButton(box, IDOK);
    EXPECT_TRUE(driver::waitUntil([&] { return driver::isVisible(result); }, 5000));
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 5000));
    EXPECT_TRUE(driver::isTopmost(result));
    driver::clickChild(result, kCloseId);
    EXPECT_TRUE(endsWith(*program, 0, 5000));
}

TEST_F(HereResultWindow, QuitAsksFirstAndEndsTheProgramEvenDuringTheRun)
{
    struct Case {
        const wchar_t* lang;
        const wchar_t* question;
    } cases[] = {
        {L"en", L"Are you sure you want to quit?"},
        {L"ja", L"終了してよろしいですか?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.lang));
        // The folder dialog keeps the run going while the test asks to quit.
        ASSERT_TRUE(settings(c.lang, 1, {{L"SelDir", L"1"}}));
        std::wstring item = file(L"report.txt", "report");
        driver::Program* program = nullptr;
        ASSERT_TRUE(start(inQuotes(item), &program));
        HWND result = findResultWindow(*program);
        ASSERT_TRUE(result);
        ASSERT_TRUE(driver::findWindow(program->id, L"#32770", L"Browse for Folder", 10000));
        HWND quit = GetDlgItem(result, kQuitId);

        driver::click(quit);
        EXPECT_TRUE(answerMessageBox(*program, kHereTitle, c.question, driver::IconQuestion, IDNO));
        Sleep(300);
        EXPECT_TRUE(driver::isRunning(*program));
        EXPECT_TRUE(driver::isVisible(result));

        driver::key(quit, VK_SPACE);
        EXPECT_TRUE(answerMessageBox(*program, kHereTitle, c.question, driver::IconQuestion, IDYES));
        EXPECT_TRUE(endsWith(*program, 0, 5000));
        EXPECT_EQ((std::vector<std::wstring>{L"report.txt"}), namesIn(sandbox.data));
    }
}

TEST_F(HereResultWindow, NamesLineStopsGrowingAndTooltipsNameTheFirstItem)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring tail;
    std::wstring firstPath;
    std::wstring expectedNames;
    for (int i = 1; i <= 30; ++i) {
        wchar_t name[16];
        _snwprintf(name, 16, L"f%02d.txt", i);
        name[15] = L'\0';
        std::wstring path = file(name, "x");
        if (i == 1) firstPath = path;
        tail += (tail.empty() ? L"" : L" ") + path;
        // The text grows while it holds at most 64 characters.
        if (expectedNames.size() <= 64) expectedNames += (expectedNames.empty() ? L"" : L" ") + std::wstring(name);
    }
    ASSERT_EQ(71u, expectedNames.size());
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(tail, &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 30000));
    EXPECT_EQ(L"[" + expectedNames + L"]", driver::controlText(result, kNamesId));
    HWND tooltip = driver::tooltipOf(program->id);
    ASSERT_TRUE(tooltip);
    EXPECT_EQ(2, driver::toolCount(tooltip));
    EXPECT_EQ(firstPath, driver::toolText(program->id, tooltip, result, 1));
    EXPECT_EQ(firstPath + L" ...", driver::toolText(program->id, tooltip, result, 2));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
    int backups = 0;
    for (const std::wstring& name : namesIn(sandbox.data)) {
        if (name.size() > 8 && name[3] == L'_') ++backups;
    }
    EXPECT_EQ(30, backups);
}

}  // namespace
}  // namespace e2e
