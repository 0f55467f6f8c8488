// Rules of TazuSetting's registration page: where its switches and labels sit, the coupling of
// the switches, the shield, the marks and labels of a cell, the context-menu column after the
// hand-off, the result line and which click shows which details.
#include <gtest/gtest.h>

#include <string>

#include "registration_page_rules.h"
#include "unit_support.h"

namespace {

std::wstring textOf(const wchar_t* text)
{
    return text ? text : L"<unchanged>";
}

SwitchBoard boardAt(int position)
{
    SwitchBoard board;
    for (int place = 0; place < kPlaceCount; ++place) {
        board.all[place] = position;
        for (int row = 0; row < kCommandCount; ++row) board.rows[place][row] = position;
    }
    return board;
}

TEST(RegistrationPageLayout, ControlsOfEachCell)
{
    struct Anchor {
        int place;
        int row;
        int switchId;
        int offLabel;
    };
    // First and last row of each column, as the template lays them out.
    const Anchor anchors[] = {
        {PlaceSendTo, kAllRow, 1035, 0},       {PlaceDesktop, kAllRow, 1037, 0},
        {PlaceSendTo, 0, 1038, 1119},          {PlaceContextMenu, 0, 1039, 1121},
        {PlaceDesktop, 0, 1040, 1123},         {PlaceSendTo, 4, 1050, 1143},
        {PlaceContextMenu, 4, 1051, 1145},     {PlaceDesktop, 4, 1052, 1147},
    };
    for (const Anchor& a : anchors) {
        SCOPED_TRACE(std::to_string(a.place) + "/" + std::to_string(a.row));
        EXPECT_EQ(a.switchId, switchControlId(a.place, a.row));
        int place = -9, row = -9;
        ASSERT_TRUE(switchOfControl(a.switchId, &place, &row));
        EXPECT_EQ(a.place, place);
        EXPECT_EQ(a.row, row);
        if (a.row == kAllRow) continue;
        EXPECT_EQ(a.offLabel, statusLabelId(a.place, a.row, OffSide));
        EXPECT_EQ(a.offLabel + 1, statusLabelId(a.place, a.row, OnSide));
        int side = -9;
        ASSERT_TRUE(statusLabelOfControl(a.offLabel + 1, &place, &row, &side));
        EXPECT_EQ(a.place, place);
        EXPECT_EQ(a.row, row);
        EXPECT_EQ(OnSide, side);
    }
    int place, row, side;
    for (int id : {1034, 1053, 1118, 1149, 530, 700, 1108}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(id >= 1035 && id <= 1052, switchOfControl(id, &place, &row));
        EXPECT_FALSE(statusLabelOfControl(id, &place, &row, &side));
    }
}

TEST(RegistrationPageSwitches, CouplingWithinAColumn)
{
    struct Case {
        const char* name;
        int start;       // every switch
        int place;
        int movedRow;
        int movedTo;
        int otherRows;   // rows other than the moved one, before the move (-1: as start)
        int expectedAll;
        int expectedRows;   // every row of the column afterwards (-1: not all equal)
    };
    const Case cases[] = {
        {"All settings On carries the column", SwitchKeep, PlaceSendTo, kAllRow, SwitchOn, -1, SwitchOn, SwitchOn},
        {"All settings Off carries the column", SwitchOn, PlaceDesktop, kAllRow, SwitchOff, -1, SwitchOff, SwitchOff},
        {"one row back to Keep leaves All at On", SwitchOn, PlaceSendTo, 2, SwitchKeep, -1, SwitchOn, -1},
        {"the last row to agree sets All", SwitchKeep, PlaceContextMenu, 4, SwitchOff, SwitchOff, SwitchOff, SwitchOff},
        {"all rows back at Keep set All to Keep", SwitchOn, PlaceSendTo, 0, SwitchKeep, SwitchKeep, SwitchKeep,
         SwitchKeep},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SwitchBoard board = boardAt(c.start);
        if (c.otherRows >= 0)
            for (int row = 0; row < kCommandCount; ++row) board.rows[c.place][row] = c.otherRows;
        if (c.movedRow == kAllRow)
            board.all[c.place] = c.movedTo;
        else
            board.rows[c.place][c.movedRow] = c.movedTo;
        coupleSwitches(&board, c.place, c.movedRow);

        EXPECT_EQ(c.expectedAll, board.all[c.place]);
        for (int row = 0; row < kCommandCount; ++row) {
            int expected = c.expectedRows >= 0 ? c.expectedRows : (row == c.movedRow ? c.movedTo : c.start);
            EXPECT_EQ(expected, board.rows[c.place][row]) << "row " << row;
        }
        // The other columns never move.
        for (int place = 0; place < kPlaceCount; ++place) {
            if (place == c.place) continue;
            EXPECT_EQ(c.start, board.all[place]);
            for (int row = 0; row < kCommandCount; ++row) EXPECT_EQ(c.start, board.rows[place][row]);
        }
    }
}

TEST(RegistrationPageSwitches, ShieldOnlyForContextMenuChanges)
{
    struct Case {
        const char* name;
        int place;
        int movedRow;
        int contextAll;
        int contextRow3;   // the other context-menu rows stay at Keep
        bool shownBefore;
        bool shownAfter;
    };
    const Case cases[] = {
        {"Send To never decides", PlaceSendTo, kAllRow, SwitchKeep, SwitchKeep, true, true},
        {"the desktop never decides", PlaceDesktop, 1, SwitchKeep, SwitchOn, false, false},
        {"context-menu All at On", PlaceContextMenu, kAllRow, SwitchOn, SwitchOn, false, true},
        {"context-menu All at Off", PlaceContextMenu, kAllRow, SwitchOff, SwitchOff, false, true},
        {"context-menu All back at Keep", PlaceContextMenu, kAllRow, SwitchKeep, SwitchKeep, true, false},
        {"a context-menu row still asks", PlaceContextMenu, 0, SwitchKeep, SwitchOff, false, true},
        {"no context-menu row asks", PlaceContextMenu, 3, SwitchOn, SwitchKeep, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SwitchBoard board = boardAt(SwitchKeep);
        board.all[PlaceContextMenu] = c.contextAll;
        board.rows[PlaceContextMenu][3] = c.contextRow3;
        board.rows[PlaceSendTo][0] = SwitchOn;
        EXPECT_EQ(c.shownAfter, shieldAfterMove(board, c.place, c.movedRow, c.shownBefore));
    }
}

TEST(RegistrationPageCells, CheckAndOperationResults)
{
    struct Case {
        int result;
        const wchar_t* offMark;
        const wchar_t* onMark;
        int opResult;
    };
    const Case cases[] = {
        {0, L"", L"*", ResultDone},                // registered; done
        {4, L"*", L"", ResultAlreadyDone},         // not there; nothing to do
        {3, L"", L"", ResultFailure},              // access denied: undetermined
        {-1, L"*", L"", ResultFailure},
        {2, L"*", L"", ResultFailure},             // shortcuts found, none deleted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        const wchar_t* off = nullptr;
        const wchar_t* on = nullptr;
        detectionMarks(entryStateOfCheck(c.result), &off, &on);
        EXPECT_EQ(std::wstring(c.offMark), textOf(off));
        EXPECT_EQ(std::wstring(c.onMark), textOf(on));
        EXPECT_EQ(c.opResult, resultOfPlaceOperation(c.result));
    }
}

TEST(RegistrationPageCells, LabelsAfterExecute)
{
    struct Case {
        int position;
        int result;
        const wchar_t* off;
        const wchar_t* on;
    };
    const Case cases[] = {
        {SwitchOn, ResultDone, L"", L"OK"},
        {SwitchOn, ResultAlreadyDone, L"", L"OK"},
        {SwitchOn, ResultFailure, L"<unchanged>", L"NG"},   // the Off side keeps its mark
        {SwitchOn, ResultNone, L"<unchanged>", L""},        // the reply never came
        {SwitchOff, ResultAlreadyDone, L"OK", L""},
        {SwitchOff, ResultFailure, L"NG", L"<unchanged>"},
        {SwitchKeep, ResultFailure, L"<unchanged>", L"<unchanged>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + "/" + std::to_string(c.result));
        CellLabels labels = labelsAfterRun(c.position, c.result);
        EXPECT_EQ(std::wstring(c.off), textOf(labels.offText));
        EXPECT_EQ(std::wstring(c.on), textOf(labels.onText));
    }
}

TEST(RegistrationPageCells, ContextMenuColumnAfterTheHandoff)
{
    const int positions[kCommandCount] = {SwitchOn, SwitchOff, SwitchKeep, SwitchOn, SwitchOn};
    // The helper's reply: row 0 done, row 1 failed with its own number, row 2 untouched, row 3
    // nothing to do, row 4 never answered.
    RegistrationReply reply = {{ResultDone, ResultFailure, ResultNone, ResultAlreadyDone, ResultNone},
                               {0, 2011, 0, 0, 0},
                               {0, 5, 0, 0, 0}};
    struct Case {
        const char* name;
        bool started;
        bool failed;
        int results[kCommandCount];
        unsigned numbers[kCommandCount];
        DWORD codes[kCommandCount];
    };
    const Case cases[] = {
        {"helper replied", true, false, {1, 2, 0, 4, 0}, {0, 2011, 0, 0, 0}, {0, 5, 0, 0, 0}},
        {"block or event failed: failures show the hand-off's", true, true, {1, 2, 0, 4, 0},
         {0, 1070, 0, 0, 0}, {0, 6, 0, 0, 0}},
        {"helper not started: every asked cell failed", false, true, {2, 2, 0, 2, 2},
         {1070, 1070, 0, 1070, 1070}, {6, 6, 0, 6, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResultTables tables = {};
        tables.results[PlaceSendTo][2] = ResultDone;
        ElevationHandoffResult handoff;
        handoff.reply = c.started ? reply : RegistrationReply();
        handoff.started = c.started;
        handoff.failed = c.failed;
        handoff.keptNumber = 1070;
        handoff.keptCode = 6;
        storeContextMenuReply(&tables, handoff.reply);
        settleContextMenuColumn(&tables, positions, handoff);
        for (int row = 0; row < kCommandCount; ++row) {
            SCOPED_TRACE(row);
            EXPECT_EQ(c.results[row], tables.results[PlaceContextMenu][row]);
            EXPECT_EQ(c.numbers[row], tables.numbers[PlaceContextMenu][row]);
            EXPECT_EQ(c.codes[row], tables.codes[PlaceContextMenu][row]);
        }
        EXPECT_EQ(ResultDone, tables.results[PlaceSendTo][2]) << "other places are not touched";
    }
}

TEST(RegistrationPageResult, LineByPriority)
{
    auto lineAfter = [](std::initializer_list<int> results, bool nothingRequested, UiLanguage language) {
        ResultFlags flags = {};
        flags.nothingRequested = nothingRequested;
        for (int result : results) noteResult(&flags, result);
        return std::wstring(resultLineText(flags, language));
    };
    for (UiLanguage language : {UiEnglish, UiJapanese}) {
        SCOPED_TRACE(language);
        const std::wstring error = lineAfter({ResultFailure}, false, language);
        const std::wstring success = lineAfter({ResultDone}, false, language);
        const std::wstring nothing = lineAfter({}, true, language);
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(success.empty());
        EXPECT_FALSE(nothing.empty());
        EXPECT_NE(error, success);
        EXPECT_NE(success, nothing);
        EXPECT_EQ(error, lineAfter({ResultDone, ResultFailure, ResultAlreadyDone}, true, language));
        EXPECT_EQ(success, lineAfter({ResultAlreadyDone, ResultNone}, true, language));
        EXPECT_EQ(L"", lineAfter({ResultNone}, false, language)) << "a silent helper sums up to nothing";
    }
    EXPECT_EQ(L"NG:Error has occurred.You click the NG displayed error details.", lineAfter({ResultFailure}, false, UiEnglish));
}

TEST(RegistrationPageResult, DetailsOfTheClickedFailure)
{
    int remembered[kPlaceCount][kCommandCount];
    for (auto& place : remembered)
        for (int& position : place) position = SwitchKeep;
    ResultTables tables = {};
    remembered[PlaceContextMenu][1] = SwitchOn;
    tables.results[PlaceContextMenu][1] = ResultFailure;
    tables.numbers[PlaceContextMenu][1] = 1106;
    remembered[PlaceDesktop][4] = SwitchOff;
    tables.results[PlaceDesktop][4] = ResultFailure;
    tables.numbers[PlaceDesktop][4] = 1040;
    tables.codes[PlaceDesktop][4] = 5;
    remembered[PlaceSendTo][0] = SwitchOn;
    tables.results[PlaceSendTo][0] = ResultDone;
    tables.results[PlaceSendTo][3] = ResultFailure;   // left over, but its switch is at Keep now

    struct Click {
        const char* name;
        int place;
        int row;
        int side;
        bool shows;
    };
    const Click clicks[] = {
        {"NG on the On side", PlaceContextMenu, 1, OnSide, true},
        {"the other side of that cell", PlaceContextMenu, 1, OffSide, false},
        {"NG on the Off side", PlaceDesktop, 4, OffSide, true},
        {"an OK label", PlaceSendTo, 0, OnSide, false},
        {"a cell at Keep", PlaceSendTo, 3, OnSide, false},
    };
    for (const Click& c : clicks) {
        SCOPED_TRACE(c.name);
        int place = -1, row = -1;
        EXPECT_EQ(c.shows, detailsCellOfLabel(statusLabelId(c.place, c.row, c.side), remembered, tables, &place, &row));
        if (c.shows) {
            EXPECT_EQ(c.place, place);
            EXPECT_EQ(c.row, row);
        }
    }
    int place = -1, row = -1;
    EXPECT_FALSE(detailsCellOfLabel(1108, remembered, tables, &place, &row)) << "the result line is no label";

    wchar_t details[2048];
    composeDetails(1040, 5, UiJapanese, details, 2048);
    EXPECT_EQ(0u, std::wstring(details).find(L"CD:1040 ショートカットの削除に失敗しました。 *0x00000005:")) << utf8(details);
    composeDetails(1106, 0, UiEnglish, details, 2048);
    EXPECT_STREQ(L"CD:1106 Failed to the context menu of the update.", details);
}

}  // namespace
