// CReadBuffer: the fixed scan buffer of a multipart answer and its two scanners.
#include "transfer/CReadBuffer.h"
#include <ctype.h>
#include <string.h>

CReadBuffer::~CReadBuffer()
{
    if (m_pBase != nullptr)
        ::LocalFree(m_pBase);
}

// Every binding allocates the buffer again; a buffer of the same size is reused rather than leaked.
BOOL CReadBuffer::Allocate(DWORD cbSize)
{
    if (m_pBase != nullptr && m_cbSize != cbSize)
    {
        ::LocalFree(m_pBase);
        m_pBase = nullptr;
    }
    m_cbSize = cbSize;
    if (m_pBase == nullptr)
        m_pBase = static_cast<BYTE*>(::LocalAlloc(LMEM_FIXED, cbSize));
    if (m_pBase == nullptr)
    {
        m_pEnd = m_pRead = m_pWrite = nullptr;
        return FALSE;
    }
    m_pRead = m_pWrite = m_pBase;
    m_pEnd = m_pBase + cbSize;
    return TRUE;
}

static BYTE UpperByte(BYTE b)
{
    // CharUpperA's single-character form: the character in the low word, high word zero.
    return static_cast<BYTE>(reinterpret_cast<UINT_PTR>(::CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(b)))));
}

BOOL CReadBuffer::SkipPast(const char* pszPattern, DWORD cchPattern)
{
    // A match counts only when at least one buffered byte follows it.
    while (m_pRead != nullptr && m_pRead + cchPattern < m_pWrite)
    {
        DWORD i = 0;
        while (i < cchPattern && UpperByte(m_pRead[i]) == UpperByte(static_cast<BYTE>(pszPattern[i])))
            ++i;
        if (i == cchPattern)
        {
            m_pRead += cchPattern;
            return TRUE;
        }
        ++m_pRead;
    }
    return FALSE;
}

BOOL CReadBuffer::StartsWith(const char* pszPattern, DWORD cchPattern) const
{
    if (m_pRead == nullptr || static_cast<DWORD>(m_pWrite - m_pRead) < cchPattern)
        return FALSE;
    for (DWORD i = 0; i < cchPattern; ++i)
        if (UpperByte(m_pRead[i]) != UpperByte(static_cast<BYTE>(pszPattern[i])))
            return FALSE;
    return TRUE;
}

BOOL CReadBuffer::SkipLineEnd()
{
    if (StartsWith("\n", 1))
        m_pRead += 1;
    else if (StartsWith("\r\n", 2))
        m_pRead += 2;
    else
        return FALSE;
    return TRUE;
}

void CReadBuffer::Compact()
{
    if (m_pRead > m_pBase)
    {
        const DWORD cbUnread = static_cast<DWORD>(m_pWrite - m_pRead);
        memmove(m_pBase, m_pRead, cbUnread);
        m_pRead = m_pBase;
        m_pWrite = m_pBase + cbUnread;
    }
}
