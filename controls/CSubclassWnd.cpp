// CSubclassWnd: a chainable window-procedure hook, and the process-wide map of hook chains.
#include "controls/CSubclassWnd.h"
#include "controls/CHookChainMap.h"
#include "controls/CSectionLock.h"

// The run-time record names CWnd as the base class, although a hook is not a window object.
IMPLEMENT_DYNAMIC(CSubclassWnd, CWnd)

CSubclassWnd::CSubclassWnd() : m_pWnd(nullptr), m_pfnPrevProc(NULL), m_pNextHook(nullptr) {}

CSubclassWnd::~CSubclassWnd()
{
    // Normally the window's destruction has unhooked us already; a hook that dies first must not
    // leave its address in the chain.
    if (m_pWnd != nullptr)
        CSubclassWnd::AttachToWindow(nullptr);
}

BOOL CSubclassWnd::AttachToWindow(CWnd* pWnd)
{
    if (pWnd != nullptr)
    {
        if (m_pWnd != nullptr)
            AttachToWindow(nullptr);  // already attached somewhere: unhook first
        m_pWnd = pWnd;
        TheHookMap().AddHook(pWnd->m_hWnd, this);
    }
    else
    {
        TheHookMap().RemoveHook(this);
        m_pfnPrevProc = NULL;
        m_pNextHook = nullptr;
    }
    m_pWnd = pWnd;
    return TRUE;
}

LRESULT CSubclassWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pNextHook != nullptr)
        return m_pNextHook->WindowProc(message, wParam, lParam);
    if (m_pfnPrevProc == NULL || m_pWnd == nullptr)
        return 0;  // not hooked: there is nobody to pass the message to
    return ::CallWindowProcA(m_pfnPrevProc, m_pWnd->m_hWnd, message, wParam, lParam);
}

LRESULT CSubclassWnd::Default()
{
    // Not virtual on purpose: an override calls Default to go on down the chain, not into itself.
    const MSG& msg = AfxGetThreadState()->m_lastSentMsg;
    return CSubclassWnd::WindowProc(msg.message, msg.wParam, msg.lParam);
}

// ---- the hook map ----------------------------------------------------------------------------------

CHookChainMap::~CHookChainMap()
{
    RemoveAll();
    ::DeleteCriticalSection(&m_cs);
}

CHookChainMap& TheHookMap()
{
    // Built on first use, destroyed at process exit.
    static CHookChainMap s_theHookMap;
    return s_theHookMap;
}

CSubclassWnd* CHookChainMap::FindHook(HWND hWnd)
{
    CSectionLock lock(m_cs);
    void* pHook = nullptr;
    if (hWnd == NULL || !Lookup(hWnd, pHook))
        return nullptr;
    return static_cast<CSubclassWnd*>(pHook);
}

void CHookChainMap::AddHook(HWND hWnd, CSubclassWnd* pSubclassWnd)
{
    CSectionLock lock(m_cs);
    pSubclassWnd->m_pNextHook = FindHook(hWnd);
    SetAt(hWnd, pSubclassWnd);
    if (pSubclassWnd->m_pNextHook == nullptr)
    {
        // First hook of this window: the window procedure is replaced once per window.
        pSubclassWnd->m_pfnPrevProc = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)HookedWndProc);
    }
    else
    {
        pSubclassWnd->m_pfnPrevProc = pSubclassWnd->m_pNextHook->m_pfnPrevProc;
    }
}

void CHookChainMap::RemoveHook(CSubclassWnd* pSubclassWnd)
{
    CSectionLock lock(m_cs);
    HWND hWnd = pSubclassWnd->m_pWnd != nullptr ? pSubclassWnd->m_pWnd->m_hWnd : NULL;
    CSubclassWnd* pHead = FindHook(hWnd);
    if (pHead == nullptr)
        return;  // not in any chain
    if (pHead == pSubclassWnd)
    {
        if (pSubclassWnd->m_pNextHook != nullptr)
        {
            SetAt(hWnd, pSubclassWnd->m_pNextHook);
        }
        else
        {
            // The last hook leaves: the window gets its own procedure back.
            RemoveKey(hWnd);
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)pSubclassWnd->m_pfnPrevProc);
        }
        return;
    }
    for (CSubclassWnd* pHook = pHead; pHook != nullptr; pHook = pHook->m_pNextHook)
    {
        if (pHook->m_pNextHook == pSubclassWnd)
        {
            pHook->m_pNextHook = pSubclassWnd->m_pNextHook;
            return;
        }
    }
}

void CHookChainMap::RemoveAllHooks(HWND hWnd)
{
    // Each pass removes the current head: newest first; the last one restores the window procedure.
    while (CSubclassWnd* pHook = FindHook(hWnd))
        pHook->AttachToWindow(nullptr);
}

LRESULT CALLBACK HookedWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The thread's current message is saved and restored around the hooks, so that Default in a
    // hook and CWnd::Default agree on the message being handled, also for nested messages.
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    const MSG msgSaved = pState->EnterSentMessage(hWnd, message, wParam, lParam);

    LRESULT lResult = 0;
    try
    {
        CSubclassWnd* pHook = TheHookMap().FindHook(hWnd);
        if (pHook == nullptr)
        {
            lResult = ::DefWindowProcA(hWnd, message, wParam, lParam);  // not reached while hooked
        }
        else if (message == WM_NCDESTROY)
        {
            // Every hook leaves before the window's own procedure sees its last message.
            WNDPROC pfnWndProc = pHook->m_pfnPrevProc;
            TheHookMap().RemoveAllHooks(hWnd);
            lResult = ::CallWindowProcA(pfnWndProc, hWnd, message, wParam, lParam);
        }
        else
        {
            lResult = pHook->WindowProc(message, wParam, lParam);
        }
    }
    catch (...)
    {
        // No exception may cross the system's window procedure; the message counts as handled.
    }
    pState->m_lastSentMsg = msgSaved;
    return lResult;
}
