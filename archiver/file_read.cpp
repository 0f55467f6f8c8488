// File reading with the sharing the archiver promises (-ssw).
#include "file_read.h"

HANDLE openForReading(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
