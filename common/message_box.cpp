// Message boxes of the command programs: no owner, topmost, the program's name as title.
#include "message_box.h"

#include <stdarg.h>
#include <wchar.h>

namespace {
MessageBoxSink g_messageBoxSink = nullptr;
// Messages embed at most a few paths of composition length; longer texts are cut.
constexpr size_t kMessageChars = 4096;
}  // namespace

void setMessageBoxSink(MessageBoxSink sink)
{
    g_messageBoxSink = sink;
}

int showMessage(UINT iconAndButtons, const wchar_t* text)
{
    UINT style = iconAndButtons | MB_TOPMOST;
    const wchar_t* title = g_programName ? g_programName : L"";
    if (g_messageBoxSink) return g_messageBoxSink(style, title, text);
    return MessageBoxW(nullptr, text, title, style);
}

int showMessageF(UINT iconAndButtons, UiLanguage language, const BilingualText& format, ...)
{
    wchar_t text[kMessageChars];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, kMessageChars - 1, pickText(format, language), args);
    va_end(args);
    text[kMessageChars - 1] = L'\0';
    return showMessage(iconAndButtons, text);
}
