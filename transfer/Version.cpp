// CURLDownloading, transfer side: which version of the installer the local file holds. A resume
// appends the server's bytes to the local file only while the server still has the version that
// began it: the response that begins the file leaves its validator (strong ETag, else Last-Modified)
// and total length in m_strValidator and beside the stored folder in the registry; a resume sends
// it as If-Range (a server whose file changed answers 200 with the whole new file), and a 206 that
// belongs to another version is never appended, for servers that ignore If-Range. Worker thread.
#include "download/CURLDownloading.h"
#include <stdlib.h>
#include <string.h>
#include "app/CNewUrlDlg.h"
#include "app/CSetupApp.h"
#include "app/LastSetupPath.h"

namespace
{
// The local file belongs to an older version: the next start deletes it and begins anew.
const char kBeginAnew[] = "restart";

// A response header as text; empty when it is missing.
CString QueryText(IWinInetHttpInfo* pInfo, DWORD dwQuery)
{
    char szValue[256] = "";
    DWORD cbValue = sizeof(szValue) - 1;
    CString str;
    if (pInfo->QueryInfo(dwQuery, szValue, &cbValue, NULL, NULL) == S_OK)
    {
        szValue[sizeof(szValue) - 1] = '\0';
        str = szValue;
    }
    return str;
}
}  // namespace

void CURLDownloading::SetValidator(LPCTSTR pszValidator)
{
    m_strValidator = pszValidator;
    SaveLastSetupValidator(pszValidator);
}

BOOL CURLDownloading::BeginAnewIfChanged()
{
    if (m_strValidator.IsEmpty() && g_fResumeDownload)
        m_strValidator = GetLastSetupValidator();  // the stored download, begun in an earlier run
    if (m_strValidator != kBeginAnew)
        return TRUE;
    TraceWithUrl("Installer changed on the server, deleting the local file for ");
    if (!::DeleteFileA(m_strFilePath) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
    {
        CString strText;
        strText.Format("Unable to delete the file from path\n\r%s", (LPCTSTR)m_strFilePath);
        ::MessageBoxA(m_hWndDialog.load(), strText, "Error deleting local file", MB_ICONERROR);
        return FALSE;
    }
    SetValidator("");
    return TRUE;
}

LPCTSTR CURLDownloading::StoredValidator() const
{
    const char* pszBlank = strchr(m_strValidator, ' ');
    return pszBlank != nullptr ? pszBlank + 1 : "";
}

void CURLDownloading::RememberValidator(IWinInetHttpInfo* pInfo, DWORD dwTotal)
{
    // A weak ETag is no proof of the same bytes: then Last-Modified is the validator.
    CString strValidator = QueryText(pInfo, HTTP_QUERY_ETAG);
    if (strValidator.IsEmpty() || strValidator[0] != '"')
        strValidator = QueryText(pInfo, HTTP_QUERY_LAST_MODIFIED);
    CString strStored;
    if (!strValidator.IsEmpty() || dwTotal != 0)
        strStored.Format("%lu %s", static_cast<unsigned long>(dwTotal), (LPCTSTR)strValidator);
    SetValidator(strStored);
}

HRESULT CURLDownloading::CheckSameVersion(IWinInetHttpInfo* pInfo)
{
    LPCTSTR pszStored = StoredValidator();
    if (*pszStored == '\0')
        return S_OK;  // nothing known of the version that began the file
    CString strAnswer;
    if (pszStored[0] == '"')
    {
        strAnswer = QueryText(pInfo, HTTP_QUERY_ETAG);
        if (strAnswer.GetLength() > 2 && strAnswer[0] == 'W' && strAnswer[1] == '/')
            strAnswer = strAnswer.Mid(2);  // the same opaque tag, weakly compared
    }
    else
    {
        strAnswer = QueryText(pInfo, HTTP_QUERY_LAST_MODIFIED);
    }
    if (strAnswer.IsEmpty() || strAnswer == pszStored)
        return S_OK;
    return InstallerChanged();
}

BOOL CURLDownloading::IsSameTotal(DWORD dwTotal)
{
    const DWORD dwStored = strtoul(m_strValidator, nullptr, 10);
    if (dwStored == 0 || dwTotal == 0 || dwStored == dwTotal)
        return TRUE;
    InstallerChanged();
    return FALSE;
}

HRESULT CURLDownloading::InstallerChanged()
{
    TraceWithUrl("Installer changed on the server since the download began for ");
    SetValidator(kBeginAnew);
    return ReportFailure(E_INSTALLER_CHANGED);
}
