// CURLDownloading: the download dialog, which is at the same time the URL binding's callback
// (IBindStatusCallback and IHttpNegotiate).
//
// One class, implemented in several files by concern:
//   download/URLDownloadingDialog.cpp   construction, template binding, painting, timer, Open
//   download/URLDownloadingControl.cpp  Start, Stop, Exit, close box, end of transfer, end of dialog,
//                                       and the messages other threads post to the dialog
//   transfer/Progress.cpp               progress display, rate and time-left arithmetic
//   transfer/Worker.cpp                 the worker thread and the start of the binding
//   transfer/BindCallback.cpp           IUnknown, IBindStatusCallback, IHttpNegotiate
//   transfer/Outcome.cpp                notifications from the callback, outcome sentences
//   transfer/Multipart.cpp              multipart/byteranges reader
//
// Threads: window operations run only on the dialog's thread; the worker (binding callbacks,
// file writes) reaches the windows through the private messages of DownloadMessages.h. Members
// shared between threads are atomics or guarded by m_csShared, which is never held while a window
// message is sent.
#pragma once
#include <afxwin.h>
#include <urlmon.h>
#include <wininet.h>
#include <atomic>
#include "controls/CCaptionPainter.h"
#include "controls/CColorEdit.h"
#include "controls/CColorStatic.h"
#include "controls/CHoverButton.h"
#include "controls/CRangeProgressCtrl.h"
#include "download/DownloadMessages.h"
#include "transfer/CReadBuffer.h"
#include "transfer/TransferTypes.h"

#define ID_TIMER_ELAPSED 1   // elapsed-time timer, 1000 ms
#define ID_TIMER_PROGRESS 2  // rest between two progress displays (kProgressRestMs)

// Outcome of a resume whose server answered with another version of the installer.
#define E_INSTALLER_CHANGED MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0301)

// Set when a download has completed during this dialog's life; cleared when the dialog opens.
extern std::atomic<BOOL> g_fDownloadComplete;

UINT WorkerThreadEntry(LPVOID pParam);

class CURLDownloading : public CDialog, public IBindStatusCallback, public IHttpNegotiate
{
public:
    explicit CURLDownloading(CWnd* pParent = NULL);
    ~CURLDownloading() override;

    // ---- window side -------------------------------------------------------------------------
    BOOL DestroyWindow() override;
    void OnStart();
    void OnStop();
    void OnExit();
    void CloseFileCtrlDlg();

    // ---- progress display ---------------------------------------------------------------------
    void ProgressUpdate(CString strTimeLeft, CString strRate, const char* pszStatus, const char* pszProgress,
                        int nPercent);
    void WriteReceivedData(const void* pvData, DWORD cbData);
    // Writes the gathered blocks; FALSE (the error in GetLastError) when they did not all reach the
    // disk, which the local length then no longer counts.
    BOOL FlushWrites();
    // Where the read loop reads the next block: the free end of the gather buffer (written out
    // first when a block no longer fits; NULL when that write failed), or the read buffer.
    BYTE* NextReadBlock();
    static HRESULT WriteFailureOf(DWORD dwError);
    CString FormatTransferRate(double dRate);
    CString FormatTimeLeft(int nSeconds);
    // "Downloaded <done> of <total>", or "... (total size unknown)" when dwTotal is 0, into
    // m_szProgressText; ShowProgress shows it with the current status text, rate and time left.
    void FormatProgressText(DWORD dwDone, DWORD dwTotal);
    void ShowProgress(DWORD dwDone, DWORD dwTotal, int nPercent);
    // Percentage of part in total, truncated; 0 while the total is unknown.
    static int Percent(DWORD dwPart, DWORD dwTotal);
    static const char kNotKnown[];  // the rate and time left while they are unknown

    // ---- worker and binding --------------------------------------------------------------------
    void WorkerThreadProc();
    BOOL BeginDownload(DOWNLOAD_REQUEST* pRequest);
    BOOL HttpReadFromServer(DOWNLOAD_REQUEST* pRequest);
    HRESULT GetAnInterface(IUnknown* punk, REFIID riid, void** ppv, BOOL bCheckServiceProvider, REFGUID guidService,
                           REFIID riidService, void** ppvService);
    void InitCallback(DOWNLOAD_REQUEST* pRequest);
    BOOL OnDownloadNotify(DOWNLOAD_NOTIFY* pNotify);
    CString GetResultMessage(HRESULT hr);
    BOOL ParsePartHeader();
    HRESULT ReadMultipartData();
    // The read loops' steps: a block handed to OnDownloadNotify (FALSE: refused, the binding is
    // aborted), and the buffered multipart text placed part by part (FALSE: the body is over).
    BOOL NotifyData(DWORD dwOffset, const BYTE* pbData, DWORD cbData);
    BOOL PlaceBufferedParts(HRESULT hrRead);

    // IUnknown (shared by both interfaces; the count never destroys the object)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD dwReserved, IBinding* pib) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* pnPriority) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                         LPCWSTR szStatusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hresult, LPCWSTR szError) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pformatetc,
                                              STGMEDIUM* pstgmed) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* punk) override;
    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                                                   LPWSTR* pszAdditionalHeaders) override;
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders,
                                         LPCWSTR szRequestHeaders, LPWSTR* pszAdditionalRequestHeaders) override;

    // ---- state, in the order the dialog has always declared it ------------------------------------
    CReadBuffer m_readBuffer;
    CReadBuffer m_writeGather;  // received blocks on their way to the local file
    enum { kReadBlockBytes = 8192, kGatherBytes = 256 * 1024 };
    HICON m_hIcon;
    CRgn m_rgnWindow;
    CCaptionPainter m_captionPainter;
    std::atomic<int> IntDlgStatus;
    std::atomic<BOOL> g_fAbortDownload;
    CWinThread* pWorkerThread;  // as AfxBeginThread returned it; the object may be gone: never dereferenced
    std::atomic<DWORD> m_dwWorkerThreadId;
    HANDLE m_hFile;
    HRESULT m_hrBind;
    CString m_strStatusText;
    char m_szProgressText[256];
    char m_szDownloadedSize[256];
    char m_szTotalSize[256];
    DWORD m_dwRateMarkBytes;
    DWORD m_dwBytesThisTransfer;
    DWORD m_dwStartTick;
    DWORD m_dwTotalSize;
    DWORD m_dwRateMarkTick;
    DWORD m_dwResumeOffset;
    double m_dRate;
    int m_nSecondsLeft;
    LONG m_cRef;
    IBinding* m_pBinding;
    IStream* m_pStream;
    DWORD m_dwWriteOffset;
    DOWNLOAD_REQUEST* m_pRequest;
    DOWNLOAD_NOTIFY m_notify;
    DWORD m_dwStatusCode;
    char* m_pszBoundary;
    DWORD m_cchBoundary;
    DWORD m_dwPartPos;
    DWORD m_dwPartEnd;
    CHoverButton m_btnOpen;
    CColorStatic m_stTimeLeft;
    CColorStatic m_stTimeElapsed;
    CColorStatic m_stTransferRate;
    CHoverButton m_btnStop;
    CHoverButton m_btnStart;
    CHoverButton m_btnExit;
    CRangeProgressCtrl m_progress;
    CColorStatic m_stServerStatus;
    CColorEdit m_edFilePath;
    CColorStatic m_stDownloadStatus;
    CString m_strDownloadStatus;
    CString m_strURL;
    CString m_strFilePath;
    CString m_strServerStatus;
    CString m_strTransferRate;
    CString m_strTimeLeft;
    int m_nElapsedSec;
    BOOL m_fRestart;
    BOOL m_fTransferRunning = FALSE;  // dialog thread: a worker has begun and its end is not shown yet

    // ---- cross-thread plumbing ----------------------------------------------------------------------
    CRITICAL_SECTION m_csShared;       // guards m_strServerStatus, m_pBinding and m_progressShown
    std::atomic<LONG> m_lStartPending;  // the launch asked for a start before the window was up
    std::atomic<LONG> m_lDialogUp;      // OnInitDialog has finished; cleared when the window goes
    // 1 while a WM_APP_PROGRESS is on its way or the display rests after showing one (ID_TIMER_PROGRESS):
    // meanwhile other threads only store their snapshot. Keeps a fast worker from flooding the queue.
    std::atomic<LONG> m_lProgressPosted;
    std::atomic<DWORD> m_dwDialogThreadId;  // the thread that owns the dialog's window; 0 before it exists
    std::atomic<HWND> m_hWndDialog;         // where other threads post to; NULL before and after the window

    // What the dialog shows next; written by whichever thread reports progress.
    struct ProgressSnapshot
    {
        CString strServerStatus;
        CString strDownloadStatus;
        CString strTransferRate;
        CString strTimeLeft;
        int nPercent = 0;
        CString strTitle;
        DWORD dwSerial = 0;  // counts the snapshots stored
    } m_progressShown;
    DWORD m_dwProgressSerialShown;  // dialog thread: the snapshot on screen

    // Clock of the rate and time-left figures; tests substitute their own.
    DWORD(WINAPI* m_pfnGetTickCount)();
    // Procedure of the worker thread that OnStart begins: WorkerThreadEntry; dialog tests substitute
    // a scripted worker.
    AFX_THREADPROC m_pfnWorkerEntry;
    // How OnStart begins that thread: AfxBeginThread; tests substitute a start that fails.
    CWinThread*(AFXAPI* m_pfnBeginThread)(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);

    // ---- transfer engine state (kept by the worker and the binding callback) -------------------------
    // Reset by InitCallback for every binding and used only on the worker thread that runs it, except
    // m_dwStallTimeoutMs (set before a worker starts; tests shorten it).
    HRESULT m_hrOutcome = S_OK;         // failure the engine decided on (refusal, redirect, timeout, bad
                                        // answer, failed write); reported instead of the binding's result
    DWORD m_dwFileLength = 0;           // bytes in the local file, counted as the engine writes them
    DWORD m_dwExpectedLength = 0;       // full length of the file as the answer announced it
    BOOL m_fLengthKnown = FALSE;        // m_dwExpectedLength is known (Content-Length / Content-Range)
    BOOL m_fFileUnusable = FALSE;       // the local file could not be replaced: nothing more is written
    BOOL m_fAbortCalled = FALSE;        // IBinding::Abort has been called for this binding
    BOOL m_fBindingEnded = FALSE;       // the end of the binding has been notified (NOTIFY_DONE)
    BOOL m_fMultipartDone = FALSE;      // the closing delimiter of a multipart body has been read
    BOOL m_fAlreadyComplete = FALSE;    // a 416 said the local file is the server's whole file
    DWORD m_dwLastActivityTick = 0;     // last sign of life from the binding (no-data watchdog)
    DWORD m_dwStallTimeoutMs = 30000;   // how long the binding may stay silent before it is aborted
    DWORD m_dwLastDrainUpdateTick = 0;  // last progress shown from inside the read loop

    // Remembers the first failure as the outcome and aborts the binding; returns hrOutcome.
    HRESULT ReportFailure(HRESULT hrOutcome);
    // IBinding::Abort, once per binding, on the worker thread.
    void AbortBinding();
    // Writes the part of a block that continues the local file exactly; FALSE stops the transfer.
    BOOL DeliverData(DWORD dwOffset, const BYTE* pbData, DWORD cbData);
    // Progress display from inside a long read loop, at most a few times a second.
    void ShowDrainProgress(BOOL fForce);
    // A Content-Range value: "bytes FIRST-LAST/TOTAL", "bytes FIRST-LAST/*" or "bytes */TOTAL".
    struct CONTENT_RANGE
    {
        BOOL fRange;  // FIRST-LAST given
        DWORD dwFirst, dwLast;
        BOOL fTotal;  // TOTAL given
        DWORD dwTotal;
    };
    static BOOL ParseContentRange(const char* pszValue, CONTENT_RANGE* pRange);
    static BOOL QueryContentRange(IWinInetHttpInfo* pInfo, CONTENT_RANGE* pRange);
    // A single-part 206 must start at the local length; learns the full length from Content-Range.
    HRESULT CheckResumeRange(IWinInetHttpInfo* pInfo);
    // A 416 answer: the local file is complete when its length is the server's ("bytes */LENGTH").
    HRESULT CheckAlreadyComplete(IWinInetHttpInfo* pInfo);
    // Reads the boundary of a multipart/byteranges (or x-byteranges) Content-Type into m_pszBoundary.
    HRESULT ReadBoundary(IWinInetHttpInfo* pInfo);
    // The worker's steps: the local file opened at its end (m_dwResumeOffset; INVALID_HANDLE_VALUE
    // when it cannot be opened), and the message loop that runs the binding to its end.
    HANDLE OpenLocalFile();
    void PumpBinding();
    // Puts hFile (or NULL) in place of the local file's handle and closes the old one.
    void SetLocalFile(HANDLE hFile);
    // The worker's no-data watchdog: aborts with a timeout when the binding has been silent too long.
    void CheckStall();
    // True on the worker thread of the current binding: callbacks of an abandoned binding (another
    // thread, or this one after its end) change nothing.
    BOOL IsCurrentWorker() const { return ::GetCurrentThreadId() == m_dwWorkerThreadId.load(); }
    // OnResponse's steps: the refusal a status code means (S_OK: none); the headers of the answer;
    // a 206 that must continue the local file; an answer that replaces it; the response notification.
    // The start of both negotiation callbacks: no extra headers yet; FALSE for an abandoned binding.
    BOOL EnterNegotiation(LPWSTR* ppszHeaders);
    static HRESULT RefusalOf(DWORD dwResponseCode);
    HRESULT QueryHttpInfo(IWinInetHttpInfo** ppInfo);
    // The binding with a reference of the caller's own (NULL when there is none).
    IBinding* CopyBinding();
    // Puts pNew in the binding's place; the reference of the one it replaces passes to the caller.
    IBinding* ExchangeBinding(IBinding* pNew);
    HRESULT ContinueLocalFile(IWinInetHttpInfo* pInfo);
    BOOL ReplaceLocalFile(IWinInetHttpInfo* pInfo);
    void NotifyResponse(IWinInetHttpInfo* pInfo, DWORD dwResponseCode);

    // ---- the version of the installer the local file holds (worker thread) ----------------------
    // "<total> <validator>" of the response that began the local file (its strong ETag, else its
    // Last-Modified; total 0 when unknown), "restart" when the next start must begin the file anew,
    // or empty. Kept beside the stored folder in the registry too.
    CString m_strValidator;
    void SetValidator(LPCTSTR pszValidator);
    // At the worker's start: deletes the local file when it belongs to an older version; FALSE
    // when it cannot be deleted (the user has been told).
    BOOL BeginAnewIfChanged();
    // The validator part of m_strValidator ("" when none).
    LPCTSTR StoredValidator() const;
    // Keeps the validator of the response that begins the local file.
    void RememberValidator(IWinInetHttpInfo* pInfo, DWORD dwTotal);
    // A resumed answer whose ETag / Last-Modified or total length differs from the stored one
    // belongs to another version: the transfer ends, and the next start begins anew.
    HRESULT CheckSameVersion(IWinInetHttpInfo* pInfo);
    BOOL IsSameTotal(DWORD dwTotal);
    HRESULT InstallerChanged();

protected:
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

    // The file name at the end of the address: the part after its last '/', or all of it.
    CString GetUrlFileName() const;
    // True on the thread that owns the dialog's window.
    BOOL IsDialogThread() const;

public:
    // m_strServerStatus, read and written under m_csShared (a private copy leaves the lock).
    CString GetServerStatus();
    void SetServerStatus(LPCTSTR pszStatus);

protected:
    // Posts to the dialog's window from any thread; FALSE when there is no window.
    BOOL PostToDialog(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Dialog thread: shows the latest progress snapshot.
    void ApplyProgressSnapshot();
    // Dialog thread: the rest after a progress display is over; shows what came meanwhile.
    void OnProgressRestOver();
    // Dialog thread: the window side of the end of a transfer (timer, buttons, focus, status, caption).
    void ApplyTransferEnded();
    // Stop/Pause and the close box: the aborting state, and the worker asked to abort its binding on
    // its own thread.
    void RequestBindingAbort();
    // The binding pointer as the worker last left it (read under m_csShared).
    BOOL HasBinding();
    // OnStart's steps: the question before a completed download is fetched again (FALSE: not
    // restarted, the dialog ends), and the worker's start with its window side.
    BOOL ConfirmRestartOfCompleted();
    void ForgetCompletedDownload();
    void BeginWorker();
    // DestroyWindow's steps: the final status sentence, and the resume shortcut offered after a
    // download that has not completed.
    void SettleFinalStatus();
    void OfferResumeShortcut();
    // Writes pszText followed by the download address to the trace log.
    void TraceWithUrl(LPCTSTR pszText);

    DECLARE_MESSAGE_MAP()
};
