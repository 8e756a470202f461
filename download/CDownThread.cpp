// CDownThread: the user-interface thread on which the download dialog runs modally.
#include "download/CDownThread.h"
#include "download/ServerConfig.h"

IMPLEMENT_DYNAMIC(CDownThread, CWinThread)

BEGIN_MESSAGE_MAP(CDownThread, CWinThread)
END_MESSAGE_MAP()

// The launch keeps the object for the rest of the process: the thread does not delete it.
CDownThread::CDownThread(CTraceLog& log, IDownloadHost& host) : m_engine(log), m_dlgDownload(log, m_engine, host)
{
    m_bAutoDelete = FALSE;
    m_engine.SetValidatorStore(&host);
    m_engine.m_dwStallTimeoutMs = GetStallTimeoutMs();
    m_dlgDownload.m_dwFirstRetryWaitMs = GetFirstRetryWaitMs();
}

BOOL CDownThread::InitInstance()
{
    // The dialog is the thread's main window: its destruction posts the quit message, so the
    // message loop that follows ends at once and the thread exits.
    m_pMainWnd = &m_dlgDownload;
    m_dlgDownload.m_strFilePath = m_strFilePath;
    m_dlgDownload.m_strURL = m_strURL;
    m_dlgDownload.m_fResumeStored = m_fResumeStored;
    m_dlgDownload.DoModal();
    return TRUE;
}

int CDownThread::ExitInstance() { return CWinThread::ExitInstance(); }
