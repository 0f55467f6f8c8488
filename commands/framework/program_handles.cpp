// Handles of the running command program, apart from the start-up code so that code which only
// reads them (the per-item steps) links without it.
#include "framework.h"

HINSTANCE g_instance;
HWND g_mainWindow;
HWND g_resultWindow;
HWND g_tooltipWindow;
HANDLE g_workerThread;
const CommandProgram* g_program;
