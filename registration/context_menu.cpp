// Context-menu entries in the machine's or the user's classes: the keys and values of one
// command, and their check, registration and removal.
#include "context_menu.h"

#include <stdio.h>
#include <wchar.h>

#include "command_table.h"
#include "errors.h"
#include "paths.h"

const wchar_t kFilesShellRoot[] = L"*\\shell";
const wchar_t kFoldersShellRoot[] = L"Folder\\shell";
// Where both scopes keep their classes. The machine's are named directly rather than through
// HKEY_CLASSES_ROOT, whose merged view would show and change the user's entries too.
const wchar_t kClassesPath[] = L"Software\\Classes\\";
const wchar_t kMadeForEntriesValue[] = L"VantrelMadeForMenuEntries";

namespace {

const wchar_t kCommandSubkey[] = L"\\Command";
const wchar_t kIconValue[] = L"Icon";
const wchar_t kPositionValue[] = L"Position";
const wchar_t kPositionMiddle[] = L"Middle";
const wchar_t kSeparatorBeforeValue[] = L"SeparatorBefore";
const wchar_t kSeparatorAfterValue[] = L"SeparatorAfter";

// Check failures: the command keys (1) or the verb keys (2) of both variants would not open.
const TrailPoint kCheckPoints[] = {
    {L"CMC1", 0, L"UAC-CMCK1", 0},
    {L"CMC2", 0, L"UAC-CMCK2", 0},
};
const TrailPoint kCheckProgramPoints[] = {
    {L"CMP1", 0, L"UAC-CMP1", 0},   // under "*\shell"
    {L"CMP2", 0, L"UAC-CMP2", 0},   // under "Folder\shell"
};

// Removal under one root, "CMR1" to "CMR5" as points 1 to 5.
const FailurePoint kRemovalPoints[] = {
    {L"UAC-CMR1", 0},
    {L"UAC-CMR2", 2030},
    {L"UAC-CMR3", 2031},
    {L"UAC-CMR4", 2032},
    {L"UAC-CMR5", 2033},
};
// The command key of an entry whose verb key stayed could not be put back.
const FailurePoint kCommandNotRestored = {L"UAC-CMR6", 0};

// Writing one entry, in the order of its steps.
const FailurePoint kTooLong = {L"UAC-CMC1", 2010};
const FailurePoint kCreateVerbKey = {L"UAC-CMC2", 2011};
const FailurePoint kWriteCaption = {L"UAC-CMC3", 2013};
const FailurePoint kWriteIcon = {L"UAC-CMC4", 2016};
const FailurePoint kWritePosition = {L"UAC-CMC5", 2019};
const FailurePoint kWriteSeparatorBefore = {L"UAC-CMC6", 2012};
const FailurePoint kWriteSeparatorAfter = {L"UAC-CMC7", 2015};
const FailurePoint kCreateCommandKey = {L"UAC-CMC8", 2018};
const FailurePoint kWriteCommand = {L"UAC-CMC9", 2021};

const FailurePoint kProgramMissing = {L"UAC-CMP3", 2005};
const FailurePoint kCreateFilesFailed = {L"UAC-CMP4", 0};
const FailurePoint kCreateFoldersFailed = {L"UAC-CMP5", 0};
const FailurePoint kRemoveFilesFailed = {L"UAC-CMP6", 0};
const FailurePoint kRemoveFoldersFailed = {L"UAC-CMP7", 0};

// A check only looks: a non-elevated TazuSetting may read the machine's entries but not open
// them for writing. Registering and removing open and create with full access.
constexpr REGSAM kCheckAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr REGSAM kChangeAccess = KEY_ALL_ACCESS;

LONG openKeyWithSystem(HKEY base, const wchar_t* path, REGSAM access, HKEY* key)
{
    return RegOpenKeyExW(base, path, 0, access, key);
}

LONG openKey(HKEY base, const wchar_t* path, REGSAM access, HKEY* key)
{
    *key = nullptr;
    LONG code = g_openRegistryKey(base, path, access, key);
    if (code != ERROR_SUCCESS) *key = nullptr;
    return code;
}

void closeKey(HKEY key)
{
    if (key) RegCloseKey(key);
}

LONG writeText(HKEY key, const wchar_t* name, const wchar_t* text)
{
    // Stored with the terminating zero.
    DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG writeOne(HKEY key, const wchar_t* name)
{
    DWORD one = 1;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
}

// Both paths of one variant below the predefined key of its scope.
struct VariantPaths {
    HKEY base;
    wchar_t verb[kRegistryPathChars];
    wchar_t command[kRegistryPathChars];
};

// Returns the length of the verb key path below the root ("%s\%s%s"), which the limits count.
int composeVariant(MenuScope scope, const wchar_t* root, const wchar_t* prefix, const wchar_t* fileName,
                   VariantPaths* paths)
{
    wchar_t base[kRegistryPathChars];
    commandBaseName(fileName, base, kRegistryPathChars);
    wchar_t verb[kRegistryPathChars];
    int length = composeVerbKeyPath(root, prefix, base, verb, kRegistryPathChars);
    paths->base = scopeBaseKey(scope);
    formatInto(paths->verb, kRegistryPathChars, L"%s%s", kClassesPath, verb);
    composeCommandKeyPath(paths->verb, paths->command, kRegistryPathChars);
    return length;
}

// Opens a key with the access asked for, to see whether it is there, and closes it again.
LONG probeKey(HKEY base, const wchar_t* path, REGSAM access)
{
    HKEY key;
    LONG code = openKey(base, path, access, &key);
    closeKey(key);
    return code;
}

// The command of an entry, kept while its key is deleted, so that it can be put back.
struct KeptCommand {
    DWORD type;
    DWORD bytes;
    BYTE data[kRegistryPathChars * sizeof(wchar_t)];
};

// Writes a removed command key again with its command (a command that could not be kept comes
// back empty, which the next registration replaces).
LONG restoreCommand(const VariantPaths& paths, const KeptCommand& kept)
{
    HKEY key = nullptr;
    LONG code = RegCreateKeyExW(paths.base, paths.command, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr);
    if (code != ERROR_SUCCESS) return code;
    if (kept.type != REG_NONE) code = RegSetValueExW(key, L"", 0, kept.type, kept.data, kept.bytes);
    closeKey(key);
    return code;
}

// Removes one variant so that it is either gone or whole: nothing is deleted before both keys
// have opened for the change, and a command key whose verb key then refuses to go comes back.
// (A verb key with other subkeys than its command key keeps them and is not deleted.)
VariantRemoval removeVariant(const VariantPaths& paths)
{
    VariantRemoval removal = {0, 0, ERROR_SUCCESS, ERROR_SUCCESS};
    LONG code = probeKey(paths.base, paths.verb, kChangeAccess);
    if (code == ERROR_FILE_NOT_FOUND) return {4, 0, code, ERROR_SUCCESS};
    if (code != ERROR_SUCCESS) return {-1, 4, code, ERROR_SUCCESS};

    HKEY command = nullptr;
    code = openKey(paths.base, paths.command, kChangeAccess, &command);
    if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) return {-1, 2, code, ERROR_SUCCESS};
    const bool hadCommand = code == ERROR_SUCCESS;
    KeptCommand kept = {REG_NONE, sizeof(KeptCommand::data), {}};
    if (hadCommand) {
        if (RegQueryValueExW(command, L"", nullptr, &kept.type, kept.data, &kept.bytes) != ERROR_SUCCESS)
            kept.type = REG_NONE;
        closeKey(command);
        code = RegDeleteKeyW(paths.base, paths.command);
        if (code != ERROR_SUCCESS) return {-1, 3, code, ERROR_SUCCESS};
    }
    code = RegDeleteKeyW(paths.base, paths.verb);
    if (code == ERROR_SUCCESS) return removal;
    removal = {-1, 5, code, ERROR_SUCCESS};
    if (hadCommand) removal.restoreCode = restoreCommand(paths, kept);
    return removal;
}

// The parents of a root's verb keys below the classes, nearest first: "*\shell", then "*".
void parentKeyPaths(const wchar_t* root, wchar_t (*paths)[kRegistryPathChars])
{
    formatInto(paths[0], kRegistryPathChars, L"%s%s", kClassesPath, root);
    copyText(paths[1], kRegistryPathChars, paths[0]);
    wchar_t* separator = wcsrchr(paths[1], L'\\');
    if (separator) *separator = L'\0';
}

// Creates the parents of a root's verb keys where they are missing, marking each one it creates.
void makeParentKeys(HKEY base, const wchar_t* root)
{
    wchar_t parents[2][kRegistryPathChars];
    parentKeyPaths(root, parents);
    for (int i = 1; i >= 0; --i) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(base, parents[i], 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition) != ERROR_SUCCESS)
            return;
        if (disposition == REG_CREATED_NEW_KEY) writeOne(key, kMadeForEntriesValue);
        closeKey(key);
    }
}

// Whether a parent holds nothing but the mark of a registration that created it.
bool holdsOnlyItsMark(HKEY base, const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(base, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    bool onlyMark = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                     nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                    subkeys == 0 && values == 1 &&
                    RegQueryValueExW(key, kMadeForEntriesValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    closeKey(key);
    return onlyMark;
}

// Takes away the parents of a root's verb keys that a registration created and that hold
// nothing any more, nearest first.
void removeEmptyParentKeys(HKEY base, const wchar_t* root)
{
    wchar_t parents[2][kRegistryPathChars];
    parentKeyPaths(root, parents);
    for (int i = 0; i < 2; ++i) {
        if (!holdsOnlyItsMark(base, parents[i])) return;
        if (RegDeleteKeyW(base, parents[i]) != ERROR_SUCCESS) return;
    }
}

// Writes the entry of the installation's program under one root. Returns 0 or -1.
int createEntryUnder(MenuScope scope, const wchar_t* root, const wchar_t* fileName, const wchar_t* caption,
                     const wchar_t* program, bool separatorBefore, bool separatorAfter)
{
    wchar_t base[kRegistryPathChars];
    commandBaseName(fileName, base, kRegistryPathChars);
    VariantPaths paths;
    int verbLength = composeVariant(scope, root, g_installation.verbKeyPrefix, fileName, &paths);
    if (!entryFitsLimits(static_cast<size_t>(verbLength), wcslen(base),
                         wcslen(g_installation.captionSuffix))) {
        recordFailure(kTooLong, 0);
        return -1;
    }

    makeParentKeys(paths.base, root);
    HKEY verb = nullptr;
    LONG code = RegCreateKeyExW(paths.base, paths.verb, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &verb, nullptr);
    if (code != ERROR_SUCCESS) {
        recordFailure(kCreateVerbKey, static_cast<DWORD>(code));
        return -1;
    }
    wchar_t icon[kRegistryPathChars];
    composeIconValue(program, icon, kRegistryPathChars);

    const FailurePoint* failed = nullptr;
    if ((code = writeText(verb, L"", caption)) != ERROR_SUCCESS)
        failed = &kWriteCaption;
    else if ((code = writeText(verb, kIconValue, icon)) != ERROR_SUCCESS)
        failed = &kWriteIcon;
    else if ((code = writeText(verb, kPositionValue, kPositionMiddle)) != ERROR_SUCCESS)
        failed = &kWritePosition;
    else if (separatorBefore && (code = writeOne(verb, kSeparatorBeforeValue)) != ERROR_SUCCESS)
        failed = &kWriteSeparatorBefore;
    else if (separatorAfter && (code = writeOne(verb, kSeparatorAfterValue)) != ERROR_SUCCESS)
        failed = &kWriteSeparatorAfter;
    if (failed) {
        recordFailure(*failed, static_cast<DWORD>(code));
        closeKey(verb);
        return -1;
    }

    HKEY command = nullptr;
    code = RegCreateKeyExW(paths.base, paths.command, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &command, nullptr);
    if (code != ERROR_SUCCESS) {
        recordFailure(kCreateCommandKey, static_cast<DWORD>(code));
        closeKey(verb);
        return -1;
    }
    wchar_t commandText[kRegistryPathChars];
    composeCommandValue(program, commandText, kRegistryPathChars);
    code = writeText(command, L"", commandText);
    if (code != ERROR_SUCCESS) recordFailure(kWriteCommand, static_cast<DWORD>(code));
    closeKey(command);
    closeKey(verb);
    return code == ERROR_SUCCESS ? 0 : -1;
}


}  // namespace

LONG (*g_openRegistryKey)(HKEY base, const wchar_t* path, REGSAM access, HKEY* key) = openKeyWithSystem;

void commandBaseName(const wchar_t* fileName, wchar_t* out, size_t capacity)
{
    copyText(out, capacity, fileName);
    wchar_t* dot = wcsrchr(out, L'.');
    if (dot) *dot = L'\0';
}

int composeVerbKeyPath(const wchar_t* root, const wchar_t* prefix, const wchar_t* baseName,
                       wchar_t* out, size_t capacity)
{
    return formatInto(out, capacity, L"%s\\%s%s", root, prefix, baseName);
}

int composeCommandKeyPath(const wchar_t* verbKeyPath, wchar_t* out, size_t capacity)
{
    return formatInto(out, capacity, L"%s%s", verbKeyPath, kCommandSubkey);
}

void composeIconValue(const wchar_t* programPath, wchar_t* out, size_t capacity)
{
    formatInto(out, capacity, L"\"%s\"", programPath);
}

void composeCommandValue(const wchar_t* programPath, wchar_t* out, size_t capacity)
{
    formatInto(out, capacity, L"\"%s\" \"%%1\"", programPath);
}

bool entryFitsLimits(size_t verbKeyPathLength, size_t baseNameLength, size_t suffixLength)
{
    return verbKeyPathLength <= kVerbKeyPathLimit && baseNameLength + suffixLength < kBaseAndSuffixLimit;
}

CheckVerdict judgeCheck(const CheckOpenCodes& codes, bool accessDeniedCounts)
{
    struct Pair {
        LONG legacy;
        LONG current;
    };
    const Pair pairs[2] = {{codes.legacyCommand, codes.currentCommand},
                           {codes.legacyVerb, codes.currentVerb}};
    for (int point = 0; point < 2; ++point) {
        const Pair& pair = pairs[point];
        if (pair.legacy == ERROR_SUCCESS || pair.current == ERROR_SUCCESS) continue;
        if (pair.legacy == ERROR_FILE_NOT_FOUND && pair.current == ERROR_FILE_NOT_FOUND)
            return {4, point + 1, ERROR_FILE_NOT_FOUND};
        if (accessDeniedCounts && pair.legacy == ERROR_ACCESS_DENIED && pair.current == ERROR_ACCESS_DENIED)
            return {3, point + 1, ERROR_ACCESS_DENIED};
        return {-1, point + 1, pair.current};
    }
    return {0, 0, ERROR_SUCCESS};
}

RemovalVerdict judgeRemoval(const VariantRemoval& legacy, const VariantRemoval& current, bool quiet)
{
    if (quiet) return {0, 0, ERROR_SUCCESS};
    // The step that stopped a removal and the system's code of that step, never another's.
    if (current.result < 0) return {-1, current.failurePoint, current.code};
    if (legacy.result < 0) return {-1, legacy.failurePoint, legacy.code};
    if (legacy.result == 4 && current.result == 4) return {4, 1, ERROR_FILE_NOT_FOUND};
    return {0, 0, ERROR_SUCCESS};
}

HKEY scopeBaseKey(MenuScope scope)
{
    return scope == MenuForUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

int checkEntryUnder(MenuScope scope, const wchar_t* root, const wchar_t* fileName)
{
    VariantPaths legacy, current;
    composeVariant(scope, root, L"", fileName, &legacy);
    composeVariant(scope, root, g_installation.verbKeyPrefix, fileName, &current);
    CheckOpenCodes codes;
    codes.legacyCommand = probeKey(legacy.base, legacy.command, kCheckAccess);
    codes.legacyVerb = probeKey(legacy.base, legacy.verb, kCheckAccess);
    codes.currentCommand = probeKey(current.base, current.command, kCheckAccess);
    codes.currentVerb = probeKey(current.base, current.verb, kCheckAccess);
    CheckVerdict verdict = judgeCheck(codes, g_installation.caller == CallerSetting);
    if (verdict.result != 0)
        recordTrailPoint(kCheckPoints[verdict.failurePoint - 1], static_cast<DWORD>(verdict.code));
    return verdict.result;
}

int checkProgramEntries(MenuScope scope, const wchar_t* fileName)
{
    const wchar_t* roots[2] = {kFilesShellRoot, kFoldersShellRoot};
    for (int i = 0; i < 2; ++i) {
        int result = checkEntryUnder(scope, roots[i], fileName);
        if (result != 0) {
            recordTrailPoint(kCheckProgramPoints[i], 0);
            return result;
        }
    }
    return 0;
}

int removeEntryUnder(MenuScope scope, const wchar_t* root, const wchar_t* fileName, bool quiet)
{
    VariantPaths legacy, current;
    composeVariant(scope, root, L"", fileName, &legacy);
    composeVariant(scope, root, g_installation.verbKeyPrefix, fileName, &current);
    VariantRemoval legacyRemoval = removeVariant(legacy);
    VariantRemoval currentRemoval = removeVariant(current);
    RemovalVerdict verdict = judgeRemoval(legacyRemoval, currentRemoval, quiet);
    if (verdict.result != 0) recordFailure(kRemovalPoints[verdict.failurePoint - 1], static_cast<DWORD>(verdict.code));
    const VariantRemoval* removals[2] = {&legacyRemoval, &currentRemoval};
    for (const VariantRemoval* removal : removals)
        if (!quiet && removal->restoreCode != ERROR_SUCCESS)
            recordFailure(kCommandNotRestored, static_cast<DWORD>(removal->restoreCode));
    return verdict.result;
}

int registerProgramEntries(MenuScope scope, const wchar_t* fileName, const wchar_t* caption,
                           bool separatorBefore, bool separatorAfter)
{
    wchar_t program[kPathChars];
    if (composeProgramPath(g_installation.programFolder, fileName, program, kPathChars) != 0) {
        recordFailure(kProgramMissing, ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    if (!pathExists(program)) {
        recordFailure(kProgramMissing, GetLastError());
        return -1;
    }
    // A registered entry is replaced as a whole, so that no value of the old one survives.
    removeEntryUnder(scope, kFilesShellRoot, fileName, true);
    removeEntryUnder(scope, kFoldersShellRoot, fileName, true);
    if (createEntryUnder(scope, kFilesShellRoot, fileName, caption, program, separatorBefore, separatorAfter) != 0) {
        recordFailure(kCreateFilesFailed, 0);
        return -1;
    }
    if (createEntryUnder(scope, kFoldersShellRoot, fileName, caption, program, separatorBefore, separatorAfter) !=
        0) {
        recordFailure(kCreateFoldersFailed, 0);
        return -1;
    }
    return 0;
}

int removeProgramEntries(MenuScope scope, const wchar_t* fileName)
{
    int files = removeEntryUnder(scope, kFilesShellRoot, fileName, false);
    if (files != 0) recordFailure(kRemoveFilesFailed, 0);
    int folders = removeEntryUnder(scope, kFoldersShellRoot, fileName, false);
    if (folders != 0) recordFailure(kRemoveFoldersFailed, 0);
    // Parents that a registration made for the entries go with the last of them.
    removeEmptyParentKeys(scopeBaseKey(scope), kFilesShellRoot);
    removeEmptyParentKeys(scopeBaseKey(scope), kFoldersShellRoot);
    return folders != 0 ? folders : files;
}
