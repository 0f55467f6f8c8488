// The copy commands' operation: the shell's copy of the item into its claimed new path, trusted
// only when the copy is complete; a failed copy is removed with its claim.
#pragma once

struct BackupItem;

// Shell copy of the item to the new path (the shell shows its own progress, confirmations and
// errors; the copy can be undone). The new path is first claimed (claimNewPath): a file is
// copied over its own empty claim, a folder's contents into its claimed folder. The copy then
// counts only when compareCopiedTree finds it complete; else the message names the first file
// missing or cut short. With "Verify" 1 it counts only once the verify pass (copy_verify.h) has
// read it back and found it equal. A failed, cancelled, incomplete or unverified copy is removed
// with its claim, and
// only then: nothing this run did not create is ever written over or removed. Returns 0, -1,
// kNewPathTaken or kNewPathNotWritable.
int copyToNewPath(BackupItem* item, const wchar_t* newPath);
