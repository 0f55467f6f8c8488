// Splitting of a command program's command-line tail into item paths: blank-separated, a path
// with blanks in double quotes, each shorter than 260 characters.
#pragma once
#include <stddef.h>

// The collection of one path stops when it reaches this many characters.
constexpr size_t kCommandPathLimit = 260;

// Called for each path in order; returns 0 when the item succeeded.
typedef int (*TailPathHandler)(const wchar_t* path, void* context);

struct TailWalk {
    int result;                  // 0, or -1 when a handler failed or a path was too long
    bool pathTooLong;            // the walk stopped at a path of kCommandPathLimit characters
    bool tooLongWasQuoted;       // that path stood in quotes
    wchar_t collected[kCommandPathLimit + 1];  // that path's first kCommandPathLimit characters
};

// Walks the tail and hands each path to the handler as it is found:
// - a double quote outside quotes opens a quoted path and is not stored; one inside quotes
//   closes it, hands the path over and skips the next character unseen (the separating blank);
// - a blank outside quotes ends a path, which is handed over even when it is empty;
// - at the end, what is collected is handed over unless the tail is empty or its last handled
//   character was a closing quote;
// - when the collection reaches kCommandPathLimit characters the walk stops: no further path
//   is handled and the result is -1.
// Any non-zero handler result makes the result -1; the walk goes on.
void walkCommandTail(const wchar_t* tail, TailPathHandler handler, void* context, TailWalk* walk);
