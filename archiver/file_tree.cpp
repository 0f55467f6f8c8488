// Walks the items: a file gives one entry, a folder an entry for itself and for everything below
// it (empty folders included). The entries of each folder are sorted by name and followed by the
// contents of its subfolders, so the same tree always gives the same archive.
// Folder links (junctions, symbolic links) are entered like any folder, as a copy would do; a
// link whose target is one of the folders being walked would never end and fails the run. Other
// reparse points on folders (cloud placeholders and the like) are ordinary folders here.
#include "file_tree.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "archiver_api.h"

namespace {

const size_t kEntryChunk = 4096;
const size_t kNameBlock = 1 << 20;

uint64_t ticksOf(const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

void setTimes(ZipEntry* e, const FILETIME& created, const FILETIME& modified)
{
    e->created = ticksOf(created);
    e->modified = ticksOf(modified);
    FILETIME local;
    SYSTEMTIME st;
    if (FileTimeToLocalFileTime(&modified, &local) && FileTimeToSystemTime(&local, &st)) {
        dosDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, &e->dosDate, &e->dosTime);
    } else {
        dosDateTime(1980, 1, 1, 0, 0, 0, &e->dosDate, &e->dosTime);
    }
}

bool isDotName(const wchar_t* n) { return (n[0] == L'.' && !n[1]) || (n[0] == L'.' && n[1] == L'.' && !n[2]); }

bool isFolderLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Takes bytes of the budget; false when the list may not grow that much.
bool takeMemory(EntryList* list, size_t bytes)
{
    if (list->bytesHeld + bytes > list->budget) return false;
    list->bytesHeld += bytes;
    return true;
}

// Copies a name into the name blocks; null when the budget or the memory is exhausted.
const char* storeName(EntryList* list, const std::string& name)
{
    if (list->nameBlocks.empty() || list->nameBlockUsed + name.size() > list->nameBlockSize) {
        const size_t size = name.size() > kNameBlock ? name.size() : kNameBlock;
        if (!takeMemory(list, size)) return nullptr;
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) return nullptr;
        list->nameBlocks.push_back(block);
        list->nameBlockUsed = 0;
        list->nameBlockSize = size;
    }
    char* at = list->nameBlocks.back() + list->nameBlockUsed;
    std::memcpy(at, name.data(), name.size());
    list->nameBlockUsed += name.size();
    return at;
}

bool appendEntry(EntryList* list, const ZipEntry& e)
{
    if (list->count == list->chunks.size() * kEntryChunk) {
        if (!takeMemory(list, kEntryChunk * sizeof(ZipEntry))) return false;
        ZipEntry* chunk = static_cast<ZipEntry*>(std::malloc(kEntryChunk * sizeof(ZipEntry)));
        if (!chunk) return false;
        list->chunks.push_back(chunk);
    }
    list->chunks[list->count / kEntryChunk][list->count % kEntryChunk] = e;
    ++list->count;
    InterlockedExchange(&list->published, static_cast<LONG>(list->count));
    return true;
}

std::wstring widen(const char* text, size_t length)
{
    if (!length) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), &out[0], n);
    return out;
}

struct FolderIdentity {
    bool known = false;
    DWORD volume = 0, high = 0, low = 0;
};

// The folder a path leads to (through any links), as the file system identifies it.
bool identify(const std::wstring& path, FolderIdentity* id)
{
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    id->known = true;
    id->volume = info.dwVolumeSerialNumber;
    id->high = info.nFileIndexHigh;
    id->low = info.nFileIndexLow;
    return true;
}

struct Walk {
    EntryList* list;
    uint64_t* totalBytes;
    volatile LONG* cancel;
    WalkFailure* failure;
    const WalkSide* side;
    FolderIdentity skipFolder;      // the folder of side->skipPath, known once a link needs it
    const wchar_t* skipName;        // its name in that folder
    int linksOnChain;               // folders being walked that were entered through a link
    uint16_t item;
    // The folders being walked, outermost first, with their identities once a link needed them.
    std::vector<std::wstring> chain;
    std::vector<FolderIdentity> identities;
};

int fail(Walk* w, int code, const std::wstring& path, DWORD systemError)
{
    w->failure->path = path;
    w->failure->systemError = systemError;
    return code;
}

// A link about to be entered: 0 when its target is none of the folders being walked.
int checkLink(Walk* w, const std::wstring& link)
{
    FolderIdentity target;
    if (!identify(link, &target)) return fail(w, ARCHIVER_ERROR_ITEM_READ, link, GetLastError());
    for (size_t i = 0; i < w->chain.size(); ++i) {
        FolderIdentity& id = w->identities[i];
        if (!id.known && !identify(w->chain[i], &id)) return fail(w, ARCHIVER_ERROR_ITEM_READ, w->chain[i], GetLastError());
        if (id.volume == target.volume && id.high == target.high && id.low == target.low) {
            return fail(w, ARCHIVER_ERROR_LINK_LOOP, link, 0);
        }
    }
    return ARCHIVER_OK;
}

// Fills e from a directory entry; the name is stored in the list.
int makeEntry(Walk* w, const std::wstring& path, const std::string& name, DWORD attributes, const FILETIME& created,
              const FILETIME& modified, DWORD sizeHigh, DWORD sizeLow, ZipEntry* e)
{
    if (name.size() >= kZip16Limit) return fail(w, ARCHIVER_ERROR_ITEM_READ, path, ERROR_FILENAME_EXCED_RANGE);
    *e = ZipEntry();
    e->name = storeName(w->list, name);
    if (!e->name) return fail(w, ARCHIVER_ERROR_INTERNAL, path, ERROR_NOT_ENOUGH_MEMORY);
    e->nameLength = static_cast<uint16_t>(name.size());
    e->item = w->item;
    e->isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e->attributes = static_cast<uint8_t>(attributes & kDosAttributeBits);
    setTimes(e, created, modified);
    if (!e->isFolder) {
        e->uncompressedSize = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
        *w->totalBytes += e->uncompressedSize;
    }
    return ARCHIVER_OK;
}

// A folder's entry while its folder is listed: links are told apart by the attributes the listing
// gave, which the entry does not keep (it holds the MS-DOS bits only).
struct Child {
    ZipEntry entry;
    bool link;
};

bool childBefore(const Child& a, const Child& b)
{
    return nameBefore(a.entry.name, a.entry.nameLength, b.entry.name, b.entry.nameLength);
}

int listFolder(Walk* w, const std::wstring& folder, const std::string& prefix, bool isLink);

// Whether the file to leave out lies in folder: by its path, and below a link (which can lead
// to the same folder by another path) by the folder's identity.
bool holdsSkippedFile(Walk* w, const std::wstring& folder)
{
    if (!w->skipName) return false;
    const std::wstring& skip = w->side->skipPath;
    if (skip.size() > folder.size() && skip[folder.size()] == L'\\' &&
        _wcsnicmp(skip.c_str(), folder.c_str(), folder.size()) == 0 && skip.c_str() + folder.size() + 1 == w->skipName) {
        return true;
    }
    if (!w->linksOnChain) return false;
    if (!w->skipFolder.known && !identify(skip.substr(0, w->skipName - skip.c_str() - 1), &w->skipFolder)) return false;
    FolderIdentity here;
    return identify(folder, &here) && here.volume == w->skipFolder.volume && here.high == w->skipFolder.high &&
           here.low == w->skipFolder.low;
}

int walkFolder(Walk* w, const std::wstring& folder, const std::string& prefix, bool isLink)
{
    if (*w->cancel) return ARCHIVER_CANCELLED;
    if (isLink) {
        int rc = checkLink(w, folder);
        if (rc != ARCHIVER_OK) return rc;
    }
    w->linksOnChain += isLink ? 1 : 0;
    int rc = listFolder(w, folder, prefix, isLink);
    w->linksOnChain -= isLink ? 1 : 0;
    return rc;
}

int listFolder(Walk* w, const std::wstring& folder, const std::string& prefix, bool isLink)
{
    std::vector<Child> children;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (!isLink && (err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES)) return ARCHIVER_OK;
        return fail(w, ARCHIVER_ERROR_ITEM_READ, folder, err);
    }
    int rc = ARCHIVER_OK;
    std::string name;
    // The archive being written into this folder is not part of it.
    const bool skipHere = holdsSkippedFile(w, folder);
    do {
        if (isDotName(fd.cFileName)) continue;
        if (skipHere && _wcsicmp(w->skipName, fd.cFileName) == 0) continue;
        const bool isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!zipName(fd.cFileName, &name)) {
            rc = fail(w, ARCHIVER_ERROR_NAME, folder + L"\\" + fd.cFileName, ERROR_NO_UNICODE_TRANSLATION);
            break;
        }
        name.insert(0, prefix);
        if (isFolder) name += '/';
        Child c;
        c.link = isFolderLink(fd.dwFileAttributes);
        rc = makeEntry(w, folder + L"\\" + fd.cFileName, name, fd.dwFileAttributes, fd.ftCreationTime,
                       fd.ftLastWriteTime, fd.nFileSizeHigh, fd.nFileSizeLow, &c.entry);
        if (rc != ARCHIVER_OK) break;
        if (!takeMemory(w->list, sizeof(Child))) {
            rc = fail(w, ARCHIVER_ERROR_INTERNAL, folder, ERROR_NOT_ENOUGH_MEMORY);
            break;
        }
        children.push_back(c);
    } while (FindNextFileW(h, &fd));
    DWORD err = rc == ARCHIVER_OK ? GetLastError() : ERROR_NO_MORE_FILES;
    FindClose(h);
    w->list->bytesHeld -= children.size() * sizeof(Child);
    if (rc != ARCHIVER_OK) return rc;
    if (err != ERROR_NO_MORE_FILES) return fail(w, ARCHIVER_ERROR_ITEM_READ, folder, err);

    std::sort(children.begin(), children.end(), childBefore);
    for (const Child& c : children) {
        if (!appendEntry(w->list, c.entry)) return fail(w, ARCHIVER_ERROR_INTERNAL, folder, ERROR_NOT_ENOUGH_MEMORY);
    }
    if (w->side && w->side->published) SetEvent(w->side->published);
    // The files of this folder are listed: only its folders are needed further down.
    children.erase(std::remove_if(children.begin(), children.end(), [](const Child& c) { return !c.entry.isFolder; }),
                   children.end());
    children.shrink_to_fit();
    w->chain.push_back(folder);
    w->identities.push_back(FolderIdentity());
    for (const Child& c : children) {
        const ZipEntry& e = c.entry;
        // The child's own name: after the prefix, without the closing '/'.
        const std::wstring child = widen(e.name + prefix.size(), e.nameLength - prefix.size() - 1);
        rc = walkFolder(w, folder + L"\\" + child, std::string(e.name, e.nameLength), c.link);
        if (rc != ARCHIVER_OK) break;
    }
    w->chain.pop_back();
    w->identities.pop_back();
    return rc;
}

std::wstring fullPathOf(const std::wstring& item)
{
    wchar_t small[MAX_PATH];
    DWORD needed = GetFullPathNameW(item.c_str(), MAX_PATH, small, nullptr);
    if (needed >= MAX_PATH) {
        std::vector<wchar_t> big(needed + 1);
        needed = GetFullPathNameW(item.c_str(), needed + 1, big.data(), nullptr);
        return needed ? std::wstring(big.data(), needed) : std::wstring();
    }
    return needed ? std::wstring(small, needed) : std::wstring();
}

int addItem(Walk* w, const std::wstring& item)
{
    const std::wstring full = fullPathOf(item);
    if (full.empty()) return fail(w, ARCHIVER_ERROR_ITEM_NOT_FOUND, item, GetLastError());
    std::string name;
    if (!zipName(itemArchiveName(full), &name)) return fail(w, ARCHIVER_ERROR_NAME, item, ERROR_NO_UNICODE_TRANSLATION);
    std::wstring path = extendedPath(full);
    while (path.size() > 7 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        DWORD err = GetLastError();
        return fail(w, (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_INVALID_NAME ||
                        err == ERROR_BAD_NETPATH)
                           ? ARCHIVER_ERROR_ITEM_NOT_FOUND
                           : ARCHIVER_ERROR_ITEM_READ,
                    item, err);
    }
    ItemRoot root;
    root.path = path;
    root.nameLength = name.size();
    w->list->items.push_back(root);
    w->item = static_cast<uint16_t>(w->list->items.size() - 1);
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder) name += '/';
    ZipEntry e;
    int rc = makeEntry(w, item, name, data.dwFileAttributes, data.ftCreationTime, data.ftLastWriteTime,
                       data.nFileSizeHigh, data.nFileSizeLow, &e);
    if (rc != ARCHIVER_OK) return rc;
    if (!appendEntry(w->list, e)) return fail(w, ARCHIVER_ERROR_INTERNAL, item, ERROR_NOT_ENOUGH_MEMORY);
    if (!isFolder) return ARCHIVER_OK;
    return walkFolder(w, path, name, isFolderLink(data.dwFileAttributes));
}

}  // namespace

void entryListInit(EntryList* list, uint64_t budget)
{
    entryListFree(list);
    list->budget = budget;
    list->chunks.reserve(static_cast<size_t>(budget / (kEntryChunk * sizeof(ZipEntry))) + 1);
}

void entryListFree(EntryList* list)
{
    for (ZipEntry* c : list->chunks) std::free(c);
    for (char* b : list->nameBlocks) std::free(b);
    list->chunks.clear();
    list->nameBlocks.clear();
    list->items.clear();
    list->count = 0;
    list->published = 0;
    list->nameBlockUsed = list->nameBlockSize = 0;
    list->bytesHeld = 0;
}

ZipEntry& entryAt(EntryList* list, size_t index) { return list->chunks[index / kEntryChunk][index % kEntryChunk]; }

std::wstring sourcePathOf(const EntryList& list, const ZipEntry& e)
{
    const ItemRoot& root = list.items[e.item];
    size_t rest = e.nameLength > root.nameLength + 1 ? e.nameLength - root.nameLength - 1 : 0;
    if (rest && e.name[e.nameLength - 1] == '/') --rest;
    if (!rest) return root.path;
    std::wstring tail = widen(e.name + root.nameLength + 1, rest);
    std::replace(tail.begin(), tail.end(), L'/', L'\\');
    return root.path + L"\\" + tail;
}

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

std::wstring shownPath(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

bool zipName(const std::wstring& name, std::string* out)
{
    out->clear();
    if (name.empty()) return true;
    std::wstring slashed = name;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    const int length = static_cast<int>(slashed.size());
    int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, slashed.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out->resize(n);
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, slashed.data(), length, &(*out)[0], n, nullptr, nullptr) == n;
}

bool nameBefore(const char* a, size_t aLength, const char* b, size_t bLength)
{
    const size_t n = aLength < bLength ? aLength : bLength;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return x < y;
    }
    if (aLength != bLength) return aLength < bLength;
    return std::memcmp(a, b, n) < 0;
}

int collectEntries(const std::vector<std::wstring>& items, EntryList* entries, uint64_t* totalBytes,
                   volatile LONG* cancel, WalkFailure* failure, const WalkSide* side)
{
    Walk w{entries, totalBytes, cancel, failure, side, FolderIdentity(), nullptr, 0, 0, {}, {}};
    if (side && !side->skipPath.empty()) {
        const size_t slash = side->skipPath.find_last_of(L'\\');
        if (slash != std::wstring::npos) w.skipName = side->skipPath.c_str() + slash + 1;
    }
    // The budget keeps the list far below what the process can have, so the standard containers
    // of the walk do not run out; should they all the same, the run ends with an error rather
    // than an abort.
    try {
        entries->items.reserve(items.size());
        for (const std::wstring& item : items) {
            if (entries->items.size() >= kZip16Limit) return fail(&w, ARCHIVER_ERROR_COMMAND_LINE, item, 0);
            int rc = addItem(&w, item);
            if (rc != ARCHIVER_OK) return rc;
        }
    } catch (const std::bad_alloc&) {
        return fail(&w, ARCHIVER_ERROR_INTERNAL, w.chain.empty() ? std::wstring() : w.chain.back(),
                    ERROR_NOT_ENOUGH_MEMORY);
    }
    failure->path.clear();
    return ARCHIVER_OK;
}
