// File reading with the sharing the archiver promises (-ssw). Opens relative to a folder go
// through NtCreateFile, the one interface that takes a folder handle and a name.
#include "file_read.h"

#include <winternl.h>

namespace {

const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Values of the native interface (ntifs.h), the same as CreateFileW's for these opens.
const ULONG kOpenExisting = 0x00000001;            // FILE_OPEN
const ULONG kSynchronousIo = 0x00000020;           // FILE_SYNCHRONOUS_IO_NONALERT
const ULONG kNotAFolder = 0x00000040;              // FILE_NON_DIRECTORY_FILE
const ULONG kSequentialOnly = 0x00000004;          // FILE_SEQUENTIAL_ONLY

}  // namespace

HANDLE openForReading(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE openFolderOfFiles(const std::wstring& folder)
{
    return CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE, kShareAll, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

HANDLE openInFolder(HANDLE folder, const std::wstring& name, const std::wstring& path)
{
    if (folder != INVALID_HANDLE_VALUE && !name.empty() && name.size() < 0x7FFF) {
        UNICODE_STRING text;
        text.Buffer = const_cast<wchar_t*>(name.c_str());
        text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
        IO_STATUS_BLOCK io;
        HANDLE file = nullptr;
        if (NtCreateFile(&file, GENERIC_READ | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll, kOpenExisting,
                         kSynchronousIo | kNotAFolder | kSequentialOnly, nullptr, 0) == 0) {
            return file;
        }
    }
    return openForReading(path);
}

DWORD readFully(HANDLE file, uint8_t* data, size_t length, size_t* got)
{
    *got = 0;
    while (*got < length) {
        DWORD n = 0;
        if (!ReadFile(file, data + *got, static_cast<DWORD>(length - *got), &n, nullptr)) {
            DWORD err = GetLastError();
            return err ? err : ERROR_READ_FAULT;
        }
        if (n == 0) break;
        *got += n;
    }
    return 0;
}
