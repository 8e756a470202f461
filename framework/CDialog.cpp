#include "afxwin.h"
#include <commctrl.h>

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd), m_nModalResult(-1)
{
}

namespace
{
LPCDLGTEMPLATEA LoadDialogTemplate(LPCTSTR lpszTemplateName)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResourceA(hInst, lpszTemplateName, (LPCSTR)RT_DIALOG);
    HGLOBAL hTemplate = hResource != NULL ? ::LoadResource(hInst, hResource) : NULL;
    return hTemplate != NULL ? (LPCDLGTEMPLATEA)::LockResource(hTemplate) : NULL;
}

void InitCommonControlsOnce()
{
    static const BOOL s_bDone = [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        return ::InitCommonControlsEx(&icc);
    }();
    (void)s_bDone;
}
}  // namespace

INT_PTR CALLBACK CDialog::AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
    {
        CDialog* pDlg = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
        return pDlg != nullptr ? pDlg->OnInitDialog() : TRUE;
    }
    return FALSE;
}

BOOL CDialog::CreateDlgIndirect(LPCDLGTEMPLATEA lpDialogTemplate, HWND hWndParent)
{
    InitCommonControlsOnce();
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamA(AfxGetInstanceHandle(), lpDialogTemplate, hWndParent, AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    if (hWnd == NULL && m_hWnd != NULL)
        Detach();  // creation failed after the hook attached the handle
    return hWnd != NULL;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_lpszTemplateName = MAKEINTRESOURCEA(nIDTemplate);
    m_pParentWnd = pParentWnd;
    LPCDLGTEMPLATEA lpTemplate = LoadDialogTemplate(m_lpszTemplateName);
    return lpTemplate != NULL && CreateDlgIndirect(lpTemplate, pParentWnd != nullptr ? pParentWnd->m_hWnd : NULL);
}

INT_PTR CDialog::DoModal()
{
    LPCDLGTEMPLATEA lpTemplate = LoadDialogTemplate(m_lpszTemplateName);
    if (lpTemplate == NULL)
        return -1;
    HWND hWndParent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : NULL;
    BOOL bEnableParent = FALSE;
    if (hWndParent != NULL && ::IsWindowEnabled(hWndParent))
    {
        ::EnableWindow(hWndParent, FALSE);
        bEnableParent = TRUE;
    }

    m_nModalResult = -1;
    m_nFlags |= WF_CONTINUEMODAL;
    if (CreateDlgIndirect(lpTemplate, hWndParent))
    {
        if (m_nFlags & WF_CONTINUEMODAL)  // OnInitDialog may already have ended the dialog
            RunModalLoop();
        if (m_hWnd != NULL)
            ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (bEnableParent)
        ::EnableWindow(hWndParent, TRUE);
    if (hWndParent != NULL && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndParent);

    DestroyWindow();  // virtual: the dialog's own end-of-dialog handling runs here
    m_nFlags &= ~WF_CONTINUEMODAL;
    return m_nModalResult;
}

int CDialog::RunModalLoop()
{
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    MSG* pMsg = &pState->m_msgCur;
    m_nFlags |= WF_MODALLOOP;
    while (ContinueModal())
    {
        if (!::PeekMessageA(pMsg, NULL, 0, 0, PM_NOREMOVE))
            pState->DeleteTempMaps();  // idle: drop the temporary wrappers
        if (!::GetMessageA(pMsg, NULL, 0, 0))
        {
            // WM_QUIT: leave the loop and pass the quit on to the enclosing loop.
            ::PostQuitMessage((int)pMsg->wParam);
            m_nModalResult = -1;
            break;
        }
        if (!AfxPreTranslateMessage(pMsg, m_hWnd))
        {
            ::TranslateMessage(pMsg);
            ::DispatchMessageA(pMsg);
        }
    }
    m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
    return m_nModalResult;
}

void CDialog::EndModalLoop(int nResult)
{
    m_nModalResult = nResult;
    if (m_nFlags & WF_CONTINUEMODAL)
    {
        m_nFlags &= ~WF_CONTINUEMODAL;
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the loop
    }
}

void CDialog::EndDialog(int nResult)
{
    if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL))
        EndModalLoop(nResult);
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Keyboard navigation (Tab, Enter, Esc) for this dialog and its controls.
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hWnd != NULL &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
        return ::IsDialogMessageA(m_hWnd, pMsg);
    return FALSE;
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd == NULL)
    {
        HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
        if (hWndCtrl != NULL)
            rControl.SubclassWindow(hWndCtrl);
    }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (hWndCtrl == NULL)
        return;
    if (pDX->m_bSaveAndValidate)
        AfxGetWindowText(hWndCtrl, value);
    else
        AfxSetWindowText(hWndCtrl, value);
}
