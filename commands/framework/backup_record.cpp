// The record of backups made.
#include "backup_record.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "paths.h"
#include "settings.h"

const wchar_t* const kRecordFileName = L"tazu_backups_made.txt";

namespace {

const char kHeader[] = "Vantrel record of backups made, format 1";
constexpr size_t kHeaderLength = sizeof kHeader - 1;

// A record line: the fixed fields and two paths of at most kRecordPathChars UTF-16 units each,
// which take at most three bytes each in UTF-8.
constexpr size_t kLineBytes = 128 + 2 * 3 * kRecordPathChars;

// A file far beyond kMaxRecords lines is not one this program wrote.
constexpr unsigned long long kMaxFileBytes = 64ULL * 1024 * 1024;

void sleepFor(DWORD milliseconds)
{
    Sleep(milliseconds);
}

RecordPause g_pause = sleepFor;

// ---- Text of one line ----

const char* const kKindCodes[2][2] = {{"FC", "FA"}, {"DC", "DA"}};

bool appendHex(char*& at, char* end, unsigned long long value, int digits)
{
    if (end - at < digits) return false;
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = "0123456789abcdef"[value & 15];
        value >>= 4;
    }
    at += digits;
    return true;
}

bool appendText(char*& at, char* end, const char* text, size_t length)
{
    if (static_cast<size_t>(end - at) < length) return false;
    memcpy(at, text, length);
    at += length;
    return true;
}

bool appendPath(char*& at, char* end, const wchar_t* path)
{
    if (!path[0] || wcschr(path, L'\t')) return false;
    int room = static_cast<int>(end - at);
    int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, at, room, nullptr, nullptr);
    if (bytes <= 1) return false;
    at += bytes - 1;  // without the terminator
    return true;
}

// Splits a line at tabs into fields (pointer and length); false unless exactly `count`.
bool splitFields(const char* line, size_t length, const char** starts, size_t* lengths, size_t count)
{
    size_t field = 0, begin = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && line[i] != '\t') continue;
        if (field == count) return false;
        starts[field] = line + begin;
        lengths[field] = i - begin;
        ++field;
        begin = i + 1;
    }
    return field == count;
}

bool readHex(const char* text, size_t length, size_t digits, unsigned long long* value)
{
    if (length != digits || digits > 16) return false;
    unsigned long long v = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        v = (v << 4) | static_cast<unsigned>(digit);
    }
    *value = v;
    return true;
}

bool readDecimal(const char* text, size_t length, unsigned long long* value)
{
    if (length == 0 || length > 20 || (length > 1 && text[0] == '0')) return false;
    unsigned long long v = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (v > (~0ULL - digit) / 10) return false;
        v = v * 10 + digit;
    }
    *value = v;
    return true;
}

bool readPath(const char* text, size_t length, wchar_t* out, size_t capacity)
{
    if (length == 0 || length > kLineBytes) return false;
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), out,
                                    static_cast<int>(capacity - 1));
    if (units <= 0) return false;
    out[units] = L'\0';
    // A path holds no control character; a record with one was not written by this program.
    for (int i = 0; i < units; ++i)
        if (out[i] < 32) return false;
    return true;
}

// ---- The file ----

// The whole file, read into memory.
struct FileText {
    char* bytes;
    size_t length;       // all bytes read
    size_t complete;     // bytes up to the end of the last complete line
};

void freeFileText(FileText* text)
{
    if (text->bytes) HeapFree(GetProcessHeap(), 0, text->bytes);
    text->bytes = nullptr;
}

// Opens the file for this run alone, waiting while another program has it open.
RecordStatus openForThisRun(const wchar_t* path, HANDLE* file)
{
    for (DWORD waited = 0;; waited += kRecordRetryMs) {
        *file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (*file != INVALID_HANDLE_VALUE) return RecordOk;
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return RecordUnavailable;
        if (waited >= kRecordWaitMs) return RecordLocked;
        g_pause(kRecordRetryMs);
    }
}

RecordStatus readWhole(HANDLE file, FileText* text)
{
    memset(text, 0, sizeof *text);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return RecordUnavailable;
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxFileBytes) return RecordDamaged;
    size_t length = static_cast<size_t>(size.QuadPart);
    text->bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    if (!text->bytes) return RecordUnavailable;
    size_t done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadFile(file, text->bytes + done, static_cast<DWORD>(length - done), &got, nullptr)) {
            freeFileText(text);
            return RecordUnavailable;
        }
        if (got == 0) break;
        done += got;
    }
    text->length = done;
    text->bytes[done] = '\0';
    size_t complete = done;
    while (complete > 0 && text->bytes[complete - 1] != '\n') --complete;
    text->complete = complete;
    return RecordOk;
}

// Whether bytes without a line end are the beginning of the header line (or nothing).
bool isCutHeader(const char* bytes, size_t length)
{
    char line[kHeaderLength + 2];
    memcpy(line, kHeader, kHeaderLength);
    memcpy(line + kHeaderLength, "\r\n", 2);
    return length < sizeof line && memcmp(bytes, line, length) == 0;
}

// Walks the complete lines after the header. `visit` gets each line (without its line end) and
// its record; returns false to stop. Returns RecordDamaged when the header or a line is not ours.
template <typename Visit>
RecordStatus eachRecord(const FileText* text, Visit visit)
{
    const char* at = text->bytes;
    const char* end = text->bytes + text->complete;
    bool header = true;
    BackupRecord* record = static_cast<BackupRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(BackupRecord)));
    if (!record) return RecordUnavailable;
    RecordStatus status = RecordOk;
    while (at < end) {
        const char* newline = static_cast<const char*>(memchr(at, '\n', static_cast<size_t>(end - at)));
        size_t length = static_cast<size_t>(newline - at);
        if (length > 0 && at[length - 1] == '\r') --length;
        if (header) {
            if (length != kHeaderLength || memcmp(at, kHeader, kHeaderLength) != 0) {
                status = RecordDamaged;
                break;
            }
            header = false;
        } else if (parseRecordLine(at, length, record) != 0) {
            status = RecordDamaged;
            break;
        } else if (!visit(at, length, record)) {
            break;
        }
        at = newline + 1;
    }
    // Without one complete line, only the beginning of a header cut short by a run that ended
    // while it created the file is ours.
    if (status == RecordOk && header && !isCutHeader(text->bytes, text->length)) status = RecordDamaged;
    HeapFree(GetProcessHeap(), 0, record);
    return status;
}

bool writeAll(HANDLE file, const char* bytes, size_t length)
{
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr) || written == 0) return false;
        bytes += written;
        length -= written;
    }
    return true;
}

bool seekTo(HANDLE file, size_t offset)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

// A growing byte buffer for a rewritten file.
struct Bytes {
    char* data;
    size_t length;
    size_t capacity;
};

bool appendBytes(Bytes* buffer, const char* bytes, size_t length)
{
    if (buffer->length + length > buffer->capacity) {
        size_t capacity = (buffer->length + length) * 2 + 4096;
        void* grown = buffer->data ? HeapReAlloc(GetProcessHeap(), 0, buffer->data, capacity)
                                   : HeapAlloc(GetProcessHeap(), 0, capacity);
        if (!grown) return false;
        buffer->data = static_cast<char*>(grown);
        buffer->capacity = capacity;
    }
    memcpy(buffer->data + buffer->length, bytes, length);
    buffer->length += length;
    return true;
}

bool appendLine(Bytes* buffer, const char* line, size_t length)
{
    return appendBytes(buffer, line, length) && appendBytes(buffer, "\r\n", 2);
}

// Writes the whole file anew from the buffer.
bool rewrite(HANDLE file, const Bytes* buffer)
{
    return seekTo(file, 0) && writeAll(file, buffer->data, buffer->length) && SetEndOfFile(file);
}

bool addToList(RecordList* list, size_t* capacity, const BackupRecord* record)
{
    if (list->count == *capacity) {
        size_t grown = *capacity ? *capacity * 2 : 8;
        void* memory = list->records ? HeapReAlloc(GetProcessHeap(), 0, list->records, grown * sizeof(BackupRecord))
                                     : HeapAlloc(GetProcessHeap(), 0, grown * sizeof(BackupRecord));
        if (!memory) return false;
        list->records = static_cast<BackupRecord*>(memory);
        *capacity = grown;
    }
    list->records[list->count++] = *record;
    return true;
}

}  // namespace

int formatRecordLine(const BackupRecord* record, char* out, size_t capacity)
{
    if (capacity == 0) return -1;
    char* at = out;
    char* end = out + capacity - 1;
    const BackupIdentity& id = record->identity;
    unsigned long long idLow = 0, idHigh = 0;
    memcpy(&idLow, id.fileId, 8);
    memcpy(&idHigh, id.fileId + 8, 8);
    char size[24];
    int sizeLength = snprintf(size, sizeof size, "%llu", id.size);
    bool ok = appendText(at, end, kKindCodes[record->itemKind == ItemFolder][record->output == OutputArchive], 2) &&
              appendText(at, end, "\t", 1) && appendHex(at, end, id.volume, 16) && appendText(at, end, "\t", 1) &&
              appendHex(at, end, idHigh, 16) && appendHex(at, end, idLow, 16) && appendText(at, end, "\t", 1) &&
              appendText(at, end, size, static_cast<size_t>(sizeLength)) && appendText(at, end, "\t", 1) &&
              appendHex(at, end, id.time, 16) && appendText(at, end, "\t", 1) &&
              appendPath(at, end + 1, record->itemPath) && appendText(at, end, "\t", 1) &&
              appendPath(at, end + 1, record->backupPath);
    if (!ok || at > end) {
        out[0] = '\0';
        return -1;
    }
    *at = '\0';
    return static_cast<int>(at - out);
}

int parseRecordLine(const char* line, size_t length, BackupRecord* record)
{
    const char* fields[7];
    size_t lengths[7];
    if (!splitFields(line, length, fields, lengths, 7) || lengths[0] != 2) return -1;
    memset(record, 0, sizeof *record);
    bool known = false;
    for (int folder = 0; folder < 2 && !known; ++folder)
        for (int archive = 0; archive < 2 && !known; ++archive)
            if (memcmp(fields[0], kKindCodes[folder][archive], 2) == 0) {
                record->itemKind = folder ? ItemFolder : ItemFile;
                record->output = archive ? OutputArchive : OutputCopyOrRename;
                known = true;
            }
    if (!known) return -1;
    BackupIdentity& id = record->identity;
    unsigned long long idHigh = 0, idLow = 0;
    if (!readHex(fields[1], lengths[1], 16, &id.volume) || lengths[2] != 32 ||
        !readHex(fields[2], 16, 16, &idHigh) || !readHex(fields[2] + 16, 16, 16, &idLow) ||
        !readDecimal(fields[3], lengths[3], &id.size) || !readHex(fields[4], lengths[4], 16, &id.time) ||
        !readPath(fields[5], lengths[5], record->itemPath, kRecordPathChars) ||
        !readPath(fields[6], lengths[6], record->backupPath, kRecordPathChars))
        return -1;
    memcpy(id.fileId, &idLow, 8);
    memcpy(id.fileId + 8, &idHigh, 8);
    // The backup is a folder only when a folder was copied; archives and file copies are files.
    id.folder = record->itemKind == ItemFolder && record->output == OutputCopyOrRename;
    return 0;
}

bool sameItemAndOutput(const BackupRecord* a, const BackupRecord* b)
{
    return a->itemKind == b->itemKind && a->output == b->output && wcscmp(a->itemPath, b->itemPath) == 0;
}

void freeRecordList(RecordList* list)
{
    if (list->records) HeapFree(GetProcessHeap(), 0, list->records);
    list->records = nullptr;
    list->count = 0;
}

RecordStatus recordBackupMade(const wchar_t* recordPath, const BackupRecord* made, RecordList* earlier)
{
    memset(earlier, 0, sizeof *earlier);
    if (!recordPath || !recordPath[0]) return RecordNoPlace;
    char* line = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kLineBytes));
    if (!line) return RecordUnavailable;
    int lineLength = formatRecordLine(made, line, kLineBytes);
    if (lineLength < 0) {
        HeapFree(GetProcessHeap(), 0, line);
        return RecordUnavailable;
    }

    HANDLE file;
    RecordStatus status = openForThisRun(recordPath, &file);
    if (status != RecordOk) {
        HeapFree(GetProcessHeap(), 0, line);
        return status;
    }
    FileText text;
    status = readWhole(file, &text);
    // Past the bound the oldest records go, and are no longer this item's earlier backups.
    size_t lines = 0;
    for (size_t i = 0; i < text.complete; ++i) lines += text.bytes[i] == '\n';
    if (lines > 0) --lines;  // the header
    const size_t skip = lines + 1 > kMaxRecords ? lines + 1 - kRecordsAfterTrim : 0;
    Bytes kept = {nullptr, 0, 0};
    bool ok = true;
    if (status == RecordOk) {
        size_t capacity = 0, seen = 0;
        ok = skip == 0 || appendLine(&kept, kHeader, kHeaderLength);
        status = eachRecord(&text, [&](const char* at, size_t length, const BackupRecord* record) {
            if (seen++ < skip) return true;
            if (skip) ok = ok && appendLine(&kept, at, length);
            if (ok && sameItemAndOutput(record, made)) ok = addToList(earlier, &capacity, record);
            return ok;
        });
        if (status == RecordOk && !ok) status = RecordUnavailable;
    }

    if (status == RecordOk) {
        Bytes added = {nullptr, 0, 0};
        bool written;
        if (text.complete == 0) {
            // A new (or empty) file: the header first.
            written = appendLine(&added, kHeader, kHeaderLength) && appendLine(&added, line, static_cast<size_t>(lineLength)) &&
                      rewrite(file, &added);
        } else if (skip) {
            written = appendLine(&kept, line, static_cast<size_t>(lineLength)) && rewrite(file, &kept);
        } else {
            // After the last complete line; a line cut short by a run that ended goes.
            written = appendLine(&added, line, static_cast<size_t>(lineLength)) && seekTo(file, text.complete) &&
                      writeAll(file, added.data, added.length) && SetEndOfFile(file);
        }
        if (added.data) HeapFree(GetProcessHeap(), 0, added.data);
        if (!written) status = RecordUnavailable;
    }
    if (kept.data) HeapFree(GetProcessHeap(), 0, kept.data);
    freeFileText(&text);
    CloseHandle(file);
    HeapFree(GetProcessHeap(), 0, line);
    if (status != RecordOk) freeRecordList(earlier);
    return status;
}

RecordStatus dropRecords(const wchar_t* recordPath, const BackupRecord* dropped, size_t count)
{
    if (count == 0) return RecordOk;
    if (!recordPath || !recordPath[0]) return RecordNoPlace;
    HANDLE file;
    RecordStatus status = openForThisRun(recordPath, &file);
    if (status != RecordOk) return status;
    FileText text;
    status = readWhole(file, &text);
    Bytes kept = {nullptr, 0, 0};
    bool ok = appendLine(&kept, kHeader, kHeaderLength);
    bool changed = false;
    if (status == RecordOk) {
        status = eachRecord(&text, [&](const char* at, size_t length, const BackupRecord* record) {
            for (size_t i = 0; i < count; ++i) {
                if (sameItemAndOutput(record, &dropped[i]) && wcscmp(record->backupPath, dropped[i].backupPath) == 0 &&
                    sameIdentity(&record->identity, &dropped[i].identity)) {
                    changed = true;
                    return true;
                }
            }
            ok = ok && appendLine(&kept, at, length);
            return true;
        });
    }
    if (status == RecordOk && changed && !(ok && rewrite(file, &kept))) status = RecordUnavailable;
    if (kept.data) HeapFree(GetProcessHeap(), 0, kept.data);
    freeFileText(&text);
    CloseHandle(file);
    return status;
}

void recordFilePath(wchar_t* out, size_t capacity)
{
    if (capacity == 0) return;
    out[0] = L'\0';
    const wchar_t* folder = g_settingsLocation.settingsFolder;
    if (!folder[0]) return;
    if (formatInto(out, capacity, L"%s%s", folder, kRecordFileName) >= static_cast<int>(capacity)) out[0] = L'\0';
}

void setRecordPause(RecordPause pause)
{
    g_pause = pause ? pause : sleepFor;
}
