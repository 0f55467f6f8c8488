// The destination folder's text: its normal form and which texts may serve as a destination.
#include <gtest/gtest.h>

#include <string>

#include "destination.h"
#include "unit_support.h"

namespace {

TEST(DestinationText, BlanksOfBothKindsGoBeforeTheBackslashComes)
{
    struct Row { const wchar_t* text; const wchar_t* normal; };
    const Row rows[] = {
        {L"D:\\Backup", L"D:\\Backup\\"},
        {L" D:\\Backup ", L"D:\\Backup\\"},
        {L"\x3000 D:\\My Backup\x3000", L"D:\\My Backup\\"},
        {L"D:\\Backup\\ \x3000", L"D:\\Backup\\"},
        {L" \x3000 ", L""},
        {L"", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.text));
        wchar_t text[64];
        wcscpy(text, row.text);
        normaliseDestination(text, 64);
        EXPECT_EQ(std::wstring(row.normal), text);
    }
    // No room for the backslash: the trimmed text stays as it is.
    wchar_t full[5] = L" a:b";
    normaliseDestination(full, 4);
    EXPECT_EQ(std::wstring(L"a:b"), full);
}

TEST(DestinationText, OnlyFullPathsOfUsableCharactersServe)
{
    struct Row { const wchar_t* text; int fault; const wchar_t* characters; };
    const Row rows[] = {
        {L"", DestinationUsable, L""},
        {L"D:\\", DestinationUsable, L""},
        {L"d:\\My Backup\\2024\\", DestinationUsable, L""},
        {L"D:\\Back/up\\", DestinationUsable, L""},
        {L"\\\\server\\share\\", DestinationUsable, L""},
        {L"\\\\server\\share\\Backup\\", DestinationUsable, L""},
        // Relative to the working folder, or to the current folder or root of a drive.
        {L"Backup\\", DestinationNotFull, L""},
        {L"C:Backup\\", DestinationNotFull, L""},
        {L"\\Backup\\", DestinationNotFull, L""},
        {L".\\Backup\\", DestinationNotFull, L""},
        // Device forms and shares without a server or a share.
        {L"\\\\?\\C:\\Backup\\", DestinationNotFull, L""},
        {L"\\\\.\\C:\\Backup\\", DestinationNotFull, L""},
        {L"\\\\?\\UNC\\server\\share\\", DestinationNotFull, L""},
        {L"\\\\server\\", DestinationNotFull, L""},
        {L"\\\\\\share\\", DestinationNotFull, L""},
        {L"\\\\server\\\\x\\", DestinationNotFull, L""},
        // The drive's colon only; a colon past it names a stream.
        {L"D:\\Back:up\\", DestinationCharacters, L": "},
        {L"\\\\server\\share:x\\", DestinationCharacters, L": "},
        {L"D:\\a|b<c>d\"e*f?g\\", DestinationCharacters, L"* ? \" < > | "},
        {L"D:\\a\tb\x01\\", DestinationCharacters, L"\\t \\x01 "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(utf8(row.text));
        wchar_t characters[kForbiddenListChars] = L"left over";
        EXPECT_EQ(row.fault, destinationFault(row.text, characters, kForbiddenListChars));
        EXPECT_EQ(std::wstring(row.characters), characters);
    }
}

}  // namespace
