// CURLDownloading, transfer side: the worker thread and the start of the URL binding.
//
// The worker owns the binding: the URL moniker delivers every callback through the message queue of
// the thread that started the binding, so the worker pumps messages until the binding has ended and
// the dialog has been told (OnStopBinding sets m_fBindingEnded; no WM_QUIT, which would also end a
// message box shown on this thread meanwhile). In that loop it also aborts the
// binding when the dialog asks (WM_APP_ABORT_BINDING: COM wants Abort on the binding's own thread)
// and runs the no-data watchdog, because Wine never ends a binding whose server went silent or
// reset the connection.
#include "download/CURLDownloading.h"
#include <ocidl.h>
#include <servprov.h>
#include "app/CSetupApp.h"

void CURLDownloading::WorkerThreadProc()
{
    theApp.m_log.WriteLine("Start WorkerThreadProc in CURLDownloading");
    // From here on, what an earlier binding still delivers on its own thread changes nothing.
    m_dwWorkerThreadId = ::GetCurrentThreadId();

    const HANDLE hFile = OpenLocalFile();
    const DWORD dwEnd = m_dwResumeOffset;
    BYTE_RANGE range = {dwEnd, 0};

    SYSTEMTIME stStarted;
    ::GetSystemTime(&stStarted);
    ::Sleep(500);

    if (FAILED(::CoInitialize(NULL)))
    {
        theApp.m_log.WriteLine("End WorkerThreadProc 1 in CURLDownloading");
        ::ExitProcess(1);
    }

    DOWNLOAD_REQUEST request;
    ZeroMemory(&request, sizeof(request));
    request.cbSize = sizeof(DOWNLOAD_REQUEST);
    request.punkHost = nullptr;
    request.pszUrl = m_strURL;
    request.dwFlags = 15;
    request.pRanges = &range;
    request.cRanges = 1;
    request.pstUnlessModifiedSince = &stStarted;
    InitCallback(&request);

    if (hFile == INVALID_HANDLE_VALUE)
    {
        // A local file that cannot be opened (missing or read-only folder) or deleted is a clear
        // outcome of its own; the server is not asked.
        m_hrOutcome = STG_E_WRITEFAULT;
        OnStopBinding(STG_E_WRITEFAULT, NULL);
    }
    else if (BeginDownload(&request))
    {
        PumpBinding();
    }
    else if (!m_fBindingEnded)
    {
        // The binding could not be started and has not reported an end: the dialog is told here.
        OnStopBinding(FAILED(m_hrBind) ? m_hrBind : E_FAIL, NULL);
    }

    ::CoUninitialize();
    // CloseFileCtrlDlg has closed the file at the end of the binding; m_hFile may already be the
    // handle of a newer worker, so it is not touched here.
    ::InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&m_pRequest), nullptr, &request);
    theApp.m_log.WriteLine("End WorkerThreadProc 2 in CURLDownloading");
}

HANDLE CURLDownloading::OpenLocalFile()
{
    // The file is opened without truncation; its length is where the transfer resumes (unless it
    // holds an older version of the installer, which is deleted first).
    HANDLE hFile = INVALID_HANDLE_VALUE;
    if (BeginAnewIfChanged())
        hFile = ::CreateFileA(m_strFilePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    SetLocalFile(hFile);
    const DWORD dwEnd = ::SetFilePointer(hFile, 0, NULL, FILE_END);
    m_dwResumeOffset = dwEnd == INVALID_SET_FILE_POINTER ? 0 : dwEnd;
    return hFile;
}

void CURLDownloading::PumpBinding()
{
    // The watchdog looks a few times per wait, at least once a second.
    DWORD dwPeriod = m_dwStallTimeoutMs / 4;
    if (dwPeriod > 1000)
        dwPeriod = 1000;
    if (dwPeriod < 20)
        dwPeriod = 20;
    const UINT_PTR idTimer = ::SetTimer(NULL, 0, dwPeriod, NULL);
    MSG msg;
    while (IsCurrentWorker() && !m_fBindingEnded && ::GetMessageA(&msg, NULL, 0, 0) > 0)
    {
        if (msg.hwnd == NULL && msg.message == WM_APP_ABORT_BINDING)
        {
            if (!m_fBindingEnded)
                AbortBinding();
            continue;
        }
        if (msg.hwnd == NULL && msg.message == WM_TIMER && msg.wParam == idTimer)
        {
            CheckStall();
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (idTimer != 0)
        ::KillTimer(NULL, idTimer);
    // What the service queued up to the end is still handled (its clean-up of the binding).
    for (int i = 0; i < 1000 && ::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE) && msg.message != WM_QUIT; ++i)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void CURLDownloading::SetLocalFile(HANDLE hFile)
{
    // In one step: the dialog's thread may close the handle at the end of a transfer meanwhile.
    HANDLE hOld = static_cast<HANDLE>(::InterlockedExchangePointer(&m_hFile, hFile));
    if (hOld != NULL && hOld != INVALID_HANDLE_VALUE)
        ::CloseHandle(hOld);
}

void CURLDownloading::CheckStall()
{
    if (m_fBindingEnded)
        return;
    const DWORD dwNow = m_pfnGetTickCount();
    if (dwNow - m_dwLastActivityTick < m_dwStallTimeoutMs)
        return;
    if (!m_fAbortCalled)
    {
        // A silent server, or a connection reset that the service never reports: no end would come.
        TraceWithUrl("Timed out WorkerThreadProc in CURLDownloading for ");
        m_dwLastActivityTick = dwNow;
        ReportFailure(INET_E_CONNECTION_TIMEOUT);
        if (m_fAbortCalled)
            return;
    }
    // The abort itself has not ended the binding within another wait: the end is reported here, so
    // the dialog is never left waiting.
    if (m_hrOutcome == S_OK)
        m_hrOutcome = INET_E_CONNECTION_TIMEOUT;
    OnStopBinding(E_ABORT, NULL);
}

BOOL CURLDownloading::BeginDownload(DOWNLOAD_REQUEST* pRequest)
{
    if (pRequest == nullptr || pRequest->cbSize != sizeof(DOWNLOAD_REQUEST))
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return HttpReadFromServer(pRequest);
}

BOOL CURLDownloading::HttpReadFromServer(DOWNLOAD_REQUEST* pRequest)
{
    TraceWithUrl("Start HttpReadFromServer in CURLDownloading for ");
    m_hrBind = S_OK;
    IBindStatusCallback* pCallback = static_cast<IBindStatusCallback*>(this);

    IBindHost* pBindHost = nullptr;
    if (pRequest->punkHost != nullptr)
        m_hrBind = GetAnInterface(pRequest->punkHost, IID_IBindHost, reinterpret_cast<void**>(&pBindHost), TRUE,
                                  IID_IBindHost, IID_IBindHost, reinterpret_cast<void**>(&pBindHost));

    WCHAR wszUrl[2084];
    wszUrl[0] = L'\0';
    if (pRequest->pszUrl != nullptr &&
        ::MultiByteToWideChar(CP_ACP, 0, pRequest->pszUrl, -1, wszUrl, sizeof(wszUrl) / sizeof(wszUrl[0])) == 0)
        wszUrl[sizeof(wszUrl) / sizeof(wszUrl[0]) - 1] = L'\0';

    IMoniker* pMoniker = nullptr;
    IStream* pStream = nullptr;
    HRESULT hr;
    if (pBindHost != nullptr)
    {
        hr = pBindHost->CreateMoniker(wszUrl, NULL, &pMoniker, 0);
        if (SUCCEEDED(hr))
            hr = pBindHost->MonikerBindToStorage(pMoniker, NULL, pCallback, IID_IStream,
                                                 reinterpret_cast<void**>(&pStream));
        pBindHost->Release();
    }
    else
    {
        IBindCtx* pBindCtx = nullptr;
        hr = ::CreateURLMoniker(NULL, wszUrl, &pMoniker);
        if (SUCCEEDED(hr))
            hr = ::CreateAsyncBindCtx(0, pCallback, NULL, &pBindCtx);
        if (SUCCEEDED(hr))
            hr = pMoniker->BindToStorage(pBindCtx, NULL, IID_IStream, reinterpret_cast<void**>(&pStream));
        if (pBindCtx != nullptr)
            pBindCtx->Release();
    }
    // The outcome of an asynchronous binding arrives through OnStopBinding. Only a binding that
    // could not be started at all is reported here, so that the worker can tell the dialog.
    if (FAILED(hr) && SUCCEEDED(m_hrBind))
        m_hrBind = hr;
    if (pStream != nullptr)
        pStream->Release();
    if (pMoniker != nullptr)
        pMoniker->Release();

    TraceWithUrl("End HttpReadFromServer 1 in CURLDownloading for ");
    return SUCCEEDED(m_hrBind);
}

HRESULT CURLDownloading::GetAnInterface(IUnknown* punk, REFIID riid, void** ppv, BOOL bCheckServiceProvider,
                                        REFGUID guidService, REFIID riidService, void** ppvService)
{
    TraceWithUrl("Start GetAnInterface in CURLDownloading for ");
    m_hrBind = E_FAIL;
    if (ppv != nullptr)
        *ppv = nullptr;
    if (ppvService != nullptr)
        *ppvService = nullptr;

    IOleObject* pObject = nullptr;
    IOleContainer* pContainer = nullptr;
    IUnknown* pService = nullptr;
    if (punk != nullptr)
        m_hrBind = punk->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&pObject));
    if (FAILED(m_hrBind))
        pObject = nullptr;

    while (pObject != nullptr)
    {
        IOleClientSite* pSite = nullptr;
        if (FAILED(pObject->GetClientSite(&pSite)) || pSite == nullptr)
            break;

        if (bCheckServiceProvider)
        {
            IServiceProvider* pProvider = nullptr;
            if (SUCCEEDED(pSite->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&pProvider))))
            {
                HRESULT hrService =
                    pProvider->QueryService(guidService, riidService, reinterpret_cast<void**>(&pService));
                pProvider->Release();
                if (SUCCEEDED(hrService) && pService != nullptr)
                {
                    bCheckServiceProvider = FALSE;
                    m_hrBind = pService->QueryInterface(riid, ppv);
                    if (SUCCEEDED(m_hrBind))
                    {
                        pSite->Release();
                        break;
                    }
                }
                else
                {
                    pService = nullptr;
                }
            }
        }

        if (pContainer != nullptr)
        {
            pContainer->Release();
            pContainer = nullptr;
        }
        HRESULT hrContainer = pSite->GetContainer(&pContainer);
        pSite->Release();
        if (FAILED(hrContainer) || pContainer == nullptr)
        {
            pContainer = nullptr;
            break;
        }
        m_hrBind = pContainer->QueryInterface(riid, ppv);
        if (SUCCEEDED(m_hrBind))
            break;

        pObject->Release();
        pObject = nullptr;
        if (FAILED(pContainer->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&pObject))))
            pObject = nullptr;
    }

    if (pObject != nullptr)
        pObject->Release();
    if (pContainer != nullptr)
        pContainer->Release();
    if (pService != nullptr)
    {
        if (ppvService != nullptr)
            *ppvService = pService;  // handed out, not released
        else
            pService->Release();
    }
    TraceWithUrl("End GetAnInterface in CURLDownloading for ");
    return m_hrBind;
}
