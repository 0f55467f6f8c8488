// Per-item steps shared by the copy and archive commands.
#include "backup_steps.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>
#include <wchar.h>

#include "command_texts.h"
#include "errors.h"
#include "framework.h"
#include "message_box.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

BeforeOperationHook g_beforeOperation;

UiLanguage language()
{
    return g_settings.language;
}

// Windows names never hold wildcards; a path with one would make the existence check and the
// shell copy act on whatever matches it.
bool hasWildcard(const wchar_t* path)
{
    return wcspbrk(path, L"*?") != nullptr;
}

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

int collisionOrFail(BackupItem* item, const wchar_t* newPath)
{
    return applyCollisionRule(newPath, &item->collisions, &g_settings) == CollisionGiveUp ? PassFail : PassAgain;
}

// Buffer of a single path for the shell's file operations: ends with two zero characters. A
// folder's path ends with a backslash; given so, the shell would copy the folder into a new
// folder of that name instead of making the new folder the copy, so it goes.
void shellPathList(wchar_t* out, size_t capacity, const wchar_t* path)
{
    memset(out, 0, capacity * sizeof(wchar_t));
    copyText(out, capacity - 1, path);
    removeTrailingBackslash(out);
}

}  // namespace

int shellFileOperation(UINT operation, const wchar_t* from, const wchar_t* to, FILEOP_FLAGS flags)
{
    wchar_t fromList[kPathChars + 1];
    wchar_t toList[kPathChars + 1];
    shellPathList(fromList, kPathChars + 1, from);
    shellPathList(toList, kPathChars + 1, to ? to : L"");

    SHFILEOPSTRUCTW request;
    memset(&request, 0, sizeof request);
    request.hwnd = nullptr;
    request.wFunc = operation;
    request.pFrom = fromList;
    request.pTo = to ? toList : nullptr;
    request.fFlags = flags;
    return SHFileOperationW(&request) == 0 ? 0 : -1;
}

int composeFreeNewPath(BackupItem* item, OutputKind output, wchar_t* newPath, size_t capacity)
{
    size_t length = 0;
    if (composeBackupPath(g_run.destinationFolder, &item->parts, item->kind, output, &g_settings, newPath,
                          capacity, &length) != NamingOk) {
        showSerialOverflowMessage(language());
        return PassFail;
    }
    copyText(g_run.lastNewPath, kPathChars, newPath);
    if (checkNewPathLength(newPath, length, item->kind, output, language()) != 0) return PassFail;

    int step = applyCollisionRule(newPath, &item->collisions, &g_settings);
    if (step == CollisionGiveUp) return PassFail;
    return step == CollisionRetry ? PassAgain : PassGoOn;
}

void setBeforeOperationHook(BeforeOperationHook hook)
{
    g_beforeOperation = hook;
}

int beginBackupItem(const wchar_t* itemPath, BackupItem* item)
{
    memset(item, 0, sizeof *item);
    copyText(item->path, kPathChars, itemPath ? itemPath : L"");
    removeTrailingBackslash(item->path);

    HANDLE search = hasWildcard(item->path) ? INVALID_HANDLE_VALUE : FindFirstFileW(item->path, &item->entry);
    if (search == INVALID_HANDLE_VALUE) {
        showMessageF(MB_ICONERROR, language(), kItemNotFoundText, item->path);
        return -1;
    }
    FindClose(search);

    noteItem(item->path);
    item->kind = (item->entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ItemFolder : ItemFile;
    item->collisions = 0;
    return 0;
}

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
    browse.lpszTitle = pickText(kBrowseTitleText, language());
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    browse.lpfn = browseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(initialFolder);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);

    if (g_run.validateFailed) {
        if (capacity) result[0] = L'\0';
        showMessage(MB_ICONWARNING, pickText(kFolderDoesNotExistText, language()));
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
    if (g_settings.path[0] != L'\0' && pathExists(g_settings.path)) {
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
            ErrorCodeText(static_cast<DWORD>(code), language(), errorText, kErrorTextChars);
            showMessageF(MB_ICONERROR, language(), kFolderNotCreatedReselectText, errorText, g_run.chosenFolder);
            g_run.chosenFolder[0] = L'\0';
            return PassAgain;
        }
    }
    return PassGoOn;
}

int destinationBesideItem(BackupItem* item)
{
    if (g_run.chosenFolder[0] == L'\0' && g_settings.selDir == 1) {
        wchar_t initial[kFolderChars];
        if (joinFolder(&item->parts, initial, kFolderChars) != 0) initial[0] = L'\0';
        int step = askForChosenFolder(initial);
        if (step != PassGoOn) return step;
    }
    if (g_run.chosenFolder[0] != L'\0') return copyText(g_run.destinationFolder, kFolderChars, g_run.chosenFolder) == 0 ? PassGoOn : PassFail;
    return joinFolder(&item->parts, g_run.destinationFolder, kFolderChars) == 0 ? PassGoOn : PassFail;
}

int writeTest(const wchar_t* newPath, ItemKind kind, const wchar_t* destinationFolder,
              wchar_t* errorText, size_t capacity)
{
    if (capacity) errorText[0] = L'\0';
    // Never create and then remove something under a name that is already in use.
    if (pathExists(newPath)) return kNewPathTaken;
    if (kind == ItemFolder) {
        int code = makeFolder(newPath);
        if (code != 0) {
            ErrorCodeText(static_cast<DWORD>(code), language(), errorText, capacity);
            return -1;
        }
        RemoveDirectoryW(newPath);
        return 0;
    }
    int code = makeFolder(destinationFolder);
    if (code != 0) {
        ErrorCodeText(static_cast<DWORD>(code), language(), errorText, capacity);
        return -1;
    }
    HANDLE file = CreateFileW(newPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE) {
        SystemErrorText(error, language(), errorText, capacity);
        return -1;
    }
    CloseHandle(file);
    DeleteFileW(newPath);
    return 0;
}

int reselectAfterFailedWriteTest(const wchar_t* errorText, const wchar_t* newPath)
{
    do {
        showMessageF(MB_ICONWARNING, language(), kCanNotBackupText, errorText, newPath);
        wchar_t initial[kFolderChars];
        suggestedFolder(initial, kFolderChars);
        g_run.chosenFolder[0] = L'\0';
        chooseFolder(g_resultWindow, initial, g_run.chosenFolder, kFolderChars);
    } while (g_run.validateFailed);
    if (g_run.chosenFolder[0] == L'\0') return PassFail;
    addTrailingBackslash(g_run.chosenFolder, kFolderChars);
    return PassAgain;
}

int runBackupLoop(BackupItem* item, DestinationRule destination, OutputKind output, ItemOperation operation)
{
    const ItemKind writeKind = output == OutputArchive ? ItemFile : item->kind;
    for (;;) {
        memset(&item->parts, 0, sizeof item->parts);
        if (splitPath(item->path, item->kind == ItemFolder, &item->parts) != 0) {
            showMessageF(MB_ICONERROR, language(), kItemNotFoundText, item->path);
            return -1;
        }

        int step = destination(item);
        if (step == PassAgain) continue;
        if (step != PassGoOn) return -1;

        wchar_t newPath[kComposedPathChars];
        step = composeFreeNewPath(item, output, newPath, kComposedPathChars);
        if (step == PassAgain) continue;
        if (step != PassGoOn) return -1;

        int tested = writeTest(newPath, writeKind, g_run.destinationFolder, item->errorText, kErrorTextChars);
        if (tested == kNewPathTaken) {
            if (collisionOrFail(item, newPath) == PassFail) return -1;
            continue;
        }
        if (tested != 0) {
            if (reselectAfterFailedWriteTest(item->errorText, newPath) == PassFail) return -1;
            continue;
        }

        if (g_beforeOperation) g_beforeOperation(newPath);
        // Another program may have taken the name since the write test: compose again rather
        // than write over (and on failure remove) an item that is not ours.
        int result = pathExists(newPath) ? kNewPathTaken : operation(item, newPath);
        if (result == kNewPathTaken) {
            if (collisionOrFail(item, newPath) == PassFail) return -1;
            continue;
        }
        return result == 0 ? 0 : -1;
    }
}

int copyToNewPath(BackupItem* item, const wchar_t* newPath)
{
    if (pathExists(newPath)) return kNewPathTaken;
    if (shellFileOperation(FO_COPY, item->path, newPath, FOF_ALLOWUNDO) == 0) return 0;
    // The path was free when the copy began, so whatever lies there now is the failed copy's.
    if (pathExists(newPath)) shellFileOperation(FO_DELETE, newPath, nullptr, FOF_NOCONFIRMATION);
    return -1;
}

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
