// CEdit: an edit control.
#pragma once
#include "CWnd.h"

class CEdit : public CWnd
{
    DECLARE_DYNAMIC(CEdit)
public:
    BOOL SetReadOnly(BOOL bReadOnly = TRUE) { return (BOOL)::SendMessageA(m_hWnd, EM_SETREADONLY, bReadOnly, 0); }
    void SetSel(int nStartChar, int nEndChar) { ::SendMessageA(m_hWnd, EM_SETSEL, nStartChar, nEndChar); }
    void ReplaceSel(LPCTSTR lpszNewText) { ::SendMessageA(m_hWnd, EM_REPLACESEL, TRUE, (LPARAM)lpszNewText); }
};
