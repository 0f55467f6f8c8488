// Error texts of system and shell codes, the shared message table, the error trail and the
// debug log.
#include "errors.h"

#include <psapi.h>
#include <stdlib.h>
#include <wchar.h>

#include "paths.h"

ErrorTrail g_errorTrail;

namespace {

constexpr LANGID kEnglishLangId = 0x409;
constexpr LANGID kUserDefaultLangId = 0x400;

struct OwnCodeText {
    DWORD code;
    BilingualText text;
};

// Folder-creation results that carry texts of their own.
const OwnCodeText kOwnCodeTexts[] = {
    {3, {L"指定されたパスが見つかりません。", L"The system cannot find the path specified."}},
    {80, {L"ファイルは存在しています。", L"The file exists."}},
    {161, {L"指定されたパスは無効です。", L"The specified path is invalid."}},
    {183, {L"既に存在しています。", L"Cannot create a file when that file already exists."}},
    {206, {L"ファイル名または拡張子が長すぎます。", L"The filename or extension is too long"}},
    {1223, {L"キャンセルされました。", L"The operation was canceled by the user."}},
};

struct MessageEntry {
    unsigned number;
    const wchar_t* japanese;
    const wchar_t* english;
};

const wchar_t kJaRegistrationPath[] = L"登録先のパスの取得に失敗しました。";
const wchar_t kEnRegistrationPath[] = L"Failed to get the registration destination of the path.";
const wchar_t kJaNoProgram[] = L"Tazuプログラムが存在しません。";
const wchar_t kEnNoProgram[] = L"Tazu program does not exist.";
const wchar_t kJaFolderTooLong[] = L"Tazuが格納されているフォルダ名が長すぎます。";
const wchar_t kEnFolderTooLong[] = L"The folder name where Tazu is stored is too long.";
const wchar_t kJaCreateShortcut[] = L"ショートカットの作成に失敗しました。";
const wchar_t kEnCreateShortcut[] = L"Failed to create a shortcut.";
const wchar_t kJaDeleteShortcut[] = L"ショートカットの削除に失敗しました。";
const wchar_t kEnDeleteShortcut[] = L"Failed to delete the shortcut.";
const wchar_t kJaShortcutInfo[] = L"ショートカットの情報の取得に失敗しました。";
const wchar_t kEnShortcutInfo[] = L"Failed to get the shortcut of information.";
const wchar_t kEnShortcutInfo2[] = L"Failed to get the shortcut of  information.";
const wchar_t kJaMenuUpdate[] = L"コンテキストメニュー(レジストリ)の更新に失敗しました。";
const wchar_t kEnMenuUpdateSetting[] = L"Failed to the context menu of the update.";
const wchar_t kJaNeedAdmin[] = L"TazuUACは管理者権限で起動してください。";
const wchar_t kEnNeedAdmin[] = L"Please start TazuUAC with administrator's privilege.";
const wchar_t kJaMenuRegister[] = L"コンテキストメニュー(レジストリ)の登録に失敗しました。";
const wchar_t kEnMenuRegister[] = L"Failed to register the context menu(registry).";
const wchar_t kJaMenuDelete[] = L"コンテキストメニュー(レジストリ)の削除に失敗しました。";
const wchar_t kEnMenuDelete[] = L"Failed to delete the context menu(registry).";
const wchar_t kEnMenuUpdate[] = L"Failed to update the context menu(registry).";
const wchar_t kJaUnrestrictedSearch[] =
    L"このWindowsではTazuUACのライブラリの読み込み先を制限できないため、何も変更していません。";
const wchar_t kEnUnrestrictedSearch[] =
    L"TazuUAC changed nothing: this Windows cannot keep it from loading libraries from its folder.";

// The shared message table, grouped by text; sorted by number before the first lookup.
const MessageEntry kMessageTable[] = {
    {0, L"", L""},
    {1000, kJaRegistrationPath, kEnRegistrationPath},
    {1003, kJaRegistrationPath, kEnRegistrationPath},
    {1006, kJaRegistrationPath, kEnRegistrationPath},
    {1010, kJaRegistrationPath, kEnRegistrationPath},
    {1013, kJaNoProgram, kEnNoProgram},
    {2005, kJaNoProgram, kEnNoProgram},
    {1020, kJaFolderTooLong, kEnFolderTooLong},
    {2001, kJaFolderTooLong, kEnFolderTooLong},
    {2010, kJaFolderTooLong, kEnFolderTooLong},
    {1021, kJaCreateShortcut, kEnCreateShortcut},
    {1023, kJaCreateShortcut, kEnCreateShortcut},
    {1026, kJaCreateShortcut, kEnCreateShortcut},
    {1029, kJaCreateShortcut, kEnCreateShortcut},
    {1032, kJaCreateShortcut, kEnCreateShortcut},
    {1035, kJaCreateShortcut, kEnCreateShortcut},
    {1040, kJaDeleteShortcut, kEnDeleteShortcut},
    {1046, kJaDeleteShortcut, kEnDeleteShortcut},
    {1050, kJaShortcutInfo, kEnShortcutInfo},
    {1053, kJaShortcutInfo, kEnShortcutInfo2},
    {1056, kJaShortcutInfo, kEnShortcutInfo2},
    {1059, kJaShortcutInfo, kEnShortcutInfo2},
    {1062, kJaShortcutInfo, kEnShortcutInfo2},
    {1065, kJaShortcutInfo, kEnShortcutInfo2},
    {1070, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1073, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1076, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1080, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1083, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1086, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1090, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1093, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1096, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1100, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1103, kJaMenuUpdate, kEnMenuUpdateSetting},
    {1106, kJaMenuUpdate, kEnMenuUpdateSetting},
    {2000, kJaNeedAdmin, kEnNeedAdmin},
    {2011, kJaMenuRegister, kEnMenuRegister},
    {2012, kJaMenuRegister, kEnMenuRegister},
    {2013, kJaMenuRegister, kEnMenuRegister},
    {2015, kJaMenuRegister, kEnMenuRegister},
    {2016, kJaMenuRegister, kEnMenuRegister},
    {2018, kJaMenuRegister, kEnMenuRegister},
    {2019, kJaMenuRegister, kEnMenuRegister},
    {2021, kJaMenuRegister, kEnMenuRegister},
    {2030, kJaMenuRegister, kEnMenuRegister},
    {2031, kJaMenuDelete, kEnMenuDelete},
    {2032, kJaMenuDelete, kEnMenuDelete},
    {2033, kJaMenuDelete, kEnMenuDelete},
    {2040, kJaUnrestrictedSearch, kEnUnrestrictedSearch},
    {2050, kJaMenuUpdate, kEnMenuUpdate},
    {2053, kJaMenuUpdate, kEnMenuUpdate},
    {2056, kJaMenuUpdate, kEnMenuUpdate},
    {2060, kJaMenuUpdate, kEnMenuUpdate},
    {2063, kJaMenuUpdate, kEnMenuUpdate},
    {2063, kJaMenuUpdate, kEnMenuUpdate},
};
constexpr size_t kMessageCount = sizeof kMessageTable / sizeof kMessageTable[0];
// The 55 entries of the first table and 2040, which later releases added.
static_assert(kMessageCount == 56, "the message table has 56 entries");

int compareEntries(const void* left, const void* right)
{
    unsigned a = static_cast<const MessageEntry*>(left)->number;
    unsigned b = static_cast<const MessageEntry*>(right)->number;
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareKey(const void* key, const void* entry)
{
    unsigned a = *static_cast<const unsigned*>(key);
    unsigned b = static_cast<const MessageEntry*>(entry)->number;
    return a < b ? -1 : (a > b ? 1 : 0);
}

struct SortedTable {
    MessageEntry entries[kMessageCount];
};

const SortedTable& sortedMessageTable()
{
    // Built once, on first use (thread-safe initialisation of a local static).
    static const SortedTable table = [] {
        SortedTable sorted;
        for (size_t i = 0; i < kMessageCount; ++i) sorted.entries[i] = kMessageTable[i];
        qsort(sorted.entries, kMessageCount, sizeof(MessageEntry), compareEntries);
        return sorted;
    }();
    return table;
}

const wchar_t kErrorOccurredJa[] = L"エラーが発生しました。";
const wchar_t kErrorOccurredEn[] = L"Error has occurred.";

}  // namespace

void SystemErrorText(DWORD code, UiLanguage language, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return;
    out[0] = L'\0';
    if (code == 0) return;
    wchar_t* systemText = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, language == UiEnglish ? kEnglishLangId : kUserDefaultLangId,
        reinterpret_cast<wchar_t*>(&systemText), 0, nullptr);
    formatInto(out, capacity, L"0x%08x:%s", code, (length && systemText) ? systemText : L"");
    if (systemText) LocalFree(systemText);
}

void ErrorCodeText(DWORD code, UiLanguage language, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return;
    out[0] = L'\0';
    if (code == 0) return;
    for (const OwnCodeText& own : kOwnCodeTexts) {
        if (own.code == code) {
            formatInto(out, capacity, L"0x%08x:%s", code, pickText(own.text, language));
            return;
        }
    }
    SystemErrorText(code, language, out, capacity);
}

void trailClear(ErrorTrail* trail)
{
    trail->text[0] = L'\0';
    trail->keptNumber = 0;
    trail->keptCode = 0;
}

void trailRecord(ErrorTrail* trail, const wchar_t* id, unsigned number, DWORD code)
{
    wchar_t line[kErrorTrailChars];
    int written = _snwprintf(line, kErrorTrailChars - 1, L"ID:%s CD:0x%08x\n", id ? id : L"", code);
    line[kErrorTrailChars - 1] = L'\0';
    size_t used = wcslen(trail->text);
    // A full trail keeps its first lines: the newest ones are dropped, never written past the end.
    if (written >= 0 && used + static_cast<size_t>(written) < kErrorTrailChars)
        wmemcpy(trail->text + used, line, static_cast<size_t>(written) + 1);
    if (trail->keptNumber == 0) {
        trail->keptNumber = number;
        trail->keptCode = code;
    }
}

const wchar_t* messageTableText(unsigned number, UiLanguage language)
{
    const SortedTable& table = sortedMessageTable();
    const void* found =
        bsearch(&number, table.entries, kMessageCount, sizeof(MessageEntry), compareKey);
    if (!found) return nullptr;
    const MessageEntry* entry = static_cast<const MessageEntry*>(found);
    return language == UiEnglish ? entry->english : entry->japanese;
}

void formatTrailFailure(const ErrorTrail* trail, UiLanguage language, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return;
    // Number 0 is in the table with empty texts; it must not give an empty message either.
    const wchar_t* text = messageTableText(trail->keptNumber, language);
    if (!text || !text[0]) text = language == UiEnglish ? kErrorOccurredEn : kErrorOccurredJa;
    formatInto(out, capacity, L"CD:%d %s", static_cast<int>(trail->keptNumber), text);
    if (trail->keptCode != 0) {
        wchar_t codeText[1024];
        SystemErrorText(trail->keptCode, language, codeText, sizeof codeText / sizeof codeText[0]);
        size_t used = wcslen(out);
        formatInto(out + used, capacity - used, L" *%s", codeText);
    }
}

DWORD(WINAPI* g_logPathAttributes)(LPCWSTR path) = GetFileAttributesW;
BOOL(WINAPI* g_logFileInformation)(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) =
    GetFileInformationByHandle;

namespace {

// The final folder of the running program's image while the log is kept there; empty with the
// check on when it could not be had.
constexpr size_t kFinalPathChars = 2 * kPathChars;
bool g_logFolderChecked = false;
wchar_t g_logFolder[kFinalPathChars];

// The folder part of a final path, with its backslash; false when there is none.
bool cutToFolder(wchar_t* path)
{
    wchar_t* last = wcsrchr(path, L'\\');
    if (!last) return false;
    last[1] = L'\0';
    return true;
}

// The final folder of an open file: normalized, with the drive or share, in one form for all.
bool finalFolderOf(HANDLE file, wchar_t* out, size_t capacity)
{
    DWORD length = GetFinalPathNameByHandleW(file, out, static_cast<DWORD>(capacity), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // Some network redirectors cannot normalize a name; the name as opened still says where it is.
    if (length == 0) length = GetFinalPathNameByHandleW(file, out, static_cast<DWORD>(capacity), FILE_NAME_OPENED | VOLUME_NAME_DOS);
    return length > 0 && length < capacity && cutToFolder(out);
}

// Whether an opened log lies in the program's own final folder (or the check is off).
bool inTheKeptFolder(HANDLE log)
{
    if (!g_logFolderChecked) return true;
    wchar_t folder[kFinalPathChars];
    return g_logFolder[0] && finalFolderOf(log, folder, kFinalPathChars) &&
           CompareStringOrdinal(folder, -1, g_logFolder, -1, TRUE) == CSTR_EQUAL;
}

// A file that is neither a link of any kind nor one of several names of the same file.
bool isPlainFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!g_logFileInformation(file, &information)) return false;
    if (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
    return information.nNumberOfLinks <= 1;
}

}  // namespace

int keepDebugLogInProgramFolder()
{
    g_logFolderChecked = true;
    g_logFolder[0] = L'\0';
    // The file that the image was mapped from, by the name the system resolved when the program
    // started: later changes to links in the folder's path do not change it.
    wchar_t mapped[kFinalPathChars];
    DWORD length = GetMappedFileNameW(GetCurrentProcess(), reinterpret_cast<void*>(GetModuleHandleW(nullptr)), mapped,
                                      kFinalPathChars);
    if (length == 0 || length >= kFinalPathChars) return -1;
    // "\Device\HarddiskVolume2\..." opens below the global root; "\??\C:\..." is a plain path.
    wchar_t image[kFinalPathChars];
    if (wcsncmp(mapped, L"\\??\\", 4) == 0)
        formatInto(image, kFinalPathChars, L"\\\\?\\%s", mapped + 4);
    else
        formatInto(image, kFinalPathChars, L"\\\\?\\GLOBALROOT%s", mapped);
    HANDLE file = CreateFileW(image, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    bool found = finalFolderOf(file, g_logFolder, kFinalPathChars);
    CloseHandle(file);
    if (!found) g_logFolder[0] = L'\0';
    return found ? 0 : -1;
}

void allowDebugLogAnywhere()
{
    g_logFolderChecked = false;
    g_logFolder[0] = L'\0';
}

void appendDebugLog(const wchar_t* logPath, const wchar_t* text)
{
    if (!logPath || !logPath[0]) return;
    // Written with the file functions rather than a UTF-16 text stream: runtimes differ in
    // whether such a stream writes its own byte-order mark and turns line feeds into CR LF,
    // and the log must have the same bytes everywhere.
    // TazuUAC writes the log with administrator rights into a folder that the user may be able
    // to write to: a link put there in the log's place must not lead the write to another file.
    // The path is looked at first, the link itself (not its target) is what gets opened, and the
    // opened file is looked at again, as something may have been put there in between.
    DWORD attributes = g_logPathAttributes(logPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
    // A program that checks the log's folder may have to remove what its open made elsewhere.
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | (g_logFolderChecked ? DELETE : 0);
    HANDLE log = CreateFileW(logPath, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!isPlainFile(log)) {
        CloseHandle(log);
        return;
    }
    // A link earlier in the folder's path can lead the open elsewhere: what the open made there
    // goes again, and nothing is written.
    if (!inTheKeptFolder(log)) {
        if (created) {
            FILE_DISPOSITION_INFO gone = {TRUE};
            SetFileInformationByHandle(log, FileDispositionInfo, &gone, sizeof gone);
        }
        CloseHandle(log);
        return;
    }
    LARGE_INTEGER size;
    bool isNew = GetFileSizeEx(log, &size) && size.QuadPart == 0;

    // Each line feed of the text is stored as CR LF; the entry ends with CR LF.
    const wchar_t* body = text ? text : L"";
    size_t length = wcslen(body);
    size_t lineFeeds = 0;
    for (size_t i = 0; i < length; ++i)
        if (body[i] == L'\n' && (i == 0 || body[i - 1] != L'\r')) ++lineFeeds;
    size_t total = 1 + length + lineFeeds + 2;
    wchar_t* entry = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, total * sizeof(wchar_t)));
    if (!entry) {
        CloseHandle(log);
        return;
    }
    size_t used = 0;
    if (isNew) entry[used++] = 0xFEFF;
    for (size_t i = 0; i < length; ++i) {
        if (body[i] == L'\n' && (i == 0 || body[i - 1] != L'\r')) entry[used++] = L'\r';
        entry[used++] = body[i];
    }
    entry[used++] = L'\r';
    entry[used++] = L'\n';
    DWORD written = 0;
    WriteFile(log, entry, static_cast<DWORD>(used * sizeof(wchar_t)), &written, nullptr);
    HeapFree(GetProcessHeap(), 0, entry);
    CloseHandle(log);
}
