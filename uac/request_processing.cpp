// TazuUAC's processing of one registration request.
#include "request_processing.h"

#include <windows.h>

#include "errors.h"
#include "message_box.h"
#include "token_elevation.h"

namespace {

const FailurePoint kNotElevated = {L"UAC-MP1", 2000};
// A command line that is not a request: nothing is changed and every row fails.
const FailurePoint kRequestRefused = {L"UAC-MP4", 2050};
// The library search could not be restricted: nothing is changed.
const FailurePoint kSearchNotRestricted = {L"UAC-MP5", 2040};

const BilingualText kNeedAdministratorText = {
    L"TaZUUACは管理者権限で起動してください。",
    L"Please start TazuUAC with administrator's privilege.",
};

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

}  // namespace

int processRegistrationRequest(const wchar_t* commandLine, bool elevated, RegistrationReply* reply)
{
    *reply = RegistrationReply();
    RegistrationRequest request;
    if (parseRegistrationRequest(commandLine, &request) != 0) {
        refuseRequest(reply);
        return -1;
    }
    UiLanguage language = requestLanguage(request.languageFlag);
    if (!elevated) {
        refuseWithoutElevation(request.positions, language, reply);
        return 0;
    }
    // The helper writes the machine's entries, for every user.
    carryOutMenuRequest(MenuForMachine, language, request.positions, reply);
    return 0;
}

void refuseWithoutRestrictedSearch(const wchar_t* commandLine, RegistrationReply* reply)
{
    *reply = RegistrationReply();
    RegistrationRequest request;
    if (parseRegistrationRequest(commandLine, &request) != 0) {
        refuseRequest(reply);
        return;
    }
    recordFailure(kSearchNotRestricted, 0);
    for (int row = 0; row < kCommandCount; ++row) {
        if (!requested(request.positions[row])) continue;
        reply->results[row] = ResultFailure;
        reply->numbers[row] = static_cast<int>(kSearchNotRestricted.number);
    }
}

bool runsElevated()
{
    // Where the system cannot tell, there is no elevation that could be missing.
    return tokenElevation() != 0;
}
