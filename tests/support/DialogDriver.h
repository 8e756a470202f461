// Drivers of the download dialog: the dialog on a thread of its own as the program runs it
// (CDownThread), a stand-in window for the Setup dialog, scripted workers in the transfer engine's
// place, and the trace log read back.
#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <string>
#include <vector>
#include "download/CDownThread.h"
#include "tests/support/TestThread.h"
#include "tests/support/WindowDriver.h"

// Polls pred every few milliseconds until it holds or dwTimeoutMs have passed.
bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs);

// The Setup dialog's window (g_dlgSetup's handle): a window of this thread that counts the WM_CLOSE
// messages the ending download dialog sends it (let in by WaitUntil) and stays open.
struct CSetupWindowStandIn
{
    CSetupWindowStandIn();
    ~CSetupWindowStandIn();
    LONG CloseCount() const { return m_nClose.load(); }
    std::atomic<LONG> m_nClose{0};
    HWND m_hWnd;
};

#define WM_FAKE_BIND (WM_APP + 60)      // to the scripted worker: hold a binding from now on
#define WM_FAKE_COMPLETE (WM_APP + 61)  // ... end the binding with the whole file
#define WM_FAKE_FAIL (WM_APP + 62)      // ... end the binding with a connection failure

// What the scripted workers of one test do and what happened to them. A worker holds a FakeBinding when
// told, aborts it on its own thread when the dialog asks (WM_APP_ABORT_BINDING), and ends its transfer
// as the engine does: outcome sentence, then CloseFileCtrlDlg on its own thread.
struct CFakeWorkerScript
{
    BOOL bBindAtOnce = TRUE;  // hold a binding from the start
    BOOL bEndOnAbort = TRUE;  // an abort ends the transfer
    std::atomic<LONG> nStarted{0}, nAbortRequests{0};
    std::atomic<LONG> nAbortsOnWorkerThread{0}, nAbortsElsewhere{0};  // IBinding::Abort on its thread, or not
    std::atomic<LONG> nBindingRefs{0};  // references the dialog kept on its workers' bindings
    std::atomic<DWORD> dwLastThreadId{0};
    bool WaitStarted(LONG n, DWORD dwTimeoutMs) { return WaitUntil([&] { return nStarted.load() >= n; }, dwTimeoutMs); }
    bool Post(UINT message) { return dwLastThreadId && ::PostThreadMessageA(dwLastThreadId, message, 0, 0); }  // newest
    bool JoinAll(DWORD dwTimeoutMs);  // ends every worker still running (WM_QUIT) and waits
    CTestMutex mutex;
    std::vector<HANDLE> threads;
    std::vector<DWORD> threadIds;
};

// One download dialog on its own CDownThread with scripted workers, freed only once its thread has ended.
class CDownloadDialogRun
{
public:
    CDownloadDialogRun(const std::string& strUrl, const std::string& strFilePath, CFakeWorkerScript* pScript);
    ~CDownloadDialogRun();
    CURLDownloading& Dlg() { return m_pThread->m_dlgDownload; }
    // Starts the thread and, like the launch, calls OnStart on this thread right after it.
    bool Launch(bool bStartLikeTheLaunch);
    bool WaitUp(DWORD dwTimeoutMs);
    bool Ended() { return m_pThread->m_hThread && ::WaitForSingleObject(m_pThread->m_hThread, 0) == WAIT_OBJECT_0; }
    bool WaitEnded(DWORD dwTimeoutMs) { return WaitUntil([&] { return Ended(); }, dwTimeoutMs); }
    // Ends a dialog that is still up the short way (Exit) and waits for its thread.
    bool EndNow(DWORD dwTimeoutMs);
    HWND Hwnd() { return m_hWndSeen; }
    HWND Item(int nID) { return ::GetDlgItem(m_hWndSeen, nID); }
    void Click(int nID) { ::PostMessageA(Item(nID), BM_CLICK, 0, 0); }  // posted: a box it opens blocks nobody
    std::string Text(int nID) { return ItemTextOf(m_hWndSeen, nID); }
    std::string WindowText() { return WindowTextOf(m_hWndSeen); }
    bool Enabled(int nID) { return ::IsWindowEnabled(Item(nID)) != FALSE; }
    CDownThread* m_pThread;
    HWND m_hWndSeen = NULL;  // the dialog's window, kept after the dialog forgets it
};

// The trace lines written since the object was made (time stamps removed) that are strText.
struct CDialogTraceLog
{
    CDialogTraceLog();
    int Count(const std::string& strText) const;
    LONGLONG m_llStart;
};

// An address of its own for each dialog of a test (its trace lines end with it); nothing is fetched.
std::string UniqueTestUrl();
