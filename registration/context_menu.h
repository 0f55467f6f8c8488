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

// How the removal of one variant ended. A removal that stops part-way leaves the entry whole: the
// verb key is opened first, and a command key already deleted is put back when its verb key
// cannot be deleted.
struct VariantRemoval {
    int result;         // 0 removed, 4 not there, -1 stopped
    int failurePoint;   // the step that stopped it, as recorded: 2 the command key would not
                        // open, 3 nor be deleted, 4 the verb key would not open, 5 nor be deleted
    LONG code;          // the system's code of that step
    LONG restoreCode;   // of putting the command key back: ERROR_SUCCESS, or what failed
};

// A removal's outcome: its result and, for a non-zero result unless quiet, the point
// ("CMR1" to "CMR5" as 1 to 5) and code to record.
struct RemovalVerdict {
    int result;
    int failurePoint;
    LONG code;
};

// Both variants removed or not there: 0, or 4 when neither was there; else -1 with the step and
// code of the variant that stopped (the current one first). Quiet removals always give 0.
RemovalVerdict judgeRemoval(const VariantRemoval& legacy, const VariantRemoval& current, bool quiet);

// Opens an existing key (RegOpenKeyExW) for the check and the removal; replaceable for tests,
// which see the access each asks for. A check asks only to query values and enumerate subkeys.
extern LONG (*g_openRegistryKey)(HKEY base, const wchar_t* path, REGSAM access, HKEY* key);

// Value that marks a parent key ("*", "*\shell", "Folder", "Folder\shell" below the classes) that
// a registration created: the removal of the last entry takes such a parent away again once it
// holds nothing but the mark. Parents that were there before are never marked.
extern const wchar_t kMadeForEntriesValue[];

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

// Removes both variants under both roots, then the parents that a registration created and
// that are empty now. Returns 0, 4 (registered under neither) or -1.
int removeProgramEntries(MenuScope scope, const wchar_t* fileName);
