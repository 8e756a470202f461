// Message routing of the class framework as the program's dialogs use it: message maps and the base
// class's map, reflected notifications, the modal loop with PreTranslateMessage, data exchange.
#include <gtest/gtest.h>
#include <afxwin.h>
#include "res/resource.h"

namespace
{
// Derives from the edit control to see reflected notifications.
class CReflectingEdit : public CEdit
{
public:
    int m_nChanges = 0;
protected:
    afx_msg void OnChange() { ++m_nChanges; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingEdit, CEdit)
    ON_CONTROL_REFLECT(EN_CHANGE, OnChange)
END_MESSAGE_MAP()

// The script runs from a timer so that everything happens inside the real modal loop.
class CRoutingDlg : public CDialog
{
public:
    CRoutingDlg() : CDialog(IDD_DOWNLOADSETUP_DIALOG) {}
    CReflectingEdit m_edit;
    CString m_strFolder = "C:\\start";
    int m_nClicks = 0, m_nParentChanges = 0, m_nPreTranslated = 0, m_nDestroyCalls = 0;
    LRESULT m_lUserResult = 0;
    BOOL DestroyWindow() override { return ++m_nDestroyCalls, CDialog::DestroyWindow(); }
    BOOL PreTranslateMessage(MSG* pMsg) override  // WM_APP + 7 is consumed: never dispatched
    {
        return pMsg->message == WM_APP + 7 ? (++m_nPreTranslated, TRUE) : CDialog::PreTranslateMessage(pMsg);
    }
protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_EDIT_FOLDER, m_edit);
        DDX_Text(pDX, IDC_EDIT_FOLDER, m_strFolder);
    }
    BOOL OnInitDialog() override { return CDialog::OnInitDialog(), SetTimer(9, 20, NULL), TRUE; }
    afx_msg void OnStart() { ++m_nClicks; }
    afx_msg void OnEditChange() { ++m_nParentChanges; }
    afx_msg LRESULT OnUser(WPARAM wParam, LPARAM lParam) { return (LRESULT)(wParam + lParam); }
    afx_msg void OnTimer(UINT)
    {
        KillTimer(9);
        HWND hStart = ::GetDlgItem(m_hWnd, IDC_BUTTON_START);
        ::SendMessageA(hStart, BM_CLICK, 0, 0);
        SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BUTTON_START, BN_DBLCLK), (LPARAM)hStart);  // not a click
        m_edit.SetWindowText("C:\\typed");
        m_lUserResult = SendMessage(WM_USER + 40, 2, 3);
        ::PostMessageA(m_hWnd, WM_APP + 7, 0, 0);
        ::PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingDlg, CDialog)
    ON_BN_CLICKED(IDC_BUTTON_START, OnStart)
    ON_CONTROL(EN_CHANGE, IDC_EDIT_FOLDER, OnEditChange)
    ON_MESSAGE(WM_USER + 40, OnUser)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(FrameworkRouting, AModalDialogRoutesMessagesThroughItsMapsAndBaseMapReflectsNotificationsAndExchangesData)
{
    CRoutingDlg dlg;
    const INT_PTR nResult = dlg.DoModal();
    const struct { const char* pszWhat; LONG_PTR nActual; LONG_PTR nExpected; } cases[] = {
        {"IDOK ends the dialog through the base class's map", nResult, IDOK},
        {"BN_CLICKED, and no other code, reaches ON_BN_CLICKED", dlg.m_nClicks, 1},
        {"ON_MESSAGE returns the handler's result", dlg.m_lUserResult, 5},
        {"EN_CHANGE is reflected to the edit", dlg.m_edit.m_nChanges > 0, 1},
        {"a reflected notification does not reach the parent", dlg.m_nParentChanges, 0},
        {"the modal loop offers queued messages to PreTranslateMessage", dlg.m_nPreTranslated, 1},
        {"IDOK reads the control texts back", dlg.m_strFolder == "C:\\typed", 1},
        {"the end of the modal loop runs the virtual DestroyWindow", dlg.m_nDestroyCalls, 1},
        {"the dialog is detached from its window", dlg.m_hWnd == NULL, 1},
        {"controls are detached when their window goes", dlg.m_edit.m_hWnd == NULL, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.nExpected, c.nActual) << c.pszWhat;
}
}  // namespace
