// TazuUAC's work on one request: which rows are registered or removed, their separators,
// access keys and menu captions, the registry operations, and the reply's fifteen numbers.
#pragma once
#include <stddef.h>

#include "command_table.h"
#include "registration_exchange.h"

// A menu caption (caption, caption suffix, access key) has at most this many characters.
constexpr size_t kMenuCaptionLimit = 259;
// Room for composing a caption that may turn out longer than the limit.
constexpr size_t kMenuCaptionChars = 2 * kPathChars;

// How one row is written to the context menu.
struct MenuRowPlan {
    bool separatorBefore;   // the lowest row at On
    bool separatorAfter;    // the highest row at On (one row may get both)
    int accessKey;          // 1, 2, ... for the rows at On in row order; 0 for the others
};

// Separators and access keys of the rows at On.
void planMenuRows(const int positions[kCommandCount], MenuRowPlan plans[kCommandCount]);

// The row's caption in the language, the caption suffix and "(&%d)" for a non-zero access key.
// Returns the length of the whole caption (the text is cut to the buffer).
int composeMenuCaption(int row, UiLanguage language, int accessKey, wchar_t* out, size_t capacity);

// Carries out a request (TazuUAC's command line) and fills the reply. A request of another
// form changes nothing and every row fails; without elevation a message says so and every
// requested row fails. Registered rows left at Keep are registered again, so the whole group
// is renumbered. Returns 0, or -1 when the request was refused.
int processRegistrationRequest(const wchar_t* commandLine, bool elevated, RegistrationReply* reply);

// Whether the process runs with administrator rights (true where the system cannot tell).
bool runsElevated();
