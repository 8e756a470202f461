// The progress display's arithmetic and texts: rate, duration and percentage, the once-a-second rate
// sample with its time-left estimate, and what ProgressUpdate takes for display on a dialog without a
// window. (The fields reaching the window are read by the dialog tests in tests/integration.)
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "download/CURLDownloading.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"

namespace
{
const char kUrl[] = "http://127.0.0.1:9/progress/unit/brindlemox.exe";
DWORD g_dwFakeTick = 0;
DWORD WINAPI FakeTickCount() { return g_dwFakeTick; }
}  // namespace

TEST(ProgressFormatTest, RatesDurationsAndPercentages)
{
    CURLDownloading dlg;
    const std::pair<double, const char*> rates[] = {{0.5, "512 bytes/sec"}, {0.999, "1023 bytes/sec"},
                                                    {1.0, "1.00 K/sec"},    {9.99, "9.99 K/sec"},
                                                    {10.0, "10 K/sec"},     {37.6, "38 K/sec"}};
    for (const auto& rate : rates)
        EXPECT_STREQ(rate.second, dlg.FormatTransferRate(rate.first));
    const std::pair<int, const char*> durations[] = {{3725, "01 : 02 : 05"}, {86399, "23 : 59 : 59"},
                                                     {86400, "1 days, 00 : 00 : 00"}, {90061, "1 days, 01 : 01 : 01"}};
    for (const auto& duration : durations)
        EXPECT_STREQ(duration.second, dlg.FormatTimeLeft(duration.first));
    // Truncated, never rounded up: 100 only for the whole file.
    const std::tuple<DWORD, DWORD, int> percents[] = {
        {1, 3, 33}, {999, 1000, 99}, {0, 0, 0}, {4000000000u, 4000000000u, 100}};
    for (const auto& p : percents)
        EXPECT_EQ(std::get<2>(p), CURLDownloading::Percent(std::get<0>(p), std::get<1>(p))) << std::get<0>(p);
}

TEST(ProgressFormatTest, RateAndTimeLeftAreSampledOnceASecondFromTheBytesStillMissing)
{
    CTempFolder folder("progress");
    CURLDownloading dlg;
    dlg.m_pfnGetTickCount = FakeTickCount;
    // Each run: the response at tick 1000, the file's total and what it held before this transfer,
    // then blocks written at given ticks with the figures expected after each.
    struct Step { DWORD dwTick, cbBlock; double dRate; int nSecondsLeft; };
    const struct { DWORD dwTotal, dwResumeOffset; std::vector<Step> steps; } runs[] = {
        {10000, 0,
         {{1500, 1000, 0.0, 0},                // within the first second: nothing sampled
          {2000, 1000, 0.0, 0},                // exactly one second: not yet
          {2001, 500, 2500.0 / 1001.0, 3},     // 7500 bytes to go at 1001 ms per 2500: 3.003 s
          {2900, 1000, 2500.0 / 1001.0, 3},    // within the next second: the figures stay
          {4002, 1000, 2000.0 / 2001.0, 3}}},  // 2000 bytes since tick 2001; 3002 / 4500 * 5500 ms
        {10000, 6000, {{2001, 2000, 2000.0 / 1001.0, 1}}},  // 2000 missing, not 8000
        {10000, 9000, {{2001, 2000, 2000.0 / 1001.0, 0}}},  // nothing missing: never a wrapped count
    };
    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.dwResumeOffset);
        dlg.SetLocalFile(::CreateFileA(folder.File("f").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        dlg.m_dwStartTick = dlg.m_dwRateMarkTick = 1000;
        dlg.m_dwBytesThisTransfer = dlg.m_dwRateMarkBytes = 0;
        dlg.m_dwTotalSize = run.dwTotal;
        dlg.m_dwResumeOffset = run.dwResumeOffset;
        dlg.m_dRate = dlg.m_nSecondsLeft = 0;
        DWORD cbWritten = 0;
        for (const Step& step : run.steps)
        {
            g_dwFakeTick = step.dwTick;
            dlg.WriteReceivedData(std::string(step.cbBlock, 'x').data(), step.cbBlock);
            EXPECT_EQ(cbWritten += step.cbBlock, dlg.m_dwBytesThisTransfer);
            EXPECT_DOUBLE_EQ(step.dRate, dlg.m_dRate) << step.dwTick;
            EXPECT_EQ(step.nSecondsLeft, dlg.m_nSecondsLeft) << step.dwTick;
        }
        dlg.SetLocalFile(NULL);
        EXPECT_EQ((LONGLONG)cbWritten, FileLength(folder.File("f")));
    }
    // A write that fails counts no bytes: the rate sample sees none, the estimate stays.
    dlg.m_hFile = INVALID_HANDLE_VALUE;
    dlg.m_dwStartTick = dlg.m_dwRateMarkTick = dlg.m_dwBytesThisTransfer = dlg.m_dwRateMarkBytes = 0;
    dlg.m_dRate = 5.0;
    dlg.m_nSecondsLeft = 42;
    g_dwFakeTick = 5000;
    dlg.WriteReceivedData("0123456789", 10);
    EXPECT_TRUE(dlg.m_dwBytesThisTransfer == 0 && dlg.m_dRate == 0.0 && dlg.m_nSecondsLeft == 42);
    dlg.m_hFile = NULL;
}

TEST(ProgressFormatTest, WhatProgressUpdateShows)
{
    CURLDownloading dlg;
    dlg.m_strURL = kUrl;
    auto shown = [&] {
        ::EnterCriticalSection(&dlg.m_csShared);
        const CURLDownloading::ProgressSnapshot s = dlg.m_progressShown;
        ::LeaveCriticalSection(&dlg.m_csShared);
        return std::string(s.strTitle) + "|" + (LPCTSTR)s.strServerStatus + "|" + std::to_string(s.nPercent);
    };
    // Only the whole address as the status text reads "Downloading......"; a part of it stays.
    dlg.ProgressUpdate("Not Known", "Not Known", "http://127.0.0.1:9/progress/unit/", "line", 7);
    EXPECT_EQ("7% done brindlemox.exe |http://127.0.0.1:9/progress/unit/|7", shown());
    // A negative percentage and a missing status text show nothing; without a window nothing is posted.
    dlg.ProgressUpdate("Not Known", "Not Known", "after", "line", -1);
    dlg.ProgressUpdate("Not Known", "Not Known", nullptr, "line", 50);
    EXPECT_EQ("7% done brindlemox.exe |http://127.0.0.1:9/progress/unit/|7", shown());
    EXPECT_EQ(0, dlg.m_lProgressPosted.load());
    // After Stop only a trace line is written.
    CDialogTraceLog log;
    dlg.g_fAbortDownload = TRUE;
    dlg.ProgressUpdate("Not Known", "Not Known", "after", "line", 8);
    EXPECT_EQ("7% done brindlemox.exe |http://127.0.0.1:9/progress/unit/|7", shown());
    EXPECT_EQ(1, log.Count(std::string("End ProgressUpdate as aborted in CURLDownloading for ") + kUrl));
    // An address without '/' is its own file name.
    dlg.g_fAbortDownload = FALSE;
    dlg.m_strURL = "brindlemox";
    dlg.ProgressUpdate("Not Known", "Not Known", "x", "line", 100);
    EXPECT_EQ("100% done brindlemox |x|100", shown());
}
