// CRangeProgressCtrl: a progress bar that remembers its range and clamps positions to it.
#pragma once
#include <afxwin.h>

class CRangeProgressCtrl : public CProgressCtrl
{
public:
    CRangeProgressCtrl() : m_nLower(0), m_nUpper(100) {}
    void SetRange(int nLower, int nUpper);
    void SetPos(int nPos);

    int m_nLower;
    int m_nUpper;
};
