// Drivers for the download dialog tests: the dialog run on a thread of its own exactly as the
// program runs it (CDownThread), a stand-in window for the Setup dialog, a scripted worker that
// takes the transfer engine's place, and the trace log read back.
#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include "tests/support/TestThread.h"
#include <string>
#include <vector>
#include "download/CDownThread.h"

// Polls pred every few milliseconds until it holds or dwTimeoutMs have passed.
bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs);

// The Setup dialog's window as the download dialog sees it (g_dlgSetup's handle): a window on a
// thread of its own that counts the WM_CLOSE messages it receives and stays open.
class CSetupWindowStandIn
{
public:
    CSetupWindowStandIn();
    ~CSetupWindowStandIn();
    CSetupWindowStandIn(const CSetupWindowStandIn&) = delete;
    CSetupWindowStandIn& operator=(const CSetupWindowStandIn&) = delete;

    LONG CloseCount() const { return m_nClose.load(); }
    HWND m_hWnd = NULL;

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    std::atomic<LONG> m_nClose{0};
    HANDLE m_hReady = NULL;
    HANDLE m_hThread = NULL;
    DWORD m_dwThreadId = 0;
};

// Thread messages that drive the scripted worker.
#define WM_FAKE_BIND (WM_APP + 60)      // hold a binding from now on
#define WM_FAKE_COMPLETE (WM_APP + 61)  // the binding ends with the whole file
#define WM_FAKE_FAIL (WM_APP + 62)      // the binding ends with a connection failure

// What the scripted workers of one test do and what happened to them. A worker records its thread
// as the dialog's worker, holds a binding (a fake IBinding) when told, and ends its transfer the
// way the engine does: it settles status and outcome sentence and calls CloseFileCtrlDlg on its
// own thread. An abort request (WM_APP_ABORT_BINDING) aborts the binding on the worker's thread.
struct CFakeWorkerScript
{
    BOOL bBindAtOnce = TRUE;      // hold a binding from the start
    BOOL bEndOnAbort = TRUE;      // an abort ends the transfer (CloseFileCtrlDlg)
    std::atomic<LONG> nStarted{0};
    std::atomic<LONG> nAbortRequests{0};
    std::atomic<LONG> nAbortsOnWorkerThread{0};  // IBinding::Abort calls made on the binding's thread
    std::atomic<LONG> nAbortsElsewhere{0};       // ... and on any other thread
    std::atomic<LONG> nEnded{0};
    std::atomic<LONG> nBindingRefs{0};           // references the dialog holds on the fake binding
    std::atomic<DWORD> dwLastThreadId{0};

    // Waits until n workers have started (and set themselves up).
    bool WaitStarted(LONG n, DWORD dwTimeoutMs);
    // Posts a message to the newest worker.
    bool Post(UINT message);
    // Ends every worker still running (WM_QUIT) and waits for all of them.
    bool JoinAll(DWORD dwTimeoutMs);

    CTestMutex mutex;
    std::vector<HANDLE> threads;
    std::vector<DWORD> threadIds;
};

// The worker procedure that tests put in place of WorkerThreadEntry (m_pfnWorkerEntry).
UINT FakeWorkerEntry(LPVOID pDialog);
// The script that the fake workers of a dialog follow; null forgets the dialog.
void SetFakeWorkerScript(CURLDownloading* pDialog, CFakeWorkerScript* pScript);

// One download dialog on its own CDownThread. The object is freed only once its thread has ended:
// end the dialog and join the scripted workers before destroying it.
class CDownloadDialogRun
{
public:
    CDownloadDialogRun(const std::string& strUrl, const std::string& strFilePath, CFakeWorkerScript* pScript);
    ~CDownloadDialogRun();
    CDownloadDialogRun(const CDownloadDialogRun&) = delete;
    CDownloadDialogRun& operator=(const CDownloadDialogRun&) = delete;

    CURLDownloading& Dlg() { return m_pThread->m_dlgDownload; }
    // Starts the thread and, like the launch, calls OnStart on this thread right after it.
    bool Launch(bool bStartLikeTheLaunch);
    bool WaitUp(DWORD dwTimeoutMs);
    bool WaitEnded(DWORD dwTimeoutMs);
    bool Ended();
    // Ends a dialog that is still up the short way (IDOK) and waits for its thread.
    bool EndNow(DWORD dwTimeoutMs);
    HWND Hwnd() { return Dlg().m_hWndDialog.load(); }
    HWND Item(int nID) { return ::GetDlgItem(m_hWndSeen, nID); }
    // A click on a control of the dialog (posted, so a message box it opens does not block us).
    void Click(int nID);
    std::string Text(int nID);
    std::string WindowText();
    bool Enabled(int nID) { return ::IsWindowEnabled(Item(nID)) != FALSE; }

    CDownThread* m_pThread;
    HWND m_hWndSeen = NULL;  // the dialog's window, kept after the dialog forgets it
};

// The trace lines written since the object was made, from the program's trace log file (time
// stamps removed).
class CDialogTraceLog
{
public:
    CDialogTraceLog();
    std::vector<std::string> Texts() const;
    std::vector<std::string> TextsEndingWith(const std::string& strSuffix) const;
    int Count(const std::string& strText) const;

private:
    std::string m_strPath;
    LONGLONG m_llStart;
};

// Unique address and local file for a test; the folder is removed with the object.
class CDialogTestFiles
{
public:
    explicit CDialogTestFiles(const char* pszName);
    ~CDialogTestFiles();
    std::string m_strUrl;
    std::string m_strFolder;
    std::string m_strFilePath;
};
