// CURLDownloading, transfer side: IUnknown, IBindStatusCallback and IHttpNegotiate.
#include "download/CURLDownloading.h"
#include "app/CSetupApp.h"

void CURLDownloading::InitCallback(DOWNLOAD_REQUEST* pRequest) { m_pRequest = pRequest; }
HRESULT CURLDownloading::QueryInterface(REFIID, void** ppv)
{
    if (ppv != nullptr)
        *ppv = nullptr;
    return E_NOINTERFACE;
}
ULONG CURLDownloading::AddRef() { return 1; }
ULONG CURLDownloading::Release() { return 1; }
HRESULT CURLDownloading::OnStartBinding(DWORD, IBinding*) { return E_NOTIMPL; }
HRESULT CURLDownloading::GetPriority(LONG*) { return E_NOTIMPL; }
HRESULT CURLDownloading::OnLowResource(DWORD) { return E_NOTIMPL; }
HRESULT CURLDownloading::OnProgress(ULONG, ULONG, ULONG, LPCWSTR) { return S_OK; }
HRESULT CURLDownloading::OnStopBinding(HRESULT, LPCWSTR) { return S_OK; }
HRESULT CURLDownloading::GetBindInfo(DWORD*, BINDINFO*) { return E_NOTIMPL; }
HRESULT CURLDownloading::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT CURLDownloading::OnObjectAvailable(REFIID, IUnknown*) { return E_NOTIMPL; }
HRESULT CURLDownloading::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* ppsz)
{
    if (ppsz != nullptr)
        *ppsz = nullptr;
    return S_OK;
}
HRESULT CURLDownloading::OnResponse(DWORD, LPCWSTR, LPCWSTR, LPWSTR* ppsz)
{
    if (ppsz != nullptr)
        *ppsz = nullptr;
    return S_OK;
}
HRESULT CURLDownloading::ReportFailure(HRESULT hr) { return hr; }
HRESULT CURLDownloading::CheckResumeRange(IWinInetHttpInfo*) { return S_OK; }
