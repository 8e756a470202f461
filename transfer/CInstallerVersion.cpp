// CInstallerVersion: the validator of the version the local file holds.
#include "transfer/CInstallerVersion.h"
#include <stdlib.h>
#include <string.h>

const char CInstallerVersion::kBeginAnew[] = "restart";

namespace
{
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

void CInstallerVersion::LoadStored()
{
    if (m_strValidator.IsEmpty() && m_pStore != nullptr)
        m_strValidator = m_pStore->LoadValidator();
}

void CInstallerVersion::Set(LPCTSTR pszText)
{
    m_strValidator = pszText;
    if (m_pStore != nullptr)
        m_pStore->SaveValidator(pszText);
}

LPCTSTR CInstallerVersion::Validator() const
{
    const char* pszBlank = strchr(m_strValidator, ' ');
    return pszBlank != nullptr ? pszBlank + 1 : "";
}

void CInstallerVersion::Remember(IWinInetHttpInfo* pInfo, DWORD dwTotal)
{
    // A weak ETag is no proof of the same bytes: then Last-Modified is the validator.
    CString strValidator = QueryText(pInfo, HTTP_QUERY_ETAG);
    if (strValidator.IsEmpty() || strValidator[0] != '"')
        strValidator = QueryText(pInfo, HTTP_QUERY_LAST_MODIFIED);
    CString strStored;
    if (!strValidator.IsEmpty() || dwTotal != 0)
        strStored.Format("%lu %s", static_cast<unsigned long>(dwTotal), (LPCTSTR)strValidator);
    Set(strStored);
}

BOOL CInstallerVersion::Matches(IWinInetHttpInfo* pInfo) const
{
    LPCTSTR pszStored = Validator();
    if (*pszStored == '\0')
        return TRUE;  // nothing known of the version that began the file
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
    return strAnswer.IsEmpty() || strAnswer == pszStored;
}

BOOL CInstallerVersion::SameTotal(DWORD dwTotal) const
{
    const DWORD dwStored = strtoul(m_strValidator, nullptr, 10);
    return dwStored == 0 || dwTotal == 0 || dwStored == dwTotal;
}
