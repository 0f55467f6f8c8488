// Shortcut files of the commands in the Send To and desktop folders, and the place dispatcher.
#include "shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>
#include <wchar.h>

#include "command_table.h"
#include "context_menu.h"
#include "errors.h"

namespace {

const wchar_t kShortcutExtension[] = L".lnk";
const wchar_t kShortcutPattern[] = L"*.lnk";
// Shortcuts are read with write sharing denied.
constexpr DWORD kShortcutReadMode = STGM_SHARE_DENY_WRITE;
// Enumeration patterns and the path of a shortcut file in a folder.
constexpr size_t kFolderFileChars = 2 * kPathChars;

const TrailPoint kFolderLookupPoints[] = {
    {L"GSFP1", 1000, L"UAC-GSFP1", 0},   // no shell allocator
    {L"GSFP2", 1003, L"UAC-GSFP2", 0},   // the folder cannot be located
    {L"GSFP3", 1006, L"UAC-GSFP3", 0},   // its path cannot be had
};

const FailurePoint kPlaceSendTo = {L"RRP1", 0};
const FailurePoint kPlaceContextMenu = {L"RRP2", 0};
const FailurePoint kPlaceDesktop = {L"RRP3", 0};

const FailurePoint kNoFolder = {L"SP1", 1010};
const FailurePoint kCheckFailed = {L"SP2", 0};
const FailurePoint kProgramMissing = {L"SP3", 1013};
const FailurePoint kCreationFailed = {L"SP4", 0};
const FailurePoint kRemovalFailed = {L"SP5", 0};

const FailurePoint kScanNoMatch = {L"SC1", 0};

const FailurePoint kDeleteFailed = {L"SR1", 1040};
const FailurePoint kNoneMatched = {L"SR2", 0};
const FailurePoint kNoneDeleted = {L"SR3", 1046};

// Creation, in the order of its steps.
const FailurePoint kCreationPoints[] = {
    {L"SC1", 1020},   // the shortcut path is too long
    {L"SC2", 1021},   // COM
    {L"SC3", 1023},   // the shell link object
    {L"SC4", 1026},   // its IPersistFile
    {L"SC5", 1029},   // SetPath
    {L"SC6", 1032},   // SetArguments
    {L"SC7", 1035},   // Save
};

// Target reading, in the order of its steps.
const FailurePoint kTargetPoints[] = {
    {L"GSP1", 1050},   // COM
    {L"GSP2", 1053},   // the shell link object
    {L"GSP3", 1056},   // its IPersistFile
    {L"GSP4", 1059},   // Load
    {L"GSP5", 1062},   // GetPath
};

bool sameTarget(const wchar_t* target, const wchar_t* program)
{
    return CompareStringOrdinal(target, -1, program, -1, TRUE) == CSTR_EQUAL;
}

// Folder, backslash unless there is one, and a name.
bool joinFolderFile(const wchar_t* folder, const wchar_t* name, wchar_t* out, size_t capacity)
{
    size_t length = wcslen(folder);
    const wchar_t* separator = (length && folder[length - 1] == L'\\') ? L"" : L"\\";
    int written = _snwprintf(out, capacity, L"%s%s%s", folder, separator, name);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

// The shell link object and its IPersistFile, released together.
struct LinkObject {
    IShellLinkW* link;
    IPersistFile* file;
};

void releaseLink(LinkObject* shellLink)
{
    if (shellLink->file) shellLink->file->Release();
    if (shellLink->link) shellLink->link->Release();
    *shellLink = LinkObject{};
}

// Creates the link object and its file interface. Returns 0, or the step (1 object, 2 file
// interface) that failed with its result in *failure.
int openLink(LinkObject* shellLink, HRESULT* failure)
{
    *shellLink = LinkObject{};
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&shellLink->link));
    if (FAILED(result)) {
        *failure = result;
        shellLink->link = nullptr;
        return 1;
    }
    result = shellLink->link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&shellLink->file));
    if (FAILED(result)) {
        *failure = result;
        shellLink->file = nullptr;
        releaseLink(shellLink);
        return 2;
    }
    return 0;
}

// Calls `visit` for every shortcut file of the folder whose target is the program. Files whose
// target cannot be read are skipped.
template <typename Visit>
void forEachShortcutOf(const wchar_t* folder, const wchar_t* program, Visit visit)
{
    wchar_t pattern[kFolderFileChars];
    if (!joinFolderFile(folder, kShortcutPattern, pattern, kFolderFileChars)) return;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        wchar_t target[kPathChars];
        if (readShortcutTarget(folder, entry.cFileName, target) != 0) continue;
        if (!sameTarget(target, program)) continue;
        if (!visit(entry.cFileName)) break;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// 0 when a shortcut of the folder points to the program, else 4.
int scanShortcuts(const wchar_t* folder, const wchar_t* program)
{
    bool found = false;
    forEachShortcutOf(folder, program, [&](const wchar_t*) {
        found = true;
        return false;
    });
    if (found) return 0;
    recordFailure(kScanNoMatch, 0);
    return kShortcutNothingThere;
}

// Deletes every shortcut of the folder that points to the program. Returns 0 (at least one
// deleted), 2 (found, none deleted) or 4 (none found); quiet records nothing.
int removeShortcuts(const wchar_t* folder, const wchar_t* program, bool quiet)
{
    int matched = 0;
    int deleted = 0;
    forEachShortcutOf(folder, program, [&](const wchar_t* name) {
        ++matched;
        wchar_t path[kFolderFileChars];
        if (joinFolderFile(folder, name, path, kFolderFileChars) && DeleteFileW(path)) {
            ++deleted;
        } else if (!quiet) {
            recordFailure(kDeleteFailed, GetLastError());
        }
        return true;
    });
    if (matched == 0) {
        if (!quiet) recordFailure(kNoneMatched, 0);
        return kShortcutNothingThere;
    }
    if (deleted > 0) return 0;
    if (!quiet) recordFailure(kNoneDeleted, 0);
    return kShortcutNoneDeleted;
}

// Writes a shortcut named after the caption whose target is the program and whose arguments
// are empty; nothing else is set, so the menu shows the program's own icon. Returns 0 or -1.
int createShortcut(const wchar_t* folder, const wchar_t* caption, const wchar_t* program)
{
    wchar_t path[kFolderFileChars];
    if (composeShortcutPath(folder, caption, path, kFolderFileChars) >= static_cast<int>(kPathChars)) {
        recordFailure(kCreationPoints[0], 0);
        return -1;
    }
    HRESULT result = CoInitialize(nullptr);
    if (FAILED(result)) {
        recordFailure(kCreationPoints[1], static_cast<DWORD>(result));
        return -1;
    }
    LinkObject shellLink;
    int step = openLink(&shellLink, &result);
    if (step == 0) {
        if (FAILED(result = shellLink.link->SetPath(program)))
            step = 3;
        else if (FAILED(result = shellLink.link->SetArguments(L"")))
            step = 4;
        else if (FAILED(result = shellLink.file->Save(path, TRUE)))
            step = 5;
    }
    if (step != 0) recordFailure(kCreationPoints[step + 1], static_cast<DWORD>(result));
    releaseLink(&shellLink);
    CoUninitialize();
    return step == 0 ? 0 : -1;
}

}  // namespace

int composeShortcutPath(const wchar_t* folder, const wchar_t* caption, wchar_t* out, size_t capacity)
{
    size_t length = wcslen(folder);
    const wchar_t* separator = (length && folder[length - 1] == L'\\') ? L"" : L"\\";
    int whole = _scwprintf(L"%s%s%s%s", folder, separator, caption, kShortcutExtension);
    if (capacity) {
        _snwprintf(out, capacity - 1, L"%s%s%s%s", folder, separator, caption, kShortcutExtension);
        out[capacity - 1] = L'\0';
    }
    return whole;
}

int readShortcutTarget(const wchar_t* folder, const wchar_t* fileName, wchar_t* target)
{
    target[0] = L'\0';
    wchar_t path[kFolderFileChars];
    joinFolderFile(folder, fileName, path, kFolderFileChars);
    HRESULT result = CoInitialize(nullptr);
    if (FAILED(result)) {
        recordFailure(kTargetPoints[0], static_cast<DWORD>(result));
        return -1;
    }
    LinkObject shellLink;
    int step = openLink(&shellLink, &result);
    if (step == 0) {
        if (FAILED(result = shellLink.file->Load(path, kShortcutReadMode)))
            step = 3;
        else if (FAILED(result = shellLink.link->GetPath(target, static_cast<int>(kPathChars), nullptr, 0)))
            step = 4;
    }
    if (step != 0) {
        recordFailure(kTargetPoints[step], static_cast<DWORD>(result));
        target[0] = L'\0';
    }
    target[kPathChars - 1] = L'\0';
    releaseLink(&shellLink);
    CoUninitialize();
    return step == 0 ? 0 : -1;
}

int lookUpShellFolder(wchar_t* folder, int folderId)
{
    folder[0] = L'\0';
    IMalloc* allocator = nullptr;
    HRESULT result = SHGetMalloc(&allocator);
    if (FAILED(result) || !allocator) {
        recordTrailPoint(kFolderLookupPoints[0], static_cast<DWORD>(result));
        return -1;
    }
    LPITEMIDLIST list = nullptr;
    result = SHGetSpecialFolderLocation(GetDesktopWindow(), folderId, &list);
    int outcome = 0;
    if (FAILED(result) || !list) {
        recordTrailPoint(kFolderLookupPoints[1], static_cast<DWORD>(result));
        outcome = -1;
    } else if (!SHGetPathFromIDListW(list, folder)) {
        recordTrailPoint(kFolderLookupPoints[2], 0);
        folder[0] = L'\0';
        outcome = -1;
    }
    if (list) allocator->Free(list);
    allocator->Release();
    return outcome;
}

int runShortcutOperation(const wchar_t* folder, const wchar_t* fileName, const wchar_t* caption,
                         int operation)
{
    if (!folder || !folder[0]) {
        recordFailure(kNoFolder, 0);
        return -1;
    }
    wchar_t program[kPathChars];
    bool composed = composeProgramPath(g_installation.programFolder, fileName, program, kPathChars) == 0;
    switch (operation) {
    case OperationCheck: {
        int result = scanShortcuts(folder, program);
        if (result != 0) recordFailure(kCheckFailed, 0);
        return result;
    }
    case OperationRegister:
        if (!composed) {
            recordFailure(kProgramMissing, ERROR_FILENAME_EXCED_RANGE);
            return -1;
        }
        if (!pathExists(program)) {
            recordFailure(kProgramMissing, GetLastError());
            return -1;
        }
        // Replaces shortcuts made under another name or the other language's caption.
        removeShortcuts(folder, program, true);
        if (createShortcut(folder, caption, program) != 0) {
            recordFailure(kCreationFailed, 0);
            return -1;
        }
        return 0;
    case OperationRemove: {
        int result = removeShortcuts(folder, program, false);
        if (result != 0) recordFailure(kRemovalFailed, 0);
        return result;
    }
    default:
        return 0;
    }
}

int dispatchPlaceOperation(int place, const wchar_t* fileName, const wchar_t* caption, int operation,
                           MenuScope menuScope)
{
    wchar_t folder[kPathChars];
    switch (place) {
    case PlaceSendTo:
    case PlaceDesktop: {
        lookUpShellFolder(folder, place == PlaceSendTo ? kSendToFolderId : kDesktopFolderId);
        int result = runShortcutOperation(folder, fileName, caption, operation);
        if (result != 0) recordFailure(place == PlaceSendTo ? kPlaceSendTo : kPlaceDesktop, 0);
        return result;
    }
    case PlaceContextMenu: {
        if (operation != OperationCheck) return 0;
        int result = checkProgramEntries(menuScope, fileName);
        if (result != 0) recordFailure(kPlaceContextMenu, 0);
        return result;
    }
    default:
        return 0;
    }
}
