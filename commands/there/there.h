// TazuThere: backup to the destination folder.
#pragma once

// Copies one item into the destination folder under its new name. Returns 0 or -1 (messages
// shown).
int RunCoreAction(const wchar_t* itemPath);
