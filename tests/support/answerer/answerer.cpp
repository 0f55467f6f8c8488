// Stand-in for the settings program in hand-off tests. Copied as TazuSetting.exe into a test's
// program folder; started by a command with "/k <key>", it behaves as the first file beside it
// of "answerer_<window>.txt" (<window>: the key's text after its last "_"), "answerer_<command
// pid>.txt" and "answerer.txt" says, so that several commands sharing a folder differ:
//   0, 1, 2, 7 ...  deliver that answer and wait until the command has taken it
//   empty [ms]      set the answer-ready event without writing an answer, then wait up to ms
//                   (default 2000) for the answer-taken event
//   late [ms]       set the answer-ready event, write the answer "1" after ms (default 500)
//   exit            end at once without answering
//   hang            never answer (the test ends the process)
// A mode may end in "gated": the stand-in then waits for a file "go.txt" beside it before it
// acts. When no behaviour file is there yet, it waits up to 10 s for one (a test may write the
// per-pid file only once the command runs).
// It writes "started_<window>.txt" (its own pid, the command's pid and the key, one per line)
// before acting and "finished_<window>.txt" (what happened) when it ends by itself.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <initializer_list>

#include "handoff_answer.h"

namespace {

wchar_t g_folder[MAX_PATH];

const wchar_t* g_window = L"";   // the key's window text

void pathBeside(const wchar_t* name, const wchar_t* id, wchar_t* out)
{
    _snwprintf(out, MAX_PATH - 1, L"%s%s_%s.txt", g_folder, name, id);
    out[MAX_PATH - 1] = L'\0';
}

void writeRecord(const wchar_t* name, const char* text)
{
    wchar_t path[MAX_PATH];
    pathBeside(name, g_window, path);
    // Written under a temporary name and moved, so a reader never sees half a record.
    wchar_t temp[MAX_PATH];
    _snwprintf(temp, MAX_PATH - 1, L"%s.part", path);
    temp[MAX_PATH - 1] = L'\0';
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING);
}

// Reads the behaviour file into `mode` (ASCII). Returns 0 or -1.
int readMode(DWORD commandPid, char* mode, size_t capacity)
{
    wchar_t pid[16];
    _snwprintf(pid, 15, L"%lu", commandPid);
    pid[15] = L'\0';
    wchar_t path[MAX_PATH];
    HANDLE file = INVALID_HANDLE_VALUE;
    for (const wchar_t* id : {g_window, static_cast<const wchar_t*>(pid)}) {
        pathBeside(L"answerer", id, path);
        file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        _snwprintf(path, MAX_PATH - 1, L"%sanswerer.txt", g_folder);
        file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    ReadFile(file, mode, static_cast<DWORD>(capacity - 1), &got, nullptr);
    CloseHandle(file);
    mode[got] = '\0';
    return 0;
}

// The command's process, from the window handle at the end of the key.
DWORD commandProcessOf(const wchar_t* key)
{
    const wchar_t* last = wcsrchr(key, L'_');
    if (!last) return 0;
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoul(last + 1, nullptr, 16)));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

HANDLE openEvent(const wchar_t* key, const wchar_t* suffix)
{
    wchar_t name[kHandoffNameChars];
    if (handoffObjectName(key, suffix, name, kHandoffNameChars) != 0) return nullptr;
    return OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
}

int writeBlock(const wchar_t* key, const wchar_t* text)
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, key);
    if (!mapping) return -1;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kHandoffBlockBytes);
    if (view) {
        wcscpy(static_cast<wchar_t*>(view), text);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return view ? 0 : -1;
}

const char* waitTaken(const wchar_t* key, DWORD milliseconds)
{
    HANDLE taken = openEvent(key, kHandoffTakenSuffix);
    if (!taken) return "no-taken-event";
    DWORD woken = WaitForSingleObject(taken, milliseconds);
    CloseHandle(taken);
    return woken == WAIT_OBJECT_0 ? "taken" : "not-taken";
}

void setReady(const wchar_t* key)
{
    HANDLE ready = openEvent(key, kHandoffReadySuffix);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int)
{
    GetModuleFileNameW(nullptr, g_folder, MAX_PATH);
    wchar_t* slash = wcsrchr(g_folder, L'\\');
    if (slash) slash[1] = L'\0';

    wchar_t key[kHandoffKeyChars];
    if (!parseHandoffKeyOption(arguments, key, kHandoffKeyChars)) return 3;
    DWORD commandPid = commandProcessOf(key);
    const wchar_t* last = wcsrchr(key, L'_');
    g_window = last ? last + 1 : L"";

    char record[1024];
    _snprintf(record, sizeof(record) - 1, "%lu\n%lu\n%ls\n", GetCurrentProcessId(), commandPid, key);
    record[sizeof(record) - 1] = '\0';
    writeRecord(L"started", record);

    char mode[64];
    int attempts = 0;
    while (readMode(commandPid, mode, sizeof(mode)) != 0) {
        if (++attempts > 200) return 4;
        Sleep(50);
    }
    char word[16] = "";
    unsigned long milliseconds = 0;
    int fields = sscanf(mode, "%15s %lu", word, &milliseconds);
    if (strstr(mode, "gated")) {
        wchar_t go[MAX_PATH];
        _snwprintf(go, MAX_PATH - 1, L"%sgo.txt", g_folder);
        go[MAX_PATH - 1] = L'\0';
        for (int i = 0; i < 600 && GetFileAttributesW(go) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    }

    char result[128];
    if (strcmp(word, "exit") == 0) {
        return 0;
    } else if (strcmp(word, "hang") == 0) {
        Sleep(INFINITE);
    } else if (strcmp(word, "empty") == 0) {
        setReady(key);
        _snprintf(result, sizeof(result) - 1, "empty %s", waitTaken(key, fields == 2 ? milliseconds : 2000));
    } else if (strcmp(word, "late") == 0) {
        setReady(key);
        Sleep(fields == 2 ? milliseconds : 500);
        int written = writeBlock(key, L"1");
        _snprintf(result, sizeof(result) - 1, "late %s %s", written == 0 ? "written" : "unwritten",
                  waitTaken(key, INFINITE));
    } else {
        DWORD code = 0;
        int failure = deliverHandoffAnswer(key, atoi(word), &code);
        _snprintf(result, sizeof(result) - 1, "answer %d delivery %d code %lu", atoi(word), failure,
                  code);
    }
    result[sizeof(result) - 1] = '\0';
    writeRecord(L"finished", result);
    return 0;
}
