// CURLDownloading: the automatic resume. A transfer that ended by a transient failure (the
// connection lost or not made, the body cut short, the no-data watchdog, a busy server) resumes by
// itself, exactly as Start/Resume would, after a wait that the dialog shows as a countdown: a
// timer, so the window stays responsive. The elapsed time keeps counting, Stop/Pause ends the wait.
#include "download/CURLDownloading.h"

BOOL CURLDownloading::BeginRetryWait(const TRANSFER_END& end)
{
    if (!IsDialogThread() || m_hWndDialog.load() == NULL || !IsTransientFailure(end.hrResult, end.retry.dwStatus))
        return FALSE;
    if (end.retry.fAddedBytes)
        m_nRetriesWithoutBytes = 0;  // the resumes have been getting somewhere: their tries begin anew
    CString strLine;
    if (m_nRetriesWithoutBytes >= kRetriesWithoutBytes)
    {
        strLine.Format("Automatic resume given up after %u tries without a byte, last 0x%08lX for ",
                       m_nRetriesWithoutBytes, static_cast<unsigned long>(end.hrResult));
        TraceWithUrl(strLine);
        return FALSE;
    }
    const UINT nTry = m_nRetriesWithoutBytes + 1;
    const DWORD dwWaitMs = RetryWaitMs(nTry, m_dwFirstRetryWaitMs, end.retry.lRetryAfterSec);
    strLine.Format("Automatic resume %u of %u in %lu ms after 0x%08lX (status %lu) for ", nTry,
                   kRetriesWithoutBytes, static_cast<unsigned long>(dwWaitMs),
                   static_cast<unsigned long>(end.hrResult), static_cast<unsigned long>(end.retry.dwStatus));
    TraceWithUrl(strLine);
    if (!SetTimer(kTimerResume, dwWaitMs > 0 ? dwWaitMs : 1, NULL))
        return FALSE;
    // Progress reported before the end and still resting is shown first; the countdown follows.
    if (m_handOver.HasUnshown())
        ApplyProgressSnapshot();
    m_state = DownloadState::Waiting;
    SetServerStatus(end.strOutcome);  // what an end of the dialog during the wait leaves behind
    m_strRetryReason = end.retry.dwStatus >= 400 ? "The server is busy." : "Connection lost.";
    m_dwRetryDueTick = ::GetTickCount() + dwWaitMs;
    ShowRetryCountdown();
    return TRUE;
}

void CURLDownloading::ShowRetryCountdown()
{
    const LONG lLeftMs = static_cast<LONG>(m_dwRetryDueTick - ::GetTickCount());
    CString strStatus;
    strStatus.Format("%s Resuming in %ld s (try %u of %u)", (LPCTSTR)m_strRetryReason,
                     lLeftMs > 0 ? (lLeftMs + 999) / 1000 : 0L, m_nRetriesWithoutBytes + 1, kRetriesWithoutBytes);
    m_stServerStatus.SetText(strStatus);
}

void CURLDownloading::ResumeByItself()
{
    KillTimer(kTimerResume);
    if (m_state.load() != DownloadState::Waiting)
        return;
    ++m_nRetriesWithoutBytes;
    BeginTransfer();
    if (m_state.load() == DownloadState::Waiting)
    {
        // No worker could be started: the transfer ends with the failure it had.
        m_state = DownloadState::Unfinished;
        ShowTransferEnded();
    }
}

void CURLDownloading::HoldRetryWait(BOOL fHold)
{
    if (m_state.load() != DownloadState::Waiting)
        return;
    if (fHold)
    {
        KillTimer(kTimerResume);
        return;
    }
    const LONG lLeftMs = static_cast<LONG>(m_dwRetryDueTick - ::GetTickCount());
    if (!SetTimer(kTimerResume, lLeftMs > 0 ? static_cast<UINT>(lLeftMs) : 1, NULL))
        ResumeByItself();
}

BOOL CURLDownloading::EndRetryWait()
{
    if (m_state.load() != DownloadState::Waiting)
        return FALSE;
    KillTimer(kTimerResume);
    m_state = DownloadState::Stopped;
    TraceWithUrl("Automatic resume cancelled by the user for ");
    return TRUE;
}
