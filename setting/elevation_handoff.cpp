// TazuSetting's side of the elevation hand-off.
#include "elevation_handoff.h"

#include <shellapi.h>

#include "errors.h"

const wchar_t kHelperProgramFile[] = L"TazuUAC.exe";

namespace {

// Creating the block: create, map, unmap.
const FailurePoint kCreateBlockPoints[] = {
    {L"CSM1", 1070},
    {L"CSM2", 1073},
    {L"CSM3", 1076},
};
// Reading the block: open, map, unmap.
const FailurePoint kReadBlockPoints[] = {
    {L"GSM1", 1090},
    {L"GSM2", 1093},
    {L"GSM3", 1096},
};
const FailurePoint kNoBlock = {L"MP1", 1100};
const FailurePoint kNoEvent = {L"MP2", 1103};
const FailurePoint kNotStarted = {L"MP3", 1106};
// Clearing the block goes through the writer that both sides share.
const BlockWriteNumbers kClearBlockNumbers = {1080, 1083, 1086};

void pauseBySleeping(DWORD milliseconds)
{
    Sleep(milliseconds);
}

// A failure of the hand-off itself: recorded, logged, flagged.
void handoffFailed(const FailurePoint& point, DWORD code, ElevationHandoffResult* result)
{
    recordFailure(point, code);
    logTrailWhenDebugging();
    result->failed = true;
}

// Security attributes with a present but null access list, so that the elevated helper (and
// anyone) can open the objects; not inheritable.
struct OpenSecurity {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

SECURITY_ATTRIBUTES* prepareOpenSecurity(OpenSecurity* security)
{
    InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&security->descriptor, TRUE, nullptr, FALSE);
    security->attributes.nLength = sizeof security->attributes;
    security->attributes.lpSecurityDescriptor = &security->descriptor;
    security->attributes.bInheritHandle = FALSE;
    return &security->attributes;
}

// Creates (or reuses) the block and fills it with zeros. Returns the handle, or nullptr after
// recording the failing step; a block that could not be cleared is kept all the same.
HANDLE createBlock(SECURITY_ATTRIBUTES* security, bool* failed)
{
    *failed = false;
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                                      kRegistrationBlockBytes, kRegistrationBlockName);
    if (!block) {
        recordFailure(kCreateBlockPoints[0], GetLastError());
        *failed = true;
        return nullptr;
    }
    void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, kRegistrationBlockBytes);
    if (!view) {
        recordFailure(kCreateBlockPoints[1], GetLastError());
        *failed = true;
        return block;
    }
    ZeroMemory(view, kRegistrationBlockBytes);
    if (!UnmapViewOfFile(view)) {
        recordFailure(kCreateBlockPoints[2], GetLastError());
        *failed = true;
    }
    return block;
}

// Copies the block's text (empty when it cannot be read or nothing has arrived).
void readBlock(wchar_t text[kRegistrationBlockChars])
{
    text[0] = L'\0';
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, kRegistrationBlockName);
    if (!block) {
        recordFailure(kReadBlockPoints[0], GetLastError());
        return;
    }
    const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, kRegistrationBlockBytes);
    if (!view) {
        recordFailure(kReadBlockPoints[1], GetLastError());
        CloseHandle(block);
        return;
    }
    readRegistrationBlockText(view, text);
    if (!UnmapViewOfFile(view)) recordFailure(kReadBlockPoints[2], GetLastError());
    CloseHandle(block);
}

// Starts TazuUAC through the elevation prompt. Returns its process handle (may be null) and
// whether it was started.
bool startHelper(HWND owner, const wchar_t* request, HANDLE* process)
{
    *process = nullptr;
    wchar_t helper[kPathChars];
    if (composeProgramPath(g_installation.programFolder, kHelperProgramFile, helper, kPathChars) != 0)
        return false;
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS;
    start.hwnd = owner;
    start.lpVerb = L"runas";
    start.lpFile = helper;
    start.lpParameters = request;
    start.nShow = SW_SHOWNORMAL;
    BOOL called = ShellExecuteExW(&start);
    *process = start.hProcess;
    return called && reinterpret_cast<INT_PTR>(start.hInstApp) > 32;
}

bool helperHasEnded(HANDLE process)
{
    return process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

}  // namespace

void (*g_elevationPause)(DWORD milliseconds) = pauseBySleeping;

int runElevationHandoff(HWND owner, UiLanguage language, const int positions[kCommandCount],
                        ElevationHandoffResult* result)
{
    *result = ElevationHandoffResult();
    trailClear(&g_errorTrail);

    OpenSecurity security;
    SECURITY_ATTRIBUTES* attributes = prepareOpenSecurity(&security);
    bool blockFailed = false;
    HANDLE block = createBlock(attributes, &blockFailed);
    if (blockFailed) handoffFailed(kNoBlock, 0, result);

    wchar_t zeros[kRegistrationBlockChars] = {};
    writeRegistrationBlock(zeros, kClearBlockNumbers);

    HANDLE taken = CreateEventW(attributes, TRUE, FALSE, kReplyTakenEventName);
    if (!taken) {
        handoffFailed(kNoEvent, GetLastError(), result);
    } else if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // An event left signalled by an earlier exchange would end the new helper too early.
        ResetEvent(taken);
    }

    wchar_t request[kRequestChars];
    composeRegistrationRequest(language, positions, request, kRequestChars);

    HANDLE process = nullptr;
    wchar_t reply[kRegistrationBlockChars] = L"";
    result->started = startHelper(owner, request, &process);
    if (result->started) {
        readBlock(reply);
        for (int reread = 0; reply[0] == L'\0' && reread < kReplyRereads; ++reread) {
            // A helper that has ended writes nothing more (as when it crashed, or found no block
            // to answer in): one read after its end is the last, and the window answers again
            // at once instead of after minutes.
            if (helperHasEnded(process)) {
                readBlock(reply);
                break;
            }
            g_elevationPause(kReplyPollMilliseconds);
            readBlock(reply);
        }
    } else {
        handoffFailed(kNotStarted, 0, result);
    }

    if (taken) SetEvent(taken);
    parseRegistrationReply(reply, &result->reply);
    result->keptNumber = g_errorTrail.keptNumber;
    result->keptCode = g_errorTrail.keptCode;

    if (block) CloseHandle(block);
    if (taken) CloseHandle(taken);
    if (process) CloseHandle(process);
    return reply[0] != L'\0' ? 0 : -1;
}
