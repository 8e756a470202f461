// The custom controls driven with real messages on a window of the download dialog's frame (the painted
// caption, the colour answers, no GDI leaks), and the download dialog mid-transfer as the user sees it.
#include <gtest/gtest.h>
#include <memory>
#include "GalleryWindows.h"
#include "controls/CColorEdit.h"
#include "controls/CColorStatic.h"
#include "controls/CHoverButton.h"
#include "download/CURLDownloading.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/WindowDriver.h"

namespace
{
const COLORREF RIGHT_BLOCK = RGB(232, 225, 243), BACK = RGB(175, 199, 239), TEXT = RGB(0, 21, 96);

COLORREF PixelOf(HWND hWnd, int x, int y, bool bWholeWindow = false)  // of the client area, or the whole window
{
    HDC hDC = bWholeWindow ? ::GetWindowDC(hWnd) : ::GetDC(hWnd);
    const COLORREF cr = ::GetPixel(hDC, x, y);
    ::ReleaseDC(hWnd, hDC);
    return cr;
}

// True when the cx x cy pixels of hDC from (x, y) equal the bitmap's from (xSrc, ySrc).
bool ShowsBitmap(HDC hDC, int x, int y, HBITMAP hBitmap, int xSrc, int ySrc, int cx, int cy)
{
    HDC hBitmapDC = ::CreateCompatibleDC(hDC);
    HGDIOBJ hOld = ::SelectObject(hBitmapDC, hBitmap);
    bool bSame = true;
    for (int i = 0; i < cx * cy && bSame; ++i)
        bSame = ::GetPixel(hBitmapDC, xSrc + i % cx, ySrc + i / cx) == ::GetPixel(hDC, x + i % cx, y + i / cx);
    ::SelectObject(hBitmapDC, hOld);
    return ::DeleteDC(hBitmapDC), bSame;
}

// True when the window's caption shows the banner, close and minimize images (the program's bitmaps,
// loaded here on their own) where the painter places them: the banner from column 20 (a rounded
// window corner may cut it left of that), the 19-pixel button images cxSize apart, right to left (so
// the close image's first column may lie under the minimize image).
bool ShowsPaintedCaption(HWND hWnd)
{
    auto load = [](UINT nID) { return ::LoadBitmapA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(nID)); };
    static const HBITMAP s_hBanner = load(IDB_BANNER), s_hClose = load(IDB_CLOSE), s_hMinimize = load(IDB_MINIMIZE);
    CRect rc;
    CCaptionPainter::ComputeCaptionRect(rc, CWnd::FromHandle(hWnd));
    const int cxSize = ::GetSystemMetrics(SM_CXSIZE), cyImage = rc.Height() - 3 < 17 ? rc.Height() - 3 : 17;
    CWindowDC dc(CWnd::FromHandle(hWnd));
    return ShowsBitmap(dc.m_hDC, rc.left + 20, rc.top, s_hBanner, 20, 0, 150, rc.Height()) &&
           ShowsBitmap(dc.m_hDC, rc.right - cxSize - 3, rc.top + 3, s_hClose, 1, 0, 18, cyImage) &&
           ShowsBitmap(dc.m_hDC, rc.right - 2 * cxSize - 4, rc.top + 3, s_hMinimize, 0, 0, 19, cyImage);
}

// The GDI objects this process holds under Wine (GetGuiResources answers 0 there): the used entries of the
// PEB's GdiSharedHandleTable, 16384 of Wine's 24-byte GDI_HANDLE_ENTRY records, Type at 14, 0 if free.
int GdiObjectCount()
{
    const size_t cbPeb = sizeof(void*) == 4 ? 0x30 : 0x60, cbTable = sizeof(void*) == 4 ? 0x94 : 0xF8;  // offsets
    const BYTE* pPeb = *reinterpret_cast<const BYTE* const*>(reinterpret_cast<const BYTE*>(NtCurrentTeb()) + cbPeb);
    const BYTE* pTable = *reinterpret_cast<const BYTE* const*>(pPeb + cbTable);
    if (pTable == nullptr || ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") == NULL)
        return -1;
    int nCount = 0;
    for (int i = 0; i < 16384; ++i)
        nCount += pTable[24 * i + 14] != 0;
    return nCount;
}

// A window 760 pixels wide, so that the gradient shows right of the banner, with the painted caption.
class Gallery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_frame.CreateFrame(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                                        CRect(20, 20, 780, 220)));
        m_frame.m_pPainter = &m_painter;
        m_painter.SetTitle("Download from brindlemox.exe");
        ASSERT_TRUE(m_painter.AttachCaption(&m_frame, WM_GALLERY_DRAWCAPTION));
        PumpMessages(0);
    }
    CGalleryFrame m_frame;
    CCaptionPainter m_painter;
};

TEST_F(Gallery, TheCaptionStaysPaintedThroughTheWindowsNonClientMessages)
{
    HWND hWnd = m_frame.m_hWnd;
    CRect rcWindow, rcCaption;
    m_frame.GetWindowRect(&rcWindow);
    CCaptionPainter::ComputeCaptionRect(rcCaption, &m_frame);
    POINT ptClient = {0, 0};
    ::ClientToScreen(hWnd, &ptClient);
    const int cxFrame = ::GetSystemMetrics(SM_CXFRAME), cyFrame = ::GetSystemMetrics(SM_CYFRAME);
    const CRect rcCovered(cxFrame - 3, cyFrame - 3, rcWindow.Width() + 2 - cxFrame, ptClient.y - rcWindow.top);
    EXPECT_TRUE(::EqualRect(&rcCovered, &rcCaption)) << "from 3 pixels into the frame down to the client area";
    // The window's own non-client painting gets a region without the caption; it paints its whole
    // frame whatever the region, as the download dialog does, so the caption must come back after it.
    int nOwnPaintsOnCaption = 0;
    WPARAM wOwnActivation = 0;
    m_frame.m_onMessage = [&](UINT message, WPARAM wParam)
    {
        wOwnActivation = message == WM_NCACTIVATE ? wParam : wOwnActivation;
        if (message != WM_NCPAINT)
            return;
        nOwnPaintsOnCaption += wParam <= 1 || ::PtInRegion((HRGN)wParam, rcWindow.left + 300, rcWindow.top + 10);
        CWindowDC dc(&m_frame);
        FillSolid(dc.m_hDC, {0, 0, rcWindow.Width(), rcWindow.Height()}, RGB(127, 144, 192));
    };
    CGalleryFrame other;
    CRgn rgnBottom;
    rgnBottom.CreateRectRgn(rcWindow.left, rcWindow.bottom - 4, rcWindow.right, rcWindow.bottom);
    auto send = [&](UINT message, WPARAM wParam) { ::SendMessageA(hWnd, message, wParam, MAKELPARAM(300, 30)); };
    // Each step, then: the drawn state, how many caption images were drawn (plus font resets), how
    // often a message reached the window's own procedure.
    const struct { const char* pszWhat; std::function<void()> act; BOOL bActive; int nDrawings; UINT ownMessage; int nOwn; } steps[] = {
        {"first drawing", [&] { m_painter.RedrawCaption(); }, FALSE, 1, WM_NULL, 0},
        {"drawing again", [&] { m_painter.RedrawCaption(); }, FALSE, 0, WM_NULL, 0},
        {"WM_NCPAINT of the whole window", [&] { send(WM_NCPAINT, 1); }, FALSE, 0, WM_NCPAINT, 1},
        {"WM_NCPAINT of the bottom edge", [&] { send(WM_NCPAINT, (WPARAM)(HRGN)rgnBottom); }, FALSE, 0, WM_NCPAINT, 1},
        {"activation", [&] { ::SetActiveWindow(hWnd); }, TRUE, 1, WM_NCACTIVATE, 1},
        {"WM_NCACTIVATE TRUE once more", [&] { send(WM_NCACTIVATE, TRUE); }, TRUE, 0, WM_NCACTIVATE, 0},
        {"Wine's activation: WM_NCACTIVATE 0, WM_ACTIVATE", [&] { send(WM_NCACTIVATE, 0), send(WM_ACTIVATE, WA_ACTIVE); },
         TRUE, 0, WM_NCACTIVATE, 2},
        {"another window active", [&] { other.CreateFrame(WS_POPUP | WS_CAPTION, CRect(0, 300, 90, 400), TRUE); }, FALSE,
         0, WM_NCACTIVATE, 1},
        {"WM_NCACTIVATE TRUE, disabled",
         [&] { ::EnableWindow(hWnd, FALSE), send(WM_NCACTIVATE, TRUE), ::EnableWindow(hWnd, TRUE); }, FALSE, 0,
         WM_NCACTIVATE, 0},
        {"a new title", [&] { m_painter.SetTitle("Receiving data"), m_painter.ApplyTitle(hWnd); }, FALSE, 1, WM_SETTEXT, 1},
        {"the same title", [&] { m_painter.ApplyTitle(hWnd); }, FALSE, 0, WM_SETTEXT, 0},
        {"a title set, not applied", [&] { m_painter.SetTitle("Stopped"); }, FALSE, 0, WM_SETTEXT, 0},
        {"settings changed", [&] { send(WM_SETTINGCHANGE, 0), m_painter.RedrawCaption(); }, FALSE, 2, WM_SETTINGCHANGE, 1},
        {"wider", [&] { ::SetWindowPos(hWnd, NULL, 0, 0, 800, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); }, FALSE,
         1, WM_NULL, 0},
        {"a double click", [&] { send(WM_NCLBUTTONDBLCLK, HTCAPTION); }, FALSE, 0, WM_NCLBUTTONDBLCLK, 0},
    };
    for (const auto& s : steps)
    {
        m_frame.m_messages.clear();
        nOwnPaintsOnCaption = 0;
        s.act();
        PumpMessages(20);
        EXPECT_EQ(s.bActive, m_painter.m_bActive) << s.pszWhat;
        EXPECT_EQ(s.nDrawings, m_frame.Count(WM_GALLERY_DRAWCAPTION)) << s.pszWhat;
        EXPECT_EQ(s.nOwn, m_frame.Count(s.ownMessage)) << s.pszWhat;
        EXPECT_TRUE(m_frame.Count(WM_NCACTIVATE) == 0 || (BOOL)wOwnActivation == s.bActive) << s.pszWhat;
        EXPECT_EQ(0, nOwnPaintsOnCaption) << s.pszWhat;
        EXPECT_TRUE(::IsWindowVisible(hWnd) && !::IsIconic(hWnd) && !::IsZoomed(hWnd)) << s.pszWhat;
        EXPECT_TRUE(ShowsPaintedCaption(hWnd)) << s.pszWhat;
        CCaptionPainter::ComputeCaptionRect(rcCaption, &m_frame);
        EXPECT_EQ(RIGHT_BLOCK, PixelOf(hWnd, rcCaption.right - 2, rcCaption.bottom - 2, true)) << s.pszWhat;
    }
    EXPECT_EQ("Receiving data", WindowTextOf(hWnd));
    // A press strictly inside the minimize button's rectangle minimizes; on its edges, or on the frame
    // or caption beside it, it goes on as a press.
    const CRect rcMin(g_rcMinBtn);
    m_frame.GetWindowRect(&rcWindow);
    const int xMid = (rcMin.left + rcMin.right) / 2, yMid = (rcMin.top + rcMin.bottom) / 2;
    const POINT points[] = {{rcMin.left + 1, yMid}, {rcMin.right - 1, yMid}, {xMid, rcMin.top + 1}, {xMid, rcMin.bottom - 1},
                            {rcMin.left, yMid},     {rcMin.right, yMid},     {xMid, rcMin.top},     {xMid, rcMin.bottom},
                            {xMid, rcMin.top - 2},  {xMid, rcMin.bottom + 4}};
    for (const POINT& p : points)
    {
        m_frame.m_messages.clear();
        const bool bInside = rcMin.left < p.x && p.x < rcMin.right && rcMin.top < p.y && p.y < rcMin.bottom;
        const LPARAM lPoint = MAKELPARAM(rcWindow.left + rcCaption.left + p.x, rcWindow.top + rcCaption.top + p.y);
        ::SendMessageA(hWnd, WM_NCLBUTTONDOWN, HTNOWHERE, lPoint);
        EXPECT_EQ(bInside, ::IsIconic(hWnd) != FALSE) << p.x << "," << p.y;
        EXPECT_EQ(1, m_frame.Count(WM_NCLBUTTONDOWN)) << p.x << "," << p.y;
        ::ShowWindow(hWnd, SW_RESTORE);
        PumpMessages(50);  // the synthetic button release
    }
}

// The labels answer colour requests (the read-only edit's are WM_CTLCOLORSTATIC) with their colours on
// the DC, a brush of the background colour, and the one handed out before deleted. And no GDI object
// leaks across caption redraws, hover cycles and colour requests.
TEST_F(Gallery, TheColouredControlsAnswerColourRequestsAndLeakNothing)
{
    CColorStatic label;
    CColorEdit edit;
    CHoverButton button;
    ASSERT_TRUE(label.SubclassWindow(m_frame.AddChild("STATIC", "Transfer Rate", SS_LEFT, CRect(10, 60, 210, 80), 306)));
    ASSERT_TRUE(edit.SubclassWindow(m_frame.AddChild("EDIT", "", ES_READONLY, CRect(10, 90, 210, 110), 307)));
    ASSERT_TRUE(button.SubclassWindow(m_frame.AddChild("BUTTON", "", BS_OWNERDRAW, CRect(320, 30, 420, 60), 308)));
    for (HWND hWnd : {label.m_hWnd, edit.m_hWnd})
    {
        CGdiCanvas canvas(4, 4);
        const HGDIOBJ hFirst = (HGDIOBJ)m_frame.SendMessage(WM_CTLCOLORSTATIC, (WPARAM)canvas.m_dc.m_hDC, (LPARAM)hWnd);
        const HGDIOBJ hSecond = (HGDIOBJ)m_frame.SendMessage(WM_CTLCOLORSTATIC, (WPARAM)canvas.m_dc.m_hDC, (LPARAM)hWnd);
        LOGBRUSH lb = {};
        EXPECT_TRUE(::GetTextColor(canvas.m_dc.m_hDC) == TEXT && ::GetBkColor(canvas.m_dc.m_hDC) == BACK);
        EXPECT_TRUE(::GetObjectA(hSecond, sizeof(lb), &lb) && lb.lbColor == BACK);
        EXPECT_EQ(0u, ::GetObjectType(hFirst));
    }
    button.SetStripBitmap(::LoadBitmapA(::GetModuleHandleA(NULL), "EXITBUTTON.BMP"));
    CString strTip = "Click To Exit Download.";
    button.SetToolTipText(&strTip);
    auto cycle = [&](int i)
    {
        m_painter.SetTitle(i % 2 ? "Download from brindlemox.exe" : "Receiving data from the server");
        m_painter.ApplyTitle(m_frame.m_hWnd);
        for (UINT message : {WM_NCACTIVATE, WM_NCPAINT, WM_SETTINGCHANGE})
            m_frame.SendMessage(message, i % 2);
        m_frame.SetWindowPos(nullptr, 0, 0, 760 + i % 2, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (UINT message : {WM_MOUSEMOVE, WM_MOUSEHOVER, WM_MOUSELEAVE})
            button.SendMessage(message), ::UpdateWindow(button.m_hWnd);
        ::RedrawWindow(label.m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        PumpMessages(0);
    };
    for (int i = 0; i < 10; ++i)  // first uses make the font, the tooltip, the brushes
        cycle(i);
    const int nBefore = GdiObjectCount();
    ASSERT_GE(nBefore, 0) << "no way to count GDI objects";
    const HGDIOBJ hLeak = ::CreateSolidBrush(BACK);
    EXPECT_EQ(nBefore + 1, GdiObjectCount()) << "the count sees a leak";
    ::DeleteObject(hLeak);
    for (int i = 0; i < 200; ++i)
        cycle(i);
    EXPECT_EQ(nBefore, GdiObjectCount());
}
}  // namespace

TEST(DownloadDialog, MidTransferAsTheUserSeesIt)
{
    ::SetCursorPos(1000, 700);  // away from the dialog
    CMessageBoxAnswerer boxes;  // "Create Shortcut": No
    CHostStandIn host;
    CFakeTransfer transfer;  // nothing is fetched or written
    const char kUrl[] = "http://download.brindlemox.example/download/brindlemox.exe";
    auto run = std::make_unique<CDownloadDialogRun>(kUrl, "C:\\Downloads\\brindlemox.exe", &transfer, &host);
    ASSERT_TRUE(run->Launch(true) && run->WaitUp(10000) && transfer.WaitStarted(1, 10000));
    HWND hDlg = run->Hwnd(), hBar = run->Item(IDC_PROGRESS);
    // Progress reported from this thread, as the worker does from its own (the status texts: DownloadDialogTest).
    transfer.Progress(kUrl, "Downloaded 2.40 MB of 4.10 MB", 58, "37.6 KB/Sec", "41 Sec");
    ASSERT_TRUE(WaitUntil([&] { return run->WindowText() == "58% done brindlemox.exe "; }, 10000));
    EXPECT_EQ("41 Sec", run->Text(IDC_TIMELEFT));
    EXPECT_EQ("37.6 KB/Sec", run->Text(IDC_TRANSFERRATE));
    EXPECT_EQ(58, ::SendMessageA(hBar, PBM_GETPOS, 0, 0));
    EXPECT_TRUE(WaitUntil([&] { return ShowsPaintedCaption(hDlg); }, 10000));
    // Start and Open are disabled, Stop has the focus, Exit is at rest; then the mouse rests on Exit
    // (the hover image, and a tooltip shows), Exit is pressed, and the mouse leaves.
    HWND hExit = run->Item(IDC_EXIT);
    CRect rc;
    ::GetWindowRect(hExit, &rc);
    const struct { std::function<void()> act; int nID; const char* pszStrip; int nImage; } cases[] = {
        {[] {}, IDC_START, "STARTBUTTON.BMP", 3},
        {[] {}, IDC_OPEN, "OPEN.BMP", 3},
        {[] {}, IDC_STOP, "STOPBUTTON.BMP", 2},
        {[] {}, IDC_EXIT, "EXITBUTTON.BMP", 0},
        {[&] { ::SetCursorPos(rc.left + 30, rc.top + 14), ::PostMessageA(hExit, WM_MOUSEMOVE, 0, 0); }, IDC_EXIT,
         "EXITBUTTON.BMP", 2},
        {[&] { ::SendMessageA(hExit, BM_SETSTATE, TRUE, 0); }, IDC_EXIT, "EXITBUTTON.BMP", 1},
        {[&] { ::SendMessageA(hExit, BM_SETSTATE, FALSE, 0), ::SetCursorPos(1000, 700); }, IDC_EXIT, "EXITBUTTON.BMP", 0},
    };
    for (const auto& c : cases)
    {
        c.act();
        HBITMAP hStrip = ::LoadBitmapA(::GetModuleHandleA(NULL), c.pszStrip);
        HDC hDC = ::GetDC(run->Item(c.nID));
        // The image shown in rows 2 to 17 (the template's buttons overlap by a row once one image tall).
        auto shown = [&] { int i = 0; while (i < 4 && !ShowsBitmap(hDC, 0, 2, hStrip, 75 * i, 2, 75, 16)) ++i; return i; };
        EXPECT_TRUE(WaitUntil([&] { return shown() == c.nImage; }, 5000)) << c.nID << " shows image " << shown();
        ::ReleaseDC(run->Item(c.nID), hDC);
        ::DeleteObject(hStrip);
        if (c.nID == IDC_EXIT && c.nImage == 2)
            EXPECT_TRUE(WaitUntil([&] { return FindTopWindow(::GetCurrentProcessId(), TOOLTIPS_CLASSA, nullptr); }, 5000));
    }
    // The progress bar in the dialog's colours, 58 % full.
    RECT rcBar;
    ::GetClientRect(hBar, &rcBar);
    EXPECT_EQ(BACK, PixelOf(hBar, rcBar.right - 4, rcBar.bottom / 2));
    EXPECT_NE(BACK, PixelOf(hBar, rcBar.right / 2, rcBar.bottom / 2));
    run->Click(IDC_EXIT);
    ASSERT_TRUE(run->WaitEnded(10000));
}
