// Splitting of the command-line tail into item paths.
#include "command_line.h"

#include <string.h>

namespace {

void handOver(TailPathHandler handler, void* context, wchar_t* collected, size_t* length,
              TailWalk* walk)
{
    collected[*length] = L'\0';
    if (handler(collected, context) != 0) walk->result = -1;
    *length = 0;
    collected[0] = L'\0';
}

}  // namespace

void walkCommandTail(const wchar_t* tail, TailPathHandler handler, void* context, TailWalk* walk)
{
    memset(walk, 0, sizeof *walk);
    if (!tail || tail[0] == L'\0') return;

    wchar_t collected[kCommandPathLimit + 1] = {};
    size_t length = 0;
    bool inQuotes = false;
    bool lastWasClosingQuote = false;

    for (const wchar_t* p = tail; *p != L'\0'; ++p) {
        lastWasClosingQuote = false;
        if (*p == L'"') {
            if (!inQuotes) {
                inQuotes = true;
                continue;
            }
            inQuotes = false;
            handOver(handler, context, collected, &length, walk);
            lastWasClosingQuote = true;
            // The character after a closing quote is taken to be the separating blank. A tail
            // that ends with the quote has no such character: stop there, never past the end.
            if (p[1] == L'\0') break;
            ++p;
            continue;
        }
        if (*p == L' ' && !inQuotes) {
            handOver(handler, context, collected, &length, walk);
            continue;
        }
        collected[length++] = *p;
        if (length >= kCommandPathLimit) {
            collected[length] = L'\0';
            walk->pathTooLong = true;
            walk->tooLongWasQuoted = inQuotes;
            memcpy(walk->collected, collected, sizeof collected);
            walk->result = -1;
            return;
        }
    }
    if (!lastWasClosingQuote) handOver(handler, context, collected, &length, walk);
}
