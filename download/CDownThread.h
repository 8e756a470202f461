// CDownThread: the user-interface thread on which the download dialog runs modally, and the
// transfer engine the dialog runs.
#pragma once
#include <afxwin.h>
#include "download/CURLDownloading.h"
#include "transfer/CTransferEngine.h"

class CDownThread : public CWinThread
{
    DECLARE_DYNAMIC(CDownThread)
public:
    CDownThread(CTraceLog& log, IDownloadHost& host);

    CTransferEngine m_engine;
    CURLDownloading m_dlgDownload;
    CString m_strURL;
    CString m_strFilePath;
    BOOL m_fResumeStored = FALSE;  // the download continues the one stored by an earlier run

    BOOL InitInstance() override;
    int ExitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};
