// CTimeSpan and CTime: a signed number of seconds, and a moment in time as time_t.
#pragma once
#include <windows.h>
#include <time.h>
#include "CString.h"

// winbase.h keeps a 16-bit era macro of this name, which would rename CTime::GetCurrentTime.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

class CTimeSpan
{
public:
    CTimeSpan(time_t time) : m_timeSpan(time) {}

    // %D days, %H hours (00-23), %M minutes (00-59), %S seconds (00-59), %% a percent sign; any
    // other character after % stands for itself, and text outside conversions is copied. A
    // negative span is shown as its magnitude with one '-' in front of its first conversion
    // ("-01 : 02 : 05" for -3725 s with "%H : %M : %S").
    CString Format(LPCTSTR pFormat) const;

private:
    time_t m_timeSpan;
};

class CTime
{
public:
    static CTime PASCAL GetCurrentTime();

    CTime(time_t time) : m_time(time) {}

    time_t GetTime() const { return m_time; }

    // strftime on the local time; empty when the time cannot be represented.
    CString Format(LPCTSTR pFormat) const;

private:
    time_t m_time;
};
