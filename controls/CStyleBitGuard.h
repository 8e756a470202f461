// CStyleBitGuard: clears some style bits of a window for the lifetime of the object, e.g. WS_VISIBLE
// so that the system's default processing draws nothing on it.
#pragma once
#include <windows.h>

class CStyleBitGuard
{
public:
    CStyleBitGuard(HWND hWnd, DWORD dwBits);
    ~CStyleBitGuard();
    CStyleBitGuard(const CStyleBitGuard&) = delete;
    CStyleBitGuard& operator=(const CStyleBitGuard&) = delete;

private:
    DWORD m_dwBits;
    DWORD m_dwSavedStyle;
    HWND m_hWnd;
};
