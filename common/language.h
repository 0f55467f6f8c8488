// Language selection: every user-visible text exists in Japanese and English, and the active
// language picks one of the pair at the moment the text is built.
#pragma once

enum UiLanguage { UiJapanese = 0, UiEnglish = 1 };

// A text in both languages. Tables of these live beside the code that shows them.
struct BilingualText {
    const wchar_t* japanese;
    const wchar_t* english;
};

const wchar_t* pickText(const BilingualText& text, UiLanguage language);

// Language of the user's interface: Japanese when GetUserDefaultUILanguage says 1041 or cannot
// be asked (it is looked up by name, older systems lack it), else English.
UiLanguage interfaceLanguage();

// The "Lang" setting: "en" in any case selects English; every other value, empty included, Japanese.
UiLanguage languageFromSetting(const wchar_t* lang);
