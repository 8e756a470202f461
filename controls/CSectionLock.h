// CSectionLock: holds a critical section for the lifetime of the object.
#pragma once
#include <windows.h>

class CSectionLock
{
public:
    explicit CSectionLock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CSectionLock() { ::LeaveCriticalSection(&m_cs); }
    CSectionLock(const CSectionLock&) = delete;
    CSectionLock& operator=(const CSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};
