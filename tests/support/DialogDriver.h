// Drivers of the download dialog: the dialog on a thread of its own as the program runs it
// (CDownThread), a stand-in for the program around it, a fake transfer in the engine's place, and
// the trace log read back.
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

// The program around the download dialog: counts the ends of the dialog (its DownloadDialogEnded,
// answered on the dialog's thread) and the removals of the stored download; keeps the validator.
struct CHostStandIn : IDownloadHost
{
    CString LoadValidator() override { return ""; }
    void SaveValidator(LPCTSTR) override {}
    void ForgetStoredDownload() override { ++m_nForgets; }
    void DownloadDialogEnded() override { ++m_nEnds; }
    LONG CloseCount() const { return m_nEnds.load(); }
    std::atomic<LONG> m_nForgets{0}, m_nEnds{0};
};

// A transfer that a dialog test plays: it counts starts and aborts, and the test reports its
// progress and its end from the test's thread, as the engine's worker would.
struct CFakeTransfer : ITransfer
{
    BOOL Start(const TRANSFER_START& start, ITransferEvents* pEvents) override;
    void Abort() override;
    BOOL IsBound() override { return fBound.load(); }
    void Progress(const char* pszStatus, const char* pszProgress, int nPercent, const char* pszRate = "Not Known",
                  const char* pszTimeLeft = "Not Known");
    // The end as the engine reports it (an abort before counts); FALSE without a running transfer.
    bool End(HRESULT hr, const char* pszOutcome);
    bool WaitStarted(LONG n, DWORD dwTimeoutMs) { return WaitUntil([&] { return nStarted.load() >= n; }, dwTimeoutMs); }
    BOOL fStartFails = FALSE;  // Start fails, as when no thread can be begun
    BOOL fBindAtOnce = TRUE;   // a binding runs from the start
    BOOL fEndOnAbort = TRUE;   // an abort ends the transfer
    std::atomic<BOOL> fBound{FALSE};
    std::atomic<LONG> nStarted{0}, nAborts{0};
    TRANSFER_START start;
    std::atomic<ITransferEvents*> pEvents{nullptr};
    std::atomic<BOOL> fAborted{FALSE};
};

// One download dialog on its own CDownThread with a fake transfer, freed only once its thread has ended.
class CDownloadDialogRun
{
public:
    CDownloadDialogRun(const std::string& strUrl, const std::string& strFilePath, CFakeTransfer* pTransfer,
                       CHostStandIn* pHost);
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
