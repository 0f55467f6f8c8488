// Archiving one item through the archiver library.
#include "archive_item.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "archiver_api.h"
#include "message_box.h"

const BilingualText kUtf8ConversionText = {
    L"ZIP形式 ユニコード(UTF-8)に変換できませんでした。\n\n%s",
    L"ZIP format. Could not be converted to Unicode(UTF-8).\n\n%s",
};
const BilingualText kArchiveFailedText = {
    L"ZIP形式に圧縮できませんでした。\n7-zip ErrorCD:0x%08x\n\n%s",
    L"Could not be converted to ZIP format.\n7-zip ErrorCD:0x%08x\n\n%s",
};
const BilingualText kArchiveVerifyFailedText = {
    L"ZIP形式のバックアップの検証に失敗しました。ディスクから読み戻した内容が一致しません。\n無いか、余分か、内容が異なるエントリ:\n\n%s\n\n%s",
    L"The ZIP backup failed its check: read back from the disk, it does not match.\nThis entry is missing, extra or different in it:\n\n%s\n\n%s",
};
const BilingualText kArchiveVerifiedSentence = {
    L"%s: アーカイブの %s バイトを読み戻し、全エントリが一致しました。",
    L"%s: verified, the archive's %s bytes read back and every entry found equal.",
};

// Bound to the real library by each ZIP program at start.
ArchiverCalls g_archiverCalls = {nullptr, nullptr, nullptr};

namespace {
const wchar_t kPlainCommandFormat[] = L"a -tzip -ssw -mmt=on -- \"%s\" \"%s\"";
const wchar_t kHiddenCommandFormat[] = L"a -tzip -ssw -mmt=on -hide -- \"%s\" \"%s\"";
const wchar_t kVerifiedPlainCommandFormat[] = L"a -tzip -ssw -mmt=on -verify -- \"%s\" \"%s\"";
const wchar_t kVerifiedHiddenCommandFormat[] = L"a -tzip -ssw -mmt=on -hide -verify -- \"%s\" \"%s\"";
const char kVerifyFailedText[] = ARCHIVER_VERIFY_TEXT;
}

bool isSmallFile(const WIN32_FIND_DATAW* entry)
{
    if (entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    ULONGLONG size = (static_cast<ULONGLONG>(entry->nFileSizeHigh) << 32) | entry->nFileSizeLow;
    return size < kSmallFileBytes;
}

int buildArchiveCommandLine(const wchar_t* archivePath, const wchar_t* itemPath, bool hide, bool verify,
                            wchar_t* out, size_t capacity)
{
    if (capacity == 0) return -1;
    const wchar_t* format = verify ? (hide ? kVerifiedHiddenCommandFormat : kVerifiedPlainCommandFormat)
                                   : (hide ? kHiddenCommandFormat : kPlainCommandFormat);
    int written = _snwprintf(out, capacity, format, archivePath, itemPath);
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

int runArchiverCommand(const ArchiverCalls* calls, const char* utf8CommandLine, char* output, DWORD outputSize)
{
    calls->setUtf8Mode(1);
    int result = kArchiverBusy;
    for (int call = 1; call <= kArchiverMaxCalls; ++call) {
        if (outputSize) output[0] = '\0';
        result = calls->run(utf8CommandLine, output, outputSize);
        if (result != kArchiverBusy) break;
        calls->sleepMs(kArchiverBusyWaitMs);
    }
    return result;
}

void verifyFailedEntry(const char* output, wchar_t* entry, size_t capacity)
{
    if (capacity == 0) return;
    entry[0] = L'\0';
    const size_t prefix = sizeof kVerifyFailedText - 1;
    if (strncmp(output, kVerifyFailedText, prefix) != 0 || output[prefix] == '\0') return;
    int n = MultiByteToWideChar(CP_UTF8, 0, output + prefix, -1, entry, static_cast<int>(capacity));
    if (n <= 0) entry[0] = L'\0';
    entry[capacity - 1] = L'\0';
}

int archiveItem(const wchar_t* itemPath, const wchar_t* archivePath,
                const WIN32_FIND_DATAW* entry, UiLanguage language, bool verify)
{
    wchar_t commandLine[kCommandLineChars];
    char utf8[kUtf8CommandLineBytes];
    if (buildArchiveCommandLine(archivePath, itemPath, isSmallFile(entry), verify, commandLine,
                                kCommandLineChars) != 0 ||
        toUtf8CommandLine(commandLine, utf8, sizeof utf8) != 0) {
        showMessageF(MB_ICONERROR, language, kUtf8ConversionText, itemPath);
        return -1;
    }
    // The library's text is asked for only when it can name an entry that did not read back.
    char output[kArchiverOutputBytes] = "";
    int result = runArchiverCommand(&g_archiverCalls, utf8, verify ? output : nullptr, verify ? sizeof output : 0);
    if (result == 0) return 0;
    if (result == kArchiverPathTaken) return kArchivePathTaken;
    if (result == kArchiverCancelled) return -1;
    wchar_t failedEntry[kArchiverOutputBytes];
    if (result == kArchiverVerifyFailed) verifyFailedEntry(output, failedEntry, kArchiverOutputBytes);
    if (result == kArchiverVerifyFailed && failedEntry[0])
        showMessageF(MB_ICONERROR, language, kArchiveVerifyFailedText, failedEntry, itemPath);
    else
        showMessageF(MB_ICONERROR, language, kArchiveFailedText, static_cast<unsigned>(result), itemPath);
    return -1;
}
