// CTimeSpan and CTime: the time-left format of the download dialog and the local time stamp of the
// trace log.
#include <gtest/gtest.h>
#include <afx.h>
#include <stdio.h>
#include <string>

TEST(CTimeSpanTest, FormatsEachCase)
{
    const struct { time_t nSeconds; const char *pszFormat, *pszExpected; } cases[] = {
        {3725, "%H : %M : %S", "01 : 02 : 05"}, {90061, "%D days, %H : %M : %S", "1 days, 01 : 01 : 01"},
        {0, "%H:%M:%S", "00:00:00"},            {86399, "%D days, %H:%M:%S", "0 days, 23:59:59"},
        {12 * 86400, "%D days %H:%M", "12 days 00:00"},
        {26 * 3600, "%H", "02"},  // hours stay within the day, days shown or not
        {5, "100%% done in %S s", "100% done in 05 s"}, {5, "time left: %x", "time left: x"},
        {5, "end %", "end %"},                          {5, "", ""},
        {-3725, "%H : %M : %S", "-01 : 02 : 05"},       {-90061, "left %D days, %H:%M:%S", "left -1 days, 01:01:01"},
        {-1, "%H:%M:%S", "-00:00:01"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.pszExpected, CTimeSpan(c.nSeconds).Format(c.pszFormat)) << c.nSeconds << " " << c.pszFormat;
}

TEST(CTimeTest, FormatsTheLocalTime)
{
    // The local time of t as "mm/dd/yy hh:mm:ss", worked out by the system rather than the C library.
    auto systemStamp = [](time_t t) {
        ULONGLONG ull = ((ULONGLONG)t + 11644473600ULL) * 10000000ULL;  // 100 ns since 1601
        FILETIME ft = {(DWORD)ull, (DWORD)(ull >> 32)};
        SYSTEMTIME stUtc, st;
        ::FileTimeToSystemTime(&ft, &stUtc);
        ::SystemTimeToTzSpecificLocalTime(nullptr, &stUtc, &st);
        char sz[32];
        snprintf(sz, sizeof(sz), "%02u/%02u/%02u %02u:%02u:%02u", st.wMonth, st.wDay, st.wYear % 100, st.wHour,
                 st.wMinute, st.wSecond);
        return std::string(sz);
    };
    for (time_t t : {(time_t)1015509909, (time_t)1700000000, (time_t)951782400 /* 29 Feb 2000 */})
        EXPECT_EQ(systemStamp(t), (LPCTSTR)CTime(t).Format("%m/%d/%y %H:%M:%S")) << t;
    std::string strPattern, strExpected;  // longer than the first buffer
    for (int i = 0; i < 40; ++i)
        strPattern += "%m/%d/%y ", strExpected += systemStamp(1015509909).substr(0, 9);
    EXPECT_EQ(strExpected, (LPCTSTR)CTime(1015509909).Format(strPattern.c_str()));
    EXPECT_TRUE(CTime(0).Format("").IsEmpty());
    time_t tBefore = time(nullptr), tNow = CTime::GetCurrentTime().GetTime();
    EXPECT_TRUE(tBefore <= tNow && tNow <= time(nullptr));
}
