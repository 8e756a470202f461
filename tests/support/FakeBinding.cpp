// Fakes of the URL moniker's objects: see the header.
#include "FakeBinding.h"
#include <stdlib.h>
#include <string.h>

FakeStream::FakeStream(std::string strData, std::vector<ULONG> slices, HRESULT hrAtEnd)
    : m_strData(std::move(strData)), m_slices(std::move(slices)), m_hrAtEnd(hrAtEnd)
{
}

HRESULT FakeStream::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) || IsEqualIID(riid, IID_ISequentialStream))
    {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    ++m_cReads;
    if (m_onRead)
        m_onRead(m_cReads);
    if (pcbRead != nullptr)
        *pcbRead = 0;
    ULONG cbWanted = cb;
    if (m_nextSlice < m_slices.size())
    {
        const ULONG cbSlice = m_slices[m_nextSlice++];
        if (cbSlice == 0)
            return E_PENDING;
        if (cbSlice < cbWanted)
            cbWanted = cbSlice;
    }
    const size_t cbLeft = m_strData.size() - m_pos;
    if (cbLeft == 0)
        return m_hrAtEnd;
    const ULONG n = cbLeft < cbWanted ? static_cast<ULONG>(cbLeft) : cbWanted;
    memcpy(pv, m_strData.data() + m_pos, n);
    m_pos += n;
    if (pcbRead != nullptr)
        *pcbRead = n;
    return S_OK;
}

HRESULT FakeHttpInfo::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWinInetInfo) ||
        IsEqualIID(riid, IID_IWinInetHttpInfo))
    {
        *ppv = static_cast<IWinInetHttpInfo*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeHttpInfo::QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD* pdwFlags, DWORD* pdwReserved)
{
    m_queries.push_back(dwOption);
    const DWORD dwQuery = dwOption & HTTP_QUERY_HEADER_MASK;
    auto it = m_headers.find(dwQuery);
    if (it == m_headers.end())
        return S_FALSE;  // a missing header leaves the buffer untouched
    const std::string& strValue = it->second;
    if (dwOption & HTTP_QUERY_FLAG_NUMBER)
    {
        if (pBuffer == nullptr || *pcbBuf < sizeof(DWORD))
        {
            *pcbBuf = sizeof(DWORD);
            return S_FALSE;
        }
        *static_cast<DWORD*>(pBuffer) = strtoul(strValue.c_str(), nullptr, 10);
        *pcbBuf = sizeof(DWORD);
        return S_OK;
    }
    if (dwOption & HTTP_QUERY_FLAG_SYSTEMTIME)
    {
        if (pBuffer == nullptr || *pcbBuf < sizeof(SYSTEMTIME))
        {
            *pcbBuf = sizeof(SYSTEMTIME);
            return S_FALSE;
        }
        if (!InternetTimeToSystemTimeA(strValue.c_str(), static_cast<SYSTEMTIME*>(pBuffer), 0))
            return S_FALSE;
        *pcbBuf = sizeof(SYSTEMTIME);
        return S_OK;
    }
    const DWORD cbNeeded = static_cast<DWORD>(strValue.size() + 1);
    if (pBuffer == nullptr || *pcbBuf < cbNeeded)
    {
        *pcbBuf = cbNeeded;
        return S_FALSE;
    }
    memcpy(pBuffer, strValue.c_str(), cbNeeded);
    *pcbBuf = cbNeeded - 1;
    return S_OK;
}

HRESULT FakeBinding::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBinding))
    {
        *ppv = static_cast<IBinding*>(this);
        AddRef();
        return S_OK;
    }
    if (m_fHttpInfo && (IsEqualIID(riid, IID_IWinInetHttpInfo) || IsEqualIID(riid, IID_IWinInetInfo)))
        return m_info.QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}
