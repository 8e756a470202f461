// CColorEdit: a (read-only) edit with the download dialog's colours that repaints its parent's
// area under it, since its transparent background shows the parent through.
#pragma once
#include <afxwin.h>
#include "controls/CControlColours.h"

class CColorEdit : public CEdit
{
public:
    void InvalidateParentArea();

    CControlColours m_colours;

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor) { return m_colours.Answer(pDC); }
    afx_msg void OnUpdate() { InvalidateParentArea(); }
    afx_msg void OnKillFocus() { InvalidateParentArea(); }
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()
};
