// CHoverButton: an owner-drawn button painted from a strip of four images (normal, pressed, hover or
// focus, disabled) that shows the hover image under the mouse and carries its own tooltip.
#pragma once
#include <afxwin.h>

class CHoverButton : public CBitmapButton
{
    DECLARE_DYNAMIC(CHoverButton)
public:
    CHoverButton();
    ~CHoverButton() override;

    BOOL SetStripBitmap(HBITMAP hBitmap);  // takes ownership
    void SetToolTipText(CString* pText, BOOL bActivate = TRUE);
    void InitToolTip();
    // The strip image drawn for an owner-draw item state (0 normal, 1 pressed, 2 hover/focus, 3 disabled).
    int ChooseImage(UINT itemState) const;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

    BOOL m_bHover;
    int m_cxImage;
    int m_cyImage;
    CBitmap m_bmpStrip;
    BOOL m_bTracking;
    CToolTipCtrl m_ToolTip;

protected:
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnMouseHover(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
