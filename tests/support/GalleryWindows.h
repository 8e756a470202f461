// Windows for the control tests: message pumping, a recording top-level frame that hosts controls and
// answers the caption painter, and a memory canvas.
#pragma once
#include <afxwin.h>
#include <algorithm>
#include <functional>
#include <vector>
#include "controls/CCaptionPainter.h"

#define WM_GALLERY_DRAWCAPTION (WM_USER + 5)  // the caption-drawing message (the download dialog's too)

// Dispatches this thread's messages (through the tooltips' relay) for dwMs milliseconds, at least once.
void PumpMessages(DWORD dwMs);

// A top-level window, shown (activated only with bActivate), that records the messages its own
// procedure sees (after any hooks) and answers WM_GALLERY_DRAWCAPTION with m_pPainter's drawing.
class CGalleryFrame : public CWnd
{
public:
    BOOL CreateFrame(DWORD dwStyle, const RECT& rc, BOOL bActivate = FALSE);
    HWND AddChild(LPCSTR pszClass, LPCSTR pszText, DWORD dwStyle, const RECT& rc, UINT nID);
    int Count(UINT message) const { return (int)std::count(m_messages.begin(), m_messages.end(), message); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    CCaptionPainter* m_pPainter = nullptr;
    std::vector<UINT> m_messages;
    std::function<void(UINT, WPARAM)> m_onMessage;  // sees every message first
};

void FillSolid(HDC hDC, const RECT& rc, COLORREF cr);  // a rectangle of hDC in one colour

// A memory DC on a screen-compatible bitmap of cx x cy pixels, filled with crFill.
struct CGdiCanvas
{
    CGdiCanvas(int cx, int cy, COLORREF crFill = RGB(255, 255, 255));
    ~CGdiCanvas() { ::DeleteObject(TakeBitmap()); }  // deleting the DC's default bitmap does nothing
    COLORREF Pixel(int x, int y) const { return ::GetPixel(m_dc.m_hDC, x, y); }
    HBITMAP TakeBitmap() { return (HBITMAP)::SelectObject(m_dc.m_hDC, m_hOld); }  // the caller owns it
    CDC m_dc;
    HGDIOBJ m_hOld;
};
