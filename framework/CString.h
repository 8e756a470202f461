// CString: the framework's reference-counted 8-bit string (ANSI code page).
//
// A CString is one pointer to the characters of a shared, zero-terminated buffer; the buffer's
// header (reference count, length, capacity) lies just in front of it. Copies share the buffer
// and the first change makes a private copy (copy-on-write). The count is changed with
// interlocked operations, so a CString may be copied and handed to another thread as long as
// each thread works on its own CString object. All empty strings share one static buffer.
#pragma once
#include <windows.h>
#include <stdarg.h>

#ifndef AFXAPI
#define AFXAPI __stdcall
#endif

struct CStringData
{
    LONG nRefs;        // -1: the shared empty buffer, never freed and never counted
    int nDataLength;   // characters, without the terminating zero
    int nAllocLength;  // room for characters, without the terminating zero

    TCHAR* data() { return reinterpret_cast<TCHAR*>(this + 1); }
};

class CString
{
public:
    CString();
    CString(const CString& stringSrc);
    // A null pointer gives an empty string.
    CString(LPCSTR lpsz);
    CString(LPCSTR lpch, int nLength);
    ~CString();

    int GetLength() const { return GetData()->nDataLength; }
    BOOL IsEmpty() const { return GetData()->nDataLength == 0; }
    void Empty();

    TCHAR operator[](int nIndex) const { return m_pchData[nIndex]; }
    operator LPCTSTR() const { return m_pchData; }

    const CString& operator=(const CString& stringSrc);
    const CString& operator=(LPCSTR lpsz);

    const CString& operator+=(const CString& string);
    const CString& operator+=(TCHAR ch);
    const CString& operator+=(LPCTSTR lpsz);

    // strcmp order; a null pointer compares as an empty string.
    int Compare(LPCTSTR lpsz) const;

    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;

    // White space is what isspace says of the byte.
    void TrimLeft();
    void TrimRight();

    // Index of the last ch, or -1.
    int ReverseFind(TCHAR ch) const;

    // printf formatting of any length. Pass CString arguments as (LPCTSTR).
    void Format(LPCTSTR lpszFormat, ...);
    void FormatV(LPCTSTR lpszFormat, va_list argList);

    // Direct access: the buffer is private to this string until ReleaseBuffer.
    LPTSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);
    LPTSTR GetBufferSetLength(int nNewLength);

protected:
    LPTSTR m_pchData;

    CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
    void Init();
    void AllocBuffer(int nLen);
    void AssignCopy(int nSrcLen, LPCTSTR lpszSrcData);
    void ConcatInPlace(int nSrcLen, LPCTSTR lpszSrcData);
    void CopyBeforeWrite();
    void Release();
    static void Release(CStringData* pData);
    static int SafeStrlen(LPCTSTR lpsz);
    int IndexOf(LPCTSTR p) const { return p == nullptr ? -1 : (int)(p - m_pchData); }
};

CString AFXAPI operator+(const CString& string1, const CString& string2);
CString AFXAPI operator+(const CString& string, LPCTSTR lpsz);
bool AFXAPI operator==(const CString& s1, const CString& s2);
bool AFXAPI operator==(const CString& s1, LPCTSTR s2);
bool AFXAPI operator==(LPCTSTR s1, const CString& s2);
bool AFXAPI operator!=(const CString& s1, const CString& s2);
bool AFXAPI operator!=(const CString& s1, LPCTSTR s2);
bool AFXAPI operator!=(LPCTSTR s1, const CString& s2);
