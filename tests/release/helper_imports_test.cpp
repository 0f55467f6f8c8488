// The elevated helper's libraries. The libraries a program imports are loaded before its first
// instruction, so its restriction of the library search cannot cover them: TazuUAC may import
// only libraries that Windows always takes from its own folder (its known libraries, the same on
// every version from Windows 7 on), never one that a file beside TazuUAC could stand in for.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const kKnownLibraries[] = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "gdi32.dll",    "imagehlp.dll", "imm32.dll",
    "kernel32.dll", "msctf.dll",   "msvcrt.dll",   "normaliz.dll", "nsi.dll",      "ole32.dll",
    "oleaut32.dll", "psapi.dll",   "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shell32.dll",
    "shlwapi.dll",  "user32.dll",  "wldap32.dll",  "ws2_32.dll",
};

// The file offset of a relative address, through the section that holds it; 0 when none does.
size_t offsetOf(const std::vector<char>& image, const IMAGE_SECTION_HEADER* sections, int count, DWORD address)
{
    for (int i = 0; i < count; ++i) {
        const IMAGE_SECTION_HEADER& s = sections[i];
        if (address >= s.VirtualAddress && address < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData)) {
            size_t offset = address - s.VirtualAddress + s.PointerToRawData;
            return offset < image.size() ? offset : 0;
        }
    }
    return 0;
}

// Names of the libraries in the import table of a program file, in lower case.
::testing::AssertionResult importedLibraries(const std::string& path, std::vector<std::string>* names)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return ::testing::AssertionFailure() << "cannot read " << path;
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    size_t ntAt = static_cast<size_t>(dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || ntAt + sizeof(IMAGE_NT_HEADERS64) > image.size())
        return ::testing::AssertionFailure() << "not a program file";
    const IMAGE_NT_HEADERS32* nt32 = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + ntAt);
    const IMAGE_NT_HEADERS64* nt64 = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + ntAt);
    bool wide = nt32->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    DWORD importAt = wide ? nt64->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress
                          : nt32->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    const IMAGE_SECTION_HEADER* sections =
        wide ? IMAGE_FIRST_SECTION(nt64) : IMAGE_FIRST_SECTION(const_cast<IMAGE_NT_HEADERS32*>(nt32));
    int count = nt32->FileHeader.NumberOfSections;
    size_t at = offsetOf(image, sections, count, importAt);
    if (at == 0) return ::testing::AssertionFailure() << "no import table";
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        if (at + sizeof(IMAGE_IMPORT_DESCRIPTOR) > image.size()) return ::testing::AssertionFailure() << "cut import table";
        const IMAGE_IMPORT_DESCRIPTOR* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (entry->Name == 0) break;
        size_t nameAt = offsetOf(image, sections, count, entry->Name);
        if (nameAt == 0) return ::testing::AssertionFailure() << "import name outside the file";
        std::string name(image.data() + nameAt, strnlen(image.data() + nameAt, image.size() - nameAt));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        names->push_back(name);
    }
    return ::testing::AssertionSuccess();
}

TEST(HelperImports, OnlyLibrariesThatWindowsTakesFromItsOwnFolder)
{
    const char* bin = std::getenv("VANTREL_BIN_DIR");
    ASSERT_TRUE(bin);
    std::vector<std::string> names;
    ASSERT_TRUE(importedLibraries(std::string(bin) + "\\TazuUAC.exe", &names));
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_NE(std::end(kKnownLibraries),
                  std::find(std::begin(kKnownLibraries), std::end(kKnownLibraries), name));
    }
}

}  // namespace
