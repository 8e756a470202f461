// CTransferEngine: the worker thread, the start and end of a binding, the watchdog, the abort, the
// writes and the progress reports. The answer's judgement is in CTransferEngineAnswer.cpp.
//
// Wine's URL moniker ignores a failure returned from OnResponse or OnProgress and keeps delivering
// the body, so every refusal is remembered in m_hrOutcome, the binding is aborted, and the refusal
// (not E_ABORT) becomes the outcome. Nothing is written once an outcome has been decided.
#include "transfer/CTransferEngine.h"
#include <stdio.h>
#include <new>
#include "transfer/AutoComInit.h"
#include "transfer/CBindCallback.h"
#include "transfer/HttpRules.h"
#include "transfer/PublisherCheck.h"

CTransferEngine::CTransferEngine(CTraceLog& log) : m_log(log) { ::InitializeCriticalSection(&m_csBinding); }

CTransferEngine::~CTransferEngine() { ::DeleteCriticalSection(&m_csBinding); }

BOOL CTransferEngine::Start(const TRANSFER_START& start, ITransferEvents* pEvents)
{
    m_start = start;
    m_pEvents = pEvents;
    if (start.fBeginAnew)
        m_version.Forget();
    else if (start.fResumeStored)
        m_version.LoadStored();
    // Down before the worker exists: a Stop/Pause of the last transfer must not end this one.
    m_fAbort = FALSE;
    return AfxBeginThread(WorkerEntry, this, THREAD_PRIORITY_NORMAL, 0, 0, NULL) != nullptr;
}

void CTransferEngine::Run(const TRANSFER_START& start, ITransferEvents* pEvents)
{
    m_start = start;
    m_pEvents = pEvents;
    m_fAbort = FALSE;
    RunWorker();
}

UINT CTransferEngine::WorkerEntry(LPVOID pParam)
{
    static_cast<CTransferEngine*>(pParam)->RunWorker();
    return 0;
}

void CTransferEngine::Abort()
{
    m_fAbort = TRUE;
    // The worker aborts the binding on its own thread and gives up its reference when the binding
    // reports its end.
    const DWORD dwWorker = m_dwWorkerThreadId.load();
    if (dwWorker != 0)
        ::PostThreadMessageA(dwWorker, WM_APP_ABORT_BINDING, 0, 0);
}

BOOL CTransferEngine::IsBound()
{
    ::EnterCriticalSection(&m_csBinding);
    const BOOL fBound = m_pBinding != nullptr;
    ::LeaveCriticalSection(&m_csBinding);
    return fBound;
}

void CTransferEngine::RunWorker()
{
    m_log.WriteLine("Start WorkerThreadProc in CURLDownloading");
    // From here on, a worker of an earlier transfer that is still winding down leaves the loop.
    m_dwWorkerThreadId = ::GetCurrentThreadId();
    const BOOL fOpened = OpenLocalFile();
    ::GetSystemTime(&m_stStarted);
    ::Sleep(m_dwPauseBeforeBindMs);

    CAutoComInit com;
    BeginBindingState();
    if (FAILED(com.Result()))
    {
        // Without COM there is no binding: a failure to begin like any other.
        m_log.WriteLine("End WorkerThreadProc 1 in CURLDownloading");
        EndOfBinding(E_FAIL);
    }
    else if (!fOpened)
    {
        // A local file that cannot be opened (missing or read-only folder) or deleted is a clear
        // outcome of its own; the server is not asked.
        m_hrOutcome = STG_E_WRITEFAULT;
        EndOfBinding(STG_E_WRITEFAULT);
    }
    else if (BeginBinding())
    {
        PumpBinding();
    }
    else if (!m_fBindingEnded)
    {
        // The binding could not be started and has not reported an end: the end is reported here.
        EndOfBinding(FAILED(m_hrBind) ? m_hrBind : E_FAIL);
    }
    m_log.WriteLine("End WorkerThreadProc 2 in CURLDownloading");
}

BOOL CTransferEngine::OpenLocalFile()
{
    m_dwResumeOffset = 0;
    if (m_version.MustBeginAnew())
    {
        // The file holds an older version of the installer: it is deleted and begun anew.
        Trace("Installer changed on the server, deleting the local file for ");
        if (!::DeleteFileA(m_start.strFilePath) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        {
            m_pEvents->OnLocalFileUndeletable(m_start.strFilePath);
            return FALSE;
        }
        m_version.Forget();
    }
    // Opened without truncation: its length is where the transfer resumes.
    const BOOL fOpened = m_file.OpenAtEnd(m_start.strFilePath);
    m_dwResumeOffset = m_file.Length();
    return fOpened;
}

void CTransferEngine::BeginBindingState()
{
    if (IBinding* pOld = ExchangeBinding(nullptr))
        pOld->Release();
    m_pStream = nullptr;
    m_hrOutcome = S_OK;
    m_hrBind = S_OK;
    m_dwWriteOffset = 0;
    m_dwExpectedLength = 0;
    m_fLengthKnown = FALSE;
    m_dwTotalSize = 0;
    m_fFileUnusable = FALSE;
    m_fAbortCalled = FALSE;
    m_fBindingEnded = FALSE;
    m_fAlreadyComplete = FALSE;
    m_retry = TRANSFER_RETRY_HINT();
    m_multipart.End();
    m_rate = CRateMeter();
    m_dwLastActivityTick = m_pfnGetTickCount();
    m_dwLastDrainUpdateTick = m_dwLastActivityTick;
    Trace("CCallback Constructor in CURLDownloading for ");
}

BOOL CTransferEngine::BeginBinding()
{
    Trace("Start HttpReadFromServer in CURLDownloading for ");
    WCHAR wszUrl[INTERNET_MAX_URL_LENGTH];
    if (::MultiByteToWideChar(CP_ACP, 0, m_start.strURL, -1, wszUrl, INTERNET_MAX_URL_LENGTH) == 0)
        wszUrl[INTERNET_MAX_URL_LENGTH - 1] = L'\0';
    m_pCallback = new (std::nothrow) CBindCallback(this);
    // The outcome of an asynchronous binding arrives through OnStopBinding; only a binding that
    // could not be started at all is reported here.
    const HRESULT hr = m_pCallback != nullptr ? m_bind(wszUrl, m_pCallback) : E_OUTOFMEMORY;
    if (FAILED(hr))
        m_hrBind = hr;
    Trace("End HttpReadFromServer 1 in CURLDownloading for ");
    return SUCCEEDED(m_hrBind);
}

HRESULT CTransferEngine::BindToStorage(LPCWSTR pszUrl, IBindStatusCallback* pCallback)
{
    IMoniker* pMoniker = nullptr;
    IBindCtx* pBindCtx = nullptr;
    IStream* pStream = nullptr;
    HRESULT hr = ::CreateURLMoniker(NULL, pszUrl, &pMoniker);
    if (SUCCEEDED(hr))
        hr = ::CreateAsyncBindCtx(0, pCallback, NULL, &pBindCtx);
    if (SUCCEEDED(hr))
        hr = pMoniker->BindToStorage(pBindCtx, NULL, IID_IStream, reinterpret_cast<void**>(&pStream));
    for (IUnknown* punk : {static_cast<IUnknown*>(pStream), static_cast<IUnknown*>(pBindCtx),
                           static_cast<IUnknown*>(pMoniker)})
        if (punk != nullptr)
            punk->Release();
    return hr;
}

void CTransferEngine::PumpBinding()
{
    // The watchdog looks a few times per wait, at least once a second.
    DWORD dwPeriod = m_dwStallTimeoutMs / 4;
    dwPeriod = dwPeriod > 1000 ? 1000 : dwPeriod < 20 ? 20 : dwPeriod;
    const UINT_PTR idTimer = ::SetTimer(NULL, 0, dwPeriod, NULL);
    MSG msg;
    // No WM_QUIT ends the loop: it would also end a message box shown on this thread meanwhile.
    while (m_dwWorkerThreadId.load() == ::GetCurrentThreadId() && !m_fBindingEnded &&
           ::GetMessageA(&msg, NULL, 0, 0) > 0)
    {
        if (msg.hwnd == NULL && msg.message == WM_APP_ABORT_BINDING)
        {
            AbortBinding();
            continue;
        }
        if (msg.hwnd == NULL && msg.message == WM_TIMER && msg.wParam == idTimer)
        {
            CheckStall();
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (idTimer != 0)
        ::KillTimer(NULL, idTimer);
    // What the service queued up to the end is still handled (its clean-up of the binding).
    for (int i = 0; i < 1000 && ::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE) && msg.message != WM_QUIT; ++i)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void CTransferEngine::CheckStall()
{
    if (m_fBindingEnded)
        return;
    const DWORD dwNow = m_pfnGetTickCount();
    if (dwNow - m_dwLastActivityTick < m_dwStallTimeoutMs)
        return;
    if (!m_fAbortCalled)
    {
        // A silent server, or a connection reset that the service never reports: no end would come.
        Trace("Timed out WorkerThreadProc in CURLDownloading for ");
        m_dwLastActivityTick = dwNow;
        ReportFailure(INET_E_CONNECTION_TIMEOUT);
        if (m_fAbortCalled)
            return;
    }
    // The abort itself has not ended the binding within another wait: the end is reported here, so
    // nobody is left waiting.
    if (m_hrOutcome == S_OK)
        m_hrOutcome = INET_E_CONNECTION_TIMEOUT;
    EndOfBinding(E_ABORT);
}

HRESULT CTransferEngine::OnBindStart(IBinding* pib)
{
    m_dwLastActivityTick = m_pfnGetTickCount();
    if (pib != nullptr)
    {
        pib->AddRef();
        if (IBinding* pOld = ExchangeBinding(pib))
            pOld->Release();
    }
    return m_readBuffer.Allocate(kReadBlockBytes) ? S_OK : E_OUTOFMEMORY;
}

void CTransferEngine::EndOfBinding(HRESULT hrBinding)
{
    if (IBinding* pBinding = ExchangeBinding(nullptr))
        pBinding->Release();
    if (m_fBindingEnded)
        return;
    m_fBindingEnded = TRUE;
    // Before anybody hears of the end: from then on a new transfer may start, and whatever this
    // binding still delivers changes nothing.
    m_dwWorkerThreadId = 0;
    if (m_pCallback != nullptr)
    {
        m_pCallback->Abandon();
        m_pCallback->Release();
        m_pCallback = nullptr;
    }
    m_retry.fAddedBytes = m_rate.BytesThisTransfer() > 0;
    // A remembered refusal, timeout or failed write is the outcome, not the abort it caused.
    FinishTransfer(m_hrOutcome != S_OK ? m_hrOutcome : (m_fAlreadyComplete ? S_OK : hrBinding));
}

void CTransferEngine::FinishTransfer(HRESULT hrResult)
{
    // What is gathered goes to disk before anything is judged.
    if (!m_file.Flush())
        hrResult = WriteFailureOf(::GetLastError());
    // A binding may end with S_OK although the connection closed early (Wine reports a cut body as
    // success): success needs every byte of the announced length on disk.
    if (hrResult == S_OK && m_fLengthKnown && m_file.Length() != m_dwExpectedLength)
        hrResult = INET_E_DOWNLOAD_FAILURE;
    if (hrResult == S_OK && m_fFileUnusable)
        hrResult = STG_E_WRITEFAULT;

    // Closed before anything else reads it: the publisher check, and a new transfer.
    m_file.Close();
    TRANSFER_END end;
    end.retry = m_retry;
    end.strOutcome = OutcomeSentence(hrResult);
    if (hrResult == S_OK)
        hrResult = CheckGenuine(end);
    end.hrResult = hrResult;
    end.fAborted = m_fAbort.load();
    {
        // The outcome and the bytes behind it, for whoever reads the log after a failure.
        CString strLine;
        char szExpected[32] = "of an unknown length";
        if (m_fLengthKnown)
            ::snprintf(szExpected, sizeof(szExpected), "of %lu", static_cast<unsigned long>(m_dwExpectedLength));
        strLine.Format("Transfer ended for %s: 0x%08lX %s, %lu bytes on disk %s", (LPCTSTR)m_start.strURL,
                       static_cast<unsigned long>(hrResult), (LPCTSTR)end.strOutcome,
                       static_cast<unsigned long>(m_file.Length()), szExpected);
        m_log.WriteLine(strLine);
    }
    if (m_pStream != nullptr)
        m_pStream->Release();
    m_pStream = nullptr;
    m_multipart.End();
    m_pEvents->OnTransferEnded(end);
}

HRESULT CTransferEngine::CheckGenuine(TRANSFER_END& end)
{
    // Every byte is on disk: only the publisher's signed installer counts as complete. A file that
    // is not is deleted (it would be run sooner or later), and nothing of its version is kept.
    if (m_start.strPublisher.IsEmpty())
        return S_OK;
    const PUBLISHER_CHECK check = CheckPublisher(m_start.strFilePath, m_start.strPublisher);
    m_log.WriteLine(PublisherCheckTrace(check) + " for " + m_start.strFilePath);
    // Where this Windows cannot check, the download is complete as it always was; Open asks first.
    if (check.nVerdict == PUBLISHER_GENUINE || check.nVerdict == PUBLISHER_NOT_CHECKED ||
        check.nVerdict == PUBLISHER_CANNOT_CHECK)
        return S_OK;
    ::DeleteFileA(m_start.strFilePath);
    m_version.Forget();
    end.strOutcome = PublisherCheckSentence(check);
    return E_NOT_GENUINE;
}

HRESULT CTransferEngine::ReportFailure(HRESULT hrOutcome)
{
    if (m_hrOutcome == S_OK)
        m_hrOutcome = hrOutcome;
    AbortBinding();
    return hrOutcome;
}

void CTransferEngine::AbortBinding()
{
    if (m_fAbortCalled || m_fBindingEnded)
        return;
    IBinding* pBinding = CopyBinding();
    if (pBinding == nullptr)
        return;
    m_fAbortCalled = TRUE;
    m_dwLastActivityTick = m_pfnGetTickCount();  // the watchdog gives the abort a full wait to end it
    // OnStopBinding may run inside Abort and drop m_pBinding; our own reference keeps it alive.
    pBinding->Abort();
    pBinding->Release();
}

IBinding* CTransferEngine::CopyBinding()
{
    ::EnterCriticalSection(&m_csBinding);
    IBinding* pBinding = m_pBinding;
    if (pBinding != nullptr)
        pBinding->AddRef();
    ::LeaveCriticalSection(&m_csBinding);
    return pBinding;
}

IBinding* CTransferEngine::ExchangeBinding(IBinding* pNew)
{
    ::EnterCriticalSection(&m_csBinding);
    IBinding* pOld = m_pBinding;
    m_pBinding = pNew;
    ::LeaveCriticalSection(&m_csBinding);
    return pOld;
}

BOOL CTransferEngine::DeliverData(DWORD dwOffset, const BYTE* pbData, DWORD cbData)
{
    // Stop/Pause: not one more byte once the flag is up.
    if (m_fAbort.load() || m_hrOutcome != S_OK || m_fFileUnusable || m_fAlreadyComplete)
        return FALSE;
    if (cbData == 0)
        return TRUE;
    // The local file stays a prefix of the server's file: bytes already on disk are skipped, and a
    // block that would leave a gap is never written.
    const DWORD dwLength = m_file.Length();
    if (dwOffset > dwLength)
    {
        ReportFailure(INET_E_DATA_NOT_AVAILABLE);
        return FALSE;
    }
    const DWORD cbKnown = dwLength - dwOffset;
    if (cbKnown >= cbData)
        return TRUE;
    pbData += cbKnown;
    cbData -= cbKnown;
    ::SetLastError(ERROR_SUCCESS);
    const DWORD cbWritten = m_file.Append(pbData, cbData);
    const DWORD dwError = ::GetLastError();
    const DWORD dwNow = m_pfnGetTickCount();
    m_rate.Count(cbWritten, dwNow, m_dwTotalSize);
    if (cbWritten != cbData)
    {
        ReportFailure(WriteFailureOf(dwError));
        return FALSE;
    }
    m_dwLastActivityTick = dwNow;
    return TRUE;
}

BOOL CTransferEngine::NotifyData(DWORD dwOffset, const BYTE* pbData, DWORD cbData)
{
    if (!DeliverData(dwOffset, pbData, cbData))
    {
        AbortBinding();
        return FALSE;
    }
    ShowDrainProgress(FALSE);
    return TRUE;
}

BOOL CTransferEngine::KeepReading()
{
    if (!m_fAbort.load())
        return TRUE;
    AbortBinding();
    return FALSE;
}

BOOL CTransferEngine::AcceptPart(const CONTENT_RANGE& range)
{
    // A part of another version of the installer is never placed in the local file.
    if (range.fTotal && m_dwResumeOffset > 0 && !m_version.SameTotal(range.dwTotal))
    {
        InstallerChanged();
        return FALSE;
    }
    if (range.fTotal && !m_fLengthKnown)
    {
        m_dwExpectedLength = range.dwTotal;
        m_fLengthKnown = TRUE;
    }
    return TRUE;
}

BOOL CTransferEngine::PlaceData(DWORD dwOffset, const BYTE* pbData, DWORD cbData)
{
    return NotifyData(dwOffset, pbData, cbData);
}

void CTransferEngine::ReportProgress(LPCTSTR pszTimeLeft, LPCTSTR pszRate, LPCTSTR pszStatus, int nPercent)
{
    TRANSFER_PROGRESS progress;
    progress.strStatus = pszStatus;
    progress.strProgress = m_strProgressText;
    progress.strRate = pszRate;
    progress.strTimeLeft = pszTimeLeft;
    progress.nPercent = nPercent;
    m_pEvents->OnTransferProgress(progress);
}

void CTransferEngine::ShowProgress(DWORD dwDone, DWORD dwTotal, int nPercent)
{
    m_strProgressText = CRateMeter::ProgressText(dwDone, dwTotal);
    if (dwTotal != 0)
        ReportProgress(CRateMeter::FormatTimeLeft(m_rate.SecondsLeft()),
                       CRateMeter::FormatTransferRate(m_rate.Rate()), m_strStatusText, nPercent);
    else
        ReportProgress(CRateMeter::kNotKnown, CRateMeter::kNotKnown, m_strStatusText, 0);
}

void CTransferEngine::ShowDrainProgress(BOOL fForce)
{
    // On loopback one notification can carry the whole file without any OnProgress in between;
    // the display is refreshed from the read loop instead, a few times a second.
    const DWORD dwNow = m_pfnGetTickCount();
    if (!fForce && dwNow - m_dwLastDrainUpdateTick < kDrainUpdateMs)
        return;
    m_dwLastDrainUpdateTick = dwNow;
    if (m_fAbort.load() || m_hrOutcome != S_OK)
        return;
    const DWORD dwTotal = m_fLengthKnown ? m_dwExpectedLength : m_dwTotalSize;
    if (dwTotal != 0)
        m_dwTotalSize = dwTotal;
    const int nPercent = CRateMeter::Percent(m_file.Length(), dwTotal);
    ShowProgress(m_file.Length(), dwTotal, nPercent > 100 ? 100 : nPercent);
}

void CTransferEngine::Trace(LPCTSTR pszText) { m_log.WriteLine(CString(pszText) + m_start.strURL); }
