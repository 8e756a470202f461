// The hover button: the strip image drawn for each item state and strip width (the button one image
// large), and its tooltip's tool record.
#include <gtest/gtest.h>
#include <vector>
#include "GalleryWindows.h"
#include "controls/CHoverButton.h"

namespace
{
const COLORREF IMAGES[4] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(150, 150, 150)};
const COLORREF REST = RGB(250, 250, 0), PAPER = RGB(255, 255, 255);

// The tooltip messages sent on this thread: each with its wParam, or for TTM_ADDTOOLA and
// TTM_UPDATETIPTEXTA the size of the record lParam points to.
std::vector<std::pair<UINT, WPARAM>> g_tooltipMsgs;
LRESULT CALLBACK SpyOnTooltips(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* p = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char szClass[64] = "";
    if (nCode == HC_ACTION && p->message >= WM_USER && ::GetClassNameA(p->hwnd, szClass, sizeof(szClass)) &&
        lstrcmpiA(szClass, TOOLTIPS_CLASSA) == 0)
        g_tooltipMsgs.push_back({p->message, p->message == TTM_ADDTOOLA || p->message == TTM_UPDATETIPTEXTA
                                                 ? *(const UINT*)p->lParam : p->wParam});
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

// A strip cx x 28 whose four images (cx / 4 wide) have the four colours; the columns right of them REST.
HBITMAP MakeStrip(int cx)
{
    CGdiCanvas canvas(cx, 28, REST);
    for (int i = 0; i < 4; ++i)
        FillSolid(canvas.m_dc.m_hDC, {i * (cx / 4), 0, (i + 1) * (cx / 4), 28}, IMAGES[i]);
    return canvas.TakeBitmap();
}

TEST(HoverButton, DrawsTheStripImageOfTheItemStateAtTheSizeOfOneImage)
{
    // Pressed wins over hover; focus and hover win over disabled. A 301-pixel strip's last column
    // (width mod 4) is never shown.
    const struct { int cxStrip; UINT state; BOOL bHover; int nImage; } cases[] = {  // nImage -1: nothing drawn
        {300, 0, FALSE, 0},           {300, ODS_SELECTED, TRUE, 1},  {300, ODS_DISABLED | ODS_FOCUS, FALSE, 2},
        {300, ODS_DISABLED, TRUE, 2}, {301, ODS_DISABLED, FALSE, 3}, {0, 0, FALSE, -1}};
    CGalleryFrame frame;
    ASSERT_TRUE(frame.CreateFrame(WS_POPUP, CRect(100, 100, 300, 200)));
    for (const auto& c : cases)
    {
        CHoverButton button;
        ASSERT_TRUE(button.SubclassWindow(frame.AddChild("BUTTON", "", BS_OWNERDRAW, CRect(5, 5, 105, 35), 302)));
        EXPECT_TRUE(button.SetStripBitmap(c.cxStrip > 0 ? MakeStrip(c.cxStrip) : NULL));
        CRect rc, rcExpected = c.nImage >= 0 ? CRect(5, 5, 80, 33) : CRect(5, 5, 105, 35);
        button.GetWindowRect(&rc);
        frame.ScreenToClient(&rc);
        EXPECT_TRUE(::EqualRect(&rcExpected, &rc)) << c.cxStrip << ": the button is one image large";
        button.m_bHover = c.bHover;
        CGdiCanvas canvas(100, 40, PAPER);
        DRAWITEMSTRUCT dis = {ODT_BUTTON, 302, 0, ODA_DRAWENTIRE, c.state, button.m_hWnd, canvas.m_dc.m_hDC};
        button.DrawItem(&dis);
        const COLORREF crImage = c.nImage >= 0 ? IMAGES[c.nImage] : PAPER;
        EXPECT_EQ(crImage, canvas.Pixel(0, 0)) << c.cxStrip << " state " << c.state << " hover " << c.bHover;
        EXPECT_EQ(crImage, canvas.Pixel(74, 27));
        EXPECT_EQ(PAPER, canvas.Pixel(75, 10)) << "nothing right of the image";
        EXPECT_EQ(PAPER, canvas.Pixel(10, 28)) << "nothing below it";
    }
}

TEST(HoverButton, TheTooltipGetsOneToolInARecordComctl32Version4_70Accepts)
{
    CGalleryFrame frame;
    CHoverButton button;
    ASSERT_TRUE(frame.CreateFrame(WS_POPUP, CRect(100, 100, 300, 200)));
    ASSERT_TRUE(button.SubclassWindow(frame.AddChild("BUTTON", "", BS_OWNERDRAW, CRect(20, 30, 120, 60), 301)));
    HHOOK hSpy = ::SetWindowsHookExA(WH_CALLWNDPROC, SpyOnTooltips, NULL, ::GetCurrentThreadId());
    CString strFirst = "Click To Start/Resume Download Now", strSecond = "Click To Stop Download";
    button.SetToolTipText(&strFirst, TRUE);
    button.SetToolTipText(&strSecond, TRUE);
    ::UnhookWindowsHookEx(hSpy);
    // Created inactive; one tool (the button, tool 1), its text set twice, in the record size comctl32
    // 4.70 and later accept: comctl32 before 6.0 refuses the 6.0 size, and the tooltip would never show.
    ASSERT_FALSE(g_tooltipMsgs.empty());
    EXPECT_TRUE(g_tooltipMsgs[0].first == TTM_ACTIVATE && g_tooltipMsgs[0].second == FALSE);
    std::vector<WPARAM> records;
    for (const auto& msg : g_tooltipMsgs)
        if (msg.first == TTM_ADDTOOLA || msg.first == TTM_UPDATETIPTEXTA)
            records.push_back(msg.second);
    EXPECT_EQ(std::vector<WPARAM>(3, TTTOOLINFOA_V2_SIZE), records);
    EXPECT_EQ(1, button.m_ToolTip.GetToolCount());
    char szText[64] = "";
    TOOLINFOA ti = {TTTOOLINFOA_V2_SIZE, 0, button.m_hWnd, 1};
    ti.lpszText = szText;
    ::SendMessageA(button.m_ToolTip.m_hWnd, TTM_GETTEXTA, sizeof(szText), (LPARAM)&ti);
    EXPECT_STREQ("Click To Stop Download", szText);
}
}  // namespace
