// Windows for the custom-control tests and the control gallery.
#include "GalleryWindows.h"
#include "res/resource.h"

void PumpMessages(DWORD dwMs)
{
    const DWORD dwStart = ::GetTickCount();
    do
    {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        {
            if (!AfxPreTranslateMessage(&msg, NULL))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        AfxGetThreadState()->DeleteTempMaps();
        if (::GetTickCount() - dwStart >= dwMs)
            break;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - dwStart < dwMs);
}

bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        PumpMessages(0);
        if (pred())
            return true;
        if (::GetTickCount() - dwStart >= dwTimeoutMs)
            return pred();
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
}

// ---- CGalleryFrame ---------------------------------------------------------------------------------

namespace
{
const char GALLERY_FRAME_CLASS[] = "DlsGalleryFrame";

void RegisterFrameClass()
{
    static const ATOM s_atom = []
    {
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.hCursor = ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = GALLERY_FRAME_CLASS;
        wc.style = CS_DBLCLKS;
        return ::RegisterClassA(&wc);
    }();
    (void)s_atom;
}
}  // namespace

CGalleryFrame::~CGalleryFrame()
{
    if (m_hWnd != NULL)
        DestroyWindow();
}

BOOL CGalleryFrame::CreateFrame(LPCSTR pszTitle, DWORD dwStyle, const RECT& rcWindow, DWORD dwExStyle, BOOL bActivate)
{
    RegisterFrameClass();
    if (!CreateEx(dwExStyle, GALLERY_FRAME_CLASS, pszTitle, dwStyle & ~WS_VISIBLE, rcWindow.left, rcWindow.top,
                  rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top, NULL, NULL))
        return FALSE;
    ::ShowWindow(m_hWnd, bActivate ? SW_SHOW : SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

int CGalleryFrame::Count(UINT message) const
{
    int n = 0;
    for (const CGalleryMsg& msg : m_msgs)
        if (msg.message == message)
            ++n;
    return n;
}

const CGalleryMsg* CGalleryFrame::Last(UINT message) const
{
    for (auto it = m_msgs.rbegin(); it != m_msgs.rend(); ++it)
        if (it->message == message)
            return &*it;
    return nullptr;
}

int CGalleryFrame::CountCommand(UINT nCode, UINT nID) const
{
    int n = 0;
    for (const auto& command : m_commands)
        if (command.first == nCode && command.second == nID)
            ++n;
    return n;
}

LRESULT CGalleryFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_onMessage)
        m_onMessage(message, wParam, lParam);
    m_msgs.push_back(CGalleryMsg{message, wParam, lParam});
    if (message == WM_GALLERY_DRAWCAPTION)
    {
        if (lParam != 0)
            ++m_nCaptionPaints;
        else
            ++m_nFontResets;
        if (m_pPainter != nullptr)
            m_pPainter->DrawGradientCaption(wParam, reinterpret_cast<CAPTIONPAINT*>(lParam));
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CGalleryFrame::OnCmdMsg(UINT nID, int nCode)
{
    m_commands.emplace_back((UINT)nCode, nID);
    return CWnd::OnCmdMsg(nID, nCode);
}

HWND CreateGalleryChild(CWnd* pParent, LPCSTR pszClass, LPCSTR pszText, DWORD dwStyle, const RECT& rc, UINT nID)
{
    return ::CreateWindowExA(0, pszClass, pszText, WS_CHILD | WS_VISIBLE | dwStyle, rc.left, rc.top, rc.right - rc.left,
                             rc.bottom - rc.top, pParent->m_hWnd, (HMENU)(UINT_PTR)nID, ::GetModuleHandleA(NULL), NULL);
}

// ---- CGalleryDlg ---------------------------------------------------------------------------------------

namespace
{
const COLORREF FRAME_COLOUR = RGB(127, 144, 192);
const COLORREF BACK_COLOUR = RGB(175, 199, 239);
const COLORREF TEXT_COLOUR = RGB(0, 21, 96);

HBITMAP LoadStrip(LPCSTR pszName) { return ::LoadBitmapA(::GetModuleHandleA(NULL), pszName); }
}  // namespace

BEGIN_MESSAGE_MAP(CGalleryDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_NCPAINT()
    ON_WM_CTLCOLOR()
    ON_MESSAGE(WM_GALLERY_DRAWCAPTION, OnDrawCaption)
END_MESSAGE_MAP()

CGalleryDlg::CGalleryDlg() : CDialog(IDD_DOWNLOADING) {}

CGalleryDlg::~CGalleryDlg()
{
    if (m_hWnd != NULL)
        DestroyWindow();
}

BOOL CGalleryDlg::CreateGallery() { return Create(IDD_DOWNLOADING, NULL); }

void CGalleryDlg::DoDataExchange(CDataExchange* pDX)
{
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
}

BOOL CGalleryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_progress.SetRange(0, 100);
    m_progress.SendMessage(PBM_SETBKCOLOR, 0, (LPARAM)BACK_COLOUR);
    m_captionPainter.SetTitle("Download from brindlemox.exe");
    m_captionPainter.AttachCaption(this, WM_GALLERY_DRAWCAPTION);

    m_btnStart.SetStripBitmap(LoadStrip("STARTBUTTON.BMP"));
    m_btnOpen.SetStripBitmap(LoadStrip("OPEN.BMP"));
    m_btnStop.SetStripBitmap(LoadStrip("STOPBUTTON.BMP"));
    m_btnExit.SetStripBitmap(LoadStrip("EXITBUTTON.BMP"));
    CString strTip = "Click To Start/Resume Download Now";
    m_btnStart.SetToolTipText(&strTip, TRUE);
    strTip = "Click To Open Downloaded File";
    m_btnOpen.SetToolTipText(&strTip, TRUE);
    strTip = "Click To Stop Download";
    m_btnStop.SetToolTipText(&strTip, TRUE);
    strTip = "Click To Exit Download.";
    m_btnExit.SetToolTipText(&strTip, TRUE);

    m_edFilePath.SetWindowText("C:\\users\\Public\\Desktop\\brindlemox.exe");
    m_stServerStatus.SetText("Receiving data from the server");
    m_stTransferRate.SetText("78.1 KB/Sec");
    m_stDownloadStatus.SetText("1.40 MB of 5.72 MB");
    m_stTimeLeft.SetText("57 Sec");
    m_stTimeElapsed.SetText("00:00:18");
    m_progress.SetPos(24);

    CRect rcWindow;
    GetWindowRect(&rcWindow);
    SetRoundedRegion(rcWindow.Width(), rcWindow.Height());
    return TRUE;
}

void CGalleryDlg::SetRoundedRegion(int cx, int cy)
{
    // Reaches 12 pixels below the window: only the top corners are rounded. The system owns the
    // region once it is set (and deletes the one it replaces).
    CRgn rgn;
    rgn.CreateRoundRectRgn(0, 0, cx, cy + 12, 24, 24);
    SetWindowRgn((HRGN)rgn.Detach(), TRUE);
}

LRESULT CGalleryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_SYSCOMMAND:
    case WM_INITMENU:
    case WM_CAPTURECHANGED:
        m_captionPainter.RedrawCaption();
        break;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CGalleryDlg::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    CCaptionPainter::FillSolidBlock(&dc, rc.left, rc.top, rc.Width(), rc.Height(), FRAME_COLOUR);
    rc.top += 3;
    rc.right -= 1;
    CCaptionPainter::FillSolidBlock(&dc, rc.left, rc.top, rc.Width(), rc.Height(), BACK_COLOUR);
}

void CGalleryDlg::OnNcPaint()
{
    CWindowDC dc(this);
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    CRect rcClient;
    GetClientRect(&rcClient);
    CPoint ptOrigin(0, 0);
    ClientToScreen(&ptOrigin);
    rcClient.OffsetRect(ptOrigin.x - rcWindow.left, ptOrigin.y - rcWindow.top);
    if (rcClient.top < rcClient.bottom)
        dc.ExcludeClipRect(&rcClient);
    CCaptionPainter::FillSolidBlock(&dc, 0, 0, rcWindow.Width(), rcWindow.Height(), FRAME_COLOUR);
}

HBRUSH CGalleryDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hBrush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC)
    {
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetBkColor(BACK_COLOUR);
        pDC->SetTextColor(TEXT_COLOUR);
    }
    return hBrush;
}

LRESULT CGalleryDlg::OnDrawCaption(WPARAM wParam, LPARAM lParam)
{
    if (lParam != 0)
        ++m_nCaptionPaints;
    m_captionPainter.DrawGradientCaption(wParam, reinterpret_cast<CAPTIONPAINT*>(lParam));
    return 0;
}
