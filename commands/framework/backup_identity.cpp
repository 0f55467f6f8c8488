// Identity of the objects that the commands make.
#include "backup_identity.h"

#include <string.h>

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

}  // namespace

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
