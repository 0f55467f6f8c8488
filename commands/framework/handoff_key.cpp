// Pre-backup hand-off: the per-process key.
#include "handoff_exchange.h"

#include <wchar.h>

#include "handoff_answer.h"

namespace {
const wchar_t kKeyFormat[] = L"ZEVRALD_%s_";
const wchar_t kKeyProduct[] = L"tazu";
}

int buildHandoffKey(const wchar_t* folderKeyText, uintptr_t mainWindow, wchar_t* key,
                    size_t capacity)
{
    if (capacity > kHandoffKeyChars) capacity = kHandoffKeyChars;
    wchar_t head[32];
    _snwprintf(head, 31, kKeyFormat, kKeyProduct);
    head[31] = L'\0';
    // Window handles carry 32 significant bits on both platforms.
    wchar_t tail[16];
    _snwprintf(tail, 15, L"_%x", static_cast<unsigned>(mainWindow));
    tail[15] = L'\0';

    size_t headLength = wcslen(head);
    size_t tailLength = wcslen(tail);
    if (capacity == 0 || headLength + tailLength + 1 > capacity) {
        if (capacity) key[0] = L'\0';
        return -1;
    }
    size_t textLength = wcslen(folderKeyText);
    size_t room = capacity - 1 - headLength - tailLength;
    if (textLength > room) textLength = room;

    wmemcpy(key, head, headLength);
    wmemcpy(key + headLength, folderKeyText, textLength);
    wmemcpy(key + headLength + textLength, tail, tailLength + 1);
    for (wchar_t* p = key; *p; ++p)
        if (*p == L' ') *p = L'_';
    return 0;
}
