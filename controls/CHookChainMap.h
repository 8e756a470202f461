// CHookChainMap: the process-wide map from a hooked window to the newest hook of its chain.
#pragma once
#include <afxwin.h>

class CSubclassWnd;

class CHookChainMap : public CMapPtrToPtr
{
public:
    CHookChainMap() : CMapPtrToPtr(10) { ::InitializeCriticalSection(&m_cs); }
    ~CHookChainMap() override;  // empties the map; restores no window procedures

    void AddHook(HWND hWnd, CSubclassWnd* pSubclassWnd);
    void RemoveHook(CSubclassWnd* pSubclassWnd);
    void RemoveAllHooks(HWND hWnd);
    CSubclassWnd* FindHook(HWND hWnd);

private:
    // Windows of several threads may be hooked and unhooked at once; the map's buckets are shared.
    CRITICAL_SECTION m_cs;
};

// The one map of the process, built on first use.
CHookChainMap& TheHookMap();
