// CControlColours: the download dialog's control colours (dark-blue text on light blue) and the
// answer the coloured controls give to their colour request.
#pragma once
#include <afxwin.h>

class CControlColours
{
public:
    // Sets pDC's colours and hands out a new background brush; the one handed out last time is no
    // longer in use by the system and is deleted.
    HBRUSH Answer(CDC* pDC)
    {
        m_brBack.DeleteObject();
        m_brBack.CreateSolidBrush(m_crBack);
        pDC->SetBkColor(m_crBack);
        pDC->SetTextColor(m_crText);
        return (HBRUSH)m_brBack.m_hObject;
    }

    COLORREF m_crText = RGB(0, 21, 96);
    COLORREF m_crBack = RGB(175, 199, 239);
    CBrush m_brBack;  // the brush last handed to the system
};
