// The ZIP programs' calls into 7-zip32.dll, imported by ordinal when the program is loaded (a
// program folder without the library makes the program fail to start).
#include <windows.h>

#include "archive_item.h"
#include "archiver_api.h"
#include "zip.h"

namespace {

int setUtf8Mode(int on)
{
    return SevenZipSetUnicodeMode(on ? TRUE : FALSE);
}

int runCommand(const char* utf8CommandLine)
{
    return SevenZip(nullptr, utf8CommandLine, nullptr, 0);
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
}
