#include "CTime.h"

#include <stdio.h>
#include <string.h>

// ---- CTimeSpan -----------------------------------------------------------------------------

// The decimal digits of a count of days, written here: the printf of Windows 95's and 98's
// msvcrt.dll knows no %llu, and a span's days may exceed 32 bits.
static void FormatDays(char* pszField, size_t cchField, unsigned long long ullDays)
{
    char szDigits[24];
    char* p = szDigits + sizeof(szDigits);
    *--p = '\0';
    do
    {
        *--p = static_cast<char>('0' + ullDays % 10);
        ullDays /= 10;
    } while (ullDays != 0);
    lstrcpynA(pszField, p, static_cast<int>(cchField));
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
            FormatDays(szField, sizeof(szField), ullDays);
            break;
        case 'H':
        case 'M':
        case 'S':
            snprintf(szField, sizeof(szField), "%02u", chSpec == 'H' ? uHours : chSpec == 'M' ? uMinutes : uSeconds);
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

CTime PASCAL CTime::GetCurrentTime() { return CTime(::time(nullptr)); }

// strftime of any length; an empty result (zero from strftime) is taken as empty only once the
// buffer is clearly large enough. localtime's result is kept per thread and used at once.
CString CTime::Format(LPCTSTR pFormat) const
{
    time_t t = m_time;
    const struct tm* ptm = localtime(&t);
    if (pFormat == nullptr || *pFormat == '\0' || ptm == nullptr)
        return CString();
    for (size_t nRoom = 128;; nRoom *= 4)
    {
        CString strBuffer;
        size_t nLen = strftime(strBuffer.GetBuffer((int)nRoom), nRoom + 1, pFormat, ptm);
        if (nLen != 0 || nRoom >= strlen(pFormat) * 64 + 1024)
        {
            strBuffer.ReleaseBuffer((int)nLen);
            return strBuffer;
        }
    }
}
