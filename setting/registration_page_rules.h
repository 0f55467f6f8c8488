// Rules of the registration page without any window: where its switches and status labels sit,
// the coupling of the switches, the shield on "Execute", the marks of the state detection, the
// labels and the result line after "Execute", and the details of a failed cell.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "command_table.h"
#include "elevation_handoff.h"
#include "language.h"

// The "All settings" switch of a place, in the row arguments below.
constexpr int kAllRow = -1;

// Control id of a place's switch in a row (kAllRow: its "All settings" switch).
int switchControlId(int place, int row);
// The place and row of a switch; false when the id is no switch of the page.
bool switchOfControl(int id, int* place, int* row);

// Every cell has a status label on each side of its switch.
enum LabelSide { OffSide = 0, OnSide = 1 };
int statusLabelId(int place, int row, int side);
// The cell and side of a status label; false when the id is no status label.
bool statusLabelOfControl(int id, int* place, int* row, int* side);

// The positions (SwitchPosition) of all 18 switches.
struct SwitchBoard {
    int all[kPlaceCount];
    int rows[kPlaceCount][kCommandCount];
};

// Off and On ask for a change; Keep does not.
bool requestsChange(int position);

// After the switch of a place and row moved: an "All settings" switch carries its whole column
// along; a row switch sets the column's "All settings" switch when all five rows agree, and
// leaves it where it is when they differ.
void coupleSwitches(SwitchBoard* board, int place, int movedRow);

// Whether any context-menu row switch asks for a change.
bool contextMenuChangeRequested(const SwitchBoard& board);

// Whether "Execute" shows the elevation shield after a switch moved (`shown`: before the move).
// Only context-menu changes need the elevated helper, so only the context-menu switches decide;
// entries for this user only (userMenu) need no helper and never show it.
bool shieldAfterMove(const SwitchBoard& board, int place, int movedRow, bool shown, bool userMenu);

// The line under the "for this user only" box: in an elevated TazuSetting, that entries for this
// user only are not made there; else, when the other scope holds entries of this installation,
// that they stay until removed with the box the other way; else empty.
const wchar_t* scopeNoteText(bool elevated, bool userMenu, bool otherScopeHasEntries, UiLanguage language);

// What a check found for one cell.
enum EntryState { EntryRegistered = 1, EntryNotRegistered = 2, EntryUndetermined = 3 };
EntryState entryStateOfCheck(int checkResult);
// Texts of a cell's Off and On labels after the detection: "*" on the side that matches.
void detectionMarks(EntryState state, const wchar_t** offText, const wchar_t** onText);

// OpResult of a shortcut operation (0 done, 4 nothing to do, anything else a failure).
int resultOfPlaceOperation(int operationResult);

// The outcome of the last "Execute" per place and row: the OpResult and the kept number and
// kept code of that operation's error trail.
struct ResultTables {
    int results[kPlaceCount][kCommandCount];
    unsigned numbers[kPlaceCount][kCommandCount];
    DWORD codes[kPlaceCount][kCommandCount];
};

// Puts the helper's reply into the context-menu column.
void storeContextMenuReply(ResultTables* tables, const RegistrationReply& reply);

// The context-menu cells that were asked for, after the hand-off: all of them failed when the
// helper was not started; a failed cell shows the hand-off's own failure when the hand-off
// failed. A cell whose reply never came stays None.
void settleContextMenuColumn(ResultTables* tables, const int positions[kCommandCount],
                             const ElevationHandoffResult& handoff);

// The texts of a cell's two labels after "Execute" (nullptr: the label keeps its text). After a
// failure the other side keeps its mark from the detection.
struct CellLabels {
    const wchar_t* offText;
    const wchar_t* onText;
};
CellLabels labelsAfterRun(int position, int result);

// What the result line sums up.
struct ResultFlags {
    bool success;
    bool error;
    bool nothingRequested;
};
// Adds one carried-out cell to the flags.
void noteResult(ResultFlags* flags, int result);
// The result line: an error first, then success, then the request to set a switch; else empty.
const wchar_t* resultLineText(const ResultFlags& flags, UiLanguage language);

// The details of a failed cell: the shown form of its kept number and code, followed, when
// suggestUserMenu is set, by a line saying that the "for this user only" box needs no rights.
void composeDetails(unsigned number, DWORD code, bool suggestUserMenu, UiLanguage language, wchar_t* out,
                    size_t capacity);

// Whether a failed cell's details suggest the box: a context-menu cell of a run whose elevated
// helper was not started (the prompt refused, or the helper missing). A run for this user only
// starts no helper and counts as started.
bool detailsSuggestUserMenu(int place, const ElevationHandoffResult& handoff);

// The cell whose details a click on a status label shows: the label must be on the side that
// the cell's remembered position asked for, and the cell must have failed.
bool detailsCellOfLabel(int labelId, const int remembered[kPlaceCount][kCommandCount],
                        const ResultTables& tables, int* place, int* row);
