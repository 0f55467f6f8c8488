// Walks the items: a file gives one entry, a folder an entry for itself and for everything below
// it (empty folders included). Folder contents are sorted by name so archives are reproducible.
// Links to folders (reparse points) are stored as folders but not entered, so loops cannot occur.
#include "file_tree.h"

#include <algorithm>
#include <cwchar>

#include "archiver_api.h"

namespace {

uint64_t ticksOf(const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

void setTimes(ZipEntry* e, const FILETIME& created, const FILETIME& accessed, const FILETIME& modified)
{
    e->created = ticksOf(created);
    e->accessed = ticksOf(accessed);
    e->modified = ticksOf(modified);
    FILETIME local;
    SYSTEMTIME st;
    if (FileTimeToLocalFileTime(&modified, &local) && FileTimeToSystemTime(&local, &st)) {
        dosDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, &e->dosDate, &e->dosTime);
    } else {
        dosDateTime(1980, 1, 1, 0, 0, 0, &e->dosDate, &e->dosTime);
    }
}

struct Child {
    std::wstring name;
    WIN32_FIND_DATAW data;
};

bool childBefore(const Child& a, const Child& b)
{
    int c = _wcsicmp(a.name.c_str(), b.name.c_str());
    return c != 0 ? c < 0 : a.name < b.name;
}

bool isDotName(const wchar_t* n) { return (n[0] == L'.' && !n[1]) || (n[0] == L'.' && n[1] == L'.' && !n[2]); }

int walkFolder(const std::wstring& folder, const std::wstring& prefix, std::vector<ZipEntry>* entries,
               uint64_t* totalBytes, volatile LONG* cancel, WalkFailure* failure)
{
    if (*cancel) return ARCHIVER_CANCELLED;
    std::vector<Child> children;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES) return ARCHIVER_OK;
        failure->path = folder;
        failure->systemError = err;
        return ARCHIVER_ERROR_ITEM_READ;
    }
    do {
        if (!isDotName(fd.cFileName)) children.push_back(Child{fd.cFileName, fd});
    } while (FindNextFileW(h, &fd));
    DWORD err = GetLastError();
    FindClose(h);
    if (err != ERROR_NO_MORE_FILES) {
        failure->path = folder;
        failure->systemError = err;
        return ARCHIVER_ERROR_ITEM_READ;
    }
    std::sort(children.begin(), children.end(), childBefore);
    for (const Child& c : children) {
        ZipEntry e;
        const bool isFolder = (c.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::wstring path = folder + L"\\" + c.name;
        e.isFolder = isFolder;
        e.attributes = c.data.dwFileAttributes;
        e.name = zipName(prefix + c.name) + (isFolder ? "/" : "");
        setTimes(&e, c.data.ftCreationTime, c.data.ftLastAccessTime, c.data.ftLastWriteTime);
        if (!isFolder) {
            e.sourcePath = path;
            e.sizeAtWalk = (static_cast<uint64_t>(c.data.nFileSizeHigh) << 32) | c.data.nFileSizeLow;
            *totalBytes += e.sizeAtWalk;
        }
        entries->push_back(std::move(e));
        if (isFolder && !(c.data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            int rc = walkFolder(path, prefix + c.name + L"/", entries, totalBytes, cancel, failure);
            if (rc != ARCHIVER_OK) return rc;
        }
    }
    return ARCHIVER_OK;
}

int addItem(const std::wstring& item, std::vector<ZipEntry>* entries, uint64_t* totalBytes,
            volatile LONG* cancel, WalkFailure* failure)
{
    wchar_t small[MAX_PATH];
    DWORD needed = GetFullPathNameW(item.c_str(), MAX_PATH, small, nullptr);
    std::wstring full;
    if (needed >= MAX_PATH) {
        std::vector<wchar_t> big(needed + 1);
        needed = GetFullPathNameW(item.c_str(), needed + 1, big.data(), nullptr);
        if (needed) full.assign(big.data(), needed);
    } else if (needed) {
        full.assign(small, needed);
    }
    failure->path = item;
    if (full.empty()) {
        failure->systemError = GetLastError();
        return ARCHIVER_ERROR_ITEM_NOT_FOUND;
    }
    const std::wstring name = itemArchiveName(full);
    std::wstring path = extendedPath(full);
    while (path.size() > 7 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        DWORD err = GetLastError();
        failure->systemError = err;
        return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_INVALID_NAME ||
                err == ERROR_BAD_NETPATH)
                   ? ARCHIVER_ERROR_ITEM_NOT_FOUND
                   : ARCHIVER_ERROR_ITEM_READ;
    }
    ZipEntry e;
    e.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.attributes = data.dwFileAttributes;
    e.name = zipName(name) + (e.isFolder ? "/" : "");
    setTimes(&e, data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime);
    if (!e.isFolder) {
        e.sourcePath = path;
        e.sizeAtWalk = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        *totalBytes += e.sizeAtWalk;
    }
    const bool folder = e.isFolder;
    entries->push_back(std::move(e));
    failure->path.clear();
    if (!folder) return ARCHIVER_OK;
    return walkFolder(path, name + L"/", entries, totalBytes, cancel, failure);
}

}  // namespace

std::wstring itemArchiveName(const std::wstring& path)
{
    size_t end = path.size();
    while (end > 0 && (path[end - 1] == L'\\' || path[end - 1] == L'/')) --end;
    size_t start = end;
    while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/') --start;
    std::wstring name = path.substr(start, end - start);
    if (name.size() == 2 && name[1] == L':') name = name.substr(0, 1);  // "C:" of a drive root
    return name;
}

std::wstring extendedPath(const std::wstring& absolutePath)
{
    if (absolutePath.compare(0, 4, L"\\\\?\\") == 0) return absolutePath;
    if (absolutePath.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + absolutePath.substr(2);
    return L"\\\\?\\" + absolutePath;
}

std::string zipName(const std::wstring& name)
{
    std::wstring slashed = name;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    if (slashed.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, slashed.data(), static_cast<int>(slashed.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, slashed.data(), static_cast<int>(slashed.size()), &out[0], n, nullptr, nullptr);
    return out;
}

int collectEntries(const std::vector<std::wstring>& items, std::vector<ZipEntry>* entries,
                   uint64_t* totalBytes, volatile LONG* cancel, WalkFailure* failure)
{
    for (const std::wstring& item : items) {
        int rc = addItem(item, entries, totalBytes, cancel, failure);
        if (rc != ARCHIVER_OK) return rc;
    }
    for (const ZipEntry& e : *entries) {
        if (e.name.size() >= kZip16Limit) {
            failure->path = e.sourcePath;
            failure->systemError = ERROR_FILENAME_EXCED_RANGE;
            return ARCHIVER_ERROR_ITEM_READ;
        }
    }
    return ARCHIVER_OK;
}
