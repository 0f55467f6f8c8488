// The verify pass of the copy commands: the item and its copy read and compared file by file.
#include "copy_verify.h"

#include <string.h>
#include <wchar.h>

#include "command_texts.h"
#include "copied_tree.h"
#include "errors.h"
#include "framework.h"
#include "message_box.h"
#include "result_window.h"
#include "run_state.h"
#include "settings.h"

namespace {

volatile LONG g_cancelled = 0;
// Set while a copy is verified and until it is trusted or removed.
volatile LONG g_hold = 0;
BeforeVerifyHook g_beforeVerify = nullptr;

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One pass: the two paths grow and shrink as the walk goes down and up.
struct VerifyWalk {
    wchar_t* source;
    wchar_t* copy;
    size_t sourceRootLength;        // the item's own extended path
    const wchar_t* itemPath;        // as the user knows it, for the message
    BYTE* sourceBuffer;             // kVerifyChunkBytes each, page aligned
    BYTE* copyBuffer;
    CopyVerify* verify;
};

bool isDotEntry(const wchar_t* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Ends the pass with a result about the entry that the source path names now.
int stopAt(VerifyWalk* walk, size_t sourceLength, int result, DWORD systemError)
{
    CopyVerify* verify = walk->verify;
    const size_t capacity = sizeof verify->file / sizeof verify->file[0];
    copyText(verify->file, capacity, walk->itemPath);
    removeTrailingBackslash(verify->file);
    size_t used = wcslen(verify->file);
    size_t relativeLength = sourceLength - walk->sourceRootLength;
    if (used + 1 < capacity) {
        size_t kept = relativeLength < capacity - 1 - used ? relativeLength : capacity - 1 - used;
        wmemcpy(verify->file + used, walk->source + walk->sourceRootLength, kept);
        verify->file[used + kept] = L'\0';
    }
    verify->systemError = systemError;
    return result;
}

BOOL systemRead(HANDLE file, void* buffer, DWORD length, DWORD* got, bool)
{
    return ReadFile(file, buffer, length, got, nullptr);
}

CopyReadCall g_copyRead = systemRead;

// Reads up to length bytes; fewer only at the end of the file. 0 or the system error.
DWORD readChunk(HANDLE file, BYTE* buffer, DWORD length, DWORD* got, CopyReadCall read)
{
    *got = 0;
    while (*got < length) {
        DWORD n = 0;
        if (!read(file, buffer + *got, length - *got, &n, false)) {
            DWORD error = GetLastError();
            return error ? error : ERROR_READ_FAULT;
        }
        if (n == 0) break;
        *got += n;
    }
    return 0;
}

// The same past the cache, where every read must ask for whole sectors into an aligned buffer:
// the reads go on only while what came back keeps them whole (a page is a multiple of every
// sector it serves); a count that does not is the file's tail.
DWORD readAlignedChunk(HANDLE file, BYTE* buffer, DWORD length, DWORD* got)
{
    *got = 0;
    while (*got < length) {
        DWORD n = 0;
        if (!g_copyRead(file, buffer + *got, length - *got, &n, true)) {
            DWORD error = GetLastError();
            return error ? error : ERROR_READ_FAULT;
        }
        *got += n;
        if (n == 0 || n % kVerifyAlignment != 0) break;
    }
    return 0;
}

HANDLE openThroughCache(const wchar_t* path, DWORD share)
{
    return CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// The copy, read past the cache where its volume allows it.
HANDLE openCopy(const wchar_t* path, bool* unbuffered)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    *unbuffered = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        file = openThroughCache(path, FILE_SHARE_READ);
    return file;
}

// The next chunk of the copy from offset. An unbuffered read that the volume refuses for its
// alignment goes on through the cache from the same offset.
DWORD readCopyChunk(HANDLE* copy, bool* unbuffered, const wchar_t* path, ULONGLONG offset, BYTE* buffer, DWORD* got)
{
    if (!*unbuffered) return readChunk(*copy, buffer, kVerifyChunkBytes, got, g_copyRead);
    DWORD error = readAlignedChunk(*copy, buffer, kVerifyChunkBytes, got);
    if (error != ERROR_INVALID_PARAMETER) return error;
    HANDLE cached = openThroughCache(path, FILE_SHARE_READ);
    if (cached == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(*copy);
    *copy = cached;
    *unbuffered = false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(cached, at, nullptr, FILE_BEGIN)) return GetLastError();
    return readChunk(cached, buffer, kVerifyChunkBytes, got, g_copyRead);
}

// Compares the file that both paths name now.
int compareFile(VerifyWalk* walk, size_t sourceLength)
{
    HANDLE source = openThroughCache(walk->source, kShareAll);
    if (source == INVALID_HANDLE_VALUE) return stopAt(walk, sourceLength, VerifyUnreadable, GetLastError());
    bool unbuffered = false;
    HANDLE copy = openCopy(walk->copy, &unbuffered);
    if (copy == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(source);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return stopAt(walk, sourceLength, VerifyDifferent, 0);
        return stopAt(walk, sourceLength, VerifyUnreadable, error);
    }

    int result = VerifyMatch;
    LARGE_INTEGER sourceSize, copySize;
    if (!GetFileSizeEx(source, &sourceSize) || !GetFileSizeEx(copy, &copySize)) {
        result = stopAt(walk, sourceLength, VerifyUnreadable, GetLastError());
    } else if (sourceSize.QuadPart != copySize.QuadPart) {
        result = stopAt(walk, sourceLength, VerifyDifferent, 0);
    } else {
        const ULONGLONG size = static_cast<ULONGLONG>(sourceSize.QuadPart);
        ULONGLONG offset = 0;
        while (offset < size) {
            if (g_cancelled) {
                result = VerifyCancelled;
                break;
            }
            const DWORD want = size - offset < kVerifyChunkBytes ? static_cast<DWORD>(size - offset) : kVerifyChunkBytes;
            DWORD gotSource = 0, gotCopy = 0;
            DWORD error = readChunk(source, walk->sourceBuffer, want, &gotSource, systemRead);
            if (!error) error = readCopyChunk(&copy, &unbuffered, walk->copy, offset, walk->copyBuffer, &gotCopy);
            if (error) {
                result = stopAt(walk, sourceLength, VerifyUnreadable, error);
                break;
            }
            // A side that ends early was cut (or the item changed) since the sizes were taken.
            if (gotSource != want || gotCopy < want || memcmp(walk->sourceBuffer, walk->copyBuffer, want) != 0) {
                result = stopAt(walk, sourceLength, VerifyDifferent, 0);
                break;
            }
            offset += want;
            walk->verify->bytesCompared += want;
        }
    }
    CloseHandle(copy);
    CloseHandle(source);
    return result;
}

// Compares the folder that both paths name now, entry by entry.
int verifyFolder(VerifyWalk* walk, size_t sourceLength, size_t copyLength, int depth)
{
    size_t patternLength = 0;
    if (!appendName(walk->source, sourceLength, L"*", &patternLength))
        return stopAt(walk, sourceLength, VerifyUnreadable, ERROR_FILENAME_EXCED_RANGE);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW(walk->source, FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    DWORD listError = search == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    walk->source[sourceLength] = L'\0';
    if (search == INVALID_HANDLE_VALUE) {
        if (listError == ERROR_FILE_NOT_FOUND || listError == ERROR_NO_MORE_FILES) return VerifyMatch;
        return stopAt(walk, sourceLength, VerifyUnreadable, listError);
    }

    int result = VerifyMatch;
    bool listed = true;
    do {
        if (isDotEntry(entry.cFileName)) continue;
        if (g_cancelled) {
            result = VerifyCancelled;
            break;
        }
        size_t entrySourceLength = 0, entryCopyLength = 0;
        if (!appendName(walk->source, sourceLength, entry.cFileName, &entrySourceLength) ||
            !appendName(walk->copy, copyLength, entry.cFileName, &entryCopyLength)) {
            result = stopAt(walk, sourceLength, VerifyUnreadable, ERROR_FILENAME_EXCED_RANGE);
            break;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Every folder of the item is a folder of the copy, an empty one too.
            DWORD copied = GetFileAttributesW(walk->copy);
            if (copied == INVALID_FILE_ATTRIBUTES || !(copied & FILE_ATTRIBUTE_DIRECTORY)) {
                result = stopAt(walk, entrySourceLength, VerifyDifferent, 0);
                break;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            result = depth + 1 > kMaxComparedDepth ? stopAt(walk, entrySourceLength, VerifyDifferent, 0)
                                                   : verifyFolder(walk, entrySourceLength, entryCopyLength, depth + 1);
        } else {
            result = compareFile(walk, entrySourceLength);
        }
        if (result != VerifyMatch) break;
    } while ((listed = FindNextFileW(search, &entry) != 0));
    // A listing that ended on an error would leave files unread.
    DWORD nextError = listed ? 0 : GetLastError();
    FindClose(search);
    walk->source[sourceLength] = L'\0';
    walk->copy[copyLength] = L'\0';
    if (result == VerifyMatch && !listed && nextError != ERROR_NO_MORE_FILES)
        result = stopAt(walk, sourceLength, VerifyUnreadable, nextError);
    return result;
}

}  // namespace

int verifyCopiedTree(const wchar_t* itemPath, const wchar_t* copyPath, CopyVerify* verify)
{
    verify->result = VerifyMatch;
    verify->file[0] = L'\0';
    verify->systemError = 0;
    verify->bytesCompared = 0;

    wchar_t* paths = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, 2 * kLongPathChars * sizeof(wchar_t)));
    BYTE* buffers = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * static_cast<SIZE_T>(kVerifyChunkBytes),
                                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    VerifyWalk walk = {paths, paths ? paths + kLongPathChars : nullptr, 0, itemPath, buffers,
                       buffers ? buffers + kVerifyChunkBytes : nullptr, verify};
    int result = VerifyUnreadable;
    if (!paths || !buffers) {
        copyText(verify->file, sizeof verify->file / sizeof verify->file[0], itemPath);
        verify->systemError = ERROR_NOT_ENOUGH_MEMORY;
    } else if (extendedFullPath(itemPath, walk.source) != 0 || extendedFullPath(copyPath, walk.copy) != 0) {
        copyText(verify->file, sizeof verify->file / sizeof verify->file[0], itemPath);
        verify->systemError = ERROR_FILENAME_EXCED_RANGE;
    } else {
        walk.sourceRootLength = wcslen(walk.source);
        WIN32_FIND_DATAW item;
        HANDLE search = FindFirstFileExW(walk.source, FindExInfoBasic, &item, FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            result = stopAt(&walk, walk.sourceRootLength, VerifyUnreadable, GetLastError());
        } else {
            FindClose(search);
            // The item itself is walked even when it is a link: the user chose what it leads to.
            result = (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                         ? verifyFolder(&walk, walk.sourceRootLength, wcslen(walk.copy), 0)
                         : compareFile(&walk, walk.sourceRootLength);
        }
    }
    if (buffers) VirtualFree(buffers, 0, MEM_RELEASE);
    if (paths) HeapFree(GetProcessHeap(), 0, paths);
    verify->result = result;
    return result;
}

int verifyCopyWhenAsked(const wchar_t* itemPath, const wchar_t* copyPath, CopyVerify* verify)
{
    memset(verify, 0, sizeof *verify);
    verify->result = VerifyMatch;
    if (g_settings.verify != 1) return VerifyMatch;
    InterlockedExchange(&g_hold, 1);
    verify->ran = true;
    setVerifyPhase(true);
    if (g_beforeVerify) g_beforeVerify(itemPath, copyPath);
    if (g_cancelled)
        verify->result = VerifyCancelled;
    else
        verifyCopiedTree(itemPath, copyPath, verify);
    setVerifyPhase(false);
    return verify->result;
}

void releaseCopyVerifyHold()
{
    InterlockedExchange(&g_hold, 0);
}

void reportCopyVerify(const wchar_t* itemPath, const CopyVerify* verify)
{
    if (!verify->ran) return;
    const UiLanguage language = g_settings.language;
    if (verify->result == VerifyMatch) {
        noteVerified(itemPath, verify->bytesCompared, kCopyVerifiedSentence);
    } else if (verify->result == VerifyDifferent) {
        showMessageF(MB_ICONERROR, language, kCopyVerifyDifferentText, verify->file);
    } else if (verify->result == VerifyUnreadable) {
        wchar_t error[256];
        SystemErrorText(verify->systemError, language, error, sizeof error / sizeof error[0]);
        showMessageF(MB_ICONERROR, language, kCopyVerifyUnreadableText, verify->file, error);
    }
}

void setCopyVerifyCancelled(bool cancelled)
{
    InterlockedExchange(&g_cancelled, cancelled ? 1 : 0);
}

void awaitCopyVerifyHold(DWORD timeoutMs)
{
    if (!g_hold) return;
    if (g_resultWindow) ShowWindow(g_resultWindow, SW_HIDE);
    const DWORD start = GetTickCount();
    // The worker may send to this thread's windows while it removes the copy (the names line of
    // a next item, say): those messages are answered, nothing else is dispatched.
    while (g_hold && GetTickCount() - start < timeoutMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void setBeforeVerifyHook(BeforeVerifyHook hook)
{
    g_beforeVerify = hook;
}

void setCopyReadCall(CopyReadCall call)
{
    g_copyRead = call ? call : systemRead;
}
