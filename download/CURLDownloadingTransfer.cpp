// CURLDownloading: Start/Resume, Stop/Pause, Exit, Enter, the close box, the transfer's progress and
// end, and the end of the dialog.
#include "download/CURLDownloading.h"
#include "download/CompletionNotice.h"
#include "download/ResumeShortcut.h"
#include "download/ServerConfig.h"
#include "transfer/PublisherCheck.h"
#include "res/resource.h"
#include "transfer/CRateMeter.h"

namespace
{
const char kStoppedByUser[] = "Downloading stopped due to the user intervention";
const char kAborting[] = "Please wait while aborting ..........";
}  // namespace

int CURLDownloading::TraceNumber(DownloadState state)
{
    static const int kNumbers[] = {0, 1, 1, 2, 3, 4, 6, 1};
    return kNumbers[static_cast<int>(state)];
}

BOOL CURLDownloading::IsCompleted() const
{
    const DownloadState state = m_state.load();
    return state == DownloadState::Completed || state == DownloadState::ClosedAfterComplete;
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
    m_nRetriesWithoutBytes = 0;  // a start by hand gives the automatic resume its tries anew
    const Restart restart = ConfirmRestartOfCompleted();
    if (restart == Restart::Refused)
        return;
    if (restart == Restart::FileDeleted)
    {
        TraceWithUrl("restart = true  OnStart in CURLDownloading for ");
        TRANSFER_PROGRESS progress;
        progress.strStatus = "Re-starting Download and deleting existing local file.";
        progress.strProgress = CRateMeter::ProgressText(0, 0);
        progress.strRate = progress.strTimeLeft = CRateMeter::kNotKnown;
        ProgressUpdate(progress);
    }
    BeginTransfer();
    TraceWithUrl("End OnStart 2 in CURLDownloading for ");
}

CURLDownloading::Restart CURLDownloading::ConfirmRestartOfCompleted()
{
    if (!IsCompleted())
        return Restart::None;
    TraceWithUrl("IntDlgStatus  3 or 6 OnStart in CURLDownloading for ");
    CString strText;
    strText.Format("Download from \"%s\" is complete.\n\rDo you wish to restart ?", (LPCTSTR)m_strURL);
    if (MessageBox(strText, "Confirm restarting download", MB_YESNO | MB_ICONQUESTION) != IDYES)
    {
        OnExit();
        TraceWithUrl("End OnStart 2 in CURLDownloading for ");
        return Restart::Refused;
    }
    Restart restart = Restart::None;
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
            return Restart::Refused;
        }
        restart = Restart::FileDeleted;
    }
    // The new transfer is a download like any other: Open waits for its completion, its end keeps the
    // stored folder (and offers the shortcut) unless it completes, and the version it begins is its own.
    m_state = DownloadState::Unfinished;
    m_btnOpen.EnableWindow(FALSE);
    m_fBeginAnew = TRUE;
    return restart;
}

void CURLDownloading::BeginTransfer()
{
    TRANSFER_START start;
    start.strURL = m_strURL;
    start.strFilePath = m_strFilePath;
    start.fResumeStored = m_fResumeStored;
    start.fBeginAnew = m_fBeginAnew;
    start.strPublisher = GetExpectedPublisher();
    if (!m_pTransfer->Start(start, this))
    {
        m_log.WriteLine("Couldn't begin download thread");
        return;
    }
    m_fBeginAnew = FALSE;
    m_state = DownloadState::Running;
    SetTimer(kTimerElapsed, 1000, NULL);
    SetServerStatus("Please wait while connecting.......");
    m_stServerStatus.SetText("Please wait while connecting.......");
    m_btnStart.EnableWindow(FALSE);
    m_btnStop.EnableWindow(TRUE);
    SendMessage(WM_NEXTDLGCTL, (WPARAM)m_btnStop.m_hWnd, TRUE);
    TraceWithUrl("pWorkerThread not null OnStart in CURLDownloading for ");
}

void CURLDownloading::OnStop()
{
    if (EndRetryWait())
    {
        SetServerStatus(kStoppedByUser);
        ShowTransferEnded();
    }
    else if (m_pTransfer->IsBound())
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
    if (m_state.load() == DownloadState::Running || m_state.load() == DownloadState::Waiting)
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
    HoldRetryWait(TRUE);
    if (MessageBox(strText, "Do you want to abort?", MB_YESNO | MB_ICONQUESTION) != IDYES)
    {
        HoldRetryWait(FALSE);
    }
    else
    {
        EndRetryWait();
        if (m_pTransfer->IsBound())
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
    if (m_state.load() == DownloadState::Running)
        m_state = DownloadState::Stopped;
    m_pTransfer->Abort();
}

// ---- the transfer's reports -----------------------------------------------------------------------

void CURLDownloading::OnTransferProgress(const TRANSFER_PROGRESS& progress)
{
    ProgressUpdate(progress);
}

void CURLDownloading::OnLocalFileUndeletable(LPCTSTR pszPath)
{
    CString strText;
    strText.Format("Unable to delete the file from path\n\r%s", pszPath);
    ::MessageBoxA(m_hWndDialog.load(), strText, "Error deleting local file", MB_ICONERROR);
}

void CURLDownloading::OnTransferEnded(const TRANSFER_END& end)
{
    ::EnterCriticalSection(&m_csShared);
    m_end = end;
    ::LeaveCriticalSection(&m_csShared);
    if (!PostToDialog(WM_APP_TRANSFER_ENDED))
        CloseFileCtrlDlg(end);
}

LRESULT CURLDownloading::OnAppTransferEnded(WPARAM, LPARAM)
{
    ::EnterCriticalSection(&m_csShared);
    const TRANSFER_END end = m_end;
    ::LeaveCriticalSection(&m_csShared);
    CloseFileCtrlDlg(end);
    return 0;
}

void CURLDownloading::CloseFileCtrlDlg(const TRANSFER_END& end)
{
    TraceWithUrl("Start CloseFileCtrlDlg in CURLDownloading for ");
    // A completed download stays completed, however late a Stop came.
    DownloadState state = m_state.load();
    CString strStatus = end.strOutcome;
    if (end.hrResult == S_OK)
    {
        state = DownloadState::Completed;
        TraceWithUrl("Case 3 CloseFileCtrlDlg in CURLDownloading for ");
        strStatus = "Download completed";
    }
    else if (end.fAborted || state == DownloadState::Stopped)
    {
        state = DownloadState::Stopped;
        TraceWithUrl(end.fAborted ? "g_fAbortDownload 1 CloseFileCtrlDlg in CURLDownloading for "
                                  : "Case 2 CloseFileCtrlDlg in CURLDownloading for ");
        strStatus = kStoppedByUser;
    }
    else
    {
        state = DownloadState::Unfinished;
        TraceWithUrl("Case default CloseFileCtrlDlg in CURLDownloading for ");
        // A transient failure: the wait before the resume by itself is shown instead of the end.
        if (BeginRetryWait(end))
            state = DownloadState::Waiting;
    }
    // Once the dialog is ending (its questions may still show) the end is only traced.
    if (state != DownloadState::Waiting && IsDialogThread() && m_hWndDialog.load() != NULL)
    {
        m_state = state;
        SetServerStatus(strStatus);
        if (state == DownloadState::Completed)
        {
            AfxBeginThread(CompletionNoticeThreadProc, NULL, THREAD_PRIORITY_NORMAL, 0, 0, NULL);
            DeleteResumeShortcut();
        }
        else if (end.hrResult == E_NOT_GENUINE)
        {
            m_host.ForgetStoredDownload();  // the file is gone: the next start downloads it anew
        }
        ShowTransferEnded();
    }
    TraceWithUrl("End CloseFileCtrlDlg in CURLDownloading for ");
}

void CURLDownloading::ShowTransferEnded()
{
    // Progress reported before the end and still resting is shown first; the end's texts follow.
    if (m_handOver.HasUnshown())
        ApplyProgressSnapshot();
    KillTimer(kTimerElapsed);
    m_btnStart.EnableWindow(TRUE);
    m_btnStop.EnableWindow(FALSE);
    m_btnExit.EnableWindow(TRUE);
    if (m_state.load() == DownloadState::Completed)
        m_btnOpen.EnableWindow(TRUE);
    SendMessage(WM_NEXTDLGCTL, (WPARAM)m_btnStart.m_hWnd, TRUE);
    CString strStatus = GetServerStatus();
    m_stServerStatus.SetText(strStatus);
    m_captionPainter.SetTitle(strStatus);
    m_captionPainter.ApplyTitle(m_hWnd);
}

// ---- progress display -----------------------------------------------------------------------------

void CURLDownloading::ProgressUpdate(const TRANSFER_PROGRESS& progress)
{
    if (progress.nPercent < 0 || progress.nPercent > 100)
        return;
    if (m_state.load() == DownloadState::Stopped)
    {
        TraceWithUrl("End ProgressUpdate as aborted in CURLDownloading for ");
        return;
    }
    PROGRESS_SNAPSHOT snapshot;
    static_cast<TRANSFER_PROGRESS&>(snapshot) = progress;
    // Some stages of the URL service report the address itself as their status text.
    if (progress.strStatus == m_strURL)
        snapshot.strStatus = "Downloading......";
    snapshot.strTitle.Format("%d%% done %s ", progress.nPercent, (LPCTSTR)GetUrlFileName());
    m_handOver.Store(snapshot);
    if (IsDialogThread())
        ApplyProgressSnapshot();
    else if (m_handOver.ClaimPost() && !PostToDialog(WM_APP_PROGRESS))
        m_handOver.ReleasePost();  // no window (yet or any more): the next update tries again
}

LRESULT CURLDownloading::OnAppProgress(WPARAM, LPARAM)
{
    ApplyProgressSnapshot();
    // The hand-over stays claimed while the display rests.
    if (!SetTimer(kTimerProgressRest, 50, NULL))
        m_handOver.ReleasePost();
    return 0;
}

void CURLDownloading::OnProgressRestOver()
{
    // Released before the snapshot is looked at: an update stored after this point posts anew.
    m_handOver.ReleasePost();
    if (m_handOver.HasUnshown() && m_handOver.ClaimPost())
        OnAppProgress(0, 0);
}

void CURLDownloading::ApplyProgressSnapshot()
{
    const PROGRESS_SNAPSHOT snapshot = m_handOver.Take();
    // An update that was on its way when the user stopped the transfer is not shown any more.
    if (m_state.load() == DownloadState::Stopped)
        return;
    m_stServerStatus.SetText(snapshot.strStatus);
    m_stDownloadStatus.SetText(snapshot.strProgress);
    m_stTransferRate.SetText(snapshot.strRate);
    m_stTimeLeft.SetText(snapshot.strTimeLeft);
    m_progress.SetPos(snapshot.nPercent);
    m_captionPainter.SetTitle(snapshot.strTitle);
    m_captionPainter.ApplyTitle(m_hWnd);
}

// ---- the end of the dialog ------------------------------------------------------------------------

BOOL CURLDownloading::DestroyWindow()
{
    // Other threads post nothing more to this window.
    m_lDialogUp = 0;
    m_hWndDialog = NULL;
    TraceWithUrl("Start DestroyWindow in CURLDownloading for ");
    if (m_hWnd != NULL)
    {
        ShowWindow(SW_HIDE);
        KillTimer(kTimerElapsed);
        KillTimer(kTimerResume);
    }
    SettleFinalStatus();
    if (IsCompleted())
        m_host.ForgetStoredDownload();
    else
        OfferResumeShortcut();
    // The Setup dialog's thread ends the application (after this thread has ended).
    m_host.DownloadDialogEnded();
    return CDialog::DestroyWindow();
}

void CURLDownloading::SettleFinalStatus()
{
    // By the state the dialog ends in: the state after it, and the sentence when none was set.
    const DownloadState state = m_state.load();
    const BOOL fCompleted = IsCompleted();
    CString strLine;
    strLine.Format("IntDlgStatus %d DestroyWindow in CURLDownloading for ", TraceNumber(state));
    if (state != DownloadState::Closed && state != DownloadState::ClosedAfterComplete)
        TraceWithUrl(strLine);
    CString strStatus = GetServerStatus();
    if (state == DownloadState::Stopped)
    {
        strStatus = kStoppedByUser;
        TraceWithUrl("g_fAbortDownload 1 DestroyWindow in CURLDownloading for ");
    }
    if (strStatus.IsEmpty())
    {
        static const char* const kFallbacks[] = {"Download Later", "Cancelled By User", "Cancelled By User",
                                                 "Exit Application", "Download Complete", "Exit Application",
                                                 "Exit Application", "Cancelled By User"};
        strStatus = kFallbacks[static_cast<int>(state)];
    }
    m_state = fCompleted ? DownloadState::ClosedAfterComplete : DownloadState::Closed;
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
