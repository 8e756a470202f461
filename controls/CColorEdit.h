// CColorEdit: a (read-only) edit with the download dialog's colours that repaints its parent's
// area under it, since its transparent background shows the parent through.
#pragma once
#include <afxwin.h>

class CColorEdit : public CEdit
{
public:
    CColorEdit();
    void InvalidateParentArea();

    COLORREF m_crText;
    COLORREF m_crBack;
    CBrush m_brBack;

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    afx_msg void OnUpdate() { InvalidateParentArea(); }
    afx_msg void OnKillFocus() { InvalidateParentArea(); }
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()
};
