// The chainable window-procedure hook: chain order, one replacement of the window procedure per
// window, unhooking head, middle and last, destruction, swallowed messages and the current message.
#include <gtest/gtest.h>
#include <afxwin.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "controls/CHookChainMap.h"
#include "controls/CSubclassWnd.h"

namespace
{
const UINT WM_PROBE = WM_APP + 1;
const UINT WM_SWALLOWED = WM_APP + 2;
const UINT WM_OUTER = WM_APP + 3;
const UINT WM_INNER = WM_APP + 4;

// Who saw which message, in order: "<who> <message offset from WM_APP> <wParam> <lParam>".
std::vector<std::string> g_log;

void Record(const char* pszWho, UINT message, WPARAM wParam, LPARAM lParam)
{
    char sz[80];
    if (message == WM_NCDESTROY)
        snprintf(sz, sizeof(sz), "%s NCDESTROY", pszWho);
    else
        snprintf(sz, sizeof(sz), "%s %u %u %ld", pszWho, message - WM_APP, (unsigned)wParam, (long)lParam);
    g_log.push_back(sz);
}

bool Interesting(UINT message) { return (message >= WM_APP && message < WM_APP + 100) || message == WM_NCDESTROY; }

// What the window's own procedure found when WM_NCDESTROY reached it.
struct NcDestroyView
{
    bool bSeen = false;
    bool bStillMapped = true;
    LONG_PTR procAtNcDestroy = 0;
} g_ncDestroy;

// The window's own procedure: records, and answers WM_PROBE with wParam + lParam.
LRESULT CALLBACK OwnProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Interesting(message))
        Record("own", message, wParam, lParam);
    if (message == WM_NCDESTROY)
    {
        g_ncDestroy.bSeen = true;
        g_ncDestroy.bStillMapped = TheHookMap().FindHook(hWnd) != nullptr;
        g_ncDestroy.procAtNcDestroy = ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    }
    if (message == WM_PROBE || message == WM_OUTER || message == WM_INNER)
        return (LRESULT)(wParam + lParam);
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

const char OWN_CLASS[] = "DlsHookTestWindow";

void RegisterOwnClass()
{
    static const ATOM s_atom = []
    {
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = OwnProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = OWN_CLASS;
        return ::RegisterClassA(&wc);
    }();
    (void)s_atom;
}

// A hook that records what reaches it and passes everything on, except the message it swallows
// (answered with 42) and WM_OUTER when it nests: it then sends WM_INNER first and passes WM_OUTER on
// with Default.
class CRecordingHook : public CSubclassWnd
{
public:
    explicit CRecordingHook(const char* pszName) : m_strName(pszName) {}

    std::string m_strName;
    UINT m_nSwallow = 0;
    bool m_bNest = false;
    MSG m_msgAfterNestedSend{};

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (Interesting(message))
            Record(m_strName.c_str(), message, wParam, lParam);
        if (message == m_nSwallow)
            return 42;
        if (message == WM_OUTER && m_bNest)
        {
            ::SendMessageA(m_pWnd->m_hWnd, WM_INNER, 7, 8);
            m_msgAfterNestedSend = AfxGetThreadState()->m_lastSentMsg;
            return Default();
        }
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }
};

class HookChain : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterOwnClass();
        g_log.clear();
        g_ncDestroy = NcDestroyView();
        m_nMapCountBefore = TheHookMap().GetCount();
        m_hWnd = ::CreateWindowExA(0, OWN_CLASS, "hooked", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL,
                                   ::GetModuleHandleA(NULL), NULL);
        ASSERT_NE((HWND)NULL, m_hWnd);
        m_wnd.Attach(m_hWnd);
        m_ownProc = ::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC);
    }
    void TearDown() override
    {
        if (::IsWindow(m_hWnd))
            ::DestroyWindow(m_hWnd);
        m_wnd.Detach();
        EXPECT_EQ(m_nMapCountBefore, TheHookMap().GetCount()) << "the test left a window in the hook map";
    }

    LONG_PTR Proc() const { return ::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC); }
    static std::vector<std::string> Log(std::initializer_list<const char*> entries)
    {
        return std::vector<std::string>(entries.begin(), entries.end());
    }

    HWND m_hWnd = NULL;
    CWnd m_wnd;  // the window object the hooks are given (attached, not subclassed)
    LONG_PTR m_ownProc = 0;
    int m_nMapCountBefore = 0;
};

TEST_F(HookChain, NewestHookSeesEachMessageFirstAndTheProcedureIsReplacedOnce)
{
    CRecordingHook h1("h1"), h2("h2");
    EXPECT_TRUE(h1.AttachToWindow(&m_wnd));
    EXPECT_EQ((LONG_PTR)HookedWndProc, Proc());
    EXPECT_EQ(m_ownProc, (LONG_PTR)h1.m_pfnPrevProc);
    EXPECT_EQ(&m_wnd, h1.m_pWnd);

    EXPECT_TRUE(h2.AttachToWindow(&m_wnd));
    EXPECT_EQ((LONG_PTR)HookedWndProc, Proc());
    EXPECT_EQ(m_ownProc, (LONG_PTR)h2.m_pfnPrevProc) << "both hooks hold the window's own procedure";
    EXPECT_EQ(&h1, h2.m_pNextHook);
    EXPECT_EQ(nullptr, h1.m_pNextHook);
    EXPECT_EQ(&h2, TheHookMap().FindHook(m_hWnd));
    EXPECT_EQ(m_nMapCountBefore + 1, TheHookMap().GetCount()) << "one map entry per window";

    EXPECT_EQ(5, ::SendMessageA(m_hWnd, WM_PROBE, 2, 3));
    EXPECT_EQ(Log({"h2 1 2 3", "h1 1 2 3", "own 1 2 3"}), g_log);

    h2.AttachToWindow(nullptr);
    h1.AttachToWindow(nullptr);
}

TEST_F(HookChain, UnhookingTheHeadKeepsTheProcedureAndUnhookingTheLastRestoresIt)
{
    CRecordingHook h1("h1"), h2("h2");
    h1.AttachToWindow(&m_wnd);
    h2.AttachToWindow(&m_wnd);

    EXPECT_TRUE(h2.AttachToWindow(nullptr));
    EXPECT_EQ(&h1, TheHookMap().FindHook(m_hWnd));
    EXPECT_EQ((LONG_PTR)HookedWndProc, Proc()) << "the window procedure is untouched while a hook remains";
    EXPECT_EQ(nullptr, h2.m_pWnd);
    EXPECT_EQ(nullptr, h2.m_pfnPrevProc);
    ::SendMessageA(m_hWnd, WM_PROBE, 1, 1);
    EXPECT_EQ(Log({"h1 1 1 1", "own 1 1 1"}), g_log);

    g_log.clear();
    h1.AttachToWindow(nullptr);
    EXPECT_EQ(m_ownProc, Proc()) << "the last hook puts back the procedure the window had";
    EXPECT_EQ(nullptr, TheHookMap().FindHook(m_hWnd));
    EXPECT_EQ(m_nMapCountBefore, TheHookMap().GetCount());
    ::SendMessageA(m_hWnd, WM_PROBE, 1, 1);
    EXPECT_EQ(Log({"own 1 1 1"}), g_log);
}

TEST_F(HookChain, UnhookingAHookInTheMiddleRelinksItsNeighbours)
{
    CRecordingHook h1("h1"), h2("h2"), h3("h3");
    h1.AttachToWindow(&m_wnd);
    h2.AttachToWindow(&m_wnd);
    h3.AttachToWindow(&m_wnd);

    h2.AttachToWindow(nullptr);
    EXPECT_EQ(&h3, TheHookMap().FindHook(m_hWnd)) << "the head stays in place";
    EXPECT_EQ(&h1, h3.m_pNextHook);
    EXPECT_EQ((LONG_PTR)HookedWndProc, Proc());
    ::SendMessageA(m_hWnd, WM_PROBE, 4, 5);
    EXPECT_EQ(Log({"h3 1 4 5", "h1 1 4 5", "own 1 4 5"}), g_log);

    h3.AttachToWindow(nullptr);
    h1.AttachToWindow(nullptr);
    EXPECT_EQ(m_ownProc, Proc());
}

TEST_F(HookChain, DestroyingTheWindowUnhooksEveryHookBeforeItsOwnProcedureRuns)
{
    CRecordingHook h1("h1"), h2("h2");
    h1.AttachToWindow(&m_wnd);
    h2.AttachToWindow(&m_wnd);

    ASSERT_TRUE(::DestroyWindow(m_hWnd));
    EXPECT_TRUE(g_ncDestroy.bSeen);
    EXPECT_FALSE(g_ncDestroy.bStillMapped) << "the window left the map before WM_NCDESTROY reached it";
    EXPECT_EQ(m_ownProc, g_ncDestroy.procAtNcDestroy) << "its own procedure was back in place";
    EXPECT_EQ(Log({"own NCDESTROY"}), g_log) << "the hooks never receive WM_NCDESTROY";
    for (CRecordingHook* pHook : {&h1, &h2})
    {
        EXPECT_EQ(nullptr, pHook->m_pWnd) << pHook->m_strName;
        EXPECT_EQ(nullptr, pHook->m_pfnPrevProc) << pHook->m_strName;
    }
    EXPECT_EQ(nullptr, TheHookMap().FindHook(m_hWnd));
}

TEST_F(HookChain, AMessageTheNewestHookSwallowsReachesNobodyElse)
{
    CRecordingHook h1("h1"), h2("h2");
    h1.AttachToWindow(&m_wnd);
    h2.AttachToWindow(&m_wnd);
    h2.m_nSwallow = WM_SWALLOWED;

    EXPECT_EQ(42, ::SendMessageA(m_hWnd, WM_SWALLOWED, 1, 2));
    EXPECT_EQ(Log({"h2 2 1 2"}), g_log);

    h2.AttachToWindow(nullptr);
    h1.AttachToWindow(nullptr);
}

TEST_F(HookChain, DefaultPassesOnTheMessageBeingHandledAfterANestedOne)
{
    CRecordingHook h1("h1"), h2("h2");
    h1.AttachToWindow(&m_wnd);
    h2.AttachToWindow(&m_wnd);
    h2.m_bNest = true;
    const MSG msgBefore = AfxGetThreadState()->m_lastSentMsg;

    EXPECT_EQ(3, ::SendMessageA(m_hWnd, WM_OUTER, 1, 2));
    EXPECT_EQ(Log({"h2 3 1 2", "h2 4 7 8", "h1 4 7 8", "own 4 7 8", "h1 3 1 2", "own 3 1 2"}), g_log);
    EXPECT_EQ(WM_OUTER, h2.m_msgAfterNestedSend.message) << "the nested message restored the outer one";
    EXPECT_EQ(1u, h2.m_msgAfterNestedSend.wParam);
    EXPECT_EQ(2, h2.m_msgAfterNestedSend.lParam);
    const MSG& msgAfter = AfxGetThreadState()->m_lastSentMsg;
    EXPECT_EQ(msgBefore.message, msgAfter.message) << "the thread's current message is restored on return";
    EXPECT_EQ(msgBefore.hwnd, msgAfter.hwnd);

    h2.AttachToWindow(nullptr);
    h1.AttachToWindow(nullptr);
}

// A framework window whose handler passes WM_PROBE on with CWnd::Default.
class CDefaultingWnd : public CWnd
{
protected:
    afx_msg LRESULT OnProbe(WPARAM, LPARAM) { return Default(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDefaultingWnd, CWnd)
    ON_MESSAGE(WM_PROBE, OnProbe)
END_MESSAGE_MAP()

// Changes the current message's wParam before passing it on, as the caption painter does.
class CRewritingHook : public CSubclassWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_PROBE)
            return CSubclassWnd::WindowProc(message, wParam, lParam);
        AfxGetThreadState()->m_lastSentMsg.wParam = 90;
        return Default();
    }
};

TEST_F(HookChain, TheHooksDefaultAndTheFrameworksDefaultShareTheCurrentMessage)
{
    CDefaultingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, OWN_CLASS, "framework", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL));
    CRewritingHook hook;
    hook.AttachToWindow(&wnd);

    EXPECT_EQ(93, ::SendMessageA(wnd.m_hWnd, WM_PROBE, 1, 3)) << "CWnd::Default passed on the rewritten wParam";
    EXPECT_EQ(Log({"own 1 90 3"}), g_log);

    wnd.DestroyWindow();
    EXPECT_EQ(nullptr, hook.m_pWnd);
}

TEST_F(HookChain, AttachingAnAttachedHookMovesItToTheNewWindow)
{
    CWnd other;
    HWND hOther = ::CreateWindowExA(0, OWN_CLASS, "other", WS_OVERLAPPED, 0, 0, 50, 50, NULL, NULL,
                                    ::GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, hOther);
    other.Attach(hOther);
    CRecordingHook h1("h1");
    h1.AttachToWindow(&m_wnd);
    h1.AttachToWindow(&other);

    EXPECT_EQ(m_ownProc, Proc()) << "the first window got its procedure back";
    EXPECT_EQ(nullptr, TheHookMap().FindHook(m_hWnd));
    EXPECT_EQ(&h1, TheHookMap().FindHook(hOther));
    EXPECT_EQ(&other, h1.m_pWnd);

    ::DestroyWindow(hOther);
    other.Detach();
    EXPECT_EQ(nullptr, h1.m_pWnd);
}

TEST_F(HookChain, AHookDestroyedBeforeItsWindowUnhooksItself)
{
    CRecordingHook h1("h1");
    h1.AttachToWindow(&m_wnd);
    {
        CRecordingHook h2("h2");
        h2.AttachToWindow(&m_wnd);
    }
    EXPECT_EQ(&h1, TheHookMap().FindHook(m_hWnd));
    ::SendMessageA(m_hWnd, WM_PROBE, 0, 0);
    EXPECT_EQ(Log({"h1 1 0 0", "own 1 0 0"}), g_log);

    CRecordingHook* pLast = new CRecordingHook("h3");
    pLast->AttachToWindow(&m_wnd);
    h1.AttachToWindow(nullptr);  // h3 is now the only hook
    delete pLast;
    EXPECT_EQ(m_ownProc, Proc());
    EXPECT_EQ(nullptr, TheHookMap().FindHook(m_hWnd));
}

TEST_F(HookChain, UnhookingAHookThatIsInNoChainChangesNothing)
{
    CRecordingHook h1("h1"), loose("loose");
    h1.AttachToWindow(&m_wnd);
    EXPECT_TRUE(loose.AttachToWindow(nullptr));
    EXPECT_EQ(&h1, TheHookMap().FindHook(m_hWnd));
    EXPECT_EQ((LONG_PTR)HookedWndProc, Proc());
    h1.AttachToWindow(nullptr);
}

// Windows of several threads hooked and unhooked at the same time share the one map: each thread
// hooks and unhooks windows of its own over and over (each first hook adds a map entry, each last
// unhook removes one).
DWORD WINAPI HookAndUnhookMany(LPVOID pParam)
{
    auto* pnDone = static_cast<LONG*>(pParam);
    const int kWindows = 8;
    HWND hWnds[kWindows];
    CWnd wnds[kWindows];
    for (int w = 0; w < kWindows; ++w)
    {
        hWnds[w] = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, ::GetModuleHandleA(NULL), NULL);
        if (hWnds[w] == NULL)
            return 1;
        wnds[w].Attach(hWnds[w]);
    }
    bool bOk = true;
    for (int i = 0; i < 40000 && bOk; ++i)
    {
        const int w = i % kWindows;
        CSubclassWnd h1, h2;
        bOk = h1.AttachToWindow(&wnds[w]) && h2.AttachToWindow(&wnds[w]) && TheHookMap().FindHook(hWnds[w]) == &h2;
        if (i % 2 == 0)
            h1.AttachToWindow(nullptr);  // the last hook, then the head, leave in turn
    }
    for (int w = 0; w < kWindows; ++w)
    {
        bOk = bOk && ::GetWindowLongPtrA(hWnds[w], GWLP_WNDPROC) != (LONG_PTR)HookedWndProc;
        wnds[w].Detach();
        ::DestroyWindow(hWnds[w]);
    }
    if (bOk)
        ::InterlockedIncrement(pnDone);
    return 0;
}

TEST(HookMap, WindowsOfSeveralThreadsAreHookedAndUnhookedAtOnce)
{
    const int nBefore = TheHookMap().GetCount();
    LONG nDone = 0;
    HANDLE hThreads[4];
    for (HANDLE& hThread : hThreads)
        hThread = ::CreateThread(NULL, 0, HookAndUnhookMany, &nDone, 0, NULL);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(4, hThreads, TRUE, 30000));
    for (HANDLE hThread : hThreads)
        ::CloseHandle(hThread);
    EXPECT_EQ(4, nDone);
    EXPECT_EQ(nBefore, TheHookMap().GetCount());
}

TEST(SubclassWndClass, RunTimeRecordNamesItsClassAndTheWindowBase)
{
    CRecordingHook hook("h");
    EXPECT_STREQ("CSubclassWnd", RUNTIME_CLASS(CSubclassWnd)->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CWnd), RUNTIME_CLASS(CSubclassWnd)->m_pBaseClass);
    EXPECT_EQ(nullptr, hook.m_pWnd);
    EXPECT_EQ(nullptr, hook.m_pfnPrevProc);
    EXPECT_EQ(nullptr, hook.m_pNextHook);
}
}  // namespace
