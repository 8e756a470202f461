// CSetupApp: the application object; it owns the program's trace log.
#pragma once
#include <afxwin.h>
#include "log/CTraceLog.h"

class CSetupApp : public CWinApp
{
public:
    CSetupApp();
    ~CSetupApp() override;

    BOOL InitInstance() override;

    CTraceLog m_log;

private:
    void WaitForDownloadThread();

protected:
    DECLARE_MESSAGE_MAP()
};

extern CSetupApp theApp;
