#include "CString.h"

#include <ctype.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <new>

namespace
{
// The one buffer of every empty string: constant-initialised, so global CString objects of any
// translation unit may be built before this file's dynamic initialisation has run.
struct EmptyBuffer
{
    CStringData header;
    TCHAR chNil[4];
};
EmptyBuffer g_emptyBuffer = {{-1, 0, 0}, {0, 0, 0, 0}};

// A fresh, unshared buffer with room for nAllocLength characters, holding an empty string.
CStringData* NewData(int nAllocLength)
{
    if (nAllocLength < 0 || nAllocLength > INT_MAX - (int)sizeof(CStringData) - 1)
        throw std::bad_alloc();
    auto* pData = static_cast<CStringData*>(::operator new(sizeof(CStringData) + nAllocLength + 1));
    pData->nRefs = 1;
    pData->nDataLength = 0;
    pData->nAllocLength = nAllocLength;
    pData->data()[0] = '\0';
    return pData;
}

bool IsSpace(TCHAR ch) { return isspace(static_cast<unsigned char>(ch)) != 0; }
}  // namespace

int CString::SafeStrlen(LPCTSTR lpsz) { return lpsz == nullptr ? 0 : (int)strlen(lpsz); }

void CString::Init() { m_pchData = g_emptyBuffer.header.data(); }

// nLen characters of room; the empty string is the shared buffer.
void CString::AllocBuffer(int nLen)
{
    if (nLen == 0)
    {
        Init();
        return;
    }
    CStringData* pData = NewData(nLen);
    pData->nDataLength = nLen;
    pData->data()[nLen] = '\0';
    m_pchData = pData->data();
}

void CString::Release(CStringData* pData)
{
    if (pData->nRefs >= 0 && ::InterlockedDecrement(&pData->nRefs) <= 0)
        ::operator delete(pData);
}

void CString::Release()
{
    Release(GetData());
    Init();
}

CString::CString() { Init(); }

CString::CString(const CString& stringSrc)
{
    if (stringSrc.GetData()->nRefs >= 0)
    {
        m_pchData = stringSrc.m_pchData;
        ::InterlockedIncrement(&GetData()->nRefs);
    }
    else
    {
        Init();
    }
}

CString::CString(LPCSTR lpsz) : CString(lpsz, SafeStrlen(lpsz)) {}

CString::CString(LPCSTR lpch, int nLength)
{
    Init();
    if (lpch != nullptr && nLength > 0)
    {
        AllocBuffer(nLength);
        memcpy(m_pchData, lpch, nLength);
    }
}

CString::~CString() { Release(GetData()); }

void CString::Empty()
{
    if (GetData()->nRefs >= 0)
        Release();
}

// Makes the buffer private before a change in place.
void CString::CopyBeforeWrite()
{
    CStringData* pOld = GetData();
    if (pOld->nRefs > 1)
    {
        AllocBuffer(pOld->nDataLength);
        memcpy(m_pchData, pOld->data(), pOld->nDataLength + 1);
        Release(pOld);
    }
}

// The source may lie inside this string's own buffer (s = s.Mid(1) written by hand), so the old
// buffer is released only after the copy.
void CString::AssignCopy(int nSrcLen, LPCTSTR lpszSrcData)
{
    if (nSrcLen == 0)
    {
        Empty();
        return;
    }
    CStringData* pOld = GetData();
    if (pOld->nRefs == 1 && nSrcLen <= pOld->nAllocLength)
    {
        memmove(m_pchData, lpszSrcData, nSrcLen);
    }
    else
    {
        CStringData* pNew = NewData(nSrcLen);
        memcpy(pNew->data(), lpszSrcData, nSrcLen);
        m_pchData = pNew->data();
        Release(pOld);
    }
    GetData()->nDataLength = nSrcLen;
    m_pchData[nSrcLen] = '\0';
}

const CString& CString::operator=(const CString& stringSrc)
{
    if (m_pchData == stringSrc.m_pchData)
        return *this;
    if (stringSrc.GetData()->nRefs < 0)
    {
        Empty();
        return *this;
    }
    ::InterlockedIncrement(&stringSrc.GetData()->nRefs);
    CStringData* pOld = GetData();
    m_pchData = stringSrc.m_pchData;
    Release(pOld);
    return *this;
}

const CString& CString::operator=(LPCSTR lpsz)
{
    AssignCopy(SafeStrlen(lpsz), lpsz);
    return *this;
}

// Appends; a growing buffer gets half again as much room, so repeated += stays linear.
void CString::ConcatInPlace(int nSrcLen, LPCTSTR lpszSrcData)
{
    if (nSrcLen == 0)
        return;
    CStringData* pOld = GetData();
    int nOldLen = pOld->nDataLength;
    if (nSrcLen > INT_MAX - nOldLen)
        throw std::bad_alloc();
    int nNewLen = nOldLen + nSrcLen;
    if (pOld->nRefs != 1 || nNewLen > pOld->nAllocLength)
    {
        int nRoom = nNewLen;
        if (pOld->nRefs == 1 && nNewLen <= INT_MAX / 3 * 2)
            nRoom = nNewLen + nNewLen / 2;
        CStringData* pNew = NewData(nRoom);
        memcpy(pNew->data(), pOld->data(), nOldLen);
        memcpy(pNew->data() + nOldLen, lpszSrcData, nSrcLen);
        m_pchData = pNew->data();
        Release(pOld);
    }
    else
    {
        memmove(m_pchData + nOldLen, lpszSrcData, nSrcLen);
    }
    GetData()->nDataLength = nNewLen;
    m_pchData[nNewLen] = '\0';
}

const CString& CString::operator+=(const CString& string)
{
    ConcatInPlace(string.GetLength(), string.m_pchData);
    return *this;
}

const CString& CString::operator+=(TCHAR ch)
{
    ConcatInPlace(1, &ch);
    return *this;
}

const CString& CString::operator+=(LPCTSTR lpsz)
{
    ConcatInPlace(SafeStrlen(lpsz), lpsz);
    return *this;
}

// The copy shares the left string's buffer, so the append makes one of exactly the joined length.
CString AFXAPI operator+(const CString& string1, const CString& string2)
{
    CString s(string1);
    s += string2;
    return s;
}

CString AFXAPI operator+(const CString& string, LPCTSTR lpsz)
{
    CString s(string);
    s += lpsz;
    return s;
}

int CString::Compare(LPCTSTR lpsz) const { return strcmp(m_pchData, lpsz != nullptr ? lpsz : ""); }

// Out-of-range requests are clamped to the string: a negative start counts as 0, a start past
// the end or a negative count gives an empty string, a count past the end stops at the end.
CString CString::Mid(int nFirst) const { return Mid(nFirst, INT_MAX); }

CString CString::Mid(int nFirst, int nCount) const
{
    int nLen = GetLength();
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0)
        nCount = 0;
    if (nFirst >= nLen)
        return CString();
    if (nCount > nLen - nFirst)
        nCount = nLen - nFirst;
    if (nFirst == 0 && nCount == nLen)
        return *this;
    return CString(m_pchData + nFirst, nCount);
}

CString CString::Left(int nCount) const { return Mid(0, nCount); }

void CString::TrimLeft()
{
    int nSkip = 0;
    while (nSkip < GetLength() && IsSpace(m_pchData[nSkip]))
        ++nSkip;
    if (nSkip != 0)
        AssignCopy(GetLength() - nSkip, m_pchData + nSkip);
}

void CString::TrimRight()
{
    int nLen = GetLength();
    while (nLen > 0 && IsSpace(m_pchData[nLen - 1]))
        --nLen;
    if (nLen != GetLength())
        AssignCopy(nLen, m_pchData);
}

int CString::ReverseFind(TCHAR ch) const { return IndexOf(strrchr(m_pchData, static_cast<unsigned char>(ch))); }

void CString::Format(LPCTSTR lpszFormat, ...)
{
    va_list argList;
    va_start(argList, lpszFormat);
    FormatV(lpszFormat, argList);
    va_end(argList);
}

// Formats into a new buffer, so arguments may point into this string. A C99 vsnprintf tells the
// needed size at once; an older one answers -1 on overflow, and then the buffer doubles.
void CString::FormatV(LPCTSTR lpszFormat, va_list argList)
{
    if (lpszFormat == nullptr)
        lpszFormat = "";
    for (int nRoom = 256;;)
    {
        CString strNew;
        va_list args;
        va_copy(args, argList);
        int nLen = vsnprintf(strNew.GetBuffer(nRoom), (size_t)nRoom + 1, lpszFormat, args);
        va_end(args);
        if (nLen >= 0 && nLen <= nRoom)
        {
            AssignCopy(nLen, strNew.m_pchData);
            return;
        }
        if (nLen > nRoom)
            nRoom = nLen;
        else if (nRoom <= INT_MAX / 2 - 64)
            nRoom *= 2;
        else
            throw std::bad_alloc();
    }
}

LPTSTR CString::GetBuffer(int nMinBufLength)
{
    CStringData* pOld = GetData();
    if (pOld->nRefs != 1 || nMinBufLength > pOld->nAllocLength)
    {
        int nOldLen = pOld->nDataLength;
        if (nMinBufLength < nOldLen)
            nMinBufLength = nOldLen;
        CStringData* pNew = NewData(nMinBufLength);
        memcpy(pNew->data(), pOld->data(), nOldLen + 1);
        pNew->nDataLength = nOldLen;
        m_pchData = pNew->data();
        Release(pOld);
    }
    return m_pchData;
}

// nNewLength -1: the text ends at the first zero.
void CString::ReleaseBuffer(int nNewLength)
{
    CopyBeforeWrite();
    CStringData* pData = GetData();
    if (pData->nRefs < 0)
        return;
    if (nNewLength < 0)
    {
        const void* pEnd = memchr(m_pchData, '\0', pData->nAllocLength);
        nNewLength = pEnd != nullptr ? (int)(static_cast<LPCTSTR>(pEnd) - m_pchData) : pData->nAllocLength;
    }
    if (nNewLength > pData->nAllocLength)
        nNewLength = pData->nAllocLength;
    pData->nDataLength = nNewLength;
    m_pchData[nNewLength] = '\0';
}

LPTSTR CString::GetBufferSetLength(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = 0;
    GetBuffer(nNewLength);
    GetData()->nDataLength = nNewLength;
    m_pchData[nNewLength] = '\0';
    return m_pchData;
}

bool AFXAPI operator==(const CString& s1, const CString& s2) { return s1.Compare(s2) == 0; }
bool AFXAPI operator==(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) == 0; }
bool AFXAPI operator==(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) == 0; }
bool AFXAPI operator!=(const CString& s1, const CString& s2) { return s1.Compare(s2) != 0; }
bool AFXAPI operator!=(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) != 0; }
bool AFXAPI operator!=(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) != 0; }
