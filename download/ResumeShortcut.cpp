// The desktop shortcut through which an unfinished download is resumed later.
#include "download/ResumeShortcut.h"
#include <objbase.h>
#include <shlobj.h>

namespace
{
// COM for the calling thread, given back only when this call took it.
class CComInit
{
public:
    CComInit() : m_hr(::CoInitialize(NULL)) {}
    ~CComInit()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;

private:
    HRESULT m_hr;
};

// Releases the interface it holds when it goes out of scope.
template <class T> class CComRelease
{
public:
    CComRelease() = default;
    ~CComRelease()
    {
        if (p != nullptr)
            p->Release();
    }
    CComRelease(const CComRelease&) = delete;
    CComRelease& operator=(const CComRelease&) = delete;
    void** out() { return reinterpret_cast<void**>(&p); }

    T* p = nullptr;
};
}  // namespace

HRESULT CreateResumeShortcut(LPCSTR pszTarget, LPCSTR pszLinkFile, LPCSTR pszDescription)
{
    CComInit comInit;
    CComRelease<IShellLinkA> link;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out());
    if (FAILED(hr))
        return hr;
    link.p->SetPath(pszTarget);
    link.p->SetDescription(pszDescription);

    CComRelease<IPersistFile> file;
    hr = link.p->QueryInterface(IID_IPersistFile, file.out());
    if (FAILED(hr) || file.p == nullptr)
        return hr;
    WCHAR wszLinkFile[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, pszLinkFile, -1, wszLinkFile, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(::GetLastError());  // does not fit in MAX_PATH: nothing is saved
    return file.p->Save(wszLinkFile, TRUE);
}
