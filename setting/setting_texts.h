// Texts of the settings program that more than one window shows: the captions that follow the
// language (one table per page and one for the history dialog), the tab texts and the title.
#pragma once
#include <stddef.h>

#include "language.h"

// Title of the settings window and of every message box of the program.
extern const wchar_t kSettingTitle[];

// The maker's web page, opened by the link of the settings window.
extern const wchar_t kMakerPageUrl[];

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
