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
    CTimeSpan() : m_timeSpan(0) {}
    CTimeSpan(time_t time) : m_timeSpan(time) {}
    CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs);

    // Whole units, truncated toward zero; each part is within its unit and carries the sign of
    // the span (-3725 s: GetHours -1, GetMinutes -2, GetSeconds -5).
    LONG GetDays() const { return (LONG)(m_timeSpan / (24 * 3600)); }
    LONG GetTotalHours() const { return (LONG)(m_timeSpan / 3600); }
    int GetHours() const { return (int)(GetTotalHours() - GetDays() * 24); }
    LONG GetTotalMinutes() const { return (LONG)(m_timeSpan / 60); }
    int GetMinutes() const { return (int)(GetTotalMinutes() - GetTotalHours() * 60); }
    LONG GetTotalSeconds() const { return (LONG)m_timeSpan; }
    int GetSeconds() const { return (int)(GetTotalSeconds() - GetTotalMinutes() * 60); }

    // %D days, %H hours (00-23), %M minutes (00-59), %S seconds (00-59), %% a percent sign; any
    // other character after % stands for itself, and text outside conversions is copied. A
    // negative span is shown as its magnitude with one '-' in front of its first conversion
    // ("-01 : 02 : 05" for -3725 s with "%H : %M : %S").
    CString Format(LPCTSTR pFormat) const;

    CTimeSpan operator-(CTimeSpan timeSpan) const { return CTimeSpan(m_timeSpan - timeSpan.m_timeSpan); }
    CTimeSpan operator+(CTimeSpan timeSpan) const { return CTimeSpan(m_timeSpan + timeSpan.m_timeSpan); }
    CTimeSpan operator-() const { return CTimeSpan(-m_timeSpan); }
    const CTimeSpan& operator+=(CTimeSpan timeSpan) { m_timeSpan += timeSpan.m_timeSpan; return *this; }
    const CTimeSpan& operator-=(CTimeSpan timeSpan) { m_timeSpan -= timeSpan.m_timeSpan; return *this; }
    BOOL operator==(CTimeSpan timeSpan) const { return m_timeSpan == timeSpan.m_timeSpan; }
    BOOL operator!=(CTimeSpan timeSpan) const { return m_timeSpan != timeSpan.m_timeSpan; }
    BOOL operator<(CTimeSpan timeSpan) const { return m_timeSpan < timeSpan.m_timeSpan; }
    BOOL operator>(CTimeSpan timeSpan) const { return m_timeSpan > timeSpan.m_timeSpan; }
    BOOL operator<=(CTimeSpan timeSpan) const { return m_timeSpan <= timeSpan.m_timeSpan; }
    BOOL operator>=(CTimeSpan timeSpan) const { return m_timeSpan >= timeSpan.m_timeSpan; }

private:
    time_t m_timeSpan;
    friend class CTime;
};

class CTime
{
public:
    static CTime PASCAL GetCurrentTime();

    CTime() : m_time(0) {}
    CTime(time_t time) : m_time(time) {}
    // Local time; nDST -1 lets the C library decide whether daylight saving applies.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);
    CTime(const SYSTEMTIME& sysTime, int nDST = -1);
    CTime(const FILETIME& fileTime, int nDST = -1);

    time_t GetTime() const { return m_time; }
    // Fill *ptm and answer it; null when the time cannot be represented.
    struct tm* GetLocalTm(struct tm* ptm) const;
    struct tm* GetGmtTm(struct tm* ptm) const;

    // Local-time parts (0 when the time cannot be represented); DayOfWeek 1 = Sunday.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;

    // strftime on the local time (Format) or on UTC (FormatGmt).
    CString Format(LPCTSTR pFormat) const;
    CString FormatGmt(LPCTSTR pFormat) const;

    CTimeSpan operator-(CTime time) const { return CTimeSpan(m_time - time.m_time); }
    CTime operator-(CTimeSpan timeSpan) const { return CTime(m_time - timeSpan.m_timeSpan); }
    CTime operator+(CTimeSpan timeSpan) const { return CTime(m_time + timeSpan.m_timeSpan); }
    const CTime& operator+=(CTimeSpan timeSpan) { m_time += timeSpan.m_timeSpan; return *this; }
    const CTime& operator-=(CTimeSpan timeSpan) { m_time -= timeSpan.m_timeSpan; return *this; }
    BOOL operator==(CTime time) const { return m_time == time.m_time; }
    BOOL operator!=(CTime time) const { return m_time != time.m_time; }
    BOOL operator<(CTime time) const { return m_time < time.m_time; }
    BOOL operator>(CTime time) const { return m_time > time.m_time; }
    BOOL operator<=(CTime time) const { return m_time <= time.m_time; }
    BOOL operator>=(CTime time) const { return m_time >= time.m_time; }

private:
    time_t m_time;
};
