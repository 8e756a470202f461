// The caption painter: gradient arithmetic read back from a memory DC, button images and their
// recorded rectangles, the cached images, non-client clicks and double clicks, activation, titles.
#include <gtest/gtest.h>
#include <afxwin.h>
#include <atomic>
#include <string>
#include "GalleryWindows.h"
#include "GdiTools.h"
#include "controls/CCaptionPainter.h"
#include "controls/CHookChainMap.h"
#include "res/resource.h"

namespace
{
const COLORREF RIGHT_BLOCK = RGB(232, 225, 243);
const COLORREF LEFT_BLOCK = RGB(212, 227, 252);

// The colour of caption column x (row 0) as the gradient arithmetic defines it, written out
// independently of the painter: right block from xSplit, strips of `step` pixels leftwards while
// the strip's left edge lies right of `step`, the rest in the left colour.
COLORREF ExpectedGradient(int cx, int x)
{
    const int xSplit = (5 * cx) / 6;
    const int step = xSplit / 64 > 0 ? xSplit / 64 : 1;
    if (x >= xSplit)
        return RIGHT_BLOCK;
    if (xSplit <= step)
        return LEFT_BLOCK;  // no strips at all
    int nStrips = 0;
    for (int left = xSplit - step;; left -= step)
    {
        ++nStrips;
        if (left <= step)
            break;
    }
    const int xLastStrip = xSplit - nStrips * step;
    if (x < xLastStrip)
        return LEFT_BLOCK;
    const int k = (xSplit - x + step - 1) / step;  // strip number counted from xSplit
    return RGB(232 - (20 * step * k) / xSplit, 225 + (2 * step * k) / xSplit, 243 + (9 * step * k) / xSplit);
}

// Draws a caption of cx x cy pixels with an unattached painter (no window: no banner, no buttons;
// the icon starts at row 1, so row 0 is gradient only) and an empty title.
void DrawCaptionInto(CCaptionPainter& painter, CGdiCanvas& canvas)
{
    CAPTIONPAINT cp;
    cp.size = CSize(canvas.m_cx, canvas.m_cy);
    cp.pDC = canvas.DC();
    cp.bActive = TRUE;
    painter.DrawGradientCaption(1, &cp);
}

TEST(CaptionGradient, A480PixelCaptionHas66StripsOf6PixelsBetweenTheTwoBlocks)
{
    CCaptionPainter painter;
    CGdiCanvas canvas(480, 24, RGB(0, 0, 0));
    DrawCaptionInto(painter, canvas);

    for (int x = 400; x < 480; ++x)
        ASSERT_EQ(RIGHT_BLOCK, canvas.Pixel(x, 0)) << "x = " << x;
    for (int x = 394; x < 400; ++x)
        EXPECT_EQ(RGB(232, 225, 243), canvas.Pixel(x, 0)) << "the first strip, x = " << x;
    for (int x = 4; x < 10; ++x)
        EXPECT_EQ(RGB(213, 226, 251), canvas.Pixel(x, 0)) << "the 66th strip, x = " << x;
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(RGB(212, 227, 252), canvas.Pixel(x, 0)) << "the final 4-pixel block, x = " << x;
    for (int x = 0; x < 480; ++x)
        ASSERT_EQ(ExpectedGradient(480, x), canvas.Pixel(x, 0))
            << "x = " << x << ": " << ColourText(canvas.Pixel(x, 0)) << " instead of "
            << ColourText(ExpectedGradient(480, x));
    // Strip edges: the colour is constant inside each 6-pixel strip from x = 4 to 399.
    for (int left = 4; left < 400; left += 6)
        for (int x = left; x < left + 6; ++x)
            ASSERT_EQ(canvas.Pixel(left, 0), canvas.Pixel(x, 0)) << "strip at " << left;
    // The gradient fills the whole height: the last row right of the icon equals row 0.
    EXPECT_EQ(canvas.Pixel(300, 0), canvas.Pixel(300, 23));
}

TEST(CaptionGradient, A154PixelCaptionUsesTwoPixelStrips)
{
    CCaptionPainter painter;
    CGdiCanvas canvas(154, 24, RGB(0, 0, 0));
    DrawCaptionInto(painter, canvas);

    for (int x = 128; x < 154; ++x)
        ASSERT_EQ(RIGHT_BLOCK, canvas.Pixel(x, 0)) << "xSplit is 128, x = " << x;
    EXPECT_EQ(RGB(213, 226, 251), canvas.Pixel(2, 0)) << "the 63rd strip covers x = 2 and 3";
    EXPECT_EQ(RGB(213, 226, 251), canvas.Pixel(3, 0));
    EXPECT_EQ(LEFT_BLOCK, canvas.Pixel(0, 0));
    EXPECT_EQ(LEFT_BLOCK, canvas.Pixel(1, 0));
    for (int x = 0; x < 154; ++x)
        ASSERT_EQ(ExpectedGradient(154, x), canvas.Pixel(x, 0)) << "x = " << x;
    for (int left = 2; left < 128; left += 2)
        ASSERT_EQ(canvas.Pixel(left, 0), canvas.Pixel(left + 1, 0)) << "2-pixel strip at " << left;
}

TEST(CaptionGradient, ACaptionNarrowerThan154PixelsUsesOnePixelStrips)
{
    CCaptionPainter painter;
    CGdiCanvas canvas(153, 24, RGB(0, 0, 0));
    DrawCaptionInto(painter, canvas);
    // xSplit 127, step 1: strips down to x = 1, the final block is x = 0 only.
    for (int x = 0; x < 153; ++x)
        ASSERT_EQ(ExpectedGradient(153, x), canvas.Pixel(x, 0)) << "x = " << x;
    EXPECT_EQ(LEFT_BLOCK, canvas.Pixel(0, 0));
    EXPECT_EQ(RGB(232 - 20 * 126 / 127, 225 + 2 * 126 / 127, 243 + 9 * 126 / 127), canvas.Pixel(1, 0));
}

TEST(CaptionGradient, AOnePixelCaptionGetsOnlyTheRightBlock)
{
    CCaptionPainter painter;
    CGdiCanvas canvas(1, 24, RGB(0, 0, 0));
    DrawCaptionInto(painter, canvas);
    EXPECT_EQ(RIGHT_BLOCK, canvas.Pixel(0, 0)) << "xSplit is 0: no strips, an empty left block";
}

TEST(CaptionGradient, NoCaptionPaintRecordOnlyDropsTheFont)
{
    CCaptionPainter painter;
    CGdiCanvas canvas(200, 24);
    DrawCaptionInto(painter, canvas);
    EXPECT_NE(nullptr, painter.m_fontCaption.m_hObject) << "the first drawing creates the caption font";
    painter.DrawGradientCaption(0, nullptr);
    EXPECT_EQ(nullptr, painter.m_fontCaption.m_hObject);
}

TEST(CaptionStructure, NonClientMetricsAreAskedForWithTheAnsiSizeOf340Bytes)
{
    // The build targets Windows XP headers: the structure has no Vista padding member.
    EXPECT_EQ(340u, sizeof(NONCLIENTMETRICSA));
    EXPECT_STREQ("CCaptionPainter", RUNTIME_CLASS(CCaptionPainter)->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CSubclassWnd), RUNTIME_CLASS(CCaptionPainter)->m_pBaseClass);
}

// ---- painters on real windows --------------------------------------------------------------------

// The download dialog's frame: popup, caption, system menu, sizing frame, minimize box, no maximize.
const DWORD DIALOG_LIKE_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

class CaptionWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_bShowMaximize = 1;
        ::SetRectEmpty(&g_rcMaxBtn);
        ::SetRectEmpty(&g_rcMinBtn);
    }
    void TearDown() override
    {
        m_frame.DestroyWindow();
        PumpMessages(0);
        g_bShowMaximize = 1;
    }
    // Creates the frame and hooks the painter to it (title first, as the owner does).
    void Create(DWORD dwStyle, int cx = 500, int cy = 200, const char* pszTitle = "Download from brindlemox.exe",
                DWORD dwExStyle = 0)
    {
        RECT rc = {40, 40, 40 + cx, 40 + cy};
        ASSERT_TRUE(m_frame.CreateFrame("window text", dwStyle, rc, dwExStyle));
        m_painter.SetTitle(pszTitle);
        m_frame.m_pPainter = &m_painter;
        ASSERT_TRUE(m_painter.AttachCaption(&m_frame, WM_GALLERY_DRAWCAPTION));
        PumpMessages(0);
        m_frame.ClearLog();
    }
    CRect CaptionRect()
    {
        CRect rc;
        CCaptionPainter::ComputeCaptionRect(rc, &m_frame);
        return rc;
    }
    // Screen point whose client x is xClient (y well below the caption: only x counts).
    LPARAM ScreenPointAtClientX(int xClient, int yClient = 60)
    {
        POINT pt = {xClient, yClient};
        ::ClientToScreen(m_frame.m_hWnd, &pt);
        return MAKELPARAM((short)pt.x, (short)pt.y);
    }

    CGalleryFrame m_frame;
    CCaptionPainter m_painter;
};

TEST_F(CaptionWindow, AttachingLoadsTheSharedBitmapsAtTheirSizes)
{
    Create(DIALOG_LIKE_STYLE);
    const struct
    {
        CBitmap* pBitmap;
        int cx, cy;
        const char* pszName;
    } bitmaps[] = {{&g_bmBanner, 558, 34, "banner 530"},
                   {&g_bmClose, 19, 17, "close 460"},
                   {&g_bmMaximize, 19, 17, "maximize 462"},
                   {&g_bmMinimize, 19, 17, "minimize 463"},
                   {&g_bmRestore, 19, 17, "restore 465"}};
    for (const auto& b : bitmaps)
    {
        BITMAP bm = {};
        ASSERT_NE(nullptr, b.pBitmap->m_hObject) << b.pszName;
        ASSERT_NE(0, b.pBitmap->GetBitmap(&bm)) << b.pszName;
        EXPECT_EQ(b.cx, bm.bmWidth) << b.pszName;
        EXPECT_EQ(b.cy, bm.bmHeight) << b.pszName;
    }
    EXPECT_EQ(WM_GALLERY_DRAWCAPTION, m_painter.m_nPaintMsg);
    EXPECT_EQ(&m_painter, TheHookMap().FindHook(m_frame.m_hWnd));
}

TEST_F(CaptionWindow, ComputeCaptionRectFollowsTheFrameMetrics)
{
    Create(DIALOG_LIKE_STYLE, 500, 200);
    const int cxFrame = ::GetSystemMetrics(SM_CXFRAME), cyFrame = ::GetSystemMetrics(SM_CYFRAME);
    const CRect rc = CaptionRect();
    EXPECT_EQ(cxFrame - 3, rc.left);
    EXPECT_EQ(cyFrame - 3, rc.top);
    EXPECT_EQ(500 + 2 - cxFrame, rc.right);
    EXPECT_EQ(rc.top - ::GetSystemMetrics(SM_CYBORDER) + ::GetSystemMetrics(SM_CYCAPTION) + 4, rc.bottom);

    CGalleryFrame dialogFrame;  // no sizing frame: the dialog frame metrics
    RECT rcWindow = {0, 0, 300, 100};
    ASSERT_TRUE(dialogFrame.CreateFrame("x", WS_POPUP | WS_CAPTION, rcWindow));
    CRect rcDlg;
    CCaptionPainter::ComputeCaptionRect(rcDlg, &dialogFrame);
    EXPECT_EQ(::GetSystemMetrics(SM_CXDLGFRAME) - 3, rcDlg.left);
    EXPECT_EQ(::GetSystemMetrics(SM_CYDLGFRAME) - 3, rcDlg.top);
}

TEST_F(CaptionWindow, WithoutMaximizeBoxOnlyCloseAndMinimizeAreDrawnNextToEachOther)
{
    Create(DIALOG_LIKE_STYLE);
    const int cx = 600, cy = 26;
    CGdiCanvas canvas(cx, cy, RGB(0, 0, 0));
    CAPTIONPAINT cp = {CSize(cx, cy), canvas.DC(), TRUE};
    m_painter.DrawGradientCaption(1, &cp);

    const int cxSize = ::GetSystemMetrics(SM_CXSIZE), cySize = ::GetSystemMetrics(SM_CYSIZE);
    const CRect rcClose(cx - cxSize, 2, cx - 2, cySize - 2);
    const CRect rcMin(rcClose.left - cxSize, 2, rcClose.right - cxSize, cySize - 2);
    EXPECT_EQ(rcMin, CRect(g_rcMinBtn)) << "the minimize rectangle is recorded directly left of close";
    EXPECT_TRUE(CRect(g_rcMaxBtn).IsRectNull()) << "no maximize rectangle without WS_MAXIMIZEBOX";

    std::string strWhy;
    const int cyImage = cy - 3 < 17 ? cy - 3 : 17;
    // 19-pixel images at an 18-pixel spacing: the minimize image covers the close image's first column.
    EXPECT_TRUE(CanvasShowsBitmap(canvas, rcClose.left - 4 + 1, 3, g_bmClose, 1, 0, 18, cyImage, &strWhy)) << strWhy;
    EXPECT_TRUE(CanvasShowsBitmap(canvas, rcMin.left - 4, 3, g_bmMinimize, 0, 0, 19, cyImage, &strWhy)) << strWhy;
    // The banner covers the left part (icon included) up to where the title starts.
    EXPECT_TRUE(CanvasShowsBitmap(canvas, 0, 0, g_bmBanner, 0, 0, 170, cy, &strWhy)) << strWhy;
    // Right of the banner the gradient shows, up to the minimize image.
    for (int x = 558; x < rcMin.left - 4; ++x)
        ASSERT_EQ(ExpectedGradient(cx, x), canvas.Pixel(x, 0)) << "x = " << x;
}

TEST_F(CaptionWindow, WithMaximizeBoxTheMaximizeImageSitsBetweenCloseAndMinimize)
{
    Create(DIALOG_LIKE_STYLE | WS_MAXIMIZEBOX);
    const int cx = 600, cy = 26;
    CGdiCanvas canvas(cx, cy, RGB(0, 0, 0));
    CAPTIONPAINT cp = {CSize(cx, cy), canvas.DC(), TRUE};
    m_painter.DrawGradientCaption(1, &cp);

    const int cxSize = ::GetSystemMetrics(SM_CXSIZE);
    const CRect rcMax(CRect(g_rcMinBtn).left + cxSize, g_rcMinBtn.top, g_rcMinBtn.right + cxSize, g_rcMinBtn.bottom);
    EXPECT_EQ(rcMax, CRect(g_rcMaxBtn));
    EXPECT_EQ(cx - 2, g_rcMaxBtn.right + cxSize) << "the close button ends 2 pixels from the edge";
    std::string strWhy;
    // The images are 19 pixels wide at an 18-pixel spacing: each covers the first column of the one
    // drawn before it, right of it.
    EXPECT_TRUE(CanvasShowsBitmap(canvas, g_rcMaxBtn.left - 4 + 1, 3, g_bmMaximize, 1, 0, 18, 17, &strWhy)) << strWhy;
    EXPECT_TRUE(CanvasShowsBitmap(canvas, g_rcMinBtn.left - 4, 3, g_bmMinimize, 0, 0, 19, 17, &strWhy)) << strWhy;
    EXPECT_TRUE(CanvasShowsBitmap(canvas, cx - cxSize - 4 + 1, 3, g_bmClose, 1, 0, 18, 17, &strWhy)) << strWhy;
}

TEST_F(CaptionWindow, AWindowWithoutBorderGetsNeitherBannerNorButtons)
{
    Create(WS_POPUP);
    const int cx = 300, cy = 24;
    CGdiCanvas canvas(cx, cy, RGB(0, 0, 0));
    CAPTIONPAINT cp = {CSize(cx, cy), canvas.DC(), TRUE};
    m_painter.DrawGradientCaption(1, &cp);
    for (int x = 0; x < cx; ++x)
        ASSERT_EQ(ExpectedGradient(cx, x), canvas.Pixel(x, 0)) << "x = " << x;
    EXPECT_TRUE(CRect(g_rcMinBtn).IsRectNull());
}

TEST_F(CaptionWindow, RedrawCaptionBuildsEachCachedImageOnceAndCopiesItOntoTheWindow)
{
    Create(DIALOG_LIKE_STYLE);
    m_painter.m_bActive = FALSE;
    m_painter.m_sizeCaption = CSize(0, 0);
    m_painter.RedrawCaption();
    EXPECT_EQ(1, m_frame.m_nCaptionPaints);
    ASSERT_NE(nullptr, m_painter.m_bmCaption[0].m_hObject);
    const CRect rc = CaptionRect();
    EXPECT_EQ(rc.Size(), m_painter.m_sizeCaption);
    const CGalleryMsg* pPaint = m_frame.Last(WM_GALLERY_DRAWCAPTION);
    ASSERT_NE(nullptr, pPaint);
    EXPECT_EQ(0u, pPaint->wParam) << "wParam carries the active flag";

    m_painter.RedrawCaption();
    EXPECT_EQ(1, m_frame.m_nCaptionPaints) << "the cached image is reused";

    std::string strWhy;
    EXPECT_TRUE(WindowShowsBitmap(m_frame.m_hWnd, rc.left, rc.top, m_painter.m_bmCaption[0], 0, 0, rc.Width(),
                                  rc.Height(), &strWhy))
        << strWhy;

    m_painter.m_bActive = TRUE;
    m_painter.RedrawCaption();
    EXPECT_EQ(2, m_frame.m_nCaptionPaints) << "the active image is built at its first use";
    EXPECT_EQ(1u, m_frame.Last(WM_GALLERY_DRAWCAPTION)->wParam);
    EXPECT_NE(nullptr, m_painter.m_bmCaption[0].m_hObject) << "the inactive image stays cached";

    const int nBefore = m_frame.m_nCaptionPaints;
    ::SetWindowPos(m_frame.m_hWnd, NULL, 0, 0, 560, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages(0);
    m_painter.RedrawCaption();
    EXPECT_EQ(CaptionRect().Size(), m_painter.m_sizeCaption);
    EXPECT_GT(m_frame.m_nCaptionPaints, nBefore) << "a new size rebuilds the image";
}

TEST_F(CaptionWindow, NonClientPaintingLeavesTheCaptionOutOfTheWindowsOwnPainting)
{
    Create(DIALOG_LIKE_STYLE);
    CRect rcWindow;
    ::GetWindowRect(m_frame.m_hWnd, &rcWindow);
    CRect rcCaption = CaptionRect();
    rcCaption.OffsetRect(rcWindow.TopLeft());

    bool bSawRegion = false, bCaptionExcluded = false, bBottomIncluded = false;
    m_frame.m_onMessage = [&](UINT message, WPARAM wParam, LPARAM)
    {
        if (message != WM_NCPAINT || wParam <= 1)
            return;
        bSawRegion = true;
        HRGN hRgn = (HRGN)wParam;
        bCaptionExcluded = !::PtInRegion(hRgn, rcCaption.left + 5, rcCaption.top + 5) &&
                           !::PtInRegion(hRgn, rcCaption.right - 5, rcCaption.bottom - 1);
        bBottomIncluded = ::PtInRegion(hRgn, rcWindow.left + 10, rcWindow.bottom - 1) != FALSE;
    };
    ::SendMessageA(m_frame.m_hWnd, WM_NCPAINT, 1, 0);
    EXPECT_TRUE(bSawRegion) << "the window's own procedure got a real region instead of 1";
    EXPECT_TRUE(bCaptionExcluded);
    EXPECT_TRUE(bBottomIncluded);
    std::string strWhy;
    const CRect rc = CaptionRect();
    EXPECT_TRUE(WindowShowsBitmap(m_frame.m_hWnd, rc.left, rc.top, m_painter.m_bmCaption[m_painter.m_bActive ? 1 : 0],
                                  0, 0, rc.Width(), rc.Height(), &strWhy))
        << strWhy;

    // A region that misses the caption goes to the window unchanged; the caption is only copied back
    // from the cache (the window's painting may have covered it), not rebuilt.
    HRGN hRgnBottom = ::CreateRectRgn(rcWindow.left, rcWindow.bottom - 4, rcWindow.right, rcWindow.bottom);
    WPARAM wSeen = 0;
    HWND hWnd = m_frame.m_hWnd;
    m_frame.m_onMessage = [&](UINT message, WPARAM wParam, LPARAM)
    {
        if (message != WM_NCPAINT)
            return;
        wSeen = wParam;
        // Paint the whole frame, as the download dialog does.
        HDC hDC = ::GetWindowDC(hWnd);
        RECT rcAll = {0, 0, rcWindow.Width(), rcWindow.Height()};
        HBRUSH hBrush = ::CreateSolidBrush(RGB(127, 144, 192));
        ::FillRect(hDC, &rcAll, hBrush);
        ::DeleteObject(hBrush);
        ::ReleaseDC(hWnd, hDC);
    };
    const int nPaints = m_frame.m_nCaptionPaints;
    ::SendMessageA(m_frame.m_hWnd, WM_NCPAINT, (WPARAM)hRgnBottom, 0);
    EXPECT_EQ((WPARAM)hRgnBottom, wSeen);
    EXPECT_EQ(nPaints, m_frame.m_nCaptionPaints) << "the cached image is not rebuilt";
    EXPECT_TRUE(WindowShowsBitmap(m_frame.m_hWnd, rc.left, rc.top, m_painter.m_bmCaption[m_painter.m_bActive ? 1 : 0],
                                  0, 0, rc.Width(), rc.Height(), &strWhy))
        << "the caption is back after the frame was painted over: " << strWhy;
    ::DeleteObject(hRgnBottom);
    m_frame.m_onMessage = nullptr;
}

TEST_F(CaptionWindow, AClickStrictlyInsideTheMinimizeSpanMinimizesAndOneOnItsEdgeDoesNot)
{
    Create(DIALOG_LIKE_STYLE);
    m_painter.m_sizeCaption = CSize(0, 0);
    m_painter.RedrawCaption();  // records the button rectangles
    const CRect rcMin(g_rcMinBtn);
    ASSERT_FALSE(rcMin.IsRectEmpty());

    // HTNOWHERE: the default processing afterwards starts no tracking loop of its own.
    for (int x : {rcMin.left, rcMin.right})
    {
        ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDOWN, HTNOWHERE, ScreenPointAtClientX(x));
        EXPECT_FALSE(::IsIconic(m_frame.m_hWnd)) << "a click on the edge x = " << x;
    }
    EXPECT_EQ(2, m_frame.Count(WM_NCLBUTTONDOWN)) << "the click goes on to default processing";

    ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDOWN, HTNOWHERE, ScreenPointAtClientX(rcMin.left + 1, 150));
    EXPECT_TRUE(::IsIconic(m_frame.m_hWnd)) << "inside the span, whatever the height";
    EXPECT_EQ(3, m_frame.Count(WM_NCLBUTTONDOWN));
    PumpMessages(50);  // the synthetic button release
}

TEST_F(CaptionWindow, WithoutMaximizeBoxADoubleClickDoesNothingAndIsNotPassedOn)
{
    Create(DIALOG_LIKE_STYLE);
    EXPECT_EQ(0, ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDBLCLK, HTCAPTION, ScreenPointAtClientX(100, -10)));
    EXPECT_FALSE(::IsZoomed(m_frame.m_hWnd));
    EXPECT_FALSE(::IsIconic(m_frame.m_hWnd));
    EXPECT_EQ(0, m_frame.Count(WM_NCLBUTTONDBLCLK)) << "consumed by the painter";
    EXPECT_EQ(1, g_bShowMaximize);
}

TEST_F(CaptionWindow, ThePaintedMaximizeButtonMaximizesAndRestoresAndSwitchesItsImage)
{
    Create(DIALOG_LIKE_STYLE | WS_MAXIMIZEBOX);
    m_painter.m_sizeCaption = CSize(0, 0);
    m_painter.RedrawCaption();
    const CRect rcMax(g_rcMaxBtn);
    ASSERT_FALSE(rcMax.IsRectEmpty());

    ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDOWN, HTNOWHERE, ScreenPointAtClientX(rcMax.left + 2));
    PumpMessages(20);
    EXPECT_TRUE(::IsZoomed(m_frame.m_hWnd));
    EXPECT_EQ(0, g_bShowMaximize);

    // The maximized caption shows the restore image at y = 0.
    CRect rc = CaptionRect();
    m_painter.m_sizeCaption = CSize(0, 0);
    m_painter.RedrawCaption();
    std::string strWhy;
    EXPECT_TRUE(WindowShowsBitmap(m_frame.m_hWnd, rc.left + g_rcMaxBtn.left - 4 + 1, rc.top, g_bmRestore, 1, 0, 18,
                                  rc.Height() < 17 ? rc.Height() : 17, &strWhy))
        << strWhy;

    // The rectangle is recorded in caption coordinates and the window moved: click where it is now.
    POINT pt = {CRect(g_rcMaxBtn).CenterPoint().x, 5};
    ::ClientToScreen(m_frame.m_hWnd, &pt);
    ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDOWN, HTNOWHERE, MAKELPARAM((short)pt.x, (short)pt.y));
    PumpMessages(20);
    EXPECT_FALSE(::IsZoomed(m_frame.m_hWnd));
    EXPECT_EQ(1, g_bShowMaximize);
    m_painter.m_sizeCaption = CSize(0, 0);
    m_painter.RedrawCaption();
    rc = CaptionRect();
    EXPECT_TRUE(WindowShowsBitmap(m_frame.m_hWnd, rc.left + g_rcMaxBtn.left - 4 + 1, rc.top + 3, g_bmMaximize, 1, 0, 18,
                                  17, &strWhy))
        << strWhy;
}

TEST_F(CaptionWindow, WithMaximizeBoxADoubleClickMaximizesAndRestores)
{
    Create(DIALOG_LIKE_STYLE | WS_MAXIMIZEBOX);
    EXPECT_EQ(0, ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDBLCLK, HTCAPTION, ScreenPointAtClientX(50, -10)));
    EXPECT_TRUE(::IsZoomed(m_frame.m_hWnd));
    EXPECT_EQ(0, g_bShowMaximize);
    ::SendMessageA(m_frame.m_hWnd, WM_NCLBUTTONDBLCLK, HTCAPTION, ScreenPointAtClientX(50, -10));
    EXPECT_FALSE(::IsZoomed(m_frame.m_hWnd));
    EXPECT_EQ(1, g_bShowMaximize);
    EXPECT_EQ(0, m_frame.Count(WM_NCLBUTTONDBLCLK));
}

TEST_F(CaptionWindow, NcActivateWithTheSameStateReturnsTrueAndDoesNothing)
{
    Create(DIALOG_LIKE_STYLE);  // shown without activation
    ASSERT_NE(m_frame.m_hWnd, ::GetActiveWindow());
    ASSERT_FALSE(m_painter.m_bActive);

    EXPECT_EQ(TRUE, ::SendMessageA(m_frame.m_hWnd, WM_NCACTIVATE, FALSE, 0));
    EXPECT_EQ(0, m_frame.Count(WM_NCACTIVATE)) << "no default processing";
    EXPECT_EQ(0, m_frame.Count(WM_NCPAINT)) << "no drawing";
    EXPECT_EQ(0, m_frame.m_nCaptionPaints);

    EXPECT_EQ(TRUE, ::SendMessageA(m_frame.m_hWnd, WM_NCACTIVATE, TRUE, 0));
    EXPECT_TRUE(m_painter.m_bActive);
    ASSERT_EQ(1, m_frame.Count(WM_NCACTIVATE));
    EXPECT_EQ(1u, m_frame.Last(WM_NCACTIVATE)->wParam);
    EXPECT_EQ(1, m_frame.Count(WM_NCPAINT));
    EXPECT_EQ(1, m_frame.m_nCaptionPaints) << "the active image was built";
    EXPECT_NE(0, ::GetWindowLongA(m_frame.m_hWnd, GWL_STYLE) & WS_VISIBLE) << "the style is restored";

    m_frame.ClearLog();
    EXPECT_EQ(TRUE, ::SendMessageA(m_frame.m_hWnd, WM_NCACTIVATE, TRUE, 0));
    EXPECT_EQ(0, m_frame.Count(WM_NCACTIVATE));
    EXPECT_EQ(0, m_frame.Count(WM_NCPAINT));
}

TEST_F(CaptionWindow, StayActiveFlagAndDisabledWindowDecideTheDrawnState)
{
    Create(DIALOG_LIKE_STYLE);
    m_frame.m_nFlags |= WF_STAYACTIVE;
    ::SendMessageA(m_frame.m_hWnd, WM_NCACTIVATE, FALSE, 0);
    EXPECT_TRUE(m_painter.m_bActive) << "a window that stays active is drawn active";
    m_frame.m_nFlags &= ~WF_STAYACTIVE;

    ::EnableWindow(m_frame.m_hWnd, FALSE);
    ::SendMessageA(m_frame.m_hWnd, WM_NCACTIVATE, TRUE, 0);
    EXPECT_FALSE(m_painter.m_bActive) << "a disabled window is drawn inactive";
    ::EnableWindow(m_frame.m_hWnd, TRUE);
}

TEST_F(CaptionWindow, ActivationAndDeactivationSwitchTheDrawnState)
{
    Create(DIALOG_LIKE_STYLE);
    ::SetActiveWindow(m_frame.m_hWnd);
    PumpMessages(20);
    ASSERT_EQ(m_frame.m_hWnd, ::GetActiveWindow());
    EXPECT_TRUE(m_painter.m_bActive);

    // Another window taking the activation makes the caption inactive.
    CGalleryFrame other;
    RECT rc = {600, 300, 800, 400};
    ASSERT_TRUE(other.CreateFrame("other", WS_POPUP | WS_CAPTION, rc, 0, TRUE));
    PumpMessages(20);
    ASSERT_EQ(other.m_hWnd, ::GetActiveWindow());
    EXPECT_FALSE(m_painter.m_bActive);

    ::SetActiveWindow(m_frame.m_hWnd);
    PumpMessages(20);
    EXPECT_TRUE(m_painter.m_bActive);
}

TEST_F(CaptionWindow, AnActivationReportedWithNcActivateZeroIsDrawnActive)
{
    // Wine without a window manager activates a window with WM_NCACTIVATE wParam 0; WM_ACTIVATE then
    // says WA_ACTIVE. The same sequence, sent to the active window by hand:
    Create(DIALOG_LIKE_STYLE);
    ::SetActiveWindow(m_frame.m_hWnd);
    PumpMessages(20);
    ASSERT_EQ(m_frame.m_hWnd, ::GetActiveWindow());
    ::SendMessageA(m_frame.m_hWnd, WM_NCACTIVATE, FALSE, 0);
    ASSERT_FALSE(m_painter.m_bActive);
    m_frame.ClearLog();

    ::SendMessageA(m_frame.m_hWnd, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(m_painter.m_bActive);
    EXPECT_EQ(1, m_frame.Count(WM_ACTIVATE)) << "WM_ACTIVATE goes on to the window";
    ASSERT_NE(nullptr, m_frame.Last(WM_NCACTIVATE));
    EXPECT_EQ(1u, m_frame.Last(WM_NCACTIVATE)->wParam) << "the window's own processing learns it is active";

    // WA_INACTIVE changes nothing by itself; neither does WA_ACTIVE for a window that is not active.
    ::SendMessageA(m_frame.m_hWnd, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_TRUE(m_painter.m_bActive);
}

TEST_F(CaptionWindow, ApplyTitleWithTheSameTextSendsNothing)
{
    Create(DIALOG_LIKE_STYLE);
    m_painter.RedrawCaption();
    m_frame.ClearLog();
    m_painter.SetTitle("Receiving data");
    m_painter.ApplyTitle(m_frame.m_hWnd);
    EXPECT_EQ(1, m_frame.Count(WM_SETTEXT)) << "the hook stores the text through default processing";
    char sz[64] = {};
    ::GetWindowTextA(m_frame.m_hWnd, sz, sizeof(sz));
    EXPECT_STREQ("Receiving data", sz);
    EXPECT_EQ(1, m_frame.m_nCaptionPaints) << "the current image is rebuilt with the new title";

    m_frame.ClearLog();
    m_painter.ApplyTitle(m_frame.m_hWnd);
    EXPECT_EQ(0, m_frame.Count(WM_SETTEXT));
    EXPECT_EQ(0, m_frame.Count(WM_NCPAINT));
    EXPECT_EQ(0, m_frame.m_nCaptionPaints);
    EXPECT_STREQ("Receiving data", (LPCTSTR)m_painter.GetTitle());
}

TEST_F(CaptionWindow, SetTitleAloneRedrawsNothing)
{
    Create(DIALOG_LIKE_STYLE);
    m_painter.SetTitle("new title");
    PumpMessages(0);
    EXPECT_EQ(0, m_frame.m_nCaptionPaints);
    EXPECT_EQ(0, m_frame.Count(WM_SETTEXT));
}

TEST_F(CaptionWindow, SystemSettingChangesDropTheFontAndRebuildTheImages)
{
    Create(DIALOG_LIKE_STYLE);
    m_painter.RedrawCaption();
    ::SendMessageA(m_frame.m_hWnd, WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(1, m_frame.m_nFontResets) << "the owner was asked to drop the font";
    EXPECT_EQ(1, m_frame.Count(WM_SETTINGCHANGE) - 0) << "the message goes on to the window";
    EXPECT_EQ(CSize(0, 0), m_painter.m_sizeCaption);
    const int nPaints = m_frame.m_nCaptionPaints;
    m_painter.RedrawCaption();
    EXPECT_EQ(nPaints + 1, m_frame.m_nCaptionPaints);
}

// Draws text on a copy of a blank caption with the painter's font and colour.
void DrawTitleOver(CGdiCanvas& target, CGdiCanvas& blank, HFONT hFont, LPCSTR pszText, RECT rcText, UINT nFormat)
{
    ::BitBlt(target.m_dc.m_hDC, 0, 0, target.m_cx, target.m_cy, blank.m_dc.m_hDC, 0, 0, SRCCOPY);
    HGDIOBJ hOld = ::SelectObject(target.m_dc.m_hDC, hFont);
    ::SetBkMode(target.m_dc.m_hDC, TRANSPARENT);
    ::SetTextColor(target.m_dc.m_hDC, RGB(0, 0, 129));
    ::DrawTextA(target.m_dc.m_hDC, pszText, -1, &rcText, nFormat);
    ::SelectObject(target.m_dc.m_hDC, hOld);
}

int CountDifferentPixels(const CGdiCanvas& a, const CGdiCanvas& b)
{
    int n = 0;
    for (int y = 0; y < a.m_cy; ++y)
        for (int x = 0; x < a.m_cx; ++x)
            n += a.Pixel(x, y) != b.Pixel(x, y);
    return n;
}

TEST_F(CaptionWindow, ALongTitleEndsWithAnEllipsis)
{
    const std::string strLong(300, 'W');
    Create(DIALOG_LIKE_STYLE, 500, 200, strLong.c_str());
    const int cx = 420, cy = 26;
    CGdiCanvas drawn(cx, cy, RGB(0, 0, 0));
    CAPTIONPAINT cp = {CSize(cx, cy), drawn.DC(), TRUE};
    m_painter.DrawGradientCaption(1, &cp);

    // The same caption without a title (a second painter on the same window: same buttons).
    CGdiCanvas blank(cx, cy, RGB(0, 0, 0));
    {
        CCaptionPainter untitled;
        untitled.AttachCaption(&m_frame, WM_GALLERY_DRAWCAPTION);
        CAPTIONPAINT cpBlank = {CSize(cx, cy), blank.DC(), TRUE};
        untitled.DrawGradientCaption(1, &cpBlank);
        untitled.AttachToWindow(nullptr);
    }
    // The title's rectangle: from x = 175 to the buttons (2 pixels right of the minimize rectangle).
    const RECT rcText = {175, 0, g_rcMinBtn.left + 2, cy};
    const HFONT hFont = (HFONT)m_painter.m_fontCaption.m_hObject;
    ASSERT_NE((HFONT)NULL, hFont);

    CGdiCanvas cut(cx, cy), uncut(cx, cy);
    DrawTitleOver(cut, blank, hFont, strLong.c_str(), rcText, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    DrawTitleOver(uncut, blank, hFont, strLong.c_str(), rcText, DT_SINGLELINE | DT_VCENTER);
    EXPECT_EQ(0, CountDifferentPixels(drawn, cut)) << "the painter drew the title cut with an ellipsis";
    EXPECT_GT(CountDifferentPixels(drawn, uncut), 0) << "and not merely clipped";

    // What the cut title reads: it ends with "...".
    char szCut[400];
    lstrcpynA(szCut, strLong.c_str(), sizeof(szCut));
    RECT rcMeasure = rcText;
    HGDIOBJ hOld = ::SelectObject(cut.m_dc.m_hDC, hFont);
    ::DrawTextA(cut.m_dc.m_hDC, szCut, -1, &rcMeasure,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_CALCRECT);
    ::SelectObject(cut.m_dc.m_hDC, hOld);
    const std::string strCut = szCut;
    ASSERT_GE(strCut.size(), 3u);
    EXPECT_EQ("...", strCut.substr(strCut.size() - 3));
    EXPECT_LT(strCut.size(), strLong.size());
}

struct TitleWriterArgs
{
    CCaptionPainter* pPainter;
    std::atomic<bool>* pbStop;
};

DWORD WINAPI TitleWriter(LPVOID pParam)
{
    const TitleWriterArgs* pArgs = static_cast<const TitleWriterArgs*>(pParam);
    int i = 0;
    while (!pArgs->pbStop->load())
    {
        char sz[64];
        snprintf(sz, sizeof(sz), "Downloading %d%% of brindlemox.exe", i++ % 100);
        pArgs->pPainter->SetTitle(sz);
    }
    pArgs->pPainter->SetTitle("final title");
    return 0;
}

TEST_F(CaptionWindow, SetTitleFromAnotherThreadWhileTheCaptionIsDrawn)
{
    Create(DIALOG_LIKE_STYLE);
    std::atomic<bool> bStop{false};
    TitleWriterArgs args = {&m_painter, &bStop};
    HANDLE hThread = ::CreateThread(NULL, 0, TitleWriter, &args, 0, NULL);
    ASSERT_NE((HANDLE)NULL, hThread);
    for (int i = 0; i < 200; ++i)
    {
        m_painter.m_sizeCaption = CSize(0, 0);
        m_painter.RedrawCaption();
        const CString strTitle = m_painter.GetTitle();
        ASSERT_TRUE(strTitle.Find("brindlemox") >= 0 || strTitle == "final title") << (LPCTSTR)strTitle;
    }
    bStop = true;
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hThread, 10000));
    ::CloseHandle(hThread);
    EXPECT_STREQ("final title", (LPCTSTR)m_painter.GetTitle());
}
}  // namespace
