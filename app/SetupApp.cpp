// The application object and the program's two global objects.
#include "app/CSetupApp.h"
#include "app/CNewUrlDlg.h"
#include "download/CDownThread.h"

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
    WaitForDownloadThread();
    return FALSE;
}

// The download dialog ends the program from its own thread and may still be destroying its windows
// (through the hooks, whose map is a process-wide object) when the Setup dialog has ended: that
// thread is given up to 10 s to finish. Meanwhile messages are handled, because it sends the Setup
// dialog a message on its way out.
void CSetupApp::WaitForDownloadThread()
{
    CDownThread* pThread = g_dlgSetup.m_pDownThread;
    if (pThread == nullptr || pThread->m_hThread == NULL)
        return;
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        const DWORD dwWaited = ::GetTickCount() - dwStart;
        if (dwWaited >= 10000 || ::MsgWaitForMultipleObjects(1, &pThread->m_hThread, FALSE, 10000 - dwWaited,
                                                             QS_ALLINPUT) != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}
