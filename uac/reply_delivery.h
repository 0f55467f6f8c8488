// TazuUAC's end of the elevation hand-off: the reply written into TazuSetting's block, retried
// while the block cannot be written, and the wait for TazuSetting's word that it has read it.
// Both are bounded, so that an elevated helper never stays behind when TazuSetting is gone.
#pragma once
#include <windows.h>

#include "registration_exchange.h"

// Writing is retried for as long as TazuSetting reads (901 pauses of 200 ms, about three
// minutes); after that nobody would read the reply.
constexpr int kReplyWriteRetries = 901;
constexpr DWORD kReplyWriteRetryMilliseconds = 200;

// TazuSetting reads the block every 200 ms and signals at once, so a minute is ample; every
// half second TazuUAC looks whether TazuSetting's block is still there.
constexpr DWORD kReplyTakenBoundMilliseconds = 60000;
constexpr DWORD kReplyTakenCheckMilliseconds = 500;

// Whether TazuSetting's block exists (also when it exists but cannot be opened). TazuSetting
// makes it before it starts TazuUAC and closes it when it stops waiting, so without it nobody
// waits for a reply: TazuUAC was started by hand, or TazuSetting has given up or ended.
bool readerBlockExists();

// How delivering the reply ended.
enum ReplyDelivery {
    ReplyWritten = 0,
    ReplyReaderGone = 1,     // the block has gone: nobody to reply to, so no retry
    ReplyNotWritten = -1,    // every attempt failed
};

// Writes the reply into the block, recording each failed attempt ("UAC-MP3", logged) and trying
// again with a freshly cleared trail after a pause, as long as the block is still there; a block
// that a later exchange makes anew never gets this reply.
int deliverRegistrationReply(const RegistrationReply& reply);

// How the wait for the reply-taken event ended.
enum ReplyTakenWait {
    ReplyTaken = 0,          // TazuSetting signalled the event
    ReaderGone = 1,          // its block no longer exists: TazuSetting has ended
    ReplyWaitBound = 2,      // boundMs passed
    ReplyEventMissing = -1,  // the event cannot be opened
};

// Opens the event and waits until it is signalled, TazuSetting's block has gone, or boundMs
// has passed, looking at the block every checkMs.
int waitForReplyTaken(DWORD boundMs, DWORD checkMs);

// Pause between write attempts; replaceable for tests (default Sleep).
extern void (*g_replyWritePause)(DWORD milliseconds);
