// Where the elevated helper may load libraries from. Its folder may be one the user can write to
// (a portable folder), so a library placed beside the programs must never run with
// administrator rights.
#pragma once

// Restricts the loading of libraries by name to the system folder: the current folder is taken
// out of the search, and where the system has SetDefaultDllDirectories (looked up by name) the
// program's own folder too. Returns 0 when the program's folder is out of the search, -1 when the
// system offers no way to take it out.
int restrictLibrarySearchToSystem();
