// A bare URL-moniker client: binds a URL to a stream on this thread, pumps messages, reads every
// OnDataAvailable until E_PENDING/S_FALSE and throws the bytes away. It is the platform's ceiling
// for the engine benchmark, and with --abort-after it measures how long IBinding::Abort takes.
//
//   BareMonikerClient URL [--flags 0xB3] [--abort-after BYTES]
// Prints one line: "bytes=N hr=0x... ms=T cpu_ms=C peak_kb=P abort_return_ms=R abort_to_stop_ms=A
// stop_inside_abort=0|1".
#include <windows.h>
#include <psapi.h>
#include <urlmon.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

class CBareCallback : public IBindStatusCallback
{
public:
    DWORD m_grfBindf = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_GETNEWESTVERSION | BINDF_PULLDATA |
                       BINDF_NOWRITECACHE;
    ULONGLONG m_cbAbortAfter = 0;  // 0: never abort
    ULONGLONG m_cbRead = 0;
    IBinding* m_pBinding = nullptr;
    IStream* m_pStream = nullptr;
    HRESULT m_hrStop = S_OK;
    bool m_fStopped = false;
    bool m_fInAbort = false;
    bool m_fStopInsideAbort = false;
    DWORD m_dwAbortStart = 0;
    DWORD m_dwAbortMs = 0;
    DWORD m_dwAbortReturnMs = 0;
    BYTE m_buffer[8192];

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IBindStatusCallback)
        {
            *ppv = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* pib) override
    {
        m_pBinding = pib;
        m_pBinding->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hr, LPCWSTR) override
    {
        m_hrStop = hr;
        m_fStopped = true;
        m_fStopInsideAbort = m_fInAbort;
        if (m_dwAbortStart != 0)
            m_dwAbortMs = GetTickCount() - m_dwAbortStart;
        if (m_pBinding != nullptr)
        {
            m_pBinding->Release();
            m_pBinding = nullptr;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override
    {
        *grfBINDF = m_grfBindf;
        DWORD cb = pbindinfo->cbSize;
        ZeroMemory(pbindinfo, cb);
        pbindinfo->cbSize = cb;
        pbindinfo->dwBindVerb = BINDVERB_GET;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* pstgmed) override
    {
        if (m_pStream == nullptr && pstgmed != nullptr && pstgmed->tymed == TYMED_ISTREAM)
        {
            m_pStream = pstgmed->pstm;
            m_pStream->AddRef();
        }
        if (m_pStream == nullptr || m_dwAbortStart != 0)
            return S_OK;
        HRESULT hr;
        do
        {
            ULONG cb = 0;
            hr = m_pStream->Read(m_buffer, sizeof(m_buffer), &cb);
            m_cbRead += cb;
            if (m_cbAbortAfter != 0 && m_cbRead >= m_cbAbortAfter && m_pBinding != nullptr)
            {
                m_dwAbortStart = GetTickCount();
                m_fInAbort = true;
                m_pBinding->Abort();
                m_fInAbort = false;
                m_dwAbortReturnMs = GetTickCount() - m_dwAbortStart;
                return S_OK;
            }
        } while (hr == S_OK);
        return (hr == S_FALSE || hr == E_PENDING) ? S_OK : hr;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        fprintf(stderr, "usage: BareMonikerClient URL [--flags HEX] [--abort-after BYTES]\n");
        return 2;
    }
    CBareCallback callback;
    for (int i = 2; i + 1 < argc; i += 2)
    {
        if (strcmp(argv[i], "--flags") == 0)
            callback.m_grfBindf = strtoul(argv[i + 1], nullptr, 0);
        else if (strcmp(argv[i], "--abort-after") == 0)
            callback.m_cbAbortAfter = _strtoui64(argv[i + 1], nullptr, 0);
    }
    if (FAILED(CoInitialize(nullptr)))
        return 3;
    WCHAR wszUrl[2084];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wszUrl, 2084);
    DWORD dwStart = GetTickCount();
    IMoniker* pMoniker = nullptr;
    IBindCtx* pBindCtx = nullptr;
    HRESULT hr = CreateURLMoniker(nullptr, wszUrl, &pMoniker);
    if (SUCCEEDED(hr))
        hr = CreateAsyncBindCtx(0, &callback, nullptr, &pBindCtx);
    if (SUCCEEDED(hr))
    {
        IStream* pStream = nullptr;
        hr = pMoniker->BindToStorage(pBindCtx, nullptr, IID_IStream, reinterpret_cast<void**>(&pStream));
        if (pStream != nullptr)
            pStream->Release();
    }
    if (pBindCtx != nullptr)
        pBindCtx->Release();
    if (pMoniker != nullptr)
        pMoniker->Release();
    if (FAILED(hr))
    {
        printf("bind failed hr=0x%08lX\n", hr);
        return 1;
    }
    MSG msg;
    while (!callback.m_fStopped && GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DWORD dwMs = GetTickCount() - dwStart;
    if (callback.m_pStream != nullptr)
        callback.m_pStream->Release();
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    GetProcessTimes(GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser);
    const ULONGLONG qwCpuMs = (((static_cast<ULONGLONG>(ftKernel.dwHighDateTime) << 32) | ftKernel.dwLowDateTime) +
                               ((static_cast<ULONGLONG>(ftUser.dwHighDateTime) << 32) | ftUser.dwLowDateTime)) /
                              10000;
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    printf("bytes=%lu hr=0x%08lX ms=%lu cpu_ms=%lu peak_kb=%lu abort_return_ms=%lu abort_to_stop_ms=%lu "
           "stop_inside_abort=%d\n",
           static_cast<unsigned long>(callback.m_cbRead), callback.m_hrStop, dwMs, static_cast<unsigned long>(qwCpuMs), static_cast<unsigned long>(pmc.PeakWorkingSetSize / 1024),
           callback.m_dwAbortReturnMs, callback.m_dwAbortMs, callback.m_fStopInsideAbort ? 1 : 0);
    fflush(stdout);
    CoUninitialize();
    return 0;
}
