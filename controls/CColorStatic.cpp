// CColorStatic: a label with the download dialog's dark-blue text on light blue.
#include "controls/CColorStatic.h"

BEGIN_MESSAGE_MAP(CColorStatic, CStatic)
    ON_WM_CTLCOLOR_REFLECT()  // HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
END_MESSAGE_MAP()

CColorStatic::CColorStatic() : m_crText(RGB(0, 21, 96)), m_crBack(RGB(175, 199, 239)) {}

HBRUSH CColorStatic::CtlColor(CDC* pDC, UINT nCtlColor)
{
    // A new brush at every request; the one handed out last time is no longer in use by the system.
    m_brBack.DeleteObject();
    m_brBack.CreateSolidBrush(m_crBack);
    pDC->SetBkColor(m_crBack);
    pDC->SetTextColor(m_crText);
    return (HBRUSH)m_brBack.m_hObject;
}
