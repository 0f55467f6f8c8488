// Archiving one item through the archiver library.
#include "archive_item.h"

#include <stdio.h>
#include <wchar.h>

#include "message_box.h"

const BilingualText kUtf8ConversionText = {
    L"ZIP形式 ユニコード(UTF-8)に変換できませんでした。\n\n%s",
    L"ZIP format. Could not be converted to Unicode(UTF-8).\n\n%s",
};
const BilingualText kArchiveFailedText = {
    L"ZIP形式に圧縮できませんでした。\n7-zip ErrorCD:0x%08x\n\n%s",
    L"Could not be converted to ZIP format.\n7-zip ErrorCD:0x%08x\n\n%s",
};

// Bound to the real library by each ZIP program at start.
ArchiverCalls g_archiverCalls = {nullptr, nullptr, nullptr};

namespace {
const wchar_t kPlainCommandFormat[] = L"a -tzip -ssw -mmt=on -- \"%s\" \"%s\"";
const wchar_t kHiddenCommandFormat[] = L"a -tzip -ssw -mmt=on -hide -- \"%s\" \"%s\"";
}

bool isSmallFile(const WIN32_FIND_DATAW* entry)
{
    if (entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    ULONGLONG size = (static_cast<ULONGLONG>(entry->nFileSizeHigh) << 32) | entry->nFileSizeLow;
    return size < kSmallFileBytes;
}

int buildArchiveCommandLine(const wchar_t* archivePath, const wchar_t* itemPath, bool hide,
                            wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    int written = _snwprintf(out, capacity, hide ? kHiddenCommandFormat : kPlainCommandFormat,
                             archivePath, itemPath);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        out[0] = L'\0';
        return -1;
    }
    return 0;
}

int toUtf8CommandLine(const wchar_t* commandLine, char* out, size_t capacity)
{
    if (capacity == 0) return -1;
    // -1 as length converts the terminator too, so a result that fits includes it. A lone
    // surrogate (legal in Windows names) must fail rather than become U+FFFD: the library would
    // then read or write a different path than the one composed here.
    int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, commandLine, -1, out,
                                    static_cast<int>(capacity), nullptr, nullptr);
    if (bytes <= 0) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

int runArchiverCommand(const ArchiverCalls* calls, const char* utf8CommandLine)
{
    calls->setUtf8Mode(1);
    int result = kArchiverBusy;
    for (int call = 1; call <= kArchiverMaxCalls; ++call) {
        result = calls->run(utf8CommandLine);
        if (result != kArchiverBusy) break;
        calls->sleepMs(kArchiverBusyWaitMs);
    }
    return result;
}

int archiveItem(const wchar_t* itemPath, const wchar_t* archivePath,
                const WIN32_FIND_DATAW* entry, UiLanguage language)
{
    wchar_t commandLine[kCommandLineChars];
    char utf8[kUtf8CommandLineBytes];
    if (buildArchiveCommandLine(archivePath, itemPath, isSmallFile(entry), commandLine,
                                kCommandLineChars) != 0 ||
        toUtf8CommandLine(commandLine, utf8, sizeof utf8) != 0) {
        showMessageF(MB_ICONERROR, language, kUtf8ConversionText, itemPath);
        return -1;
    }
    int result = runArchiverCommand(&g_archiverCalls, utf8);
    if (result == 0) return 0;
    if (result == kArchiverPathTaken) return kArchivePathTaken;
    if (result == kArchiverCancelled) return -1;
    showMessageF(MB_ICONERROR, language, kArchiveFailedText, static_cast<unsigned>(result), itemPath);
    return -1;
}
