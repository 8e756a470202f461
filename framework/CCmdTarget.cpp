#include "CCmdTarget.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP messageMap = {nullptr, &_messageEntries[0]};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const
{
    const bool bCommand = nMessage == WM_COMMAND || nMessage == WM_REFLECT_BASE + WM_COMMAND;
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr)
    {
        for (const AFX_MSGMAP_ENTRY* p = pMap->lpEntries; p->pfn != nullptr; ++p)
        {
            if (p->nMessage != nMessage)
                continue;
            if (!bCommand)
                return p;
            if (p->nCode == nCode && (nMessage != WM_COMMAND || (p->nID <= nID && nID <= p->nLastID)))
                return p;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_COMMAND, (UINT)nCode, nID);
    if (pEntry == nullptr)
        return FALSE;
    LRESULT lResult = 0;
    return pEntry->pfn(this, WM_COMMAND, MAKEWPARAM(nID, nCode), 0, &lResult);
}
