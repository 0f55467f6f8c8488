// Buffered writing of the archive file with large writes.
#include "archive_output.h"

#include <cstring>

namespace {

const size_t kBufferSize = 1 << 20;

int fail(ArchiveOutput* out)
{
    if (!out->error) out->error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    return -1;
}

int writeAll(ArchiveOutput* out, const uint8_t* data, size_t length)
{
    while (length) {
        DWORD piece = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(out->file, data, piece, &written, nullptr)) return fail(out);
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return fail(out);
        }
        data += written;
        length -= written;
    }
    return 0;
}

int seekTo(ArchiveOutput* out, uint64_t offset)
{
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(out->file, li, nullptr, FILE_BEGIN) ? 0 : fail(out);
}

}  // namespace

int outputCreate(ArchiveOutput* out, const wchar_t* path)
{
    // Hidden while it is incomplete: an ended process leaves a file that the user does not
    // stumble on, and that the next run of the same archive knows as a leftover.
    out->file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (out->file == INVALID_HANDLE_VALUE) {
        out->error = GetLastError();
        return -1;
    }
    out->buffer.resize(kBufferSize);
    out->used = 0;
    out->position = 0;
    out->error = 0;
    return 0;
}

int outputFlush(ArchiveOutput* out)
{
    if (out->error) return -1;
    if (out->used && writeAll(out, out->buffer.data(), out->used) != 0) return -1;
    out->used = 0;
    return 0;
}

int outputWrite(ArchiveOutput* out, const void* data, size_t length)
{
    if (out->error) return -1;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (out->used + length > out->buffer.size()) {
        if (outputFlush(out) != 0) return -1;
        if (length >= out->buffer.size()) {
            if (writeAll(out, p, length) != 0) return -1;
            out->position += length;
            return 0;
        }
    }
    std::memcpy(out->buffer.data() + out->used, p, length);
    out->used += length;
    out->position += length;
    return 0;
}

int outputPatch(ArchiveOutput* out, uint64_t offset, const void* data, size_t length)
{
    const uint64_t bufferStart = out->position - out->used;
    if (offset >= bufferStart) {   // still in the buffer
        std::memcpy(out->buffer.data() + (offset - bufferStart), data, length);
        return 0;
    }
    if (outputFlush(out) != 0 || seekTo(out, offset) != 0) return -1;
    if (writeAll(out, static_cast<const uint8_t*>(data), length) != 0) return -1;
    return seekTo(out, out->position);
}

int outputTruncate(ArchiveOutput* out, uint64_t offset)
{
    const uint64_t bufferStart = out->position - out->used;
    if (offset >= bufferStart) {
        out->used = static_cast<size_t>(offset - bufferStart);
        out->position = offset;
        return 0;
    }
    out->used = 0;
    out->position = offset;
    if (seekTo(out, offset) != 0) return -1;
    return SetEndOfFile(out->file) ? 0 : fail(out);
}

int outputFinish(ArchiveOutput* out)
{
    int rc = outputFlush(out);
    if (rc == 0 && !FlushFileBuffers(out->file)) rc = fail(out);
    if (rc == 0) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
        if (!SetFileInformationByHandle(out->file, FileBasicInfo, &basic, sizeof(basic))) rc = fail(out);
    }
    if (!CloseHandle(out->file) && rc == 0) rc = fail(out);
    out->file = INVALID_HANDLE_VALUE;
    return rc;
}

int outputSeal(ArchiveOutput* out)
{
    int rc = outputFlush(out);
    if (rc == 0 && !FlushFileBuffers(out->file)) rc = fail(out);
    if (!CloseHandle(out->file) && rc == 0) rc = fail(out);
    out->file = INVALID_HANDLE_VALUE;
    return rc;
}

void outputAbandon(ArchiveOutput* out)
{
    if (out->file != INVALID_HANDLE_VALUE) CloseHandle(out->file);
    out->file = INVALID_HANDLE_VALUE;
}
