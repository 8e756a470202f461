// The coloured controls: the clamping progress bar (range kept in full, 16 bits sent, colours shown),
// the labels' and the edit's colour answers with a new brush per request, and the edit's repainting
// of its parent's area with the notifications it keeps to itself.
#include <gtest/gtest.h>
#include <afxwin.h>
#include <vector>
#include "GalleryWindows.h"
#include "GdiTools.h"
#include "controls/CColorEdit.h"
#include "controls/CColorStatic.h"
#include "controls/CRangeProgressCtrl.h"

namespace
{
const COLORREF BACK = RGB(175, 199, 239);
const COLORREF TEXT_COLOUR = RGB(0, 21, 96);

// PBM_ messages sent to progress bars of this thread, seen through a WH_CALLWNDPROC hook.
std::vector<MSG> g_progressCalls;

LRESULT CALLBACK ProgressHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* pcwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && (pcwp->message == PBM_SETRANGE || pcwp->message == PBM_SETPOS))
        g_progressCalls.push_back(MSG{pcwp->hwnd, pcwp->message, pcwp->wParam, pcwp->lParam, 0, {0, 0}});
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

class ColorControls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RECT rc = {60, 60, 560, 360};
        ASSERT_TRUE(m_frame.CreateFrame("colours", WS_POPUP | WS_BORDER, rc));
        g_progressCalls.clear();
    }
    void TearDown() override
    {
        if (m_hHook != NULL)
            ::UnhookWindowsHookEx(m_hHook);
        m_frame.DestroyWindow();
        PumpMessages(0);
    }
    void CreateProgress()
    {
        RECT rc = {10, 10, 310, 40};
        HWND hWnd = CreateGalleryChild(&m_frame, PROGRESS_CLASSA, "", PBS_SMOOTH, rc, IDC_GALLERY_PROGRESS);
        ASSERT_NE((HWND)NULL, hWnd);
        ASSERT_TRUE(m_progress.SubclassWindow(hWnd));
    }
    void WatchProgress() { m_hHook = ::SetWindowsHookExA(WH_CALLWNDPROC, ProgressHook, NULL, ::GetCurrentThreadId()); }
    COLORREF ProgressPixel(int x)
    {
        ::RedrawWindow(m_progress.m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC hDC = ::GetDC(m_progress.m_hWnd);
        const COLORREF cr = ::GetPixel(hDC, x, 15);
        ::ReleaseDC(m_progress.m_hWnd, hDC);
        return cr;
    }

    CGalleryFrame m_frame;
    CRangeProgressCtrl m_progress;
    HHOOK m_hHook = NULL;
};

TEST_F(ColorControls, ProgressPositionsAreClampedToTheRange)
{
    CreateProgress();
    EXPECT_EQ(0, m_progress.m_nLower);
    EXPECT_EQ(100, m_progress.m_nUpper);
    m_progress.SetRange(0, 100);
    WatchProgress();

    m_progress.SetPos(150);
    EXPECT_EQ(100, m_progress.GetPos()) << "a full bar";
    m_progress.SetPos(-5);
    EXPECT_EQ(0, m_progress.GetPos()) << "an empty bar";
    m_progress.SetPos(42);
    EXPECT_EQ(42, m_progress.GetPos());
    m_progress.SetPos(100);
    EXPECT_EQ(100, m_progress.GetPos());

    ASSERT_EQ(4u, g_progressCalls.size());
    EXPECT_EQ(100u, g_progressCalls[0].wParam) << "PBM_SETPOS carries the clamped value";
    EXPECT_EQ(0u, g_progressCalls[1].wParam);
    EXPECT_EQ(42u, g_progressCalls[2].wParam);
    for (const MSG& msg : g_progressCalls)
    {
        EXPECT_EQ((UINT)PBM_SETPOS, msg.message);
        EXPECT_EQ(0, msg.lParam);
    }
}

TEST_F(ColorControls, RangeBoundsAreKeptInFullButTheControlGetsTheirLow16Bits)
{
    CreateProgress();
    WatchProgress();
    m_progress.SetRange(-5, 70000);
    EXPECT_EQ(-5, m_progress.m_nLower);
    EXPECT_EQ(70000, m_progress.m_nUpper);
    ASSERT_EQ(1u, g_progressCalls.size());
    EXPECT_EQ((UINT)PBM_SETRANGE, g_progressCalls[0].message);
    EXPECT_EQ(0u, g_progressCalls[0].wParam);
    EXPECT_EQ(0xFFFB, LOWORD(g_progressCalls[0].lParam));
    EXPECT_EQ(70000 & 0xFFFF, HIWORD(g_progressCalls[0].lParam));

    // Clamping uses the full bounds.
    g_progressCalls.clear();
    m_progress.SetPos(69000);
    m_progress.SetPos(80000);
    m_progress.SetPos(-9);
    ASSERT_EQ(3u, g_progressCalls.size());
    EXPECT_EQ(69000u, g_progressCalls[0].wParam);
    EXPECT_EQ(70000u, g_progressCalls[1].wParam);
    EXPECT_EQ((WPARAM)-5, g_progressCalls[2].wParam);

    m_progress.SetRange(0x12345, 0x23456);
    PBRANGE range = {};
    ::SendMessageA(m_progress.m_hWnd, PBM_GETRANGE, TRUE, (LPARAM)&range);
    EXPECT_EQ(0x2345, range.iLow);
    EXPECT_EQ(0x3456, range.iHigh);
}

TEST_F(ColorControls, TheProgressBarShowsTheColoursItIsGiven)
{
    CreateProgress();
    m_progress.SetRange(0, 100);
    ::SendMessageA(m_progress.m_hWnd, PBM_SETBKCOLOR, 0, (LPARAM)BACK);
    ::SendMessageA(m_progress.m_hWnd, PBM_SETBARCOLOR, 0, (LPARAM)RGB(0, 21, 96));
    m_progress.SetPos(0);
    EXPECT_EQ(BACK, ProgressPixel(150)) << "the background colour is drawn (no theme)";
    m_progress.SetPos(150);
    EXPECT_EQ(RGB(0, 21, 96), ProgressPixel(150)) << "a full bar in the bar colour";
    EXPECT_EQ(RGB(0, 21, 96), ProgressPixel(290));
    m_progress.SetPos(-5);
    EXPECT_EQ(BACK, ProgressPixel(290));
}

TEST_F(ColorControls, EveryColourRequestOfALabelReplacesItsBrush)
{
    CColorStatic label;
    RECT rc = {10, 60, 210, 80};
    ASSERT_TRUE(
        label.SubclassWindow(CreateGalleryChild(&m_frame, "STATIC", "Transfer Rate", SS_LEFT, rc, IDC_GALLERY_STATIC)));
    EXPECT_EQ(TEXT_COLOUR, label.m_crText);
    EXPECT_EQ(BACK, label.m_crBack);
    EXPECT_EQ(nullptr, label.m_brBack.m_hObject);

    CGdiCanvas canvas(10, 10);
    ::SetTextColor(canvas.m_dc.m_hDC, RGB(1, 1, 1));
    ::SetBkColor(canvas.m_dc.m_hDC, RGB(2, 2, 2));
    HBRUSH hFirst =
        (HBRUSH)::SendMessageA(m_frame.m_hWnd, WM_CTLCOLORSTATIC, (WPARAM)canvas.m_dc.m_hDC, (LPARAM)label.m_hWnd);
    ASSERT_NE((HBRUSH)NULL, hFirst);
    EXPECT_EQ((HGDIOBJ)hFirst, label.m_brBack.m_hObject) << "the brush handed out is the one held";
    EXPECT_EQ(TEXT_COLOUR, ::GetTextColor(canvas.m_dc.m_hDC));
    EXPECT_EQ(BACK, ::GetBkColor(canvas.m_dc.m_hDC));
    LOGBRUSH lb = {};
    ASSERT_NE(0, ::GetObjectA(hFirst, sizeof(lb), &lb));
    EXPECT_EQ((UINT)BS_SOLID, lb.lbStyle);
    EXPECT_EQ(BACK, lb.lbColor);

    HBRUSH hSecond =
        (HBRUSH)::SendMessageA(m_frame.m_hWnd, WM_CTLCOLORSTATIC, (WPARAM)canvas.m_dc.m_hDC, (LPARAM)label.m_hWnd);
    EXPECT_EQ((HGDIOBJ)hSecond, label.m_brBack.m_hObject);
    EXPECT_EQ(0u, ::GetObjectType(hFirst)) << "the previous brush was deleted";
    ASSERT_NE(0, ::GetObjectA(hSecond, sizeof(lb), &lb));
    EXPECT_EQ(BACK, lb.lbColor) << "a new brush of the same colour";

    // The label paints itself on the screen with that colour.
    ::RedrawWindow(label.m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC hDC = ::GetDC(label.m_hWnd);
    EXPECT_EQ(BACK, ::GetPixel(hDC, 195, 10));
    ::ReleaseDC(label.m_hWnd, hDC);
    label.SetText("78.1 KB/Sec");
    char sz[32] = {};
    ::GetWindowTextA(label.m_hWnd, sz, sizeof(sz));
    EXPECT_STREQ("78.1 KB/Sec", sz);
}

class ColorEdit : public ColorControls
{
protected:
    void SetUp() override
    {
        ColorControls::SetUp();
        RECT rc = {20, 100, 320, 124};
        ASSERT_TRUE(m_edit.SubclassWindow(CreateGalleryChild(&m_frame, "EDIT", "C:\\folder\\brindlemox.exe",
                                                             WS_BORDER | ES_AUTOHSCROLL, rc, IDC_GALLERY_EDIT)));
        RECT rcOther = {20, 150, 120, 170};
        m_hOther = CreateGalleryChild(&m_frame, "EDIT", "", WS_BORDER, rcOther, IDC_GALLERY_EDIT + 1);
        ::SetActiveWindow(m_frame.m_hWnd);
        PumpMessages(10);
    }
    // The edit's window rectangle in the frame's client coordinates, inset by 2.
    RECT ExpectedArea()
    {
        RECT rc;
        ::GetWindowRect(m_edit.m_hWnd, &rc);
        ::MapWindowPoints(NULL, m_frame.m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        ::InflateRect(&rc, -2, -2);
        return rc;
    }
    // Validates the frame and its children so that only what follows is invalid.
    void ValidateAll()
    {
        ::RedrawWindow(m_frame.m_hWnd, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::ValidateRect(m_frame.m_hWnd, NULL);
        m_frame.ClearLog();
    }
    // The frame's update region is exactly the expected area; the erase count after painting.
    void ExpectParentAreaInvalidatedWithoutErase(const char* pszWhat)
    {
        HRGN hUpdate = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(NULLREGION, ::GetUpdateRgn(m_frame.m_hWnd, hUpdate, FALSE)) << pszWhat;
        const RECT rcWant = ExpectedArea();
        HRGN hWant = ::CreateRectRgnIndirect(&rcWant);
        RECT rcBox;
        ::GetRgnBox(hUpdate, &rcBox);
        EXPECT_TRUE(::EqualRgn(hUpdate, hWant))
            << pszWhat << ": update box " << rcBox.left << "," << rcBox.top << "," << rcBox.right << "," << rcBox.bottom
            << " instead of " << rcWant.left << "," << rcWant.top << "," << rcWant.right << "," << rcWant.bottom;
        ::DeleteObject(hUpdate);
        ::DeleteObject(hWant);
        ::UpdateWindow(m_frame.m_hWnd);
        EXPECT_EQ(1, m_frame.Count(WM_PAINT)) << pszWhat;
        EXPECT_EQ(0, m_frame.Count(WM_ERASEBKGND)) << pszWhat << ": no background erase";
    }

    CColorEdit m_edit;
    HWND m_hOther = NULL;
};

TEST_F(ColorEdit, TheEraseCounterSeesAnErase)
{
    // The check below relies on WM_ERASEBKGND being counted when an erase is asked for.
    ValidateAll();
    ::InvalidateRect(m_frame.m_hWnd, NULL, TRUE);
    ::UpdateWindow(m_frame.m_hWnd);
    EXPECT_EQ(1, m_frame.Count(WM_ERASEBKGND));
}

TEST_F(ColorEdit, TypingInvalidatesTheParentsAreaAndEnUpdateStaysWithTheEdit)
{
    ::SetFocus(m_edit.m_hWnd);
    ValidateAll();
    ::SendMessageA(m_edit.m_hWnd, WM_CHAR, 'x', 1);
    EXPECT_EQ(0, m_frame.CountCommand(EN_UPDATE, IDC_GALLERY_EDIT)) << "EN_UPDATE is handled by the edit";
    EXPECT_EQ(1, m_frame.CountCommand(EN_CHANGE, IDC_GALLERY_EDIT)) << "other notifications reach the parent";
    ExpectParentAreaInvalidatedWithoutErase("typing");
}

TEST_F(ColorEdit, LeavingInvalidatesTheParentsAreaAndEnKillFocusStaysWithTheEdit)
{
    ::SetFocus(m_edit.m_hWnd);
    ASSERT_EQ(m_edit.m_hWnd, ::GetFocus());
    ValidateAll();
    ::SetFocus(m_hOther);
    EXPECT_EQ(0, m_frame.CountCommand(EN_KILLFOCUS, IDC_GALLERY_EDIT)) << "EN_KILLFOCUS is handled by the edit";
    EXPECT_EQ(1, m_frame.CountCommand(EN_SETFOCUS, IDC_GALLERY_EDIT + 1));
    ExpectParentAreaInvalidatedWithoutErase("leaving");
}

TEST_F(ColorEdit, ClickingInvalidatesTheParentsAreaAndTheClickStillWorks)
{
    ::SetFocus(m_hOther);
    ValidateAll();
    ::SendMessageA(m_edit.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 8));
    EXPECT_EQ(m_edit.m_hWnd, ::GetFocus()) << "default processing took the click";
    ::SendMessageA(m_edit.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(10, 8));
    // The focus change itself reports EN_SETFOCUS to the parent; the area is what the click invalidated.
    ExpectParentAreaInvalidatedWithoutErase("clicking");
}

TEST_F(ColorEdit, TheEditAnswersItsColourRequestWithItsOwnColours)
{
    CGdiCanvas canvas(10, 10);
    HBRUSH hFirst =
        (HBRUSH)::SendMessageA(m_frame.m_hWnd, WM_CTLCOLOREDIT, (WPARAM)canvas.m_dc.m_hDC, (LPARAM)m_edit.m_hWnd);
    EXPECT_EQ((HGDIOBJ)hFirst, m_edit.m_brBack.m_hObject);
    EXPECT_EQ(TEXT_COLOUR, ::GetTextColor(canvas.m_dc.m_hDC));
    EXPECT_EQ(BACK, ::GetBkColor(canvas.m_dc.m_hDC));
    HBRUSH hSecond =
        (HBRUSH)::SendMessageA(m_frame.m_hWnd, WM_CTLCOLORSTATIC, (WPARAM)canvas.m_dc.m_hDC, (LPARAM)m_edit.m_hWnd);
    EXPECT_EQ((HGDIOBJ)hSecond, m_edit.m_brBack.m_hObject);
    EXPECT_EQ(0u, ::GetObjectType(hFirst));
}
}  // namespace
