// Turns of runs that back up the same item the same way into the same folder: from the claim of
// the new name through the copy, the record and the clean-up, one such run works at a time, so
// that none takes another's new or half-made backup for an older one. Runs of other items, or
// into other folders, never wait for each other.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "naming.h"

// How long a run waits for its turn. A run that does not get it makes its backup all the same,
// but neither records it nor cleans up: the backup stays until the user removes it.
constexpr DWORD kTurnWaitMs = 60000;

// Name of the turn of an item (its final path), its kind and output, and the folder that
// receives its backups (its final path): a named object of the user's session whose name holds
// a digest of the three, so that the same item and folder give the same name in every run.
// Pure text.
void backupTurnName(const wchar_t* itemFinalPath, ItemKind kind, OutputKind output,
                    const wchar_t* folderFinalPath, wchar_t* out, size_t capacity);

// Waits for the turn (at most the wait given by setTurnWait, kTurnWaitMs by default). Returns
// the turn to give back with giveBackTurn, or nullptr when it did not come in time.
HANDLE takeBackupTurn(const wchar_t* itemFinalPath, ItemKind kind, OutputKind output,
                      const wchar_t* folderFinalPath);
void giveBackTurn(HANDLE turn);

// Seam for tests: the longest wait for a turn (0 restores kTurnWaitMs).
void setTurnWait(DWORD milliseconds);
