// CAutoRegKey: owns one open registry key and closes it when it goes out of scope.
#pragma once
#include <windows.h>

class CAutoRegKey
{
public:
    CAutoRegKey() : m_hKey(NULL) {}
    ~CAutoRegKey() { Close(); }
    CAutoRegKey(const CAutoRegKey&) = delete;
    CAutoRegKey& operator=(const CAutoRegKey&) = delete;

    // For the Reg*Key* functions that hand out a new key: closes the old one first.
    HKEY* Receive()
    {
        Close();
        return &m_hKey;
    }
    operator HKEY() const { return m_hKey; }
    void Close()
    {
        if (m_hKey != NULL)
            ::RegCloseKey(m_hKey);
        m_hKey = NULL;
    }

private:
    HKEY m_hKey;
};
