// CBindCallback: the URL binding's callback, a small reference-counted COM object of its own per
// binding. It hands every call to its transfer engine until the engine abandons it (the binding has
// ended, or the watchdog gave up on it): from then on the binding's late calls change nothing.
#pragma once
#include <urlmon.h>
#include <atomic>

class CTransferEngine;

class CBindCallback : public IBindStatusCallback, public IHttpNegotiate
{
public:
    explicit CBindCallback(CTransferEngine* pEngine) : m_pEngine(pEngine) {}
    CBindCallback(const CBindCallback&) = delete;
    CBindCallback& operator=(const CBindCallback&) = delete;
    void Abandon() { m_fAbandoned = true; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD dwReserved, IBinding* pib) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* pnPriority) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                         LPCWSTR szStatusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hresult, LPCWSTR szError) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pformatetc,
                                              STGMEDIUM* pstgmed) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* punk) override { return E_NOTIMPL; }
    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                                                   LPWSTR* pszAdditionalHeaders) override;
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders,
                                         LPCWSTR szRequestHeaders, LPWSTR* pszAdditionalRequestHeaders) override;

private:
    virtual ~CBindCallback() = default;  // Release deletes
    CTransferEngine* const m_pEngine;
    std::atomic<bool> m_fAbandoned{false};
    LONG m_cRef = 1;  // the creator's
};
