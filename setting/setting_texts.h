// Texts of the settings program that more than one window shows: the captions that follow the
// language (one table per page and one for the history dialog), the tab texts and the title.
#pragma once
#include <stddef.h>

#include "language.h"

// Title of the settings window and of every message box of the program.
extern const wchar_t kSettingTitle[];

// The project's web page as the build names it (the build setting VANTREL_PROJECT_URL); empty
// when the build names none.
extern const wchar_t kProjectPageUrl[];

// Without a page the link opens this file beside the programs, under a text that says so.
extern const wchar_t kReadmeFile[];   // "README.txt"
extern const BilingualText kReadmeLinkText;

// Room for what the link opens: a web address or a path.
constexpr size_t kLinkTargetChars = 2084;

// The link of the settings window: a page address is both its text and what it opens; without
// one (empty) it shows the read-me text of the language and opens the file in the program
// folder. *text points to a constant text or to pageUrl. Returns 0, or -1 (and an empty target)
// when the address or the file's path does not fit.
int composeProjectLink(const wchar_t* pageUrl, const wchar_t* programFolder, UiLanguage language,
                       const wchar_t** text, wchar_t* target, size_t capacity);

struct ControlCaption {
    int id;
    BilingualText text;
};

// Captions that the language switch sets, per window.
extern const ControlCaption kRegistrationPageCaptions[];
extern const size_t kRegistrationPageCaptionCount;
extern const ControlCaption kBackupPageCaptions[];
extern const size_t kBackupPageCaptionCount;
extern const ControlCaption kHistoryDialogCaptions[];
extern const size_t kHistoryDialogCaptionCount;

// Texts of the two tab items, page 0 first.
extern const BilingualText kTabTexts[2];

// The two items of the language drop-down, never translated: index 0 Japanese, 1 English.
extern const wchar_t* const kLanguageItems[2];
