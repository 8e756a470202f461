// Static message maps: entries, the map record and the ON_ macros.
//
// Every entry carries a small thunk that cracks wParam/lParam and calls the handler with its typed
// signature, so a handler is declared exactly as in classic framework code (afx_msg void OnPaint()).
// The thunks are written inside the class's own GetThisMessageMap, which gives them access to
// protected handlers and to the ThisClass typedef.
#pragma once
#include <windows.h>

class CCmdTarget;

// Reflected messages: a parent hands a child control's notification back to the control itself.
#define WM_REFLECT_BASE 0xBC00
// The framework's single colour-request message: WM_CTLCOLORMSGBOX..WM_CTLCOLORSTATIC map to it.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

typedef BOOL (*AFX_PMSGTHUNK)(CCmdTarget* pTarget, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;  // window message (or WM_COMMAND / WM_REFLECT_BASE + message)
    UINT nCode;     // notification code for WM_COMMAND entries
    UINT nID;       // first control id (0 for plain messages)
    UINT nLastID;   // last control id of a range
    AFX_PMSGTHUNK pfn;  // null ends the table
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (PASCAL* pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                                 \
protected:                                                    \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;         \
                                                              \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }    \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap()                               \
    {                                                                                    \
        [[maybe_unused]] typedef theClass ThisClass;                                     \
        typedef baseClass TheBaseClass;                                                  \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                            \
    {0, 0, 0, 0, nullptr}                                                            \
    }                                                                                \
    ;                                                                                \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                              \
    }

// The thunk's parameters are named p, m, w, l and r inside these macros.
#define AFX_THUNK(body) \
    [](CCmdTarget* p, UINT m, WPARAM w, LPARAM l, LRESULT* r) -> BOOL { (void)m; (void)w; (void)l; (void)r; body; return TRUE; }
#define AFX_THIS static_cast<ThisClass*>(p)

// Commands and control notifications.
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    {WM_COMMAND, (UINT)(wNotifyCode), (UINT)(id), (UINT)(id), AFX_THUNK(AFX_THIS->memberFxn())},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CONTROL_REFLECT(wNotifyCode, memberFxn) \
    {WM_REFLECT_BASE + WM_COMMAND, (UINT)(wNotifyCode), 0, 0, AFX_THUNK(AFX_THIS->memberFxn())},

// Plain and user messages: LRESULT OnXxx(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn) {(UINT)(message), 0, 0, 0, AFX_THUNK(*r = AFX_THIS->memberFxn(w, l))},

// Window messages with cracked arguments.
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, AFX_THUNK(AFX_THIS->OnPaint())},
#define ON_WM_NCPAINT() {WM_NCPAINT, 0, 0, 0, AFX_THUNK(AFX_THIS->OnNcPaint())},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, AFX_THUNK(AFX_THIS->OnClose())},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, AFX_THUNK(AFX_THIS->OnTimer((UINT)w))},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, 0, AFX_THUNK(AFX_THIS->OnSysCommand((UINT)w, l))},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, 0, AFX_THUNK(*r = (LRESULT)AFX_THIS->OnQueryDragIcon())},
#define ON_WM_MOUSEMOVE() {WM_MOUSEMOVE, 0, 0, 0, AFX_THUNK(AFX_THIS->OnMouseMove((UINT)w, CPoint(l)))},
#define ON_WM_LBUTTONDOWN() {WM_LBUTTONDOWN, 0, 0, 0, AFX_THUNK(AFX_THIS->OnLButtonDown((UINT)w, CPoint(l)))},
// Colour requests: every WM_CTLCOLORxxx reaches OnCtlColor with its type (CTLCOLOR_EDIT, ...).
#define ON_WM_CTLCOLOR()                                                                           \
    {WM_CTLCOLOR, 0, 0, 0,                                                                         \
     AFX_THUNK(CBorrowedDC dc((HDC)w);                                                             \
               *r = (LRESULT)AFX_THIS->OnCtlColor(&dc, CWnd::FromHandle((HWND)l), m - WM_CTLCOLORMSGBOX))},
#define ON_WM_CTLCOLOR_REFLECT()                                                                   \
    {WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, 0,                                                       \
     AFX_THUNK(CBorrowedDC dc((HDC)w); *r = (LRESULT)AFX_THIS->CtlColor(&dc, m - WM_CTLCOLORMSGBOX))},
