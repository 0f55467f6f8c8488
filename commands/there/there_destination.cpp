// Destination rule of the destination commands (TazuThere and TazuThereZip), apart from
// TazuThere's core so that TazuThereZip links the rule without TazuThere's copy.
#include "there.h"

#include <shlwapi.h>

#include "backup_steps.h"
#include "command_texts.h"
#include "errors.h"
#include "message_box.h"
#include "run_state.h"
#include "settings.h"

namespace {

// Whether this pass asks for a folder, and with which folder preselected.
bool decideToAsk(wchar_t* initialFolder, size_t capacity)
{
    if (g_settings.selDir == 1 || g_settings.path[0] == L'\0') {
        suggestedFolder(initialFolder, capacity);
        return true;
    }
    if (PathIsDirectoryW(g_settings.path)) return false;

    int code = makeFolder(g_settings.path);
    if (code == 0) return false;
    wchar_t errorText[kErrorTextChars];
    ErrorCodeText(static_cast<DWORD>(code), g_settings.language, errorText, kErrorTextChars);
    showMessageF(MB_ICONERROR, g_settings.language, kFolderNotCreatedText, errorText, g_settings.path);
    copyText(initialFolder, capacity, g_settings.path);
    return true;
}

} // namespace

int destinationInBackupFolder(BackupItem*)
{
    if (g_run.chosenFolder[0] == L'\0') {
        wchar_t initial[kFolderChars];
        if (decideToAsk(initial, kFolderChars)) {
            int step = askForChosenFolder(initial);
            if (step != PassGoOn) return step;
        }
    }
    const wchar_t* folder = g_run.chosenFolder[0] != L'\0' ? g_run.chosenFolder : g_settings.path;
    if (copyText(g_run.destinationFolder, kFolderChars, folder) != 0 ||
        addTrailingBackslash(g_run.destinationFolder, kFolderChars) != 0)
        return PassFail;
    return PassGoOn;
}
