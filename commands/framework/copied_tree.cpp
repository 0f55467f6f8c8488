// The check after a copy: every file and folder of the item in the copy, every file whole.
#include "copied_tree.h"

#include <windows.h>
#include <wchar.h>

#include "paths.h"

namespace {

const wchar_t kExtendedPrefix[] = L"\\\\?\\";
const wchar_t kExtendedUncPrefix[] = L"\\\\?\\UNC\\";

// One comparison: the two paths grow and shrink as the walk goes down and up.
struct TreeWalk {
    wchar_t* source;
    wchar_t* copy;
    size_t sourceRootLength;        // the item's own extended path
    const wchar_t* itemPath;        // as the user knows it, for the message
    wchar_t* difference;
    size_t differenceCapacity;
};

bool isDotEntry(const wchar_t* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// The item's path of the entry that the source path names now.
void noteDifference(TreeWalk* walk, size_t sourceLength)
{
    size_t capacity = walk->differenceCapacity;
    if (capacity == 0) return;
    copyText(walk->difference, capacity, walk->itemPath);
    removeTrailingBackslash(walk->difference);
    size_t used = wcslen(walk->difference);
    const wchar_t* relative = walk->source + walk->sourceRootLength;
    size_t relativeLength = sourceLength - walk->sourceRootLength;
    if (used + 1 >= capacity) return;
    size_t kept = relativeLength < capacity - 1 - used ? relativeLength : capacity - 1 - used;
    wmemcpy(walk->difference + used, relative, kept);
    walk->difference[used + kept] = L'\0';
}

ULONGLONG sizeOf(DWORD high, DWORD low)
{
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

// Whether the copy holds the source entry: the same kind and, for a file that is not a link, at
// least the size that the source's directory entry lists. The listed size of a file that
// another program is writing may lag behind its contents (and some file systems list 0 for
// files that do hold bytes), so a copy longer than the listed size is whole; a shorter one was
// cut.
bool copyHolds(const WIN32_FIND_DATAW& source, const wchar_t* copyPath)
{
    WIN32_FILE_ATTRIBUTE_DATA copy;
    if (!GetFileAttributesExW(copyPath, GetFileExInfoStandard, &copy)) return false;
    bool sourceIsFolder = (source.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool copyIsFolder = (copy.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (sourceIsFolder != copyIsFolder) return false;
    if (sourceIsFolder || (source.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    return sizeOf(copy.nFileSizeHigh, copy.nFileSizeLow) >= sizeOf(source.nFileSizeHigh, source.nFileSizeLow);
}

// Compares the folder that both paths name now. Returns CopyComplete or CopyIncomplete.
int compareFolder(TreeWalk* walk, size_t sourceLength, size_t copyLength, int depth)
{
    size_t patternLength = 0;
    if (!appendName(walk->source, sourceLength, L"*", &patternLength)) {
        noteDifference(walk, sourceLength);
        return CopyIncomplete;
    }
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW(walk->source, FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    DWORD listError = search == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    walk->source[sourceLength] = L'\0';
    if (search == INVALID_HANDLE_VALUE) {
        // A folder that lists nothing at all is empty; one that cannot be listed was not copied
        // whole either.
        if (listError == ERROR_FILE_NOT_FOUND || listError == ERROR_NO_MORE_FILES) return CopyComplete;
        noteDifference(walk, sourceLength);
        return CopyIncomplete;
    }

    int result = CopyComplete;
    do {
        if (isDotEntry(entry.cFileName)) continue;
        size_t entrySourceLength = 0, entryCopyLength = 0;
        bool fits = appendName(walk->source, sourceLength, entry.cFileName, &entrySourceLength);
        if (!fits || !appendName(walk->copy, copyLength, entry.cFileName, &entryCopyLength) ||
            !copyHolds(entry, walk->copy)) {
            noteDifference(walk, fits ? entrySourceLength : sourceLength);
            result = CopyIncomplete;
            break;
        }
        bool walkInto = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                        !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (walkInto) {
            if (depth + 1 > kMaxComparedDepth) {
                noteDifference(walk, entrySourceLength);
                result = CopyIncomplete;
                break;
            }
            result = compareFolder(walk, entrySourceLength, entryCopyLength, depth + 1);
            if (result != CopyComplete) break;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    walk->source[sourceLength] = L'\0';
    walk->copy[copyLength] = L'\0';
    return result;
}

}  // namespace

bool appendName(wchar_t* path, size_t length, const wchar_t* name, size_t* newLength)
{
    size_t nameLength = wcslen(name);
    if (length + 1 + nameLength + 1 > kLongPathChars) return false;
    path[length] = L'\\';
    wmemcpy(path + length + 1, name, nameLength + 1);
    *newLength = length + 1 + nameLength;
    return true;
}

int extendedFullPath(const wchar_t* path, wchar_t* out)
{
    wchar_t* full = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kLongPathChars * sizeof(wchar_t)));
    if (!full) return -1;
    DWORD length = GetFullPathNameW(path, kLongPathChars, full, nullptr);
    int rc = (length == 0 || length >= kLongPathChars) ? -1 : 0;
    if (rc == 0) {
        removeTrailingBackslash(full);
        rc = extendedLengthPath(full, out, kLongPathChars);
    }
    HeapFree(GetProcessHeap(), 0, full);
    return rc;
}

int extendedLengthPath(const wchar_t* fullPath, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    out[0] = L'\0';
    const wchar_t* prefix;
    const wchar_t* rest;
    if (wcsncmp(fullPath, kExtendedPrefix, 4) == 0) {
        prefix = L"";
        rest = fullPath;
    } else if (fullPath[0] == L'\\' && fullPath[1] == L'\\' && fullPath[2] != L'\0' && fullPath[2] != L'\\') {
        prefix = kExtendedUncPrefix;
        rest = fullPath + 2;
    } else if (((fullPath[0] >= L'A' && fullPath[0] <= L'Z') || (fullPath[0] >= L'a' && fullPath[0] <= L'z')) &&
               fullPath[1] == L':' && fullPath[2] == L'\\') {
        prefix = kExtendedPrefix;
        rest = fullPath;
    } else {
        return -1;
    }
    size_t prefixLength = wcslen(prefix);
    size_t restLength = wcslen(rest);
    if (prefixLength + restLength + 1 > capacity) return -1;
    wmemcpy(out, prefix, prefixLength);
    wmemcpy(out + prefixLength, rest, restLength + 1);
    return 0;
}

int compareCopiedTree(const wchar_t* itemPath, const wchar_t* copyPath, wchar_t* difference,
                      size_t differenceCapacity)
{
    if (differenceCapacity) difference[0] = L'\0';
    wchar_t* buffers = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, 2 * kLongPathChars * sizeof(wchar_t)));
    TreeWalk walk = {buffers, buffers ? buffers + kLongPathChars : nullptr, 0, itemPath, difference,
                     differenceCapacity};
    if (!buffers || extendedFullPath(itemPath, walk.source) != 0 || extendedFullPath(copyPath, walk.copy) != 0) {
        if (differenceCapacity) copyText(difference, differenceCapacity, itemPath);
        if (buffers) HeapFree(GetProcessHeap(), 0, buffers);
        return CopyIncomplete;
    }
    walk.sourceRootLength = wcslen(walk.source);

    int result = CopyIncomplete;
    WIN32_FIND_DATAW item;
    HANDLE search = FindFirstFileExW(walk.source, FindExInfoBasic, &item, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        noteDifference(&walk, walk.sourceRootLength);
    } else {
        FindClose(search);
        if (!copyHolds(item, walk.copy))
            noteDifference(&walk, walk.sourceRootLength);
        else if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            // The item itself is walked even when it is a link: the user chose what it leads to.
            result = compareFolder(&walk, walk.sourceRootLength, wcslen(walk.copy), 0);
        else
            result = CopyComplete;
    }
    HeapFree(GetProcessHeap(), 0, buffers);
    return result;
}
