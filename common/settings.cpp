// The per-user settings file "tazu.ini": location, reading with defaults, re-creation and the
// start-up sequence of the command programs.
#include "settings.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include "destination.h"
#include "errors.h"
#include "message_box.h"

SettingsRecord g_settings;
SettingsLocation g_settingsLocation;

namespace {

const wchar_t kSection[] = L"Env";
const wchar_t kVendorFolder[] = L"zevrald\\";
const wchar_t kIniName[] = L"tazu.ini";
const wchar_t kTempIniName[] = L"tazu_tmp.ini";
const wchar_t kBackupIniName[] = L"tazu_bk.ini";
const wchar_t kDebugLogName[] = L"tazu_debug.log";
const wchar_t kDefaultBackupFolder[] = L"My Backup\\";
// Room for a longer text than a number of backups to keep, so that one is never cut into one.
constexpr size_t kKeepBackupsTextChars = 8;

const BilingualText kFolderMessage = {
    L"設定ファイルを格納するディレクトリを作成できませんでした。\n\n%s\n\n%s",
    L"Could not create a directory to store the configuration file.\n\n%s\n\n%s",
};

// Joins pieces into a fixed buffer; false (and an empty buffer) when they do not fit.
bool joinText(wchar_t* out, size_t capacity, const wchar_t* first, const wchar_t* second,
              const wchar_t* third = L"")
{
    size_t a = wcslen(first), b = wcslen(second), c = wcslen(third);
    if (a + b + c + 1 > capacity) {
        if (capacity) out[0] = L'\0';
        return false;
    }
    wmemcpy(out, first, a);
    wmemcpy(out + a, second, b);
    wmemcpy(out + a + b, third, c);
    out[a + b + c] = L'\0';
    return true;
}

// Path of a special folder with a trailing backslash, or empty when it cannot be resolved.
void specialFolder(int csidl, wchar_t* out, size_t capacity)
{
    out[0] = L'\0';
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return;
    wchar_t path[MAX_PATH];
    if (SHGetPathFromIDListW(list, path) && path[0]) {
        if (copyText(out, capacity, path) != 0 || addTrailingBackslash(out, capacity) != 0)
            out[0] = L'\0';
    }
    CoTaskMemFree(list);
}

void readText(const wchar_t* iniPath, const wchar_t* key, const wchar_t* fallback, wchar_t* out,
              size_t limit)
{
    // The profile functions keep at most nSize - 1 characters: exactly the key's limit.
    if (!iniPath[0]) {
        copyText(out, limit + 1, fallback);
        return;
    }
    GetPrivateProfileStringW(kSection, key, fallback, out, static_cast<DWORD>(limit + 1), iniPath);
}

int readInt(const wchar_t* iniPath, const wchar_t* key, int fallback)
{
    if (!iniPath[0]) return fallback;
    return static_cast<int>(GetPrivateProfileIntW(kSection, key, fallback, iniPath));
}

void historyKey(int index, wchar_t* key, size_t capacity)
{
    _snwprintf(key, capacity - 1, L"PathHis%d", index + 1);
    key[capacity - 1] = L'\0';
}

bool writeText(const wchar_t* iniPath, const wchar_t* key, const wchar_t* value)
{
    return WritePrivateProfileStringW(kSection, key, value, iniPath) != FALSE;
}

bool writeInt(const wchar_t* iniPath, const wchar_t* key, int value)
{
    wchar_t text[16];
    _snwprintf(text, 15, L"%d", value);
    text[15] = L'\0';
    return writeText(iniPath, key, text);
}

// Folder message: the frame in frameLanguage, the code text in codeLanguage.
void showFolderMessage(UiLanguage frameLanguage, UiLanguage codeLanguage, int code,
                       const wchar_t* folder)
{
    wchar_t codeText[1024];
    ErrorCodeText(static_cast<DWORD>(code), codeLanguage, codeText,
                  sizeof codeText / sizeof codeText[0]);
    showMessageF(MB_ICONERROR, frameLanguage, kFolderMessage, codeText, folder);
}

// Creates the settings folder when it is not a directory yet; shows the folder message on
// failure. Returns true when the folder is there.
bool ensureSettingsFolder(const SettingsLocation* location, UiLanguage frameLanguage,
                          UiLanguage codeLanguage)
{
    if (!location->settingsFolder[0]) return false;
    if (PathIsDirectoryW(location->settingsFolder)) return true;
    int result = makeFolder(location->settingsFolder);
    if (result == 0) return true;
    showFolderMessage(frameLanguage, codeLanguage, result, location->settingsFolder);
    return false;
}

}  // namespace

int clampZeroSuppress(int value)
{
    if (value < kMinZeroSuppress) return kMinZeroSuppress;
    if (value > kMaxZeroSuppress) return kMaxZeroSuppress;
    return value;
}

int normalKeepBackups(int value)
{
    return value >= 1 && value <= kMaxKeepBackups ? value : 0;
}

int keepBackupsOfText(const wchar_t* text)
{
    int value = 0;
    size_t digits = 0;
    for (; text[digits] >= L'0' && text[digits] <= L'9'; ++digits) {
        if (digits == 3) return -1;
        value = value * 10 + (text[digits] - L'0');
    }
    return digits > 0 && text[digits] == L'\0' ? value : -1;
}

void deriveFolderKey(const wchar_t* programFolder, wchar_t* folderKey, size_t keyCapacity,
                     wchar_t* derivedText, size_t derivedCapacity)
{
    wchar_t folder[kSettingsPathChars];
    copyText(folder, kSettingsPathChars, programFolder);
    removeTrailingBackslash(folder);
    wchar_t name[kSettingsPathChars];
    copyText(name, kSettingsPathChars, lastComponent(folder));
    // A program folder at a drive root ("E:\", a USB stick) has no name of its own: its drive
    // letter stands for it, since "e:" cannot be part of a folder name.
    size_t nameLength = wcslen(name);
    if (nameLength == 2 && name[1] == L':') name[1] = L'\0';
    CharLowerBuffW(name, static_cast<DWORD>(wcslen(name)));

    size_t length = wcslen(name);
    const wchar_t* rest;
    if (wcscmp(name, L"tazu") == 0) {
        rest = L"";
    } else if (length > 4 && wcsncmp(name, L"tazu", 4) == 0) {
        rest = name + 4;
        if (length > 5 && name[4] == L'_') rest = name + 5;
    } else {
        rest = name;
    }
    if (derivedCapacity) copyText(derivedText, derivedCapacity, rest);
    if (keyCapacity) {
        if (wcscmp(name, L"tazu") == 0)
            copyText(folderKey, keyCapacity, L"tazu");
        else
            joinText(folderKey, keyCapacity, L"tazu_", rest);
    }
}

int locateSettingsIn(const wchar_t* programFolder, const wchar_t* appDataFolder,
                     SettingsLocation* location)
{
    SettingsLocation& l = *location;
    l = SettingsLocation();
    if (copyText(l.programFolder, kPathChars, programFolder) != 0 ||
        addTrailingBackslash(l.programFolder, kPathChars) != 0)
        return -1;

    wchar_t key[kSettingsPathChars];
    deriveFolderKey(l.programFolder, key, kSettingsPathChars, l.folderKeyText, kPathChars);

    // The companions beside the programs and the settings below the application-data folder
    // are computed apart: a program folder too long for "tazu_debug.log" must not cost the
    // settings file. A path that does not fit stays empty.
    int rc = 0;
    if (!joinText(l.backupIniPath, kPathChars, l.programFolder, kBackupIniName)) rc = -1;
    if (!joinText(l.debugLogPath, kPathChars, l.programFolder, kDebugLogName)) rc = -1;

    // Without an application-data folder the settings paths stay empty: defaults are used and
    // nothing is written.
    if (!appDataFolder || !appDataFolder[0]) return rc;
    wchar_t appData[kSettingsPathChars];
    if (copyText(appData, kSettingsPathChars, appDataFolder) != 0 ||
        addTrailingBackslash(appData, kSettingsPathChars) != 0 ||
        !joinText(l.settingsFolder, kSettingsPathChars, appData, kVendorFolder, key) ||
        addTrailingBackslash(l.settingsFolder, kSettingsPathChars) != 0 ||
        !joinText(l.iniPath, kSettingsPathChars, l.settingsFolder, kIniName) ||
        !joinText(l.tempIniPath, kSettingsPathChars, l.settingsFolder, kTempIniName)) {
        l.settingsFolder[0] = l.iniPath[0] = l.tempIniPath[0] = L'\0';
        return -1;
    }
    return rc;
}

int locateSettings()
{
    wchar_t programFolder[kPathChars];
    if (runningProgramFolder(programFolder, kPathChars) != 0) {
        g_settingsLocation = SettingsLocation();
        return -1;
    }
    wchar_t appData[kSettingsPathChars];
    specialFolder(CSIDL_APPDATA, appData, kSettingsPathChars);
    return locateSettingsIn(programFolder, appData, &g_settingsLocation);
}

int readSettingsFile(const wchar_t* iniPath, SettingsRecord* record)
{
    SettingsRecord& r = *record;
    const wchar_t* ini = iniPath ? iniPath : L"";

    // The default language is decided before the file is read.
    const wchar_t* defaultLang = interfaceLanguage() == UiJapanese ? L"ja" : L"en";
    wchar_t documents[kTextSettingLimit + 1];
    specialFolder(CSIDL_PERSONAL, documents, kTextSettingLimit + 1);
    wchar_t defaultPath[kTextSettingLimit + 1] = L"";
    if (documents[0]) joinText(defaultPath, kTextSettingLimit + 1, documents, kDefaultBackupFolder);

    readText(ini, L"Lang", defaultLang, r.lang, kLangLimit);
    r.startSetting = readInt(ini, L"StartSetting", 0);
    readText(ini, L"Path", defaultPath, r.path, kTextSettingLimit);
    // Trimmed before the backslash comes, here where every program reads it: " D:\Backup " must
    // not become a folder whose name ends in a blank.
    normaliseDestination(r.path, kTextSettingLimit + 2);
    r.autoClose = readInt(ini, L"AutoClose", 1);
    for (int i = 0; i < kHistoryCount; ++i) {
        wchar_t key[16];
        historyKey(i, key, 16);
        readText(ini, key, L"", r.pathHistory[i], kHistoryLimit);
    }
    r.selDir = readInt(ini, L"SelDir", 0);
    r.openDir = readInt(ini, L"OpenDir", 0);
    readText(ini, L"PrefixBef1", L"", r.prefixBef1, kTextSettingLimit);
    r.addStringsBef = readInt(ini, L"AddStringsBef", 0);
    readText(ini, L"PrefixBef2", L"", r.prefixBef2, kTextSettingLimit);
    readText(ini, L"PrefixAft1", L"_", r.prefixAft1, kTextSettingLimit);
    r.addStringsAft = readInt(ini, L"AddStringsAft", 1);
    readText(ini, L"PrefixAft2", L"", r.prefixAft2, kTextSettingLimit);
    // Values outside 1 to 19 come only from a hand-edited file; every reader sees them clamped.
    r.zeroSuppress = clampZeroSuppress(readInt(ini, L"ZeroSuppress", 1));
    r.userMenu = readInt(ini, L"UserMenu", 0) == 1 ? 1 : 0;
    // Read as text: the profile's number reader takes "3x", "0x3" and 4294967299 as 3.
    wchar_t keep[kKeepBackupsTextChars];
    readText(ini, L"KeepBackups", L"0", keep, kKeepBackupsTextChars - 1);
    r.keepBackups = normalKeepBackups(keepBackupsOfText(keep));
    r.verify = readInt(ini, L"Verify", 0) == 1 ? 1 : 0;
    // Kept for the settings program and the registration helper; never written back here.
    r.tab = readInt(ini, L"Tab", 0);
    r.debug = readInt(ini, L"Debug", 0);

    r.language = languageFromSetting(r.lang);
    return 0;
}

namespace {

// Re-creates a settings file: FF FE, then the keys in the fixed order, "Tab" first when asked.
int recreateSettingsFile(const wchar_t* iniPath, const SettingsRecord* record, bool withTab)
{
    if (!iniPath || !iniPath[0]) return -1;
    HANDLE file = CreateFileW(iniPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    // The byte-order mark makes the profile functions keep the file in UTF-16LE.
    static const unsigned char kBom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    BOOL wroteBom = WriteFile(file, kBom, sizeof kBom, &written, nullptr);
    CloseHandle(file);
    if (!wroteBom || written != sizeof kBom) return -1;

    const SettingsRecord& r = *record;
    if (withTab) writeInt(iniPath, L"Tab", r.tab);
    writeText(iniPath, L"Lang", r.lang);
    writeInt(iniPath, L"StartSetting", r.startSetting);
    writeInt(iniPath, L"AutoClose", r.autoClose);
    writeText(iniPath, L"Path", r.path);
    for (int i = 0; i < kHistoryCount; ++i) {
        wchar_t key[16];
        historyKey(i, key, 16);
        writeText(iniPath, key, r.pathHistory[i]);
    }
    writeInt(iniPath, L"SelDir", r.selDir);
    writeInt(iniPath, L"OpenDir", r.openDir);
    writeText(iniPath, L"PrefixBef1", r.prefixBef1);
    writeInt(iniPath, L"AddStringsBef", r.addStringsBef);
    writeText(iniPath, L"PrefixBef2", r.prefixBef2);
    writeText(iniPath, L"PrefixAft1", r.prefixAft1);
    writeInt(iniPath, L"AddStringsAft", r.addStringsAft);
    writeText(iniPath, L"PrefixAft2", r.prefixAft2);
    writeInt(iniPath, L"ZeroSuppress", r.zeroSuppress);
    // Newer keys follow the old ones, whose order stays; a command's write-back keeps the
    // user's choice of where the context menu lives.
    writeInt(iniPath, L"UserMenu", r.userMenu);
    writeInt(iniPath, L"KeepBackups", r.keepBackups);
    writeInt(iniPath, L"Verify", r.verify);
    return 0;
}

}  // namespace

int writeSettingsFile(const wchar_t* iniPath, const SettingsRecord* record)
{
    return recreateSettingsFile(iniPath, record, false);
}

int writeSettingsProgramFile(const wchar_t* iniPath, const SettingsRecord* record)
{
    return recreateSettingsFile(iniPath, record, true);
}

int loadSettings(bool useTemp)
{
    return readSettingsFile(useTemp ? g_settingsLocation.tempIniPath : g_settingsLocation.iniPath,
                            &g_settings);
}

void saveSettingsIn(const SettingsLocation* location, const SettingsRecord* record)
{
    if (!location->iniPath[0]) return;
    ensureSettingsFolder(location, record->language, record->language);
    writeSettingsFile(location->iniPath, record);
}

void saveSettings()
{
    saveSettingsIn(&g_settingsLocation, &g_settings);
}

int prepareSettingsIn(const SettingsLocation* location, SettingsRecord* record)
{
    if (pathExists(location->iniPath)) return readSettingsFile(location->iniPath, record);

    if (pathExists(location->backupIniPath)) {
        // The settings are not read yet: the frame follows the interface, the code text is English.
        if (ensureSettingsFolder(location, interfaceLanguage(), UiEnglish))
            CopyFileW(location->backupIniPath, location->iniPath, FALSE);
        return readSettingsFile(location->iniPath, record);
    }

    // First start for this user: defaults, written out and kept beside the programs as well.
    readSettingsFile(location->iniPath, record);
    saveSettingsIn(location, record);
    if (location->iniPath[0] && location->backupIniPath[0])
        CopyFileW(location->iniPath, location->backupIniPath, FALSE);
    return 0;
}

int prepareSettingsAtStart()
{
    locateSettings();
    return prepareSettingsIn(&g_settingsLocation, &g_settings);
}

int makeFolder(const wchar_t* folder)
{
    wchar_t path[kSettingsPathChars];
    if (copyText(path, kSettingsPathChars, folder) != 0) return ERROR_FILENAME_EXCED_RANGE;
    if (addTrailingBackslash(path, kSettingsPathChars) != 0) return ERROR_FILENAME_EXCED_RANGE;
    if (PathIsDirectoryW(path)) return 0;

    HMODULE shell = LoadLibraryW(L"shell32.dll");
    if (!shell) return -1;
    typedef int(WINAPI * CreateDirectoryFn)(HWND, LPCWSTR);
    auto create = reinterpret_cast<CreateDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHCreateDirectory")));
    int result = create ? create(nullptr, path) : -1;
    FreeLibrary(shell);
    // Another process (a second command started for the same selection) may have created it
    // in the meantime: the folder exists afterwards, which is all the caller asks.
    if ((result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS) && PathIsDirectoryW(path))
        return 0;
    return result;
}
