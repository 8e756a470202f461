#include "afxwin.h"
#include <process.h>

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

BEGIN_MESSAGE_MAP(CWinThread, CCmdTarget)
END_MESSAGE_MAP()

namespace
{
struct ThreadStartup
{
    CWinThread* pThread;
    HANDLE hEvent;   // the new thread has set itself up
    HANDLE hEvent2;  // the creator lets it run
};
}  // namespace

CWinThread::CWinThread()
    : m_pMainWnd(nullptr), m_bAutoDelete(TRUE), m_hThread(NULL), m_pfnThreadProc(nullptr), m_pThreadParams(nullptr)
{
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) : CWinThread()
{
    m_pfnThreadProc = pfnThreadProc;
    m_pThreadParams = pParam;
}

CWinThread::~CWinThread()
{
    if (m_hThread != NULL)
        ::CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam)
{
    auto* pStartup = static_cast<ThreadStartup*>(pParam);
    CWinThread* pThread = pStartup->pThread;
    HANDLE hEvent2 = pStartup->hEvent2;
    AfxGetThreadState()->m_pCurrentWinThread = pThread;
    ::SetEvent(pStartup->hEvent);  // pStartup lives on the creator's stack: not used after this
    ::WaitForSingleObject(hEvent2, INFINITE);
    ::CloseHandle(hEvent2);

    UINT nResult = 0;
    try
    {
        if (pThread->m_pfnThreadProc != nullptr)
            nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
        else if (!pThread->InitInstance())
            nResult = (UINT)pThread->ExitInstance();
        else
            nResult = (UINT)pThread->Run();
    }
    catch (...)
    {
        nResult = (UINT)-1;  // no exception leaves a thread
    }
    pThread->Delete();
    AfxTermThreadState();
    return nResult;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    ThreadStartup startup = {this, ::CreateEventA(NULL, TRUE, FALSE, NULL), ::CreateEventA(NULL, TRUE, FALSE, NULL)};
    if (startup.hEvent == NULL || startup.hEvent2 == NULL)
    {
        if (startup.hEvent != NULL)
            ::CloseHandle(startup.hEvent);
        if (startup.hEvent2 != NULL)
            ::CloseHandle(startup.hEvent2);
        return FALSE;
    }
    m_hThread = (HANDLE)_beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, &startup,
                                       CREATE_SUSPENDED, nullptr);
    if (m_hThread == NULL)
    {
        ::CloseHandle(startup.hEvent);
        ::CloseHandle(startup.hEvent2);
        return FALSE;
    }
    ::ResumeThread(m_hThread);
    ::WaitForSingleObject(startup.hEvent, INFINITE);
    ::CloseHandle(startup.hEvent);
    if (dwCreateFlags & CREATE_SUSPENDED)
        ::SuspendThread(m_hThread);
    ::SetEvent(startup.hEvent2);  // the new thread closes this one
    return TRUE;
}

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::Run()
{
    for (LONG lIdleCount = 0;;)
    {
        MSG msg;
        if (!::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE))
            OnIdle(lIdleCount++);
        if (!PumpMessage())
            return ExitInstance();
    }
}

BOOL CWinThread::PumpMessage()
{
    MSG& msg = AfxGetThreadState()->m_msgCur;
    if (!::GetMessageA(&msg, NULL, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&msg))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg)
{
    return AfxPreTranslateMessage(pMsg, m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : NULL);
}

BOOL CWinThread::OnIdle(LONG)
{
    AfxGetThreadState()->DeleteTempMaps();
    return FALSE;
}

int CWinThread::ExitInstance() { return (int)AfxGetThreadState()->m_msgCur.wParam; }

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg, HWND hWndStop)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != NULL; hWnd = ::GetParent(hWnd))
    {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                                  DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
    {
        pThread->Delete();
        return nullptr;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        pThread->ResumeThread();
    return pThread;
}

CWinThread* AFXAPI AfxGetThread() { return AfxGetThreadState()->m_pCurrentWinThread; }
