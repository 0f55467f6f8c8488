// Support of the registration tests: a program folder of the test's own (so that its caption
// suffix, verb-key prefix and program paths are its own in the shared Wine prefix), reading back
// the registry under HKEY_CLASSES_ROOT and the machine's and the user's classes, shortcut files made and read with the shell's own link
// object, and the removal of every key, shortcut and file a test made.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace registration_test {

std::string utf8(const std::wstring& text);

// ---- Registry ----

// Where a key path is read: HKEY_CLASSES_ROOT, or below "Software\Classes" of the machine
// (HKEY_LOCAL_MACHINE) or of the user (HKEY_CURRENT_USER). Paths are given as under the root.
enum ClassesView { ClassesRoot, MachineClasses, UserClasses };

struct RegistryValue {
    DWORD type = REG_NONE;
    std::wstring text;     // REG_SZ data without its terminator
    DWORD number = 0;      // REG_DWORD data
    DWORD bytes = 0;       // stored size
};

bool keyExists(const std::wstring& path, ClassesView view = ClassesRoot);
// Every value of a key by name ("" is the default value); empty when the key is missing.
std::map<std::wstring, RegistryValue> keyValues(const std::wstring& path, ClassesView view = ClassesRoot);
std::vector<std::wstring> subkeyNames(const std::wstring& path, ClassesView view = ClassesRoot);
void deleteKeyTree(const std::wstring& path, ClassesView view = ClassesRoot);
// Writes a key with a default text value (creating it).
bool writeDefaultText(const std::wstring& path, const std::wstring& text, ClassesView view = ClassesRoot);

// The verb key under a root ("*\shell" or "Folder\shell") for a prefix and a base name.
std::wstring verbKey(const wchar_t* root, const std::wstring& prefix, const std::wstring& baseName);

// What an entry written by TazuUAC must hold: the caption, the quoted program path as "Icon",
// "Position" = "Middle", the separators exactly when flagged, and a "Command" subkey whose
// default value starts the program with the selected item. Checks strings with their
// terminators and the value types; nothing else may be there.
::testing::AssertionResult holdsEntry(const std::wstring& verbKeyPath, const std::wstring& caption,
                                      const std::wstring& programPath, bool separatorBefore,
                                      bool separatorAfter, ClassesView view = ClassesRoot);

// A legacy entry as older versions wrote it (no prefix), for the program of a folder.
bool writeLegacyEntry(const wchar_t* root, const std::wstring& baseName, const std::wstring& programPath,
                      ClassesView view = ClassesRoot);

// ---- Shortcuts ----

bool makeShortcut(const std::wstring& path, const std::wstring& target);
// Target of a shortcut file, or "<unreadable>".
std::wstring shortcutTarget(const std::wstring& path);
// Names of the ".lnk" files of a folder whose target lies in `programFolder`, sorted.
std::vector<std::wstring> shortcutsInto(const std::wstring& folder, const std::wstring& programFolder);
// The user's Send To or desktop folder with a trailing backslash (created when missing).
std::wstring userFolder(int csidl);

// ---- Files (the end-to-end helpers do the rest) ----

// Bytes of a file, or "<missing>".
std::string readBytes(const std::wstring& path);

// ---- TazuUAC ----

// Whether a TazuUAC runs (its single-instance mutex exists).
bool helperRuns();

// ---- A program folder of the test's own ----

// "<temp>\vantrel_reg_<pid>_<n>\tazu_t<pid>_<n><tag>\": the folder-derived text is
// "t<pid>_<n><tag>", so captions end in "_t<pid>_<n><tag>" and verb keys begin with
// "tazu.t<pid>_<n><tag>.".
struct ProgramFolder {
    std::wstring root;            // with trailing backslash; everything of the test below it
    std::wstring path;            // the program folder, with trailing backslash
    std::wstring folderText;      // lower-case folder-derived text
    std::wstring captionSuffix;   // "_" + folderText
    std::wstring verbPrefix;      // "tazu." + folderText + "."
};

// Creates the folder; tag (lower-case letters) lengthens its name when a test needs that.
::testing::AssertionResult makeProgramFolder(ProgramFolder* folder, const std::wstring& tag = L"");

// Puts files named after the five command programs (or the given ones) into the folder.
::testing::AssertionResult placeCommandFiles(const ProgramFolder& folder,
                                             const std::vector<std::wstring>& files = {});

// Copies a program of the build (VANTREL_BIN_DIR) or of the tests (VANTREL_TEST_BIN_DIR) into
// the folder under a name.
::testing::AssertionResult placeProgram(const ProgramFolder& folder, const wchar_t* binVariable,
                                        const std::wstring& source, const std::wstring& name);

// Ends every process whose program lies below the folder (a helper or stand-in that a failed
// test left running). Returns how many it ended.
int stopProgramsIn(const ProgramFolder& folder);

// Removes the context-menu entries of the five commands (current and legacy variants, both
// roots, the machine's and the user's classes), the shortcuts in Send To and on the desktop that point into the folder, the settings
// folder of its folder key, and the folder itself, after ending the programs that still run
// from it. Reports what it could not remove.
::testing::AssertionResult removeEverything(const ProgramFolder& folder);

// The base names of the five commands.
extern const wchar_t* const kBaseNames[5];

}  // namespace registration_test
