#include "CTime.h"

#include <stdio.h>
#include <string.h>

// ---- CTimeSpan -----------------------------------------------------------------------------

CTimeSpan::CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs)
{
    m_timeSpan = (time_t)(nSecs + 60 * (nMins + 60 * (nHours + 24 * (long long)lDays)));
}

CString CTimeSpan::Format(LPCTSTR pFormat) const
{
    CString strResult;
    if (pFormat == nullptr)
        return strResult;

    // The magnitude in 64 bits, so that the most negative span has one too.
    long long llSpan = (long long)m_timeSpan;
    bool bNegative = llSpan < 0;
    unsigned long long ullAbs = bNegative ? 0ULL - (unsigned long long)llSpan : (unsigned long long)llSpan;
    unsigned long long ullDays = ullAbs / 86400;
    unsigned uHours = (unsigned)(ullAbs / 3600 % 24);
    unsigned uMinutes = (unsigned)(ullAbs / 60 % 60);
    unsigned uSeconds = (unsigned)(ullAbs % 60);

    bool bSignPending = bNegative;
    char szField[32];
    for (LPCTSTR p = pFormat; *p != '\0'; ++p)
    {
        if (*p != '%')
        {
            strResult += *p;
            continue;
        }
        char chSpec = p[1];
        if (chSpec == '\0')
        {
            strResult += '%';  // a lone % at the end stands for itself
            break;
        }
        ++p;
        switch (chSpec)
        {
        case 'D':
            snprintf(szField, sizeof(szField), "%llu", ullDays);
            break;
        case 'H':
            snprintf(szField, sizeof(szField), "%02u", uHours);
            break;
        case 'M':
            snprintf(szField, sizeof(szField), "%02u", uMinutes);
            break;
        case 'S':
            snprintf(szField, sizeof(szField), "%02u", uSeconds);
            break;
        default:
            strResult += chSpec;
            continue;
        }
        if (bSignPending)
        {
            strResult += '-';
            bSignPending = false;
        }
        strResult += szField;
    }
    return strResult;
}

// ---- CTime ---------------------------------------------------------------------------------

namespace
{
// strftime of any length; an empty result (zero from strftime) is taken as empty only once the
// buffer is clearly large enough.
CString FormatTm(LPCTSTR pFormat, const struct tm* ptm)
{
    if (pFormat == nullptr || *pFormat == '\0' || ptm == nullptr)
        return CString();
    size_t nRoom = 128;
    for (;;)
    {
        CString strBuffer;
        LPTSTR pBuf = strBuffer.GetBuffer((int)nRoom);
        size_t nLen = strftime(pBuf, nRoom + 1, pFormat, ptm);
        if (nLen != 0 || nRoom >= strlen(pFormat) * 64 + 1024)
        {
            strBuffer.ReleaseBuffer((int)nLen);
            return strBuffer;
        }
        strBuffer.ReleaseBuffer(0);
        nRoom *= 4;
    }
}
}  // namespace

CTime PASCAL CTime::GetCurrentTime() { return CTime(::time(nullptr)); }

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST)
{
    struct tm atm = {};
    atm.tm_sec = nSec;
    atm.tm_min = nMin;
    atm.tm_hour = nHour;
    atm.tm_mday = nDay;
    atm.tm_mon = nMonth - 1;
    atm.tm_year = nYear - 1900;
    atm.tm_isdst = nDST;
    m_time = mktime(&atm);
}

CTime::CTime(const SYSTEMTIME& sysTime, int nDST)
    : CTime(sysTime.wYear, sysTime.wMonth, sysTime.wDay, sysTime.wHour, sysTime.wMinute, sysTime.wSecond, nDST)
{
}

// A FILETIME is UTC; the parts are taken in local time, as the other constructors do.
CTime::CTime(const FILETIME& fileTime, int nDST) : m_time((time_t)-1)
{
    FILETIME localTime;
    SYSTEMTIME sysTime;
    if (::FileTimeToLocalFileTime(&fileTime, &localTime) && ::FileTimeToSystemTime(&localTime, &sysTime))
        *this = CTime(sysTime, nDST);
}

// The C library's localtime and gmtime keep their result per thread; it is copied at once.
struct tm* CTime::GetLocalTm(struct tm* ptm) const
{
    time_t t = m_time;
    struct tm* ptmTemp = localtime(&t);
    if (ptmTemp == nullptr || ptm == nullptr)
        return nullptr;
    *ptm = *ptmTemp;
    return ptm;
}

struct tm* CTime::GetGmtTm(struct tm* ptm) const
{
    time_t t = m_time;
    struct tm* ptmTemp = gmtime(&t);
    if (ptmTemp == nullptr || ptm == nullptr)
        return nullptr;
    *ptm = *ptmTemp;
    return ptm;
}

int CTime::GetYear() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_year + 1900 : 0;
}

int CTime::GetMonth() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_mon + 1 : 0;
}

int CTime::GetDay() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_mday : 0;
}

int CTime::GetHour() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_hour : 0;
}

int CTime::GetMinute() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_min : 0;
}

int CTime::GetSecond() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_sec : 0;
}

int CTime::GetDayOfWeek() const
{
    struct tm atm;
    return GetLocalTm(&atm) != nullptr ? atm.tm_wday + 1 : 0;
}

CString CTime::Format(LPCTSTR pFormat) const
{
    struct tm atm;
    return FormatTm(pFormat, GetLocalTm(&atm));
}

CString CTime::FormatGmt(LPCTSTR pFormat) const
{
    struct tm atm;
    return FormatTm(pFormat, GetGmtTm(&atm));
}
