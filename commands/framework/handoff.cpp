// Pre-backup hand-off, command side (placeholder until the exchange is built: no hand-off).
#include "handoff.h"

int g_handoffAnswer = 0;

int runPreBackupHandoff(void*)
{
    return 0;
}
