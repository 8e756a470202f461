// CURLDownloading: construction, the template's controls, painting, the caption, the elapsed-time
// timer, the Open button, and the state shared with other threads. Start, stop and the ends are in
// CURLDownloadingTransfer.cpp.
#include "download/CURLDownloading.h"
#include <shellapi.h>
#include "download/ServerConfig.h"
#include "res/resource.h"
#include "transfer/CRateMeter.h"
#include "transfer/PublisherCheck.h"

namespace
{
const COLORREF kFrameColour = RGB(127, 144, 192);
const COLORREF kBackColour = RGB(175, 199, 239);
const COLORREF kTextColour = RGB(0, 21, 96);
}  // namespace

BEGIN_MESSAGE_MAP(CURLDownloading, CDialog)
    ON_BN_CLICKED(IDC_START, OnStart)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_BN_CLICKED(IDC_EXIT, OnExit)
    ON_WM_PAINT()
    ON_WM_NCPAINT()
    ON_WM_CTLCOLOR()
    ON_WM_CLOSE()
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_OPEN, OnOpen)
    ON_MESSAGE(WM_DRAWCAPTION, OnDrawCaption)
    ON_MESSAGE(WM_APP_START, OnAppStart)
    ON_MESSAGE(WM_APP_PROGRESS, OnAppProgress)
    ON_MESSAGE(WM_APP_TRANSFER_ENDED, OnAppTransferEnded)
END_MESSAGE_MAP()

CURLDownloading::CURLDownloading(CTraceLog& log, ITransfer& transfer, IDownloadHost& host)
    : CDialog(IDD_DOWNLOADING, NULL), m_log(log), m_pTransfer(&transfer), m_host(host)
{
    ::InitializeCriticalSection(&m_csShared);
    m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_log.WriteLine("Constructor in CURLDownloading");
}

CURLDownloading::~CURLDownloading() { ::DeleteCriticalSection(&m_csShared); }

void CURLDownloading::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OPEN, m_btnOpen);
    DDX_Control(pDX, IDC_TIMELEFT, m_stTimeLeft);
    DDX_Control(pDX, IDC_TIMEELAPSED, m_stTimeElapsed);
    DDX_Control(pDX, IDC_TRANSFERRATE, m_stTransferRate);
    DDX_Control(pDX, IDC_STOP, m_btnStop);
    DDX_Control(pDX, IDC_START, m_btnStart);
    DDX_Control(pDX, IDC_EXIT, m_btnExit);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_SERVERSTATUS, m_stServerStatus);
    DDX_Control(pDX, IDC_FILEPATH, m_edFilePath);
    DDX_Control(pDX, IDC_DOWNLOADSTATUS, m_stDownloadStatus);
    DDX_Text(pDX, IDC_DOWNLOADSTATUS, m_strDownloadStatus);
    DDX_Text(pDX, IDC_FILEPATH, m_strFilePath);
    // The server status is shared with the worker: exchanged through a copy, the lock is not held
    // while the control's text moves.
    CString strServerStatus = GetServerStatus();
    DDX_Text(pDX, IDC_SERVERSTATUS, strServerStatus);
    if (pDX->m_bSaveAndValidate)
        SetServerStatus(strServerStatus);
    DDX_Text(pDX, IDC_TRANSFERRATE, m_strTransferRate);
    DDX_Text(pDX, IDC_TIMELEFT, m_strTimeLeft);
}

BOOL CURLDownloading::OnInitDialog()
{
    m_log.WriteLine("Start OnInitDialog in CURLDownloading");
    m_dwDialogThreadId = ::GetCurrentThreadId();
    CDialog::OnInitDialog();

    m_progress.SetRange(0, 100);
    m_progress.DropVisualTheme();
    m_progress.SendMessage(PBM_SETBKCOLOR, 0, (LPARAM)kBackColour);

    CString strTitle;
    strTitle.Format("Download from %s", (LPCTSTR)GetUrlFileName());
    m_captionPainter.SetTitle(strTitle);
    m_captionPainter.AttachCaption(this, WM_DRAWCAPTION);

    m_btnStop.EnableWindow(FALSE);

    HINSTANCE hRes = AfxGetResourceHandle();
    m_btnStart.SetStripBitmap(::LoadBitmapA(hRes, "STARTBUTTON.BMP"));
    m_btnOpen.SetStripBitmap(::LoadBitmapA(hRes, "OPEN.BMP"));
    m_btnStop.SetStripBitmap(::LoadBitmapA(hRes, "STOPBUTTON.BMP"));
    m_btnExit.SetStripBitmap(::LoadBitmapA(hRes, "EXITBUTTON.BMP"));

    CString strTip("Click To Start/Resume Download Now");
    m_btnStart.SetToolTipText(&strTip, TRUE);
    strTip = "Click To Open Downloaded File";
    m_btnOpen.SetToolTipText(&strTip, TRUE);
    strTip = "Click To Stop Download";
    m_btnStop.SetToolTipText(&strTip, TRUE);
    strTip = "Click To Exit Download.";
    m_btnExit.SetToolTipText(&strTip, TRUE);

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Rounded corners of 24 by 24 pixels; the region reaches 12 pixels below the window, so only
    // the top corners show. m_rgnWindow keeps its own region: the window gets a copy, which the
    // system owns and deletes with the window.
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    m_rgnWindow.DeleteObject();
    if (m_rgnWindow.CreateRoundRectRgn(0, 0, rcWindow.Width(), rcWindow.Height() + 12, 24, 24))
    {
        HRGN hRgnWindow = ::CreateRectRgn(0, 0, 0, 0);
        if (hRgnWindow != NULL && ::CombineRgn(hRgnWindow, (HRGN)m_rgnWindow.m_hObject, NULL, RGN_COPY) != ERROR &&
            SetWindowRgn(hRgnWindow, TRUE))
            hRgnWindow = NULL;
        if (hRgnWindow != NULL)
            ::DeleteObject(hRgnWindow);
    }

    m_nElapsedSec = 0;
    m_stTimeElapsed.SetWindowText(CRateMeter::FormatTimeLeft(0));

    m_log.WriteLine("End OnInitDialog in CURLDownloading");

    // From here on other threads may post to the window. A start that the launch asked for before
    // the window existed runs now, once (OnAppStart takes the request with an interlocked exchange).
    m_hWndDialog = m_hWnd;
    m_lDialogUp = 1;
    if (m_lStartPending.load() != 0)
        PostToDialog(WM_APP_START);
    return TRUE;
}

void CURLDownloading::OnPaint()
{
    CPaintDC dc(this);
    CRect rcClient;
    GetClientRect(&rcClient);
    {
        CBrush brFrame(kFrameColour);
        dc.FillRect(&rcClient, &brFrame);
    }
    CRect rcInner = rcClient;
    rcInner.top += 3;
    rcInner.right -= 1;
    {
        CBrush brBack(kBackColour);
        dc.FillRect(&rcInner, &brBack);
    }
    if (IsIconic())
    {
        SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
        int cxIcon = ::GetSystemMetrics(SM_CXICON);
        int cyIcon = ::GetSystemMetrics(SM_CYICON);
        int x = (rcClient.Width() - cxIcon + 1) / 2;
        int y = (rcClient.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    }
}

void CURLDownloading::OnNcPaint()
{
    CWindowDC dc(this);
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    CRect rcClient;
    GetClientRect(&rcClient);
    ClientToScreen(&rcClient);
    rcClient.OffsetRect(-rcWindow.left, -rcWindow.top);
    if (rcClient.top < rcClient.bottom)
        dc.ExcludeClipRect(&rcClient);
    SendMessage(WM_ERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
    rcWindow.OffsetRect(-rcWindow.left, -rcWindow.top);
    CBrush brFrame(kFrameColour);
    dc.FillRect(&rcWindow, &brFrame);
}

HBRUSH CURLDownloading::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC)
    {
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetBkColor(kBackColour);
        pDC->SetTextColor(kTextColour);
    }
    return hbr;
}

LRESULT CURLDownloading::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_SYSCOMMAND:
    case WM_INITMENU:
    case WM_CAPTURECHANGED:
        m_captionPainter.RedrawCaption();  // draws nothing until the painter is attached
        break;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

LRESULT CURLDownloading::OnDrawCaption(WPARAM wParam, LPARAM lParam)
{
    m_captionPainter.DrawGradientCaption(wParam, reinterpret_cast<CAPTIONPAINT*>(lParam));
    return 0;
}

void CURLDownloading::OnTimer(UINT nIDEvent)
{
    if (nIDEvent == kTimerElapsed)
    {
        ++m_nElapsedSec;
        m_stTimeElapsed.SetWindowText(CRateMeter::FormatTimeLeft(m_nElapsedSec));
        if (m_state.load() == DownloadState::Waiting)
            ShowRetryCountdown();
    }
    else if (nIDEvent == kTimerResume)
    {
        ResumeByItself();
    }
    else if (nIDEvent == kTimerProgressRest)
    {
        KillTimer(kTimerProgressRest);
        OnProgressRestOver();
    }
    Default();
}

void CURLDownloading::OnOpen()
{
    if (m_strFilePath.IsEmpty())
        return;
    // The file may have changed since the download completed: it is checked again right before it runs.
    const PUBLISHER_CHECK check = CheckPublisher(m_strFilePath, GetExpectedPublisher());
    m_log.WriteLine(PublisherCheckTrace(check) + " for " + m_strFilePath);
    if (check.nVerdict == PUBLISHER_CANNOT_CHECK)
    {
        if (MessageBox(PublisherCheckSentence(check) + " Do you want to run it anyway?", "Open Downloaded File",
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    else if (check.nVerdict != PUBLISHER_GENUINE && check.nVerdict != PUBLISHER_NOT_CHECKED)
    {
        RefuseFileNotGenuine(PublisherCheckSentence(check));
        return;
    }
    ::ShellExecuteA(m_hWnd, "open", m_strFilePath, NULL, "", SW_SHOW);
}

void CURLDownloading::RefuseFileNotGenuine(const CString& strSentence)
{
    ::DeleteFileA(m_strFilePath);
    m_state = DownloadState::Unfinished;
    m_host.ForgetStoredDownload();
    m_btnOpen.EnableWindow(FALSE);
    SetServerStatus(strSentence);
    m_stServerStatus.SetText(strSentence);
    m_captionPainter.SetTitle(strSentence);
    m_captionPainter.ApplyTitle(m_hWnd);
    MessageBox(strSentence, "Open Downloaded File", MB_OK | MB_ICONERROR);
}

CString CURLDownloading::GetUrlFileName() const
{
    int nSlash = m_strURL.ReverseFind('/');
    return nSlash < 0 ? m_strURL : m_strURL.Mid(nSlash + 1);
}

BOOL CURLDownloading::IsDialogThread() const
{
    return m_dwDialogThreadId.load() == ::GetCurrentThreadId() && m_hWnd != NULL;
}

CString CURLDownloading::GetServerStatus()
{
    ::EnterCriticalSection(&m_csShared);
    CString strStatus = m_strServerStatus;
    ::LeaveCriticalSection(&m_csShared);
    return strStatus;
}

void CURLDownloading::SetServerStatus(LPCTSTR pszStatus)
{
    CString strStatus(pszStatus);  // built outside the lock
    ::EnterCriticalSection(&m_csShared);
    m_strServerStatus = strStatus;
    ::LeaveCriticalSection(&m_csShared);
}

BOOL CURLDownloading::PostToDialog(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hWnd = m_hWndDialog.load();
    return hWnd != NULL && ::PostMessageA(hWnd, message, wParam, lParam);
}

void CURLDownloading::TraceWithUrl(LPCTSTR pszText) { m_log.WriteLine(CString(pszText) + m_strURL); }
