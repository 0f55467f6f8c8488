// Parsing of the archiver command line (already converted to UTF-16): a pure function.
#pragma once

#include <string>
#include <vector>

struct ArchiverCommand {
    std::wstring archivePath;
    std::vector<std::wstring> items;
    int threads = 0;      // 0: one per core
    int zlibLevel = 6;    // 0 stores every entry
    int wholeLevel = 6;   // libdeflate level of the same -mx
    bool hideWindow = false;
    bool verify = false;  // read the archive back and check it before it is renamed
};

// Why a command line was refused (index into the parse error texts).
enum CommandLineError {
    CommandLineOk = 0,
    CommandLineEmpty,
    CommandLineUnknownCommand,
    CommandLineUnknownSwitch,
    CommandLineBadType,
    CommandLineBadThreads,
    CommandLineBadLevel,
    CommandLineOpenQuote,
    CommandLineNoArchive,
    CommandLineNoItem,
    CommandLineEmptyPath,
};

// Fills *out from text. Returns CommandLineOk or the reason for refusing the line.
CommandLineError parseCommandLine(const wchar_t* text, ArchiverCommand* out);

// English text of a parse error, for the output buffer.
const wchar_t* commandLineErrorText(CommandLineError error);

// zlib level for a -mx value 0..9 (5, the default, gives 6).
int zlibLevelForMx(int mx);
// libdeflate level for a -mx value 1..9 (0 stores).
int wholeLevelForMx(int mx);
