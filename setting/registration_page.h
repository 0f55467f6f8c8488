// Registration page (page 0 of the settings window): the row icons and the two check boxes of
// the settings that the settings window saves.
#pragma once
#include <windows.h>

INT_PTR CALLBACK registrationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the two check boxes into the settings: "StartSetting" and "AutoClose".
void collectRegistrationPage(HWND page, int* startSetting, int* autoClose);
