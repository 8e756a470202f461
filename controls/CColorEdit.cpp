// CColorEdit: a (read-only) edit with the download dialog's colours that repaints its parent's
// area under it.
#include "controls/CColorEdit.h"

BEGIN_MESSAGE_MAP(CColorEdit, CEdit)
    ON_WM_CTLCOLOR_REFLECT()                       // HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
    ON_CONTROL_REFLECT(EN_UPDATE, OnUpdate)        // void OnUpdate()
    ON_CONTROL_REFLECT(EN_KILLFOCUS, OnKillFocus)  // void OnKillFocus()
    ON_WM_LBUTTONDOWN()                            // void OnLButtonDown(UINT nFlags, CPoint point)
END_MESSAGE_MAP()

CColorEdit::CColorEdit() : m_crText(RGB(0, 21, 96)), m_crBack(RGB(175, 199, 239)) {}

HBRUSH CColorEdit::CtlColor(CDC* pDC, UINT nCtlColor)
{
    m_brBack.DeleteObject();
    m_brBack.CreateSolidBrush(m_crBack);
    pDC->SetBkColor(m_crBack);
    pDC->SetTextColor(m_crText);
    return (HBRUSH)m_brBack.m_hObject;
}

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
