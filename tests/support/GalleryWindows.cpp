#include "GalleryWindows.h"

void PumpMessages(DWORD dwMs)
{
    const DWORD dwStart = ::GetTickCount();
    do
    {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            if (!AfxPreTranslateMessage(&msg, NULL))
                ::TranslateMessage(&msg), ::DispatchMessageA(&msg);
        AfxGetThreadState()->DeleteTempMaps();
    } while (::GetTickCount() - dwStart < dwMs && ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT) != WAIT_FAILED);
}
BOOL CGalleryFrame::CreateFrame(DWORD dwStyle, const RECT& rc, BOOL bActivate)
{
    WNDCLASSA wc = {CS_DBLCLKS, ::DefWindowProcA, 0, 0, NULL, NULL, NULL, (HBRUSH)(COLOR_BTNFACE + 1), NULL, "DlsFrame"};
    ::RegisterClassA(&wc);  // fails harmlessly when registered
    if (!CreateEx(0, wc.lpszClassName, "", dwStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, NULL, NULL))
        return FALSE;
    ::ShowWindow(m_hWnd, bActivate ? SW_SHOW : SW_SHOWNOACTIVATE);
    return ::UpdateWindow(m_hWnd);
}
HWND CGalleryFrame::AddChild(LPCSTR pszClass, LPCSTR pszText, DWORD dwStyle, const RECT& rc, UINT nID)
{
    return ::CreateWindowExA(0, pszClass, pszText, WS_CHILD | WS_VISIBLE | dwStyle, rc.left, rc.top,
                             rc.right - rc.left, rc.bottom - rc.top, m_hWnd, (HMENU)(UINT_PTR)nID, NULL, NULL);
}
LRESULT CGalleryFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_onMessage)
        m_onMessage(message, wParam);
    m_messages.push_back(message);
    if (message != WM_GALLERY_DRAWCAPTION || m_pPainter == nullptr)
        return CWnd::WindowProc(message, wParam, lParam);
    return m_pPainter->DrawGradientCaption(wParam, reinterpret_cast<CAPTIONPAINT*>(lParam)), 0;
}
CGdiCanvas::CGdiCanvas(int cx, int cy, COLORREF crFill)
{
    HDC hScreen = ::GetDC(NULL);
    m_dc.Attach(::CreateCompatibleDC(hScreen));
    m_hOld = ::SelectObject(m_dc.m_hDC, ::CreateCompatibleBitmap(hScreen, cx, cy));
    ::ReleaseDC(NULL, hScreen);
    FillSolid(m_dc.m_hDC, {0, 0, cx, cy}, crFill);
}
void FillSolid(HDC hDC, const RECT& rc, COLORREF cr)
{
    HBRUSH hBrush = ::CreateSolidBrush(cr);
    ::FillRect(hDC, &rc, hBrush);
    ::DeleteObject(hBrush);
}
