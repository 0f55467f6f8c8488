// Which texts may serve as a destination folder (its trimmed form is read and checked with the
// settings file and on the settings page).
#include <gtest/gtest.h>

#include <string>

#include "destination.h"
#include "unit_support.h"

namespace {

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
