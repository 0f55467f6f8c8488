// Backup setting page (page 1 of the settings window): the destination folder and its history,
// the two switches of the destination commands, the strings added to names and the zero
// suppression of serial numbers.
#pragma once
#include <windows.h>

#include "language.h"
#include "settings.h"

INT_PTR CALLBACK backupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the page's controls into the record (destination, switches, added texts and choices,
// zero suppression, the number of backups to keep: -1 when the field holds no such number).
void collectBackupPage(HWND page, SettingsRecord* record);

// Fills the destination list with the ten history slots again, keeping its selected index.
void refillDestinationList(HWND page);

// Fills both add-string pull-downs with their choices in the language, keeping their selection.
void relabelAddStringChoices(HWND page, UiLanguage language);

// Places the field of the number of backups to keep right after its label, whose width follows
// the language, and the words after the field right after it.
void fitKeepBackupsLine(HWND page);
