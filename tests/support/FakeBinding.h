// Fakes of the URL moniker's objects for unit tests of the binding callback:
//   FakeStream    an IStream that hands out its bytes in chosen slices
//   FakeHttpInfo  a header source answering IWinInetHttpInfo::QueryInfo as Wine's does
//   FakeBinding   an IBinding that records Abort and hands out a FakeHttpInfo
// The objects live on the test's stack; their counts only count.
#pragma once
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>
#include <functional>
#include <map>
#include <string>
#include <vector>

class FakeStream : public IStream
{
public:
    // Each Read returns at most the next slice (a slice of 0 answers E_PENDING once). When the
    // slices are used up, the rest comes in reads as large as asked; at the end of the data
    // Read answers hrAtEnd (S_FALSE: end of data, E_PENDING: more may come).
    FakeStream(std::string strData, std::vector<ULONG> slices = {}, HRESULT hrAtEnd = S_FALSE);

    void Append(const std::string& strMore) { m_strData += strMore; }
    void SetEnd(HRESULT hrAtEnd) { m_hrAtEnd = hrAtEnd; }
    size_t Position() const { return m_pos; }
    int m_cReads = 0;
    LONG m_cRef = 1;
    std::function<void(int)> m_onRead;  // runs before each Read with the read's number (from 1)

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_cRef); }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::string m_strData;
    std::vector<ULONG> m_slices;
    size_t m_nextSlice = 0;
    size_t m_pos = 0;
    HRESULT m_hrAtEnd;
};

class FakeHttpInfo : public IWinInetHttpInfo
{
public:
    // Headers by HTTP_QUERY_ code (without modifier flags), as text.
    std::map<DWORD, std::string> m_headers;
    std::vector<DWORD> m_queries;  // every dwOption asked for
    LONG m_cRef = 1;

    FakeHttpInfo& Set(DWORD dwQuery, const std::string& strValue)
    {
        m_headers[dwQuery] = strValue;
        return *this;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_cRef); }
    HRESULT STDMETHODCALLTYPE QueryOption(DWORD, LPVOID, DWORD*) override { return E_NOTIMPL; }
    // Missing header or too small a buffer: S_FALSE, the needed size (length + 1) in *pcbBuf.
    HRESULT STDMETHODCALLTYPE QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD* pdwFlags,
                                        DWORD* pdwReserved) override;
};

class FakeBinding : public IBinding
{
public:
    FakeHttpInfo m_info;
    bool m_fHttpInfo = true;  // false: QueryInterface refuses IWinInetHttpInfo
    int m_cAborts = 0;
    std::function<void()> m_onAbort;  // runs inside Abort (e.g. to call OnStopBinding as Wine may)
    LONG m_cRef = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_cRef); }
    HRESULT STDMETHODCALLTYPE Abort() override
    {
        ++m_cAborts;
        if (m_onAbort)
            m_onAbort();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPriority(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindResult(CLSID*, DWORD*, LPOLESTR*, DWORD*) override { return E_NOTIMPL; }
};
