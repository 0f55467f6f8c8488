// Per-run state of a command program.
#include "run_state.h"

#include <string.h>

volatile LONG g_runState = RunNotStarted;
PerRunState g_run;

void setRunState(RunState state)
{
    InterlockedExchange(&g_runState, state);
}

RunState currentRunState()
{
    return static_cast<RunState>(g_runState);
}

void clearPerRunState()
{
    memset(&g_run, 0, sizeof g_run);
}
