// CURLDownloading, transfer side: the notifications of the binding callback (response, data, end)
// and the outcome sentences. Runs on the worker thread.
#include "download/CURLDownloading.h"
#include <shlwapi.h>
#include <stdio.h>
#include "app/CSetupApp.h"
#include "download/CompletionNotice.h"

namespace
{
const char kDownloadComplete[] = "Download Complete";

// How often a long read loop refreshes the progress display.
const DWORD kDrainUpdateMs = 250;
}  // namespace

BOOL CURLDownloading::OnDownloadNotify(DOWNLOAD_NOTIFY* pNotify)
{
    if (pNotify == nullptr)
        return FALSE;
    switch (pNotify->dwReason)
    {
    case NOTIFY_RESPONSE:
    {
        const DWORD dwNow = m_pfnGetTickCount();
        m_dwStartTick = dwNow;
        m_dwRateMarkTick = dwNow;
        m_dwBytesThisTransfer = 0;
        m_dwRateMarkBytes = 0;
        return TRUE;
    }

    case NOTIFY_DATA:
        return DeliverData(pNotify->dwOffset, static_cast<const BYTE*>(pNotify->pvData), pNotify->cbData);

    case NOTIFY_DONE:
    {
        HRESULT hrResult = pNotify->hrResult;
        // What is gathered goes to disk before anything is judged.
        if (!FlushWrites())
            hrResult = WriteFailureOf(::GetLastError());
        // A binding may end with S_OK although the connection closed early (Wine reports a cut
        // body as success): success needs every byte of the announced length on disk.
        const BOOL fAllBytes = !m_fLengthKnown || m_dwFileLength == m_dwExpectedLength;
        if (hrResult == S_OK && !fAllBytes)
            hrResult = INET_E_DOWNLOAD_FAILURE;
        if (hrResult == S_OK && m_fFileUnusable)
            hrResult = STG_E_WRITEFAULT;

        const CString strResult = GetResultMessage(hrResult);
        {
            // The outcome and the bytes behind it, for whoever reads the log after a failure.
            CString strLine;
            char szExpected[32] = "of an unknown length";
            if (m_fLengthKnown)
                ::snprintf(szExpected, sizeof(szExpected), "of %lu", static_cast<unsigned long>(m_dwExpectedLength));
            strLine.Format("Transfer ended for %s: 0x%08lX %s, %lu bytes on disk %s", (LPCTSTR)m_strURL,
                           static_cast<unsigned long>(hrResult), (LPCTSTR)strResult,
                           static_cast<unsigned long>(m_dwFileLength), szExpected);
            theApp.m_log.WriteLine(strLine);
        }
        SetServerStatus(strResult);
        if (strResult == kDownloadComplete)
        {
            g_fDownloadComplete = TRUE;  // the dialog enables Open when it takes the end over
            AfxBeginThread(CompletionNoticeThreadProc, NULL, THREAD_PRIORITY_NORMAL, 0, 0, NULL);
            // Completed means every byte on disk, counted, not the rounded size texts.
            if (fAllBytes)
            {
                IntDlgStatus = 3;
                if (m_fLengthKnown)
                    m_dwTotalSize = m_dwExpectedLength;
            }
        }
        CloseFileCtrlDlg();
        return TRUE;
    }

    default:
        return FALSE;
    }
}

BOOL CURLDownloading::DeliverData(DWORD dwOffset, const BYTE* pbData, DWORD cbData)
{
    // Stop/Pause: not one more byte once the flag is up.
    if (g_fAbortDownload.load())
        return FALSE;
    if (m_hrOutcome != S_OK || m_fFileUnusable || m_fAlreadyComplete)
        return FALSE;
    if (cbData == 0)
        return TRUE;

    // The local file stays a prefix of the server's file: bytes already on disk are skipped, and a
    // block that would leave a gap is never written.
    if (dwOffset > m_dwFileLength)
    {
        ReportFailure(INET_E_DATA_NOT_AVAILABLE);
        return FALSE;
    }
    const DWORD cbKnown = m_dwFileLength - dwOffset;
    if (cbKnown >= cbData)
        return TRUE;
    pbData += cbKnown;
    cbData -= cbKnown;

    // WriteReceivedData counts what WriteFile really wrote; a short count is a failed write.
    const DWORD dwBefore = m_dwBytesThisTransfer;
    ::SetLastError(ERROR_SUCCESS);
    WriteReceivedData(pbData, cbData);
    const DWORD dwError = ::GetLastError();
    const DWORD cbWritten = m_dwBytesThisTransfer - dwBefore;
    m_dwFileLength += cbWritten;
    if (cbWritten != cbData)
    {
        ReportFailure(WriteFailureOf(dwError));
        return FALSE;
    }
    m_dwLastActivityTick = m_pfnGetTickCount();
    return TRUE;
}

void CURLDownloading::ShowDrainProgress(BOOL fForce)
{
    // On loopback one notification can carry the whole file without any OnProgress in between;
    // the display is refreshed from the read loop instead, a few times a second.
    const DWORD dwNow = m_pfnGetTickCount();
    if (!fForce && dwNow - m_dwLastDrainUpdateTick < kDrainUpdateMs)
        return;
    m_dwLastDrainUpdateTick = dwNow;
    if (g_fAbortDownload.load() || m_hrOutcome != S_OK)
        return;
    const DWORD dwTotal = m_fLengthKnown ? m_dwExpectedLength : m_dwTotalSize;
    if (dwTotal != 0)
        m_dwTotalSize = dwTotal;
    const int nPercent = Percent(m_dwFileLength, dwTotal);
    ShowProgress(m_dwFileLength, dwTotal, nPercent > 100 ? 100 : nPercent);
}

HRESULT CURLDownloading::WriteFailureOf(DWORD dwError)
{
    return dwError == ERROR_DISK_FULL || dwError == ERROR_HANDLE_DISK_FULL ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
}

CString CURLDownloading::GetResultMessage(HRESULT hr)
{
    switch (hr)
    {
    case S_OK:
        return kDownloadComplete;
    case S_FALSE:
    case E_FAIL:
        return "Download InComplete - UnKnown Failure";
    case INET_E_INVALID_URL:
        return "You have entered in an invalid URL.  Please enter in the correct URL";
    case INET_E_NO_SESSION:
        return "Internet session cannot be established";
    case INET_E_CANNOT_CONNECT:
        return "The attempt to connect to the Internet has failed";
    case INET_E_RESOURCE_NOT_FOUND:
        return "The specified file does not exist on server.";
    case INET_E_OBJECT_NOT_FOUND:
        return "The object was not found";
    case INET_E_DATA_NOT_AVAILABLE:
        return "An Internet connection was established, but the data cannot be retrieved";
    case INET_E_DOWNLOAD_FAILURE:
        return "The download has failed (the connection was interrupted)";
    case INET_E_AUTHENTICATION_REQUIRED:
        return "Authentication is needed to access the object";
    case INET_E_NO_VALID_MEDIA:
        return "The file is not one of the acceptable MIME types";
    case INET_E_CONNECTION_TIMEOUT:
        return "The Internet connection has timed out";
    case INET_E_INVALID_REQUEST:
        return "The request was invalid";
    case INET_E_UNKNOWN_PROTOCOL:
        return "The protocol is not known and no pluggable protocols have been entered that match";
    case INET_E_SECURITY_PROBLEM:
        return "A security problem was encountered";
    case INET_E_CANNOT_LOAD_DATA:
        return "The object could not be loaded";
    case INET_E_CANNOT_INSTANTIATE_OBJECT:
        return "CoCreateInstance failed";
    case INET_E_REDIRECT_FAILED:
        return "The request is being redirected";
    // The local file could not be written (or replaced): the transfer stops with its own sentence.
    case STG_E_WRITEFAULT:
        return "The download could not be written to the local file";
    case STG_E_MEDIUMFULL:
        return "There is not enough space on the disk to save the download";
    case E_INSTALLER_CHANGED:
        return "The installer on the server has changed since the download began. Start/Resume downloads it anew";
    default:
        return "Download Interrupted / Time Out Action _ By User";
    }
}
