// TazuUAC's processing of one registration request.
#include "request_processing.h"

#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include "context_menu.h"
#include "errors.h"
#include "message_box.h"

namespace {

const FailurePoint kNotElevated = {L"UAC-MP1", 2000};
const FailurePoint kCaptionTooLong = {L"UAC-MP2", 2001};
// A command line that is not a request: nothing is changed and every row fails.
const FailurePoint kRequestRefused = {L"UAC-MP4", 2050};
// Any non-zero result of a check, registration or removal.
const FailurePoint kProgramOperationFailed = {L"UAC-RRP2", 0};

const BilingualText kNeedAdministratorText = {
    L"TaZUUACは管理者権限で起動してください。",
    L"Please start TazuUAC with administrator's privilege.",
};

int noted(int result)
{
    if (result != 0) recordFailure(kProgramOperationFailed, 0);
    return result;
}

bool requested(int position)
{
    return position == SwitchOff || position == SwitchOn;
}

void refuseRequest(RegistrationReply* reply)
{
    recordFailure(kRequestRefused, 0);
    logTrailWhenDebugging();
    for (int row = 0; row < kCommandCount; ++row) {
        reply->results[row] = ResultFailure;
        reply->numbers[row] = static_cast<int>(kRequestRefused.number);
    }
}

void refuseWithoutElevation(const int positions[kCommandCount], UiLanguage language, RegistrationReply* reply)
{
    showMessage(MB_ICONINFORMATION, pickText(kNeedAdministratorText, language));
    g_errorTrail.keptNumber = 0;
    for (int row = 0; row < kCommandCount; ++row) {
        if (!requested(positions[row])) continue;
        reply->results[row] = ResultFailure;
        recordFailure(kNotElevated, 0);
        logTrailWhenDebugging();
        reply->numbers[row] = static_cast<int>(g_errorTrail.keptNumber);
    }
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

int processRegistrationRequest(const wchar_t* commandLine, bool elevated, RegistrationReply* reply)
{
    *reply = RegistrationReply();
    RegistrationRequest request;
    if (parseRegistrationRequest(commandLine, &request) != 0) {
        refuseRequest(reply);
        return -1;
    }
    UiLanguage language = requestLanguage(request.languageFlag);
    int positions[kCommandCount];
    for (int row = 0; row < kCommandCount; ++row) positions[row] = request.positions[row];

    if (!elevated) {
        refuseWithoutElevation(positions, language, reply);
        return 0;
    }

    // A registered command left at Keep is written again, so that the access keys and the
    // separators of the whole group follow the new set of commands.
    for (int row = 0; row < kCommandCount; ++row) {
        if (positions[row] == SwitchOff) continue;
        if (noted(checkProgramEntries(commandFileName(row))) == 0) positions[row] = SwitchOn;
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
                         ? registerProgramEntries(file, caption, plans[row].separatorBefore,
                                                  plans[row].separatorAfter)
                         : removeProgramEntries(file);
        reply->results[row] = resultOf(noted(result));
        if (result != 0) {
            trailRecord(&g_errorTrail, caption, 0, 0);
            logTrailWhenDebugging();
        }
        reply->numbers[row] = static_cast<int>(g_errorTrail.keptNumber);
        reply->codes[row] = static_cast<int>(g_errorTrail.keptCode);
    }
    return 0;
}

bool runsElevated()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    // Before the NT family's sixth version there is no elevation to ask about.
    if (GetVersionExW(&version) &&
        (version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion <= 5))
        return true;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    BOOL asked = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (!asked) return true;
    return elevation.TokenIsElevated != 0;
}
