// The virtual-store check after a copy.
#include "virtual_store.h"

#include <windows.h>
#include <shlobj.h>
#include <wchar.h>

#include "naming.h"
#include "paths.h"
#include "run_state.h"

void checkVirtualStore(const wchar_t* newFilePath)
{
    wchar_t local[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local))) local[0] = L'\0';
    g_run.virtualStoreFolder[0] = L'\0';
    if (local[0] == L'\0') return;
    copyText(g_run.virtualStoreFolder, kFolderChars, local);
    addTrailingBackslash(g_run.virtualStoreFolder, kFolderChars);
    wcsncat(g_run.virtualStoreFolder, L"VirtualStore\\", kFolderChars - 1 - wcslen(g_run.virtualStoreFolder));

    const wchar_t* name = wcsrchr(newFilePath, L'\\');
    name = name ? name + 1 : newFilePath;
    wchar_t candidate[kFolderChars + kPathChars];
    _snwprintf(candidate, kFolderChars + kPathChars, L"%s%s", g_run.virtualStoreFolder, name);
    candidate[kFolderChars + kPathChars - 1] = L'\0';
    if (pathExists(candidate)) g_run.virtualStoreFlag = true;
}
