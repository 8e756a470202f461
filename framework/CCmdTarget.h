// CCmdTarget: the root of every object with a message map.
#pragma once
#include "CObject.h"
#include "afxmsg.h"

class CCmdTarget : public CObject
{
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;

    // Routes a WM_COMMAND (nCode = notification code) to this object's map; TRUE when handled.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

    // Finds the first entry for the message (and code/id for WM_COMMAND entries) in this class's
    // map or a base class's map; null when there is none.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
