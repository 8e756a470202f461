// The fakes of the URL moniker's objects and the engine run over them: see the header.
#include "tests/support/FakeMoniker.h"
#include "app/CSetupApp.h"
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

CFakeBindingRun::CFakeBindingRun() : engine(theApp.m_log) { engine.m_dwPauseBeforeBindMs = 0; }

void CFakeBindingRun::Run(const std::string& strFile, const Script& script, const char* pszUrl)
{
    strPath = strFile;
    events = CRecordingEvents();
    engine.m_bind = [&](LPCWSTR, IBindStatusCallback* pCallback) {
        pCallback->AddRef();  // as the moniker holds it while the binding runs
        pCallback->OnStartBinding(0, &binding);
        script(pCallback);
        pCallback->Release();
        return S_OK;
    };
    TRANSFER_START start;
    start.strURL = pszUrl;
    start.strFilePath = strFile.c_str();
    engine.Run(start, &events);
}

HRESULT CFakeBindingRun::Response(IBindStatusCallback* pCallback, DWORD dwStatus)
{
    IHttpNegotiate* pNegotiate = nullptr;
    pCallback->QueryInterface(IID_IHttpNegotiate, reinterpret_cast<void**>(&pNegotiate));
    const HRESULT hr = pNegotiate->OnResponse(dwStatus, L"", L"", nullptr);
    pNegotiate->Release();
    return hr;
}

HRESULT CFakeBindingRun::Data(IBindStatusCallback* pCallback, IStream* pStream)
{
    STGMEDIUM medium = {};
    medium.tymed = TYMED_ISTREAM, medium.pstm = pStream;
    FORMATETC format = {};
    return pCallback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION, 0, &format, &medium);
}

std::string CFakeBindingRun::Headers(IBindStatusCallback* pCallback)
{
    IHttpNegotiate* pNegotiate = nullptr;
    pCallback->QueryInterface(IID_IHttpNegotiate, reinterpret_cast<void**>(&pNegotiate));
    LPWSTR pwsz = nullptr;
    std::string strHeaders = pNegotiate->BeginningTransaction(L"http://x/", L"", 0, &pwsz) == S_OK ? "" : "(failed)";
    pNegotiate->Release();
    char sz[1024] = "";
    if (pwsz != nullptr)
        WideCharToMultiByte(CP_ACP, 0, pwsz, -1, sz, sizeof(sz), NULL, NULL);
    CoTaskMemFree(pwsz);
    return strHeaders + sz;
}
