// Taking a new path for this run: the claim, a create call that fails when anything is there,
// and the write test, which claims the path and gives it up again. What the claim made is this
// run's; nothing else is ever removed.
#pragma once
#include <stddef.h>

#include "naming.h"

// What an operation returns when it found the new path taken before it began: the loop then
// applies the collision rule instead of writing over someone else's item.
constexpr int kNewPathTaken = 1;
// What an operation returns when the new path cannot be created after all (item->errorText
// tells why): the loop then runs the re-selection as after a failed write test.
constexpr int kNewPathNotWritable = 2;

// Write test of a new path: a file (after creating its destination folder) or a folder is
// created where the new item will go and removed again. Only what the test's own create call
// made is removed: a path that exists already, or that another program takes between the check
// and the create call, gives kNewPathTaken and is left alone. Returns 0, -1 with the error
// text, or kNewPathTaken.
int writeTest(const wchar_t* newPath, ItemKind kind, const wchar_t* destinationFolder,
              wchar_t* errorText, size_t capacity);

// Takes the new path for this run with a create call that fails when anything is there: an
// empty file, or an empty folder. Returns 0 (the path is this run's), kNewPathTaken, or
// kNewPathNotWritable with the error text.
int claimNewPath(const wchar_t* newPath, ItemKind kind, wchar_t* errorText, size_t capacity);
