// Pre-backup hand-off, command side: the named objects, the settings program's start, the wait
// for its answer and for its end.
#include "handoff_exchange.h"

#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>

#include "handoff.h"
#include "handoff_answer.h"

namespace {

constexpr DWORD kAnswerPollMilliseconds = 200;
constexpr int kAnswerRereads = 901;
// "/k " and the key.
constexpr size_t kParameterChars = 3 + kHandoffKeyChars;

void pauseBySleeping(DWORD milliseconds)
{
    Sleep(milliseconds);
}

// The three objects of one exchange.
struct HandoffObjects {
    HANDLE block;
    HANDLE ready;
    HANDLE taken;
};

void closeObjects(HandoffObjects* objects)
{
    if (objects->taken) CloseHandle(objects->taken);
    if (objects->ready) CloseHandle(objects->ready);
    if (objects->block) CloseHandle(objects->block);
    *objects = HandoffObjects{};
}

// Whether a create call opened an object that existed before it: another process holds the
// name, so whatever it writes or signals there cannot be trusted.
bool openedExisting(HANDLE object)
{
    return object && GetLastError() == ERROR_ALREADY_EXISTS;
}

// Block and events with a security descriptor without access list, so that the settings
// program can open them whatever its token. Returns 0, kExchangeObjectsFailed or
// kExchangeNamesTaken (nothing of the other process's objects is changed).
int createObjects(const wchar_t* key, HandoffObjects* objects)
{
    *objects = HandoffObjects{};
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
        return -1;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};

    wchar_t readyName[kHandoffNameChars];
    wchar_t takenName[kHandoffNameChars];
    if (handoffObjectName(key, kHandoffReadySuffix, readyName, kHandoffNameChars) != 0 ||
        handoffObjectName(key, kHandoffTakenSuffix, takenName, kHandoffNameChars) != 0)
        return -1;

    objects->block = CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                        kHandoffBlockBytes, key);
    if (openedExisting(objects->block)) {
        closeObjects(objects);
        return kExchangeNamesTaken;
    }
    if (!objects->block) return -1;
    void* view = MapViewOfFile(objects->block, FILE_MAP_WRITE, 0, 0, kHandoffBlockBytes);
    if (!view) {
        closeObjects(objects);
        return -1;
    }
    ZeroMemory(view, kHandoffBlockBytes);
    UnmapViewOfFile(view);

    objects->ready = CreateEventW(&attributes, TRUE, FALSE, readyName);
    bool taken = openedExisting(objects->ready);
    if (objects->ready && !taken) {
        objects->taken = CreateEventW(&attributes, TRUE, FALSE, takenName);
        taken = openedExisting(objects->taken);
    }
    if (taken || !objects->ready || !objects->taken) {
        closeObjects(objects);
        return taken ? kExchangeNamesTaken : -1;
    }
    return 0;
}

// Copies the block's text; an empty text means no answer yet.
void readAnswerText(HANDLE block, wchar_t* text)
{
    text[0] = L'\0';
    const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, kHandoffBlockBytes);
    if (!view) return;
    CopyMemory(text, view, kHandoffBlockBytes);
    UnmapViewOfFile(view);
    text[kHandoffBlockChars - 1] = L'\0';
}

// Reads the answer after the answer-ready event. Returns 0 with *answer set, or -1 when the
// text stayed empty through all re-reads.
int readAnswer(HANDLE block, int* answer)
{
    wchar_t text[kHandoffBlockChars];
    readAnswerText(block, text);
    for (int reread = 0; text[0] == L'\0' && reread < kAnswerRereads; ++reread) {
        g_handoffPause(kAnswerPollMilliseconds);
        readAnswerText(block, text);
    }
    if (text[0] == L'\0') return -1;
    *answer = static_cast<int>(wcstol(text, nullptr, 10));
    return 0;
}

} // namespace

void (*g_handoffPause)(DWORD milliseconds) = pauseBySleeping;

int runHandoffExchange(const wchar_t* settingsProgram, const wchar_t* key, HWND owner,
                       int* answer)
{
    *answer = 0;
    HandoffObjects objects;
    int created = createObjects(key, &objects);
    if (created == kExchangeNamesTaken) return kExchangeNamesTaken;
    if (created != 0) return kExchangeObjectsFailed;

    wchar_t parameters[kParameterChars];
    _snwprintf(parameters, kParameterChars - 1, L"/k %s", key);
    parameters[kParameterChars - 1] = L'\0';

    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS;
    start.hwnd = owner;
    start.lpVerb = L"open";
    start.lpFile = settingsProgram;
    start.lpParameters = parameters;
    start.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&start)) {
        closeObjects(&objects);
        return kExchangeStartFailed;
    }

    // Waiting for the answer alone would hang for good when the settings program dies before
    // answering, so its end is waited for as well; an end without answer cancels the run.
    HANDLE waits[2] = {objects.ready, start.hProcess};
    DWORD waitCount = start.hProcess ? 2 : 1;
    DWORD woken = WaitForMultipleObjects(waitCount, waits, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) {
        if (readAnswer(objects.block, answer) == 0) SetEvent(objects.taken);
    } else {
        *answer = Cancel;
    }

    if (start.hProcess) {
        WaitForSingleObject(start.hProcess, INFINITE);
        CloseHandle(start.hProcess);
    }
    closeObjects(&objects);
    return 0;
}
