// CURLDownloading: the download dialog: its window, buttons and texts, Start/Resume, Stop/Pause,
// Exit, the close box, the end of a transfer and the end of the dialog. It runs the transfer
// through ITransfer and hears of it through ITransferEvents.
//
// Threads: window operations and every change of the download's state run on the dialog's
// thread. The transfer reports on its worker thread; the dialog takes progress and the end over to
// its own thread with the private messages of DownloadMessages.h. The launch's OnStart from the
// main thread is handed over the same way.
#pragma once
#include <afxwin.h>
#include <atomic>
#include "controls/CCaptionPainter.h"
#include "controls/CColorEdit.h"
#include "controls/CColorStatic.h"
#include "controls/CHoverButton.h"
#include "controls/CRangeProgressCtrl.h"
#include "download/CProgressHandOver.h"
#include "download/DownloadMessages.h"
#include "download/IDownloadHost.h"
#include "log/CTraceLog.h"
#include "transfer/HttpRules.h"
#include "transfer/ITransfer.h"

// Where the download stands. One value, changed on the dialog's thread only. The trace log names
// it by the numbers of TraceNumber.
enum class DownloadState
{
    NotStarted,  // 0
    Running,     // 1: a transfer runs
    Unfinished,  // 1: a transfer ended without the whole file
    Stopped,     // 2: the user stopped it
    Completed,   // 3
    Closed,      // 4: the dialog ended without a completed download
    ClosedAfterComplete,  // 6
    Waiting,     // 1: a transient failure ended a transfer; a resume by itself is due
};

class CURLDownloading : public CDialog, public ITransferEvents
{
public:
    CURLDownloading(CTraceLog& log, ITransfer& transfer, IDownloadHost& host);
    ~CURLDownloading() override;

    // The download this dialog fetches; set before the window comes up.
    CString m_strURL;
    CString m_strFilePath;
    BOOL m_fResumeStored = FALSE;  // the local file continues a download stored by an earlier run

    BOOL DestroyWindow() override;
    void OnStart();
    void OnStop();
    void OnExit();

    DownloadState State() const { return m_state.load(); }
    static int TraceNumber(DownloadState state);
    CString GetServerStatus();
    HWND DialogWindow() const { return m_hWndDialog.load(); }  // NULL before and after the window
    // Tests put a fake transfer in the engine's place before the dialog starts one.
    void SetTransfer(ITransfer& transfer) { m_pTransfer = &transfer; }
    // The wait before the first automatic resume (doubled for each further one); test builds shorten it.
    DWORD m_dwFirstRetryWaitMs = kFirstRetryWaitMs;

    // ITransferEvents (the transfer's worker thread)
    void OnTransferProgress(const TRANSFER_PROGRESS& progress) override;
    void OnLocalFileUndeletable(LPCTSTR pszPath) override;
    void OnTransferEnded(const TRANSFER_END& end) override;

protected:
    enum
    {
        kTimerElapsed = 1,       // the elapsed time, every second
        kTimerProgressRest = 2,  // the rest between two progress displays
        kTimerResume = 3,        // the end of the wait before an automatic resume
    };
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnCancel() override {}  // Esc and the cancel command do nothing
    void OnOK() override;

    afx_msg void OnPaint();
    afx_msg void OnNcPaint();
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnClose();
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnOpen();
    afx_msg LRESULT OnDrawCaption(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnAppStart(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnAppProgress(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnAppTransferEnded(WPARAM wParam, LPARAM lParam);

private:
    // OnStart's steps: the question before a completed download is fetched again (FALSE: not
    // restarted, the dialog ends), and the transfer's start with its window side.
    enum class Restart { None, FileDeleted, Refused };
    Restart ConfirmRestartOfCompleted();
    void BeginTransfer();
    // Stop/Pause and the close box: the aborting state, and the transfer asked to abort.
    void RequestBindingAbort();
    // The end of a transfer on the dialog's thread: the outcome decided, then the window side.
    void CloseFileCtrlDlg(const TRANSFER_END& end);
    void ShowTransferEnded();
    // The automatic resume (CURLDownloadingRetry.cpp): after a transient failure the wait begins
    // (FALSE: the transfer ends as it is), shown as a countdown; the resume when it is over; the
    // wait held while the close box asks; the wait ended by the user (FALSE: there was none).
    BOOL BeginRetryWait(const TRANSFER_END& end);
    void ShowRetryCountdown();
    void ResumeByItself();
    void HoldRetryWait(BOOL fHold);
    BOOL EndRetryWait();
    // Shows a progress display: directly on the dialog's thread, else through the hand-over.
    void ProgressUpdate(const TRANSFER_PROGRESS& progress);
    void ApplyProgressSnapshot();
    void OnProgressRestOver();
    // DestroyWindow's steps: the final status sentence, and the resume shortcut offered after a
    // download that has not completed.
    void SettleFinalStatus();
    void OfferResumeShortcut();
    // Open found a file that is not the genuine installer: it goes, the download is no longer complete.
    void RefuseFileNotGenuine(const CString& strSentence);
    void SetServerStatus(LPCTSTR pszStatus);
    BOOL IsCompleted() const;
    // The file name at the end of the address: the part after its last '/', or all of it.
    CString GetUrlFileName() const;
    BOOL IsDialogThread() const;
    // Posts to the dialog's window from any thread; FALSE when there is no window.
    BOOL PostToDialog(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void TraceWithUrl(LPCTSTR pszText);

    CTraceLog& m_log;
    ITransfer* m_pTransfer;
    IDownloadHost& m_host;
    std::atomic<DownloadState> m_state{DownloadState::NotStarted};
    BOOL m_fBeginAnew = FALSE;  // the next transfer begins the file anew (a restart)

    HICON m_hIcon;
    CRgn m_rgnWindow;
    CCaptionPainter m_captionPainter;
    CHoverButton m_btnOpen, m_btnStop, m_btnStart, m_btnExit;
    CColorStatic m_stTimeLeft, m_stTimeElapsed, m_stTransferRate, m_stServerStatus, m_stDownloadStatus;
    CColorEdit m_edFilePath;
    CRangeProgressCtrl m_progress;
    CString m_strDownloadStatus, m_strTransferRate, m_strTimeLeft;  // the template's texts
    int m_nElapsedSec = 0;
    UINT m_nRetriesWithoutBytes = 0;  // automatic resumes in a row that added no byte
    DWORD m_dwRetryDueTick = 0;       // when the automatic resume is due
    CString m_strRetryReason;         // the wait's first words

    // ---- shared with other threads -------------------------------------------------------------
    CRITICAL_SECTION m_csShared;  // guards m_strServerStatus and m_end
    CString m_strServerStatus;
    TRANSFER_END m_end;                    // the last transfer's end, on its way to the dialog's thread
    CProgressHandOver m_handOver;
    std::atomic<LONG> m_lStartPending{0};  // the launch asked for a start before the window was up
    std::atomic<LONG> m_lDialogUp{0};      // OnInitDialog has finished; cleared when the window goes
    std::atomic<DWORD> m_dwDialogThreadId{0};  // the thread that owns the window; 0 before it exists
    std::atomic<HWND> m_hWndDialog{NULL};      // where other threads post to

    DECLARE_MESSAGE_MAP()
};
