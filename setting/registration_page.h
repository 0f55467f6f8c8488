// Registration page (page 0 of the settings window): where each command is registered, the 18
// switches, "Execute" with its run over Send To, the desktop and (through the elevated helper)
// the context menu (or, for this user only, right here), the "OK" and "NG" labels, the result
// line and the details of a failure; and the three check boxes of the settings that the
// settings window saves.
#pragma once
#include <windows.h>

#include "command_table.h"
#include "elevation_handoff.h"

INT_PTR CALLBACK registrationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the three check boxes into the settings: "StartSetting", "AutoClose" and "UserMenu".
void collectRegistrationPage(HWND page, int* startSetting, int* autoClose, int* userMenu);

// The context-menu positions read at the last "Execute", rows in command-table order: what the
// settings window asks the elevated helper for.
const int* rememberedContextMenuPositions();

// Takes the outcome of the elevation hand-off that the settings window ran for the page: the
// helper's reply becomes the context-menu column of the results.
void storeElevationOutcome(const ElevationHandoffResult& outcome);

// Draws the row icons and the shield on "Execute" for the DPI of the page's monitor.
void applyRegistrationPageDpi(HWND page, int dpi);

// Writes the note under the "for this user only" box and the result line again, or the details
// while they are shown, in the current language.
void renderRegistrationResult(HWND page);
