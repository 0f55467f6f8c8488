// The folder dialog of the copy and archive commands: the dialog itself, the folder it
// suggests, a pass's choice of the run's folder, and the re-selection after a failed write test.
#pragma once
#include <stddef.h>
#include <windows.h>

// The folder dialog: result receives the chosen folder path (no trailing backslash added), or
// stays unchanged when the user cancels or the choice has no file-system path; result is
// emptied when the user typed a folder that does not exist (then g_run.validateFailed is set
// and the "Selected folder does not exist." warning has been shown).
void chooseFolder(HWND owner, const wchar_t* initialFolder, wchar_t* result, size_t capacity);

// Initial folder of a re-selection: the chosen folder if set; else "Path" if it is a usable full
// path and exists; else the user's documents folder.
void suggestedFolder(wchar_t* out, size_t capacity);

// The folder dialog of a pass with the result window as owner: a typed folder that does not
// exist gives PassAgain; a cancelled dialog PassFail; otherwise the chosen folder (with a
// trailing backslash) is created when missing, and PassGoOn, or, when it cannot be created,
// the creation message and PassAgain with the chosen folder cleared.
int askForChosenFolder(const wchar_t* initialFolder);

// Re-selection after a failed write test: the "Can not backup." warning with the error text and
// the new path, then the folder dialog preselecting suggestedFolder, repeated while the user
// types folders that do not exist. Returns PassAgain with the chosen folder set (ending with a
// backslash), or PassFail when the dialog was cancelled.
int reselectAfterFailedWriteTest(const wchar_t* errorText, const wchar_t* newPath);
