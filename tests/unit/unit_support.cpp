// Helpers of the unit tests.
#include "unit_support.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "message_box.h"

namespace {
std::atomic<unsigned> g_folderCounter{0};
std::mutex g_shownMutex;
std::vector<ShownMessage> g_shown;

int recordMessage(UINT style, const wchar_t* title, const wchar_t* text)
{
    std::lock_guard<std::mutex> lock(g_shownMutex);
    g_shown.push_back({style, title, text});
    return IDOK;
}
}  // namespace

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    EXPECT_GT(length, 0u);
    wchar_t name[64];
    swprintf(name, 64, L"vantrel-unit-%lu-%lu-%u\\", GetCurrentProcessId(), GetTickCount(),
             g_folderCounter.fetch_add(1));
    path_ = std::wstring(temp) + name;
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << utf8(path_);
}

TempFolder::~TempFolder()
{
    EXPECT_TRUE(removeTree(path_)) << "left behind: " << utf8(path_);
}

bool removeTree(const std::wstring& path)
{
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(folder.c_str()) != FALSE;
    }
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    bool ok = true;
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            ok = removeTree(folder + L"\\" + name) && ok;
        } while (FindNextFileW(listing, &entry));
        FindClose(listing);
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE && ok;
}

bool makeDirectory(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool writeBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool writeEmptyFile(const std::wstring& path)
{
    return writeBytes(path, std::string());
}

std::string readBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool fileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool writeUtf16File(const std::wstring& path, const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return writeBytes(path, bytes);
}

std::wstring readUtf16File(const std::wstring& path)
{
    std::string bytes = readBytes(path);
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return std::wstring();
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(&text[0], bytes.data() + 2, text.size() * 2);
    return text;
}

std::string utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

MessageRecorder::MessageRecorder()
{
    std::lock_guard<std::mutex> lock(g_shownMutex);
    g_shown.clear();
    setMessageBoxSink(recordMessage);
}

MessageRecorder::~MessageRecorder()
{
    setMessageBoxSink(nullptr);
    std::lock_guard<std::mutex> lock(g_shownMutex);
    g_shown.clear();
}

const std::vector<ShownMessage>& MessageRecorder::shown() const
{
    return g_shown;
}
