// Destination history dialog: the user reorders, deletes and edits the ten history slots on a
// working copy; OK gives the copy back to the settings and refills the page's list.
#pragma once
#include <windows.h>

// Opens the dialog, owned by the backup setting page, with the row firstRow selected (a negative
// row counts as 0). Enter and Escape do nothing while it is open; Ctrl+A selects a whole edit text.
void openHistoryDialog(HWND page, int firstRow);
