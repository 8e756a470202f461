// The desktop folder, and the shortcut on it through which an unfinished download is resumed later.
#include "download/ResumeShortcut.h"
#include <objbase.h>
#include <shlobj.h>
#include "download/AutoRegKey.h"
#include "transfer/AutoComInit.h"

namespace
{
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

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
    CAutoComInit comInit;
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

// The user's desktop folder from the shell's folder list, environment references expanded. Empty
// when the value is missing or unreadable; FALSE when the key itself cannot be opened.
BOOL ReadDesktopFolder(char (&szExpanded)[MAX_PATH])
{
    szExpanded[0] = '\0';
    CAutoRegKey key;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, kShellFoldersKey, key.Receive()) != ERROR_SUCCESS)
        return FALSE;

    char szDesktop[MAX_PATH + 1] = "";  // one spare byte: registry strings need not end in a zero
    DWORD dwType = 0;
    DWORD cbDesktop = MAX_PATH;
    if (::RegQueryValueExA(key, "Desktop", NULL, &dwType, reinterpret_cast<BYTE*>(szDesktop), &cbDesktop) !=
            ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        cbDesktop = 0;
    szDesktop[cbDesktop] = '\0';

    DWORD cchNeeded = ::ExpandEnvironmentStringsA(szDesktop, szExpanded, MAX_PATH);
    if (cchNeeded == 0 || cchNeeded > MAX_PATH)
        szExpanded[0] = '\0';  // did not fit: no usable path
    return TRUE;
}

CString GetResumeShortcutPath()
{
    char szDesktop[MAX_PATH];
    if (!ReadDesktopFolder(szDesktop) || szDesktop[0] == '\0')
        return CString();
    return CString(szDesktop) + "\\Resume Brindlemox Download.lnk";
}

void DeleteResumeShortcut()
{
    const CString strLink = GetResumeShortcutPath();
    if (!strLink.IsEmpty())
        ::DeleteFileA(strLink);
}
