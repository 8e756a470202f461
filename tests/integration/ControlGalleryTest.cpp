// The control gallery: the download dialog's template with every custom control and the painted
// caption, checked on the screen; and the GDI leak check over 1,000 caption redraws and hover cycles.
//
// With DLS_GALLERY_HOLD_MS set, the first test keeps the gallery on the screen that many milliseconds
// (for a screenshot, e.g. `import -window root` under Xvfb).
#include <gtest/gtest.h>
#include <afxwin.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include "GalleryWindows.h"
#include "GdiTools.h"
#include "res/resource.h"

namespace
{
const COLORREF BACK = RGB(175, 199, 239);
const char GALLERY_TITLE[] = "Download from brindlemox.exe";

// The gallery widened to 760 pixels, so that the gradient shows right of the 558-pixel banner, with
// the four buttons in four states: Start pressed, Stop under the mouse, Open disabled, Exit normal.
class ControlGallery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dlg.CreateGallery());
        CRect rc;
        m_dlg.GetWindowRect(&rc);
        ::SetWindowPos(m_dlg.m_hWnd, NULL, 20, 20, 760, rc.Height(), SWP_NOZORDER);
        m_dlg.SetRoundedRegion(760, rc.Height());
        m_dlg.m_captionPainter.ApplyTitle(m_dlg.m_hWnd);
        ::SetForegroundWindow(m_dlg.m_hWnd);
        ::SetActiveWindow(m_dlg.m_hWnd);
        ::SetFocus(m_dlg.m_edFilePath.m_hWnd);  // no button has the focus
        m_dlg.m_btnStart.SetState(TRUE);
        m_dlg.m_btnStop.m_bHover = TRUE;
        m_dlg.m_btnStop.Invalidate(TRUE);
        ::SetCursorPos(1000, 700);
        PumpMessages(200);
    }
    void TearDown() override
    {
        m_dlg.DestroyWindow();
        PumpMessages(0);
    }

    // The image a hover button shows on the screen is image nImage of its strip. The template's
    // buttons overlap by a row or so once they are one image tall (and siblings without
    // WS_CLIPSIBLINGS paint over each other), so rows 2 to 17 are compared.
    void ExpectButtonImage(CHoverButton& button, int nImage, const char* pszName)
    {
        ::UpdateWindow(button.m_hWnd);
        HDC hDC = ::GetDC(button.m_hWnd);
        HDC hMem = ::CreateCompatibleDC(hDC);
        HGDIOBJ hOld = ::SelectObject(hMem, button.m_bmpStrip.m_hObject);
        int nDifferent = 0;
        for (int y = 2; y < 18; ++y)
            for (int x = 0; x < button.m_cxImage; ++x)
                nDifferent += ::GetPixel(hDC, x, y) != ::GetPixel(hMem, nImage * button.m_cxImage + x, y);
        ::SelectObject(hMem, hOld);
        ::DeleteDC(hMem);
        ::ReleaseDC(button.m_hWnd, hDC);
        EXPECT_EQ(0, nDifferent) << pszName << " does not show strip image " << nImage;
    }
    COLORREF ClientPixel(HWND hWnd, int x, int y)
    {
        HDC hDC = ::GetDC(hWnd);
        const COLORREF cr = ::GetPixel(hDC, x, y);
        ::ReleaseDC(hWnd, hDC);
        return cr;
    }

    CGalleryDlg m_dlg;
};

TEST_F(ControlGallery, ShowsEveryControlAndThePaintedCaption)
{
    // The painted caption: the window shows the active cached image, which holds the banner, the
    // close and minimize images and the title.
    CCaptionPainter& painter = m_dlg.m_captionPainter;
    EXPECT_TRUE(painter.m_bActive);
    CRect rcCaption;
    CCaptionPainter::ComputeCaptionRect(rcCaption, &m_dlg);
    EXPECT_EQ(rcCaption.Size(), painter.m_sizeCaption);
    ASSERT_NE(nullptr, painter.m_bmCaption[1].m_hObject);
    std::string strWhy;
    // (The window region rounds the top corners: 12 pixels at each end are left out.)
    EXPECT_TRUE(WindowShowsBitmap(m_dlg.m_hWnd, rcCaption.left + 12, rcCaption.top, painter.m_bmCaption[1], 12, 0,
                                  rcCaption.Width() - 24, rcCaption.Height(), &strWhy))
        << strWhy;
    EXPECT_TRUE(WindowShowsBitmap(m_dlg.m_hWnd, rcCaption.left + 20, rcCaption.top, g_bmBanner, 20, 0, 150,
                                  rcCaption.Height(), &strWhy))
        << "the banner: " << strWhy;
    const int cyImage = rcCaption.Height() - 3 < 17 ? rcCaption.Height() - 3 : 17;
    const int cxSize = ::GetSystemMetrics(SM_CXSIZE);
    const int xClose = rcCaption.Width() - cxSize - 4;
    EXPECT_TRUE(WindowShowsBitmap(m_dlg.m_hWnd, rcCaption.left + xClose, rcCaption.top + 3, g_bmClose, 0, 0, 19,
                                  cyImage, &strWhy))
        << "the close image: " << strWhy;
    EXPECT_TRUE(WindowShowsBitmap(m_dlg.m_hWnd, rcCaption.left + g_rcMinBtn.left - 4, rcCaption.top + 3, g_bmMinimize,
                                  0, 0, 19, cyImage, &strWhy))
        << "the minimize image: " << strWhy;
    EXPECT_EQ(xClose - cxSize, g_rcMinBtn.left - 4) << "minimize directly left of close";
    char szText[128] = {};
    ::GetWindowTextA(m_dlg.m_hWnd, szText, sizeof(szText));
    EXPECT_STREQ(GALLERY_TITLE, szText);

    // Right of the banner the gradient shows (row 0 of the caption, left of the minimize image).
    HDC hWindowDC = ::GetWindowDC(m_dlg.m_hWnd);
    const COLORREF crNearRight = ::GetPixel(hWindowDC, rcCaption.left + g_rcMinBtn.left - 10, rcCaption.top);
    const COLORREF crAfterBanner = ::GetPixel(hWindowDC, rcCaption.left + 560, rcCaption.top);
    ::ReleaseDC(m_dlg.m_hWnd, hWindowDC);
    EXPECT_EQ(RGB(232, 225, 243), crNearRight) << ColourText(crNearRight);
    EXPECT_NE(crNearRight, crAfterBanner) << "a gradient, not one colour";

    // The four buttons in their states.
    ExpectButtonImage(m_dlg.m_btnStart, 1, "Start (pressed)");
    ExpectButtonImage(m_dlg.m_btnStop, 2, "Stop (mouse over it)");
    ExpectButtonImage(m_dlg.m_btnOpen, 3, "Open (disabled)");
    ExpectButtonImage(m_dlg.m_btnExit, 0, "Exit (normal)");
    for (CHoverButton* pButton : {&m_dlg.m_btnStart, &m_dlg.m_btnStop, &m_dlg.m_btnOpen, &m_dlg.m_btnExit})
    {
        EXPECT_EQ(75, pButton->m_cxImage);
        EXPECT_EQ(28, pButton->m_cyImage);
        EXPECT_EQ(1, pButton->m_ToolTip.GetToolCount());
    }

    // Coloured labels and the progress bar's background on the screen.
    CRect rcLabel;
    m_dlg.m_stTransferRate.GetClientRect(&rcLabel);
    EXPECT_EQ(BACK, ClientPixel(m_dlg.m_stTransferRate.m_hWnd, rcLabel.right - 2, rcLabel.bottom - 2));
    CRect rcBar;
    m_dlg.m_progress.GetClientRect(&rcBar);
    EXPECT_EQ(BACK, ClientPixel(m_dlg.m_progress.m_hWnd, rcBar.right - 4, rcBar.Height() / 2))
        << "the bar's background colour shows";
    EXPECT_NE(BACK, ClientPixel(m_dlg.m_progress.m_hWnd, rcBar.Width() / 10, rcBar.Height() / 2))
        << "24 percent are filled";

    if (const char* pszHold = getenv("DLS_GALLERY_HOLD_MS"))
    {
        printf("gallery window at (20, 20), 760 pixels wide; holding %s ms\n", pszHold);
        fflush(stdout);
        PumpMessages((DWORD)atoi(pszHold));
    }
}

TEST_F(ControlGallery, TheObjectCounterSeesADeliberateLeak)
{
    printf("GDI objects counted with: %s\n", GdiCountMethod());
    const int nBefore = GdiObjectCount();
    ASSERT_GE(nBefore, 0) << "no way to count GDI objects";
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 50; ++i)
        brushes.push_back(::CreateSolidBrush(RGB(i, 2 * i, 3 * i)));
    const int nLeaked = GdiObjectCount();
    for (HBRUSH hBrush : brushes)
        ::DeleteObject(hBrush);
    const int nAfter = GdiObjectCount();
    printf("GDI objects: %d before, %d with 50 leaked brushes, %d after deleting them\n", nBefore, nLeaked, nAfter);
    EXPECT_EQ(nBefore + 50, nLeaked);
    EXPECT_EQ(nBefore, nAfter);
}

TEST_F(ControlGallery, NoGdiObjectLeaksAcross1000CaptionRedrawsAndHoverCycles)
{
    CCaptionPainter& painter = m_dlg.m_captionPainter;
    CHoverButton& button = m_dlg.m_btnExit;
    auto cycle = [&](int i)
    {
        // Caption: a new title (rebuilds both images), an activation change, a redraw from the cache.
        painter.SetTitle(i % 2 ? "Download from brindlemox.exe" : "Receiving data from the server");
        painter.ApplyTitle(m_dlg.m_hWnd);
        ::SendMessageA(m_dlg.m_hWnd, WM_NCACTIVATE, i % 2, 0);
        painter.RedrawCaption();
        // Hover: a mouse move (tracking request), the hover image, the leave, each drawn.
        ::SendMessageA(button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
        ::SendMessageA(button.m_hWnd, WM_MOUSEHOVER, 0, MAKELPARAM(3, 3));
        ::UpdateWindow(button.m_hWnd);
        ::SendMessageA(button.m_hWnd, WM_MOUSELEAVE, 0, 0);
        ::UpdateWindow(button.m_hWnd);
        // The labels ask for their colours again.
        ::RedrawWindow(m_dlg.m_stServerStatus.m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        PumpMessages(0);
    };
    for (int i = 0; i < 10; ++i)  // first use creates the font, the tooltips' windows, the brushes
        cycle(i);
    const int nBefore = GdiObjectCount();
    ASSERT_GE(nBefore, 0);
    for (int i = 0; i < 1000; ++i)
        cycle(i);
    const int nAfter = GdiObjectCount();
    printf("GDI objects (%s): %d before and %d after 1000 caption redraws and hover cycles\n", GdiCountMethod(),
           nBefore, nAfter);
    EXPECT_EQ(nBefore, nAfter);
}
}  // namespace
