// CStyleBitGuard: clears some style bits of a window for the lifetime of the object.
#include "controls/CStyleBitGuard.h"

CStyleBitGuard::CStyleBitGuard(HWND hWnd, DWORD dwBits)
    : m_dwBits(dwBits), m_dwSavedStyle((DWORD)::GetWindowLongA(hWnd, GWL_STYLE)), m_hWnd(hWnd)
{
    if (m_dwSavedStyle & m_dwBits)
        ::SetWindowLongA(m_hWnd, GWL_STYLE, (LONG)(m_dwSavedStyle & ~m_dwBits));
}

CStyleBitGuard::~CStyleBitGuard()
{
    if (m_dwSavedStyle & m_dwBits)
        ::SetWindowLongA(m_hWnd, GWL_STYLE, (LONG)m_dwSavedStyle);
}
