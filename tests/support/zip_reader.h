// Reads a ZIP archive the way an unpacking program does, for tests that check what an archive
// holds: the central directory's entries with their names, flags and inflated, CRC-checked bytes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zipread {

struct Entry {
    std::string name;        // as stored (UTF-8 when utf8Flag is set)
    bool utf8Flag = false;   // general-purpose bit 11
    bool folder = false;     // name ends with '/'
    std::string bytes;       // inflated content
};

// Every entry of the archive in central-directory order, each local header, method (stored or
// deflated), size and CRC-32 checked. Fails with the reason.
::testing::AssertionResult readArchive(const std::wstring& path, std::vector<Entry>* entries);

// The archive holds exactly these files (name -> bytes) and folders (name ending with '/'; their
// bytes are ignored), in any order.
::testing::AssertionResult holdsExactly(const std::wstring& path,
                                        const std::vector<std::pair<std::string, std::string>>& expected);

}  // namespace zipread
