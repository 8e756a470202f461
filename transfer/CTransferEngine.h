// CTransferEngine: downloads one address into the local file on a worker thread of its own, through
// an asynchronous URL binding. It asks for the bytes beyond the local length, appends an answer only
// where it continues the file exactly and only while the server has the version that began it,
// begins the file anew when the server cannot resume, and reports progress and its end to the
// events it was started with. It knows no window.
//
// Threads: Start, Abort and IsBound run on any thread; everything else runs on the worker, which
// owns the binding: the URL moniker delivers every callback through the message queue of the thread
// that started the binding, so the worker pumps messages until the binding has ended. In that loop
// it aborts the binding when asked (COM wants Abort on the binding's own thread) and runs the
// no-data watchdog, because Wine never ends a binding whose server went silent or reset the
// connection.
#pragma once
#include <afxwin.h>
#include <urlmon.h>
#include <wininet.h>
#include <atomic>
#include <functional>
#include "log/CTraceLog.h"
#include "transfer/CInstallerVersion.h"
#include "transfer/CLocalFile.h"
#include "transfer/CMultipartReader.h"
#include "transfer/CRateMeter.h"
#include "transfer/ITransfer.h"

class CBindCallback;

class CTransferEngine : public ITransfer, private IPartSink
{
public:
    // 0x93 plus BINDF_NOWRITECACHE: the installer is not written a second time into the WinINet
    // cache, and aborted transfers leave no partial copies there.
    static const DWORD kBindFlags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_GETNEWESTVERSION |
                                    BINDF_PULLDATA | BINDF_NOWRITECACHE;
    static const DWORD kStallTimeoutMs = 30000;  // how long a binding may stay silent

    explicit CTransferEngine(CTraceLog& log);
    ~CTransferEngine();
    CTransferEngine(const CTransferEngine&) = delete;
    CTransferEngine& operator=(const CTransferEngine&) = delete;
    // Where the validator of an unfinished download is kept between runs (none: in memory only).
    void SetValidatorStore(IValidatorStore* pStore) { m_version.SetStore(pStore); }

    BOOL Start(const TRANSFER_START& start, ITransferEvents* pEvents) override;
    void Abort() override;
    BOOL IsBound() override;
    // The whole transfer on the calling thread, as the worker runs it (tests and the benchmark).
    void Run(const TRANSFER_START& start, ITransferEvents* pEvents);

    // Seams for tests: the clock of the rate, time-left and watchdog figures; the watchdog's wait;
    // the worker's pause before it binds; and the binding itself (the URL moniker's, or a script
    // of fake moniker objects that calls the callback).
    DWORD(WINAPI* m_pfnGetTickCount)() = ::GetTickCount;
    DWORD m_dwStallTimeoutMs = kStallTimeoutMs;
    DWORD m_dwPauseBeforeBindMs = kPauseBeforeBindMs;
    std::function<HRESULT(LPCWSTR pszUrl, IBindStatusCallback* pCallback)> m_bind = BindToStorage;

private:
    friend class CBindCallback;
    enum
    {
        kReadBlockBytes = 8192,
        kPauseBeforeBindMs = 500,  // the worker's pause before it binds
        kDrainUpdateMs = 250,      // how often a long read loop refreshes the progress display
        WM_APP_ABORT_BINDING = WM_APP + 10,  // to the worker: abort the binding on this thread
    };
    static UINT WorkerEntry(LPVOID pParam);
    // The URL moniker's asynchronous binding of the address to a stream.
    static HRESULT BindToStorage(LPCWSTR pszUrl, IBindStatusCallback* pCallback);
    void RunWorker();
    // The worker's steps: the local file opened at its end (FALSE when it cannot be opened, or holds
    // an older version that cannot be deleted); the state of a new binding; its start; the message
    // loop that runs it to its end; the no-data watchdog.
    BOOL OpenLocalFile();
    void BeginBindingState();
    BOOL BeginBinding();
    void PumpBinding();
    void CheckStall();

    // The binding's calls (through CBindCallback).
    HRESULT OnBindStart(IBinding* pib);
    HRESULT OnBindProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR szStatusText);
    HRESULT OnBeginningTransaction(LPWSTR* ppszHeaders);
    HRESULT OnBindResponse(DWORD dwStatus);
    HRESULT OnBindData(STGMEDIUM* pstgmed);
    void EndOfBinding(HRESULT hrBinding);

    // OnBindResponse's steps: the answer's headers, a 206 that must continue the local file, a 416
    // that may say it is complete, an answer that replaces it, and the answer's length and version.
    HRESULT QueryHttpInfo(IWinInetHttpInfo** ppInfo);
    static CString QueryContentType(IWinInetHttpInfo* pInfo);
    HRESULT ContinueLocalFile(IWinInetHttpInfo* pInfo, const CString& strType);
    HRESULT CheckResumeRange(IWinInetHttpInfo* pInfo);
    HRESULT CheckAlreadyComplete(IWinInetHttpInfo* pInfo);
    BOOL ReplaceLocalFile();
    void TakeResponse(IWinInetHttpInfo* pInfo, DWORD dwStatus);
    HRESULT InstallerChanged();
    // A refused answer's Retry-After in seconds; -1 without a usable one.
    static LONG QueryRetryAfter(IWinInetHttpInfo* pInfo);

    // Writes the part of a block that continues the local file exactly; FALSE stops the transfer.
    BOOL DeliverData(DWORD dwOffset, const BYTE* pbData, DWORD cbData);
    BOOL NotifyData(DWORD dwOffset, const BYTE* pbData, DWORD cbData);
    HRESULT DrainStream();
    // IPartSink: the multipart reader's parts.
    BOOL KeepReading() override;
    BOOL AcceptPart(const CONTENT_RANGE& range) override;
    BOOL PlaceData(DWORD dwOffset, const BYTE* pbData, DWORD cbData) override;

    // Remembers the first failure as the outcome and aborts the binding; returns hrOutcome.
    HRESULT ReportFailure(HRESULT hrOutcome);
    // IBinding::Abort, once per binding, on the worker thread.
    void AbortBinding();
    IBinding* CopyBinding();
    IBinding* ExchangeBinding(IBinding* pNew);
    // The end: what is gathered goes to disk, the outcome is judged and traced, the file closed.
    void FinishTransfer(HRESULT hrResult);
    // A complete file that is not the expected publisher's signed installer: deleted, E_NOT_GENUINE.
    HRESULT CheckGenuine(TRANSFER_END& end);

    void ReportProgress(LPCTSTR pszTimeLeft, LPCTSTR pszRate, LPCTSTR pszStatus, int nPercent);
    void ShowProgress(DWORD dwDone, DWORD dwTotal, int nPercent);
    void ShowDrainProgress(BOOL fForce);
    void Trace(LPCTSTR pszText);  // the text and the address

    CTraceLog& m_log;
    TRANSFER_START m_start;
    ITransferEvents* m_pEvents = nullptr;
    std::atomic<BOOL> m_fAbort{FALSE};           // Stop/Pause: not one more byte
    std::atomic<DWORD> m_dwWorkerThreadId{0};    // the worker of the running binding; 0 once it ended
    CRITICAL_SECTION m_csBinding;                // guards m_pBinding
    IBinding* m_pBinding = nullptr;
    CBindCallback* m_pCallback = nullptr;
    IStream* m_pStream = nullptr;
    SYSTEMTIME m_stStarted = {};

    // The state of one binding, reset by BeginBindingState.
    HRESULT m_hrOutcome = S_OK;       // failure decided on (refusal, redirect, timeout, bad answer,
                                      // failed write); reported instead of the binding's result
    HRESULT m_hrBind = S_OK;          // a binding that could not be started
    DWORD m_dwResumeOffset = 0;       // the local length the request asked from
    DWORD m_dwWriteOffset = 0;        // file offset of the next block of a single-part body
    DWORD m_dwExpectedLength = 0;     // full length of the file as the answer announced it
    BOOL m_fLengthKnown = FALSE;
    DWORD m_dwTotalSize = 0;          // the total the progress display shows
    BOOL m_fFileUnusable = FALSE;     // the local file could not be replaced: nothing more is written
    BOOL m_fAbortCalled = FALSE;      // IBinding::Abort has been called for this binding
    BOOL m_fBindingEnded = FALSE;     // the end of the binding has been reported
    BOOL m_fAlreadyComplete = FALSE;  // a 416 said the local file is the server's whole file
    TRANSFER_RETRY_HINT m_retry;      // the answer's status and Retry-After, the bytes added
    DWORD m_dwLastActivityTick = 0;   // last sign of life from the binding (no-data watchdog)
    DWORD m_dwLastDrainUpdateTick = 0;
    CString m_strStatusText;          // the service's latest status text
    CString m_strProgressText;        // the latest "Downloaded ..." text

    CLocalFile m_file;
    CReadBuffer m_readBuffer;  // blocks that are thrown away, or read without a gather buffer
    CRateMeter m_rate;
    CMultipartReader m_multipart;
    CInstallerVersion m_version;
};
