#include "tests/support/DialogDriver.h"
#include <stdio.h>
#include <algorithm>
#include <map>
#include "app/CNewUrlDlg.h"

bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        if (pred())
            return true;
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        // Messages sent to this thread (there should be none) are still delivered while waiting.
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 2, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// ---- the Setup dialog's stand-in ------------------------------------------------------------------

CSetupWindowStandIn::CSetupWindowStandIn()
{
    m_hReady = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    m_hThread = ::CreateThread(NULL, 0, &CSetupWindowStandIn::ThreadProc, this, 0, &m_dwThreadId);
    ::WaitForSingleObject(m_hReady, 10000);
    g_dlgSetup.m_hWnd = m_hWnd;
}

CSetupWindowStandIn::~CSetupWindowStandIn()
{
    g_dlgSetup.m_hWnd = NULL;
    ::PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(m_hThread, 10000);
    ::CloseHandle(m_hThread);
    ::CloseHandle(m_hReady);
}

LRESULT CALLBACK CSetupWindowStandIn::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE)
    {
        auto* pThis = reinterpret_cast<CSetupWindowStandIn*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (pThis != nullptr)
            ++pThis->m_nClose;
        return 0;  // stays: the test process goes on
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

DWORD WINAPI CSetupWindowStandIn::ThreadProc(LPVOID pParam)
{
    auto* pThis = static_cast<CSetupWindowStandIn*>(pParam);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CSetupWindowStandIn::WndProc;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = "DialogTestSetupStandIn";
    ::RegisterClassA(&wc);  // fails harmlessly when already registered
    HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "Download Setup", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                  wc.hInstance, NULL);
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
    pThis->m_hWnd = hWnd;
    ::SetEvent(pThis->m_hReady);
    MSG msg;
    while (::GetMessageA(&msg, NULL, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    ::DestroyWindow(hWnd);
    return 0;
}

// ---- the scripted worker ---------------------------------------------------------------------------

namespace
{
CTestMutex g_scriptsMutex;
std::map<CURLDownloading*, CFakeWorkerScript*> g_scripts;

CFakeWorkerScript* ScriptOf(CURLDownloading* pDialog)
{
    std::lock_guard<CTestMutex> lock(g_scriptsMutex);
    auto it = g_scripts.find(pDialog);
    return it == g_scripts.end() ? nullptr : it->second;
}

// A binding that records where Abort is called; its references are counted in the script.
class CFakeBinding : public IBinding
{
public:
    CFakeBinding(CFakeWorkerScript* pScript) : m_pScript(pScript), m_dwOwner(::GetCurrentThreadId()) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IBinding)
        {
            *ppv = static_cast<IBinding*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)++m_pScript->nBindingRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return (ULONG)--m_pScript->nBindingRefs; }
    HRESULT STDMETHODCALLTYPE Abort() override
    {
        if (::GetCurrentThreadId() == m_dwOwner)
            ++m_pScript->nAbortsOnWorkerThread;
        else
            ++m_pScript->nAbortsElsewhere;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPriority(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindResult(CLSID*, DWORD*, LPOLESTR*, DWORD*) override { return E_NOTIMPL; }

private:
    CFakeWorkerScript* m_pScript;
    DWORD m_dwOwner;
};

// The binding pointer as the engine keeps it: one reference, set and cleared under m_csShared.
void HoldBinding(CURLDownloading* pDlg, CFakeBinding* pBinding)
{
    ::EnterCriticalSection(&pDlg->m_csShared);
    if (pDlg->m_pBinding == nullptr)
    {
        pDlg->m_pBinding = pBinding;
        pBinding->AddRef();
    }
    ::LeaveCriticalSection(&pDlg->m_csShared);
}

BOOL DropBinding(CURLDownloading* pDlg)
{
    ::EnterCriticalSection(&pDlg->m_csShared);
    IBinding* pBinding = pDlg->m_pBinding;
    pDlg->m_pBinding = nullptr;
    ::LeaveCriticalSection(&pDlg->m_csShared);
    if (pBinding != nullptr)
        pBinding->Release();
    return pBinding != nullptr;
}
}  // namespace

void SetFakeWorkerScript(CURLDownloading* pDialog, CFakeWorkerScript* pScript)
{
    std::lock_guard<CTestMutex> lock(g_scriptsMutex);
    if (pScript != nullptr)
        g_scripts[pDialog] = pScript;
    else
        g_scripts.erase(pDialog);
}

UINT FakeWorkerEntry(LPVOID pParam)
{
    auto* pDlg = static_cast<CURLDownloading*>(pParam);
    CFakeWorkerScript* pScript = ScriptOf(pDlg);
    if (pDlg == nullptr || pScript == nullptr)
        return 0;

    MSG msg;
    ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
    HANDLE hSelf = NULL;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &hSelf, SYNCHRONIZE, FALSE,
                      0);
    {
        std::lock_guard<CTestMutex> lock(pScript->mutex);
        pScript->threads.push_back(hSelf);
        pScript->threadIds.push_back(::GetCurrentThreadId());
    }
    pDlg->m_dwWorkerThreadId = ::GetCurrentThreadId();
    pScript->dwLastThreadId = ::GetCurrentThreadId();

    CFakeBinding binding(pScript);
    if (pScript->bBindAtOnce)
        HoldBinding(pDlg, &binding);
    ++pScript->nStarted;

    bool bRunning = true;
    while (bRunning && ::GetMessageA(&msg, NULL, 0, 0) > 0)
    {
        switch (msg.message)
        {
        case WM_FAKE_BIND:
            HoldBinding(pDlg, &binding);
            break;
        case WM_APP_ABORT_BINDING:
            ++pScript->nAbortRequests;
            ::EnterCriticalSection(&pDlg->m_csShared);
            if (pDlg->m_pBinding != nullptr)
                pDlg->m_pBinding->Abort();
            ::LeaveCriticalSection(&pDlg->m_csShared);
            if (pScript->bEndOnAbort)
            {
                // The engine's end of an aborted binding: OnStopBinding with E_ABORT.
                DropBinding(pDlg);
                pDlg->SetServerStatus("Download Interrupted / Time Out Action _ By User");
                pDlg->CloseFileCtrlDlg();
                bRunning = false;
            }
            break;
        case WM_FAKE_COMPLETE:
            DropBinding(pDlg);
            pDlg->SetServerStatus("Download Complete");
            g_fDownloadComplete = TRUE;
            pDlg->IntDlgStatus = 3;
            pDlg->CloseFileCtrlDlg();
            bRunning = false;
            break;
        case WM_FAKE_FAIL:
            DropBinding(pDlg);
            pDlg->SetServerStatus("The attempt to connect to the Internet has failed");
            pDlg->CloseFileCtrlDlg();
            bRunning = false;
            break;
        default:
            break;
        }
    }
    DropBinding(pDlg);
    ++pScript->nEnded;
    return 0;
}

bool CFakeWorkerScript::WaitStarted(LONG n, DWORD dwTimeoutMs)
{
    return WaitUntil([&] { return nStarted.load() >= n; }, dwTimeoutMs);
}

bool CFakeWorkerScript::Post(UINT message)
{
    DWORD dwThreadId = dwLastThreadId.load();
    return dwThreadId != 0 && ::PostThreadMessageA(dwThreadId, message, 0, 0);
}

bool CFakeWorkerScript::JoinAll(DWORD dwTimeoutMs)
{
    std::lock_guard<CTestMutex> lock(mutex);
    for (DWORD dwThreadId : threadIds)
        ::PostThreadMessageA(dwThreadId, WM_QUIT, 0, 0);
    bool bAllEnded = true;
    for (HANDLE hThread : threads)
    {
        if (::WaitForSingleObject(hThread, dwTimeoutMs) != WAIT_OBJECT_0)
            bAllEnded = false;
        ::CloseHandle(hThread);
    }
    threads.clear();
    threadIds.clear();
    return bAllEnded;
}

// ---- the dialog on its own thread -------------------------------------------------------------------

CDownloadDialogRun::CDownloadDialogRun(const std::string& strUrl, const std::string& strFilePath,
                                       CFakeWorkerScript* pScript)
{
    m_pThread = new CDownThread;
    SetFakeWorkerScript(&m_pThread->m_dlgDownload, pScript);
    m_pThread->m_strURL = strUrl.c_str();
    m_pThread->m_strFilePath = strFilePath.c_str();
    m_pThread->m_dlgDownload.m_pfnWorkerEntry = FakeWorkerEntry;
}

CDownloadDialogRun::~CDownloadDialogRun()
{
    // A dialog whose thread has not ended is left alone (and leaked) rather than freed under it.
    if (m_pThread->m_hThread == NULL || EndNow(10000))
    {
        SetFakeWorkerScript(&m_pThread->m_dlgDownload, nullptr);
        delete m_pThread;
    }
}

bool CDownloadDialogRun::EndNow(DWORD dwTimeoutMs)
{
    if (m_pThread->m_hThread == NULL)
        return true;
    if (!Ended() && m_hWndSeen != NULL)
        ::PostMessageA(m_hWndSeen, WM_COMMAND, IDOK, 0);
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
    bool bUp = WaitUntil([&] { return Dlg().m_lDialogUp.load() != 0; }, dwTimeoutMs);
    if (bUp)
        m_hWndSeen = Dlg().m_hWndDialog.load();
    return bUp;
}

bool CDownloadDialogRun::Ended()
{
    return m_pThread->m_hThread != NULL && ::WaitForSingleObject(m_pThread->m_hThread, 0) == WAIT_OBJECT_0;
}

bool CDownloadDialogRun::WaitEnded(DWORD dwTimeoutMs)
{
    return WaitUntil([&] { return Ended(); }, dwTimeoutMs);
}

void CDownloadDialogRun::Click(int nID) { ::PostMessageA(Item(nID), BM_CLICK, 0, 0); }

std::string CDownloadDialogRun::Text(int nID)
{
    char szText[512] = "";
    ::GetWindowTextA(Item(nID), szText, sizeof(szText));
    return szText;
}

std::string CDownloadDialogRun::WindowText()
{
    char szText[512] = "";
    ::GetWindowTextA(m_hWndSeen, szText, sizeof(szText));
    return szText;
}

// ---- the trace log -----------------------------------------------------------------------------------

namespace
{
std::string TraceLogPath()
{
    char szDir[MAX_PATH] = "";
    ::GetSystemDirectoryA(szDir, sizeof(szDir));
    return std::string(szDir) + "\\DownLoadSetup.log";
}

LONGLONG FileSizeOf(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}
}  // namespace

CDialogTraceLog::CDialogTraceLog() : m_strPath(TraceLogPath()), m_llStart(FileSizeOf(m_strPath)) {}

std::vector<std::string> CDialogTraceLog::Texts() const
{
    std::vector<std::string> texts;
    HANDLE hFile = ::CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return texts;
    LARGE_INTEGER size;
    ::GetFileSizeEx(hFile, &size);
    // The log deletes itself at its size limit; a shorter file than at the start is a new one.
    LONGLONG llStart = size.QuadPart >= m_llStart ? m_llStart : 0;
    LARGE_INTEGER pos;
    pos.QuadPart = llStart;
    ::SetFilePointerEx(hFile, pos, NULL, FILE_BEGIN);
    std::string strData((size_t)(size.QuadPart - llStart), '\0');
    DWORD cbRead = 0;
    if (!strData.empty())
        ::ReadFile(hFile, &strData[0], (DWORD)strData.size(), &cbRead, NULL);
    strData.resize(cbRead);
    ::CloseHandle(hFile);

    size_t nPos = 0;
    while (nPos < strData.size())
    {
        size_t nEnd = strData.find("\r\n", nPos);
        if (nEnd == std::string::npos)
            break;  // a line being written right now
        std::string strLine = strData.substr(nPos, nEnd - nPos);
        // "%m/%d/%y %H:%M:%S  " is 19 characters.
        texts.push_back(strLine.size() >= 19 ? strLine.substr(19) : strLine);
        nPos = nEnd + 2;
    }
    return texts;
}

std::vector<std::string> CDialogTraceLog::TextsEndingWith(const std::string& strSuffix) const
{
    std::vector<std::string> result;
    for (const std::string& strText : Texts())
        if (strText.size() >= strSuffix.size() &&
            strText.compare(strText.size() - strSuffix.size(), strSuffix.size(), strSuffix) == 0)
            result.push_back(strText);
    return result;
}

int CDialogTraceLog::Count(const std::string& strText) const
{
    std::vector<std::string> texts = Texts();
    return (int)std::count(texts.begin(), texts.end(), strText);
}

// ---- test files ------------------------------------------------------------------------------------

CDialogTestFiles::CDialogTestFiles(const char* pszName)
{
    static std::atomic<LONG> s_nSerial{0};
    char szUnique[128];
    snprintf(szUnique, sizeof(szUnique), "%s-%lu-%ld-%lu", pszName, ::GetCurrentProcessId(), (long)++s_nSerial,
             ::GetTickCount());
    // Port 9 (discard) on the loopback: nothing is ever fetched from this address.
    m_strUrl = std::string("http://127.0.0.1:9/dialogtest/") + szUnique + "/brindlemox.exe";
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(sizeof(szTemp), szTemp);
    m_strFolder = std::string(szTemp) + "dlgtest-" + szUnique;
    ::CreateDirectoryA(m_strFolder.c_str(), NULL);
    m_strFilePath = m_strFolder + "\\brindlemox.exe";
}

CDialogTestFiles::~CDialogTestFiles()
{
    ::SetFileAttributesA(m_strFilePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(m_strFilePath.c_str());
    ::RemoveDirectoryA(m_strFolder.c_str());
}
