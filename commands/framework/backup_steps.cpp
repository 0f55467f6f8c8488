// Per-item steps shared by the copy and archive commands.
#include "backup_steps.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>
#include <wchar.h>

#include "command_texts.h"
#include "copied_tree.h"
#include "errors.h"
#include "framework.h"
#include "message_box.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

// Item and destination paths are plain paths; room for a full form of either.
constexpr size_t kComparedPathChars = 2 * kPathChars;

BeforeOperationHook g_beforeOperation;
ShellOperationCall g_shellOperation = SHFileOperationW;

UiLanguage language()
{
    return g_settings.language;
}

// Windows names never hold wildcards; a path with one would make the existence check and the
// shell copy act on whatever matches it. Besides "*" and "?", the directory search reads "<",
// ">" and '"' as wildcards too.
bool hasWildcard(const wchar_t* path)
{
    return wcspbrk(path, L"*?<>\"") != nullptr;
}

bool isDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The path with trailing backslashes removed into out; false when it does not fit.
bool withoutTrailingBackslashes(const wchar_t* path, wchar_t* out, size_t capacity)
{
    if (copyText(out, capacity, path) != 0) return false;
    size_t length = wcslen(out);
    while (length > 0 && out[length - 1] == L'\\') out[--length] = L'\0';
    return true;
}

// Full path of a folder or item for comparisons, with its long names where it exists.
void comparisonPath(const wchar_t* path, wchar_t* out, size_t capacity)
{
    wchar_t full[kComparedPathChars];
    DWORD length = GetFullPathNameW(path, kComparedPathChars, full, nullptr);
    if (length == 0 || length >= kComparedPathChars) {
        copyText(out, capacity, path);
        return;
    }
    length = GetLongPathNameW(full, out, static_cast<DWORD>(capacity));
    if (length == 0 || length >= capacity) copyText(out, capacity, full);
}

// Whether a path names its place without the working folder: "C:\..." or "\\...".
bool isFullPath(const wchar_t* path)
{
    if (path[0] == L'\\' && path[1] == L'\\') return true;
    return isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

typedef DWORD(WINAPI* FinalPathCall)(HANDLE, LPWSTR, DWORD, DWORD);

// GetFinalPathNameByHandleW, which systems before Vista lack.
FinalPathCall finalPathCall()
{
    static const FinalPathCall call = reinterpret_cast<FinalPathCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    return call;
}

// The path by which the file system reaches an existing file or folder, after every link and
// drive mapping, in the plain form ("C:\...", "\\server\share\..."). False when it cannot be had.
bool finalPathOfExisting(const wchar_t* path, wchar_t* out, size_t capacity)
{
    FinalPathCall call = finalPathCall();
    if (!call) return false;
    // Backup semantics open a folder as well as a file; nothing of the contents is read.
    HANDLE handle = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    wchar_t final[kComparedPathChars];
    DWORD length = call(handle, final, kComparedPathChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (length == 0 || length >= kComparedPathChars) return false;
    const wchar_t* plain = final;
    if (_wcsnicmp(final, L"\\\\?\\UNC\\", 8) == 0) {
        final[6] = L'\\';
        plain = final + 6;
    } else if (wcsncmp(final, L"\\\\?\\", 4) == 0) {
        plain = final + 4;
    }
    return copyText(out, capacity, plain) == 0;
}

// Final path of a full path that may not exist yet (a destination still to be made): the final
// path of its nearest existing folder, with the missing rest appended as written. False when no
// part of it resolves.
bool finalPath(const wchar_t* path, wchar_t* out, size_t capacity)
{
    wchar_t full[kComparedPathChars];
    if (!withoutTrailingBackslashes(path, full, kComparedPathChars) || !full[0]) return false;
    size_t end = wcslen(full);
    for (;;) {
        wchar_t part[kComparedPathChars];
        wmemcpy(part, full, end);
        part[end] = L'\0';
        // A drive's root keeps its backslash: "C:" alone names the current folder of drive C.
        if (end == 2 && part[1] == L':') wcscpy(part + 2, L"\\");
        if (finalPathOfExisting(part, out, capacity)) break;
        size_t cut = end;
        while (cut > 0 && full[cut - 1] != L'\\') --cut;
        // Never shorter than a drive's root or a share: "\\server" alone is no folder, and "\"
        // alone the root of the working folder's drive.
        if (cut <= 2) return false;
        end = cut - 1;
    }
    if (!full[end]) return true;
    // The rest begins with its separator; a root's final path ("C:\") ends with one already.
    size_t used = wcslen(out);
    const wchar_t* rest = full + end;
    if (used > 0 && out[used - 1] == L'\\') ++rest;
    if (used + wcslen(rest) >= capacity) return false;
    wcscpy(out + used, rest);
    return true;
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
    // Room for a path, a "\*" after it and the list's second terminator.
    wchar_t fromList[kPathChars + 3];
    wchar_t toList[kPathChars + 3];
    shellPathList(fromList, kPathChars + 3, from);
    shellPathList(toList, kPathChars + 3, to ? to : L"");

    SHFILEOPSTRUCTW request;
    memset(&request, 0, sizeof request);
    request.hwnd = nullptr;
    request.wFunc = operation;
    request.pFrom = fromList;
    request.pTo = to ? toList : nullptr;
    request.fFlags = flags;
    if (g_shellOperation(&request) != 0) return -1;
    // A cancel, or a part the user chose to skip, can come back as success.
    return request.fAnyOperationsAborted ? -1 : 0;
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

void setShellOperationCall(ShellOperationCall call)
{
    g_shellOperation = call ? call : SHFileOperationW;
}

bool isRootPath(const wchar_t* path)
{
    if (!path || !path[0]) return false;
    wchar_t text[kComparedPathChars];
    if (!withoutTrailingBackslashes(path, text, kComparedPathChars)) return false;
    // Nothing but backslashes: the root of the current drive.
    if (!text[0]) return true;

    const wchar_t* rest = text;
    bool unc = false;
    if (wcsncmp(rest, L"\\\\?\\", 4) == 0 || wcsncmp(rest, L"\\\\.\\", 4) == 0) {
        rest += 4;
        if (_wcsnicmp(rest, L"UNC\\", 4) == 0) {
            rest += 4;
            unc = true;
        }
    } else if (rest[0] == L'\\' && rest[1] == L'\\') {
        rest += 2;
        unc = true;
    }
    if (unc) {
        // Server, or server and share, without anything below them.
        const wchar_t* slash = wcschr(rest, L'\\');
        return !slash || !wcschr(slash + 1, L'\\');
    }
    return wcslen(rest) == 2 && isDriveLetter(rest[0]) && rest[1] == L':';
}

bool isWithinFolder(const wchar_t* path, const wchar_t* folder)
{
    wchar_t inner[kComparedPathChars];
    wchar_t outer[kComparedPathChars];
    if (!withoutTrailingBackslashes(path, inner, kComparedPathChars) ||
        !withoutTrailingBackslashes(folder, outer, kComparedPathChars) || !outer[0])
        return false;
    size_t outerLength = wcslen(outer);
    size_t innerLength = wcslen(inner);
    if (innerLength < outerLength) return false;
    if (innerLength > outerLength && inner[outerLength] != L'\\') return false;
    return CompareStringOrdinal(inner, static_cast<int>(outerLength), outer, static_cast<int>(outerLength), TRUE) ==
           CSTR_EQUAL;
}

int refuseDestinationInsideItem(const BackupItem* item, const wchar_t* destinationFolder)
{
    if (item->kind != ItemFolder) return PassGoOn;
    wchar_t destination[kComparedPathChars];
    wchar_t itemPath[kComparedPathChars];
    comparisonPath(destinationFolder, destination, kComparedPathChars);
    comparisonPath(item->path, itemPath, kComparedPathChars);
    const bool insideByText = isWithinFolder(destination, itemPath);
    // The archiver leaves out the archive it writes when the archive lies below the item's path
    // as written; reached another way it would take in its own unfinished file.
    bool inside = item->output == OutputCopyOrRename && insideByText;
    if (!insideByText) {
        // A link or another drive letter can lead into the item under a path that looks
        // outside it: the paths that the file system reaches decide.
        wchar_t finalDestination[kComparedPathChars];
        wchar_t finalItem[kComparedPathChars];
        inside = finalPath(destination, finalDestination, kComparedPathChars) &&
                 finalPath(itemPath, finalItem, kComparedPathChars) && isWithinFolder(finalDestination, finalItem);
    }
    if (!inside) return PassGoOn;
    showMessageF(MB_ICONERROR, language(), kDestinationInsideItemText, destinationFolder, item->path);
    return PassFail;
}

int beginBackupItem(const wchar_t* itemPath, BackupItem* item)
{
    memset(item, 0, sizeof *item);
    // A drive root or a share would lose its meaning with its backslash ("C:" is the current
    // folder of drive C), and it is never an item to back up, zip or rename.
    if (itemPath && isRootPath(itemPath)) {
        showMessageF(MB_ICONERROR, language(), kItemNotFoundText, itemPath);
        return -1;
    }
    copyText(item->path, kPathChars, itemPath ? itemPath : L"");
    removeTrailingBackslash(item->path);

    HANDLE search = hasWildcard(item->path) ? INVALID_HANDLE_VALUE : FindFirstFileW(item->path, &item->entry);
    if (search == INVALID_HANDLE_VALUE) {
        showMessageF(MB_ICONERROR, language(), kItemNotFoundText, item->path);
        return -1;
    }
    FindClose(search);

    // A relative path (a program started from a console or a script) names an item of the
    // working folder, where the search above found it; the steps below work with full paths.
    if (item->path[0] && !isFullPath(item->path)) {
        wchar_t full[kComparedPathChars];
        DWORD length = GetFullPathNameW(item->path, kComparedPathChars, full, nullptr);
        if (length == 0 || length >= kComparedPathChars || isRootPath(full)) {
            showMessageF(MB_ICONERROR, language(), kItemNotFoundText, item->path);
            return -1;
        }
        removeTrailingBackslash(full);
        if (wcslen(full) >= kPathChars) {
            showMessageF(MB_ICONERROR, language(), kQuotedPathTooLongText, static_cast<int>(kPathChars), full);
            return -1;
        }
        copyText(item->path, kPathChars, full);
    }

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
    int code = makeFolder(destinationFolder);
    if (code != 0) {
        ErrorCodeText(static_cast<DWORD>(code), language(), errorText, capacity);
        return -1;
    }
    int claimed = claimNewPath(newPath, kind, errorText, capacity);
    if (claimed == kNewPathTaken) return kNewPathTaken;
    if (claimed != 0) return -1;
    // Made by the create call above, so it is this test's to remove.
    if (kind == ItemFolder) {
        wchar_t folder[kPathChars];
        copyText(folder, kPathChars, newPath);
        removeTrailingBackslash(folder);
        RemoveDirectoryW(folder);
    } else {
        DeleteFileW(newPath);
    }
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
    item->output = output;
    for (;;) {
        memset(&item->parts, 0, sizeof item->parts);
        if (splitPath(item->path, item->kind == ItemFolder, &item->parts) != 0) {
            showMessageF(MB_ICONERROR, language(), kItemNotFoundText, item->path);
            return -1;
        }

        int step = destination(item);
        if (step == PassAgain) continue;
        if (step != PassGoOn) return -1;
        if (refuseDestinationInsideItem(item, g_run.destinationFolder) != PassGoOn) return -1;

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
        if (result == kNewPathNotWritable) {
            if (reselectAfterFailedWriteTest(item->errorText, newPath) == PassFail) return -1;
            continue;
        }
        return result == 0 ? 0 : -1;
    }
}

int claimNewPath(const wchar_t* newPath, ItemKind kind, wchar_t* errorText, size_t capacity)
{
    if (capacity) errorText[0] = L'\0';
    DWORD error = 0;
    if (kind == ItemFolder) {
        wchar_t folder[kPathChars];
        copyText(folder, kPathChars, newPath);
        removeTrailingBackslash(folder);
        if (CreateDirectoryW(folder, nullptr)) return 0;
        error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return kNewPathTaken;
        ErrorCodeText(error, language(), errorText, capacity);
        return kNewPathNotWritable;
    }
    HANDLE file = CreateFileW(newPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 0;
    }
    error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return kNewPathTaken;
    SystemErrorText(error, language(), errorText, capacity);
    return kNewPathNotWritable;
}

namespace {

// Whether a folder holds anything besides "." and "..".
bool folderHasEntries(const wchar_t* folder)
{
    wchar_t pattern[kPathChars + 2];
    if (_snwprintf(pattern, kPathChars + 2, L"%s\\*", folder) < 0) return true;
    pattern[kPathChars + 1] = L'\0';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() != ERROR_FILE_NOT_FOUND;
    bool any = false;
    do {
        any = wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0;
    } while (!any && FindNextFileW(search, &entry));
    FindClose(search);
    return any;
}

// The shell copy into the claimed new path: a file over its own empty claim (no question to
// replace it, it is this run's), a folder's contents into its claimed folder.
int copyIntoClaim(const BackupItem* item, const wchar_t* newPath)
{
    if (item->kind == ItemFile) return shellFileOperation(FO_COPY, item->path, newPath, FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
    if (folderHasEntries(item->path)) {
        wchar_t contents[kPathChars + 2];
        _snwprintf(contents, kPathChars + 2, L"%s\\*", item->path);
        contents[kPathChars + 1] = L'\0';
        if (shellFileOperation(FO_COPY, contents, newPath, FOF_ALLOWUNDO) != 0) return -1;
    }
    // The claimed folder is new: give it the item's own attributes, as a copy of the folder has.
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (item->entry.dwFileAttributes & kept) {
        wchar_t folder[kPathChars];
        copyText(folder, kPathChars, newPath);
        removeTrailingBackslash(folder);
        SetFileAttributesW(folder, item->entry.dwFileAttributes & kept);
    }
    return 0;
}

}  // namespace

int copyToNewPath(BackupItem* item, const wchar_t* newPath)
{
    int claimed = claimNewPath(newPath, item->kind, item->errorText, kErrorTextChars);
    if (claimed != 0) return claimed;

    int result = copyIntoClaim(item, newPath);
    wchar_t difference[kPathChars + kPathChars];
    bool incomplete = result == 0 && compareCopiedTree(item->path, newPath, difference, kPathChars + kPathChars) != CopyComplete;
    if (result == 0 && !incomplete) return 0;

    // The new path was claimed by this run, so what lies there now is this run's failed copy.
    shellFileOperation(FO_DELETE, newPath, nullptr, FOF_NOCONFIRMATION);
    if (incomplete) showMessageF(MB_ICONERROR, language(), kCopyIncompleteText, difference);
    return -1;
}

int renameToNewPath(const BackupItem* item, const wchar_t* newPath)
{
    if (shellFileOperation(FO_RENAME, item->path, newPath, FOF_ALLOWUNDO) != 0) return -1;
    // A rename that the user declined can still come back as success.
    return pathExists(newPath) ? 0 : -1;
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
