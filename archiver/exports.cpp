// The exports of 7-zip32.dll: the UTF-8 switch (ordinal 200), the command (ordinal 1) and whether
// a command reads its archive back now (ordinal 2). One command runs at a time in a process; a
// second caller meanwhile gets ARCHIVER_BUSY.
#include <windows.h>

#include <string>
#include <vector>

#include "archive_check.h"
#include "archive_writer.h"
#include "archiver_api.h"
#include "command_line.h"
#include "progress_window.h"
#include "result_text.h"

namespace {

volatile LONG g_utf8 = 0;
volatile LONG g_busy = 0;

// The command line as UTF-16; false when it is not valid in its encoding.
bool widen(const char* text, bool utf8, std::wstring* out)
{
    out->clear();
    if (!text || !*text) return true;
    const UINT page = utf8 ? CP_UTF8 : CP_ACP;
    const DWORD flags = MB_ERR_INVALID_CHARS;
    int n = MultiByteToWideChar(page, flags, text, -1, nullptr, 0);
    if (n <= 0) return false;
    std::vector<wchar_t> buf(n);
    if (MultiByteToWideChar(page, flags, text, -1, buf.data(), n) <= 0) return false;
    out->assign(buf.data());
    return true;
}

int runCommand(HWND owner, const char* commandLine, char* output, DWORD outputSize, bool utf8)
{
    ArchiveReport report;
    std::wstring line;
    CommandLineError parseError = CommandLineOk;
    ArchiverCommand cmd;
    if (!widen(commandLine, utf8, &line)) {
        report.code = ARCHIVER_ERROR_COMMAND_LINE;
        report.systemError = ERROR_NO_UNICODE_TRANSLATION;
        parseError = CommandLineEmpty;
    } else {
        parseError = parseCommandLine(line.c_str(), &cmd);
        if (parseError != CommandLineOk) report.code = ARCHIVER_ERROR_COMMAND_LINE;
    }
    if (report.code == ARCHIVER_OK) {
        Progress progress;
        if (progressStart(&progress, owner, cmd.archivePath, !cmd.hideWindow) != 0) {
            report.code = ARCHIVER_ERROR_INTERNAL;
            report.systemError = GetLastError();
        } else {
            writeArchive(cmd, &progress, &report);
        }
        progressStop(&progress);
    }
    copyToOutput(resultText(report, parseError), utf8, output, outputSize);
    return report.code;
}

}  // namespace

extern "C" BOOL WINAPI SevenZipSetUnicodeMode(BOOL utf8)
{
    InterlockedExchange(&g_utf8, utf8 ? 1 : 0);
    return TRUE;
}

extern "C" int WINAPI SevenZip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize)
{
    const bool utf8 = g_utf8 != 0;
    if (InterlockedCompareExchange(&g_busy, 1, 0) != 0) {
        ArchiveReport report;
        report.code = ARCHIVER_BUSY;
        copyToOutput(resultText(report, CommandLineOk), utf8, output, outputSize);
        return ARCHIVER_BUSY;
    }
    int code = runCommand(owner, commandLine, output, outputSize, utf8);
    InterlockedExchange(&g_busy, 0);
    return code;
}

extern "C" BOOL WINAPI SevenZipIsVerifying(void)
{
    return archiveCheckRunning() ? TRUE : FALSE;
}
