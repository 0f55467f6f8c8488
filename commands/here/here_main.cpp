// Entry of TazuHere.
#include <windows.h>

#include "framework.h"
#include "here.h"

namespace {
const CommandProgram kTazuHere = {L"TazuHere", RunCoreAction, false};
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int)
{
    return runCommandProgram(instance, commandTail, &kTazuHere);
}
