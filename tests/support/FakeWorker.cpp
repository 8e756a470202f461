// The fakes of the URL moniker's objects and FakeWorker: see the header.
#include "tests/support/FakeWorker.h"
#include <stdlib.h>
#include <string.h>

HRESULT FakeStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (m_onRead)
        m_onRead(++m_cReads);
    *pcbRead = 0;
    if (m_nextSlice < m_slices.size())
    {
        const ULONG cbSlice = m_slices[m_nextSlice++];
        if (cbSlice == 0)
            return E_PENDING;
        cb = cbSlice < cb ? cbSlice : cb;
    }
    if (m_pos == m_strData.size())
        return m_hrAtEnd;
    *pcbRead = m_strData.size() - m_pos < cb ? static_cast<ULONG>(m_strData.size() - m_pos) : cb;
    memcpy(pv, m_strData.data() + m_pos, *pcbRead);
    m_pos += *pcbRead;
    return S_OK;
}

HRESULT FakeHttpInfo::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = IsEqualIID(riid, IID_IWinInetHttpInfo) || IsEqualIID(riid, IID_IWinInetInfo) ? this : nullptr;
    return *ppv != nullptr ? S_OK : E_NOINTERFACE;
}

HRESULT FakeHttpInfo::QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD*, DWORD*)
{
    auto it = m_headers.find(dwOption & HTTP_QUERY_HEADER_MASK);
    if (it == m_headers.end())
        return S_FALSE;  // the buffer stays untouched
    const std::string& strValue = it->second;
    DWORD cbNeeded = (dwOption & HTTP_QUERY_FLAG_NUMBER) ? sizeof(DWORD) : static_cast<DWORD>(strValue.size() + 1);
    if (pBuffer == nullptr || *pcbBuf < cbNeeded)
        return *pcbBuf = cbNeeded, S_FALSE;
    if (dwOption & HTTP_QUERY_FLAG_NUMBER)
        *static_cast<DWORD*>(pBuffer) = strtoul(strValue.c_str(), nullptr, 10);
    else
        memcpy(pBuffer, strValue.c_str(), cbNeeded--);  // the length without the zero goes back
    *pcbBuf = cbNeeded;
    return S_OK;
}

HRESULT FakeBinding::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IWinInetHttpInfo) || IsEqualIID(riid, IID_IWinInetInfo))
        return m_info.QueryInterface(riid, ppv);
    *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBinding) ? this : nullptr;
    if (*ppv == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

FakeWorker::FakeWorker(CURLDownloading& dlg, const std::string& strPath, const char* pszUrl)
    : m_dlg(dlg), m_strPath(strPath)
{
    m_dlg.m_strURL = pszUrl;
    m_dlg.m_strFilePath = strPath.c_str();
}

FakeWorker::~FakeWorker()
{
    m_dlg.SetLocalFile(NULL);
    LocalFree(m_dlg.m_pszBoundary);  // null or the multipart boundary
    m_dlg.m_pszBoundary = nullptr;
    m_dlg.m_pStream = nullptr;
    m_dlg.m_pRequest = nullptr;
}

void FakeWorker::Begin()
{
    m_dlg.SetLocalFile(CreateFileA(m_strPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    m_dlg.m_dwResumeOffset = m_range.dwOffset = SetFilePointer(m_dlg.m_hFile, 0, NULL, FILE_END);
    m_request = {sizeof(DOWNLOAD_REQUEST), nullptr, m_dlg.m_strURL, 15, &m_range, 1, &m_stStarted};
    m_dlg.m_dwWorkerThreadId = GetCurrentThreadId();  // the callbacks run on the worker's thread
    m_dlg.InitCallback(&m_request);
    m_dlg.OnStartBinding(0, &m_binding);
}

HRESULT FakeWorker::Data(IStream* pStream)
{
    STGMEDIUM medium = {};
    medium.tymed = TYMED_ISTREAM, medium.pstm = pStream;
    FORMATETC format = {};
    return m_dlg.OnDataAvailable(BSCF_FIRSTDATANOTIFICATION, 0, &format, &medium);
}

std::string FakeWorker::File()
{
    m_dlg.FlushWrites();
    return ReadWholeFile(m_strPath);
}
