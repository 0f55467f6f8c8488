// Listing a folder's entries, for tests that check what a run left behind.
#pragma once
#include <string>
#include <vector>

// Names in a folder (with or without its trailing backslash), sorted, without "." and "..".
// Empty when the folder cannot be read.
std::vector<std::wstring> namesIn(const std::wstring& folder);
