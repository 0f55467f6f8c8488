// Support of the registration tests.
#include "registration_support.h"

#include <objbase.h>
#include <tlhelp32.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <cwctype>

#include "e2e_support.h"

namespace registration_test {

const wchar_t* const kBaseNames[5] = {L"TazuHere", L"TazuHereZip", L"TazuRename", L"TazuThere",
                                      L"TazuThereZip"};

namespace {

const wchar_t* const kRoots[2] = {L"*\\shell", L"Folder\\shell"};
std::atomic<unsigned> g_folderCounter{0};

// COM for the calling thread while one of these lives.
struct ComScope {
    HRESULT result;
    ComScope() : result(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result)) CoUninitialize();
    }
};

std::wstring withoutSlash(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

bool startsWithNoCase(const std::wstring& text, const std::wstring& start)
{
    if (text.size() < start.size()) return false;
    return CompareStringOrdinal(text.c_str(), static_cast<int>(start.size()), start.c_str(),
                                static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

// The predefined key and the path below it that a view reads.
HKEY baseOf(ClassesView view)
{
    if (view == MachineClasses) return HKEY_LOCAL_MACHINE;
    if (view == UserClasses) return HKEY_CURRENT_USER;
    return HKEY_CLASSES_ROOT;
}

std::wstring pathIn(ClassesView view, const std::wstring& path)
{
    return view == ClassesRoot ? path : L"Software\\Classes\\" + path;
}

}  // namespace

std::string utf8(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes,
                            nullptr, nullptr);
    return out;
}

// ---- Registry ----

bool keyExists(const std::wstring& path, ClassesView view)
{
    HKEY key;
    if (RegOpenKeyExW(baseOf(view), pathIn(view, path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::map<std::wstring, RegistryValue> keyValues(const std::wstring& path, ClassesView view)
{
    std::map<std::wstring, RegistryValue> values;
    HKEY key;
    if (RegOpenKeyExW(baseOf(view), pathIn(view, path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD nameChars = 512;
        BYTE data[4096];
        DWORD bytes = sizeof data;
        DWORD type = REG_NONE;
        if (RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data, &bytes) != ERROR_SUCCESS) break;
        RegistryValue value;
        value.type = type;
        value.bytes = bytes;
        if (type == REG_SZ) {
            const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
            size_t chars = bytes / sizeof(wchar_t);
            while (chars && text[chars - 1] == L'\0') --chars;
            value.text.assign(text, chars);
        } else if (type == REG_DWORD && bytes == sizeof(DWORD)) {
            value.number = *reinterpret_cast<const DWORD*>(data);
        }
        values[std::wstring(name, nameChars)] = value;
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::wstring> subkeyNames(const std::wstring& path, ClassesView view)
{
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(baseOf(view), pathIn(view, path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD chars = 512;
        if (RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, chars);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

void deleteKeyTree(const std::wstring& path, ClassesView view)
{
    RegDeleteTreeW(baseOf(view), pathIn(view, path).c_str());
    RegDeleteKeyW(baseOf(view), pathIn(view, path).c_str());
}

bool writeDefaultText(const std::wstring& path, const std::wstring& text, ClassesView view)
{
    HKEY key;
    if (RegCreateKeyExW(baseOf(view), pathIn(view, path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::wstring verbKey(const wchar_t* root, const std::wstring& prefix, const std::wstring& baseName)
{
    return std::wstring(root) + L"\\" + prefix + baseName;
}

::testing::AssertionResult holdsEntry(const std::wstring& verbKeyPath, const std::wstring& caption,
                                      const std::wstring& programPath, bool separatorBefore,
                                      bool separatorAfter, ClassesView view)
{
    if (!keyExists(verbKeyPath, view)) return ::testing::AssertionFailure() << "no key " << utf8(verbKeyPath);
    std::map<std::wstring, RegistryValue> expected;
    auto text = [](const std::wstring& value) {
        RegistryValue v;
        v.type = REG_SZ;
        v.text = value;
        v.bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return v;
    };
    auto one = [] {
        RegistryValue v;
        v.type = REG_DWORD;
        v.number = 1;
        v.bytes = sizeof(DWORD);
        return v;
    };
    expected[L""] = text(caption);
    expected[L"Icon"] = text(L"\"" + programPath + L"\"");
    expected[L"Position"] = text(L"Middle");
    if (separatorBefore) expected[L"SeparatorBefore"] = one();
    if (separatorAfter) expected[L"SeparatorAfter"] = one();

    auto failure = ::testing::AssertionFailure() << utf8(verbKeyPath) << ":";
    bool failed = false;
    auto compare = [&](const std::map<std::wstring, RegistryValue>& want,
                       const std::map<std::wstring, RegistryValue>& have, const std::wstring& where) {
        for (const auto& entry : want) {
            auto found = have.find(entry.first);
            if (found == have.end()) {
                failure << " " << utf8(where) << "missing value \"" << utf8(entry.first) << "\";";
                failed = true;
                continue;
            }
            const RegistryValue& a = entry.second;
            const RegistryValue& b = found->second;
            if (a.type != b.type || a.text != b.text || a.number != b.number || a.bytes != b.bytes) {
                failure << " " << utf8(where) << "value \"" << utf8(entry.first) << "\" is type " << b.type
                        << " \"" << utf8(b.text) << "\"/" << b.number << " (" << b.bytes << " bytes), expected type "
                        << a.type << " \"" << utf8(a.text) << "\"/" << a.number << " (" << a.bytes << " bytes);";
                failed = true;
            }
        }
        for (const auto& entry : have) {
            if (!want.count(entry.first)) {
                failure << " " << utf8(where) << "extra value \"" << utf8(entry.first) << "\";";
                failed = true;
            }
        }
    };
    compare(expected, keyValues(verbKeyPath, view), L"");
    std::vector<std::wstring> subkeys = subkeyNames(verbKeyPath, view);
    if (subkeys != std::vector<std::wstring>{L"Command"}) {
        failure << " subkeys are not exactly \"Command\";";
        failed = true;
    }
    std::map<std::wstring, RegistryValue> command;
    command[L""] = text(L"\"" + programPath + L"\" \"%1\"");
    compare(command, keyValues(verbKeyPath + L"\\Command", view), L"Command ");
    return failed ? failure : ::testing::AssertionSuccess();
}

bool writeLegacyEntry(const wchar_t* root, const std::wstring& baseName, const std::wstring& programPath,
                      ClassesView view)
{
    std::wstring verb = verbKey(root, L"", baseName);
    return writeDefaultText(verb, baseName + L" (older version)", view) &&
           writeDefaultText(verb + L"\\Command", L"\"" + programPath + L"\" \"%1\"", view);
}

// ---- Shortcuts ----

bool makeShortcut(const std::wstring& path, const std::wstring& target)
{
    ComScope com;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(link->SetPath(target.c_str())) &&
                 SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                 SUCCEEDED(file->Save(path.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    return saved;
}

std::wstring shortcutTarget(const std::wstring& path)
{
    ComScope com;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return L"<unreadable>";
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = L"";
    bool read = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0));
    if (file) file->Release();
    link->Release();
    return read ? target : L"<unreadable>";
}

std::vector<std::wstring> shortcutsInto(const std::wstring& folder, const std::wstring& programFolder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((withoutSlash(folder) + L"\\*.lnk").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring target = shortcutTarget(withoutSlash(folder) + L"\\" + entry.cFileName);
        if (startsWithNoCase(target, programFolder)) names.push_back(entry.cFileName);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring userFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return L"";
    return withoutSlash(path) + L"\\";
}

// ---- Files ----

std::string readBytes(const std::wstring& path)
{
    std::string bytes;
    return e2e::readFile(path, &bytes) ? bytes : "<missing>";
}

// ---- TazuUAC ----

bool helperRuns()
{
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"tazuuac vantrel app 2016.04");
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

// ---- Program folder ----

::testing::AssertionResult makeProgramFolder(ProgramFolder* folder, const std::wstring& tag)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring unique = L"t" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(g_folderCounter.fetch_add(1) + 1);
    folder->root = withoutSlash(temp) + L"\\vantrel_reg_" + unique + L"\\";
    folder->folderText = unique + tag;
    std::transform(folder->folderText.begin(), folder->folderText.end(), folder->folderText.begin(), towlower);
    folder->path = folder->root + L"tazu_" + unique + tag + L"\\";
    folder->captionSuffix = L"_" + folder->folderText;
    folder->verbPrefix = L"tazu." + folder->folderText + L".";
    if (SHCreateDirectoryExW(nullptr, withoutSlash(folder->path).c_str(), nullptr) != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "cannot create " << utf8(folder->path);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult placeCommandFiles(const ProgramFolder& folder, const std::vector<std::wstring>& files)
{
    std::vector<std::wstring> names = files;
    if (names.empty())
        for (const wchar_t* base : kBaseNames) names.push_back(std::wstring(base) + L".exe");
    for (const std::wstring& name : names)
        if (!e2e::writeFile(folder.path + name, "MZ stand-in of " + utf8(name)))
            return ::testing::AssertionFailure() << "cannot write " << utf8(folder.path + name);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult placeProgram(const ProgramFolder& folder, const wchar_t* binVariable,
                                        const std::wstring& source, const std::wstring& name)
{
    wchar_t bin[MAX_PATH] = L"";
    DWORD length = GetEnvironmentVariableW(binVariable, bin, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ::testing::AssertionFailure() << utf8(binVariable) << " is not set";
    std::wstring from = withoutSlash(bin) + L"\\" + source;
    if (!CopyFileW(from.c_str(), (folder.path + name).c_str(), FALSE))
        return ::testing::AssertionFailure() << "cannot copy " << utf8(from) << " (error " << GetLastError() << ")";
    return ::testing::AssertionSuccess();
}

int stopProgramsIn(const ProgramFolder& folder)
{
    int stopped = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                     entry.th32ProcessID);
        if (!process) continue;
        wchar_t image[MAX_PATH] = L"";
        DWORD chars = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, image, &chars) && startsWithNoCase(image, folder.path) &&
            TerminateProcess(process, 255)) {
            WaitForSingleObject(process, 5000);
            ++stopped;
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return stopped;
}

::testing::AssertionResult removeEverything(const ProgramFolder& folder)
{
    auto failure = ::testing::AssertionFailure() << "left behind:";
    bool failed = false;
    if (folder.path.empty()) return ::testing::AssertionSuccess();
    if (int stopped = stopProgramsIn(folder)) {
        failure << " " << stopped << " running program(s), now ended;";
        failed = true;
    }
    for (const wchar_t* root : kRoots) {
        for (const wchar_t* base : kBaseNames) {
            for (const std::wstring& prefix : {folder.verbPrefix, std::wstring()}) {
                std::wstring key = verbKey(root, prefix, base);
                for (ClassesView view : {ClassesRoot, MachineClasses, UserClasses}) {
                    deleteKeyTree(key, view);
                    if (keyExists(key, view)) {
                        failure << " key " << utf8(pathIn(view, key)) << ";";
                        failed = true;
                    }
                }
            }
        }
    }
    for (int csidl : {CSIDL_SENDTO, CSIDL_DESKTOPDIRECTORY}) {
        std::wstring place = userFolder(csidl);
        if (place.empty()) continue;
        for (const std::wstring& name : shortcutsInto(place, folder.path)) {
            if (!DeleteFileW((place + name).c_str())) {
                failure << " shortcut " << utf8(place + name) << ";";
                failed = true;
            }
        }
    }
    wchar_t appData[MAX_PATH] = L"";
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
        std::wstring settings = withoutSlash(appData) + L"\\zevrald\\tazu_" + folder.folderText;
        e2e::removeTree(settings);
        RemoveDirectoryW((withoutSlash(appData) + L"\\zevrald").c_str());
    }
    // A program that was just ended may hold its folder for a moment.
    for (int attempt = 0; attempt < 30 && !e2e::removeTree(folder.root); ++attempt) Sleep(100);
    if (GetFileAttributesW(withoutSlash(folder.root).c_str()) != INVALID_FILE_ATTRIBUTES) {
        failure << " " << utf8(folder.root);
        failed = true;
    }
    return failed ? failure : ::testing::AssertionSuccess();
}

}  // namespace registration_test
