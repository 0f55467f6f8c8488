// Pre-backup hand-off, command side: before the run, the settings program is started with "/k"
// and a per-process key, and its answer decides whether and with which settings the run goes on.
#pragma once

// HandoffAnswer values.
enum HandoffAnswer { SaveAndRun = 0, RunUnsaved = 1, Cancel = 2 };

// The answer of this run's hand-off; 0 when none took place.
extern int g_handoffAnswer;

// Runs the whole exchange for the main window `mainWindow` and reloads the settings.
// Returns 0 (settings reloaded, go on), -1 (failure, end) or 2 (cancelled, end).
int runPreBackupHandoff(void* mainWindow);
