// Request and reply texts of the elevation hand-off, and the writing of its shared block.
#include "registration_exchange.h"

#include <limits.h>
#include <stdio.h>
#include <wchar.h>

#include "errors.h"
#include "settings.h"

const wchar_t kRegistrationBlockName[] = L"ZEVRALD_TAZU_SHARE_KEY_DATA";
const wchar_t kReplyTakenEventName[] = L"ZEVRALD_TAZU_EVENT_KEY_OK";

namespace {

constexpr int kRequestNumbers = 1 + kCommandCount;
constexpr int kReplyNumbers = 3 * kCommandCount;
constexpr int kJapaneseFlag = 1;
constexpr int kEnglishFlag = 0;

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// A strict number of the request: an optional minus sign and at least one digit, within int.
// Advances *text past it. Returns false for anything else.
bool readStrictNumber(const wchar_t** text, int* value)
{
    const wchar_t* p = *text;
    bool negative = *p == L'-';
    if (negative) ++p;
    if (!isDigit(*p)) return false;
    long long magnitude = 0;
    while (isDigit(*p)) {
        magnitude = magnitude * 10 + (*p - L'0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
        ++p;
    }
    long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
    *value = static_cast<int>(signedValue);
    *text = p;
    return true;
}

// A token of the reply, converted as far as it is a number (0 when it does not begin with one).
int leadingNumber(const wchar_t* token)
{
    const wchar_t* p = token;
    bool negative = false;
    if (*p == L'-' || *p == L'+') negative = *p++ == L'-';
    long long magnitude = 0;
    while (isDigit(*p)) {
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) magnitude = magnitude * 10 + (*p - L'0');
        ++p;
    }
    long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void formatInto(wchar_t* out, size_t capacity, const wchar_t* format, const int* numbers, int count)
{
    size_t used = 0;
    if (capacity == 0) return;
    out[0] = L'\0';
    for (int i = 0; i < count && used + 1 < capacity; ++i) {
        int written = _snwprintf(out + used, capacity - used - 1, format, i ? L" " : L"", numbers[i]);
        if (written < 0) break;
        used += static_cast<size_t>(written);
    }
    out[used < capacity ? used : capacity - 1] = L'\0';
}

}  // namespace

void composeRegistrationRequest(UiLanguage language, const int positions[kCommandCount], wchar_t* out,
                                size_t capacity)
{
    int numbers[kRequestNumbers];
    numbers[0] = language == UiJapanese ? kJapaneseFlag : kEnglishFlag;
    for (int row = 0; row < kCommandCount; ++row) numbers[1 + row] = positions[row];
    formatInto(out, capacity, L"%s%d", numbers, kRequestNumbers);
}

UiLanguage requestLanguage(int languageFlag)
{
    return languageFlag == kJapaneseFlag ? UiJapanese : UiEnglish;
}

int parseRegistrationRequest(const wchar_t* text, RegistrationRequest* request)
{
    if (!text || wcslen(text) > kRequestLimit) return -1;
    int numbers[kRequestNumbers];
    int count = 0;
    const wchar_t* p = text;
    while (*p) {
        if (*p == L' ') {
            ++p;
            continue;
        }
        int value = 0;
        if (!readStrictNumber(&p, &value)) return -1;
        if (*p != L'\0' && *p != L' ') return -1;
        if (count < kRequestNumbers) numbers[count] = value;
        ++count;
    }
    if (count == 0) return -1;
    for (int i = 1; i < count && i < kRequestNumbers; ++i)
        if (numbers[i] < SwitchOff || numbers[i] > SwitchOn) return -1;
    request->languageFlag = numbers[0];
    for (int row = 0; row < kCommandCount; ++row)
        request->positions[row] = 1 + row < count ? numbers[1 + row] : SwitchOff;
    return 0;
}

void composeRegistrationReply(const RegistrationReply& reply, wchar_t* out, size_t capacity)
{
    int numbers[kReplyNumbers];
    for (int row = 0; row < kCommandCount; ++row) {
        numbers[row] = reply.results[row];
        numbers[kCommandCount + row] = reply.numbers[row];
        numbers[2 * kCommandCount + row] = reply.codes[row];
    }
    formatInto(out, capacity, L"%s%d", numbers, kReplyNumbers);
}

void parseRegistrationReply(const wchar_t* text, RegistrationReply* reply)
{
    *reply = RegistrationReply();
    int numbers[kReplyNumbers] = {};
    int count = 0;
    const wchar_t* p = text ? text : L"";
    while (*p && count < kReplyNumbers) {
        if (*p == L' ') {
            ++p;
            continue;
        }
        numbers[count++] = leadingNumber(p);
        while (*p && *p != L' ') ++p;
    }
    for (int row = 0; row < kCommandCount; ++row) {
        reply->results[row] = numbers[row];
        reply->numbers[row] = numbers[kCommandCount + row];
        reply->codes[row] = numbers[2 * kCommandCount + row];
    }
}

int writeRegistrationBlock(const wchar_t blockText[kRegistrationBlockChars], const BlockWriteNumbers& numbers)
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kRegistrationBlockName);
    if (!mapping) {
        trailRecord(&g_errorTrail, L"UAC-SSM1", numbers.open, GetLastError());
        return -1;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kRegistrationBlockBytes);
    if (!view) {
        trailRecord(&g_errorTrail, L"UAC-SSM2", numbers.map, GetLastError());
        CloseHandle(mapping);
        return -1;
    }
    // The reader takes the first non-empty text it sees as complete, without a lock: the first
    // character goes in last, so the text is empty until all of it is there.
    wchar_t* block = static_cast<wchar_t*>(view);
    CopyMemory(block + 1, blockText + 1, kRegistrationBlockBytes - sizeof(wchar_t));
    MemoryBarrier();
    *static_cast<volatile wchar_t*>(block) = blockText[0];
    int result = 0;
    if (!UnmapViewOfFile(view)) {
        trailRecord(&g_errorTrail, L"UAC-SSM3", numbers.unmap, GetLastError());
        result = -1;
    }
    CloseHandle(mapping);
    return result;
}

void readRegistrationBlockText(const void* view, wchar_t text[kRegistrationBlockChars])
{
    const volatile wchar_t* block = static_cast<const volatile wchar_t*>(view);
    text[0] = block[0];
    if (text[0] == L'\0') return;
    // Pairs with the writer's barrier before the first character: nothing behind it may be read
    // earlier than it was.
    MemoryBarrier();
    for (size_t i = 1; i + 1 < kRegistrationBlockChars; ++i) text[i] = block[i];
    text[kRegistrationBlockChars - 1] = L'\0';
}

void logTrailWhenDebugging()
{
    if (g_settings.debug != 0) appendDebugLog(g_settingsLocation.debugLogPath, g_errorTrail.text);
}
