// CHookChainMap: the process-wide map from a hooked window to the newest hook of its chain.
#pragma once
#include <afxwin.h>


class CSubclassWnd;

class CHookChainMap : public CMapPtrToPtr
{
public:
    CHookChainMap() : CMapPtrToPtr(10) {}
    ~CHookChainMap() override;  // empties the map; restores no window procedures

    void AddHook(HWND hWnd, CSubclassWnd* pSubclassWnd);
    void RemoveHook(CSubclassWnd* pSubclassWnd);
    void RemoveAllHooks(HWND hWnd);
    CSubclassWnd* FindHook(HWND hWnd);
};

// The one map of the process, built on first use.
CHookChainMap& TheHookMap();
