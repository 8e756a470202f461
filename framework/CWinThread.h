// CWinThread: a framework thread (user-interface thread with a message loop, or worker), and
// AfxBeginThread for workers.
#pragma once
#include "CCmdTarget.h"

class CWnd;
typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread : public CCmdTarget
{
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
    BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

    virtual BOOL InitInstance();
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL PumpMessage();
    virtual BOOL OnIdle(LONG lCount);
    virtual int ExitInstance();
    virtual void Delete();

    CWnd* m_pMainWnd;
    BOOL m_bAutoDelete;  // delete the object when the thread ends
    HANDLE m_hThread;    // closed with the object; wait on it for the thread's end

    // Thread entry shared by every framework thread.
    static unsigned __stdcall ThreadEntry(void* pParam);

protected:
    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
    DECLARE_MESSAGE_MAP()
};

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                                  UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
CWinThread* AFXAPI AfxGetThread();
// Offers a message to the PreTranslateMessage of every framework window from its target up to
// hWndStop (inclusive); TRUE when one of them consumed it.
BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg, HWND hWndStop);
