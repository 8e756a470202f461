// CBindCallback: the binding's callback object. Every method runs on the worker thread that started
// the binding; no C++ exception leaves a method (the URL moniker cannot take one).
#include "transfer/CBindCallback.h"
#include "transfer/CTransferEngine.h"
#include <string.h>

namespace
{
// Runs call unless the binding is abandoned (then hrAbandoned); an exception becomes E_UNEXPECTED.
template <class Call> HRESULT Guarded(const std::atomic<bool>& fAbandoned, HRESULT hrAbandoned, Call call)
{
    if (fAbandoned)
        return hrAbandoned;
    try
    {
        return call();
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}
}  // namespace

HRESULT CBindCallback::QueryInterface(REFIID riid, void** ppv)
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

ULONG CBindCallback::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_cRef)); }

ULONG CBindCallback::Release()
{
    const LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

// A binding nobody waits for any more is not kept, and its data is not taken.
HRESULT CBindCallback::OnStartBinding(DWORD, IBinding* pib)
{
    return Guarded(m_fAbandoned, E_ABORT, [&] { return m_pEngine->OnBindStart(pib); });
}

HRESULT CBindCallback::OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR szStatusText)
{
    return Guarded(m_fAbandoned, S_OK,
                   [&] { return m_pEngine->OnBindProgress(ulProgress, ulProgressMax, ulStatusCode, szStatusText); });
}

HRESULT CBindCallback::OnStopBinding(HRESULT hresult, LPCWSTR)
{
    return Guarded(m_fAbandoned, S_OK, [&] {
        m_pEngine->EndOfBinding(hresult);
        return S_OK;
    });
}

HRESULT CBindCallback::GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo)
{
    if (grfBINDF == nullptr || pbindinfo == nullptr)
        return E_INVALIDARG;
    *grfBINDF = CTransferEngine::kBindFlags;
    // Only the size the caller gave is filled: older URL monikers pass a smaller record.
    BINDINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = pbindinfo->cbSize;
    info.dwBindVerb = BINDVERB_GET;
    memcpy(pbindinfo, &info, info.cbSize < sizeof(info) ? info.cbSize : sizeof(info));
    return S_OK;
}

HRESULT CBindCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* pstgmed)
{
    return Guarded(m_fAbandoned, E_ABORT, [&] { return m_pEngine->OnBindData(pstgmed); });
}

HRESULT CBindCallback::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* pszAdditionalHeaders)
{
    if (pszAdditionalHeaders != nullptr)
        *pszAdditionalHeaders = nullptr;  // no extra headers unless said otherwise
    return Guarded(m_fAbandoned, E_ABORT, [&] { return m_pEngine->OnBeginningTransaction(pszAdditionalHeaders); });
}

HRESULT CBindCallback::OnResponse(DWORD dwResponseCode, LPCWSTR, LPCWSTR, LPWSTR* pszAdditionalRequestHeaders)
{
    if (pszAdditionalRequestHeaders != nullptr)
        *pszAdditionalRequestHeaders = nullptr;
    return Guarded(m_fAbandoned, E_ABORT, [&] { return m_pEngine->OnBindResponse(dwResponseCode); });
}
