// CTimeSpan and CTime: span parts and formats, local-time construction and formatting, arithmetic.
#include <gtest/gtest.h>
#include <afx.h>

#include <string>

namespace
{
std::string Str(const CString& s) { return std::string((LPCTSTR)s, s.GetLength()); }
}  // namespace

TEST(CTimeSpanTest, SplitsSecondsIntoParts)
{
    CTimeSpan span(90061);  // 1 day, 1 hour, 1 minute, 1 second
    EXPECT_EQ(1, span.GetDays());
    EXPECT_EQ(1, span.GetHours());
    EXPECT_EQ(1, span.GetMinutes());
    EXPECT_EQ(1, span.GetSeconds());
    EXPECT_EQ(25, span.GetTotalHours());
    EXPECT_EQ(1501, span.GetTotalMinutes());
    EXPECT_EQ(90061, span.GetTotalSeconds());

    CTimeSpan built(2, 3, 4, 5);
    EXPECT_EQ(2 * 86400 + 3 * 3600 + 4 * 60 + 5, built.GetTotalSeconds());
    EXPECT_EQ(3, built.GetHours());
    EXPECT_EQ(4, built.GetMinutes());
    EXPECT_EQ(5, built.GetSeconds());

    CTimeSpan negative(-3725);
    EXPECT_EQ(0, negative.GetDays());
    EXPECT_EQ(-1, negative.GetHours());
    EXPECT_EQ(-2, negative.GetMinutes());
    EXPECT_EQ(-5, negative.GetSeconds());
}

TEST(CTimeSpanTest, FormatsHoursMinutesSecondsAndDays)
{
    EXPECT_EQ("01 : 02 : 05", Str(CTimeSpan(3725).Format("%H : %M : %S")));
    EXPECT_EQ("1 days, 01 : 01 : 01", Str(CTimeSpan(90061).Format("%D days, %H : %M : %S")));
    EXPECT_EQ("00:00:00", Str(CTimeSpan(0).Format("%H:%M:%S")));
    EXPECT_EQ("0 days, 23:59:59", Str(CTimeSpan(86399).Format("%D days, %H:%M:%S")));
    EXPECT_EQ("12 days 00:00", Str(CTimeSpan(12 * 86400).Format("%D days %H:%M")));
    // Hours stay within the day when the days are shown or not.
    EXPECT_EQ("02", Str(CTimeSpan(26 * 3600).Format("%H")));
}

TEST(CTimeSpanTest, FormatCopiesOtherTextAndHandlesPercentSigns)
{
    EXPECT_EQ("100% done in 05 s", Str(CTimeSpan(5).Format("100%% done in %S s")));
    EXPECT_EQ("time left: x", Str(CTimeSpan(5).Format("time left: %x")));
    EXPECT_EQ("end %", Str(CTimeSpan(5).Format("end %")));
    EXPECT_EQ("", Str(CTimeSpan(5).Format("")));
}

TEST(CTimeSpanTest, NegativeSpanShowsOneSignBeforeItsFirstField)
{
    EXPECT_EQ("-01 : 02 : 05", Str(CTimeSpan(-3725).Format("%H : %M : %S")));
    EXPECT_EQ("left -1 days, 01:01:01", Str(CTimeSpan(-90061).Format("left %D days, %H:%M:%S")));
    EXPECT_EQ("-00:00:01", Str((CTimeSpan(5) - CTimeSpan(6)).Format("%H:%M:%S")));
}

TEST(CTimeTest, BuildsFromLocalPartsAndReadsThemBack)
{
    CTime t(2002, 3, 7, 14, 5, 9);
    EXPECT_EQ(2002, t.GetYear());
    EXPECT_EQ(3, t.GetMonth());
    EXPECT_EQ(7, t.GetDay());
    EXPECT_EQ(14, t.GetHour());
    EXPECT_EQ(5, t.GetMinute());
    EXPECT_EQ(9, t.GetSecond());
    EXPECT_EQ(5, t.GetDayOfWeek());  // a Thursday; Sunday is 1
    EXPECT_EQ("03/07/02 14:05:09  ", Str(t.Format("%m/%d/%y %H:%M:%S  ")));

    SYSTEMTIME st = {};
    st.wYear = 2002;
    st.wMonth = 3;
    st.wDay = 7;
    st.wHour = 14;
    st.wMinute = 5;
    st.wSecond = 9;
    EXPECT_TRUE(CTime(st) == t);
}

TEST(CTimeTest, FormatsUtcAndLongPatterns)
{
    CTime epoch((time_t)0);
    EXPECT_EQ("1970-01-01 00:00:00", Str(epoch.FormatGmt("%Y-%m-%d %H:%M:%S")));

    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "%Y-%m-%d ";
    CString text = epoch.FormatGmt(pattern.c_str());
    EXPECT_EQ(40 * 11, text.GetLength());
    EXPECT_EQ("1970-01-01 ", Str(text.Right(11)));
    EXPECT_TRUE(epoch.Format("").IsEmpty());
}

TEST(CTimeTest, AddsAndSubtractsSpans)
{
    CTime start(2002, 3, 7, 23, 0, 0);
    CTime later = start + CTimeSpan(0, 2, 30, 0);
    EXPECT_EQ(8, later.GetDay());
    EXPECT_EQ(1, later.GetHour());
    EXPECT_EQ(30, later.GetMinute());
    CTimeSpan diff = later - start;
    EXPECT_EQ(9000, diff.GetTotalSeconds());
    EXPECT_TRUE(later - diff == start);
    EXPECT_TRUE(start < later);

    CTime now = CTime::GetCurrentTime();
    time_t t = time(nullptr);
    EXPECT_LE(t - now.GetTime(), 2);
    EXPECT_GE(t - now.GetTime(), 0);
}
