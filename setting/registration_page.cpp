// Registration page: shows where each command is registered, couples its switches, runs
// "Execute" over Send To, the desktop and the context menu (the machine's through the elevated
// helper, or this user's own right here), and shows what came of it.
#include "registration_page.h"

#include <commctrl.h>

#include "errors.h"
#include "menu_request.h"
#include "registration_page_rules.h"
#include "resource_ids.h"
#include "row_icons.h"
#include "setting_window.h"
#include "settings.h"
#include "shortcuts.h"
#include "token_elevation.h"

namespace {

// "Execute" runs this long after the last click, so that a burst of clicks gives one run.
constexpr UINT_PTR kExecuteTimer = 1;
constexpr UINT kExecuteDelayMs = 500;

// A caption followed by the installation's suffix, which a long folder name makes long: the
// shortcut operation must see its whole length to refuse a path that is too long.
constexpr size_t kCaptionChars = kCaptionLimit + kInstallationTextChars + 1;
// The message and the system's text for the code.
constexpr size_t kDetailsChars = 2048;

// Page state, kept as long as the program runs (tab switches included).
int g_remembered[kPlaceCount][kCommandCount];   // positions read at the last "Execute"
ResultTables g_results;
ResultFlags g_flags;
bool g_detailsShown = false;
int g_detailsPlace = 0;
int g_detailsRow = 0;
bool g_busy = false;   // an "Execute" runs
bool g_shieldShown = false;
HICON g_shieldIcon = nullptr;   // the system's shield, at the size of a small icon for the page's DPI
ElevationHandoffResult g_handoff;
bool g_otherScopeHasEntries = false;   // the scope that the box does not name holds entries
// An elevated TazuSetting's own classes may be those of the account that elevated, which the
// signed-in user's file manager never shows: the box stays off and cannot be ticked.
bool g_userEntriesElsewhere = false;

HWND switchOf(HWND page, int place, int row)
{
    return GetDlgItem(page, switchControlId(place, row));
}

void readSwitches(HWND page, SwitchBoard* board)
{
    for (int place = 0; place < kPlaceCount; ++place) {
        board->all[place] = static_cast<int>(SendMessageW(switchOf(page, place, kAllRow), TBM_GETPOS, 0, 0));
        for (int row = 0; row < kCommandCount; ++row)
            board->rows[place][row] = static_cast<int>(SendMessageW(switchOf(page, place, row), TBM_GETPOS, 0, 0));
    }
}

void writeSwitches(HWND page, const SwitchBoard& board)
{
    for (int place = 0; place < kPlaceCount; ++place) {
        SendMessageW(switchOf(page, place, kAllRow), TBM_SETPOS, TRUE, board.all[place]);
        for (int row = 0; row < kCommandCount; ++row)
            SendMessageW(switchOf(page, place, row), TBM_SETPOS, TRUE, board.rows[place][row]);
    }
}

// Range Off to On, one tick per position, the arrow and page keys move by one, at Keep.
void setUpSwitch(HWND control)
{
    SendMessageW(control, TBM_SETRANGE, TRUE, MAKELPARAM(SwitchOff, SwitchOn));
    SendMessageW(control, TBM_SETTICFREQ, 1, 0);
    SendMessageW(control, TBM_SETPAGESIZE, 0, 1);
    SendMessageW(control, TBM_SETPOS, TRUE, SwitchKeep);
}

void setLabel(HWND page, int place, int row, int side, const wchar_t* text)
{
    if (text) SetDlgItemTextW(page, statusLabelId(place, row, side), text);
}

// The system's shield at the size of a small icon for a DPI. Common controls 6 have the loader;
// older systems have neither it nor a shield (null).
HICON loadShield(int dpi)
{
    typedef HRESULT(WINAPI * LoadIconWithScaleDownFn)(HINSTANCE, PCWSTR, int, int, HICON*);
    auto loadIcon = reinterpret_cast<LoadIconWithScaleDownFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "LoadIconWithScaleDown")));
    HICON icon = nullptr;
    int side = rowIconPixels(dpi);
    if (loadIcon && FAILED(loadIcon(nullptr, IDI_SHIELD, side, side, &icon))) icon = nullptr;
    return icon;
}

// The elevation shield is the button's image beside its text: the same look everywhere, also
// where the button cannot draw a shield of its own.
void showShield(HWND page, bool shown)
{
    g_shieldShown = shown;
    if (shown && !g_shieldIcon) g_shieldIcon = loadShield(windowDpi(page));
    SendDlgItemMessageW(page, IDC_REG_EXECUTE, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(shown ? g_shieldIcon : nullptr));
}

void rowCaption(int row, wchar_t* caption)
{
    composeCaption(row, g_settingLanguage, caption, kCaptionChars);
}

// The "for this user only" box: whose classes the context-menu column shows and changes.
bool userMenuChosen(HWND page)
{
    return !g_userEntriesElsewhere && IsDlgButtonChecked(page, IDC_REG_USER_MENU) == BST_CHECKED;
}

MenuScope chosenMenuScope(HWND page)
{
    return userMenuChosen(page) ? MenuForUser : MenuForMachine;
}

// ---- State detection ----

void renderScopeNote(HWND page)
{
    SetDlgItemTextW(page, IDC_REG_SCOPE_NOTE,
                    scopeNoteText(g_userEntriesElsewhere, userMenuChosen(page), g_otherScopeHasEntries, g_settingLanguage));
}

// Whether any command of this installation has an entry in a scope's classes.
bool scopeHoldsEntries(MenuScope scope)
{
    bool found = false;
    for (int row = 0; row < kCommandCount && !found; ++row) {
        trailClear(&g_errorTrail);
        found = checkProgramEntries(scope, commandFileName(row)) == 0;
    }
    trailClear(&g_errorTrail);
    return found;
}

// Asks one place whether each command is registered there and marks the matching side; for
// the context menu, in the scope that the box names, with the note on the other scope.
void detectPlace(HWND page, int place)
{
    MenuScope scope = chosenMenuScope(page);
    for (int row = 0; row < kCommandCount; ++row) {
        trailClear(&g_errorTrail);
        wchar_t caption[kCaptionChars];
        rowCaption(row, caption);
        int check = dispatchPlaceOperation(place, commandFileName(row), caption, OperationCheck, scope);
        const wchar_t* offText = nullptr;
        const wchar_t* onText = nullptr;
        detectionMarks(entryStateOfCheck(check), &offText, &onText);
        setLabel(page, place, row, OffSide, offText);
        setLabel(page, place, row, OnSide, onText);
    }
    if (place != PlaceContextMenu) return;
    g_otherScopeHasEntries = scopeHoldsEntries(scope == MenuForUser ? MenuForMachine : MenuForUser);
    renderScopeNote(page);
}

void detectStates(HWND page)
{
    for (int place = 0; place < kPlaceCount; ++place) detectPlace(page, place);
}

// ---- Result line and details ----

void renderResultLine(HWND page)
{
    SetDlgItemTextW(page, IDC_REG_RESULT, resultLineText(g_flags, g_settingLanguage));
}

void renderDetails(HWND page)
{
    wchar_t details[kDetailsChars];
    composeDetails(g_results.numbers[g_detailsPlace][g_detailsRow], g_results.codes[g_detailsPlace][g_detailsRow],
                   detailsSuggestUserMenu(g_detailsPlace, g_handoff), g_settingLanguage, details, kDetailsChars);
    SetDlgItemTextW(page, IDC_REG_RESULT, details);
}

// ---- Execute ----

// Registers (On) or removes (Off) the shortcuts of a place, row by row.
void runShortcutPlace(int place)
{
    for (int row = 0; row < kCommandCount; ++row) {
        int position = g_remembered[place][row];
        if (!requestsChange(position)) continue;
        trailClear(&g_errorTrail);
        wchar_t caption[kCaptionChars];
        rowCaption(row, caption);
        int operation = position == SwitchOn ? OperationRegister : OperationRemove;
        // The scope concerns only the context menu, which is not among the shortcut places.
        int result = dispatchPlaceOperation(place, commandFileName(row), caption, operation, MenuForMachine);
        g_results.results[place][row] = resultOfPlaceOperation(result);
        g_results.numbers[place][row] = g_errorTrail.keptNumber;
        g_results.codes[place][row] = g_errorTrail.keptCode;
    }
}

// This user's own entries need no rights: the request is carried out here, row by row as the
// elevated helper carries it out for the machine, and its reply becomes the context-menu column.
void runUserMenu()
{
    ElevationHandoffResult outcome = ElevationHandoffResult();
    outcome.started = true;   // nothing had to be started: every cell reports its own result
    trailClear(&g_errorTrail);
    carryOutMenuRequest(MenuForUser, g_settingLanguage, g_remembered[PlaceContextMenu], &outcome.reply);
    trailClear(&g_errorTrail);
    storeElevationOutcome(outcome);
}

void showRunLabels(HWND page)
{
    settleContextMenuColumn(&g_results, g_remembered[PlaceContextMenu], g_handoff);
    for (int place = 0; place < kPlaceCount; ++place) {
        for (int row = 0; row < kCommandCount; ++row) {
            int position = g_remembered[place][row];
            if (!requestsChange(position)) continue;
            int result = g_results.results[place][row];
            noteResult(&g_flags, result);
            CellLabels labels = labelsAfterRun(position, result);
            setLabel(page, place, row, OffSide, labels.offText);
            setLabel(page, place, row, OnSide, labels.onText);
        }
    }
}

// Reads the switches and carries out what they ask for. The switches stay where they are.
void runExecute(HWND page)
{
    g_flags = ResultFlags();
    g_detailsShown = false;
    g_handoff = ElevationHandoffResult();
    SetDlgItemTextW(page, IDC_REG_RESULT, L"");
    detectStates(page);

    bool anyRequested = false;
    bool contextMenuRequested = false;
    for (int place = 0; place < kPlaceCount; ++place) {
        for (int row = 0; row < kCommandCount; ++row) {
            int position = static_cast<int>(SendMessageW(switchOf(page, place, row), TBM_GETPOS, 0, 0));
            g_remembered[place][row] = position;
            if (!requestsChange(position)) continue;
            anyRequested = true;
            if (place == PlaceContextMenu) contextMenuRequested = true;
        }
    }
    if (!anyRequested) {
        g_flags.nothingRequested = true;
        renderResultLine(page);
        return;
    }

    g_results = ResultTables();
    runShortcutPlace(PlaceSendTo);
    runShortcutPlace(PlaceDesktop);
    // The settings window runs the elevated helper and hands its outcome back (storeElevationOutcome).
    if (contextMenuRequested && userMenuChosen(page))
        runUserMenu();
    else if (contextMenuRequested)
        SendMessageW(g_mainWindow, WM_COMMAND, MAKEWPARAM(IDC_MAIN_RUN_ELEVATION, 0), reinterpret_cast<LPARAM>(page));
    showRunLabels(page);
    renderResultLine(page);
}

// ---- Messages ----

void onInitDialog(HWND page)
{
    for (int place = 0; place < kPlaceCount; ++place) {
        setUpSwitch(switchOf(page, place, kAllRow));
        for (int row = 0; row < kCommandCount; ++row) setUpSwitch(switchOf(page, place, row));
    }
    // The box names the scope that the detection reads.
    g_userEntriesElsewhere = userClassesAreNotTheDesktops();
    CheckDlgButton(page, IDC_REG_USER_MENU, g_settings.userMenu == 1 && !g_userEntriesElsewhere ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(page, IDC_REG_USER_MENU), !g_userEntriesElsewhere);
    detectStates(page);
    for (auto& place : g_remembered)
        for (int& position : place) position = SwitchKeep;
    g_results = ResultTables();
    g_flags = ResultFlags();
    g_detailsShown = false;
    SetDlgItemTextW(page, IDC_REG_RESULT, L"");
    CheckDlgButton(page, IDC_REG_START_SETTING, g_settings.startSetting == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_REG_AUTO_CLOSE, g_settings.autoClose == 1 ? BST_CHECKED : BST_UNCHECKED);
    drawRowIcons(page, windowDpi(page));
}

// A switch moved (by mouse or keyboard): couple its column and decide the shield.
void onSwitchMoved(HWND page, HWND control)
{
    int place = 0;
    int row = 0;
    if (!switchOfControl(GetDlgCtrlID(control), &place, &row)) return;
    SwitchBoard board;
    readSwitches(page, &board);
    coupleSwitches(&board, place, row);
    writeSwitches(page, board);
    showShield(page, shieldAfterMove(board, place, row, g_shieldShown, userMenuChosen(page)));
}

// The box now names the other scope: the context-menu marks and the note are read there, and
// the shield shows only when the elevated helper would be needed.
void onUserMenuToggled(HWND page)
{
    detectPlace(page, PlaceContextMenu);
    SwitchBoard board;
    readSwitches(page, &board);
    showShield(page, !userMenuChosen(page) && contextMenuChangeRequested(board));
}

// A click on a status label shows the details of a failed cell on the side that was asked for.
void onStatusLabelClicked(HWND page, int id)
{
    if (g_busy) return;
    int place = 0;
    int row = 0;
    if (!detailsCellOfLabel(id, g_remembered, g_results, &place, &row)) return;
    g_detailsShown = true;
    g_detailsPlace = place;
    g_detailsRow = row;
    renderDetails(page);
}

void onCommand(HWND page, int id, int code)
{
    if (id == IDC_REG_EXECUTE) {
        if (code == BN_CLICKED) SetTimer(page, kExecuteTimer, kExecuteDelayMs, nullptr);   // restarts it
        return;
    }
    if (id == IDC_REG_USER_MENU) {
        if (code == BN_CLICKED) onUserMenuToggled(page);
        return;
    }
    if (code == STN_CLICKED) onStatusLabelClicked(page, id);
}

void onTimer(HWND page, UINT_PTR id)
{
    if (id != kExecuteTimer) return;
    KillTimer(page, kExecuteTimer);
    // The hand-off can show the shell's messages, whose loop could bring a second run here.
    if (g_busy) return;
    g_busy = true;
    runExecute(page);
    g_busy = false;
}

void onDestroy()
{
    deleteRowIcons();
    if (g_shieldIcon) DestroyIcon(g_shieldIcon);
    g_shieldIcon = nullptr;
}

}  // namespace

INT_PTR CALLBACK registrationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(page);
        return FALSE;   // the settings window decides where the focus goes
    case WM_HSCROLL:
        onSwitchMoved(page, reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_COMMAND:
        onCommand(page, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        onTimer(page, wParam);
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

void collectRegistrationPage(HWND page, int* startSetting, int* autoClose, int* userMenu)
{
    *startSetting = IsDlgButtonChecked(page, IDC_REG_START_SETTING) == BST_CHECKED ? 1 : 0;
    *autoClose = IsDlgButtonChecked(page, IDC_REG_AUTO_CLOSE) == BST_CHECKED ? 1 : 0;
    // An elevated run cannot change the choice, so it keeps the one saved.
    *userMenu = g_userEntriesElsewhere ? (g_settings.userMenu == 1 ? 1 : 0) : (userMenuChosen(page) ? 1 : 0);
}

const int* rememberedContextMenuPositions()
{
    return g_remembered[PlaceContextMenu];
}

void storeElevationOutcome(const ElevationHandoffResult& outcome)
{
    g_handoff = outcome;
    storeContextMenuReply(&g_results, outcome.reply);
}

void applyRegistrationPageDpi(HWND page, int dpi)
{
    drawRowIcons(page, dpi);
    if (!g_shieldIcon) return;
    HICON old = g_shieldIcon;
    g_shieldIcon = loadShield(dpi);
    if (g_shieldShown)
        SendDlgItemMessageW(page, IDC_REG_EXECUTE, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(g_shieldIcon));
    DestroyIcon(old);
}

void renderRegistrationResult(HWND page)
{
    renderScopeNote(page);
    if (g_detailsShown)
        renderDetails(page);
    else
        renderResultLine(page);
}
