// File-manager integration: after a successful run the output folder is shown with the new
// item selected, or an open window of that folder is brought to the front.
#pragma once

// Shows `folder` (a full folder path) in the file manager with `itemName` (its last component,
// a folder keeping its trailing backslash) selected.
void OpenFolderAndSelect(const wchar_t* folder, const wchar_t* itemName);
