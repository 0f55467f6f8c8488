// The library search of the elevated helper.
#include "library_search.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCWSTR path);

}  // namespace

int restrictLibrarySearchToSystem()
{
    // kernel32 is always loaded; nothing is loaded to ask it.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return -1;
    // An empty text takes the current folder out of the classic search order.
    SetDllDirectoryFunction setDllDirectory =
        reinterpret_cast<SetDllDirectoryFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    if (setDllDirectory) setDllDirectory(L"");
    SetDefaultDllDirectoriesFunction setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return -1;
    return 0;
}
