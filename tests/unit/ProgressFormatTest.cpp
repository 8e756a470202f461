// The progress display's arithmetic and texts: rate and duration formatting, the once-a-second
// rate sample with its time-left estimate, and what ProgressUpdate accepts for display (checked on
// a dialog object without a window: the snapshot it would show, and whether it asked to show it).
#include <gtest/gtest.h>
#include <string>
#include "download/CURLDownloading.h"
#include "tests/support/DialogDriver.h"

namespace
{
const char kUrl[] = "http://127.0.0.1:9/progress/unit/brindlemox.exe";

DWORD g_dwFakeTick = 0;
DWORD WINAPI FakeTickCount() { return g_dwFakeTick; }

class ProgressFormatTest : public ::testing::Test
{
protected:
    void SetUp() override { m_dlg.m_strURL = kUrl; }
    std::string Title()
    {
        ::EnterCriticalSection(&m_dlg.m_csShared);
        std::string strTitle = (LPCTSTR)m_dlg.m_progressShown.strTitle;
        ::LeaveCriticalSection(&m_dlg.m_csShared);
        return strTitle;
    }
    std::string ShownStatus()
    {
        ::EnterCriticalSection(&m_dlg.m_csShared);
        std::string strStatus = (LPCTSTR)m_dlg.m_progressShown.strServerStatus;
        ::LeaveCriticalSection(&m_dlg.m_csShared);
        return strStatus;
    }
    CURLDownloading m_dlg;
};
}  // namespace

TEST_F(ProgressFormatTest, RateIsShownInBytesBelowOneAndInKilobytesAbove)
{
    EXPECT_STREQ("512 bytes/sec", m_dlg.FormatTransferRate(0.5));
    EXPECT_STREQ("0 bytes/sec", m_dlg.FormatTransferRate(0.0));
    EXPECT_STREQ("1023 bytes/sec", m_dlg.FormatTransferRate(0.999));
    EXPECT_STREQ("1.00 K/sec", m_dlg.FormatTransferRate(1.0));
    EXPECT_STREQ("2.35 K/sec", m_dlg.FormatTransferRate(2.345));
    EXPECT_STREQ("9.99 K/sec", m_dlg.FormatTransferRate(9.99));
    EXPECT_STREQ("10 K/sec", m_dlg.FormatTransferRate(10.0));
    EXPECT_STREQ("38 K/sec", m_dlg.FormatTransferRate(37.6));
}

TEST_F(ProgressFormatTest, DurationsUnderADayShowHoursMinutesSecondsAndLongerOnesTheDays)
{
    EXPECT_STREQ("00 : 00 : 00", m_dlg.FormatTimeLeft(0));
    EXPECT_STREQ("01 : 02 : 05", m_dlg.FormatTimeLeft(3725));
    EXPECT_STREQ("23 : 59 : 59", m_dlg.FormatTimeLeft(86399));
    EXPECT_STREQ("1 days, 00 : 00 : 00", m_dlg.FormatTimeLeft(86400));
    EXPECT_STREQ("1 days, 01 : 01 : 01", m_dlg.FormatTimeLeft(90061));
    // A negative count is a huge unsigned one: the long form.
    EXPECT_NE(nullptr, strstr(m_dlg.FormatTimeLeft(-1), "days, "));
}

TEST_F(ProgressFormatTest, RateAndTimeLeftAreSampledAtMostOnceASecond)
{
    char szTemp[MAX_PATH];
    char szPath[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    ::GetTempFileNameA(szTemp, "prg", 0, szPath);
    m_dlg.m_hFile = ::CreateFileA(szPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, m_dlg.m_hFile);
    m_dlg.m_pfnGetTickCount = FakeTickCount;
    // The response arrived at tick 1000; 10000 bytes are expected.
    m_dlg.m_dwStartTick = m_dlg.m_dwRateMarkTick = 1000;
    m_dlg.m_dwBytesThisTransfer = m_dlg.m_dwRateMarkBytes = 0;
    m_dlg.m_dwTotalSize = 10000;
    m_dlg.m_dRate = 0.0;
    m_dlg.m_nSecondsLeft = 0;
    std::string strBlock(1000, 'x');

    g_dwFakeTick = 1500;
    m_dlg.WriteReceivedData(strBlock.data(), 1000);
    EXPECT_EQ(1000u, m_dlg.m_dwBytesThisTransfer);
    EXPECT_EQ(0.0, m_dlg.m_dRate);

    g_dwFakeTick = 2000;  // exactly one second: not yet
    m_dlg.WriteReceivedData(strBlock.data(), 1000);
    EXPECT_EQ(0.0, m_dlg.m_dRate);
    EXPECT_EQ(1000u, m_dlg.m_dwRateMarkTick);

    g_dwFakeTick = 2001;
    m_dlg.WriteReceivedData(strBlock.data(), 500);
    EXPECT_DOUBLE_EQ(2500.0 / 1001.0, m_dlg.m_dRate);
    EXPECT_EQ(2001u, m_dlg.m_dwRateMarkTick);
    EXPECT_EQ(2500u, m_dlg.m_dwRateMarkBytes);
    // 1001 ms for 2500 bytes, 7500 bytes to go: 3.003 s, truncated.
    EXPECT_EQ(3, m_dlg.m_nSecondsLeft);

    g_dwFakeTick = 2900;  // within the next second: figures stay
    m_dlg.WriteReceivedData(strBlock.data(), 1000);
    EXPECT_DOUBLE_EQ(2500.0 / 1001.0, m_dlg.m_dRate);
    EXPECT_EQ(3500u, m_dlg.m_dwBytesThisTransfer);

    g_dwFakeTick = 4002;  // the next sample covers the 2000 bytes since tick 2001
    m_dlg.WriteReceivedData(strBlock.data(), 1000);
    EXPECT_DOUBLE_EQ(2000.0 / 2001.0, m_dlg.m_dRate);
    EXPECT_EQ(4500u, m_dlg.m_dwBytesThisTransfer);
    // (4002 - 1000) / 4500 * 5500 / 1000 = 3.669...: truncated
    EXPECT_EQ(3, m_dlg.m_nSecondsLeft);

    LARGE_INTEGER size;
    ::GetFileSizeEx(m_dlg.m_hFile, &size);
    EXPECT_EQ(4500, size.QuadPart);
    ::CloseHandle(m_dlg.m_hFile);
    m_dlg.m_hFile = NULL;
    ::DeleteFileA(szPath);
}

TEST_F(ProgressFormatTest, TimeLeftCountsOnlyTheBytesStillMissingAfterAResume)
{
    // 2000 bytes written in 1001 ms; the whole file and what the file held before this transfer.
    struct Case { DWORD dwTotal, dwResumeOffset; int nSecondsLeft; } cases[] = {
        {10000, 0, 4},     // 8000 missing: 4.004 s
        {10000, 6000, 1},  // 2000 missing: 1.001 s (the whole size would say 4)
        {10000, 9000, 0},  // nothing missing: never a wrapped-round count
    };
    char szTemp[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    ::GetTempFileNameA(szTemp, "prg", 0, szPath);
    m_dlg.m_pfnGetTickCount = FakeTickCount;
    const std::string strBlock(2000, 'x');
    for (const Case& c : cases)
    {
        m_dlg.m_hFile = ::CreateFileA(szPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        m_dlg.m_dwStartTick = m_dlg.m_dwRateMarkTick = 1000;
        m_dlg.m_dwBytesThisTransfer = m_dlg.m_dwRateMarkBytes = 0;
        m_dlg.m_dwTotalSize = c.dwTotal;
        m_dlg.m_dwResumeOffset = c.dwResumeOffset;
        g_dwFakeTick = 2001;
        m_dlg.WriteReceivedData(strBlock.data(), 2000);
        EXPECT_EQ(c.nSecondsLeft, m_dlg.m_nSecondsLeft) << "resumed at " << c.dwResumeOffset;
        ::CloseHandle(m_dlg.m_hFile);
    }
    m_dlg.m_hFile = NULL;
    ::DeleteFileA(szPath);
}

TEST_F(ProgressFormatTest, AFailedWriteCountsNoBytesAndLeavesTheEstimate)
{
    m_dlg.m_hFile = INVALID_HANDLE_VALUE;
    m_dlg.m_pfnGetTickCount = FakeTickCount;
    m_dlg.m_dwStartTick = m_dlg.m_dwRateMarkTick = 0;
    m_dlg.m_dwBytesThisTransfer = m_dlg.m_dwRateMarkBytes = 0;
    m_dlg.m_dwTotalSize = 100;
    m_dlg.m_dRate = 5.0;
    m_dlg.m_nSecondsLeft = 42;
    g_dwFakeTick = 5000;
    char data[10] = {};
    m_dlg.WriteReceivedData(data, sizeof(data));
    EXPECT_EQ(0u, m_dlg.m_dwBytesThisTransfer);
    EXPECT_EQ(0.0, m_dlg.m_dRate);  // sampled: nothing in 5 s
    EXPECT_EQ(42, m_dlg.m_nSecondsLeft);
    m_dlg.m_hFile = NULL;
}

TEST_F(ProgressFormatTest, TheCaptionGivesThePercentageAndTheFileNameWithATrailingBlank)
{
    m_dlg.ProgressUpdate("Not Known", "Not Known", "Connecting", "Downloaded 0 bytes (total size unknown)", 0);
    EXPECT_EQ("0% done brindlemox.exe ", Title());
    m_dlg.ProgressUpdate("00 : 00 : 07", "2.35 K/sec", "Receiving", "Downloaded 1.00 KB of 2.00 KB", 42);
    EXPECT_EQ("42% done brindlemox.exe ", Title());
    ::EnterCriticalSection(&m_dlg.m_csShared);
    EXPECT_STREQ("Receiving", m_dlg.m_progressShown.strServerStatus);
    EXPECT_STREQ("Downloaded 1.00 KB of 2.00 KB", m_dlg.m_progressShown.strDownloadStatus);
    EXPECT_STREQ("2.35 K/sec", m_dlg.m_progressShown.strTransferRate);
    EXPECT_STREQ("00 : 00 : 07", m_dlg.m_progressShown.strTimeLeft);
    EXPECT_EQ(42, m_dlg.m_progressShown.nPercent);
    ::LeaveCriticalSection(&m_dlg.m_csShared);

    // An address without '/' is its own file name.
    m_dlg.m_strURL = "brindlemox";
    m_dlg.ProgressUpdate("Not Known", "Not Known", "Connecting", "Downloaded", 100);
    EXPECT_EQ("100% done brindlemox ", Title());
}

TEST_F(ProgressFormatTest, TheAddressAsStatusTextIsShownAsDownloading)
{
    m_dlg.ProgressUpdate("Not Known", "Not Known", kUrl, "Downloaded 0 bytes (total size unknown)", 0);
    EXPECT_EQ("Downloading......", ShownStatus());
    // Only the whole address is replaced.
    m_dlg.ProgressUpdate("Not Known", "Not Known", "http://127.0.0.1:9/progress/unit/", "line", 0);
    EXPECT_EQ("http://127.0.0.1:9/progress/unit/", ShownStatus());
}

TEST_F(ProgressFormatTest, OutOfRangePercentagesAndUnreadableTextsShowNothing)
{
    m_dlg.ProgressUpdate("Not Known", "Not Known", "before", "line", 7);
    ASSERT_EQ("7% done brindlemox.exe ", Title());

    m_dlg.ProgressUpdate("Not Known", "Not Known", "after", "line", 101);
    m_dlg.ProgressUpdate("Not Known", "Not Known", "after", "line", -1);
    m_dlg.ProgressUpdate("Not Known", "Not Known", nullptr, "line", 50);
    m_dlg.ProgressUpdate("Not Known", "Not Known", "after", nullptr, 50);
    m_dlg.ProgressUpdate("Not Known", "Not Known", reinterpret_cast<const char*>(16), "line", 50);
    m_dlg.ProgressUpdate("Not Known", "Not Known", "after", reinterpret_cast<const char*>(16), 50);

    EXPECT_EQ("7% done brindlemox.exe ", Title());
    EXPECT_EQ("before", ShownStatus());
    EXPECT_EQ(0, m_dlg.m_lProgressPosted.load());  // no window: nothing is on its way either
}

TEST_F(ProgressFormatTest, AfterTheAbortOnlyTheTraceLineIsWritten)
{
    CDialogTraceLog log;
    m_dlg.ProgressUpdate("Not Known", "Not Known", "before", "line", 7);
    m_dlg.g_fAbortDownload = TRUE;
    m_dlg.ProgressUpdate("Not Known", "Not Known", "after", "line", 8);
    m_dlg.ProgressUpdate("Not Known", "Not Known", "after", "line", 9);
    EXPECT_EQ("before", ShownStatus());
    EXPECT_EQ(2, log.Count(std::string("End ProgressUpdate as aborted in CURLDownloading for ") + kUrl));
}

TEST(WorkerThreadEntryTest, WithoutADialogItDoesNothing) { EXPECT_EQ(0u, WorkerThreadEntry(nullptr)); }
