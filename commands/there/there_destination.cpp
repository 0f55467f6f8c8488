// Destination rule of the destination-folder commands.
#include "there_destination.h"

#include <shlwapi.h>

#include "command_texts.h"
#include "errors.h"
#include "message_box.h"
#include "run_state.h"
#include "settings.h"

namespace {

// Whether this pass asks, and the dialog's initial folder when it does.
bool mustAsk(wchar_t* initialFolder, size_t capacity)
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

}  // namespace

int destinationInBackupFolder(BackupItem*)
{
    if (g_run.chosenFolder[0] == L'\0') {
        wchar_t initial[kFolderChars];
        if (mustAsk(initial, kFolderChars)) {
            int step = askForChosenFolder(initial);
            if (step != PassGoOn) return step;
        }
    }
    const wchar_t* folder = g_run.chosenFolder[0] != L'\0' ? g_run.chosenFolder : g_settings.path;
    if (copyText(g_run.destinationFolder, kFolderChars, folder) != 0) return PassFail;
    return addTrailingBackslash(g_run.destinationFolder, kFolderChars) == 0 ? PassGoOn : PassFail;
}
