// Identity of the objects that the commands make.
#include "backup_identity.h"

#include <string.h>

#include "copied_tree.h"
#include "final_path.h"

namespace {

unsigned long long joined(DWORD high, DWORD low)
{
    return (static_cast<unsigned long long>(high) << 32) | low;
}

unsigned long long fileTimeValue(const FILETIME& time)
{
    return joined(time.dwHighDateTime, time.dwLowDateTime);
}

typedef BOOL(WINAPI* FileInformationByHandleEx)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// GetFileInformationByHandleEx, which systems before Vista lack. The 128-bit ID (ReFS gives
// 64-bit indexes that need not be unique) is asked for where the system has it.
FileInformationByHandleEx fileInformationByHandleEx()
{
    static const FileInformationByHandleEx call = reinterpret_cast<FileInformationByHandleEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFileInformationByHandleEx")));
    return call;
}

// FILE_ID_INFO's layout; older headers lack it. The class value is 18 (FileIdInfo).
struct FileIdInformation {
    unsigned long long volumeSerialNumber;
    unsigned char fileId[16];
};
constexpr int kFileIdInfoClass = 18;

// One entry of a folder's contents: its path below the folder and, for a file, its size and
// last-write time, hashed (FNV-1a) and then mixed, so that the sum over all entries, which does
// not depend on the order a file system lists them in, still changes with any one of them.
unsigned long long entryDigest(const wchar_t* relative, size_t length, const WIN32_FIND_DATAW* entry, DWORD error)
{
    unsigned long long hash = 0xcbf29ce484222325ULL;
    const auto add = [&hash](unsigned long long value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            hash ^= (value >> (8 * i)) & 0xff;
            hash *= 0x100000001b3ULL;
        }
    };
    for (size_t i = 0; i < length; ++i) add(relative[i], 2);
    if (entry) {
        const bool folder = (entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        add(folder ? 1 : 2, 1);
        if (!folder) {
            add(joined(entry->nFileSizeHigh, entry->nFileSizeLow), 8);
            add(fileTimeValue(entry->ftLastWriteTime), 8);
        }
    } else {
        add(3, 1);  // a folder that could not be listed, and why
        add(error, 4);
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

void addFolder(wchar_t* path, size_t rootLength, size_t length, int depth, FolderContents* contents)
{
    size_t patternLength = 0;
    WIN32_FIND_DATAW entry;
    HANDLE search = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILENAME_EXCED_RANGE;
    if (depth <= kMaxComparedDepth && appendName(path, length, L"*", &patternLength)) {
        search = FindFirstFileExW(path, FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        error = search == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    path[length] = L'\0';
    if (search == INVALID_HANDLE_VALUE) {
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
            contents->digest += entryDigest(path + rootLength, length - rootLength, nullptr, error);
        return;
    }
    do {
        if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0) continue;
        size_t entryLength = 0;
        if (!appendName(path, length, entry.cFileName, &entryLength)) {
            contents->digest += entryDigest(path + rootLength, length - rootLength, nullptr, ERROR_FILENAME_EXCED_RANGE);
            continue;
        }
        contents->digest += entryDigest(path + rootLength, entryLength - rootLength, &entry, 0);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            contents->bytes += joined(entry.nFileSizeHigh, entry.nFileSizeLow);
        else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            addFolder(path, rootLength, entryLength, depth + 1, contents);
        path[length] = L'\0';
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

}  // namespace

void folderContents(const wchar_t* folderPath, FolderContents* contents)
{
    contents->bytes = 0;
    contents->digest = 0;
    wchar_t* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kLongPathChars * sizeof(wchar_t)));
    if (path && extendedLengthPath(folderPath, path, kLongPathChars) == 0) {
        size_t length = wcslen(path);
        while (length > 0 && path[length - 1] == L'\\') path[--length] = L'\0';
        addFolder(path, length, length, 0, contents);
    } else {
        contents->digest = entryDigest(L"", 0, nullptr, ERROR_NOT_ENOUGH_MEMORY);
    }
    if (path) HeapFree(GetProcessHeap(), 0, path);
    if (contents->digest == 0) contents->digest = 1;
}

int observeObject(const wchar_t* path, ObservedObject* seen)
{
    memset(seen, 0, sizeof *seen);
    // Backup semantics open a folder as well as a file; the link itself, never its target.
    HANDLE handle = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        CloseHandle(handle);
        return -1;
    }
    BackupIdentity& identity = seen->identity;
    identity.volume = information.dwVolumeSerialNumber;
    unsigned long long index = joined(information.nFileIndexHigh, information.nFileIndexLow);
    memcpy(identity.fileId, &index, sizeof index);
    FileIdInformation wide;
    FileInformationByHandleEx call = fileInformationByHandleEx();
    if (call && call(handle, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileIdInfoClass), &wide, sizeof wide)) {
        identity.volume = wide.volumeSerialNumber;
        memcpy(identity.fileId, wide.fileId, sizeof identity.fileId);
    }
    identity.folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    identity.size = identity.folder ? 0 : joined(information.nFileSizeHigh, information.nFileSizeLow);
    identity.time = fileTimeValue(identity.folder ? information.ftCreationTime : information.ftLastWriteTime);
    seen->reparsePoint = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!finalPathOfHandle(handle, seen->finalPath, sizeof seen->finalPath / sizeof seen->finalPath[0]))
        seen->finalPath[0] = L'\0';
    CloseHandle(handle);
    seen->present = true;
    return 0;
}

bool sameObject(const BackupIdentity* a, const BackupIdentity* b)
{
    return a->volume == b->volume && memcmp(a->fileId, b->fileId, sizeof a->fileId) == 0 && a->folder == b->folder;
}

bool sameIdentity(const BackupIdentity* a, const BackupIdentity* b)
{
    return sameObject(a, b) && a->size == b->size && a->time == b->time;
}
