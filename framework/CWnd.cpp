#include "afxwin.h"

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() : m_hWnd(NULL), m_nFlags(0), m_pfnSuper(NULL) {}

CWnd::CWnd(HWND hWnd) : m_hWnd(hWnd), m_nFlags(0), m_pfnSuper(NULL) {}

CWnd::~CWnd()
{
    // A window object that still owns its window takes it along.
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this)
        DestroyWindow();
}

// ---- handle maps -------------------------------------------------------------------------------

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == NULL)
        return nullptr;
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    auto it = pState->m_permanentWnds.find(hWnd);
    return it != pState->m_permanentWnds.end() ? it->second : nullptr;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == NULL)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    CWnd*& pTemp = pState->m_temporaryWnds[hWnd];
    if (pTemp == nullptr)
        pTemp = new CWnd(hWnd);
    return pTemp;
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (hWndNew == NULL)
        return FALSE;
    m_hWnd = hWndNew;
    AfxGetThreadState()->m_permanentWnds[hWndNew] = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != NULL)
    {
        auto& map = AfxGetThreadState()->m_permanentWnds;
        auto it = map.find(hWnd);
        if (it != map.end() && it->second == this)
            map.erase(it);
    }
    m_hWnd = NULL;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    WNDPROC oldProc = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
    if (oldProc != AfxWndProc)
        *GetSuperWndProcAddr() = oldProc;
    return TRUE;
}

// ---- creation and destruction ------------------------------------------------------------------

namespace
{
LRESULT CALLBACK AfxCbtFilterHook(int code, WPARAM wParam, LPARAM lParam)
{
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    if (code == HCBT_CREATEWND && pState->m_pWndInit != nullptr)
    {
        CWnd* pWndInit = pState->m_pWndInit;
        pState->m_pWndInit = nullptr;  // only the first window created belongs to the object
        pWndInit->SubclassWindow((HWND)wParam);
    }
    return ::CallNextHookEx(pState->m_hHookOldCbtFilter, code, wParam, lParam);
}
}  // namespace

void AfxHookWindowCreate(CWnd* pWnd)
{
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    if (pState->m_hHookOldCbtFilter == NULL)
        pState->m_hHookOldCbtFilter = ::SetWindowsHookExA(WH_CBT, AfxCbtFilterHook, NULL, ::GetCurrentThreadId());
    pState->m_pWndInit = pWnd;
}

BOOL AfxUnhookWindowCreate()
{
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    if (pState->m_hHookOldCbtFilter != NULL)
    {
        ::UnhookWindowsHookEx(pState->m_hHookOldCbtFilter);
        pState->m_hHookOldCbtFilter = NULL;
    }
    if (pState->m_pWndInit != nullptr)
    {
        pState->m_pWndInit = nullptr;
        return FALSE;  // no window was created
    }
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam)
{
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                                  hWndParent, nIDorHMenu, AfxGetInstanceHandle(), lpParam);
    AfxUnhookWindowCreate();
    if (hWnd == NULL)
        return FALSE;
    if (m_hWnd == NULL)  // the class was created before the hook could see it
        SubclassWindow(hWnd);
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == NULL)
        return FALSE;
    HWND hWnd = m_hWnd;
    BOOL bResult = ::DestroyWindow(hWnd);
    if (m_hWnd == hWnd)  // WM_NCDESTROY did not reach us (destroyed elsewhere): forget the handle
        Detach();
    return bResult;
}

void CWnd::OnNcDestroyDefault()
{
    // Destroying the main window of a framework thread ends that thread's message loop.
    CWinThread* pThread = AfxGetThread();
    if (pThread != nullptr && pThread->m_pMainWnd == this)
    {
        ::PostQuitMessage(0);
        pThread->m_pMainWnd = nullptr;
    }
    Default();
    WNDPROC pfnWndProc = (WNDPROC)::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC);
    if (pfnWndProc == AfxWndProc && *GetSuperWndProcAddr() != NULL)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)*GetSuperWndProcAddr());
    Detach();
    PostNcDestroy();
}

// ---- dispatch ------------------------------------------------------------------------------------

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
    return AfxCallWndProc(pWnd, hWnd, nMsg, wParam, lParam);
}

LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    AFX_THREAD_STATE* pState = AfxGetThreadState();
    const MSG oldState = pState->EnterSentMessage(hWnd, nMsg, wParam, lParam);
    LRESULT lResult = 0;
    try
    {
        lResult = pWnd->WindowProc(nMsg, wParam, lParam);
    }
    catch (...)
    {
        // No exception may cross the system's window procedure; the message counts as handled.
    }
    pState->m_lastSentMsg = oldState;
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != NULL)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& msg = AfxGetThreadState()->m_lastSentMsg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

static bool IsCtlColorMessage(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NCDESTROY)
    {
        OnNcDestroyDefault();
        *pResult = 0;
        return TRUE;
    }

    const UINT nLookup = IsCtlColorMessage(message) ? WM_CTLCOLOR : message;
    if (const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(nLookup, 0, 0))
    {
        *pResult = 0;
        pEntry->pfn(this, message, wParam, lParam, pResult);
        return TRUE;
    }

    // The framework's own handling of messages that no map entry takes.
    if (IsCtlColorMessage(message))
    {
        CBorrowedDC dc((HDC)wParam);
        *pResult = (LRESULT)OnCtlColor(&dc, CWnd::FromHandle((HWND)lParam), message - WM_CTLCOLORMSGBOX);
        return TRUE;
    }
    switch (message)
    {
    case WM_DRAWITEM:
        if (wParam != 0)  // not a menu item: hand the request to the control itself
            return ReflectLastMsg(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem, pResult);
        break;
    case WM_MEASUREITEM:
        if (wParam != 0)
            return ReflectLastMsg(::GetDlgItem(m_hWnd, (int)wParam), pResult);
        break;
    case WM_NOTIFY:
        return ReflectLastMsg(reinterpret_cast<NMHDR*>(lParam)->hwndFrom, pResult);
    default:
        break;
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    const int nCode = HIWORD(wParam);
    HWND hWndCtrl = (HWND)lParam;
    if (hWndCtrl != NULL && ReflectLastMsg(hWndCtrl))
        return TRUE;  // the control handled its own notification
    return OnCmdMsg(nID, nCode);
}

BOOL PASCAL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult)
{
    CWnd* pWnd = FromHandlePermanent(hWndChild);
    if (pWnd == nullptr)
        return FALSE;
    const MSG& msg = AfxGetThreadState()->m_lastSentMsg;
    LRESULT lResult = 0;
    BOOL bHandled = pWnd->OnChildNotify(msg.message, msg.wParam, msg.lParam, &lResult);
    if (bHandled && pResult != nullptr)
        *pResult = lResult;
    return bHandled;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    LRESULT lResult = 0;
    if (message == WM_COMMAND)
    {
        const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_REFLECT_BASE + WM_COMMAND, HIWORD(wParam), 0);
        if (pEntry == nullptr)
            return FALSE;
        pEntry->pfn(this, message, wParam, lParam, &lResult);
    }
    else if (IsCtlColorMessage(message))
    {
        const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0);
        if (pEntry == nullptr)
            return FALSE;
        pEntry->pfn(this, message, wParam, lParam, &lResult);
        if (lResult == 0)
            return FALSE;  // no brush: the parent decides
    }
    else
    {
        const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_REFLECT_BASE + message, 0, 0);
        if (pEntry == nullptr)
            return FALSE;
        pEntry->pfn(this, message, wParam, lParam, &lResult);
    }
    if (pResult != nullptr)
        *pResult = lResult;
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    LRESULT lResult = 0;
    if (pWnd != nullptr && ReflectLastMsg(pWnd->m_hWnd, &lResult))
        return (HBRUSH)lResult;
    return (HBRUSH)Default();
}

// ---- helpers ---------------------------------------------------------------------------------------

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(lpRect));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(lpRect) + 1);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(lpRect));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(lpRect) + 1);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    HWND hWndAfter = pWndInsertAfter == nullptr ? NULL : pWndInsertAfter->m_hWnd;
    return ::SetWindowPos(m_hWnd, hWndAfter, x, y, cx, cy, nFlags);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const
{
    AfxGetWindowText(::GetDlgItem(m_hWnd, nID), rString);
    return rString.GetLength();
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType)
{
    if (lpszCaption == NULL)
        lpszCaption = AfxGetAppName();
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

void AFXAPI AfxSetWindowText(HWND hWndCtrl, LPCTSTR lpszNew)
{
    const int nNewLen = lstrlenA(lpszNew);
    char szOld[256];
    // Only the text that really changed reaches the window, so nothing redraws for the same text.
    if (nNewLen > (int)sizeof(szOld) - 1 || ::GetWindowTextA(hWndCtrl, szOld, sizeof(szOld)) != nNewLen ||
        lstrcmpA(szOld, lpszNew) != 0)
        ::SetWindowTextA(hWndCtrl, lpszNew);
}

void AFXAPI AfxGetWindowText(HWND hWnd, CString& rString)
{
    rString.Empty();
    if (hWnd == NULL)
        return;
    int nLen = ::GetWindowTextLengthA(hWnd);
    ::GetWindowTextA(hWnd, rString.GetBufferSetLength(nLen), nLen + 1);
    rString.ReleaseBuffer();
}
