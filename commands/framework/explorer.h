// File-manager integration: after a successful run the output folder is shown with the new
// item selected, or an open window of that folder is brought to the front.
#pragma once
#include <windows.h>

// Shows `folder` (a full folder path) in the file manager with `itemName` (its last component,
// a folder keeping its trailing backslash) selected.
void OpenFolderAndSelect(const wchar_t* folder, const wchar_t* itemName);

// One open file-manager window.
struct ExplorerWindowEntry {
    wchar_t folderPath[MAX_PATH];    // shown folder, without trailing backslash
    HWND window;                     // top-level window, 0 when it cannot be found
    WINDOWPLACEMENT placement;       // its show state tells whether it is minimized
};

// Growable list of the open file-manager windows (starts with room for 256, grows by 256).
struct ExplorerWindowList {
    ExplorerWindowEntry* entries;
    int count;
    int capacity;
};

// Results of collectExplorerWindows besides 0 and -1.
constexpr int kExplorerNoCollection = -2;  // the shell's window collection cannot be created
constexpr int kExplorerNoList = -3;        // the list itself cannot be allocated

// Lists the folder windows of the shell's window collection into an empty list. Returns 0, -1
// when the enumeration stopped early (what was found until then stays in the list),
// kExplorerNoCollection or kExplorerNoList (the list is then empty). The shell is asked on a
// worker thread; when it does not answer in time, or an earlier worker is still waiting for it,
// the result is kExplorerNoCollection.
int collectExplorerWindows(ExplorerWindowList* list);

// The same walk on the calling thread, with no bound on how long the shell takes.
int walkShellWindows(ExplorerWindowList* list);

// Gives back the entries of a list and empties it.
void freeExplorerWindowList(ExplorerWindowList* list);

// Puts a window in front of the others without leaving it topmost.
void bringToFront(HWND window);

// Replaceable for tests; each defaults to the real platform call.
extern int (*g_explorerCollect)(ExplorerWindowList* list);               // collectExplorerWindows
extern void (*g_explorerStart)(const wchar_t* program, const wchar_t* parameters);  // ShellExecuteW
extern void (*g_explorerPause)(DWORD milliseconds);                      // Sleep
extern int (*g_explorerWalk)(ExplorerWindowList* list);                  // walkShellWindows
extern DWORD g_explorerAnswerMilliseconds;   // how long collectExplorerWindows waits for it
