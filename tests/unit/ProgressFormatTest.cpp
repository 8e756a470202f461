// The progress figures and texts: rate, duration and percentage, the progress line, and the
// once-a-second rate sample with its time-left estimate. (What the dialog makes of them: the dialog
// tests in tests/integration.)
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "transfer/CRateMeter.h"

TEST(ProgressFormatTest, RatesDurationsPercentagesAndProgressLines)
{
    const std::pair<double, const char*> rates[] = {{0.5, "512 bytes/sec"}, {0.999, "1023 bytes/sec"},
                                                    {1.0, "1.00 K/sec"},    {9.99, "9.99 K/sec"},
                                                    {10.0, "10 K/sec"},     {37.6, "38 K/sec"}};
    for (const auto& rate : rates)
        EXPECT_STREQ(rate.second, CRateMeter::FormatTransferRate(rate.first));
    const std::pair<int, const char*> durations[] = {{3725, "01 : 02 : 05"}, {86399, "23 : 59 : 59"},
                                                     {86400, "1 days, 00 : 00 : 00"}, {90061, "1 days, 01 : 01 : 01"}};
    for (const auto& duration : durations)
        EXPECT_STREQ(duration.second, CRateMeter::FormatTimeLeft(duration.first));
    // Truncated, never rounded up: 100 only for the whole file.
    const std::tuple<DWORD, DWORD, int> percents[] = {
        {1, 3, 33}, {999, 1000, 99}, {0, 0, 0}, {4000000000u, 4000000000u, 100}};
    for (const auto& p : percents)
        EXPECT_EQ(std::get<2>(p), CRateMeter::Percent(std::get<0>(p), std::get<1>(p))) << std::get<0>(p);
    EXPECT_STREQ("Downloaded 1.50 KB of 4.00 KB", CRateMeter::ProgressText(1536, 4096));
    EXPECT_STREQ("Downloaded 0 bytes (total size unknown)", CRateMeter::ProgressText(0, 0));
}

TEST(ProgressFormatTest, RateAndTimeLeftAreSampledOnceASecondFromTheBytesStillMissing)
{
    // Each run: the answer at tick 1000, the file's total and what it held before this transfer,
    // then blocks written at given ticks with the figures expected after each (a failed write
    // counts no bytes).
    struct Step { DWORD dwTick, cbBlock; double dRate; int nSecondsLeft; };
    const struct { DWORD dwTotal, dwHadBefore; std::vector<Step> steps; } runs[] = {
        {10000, 0,
         {{1500, 1000, 0.0, 0},                // within the first second: nothing sampled
          {2000, 1000, 0.0, 0},                // exactly one second: not yet
          {2001, 500, 2500.0 / 1001.0, 3},     // 7500 bytes to go at 1001 ms per 2500: 3.003 s
          {2900, 1000, 2500.0 / 1001.0, 3},    // within the next second: the figures stay
          {4002, 1000, 2000.0 / 2001.0, 3},    // 2000 bytes since tick 2001; 3002 / 4500 * 5500 ms
          {5003, 0, 0.0, 3}}},                 // a failed write: the rate sample sees none, the estimate stays
        {10000, 6000, {{2001, 2000, 2000.0 / 1001.0, 1}}},  // 2000 missing, not 8000
        {10000, 9000, {{2001, 2000, 2000.0 / 1001.0, 0}}},  // nothing missing: never a wrapped count
    };
    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.dwHadBefore);
        CRateMeter meter;
        meter.Begin(1000, run.dwHadBefore);
        DWORD cbWritten = 0;
        for (const Step& step : run.steps)
        {
            meter.Count(step.cbBlock, step.dwTick, run.dwTotal);
            EXPECT_EQ(cbWritten += step.cbBlock, meter.BytesThisTransfer());
            EXPECT_DOUBLE_EQ(step.dRate, meter.Rate()) << step.dwTick;
            EXPECT_EQ(step.nSecondsLeft, meter.SecondsLeft()) << step.dwTick;
        }
    }
}
