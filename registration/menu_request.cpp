// The context-menu part of a registration request under the classes of one scope.
#include "menu_request.h"

#include <stdio.h>
#include <wchar.h>

#include "errors.h"

namespace {

const FailurePoint kCaptionTooLong = {L"UAC-MP2", 2001};
// Any non-zero result of a check, registration or removal.
const TrailPoint kProgramOperationFailed = {L"RRP2", 0, L"UAC-RRP2", 0};

int noted(int result)
{
    if (result != 0) recordTrailPoint(kProgramOperationFailed, 0);
    return result;
}

bool requested(int position)
{
    return position == SwitchOff || position == SwitchOn;
}

OpResult resultOf(int operationResult)
{
    if (operationResult == 0) return ResultDone;
    return operationResult == 4 ? ResultAlreadyDone : ResultFailure;
}

}  // namespace

void planMenuRows(const int positions[kCommandCount], MenuRowPlan plans[kCommandCount])
{
    int lowest = -1;
    int highest = -1;
    int accessKey = 0;
    for (int row = 0; row < kCommandCount; ++row) {
        plans[row] = MenuRowPlan();
        if (positions[row] != SwitchOn) continue;
        if (lowest < 0) lowest = row;
        highest = row;
        plans[row].accessKey = ++accessKey;
    }
    if (lowest >= 0) plans[lowest].separatorBefore = true;
    if (highest >= 0) plans[highest].separatorAfter = true;
}

int composeMenuCaption(int row, UiLanguage language, int accessKey, wchar_t* out, size_t capacity)
{
    int length = composeCaption(row, language, out, capacity);
    if (length < 0 || accessKey == 0) return length;
    wchar_t key[16];
    int keyLength = _snwprintf(key, 15, L"(&%d)", accessKey);
    key[15] = L'\0';
    size_t used = wcslen(out);
    if (used < capacity) copyText(out + used, capacity - used, key);
    return length + keyLength;
}

void carryOutMenuRequest(MenuScope scope, UiLanguage language, const int requestedPositions[kCommandCount],
                         RegistrationReply* reply)
{
    int positions[kCommandCount];
    for (int row = 0; row < kCommandCount; ++row) positions[row] = requestedPositions[row];

    // A registered command left at Keep is written again, so that the access keys and the
    // separators of the whole group follow the new set of commands.
    for (int row = 0; row < kCommandCount; ++row) {
        if (positions[row] == SwitchOff) continue;
        if (noted(checkProgramEntries(scope, commandFileName(row))) == 0) positions[row] = SwitchOn;
    }
    MenuRowPlan plans[kCommandCount];
    planMenuRows(positions, plans);

    for (int row = 0; row < kCommandCount; ++row) {
        wchar_t caption[kMenuCaptionChars];
        int length = composeMenuCaption(row, language, plans[row].accessKey, caption, kMenuCaptionChars);
        if (requested(positions[row])) {
            // Each row reports its own failure, not one kept from an earlier row.
            g_errorTrail.keptNumber = 0;
            g_errorTrail.keptCode = 0;
            if (length > static_cast<int>(kMenuCaptionLimit)) {
                reply->results[row] = ResultFailure;
                recordFailure(kCaptionTooLong, 0);
                logTrailWhenDebugging();
                reply->numbers[row] = static_cast<int>(g_errorTrail.keptNumber);
                break;
            }
        }
        g_errorTrail.text[0] = L'\0';
        if (!requested(positions[row])) continue;

        const wchar_t* file = commandFileName(row);
        int result = positions[row] == SwitchOn
                         ? registerProgramEntries(scope, file, caption, plans[row].separatorBefore,
                                                  plans[row].separatorAfter)
                         : removeProgramEntries(scope, file);
        reply->results[row] = resultOf(noted(result));
        if (result != 0) {
            trailRecord(&g_errorTrail, caption, 0, 0);
            logTrailWhenDebugging();
        }
        reply->numbers[row] = static_cast<int>(g_errorTrail.keptNumber);
        reply->codes[row] = static_cast<int>(g_errorTrail.keptCode);
    }
}
