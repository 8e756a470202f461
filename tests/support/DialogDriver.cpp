#include "tests/support/DialogDriver.h"
#include <map>
#include "app/CSetupApp.h"
#include "res/resource.h"
#include "tests/support/E2eProgram.h"

bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    for (const DWORD dwStart = ::GetTickCount(); !pred();)
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        // Messages sent to this thread meanwhile are delivered.
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 2, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return true;
}

BOOL CFakeTransfer::Start(const TRANSFER_START& startGiven, ITransferEvents* pEventsGiven)
{
    if (fStartFails)
        return FALSE;
    start = startGiven;
    fAborted = FALSE;
    fBound = fBindAtOnce;
    pEvents = pEventsGiven;
    ++nStarted;
    return TRUE;
}

void CFakeTransfer::Abort()
{
    ++nAborts;
    fAborted = TRUE;
    if (fEndOnAbort)  // the engine's end of an aborted binding
        End(E_ABORT, "Download Interrupted / Time Out Action _ By User");
}

void CFakeTransfer::Progress(const char* pszStatus, const char* pszProgress, int nPercent, const char* pszRate,
                             const char* pszTimeLeft)
{
    TRANSFER_PROGRESS progress;
    progress.strStatus = pszStatus;
    progress.strProgress = pszProgress;
    progress.strRate = pszRate;
    progress.strTimeLeft = pszTimeLeft;
    progress.nPercent = nPercent;
    pEvents.load()->OnTransferProgress(progress);
}

bool CFakeTransfer::End(HRESULT hr, const char* pszOutcome)
{
    ITransferEvents* pTo = pEvents.exchange(nullptr);
    if (pTo == nullptr)
        return false;
    fBound = FALSE;
    TRANSFER_END end;
    end.hrResult = hr;
    end.strOutcome = pszOutcome;
    end.fAborted = fAborted.load();
    pTo->OnTransferEnded(end);
    return true;
}

CDownloadDialogRun::CDownloadDialogRun(const std::string& strUrl, const std::string& strFilePath,
                                       CFakeTransfer* pTransfer, CHostStandIn* pHost)
    : m_pThread(new CDownThread(theApp.m_log, *pHost))
{
    m_pThread->m_strURL = strUrl.c_str();
    m_pThread->m_strFilePath = strFilePath.c_str();
    m_pThread->m_dlgDownload.SetTransfer(*pTransfer);
}

CDownloadDialogRun::~CDownloadDialogRun()
{
    // A thread that cannot be ended keeps its object: the dialog may still use it.
    if (m_pThread->m_hThread != NULL && !EndNow(10000))
        return;
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
    return WaitUntil([&] { return (m_hWndSeen = Dlg().DialogWindow()) != NULL; }, dwTimeoutMs);
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
