// Loads a library by name the way the system loads one lazily into a program, after restricting
// the library search as TazuUAC does first when its first argument is "restricted".
// Usage: library_search_probe [restricted] NAME.dll
// Exit code: 1 when the library was loaded, 0 when not, 2 when the search could not be restricted.
#include <windows.h>
#include <wchar.h>

#include "library_search.h"

int wmain(int argc, wchar_t** argv)
{
    int next = 1;
    if (next < argc && wcscmp(argv[next], L"restricted") == 0) {
        if (restrictLibrarySearchToSystem() != 0) return 2;
        ++next;
    }
    if (next >= argc) return 2;
    return LoadLibraryW(argv[next]) ? 1 : 0;
}
