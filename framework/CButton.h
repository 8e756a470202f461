// CButton and the owner-drawn CBitmapButton.
#pragma once
#include "CWnd.h"
#include "CGdiObject.h"

class CButton : public CWnd
{
    DECLARE_DYNAMIC(CButton)
public:
    UINT GetState() const { return (UINT)::SendMessageA(m_hWnd, BM_GETSTATE, 0, 0); }
    void SetState(BOOL bHighlight) { ::SendMessageA(m_hWnd, BM_SETSTATE, bHighlight, 0); }
    int GetCheck() const { return (int)::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0); }
    UINT GetButtonStyle() const { return (UINT)GetStyle() & 0xFF; }

    // Owner-drawn buttons draw themselves here (the parent reflects WM_DRAWITEM to the button).
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {}
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

// An owner-drawn button painted from up to four bitmaps (up, down, focused, disabled).
class CBitmapButton : public CButton
{
    DECLARE_DYNAMIC(CBitmapButton)
public:
    BOOL LoadBitmaps(LPCTSTR lpszBitmapResource, LPCTSTR lpszBitmapResourceSel = NULL,
                     LPCTSTR lpszBitmapResourceFocus = NULL, LPCTSTR lpszBitmapResourceDisabled = NULL);
    void SizeToContent();
    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

protected:
    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;
};
