// CCaptionPainter: replaces a window's title bar by the program's painted caption and performs the
// painted minimize and maximize/restore buttons.
#include "controls/CCaptionPainter.h"
#include "controls/CSectionLock.h"
#include "controls/CStyleBitGuard.h"
#include "res/resource.h"

IMPLEMENT_DYNAMIC(CCaptionPainter, CSubclassWnd)

CBitmap g_bmBanner;
CBitmap g_bmClose;
CBitmap g_bmMaximize;
CBitmap g_bmMinimize;
CBitmap g_bmRestore;
RECT g_rcMaxBtn = {0, 0, 0, 0};
RECT g_rcMinBtn = {0, 0, 0, 0};
int g_bShowMaximize = 1;

namespace
{
const COLORREF CAPTION_RIGHT = RGB(232, 225, 243);  // the block right of xSplit
const COLORREF CAPTION_LEFT = RGB(212, 227, 252);   // the block left of the last strip
const COLORREF CAPTION_TEXT = RGB(0, 0, 129);
const int TITLE_LEFT = 175;  // the title starts right of the banner's tab
// NONCLIENTMETRICSA with ANSI font records and without the Vista-only iPaddedBorderWidth: the size
// every Windows version accepts.
const UINT NONCLIENTMETRICS_SIZE = 340;
static_assert(sizeof(NONCLIENTMETRICSA) >= NONCLIENTMETRICS_SIZE, "NONCLIENTMETRICSA too small");

void LoadSharedBitmap(CBitmap& bitmap, UINT nID)
{
    // Painters of windows on several threads may be set up at once: each bitmap is loaded once.
    static CRITICAL_SECTION* s_pcsLoad = [] {
        auto* pcs = new CRITICAL_SECTION;  // lives as long as the process
        ::InitializeCriticalSection(pcs);
        return pcs;
    }();
    CSectionLock lock(*s_pcsLoad);
    if (bitmap.m_hObject == NULL)
        bitmap.LoadBitmap(nID);
}

// Copies a whole bitmap to (x, y) of pDC through dcMem; a missing bitmap draws nothing.
void DrawBitmapAt(CDC* pDC, CDC& dcMem, CBitmap& bitmap, int x, int y)
{
    BITMAP bm;
    if (bitmap.m_hObject == NULL || bitmap.GetBitmap(&bm) == 0)
        return;
    CBitmap* pOld = dcMem.SelectObject(&bitmap);
    pDC->BitBlt(x, y, bm.bmWidth, bm.bmHeight, &dcMem, 0, 0, SRCCOPY);
    if (pOld != nullptr)
        dcMem.SelectObject(pOld);
}
}  // namespace

CCaptionPainter::CCaptionPainter() : m_bActive(FALSE), m_nPaintMsg(0) { ::InitializeCriticalSection(&m_csTitle); }

CCaptionPainter::~CCaptionPainter()
{
    // Normally the window's destruction has removed the hook; this painter's WindowProc is gone
    // once this destructor ends, so it must not stay in a chain.
    if (m_pWnd != nullptr)
        AttachToWindow(nullptr);
    m_bmCaption[0].DeleteObject();
    m_bmCaption[1].DeleteObject();
    m_fontCaption.DeleteObject();
    ::DeleteCriticalSection(&m_csTitle);
}

BOOL CCaptionPainter::AttachCaption(CWnd* pWnd, UINT nPaintMsg)
{
    m_nPaintMsg = nPaintMsg;
    LoadSharedBitmap(g_bmBanner, IDB_BANNER);
    LoadSharedBitmap(g_bmClose, IDB_CLOSE);
    LoadSharedBitmap(g_bmMaximize, IDB_MAXIMIZE);
    LoadSharedBitmap(g_bmMinimize, IDB_MINIMIZE);
    LoadSharedBitmap(g_bmRestore, IDB_RESTORE);
    return AttachToWindow(pWnd);
}

// ---- title -------------------------------------------------------------------------------------------

void CCaptionPainter::SetTitle(CString strTitle)
{
    // Called from the worker thread too, while the window's thread may be drawing the title. The
    // lock covers the string only and is never held while a message is sent.
    CSectionLock lock(m_csTitle);
    m_strTitle = strTitle;
}

CString CCaptionPainter::GetTitle()
{
    CSectionLock lock(m_csTitle);
    return m_strTitle;
}

void CCaptionPainter::ApplyTitle(HWND hWnd)
{
    // Only a different text reaches the window (as WM_SETTEXT, which redraws the caption).
    const CString strTitle = GetTitle();
    AfxSetWindowText(hWnd, strTitle);
}

// ---- message dispatch -----------------------------------------------------------------------------

LRESULT CCaptionPainter::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_SETTEXT:
        OnSetText((LPCTSTR)lParam);
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // New colours or metrics: rebuild both images, and let the owner drop the caption font.
        m_sizeCaption = CSize(0, 0);
        if (m_nPaintMsg != 0)
            m_pWnd->SendMessage(m_nPaintMsg, 0, 0);
        else
            DrawGradientCaption(0, nullptr);
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    case WM_SETCURSOR:
        return OnSetCursor((HWND)wParam, LOWORD(lParam), HIWORD(lParam));
    case WM_NCPAINT:
        OnNcPaint((HRGN)wParam);
        return 0;
    case WM_NCACTIVATE:
        return OnNcActivate((BOOL)wParam);
    case WM_ACTIVATE:
    {
        // Wine without a window manager activates a window with WM_NCACTIVATE wParam 0 (it is not the
        // foreground window yet), while WM_ACTIVATE reports the activation correctly: the window that
        // has become the active window is drawn active. (GetActiveWindow alone cannot decide inside
        // WM_NCACTIVATE: during a deactivation it still names the window being deactivated.) On
        // Windows the caption is already active here and nothing happens.
        const LRESULT lResult = CSubclassWnd::WindowProc(message, wParam, lParam);
        HWND hWnd = m_pWnd != nullptr ? m_pWnd->m_hWnd : NULL;
        if (LOWORD(wParam) != WA_INACTIVE && !m_bActive && hWnd != NULL && ::GetActiveWindow() == hWnd)
            ::SendMessageA(hWnd, WM_NCACTIVATE, TRUE, 0);
        return lResult;
    }
    case WM_NCLBUTTONDOWN:
        OnNcLButtonDown((UINT)wParam, CPoint(lParam));
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    case WM_NCLBUTTONDBLCLK:
        OnNcLButtonDblClk((UINT)wParam, CPoint(lParam));
        return 0;  // consumed wherever it falls
    case WM_SYSCOMMAND:
        RedrawCaption();
        Default();
        return 0;
    case WM_INITMENUPOPUP:
    {
        CStyleBitGuard guard(m_pWnd->m_hWnd, WS_VISIBLE);  // the system draws nothing meanwhile
        Default();
        RedrawCaption();
        return 0;
    }
    default:
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }
}

// ---- geometry and the cached images --------------------------------------------------------------

void CCaptionPainter::ComputeCaptionRect(CRect& rc, CWnd* pWnd)
{
    const BOOL bThickFrame = (pWnd->GetStyle() & WS_THICKFRAME) != 0;
    const int cxFrame = ::GetSystemMetrics(bThickFrame ? SM_CXFRAME : SM_CXDLGFRAME);
    const int cyFrame = ::GetSystemMetrics(bThickFrame ? SM_CYFRAME : SM_CYDLGFRAME);
    CRect rcWindow;
    pWnd->GetWindowRect(&rcWindow);
    rc.SetRect(0, 0, rcWindow.Width(), rcWindow.Height());
    rc.top += cyFrame;
    rc.right += 2 - cxFrame;
    rc.left += cxFrame - 3;
    if (!pWnd->IsZoomed())
    {
        rc.top -= 3;
        rc.bottom = rc.top - ::GetSystemMetrics(SM_CYBORDER) + ::GetSystemMetrics(SM_CYCAPTION) + 4;
    }
    else
    {
        rc.bottom = rc.top - ::GetSystemMetrics(SM_CYBORDER) + ::GetSystemMetrics(SM_CYCAPTION);
    }
}

void CCaptionPainter::RedrawCaption()
{
    if (m_pWnd == nullptr || m_pWnd->m_hWnd == NULL)
        return;
    CWindowDC dcWindow(m_pWnd);
    CDC dcMem;
    if (dcWindow.m_hDC == NULL || !dcMem.CreateCompatibleDC(&dcWindow))
        return;

    CRect rc;
    ComputeCaptionRect(rc, m_pWnd);
    const CSize size(rc.Width(), rc.Height());
    if (size != m_sizeCaption)
    {
        m_bmCaption[0].DeleteObject();
        m_bmCaption[1].DeleteObject();
        m_sizeCaption = size;
    }
    if (size.cx <= 0 || size.cy <= 0)
        return;  // nothing to show (a window too small for a caption)

    CBitmap& bmCaption = m_bmCaption[m_bActive ? 1 : 0];
    BOOL bPaint = FALSE;
    if (bmCaption.m_hObject == NULL)
    {
        if (!bmCaption.CreateCompatibleBitmap(&dcWindow, size.cx, size.cy))
            return;
        bPaint = TRUE;
    }
    CBitmap* pOldBitmap = dcMem.SelectObject(&bmCaption);
    if (bPaint)
    {
        CAPTIONPAINT cp;
        cp.size = size;
        cp.pDC = &dcMem;
        cp.bActive = m_bActive;
        if (m_nPaintMsg != 0)
            m_pWnd->SendMessage(m_nPaintMsg, (WPARAM)m_bActive, (LPARAM)&cp);
        else
            DrawGradientCaption((WPARAM)m_bActive, &cp);  // no owner message: draw it ourselves
    }
    dcWindow.BitBlt(rc.left, rc.top, size.cx, size.cy, &dcMem, 0, 0, SRCCOPY);
    if (pOldBitmap != nullptr)
        dcMem.SelectObject(pOldBitmap);
}

// ---- non-client messages -----------------------------------------------------------------------------

void CCaptionPainter::OnNcPaint(HRGN hRgn)
{
    CRect rcWindow;
    m_pWnd->GetWindowRect(&rcWindow);
    CRect rcCaption;
    ComputeCaptionRect(rcCaption, m_pWnd);
    rcCaption.OffsetRect(rcWindow.TopLeft());  // screen coordinates, like the update region

    const BOOL bRealRegion = (UINT_PTR)hRgn > 1;
    if (bRealRegion && !::RectInRegion(hRgn, &rcCaption))
    {
        // The caption is not part of the update, so the window's painting gets the region as it is.
        // An owner that paints its whole frame whatever the region (the download dialog does) still
        // covers the caption, so the cached image is copied back: one BitBlt, nothing is rebuilt that
        // is still valid. (Wine sends such a WM_NCPAINT with just the client area, e.g. when a
        // dialog is first shown.)
        Default();
        RedrawCaption();
        return;
    }

    // The window's own non-client painting runs with an update region that leaves out the caption.
    CRgn rgnWhole;
    if (!bRealRegion)
        rgnWhole.CreateRectRgnIndirect(&rcWindow);
    CRgn rgnCaption;
    rgnCaption.CreateRectRgnIndirect(&rcCaption);
    CRgn rgnNew;
    rgnNew.CreateRectRgn(0, 0, 0, 0);
    ::CombineRgn(rgnNew, bRealRegion ? hRgn : (HRGN)rgnWhole, rgnCaption, RGN_DIFF);

    MSG& msgCur = AfxGetThreadState()->m_lastSentMsg;
    const WPARAM wParamOld = msgCur.wParam;
    msgCur.wParam = (WPARAM)(HRGN)rgnNew;
    Default();
    msgCur.wParam = wParamOld;

    RedrawCaption();
}

BOOL CCaptionPainter::OnNcActivate(BOOL bActive)
{
    HWND hWnd = m_pWnd->m_hWnd;
    BOOL bNowActive = (m_pWnd->m_nFlags & WF_STAYACTIVE) ? TRUE : (bActive ? TRUE : FALSE);
    if (!::IsWindowEnabled(hWnd))
        bNowActive = FALSE;
    if (bNowActive == m_bActive)
        return TRUE;  // nothing changes: no default processing, no drawing

    {
        CStyleBitGuard guard(hWnd, WS_VISIBLE);  // the system's caption is not drawn
        AfxGetThreadState()->m_lastSentMsg.wParam = (WPARAM)bNowActive;
        Default();
    }
    m_bActive = bNowActive;
    m_pWnd->SendMessage(WM_NCPAINT, 0, 0);
    return TRUE;
}

void CCaptionPainter::OnSetText(LPCTSTR lpszText)
{
    {
        CStyleBitGuard guard(m_pWnd->m_hWnd, WS_VISIBLE);  // the system stores the text, draws nothing
        Default();
    }
    m_pWnd->SendMessage(WM_NCPAINT, 0, 0);
    m_sizeCaption = CSize(0, 0);  // both images are rebuilt with the new title
    RedrawCaption();
}

BOOL CCaptionPainter::OnSetCursor(HWND hWnd, UINT nHitTest, UINT message)
{
    CStyleBitGuard guard(hWnd, WS_VISIBLE);
    const BOOL bResult = (BOOL)Default();
    switch ((short)nHitTest)
    {
    case HTNOWHERE:
    case HTCLIENT:
    case HTSYSMENU:
    case HTHSCROLL:
    case HTVSCROLL:
    case HTTRANSPARENT:
        break;
    default:
        RedrawCaption();  // over the frame: the system may have drawn on the caption
        break;
    }
    return bResult;
}

void CCaptionPainter::OnNcLButtonDown(UINT nHitTest, CPoint point)
{
    // The buttons' rectangles of the last drawing are in the caption image's coordinates. Only a
    // press strictly inside one counts: the frame above and below a button, and the caption beside
    // it, are no button.
    CRect rcWindow, rcCaption;
    m_pWnd->GetWindowRect(&rcWindow);
    ComputeCaptionRect(rcCaption, m_pWnd);
    const CPoint pt(point.x - rcWindow.left - rcCaption.left, point.y - rcWindow.top - rcCaption.top);
    auto inside = [&pt](const RECT& rc) { return rc.left < pt.x && pt.x < rc.right && rc.top < pt.y && pt.y < rc.bottom; };
    if (inside(g_rcMinBtn))
    {
        ::ReleaseCapture();
        ::mouse_event(MOUSEEVENTF_LEFTUP, (DWORD)pt.x, (DWORD)pt.y, 0, 0);  // end the system's tracking
        m_pWnd->ShowWindow(SW_SHOWMINIMIZED);
    }
    else if (inside(g_rcMaxBtn))
    {
        ::ReleaseCapture();
        ::mouse_event(MOUSEEVENTF_LEFTUP, (DWORD)pt.x, (DWORD)pt.y, 0, 0);
        ToggleMaximized();
    }
}

void CCaptionPainter::OnNcLButtonDblClk(UINT nHitTest, CPoint point)
{
    if (m_pWnd->GetStyle() & WS_MAXIMIZEBOX)
        ToggleMaximized();
}

void CCaptionPainter::ToggleMaximized()
{
    // The painted button shows the image of what a click does next.
    const BOOL bZoomed = m_pWnd->IsZoomed();
    g_bShowMaximize = bZoomed ? 1 : 0;
    m_pWnd->ShowWindow(bZoomed ? SW_RESTORE : SW_SHOWMAXIMIZED);
}

// ---- drawing the caption image ---------------------------------------------------------------------

void CCaptionPainter::FillSolidBlock(CDC* pDC, int x, int y, int cx, int cy, COLORREF colour)
{
    CBrush brush;
    if (!brush.CreateSolidBrush(colour))
        return;
    CBrush* pOldBrush = pDC->SelectObject(&brush);
    pDC->PatBlt(x, y, cx, cy, PATCOPY);
    if (pOldBrush != nullptr)
        pDC->SelectObject(pOldBrush);
}

void CCaptionPainter::DrawGradientCaption(WPARAM wParam, CAPTIONPAINT* pcp)
{
    if (pcp == nullptr)
    {
        m_fontCaption.DeleteObject();  // system settings changed: the next drawing makes it anew
        return;
    }
    CDC* pDC = pcp->pDC;
    const int cx = pcp->size.cx;
    const int cy = pcp->size.cy;

    // Solid at the right sixth, then strips of `step` pixels leftwards towards the left colour.
    const int xSplit = (5 * cx) / 6;
    int step = xSplit / 64;
    if (step < 1)
        step = 1;
    FillSolidBlock(pDC, xSplit, 0, cx - xSplit, cy, CAPTION_RIGHT);
    int x = xSplit;
    if (xSplit > step)
    {
        int k = 0;
        do
        {
            ++k;
            x -= step;
            const COLORREF colour =
                RGB(232 - (20 * step * k) / xSplit, 225 + (2 * step * k) / xSplit, 243 + (9 * step * k) / xSplit);
            FillSolidBlock(pDC, x, 0, step, cy, colour);
        } while (x > step);
    }
    FillSolidBlock(pDC, 0, 0, x, cy, CAPTION_LEFT);

    DrawCaptionIcon(pcp);
    const int cxButtons = DrawCaptionButtons(pcp);  // also draws the banner over the left part

    if (m_fontCaption.m_hObject == NULL)
        CreateCaptionFont();
    const CString strTitle = GetTitle();
    CRect rcText(TITLE_LEFT, 0, cx - cxButtons, cy);
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(CAPTION_TEXT);
    CFont* pOldFont = m_fontCaption.m_hObject != NULL ? pDC->SelectObject(&m_fontCaption) : nullptr;
    pDC->DrawText(strTitle, &rcText, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    if (pOldFont != nullptr)
        pDC->SelectObject(pOldFont);
}

void CCaptionPainter::DrawCaptionIcon(CAPTIONPAINT* pcp)
{
    CRect rc(0, 0, ::GetSystemMetrics(SM_CXSIZE), ::GetSystemMetrics(SM_CYSIZE));
    rc.top += 1;
    rc.bottom -= 1;
    rc.left += 2;
    // LoadIcon hands out a shared icon: nothing to destroy.
    HICON hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    if (hIcon != NULL)
        ::DrawIconEx(pcp->pDC->m_hDC, rc.left, rc.top, hIcon, rc.Width(), rc.Height(), 0, NULL, DI_NORMAL);
}

int CCaptionPainter::DrawCaptionButtons(CAPTIONPAINT* pcp)
{
    if (m_pWnd == nullptr || m_pWnd->m_hWnd == NULL)
        return 0;
    const DWORD dwStyle = m_pWnd->GetStyle();
    if (!(dwStyle & (WS_BORDER | WS_DLGFRAME)))
        return 0;  // no caption: no banner and no buttons

    CDC* pDC = pcp->pDC;
    const int cx = pcp->size.cx;
    const int cxSize = ::GetSystemMetrics(SM_CXSIZE);
    const int cySize = ::GetSystemMetrics(SM_CYSIZE);
    const int y = m_pWnd->IsZoomed() ? 0 : 3;
    CDC dcMem;
    if (!dcMem.CreateCompatibleDC(pDC))
        return 0;

    DrawBitmapAt(pDC, dcMem, g_bmBanner, 0, 0);

    CRect r(cx - cxSize, 0, cx, cySize);  // the close button
    r.top += 2;
    r.bottom -= 2;
    r.right -= 2;
    DrawBitmapAt(pDC, dcMem, g_bmClose, r.left - 4, y);

    if ((dwStyle & WS_MAXIMIZEBOX) || (m_pWnd->GetExStyle() & WS_EX_CONTEXTHELP))
    {
        r.OffsetRect(-cxSize, 0);
        g_rcMaxBtn = r;
        DrawBitmapAt(pDC, dcMem, g_bShowMaximize == 1 ? g_bmMaximize : g_bmRestore, r.left - 4, y);
    }
    if (dwStyle & WS_MINIMIZEBOX)
    {
        r.OffsetRect(-cxSize, 0);
        g_rcMinBtn = r;
        DrawBitmapAt(pDC, dcMem, g_bmMinimize, r.left - 4, y);
    }
    return cx - r.left - 2;
}

void CCaptionPainter::CreateCaptionFont()
{
    NONCLIENTMETRICSA ncm;
    ZeroMemory(&ncm, sizeof(ncm));
    ncm.cbSize = NONCLIENTMETRICS_SIZE;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NONCLIENTMETRICS_SIZE, &ncm, 0))
        m_fontCaption.CreateFontIndirect(&ncm.lfCaptionFont);
}
