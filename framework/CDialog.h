// CDialog: dialogs from resource templates, modal (with the framework's own loop, so that every
// message passes PreTranslateMessage) or modeless, with data exchange.
#pragma once
#include "CWnd.h"

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
    HWND PrepareCtrl(int nIDC) { return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC); }
};

// Binds a control of the template to a window object (subclassing it once).
void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Moves a control's text to or from a string member.
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

class CDialog : public CWnd
{
    DECLARE_DYNAMIC(CDialog)
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);

    virtual INT_PTR DoModal();
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);  // modeless
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The modal loop; returns the result given to EndDialog, or -1 when WM_QUIT ended it.
    int RunModalLoop();
    BOOL ContinueModal() const { return (m_nFlags & WF_CONTINUEMODAL) != 0; }
    void EndModalLoop(int nResult);

protected:
    virtual void DoDataExchange(CDataExchange* pDX) {}
    BOOL CreateDlgIndirect(LPCDLGTEMPLATEA lpDialogTemplate, HWND hWndParent);
    static INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    LPCTSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;
    int m_nModalResult;

    DECLARE_MESSAGE_MAP()
};
