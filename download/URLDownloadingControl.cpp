// CURLDownloading, window side: Start/Resume, Stop/Pause, Exit, the close box, the end of a
// transfer, the end of the dialog, and the messages that other threads post to the dialog.
//
// Threads: every window operation here runs on the dialog's thread. The launch calls OnStart on
// the main thread and the worker calls CloseFileCtrlDlg; both hand their window work to the
// dialog's thread with PostMessage and never wait for it.
#include "download/CURLDownloading.h"
#include <shlwapi.h>
#include <stdio.h>
#include "app/CNewUrlDlg.h"
#include "app/CSetupApp.h"
#include "app/LastSetupPath.h"
#include "download/ResumeShortcut.h"
#include "res/resource.h"

namespace
{
const char kStoppedByUser[] = "Downloading stopped due to the user intervention";
const char kAborting[] = "Please wait while aborting ..........";
}  // namespace

UINT WorkerThreadEntry(LPVOID pParam)
{
    if (pParam != nullptr)
        static_cast<CURLDownloading*>(pParam)->WorkerThreadProc();
    return 0;
}

void CURLDownloading::OnStart()
{
    if (!IsDialogThread())
    {
        // The launch (main thread) asks before, or while, the window comes up: record the request;
        // the dialog's thread runs it once its window exists, exactly like a click on Start/Resume.
        m_lStartPending = 1;
        if (m_lDialogUp.load() != 0)
            PostToDialog(WM_APP_START);
        return;
    }

    TraceWithUrl("Start OnStart in CURLDownloading for ");
    if (!ConfirmRestartOfCompleted())
        return;

    if (m_fRestart)
    {
        TraceWithUrl("restart = true  OnStart in CURLDownloading for ");
        IntDlgStatus = 1;
        m_dwResumeOffset = 0;
        FormatProgressText(0, 0);
        ProgressUpdate(kNotKnown, kNotKnown, "Re-starting Download and deleting existing local file.",
                       m_szProgressText, 0);
        m_fRestart = FALSE;
    }

    BeginWorker();
    TraceWithUrl("End OnStart 2 in CURLDownloading for ");
}

BOOL CURLDownloading::ConfirmRestartOfCompleted()
{
    const int nStatus = IntDlgStatus.load();
    if (nStatus != 6 && nStatus != 3)
        return TRUE;
    TraceWithUrl("IntDlgStatus  3 or 6 OnStart in CURLDownloading for ");
    CString strText;
    strText.Format("Download from \"%s\" is complete.\n\rDo you wish to restart ?", (LPCTSTR)m_strURL);
    if (MessageBox(strText, "Confirm restarting download", MB_YESNO | MB_ICONQUESTION) != IDYES)
    {
        OnExit();
        TraceWithUrl("End OnStart 2 in CURLDownloading for ");
        return FALSE;
    }
    HANDLE hFile = ::CreateFileA(m_strFilePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
    {
        ::CloseHandle(hFile);
        if (!::DeleteFileA(m_strFilePath))
        {
            strText.Format("Unable to delete the file from path\n\r%s", (LPCTSTR)m_strFilePath);
            MessageBox(strText, "Error deleting local file", MB_OK | MB_ICONERROR);
            OnExit();
            TraceWithUrl("End OnStart 1 in CURLDownloading for ");
            return FALSE;
        }
        m_fRestart = TRUE;
    }
    ForgetCompletedDownload();
    return TRUE;
}

void CURLDownloading::ForgetCompletedDownload()
{
    // The new transfer is a download like any other: Open waits for its completion, its end keeps the
    // stored folder (and offers the shortcut) unless it completes, and the version it begins is its own.
    g_fDownloadComplete = FALSE;
    m_btnOpen.EnableWindow(FALSE);
    SetValidator("");
}

void CURLDownloading::BeginWorker()
{
    // The flags are set before the worker exists: a Stop/Pause flag left from the last transfer
    // must not end the new one. They go back if no worker could be started.
    const BOOL fAbortBefore = g_fAbortDownload.load();
    const int nStatusBefore = IntDlgStatus.load();
    g_fAbortDownload = FALSE;
    IntDlgStatus = 1;
    pWorkerThread = m_pfnBeginThread(m_pfnWorkerEntry, this, THREAD_PRIORITY_NORMAL, 0, 0, NULL);
    if (pWorkerThread == nullptr)
    {
        g_fAbortDownload = fAbortBefore;
        IntDlgStatus = nStatusBefore;
        theApp.m_log.WriteLine("Couldn't begin download thread");
        return;
    }
    m_fTransferRunning = TRUE;
    SetTimer(ID_TIMER_ELAPSED, 1000, NULL);
    SetServerStatus("Please wait while connecting.......");
    m_stServerStatus.SetText("Please wait while connecting.......");
    m_btnStart.EnableWindow(FALSE);
    m_btnStop.EnableWindow(TRUE);
    SendMessage(WM_NEXTDLGCTL, (WPARAM)m_btnStop.m_hWnd, TRUE);
    TraceWithUrl("pWorkerThread not null OnStart in CURLDownloading for ");
}

void CURLDownloading::OnStop()
{
    if (HasBinding())
    {
        TraceWithUrl("Start OnStop in CURLDownloading for ");
        RequestBindingAbort();
    }
    TraceWithUrl("End OnStop in CURLDownloading for");
}

void CURLDownloading::OnExit()
{
    TraceWithUrl("OnExit called in CURLDownloadingfor");
    CDialog::OnCancel();
}

// Enter reaches the dialog as IDOK, because its owner-drawn buttons never take it. While a transfer
// runs it asks as the close box does; otherwise it ends the dialog at once, as it always has.
void CURLDownloading::OnOK()
{
    if (m_fTransferRunning)
        OnClose();
    else
        CDialog::OnOK();
}

void CURLDownloading::OnClose()
{
    TraceWithUrl("Start OnClose in CURLDownloading for ");
    TraceWithUrl("Not from exit OnClose in CURLDownloading for ");
    CString strText;
    strText.Format("Are you sure you want to abort the download from \r\n%s", (LPCTSTR)m_strURL);
    if (MessageBox(strText, "Do you want to abort?", MB_YESNO | MB_ICONQUESTION) == IDYES)
    {
        if (HasBinding())
        {
            TraceWithUrl("m_pBinding is not null OnClose 1 in CURLDownloading for ");
            RequestBindingAbort();
        }
        SetServerStatus(kStoppedByUser);
        CDialog::OnCancel();
    }
    TraceWithUrl("End OnClose in CURLDownloading for ");
}

void CURLDownloading::RequestBindingAbort()
{
    SetServerStatus(kAborting);
    m_stServerStatus.SetText(kAborting);
    m_btnStop.EnableWindow(FALSE);
    g_fAbortDownload = TRUE;
    int nRunning = 1;  // a download that has just completed stays completed
    IntDlgStatus.compare_exchange_strong(nRunning, 2);
    // The worker aborts the binding on its own thread and gives up the one reference when the
    // binding reports its end.
    DWORD dwWorker = m_dwWorkerThreadId.load();
    if (dwWorker != 0)
        ::PostThreadMessageA(dwWorker, WM_APP_ABORT_BINDING, 0, 0);
}

void CURLDownloading::CloseFileCtrlDlg()
{
    TraceWithUrl("Start CloseFileCtrlDlg in CURLDownloading for ");

    // What the binding left behind; the window side (timer, buttons, focus, status text and
    // caption) follows below, on the dialog's thread.
    if (m_pRequest != nullptr && m_pRequest->punkHost != nullptr)
    {
        m_pRequest->punkHost->Release();
        m_pRequest->punkHost = nullptr;
    }
    if (m_pStream != nullptr)
    {
        m_pStream->Release();
        m_pStream = nullptr;
    }
    if (m_pszBoundary != nullptr)
    {
        ::LocalFree(m_pszBoundary);
        m_pszBoundary = nullptr;
    }

    // A completed download stays completed, however late a Stop came.
    BOOL bDecided = FALSE;
    if (g_fAbortDownload.load() && IntDlgStatus.load() != 3)
    {
        TraceWithUrl("g_fAbortDownload 1 CloseFileCtrlDlg in CURLDownloading for ");
        if (GetServerStatus() != kStoppedByUser)
        {
            IntDlgStatus = 2;
            SetServerStatus(kStoppedByUser);
            bDecided = TRUE;
        }
    }
    if (!bDecided)
    {
        switch (IntDlgStatus.load())
        {
        case 2:
            TraceWithUrl("Case 2 CloseFileCtrlDlg in CURLDownloading for ");
            SetServerStatus(kStoppedByUser);
            break;
        case 3:
            TraceWithUrl("Case 3 CloseFileCtrlDlg in CURLDownloading for ");
            SetServerStatus("Download completed");
            break;
        default:
            TraceWithUrl("Case default CloseFileCtrlDlg in CURLDownloading for ");
            break;
        }
    }

    // The file is closed before the dialog hears of the end: from then on Start may run a new
    // worker, which puts its own handle into m_hFile.
    SetLocalFile(NULL);

    if (IsDialogThread())
        ApplyTransferEnded();
    else
        PostToDialog(WM_APP_TRANSFER_ENDED);

    TraceWithUrl("End CloseFileCtrlDlg in CURLDownloading for ");
}

void CURLDownloading::ApplyTransferEnded()
{
    // Progress reported before the end and still resting is shown first; the end's texts follow.
    ::EnterCriticalSection(&m_csShared);
    const DWORD dwSerial = m_progressShown.dwSerial;
    ::LeaveCriticalSection(&m_csShared);
    if (dwSerial != m_dwProgressSerialShown)
        ApplyProgressSnapshot();

    m_fTransferRunning = FALSE;
    KillTimer(ID_TIMER_ELAPSED);
    m_btnStart.EnableWindow(TRUE);
    m_btnStop.EnableWindow(FALSE);
    m_btnExit.EnableWindow(TRUE);
    // Open is enabled by a completed download and stays so; set again here in case the
    // completion reported it from another thread.
    if (g_fDownloadComplete.load())
    {
        m_btnOpen.EnableWindow(TRUE);
        DeleteResumeShortcut();
    }
    SendMessage(WM_NEXTDLGCTL, (WPARAM)m_btnStart.m_hWnd, TRUE);

    CString strStatus = GetServerStatus();
    m_stServerStatus.SetText(strStatus);
    m_captionPainter.SetTitle(strStatus);
    m_captionPainter.ApplyTitle(m_hWnd);
}

BOOL CURLDownloading::DestroyWindow()
{
    // Other threads post nothing more to this window.
    m_lDialogUp = 0;
    m_hWndDialog = NULL;

    TraceWithUrl("Start DestroyWindow in CURLDownloading for ");
    if (m_hWnd != NULL)
    {
        ShowWindow(SW_HIDE);
        KillTimer(ID_TIMER_ELAPSED);
    }

    SettleFinalStatus();

    if (g_fDownloadComplete.load())
    {
        RemoveLastSetupPath();
    }
    else
    {
        OfferResumeShortcut();
    }

    // The Setup dialog's thread ends the application (after this thread has ended).
    HWND hWndSetup = g_dlgSetup.m_hWnd;
    if (hWndSetup != NULL && ::IsWindow(hWndSetup))
        ::SendMessageA(hWndSetup, WM_CLOSE, 0, 0);

    return CDialog::DestroyWindow();
}

void CURLDownloading::SettleFinalStatus()
{
    // By the status the dialog ends in: the status after it, and the sentence when none was set.
    static const struct
    {
        int nStatus, nNext;
        const char* pszFallback;
    } kEnds[] = {{0, 4, "Download Later"}, {1, 4, "Cancelled By User"}, {2, 4, "Exit Application"},
                 {3, 6, "Download Complete"}};
    CString strStatus = GetServerStatus();
    const int nStatus = IntDlgStatus.load();
    for (const auto& end : kEnds)
    {
        if (end.nStatus != nStatus)
            continue;
        CString strLine;
        strLine.Format("IntDlgStatus %d DestroyWindow in CURLDownloading for ", nStatus);
        TraceWithUrl(strLine);
        IntDlgStatus = end.nNext;
        if (nStatus == 2 && g_fAbortDownload.load())
        {
            strStatus = kStoppedByUser;
            TraceWithUrl("g_fAbortDownload 1 DestroyWindow in CURLDownloading for ");
        }
        if (strStatus.IsEmpty())
            strStatus = end.pszFallback;
    }
    if (strStatus.IsEmpty())
        strStatus = "Exit Application";
    SetServerStatus(strStatus);
}

void CURLDownloading::OfferResumeShortcut()
{
    if (MessageBox("Download has not completed successfully. Do you wish to create a shortcut on the desktop "
                   "to resume it later?",
                   "Create Shortcut", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    char szProgram[MAX_PATH];
    const DWORD cchProgram = ::GetModuleFileNameA(NULL, szProgram, MAX_PATH);
    const CString strLink = GetResumeShortcutPath();
    if (!strLink.IsEmpty() && cchProgram != 0 && cchProgram < MAX_PATH)
        CreateResumeShortcut(szProgram, strLink, "DownloadSetup");
}

LRESULT CURLDownloading::OnAppStart(WPARAM, LPARAM)
{
    if (m_lStartPending.exchange(0) != 0)
        OnStart();
    return 0;
}

LRESULT CURLDownloading::OnAppTransferEnded(WPARAM, LPARAM)
{
    ApplyTransferEnded();
    return 0;
}
