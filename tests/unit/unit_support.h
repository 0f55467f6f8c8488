// Helpers of the unit tests: private temporary folders, raw file bytes, UTF-16 files and a
// message-box sink that records what would have been shown.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folder_names.h"

// A uniquely named folder below the temporary folder, removed with all its content at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing backslash.
    const std::wstring& path() const { return path_; }
    // path() + relative.
    std::wstring operator/(const std::wstring& relative) const { return path_ + relative; }

private:
    std::wstring path_;
};

bool removeTree(const std::wstring& path);
bool makeDirectory(const std::wstring& path);
bool writeBytes(const std::wstring& path, const std::string& bytes);
bool writeEmptyFile(const std::wstring& path);
std::string readBytes(const std::wstring& path);
bool fileExists(const std::wstring& path);
// A UTF-16LE file with byte-order mark and the given text.
bool writeUtf16File(const std::wstring& path, const std::wstring& text);
// Text of a UTF-16LE file after its byte-order mark (empty when there is none).
std::wstring readUtf16File(const std::wstring& path);
std::string utf8(const std::wstring& text);

// Message boxes go to a recorder while one of these lives.
struct ShownMessage {
    UINT style;
    std::wstring title;
    std::wstring text;
};
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    const std::vector<ShownMessage>& shown() const;
};
