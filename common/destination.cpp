// The destination folder's text: its normal form and the faults that keep it from being used.
#include "destination.h"

#include <wchar.h>

#include "paths.h"

const BilingualText kDestinationNotFullText = {
    L"バックアップ先のフォルダはフルパスで指定してください。\n(例: D:\\Backup\\ または \\\\server\\share\\Backup\\)\n\n%s",
    L"The backup destination folder must be a full path,\nsuch as D:\\Backup\\ or \\\\server\\share\\Backup\\.\n\n%s",
};
const BilingualText kDestinationCharactersText = {
    L"バックアップ先のフォルダのパスに使用できない文字が含まれています。\n\nNG : %s\n\n%s",
    L"The path of the backup destination folder holds characters that can not be used.\n\nNG : %s\n\n%s",
};

namespace {

constexpr wchar_t kIdeographicSpace = 0x3000;

bool isBlank(wchar_t c)
{
    return c == L' ' || c == kIdeographicSpace;
}

bool isDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "\\server\share\...": a server and a share, neither empty; the device forms "\\?\" and "\\.\"
// name no share.
bool isSharePath(const wchar_t* text)
{
    if (text[0] != L'\\' || text[1] != L'\\') return false;
    const wchar_t* server = text + 2;
    const wchar_t* serverEnd = wcschr(server, L'\\');
    if (!serverEnd || serverEnd == server) return false;
    if (serverEnd - server == 1 && (server[0] == L'?' || server[0] == L'.')) return false;
    const wchar_t* share = serverEnd + 1;
    return share[0] != L'\0' && share[0] != L'\\';
}

}  // namespace

bool isDriveOrSharePath(const wchar_t* path)
{
    if (!path) return false;
    return (isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') || isSharePath(path);
}

void trimDestinationBlanks(wchar_t* text)
{
    size_t length = wcslen(text);
    while (length && isBlank(text[length - 1])) text[--length] = L'\0';
    size_t start = 0;
    while (isBlank(text[start])) ++start;
    if (start) wmemmove(text, text + start, length - start + 1);
}

void normaliseDestination(wchar_t* text, size_t capacity)
{
    trimDestinationBlanks(text);
    addTrailingBackslash(text, capacity);
}

int destinationFault(const wchar_t* text, wchar_t* characters, size_t capacity)
{
    if (capacity) characters[0] = L'\0';
    if (!text[0]) return DestinationUsable;
    if (!isDriveOrSharePath(text)) return DestinationNotFull;
    const bool drivePath = text[0] != L'\\';
    // Past the drive's colon a colon would name a stream of a folder.
    const wchar_t* rest = drivePath ? text + 2 : text;
    if (listForbiddenCharacters(rest, PathBelowDriveCharacters, characters, capacity) > 0)
        return DestinationCharacters;
    return DestinationUsable;
}
