// The stored folder of an unfinished download and the version its partial file holds:
// HKLM\Software\DiredevaduDozareroViziz, values LASTSETUPPATH and LASTSETUPVALIDATOR. On NT a limited
// user may neither write nor fully open that key: the values then live under the same key name in
// HKEY_CURRENT_USER, and are read from there when the machine-wide key has none.
#include "app/LastSetupPath.h"
#include <string.h>
#include "download/AutoRegKey.h"
#include "app/CNewUrlDlg.h"
#include "res/resource.h"

LONG(WINAPI* g_pfnCreateStoreKey)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                  LPDWORD) = ::RegCreateKeyExA;

namespace
{
// The machine-wide key first; the user's own where that cannot be written or has nothing.
const HKEY kStoreRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// The longest value read back: a folder the Setup dialog stores (MAX_PATH), or a validator.
const DWORD kcbStoredValue = 512;

void WriteStoredValue(LPCSTR pszName, LPCSTR pszData)
{
    for (HKEY hRoot : kStoreRoots)
    {
        CAutoRegKey key;
        DWORD dwDisposition = 0;
        if (g_pfnCreateStoreKey(hRoot, LASTSETUP_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL,
                                key.Receive(), &dwDisposition) == ERROR_SUCCESS &&
            ::RegSetValueExA(key, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszData),
                             static_cast<DWORD>(strlen(pszData) + 1)) == ERROR_SUCCESS)
            return;
    }
}

void DeleteStoredValue(LPCSTR pszName)
{
    for (HKEY hRoot : kStoreRoots)
    {
        CAutoRegKey key;
        if (::RegOpenKeyExA(hRoot, LASTSETUP_KEY, 0, KEY_SET_VALUE, key.Receive()) == ERROR_SUCCESS)
            ::RegDeleteValueA(key, pszName);
    }
}

// The value where it is found first; empty when there is none, or when it is no string (a value
// of another type is no folder, so no resume is offered for it) or too long.
CString ReadStoredValue(LPCSTR pszName)
{
    for (HKEY hRoot : kStoreRoots)
    {
        CAutoRegKey key;
        if (::RegOpenKeyExA(hRoot, LASTSETUP_KEY, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
            continue;
        char szValue[kcbStoredValue + 1] = "";  // one spare byte: registry strings need not end in a zero
        DWORD dwType = 0;
        DWORD cbValue = kcbStoredValue;
        const LONG lResult =
            ::RegQueryValueExA(key, pszName, NULL, &dwType, reinterpret_cast<BYTE*>(szValue), &cbValue);
        if (lResult == ERROR_FILE_NOT_FOUND)
            continue;
        if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
            return CString();
        szValue[cbValue < kcbStoredValue ? cbValue : kcbStoredValue] = '\0';
        return CString(szValue);
    }
    return CString();
}
}  // namespace

// Stores the folder box's text, exactly as it stands (a trailing backslash included). A key that
// cannot be written anywhere means nothing is stored; nobody is told.
void CNewUrlDlg::SaveLastSetupPath()
{
    CString strFolder;
    GetDlgItemText(IDC_EDIT_FOLDER, strFolder);
    WriteStoredValue(LASTSETUP_VALUE, strFolder);
}

CString CNewUrlDlg::GetLastSetupPath() { return ReadStoredValue(LASTSETUP_VALUE); }

void RemoveLastSetupPath()
{
    DeleteStoredValue(LASTSETUP_VALUE);
    DeleteStoredValue(LASTSETUP_VALIDATOR_VALUE);
}

CString GetLastSetupValidator() { return ReadStoredValue(LASTSETUP_VALIDATOR_VALUE); }

void SaveLastSetupValidator(LPCTSTR pszValidator)
{
    if (pszValidator == nullptr || *pszValidator == '\0')
        DeleteStoredValue(LASTSETUP_VALIDATOR_VALUE);
    else
        WriteStoredValue(LASTSETUP_VALIDATOR_VALUE, pszValidator);
}

CString CNewUrlDlg::LoadValidator() { return GetLastSetupValidator(); }
void CNewUrlDlg::SaveValidator(LPCTSTR pszText) { SaveLastSetupValidator(pszText); }
void CNewUrlDlg::ForgetStoredDownload() { RemoveLastSetupPath(); }
