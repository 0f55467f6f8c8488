// Per-run state of a command program.
#include "run_state.h"

#include <string.h>

volatile LONG g_runState = RunNotStarted;
PerRunState g_run;

namespace {
volatile LONG g_verifyPhase = 0;
VerifyPhaseSource g_verifyPhaseSource = nullptr;
}  // namespace

void setRunState(RunState state)
{
    InterlockedExchange(&g_runState, state);
}

RunState currentRunState()
{
    return static_cast<RunState>(g_runState);
}

void setVerifyPhase(bool on)
{
    InterlockedExchange(&g_verifyPhase, on ? 1 : 0);
}

void setVerifyPhaseSource(VerifyPhaseSource source)
{
    g_verifyPhaseSource = source;
}

bool inVerifyPhase()
{
    return g_verifyPhaseSource ? g_verifyPhaseSource() : g_verifyPhase != 0;
}

void clearPerRunState()
{
    memset(&g_run, 0, sizeof g_run);
}
