// Splits the archiver command line into tokens and reads the command, switches and paths.
#include "command_line.h"

#include <cwctype>

namespace {

const int kMaxThreads = 64;

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// One token: blank-separated, double quotes group blanks and are removed.
// quoted tells whether any part stood in quotes (so "" is an empty path, not nothing).
bool nextToken(const wchar_t** cursor, std::wstring* token, bool* quoted, bool* openQuote)
{
    const wchar_t* p = *cursor;
    while (*p && isBlank(*p)) ++p;
    if (!*p) { *cursor = p; return false; }
    token->clear();
    *quoted = false;
    bool inQuotes = false;
    for (; *p; ++p) {
        if (*p == L'"') { inQuotes = !inQuotes; *quoted = true; continue; }
        if (!inQuotes && isBlank(*p)) break;
        token->push_back(*p);
    }
    *openQuote = inQuotes;
    *cursor = p;
    return true;
}

bool equalsNoCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return i == a.size() && !b[i];
}

bool startsWithNoCase(const std::wstring& a, const wchar_t* prefix, std::wstring* rest)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= a.size() || std::towlower(a[i]) != std::towlower(prefix[i])) return false;
    }
    *rest = a.substr(i);
    return true;
}

// A decimal number of at most 3 digits, nothing else.
bool parseSmallNumber(const std::wstring& text, int* value)
{
    if (text.empty() || text.size() > 3) return false;
    int v = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        v = v * 10 + (c - L'0');
    }
    *value = v;
    return true;
}

CommandLineError applySwitch(const std::wstring& sw, ArchiverCommand* out)
{
    std::wstring rest;
    if (equalsNoCase(sw, L"-ssw")) return CommandLineOk;
    if (equalsNoCase(sw, L"-hide")) { out->hideWindow = true; return CommandLineOk; }
    if (equalsNoCase(sw, L"-verify")) { out->verify = true; return CommandLineOk; }
    if (startsWithNoCase(sw, L"-t", &rest)) {
        return equalsNoCase(rest, L"zip") ? CommandLineOk : CommandLineBadType;
    }
    if (startsWithNoCase(sw, L"-mmt", &rest)) {
        if (rest.empty() || equalsNoCase(rest, L"=on")) { out->threads = 0; return CommandLineOk; }
        if (equalsNoCase(rest, L"=off")) { out->threads = 1; return CommandLineOk; }
        int n = 0;
        if (rest[0] == L'=' && parseSmallNumber(rest.substr(1), &n) && n >= 1 && n <= kMaxThreads) {
            out->threads = n;
            return CommandLineOk;
        }
        return CommandLineBadThreads;
    }
    if (startsWithNoCase(sw, L"-mx", &rest)) {
        if (!rest.empty() && rest[0] == L'=') rest = rest.substr(1);
        int mx = 0;
        if (rest.size() == 1 && parseSmallNumber(rest, &mx)) {
            out->zlibLevel = zlibLevelForMx(mx);
            out->wholeLevel = wholeLevelForMx(mx);
            return CommandLineOk;
        }
        return CommandLineBadLevel;
    }
    return CommandLineUnknownSwitch;
}

}  // namespace

int zlibLevelForMx(int mx)
{
    static const int levels[10] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 9};
    return (mx >= 0 && mx <= 9) ? levels[mx] : 6;
}

int wholeLevelForMx(int mx)
{
    static const int levels[10] = {1, 1, 2, 3, 5, 6, 7, 8, 9, 12};
    return (mx >= 0 && mx <= 9) ? levels[mx] : 6;
}

CommandLineError parseCommandLine(const wchar_t* text, ArchiverCommand* out)
{
    *out = ArchiverCommand();
    if (!text) return CommandLineEmpty;
    const wchar_t* cursor = text;
    std::wstring token;
    bool quoted = false, openQuote = false;
    if (!nextToken(&cursor, &token, &quoted, &openQuote)) return CommandLineEmpty;
    if (openQuote) return CommandLineOpenQuote;
    if (quoted || !equalsNoCase(token, L"a")) return CommandLineUnknownCommand;

    bool switchesEnded = false;
    bool haveArchive = false;
    while (nextToken(&cursor, &token, &quoted, &openQuote)) {
        if (openQuote) return CommandLineOpenQuote;
        if (!switchesEnded && !quoted && token == L"--") { switchesEnded = true; continue; }
        if (!switchesEnded && !quoted && !token.empty() && token[0] == L'-') {
            CommandLineError e = applySwitch(token, out);
            if (e != CommandLineOk) return e;
            continue;
        }
        // The first path ends the switches, as after "--".
        switchesEnded = true;
        if (token.empty()) return CommandLineEmptyPath;
        if (!haveArchive) { out->archivePath = token; haveArchive = true; }
        else out->items.push_back(token);
    }
    if (!haveArchive) return CommandLineNoArchive;
    if (out->items.empty()) return CommandLineNoItem;
    return CommandLineOk;
}

const wchar_t* commandLineErrorText(CommandLineError error)
{
    static const wchar_t* const texts[] = {
        L"",
        L"The command line is empty.",
        L"Unknown command; only \"a\" (add to archive) is supported.",
        L"Unknown switch.",
        L"Unsupported archive type; only -tzip is supported.",
        L"Bad -mmt switch; use -mmt=on, -mmt=off or -mmt=N (1 to 64).",
        L"Bad -mx switch; use -mx0 to -mx9.",
        L"A double quote is not closed.",
        L"No archive path.",
        L"No item to add.",
        L"An empty path.",
    };
    unsigned i = static_cast<unsigned>(error);
    return i < sizeof(texts) / sizeof(texts[0]) ? texts[i] : L"Bad command line.";
}
