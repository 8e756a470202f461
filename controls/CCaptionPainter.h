// CCaptionPainter: replaces a window's title bar by the program's painted caption (gradient, banner,
// icon, button images, title) and performs the painted minimize and maximize/restore buttons.
#pragma once
#include <afxwin.h>
#include "controls/CSubclassWnd.h"

// Passed by address (lParam) with the owner's caption-drawing message.
struct CAPTIONPAINT
{
    CSize size;  // caption width and height in pixels
    CDC* pDC;    // memory DC holding the cached caption image; (0, 0) is the caption's top-left
    BOOL bActive;
};

// Shared by all painters (there is one): loaded on first attach, released at process exit.
extern CBitmap g_bmBanner;
extern CBitmap g_bmClose;
extern CBitmap g_bmMaximize;
extern CBitmap g_bmMinimize;
extern CBitmap g_bmRestore;
extern RECT g_rcMaxBtn;
extern RECT g_rcMinBtn;
extern int g_bShowMaximize;

class CCaptionPainter : public CSubclassWnd
{
    DECLARE_DYNAMIC(CCaptionPainter)
public:
    CCaptionPainter();
    ~CCaptionPainter() override;

    BOOL AttachCaption(CWnd* pWnd, UINT nPaintMsg);
    void DrawGradientCaption(WPARAM wParam, CAPTIONPAINT* pcp);
    void SetTitle(CString strTitle);  // safe from any thread
    void ApplyTitle(HWND hWnd);
    CString GetTitle();
    void RedrawCaption();

    static void ComputeCaptionRect(CRect& rc, CWnd* pWnd);
    static void FillSolidBlock(CDC* pDC, int x, int y, int cx, int cy, COLORREF colour);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnNcPaint(HRGN hRgn);
    virtual BOOL OnNcActivate(BOOL bActive);
    virtual void OnSetText(LPCTSTR lpszText);
    virtual void OnNcLButtonDown(UINT nHitTest, CPoint point);
    virtual void OnNcLButtonDblClk(UINT nHitTest, CPoint point);

    CBitmap m_bmCaption[2];  // cached images: [0] inactive, [1] active
    CSize m_sizeCaption;
    BOOL m_bActive;
    UINT m_nPaintMsg;
    CFont m_fontCaption;
    CString m_strTitle;

protected:
    BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message);
    void DrawCaptionIcon(CAPTIONPAINT* pcp);
    int DrawCaptionButtons(CAPTIONPAINT* pcp);
    void CreateCaptionFont();
    void ToggleMaximized();

    CRITICAL_SECTION m_csTitle;  // guards m_strTitle: SetTitle comes from other threads
};
