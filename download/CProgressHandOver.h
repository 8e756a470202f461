// CProgressHandOver: brings what a worker reports to the dialog's thread. The newest snapshot is kept
// under a lock; one message is on its way at a time, and after each display the dialog rests a
// little before it shows the next one, so a worker that reports thousands of times a second neither
// floods the queue nor holds up input, painting and timers.
#pragma once
#include <afx.h>
#include <atomic>
#include "transfer/ITransfer.h"

// What the dialog shows of a running transfer: the transfer's texts, and the title they make.
struct PROGRESS_SNAPSHOT : TRANSFER_PROGRESS
{
    CString strTitle;
};

class CProgressHandOver
{
public:
    CProgressHandOver() { ::InitializeCriticalSection(&m_cs); }
    ~CProgressHandOver() { ::DeleteCriticalSection(&m_cs); }
    CProgressHandOver(const CProgressHandOver&) = delete;
    CProgressHandOver& operator=(const CProgressHandOver&) = delete;

    // Any thread: keeps the snapshot as the newest.
    void Store(const PROGRESS_SNAPSHOT& snapshot);
    // Any thread: TRUE when the caller is to post the message that shows it (none is on its way and
    // the display does not rest); ReleasePost when that message could not be posted.
    BOOL ClaimPost() { return m_lPosted.exchange(1) == 0; }
    void ReleasePost() { m_lPosted = 0; }
    // Dialog thread: the newest snapshot, from now on the one shown.
    PROGRESS_SNAPSHOT Take();
    // Dialog thread: a snapshot newer than the one shown waits.
    BOOL HasUnshown();

private:
    CRITICAL_SECTION m_cs;  // guards m_snapshot and m_dwSerial
    PROGRESS_SNAPSHOT m_snapshot;
    DWORD m_dwSerial = 0;       // counts the snapshots stored
    DWORD m_dwSerialShown = 0;  // the snapshot on screen
    // 1 while a message is on its way or the display rests after showing one: meanwhile the
    // others only store their snapshot.
    std::atomic<LONG> m_lPosted{0};
};
