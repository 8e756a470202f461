#include "tests/support/DialogDriver.h"
#include <map>
#include "app/CNewUrlDlg.h"
#include "tests/support/E2eProgram.h"
#include "res/resource.h"
#include "tests/support/FakeWorker.h"

bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    for (const DWORD dwStart = ::GetTickCount(); !pred();)
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        // Messages sent to this thread (the download dialog's WM_CLOSE to the stand-in) are delivered.
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 2, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return true;
}

static LRESULT CALLBACK StandInProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CLOSE)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    ++*reinterpret_cast<std::atomic<LONG>*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    return 0;  // stays: the test process goes on
}

CSetupWindowStandIn::CSetupWindowStandIn()
{
    WNDCLASSA wc = {0, StandInProc, 0, 0, ::GetModuleHandleA(NULL), NULL, NULL, NULL, NULL, "DlsSetupStandIn"};
    ::RegisterClassA(&wc);  // fails harmlessly when already registered
    m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "Download Setup", WS_POPUP, 0, 0, 9, 9, 0, 0, wc.hInstance, 0);
    ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_nClose));
    g_dlgSetup.m_hWnd = m_hWnd;
}

CSetupWindowStandIn::~CSetupWindowStandIn()
{
    g_dlgSetup.m_hWnd = NULL;
    ::DestroyWindow(m_hWnd);
}

namespace
{
CTestMutex g_scriptsMutex;
std::map<CURLDownloading*, CFakeWorkerScript*> g_scripts;

// The binding pointer as the engine keeps it: one reference, set and cleared under m_csShared.
void HoldBinding(CURLDownloading* pDlg, IBinding* pBinding)
{
    ::EnterCriticalSection(&pDlg->m_csShared);
    if (pDlg->m_pBinding == nullptr)
        (pDlg->m_pBinding = pBinding)->AddRef();
    ::LeaveCriticalSection(&pDlg->m_csShared);
}

void DropBinding(CURLDownloading* pDlg)
{
    if (IBinding* pBinding = pDlg->ExchangeBinding(nullptr))
        pBinding->Release();
}

// The worker procedure in WorkerThreadEntry's place (m_pfnWorkerEntry).
UINT FakeWorkerEntry(LPVOID pParam)
{
    auto* pDlg = static_cast<CURLDownloading*>(pParam);
    CFakeWorkerScript* pScript = nullptr;
    {
        std::lock_guard<CTestMutex> lock(g_scriptsMutex);
        pScript = g_scripts[pDlg];
    }
    if (pScript == nullptr)
        return 0;
    MSG msg;
    ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
    const DWORD dwSelf = ::GetCurrentThreadId();
    {
        std::lock_guard<CTestMutex> lock(pScript->mutex);
        pScript->threads.push_back(::OpenThread(SYNCHRONIZE, FALSE, dwSelf));
        pScript->threadIds.push_back(dwSelf);
    }
    pDlg->m_dwWorkerThreadId = pScript->dwLastThreadId = dwSelf;
    FakeBinding binding;
    binding.m_onAbort = [&] { ++(::GetCurrentThreadId() == dwSelf ? pScript->nAbortsOnWorkerThread : pScript->nAbortsElsewhere); };
    if (pScript->bBindAtOnce)
        HoldBinding(pDlg, &binding);
    ++pScript->nStarted;
    // The end of a transfer as the engine reports it.
    auto end = [&](const char* pszOutcome, bool bComplete) {
        DropBinding(pDlg);
        pDlg->SetServerStatus(pszOutcome);
        if (bComplete)
            g_fDownloadComplete = TRUE, pDlg->IntDlgStatus = 3;
        pDlg->CloseFileCtrlDlg();
        return false;
    };
    for (bool bRunning = true; bRunning && ::GetMessageA(&msg, NULL, 0, 0) > 0;)
    {
        if (msg.message == WM_FAKE_BIND)
            HoldBinding(pDlg, &binding);
        else if (msg.message == WM_FAKE_COMPLETE)
            bRunning = end("Download Complete", true);
        else if (msg.message == WM_FAKE_FAIL)
            bRunning = end("The attempt to connect to the Internet has failed", false);
        else if (msg.message == WM_APP_ABORT_BINDING)
        {
            ++pScript->nAbortRequests;
            ::EnterCriticalSection(&pDlg->m_csShared);
            if (pDlg->m_pBinding != nullptr)
                pDlg->m_pBinding->Abort();
            ::LeaveCriticalSection(&pDlg->m_csShared);
            if (pScript->bEndOnAbort)  // the engine's end of an aborted binding
                bRunning = end("Download Interrupted / Time Out Action _ By User", false);
        }
    }
    DropBinding(pDlg);
    pScript->nBindingRefs += binding.m_cRef - 1;
    return 0;
}
}  // namespace

bool CFakeWorkerScript::JoinAll(DWORD dwTimeoutMs)
{
    std::lock_guard<CTestMutex> lock(mutex);
    for (DWORD dwThreadId : threadIds)
        ::PostThreadMessageA(dwThreadId, WM_QUIT, 0, 0);
    bool bAllEnded = true;
    for (HANDLE hThread : threads)
    {
        bAllEnded = ::WaitForSingleObject(hThread, dwTimeoutMs) == WAIT_OBJECT_0 && bAllEnded;
        ::CloseHandle(hThread);
    }
    threads.clear();
    threadIds.clear();
    return bAllEnded;
}

CDownloadDialogRun::CDownloadDialogRun(const std::string& strUrl, const std::string& strFilePath,
                                       CFakeWorkerScript* pScript)
    : m_pThread(new CDownThread)
{
    {
        std::lock_guard<CTestMutex> lock(g_scriptsMutex);
        g_scripts[&m_pThread->m_dlgDownload] = pScript;
    }
    m_pThread->m_strURL = strUrl.c_str();
    m_pThread->m_strFilePath = strFilePath.c_str();
    m_pThread->m_dlgDownload.m_pfnWorkerEntry = FakeWorkerEntry;
}

CDownloadDialogRun::~CDownloadDialogRun()
{
    // A dialog whose thread has not ended is left alone (and leaked) rather than freed under it.
    if (m_pThread->m_hThread != NULL && !EndNow(10000))
        return;
    std::lock_guard<CTestMutex> lock(g_scriptsMutex);
    g_scripts.erase(&m_pThread->m_dlgDownload);
    delete m_pThread;
}

bool CDownloadDialogRun::EndNow(DWORD dwTimeoutMs)
{
    if (m_pThread->m_hThread == NULL)
        return true;
    if (!Ended() && m_hWndSeen != NULL)
        ::PostMessageA(m_hWndSeen, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED), 0);
    return WaitEnded(dwTimeoutMs);
}

bool CDownloadDialogRun::Launch(bool bStartLikeTheLaunch)
{
    if (!m_pThread->CreateThread())
        return false;
    if (bStartLikeTheLaunch)
        m_pThread->m_dlgDownload.OnStart();
    return true;
}

bool CDownloadDialogRun::WaitUp(DWORD dwTimeoutMs)
{
    if (!WaitUntil([&] { return Dlg().m_lDialogUp.load() != 0; }, dwTimeoutMs))
        return false;
    m_hWndSeen = Dlg().m_hWndDialog.load();
    return true;
}

static std::string TraceLogPath()
{
    char szDir[MAX_PATH] = "";
    ::GetSystemDirectoryA(szDir, sizeof(szDir));
    return std::string(szDir) + "\\DownLoadSetup.log";
}

CDialogTraceLog::CDialogTraceLog() : m_llStart(FileLength(TraceLogPath())) {}

int CDialogTraceLog::Count(const std::string& strText) const
{
    // The log deletes itself at its size limit; a shorter file than at the start is a new one.
    const std::string strData = ReadWholeFile(TraceLogPath());
    int nCount = 0;
    size_t nPos = m_llStart > 0 && (LONGLONG)strData.size() >= m_llStart ? (size_t)m_llStart : 0;
    for (size_t nEnd; (nEnd = strData.find("\r\n", nPos)) != std::string::npos; nPos = nEnd + 2)
    {
        const size_t cchStamp = nEnd - nPos >= 19 ? 19 : 0;  // "%m/%d/%y %H:%M:%S  "
        nCount += strData.compare(nPos + cchStamp, nEnd - nPos - cchStamp, strText) == 0;
    }
    return nCount;
}

std::string UniqueTestUrl()
{
    static std::atomic<LONG> s_nSerial{0};
    return "http://127.0.0.1:9/dialogtest/" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_nSerial) +
           "-" + std::to_string(::GetTickCount()) + "/brindlemox.exe";
}
