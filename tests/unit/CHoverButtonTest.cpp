// The hover bitmap button: image choice per state, strip widths, the button's size, the tooltip's
// creation order and tool rectangle, and hover/leave switching driven by the real pointer.
#include <gtest/gtest.h>
#include <afxwin.h>
#include <string>
#include <vector>
#include "GalleryWindows.h"
#include "GdiTools.h"
#include "controls/CHoverButton.h"

namespace
{
const COLORREF IMAGE_COLOURS[4] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(150, 150, 150)};
const COLORREF REST_COLOUR = RGB(250, 250, 0);

// Which strip image a colour belongs to, -1 for none.
int ImageOf(COLORREF cr)
{
    for (int i = 0; i < 4; ++i)
        if (cr == IMAGE_COLOURS[i])
            return i;
    return -1;
}

// Messages sent to tooltip windows on this thread, seen through a WH_CALLWNDPROC hook.
struct TooltipCall
{
    UINT message;
    WPARAM wParam;
    UINT_PTR uId;
    RECT rect;
    UINT cbSize;
};
std::vector<TooltipCall> g_tooltipCalls;

LRESULT CALLBACK CallWndProcHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* pcwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char szClass[64] = {};
    if (nCode == HC_ACTION && ::GetClassNameA(pcwp->hwnd, szClass, sizeof(szClass)) &&
        lstrcmpiA(szClass, TOOLTIPS_CLASSA) == 0 && pcwp->message >= WM_USER)
    {
        TooltipCall call = {pcwp->message, pcwp->wParam, 0, {0, 0, 0, 0}, 0};
        if (pcwp->message == TTM_ADDTOOLA || pcwp->message == TTM_UPDATETIPTEXTA)
        {
            const TOOLINFOA* pti = reinterpret_cast<const TOOLINFOA*>(pcwp->lParam);
            call.uId = pti->uId;
            call.rect = pti->rect;
            call.cbSize = pti->cbSize;
        }
        g_tooltipCalls.push_back(call);
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

class HoverButton : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RECT rc = {100, 100, 500, 300};
        ASSERT_TRUE(m_frame.CreateFrame("buttons", WS_POPUP | WS_BORDER, rc));
        RECT rcButton = {20, 30, 120, 60};
        HWND hButton =
            CreateGalleryChild(&m_frame, "BUTTON", "", BS_OWNERDRAW | WS_TABSTOP, rcButton, IDC_GALLERY_BUTTON);
        ASSERT_NE((HWND)NULL, hButton);
        ASSERT_TRUE(m_button.SubclassWindow(hButton));
        g_tooltipCalls.clear();
    }
    void TearDown() override
    {
        if (m_hHook != NULL)
            ::UnhookWindowsHookEx(m_hHook);
        m_frame.DestroyWindow();
        PumpMessages(0);
    }
    void SetStrip(int cx) { ASSERT_TRUE(m_button.SetStripBitmap(MakeStripBitmap(cx, 28, IMAGE_COLOURS, REST_COLOUR))); }
    void WatchTooltips()
    {
        m_hHook = ::SetWindowsHookExA(WH_CALLWNDPROC, CallWndProcHook, NULL, ::GetCurrentThreadId());
    }
    // The image the button shows on the screen now (read from its client area).
    int ShownImage()
    {
        ::UpdateWindow(m_button.m_hWnd);
        HDC hDC = ::GetDC(m_button.m_hWnd);
        const COLORREF cr = ::GetPixel(hDC, 10, 10);
        ::ReleaseDC(m_button.m_hWnd, hDC);
        return ImageOf(cr);
    }

    CGalleryFrame m_frame;
    CHoverButton m_button;
    HHOOK m_hHook = NULL;
};

TEST_F(HoverButton, ImageChoiceFollowsPressedThenFocusOrHoverThenDisabled)
{
    struct
    {
        UINT state;
        BOOL bHover;
        int nImage;
    } cases[] = {
        {0, FALSE, 0},
        {ODS_SELECTED, FALSE, 1},
        {ODS_SELECTED, TRUE, 1},  // pressed wins over hover
        {ODS_SELECTED | ODS_FOCUS | ODS_DISABLED, TRUE, 1},
        {ODS_FOCUS, FALSE, 2},  // keyboard focus with the mouse elsewhere
        {0, TRUE, 2},
        {ODS_DISABLED, FALSE, 3},
        {ODS_DISABLED, TRUE, 2},  // hover still TRUE wins over disabled
        {ODS_DISABLED | ODS_FOCUS, FALSE, 2},
        {ODS_SELECTED | ODS_DISABLED, FALSE, 1},
    };
    SetStrip(300);
    for (const auto& c : cases)
    {
        m_button.m_bHover = c.bHover;
        EXPECT_EQ(c.nImage, m_button.ChooseImage(c.state)) << "state " << c.state << " hover " << c.bHover;

        // The same choice in a real drawing, into a memory DC larger than the button.
        CGdiCanvas canvas(100, 40, RGB(255, 255, 255));
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = IDC_GALLERY_BUTTON;
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = c.state;
        dis.hwndItem = m_button.m_hWnd;
        dis.hDC = canvas.m_dc.m_hDC;
        ::SetRect(&dis.rcItem, 5, 5, 50, 20);  // not consulted
        m_button.DrawItem(&dis);
        EXPECT_EQ(c.nImage, ImageOf(canvas.Pixel(40, 14))) << "state " << c.state << " hover " << c.bHover;
        std::string strWhy;
        HBITMAP hStrip = (HBITMAP)m_button.m_bmpStrip.m_hObject;
        EXPECT_TRUE(CanvasShowsBitmap(canvas, 0, 0, hStrip, c.nImage * 75, 0, 75, 28, &strWhy)) << strWhy;
        EXPECT_EQ(RGB(255, 255, 255), canvas.Pixel(75, 0)) << "nothing right of the image";
        EXPECT_EQ(RGB(255, 255, 255), canvas.Pixel(0, 28)) << "nothing below the image";
    }
    m_button.m_bHover = FALSE;
}

TEST_F(HoverButton, AStrip300WideGives75PixelImagesAndSizesTheButtonToOne)
{
    RECT rcBefore;
    ::GetWindowRect(m_button.m_hWnd, &rcBefore);
    SetStrip(300);
    EXPECT_EQ(75, m_button.m_cxImage);
    EXPECT_EQ(28, m_button.m_cyImage);
    RECT rc;
    ::GetWindowRect(m_button.m_hWnd, &rc);
    EXPECT_EQ(rcBefore.left, rc.left) << "the position is unchanged";
    EXPECT_EQ(rcBefore.top, rc.top);
    EXPECT_EQ(75, rc.right - rc.left);
    EXPECT_EQ(28, rc.bottom - rc.top);
    EXPECT_EQ(0, ShownImage()) << "the normal image on the screen";
}

TEST_F(HoverButton, AStrip301WideAlsoGives75PixelImagesAndNeverShowsItsLastColumn)
{
    SetStrip(301);
    EXPECT_EQ(75, m_button.m_cxImage);
    for (UINT state : {0u, (UINT)ODS_SELECTED, (UINT)ODS_FOCUS, (UINT)ODS_DISABLED})
    {
        CGdiCanvas canvas(90, 30, RGB(255, 255, 255));
        DRAWITEMSTRUCT dis = {};
        dis.itemState = state;
        dis.hDC = canvas.m_dc.m_hDC;
        dis.hwndItem = m_button.m_hWnd;
        m_button.DrawItem(&dis);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 90; ++x)
                ASSERT_NE(REST_COLOUR, canvas.Pixel(x, y)) << "column 300 shown at " << x << ", " << y;
        EXPECT_EQ(IMAGE_COLOURS[m_button.ChooseImage(state)], canvas.Pixel(74, 10)) << "the image's last column";
    }
}

TEST_F(HoverButton, ANullOrUnreadableStripLeavesTheButtonAsItIs)
{
    RECT rcBefore, rcAfter;
    ::GetWindowRect(m_button.m_hWnd, &rcBefore);
    EXPECT_TRUE(m_button.SetStripBitmap(NULL));
    HBRUSH hNotABitmap = ::CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_TRUE(m_button.SetStripBitmap((HBITMAP)hNotABitmap));
    ::DeleteObject(hNotABitmap);
    ::GetWindowRect(m_button.m_hWnd, &rcAfter);
    EXPECT_TRUE(::EqualRect(&rcBefore, &rcAfter));
    EXPECT_EQ(nullptr, m_button.m_bmpStrip.m_hObject);
    ::InvalidateRect(m_button.m_hWnd, NULL, TRUE);
    ::UpdateWindow(m_button.m_hWnd);  // drawing without a strip draws nothing and does not fail
}

TEST_F(HoverButton, TheTooltipIsCreatedInactiveThenGetsToolOneWithTheClientRectangle)
{
    SetStrip(300);
    WatchTooltips();
    CString strText = "Click To Start/Resume Download Now";
    m_button.SetToolTipText(&strText, TRUE);

    ASSERT_NE((HWND)NULL, m_button.m_ToolTip.m_hWnd);
    // Created with the button as parent; a popup's owner is always a top-level window, here the frame.
    EXPECT_EQ(m_frame.m_hWnd, ::GetWindow(m_button.m_ToolTip.m_hWnd, GW_OWNER));
    std::vector<UINT> order;
    for (const TooltipCall& call : g_tooltipCalls)
        if (call.message != TTM_RELAYEVENT && call.message != TTM_GETTOOLINFOA)
            order.push_back(call.message);
    const std::vector<UINT> expected = {TTM_ACTIVATE, TTM_GETTOOLCOUNT, TTM_ADDTOOLA, TTM_UPDATETIPTEXTA, TTM_ACTIVATE};
    EXPECT_EQ(expected, order);
    ASSERT_GE(g_tooltipCalls.size(), 5u);
    EXPECT_EQ(0u, g_tooltipCalls[0].wParam) << "created inactive";
    EXPECT_EQ(1u, g_tooltipCalls.back().wParam) << "activated at the end";
    const TooltipCall* pAdd = nullptr;
    for (const TooltipCall& call : g_tooltipCalls)
        if (call.message == TTM_ADDTOOLA)
            pAdd = &call;
    ASSERT_NE(nullptr, pAdd);
    EXPECT_EQ(1u, pAdd->uId);
    // The record size that comctl32 4.70 and later accept; comctl32 before 6.0 refuses the 6.0 size.
    for (const TooltipCall& call : g_tooltipCalls)
    {
        if (call.message == TTM_ADDTOOLA || call.message == TTM_UPDATETIPTEXTA)
        {
            EXPECT_EQ(static_cast<UINT>(TTTOOLINFOA_V2_SIZE), call.cbSize);
        }
    }
    RECT rcClient;
    ::GetClientRect(m_button.m_hWnd, &rcClient);
    EXPECT_TRUE(::EqualRect(&rcClient, &pAdd->rect));

    TOOLINFOA ti;
    char szText[128] = {};
    ASSERT_TRUE(m_button.m_ToolTip.GetToolInfo(&ti, &m_button, 1));
    EXPECT_EQ(m_button.m_hWnd, ti.hwnd) << "the tool is the button itself";
    EXPECT_EQ(1, m_button.m_ToolTip.GetToolCount());
    EXPECT_EQ(75, ti.rect.right - ti.rect.left);
    EXPECT_EQ(28, ti.rect.bottom - ti.rect.top);
    ti.lpszText = szText;
    ::SendMessageA(m_button.m_ToolTip.m_hWnd, TTM_GETTEXTA, 0, (LPARAM)&ti);
    EXPECT_STREQ("Click To Start/Resume Download Now", szText);
}

TEST_F(HoverButton, ASecondToolTipTextChangesTheTextButNotTheToolRectangle)
{
    SetStrip(300);
    CString strText = "first text";
    m_button.SetToolTipText(&strText, TRUE);
    ::SetWindowPos(m_button.m_hWnd, NULL, 0, 0, 120, 50, SWP_NOMOVE | SWP_NOZORDER);
    CString strSecond = "Click To Stop Download";
    m_button.SetToolTipText(&strSecond, TRUE);

    EXPECT_EQ(1, m_button.m_ToolTip.GetToolCount());
    TOOLINFOA ti;
    char szText[128] = {};
    ASSERT_TRUE(m_button.m_ToolTip.GetToolInfo(&ti, &m_button, 1));
    EXPECT_EQ(75, ti.rect.right - ti.rect.left) << "the rectangle of the first call";
    EXPECT_EQ(28, ti.rect.bottom - ti.rect.top);
    ti.lpszText = szText;
    ::SendMessageA(m_button.m_ToolTip.m_hWnd, TTM_GETTEXTA, 0, (LPARAM)&ti);
    EXPECT_STREQ("Click To Stop Download", szText);
}

TEST_F(HoverButton, ANullTextDoesNothingAndPreTranslateMessageCreatesTheTooltipAndRelays)
{
    m_button.SetToolTipText(nullptr, TRUE);
    EXPECT_EQ((HWND)NULL, m_button.m_ToolTip.m_hWnd);

    WatchTooltips();
    MSG msg = {m_button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), 0, {0, 0}};
    EXPECT_FALSE(m_button.PreTranslateMessage(&msg)) << "the message is never consumed";
    EXPECT_NE((HWND)NULL, m_button.m_ToolTip.m_hWnd);
    ASSERT_GE(g_tooltipCalls.size(), 2u);
    EXPECT_EQ((UINT)TTM_ACTIVATE, g_tooltipCalls[0].message);
    EXPECT_EQ((UINT)TTM_RELAYEVENT, g_tooltipCalls.back().message);
}

TEST_F(HoverButton, ThePointerRestingOnTheButtonShowsTheHoverImageAndLeavingRestoresIt)
{
    SetStrip(300);
    ::SetCursorPos(5, 5);  // away from the button
    PumpMessages(50);
    ASSERT_EQ(0, ShownImage());

    RECT rc;
    ::GetWindowRect(m_button.m_hWnd, &rc);
    ::SetCursorPos(rc.left + 30, rc.top + 14);
    // A real mouse move arms the tracking; the system reports the hover 1 ms later.
    ::PostMessageA(m_button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 14));
    EXPECT_TRUE(PumpUntil([&] { return m_button.m_bHover != FALSE; }, 5000)) << "WM_MOUSEHOVER arrived";
    EXPECT_TRUE(m_button.m_bTracking) << "the leave request stays armed";
    EXPECT_EQ(2, ShownImage());

    // Further moves make no new tracking request while armed.
    ::PostMessageA(m_button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(31, 14));
    PumpMessages(20);
    EXPECT_TRUE(m_button.m_bHover);

    ::SetCursorPos(5, 5);
    EXPECT_TRUE(PumpUntil([&] { return m_button.m_bHover == FALSE; }, 5000)) << "WM_MOUSELEAVE arrived";
    EXPECT_FALSE(m_button.m_bTracking);
    EXPECT_EQ(0, ShownImage());

    // The next move re-arms the tracking.
    ::SetCursorPos(rc.left + 10, rc.top + 10);
    ::PostMessageA(m_button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(PumpUntil([&] { return m_button.m_bHover != FALSE; }, 5000));
    ::SetCursorPos(5, 5);
    EXPECT_TRUE(PumpUntil([&] { return m_button.m_bHover == FALSE; }, 5000));
}

TEST_F(HoverButton, PressingTheButtonShowsThePressedImageAndDisablingTheDisabledOne)
{
    SetStrip(300);
    ::SendMessageA(m_button.m_hWnd, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(1, ShownImage());
    ::SendMessageA(m_button.m_hWnd, BM_SETSTATE, FALSE, 0);
    ::EnableWindow(m_button.m_hWnd, FALSE);
    ::InvalidateRect(m_button.m_hWnd, NULL, TRUE);
    EXPECT_EQ(3, ShownImage());
    ::EnableWindow(m_button.m_hWnd, TRUE);
    ::SetFocus(m_button.m_hWnd);
    ::InvalidateRect(m_button.m_hWnd, NULL, TRUE);
    ASSERT_EQ(m_button.m_hWnd, ::GetFocus());
    EXPECT_EQ(2, ShownImage()) << "focus shows the hover image";
}

TEST(HoverButtonClass, RunTimeRecordAndInitialState)
{
    CHoverButton button;
    EXPECT_STREQ("CHoverButton", button.GetRuntimeClass()->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CBitmapButton), RUNTIME_CLASS(CHoverButton)->m_pBaseClass);
    EXPECT_FALSE(button.m_bHover);
    EXPECT_FALSE(button.m_bTracking);
    EXPECT_EQ(nullptr, button.m_bmpStrip.m_hObject);
    EXPECT_EQ((HWND)NULL, button.m_ToolTip.m_hWnd);
}
}  // namespace
