// CColorEdit: a (read-only) edit with the download dialog's colours that repaints its parent's
// area under it.
#include "controls/CColorEdit.h"

BEGIN_MESSAGE_MAP(CColorEdit, CEdit)
    ON_WM_CTLCOLOR_REFLECT()                       // HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
    ON_CONTROL_REFLECT(EN_UPDATE, OnUpdate)        // void OnUpdate()
    ON_CONTROL_REFLECT(EN_KILLFOCUS, OnKillFocus)  // void OnKillFocus()
    ON_WM_LBUTTONDOWN()                            // void OnLButtonDown(UINT nFlags, CPoint point)
END_MESSAGE_MAP()

void CColorEdit::OnLButtonDown(UINT nFlags, CPoint point)
{
    InvalidateParentArea();
    CEdit::OnLButtonDown(nFlags, point);
}

void CColorEdit::InvalidateParentArea()
{
    CWnd* pParent = GetParent();
    if (pParent == nullptr)
        return;
    CRect rc;
    GetWindowRect(&rc);
    pParent->ScreenToClient(&rc);
    rc.DeflateRect(2, 2);
    // No erase: the parent repaints its own background under the edit's text.
    pParent->InvalidateRect(&rc, FALSE);
}
