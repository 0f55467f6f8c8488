// Test helper: observing processes that a program under test started.
#include "process_command_line.h"

#include <tlhelp32.h>
#include <winternl.h>

namespace observe {

std::set<DWORD> processesNamed(const wchar_t* exeName)
{
    std::set<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0) pids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

std::wstring commandLineOf(HANDLE process)
{
    typedef NTSTATUS(NTAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return L"";
    PROCESS_BASIC_INFORMATION basic = {};
    if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) return L"";
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr))
        return L"";
    std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!text.empty() &&
        !ReadProcessMemory(process, parameters.CommandLine.Buffer, &text[0], parameters.CommandLine.Length, nullptr))
        return L"";
    return text;
}

std::wstring endStartedProcess(const wchar_t* exeName, const std::set<DWORD>& before,
                               const std::wstring& fragment, DWORD timeoutMs, std::wstring* others)
{
    std::set<DWORD> seen = before;
    DWORD start = GetTickCount();
    do {
        for (DWORD pid : processesNamed(exeName)) {
            if (seen.count(pid)) continue;
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE |
                                             SYNCHRONIZE, FALSE, pid);
            if (!process) continue;
            std::wstring commandLine = commandLineOf(process);
            if (commandLine.find(fragment) != std::wstring::npos) {
                TerminateProcess(process, 0);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
                return commandLine;
            }
            if (!commandLine.empty()) {
                seen.insert(pid);
                if (others) *others += commandLine + L"\n";
            }
            CloseHandle(process);
        }
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return L"";
}

}  // namespace observe
