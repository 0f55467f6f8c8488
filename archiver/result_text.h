// Texts of the output buffer: the summary of a created archive or the error, and the copy into
// the caller's byte buffer.
#pragma once

#include <string>

#include "archive_writer.h"
#include "command_line.h"

// The text for a result (report->code), with the parse error for a bad command line.
std::wstring resultText(const ArchiveReport& report, CommandLineError parseError);

// Copies text into out (outSize bytes) as UTF-8 or in the ANSI code page: zero-terminated, cut
// at a character boundary when it does not fit. Nothing is written when out is null or outSize 0.
void copyToOutput(const std::wstring& text, bool utf8, char* out, unsigned long outSize);
