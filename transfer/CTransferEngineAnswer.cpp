// CTransferEngine: the binding's progress, the request headers, the judgement of the answer, and the
// body read from the stream.
#include "transfer/CTransferEngine.h"
#include "transfer/HttpRules.h"

HRESULT CTransferEngine::OnBindProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                        LPCWSTR szStatusText)
{
    m_dwLastActivityTick = m_pfnGetTickCount();
    if (ulStatusCode == BINDSTATUS_REDIRECTING)
    {
        // Redirections are never followed. Wine ignores the error returned here; the abort ends it.
        ReportFailure(INET_E_RESOURCE_NOT_FOUND);
        Trace("Redirected OnProgress in CURLDownloading for ");
        return INET_E_RESOURCE_NOT_FOUND;
    }
    if (m_hrOutcome != S_OK)
        return S_OK;  // the outcome is decided; the binding is on its way out

    if (ulProgress > 0)
    {
        if (m_multipart.IsActive())
        {
            // A multipart body's own length says nothing about the file: count what is on disk.
            ulProgress = m_file.Length();
        }
        else
        {
            ulProgress += m_dwResumeOffset;
            m_dwTotalSize = m_dwResumeOffset + ulProgressMax;
        }
        if (m_fLengthKnown)
            m_dwTotalSize = m_dwExpectedLength;
    }
    if (m_fAbort.load())
    {
        AbortBinding();
        Trace("User Aborted OnProgress in CURLDownloading for ");
        return S_OK;
    }
    m_strStatusText = "Connecting to the server...";
    if (szStatusText != nullptr)
    {
        const int cch = ::WideCharToMultiByte(CP_ACP, 0, szStatusText, -1, NULL, 0, NULL, NULL);
        m_strStatusText.Empty();
        if (cch > 0)
        {
            ::WideCharToMultiByte(CP_ACP, 0, szStatusText, -1, m_strStatusText.GetBuffer(cch), cch, NULL, NULL);
            m_strStatusText.ReleaseBuffer();
        }
    }
    if (m_dwTotalSize != 0)
        ShowProgress(ulProgress, m_dwTotalSize, CRateMeter::Percent(ulProgress, m_dwTotalSize));
    else
        ShowProgress(m_dwResumeOffset, 0, 0);
    return S_OK;
}

HRESULT CTransferEngine::OnBeginningTransaction(LPWSTR* ppszHeaders)
{
    m_dwLastActivityTick = m_pfnGetTickCount();
    m_strProgressText = CRateMeter::ProgressText(m_dwResumeOffset, m_dwTotalSize);
    ReportProgress(CRateMeter::kNotKnown, CRateMeter::kNotKnown,
                   "The connection has been established.  Waiting for the response from the server.",
                   CRateMeter::Percent(m_rate.BytesThisTransfer(), m_dwTotalSize));
    if (ppszHeaders == nullptr)
        return E_INVALIDARG;
    CString strHeaders;
    if (!BuildRequestHeaders(m_dwResumeOffset, m_version.Validator(), m_stStarted, strHeaders))
        return E_FAIL;
    const int cchText = strHeaders.GetLength();
    LPWSTR pwsz = static_cast<LPWSTR>(::CoTaskMemAlloc(2 * (cchText + 1)));
    if (pwsz == nullptr)
        return E_OUTOFMEMORY;
    ::MultiByteToWideChar(CP_ACP, 0, strHeaders, cchText + 1, pwsz, cchText + 1);
    *ppszHeaders = pwsz;  // the service frees the block
    return S_OK;
}

HRESULT CTransferEngine::OnBindResponse(DWORD dwStatus)
{
    m_dwLastActivityTick = m_pfnGetTickCount();
    {
        CString strLine;
        strLine.Format("Start OnResponse in CURLDownloading for %s statuscode = %d", (LPCTSTR)m_start.strURL,
                       static_cast<int>(dwStatus));
        m_log.WriteLine(strLine);
    }
    IWinInetHttpInfo* pInfo = nullptr;
    const HRESULT hrInfo = QueryHttpInfo(&pInfo);
    const CString strType = pInfo != nullptr ? QueryContentType(pInfo) : CString();
    // Refused answers: nothing is written. The refusal is remembered and the binding aborted,
    // because Wine ignores the error returned here and goes on delivering the body. So is an
    // answer after Stop/Pause: the file is left exactly as it is.
    HRESULT hrResult = JudgeStatus(dwStatus, strType);
    m_retry.dwStatus = dwStatus;
    if (hrResult == S_OK && (m_hrOutcome != S_OK || m_fAbort.load()))
        hrResult = E_ABORT;
    if (hrResult != S_OK)
    {
        if (pInfo != nullptr)
        {
            m_retry.lRetryAfterSec = QueryRetryAfter(pInfo);
            pInfo->Release();
        }
        return ReportFailure(hrResult);
    }
    ReportProgress(CRateMeter::kNotKnown, CRateMeter::kNotKnown,
                   "Response has been received from the server. Reading the response from the server",
                   CRateMeter::Percent(m_dwResumeOffset, m_dwTotalSize));
    if (hrInfo != S_OK)
    {
        // Without the headers nothing can be judged, so nothing is written.
        ReportFailure(hrInfo);
        Trace("End OnResponse in CURLDownloading for ");
        return hrInfo;
    }
    BOOL fWrite = FALSE;
    if (dwStatus == 416)
        hrResult = CheckAlreadyComplete(pInfo);
    else if (dwStatus == 206)
        fWrite = (hrResult = ContinueLocalFile(pInfo, strType)) == S_OK;
    else
        fWrite = ReplaceLocalFile();
    if (fWrite)
        TakeResponse(pInfo, dwStatus);
    pInfo->Release();
    Trace("End OnResponse in CURLDownloading for ");
    return hrResult;
}

HRESULT CTransferEngine::QueryHttpInfo(IWinInetHttpInfo** ppInfo)
{
    *ppInfo = nullptr;
    IBinding* pBinding = CopyBinding();
    if (pBinding == nullptr)
        return E_NOINTERFACE;
    HRESULT hr = pBinding->QueryInterface(IID_IWinInetHttpInfo, reinterpret_cast<void**>(ppInfo));
    pBinding->Release();
    if (SUCCEEDED(hr) && *ppInfo == nullptr)
        hr = E_NOINTERFACE;
    if (FAILED(hr))
        *ppInfo = nullptr;
    return FAILED(hr) ? hr : S_OK;
}

CString CTransferEngine::QueryContentType(IWinInetHttpInfo* pInfo)
{
    // QueryInfo answers S_FALSE, not an error, for a missing header or too small a buffer.
    DWORD cbNeeded = 0;
    pInfo->QueryInfo(HTTP_QUERY_CONTENT_TYPE, NULL, &cbNeeded, NULL, NULL);
    CString strType;
    if (cbNeeded == 0)
        return strType;
    DWORD cbType = cbNeeded;
    char* pszType = strType.GetBuffer(static_cast<int>(cbNeeded));
    const HRESULT hrQuery = pInfo->QueryInfo(HTTP_QUERY_CONTENT_TYPE, pszType, &cbType, NULL, NULL);
    pszType[hrQuery == S_OK ? cbNeeded : 0] = '\0';
    strType.ReleaseBuffer();
    return strType;
}

LONG CTransferEngine::QueryRetryAfter(IWinInetHttpInfo* pInfo)
{
    char szValue[128] = "";
    DWORD cbValue = sizeof(szValue) - 1;
    if (pInfo->QueryInfo(HTTP_QUERY_RETRY_AFTER, szValue, &cbValue, NULL, NULL) != S_OK)
        return -1;
    SYSTEMTIME stNow;
    ::GetSystemTime(&stNow);
    return RetryAfterSeconds(szValue, stNow);
}

HRESULT CTransferEngine::ContinueLocalFile(IWinInetHttpInfo* pInfo, const CString& strType)
{
    ReportProgress(CRateMeter::kNotKnown, CRateMeter::kNotKnown, "Resuming Download",
                   CRateMeter::Percent(m_rate.BytesThisTransfer(), m_dwTotalSize));
    // Bytes of another version of the installer are never appended to the local file.
    HRESULT hr = m_dwResumeOffset > 0 && !m_version.Matches(pInfo) ? InstallerChanged() : S_OK;
    CString strDelimiter;
    if (hr == S_OK)
        hr = MultipartDelimiter(strType, strDelimiter);
    if (hr == S_OK && !strDelimiter.IsEmpty() && !m_multipart.Begin(strDelimiter))
        hr = E_OUTOFMEMORY;
    if (hr == S_OK && !m_multipart.IsActive())
    {
        // A single part must continue the local file exactly.
        hr = CheckResumeRange(pInfo);
        m_dwWriteOffset = m_dwResumeOffset;
    }
    return hr == S_OK ? S_OK : ReportFailure(hr);
}

HRESULT CTransferEngine::CheckResumeRange(IWinInetHttpInfo* pInfo)
{
    // A 206 must say where it starts, and the local file must stay a prefix of the server's file:
    // only an answer that starts exactly at the local length may be appended.
    char szRange[128] = "";
    DWORD cbRange = sizeof(szRange) - 1;
    CONTENT_RANGE range = {};
    if (pInfo->QueryInfo(HTTP_QUERY_CONTENT_RANGE, szRange, &cbRange, NULL, NULL) != S_OK ||
        !ParseContentRange(szRange, &range) || !range.fRange || range.dwFirst != m_file.Length())
        return INET_E_DATA_NOT_AVAILABLE;
    if (range.fTotal && m_file.Length() > 0 && !m_version.SameTotal(range.dwTotal))
        return InstallerChanged();
    m_dwExpectedLength = range.fTotal ? range.dwTotal : range.dwLast + 1;
    m_fLengthKnown = TRUE;
    return S_OK;
}

HRESULT CTransferEngine::CheckAlreadyComplete(IWinInetHttpInfo* pInfo)
{
    // "bytes */LENGTH": the server's length.
    char szRange[128] = "";
    DWORD cbRange = sizeof(szRange) - 1;
    CONTENT_RANGE range = {};
    if (pInfo->QueryInfo(HTTP_QUERY_CONTENT_RANGE, szRange, &cbRange, NULL, NULL) != S_OK ||
        !ParseContentRange(szRange, &range) || range.fRange || !range.fTotal || range.dwTotal == 0)
        return ReportFailure(INET_E_DATA_NOT_AVAILABLE);
    // The server's whole file is as long as the local one, but it may be another version.
    if (m_dwResumeOffset > 0 && (!m_version.Matches(pInfo) || !m_version.SameTotal(range.dwTotal)))
        return InstallerChanged();
    if (range.dwTotal != m_file.Length())
        return ReportFailure(INET_E_DATA_NOT_AVAILABLE);
    m_dwExpectedLength = range.dwTotal;
    m_fLengthKnown = TRUE;
    m_fAlreadyComplete = TRUE;
    AbortBinding();  // the error page is not wanted
    return S_OK;
}

BOOL CTransferEngine::ReplaceLocalFile()
{
    // Fresh start: the server sends the whole file.
    m_dwResumeOffset = 0;
    ReportProgress(CRateMeter::kNotKnown, CRateMeter::kNotKnown,
                   "Re-starting Download because the resume is not supported by the server",
                   CRateMeter::Percent(m_rate.BytesThisTransfer(), m_dwTotalSize));
    BOOL fUndeletable = FALSE;
    if (m_file.Replace(m_start.strFilePath, fUndeletable))
        return TRUE;
    m_fFileUnusable = TRUE;
    if (!fUndeletable)
    {
        ReportFailure(STG_E_WRITEFAULT);
        return FALSE;
    }
    // The old file stays as it is and nothing is written (the outcome is decided before the user is
    // told, so data that arrives meanwhile is thrown away); the binding is ended once told.
    if (m_hrOutcome == S_OK)
        m_hrOutcome = STG_E_WRITEFAULT;
    m_pEvents->OnLocalFileUndeletable(m_start.strFilePath);
    AbortBinding();
    return FALSE;
}

void CTransferEngine::TakeResponse(IWinInetHttpInfo* pInfo, DWORD dwStatus)
{
    if (dwStatus != 206)
    {
        // QueryInfo answers S_FALSE, not an error, for a missing header: only S_OK counts.
        DWORD dwLength = 0;
        DWORD cbLength = sizeof(dwLength);
        if (pInfo->QueryInfo(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &dwLength, &cbLength, NULL, NULL) ==
            S_OK)
        {
            m_dwExpectedLength = dwLength;
            m_fLengthKnown = TRUE;
        }
    }
    // This answer begins the local file: its version is the one a later resume must find.
    if (m_dwResumeOffset == 0)
        m_version.Remember(pInfo, m_fLengthKnown ? m_dwExpectedLength : 0);
    m_rate.Begin(m_pfnGetTickCount(), m_dwResumeOffset);
}

HRESULT CTransferEngine::InstallerChanged()
{
    Trace("Installer changed on the server since the download began for ");
    m_version.MarkChanged();
    return ReportFailure(E_INSTALLER_CHANGED);
}

HRESULT CTransferEngine::OnBindData(STGMEDIUM* pstgmed)
{
    m_dwLastActivityTick = m_pfnGetTickCount();
    if (m_pStream == nullptr && pstgmed != nullptr && pstgmed->tymed == TYMED_ISTREAM && pstgmed->pstm != nullptr)
    {
        m_pStream = pstgmed->pstm;
        m_pStream->AddRef();
    }
    if (m_pStream == nullptr)
        return S_OK;
    if (m_hrOutcome != S_OK || m_fAbortCalled || m_fBindingEnded)
    {
        // The outcome is decided (Wine may go on delivering after a refusal): the data is read so
        // the binding can end, and thrown away.
        HRESULT hr;
        do
        {
            ULONG cbRead = 0;
            hr = m_pStream->Read(m_readBuffer.m_pBase, m_readBuffer.m_cbSize, &cbRead);
        } while (hr == S_OK && m_pStream != nullptr);
        return S_OK;
    }
    if (m_multipart.IsActive())
    {
        BOOL fMalformed = FALSE;
        const HRESULT hr = m_multipart.Read(m_pStream, *this, fMalformed);
        if (fMalformed)
            ReportFailure(INET_E_DATA_NOT_AVAILABLE);
        return hr;
    }
    return DrainStream();
}

HRESULT CTransferEngine::DrainStream()
{
    // The service sends no further notification until a read has returned E_PENDING or S_FALSE, so
    // each notification is drained; on loopback one drain can take the whole file. Blocks are read
    // straight into the file's gather buffer.
    HRESULT hr;
    do
    {
        if (!KeepReading())
            return S_OK;
        BYTE* pbBlock = m_file.NextReadBlock(kReadBlockBytes, m_readBuffer.m_pBase);
        if (pbBlock == nullptr)
        {
            ReportFailure(WriteFailureOf(::GetLastError()));
            return S_OK;
        }
        ULONG cbRead = 0;
        hr = m_pStream->Read(pbBlock, kReadBlockBytes, &cbRead);
        if (cbRead > 0)
        {
            if (!NotifyData(m_dwWriteOffset, pbBlock, cbRead))
                return S_OK;
            m_dwWriteOffset += cbRead;
        }
    } while (hr == S_OK);
    return hr == S_FALSE || hr == E_PENDING ? S_OK : hr;
}
