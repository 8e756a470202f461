// CRangeProgressCtrl: a progress bar that remembers its range and clamps positions to it.
#pragma once
#include <afxwin.h>

class CRangeProgressCtrl : public CProgressCtrl
{
public:
    CRangeProgressCtrl() : m_nLower(0), m_nUpper(100) {}
    // Stores both bounds (used for clamping); the control itself receives their low 16 bits.
    void SetRange(int nLower, int nUpper);
    // Clamps nPos to the stored range, then moves the bar.
    void SetPos(int nPos);
    // Turns the visual theme off for this bar, so that the colours it is given show.
    void DropVisualTheme();

    int m_nLower;
    int m_nUpper;

protected:
    // PBM_SETBKCOLOR / PBM_SETBARCOLOR: the colours only show on an unthemed bar.
    afx_msg LRESULT OnSetColour(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
