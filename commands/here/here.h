// TazuHere: backup in place.
#pragma once

// Copies one item beside itself under its new name. Returns 0 or -1 (messages shown).
int RunCoreAction(const wchar_t* itemPath);
