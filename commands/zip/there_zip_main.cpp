// Entry of TazuThereZip.
#include <windows.h>

#include "framework.h"
#include "zip.h"

namespace {
const CommandProgram kTazuThereZip = {L"TazuThereZip", RunCoreAction, true};
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandTail, int)
{
    bindArchiverLibrary();
    return runCommandProgram(instance, commandTail, &kTazuThereZip);
}
