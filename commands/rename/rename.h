// TazuRename: rename in place.
#pragma once

// Gives one item its new name in its own folder through the shell. Returns 0 or -1 (messages
// shown; a refused rename is reported by the shell).
int RunCoreAction(const wchar_t* itemPath);
