// Path helpers shared by all programs.
#include "paths.h"

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

int copyText(wchar_t* out, size_t capacity, const wchar_t* text)
{
    if (capacity == 0) return -1;
    size_t length = text ? wcslen(text) : 0;
    size_t kept = length < capacity ? length : capacity - 1;
    if (kept) wmemcpy(out, text, kept);
    out[kept] = L'\0';
    return kept == length ? 0 : -1;
}

int formatInto(wchar_t* out, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = _vscwprintf(format, measure);
    va_end(measure);
    if (capacity) {
        _vsnwprintf(out, capacity - 1, format, args);
        out[capacity - 1] = L'\0';
    }
    va_end(args);
    return length;
}

int addTrailingBackslash(wchar_t* path, size_t capacity)
{
    size_t length = wcslen(path);
    if (length == 0 || path[length - 1] == L'\\') return 0;
    if (length + 2 > capacity) return -1;
    path[length] = L'\\';
    path[length + 1] = L'\0';
    return 0;
}

void removeTrailingBackslash(wchar_t* path)
{
    size_t length = wcslen(path);
    if (length && path[length - 1] == L'\\') path[length - 1] = L'\0';
}

namespace {

// Copies count characters into a part of the given capacity; false when they do not fit.
bool setPart(wchar_t* part, size_t capacity, const wchar_t* from, size_t count)
{
    if (count >= capacity) return false;
    if (count) wmemcpy(part, from, count);
    part[count] = L'\0';
    return true;
}

void clearParts(PathParts* parts)
{
    parts->drive[0] = parts->folder[0] = parts->name[0] = parts->ext[0] = L'\0';
}

}  // namespace

int splitPath(const wchar_t* path, bool isFolder, PathParts* parts)
{
    clearParts(parts);
    size_t length = wcslen(path);
    if (length && path[length - 1] == L'\\') --length;

    size_t driveLength = (length >= 2 && path[1] == L':') ? 2 : 0;
    // The last component starts after the last backslash of the path (trailing one ignored).
    size_t nameStart = driveLength;
    for (size_t i = driveLength; i < length; ++i)
        if (path[i] == L'\\') nameStart = i + 1;

    size_t nameEnd = length;
    if (!isFolder) {
        for (size_t i = length; i > nameStart; --i) {
            if (path[i - 1] == L'.') {
                nameEnd = i - 1;
                break;
            }
        }
    }

    bool fits = setPart(parts->drive, sizeof parts->drive / sizeof(wchar_t), path, driveLength) &&
                setPart(parts->folder, sizeof parts->folder / sizeof(wchar_t), path + driveLength,
                        nameStart - driveLength) &&
                setPart(parts->name, sizeof parts->name / sizeof(wchar_t), path + nameStart,
                        nameEnd - nameStart) &&
                setPart(parts->ext, sizeof parts->ext / sizeof(wchar_t), path + nameEnd,
                        length - nameEnd);
    if (!fits) {
        clearParts(parts);
        return -1;
    }
    return 0;
}

int joinFolder(const PathParts* parts, wchar_t* out, size_t capacity)
{
    size_t driveLength = wcslen(parts->drive);
    size_t folderLength = wcslen(parts->folder);
    if (driveLength + folderLength + 2 > capacity) {
        if (capacity) out[0] = L'\0';
        return -1;
    }
    wmemcpy(out, parts->drive, driveLength);
    wmemcpy(out + driveLength, parts->folder, folderLength);
    out[driveLength + folderLength] = L'\0';
    return addTrailingBackslash(out, capacity);
}

bool pathExists(const wchar_t* path)
{
    if (!path || !path[0]) return false;
    // A search pattern may be as long as a settings path; longer ones cannot exist for us.
    wchar_t search[1024];
    if (copyText(search, sizeof search / sizeof search[0], path) != 0) return false;
    removeTrailingBackslash(search);
    if (!search[0]) return false;

    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(search, &found);
    if (handle != INVALID_HANDLE_VALUE) {
        FindClose(handle);
        return true;
    }
    DWORD searchError = GetLastError();
    if (GetFileAttributesW(search) == INVALID_FILE_ATTRIBUTES) return false;
    return searchError != ERROR_FILE_NOT_FOUND && searchError != ERROR_NO_MORE_FILES;
}

const wchar_t* lastComponent(const wchar_t* path)
{
    size_t length = wcslen(path);
    const wchar_t* start = path;
    for (size_t i = 0; i + 1 < length; ++i)
        if (path[i] == L'\\') start = path + i + 1;
    return start;
}

int runningProgramFolder(wchar_t* out, size_t capacity)
{
    wchar_t module[kPathChars];
    DWORD length = GetModuleFileNameW(nullptr, module, kPathChars);
    if (length == 0 || length >= kPathChars) {
        if (capacity) out[0] = L'\0';
        return -1;
    }
    wchar_t* lastSlash = wcsrchr(module, L'\\');
    if (!lastSlash) {
        if (capacity) out[0] = L'\0';
        return -1;
    }
    lastSlash[1] = L'\0';
    if (copyText(out, capacity, module) != 0) {
        out[0] = L'\0';
        return -1;
    }
    return 0;
}
