// CTraceLog: the line and its stamp, appending across runs, the size limit, and files that cannot be
// opened or written. (The system directory's log: tests/integration.)
#include <gtest/gtest.h>
#include "log/CTraceLog.h"
#include <regex>
#include <string>
#include <vector>
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
    // The texts of the file's CR LF ended lines, each without its stamp.
    std::vector<std::string> Texts()
    {
        static const std::regex stamped("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d  ([\\s\\S]*)$");
        const std::string strData = ReadWholeFile(m_strPath);
        std::vector<std::string> texts;
        std::smatch match;
        for (size_t nStart = 0, nEnd; (nEnd = strData.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
        {
            std::string strLine = strData.substr(nStart, nEnd - nStart);
            texts.push_back(std::regex_match(strLine, match, stamped) ? match[1].str() : "<no stamp>" + strLine);
        }
        return texts;
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
    EXPECT_EQ(std::vector<std::string>({"<no stamp>from an earlier version", "run one", "first\nsecond",
                                        "<no stamp>third\r"}),
              Texts());
    // The stamp is the local time of some second during the writes, then two blanks.
    const std::string strData = ReadWholeFile(m_strPath);
    const std::string strStamp = strData.substr(strData.find("run one") - kStampLength, kStampLength);
    bool bInRange = false;
    for (time_t t = tBefore; t <= tAfter; ++t)
        bInRange |= strStamp == (LPCTSTR)CTime(t).Format("%m/%d/%y %H:%M:%S  ");
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
        EXPECT_TRUE(nOver == 0 || Texts() == std::vector<std::string>{"after"}) << "a fresh file";
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
    EXPECT_EQ(std::vector<std::string>({"one", "three"}), Texts());
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
