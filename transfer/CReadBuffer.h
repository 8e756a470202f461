// CReadBuffer: the fixed scan buffer through which a multipart answer is read, with a
// case-insensitive forward search.
#pragma once
#include <windows.h>

class CReadBuffer
{
public:
    CReadBuffer() = default;
    ~CReadBuffer();
    CReadBuffer(const CReadBuffer&) = delete;
    CReadBuffer& operator=(const CReadBuffer&) = delete;

    BOOL Allocate(DWORD cbSize);
    BOOL SkipPast(const char* pszPattern, DWORD cchPattern);
    // Whether the bytes at the cursor begin with the pattern (ignoring case); the cursor stays.
    BOOL StartsWith(const char* pszPattern, DWORD cchPattern) const;
    // Passes a line end ("\r\n" or "\n") right at the cursor: TRUE for an empty line.
    BOOL SkipLineEnd();
    void Compact();

    DWORD m_cbSize = 0;
    BYTE* m_pBase = nullptr;
    BYTE* m_pEnd = nullptr;
    BYTE* m_pRead = nullptr;
    BYTE* m_pWrite = nullptr;
};
