// Entry of TazuThere.
#include <windows.h>

#include "framework.h"
#include "there.h"

namespace {
const CommandProgram kTazuThere = {L"TazuThere", RunCoreAction, true};
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int)
{
    return runCommandProgram(instance, commandTail, &kTazuThere);
}
