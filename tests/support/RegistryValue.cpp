#include "tests/support/RegistryValue.h"
#include <shlwapi.h>

CRegistryData ReadRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    CRegistryData result;
    HKEY hKey = NULL;
    DWORD cbData = 0;
    if (::RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return result;
    if (::RegQueryValueExA(hKey, pszValue, NULL, &result.dwType, NULL, &cbData) == ERROR_SUCCESS)
    {
        result.data.resize(cbData + 1);  // never empty, so &data[0] is always a buffer
        result.bExists = ::RegQueryValueExA(hKey, pszValue, NULL, &result.dwType, (BYTE*)&result.data[0], &cbData) == 0;
        result.data.resize(result.bExists ? cbData : 0);
    }
    ::RegCloseKey(hKey);
    return result;
}
bool WriteRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dwType, const std::string& data)
{
    return ::SHSetValueA(hRoot, pszKey, pszValue, dwType, data.data(), (DWORD)data.size()) == ERROR_SUCCESS;
}
bool WriteRegistryString(HKEY hRoot, const char* pszKey, const char* pszValue, const std::string& strText)
{
    return WriteRegistryValue(hRoot, pszKey, pszValue, REG_SZ, std::string(strText.c_str(), strText.size() + 1));
}
bool DeleteRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    const DWORD dwResult = ::SHDeleteValueA(hRoot, pszKey, pszValue);
    return dwResult == ERROR_SUCCESS || dwResult == ERROR_FILE_NOT_FOUND;
}
bool DeleteRegistryTree(HKEY hRoot, const char* pszKey)
{
    const DWORD dwResult = ::SHDeleteKeyA(hRoot, pszKey);
    return dwResult == ERROR_SUCCESS || dwResult == ERROR_FILE_NOT_FOUND;
}
