// TazuUAC's end of the elevation hand-off.
#include "reply_delivery.h"

#include "errors.h"

namespace {

const BlockWriteNumbers kReplyWriteNumbers = {2060, 2063, 2063};

void pauseBySleeping(DWORD milliseconds)
{
    Sleep(milliseconds);
}

}  // namespace

void (*g_replyWritePause)(DWORD milliseconds) = pauseBySleeping;

bool readerBlockExists()
{
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, kRegistrationBlockName);
    if (!block) return GetLastError() != ERROR_FILE_NOT_FOUND;
    CloseHandle(block);
    return true;
}

int deliverRegistrationReply(const RegistrationReply& reply)
{
    for (int attempt = 0;; ++attempt) {
        wchar_t block[kRegistrationBlockChars] = {};
        composeRegistrationReply(reply, block, kRegistrationBlockChars);
        if (writeRegistrationBlock(block, kReplyWriteNumbers) == 0) return ReplyWritten;
        trailRecord(&g_errorTrail, L"UAC-MP3", 0, 0);
        logTrailWhenDebugging();
        trailClear(&g_errorTrail);
        if (!readerBlockExists()) return ReplyReaderGone;
        if (attempt == kReplyWriteRetries) return ReplyNotWritten;
        g_replyWritePause(kReplyWriteRetryMilliseconds);
    }
}

int waitForReplyTaken(DWORD boundMs, DWORD checkMs)
{
    HANDLE taken = OpenEventW(EVENT_ALL_ACCESS, FALSE, kReplyTakenEventName);
    if (!taken) return ReplyEventMissing;
    int outcome = ReplyWaitBound;
    DWORD started = GetTickCount();
    for (;;) {
        DWORD waited = GetTickCount() - started;
        if (waited >= boundMs) break;
        DWORD slice = boundMs - waited < checkMs ? boundMs - waited : checkMs;
        if (WaitForSingleObject(taken, slice) == WAIT_OBJECT_0) {
            outcome = ReplyTaken;
            break;
        }
        // TazuSetting closes its block only after it has signalled, or when it ended early.
        if (!readerBlockExists()) {
            outcome = WaitForSingleObject(taken, 0) == WAIT_OBJECT_0 ? ReplyTaken : ReaderGone;
            break;
        }
    }
    CloseHandle(taken);
    return outcome;
}
