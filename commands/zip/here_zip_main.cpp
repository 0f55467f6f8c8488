// Entry of TazuHereZip.
#include <windows.h>

#include "framework.h"
#include "zip.h"

namespace {
const CommandProgram kTazuHereZip = {L"TazuHereZip", RunCoreAction, false};
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int)
{
    bindArchiverLibrary();
    return runCommandProgram(instance, commandTail, &kTazuHereZip);
}
