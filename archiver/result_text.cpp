// One table of the library's texts (English, like the switches they answer).
#include "result_text.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "archiver_api.h"

namespace {

struct CodeText {
    int code;
    const wchar_t* text;
};

const CodeText kTexts[] = {
    {ARCHIVER_ERROR_COMMAND_LINE, L"Bad command line: "},
    {ARCHIVER_ERROR_ITEM_NOT_FOUND, L"Item not found: "},
    {ARCHIVER_ERROR_ITEM_READ, L"Cannot read: "},
    {ARCHIVER_ERROR_ARCHIVE_EXISTS, L"The archive already exists: "},
    {ARCHIVER_ERROR_CREATE_ARCHIVE, L"Cannot create the archive: "},
    {ARCHIVER_ERROR_WRITE, L"Cannot write the archive: "},
    {ARCHIVER_ERROR_INTERNAL, L"Out of memory or system resources."},
    {ARCHIVER_ERROR_LINK_LOOP, L"A folder link leads back into a folder being archived: "},
    {ARCHIVER_ERROR_NAME, L"A name holds an unpaired surrogate and cannot be stored: "},
    {ARCHIVER_ERROR_VERIFY, L"" ARCHIVER_VERIFY_TEXT},
    {ARCHIVER_ERROR_READ_BACK, L"The written archive cannot be read back: "},
    {ARCHIVER_BUSY, L"Busy: another archive is being created in this program."},
    {ARCHIVER_CANCELLED, L"Cancelled."},
};

}  // namespace

std::wstring resultText(const ArchiveReport& report, CommandLineError parseError)
{
    wchar_t buf[256];
    if (report.code == ARCHIVER_OK) {
        _snwprintf(buf, 255, L"Archive created: %I64u files, %I64u folders, %I64u bytes in %I64u bytes.",
                   report.files, report.folders, report.inputBytes, report.archiveBytes);
        buf[255] = 0;
        return buf;
    }
    std::wstring text = L"Error.";
    for (const CodeText& t : kTexts) {
        if (t.code == report.code) text = t.text;
    }
    if (report.code == ARCHIVER_ERROR_COMMAND_LINE) text += commandLineErrorText(parseError);
    else if (report.code == ARCHIVER_ERROR_INTERNAL && !report.path.empty()) text = L"Out of memory or system resources: " + report.path;
    else text += report.path;
    if (report.systemError) {
        _snwprintf(buf, 255, L" (system error 0x%08x)", static_cast<unsigned>(report.systemError));
        buf[255] = 0;
        text += buf;
    }
    return text;
}

void copyToOutput(const std::wstring& text, bool utf8, char* out, unsigned long outSize)
{
    if (!out || outSize == 0) return;
    out[0] = 0;
    const UINT page = utf8 ? CP_UTF8 : CP_ACP;
    int n = WideCharToMultiByte(page, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    std::vector<char> bytes(n);
    WideCharToMultiByte(page, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    size_t keep = static_cast<size_t>(n);
    if (keep > outSize - 1) {
        keep = outSize - 1;
        if (utf8) {
            // Do not end inside a multi-byte sequence.
            while (keep > 0 && (static_cast<unsigned char>(bytes[keep]) & 0xC0) == 0x80) --keep;
        } else {
            size_t i = 0, boundary = 0;
            while (i < keep) {
                boundary = i;
                i += IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) ? 2 : 1;
            }
            keep = i == keep ? keep : boundary;
        }
    }
    for (size_t i = 0; i < keep; ++i) out[i] = bytes[i];
    out[keep] = 0;
}
