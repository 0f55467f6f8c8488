// Every program and library that ships carries the one version of the project.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "vantrel_version.h"

namespace {

const wchar_t* const kShippedFiles[] = {
    L"TazuHere.exe",   L"TazuHereZip.exe", L"TazuRename.exe", L"TazuThere.exe",
    L"TazuThereZip.exe", L"TazuSetting.exe", L"TazuUAC.exe",  L"7-zip32.dll",
};

std::wstring widen(const char* text)
{
    return std::wstring(text, text + strlen(text));
}

::testing::AssertionResult hasProjectVersion(const std::wstring& path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return ::testing::AssertionFailure() << "no version block (" << GetLastError() << ")";
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return ::testing::AssertionFailure() << "version block not readable";

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
        return ::testing::AssertionFailure() << "no fixed version";
    const DWORD numbers[] = {VANTREL_VERSION_NUMBERS};
    if (fixed->dwFileVersionMS != static_cast<DWORD>(MAKELONG(numbers[1], numbers[0])) ||
        fixed->dwFileVersionLS != static_cast<DWORD>(MAKELONG(numbers[3], numbers[2])) ||
        fixed->dwProductVersionMS != fixed->dwFileVersionMS ||
        fixed->dwProductVersionLS != fixed->dwFileVersionLS)
        return ::testing::AssertionFailure() << "fixed version differs from the project's";

    const std::wstring expected = widen(VANTREL_VERSION_TEXT);
    for (const wchar_t* key : {L"FileVersion", L"ProductVersion"}) {
        wchar_t* text = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + key;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
            return ::testing::AssertionFailure() << "no text version";
        if (expected != text) return ::testing::AssertionFailure() << "a text version differs";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(ShippedFiles, EachCarriesTheProjectVersion)
{
    const char* bin = std::getenv("VANTREL_BIN_DIR");
    ASSERT_TRUE(bin);
    for (const wchar_t* file : kShippedFiles) {
        std::wstring path = widen(bin) + L"\\" + file;
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_TRUE(hasProjectVersion(path));
    }
}
