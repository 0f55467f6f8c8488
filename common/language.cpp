// Language selection of all programs.
#include "language.h"

#include <windows.h>
#include <wchar.h>

namespace {
constexpr LANGID kJapaneseLangId = 1041;
}

const wchar_t* pickText(const BilingualText& text, UiLanguage language)
{
    return language == UiEnglish ? text.english : text.japanese;
}

UiLanguage interfaceLanguage()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return UiJapanese;
    typedef LANGID(WINAPI * GetUiLanguageFn)();
    auto getUiLanguage = reinterpret_cast<GetUiLanguageFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetUserDefaultUILanguage")));
    if (!getUiLanguage) return UiJapanese;
    return getUiLanguage() == kJapaneseLangId ? UiJapanese : UiEnglish;
}

UiLanguage languageFromSetting(const wchar_t* lang)
{
    return (lang && _wcsicmp(lang, L"en") == 0) ? UiEnglish : UiJapanese;
}
