// Fixture of the TazuHere end-to-end tests: a sandbox per test, removed again afterwards.
#pragma once
#include "e2e_support.h"

namespace e2e {

constexpr const wchar_t* kHere = L"TazuHere.exe";
constexpr const wchar_t* kHereTitle = L"TazuHere";

class HereTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(makeSandbox(&sandbox, kHere)); }
    void TearDown() override
    {
        // Whatever a run did, every item it was given still holds its bytes.
        for (const auto& item : items) {
            std::string bytes;
            EXPECT_TRUE(readFile(item.first, &bytes) && bytes == item.second) << "item changed: " << narrow(item.first);
        }
        EXPECT_TRUE(removeSandbox(&sandbox));
    }

    // Settings with the defaults, the given language and auto close.
    ::testing::AssertionResult settings(const wchar_t* lang, int autoClose = 1,
                                        std::map<std::wstring, std::wstring> extra = {})
    {
        extra[L"Lang"] = lang;
        extra[L"AutoClose"] = std::to_wstring(autoClose);
        return writeSettings(sandbox, extra);
    }

    ::testing::AssertionResult start(const std::wstring& tail, driver::Program** program)
    {
        return run(&sandbox, kHere, tail, program);
    }

    // A file of the data folder with the given bytes.
    std::wstring file(const std::wstring& relative, const std::string& bytes)
    {
        std::wstring path = sandbox.data + relative;
        makeFolders(path.substr(0, path.find_last_of(L'\\')));
        writeFile(path, bytes);
        items[path] = bytes;
        return path;
    }

    Sandbox sandbox;
    std::map<std::wstring, std::string> items;  // every item file made by file(), with its bytes
};

}  // namespace e2e
