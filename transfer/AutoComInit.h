// CAutoComInit: COM for the calling thread while the object lives, given back only when this call
// took it (a thread that already had COM keeps it).
#pragma once
#include <objbase.h>

class CAutoComInit
{
public:
    CAutoComInit() : m_hr(::CoInitialize(NULL)) {}
    ~CAutoComInit()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CAutoComInit(const CAutoComInit&) = delete;
    CAutoComInit& operator=(const CAutoComInit&) = delete;
    HRESULT Result() const { return m_hr; }  // a failure: the thread has no COM

private:
    HRESULT m_hr;
};
