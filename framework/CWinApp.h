// CWinApp: the application object (the program's main thread) and the global accessors.
#pragma once
#include "CWinThread.h"

class CWinApp : public CWinThread
{
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(LPCTSTR lpszAppName = NULL);
    ~CWinApp() override;

    LPCTSTR m_pszAppName;  // defaults to the executable's base name

    virtual BOOL InitApplication() { return TRUE; }
    BOOL InitInstance() override { return TRUE; }
    int ExitInstance() override;
    // Kept for the classic start-up sequence: every supported system draws controls in 3-D.
    BOOL Enable3dControlsStatic() { return TRUE; }

    afx_msg void OnHelp();

protected:
    DECLARE_MESSAGE_MAP()

private:
    char m_szAppName[MAX_PATH];
};

CWinApp* AFXAPI AfxGetApp();
HINSTANCE AFXAPI AfxGetInstanceHandle();
HINSTANCE AFXAPI AfxGetResourceHandle();
LPCTSTR AFXAPI AfxGetAppName();
// The program hosts no ActiveX controls; kept for the classic start-up sequence.
inline void AFXAPI AfxEnableControlContainer() {}
int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
