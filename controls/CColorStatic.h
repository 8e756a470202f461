// CColorStatic: a label with the download dialog's dark-blue text on light blue.
#pragma once
#include <afxwin.h>
#include "controls/CControlColours.h"

class CColorStatic : public CStatic
{
public:
    void SetText(LPCTSTR lpszText) { SetWindowText(lpszText); }

    CControlColours m_colours;

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor) { return m_colours.Answer(pDC); }
    DECLARE_MESSAGE_MAP()
};
