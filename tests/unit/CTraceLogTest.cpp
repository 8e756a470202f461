// CTraceLog: the line and its local-time stamp, appending across runs (CFile's open flags), the size
// limit, and files that cannot be opened or written.
#include <gtest/gtest.h>
#include "log/CTraceLog.h"
#include <stdio.h>
#include <regex>
#include <string>
#include "tests/support/E2eProgram.h"

namespace
{
const size_t kStampLength = 19;  // "03/07/02 14:05:09  "

// Reaches the log's fields.
struct CTraceLogProbe : CTraceLog
{
    using CTraceLog::CTraceLog;
    CFile* File() const { return m_pFile; }
};

class CTraceLogTest : public ::testing::Test
{
protected:
    // The file with each stamp that begins a CR LF ended line replaced by '|'.
    std::string Lines()
    {
        static const std::regex stamp("(^|\r\n)\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d  ");
        return std::regex_replace(ReadWholeFile(m_strPath), stamp, "$1|");
    }
    CTempFolder m_folder{"CTraceLogTest"};
    std::string m_strPath = m_folder.File("DownLoadSetup.log");
};
}  // namespace

TEST_F(CTraceLogTest, LinesAreStampedAndAppendedToWhatWasThere)
{
    ASSERT_TRUE(WriteWholeFile(m_strPath, "from an earlier version\r\n"));
    const time_t tBefore = time(nullptr);
    for (const char* pszText : {"run one", "first\nsecond\r\nthird\r"})
    {
        CTraceLog log(m_strPath.c_str(), 1000, TRUE);
        log.WriteLine("");  // nothing, not even a stamp
        log.WriteLine(pszText);
    }
    const time_t tAfter = time(nullptr);
    ASSERT_EQ("from an earlier version\r\n|run one\r\n|first\nsecond\r\nthird\r\r\n", Lines());
    // The stamp is the local time (worked out by the system) of some second during the writes.
    const std::string strData = ReadWholeFile(m_strPath);
    const std::string strStamp = strData.substr(strData.find("run one") - kStampLength, kStampLength);
    bool bInRange = false;
    for (ULONGLONG t = tBefore; t <= (ULONGLONG)tAfter; ++t)
    {
        const ULONGLONG ull = (t + 11644473600ULL) * 10000000ULL;  // 100 ns since 1601
        const FILETIME ft = {(DWORD)ull, (DWORD)(ull >> 32)};
        SYSTEMTIME stUtc, st;
        char sz[32];
        ::FileTimeToSystemTime(&ft, &stUtc);
        ::SystemTimeToTzSpecificLocalTime(nullptr, &stUtc, &st);
        snprintf(sz, sizeof(sz), "%02u/%02u/%02u %02u:%02u:%02u  ", st.wMonth, st.wDay, st.wYear % 100, st.wHour,
                 st.wMinute, st.wSecond);
        bInRange |= strStamp == sz;
    }
    EXPECT_TRUE(bInRange) << strStamp;
}

// One more line takes the file to the program's limit (1000 KB) or one byte past it: the file is
// deleted exactly when it has passed the limit, and the next line starts afresh.
TEST_F(CTraceLogTest, FileIsDeletedOnceItHasPassedTheLimit)
{
    const std::string strText = "End OnStart 2 in CURLDownloading for http://host/x";
    for (size_t nOver : {0, 1})
    {
        const size_t nFill = 1000 * 1024 + nOver - (kStampLength + strText.size() + 2);
        ASSERT_TRUE(WriteWholeFile(m_strPath, std::string(nFill, 'p')));
        CTraceLog log(m_strPath.c_str(), 1000, TRUE);
        log.WriteLine(strText.c_str());
        EXPECT_EQ(nOver > 0, !FileExists(m_strPath)) << nOver << " bytes over";
        log.WriteLine("after");
        EXPECT_TRUE(nOver == 0 || Lines() == "|after\r\n") << "a fresh file";
    }
}

TEST_F(CTraceLogTest, FailedWriteDropsTheLineAndTheNextOneGoesToTheFile)
{
    CTraceLogProbe log(m_strPath.c_str(), 1000, TRUE);
    log.WriteLine("one");
    ASSERT_NE(nullptr, log.File());
    // A read-only handle in place of the log's makes the next write fail.
    ::CloseHandle(log.File()->m_hFile);
    log.File()->m_hFile = ::CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    log.WriteLine("two");
    log.WriteLine("three");
    EXPECT_EQ("|one\r\n|three\r\n", Lines());
}

// A log whose file cannot be opened when it is built (in a folder that appears only later, a
// folder, no path) writes nothing for the whole run.
TEST_F(CTraceLogTest, FileThatCouldNotBeOpenedStaysClosedForTheRun)
{
    const std::string strLater = m_folder.File("later");
    for (const std::string& strPath : {strLater + "\\DownLoadSetup.log", m_folder.Path(), std::string()})
    {
        CTraceLogProbe log(strPath.empty() ? nullptr : strPath.c_str(), 1000, TRUE);
        EXPECT_EQ(nullptr, log.File()) << strPath;
        ::CreateDirectoryA(strLater.c_str(), nullptr);
        log.WriteLine("lost");
    }
    EXPECT_FALSE(FileExists(strLater + "\\DownLoadSetup.log"));
    EXPECT_TRUE(::GetFileAttributesA(m_folder.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
