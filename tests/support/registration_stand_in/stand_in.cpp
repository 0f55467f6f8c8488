// Stand-in for TazuSetting.exe or TazuUAC.exe in the registration tests. Copied under one of
// those names into a test's program folder, it writes "<own name>_started.txt" beside itself
// with its command-line arguments, and then, when the hand-off's reply-taken event exists,
// waits for it as a TazuUAC that never replies would (up to 30 s) and writes
// "<own name>_finished.txt" saying "signalled" or "not signalled". With "<own name>_ends.txt"
// beside it, it ends at once instead (finished: "ended at once"), as a helper that crashed would.
#include <windows.h>
#include <wchar.h>

namespace {

const wchar_t kReplyTakenEventName[] = L"ZEVRALD_TAZU_EVENT_KEY_OK";

// "<own path without extension><suffix>"; false when the path does not fit.
bool pathBeside(const wchar_t* suffix, wchar_t record[MAX_PATH + 32])
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    wchar_t* dot = wcsrchr(path, L'.');
    if (dot) *dot = L'\0';
    _snwprintf(record, MAX_PATH + 31, L"%s%s", path, suffix);
    record[MAX_PATH + 31] = L'\0';
    return true;
}

void writeBeside(const wchar_t* suffix, const wchar_t* text)
{
    wchar_t record[MAX_PATH + 32];
    if (!pathBeside(suffix, record)) return;
    // Written under a temporary name and moved, so a reader never sees half a record.
    wchar_t temp[MAX_PATH + 40];
    _snwprintf(temp, MAX_PATH + 39, L"%s.part", record);
    temp[MAX_PATH + 39] = L'\0';
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char bytes[1024];
    int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    DWORD written = 0;
    if (count > 1) WriteFile(file, bytes, static_cast<DWORD>(count - 1), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temp, record, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
{
    // The event is opened before the record is written: a test that has seen the record knows
    // that the stand-in holds the event.
    HANDLE taken = OpenEventW(SYNCHRONIZE, FALSE, kReplyTakenEventName);
    writeBeside(L"_started.txt", commandLine ? commandLine : L"");
    wchar_t endsAtOnce[MAX_PATH + 32];
    bool ends = pathBeside(L"_ends.txt", endsAtOnce) && GetFileAttributesW(endsAtOnce) != INVALID_FILE_ATTRIBUTES;
    if (!taken) return 0;
    if (ends) {
        CloseHandle(taken);
        writeBeside(L"_finished.txt", L"ended at once");
        return 0;
    }
    bool signalled = WaitForSingleObject(taken, 30000) == WAIT_OBJECT_0;
    CloseHandle(taken);
    writeBeside(L"_finished.txt", signalled ? L"signalled" : L"not signalled");
    return 0;
}
