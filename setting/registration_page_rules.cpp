// Rules of the registration page without any window.
#include "registration_page_rules.h"

#include <wchar.h>

#include "errors.h"
#include "resource_ids.h"

namespace {

// Label texts of a cell.
const wchar_t kMark[] = L"*";
const wchar_t kNoText[] = L"";
const wchar_t kOk[] = L"OK";
const wchar_t kNg[] = L"NG";

// Status labels come in rows of six: Off and On label of each place in column order.
constexpr int kLabelsPerRow = 2 * kPlaceCount;

const BilingualText kErrorLine = {
    L"エラーが発生しました。NGをクリックするとエラー内容の詳細が表示されます。",
    L"NG:Error has occurred.You click the NG displayed error details.",
};
const BilingualText kSuccessLine = {L"正常に終了しました。 ", L"Successful completion."};
const BilingualText kNothingRequestedLine = {L"On/Offを設定してください。 ", L"Please set the On/Off."};

// Under the "for this user only" box, when the other scope holds entries.
const BilingualText kMachineEntriesStay = {
    L"全ユーザー用に登録済みの項目は、このチェックを外して解除するまで残ります。",
    L"Entries registered for all users stay until removed with this box off.",
};
const BilingualText kUserEntriesStay = {
    L"このユーザーのみに登録済みの項目は、このチェックを付けて解除するまで残ります。",
    L"Entries registered for this user only stay until removed with this box on.",
};
const BilingualText kElevatedNoUserEntries = {
    L"管理者として実行中のため、このユーザーのみの登録はここではできません。",
    L"TazuSetting runs as administrator: entries for this user only can not be made here.",
};
const BilingualText kUserMenuSuggestion = {
    L"「このユーザーのみに登録」をオンにすると、管理者権限なしで登録できます。",
    L"Turn on \"Context menu for this user only\" to register without administrator rights.",
};

bool validCell(int place, int row)
{
    return place >= 0 && place < kPlaceCount && row >= 0 && row < kCommandCount;
}

bool succeeded(int result)
{
    return result == ResultDone || result == ResultAlreadyDone;
}

// The position all five rows of a column share, or -1 when they differ.
int commonRowPosition(const int rows[kCommandCount])
{
    for (int row = 1; row < kCommandCount; ++row)
        if (rows[row] != rows[0]) return -1;
    return rows[0];
}

}  // namespace

int switchControlId(int place, int row)
{
    if (row == kAllRow) return IDC_REG_ALL_SWITCH_FIRST + place;
    return IDC_REG_SWITCH_FIRST + kPlaceCount * row + place;
}

bool switchOfControl(int id, int* place, int* row)
{
    if (id >= IDC_REG_ALL_SWITCH_FIRST && id < IDC_REG_ALL_SWITCH_FIRST + kPlaceCount) {
        *place = id - IDC_REG_ALL_SWITCH_FIRST;
        *row = kAllRow;
        return true;
    }
    int offset = id - IDC_REG_SWITCH_FIRST;
    if (offset < 0 || offset >= kPlaceCount * kCommandCount) return false;
    *place = offset % kPlaceCount;
    *row = offset / kPlaceCount;
    return true;
}

int statusLabelId(int place, int row, int side)
{
    return IDC_REG_STATUS_FIRST + kLabelsPerRow * row + 2 * place + side;
}

bool statusLabelOfControl(int id, int* place, int* row, int* side)
{
    int offset = id - IDC_REG_STATUS_FIRST;
    if (offset < 0 || offset >= kLabelsPerRow * kCommandCount) return false;
    *row = offset / kLabelsPerRow;
    *place = (offset % kLabelsPerRow) / 2;
    *side = offset % 2;
    return true;
}

bool requestsChange(int position)
{
    return position == SwitchOff || position == SwitchOn;
}

void coupleSwitches(SwitchBoard* board, int place, int movedRow)
{
    if (place < 0 || place >= kPlaceCount) return;
    if (movedRow == kAllRow) {
        for (int row = 0; row < kCommandCount; ++row) board->rows[place][row] = board->all[place];
        return;
    }
    int common = commonRowPosition(board->rows[place]);
    if (common == SwitchOff || common == SwitchKeep || common == SwitchOn) board->all[place] = common;
}

bool contextMenuChangeRequested(const SwitchBoard& board)
{
    for (int row = 0; row < kCommandCount; ++row)
        if (requestsChange(board.rows[PlaceContextMenu][row])) return true;
    return false;
}

bool shieldAfterMove(const SwitchBoard& board, int place, int movedRow, bool shown, bool userMenu)
{
    if (userMenu) return false;
    if (place != PlaceContextMenu) return shown;
    if (movedRow == kAllRow) return requestsChange(board.all[PlaceContextMenu]);
    return contextMenuChangeRequested(board);
}

const wchar_t* scopeNoteText(bool elevated, bool userMenu, bool otherScopeHasEntries, UiLanguage language)
{
    if (elevated) return pickText(kElevatedNoUserEntries, language);
    if (!otherScopeHasEntries) return kNoText;
    return pickText(userMenu ? kMachineEntriesStay : kUserEntriesStay, language);
}

EntryState entryStateOfCheck(int checkResult)
{
    if (checkResult == 0) return EntryRegistered;
    if (checkResult == 3) return EntryUndetermined;
    return EntryNotRegistered;
}

void detectionMarks(EntryState state, const wchar_t** offText, const wchar_t** onText)
{
    *offText = state == EntryNotRegistered ? kMark : kNoText;
    *onText = state == EntryRegistered ? kMark : kNoText;
}

int resultOfPlaceOperation(int operationResult)
{
    if (operationResult == 0) return ResultDone;
    if (operationResult == 4) return ResultAlreadyDone;
    return ResultFailure;
}

void storeContextMenuReply(ResultTables* tables, const RegistrationReply& reply)
{
    for (int row = 0; row < kCommandCount; ++row) {
        tables->results[PlaceContextMenu][row] = reply.results[row];
        tables->numbers[PlaceContextMenu][row] = static_cast<unsigned>(reply.numbers[row]);
        tables->codes[PlaceContextMenu][row] = static_cast<DWORD>(reply.codes[row]);
    }
}

void settleContextMenuColumn(ResultTables* tables, const int positions[kCommandCount],
                             const ElevationHandoffResult& handoff)
{
    for (int row = 0; row < kCommandCount; ++row) {
        if (!requestsChange(positions[row])) continue;
        int& result = tables->results[PlaceContextMenu][row];
        if (!handoff.started) result = ResultFailure;
        if (result == ResultFailure && handoff.failed) {
            tables->numbers[PlaceContextMenu][row] = handoff.keptNumber;
            tables->codes[PlaceContextMenu][row] = handoff.keptCode;
        }
    }
}

CellLabels labelsAfterRun(int position, int result)
{
    const wchar_t* text = kNoText;
    if (succeeded(result)) text = kOk;
    else if (result == ResultFailure) text = kNg;

    CellLabels labels = {nullptr, nullptr};
    if (position == SwitchOn) {
        if (succeeded(result)) labels.offText = kNoText;
        labels.onText = text;
    } else if (position == SwitchOff) {
        labels.offText = text;
        if (succeeded(result)) labels.onText = kNoText;
    }
    return labels;
}

void noteResult(ResultFlags* flags, int result)
{
    if (succeeded(result)) flags->success = true;
    else if (result == ResultFailure) flags->error = true;
}

const wchar_t* resultLineText(const ResultFlags& flags, UiLanguage language)
{
    if (flags.error) return pickText(kErrorLine, language);
    if (flags.success) return pickText(kSuccessLine, language);
    if (flags.nothingRequested) return pickText(kNothingRequestedLine, language);
    return kNoText;
}

void composeDetails(unsigned number, DWORD code, bool suggestUserMenu, UiLanguage language, wchar_t* out,
                    size_t capacity)
{
    ErrorTrail kept;
    trailClear(&kept);
    kept.keptNumber = number;
    kept.keptCode = code;
    formatTrailFailure(&kept, language, out, capacity);
    if (!suggestUserMenu) return;
    size_t used = wcslen(out);
    if (used + 1 < capacity) {
        out[used] = L'\n';
        copyText(out + used + 1, capacity - used - 1, pickText(kUserMenuSuggestion, language));
    }
}

bool detailsSuggestUserMenu(int place, const ElevationHandoffResult& handoff)
{
    return place == PlaceContextMenu && !handoff.started;
}

bool detailsCellOfLabel(int labelId, const int remembered[kPlaceCount][kCommandCount],
                        const ResultTables& tables, int* place, int* row)
{
    int side = 0;
    if (!statusLabelOfControl(labelId, place, row, &side) || !validCell(*place, *row)) return false;
    int position = remembered[*place][*row];
    bool askedSide = (side == OffSide && position == SwitchOff) || (side == OnSide && position == SwitchOn);
    return askedSide && tables.results[*place][*row] == ResultFailure;
}
