// The application object and the program's two global objects.
#include "app/CSetupApp.h"
#include "app/CNewUrlDlg.h"

// Built in this order, before the application runs: the Setup dialog (which loads its icon), then
// the application, whose trace log opens its file. Both live for the whole run.
CNewUrlDlg g_dlgSetup;
CSetupApp theApp;

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

// The trace log keeps at most 1000 KB and deletes its file once it grows past that.
CSetupApp::CSetupApp() : m_log(1000, TRUE) {}

CSetupApp::~CSetupApp() {}

// The program is its Setup dialog: run it modally and return FALSE, so that the program ends as
// soon as the dialog ends, without a message loop of its own.
BOOL CSetupApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    m_pMainWnd = &g_dlgSetup;
    g_dlgSetup.DoModal();
    return FALSE;
}
