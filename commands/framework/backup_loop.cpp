// The loop of one item.
#include "backup_loop.h"

#include <string.h>

#include "backup_turn.h"
#include "command_texts.h"
#include "final_path.h"
#include "folder_dialog.h"
#include "message_box.h"
#include "new_path_claim.h"
#include "older_backups.h"
#include "path_rules.h"
#include "run_state.h"
#include "settings.h"

namespace {

BeforeOperationHook g_beforeOperation;

int collisionOrFail(BackupItem* item, const wchar_t* newPath)
{
    return applyCollisionRule(newPath, &item->collisions, &g_settings) == CollisionGiveUp ? PassFail : PassAgain;
}

}  // namespace

int composeFreeNewPath(BackupItem* item, OutputKind output, wchar_t* newPath, size_t capacity)
{
    size_t length = 0;
    if (composeBackupPath(g_run.destinationFolder, &item->parts, item->kind, output, &g_settings, newPath,
                          capacity, &length) != NamingOk) {
        showSerialOverflowMessage(g_settings.language);
        return PassFail;
    }
    copyText(g_run.lastNewPath, kPathChars, newPath);
    if (checkNewPathLength(newPath, length, item->kind, output, g_settings.language) != 0) return PassFail;
    // "COM" with the serial number 1, or a free text "NUL." before the date, makes a device's
    // name: the collision rule would find the device taken sixty times over.
    if (namesReservedDevice(newPath)) {
        wchar_t name[kPathChars];
        copyText(name, kPathChars, lastComponent(newPath));
        removeTrailingBackslash(name);
        showMessageF(MB_ICONERROR, g_settings.language, kReservedBackupNameText, name, item->path);
        return PassFail;
    }

    int step = applyCollisionRule(newPath, &item->collisions, &g_settings);
    if (step == CollisionGiveUp) return PassFail;
    return step == CollisionRetry ? PassAgain : PassGoOn;
}

void setBeforeOperationHook(BeforeOperationHook hook)
{
    g_beforeOperation = hook;
}

int destinationBesideItem(BackupItem* item)
{
    if (g_run.chosenFolder[0] == L'\0' && g_settings.selDir == 1) {
        wchar_t initial[kFolderChars];
        if (joinFolder(&item->parts, initial, kFolderChars) != 0) initial[0] = L'\0';
        int step = askForChosenFolder(initial);
        if (step != PassGoOn) return step;
    }
    if (g_run.chosenFolder[0] != L'\0') return copyText(g_run.destinationFolder, kFolderChars, g_run.chosenFolder) == 0 ? PassGoOn : PassFail;
    return joinFolder(&item->parts, g_run.destinationFolder, kFolderChars) == 0 ? PassGoOn : PassFail;
}

namespace {

// What a pass asks of the loop when the new path cannot be written: the re-selection, which
// shows dialogs, and so happens after the turn is given back.
constexpr int kPassReselect = 2;

// One pass from the composition to the operation. Returns PassGoOn when the operation made the
// backup, PassAgain, PassFail or kPassReselect (item->errorText says why).
int composeTestAndOperate(BackupItem* item, OutputKind output, ItemOperation operation, wchar_t* newPath, size_t capacity)
{
    const ItemKind writeKind = output == OutputArchive ? ItemFile : item->kind;
    int step = composeFreeNewPath(item, output, newPath, capacity);
    if (step != PassGoOn) return step;

    int tested = writeTest(newPath, writeKind, g_run.destinationFolder, item->errorText, kErrorTextChars);
    if (tested == kNewPathTaken) return collisionOrFail(item, newPath);
    if (tested != 0) return kPassReselect;

    if (g_beforeOperation) g_beforeOperation(newPath);
    // Another program may have taken the name since the write test: compose again rather
    // than write over (and on failure remove) an item that is not ours.
    int result = pathExists(newPath) ? kNewPathTaken : operation(item, newPath);
    if (result == kNewPathTaken) return collisionOrFail(item, newPath);
    if (result == kNewPathNotWritable) return kPassReselect;
    return result == 0 ? PassGoOn : PassFail;
}

}  // namespace

int runBackupLoop(BackupItem* item, DestinationRule destination, OutputKind output, ItemOperation operation)
{
    item->output = output;
    for (;;) {
        memset(&item->parts, 0, sizeof item->parts);
        if (splitPath(item->path, item->kind == ItemFolder, &item->parts) != 0) {
            showMessageF(MB_ICONERROR, g_settings.language, kItemNotFoundText, item->path);
            return -1;
        }

        int step = destination(item);
        if (step == PassAgain) continue;
        if (step != PassGoOn) return -1;
        if (refuseDestinationInsideItem(item, g_run.destinationFolder) != PassGoOn) return -1;

        // With a clean-up to do, runs of this item into this folder take turns from the claim of
        // the new name through the copy, the record and the clean-up. Without the turn (another
        // run kept it too long) the backup is made all the same, but neither recorded nor
        // followed by a clean-up. Without a clean-up no run waits for another.
        const bool cleanUp = g_settings.keepBackups > 0;
        HANDLE turn = nullptr;
        if (cleanUp) {
            wchar_t folder[kComparedPathChars];
            if (!finalPath(g_run.destinationFolder, folder, kComparedPathChars))
                comparisonPath(g_run.destinationFolder, folder, kComparedPathChars);
            turn = takeBackupTurn(item->finalPath, item->kind, output, folder);
        }
        wchar_t newPath[kComposedPathChars];
        step = composeTestAndOperate(item, output, operation, newPath, kComposedPathChars);
        if (step == PassGoOn) recordAndCleanUp(item, !cleanUp || turn != nullptr);
        giveBackTurn(turn);

        if (step == kPassReselect) step = reselectAfterFailedWriteTest(item->errorText, newPath);
        if (step == PassAgain) continue;
        return step == PassGoOn ? 0 : -1;
    }
}
