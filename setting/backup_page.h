// Backup setting page (page 1 of the settings window): the destination folder and its history,
// the two switches of the destination commands, the strings added to names and the zero
// suppression of serial numbers.
#pragma once
#include <windows.h>

#include "language.h"
#include "settings.h"

INT_PTR CALLBACK backupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the page's controls into the record (destination, switches, added texts and choices,
// zero suppression).
void collectBackupPage(HWND page, SettingsRecord* record);

// Fills the destination list with the ten history slots again, keeping its selected index.
void refillDestinationList(HWND page);

// Fills both add-string pull-downs with their choices in the language, keeping their selection.
void relabelAddStringChoices(HWND page, UiLanguage language);
