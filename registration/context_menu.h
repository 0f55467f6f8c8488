// Context-menu entries of the commands: one shell verb key per command under "*\shell" (all
// files) and "Folder\shell" (folders) of the classes of one scope, with their check,
// registration and removal. Every operation records its failures in g_errorTrail and returns 0
// for success (or registered), 4 for nothing there, 3 for access denied (TazuSetting's check
// only) or -1.
#pragma once
#include <stddef.h>
#include <windows.h>

// Whose classes hold the entries. The shell shows both in one menu, a user's entry in place of
// a machine's entry of the same key.
enum MenuScope {
    MenuForMachine = 0,   // HKEY_LOCAL_MACHINE\Software\Classes: every user; administrators only
    MenuForUser = 1,      // HKEY_CURRENT_USER\Software\Classes: this user; no rights needed
};

extern const wchar_t kFilesShellRoot[];     // "*\shell"
extern const wchar_t kFoldersShellRoot[];   // "Folder\shell"

// Longest verb key path ("%s\%s%s": root, prefix, base name) that is written.
constexpr size_t kVerbKeyPathLimit = 273;
// The base name and the caption suffix together stay below this many characters.
constexpr size_t kBaseAndSuffixLimit = 64;
// Room for a verb key path followed by "\Command", and for the command text.
constexpr size_t kRegistryPathChars = 600;

// The command's file name without its extension ("TazuHere.exe" gives "TazuHere").
void commandBaseName(const wchar_t* fileName, wchar_t* out, size_t capacity);

// "%s\%s%s": root, prefix (empty for the legacy variant) and base name. Returns its length
// (the text is cut to the buffer).
int composeVerbKeyPath(const wchar_t* root, const wchar_t* prefix, const wchar_t* baseName,
                       wchar_t* out, size_t capacity);

// A verb key path followed by "\Command". Returns its length (cut like above).
int composeCommandKeyPath(const wchar_t* verbKeyPath, wchar_t* out, size_t capacity);

// "\"%s\"": the value "Icon". "\"%s\" \"%%1\"": the command, started once per selected item.
void composeIconValue(const wchar_t* programPath, wchar_t* out, size_t capacity);
void composeCommandValue(const wchar_t* programPath, wchar_t* out, size_t capacity);

// True when an entry may be written: the verb key path has at most 273 characters and the base
// name and the caption suffix together fewer than 64.
bool entryFitsLimits(size_t verbKeyPathLength, size_t baseNameLength, size_t suffixLength);

// What the registry said when a check opened the keys of both variants.
struct CheckOpenCodes {
    LONG legacyCommand;
    LONG currentCommand;
    LONG legacyVerb;
    LONG currentVerb;
};

// A check's outcome: its result and, for a non-zero result, the point and code to record
// (point 1: the command keys, 2: the verb keys).
struct CheckVerdict {
    int result;
    int failurePoint;
    LONG code;
};

// Decides a check from its open codes. Access denied to both variants counts as 3 only for
// TazuSetting (accessDeniedCounts), which checks without elevation.
CheckVerdict judgeCheck(const CheckOpenCodes& codes, bool accessDeniedCounts);

// The four calls of a removal of one variant: open and delete of its command key, open and
// delete of its verb key.
struct VariantRemovalCodes {
    LONG commandOpen;
    LONG commandDelete;
    LONG verbOpen;
    LONG verbDelete;
};

// A removal's outcome: its result and, for a non-zero result unless quiet, the point
// ("CMR1" to "CMR5" as 1 to 5) and code to record.
struct RemovalVerdict {
    int result;
    int failurePoint;
    LONG code;
};

RemovalVerdict judgeRemoval(const VariantRemovalCodes& legacy, const VariantRemovalCodes& current,
                            bool quiet);

// Opens an existing key (RegOpenKeyExW) for the check and the removal; replaceable for tests,
// which see the access each asks for. A check asks only to query values and enumerate subkeys.
extern LONG (*g_openRegistryKey)(HKEY base, const wchar_t* path, REGSAM access, HKEY* key);

// The predefined key of a scope and the path of its classes below it ("Software\Classes\").
HKEY scopeBaseKey(MenuScope scope);
extern const wchar_t kClassesPath[];

// Check under one root of the scope: 0 registered, 4 not there, 3 access denied (TazuSetting), -1.
int checkEntryUnder(MenuScope scope, const wchar_t* root, const wchar_t* fileName);

// Check under "*\shell" and then "Folder\shell".
int checkProgramEntries(MenuScope scope, const wchar_t* fileName);

// Registers the program of the installation's folder under both roots with the caption and
// the separator flags, after removing what was there. Returns 0 or -1.
int registerProgramEntries(MenuScope scope, const wchar_t* fileName, const wchar_t* caption,
                           bool separatorBefore, bool separatorAfter);

// Removal under one root, recording its failures unless quiet. Returns 0, 4 or -1.
int removeEntryUnder(MenuScope scope, const wchar_t* root, const wchar_t* fileName, bool quiet);

// Removes both variants under both roots. Returns 0, 4 (registered under neither) or -1.
int removeProgramEntries(MenuScope scope, const wchar_t* fileName);
