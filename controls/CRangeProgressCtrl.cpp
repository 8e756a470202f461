// CRangeProgressCtrl: a progress bar that remembers its range and clamps positions to it.
#include "controls/CRangeProgressCtrl.h"

BEGIN_MESSAGE_MAP(CRangeProgressCtrl, CProgressCtrl)
    ON_MESSAGE(PBM_SETBKCOLOR, OnSetColour)  // LRESULT OnSetColour(WPARAM, LPARAM)
    ON_MESSAGE(PBM_SETBARCOLOR, OnSetColour)
END_MESSAGE_MAP()

void CRangeProgressCtrl::SetRange(int nLower, int nUpper)
{
    m_nLower = nLower;
    m_nUpper = nUpper;
    // The control keeps 16 bits of each bound; the full values stay here for clamping.
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
}

void CRangeProgressCtrl::SetPos(int nPos)
{
    if (nPos < m_nLower)
        nPos = m_nLower;
    if (nPos > m_nUpper)
        nPos = m_nUpper;
    SendMessage(PBM_SETPOS, (WPARAM)nPos, 0);
}

void CRangeProgressCtrl::DropVisualTheme()
{
    // A themed progress bar accepts PBM_SETBKCOLOR/PBM_SETBARCOLOR but draws with the theme's colours
    // (Wine themes the bar even without a manifest; so does Windows with one); an empty theme makes
    // the colours show. uxtheme.dll does not exist before Windows XP, so it is looked up at run time.
    typedef HRESULT(WINAPI * PFNSETWINDOWTHEME)(HWND, LPCWSTR, LPCWSTR);
    static const PFNSETWINDOWTHEME s_pfnSetWindowTheme = []
    {
        HMODULE hTheme = ::LoadLibraryA("uxtheme.dll");
        return hTheme != NULL ? (PFNSETWINDOWTHEME)::GetProcAddress(hTheme, "SetWindowTheme") : nullptr;
    }();
    if (s_pfnSetWindowTheme != nullptr && m_hWnd != NULL)
        s_pfnSetWindowTheme(m_hWnd, L" ", L" ");
}

LRESULT CRangeProgressCtrl::OnSetColour(WPARAM wParam, LPARAM lParam)
{
    // Asking for a colour turns the theme off for this bar.
    DropVisualTheme();
    return Default();
}
