// Registry values for tests: read, write, delete, and put back as they were.
#pragma once
#include <windows.h>
#include <string>

struct CRegistryData
{
    bool bExists = false;
    DWORD dwType = REG_NONE;
    std::string data;  // the raw bytes, a string's terminating zero included
};
CRegistryData ReadRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue);
// Creates the key when needed; the bytes are stored exactly as given.
bool WriteRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dwType, const std::string& data);
// A REG_SZ value: the text and its terminating zero.
bool WriteRegistryString(HKEY hRoot, const char* pszKey, const char* pszValue, const std::string& strText);
bool DeleteRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue);
bool DeleteRegistryTree(HKEY hRoot, const char* pszKey);  // with all its values and subkeys

// Keeps a value as it was at construction and restores it (or its absence) on destruction.
struct CSavedRegistryValue
{
    CSavedRegistryValue(HKEY hRoot, const char* pszKey, const char* pszValue)
        : m_hRoot(hRoot), m_strKey(pszKey), m_strValue(pszValue), m_saved(ReadRegistryValue(hRoot, pszKey, pszValue))
    {
    }
    ~CSavedRegistryValue()
    {
        m_saved.bExists ? WriteRegistryValue(m_hRoot, m_strKey.c_str(), m_strValue.c_str(), m_saved.dwType, m_saved.data)
                        : DeleteRegistryValue(m_hRoot, m_strKey.c_str(), m_strValue.c_str());
    }
    HKEY m_hRoot;
    std::string m_strKey, m_strValue;
    CRegistryData m_saved;
};
