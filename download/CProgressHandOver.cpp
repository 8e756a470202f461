// CProgressHandOver: the progress snapshot between the worker and the dialog's thread.
#include "download/CProgressHandOver.h"

void CProgressHandOver::Store(const PROGRESS_SNAPSHOT& snapshot)
{
    ::EnterCriticalSection(&m_cs);
    m_snapshot = snapshot;
    ++m_dwSerial;
    ::LeaveCriticalSection(&m_cs);
}

PROGRESS_SNAPSHOT CProgressHandOver::Take()
{
    ::EnterCriticalSection(&m_cs);
    PROGRESS_SNAPSHOT snapshot = m_snapshot;
    m_dwSerialShown = m_dwSerial;
    ::LeaveCriticalSection(&m_cs);
    return snapshot;
}

BOOL CProgressHandOver::HasUnshown()
{
    ::EnterCriticalSection(&m_cs);
    const BOOL fUnshown = m_dwSerial != m_dwSerialShown;
    ::LeaveCriticalSection(&m_cs);
    return fUnshown;
}
