// The ZIP programs' calls into 7-zip32.dll, imported by ordinal when the program is loaded (a
// program folder without the library makes the program fail to start), and the library's word
// on its read-back for the result window.
#include <windows.h>

#include "archive_item.h"
#include "archiver_api.h"
#include "run_state.h"
#include "zip.h"

namespace {

int setUtf8Mode(int on)
{
    return SevenZipSetUnicodeMode(on ? TRUE : FALSE);
}

int runCommand(const char* utf8CommandLine, char* output, DWORD outputSize)
{
    return SevenZip(nullptr, utf8CommandLine, output, outputSize);
}

// The library reads its archive back inside its call; the result window asks it.
bool libraryVerifying()
{
    return SevenZipIsVerifying() != FALSE;
}

void sleepMs(DWORD milliseconds)
{
    Sleep(milliseconds);
}

}  // namespace

void bindArchiverLibrary()
{
    g_archiverCalls.setUtf8Mode = setUtf8Mode;
    g_archiverCalls.run = runCommand;
    g_archiverCalls.sleepMs = sleepMs;
    setVerifyPhaseSource(libraryVerifying);
}
