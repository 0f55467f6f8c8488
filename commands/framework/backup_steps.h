// Steps that the copy and archive commands share for each item, one file each: the item and its
// checks (backup_item), the path rules (path_rules, final_path), the loop that finds a free and
// writable new path (backup_loop), the folder dialog (folder_dialog), the claim and write test
// (new_path_claim), the shell copy, its check and its verify pass (item_copy, shell_operation,
// copy_verify) and the virtual-store check (virtual_store). A core action picks its destination
// rule and its operation:
//
//   BackupItem item;
//   if (beginBackupItem(path, &item) != 0) return -1;
//   if (runBackupLoop(&item, destinationBesideItem, OutputCopyOrRename, copyToNewPath) != 0) return -1;
//   if (item.kind == ItemFile) checkVirtualStore(g_run.lastNewPath);
#pragma once
#include "backup_item.h"
#include "backup_loop.h"
#include "copy_verify.h"
#include "final_path.h"
#include "folder_dialog.h"
#include "item_copy.h"
#include "new_path_claim.h"
#include "path_rules.h"
#include "shell_operation.h"
#include "virtual_store.h"
