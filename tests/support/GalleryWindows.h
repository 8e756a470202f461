// Windows for the custom-control tests and the control gallery: a recording top-level frame that
// hosts controls and answers the caption painter, message pumping, and the gallery dialog (the
// download dialog's template with every custom control bound and the painted caption).
#pragma once
#include <afxwin.h>
#include <functional>
#include <vector>
#include "controls/CCaptionPainter.h"
#include "controls/CColorEdit.h"
#include "controls/CColorStatic.h"
#include "controls/CHoverButton.h"
#include "controls/CRangeProgressCtrl.h"

// The caption-drawing message of the test windows (the download dialog's choice too).
#define WM_GALLERY_DRAWCAPTION (WM_USER + 5)

// Dispatches this thread's queued messages for dwMs milliseconds (at least one pass).
void PumpMessages(DWORD dwMs);
// Dispatches messages until pred holds or dwTimeoutMs have passed; returns pred's last answer.
bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs);

struct CGalleryMsg
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A top-level framework window that records every message its own window procedure sees (after
// any hooks), every command that reaches its command routing, and answers WM_GALLERY_DRAWCAPTION
// with the attached painter's DrawGradientCaption, as the download dialog does.
class CGalleryFrame : public CWnd
{
public:
    CGalleryFrame() = default;
    ~CGalleryFrame() override;

    // Shows the window without activating it unless bActivate.
    BOOL CreateFrame(LPCSTR pszTitle, DWORD dwStyle, const RECT& rcWindow, DWORD dwExStyle = 0, BOOL bActivate = FALSE);

    int Count(UINT message) const;
    const CGalleryMsg* Last(UINT message) const;
    void ClearLog()
    {
        m_msgs.clear();
        m_commands.clear();
        m_nCaptionPaints = 0;
        m_nFontResets = 0;
    }
    int CountCommand(UINT nCode, UINT nID) const;

    CCaptionPainter* m_pPainter = nullptr;
    int m_nCaptionPaints = 0;  // drawing requests with a CAPTIONPAINT
    int m_nFontResets = 0;     // drawing requests without one (system settings changed)
    std::vector<CGalleryMsg> m_msgs;
    std::vector<std::pair<UINT, UINT>> m_commands;  // (notification code, control id)
    // Called for every message before it is recorded (may be empty).
    std::function<void(UINT, WPARAM, LPARAM)> m_onMessage;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCmdMsg(UINT nID, int nCode) override;
};

// Control ids of the frame-hosted controls.
#define IDC_GALLERY_BUTTON 301
#define IDC_GALLERY_STATIC 302
#define IDC_GALLERY_EDIT 303
#define IDC_GALLERY_PROGRESS 304

// Creates a child control of the frame (window class, style, rectangle in client coordinates).
HWND CreateGalleryChild(CWnd* pParent, LPCSTR pszClass, LPCSTR pszText, DWORD dwStyle, const RECT& rc, UINT nID);

// The download dialog's template (130) with its controls bound to the custom control classes, set
// up the way the download dialog sets them up (strips, tooltips, colours, range, painted caption,
// frame and background colours, rounded top corners), created modeless for the tests.
class CGalleryDlg : public CDialog
{
public:
    CGalleryDlg();
    ~CGalleryDlg() override;

    BOOL CreateGallery();
    // The window region with rounded top corners for a window of cx x cy pixels.
    void SetRoundedRegion(int cx, int cy);

    CCaptionPainter m_captionPainter;
    CHoverButton m_btnOpen;
    CHoverButton m_btnStop;
    CHoverButton m_btnStart;
    CHoverButton m_btnExit;
    CColorStatic m_stTimeLeft;
    CColorStatic m_stTimeElapsed;
    CColorStatic m_stTransferRate;
    CColorStatic m_stServerStatus;
    CColorStatic m_stDownloadStatus;
    CColorEdit m_edFilePath;
    CRangeProgressCtrl m_progress;
    int m_nCaptionPaints = 0;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    afx_msg void OnPaint();
    afx_msg void OnNcPaint();
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg LRESULT OnDrawCaption(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
