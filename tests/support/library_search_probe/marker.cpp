// A library that tells when it is loaded: on attaching to a process it leaves an empty file
// "<its own path>.loaded" beside itself.
#include <windows.h>
#include <wchar.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t record[MAX_PATH + 16];
    DWORD length = GetModuleFileNameW(self, record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    wcscpy(record + length, L".loaded");
    HANDLE file = CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
