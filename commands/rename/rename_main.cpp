// Entry of TazuRename.
#include <windows.h>

#include "framework.h"
#include "rename.h"

namespace {
const CommandProgram kTazuRename = {L"TazuRename", RunCoreAction, false};
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int)
{
    return runCommandProgram(instance, commandTail, &kTazuRename);
}
