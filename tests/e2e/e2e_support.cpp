// Support of the end-to-end tests.
#include "e2e_support.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

namespace e2e {

std::wstring widen(const std::string& text)
{
    int chars = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(chars > 0 ? chars - 1 : 0, L'\0');
    if (chars > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], chars);
    return out;
}

std::string narrow(const std::wstring& text)
{
    return driver::narrow(text);
}

bool writeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool readFile(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}

bool makeFolders(const std::wstring& folder)
{
    int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeTree(const std::wstring& path)
{
    if (!exists(path)) return true;
    std::wstring trimmed = path;
    while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    if (isFolder(trimmed)) {
        for (const std::wstring& name : namesIn(trimmed)) removeTree(trimmed + L"\\" + name);
        SetFileAttributesW(trimmed.c_str(), FILE_ATTRIBUTE_NORMAL);
        return RemoveDirectoryW(trimmed.c_str()) != FALSE;
    }
    SetFileAttributesW(trimmed.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(trimmed.c_str()) != FALSE;
}

namespace {

void snapshotInto(const std::wstring& folder, const std::wstring& prefix, std::map<std::wstring, std::string>* tree)
{
    for (const std::wstring& name : namesIn(folder)) {
        std::wstring full = folder + L"\\" + name;
        if (isFolder(full)) {
            (*tree)[prefix + name + L"/"] = "";
            snapshotInto(full, prefix + name + L"/", tree);
        } else {
            std::string bytes;
            readFile(full, &bytes);
            (*tree)[prefix + name] = bytes;
        }
    }
}

std::wstring trimSlash(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

int g_sandboxCount = 0;

// The first window query of a process waits for Wine's desktop process, which may take seconds
// to start; pay that once before any test measures times.
class DesktopWarmUp : public ::testing::Environment {
public:
    void SetUp() override
    {
        GetDesktopWindow();
        driver::windowsOf(GetCurrentProcessId());
    }
};
const ::testing::Environment* const g_warmUp = ::testing::AddGlobalTestEnvironment(new DesktopWarmUp);

}  // namespace

std::map<std::wstring, std::string> snapshotTree(const std::wstring& folder)
{
    std::map<std::wstring, std::string> tree;
    snapshotInto(trimSlash(folder), L"", &tree);
    return tree;
}

::testing::AssertionResult sameTree(const std::wstring& expectedFolder, const std::wstring& actualFolder)
{
    if (!isFolder(trimSlash(actualFolder)))
        return ::testing::AssertionFailure() << narrow(actualFolder) << " is not a folder";
    auto expected = snapshotTree(expectedFolder);
    auto actual = snapshotTree(actualFolder);
    if (expected == actual) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << narrow(actualFolder) << " differs from " << narrow(expectedFolder) << ":";
    for (const auto& entry : expected) {
        auto found = actual.find(entry.first);
        if (found == actual.end()) failure << " missing " << narrow(entry.first) << ";";
        else if (found->second != entry.second) failure << " other bytes in " << narrow(entry.first) << ";";
    }
    for (const auto& entry : actual) {
        if (!expected.count(entry.first)) failure << " extra " << narrow(entry.first) << ";";
    }
    return failure;
}

bool isTimeStampedName(const std::wstring& name, const std::wstring& base, const std::wstring& extension,
                       std::wstring* stamp)
{
    const size_t stampLength = 15;  // YYYYMMDD_hhmmss
    if (name.size() != base.size() + 1 + stampLength + extension.size()) return false;
    if (name.compare(0, base.size(), base) != 0 || name[base.size()] != L'_') return false;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) return false;
    std::wstring middle = name.substr(base.size() + 1, stampLength);
    for (size_t i = 0; i < stampLength; ++i) {
        if (i == 8 ? middle[i] != L'_' : !iswdigit(middle[i])) return false;
    }
    if (stamp) *stamp = middle;
    return true;
}

std::wstring stampOf(const SYSTEMTIME& moment)
{
    wchar_t text[32];
    _snwprintf(text, 32, L"%04d%02d%02d_%02d%02d%02d", moment.wYear, moment.wMonth, moment.wDay, moment.wHour,
               moment.wMinute, moment.wSecond);
    text[31] = L'\0';
    return text;
}

std::wstring stampInSeconds(int seconds)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER value;
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    value.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ULL;
    file.dwLowDateTime = value.LowPart;
    file.dwHighDateTime = value.HighPart;
    SYSTEMTIME later;
    FileTimeToSystemTime(&file, &later);
    return stampOf(later);
}

namespace {

// The folder of this process's sandboxes: a slot of the test environment that no other process
// uses while this one runs (it holds the slot's lock file open until it ends, when the file goes),
// else the temporary folder.
std::wstring sandboxParent()
{
    static std::wstring parent;
    if (!parent.empty()) return parent;
    for (int slot = 0; slot < 16 && parent.empty(); ++slot) {
        wchar_t folder[64];
        _snwprintf(folder, 64, L"C:\\vantrel_e2e\\slot%02d\\", slot);
        folder[63] = L'\0';
        std::wstring lock = std::wstring(folder) + L"held";
        HANDLE held = CreateFileW(lock.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE,
                                  nullptr);
        if (held != INVALID_HANDLE_VALUE) parent = folder;  // kept open for the life of the process
    }
    if (parent.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        parent = temp;
    }
    return parent;
}

}  // namespace

::testing::AssertionResult makeSandbox(Sandbox* sandbox, const wchar_t* programFile)
{
    const std::wstring temp = sandboxParent();
    wchar_t unique[64];
    _snwprintf(unique, 64, L"e2e%lux%dx%lu", GetCurrentProcessId(), ++g_sandboxCount, GetTickCount() % 100000);
    unique[63] = L'\0';
    sandbox->root = std::wstring(temp) + L"vantrel_" + unique + L"\\";
    // "tazu_<name>" folders keep their settings in AppData\zevrald\tazu_<name>\.
    std::wstring folderName = std::wstring(L"tazu_") + unique;
    sandbox->programFolder = sandbox->root + folderName + L"\\";
    sandbox->data = sandbox->root + L"data\\";
    wchar_t appData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)))
        return ::testing::AssertionFailure() << "no application data folder";
    std::wstring key = folderName;
    std::transform(key.begin(), key.end(), key.begin(), towlower);
    sandbox->settingsFolder = std::wstring(appData) + L"\\zevrald\\" + key + L"\\";

    if (!makeFolders(sandbox->programFolder) || !makeFolders(sandbox->data) || !makeFolders(sandbox->settingsFolder))
        return ::testing::AssertionFailure() << "cannot create the folders below " << narrow(sandbox->root);
    wchar_t bin[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"VANTREL_BIN_DIR", bin, MAX_PATH))
        return ::testing::AssertionFailure() << "VANTREL_BIN_DIR is not set";
    std::wstring source = std::wstring(bin) + L"\\" + programFile;
    std::wstring target = sandbox->programFolder + programFile;
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
        return ::testing::AssertionFailure() << "cannot copy " << narrow(source);
    return ::testing::AssertionSuccess();
}

// Unix path of a Windows path, as Wine's trash records it.
std::string unixPathOf(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    char* unix = toUnix(path.c_str());
    if (!unix) return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

namespace {

std::string percentDecoded(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

// Wine's Recycle Bin: "<XDG_DATA_HOME>\Trash\" as a Windows path.
std::wstring recycleBin()
{
    wchar_t dataHome[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"XDG_DATA_HOME", dataHome, MAX_PATH) || dataHome[0] != L'/') return L"";
    std::wstring bin = std::wstring(L"Z:") + dataHome + L"/Trash/";
    for (wchar_t& c : bin) c = c == L'/' ? L'\\' : c;
    return bin;
}

// Entries of the Recycle Bin that came from below a folder: original path -> name in "files".
std::map<std::string, std::wstring> recycledFrom(const std::wstring& folder)
{
    std::map<std::string, std::wstring> found;
    std::string below = unixPathOf(folder);
    if (below.empty()) return found;
    if (below.back() != '/') below += '/';
    const std::wstring info = recycleBin() + L"info\\";
    for (const std::wstring& name : namesIn(info)) {
        const std::wstring suffix = L".trashinfo";
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string record;
        if (!readFile(info + name, &record)) continue;
        size_t at = record.find("\nPath=");
        if (at == std::string::npos) continue;
        size_t end = record.find('\n', at + 1);
        std::string original = percentDecoded(record.substr(at + 6, end - at - 6));
        if (original.compare(0, below.size(), below) == 0)
            found[original.substr(below.size())] = name.substr(0, name.size() - suffix.size());
    }
    return found;
}

::testing::AssertionResult removeSandbox(Sandbox* sandbox)
{
    for (driver::Program& program : sandbox->programs) driver::stop(&program);
    sandbox->programs.clear();
    // What the test's runs put in the Recycle Bin goes with it (found by the data folder's path
    // below Wine, which only a folder that still exists has).
    const std::wstring bin = recycleBin();
    for (const auto& entry : recycledFrom(sandbox->data)) {
        removeTree(bin + L"files\\" + entry.second);
        DeleteFileW((bin + L"info\\" + entry.second + L".trashinfo").c_str());
    }
    bool removed = true;
    // A program that was just ended may hold its folder for a moment.
    driver::waitUntil([&] { return removeTree(sandbox->root); }, 3000, 100);
    if (exists(trimSlash(sandbox->root))) removed = false;
    removeTree(sandbox->settingsFolder);
    if (exists(trimSlash(sandbox->settingsFolder))) removed = false;
    // The shared "zevrald" folder goes too once no test uses it any more.
    std::wstring parent = trimSlash(sandbox->settingsFolder);
    RemoveDirectoryW(parent.substr(0, parent.find_last_of(L'\\')).c_str());
    if (!removed) return ::testing::AssertionFailure() << "left behind: " << narrow(sandbox->root);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult writeSettings(const Sandbox& sandbox, const std::map<std::wstring, std::wstring>& keys)
{
    std::wstring ini = sandbox.settingsFolder + L"tazu.ini";
    if (!writeFile(ini, std::string("\xFF\xFE", 2))) return ::testing::AssertionFailure() << "cannot create " << narrow(ini);
    for (const auto& entry : keys) {
        if (!WritePrivateProfileStringW(L"Env", entry.first.c_str(), entry.second.c_str(), ini.c_str()))
            return ::testing::AssertionFailure() << "cannot write " << narrow(entry.first);
    }
    return ::testing::AssertionSuccess();
}

bool readSettingsBytes(const Sandbox& sandbox, std::string* bytes)
{
    return readFile(sandbox.settingsFolder + L"tazu.ini", bytes);
}

::testing::AssertionResult run(Sandbox* sandbox, const wchar_t* programFile, const std::wstring& tail,
                               driver::Program** program)
{
    driver::Program started;
    if (!driver::start(sandbox->programFolder + programFile, tail, &started)) {
        DWORD error = GetLastError();
        return ::testing::AssertionFailure() << "cannot start " << narrow(programFile) << " (error " << error << ")";
    }
    sandbox->programs.push_back(started);
    *program = &sandbox->programs.back();
    return ::testing::AssertionSuccess();
}

HWND findResultWindow(const driver::Program& program, DWORD timeoutMs)
{
    HWND found = nullptr;
    driver::waitUntil([&] {
        for (HWND window : driver::windowsOf(program.id, true)) {
            if (driver::className(window) == L"#32770" && GetDlgItem(window, kStatusId) && GetDlgItem(window, kSwitchId)) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

::testing::AssertionResult waitForStatus(HWND result, const std::wstring& status, DWORD timeoutMs)
{
    std::wstring shown;
    if (driver::waitUntil([&] {
            shown = driver::controlText(result, kStatusId);
            return shown == status;
        }, timeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "status is \"" << narrow(shown) << "\", expected \"" << narrow(status) << "\"";
}

::testing::AssertionResult hasColour(HWND window, COLORREF expected)
{
    // A point of the background away from every text.
    SIZE size = driver::clientSize(window);
    COLORREF shown = CLR_INVALID;
    if (driver::waitUntil([&] {
            shown = driver::pixel(window, 3, size.cy - 3);
            return shown == expected;
        }, 2000, 50))
        return ::testing::AssertionSuccess();
    char text[96];
    snprintf(text, sizeof text, "colour is %d,%d,%d, expected %d,%d,%d", GetRValue(shown), GetGValue(shown),
             GetBValue(shown), GetRValue(expected), GetGValue(expected), GetBValue(expected));
    return ::testing::AssertionFailure() << text;
}

::testing::AssertionResult answerMessageBox(const driver::Program& program, const std::wstring& title,
                                            const std::wstring& text, driver::IconKind icon, int button,
                                            DWORD timeoutMs)
{
    HWND box = driver::findMessageBox(program.id, timeoutMs);
    if (!box) return ::testing::AssertionFailure() << "no message box appeared (expected \"" << narrow(text) << "\")";
    driver::MessageBoxInfo info;
    if (!driver::readMessageBox(box, &info)) return ::testing::AssertionFailure() << "message box vanished";
    driver::pressButton(box, button);
    driver::waitGone(box, 5000);
    auto failure = ::testing::AssertionFailure();
    bool failed = false;
    if (info.title != title) {
        failure << "title \"" << narrow(info.title) << "\" (expected \"" << narrow(title) << "\") ";
        failed = true;
    }
    if (info.text != text) {
        failure << "text \"" << narrow(info.text) << "\" (expected \"" << narrow(text) << "\") ";
        failed = true;
    }
    if (info.icon != icon) {
        failure << "icon " << driver::iconKindName(info.icon) << " (expected " << driver::iconKindName(icon) << ")";
        failed = true;
    }
    return failed ? failure : ::testing::AssertionSuccess();
}

::testing::AssertionResult endsWith(const driver::Program& program, DWORD exitCode, DWORD timeoutMs)
{
    DWORD code = 0;
    if (!driver::waitForExit(program, timeoutMs, &code))
        return ::testing::AssertionFailure() << "the program still runs after " << timeoutMs << " ms";
    if (code != exitCode) return ::testing::AssertionFailure() << "exit code " << static_cast<int>(code) << ", expected " << static_cast<int>(exitCode);
    return ::testing::AssertionSuccess();
}

std::wstring inQuotes(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

}  // namespace e2e
