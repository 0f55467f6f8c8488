// The five command programs, the installation's derived texts and the program paths.
#include "command_table.h"

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#include "errors.h"
#include "settings.h"

Installation g_installation;

namespace {

// The three columns of the table, each a fixed array in row order: the order of the page's
// rows, of processing, and of the access-key numbers in the context menu.
const wchar_t* const kCommandFiles[kCommandCount] = {
    L"TazuHere.exe",
    L"TazuHereZip.exe",
    L"TazuRename.exe",
    L"TazuThere.exe",
    L"TazuThereZip.exe",
};

const wchar_t* const kJapaneseCaptions[kCommandCount] = {
    L"TazuHere - ここにバックアップ",
    L"TazuHereZip - ここにZip形式でバックアップ",
    L"TazuRename - このファイルをリネーム",
    L"TazuThere - 指定フォルダにバックアップ",
    L"TazuThereZip - 指定フォルダにZip形式でバックアップ",
};

const wchar_t* const kEnglishCaptions[kCommandCount] = {
    L"TazuHere - Backup here",
    L"TazuHereZip - Backup here Zip",
    L"TazuRename - Rename this file",
    L"TazuThere - Backup over there",
    L"TazuThereZip - Backup over there Zip",
};

const wchar_t kVerbKeyStem[] = L"tazu.";

bool validRow(int row)
{
    return row >= 0 && row < kCommandCount;
}

// Formats into a fixed buffer, cutting the text to fit. Returns false when it was cut.
bool formatText(wchar_t* out, size_t capacity, const wchar_t* format, ...)
{
    if (capacity == 0) return false;
    va_list args;
    va_start(args, format);
    int written = _vsnwprintf(out, capacity - 1, format, args);
    va_end(args);
    out[capacity - 1] = L'\0';
    return written >= 0 && static_cast<size_t>(written) < capacity;
}

}  // namespace

const wchar_t* commandFileName(int row)
{
    return validRow(row) ? kCommandFiles[row] : nullptr;
}

const wchar_t* commandCaption(int row, UiLanguage language)
{
    if (!validRow(row)) return nullptr;
    return language == UiEnglish ? kEnglishCaptions[row] : kJapaneseCaptions[row];
}

void deriveInstallationTexts(const wchar_t* folderText, wchar_t* captionSuffix, size_t suffixCapacity,
                             wchar_t* verbKeyPrefix, size_t prefixCapacity)
{
    if (!folderText[0]) {
        copyText(captionSuffix, suffixCapacity, L"");
        copyText(verbKeyPrefix, prefixCapacity, kVerbKeyStem);
        return;
    }
    formatText(captionSuffix, suffixCapacity, L"_%s", folderText);
    formatText(verbKeyPrefix, prefixCapacity, L"%s%s.", kVerbKeyStem, folderText);
}

int setInstallation(const wchar_t* programFolder, RegistrationCaller caller)
{
    Installation& installation = g_installation;
    installation = Installation();
    installation.caller = caller;
    if (copyText(installation.programFolder, kPathChars, programFolder) != 0 ||
        addTrailingBackslash(installation.programFolder, kPathChars) != 0) {
        installation.programFolder[0] = L'\0';
        return -1;
    }
    wchar_t folderKey[kPathChars];
    wchar_t folderText[kPathChars];
    deriveFolderKey(installation.programFolder, folderKey, kPathChars, folderText, kPathChars);
    deriveInstallationTexts(folderText, installation.captionSuffix, kInstallationTextChars,
                            installation.verbKeyPrefix, kInstallationTextChars);
    return 0;
}

int setInstallationFromRunningProgram(RegistrationCaller caller)
{
    wchar_t folder[kPathChars];
    if (runningProgramFolder(folder, kPathChars) != 0) {
        g_installation = Installation();
        g_installation.caller = caller;
        return -1;
    }
    return setInstallation(folder, caller);
}

int composeCaption(int row, UiLanguage language, wchar_t* out, size_t capacity)
{
    const wchar_t* caption = commandCaption(row, language);
    if (!caption) {
        if (capacity) out[0] = L'\0';
        return -1;
    }
    formatText(out, capacity, L"%s%s", caption, g_installation.captionSuffix);
    return static_cast<int>(wcslen(caption) + wcslen(g_installation.captionSuffix));
}

int composeProgramPath(const wchar_t* folder, const wchar_t* fileName, wchar_t* out, size_t capacity)
{
    size_t limit = capacity < kPathChars ? capacity : kPathChars;
    if (formatText(out, limit, L"%s%s", folder, fileName)) return 0;
    if (limit) out[0] = L'\0';
    return -1;
}

int programPath(int row, wchar_t* out, size_t capacity)
{
    const wchar_t* file = commandFileName(row);
    if (!file) {
        if (capacity) out[0] = L'\0';
        return -1;
    }
    return composeProgramPath(g_installation.programFolder, file, out, capacity);
}

void recordTrailPoint(const TrailPoint& point, DWORD code)
{
    if (g_installation.caller == CallerHelper)
        trailRecord(&g_errorTrail, point.helperId, point.helperNumber, code);
    else
        trailRecord(&g_errorTrail, point.settingId, point.settingNumber, code);
}

void recordFailure(const FailurePoint& point, DWORD code)
{
    trailRecord(&g_errorTrail, point.id, point.number, code);
}
