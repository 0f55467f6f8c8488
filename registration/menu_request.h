// The context-menu part of a registration request, carried out row by row under the classes of
// one scope: registered rows left at Keep are taken along, the separators and access keys of the
// rows at On, their menu captions, the registry operations and the reply's fifteen numbers. The
// elevated helper runs it for the machine's classes; TazuSetting runs it itself for the user's.
#pragma once
#include <stddef.h>

#include "command_table.h"
#include "context_menu.h"
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

// Registers (On) and removes (Off) the rows' entries under the scope's classes and fills the
// reply (which the caller has cleared). Registered rows left at Keep are registered again, so
// that the whole group is renumbered. A caption over the limit fails its row and ends the run.
void carryOutMenuRequest(MenuScope scope, UiLanguage language, const int positions[kCommandCount],
                         RegistrationReply* reply);
