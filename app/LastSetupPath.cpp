// The stored folder of an unfinished download: HKLM\Software\DiredevaduDozareroViziz, LASTSETUPPATH.
#include "app/LastSetupPath.h"
#include <string.h>
#include "app/AutoRegKey.h"
#include "app/CNewUrlDlg.h"
#include "res/resource.h"

namespace
{
// The stored folder is read through a 50-byte buffer: 49 characters and the terminating zero.
const DWORD kcbLastSetupPath = 50;

BOOL OpenLastSetupKey(CAutoRegKey& key)
{
    DWORD dwDisposition = 0;
    return ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                             key.Receive(), &dwDisposition) == ERROR_SUCCESS;
}
}  // namespace

// Stores the folder box's text, exactly as it stands (a trailing backslash included). A key that
// cannot be created means nothing is stored; nobody is told.
void CNewUrlDlg::SaveLastSetupPath()
{
    CAutoRegKey key;
    if (!OpenLastSetupKey(key))
        return;

    CString strFolder;
    GetDlgItemText(IDC_EDIT_FOLDER, strFolder);
    ::RegSetValueExA(key, LASTSETUP_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>((LPCTSTR)strFolder),
                     (DWORD)strFolder.GetLength() + 1);
}

// The stored folder, or the empty string when there is none, it does not fit into 50 bytes, or the
// value is not a string (a value of another type is no folder, so no resume is offered for it).
CString CNewUrlDlg::GetLastSetupPath()
{
    CString strResult;
    CAutoRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return strResult;

    char szFolder[kcbLastSetupPath + 1] = "";  // one spare byte: registry strings need not end in a zero
    DWORD dwType = 0;
    DWORD cbFolder = kcbLastSetupPath;
    if (::RegQueryValueExA(key, LASTSETUP_VALUE, NULL, &dwType, reinterpret_cast<BYTE*>(szFolder), &cbFolder) ==
            ERROR_SUCCESS &&
        (dwType == REG_SZ || dwType == REG_EXPAND_SZ))
    {
        szFolder[cbFolder < kcbLastSetupPath ? cbFolder : kcbLastSetupPath] = '\0';
        strResult = szFolder;
    }
    return strResult;
}

void RemoveLastSetupPath()
{
    CAutoRegKey key;
    if (!OpenLastSetupKey(key))
        return;
    ::RegDeleteValueA(key, LASTSETUP_VALUE);
    ::RegDeleteValueA(key, LASTSETUP_VALIDATOR_VALUE);
}

CString GetLastSetupValidator()
{
    CString strResult;
    CAutoRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return strResult;
    char szValue[512] = "";
    DWORD dwType = 0;
    DWORD cbValue = sizeof(szValue) - 1;
    if (::RegQueryValueExA(key, LASTSETUP_VALIDATOR_VALUE, NULL, &dwType, reinterpret_cast<BYTE*>(szValue),
                           &cbValue) == ERROR_SUCCESS &&
        dwType == REG_SZ)
    {
        szValue[cbValue < sizeof(szValue) ? cbValue : sizeof(szValue) - 1] = '\0';
        strResult = szValue;
    }
    return strResult;
}

void SaveLastSetupValidator(LPCTSTR pszValidator)
{
    CAutoRegKey key;
    if (!OpenLastSetupKey(key))
        return;
    if (pszValidator == nullptr || *pszValidator == '\0')
        ::RegDeleteValueA(key, LASTSETUP_VALIDATOR_VALUE);
    else
        ::RegSetValueExA(key, LASTSETUP_VALIDATOR_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValidator),
                         static_cast<DWORD>(strlen(pszValidator) + 1));
}
