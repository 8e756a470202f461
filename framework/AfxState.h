// Per-thread framework state: the window handle maps, the window being created and the message
// currently being handled (shared by CWnd::Default and the subclassing hooks).
#pragma once
#include <windows.h>
#include <map>

class CWnd;
class CWinThread;
class CGdiObject;

struct AFX_THREAD_STATE
{
    MSG m_lastSentMsg{};                       // the message being handled by a window procedure
    MSG m_msgCur{};                            // the last message taken from the queue
    CWnd* m_pWndInit = nullptr;                // window object waiting for its handle (creation hook)
    HHOOK m_hHookOldCbtFilter = nullptr;
    CWinThread* m_pCurrentWinThread = nullptr;
    std::map<HWND, CWnd*> m_permanentWnds;     // window objects attached to their handles
    std::map<HWND, CWnd*> m_temporaryWnds;     // wrappers made by FromHandle, freed when idle
    std::map<HGDIOBJ, CGdiObject*> m_temporaryGdi;

    void DeleteTempMaps();
    // Makes this the message being handled and returns the one it replaces, which the caller puts
    // back when done: nested sends then restore the outer message.
    MSG EnterSentMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        const MSG msgOuter = m_lastSentMsg;
        m_lastSentMsg = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
        return msgOuter;
    }
};

// The calling thread's state, created on first use.
AFX_THREAD_STATE* AfxGetThreadState();
// Frees the calling thread's state; called when a framework thread ends.
void AfxTermThreadState();
