// The folder dialog and the choices made with it.
#include "folder_dialog.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>

#include "backup_item.h"
#include "command_texts.h"
#include "destination.h"
#include "errors.h"
#include "framework.h"
#include "message_box.h"
#include "run_state.h"
#include "settings.h"

namespace {

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    switch (message) {
    case BFFM_INITIALIZED:
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
        return 0;
    case BFFM_VALIDATEFAILEDW:
        g_run.validateFailed = true;
        return 0;
    default:
        return 0;
    }
}

}  // namespace

void chooseFolder(HWND owner, const wchar_t* initialFolder, wchar_t* result, size_t capacity)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return;

    // The dialog of the new style needs COM on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    if (owner) {
        const UINT flags = SWP_NOMOVE | SWP_NOSIZE;
        SetWindowPos(owner, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(owner, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    }

    wchar_t* displayName = static_cast<wchar_t*>(allocator->Alloc(520));
    LPITEMIDLIST root = nullptr;
    if (!displayName || FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root)) || !root) {
        if (displayName) allocator->Free(displayName);
        if (root) allocator->Free(root);
        allocator->Release();
        if (SUCCEEDED(com)) CoUninitialize();
        return;
    }
    displayName[0] = L'\0';

    g_run.validateFailed = false;
    BROWSEINFOW browse;
    memset(&browse, 0, sizeof browse);
    browse.hwndOwner = owner;
    browse.pidlRoot = root;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = pickText(kBrowseTitleText, g_settings.language);
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    browse.lpfn = browseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(initialFolder);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);

    if (g_run.validateFailed) {
        if (capacity) result[0] = L'\0';
        showMessage(MB_ICONWARNING, pickText(kFolderDoesNotExistText, g_settings.language));
    } else if (chosen) {
        wchar_t path[MAX_PATH];
        if (SHGetPathFromIDListW(chosen, path)) copyText(result, capacity, path);
    }
    if (chosen) allocator->Free(chosen);
    allocator->Free(root);
    allocator->Free(displayName);
    allocator->Release();
    if (SUCCEEDED(com)) CoUninitialize();
}

void suggestedFolder(wchar_t* out, size_t capacity)
{
    if (g_run.chosenFolder[0] != L'\0') {
        copyText(out, capacity, g_run.chosenFolder);
        return;
    }
    // A "Path" that is no full path would be looked for in the working folder.
    wchar_t unusable[kForbiddenListChars];
    if (g_settings.path[0] != L'\0' && destinationFault(g_settings.path, unusable, kForbiddenListChars) == DestinationUsable &&
        pathExists(g_settings.path)) {
        copyText(out, capacity, g_settings.path);
        return;
    }
    wchar_t documents[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) documents[0] = L'\0';
    copyText(out, capacity, documents);
}

int askForChosenFolder(const wchar_t* initialFolder)
{
    chooseFolder(g_resultWindow, initialFolder, g_run.chosenFolder, kFolderChars);
    if (g_run.validateFailed) {
        g_run.chosenFolder[0] = L'\0';
        return PassAgain;
    }
    if (g_run.chosenFolder[0] == L'\0') return PassFail;
    addTrailingBackslash(g_run.chosenFolder, kFolderChars);
    if (!PathIsDirectoryW(g_run.chosenFolder)) {
        int code = makeFolder(g_run.chosenFolder);
        if (code != 0) {
            wchar_t errorText[kErrorTextChars];
            ErrorCodeText(static_cast<DWORD>(code), g_settings.language, errorText, kErrorTextChars);
            showMessageF(MB_ICONERROR, g_settings.language, kFolderNotCreatedReselectText, errorText, g_run.chosenFolder);
            g_run.chosenFolder[0] = L'\0';
            return PassAgain;
        }
    }
    return PassGoOn;
}

int reselectAfterFailedWriteTest(const wchar_t* errorText, const wchar_t* newPath)
{
    do {
        showMessageF(MB_ICONWARNING, g_settings.language, kCanNotBackupText, errorText, newPath);
        wchar_t initial[kFolderChars];
        suggestedFolder(initial, kFolderChars);
        g_run.chosenFolder[0] = L'\0';
        chooseFolder(g_resultWindow, initial, g_run.chosenFolder, kFolderChars);
    } while (g_run.validateFailed);
    if (g_run.chosenFolder[0] == L'\0') return PassFail;
    addTrailingBackslash(g_run.chosenFolder, kFolderChars);
    return PassAgain;
}

