// CButton and CBitmapButton, the base of the program's owner-drawn buttons.
#pragma once
#include "CWnd.h"

class CButton : public CWnd
{
    DECLARE_DYNAMIC(CButton)
public:
    void SetState(BOOL bHighlight) { ::SendMessageA(m_hWnd, BM_SETSTATE, bHighlight, 0); }

    // Owner-drawn buttons draw themselves here (the parent reflects WM_DRAWITEM to the button).
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {}
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

// An owner-drawn button; the derived class draws it.
class CBitmapButton : public CButton
{
    DECLARE_DYNAMIC(CBitmapButton)
};
