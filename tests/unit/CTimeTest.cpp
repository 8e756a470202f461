// CTime: the local time stamp of the trace log. (CTimeSpan's time-left format is read through
// ProgressFormatTest.)
#include <gtest/gtest.h>
#include <afx.h>
#include <stdio.h>
#include <string>

TEST(CTimeTest, FormatsTheLocalTime)
{
    // The local time of t as "mm/dd/yy hh:mm:ss", worked out by the system rather than the C library.
    for (time_t t : {(time_t)1015509909, (time_t)951782400 /* 29 Feb 2000 */})
    {
        ULONGLONG ull = ((ULONGLONG)t + 11644473600ULL) * 10000000ULL;  // 100 ns since 1601
        FILETIME ft = {(DWORD)ull, (DWORD)(ull >> 32)};
        SYSTEMTIME stUtc, st;
        ::FileTimeToSystemTime(&ft, &stUtc);
        ::SystemTimeToTzSpecificLocalTime(nullptr, &stUtc, &st);
        char sz[32];
        snprintf(sz, sizeof(sz), "%02u/%02u/%02u %02u:%02u:%02u  ", st.wMonth, st.wDay, st.wYear % 100, st.wHour,
                 st.wMinute, st.wSecond);
        EXPECT_STREQ(sz, CTime(t).Format("%m/%d/%y %H:%M:%S  ")) << t;
    }
}
