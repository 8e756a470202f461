// The folder picker: CNewUrlDlg::OnButtonBrowse, BrowseForFolder and its callback.
#include "app/FolderBrowser.h"
#include "app/CNewUrlDlg.h"
#include "res/resource.h"
#include <objbase.h>
#include "transfer/AutoComInit.h"

namespace
{
// Frees an item identifier list handed out by the shell.
class CAutoItemIdList
{
public:
    explicit CAutoItemIdList(LPITEMIDLIST pidl) : m_pidl(pidl) {}
    ~CAutoItemIdList()
    {
        if (m_pidl != nullptr)
            ::CoTaskMemFree(m_pidl);
    }
    CAutoItemIdList(const CAutoItemIdList&) = delete;
    CAutoItemIdList& operator=(const CAutoItemIdList&) = delete;
    LPITEMIDLIST Get() const { return m_pidl; }

private:
    LPITEMIDLIST m_pidl;
};
}  // namespace

int CALLBACK BrowseCallbackProc(HWND hwnd, UINT uMsg, LPARAM lParam, LPARAM lpData)
{
    if (uMsg == BFFM_SELCHANGED)
    {
        char szPath[MAX_PATH] = "";
        // Items without a file-system path (Control Panel, printers) leave the status text as it was.
        if (::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), szPath))
            ::SendMessageA(hwnd, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(szPath));
    }
    return 0;
}

BOOL BrowseForFolder(CString& strResult, LPCTSTR lpszTitle, HWND hwndOwner)
{
    CAutoComInit com;
    char szDisplayName[MAX_PATH] = "";
    BROWSEINFOA bi;
    ::ZeroMemory(&bi, sizeof(bi));
    bi.hwndOwner = hwndOwner;
    bi.pidlRoot = NULL;  // the top of the shell namespace
    bi.pszDisplayName = szDisplayName;
    bi.lpszTitle = lpszTitle;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;  // 5
    bi.lpfn = BrowseCallbackProc;
    bi.lParam = 0;

    CAutoItemIdList pidl(::SHBrowseForFolderA(&bi));  // modal over the owner
    if (pidl.Get() == nullptr)
    {
        strResult.Empty();
        return FALSE;
    }
    if (!::SHGetPathFromIDListA(pidl.Get(), szDisplayName))
        return FALSE;
    strResult = szDisplayName;
    return TRUE;
}

// Cancelling the picker (or picking an item without a file-system path) leaves the box as it was:
// a typed folder or the desktop default is not replaced by an older choice or an empty text.
void CNewUrlDlg::OnButtonBrowse()
{
    CString strFolder;
    if (BrowseForFolder(strFolder, "Browser For Folder", m_hWnd) && !strFolder.IsEmpty())
    {
        m_strFolder = strFolder;
        SetDlgItemText(IDC_EDIT_FOLDER, m_strFolder);
    }
}
