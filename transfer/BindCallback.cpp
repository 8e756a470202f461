// CURLDownloading, transfer side: the binding callback (IUnknown, IBindStatusCallback and
// IHttpNegotiate). Every method runs on the worker thread that started the binding; the dialog's
// thread reaches the binding only through g_fAbortDownload and WM_APP_ABORT_BINDING.
//
// Wine's URL moniker ignores a failure returned from OnResponse or OnProgress and keeps delivering
// the body, so every refusal is remembered in m_hrOutcome, the binding is aborted, and the refusal
// (not E_ABORT) becomes the outcome. Nothing is written once an outcome has been decided.
#include "download/CURLDownloading.h"
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>
#include "app/CSetupApp.h"

void CURLDownloading::InitCallback(DOWNLOAD_REQUEST* pRequest)
{
    m_pRequest = pRequest;
    m_dRate = 0.0;
    ::EnterCriticalSection(&m_csShared);
    m_pBinding = nullptr;
    ::LeaveCriticalSection(&m_csShared);
    m_pStream = nullptr;
    m_cRef = 0;
    m_nSecondsLeft = 0;
    m_dwTotalSize = 0;
    if (pRequest != nullptr && pRequest->punkHost != nullptr)
        pRequest->punkHost->AddRef();
    m_notify.cbSize = sizeof(DOWNLOAD_NOTIFY);
    m_dwWriteOffset = 0;
    m_notify.dwFlags = pRequest != nullptr ? pRequest->dwFlags : 0;
    m_dwStatusCode = 0;
    if (m_pszBoundary != nullptr)  // left by a binding that never reached CloseFileCtrlDlg
        ::LocalFree(m_pszBoundary);
    m_pszBoundary = nullptr;

    m_dwBytesThisTransfer = 0;
    m_writeGather.m_pWrite = m_writeGather.m_pBase;
    m_hrOutcome = S_OK;
    m_dwFileLength = m_dwResumeOffset;
    m_dwExpectedLength = 0;
    m_fLengthKnown = FALSE;
    m_fFileUnusable = FALSE;
    m_fAbortCalled = FALSE;
    m_fBindingEnded = FALSE;
    m_fMultipartDone = FALSE;
    m_fAlreadyComplete = FALSE;
    m_dwLastActivityTick = m_pfnGetTickCount();
    m_dwLastDrainUpdateTick = m_dwLastActivityTick;
    TraceWithUrl("CCallback Constructor in CURLDownloading for ");
}

HRESULT CURLDownloading::ReportFailure(HRESULT hrOutcome)
{
    if (m_hrOutcome == S_OK)
        m_hrOutcome = hrOutcome;
    AbortBinding();
    return hrOutcome;
}

void CURLDownloading::AbortBinding()
{
    if (m_fAbortCalled)
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

// ---- IUnknown ---------------------------------------------------------------------------------------

HRESULT CURLDownloading::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    IUnknown* punk = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback))
        punk = static_cast<IBindStatusCallback*>(this);
    else if (IsEqualIID(riid, IID_IHttpNegotiate))
        punk = static_cast<IHttpNegotiate*>(this);
    *ppv = punk;
    if (punk == nullptr)
        return E_NOINTERFACE;
    punk->AddRef();
    return S_OK;
}

// The count only counts: the object is the dialog and lives as long as its download thread object.
ULONG CURLDownloading::AddRef()
{
    DOWNLOAD_REQUEST* pRequest = m_pRequest;
    if (pRequest != nullptr && pRequest->punkHost != nullptr)
        pRequest->punkHost->AddRef();
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG CURLDownloading::Release()
{
    DOWNLOAD_REQUEST* pRequest = m_pRequest;
    if (pRequest != nullptr && pRequest->punkHost != nullptr)
        pRequest->punkHost->Release();
    return static_cast<ULONG>(::InterlockedDecrement(&m_cRef));
}

// ---- IBindStatusCallback --------------------------------------------------------------------------

HRESULT CURLDownloading::OnStartBinding(DWORD dwReserved, IBinding* pib)
{
    if (!IsCurrentWorker())
        return E_ABORT;  // a binding nobody waits for any more is not kept
    m_dwLastActivityTick = m_pfnGetTickCount();
    if (pib != nullptr)
    {
        pib->AddRef();
        if (IBinding* pOld = ExchangeBinding(pib))
            pOld->Release();
    }
    if (!m_readBuffer.Allocate(kReadBlockBytes))
        return E_OUTOFMEMORY;
    m_writeGather.Allocate(kGatherBytes);  // without it every block is written on its own
    return S_OK;
}

HRESULT CURLDownloading::GetPriority(LONG* pnPriority) { return E_NOTIMPL; }

HRESULT CURLDownloading::OnLowResource(DWORD reserved) { return E_NOTIMPL; }

HRESULT CURLDownloading::OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR szStatusText)
{
    if (!IsCurrentWorker())
        return S_OK;
    m_dwLastActivityTick = m_pfnGetTickCount();
    if (ulStatusCode == BINDSTATUS_REDIRECTING)
    {
        // Redirections are never followed. Wine ignores the error returned here; the abort ends it.
        ReportFailure(INET_E_RESOURCE_NOT_FOUND);
        TraceWithUrl("Redirected OnProgress in CURLDownloading for ");
        return INET_E_RESOURCE_NOT_FOUND;
    }
    if (m_hrOutcome != S_OK)
        return S_OK;  // the outcome is decided; the binding is on its way out

    if (ulProgress > 0)
    {
        if (m_pszBoundary != nullptr)
        {
            // A multipart body's own length says nothing about the file: count what is on disk.
            ulProgress = m_dwFileLength;
        }
        else
        {
            ulProgress += m_dwResumeOffset;
            m_dwTotalSize = m_dwResumeOffset + ulProgressMax;
        }
        if (m_fLengthKnown)
            m_dwTotalSize = m_dwExpectedLength;
    }

    if (g_fAbortDownload.load())
    {
        IntDlgStatus = 2;
        AbortBinding();
        TraceWithUrl("User Aborted OnProgress in CURLDownloading for ");
        return S_OK;
    }

    if (szStatusText != nullptr)
    {
        const int cch = ::WideCharToMultiByte(CP_ACP, 0, szStatusText, -1, NULL, 0, NULL, NULL);
        CString strStatus;
        if (cch > 0)
        {
            char* psz = strStatus.GetBuffer(cch);
            ::WideCharToMultiByte(CP_ACP, 0, szStatusText, -1, psz, cch, NULL, NULL);
            strStatus.ReleaseBuffer();
        }
        m_strStatusText = strStatus;
    }
    else
    {
        m_strStatusText = "Connecting to the server...";
    }

    if (m_dwTotalSize != 0)
        ShowProgress(ulProgress, m_dwTotalSize, Percent(ulProgress, m_dwTotalSize));
    else
        ShowProgress(m_dwResumeOffset, 0, 0);
    return S_OK;
}

HRESULT CURLDownloading::OnStopBinding(HRESULT hresult, LPCWSTR szError)
{
    // The end of an abandoned binding (the watchdog has reported it already) changes nothing.
    if (!IsCurrentWorker())
        return S_OK;
    if (IBinding* pBinding = ExchangeBinding(nullptr))
        pBinding->Release();

    if (!m_fBindingEnded)
    {
        m_fBindingEnded = TRUE;
        // Before the dialog hears of the end: from then on Start may run a new worker, and whatever
        // this binding still delivers on this thread is ignored.
        m_dwWorkerThreadId = 0;
        m_notify.dwReason = NOTIFY_DONE;
        // A remembered refusal, timeout or failed write is the outcome, not the abort it caused.
        m_notify.hrResult = m_hrOutcome != S_OK ? m_hrOutcome : (m_fAlreadyComplete ? S_OK : hresult);
        OnDownloadNotify(&m_notify);
    }
    return S_OK;
}

HRESULT CURLDownloading::GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo)
{
    if (grfBINDF == nullptr || pbindinfo == nullptr)
        return E_INVALIDARG;
    // 0x93 plus BINDF_NOWRITECACHE: the installer is not written a second time into the WinINet
    // cache, and aborted transfers leave no partial copies there.
    *grfBINDF = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_GETNEWESTVERSION | BINDF_PULLDATA |
                BINDF_NOWRITECACHE;
    pbindinfo->cbSize = sizeof(BINDINFO);  // 84 bytes in the 32-bit program
    pbindinfo->szExtraInfo = nullptr;
    ZeroMemory(&pbindinfo->stgmedData, sizeof(pbindinfo->stgmedData));
    pbindinfo->grfBindInfoF = 0;
    pbindinfo->dwBindVerb = BINDVERB_GET;
    pbindinfo->szCustomVerb = nullptr;
    return S_OK;
}

HRESULT CURLDownloading::OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pformatetc, STGMEDIUM* pstgmed)
{
    // Data of an abandoned binding: no reference is taken, nothing is written.
    if (!IsCurrentWorker())
        return E_ABORT;
    m_dwLastActivityTick = m_pfnGetTickCount();
    if (m_pStream == nullptr && pstgmed != nullptr && pstgmed->tymed == TYMED_ISTREAM && pstgmed->pstm != nullptr)
    {
        m_pStream = pstgmed->pstm;
        m_pStream->AddRef();
        m_notify.dwReason = NOTIFY_DATA;
    }
    if (m_pStream == nullptr)
        return S_OK;

    if (m_hrOutcome != S_OK || m_fAbortCalled || m_fBindingEnded)
    {
        // The outcome is decided (Wine may go on delivering after a refusal): the data is read
        // so the binding can end, and thrown away.
        HRESULT hr;
        do
        {
            ULONG cbRead = 0;
            hr = m_pStream->Read(m_readBuffer.m_pBase, m_readBuffer.m_cbSize, &cbRead);
        } while (hr == S_OK && m_pStream != nullptr);
        return S_OK;
    }

    if (m_pszBoundary != nullptr)
        return ReadMultipartData();

    // The service sends no further notification until a read has returned E_PENDING or S_FALSE,
    // so each notification is drained; on loopback one drain can take the whole file.
    HRESULT hr;
    do
    {
        if (g_fAbortDownload.load())
        {
            AbortBinding();
            return S_OK;
        }
        BYTE* pbBlock = NextReadBlock();
        if (pbBlock == nullptr)
        {
            ReportFailure(WriteFailureOf(::GetLastError()));
            return S_OK;
        }
        ULONG cbRead = 0;
        hr = m_pStream->Read(pbBlock, m_readBuffer.m_cbSize, &cbRead);
        if (cbRead > 0)
        {
            if (!NotifyData(m_dwWriteOffset, pbBlock, cbRead))
                return S_OK;
            m_dwWriteOffset += cbRead;
        }
    } while (hr == S_OK);
    if (hr == S_FALSE || hr == E_PENDING)
        return S_OK;
    return hr;
}

BOOL CURLDownloading::NotifyData(DWORD dwOffset, const BYTE* pbData, DWORD cbData)
{
    m_notify.dwReason = NOTIFY_DATA;
    m_notify.dwOffset = dwOffset;
    m_notify.pvData = pbData;
    m_notify.cbData = cbData;
    if (!OnDownloadNotify(&m_notify))
    {
        AbortBinding();
        return FALSE;
    }
    ShowDrainProgress(FALSE);
    return TRUE;
}

HRESULT CURLDownloading::OnObjectAvailable(REFIID riid, IUnknown* punk) { return E_NOTIMPL; }

// ---- IHttpNegotiate ---------------------------------------------------------------------------------

BOOL CURLDownloading::EnterNegotiation(LPWSTR* ppszHeaders)
{
    if (ppszHeaders != nullptr)
        *ppszHeaders = nullptr;  // no extra headers unless said otherwise
    if (!IsCurrentWorker())
        return FALSE;
    m_dwLastActivityTick = m_pfnGetTickCount();
    return TRUE;
}

HRESULT CURLDownloading::BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                                              LPWSTR* pszAdditionalHeaders)
{
    if (!EnterNegotiation(pszAdditionalHeaders))
        return E_ABORT;
    FormatProgressText(m_dwResumeOffset, m_dwTotalSize);
    ProgressUpdate(kNotKnown, kNotKnown,
                   "The connection has been established.  Waiting for the response from the server.",
                   m_szProgressText, Percent(m_dwBytesThisTransfer, m_dwTotalSize));

    if (pszAdditionalHeaders == nullptr)
        return E_INVALIDARG;
    DOWNLOAD_REQUEST* pRequest = m_pRequest;
    if (pRequest == nullptr || pRequest->cRanges == 0)
    {
        *pszAdditionalHeaders = nullptr;
        return S_OK;
    }

    // "Range: bytes=" (13) + per range up to two 11-character numbers, "-" and ", " + "\r\n" + 0;
    // "Unless-Modified-Since: " (23) + an RFC 1123 date (29) + "\r\n" fit the 56 more; "If-Range: "
    // (10) + the validator + "\r\n" the rest.
    LPCTSTR pszValidator = StoredValidator();
    const DWORD cbWork = pRequest->cRanges * 26 + 16 + (pRequest->pstUnlessModifiedSince != nullptr ? 56 : 0) +
                         static_cast<DWORD>(strlen(pszValidator)) + 12;
    char* pszWork = static_cast<char*>(::LocalAlloc(LMEM_FIXED, cbWork));
    if (pszWork == nullptr)
        return E_OUTOFMEMORY;

    size_t cch = static_cast<size_t>(::snprintf(pszWork, cbWork, "Range: bytes="));
    for (DWORD i = 0; i < pRequest->cRanges; ++i)
    {
        const BYTE_RANGE& range = pRequest->pRanges[i];
        if (i > 0)
            cch += ::snprintf(pszWork + cch, cbWork - cch, ", ");
        // Unsigned: a signed form would ask for a negative offset past 2 GB, which servers ignore.
        if (range.dwLength != 0)
            cch += ::snprintf(pszWork + cch, cbWork - cch, "%lu-%lu", static_cast<unsigned long>(range.dwOffset),
                              static_cast<unsigned long>(range.dwOffset + range.dwLength - 1));
        else
            cch += ::snprintf(pszWork + cch, cbWork - cch, "%lu-", static_cast<unsigned long>(range.dwOffset));
    }
    cch += ::snprintf(pszWork + cch, cbWork - cch, "\r\n");
    // The ranges only while the server still has the version that began the local file; else the
    // whole new file.
    if (*pszValidator != '\0')
        cch += ::snprintf(pszWork + cch, cbWork - cch, "If-Range: %s\r\n", pszValidator);

    if (pRequest->pstUnlessModifiedSince != nullptr)
    {
        char szDate[INTERNET_RFC1123_BUFSIZE + 1];  // the conversion needs all 30 bytes
        if (!::InternetTimeFromSystemTimeA(pRequest->pstUnlessModifiedSince, INTERNET_RFC1123_FORMAT, szDate,
                                           sizeof(szDate)))
        {
            ::LocalFree(pszWork);
            return E_FAIL;
        }
        cch += ::snprintf(pszWork + cch, cbWork - cch, "Unless-Modified-Since: %s\r\n", szDate);
    }

    const int cchText = static_cast<int>(strlen(pszWork));
    LPWSTR pwsz = static_cast<LPWSTR>(::CoTaskMemAlloc(2 * (cchText + 1)));
    *pszAdditionalHeaders = pwsz;  // the service frees the block
    HRESULT hr = S_OK;
    if (pwsz != nullptr)
        ::MultiByteToWideChar(CP_ACP, 0, pszWork, cchText + 1, pwsz, cchText + 1);
    else
        hr = E_OUTOFMEMORY;
    ::LocalFree(pszWork);
    return hr;
}

HRESULT CURLDownloading::OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders, LPCWSTR szRequestHeaders,
                                    LPWSTR* pszAdditionalRequestHeaders)
{
    if (!EnterNegotiation(pszAdditionalRequestHeaders))
        return E_ABORT;
    {
        CString strLine;
        strLine.Format("Start OnResponse in CURLDownloading for %s statuscode = %d", (LPCTSTR)m_strURL,
                       static_cast<int>(dwResponseCode));
        theApp.m_log.WriteLine(strLine);
    }

    // Refused answers: nothing is written. The refusal is remembered and the binding aborted,
    // because Wine ignores the error returned here and goes on delivering the body.
    const HRESULT hrRefusal = RefusalOf(dwResponseCode);
    if (hrRefusal != S_OK)
        return ReportFailure(hrRefusal);
    // Stop/Pause came first: the file is left exactly as it is, whatever the answer.
    if (m_hrOutcome != S_OK || g_fAbortDownload.load())
        return ReportFailure(E_ABORT);

    ProgressUpdate(kNotKnown, kNotKnown,
                   "Response has been received from the server. Reading the response from the server",
                   m_szProgressText, Percent(m_dwResumeOffset, m_dwTotalSize));

    IWinInetHttpInfo* pInfo = nullptr;
    HRESULT hrResult = QueryHttpInfo(&pInfo);
    if (hrResult != S_OK)
    {
        // Without the headers nothing can be judged, so nothing is written.
        ReportFailure(hrResult);
        TraceWithUrl("End OnResponse in CURLDownloading for ");
        return hrResult;
    }
    m_dwStatusCode = dwResponseCode;
    m_notify.dwStatusCode = dwResponseCode;

    BOOL fWrite = FALSE;
    if (dwResponseCode == 416)
        hrResult = CheckAlreadyComplete(pInfo);
    else if (dwResponseCode == 206)
        fWrite = (hrResult = ContinueLocalFile(pInfo)) == S_OK;
    else
        fWrite = ReplaceLocalFile(pInfo);
    if (fWrite)
        NotifyResponse(pInfo, dwResponseCode);

    pInfo->Release();
    TraceWithUrl("End OnResponse in CURLDownloading for ");
    return hrResult;
}

HRESULT CURLDownloading::RefusalOf(DWORD dwResponseCode)
{
    if (dwResponseCode >= 300 && dwResponseCode <= 305)
        return INET_E_RESOURCE_NOT_FOUND;
    if (dwResponseCode == 400)
        return INET_E_INVALID_REQUEST;
    if (dwResponseCode >= 401 && dwResponseCode <= 403)
        return INET_E_AUTHENTICATION_REQUIRED;
    if (dwResponseCode == 404)
        return INET_E_RESOURCE_NOT_FOUND;
    if (dwResponseCode >= 405 && dwResponseCode <= 407)
        return INET_E_AUTHENTICATION_REQUIRED;
    if (dwResponseCode == 408)
        return INET_E_CONNECTION_TIMEOUT;
    if (dwResponseCode == 409)
        return INET_E_NO_VALID_MEDIA;
    if (dwResponseCode == 410)
        return INET_E_DATA_NOT_AVAILABLE;
    // Answers that carry no file either: no content, or an error page of the server or of the
    // request (416 is judged on its own). Taken as a fresh start they would replace the partial
    // download with nothing or with the error page and report it complete.
    if (dwResponseCode == 204 || dwResponseCode == 205 || (dwResponseCode >= 411 && dwResponseCode != 416))
        return INET_E_DATA_NOT_AVAILABLE;
    return S_OK;
}

IBinding* CURLDownloading::CopyBinding()
{
    ::EnterCriticalSection(&m_csShared);
    IBinding* pBinding = m_pBinding;
    if (pBinding != nullptr)
        pBinding->AddRef();
    ::LeaveCriticalSection(&m_csShared);
    return pBinding;
}

IBinding* CURLDownloading::ExchangeBinding(IBinding* pNew)
{
    ::EnterCriticalSection(&m_csShared);
    IBinding* pOld = m_pBinding;
    m_pBinding = pNew;
    ::LeaveCriticalSection(&m_csShared);
    return pOld;
}

HRESULT CURLDownloading::QueryHttpInfo(IWinInetHttpInfo** ppInfo)
{
    IBinding* pBinding = CopyBinding();
    if (pBinding == nullptr)
        return E_NOINTERFACE;
    HRESULT hr = pBinding->QueryInterface(IID_IWinInetHttpInfo, reinterpret_cast<void**>(ppInfo));
    pBinding->Release();
    if (SUCCEEDED(hr) && *ppInfo == nullptr)
        hr = E_NOINTERFACE;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CURLDownloading::ContinueLocalFile(IWinInetHttpInfo* pInfo)
{
    ProgressUpdate(kNotKnown, kNotKnown, "Resuming Download", m_szProgressText,
                   Percent(m_dwBytesThisTransfer, m_dwTotalSize));
    m_notify.dwRangeUnits = 2;
    // Bytes of another version of the installer are never appended to the local file.
    HRESULT hr = m_dwResumeOffset > 0 ? CheckSameVersion(pInfo) : S_OK;
    if (hr == S_OK)
        hr = ReadBoundary(pInfo);
    if (hr == S_OK && m_pszBoundary == nullptr)
    {
        // A single part must continue the local file exactly.
        hr = CheckResumeRange(pInfo);
        if (hr == S_OK)
            m_dwWriteOffset = (m_pRequest != nullptr && m_pRequest->cRanges > 0) ? m_pRequest->pRanges[0].dwOffset
                                                                               : m_dwResumeOffset;
    }
    return hr == S_OK ? S_OK : ReportFailure(hr);
}

BOOL CURLDownloading::ReplaceLocalFile(IWinInetHttpInfo* pInfo)
{
    // Fresh start: the server sends the whole file.
    SetLocalFile(NULL);
    m_dwResumeOffset = 0;
    m_dwFileLength = 0;
    ::StrFormatByteSizeA(0, m_szDownloadedSize, sizeof(m_szDownloadedSize));
    ProgressUpdate(kNotKnown, kNotKnown, "Re-starting Download because the resume is not supported by the server",
                   m_szProgressText, Percent(m_dwBytesThisTransfer, m_dwTotalSize));
    if (!::DeleteFileA(m_strFilePath) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
    {
        // The old file stays as it is and nothing is written (the outcome is decided before the box,
        // so data that arrives meanwhile is thrown away); the binding is ended once the user has
        // seen the box.
        m_fFileUnusable = TRUE;
        if (m_hrOutcome == S_OK)
            m_hrOutcome = STG_E_WRITEFAULT;
        CString strText;
        strText.Format("Unable to delete the file from path\n\r%s", (LPCTSTR)m_strFilePath);
        ::MessageBoxA(m_hWndDialog.load(), strText, "Error deleting local file", MB_ICONERROR);
        AbortBinding();
        return FALSE;
    }
    HANDLE hNew = ::CreateFileA(m_strFilePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hNew == INVALID_HANDLE_VALUE)
    {
        m_fFileUnusable = TRUE;
        ReportFailure(STG_E_WRITEFAULT);
        return FALSE;
    }
    SetLocalFile(hNew);

    char szAcceptRanges[6] = "";
    DWORD cbAcceptRanges = sizeof(szAcceptRanges);
    const BOOL fRanges = pInfo->QueryInfo(HTTP_QUERY_ACCEPT_RANGES, szAcceptRanges, &cbAcceptRanges, NULL, NULL) ==
                             S_OK &&
                         ::lstrcmpiA(szAcceptRanges, "bytes") == 0;
    m_notify.dwRangeUnits = fRanges ? 2 : 0;
    return TRUE;
}

void CURLDownloading::NotifyResponse(IWinInetHttpInfo* pInfo, DWORD dwResponseCode)
{
    // QueryInfo answers S_FALSE, not an error, for a missing header: only S_OK counts.
    SYSTEMTIME stLastModified;
    DWORD cbTime = sizeof(stLastModified);
    if (pInfo->QueryInfo(HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &stLastModified, &cbTime, NULL, NULL) !=
        S_OK)
        ZeroMemory(&stLastModified, sizeof(stLastModified));
    m_notify.pstLastModified = &stLastModified;

    m_notify.dwContentLength = 0;
    if (dwResponseCode != 206)
    {
        DWORD dwLength = 0;
        DWORD cbLength = sizeof(dwLength);
        if (pInfo->QueryInfo(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &dwLength, &cbLength, NULL, NULL) ==
            S_OK)
        {
            m_notify.dwContentLength = dwLength;
            m_dwExpectedLength = dwLength;
            m_fLengthKnown = TRUE;
        }
    }
    // This answer begins the local file: its version is the one a later resume must find.
    if (m_dwResumeOffset == 0)
        RememberValidator(pInfo, m_fLengthKnown ? m_dwExpectedLength : 0);
    m_notify.dwReason = NOTIFY_RESPONSE;
    if (!OnDownloadNotify(&m_notify))
        AbortBinding();
    m_notify.pstLastModified = nullptr;  // the local goes out of scope
}

namespace
{
// The parameters after a multipart/byteranges media type (today's name, or the older
// multipart/x-byteranges), or NULL for any other type.
const char* ByteRangesParameters(const char* pszType)
{
    const char* p = pszType;
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* pEnd = p;
    while (*pEnd != '\0' && *pEnd != ';' && *pEnd != ' ' && *pEnd != '\t')
        ++pEnd;
    const size_t cch = static_cast<size_t>(pEnd - p);
    if ((cch == 20 && ::_strnicmp(p, "multipart/byteranges", 20) == 0) ||
        (cch == 22 && ::_strnicmp(p, "multipart/x-byteranges", 22) == 0))
        return pEnd;
    return nullptr;
}

// The boundary parameter, plain or quoted: its first character and length (0 when there is none).
size_t FindBoundary(const char* pszType, const char* pszParams, const char** ppBoundary)
{
    for (const char* q = pszParams; *q != '\0'; ++q)
    {
        if (::_strnicmp(q, "boundary", 8) != 0 || (q > pszType && q[-1] != ';' && q[-1] != ' ' && q[-1] != '\t'))
            continue;
        const char* v = q + 8;
        while (*v == ' ' || *v == '\t')
            ++v;
        if (*v != '=')
            continue;
        ++v;
        while (*v == ' ' || *v == '\t')
            ++v;
        const char* e;
        if (*v == '"')
        {
            e = strchr(++v, '"');
            if (e == nullptr)
                return 0;
        }
        else
        {
            for (e = v; *e != '\0' && *e != ';' && *e != ' ' && *e != '\t' && *e != '\r' && *e != '\n'; ++e)
            {
            }
        }
        *ppBoundary = v;
        return static_cast<size_t>(e - v);
    }
    return 0;
}
}  // namespace

HRESULT CURLDownloading::ReadBoundary(IWinInetHttpInfo* pInfo)
{
    DWORD cbNeeded = 0;
    pInfo->QueryInfo(HTTP_QUERY_CONTENT_TYPE, NULL, &cbNeeded, NULL, NULL);
    if (cbNeeded == 0)
        return S_OK;  // no Content-Type: a single part
    CString strType;
    DWORD cbType = cbNeeded;
    char* pszType = strType.GetBuffer(static_cast<int>(cbNeeded));
    const HRESULT hrQuery = pInfo->QueryInfo(HTTP_QUERY_CONTENT_TYPE, pszType, &cbType, NULL, NULL);
    pszType[cbNeeded] = '\0';
    strType.ReleaseBuffer();
    if (hrQuery != S_OK)
        return E_FAIL;

    const char* pszParams = ByteRangesParameters(strType);
    if (pszParams == nullptr)
        return S_OK;
    const char* pBoundary = nullptr;
    const size_t cchBoundary = FindBoundary(strType, pszParams, &pBoundary);
    if (cchBoundary == 0 || cchBoundary > 200)
        return INET_E_DATA_NOT_AVAILABLE;  // a multipart answer without a usable boundary cannot be split

    char* pszDelimiter = static_cast<char*>(::LocalAlloc(LMEM_FIXED, cchBoundary + 3));
    if (pszDelimiter == nullptr)
        return E_OUTOFMEMORY;
    pszDelimiter[0] = '-';
    pszDelimiter[1] = '-';
    memcpy(pszDelimiter + 2, pBoundary, cchBoundary);
    pszDelimiter[cchBoundary + 2] = '\0';
    m_pszBoundary = pszDelimiter;
    m_cchBoundary = static_cast<DWORD>(cchBoundary + 2);
    m_dwPartPos = 0;
    m_dwPartEnd = 0;
    m_fMultipartDone = FALSE;
    return S_OK;
}

namespace
{
// One decimal number of at most 32 bits; the cursor moves past it.
BOOL ReadDword(const char*& p, DWORD* pdwValue)
{
    unsigned long long qw = 0;
    int cDigits = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        if (++cDigits > 10)
            return FALSE;
        qw = qw * 10 + static_cast<unsigned>(*p - '0');
    }
    if (cDigits == 0 || qw > 0xFFFFFFFFull)
        return FALSE;
    *pdwValue = static_cast<DWORD>(qw);
    return TRUE;
}
}  // namespace

BOOL CURLDownloading::ParseContentRange(const char* p, CONTENT_RANGE* pRange)
{
    ZeroMemory(pRange, sizeof(*pRange));
    while (*p == ' ')
        ++p;
    if (::_strnicmp(p, "bytes", 5) != 0)
        return FALSE;
    p += 5;
    while (*p == ' ' || *p == '=')
        ++p;
    if (*p == '*')
    {
        ++p;  // an unsatisfied range: only the total follows
    }
    else
    {
        if (!ReadDword(p, &pRange->dwFirst) || *p++ != '-' || !ReadDword(p, &pRange->dwLast) ||
            pRange->dwLast < pRange->dwFirst || pRange->dwLast == 0xFFFFFFFF)
            return FALSE;
        pRange->fRange = TRUE;
    }
    if (*p++ != '/')
        return FALSE;
    if (*p == '*')
        return pRange->fRange;  // the server does not know the total
    if (!ReadDword(p, &pRange->dwTotal) || (pRange->fRange && pRange->dwTotal <= pRange->dwLast))
        return FALSE;
    pRange->fTotal = TRUE;
    return TRUE;
}

BOOL CURLDownloading::QueryContentRange(IWinInetHttpInfo* pInfo, CONTENT_RANGE* pRange)
{
    char szRange[128] = "";
    DWORD cbRange = sizeof(szRange) - 1;
    if (pInfo->QueryInfo(HTTP_QUERY_CONTENT_RANGE, szRange, &cbRange, NULL, NULL) != S_OK)
        return FALSE;
    szRange[sizeof(szRange) - 1] = '\0';
    return ParseContentRange(szRange, pRange);
}

HRESULT CURLDownloading::CheckResumeRange(IWinInetHttpInfo* pInfo)
{
    // A 206 must say where it starts, and the local file must stay a prefix of the server's file:
    // only an answer that starts exactly at the local length may be appended.
    CONTENT_RANGE range;
    if (!QueryContentRange(pInfo, &range) || !range.fRange || range.dwFirst != m_dwFileLength)
        return INET_E_DATA_NOT_AVAILABLE;
    if (range.fTotal && m_dwFileLength > 0 && !IsSameTotal(range.dwTotal))
        return E_INSTALLER_CHANGED;
    m_dwExpectedLength = range.fTotal ? range.dwTotal : range.dwLast + 1;
    m_fLengthKnown = TRUE;
    return S_OK;
}

HRESULT CURLDownloading::CheckAlreadyComplete(IWinInetHttpInfo* pInfo)
{
    // "bytes */LENGTH": the server's length.
    CONTENT_RANGE range;
    if (!QueryContentRange(pInfo, &range) || range.fRange || !range.fTotal || range.dwTotal == 0)
        return ReportFailure(INET_E_DATA_NOT_AVAILABLE);
    const DWORD dwLength = range.dwTotal;
    // The server's whole file is as long as the local one, but it may be another version.
    if (m_dwResumeOffset > 0 && (CheckSameVersion(pInfo) != S_OK || !IsSameTotal(dwLength)))
        return m_hrOutcome;
    if (dwLength != m_dwFileLength)
        return ReportFailure(INET_E_DATA_NOT_AVAILABLE);
    m_dwExpectedLength = dwLength;
    m_fLengthKnown = TRUE;
    m_fAlreadyComplete = TRUE;
    AbortBinding();  // the error page is not wanted
    return S_OK;
}
