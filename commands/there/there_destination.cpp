// Destination rule of the destination commands: "Path", created when missing, or a folder chosen
// during the run. Kept apart from TazuThere's core so that TazuThereZip links only this.
#include "there_destination.h"

#include <shlwapi.h>
#include <wchar.h>

#include "backup_steps.h"
#include "command_texts.h"
#include "destination.h"
#include "errors.h"
#include "message_box.h"
#include "run_state.h"
#include "settings.h"

namespace {

enum Decision { UsePath, AskForFolder, RefuseItem };

// Whether this pass asks for a folder, and with which folder preselected.
Decision decideToAsk(const BackupItem* item, wchar_t* initialFolder, size_t capacity)
{
    if (g_settings.selDir == 1 || g_settings.path[0] == L'\0') {
        suggestedFolder(initialFolder, capacity);
        return AskForFolder;
    }
    // A hand-edited "Path" too long for a folder path: creating it would make a chain of folders
    // that no backup can use. Nothing is created; the message, then the dialog.
    if (wcslen(g_settings.path) >= kPathChars) {
        wchar_t errorText[kErrorTextChars];
        ErrorCodeText(ERROR_FILENAME_EXCED_RANGE, g_settings.language, errorText, kErrorTextChars);
        showMessageF(MB_ICONERROR, g_settings.language, kFolderNotCreatedText, errorText, g_settings.path);
        suggestedFolder(initialFolder, capacity);
        return AskForFolder;
    }
    // A relative "Path" would put the backups below whatever folder the command runs in, and a
    // path with "|" or a stream's colon is refused only by the creation with a vaguer message:
    // its own message, then the dialog, which then does not offer "Path".
    wchar_t unusable[kForbiddenListChars];
    int fault = destinationFault(g_settings.path, unusable, kForbiddenListChars);
    if (fault != DestinationUsable) {
        if (fault == DestinationNotFull)
            showMessageF(MB_ICONERROR, g_settings.language, kDestinationNotFullText, g_settings.path);
        else
            showMessageF(MB_ICONERROR, g_settings.language, kDestinationCharactersText, unusable, g_settings.path);
        suggestedFolder(initialFolder, capacity);
        return AskForFolder;
    }
    // Refused before "Path" would be created inside the item.
    if (refuseDestinationInsideItem(item, g_settings.path) != PassGoOn) return RefuseItem;
    if (PathIsDirectoryW(g_settings.path)) return UsePath;

    int code = makeFolder(g_settings.path);
    if (code == 0) return UsePath;
    wchar_t errorText[kErrorTextChars];
    ErrorCodeText(static_cast<DWORD>(code), g_settings.language, errorText, kErrorTextChars);
    showMessageF(MB_ICONERROR, g_settings.language, kFolderNotCreatedText, errorText, g_settings.path);
    copyText(initialFolder, capacity, g_settings.path);
    return AskForFolder;
}

} // namespace

int destinationInBackupFolder(BackupItem* item)
{
    if (g_run.chosenFolder[0] == L'\0') {
        wchar_t initial[kFolderChars];
        Decision decision = decideToAsk(item, initial, kFolderChars);
        if (decision == RefuseItem) return PassFail;
        if (decision == AskForFolder) {
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
