// The per-user settings file "tazu.ini": where it lives, its one section "Env" with every key,
// how it is read with the platform profile functions and written back, and the start-up
// sequence of the command programs.
#pragma once
#include <stddef.h>
#include "language.h"
#include "paths.h"

// Most characters that a reader keeps, per key (buffers add the terminator).
constexpr size_t kLangLimit = 30;
constexpr size_t kTextSettingLimit = 290;      // "Path" and the four free texts
constexpr size_t kHistoryLimit = 8194;         // each of "PathHis1" ... "PathHis10"
constexpr int kHistoryCount = 10;

// "ZeroSuppress": least number of digits of a serial number.
constexpr int kMinZeroSuppress = 1;
constexpr int kMaxZeroSuppress = 19;

// "KeepBackups": how many backups of each item the four backup commands keep (0 keeps all).
constexpr int kMaxKeepBackups = 999;

// Settings folders are below the application-data folder and may be longer than a plain path.
constexpr size_t kSettingsPathChars = 520;

// In-memory image of section "Env".
struct SettingsRecord {
    int tab;                                         // settings program only
    wchar_t lang[kLangLimit + 1];
    int startSetting;
    int autoClose;
    wchar_t path[kTextSettingLimit + 2];             // room for the appended backslash
    wchar_t pathHistory[kHistoryCount][kHistoryLimit + 1];
    int selDir;
    int openDir;
    // The settings program's fields hold one character more than a reader keeps.
    wchar_t prefixBef1[kTextSettingLimit + 2];
    int addStringsBef;
    wchar_t prefixBef2[kTextSettingLimit + 2];
    wchar_t prefixAft1[kTextSettingLimit + 2];
    int addStringsAft;
    wchar_t prefixAft2[kTextSettingLimit + 2];
    int zeroSuppress;                                // kept within 1 to 19
    // 1: the context-menu entries are this user's own (no administrator rights needed); 0: the
    // machine's, through the elevated helper. Read as 1 only from the value 1.
    int userMenu;
    int keepBackups;                                 // 0 (keep all) or 1 to 999
    // 1: every backup is read back from the disk and compared with its item before it counts
    // (the copy file by file, an archive entry by entry). Read as 1 only from the value 1.
    int verify;
    int debug;                                       // settings program and helper only
    UiLanguage language;                             // derived from "lang"
};

// Where the settings and their companions live.
struct SettingsLocation {
    wchar_t programFolder[kPathChars];               // with trailing backslash
    wchar_t settingsFolder[kSettingsPathChars];      // "<AppData>\zevrald\<folder key>\"
    wchar_t iniPath[kSettingsPathChars];             // settings folder + "tazu.ini"
    wchar_t tempIniPath[kSettingsPathChars];         // settings folder + "tazu_tmp.ini"
    wchar_t backupIniPath[kPathChars];               // program folder + "tazu_bk.ini"
    wchar_t debugLogPath[kPathChars];                // program folder + "tazu_debug.log"
    wchar_t folderKeyText[kPathChars];               // "" for folder key "tazu", else the part after "tazu_"
};

// Per-process state: every program has one record and one location.
extern SettingsRecord g_settings;
extern SettingsLocation g_settingsLocation;

// Folder key of a program folder (trailing backslash ignored): "tazu", "tazu_<rest>" or
// "tazu_<name>", lower-cased; a drive root ("E:\") is named by its letter ("tazu_e").
// derivedText receives the part after "tazu_" (empty for "tazu").
void deriveFolderKey(const wchar_t* programFolder, wchar_t* folderKey, size_t keyCapacity,
                     wchar_t* derivedText, size_t derivedCapacity);

// Fills a location from a program folder and the roaming application-data folder (either may
// come without trailing backslash). Pure text; returns 0, or -1 when a path does not fit (that
// path is then empty; the others are still filled).
int locateSettingsIn(const wchar_t* programFolder, const wchar_t* appDataFolder,
                     SettingsLocation* location);

// locateSettingsIn for the running program and the user's application-data folder, into
// g_settingsLocation. Returns 0 or -1.
int locateSettings();

// Reads a settings file key by key with the defaults (a missing file gives all defaults) and
// sets the language flag. Returns 0.
int readSettingsFile(const wchar_t* iniPath, SettingsRecord* record);

// Re-creates a settings file in the command programs' form: FF FE, then every key but "Tab" and
// "Debug" in the fixed order. Returns 0, or -1 when the file cannot be created.
int writeSettingsFile(const wchar_t* iniPath, const SettingsRecord* record);

// The settings program's form of the same file: "Tab" first, then the keys of writeSettingsFile
// ("Debug" is never written). Returns 0, or -1 when the file cannot be created.
int writeSettingsProgramFile(const wchar_t* iniPath, const SettingsRecord* record);

// A "ZeroSuppress" value brought into 1 to 19 (hand-edited files may hold anything).
int clampZeroSuppress(int value);

// A "KeepBackups" value as every reader sees it: 1 to 999 as written, anything else (a hand-edited
// file) 0, so that an unclear value never removes a backup.
int normalKeepBackups(int value);

// The text of a number of backups to keep: one to three decimal digits give their value (0 to
// 999); anything else, blanks, signs, other digits and trailing letters included, gives -1.
int keepBackupsOfText(const wchar_t* text);

// g_settings from "tazu.ini" (useTemp false) or "tazu_tmp.ini" (true). Returns 0.
int loadSettings(bool useTemp);

// Writes g_settings to "tazu.ini", creating the settings folder first (folder message on
// failure). Failures to write the file are silent.
void saveSettings();

// saveSettings for an explicit location and record.
void saveSettingsIn(const SettingsLocation* location, const SettingsRecord* record);

// Start-up sequence of a command program: locate, then load, restore from "tazu_bk.ini", or
// create with defaults. Always ends with g_settings filled. Returns 0.
int prepareSettingsAtStart();

// The start-up sequence after locating, for an explicit location and record (the settings
// folder is created when needed; folder message on failure). Returns 0.
int prepareSettingsIn(const SettingsLocation* location, SettingsRecord* record);

// Creates a folder with all missing parents. Returns 0 when it exists afterwards, else an error
// code for ErrorCodeText (-1 when SHCreateDirectory cannot be had).
int makeFolder(const wchar_t* folder);
