// CColorStatic: a label with the download dialog's dark-blue text on light blue.
#pragma once
#include <afxwin.h>

class CColorStatic : public CStatic
{
public:
    CColorStatic();
    void SetText(LPCTSTR lpszText) { SetWindowText(lpszText); }

    COLORREF m_crText;
    COLORREF m_crBack;
    CBrush m_brBack;  // the brush last handed to the system; renewed at every colour request

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    DECLARE_MESSAGE_MAP()
};
