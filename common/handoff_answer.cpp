// Pre-backup hand-off: object names, the "/k" option and delivering the answer.
#include "handoff_answer.h"

#include <wchar.h>

const wchar_t kHandoffReadySuffix[] = L"_KEY_SET_SET_WAIT";
const wchar_t kHandoffTakenSuffix[] = L"_KEY_SEL_GET_WAIT";

DWORD g_answerTakenFallbackMs = 60000;

namespace {

// The process of the command that waits for the answer, found through the window at the end of
// the key; null when there is none (or it is this very process).
HANDLE waitingCommandOf(const wchar_t* key)
{
    HWND window = reinterpret_cast<HWND>(handoffKeyWindow(key));
    if (!window || !IsWindow(window)) return nullptr;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!processId || processId == GetCurrentProcessId()) return nullptr;
    return OpenProcess(SYNCHRONIZE, FALSE, processId);
}

// Waits until the command has taken the answer. A command that is gone never sets the event:
// the wait ends with it, or after a generous time when the command cannot be found.
void waitUntilTaken(HANDLE taken, const wchar_t* key)
{
    HANDLE command = waitingCommandOf(key);
    if (!command) {
        WaitForSingleObject(taken, g_answerTakenFallbackMs);
        return;
    }
    HANDLE both[2] = {taken, command};
    WaitForMultipleObjects(2, both, FALSE, INFINITE);
    CloseHandle(command);
}

}  // namespace

uintptr_t handoffKeyWindow(const wchar_t* key)
{
    const wchar_t* last = wcsrchr(key, L'_');
    if (!last || !last[1]) return 0;
    uintptr_t window = 0;
    for (const wchar_t* p = last + 1; *p; ++p) {
        int digit;
        if (*p >= L'0' && *p <= L'9') digit = *p - L'0';
        else if (*p >= L'a' && *p <= L'f') digit = *p - L'a' + 10;
        else if (*p >= L'A' && *p <= L'F') digit = *p - L'A' + 10;
        else return 0;
        if (window >> (sizeof window * 8 - 4)) return 0;   // more digits than a handle has
        window = window * 16 + static_cast<uintptr_t>(digit);
    }
    return window;
}

int handoffObjectName(const wchar_t* key, const wchar_t* suffix, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    size_t keyLength = wcslen(key);
    size_t suffixLength = wcslen(suffix);
    if (keyLength + suffixLength + 1 > capacity) {
        out[0] = L'\0';
        return -1;
    }
    wmemcpy(out, key, keyLength);
    wmemcpy(out + keyLength, suffix, suffixLength + 1);
    return 0;
}

int parseHandoffKeyOption(const wchar_t* arguments, wchar_t* key, size_t capacity)
{
    if (capacity == 0) return 0;
    key[0] = L'\0';
    const wchar_t* p = arguments;
    while (*p) {
        if (p[0] != L'/' || (p[1] != L'k' && p[1] != L'K') || p[2] != L' ') {
            ++p;
            continue;
        }
        p += 3;
        while (*p == L' ') ++p;
        const wchar_t* start = p;
        while (*p && *p != L' ') ++p;
        size_t length = static_cast<size_t>(p - start);
        if (length > kHandoffKeyLimit || length + 1 > capacity) length = 0;
        wmemcpy(key, start, length);
        key[length] = L'\0';
    }
    return key[0] ? 1 : 0;
}

int deliverHandoffAnswer(const wchar_t* key, int answer, DWORD* systemCode)
{
    *systemCode = 0;
    // The whole block is written: the text first, zeros behind it.
    wchar_t block[kHandoffBlockChars] = {};
    _snwprintf(block, kHandoffBlockChars - 1, L"%d", answer);

    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, key);
    if (!mapping) {
        *systemCode = GetLastError();
        return DeliveryOpenBlock;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kHandoffBlockBytes);
    if (!view) {
        *systemCode = GetLastError();
        CloseHandle(mapping);
        return DeliveryMapBlock;
    }
    CopyMemory(view, block, kHandoffBlockBytes);
    if (!UnmapViewOfFile(view)) {
        *systemCode = GetLastError();
        CloseHandle(mapping);
        return DeliveryUnmapBlock;
    }
    CloseHandle(mapping);

    wchar_t name[kHandoffNameChars];
    if (handoffObjectName(key, kHandoffReadySuffix, name, kHandoffNameChars) == 0) {
        HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
        if (ready) {
            SetEvent(ready);
            CloseHandle(ready);
        }
    }
    if (handoffObjectName(key, kHandoffTakenSuffix, name, kHandoffNameChars) == 0) {
        HANDLE taken = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
        if (taken) {
            waitUntilTaken(taken, key);
            CloseHandle(taken);
        }
    }
    return DeliveryDone;
}
