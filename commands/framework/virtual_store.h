// The per-user virtual store, where Windows may redirect a copy into a protected folder; the
// file-manager step then shows that folder instead.
#pragma once

// After a successful file copy: stores the "VirtualStore" folder below the local application
// data folder and sets g_run.virtualStoreFlag when the new file's name lies directly in it.
void checkVirtualStore(const wchar_t* newFilePath);
