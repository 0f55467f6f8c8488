// The two ZIP commands: each item becomes one ZIP archive, beside the item (TazuHereZip) or in
// the destination folder (TazuThereZip), written by the archiver library 7-zip32.dll.
#pragma once
#include "backup_steps.h"

// Item operation of both programs: archives the item into the tested, free archive path, read
// back by the library first with "Verify" 1 (the result window then says so). Returns 0, -1
// (messages shown), or kNewPathTaken when the library found the archive path taken by someone
// else, which the loop treats as a name collision.
int archiveToNewPath(BackupItem* item, const wchar_t* newPath);

// Core of both programs with the given destination rule: the archive form of the new name, the
// write test in its file form on the archive path, archiveItem, and the virtual-store check
// for files and folders alike. Returns 0 or -1.
int runZipCore(const wchar_t* itemPath, DestinationRule destination);

// The program's core action (TazuHereZip or TazuThereZip). Returns 0 or -1 (messages shown).
int RunCoreAction(const wchar_t* itemPath);

// Binds g_archiverCalls to the library's two imported functions and to Sleep.
void bindArchiverLibrary();
