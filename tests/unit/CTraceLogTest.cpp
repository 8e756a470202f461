// CTraceLog: the line and its stamp, appending across runs, the size limit, lines from two threads
// at once, and logs whose file cannot be opened or written. (The program's own log in the system
// directory is read by the dialog tests in tests/integration.)
#include <gtest/gtest.h>
#include "log/CTraceLog.h"

#include <regex>
#include <string>
#include <vector>
#include "tests/support/E2eProgram.h"
#include "tests/support/TestThread.h"

namespace
{
const DWORD kDefaultLimit = 1000 * 1024;
const size_t kStampLength = 19;  // "03/07/02 14:05:09  "

// Reaches the log's fields.
struct CTraceLogProbe : CTraceLog
{
    using CTraceLog::CTraceLog;
    DWORD MaxSize() const { return m_nMaxSize; }
    CFile* File() const { return m_pFile; }
};

// The texts of the file's CR LF ended lines, each without its stamp; "<missing>" when there is no file.
std::vector<std::string> TextsOf(const std::string& strPath)
{
    static const std::regex stamped("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d  ([\\s\\S]*)$");
    if (!FileExists(strPath))
        return {"<missing>"};
    std::string strData = ReadWholeFile(strPath);
    std::vector<std::string> texts;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strData.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
    {
        std::smatch match;
        std::string strLine = strData.substr(nStart, nEnd - nStart);
        texts.push_back(std::regex_match(strLine, match, stamped) ? match[1].str() : "<no stamp>" + strLine);
    }
    return texts;
}
}  // namespace

TEST(CTraceLogTest, LinesAreStampedAndAppendedToWhatWasThere)
{
    CTempFolder folder("CTraceLogTest");
    const std::string strPath = folder.File("DownLoadSetup.log");
    ASSERT_TRUE(WriteWholeFile(strPath, "from an earlier version\r\n"));
    const time_t tBefore = time(nullptr);
    for (const char* pszText : {"run one", "first\nsecond\r\nthird\r"})
    {
        CTraceLog log(strPath.c_str(), 1000, TRUE);
        log.WriteLine("");  // nothing, not even a stamp
        log.WriteLine(pszText);
    }
    const time_t tAfter = time(nullptr);
    const std::vector<std::string> expected = {"<no stamp>from an earlier version", "run one", "first\nsecond",
                                               "<no stamp>third\r"};
    EXPECT_EQ(expected, TextsOf(strPath));

    // The stamp is the local time of some second during the writes, then two blanks.
    std::string strData = ReadWholeFile(strPath);
    std::string strStamp = strData.substr(strData.find("run one") - kStampLength, kStampLength);
    bool bInRange = false;
    for (time_t t = tBefore; t <= tAfter; ++t)
        bInRange |= strStamp == (LPCTSTR)CTime(t).Format("%m/%d/%y %H:%M:%S  ");
    EXPECT_TRUE(bInRange) << strStamp;
}

// Each case fills the file so that one more line ends nOver bytes past the limit (negative: short
// of it). The file is deleted exactly when it has passed the limit; the next line starts afresh.
TEST(CTraceLogTest, FileIsDeletedOnceItHasPassedTheLimit)
{
    const struct
    {
        UINT nKB;
        BOOL bLimit;
        DWORD dwLimit;
        int nOver;
    } cases[] = {
        {1000, TRUE, kDefaultLimit, 0}, {1000, TRUE, kDefaultLimit, 1}, {0, TRUE, kDefaultLimit, 1},
        {0, TRUE, kDefaultLimit, -1},   {1, TRUE, 1024, 0},             {1, TRUE, 1024, 1},
        {1, FALSE, 1024, 5000},
    };
    const std::string strText = "End OnStart 2 in CURLDownloading for http://host/x";
    for (const auto& c : cases)
    {
        CTempFolder folder("CTraceLogTest");
        const std::string strPath = folder.File("DownLoadSetup.log");
        const size_t nFill = c.dwLimit + c.nOver - (kStampLength + strText.size() + 2);
        ASSERT_TRUE(WriteWholeFile(strPath, std::string(nFill, 'p')));
        CTraceLogProbe log(strPath.c_str(), c.nKB, c.bLimit);
        EXPECT_EQ(c.dwLimit, log.MaxSize()) << c.nKB;
        log.WriteLine(strText.c_str());
        const bool bDeleted = c.bLimit && c.nOver > 0;
        EXPECT_EQ(bDeleted, !FileExists(strPath)) << c.nKB << " KB, " << c.nOver << " bytes over";
        log.WriteLine("after");
        EXPECT_TRUE(!bDeleted || TextsOf(strPath) == std::vector<std::string>{"after"}) << "a fresh file";
    }
}

TEST(CTraceLogTest, TwoThreadsWritingAtOnceGiveWholeLinesInOrder)
{
    CTempFolder folder("CTraceLogTest");
    const std::string strPath = folder.File("DownLoadSetup.log");
    {
        CTraceLog log(strPath.c_str(), 1000, TRUE);
        auto writer = [&log](char chName) {
            for (int i = 0; i < 1000; ++i)
            {
                CString text;
                text.Format("thread %c line %04d", chName, i);
                log.WriteLine(text);
            }
        };
        CTestThread a(writer, 'A'), b(writer, 'B');
        a.join();
        b.join();
    }
    std::vector<std::string> texts = TextsOf(strPath);
    ASSERT_EQ(2000u, texts.size());
    int nNext[2] = {0, 0};
    for (const std::string& text : texts)
    {
        CString expected;
        int nThread = text.compare(0, 8, "thread B") == 0 ? 1 : 0;
        expected.Format("thread %c line %04d", 'A' + nThread, nNext[nThread]++);
        ASSERT_EQ((LPCTSTR)expected, text) << "in order, none lost";
    }
}

TEST(CTraceLogTest, FailedWriteDropsTheLineAndTheNextOneGoesToTheFile)
{
    CTempFolder folder("CTraceLogTest");
    const std::string strPath = folder.File("DownLoadSetup.log");
    CTraceLogProbe log(strPath.c_str(), 1000, TRUE);
    log.WriteLine("one");
    ASSERT_NE(nullptr, log.File());
    // A read-only handle in place of the log's makes the next write fail.
    ::CloseHandle(log.File()->m_hFile);
    log.File()->m_hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    log.WriteLine("two");
    log.WriteLine("three");
    EXPECT_EQ(std::vector<std::string>({"one", "three"}), TextsOf(strPath));
}

// A log whose file cannot be opened when it is built (in a folder that appears only later, a
// folder, no path) writes nothing for the whole run.
TEST(CTraceLogTest, FileThatCouldNotBeOpenedStaysClosedForTheRun)
{
    CTempFolder folder("CTraceLogTest");
    const std::string strLater = folder.File("later");
    for (const std::string& strPath : {strLater + "\\DownLoadSetup.log", folder.Path(), std::string()})
    {
        CTraceLogProbe log(strPath.empty() ? nullptr : strPath.c_str(), 1000, TRUE);
        EXPECT_EQ(nullptr, log.File()) << strPath;
        ::CreateDirectoryA(strLater.c_str(), nullptr);
        log.WriteLine("lost");
    }
    EXPECT_FALSE(FileExists(strLater + "\\DownLoadSetup.log"));
    EXPECT_TRUE(::GetFileAttributesA(folder.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
