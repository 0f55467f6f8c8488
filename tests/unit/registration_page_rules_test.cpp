// Rules of TazuSetting's registration page that its window does not show under test: where its
// switches and labels sit, the coupling of the switches, the cells of checks without an answer
// and of a silent helper, and the context-menu column after a hand-off whose objects failed.
// The rest (shield, labels, result line, details) is tested through the window.
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

TEST(RegistrationPageCells, ChecksThatFoundNoAnswer)
{
    // Access denied to the entries (a check without elevation): no side is marked, and as an
    // operation's result it is a failure; so is a removal that found shortcuts but deleted none.
    const wchar_t* off = nullptr;
    const wchar_t* on = nullptr;
    detectionMarks(entryStateOfCheck(3), &off, &on);
    EXPECT_EQ(L"", textOf(off));
    EXPECT_EQ(L"", textOf(on));
    detectionMarks(entryStateOfCheck(-1), &off, &on);
    EXPECT_EQ(L"*", textOf(off));
    EXPECT_EQ(L"", textOf(on));
    for (int result : {3, 2, -1}) EXPECT_EQ(ResultFailure, resultOfPlaceOperation(result)) << result;
}

TEST(RegistrationPageCells, SilentHelperLeavesTheCellBlank)
{
    // TazuUAC started but never replied: the asked side goes blank, the other keeps its mark,
    // and the run counts neither as success nor as error.
    CellLabels labels = labelsAfterRun(SwitchOn, ResultNone);
    EXPECT_EQ(L"<unchanged>", textOf(labels.offText));
    EXPECT_EQ(L"", textOf(labels.onText));
    ResultFlags flags = {};
    noteResult(&flags, ResultNone);
    EXPECT_EQ(L"", std::wstring(resultLineText(flags, UiEnglish)));
    labels = labelsAfterRun(SwitchKeep, ResultFailure);
    EXPECT_EQ(nullptr, labels.offText);
    EXPECT_EQ(nullptr, labels.onText);
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

}  // namespace
