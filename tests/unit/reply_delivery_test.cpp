// TazuUAC's end of the hand-off with the real named block and event: the reply written whole,
// the write retried for a bounded number of times while the block cannot be written (through the
// pause seam, not three minutes), dropped at once when the block is gone, and the wait for the
// reply-taken event, which ends when it is signalled, when TazuSetting's block is gone, or at its
// bound.
#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "registration_exchange.h"
#include "reply_delivery.h"
#include "settings.h"
#include "unit_support.h"

namespace {

int g_pauses = 0;

void countPause(DWORD)
{
    ++g_pauses;
}

// The hand-off's objects as TazuSetting holds them.
struct ReaderObjects {
    HANDLE block = nullptr;
    HANDLE taken = nullptr;
    ~ReaderObjects() { close(); }
    void close()
    {
        if (block) CloseHandle(block);
        if (taken) CloseHandle(taken);
        block = taken = nullptr;
    }
};

HANDLE createBlock()
{
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRegistrationBlockBytes,
                              kRegistrationBlockName);
}

std::wstring blockText(HANDLE block)
{
    wchar_t text[kRegistrationBlockChars];
    const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, kRegistrationBlockBytes);
    if (!view) return L"<unmapped>";
    CopyMemory(text, view, kRegistrationBlockBytes);
    UnmapViewOfFile(view);
    text[kRegistrationBlockChars - 1] = L'\0';
    return text;
}

class ReplyDeliveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_pauses = 0;
        g_replyWritePause = countPause;
        trailClear(&g_errorTrail);
        g_settings.debug = 0;
    }

    void TearDown() override
    {
        g_replyWritePause = [](DWORD milliseconds) { Sleep(milliseconds); };
        g_settings.debug = 0;
        g_settingsLocation.debugLogPath[0] = L'\0';
    }
};

TEST_F(ReplyDeliveryTest, ReplyIsWrittenWholeIntoTheBlock)
{
    ReaderObjects reader;
    reader.block = createBlock();
    ASSERT_TRUE(reader.block);
    RegistrationReply reply = {{1, 4, 0, 0, 2}, {0, 0, 0, 0, 2011}, {0, 0, 0, 0, 5}};
    EXPECT_EQ(ReplyWritten, deliverRegistrationReply(reply));
    EXPECT_EQ(L"1 4 0 0 2 0 0 0 0 2011 0 0 0 0 5", blockText(reader.block));
    EXPECT_EQ(0, g_pauses);
}

TEST_F(ReplyDeliveryTest, ABlockThatCannotBeOpenedIsRetriedForThreeMinutes)
{
    TempFolder folder;
    copyText(g_settingsLocation.debugLogPath, kPathChars, (folder / L"tazu_debug.log").c_str());
    g_settings.debug = 1;
    // The block's name is there but cannot be opened as a block (another object holds it): it
    // is not known to be gone, so the write is tried again.
    ReaderObjects reader;
    reader.block = CreateMutexW(nullptr, FALSE, kRegistrationBlockName);
    ASSERT_TRUE(reader.block);
    EXPECT_EQ(ReplyNotWritten, deliverRegistrationReply(RegistrationReply()));
    EXPECT_EQ(kReplyWriteRetries, g_pauses);
    EXPECT_EQ(std::wstring(), g_errorTrail.text) << "each failed attempt starts a fresh trail";

    // Every attempt is in the log: the failed opening of the block and the retry.
    std::wstring log = readUtf16File(folder / L"tazu_debug.log");
    const std::wstring entry = L"ID:UAC-SSM1 CD:0x00000006\r\nID:UAC-MP3 CD:0x00000000\r\n\r\n";
    size_t entries = 0;
    for (size_t at = log.find(entry); at != std::wstring::npos; at = log.find(entry, at + entry.size())) ++entries;
    EXPECT_EQ(static_cast<size_t>(kReplyWriteRetries + 1), entries);
    EXPECT_EQ(entries * entry.size(), log.size());
}

// TazuSetting's block is gone (it gave up, or never was): the reply is not written, and not
// tried again, so that a block that a later exchange makes never receives it.
TEST_F(ReplyDeliveryTest, WithoutTheBlockTheReplyIsDroppedAtOnce)
{
    ASSERT_FALSE(readerBlockExists());
    EXPECT_EQ(ReplyReaderGone, deliverRegistrationReply(RegistrationReply()));
    EXPECT_EQ(0, g_pauses);
}

DWORD WINAPI signalLater(void* event)
{
    Sleep(300);
    SetEvent(static_cast<HANDLE>(event));
    return 0;
}

TEST_F(ReplyDeliveryTest, WaitForTheReadersWordEndsInEveryCase)
{
    struct Case {
        const char* name;
        bool event;
        bool signalled;     // before the wait
        bool signalLater;   // 300 ms into the wait
        bool block;
        DWORD boundMs;
        int outcome;
        DWORD atMostMs;
    };
    const Case cases[] = {
        {"signalled before", true, true, false, true, 60000, ReplyTaken, 1000},
        {"signalled during", true, false, true, true, 60000, ReplyTaken, 2000},
        {"reader gone", true, false, false, false, 60000, ReaderGone, 2000},
        {"bound passed", true, false, false, true, 700, ReplyWaitBound, 2000},
        {"no event", false, false, false, true, 60000, ReplyEventMissing, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderObjects reader;
        if (c.block) {
            reader.block = createBlock();
            ASSERT_TRUE(reader.block);
        }
        if (c.event) {
            reader.taken = CreateEventW(nullptr, TRUE, c.signalled, kReplyTakenEventName);
            ASSERT_TRUE(reader.taken);
        }
        HANDLE signaller = nullptr;
        if (c.signalLater) signaller = CreateThread(nullptr, 0, signalLater, reader.taken, 0, nullptr);
        DWORD start = GetTickCount();
        EXPECT_EQ(c.outcome, waitForReplyTaken(c.boundMs, kReplyTakenCheckMilliseconds));
        DWORD took = GetTickCount() - start;
        EXPECT_LE(took, c.atMostMs);
        if (c.outcome == ReplyWaitBound) {
            EXPECT_GE(took + 50, c.boundMs);
        }
        if (signaller) {
            WaitForSingleObject(signaller, 5000);
            CloseHandle(signaller);
        }
    }
}

}  // namespace
