// The loop of one item.
#include "backup_loop.h"

#include <string.h>

#include "command_texts.h"
#include "folder_dialog.h"
#include "message_box.h"
#include "new_path_claim.h"
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

int runBackupLoop(BackupItem* item, DestinationRule destination, OutputKind output, ItemOperation operation)
{
    const ItemKind writeKind = output == OutputArchive ? ItemFile : item->kind;
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

        wchar_t newPath[kComposedPathChars];
        step = composeFreeNewPath(item, output, newPath, kComposedPathChars);
        if (step == PassAgain) continue;
        if (step != PassGoOn) return -1;

        int tested = writeTest(newPath, writeKind, g_run.destinationFolder, item->errorText, kErrorTextChars);
        if (tested == kNewPathTaken) {
            if (collisionOrFail(item, newPath) == PassFail) return -1;
            continue;
        }
        if (tested != 0) {
            if (reselectAfterFailedWriteTest(item->errorText, newPath) == PassFail) return -1;
            continue;
        }

        if (g_beforeOperation) g_beforeOperation(newPath);
        // Another program may have taken the name since the write test: compose again rather
        // than write over (and on failure remove) an item that is not ours.
        int result = pathExists(newPath) ? kNewPathTaken : operation(item, newPath);
        if (result == kNewPathTaken) {
            if (collisionOrFail(item, newPath) == PassFail) return -1;
            continue;
        }
        if (result == kNewPathNotWritable) {
            if (reselectAfterFailedWriteTest(item->errorText, newPath) == PassFail) return -1;
            continue;
        }
        return result == 0 ? 0 : -1;
    }
}

