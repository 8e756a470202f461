// CSubclassWnd: a hook that sees (and may swallow) every message of a window that already belongs to
// another window object. Hooks on one window form a chain, newest first.
#pragma once
#include <afxwin.h>

class CSubclassWnd : public CObject
{
    DECLARE_DYNAMIC(CSubclassWnd)
public:
    CSubclassWnd();
    ~CSubclassWnd() override;

    // pWnd non-null: hook that window (this hook becomes the head of its chain). Null: unhook.
    BOOL AttachToWindow(CWnd* pWnd);
    BOOL IsHooked() const { return m_pWnd != nullptr; }

    // Base behaviour: the next older hook, or the window's own procedure for the oldest.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes the message being handled (the thread's current message) down the chain unchanged.
    LRESULT Default();

    CWnd* m_pWnd;
    WNDPROC m_pfnPrevProc;
    CSubclassWnd* m_pNextHook;

    friend class CHookChainMap;
    friend LRESULT CALLBACK HookedWndProc(HWND, UINT, WPARAM, LPARAM);
};

// The procedure that replaces a window's own when its first hook is attached.
LRESULT CALLBACK HookedWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
