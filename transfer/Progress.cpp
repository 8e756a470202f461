// CURLDownloading, progress display: the texts, bar and caption of a running transfer, and the
// arithmetic that turns written blocks into a transfer rate and a time-left estimate.
//
// ProgressUpdate is called on the worker (binding callbacks) and on the dialog's thread (a restart
// in OnStart). It stores what is to be shown in m_progressShown under m_csShared; the dialog's
// thread shows it, directly when it is the caller, else on WM_APP_PROGRESS. One such message is
// on its way at a time (m_lProgressPosted) and it shows the newest snapshot; after each display the
// dialog rests for kProgressRestMs before it shows the next one, so a worker that reports
// thousands of times a second neither floods the queue nor holds up input, painting and timers.
#include "download/CURLDownloading.h"
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>
#include "app/CSetupApp.h"

namespace
{
const UINT kProgressRestMs = 50;
}  // namespace

void CURLDownloading::ProgressUpdate(CString strTimeLeft, CString strRate, const char* pszStatus,
                                     const char* pszProgress, int nPercent)
{
    if (pszStatus == nullptr || ::IsBadStringPtrA(pszStatus, (UINT_PTR)-1) || pszProgress == nullptr ||
        ::IsBadStringPtrA(pszProgress, (UINT_PTR)-1) || nPercent < 0 || nPercent > 100)
        return;
    if (g_fAbortDownload.load() == 1)
    {
        TraceWithUrl("End ProgressUpdate as aborted in CURLDownloading for ");
        return;
    }
    // Some stages of the URL service report the address itself as their status text.
    if (strcmp(pszStatus, m_strURL) == 0)
        pszStatus = "Downloading......";

    ProgressSnapshot snapshot;
    snapshot.strServerStatus = pszStatus;
    snapshot.strDownloadStatus = pszProgress;
    snapshot.strTransferRate = strRate;
    snapshot.strTimeLeft = strTimeLeft;
    snapshot.nPercent = nPercent;
    snapshot.strTitle.Format("%d%% done %s ", nPercent, (LPCTSTR)GetUrlFileName());

    ::EnterCriticalSection(&m_csShared);
    snapshot.dwSerial = m_progressShown.dwSerial + 1;
    m_progressShown = snapshot;
    ::LeaveCriticalSection(&m_csShared);

    if (IsDialogThread())
        ApplyProgressSnapshot();
    else if (m_lProgressPosted.exchange(1) == 0 && !PostToDialog(WM_APP_PROGRESS))
        m_lProgressPosted = 0;  // no window (yet or any more): the next update tries again
}

LRESULT CURLDownloading::OnAppProgress(WPARAM, LPARAM)
{
    ApplyProgressSnapshot();
    // m_lProgressPosted stays set while the display rests.
    if (!SetTimer(ID_TIMER_PROGRESS, kProgressRestMs, NULL))
        m_lProgressPosted = 0;
    return 0;
}

void CURLDownloading::OnProgressRestOver()
{
    // Cleared before the snapshot is looked at: an update stored after this point posts anew.
    m_lProgressPosted = 0;
    ::EnterCriticalSection(&m_csShared);
    const DWORD dwSerial = m_progressShown.dwSerial;
    ::LeaveCriticalSection(&m_csShared);
    // Updates came during the rest: show the newest now (unless an update posts it already).
    if (dwSerial != m_dwProgressSerialShown && m_lProgressPosted.exchange(1) == 0)
        OnAppProgress(0, 0);
}

void CURLDownloading::ApplyProgressSnapshot()
{
    ::EnterCriticalSection(&m_csShared);
    ProgressSnapshot snapshot = m_progressShown;
    ::LeaveCriticalSection(&m_csShared);
    m_dwProgressSerialShown = snapshot.dwSerial;

    // An update that was on its way when the user stopped the transfer is not shown any more.
    if (g_fAbortDownload.load())
        return;

    m_stServerStatus.SetText(snapshot.strServerStatus);
    m_stDownloadStatus.SetText(snapshot.strDownloadStatus);
    m_stTransferRate.SetText(snapshot.strTransferRate);
    m_stTimeLeft.SetText(snapshot.strTimeLeft);
    m_progress.SetPos(snapshot.nPercent);
    m_captionPainter.SetTitle(snapshot.strTitle);
    m_captionPainter.ApplyTitle(m_hWnd);
}

void CURLDownloading::WriteReceivedData(const void* pvData, DWORD cbData)
{
    // Blocks are gathered and written kGatherBytes at a time: one WriteFile per block costs as much
    // as the rest of the transfer on a fast link. The read loop reads straight into the gather
    // buffer; other blocks are copied in. Without a file or a buffer, a block goes straight to
    // WriteFile; a block that does not fit behind a failed write counts as not written.
    DWORD cbWritten = 0;
    CReadBuffer& gather = m_writeGather;
    if (m_hFile == NULL || m_hFile == INVALID_HANDLE_VALUE || gather.m_pBase == nullptr || cbData > gather.m_cbSize)
    {
        ::WriteFile(m_hFile, pvData, cbData, &cbWritten, NULL);
    }
    else if (static_cast<DWORD>(gather.m_pEnd - gather.m_pWrite) >= cbData || FlushWrites())
    {
        if (pvData != gather.m_pWrite)
            memmove(gather.m_pWrite, pvData, cbData);
        gather.m_pWrite += cbData;
        cbWritten = cbData;
    }

    const DWORD dwNow = m_pfnGetTickCount();
    m_dwBytesThisTransfer += cbWritten;
    if (dwNow - m_dwRateMarkTick > 1000)
    {
        m_dRate = (double)(m_dwBytesThisTransfer - m_dwRateMarkBytes) / (double)(dwNow - m_dwRateMarkTick);
        m_dwRateMarkTick = dwNow;
        m_dwRateMarkBytes = m_dwBytesThisTransfer;
        if (cbWritten > 0 && m_dwTotalSize > 0)
        {
            // Average time per byte since the response, times the bytes still missing (what the
            // local file held before this transfer is not missing), in seconds.
            double dElapsed = (double)dwNow - (double)m_dwStartTick;
            const DWORD dwHave = m_dwResumeOffset + m_dwBytesThisTransfer;
            DWORD dwMissing = m_dwTotalSize > dwHave ? m_dwTotalSize - dwHave : 0;
            m_nSecondsLeft = (int)(dElapsed / (double)m_dwBytesThisTransfer * (double)dwMissing * 0.001);
        }
    }
}

BYTE* CURLDownloading::NextReadBlock()
{
    CReadBuffer& gather = m_writeGather;
    if (gather.m_pBase == nullptr)
        return m_readBuffer.m_pBase;
    if (static_cast<DWORD>(gather.m_pEnd - gather.m_pWrite) < m_readBuffer.m_cbSize && !FlushWrites())
        return nullptr;
    return gather.m_pWrite;
}

BOOL CURLDownloading::FlushWrites()
{
    CReadBuffer& gather = m_writeGather;
    const DWORD cbGathered = static_cast<DWORD>(gather.m_pWrite - gather.m_pBase);
    if (cbGathered == 0)
        return TRUE;
    gather.m_pWrite = gather.m_pBase;
    DWORD cbWritten = 0;
    if (::WriteFile(m_hFile, gather.m_pBase, cbGathered, &cbWritten, NULL) && cbWritten == cbGathered)
        return TRUE;
    // What did not reach the disk is no part of the local file.
    const DWORD dwError = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    m_dwFileLength -= cbGathered - cbWritten;
    ::SetLastError(dwError);
    return FALSE;
}

const char CURLDownloading::kNotKnown[] = "Not Known";

int CURLDownloading::Percent(DWORD dwPart, DWORD dwTotal)
{
    if (dwTotal == 0)
        return 0;
    return static_cast<int>(static_cast<double>(dwPart) * 100.0 / static_cast<double>(dwTotal));
}

void CURLDownloading::FormatProgressText(DWORD dwDone, DWORD dwTotal)
{
    ::StrFormatByteSizeA(dwDone, m_szDownloadedSize, sizeof(m_szDownloadedSize));
    if (dwTotal == 0)
    {
        ::snprintf(m_szProgressText, sizeof(m_szProgressText), "Downloaded %s (total size unknown)",
                   m_szDownloadedSize);
        return;
    }
    ::StrFormatByteSizeA(dwTotal, m_szTotalSize, sizeof(m_szTotalSize));
    ::snprintf(m_szProgressText, sizeof(m_szProgressText), "Downloaded %s of %s", m_szDownloadedSize, m_szTotalSize);
}

void CURLDownloading::ShowProgress(DWORD dwDone, DWORD dwTotal, int nPercent)
{
    FormatProgressText(dwDone, dwTotal);
    if (dwTotal != 0)
        ProgressUpdate(FormatTimeLeft(m_nSecondsLeft), FormatTransferRate(m_dRate), m_strStatusText, m_szProgressText,
                       nPercent);
    else
        ProgressUpdate(kNotKnown, kNotKnown, m_strStatusText, m_szProgressText, 0);
}

CString CURLDownloading::FormatTransferRate(double dRate)
{
    // The rate is in bytes per millisecond, which is shown directly as kilobytes per second.
    CString strNumber;
    CString strRate;
    if (dRate < 1.0)
    {
        strNumber.Format("%0.0f", dRate * 1024.0);
        strRate.Format("%s bytes/sec", (LPCTSTR)strNumber);
    }
    else if (dRate < 10.0)
    {
        strNumber.Format("%0.2f", dRate);
        strRate.Format("%s K/sec", (LPCTSTR)strNumber);
    }
    else
    {
        strNumber.Format("%0.0f", dRate);
        strRate.Format("%s K/sec", (LPCTSTR)strNumber);
    }
    return strRate;
}

CString CURLDownloading::FormatTimeLeft(int nSeconds)
{
    CTimeSpan span(nSeconds);
    if ((unsigned)nSeconds < 86400u)
        return span.Format("%H : %M : %S");
    return span.Format("%D days, %H : %M : %S");
}
