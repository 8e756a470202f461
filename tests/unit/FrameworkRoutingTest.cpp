// Message routing of the class framework: maps, base-class chaining, reflection, Default, the modal
// loop with PreTranslateMessage, and the end of a user-interface thread with its main window.
#include <gtest/gtest.h>
#include <afxwin.h>
#include "res/resource.h"

namespace
{
// Derives from the edit control to see reflected notifications and colour requests.
class CReflectingEdit : public CEdit
{
public:
    int m_nChanges = 0;
    int m_nColorRequests = 0;
    CBrush m_brush;

protected:
    afx_msg void OnChange() { ++m_nChanges; }
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
    {
        ++m_nColorRequests;
        if (m_brush.m_hObject == NULL)
            m_brush.CreateSolidBrush(RGB(1, 2, 3));
        return m_brush;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingEdit, CEdit)
    ON_CONTROL_REFLECT(EN_CHANGE, OnChange)
    ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

class CBaseDlg : public CDialog
{
public:
    CBaseDlg() : CDialog(IDD_DOWNLOADSETUP_DIALOG) {}
    int m_nBaseTimer = 0;
    int m_nParentChanges = 0;

protected:
    afx_msg void OnTimer(UINT nIDEvent)
    {
        ++m_nBaseTimer;
        CDialog::OnTimer(nIDEvent);
    }
    afx_msg void OnEditChange() { ++m_nParentChanges; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_WM_TIMER()
    ON_EN_CHANGE(IDC_EDIT_FOLDER, OnEditChange)
END_MESSAGE_MAP()

// The script runs from a timer so that everything happens inside the real modal loop.
class CRoutingDlg : public CBaseDlg
{
public:
    CReflectingEdit m_edit;
    CString m_strFolder = "C:\\start";
    int m_nClicks = 0;
    int m_nPreTranslated = 0;
    int m_nDestroyCalls = 0;
    LRESULT m_lUserResult = 0;
    BOOL m_bWasTemporary = FALSE;

    BOOL DestroyWindow() override
    {
        ++m_nDestroyCalls;
        return CBaseDlg::DestroyWindow();
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_APP + 7)
        {
            ++m_nPreTranslated;
            return TRUE;  // consumed: never dispatched
        }
        return CBaseDlg::PreTranslateMessage(pMsg);
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_EDIT_FOLDER, m_edit);
        DDX_Text(pDX, IDC_EDIT_FOLDER, m_strFolder);
    }
    BOOL OnInitDialog() override
    {
        CBaseDlg::OnInitDialog();
        SetTimer(9, 20, NULL);
        return TRUE;
    }
    afx_msg void OnStart() { ++m_nClicks; }
    afx_msg LRESULT OnUser(WPARAM wParam, LPARAM lParam) { return (LRESULT)(wParam + lParam); }
    afx_msg void OnTimer(UINT nIDEvent)
    {
        KillTimer(9);
        CBaseDlg::OnTimer(nIDEvent);  // the base handler still runs
        ::SendMessageA(::GetDlgItem(m_hWnd, IDC_BUTTON_START), BM_CLICK, 0, 0);
        m_edit.SetWindowText("C:\\typed");
        m_lUserResult = SendMessage(WM_USER + 40, 2, 3);
        ::PostMessageA(m_hWnd, WM_APP + 7, 0, 0);
        HDC hDC = ::GetDC(m_edit.m_hWnd);
        ::SendMessageA(m_hWnd, WM_CTLCOLOREDIT, (WPARAM)hDC, (LPARAM)m_edit.m_hWnd);
        ::ReleaseDC(m_edit.m_hWnd, hDC);
        CWnd* pButton = CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_BUTTON_BROWSE));
        m_bWasTemporary = pButton != CWnd::FromHandlePermanent(pButton->m_hWnd);
        ::PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingDlg, CBaseDlg)
    ON_BN_CLICKED(IDC_BUTTON_START, OnStart)
    ON_MESSAGE(WM_USER + 40, OnUser)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(FrameworkRouting, ModalDialogRoutesMessagesThroughItsMaps)
{
    CRoutingDlg dlg;
    INT_PTR nResult = dlg.DoModal();

    EXPECT_EQ(IDOK, nResult);
    EXPECT_EQ(1, dlg.m_nClicks) << "BN_CLICKED reaches ON_BN_CLICKED";
    EXPECT_EQ(1, dlg.m_nBaseTimer) << "an explicit base call reaches the base class's handler";
    EXPECT_EQ(5, dlg.m_lUserResult) << "ON_MESSAGE returns the handler's result";
    EXPECT_GE(dlg.m_edit.m_nChanges, 1) << "EN_CHANGE is reflected to the edit";
    EXPECT_EQ(0, dlg.m_nParentChanges) << "a reflected notification does not reach the parent";
    EXPECT_GE(dlg.m_edit.m_nColorRequests, 1) << "the colour request is reflected to the control";
    EXPECT_EQ(1, dlg.m_nPreTranslated) << "the modal loop offers queued messages to PreTranslateMessage";
    EXPECT_TRUE(dlg.m_bWasTemporary) << "an unbound control gets a temporary wrapper";
    EXPECT_STREQ("C:\\typed", dlg.m_strFolder) << "IDOK reads the control texts back";
    EXPECT_EQ(1, dlg.m_nDestroyCalls) << "the end of the modal loop runs the virtual DestroyWindow";
    EXPECT_EQ(NULL, dlg.m_hWnd);
    EXPECT_EQ(NULL, dlg.m_edit.m_hWnd) << "controls are detached when their window goes";
}

// Cancel is the framework's standard path for Esc and WM_CLOSE.
class CCloseDlg : public CDialog
{
public:
    CCloseDlg() : CDialog(IDD_DOWNLOADSETUP_DIALOG) {}

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return TRUE;
    }
};

TEST(FrameworkRouting, CloseEndsTheDialogThroughCancel)
{
    CCloseDlg dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
}

class CDialogThread : public CWinThread
{
public:
    CCloseDlg m_dlg;
    BOOL m_bInitRan = FALSE;
    BOOL InitInstance() override
    {
        m_bInitRan = TRUE;
        m_pMainWnd = &m_dlg;
        m_dlg.DoModal();
        return TRUE;  // Run: the loop must end because the main window was destroyed
    }
};

TEST(FrameworkRouting, DestroyingAThreadsMainWindowEndsItsLoop)
{
    CDialogThread* pThread = new CDialogThread;
    pThread->m_bAutoDelete = FALSE;
    ASSERT_TRUE(pThread->CreateThread());
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(pThread->m_hThread, 10000));
    EXPECT_TRUE(pThread->m_bInitRan);
    EXPECT_EQ(nullptr, pThread->m_pMainWnd);
    delete pThread;
}

UINT CountingWorker(LPVOID pParam)
{
    ::InterlockedIncrement(static_cast<LONG*>(pParam));
    return 0;
}

TEST(FrameworkRouting, AfxBeginThreadRunsTheProcedure)
{
    LONG nRuns = 0;
    CWinThread* pThread = AfxBeginThread(CountingWorker, &nRuns);
    ASSERT_NE(nullptr, pThread);
    for (int i = 0; i < 500 && ::InterlockedCompareExchange(&nRuns, 0, 0) == 0; ++i)
        ::Sleep(10);
    EXPECT_EQ(1, nRuns);
}
}  // namespace
