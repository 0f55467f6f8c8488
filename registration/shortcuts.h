// Send To and desktop entries: shortcut files to a command program in the user's shell
// folders, found by their target whatever their name; and the place dispatcher that the
// registration page calls for one place and one command. All of it is TazuSetting's: shortcuts
// are per user and need no elevation. Failures are recorded in g_errorTrail.
#pragma once
#include <stddef.h>

#include "context_menu.h"
#include "paths.h"

// What the dispatcher and the shortcut operation are asked to do.
enum PlaceOperation { OperationRemove = 0, OperationRegister = 2, OperationCheck = 9 };

// Shell folders of the two shortcut places.
constexpr int kSendToFolderId = 9;    // CSIDL_SENDTO
constexpr int kDesktopFolderId = 0;   // CSIDL_DESKTOP

// Results: 0 success (or present for a check), 4 nothing there, 2 shortcuts found but none
// could be deleted, -1 failure.
constexpr int kShortcutNothingThere = 4;
constexpr int kShortcutNoneDeleted = 2;

// Runs one operation for a command (file name of the command table) in one place; the caption
// is already composed (caption in the page's language and the caption suffix). The context
// menu only knows the check here, in the classes of menuScope: its changes are carried out as
// a whole request (menu_request.h).
int dispatchPlaceOperation(int place, const wchar_t* fileName, const wchar_t* caption, int operation,
                           MenuScope menuScope);

// Path of a special folder (a CSIDL) into a buffer of kPathChars. Returns 0, or -1 with an
// empty folder.
int lookUpShellFolder(wchar_t* folder, int folderId);

// Check, register or remove the command's shortcuts in a folder. Registering replaces every
// shortcut of the command by one named after the caption.
int runShortcutOperation(const wchar_t* folder, const wchar_t* fileName, const wchar_t* caption,
                         int operation);

// Folder, a backslash unless the folder ends in one, the caption and ".lnk". Returns its
// length (the text is cut to the buffer).
int composeShortcutPath(const wchar_t* folder, const wchar_t* caption, wchar_t* out, size_t capacity);

// Target of the shortcut file `fileName` in `folder` into a buffer of kPathChars. Returns 0 or -1.
int readShortcutTarget(const wchar_t* folder, const wchar_t* fileName, wchar_t* target);
