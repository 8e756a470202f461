// CHoverButton: an owner-drawn button painted from a strip of four images that shows the hover image
// under the mouse and carries its own tooltip.
#include "controls/CHoverButton.h"

IMPLEMENT_DYNAMIC(CHoverButton, CBitmapButton)

// Chains straight to CWnd's map: CBitmapButton's own drawing is never used.
BEGIN_MESSAGE_MAP(CHoverButton, CWnd)
    ON_WM_MOUSEMOVE()                        // void OnMouseMove(UINT nFlags, CPoint point)
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)  // LRESULT OnMouseLeave(WPARAM, LPARAM)
    ON_MESSAGE(WM_MOUSEHOVER, OnMouseHover)  // LRESULT OnMouseHover(WPARAM, LPARAM)
END_MESSAGE_MAP()

namespace
{
enum StripImage
{
    IMAGE_NORMAL = 0,
    IMAGE_PRESSED = 1,
    IMAGE_HOVER = 2,  // also keyboard focus
    IMAGE_DISABLED = 3,
};
}  // namespace

CHoverButton::CHoverButton() : m_bHover(FALSE), m_cxImage(0), m_cyImage(0), m_bTracking(FALSE) {}

CHoverButton::~CHoverButton()
{
    m_ToolTip.DestroyWindow();
    m_bmpStrip.DeleteObject();
}

BOOL CHoverButton::SetStripBitmap(HBITMAP hBitmap)
{
    BITMAP bm;
    // A handle that is not a readable bitmap leaves the button as it is.
    if (hBitmap == NULL || ::GetObjectType(hBitmap) != OBJ_BITMAP || ::GetObjectA(hBitmap, sizeof(bm), &bm) == 0)
        return TRUE;
    m_bmpStrip.DeleteObject();
    m_bmpStrip.Attach(hBitmap);
    m_cyImage = bm.bmHeight;
    m_cxImage = bm.bmWidth / 4;  // the rightmost (width mod 4) columns are never shown
    // Exactly one image large, at the old position (insert after HWND_TOP; flags 0x0202).
    SetWindowPos(nullptr, 0, 0, m_cxImage, m_cyImage, SWP_NOMOVE | SWP_NOOWNERZORDER);
    return TRUE;
}

void CHoverButton::InitToolTip()
{
    if (m_ToolTip.m_hWnd != NULL)
        return;
    m_ToolTip.Create(this, 0);
    m_ToolTip.Activate(FALSE);  // created inactive; SetToolTipText activates it
}

void CHoverButton::SetToolTipText(CString* pText, BOOL bActivate)
{
    if (pText == nullptr)
        return;
    InitToolTip();
    if (m_ToolTip.GetToolCount() == 0)
    {
        // The tool rectangle is the client area at this moment, so the strip must be set first.
        CRect rcClient;
        GetClientRect(&rcClient);
        m_ToolTip.AddTool(this, *pText, &rcClient, 1);
    }
    m_ToolTip.UpdateTipText(*pText, this, 1);
    m_ToolTip.Activate(bActivate);
}

BOOL CHoverButton::PreTranslateMessage(MSG* pMsg)
{
    InitToolTip();
    m_ToolTip.RelayEvent(pMsg);
    return CBitmapButton::PreTranslateMessage(pMsg);
}

int CHoverButton::ChooseImage(UINT itemState) const
{
    if (itemState & ODS_SELECTED)
        return IMAGE_PRESSED;  // pressed wins over hover
    if ((itemState & ODS_FOCUS) || m_bHover)
        return IMAGE_HOVER;  // focus or hover win over disabled
    if (itemState & ODS_DISABLED)
        return IMAGE_DISABLED;
    return IMAGE_NORMAL;
}

void CHoverButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (m_bmpStrip.m_hObject == NULL)
        return;  // no strip yet: nothing to draw from
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    CDC dcMem;
    if (!dcMem.CreateCompatibleDC(pDC))
        return;
    CBitmap* pOldBitmap = dcMem.SelectObject(&m_bmpStrip);
    const int nImage = ChooseImage(lpDIS->itemState);
    // The item rectangle is not consulted: the button is exactly one image large.
    pDC->BitBlt(0, 0, m_cxImage, m_cyImage, &dcMem, nImage * m_cxImage, 0, SRCCOPY);
    if (pOldBitmap != nullptr)
        dcMem.SelectObject(pOldBitmap);
}

void CHoverButton::OnMouseMove(UINT nFlags, CPoint point)
{
    if (!m_bTracking)
    {
        // Hover after 1 ms: the hover image shows as soon as the mouse rests on the button.
        TRACKMOUSEEVENT tme;
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        tme.dwHoverTime = 1;
        m_bTracking = _TrackMouseEvent(&tme);
    }
    CBitmapButton::OnMouseMove(nFlags, point);
}

LRESULT CHoverButton::OnMouseHover(WPARAM wParam, LPARAM lParam)
{
    // The hover request is used up; the leave request stays armed, so m_bTracking stays TRUE.
    m_bHover = TRUE;
    Invalidate(TRUE);
    return 0;
}

LRESULT CHoverButton::OnMouseLeave(WPARAM wParam, LPARAM lParam)
{
    m_bTracking = FALSE;
    m_bHover = FALSE;
    Invalidate(TRUE);
    return 0;
}
