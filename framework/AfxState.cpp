#include "afxwin.h"

namespace
{
// Win32 TLS rather than thread_local: the state must work on threads started by CreateThread too.
DWORD TlsIndex()
{
    static DWORD s_dwIndex = ::TlsAlloc();
    return s_dwIndex;
}
}  // namespace

AFX_THREAD_STATE* AfxGetThreadState()
{
    auto* pState = static_cast<AFX_THREAD_STATE*>(::TlsGetValue(TlsIndex()));
    if (pState == nullptr)
    {
        pState = new AFX_THREAD_STATE;
        ::TlsSetValue(TlsIndex(), pState);
    }
    return pState;
}

void AfxTermThreadState()
{
    auto* pState = static_cast<AFX_THREAD_STATE*>(::TlsGetValue(TlsIndex()));
    if (pState == nullptr)
        return;
    pState->DeleteTempMaps();
    ::TlsSetValue(TlsIndex(), nullptr);
    delete pState;
}

void AFX_THREAD_STATE::DeleteTempMaps()
{
    for (auto& entry : m_temporaryWnds)
    {
        entry.second->m_hWnd = NULL;  // a wrapper never owns its window
        delete entry.second;
    }
    m_temporaryWnds.clear();
    for (auto& entry : m_temporaryGdi)
    {
        entry.second->m_hObject = NULL;
        delete entry.second;
    }
    m_temporaryGdi.clear();
}
