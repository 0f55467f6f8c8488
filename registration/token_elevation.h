// Whether the running process holds an elevated token, and whether "this user's" classes of the
// process are the ones that the signed-in user's file manager shows. TazuUAC needs elevation to
// write the machine's entries; an elevated TazuSetting must not write "this user's" entries, as
// they would go where the desktop's file manager may never look (another account's classes after
// an elevation with an administrator's name and password).
#pragma once
#include <windows.h>

// 1 elevated, 0 not, -1 the system cannot tell (no elevation before the NT family's sixth
// version, or a token that cannot be asked).
int tokenElevation();

// Whether entries written for this user with the first token would not be the desktop's user's
// own: it is elevated while the desktop's token is not, or the two tokens are of different
// accounts, or it is elevated and the desktop's token cannot be asked (nullptr: it could not be
// opened). False where the first token cannot be asked.
bool userClassesDifferBetween(HANDLE ownToken, HANDLE desktopToken);

// userClassesDifferBetween for this process and the process of the desktop's shell. False where
// there is no desktop shell.
bool userClassesAreNotTheDesktops();
