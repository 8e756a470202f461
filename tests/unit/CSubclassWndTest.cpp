// The chainable window-procedure hook: who sees a window's messages as hooks come and go, the window's
// own procedure back after the last one (also when the window goes), Default, and several threads.
#include <gtest/gtest.h>
#include <afxwin.h>
#include <atomic>
#include <memory>
#include <sstream>
#include <string>
#include "controls/CHookChainMap.h"
#include "controls/CSubclassWnd.h"
#include "tests/support/TestThread.h"

namespace
{
const UINT WM_PROBE = WM_APP + 1, WM_INNER = WM_APP + 2;
std::string g_route;  // who saw WM_PROBE, WM_INNER and WM_NCDESTROY, in order

LRESULT CALLBACK OwnProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool bUnhooked = TheHookMap().FindHook(hWnd) == nullptr &&
                           ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC) == (LONG_PTR)OwnProc;
    g_route += message == WM_PROBE ? "own " : message == WM_INNER ? "inner " : "";
    g_route += message != WM_NCDESTROY ? "" : bUnhooked ? "own-ncdestroy " : "ncdestroy-while-hooked ";
    return message == WM_PROBE || message == WM_INNER ? wParam + lParam : ::DefWindowProcA(hWnd, message, wParam, lParam);
}

HWND CreateOwnWindow()
{
    static const WNDCLASSA s_wc = {0, OwnProc, 0, 0, NULL, NULL, NULL, NULL, NULL, "DlsHookTestWindow"};
    static const ATOM s_atom = ::RegisterClassA(&s_wc);
    return ::CreateWindowExA(0, MAKEINTATOM(s_atom), "", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
}

// Records WM_PROBE and WM_NCDESTROY and passes them on; 's' answers WM_PROBE itself (42), 'r' sends a
// nested message first, then changes the current message's wParam to 9 and passes it on with Default,
// as the caption painter does.
class CProbeHook : public CSubclassWnd
{
public:
    CProbeHook(char cName, char cKind) : m_strName{'h', cName, ' '}, m_cKind(cKind) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        g_route += message == WM_PROBE || message == WM_NCDESTROY ? m_strName : "";
        if (message != WM_PROBE || m_cKind == '+')
            return CSubclassWnd::WindowProc(message, wParam, lParam);
        if (m_cKind == 's')
            return 42;
        ::SendMessageA(m_pWnd->m_hWnd, WM_INNER, 7, 0);
        AfxGetThreadState()->m_lastSentMsg.wParam = 9;
        return Default();
    }
    std::string m_strName;
    char m_cKind;
};

TEST(HookChain, HooksSeeTheWindowsMessagesNewestFirstUntilTheyLeave)
{
    // Steps of hooks 1 to 3: "+n" hooks window A, "sn" / "rn" hooks it as a swallowing / rewriting hook,
    // ">n" moves to window B, "-n" unhooks, "~n" is destroyed. Then WM_PROBE (2, 3) to A takes the route
    // given and gets the result given, and A has its own procedure exactly when no hook is left on it.
    // Destroying A unhooks its hooks before its own procedure sees WM_NCDESTROY; B has its own
    // procedure back once all hooks are gone. Neither is left in the hook map.
    const struct { const char *pszSteps, *pszRoute; LRESULT lResult; } cases[] = {
        {"+1 +2", "h2 h1 own ", 5},       {"+1 +2 -2", "h1 own ", 5},     {"+1 +2 -1", "h2 own ", 5},
        {"+1 +2 +3 -2", "h3 h1 own ", 5}, {"+1 +2 -2 -1", "own ", 5},     {"+1 +2 ~2", "h1 own ", 5},
        {"+1 ~1", "own ", 5},             {"+1 >1", "own ", 5},           {"+1 -2", "h1 own ", 5},
        {"+1 s2", "h2 ", 42},             {"+1 r2", "h2 inner h1 own ", 9 + 3},
    };
    for (const auto& c : cases)
    {
        CWnd wndA, wndB;
        for (CWnd* pWnd : {&wndA, &wndB})
            pWnd->Attach(CreateOwnWindow());
        std::unique_ptr<CProbeHook> hooks[4];
        std::istringstream steps(c.pszSteps);
        for (std::string step; steps >> step;)
        {
            std::unique_ptr<CProbeHook>& hook = hooks[step[1] - '0'];
            if (!hook)
                hook.reset(new CProbeHook(step[1], step[0]));
            if (step[0] == '~')
                hook.reset();
            else
                hook->AttachToWindow(step[0] == '-' ? nullptr : step[0] == '>' ? &wndB : &wndA);
        }
        g_route.clear();
        const UINT nCurrentBefore = AfxGetThreadState()->m_lastSentMsg.message;
        const LRESULT lResult = ::SendMessageA(wndA.m_hWnd, WM_PROBE, 2, 3);
        EXPECT_EQ(nCurrentBefore, AfxGetThreadState()->m_lastSentMsg.message) << "the thread's current message is back";
        EXPECT_EQ(c.pszRoute, g_route) << c.pszSteps;
        EXPECT_EQ(c.lResult, lResult) << c.pszSteps;
        EXPECT_EQ(g_route == "own ", ::GetWindowLongPtrA(wndA.m_hWnd, GWLP_WNDPROC) == (LONG_PTR)OwnProc) << c.pszSteps;
        const HWND hA = wndA.m_hWnd;
        g_route.clear();
        ::DestroyWindow(hA);
        EXPECT_EQ("own-ncdestroy ", g_route) << c.pszSteps << ": the hooks never see WM_NCDESTROY";
        for (auto& hook : hooks)
            EXPECT_TRUE(!hook || hook->m_pWnd != &wndA) << c.pszSteps << ": still hooked to A";
        wndA.Detach();
        for (auto& hook : hooks)
            hook.reset();
        EXPECT_EQ((LONG_PTR)OwnProc, ::GetWindowLongPtrA(wndB.m_hWnd, GWLP_WNDPROC)) << c.pszSteps;
        for (HWND hWnd : {hA, wndB.m_hWnd})
            EXPECT_EQ(nullptr, TheHookMap().FindHook(hWnd)) << c.pszSteps << ": left in the hook map";
        ::DestroyWindow(wndB.Detach());
    }
}

TEST(HookChain, WindowsOfSeveralThreadsAreHookedAndUnhookedAtOnce)
{
    // Each first hook of a window adds a map entry and each last unhook removes one, on four threads.
    std::atomic<int> nThreadsOk{0};
    auto hookAndUnhook = [&]
    {
        CWnd wnds[8];
        for (CWnd& wnd : wnds)
            wnd.Attach(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL));
        bool bOk = true;
        for (int i = 0; i < 200000 && bOk; ++i)
        {
            CSubclassWnd h1, h2;
            CWnd& wnd = wnds[i % 8];
            bOk = h1.AttachToWindow(&wnd) && h2.AttachToWindow(&wnd) && TheHookMap().FindHook(wnd.m_hWnd) == &h2;
            if (i % 2 == 0)
                h1.AttachToWindow(nullptr);  // the oldest leaves first, else the head
        }
        for (CWnd& wnd : wnds)
            bOk = bOk && ::GetWindowLongPtrA(wnd.m_hWnd, GWLP_WNDPROC) != (LONG_PTR)HookedWndProc &&
                  TheHookMap().FindHook(wnd.m_hWnd) == nullptr && ::DestroyWindow(wnd.Detach());
        nThreadsOk += bOk;
    };
    {
        CTestThread threads[4];
        for (CTestThread& thread : threads)
            thread = CTestThread(hookAndUnhook);
    }
    EXPECT_EQ(4, nThreadsOk.load());
}
}  // namespace
