// Fakes of the URL moniker's objects (a stream reading in chosen slices, the response headers, a
// binding that counts Abort), the transfer's events recorded, and a transfer engine whose binding a
// test plays with them. Counts only count.
#pragma once
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "tests/support/E2eProgram.h"
#include "transfer/CTransferEngine.h"

#define FAKE_NOTIMPL(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

class FakeStream : public IStream
{
public:
    // Each Read returns at most the next slice (a slice of 0 answers E_PENDING once); after the
    // slices, reads as large as asked. At the end of the data Read answers hrAtEnd.
    FakeStream(std::string strData, std::vector<ULONG> slices = {}, HRESULT hrAtEnd = S_FALSE)
        : m_strData(std::move(strData)), m_slices(std::move(slices)), m_hrAtEnd(hrAtEnd)
    {
    }
    size_t Position() const { return m_pos; }
    LONG m_cRef = 1;
    int m_cReads = 0;
    std::function<void(int)> m_onRead;  // runs before each Read with the read's number (from 1)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_cRef); }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    // The methods that the callback never calls:
    FAKE_NOTIMPL(Write, const void*, ULONG, ULONG*) FAKE_NOTIMPL(Seek, LARGE_INTEGER, DWORD, ULARGE_INTEGER*)
    FAKE_NOTIMPL(CopyTo, IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) FAKE_NOTIMPL(Commit, DWORD)
    FAKE_NOTIMPL(SetSize, ULARGE_INTEGER) FAKE_NOTIMPL(LockRegion, ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
    FAKE_NOTIMPL(UnlockRegion, ULARGE_INTEGER, ULARGE_INTEGER, DWORD) FAKE_NOTIMPL(Stat, STATSTG*, DWORD)
    FAKE_NOTIMPL(Revert) FAKE_NOTIMPL(Clone, IStream**)
private:
    std::string m_strData;
    std::vector<ULONG> m_slices;
    size_t m_nextSlice = 0, m_pos = 0;
    HRESULT m_hrAtEnd;
};

class FakeHttpInfo : public IWinInetHttpInfo
{
public:
    std::map<DWORD, std::string> m_headers;  // by HTTP_QUERY_ code, as text
    void Set(DWORD dwQuery, const std::string& strValue) { m_headers[dwQuery] = strValue; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    FAKE_NOTIMPL(QueryOption, DWORD, LPVOID, DWORD*)
    // A missing header or too small a buffer: S_FALSE, the size needed in *pcbBuf.
    HRESULT STDMETHODCALLTYPE QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD*, DWORD*) override;
};

class FakeBinding : public IBinding
{
public:
    FakeHttpInfo m_info;
    int m_cAborts = 0;
    std::function<void()> m_onAbort;  // runs inside Abort
    LONG m_cRef = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_cRef); }
    DWORD m_dwAbortThreadId = 0;
    HRESULT STDMETHODCALLTYPE Abort() override
    {
        ++m_cAborts;
        m_dwAbortThreadId = ::GetCurrentThreadId();
        if (m_onAbort)
            m_onAbort();
        return S_OK;
    }
    FAKE_NOTIMPL(Suspend) FAKE_NOTIMPL(Resume) FAKE_NOTIMPL(SetPriority, LONG) FAKE_NOTIMPL(GetPriority, LONG*)
    FAKE_NOTIMPL(GetBindResult, CLSID*, DWORD*, LPOLESTR*, DWORD*)
};

// What a transfer reported: its progress displays, the files it could not delete, its end.
struct CRecordingEvents : ITransferEvents
{
    std::vector<TRANSFER_PROGRESS> progress;
    std::vector<std::string> undeletable;
    int nEnds = 0;
    TRANSFER_END end;
    std::string Outcome() const { return nEnds == 1 ? std::string((LPCTSTR)end.strOutcome) : "(ended " + std::to_string(nEnds) + " times)"; }
    std::string LastProgressText() const { return progress.empty() ? "" : (LPCTSTR)progress.back().strProgress; }
    void OnTransferProgress(const TRANSFER_PROGRESS& p) override { progress.push_back(p); }
    void OnLocalFileUndeletable(LPCTSTR pszPath) override { undeletable.push_back(pszPath); }
    void OnTransferEnded(const TRANSFER_END& e) override { ++nEnds, end = e; }
};

// A transfer engine run on this thread whose binding the test's script plays with the fakes: the
// script gets the engine's callback. A script that returns before the binding has ended leaves the
// engine pumping messages until something ends it (an abort, the watchdog).
struct CFakeBindingRun
{
    CFakeBindingRun();
    using Script = std::function<void(IBindStatusCallback*)>;
    void Run(const std::string& strPath, const Script& script, const char* pszUrl = "http://127.0.0.1:9/fake/brindlemox.exe");
    // Script steps: the answer (OnResponse's result), a notification of data in the stream, the request headers.
    static HRESULT Response(IBindStatusCallback* pCallback, DWORD dwStatus);
    static HRESULT Data(IBindStatusCallback* pCallback, IStream* pStream);
    static std::string Headers(IBindStatusCallback* pCallback);
    CTransferEngine engine;
    FakeBinding binding;
    CRecordingEvents events;
    std::string strPath;
};
