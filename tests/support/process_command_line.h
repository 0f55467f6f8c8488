// Test helper: the processes of an executable name and the command line of another process,
// to observe what a program under test started.
#pragma once
#include <windows.h>

#include <set>
#include <string>

namespace observe {

// Ids of the running processes whose executable has this file name (any case).
std::set<DWORD> processesNamed(const wchar_t* exeName);

// Command line of another process of the same bitness, read from its process parameters; ""
// when it cannot be read. The handle needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ.
std::wstring commandLineOf(HANDLE process);

// Waits up to timeoutMs for a process named exeName, not in `before`, whose command line holds
// `fragment`; ends it and returns its command line ("" when none showed up). Other new
// processes of that name are left alone and listed in *others.
std::wstring endStartedProcess(const wchar_t* exeName, const std::set<DWORD>& before,
                               const std::wstring& fragment, DWORD timeoutMs, std::wstring* others);

}  // namespace observe
