// CDownThread: the user-interface thread on which the download dialog runs modally.
#pragma once
#include <afxwin.h>
#include "download/CURLDownloading.h"

class CDownThread : public CWinThread
{
    DECLARE_DYNCREATE(CDownThread)
public:
    CDownThread();

    CURLDownloading m_dlgDownload;
    CString m_strURL;
    CString m_strFilePath;

    BOOL InitInstance() override;
    int ExitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};
