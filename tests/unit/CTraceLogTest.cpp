// CTraceLog: the line format and stamp, appending across runs, the size limit, lines from two
// threads at once, and logs whose file cannot be opened or written.
#include <gtest/gtest.h>
#include "log/CTraceLog.h"

#include <regex>
#include <string>
#include "tests/support/TestThread.h"
#include <vector>

namespace
{
const DWORD kLimitBytes = 1000 * 1024;
const int kStampLength = 19;  // "03/07/02 14:05:09  "

// Reaches the log's fields.
class CTraceLogProbe : public CTraceLog
{
public:
    using CTraceLog::CTraceLog;
    const CString& Path() const { return m_strPath; }
    DWORD MaxSize() const { return m_nMaxSize; }
    CFile* File() const { return m_pFile; }
};

class CTraceLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, szTemp));
        m_strDir.Format("%sCTraceLogTest-%lu-%lu", szTemp, ::GetCurrentProcessId(), ::GetTickCount());
        ASSERT_TRUE(::CreateDirectoryA(m_strDir, nullptr));
        m_strPath = m_strDir + "\\DownLoadSetup.log";
    }

    void TearDown() override
    {
        ::DeleteFileA(m_strPath);
        ::RemoveDirectoryA(m_strDir + "\\later");
        ::RemoveDirectoryA(m_strDir);
    }

    static std::string ReadAll(const CString& strPath)
    {
        HANDLE h = ::CreateFileA(strPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string data(::GetFileSize(h, nullptr), '\0');
        DWORD dw = 0;
        if (!data.empty())
            ::ReadFile(h, &data[0], (DWORD)data.size(), &dw, nullptr);
        ::CloseHandle(h);
        return data;
    }

    static void WriteAll(const CString& strPath, const std::string& data)
    {
        HANDLE h = ::CreateFileA(strPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD dw = 0;
        ::WriteFile(h, data.data(), (DWORD)data.size(), &dw, nullptr);
        ::CloseHandle(h);
    }

    static bool Exists(const CString& strPath) { return ::GetFileAttributesA(strPath) != INVALID_FILE_ATTRIBUTES; }

    static std::vector<std::string> SplitLines(const std::string& data)
    {
        std::vector<std::string> lines;
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = data.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
            lines.push_back(data.substr(nStart, nEnd - nStart));
        if (nStart != data.size())
            lines.push_back("<unterminated>" + data.substr(nStart));
        return lines;
    }

    CString m_strDir;
    CString m_strPath;
};

const std::regex kLinePattern("^(\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d)  (.*)$");
}  // namespace

TEST_F(CTraceLogTest, LineIsLocalStampTwoBlanksTextAndCrLf)
{
    CTime before = CTime::GetCurrentTime();
    {
        CTraceLog log(m_strPath, 1000, TRUE);
        log.WriteLine("Start OnStart in CURLDownloading for http://host/file.exe");
    }
    CTime after = CTime::GetCurrentTime();

    std::string data = ReadAll(m_strPath);
    ASSERT_GE(data.size(), 2u);
    EXPECT_EQ("\r\n", data.substr(data.size() - 2));
    std::smatch match;
    std::string line = data.substr(0, data.size() - 2);
    ASSERT_TRUE(std::regex_match(line, match, kLinePattern)) << data;
    EXPECT_EQ("Start OnStart in CURLDownloading for http://host/file.exe", match[2].str());

    // The stamp is the local time of some second during the write.
    bool bStampInRange = false;
    for (CTime t = before; t <= after; t += CTimeSpan(1))
        bStampInRange |= match[1].str() == (LPCTSTR)t.Format("%m/%d/%y %H:%M:%S");
    EXPECT_TRUE(bStampInRange) << match[1].str();
}

TEST_F(CTraceLogTest, EmptyTextWritesNothingAndOwnLineBreaksStay)
{
    CTraceLog log(m_strPath, 1000, TRUE);
    log.WriteLine("");
    log.WriteLine(CString());
    EXPECT_EQ("", ReadAll(m_strPath));  // the file exists, without even a stamp

    log.WriteLine("first\nsecond\r\nthird\r");
    std::string data = ReadAll(m_strPath);
    ASSERT_EQ((size_t)kStampLength + 20 + 2, data.size()) << data;
    EXPECT_EQ("first\nsecond\r\nthird\r\r\n", data.substr(kStampLength));
}

TEST_F(CTraceLogTest, SecondRunAppendsToTheFirst)
{
    WriteAll(m_strPath, "from an earlier version\r\n");
    {
        CTraceLog run1(m_strPath, 1000, TRUE);
        run1.WriteLine("run one");
    }
    {
        CTraceLog run2(m_strPath, 1000, TRUE);
        run2.WriteLine("run two, line 1");
        run2.WriteLine("run two, line 2");
    }
    std::vector<std::string> lines = SplitLines(ReadAll(m_strPath));
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("from an earlier version", lines[0]);
    EXPECT_EQ("run one", lines[1].substr(kStampLength));
    EXPECT_EQ("run two, line 1", lines[2].substr(kStampLength));
    EXPECT_EQ("run two, line 2", lines[3].substr(kStampLength));
}

// Fills the file so that one more line of `text` brings it to exactly the limit.
TEST_F(CTraceLogTest, FileAtTheLimitStaysOneBytePastIsDeletedAndTheNextLineStartsAFreshFile)
{
    const std::string text = "End OnStart 2 in CURLDownloading for http://host/x";
    const size_t nLine = kStampLength + text.size() + 2;
    WriteAll(m_strPath, std::string(kLimitBytes - nLine, 'p'));

    CTraceLogProbe log(m_strPath, 1000, TRUE);
    EXPECT_EQ(kLimitBytes, log.MaxSize());
    log.WriteLine(text.c_str());
    EXPECT_EQ((size_t)kLimitBytes, ReadAll(m_strPath).size());  // exactly the limit: kept

    log.WriteLine("x");  // now past it: closed and deleted right after the write
    EXPECT_FALSE(Exists(m_strPath));

    log.WriteLine("after the limit");
    std::vector<std::string> lines = SplitLines(ReadAll(m_strPath));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("after the limit", lines[0].substr(kStampLength));
}

TEST_F(CTraceLogTest, ZeroKilobytesMeansTheDefaultLimit)
{
    const std::string text = "y";
    WriteAll(m_strPath, std::string(kLimitBytes - (kStampLength + 1 + 2) + 1, 'p'));  // one byte more
    CTraceLogProbe log(m_strPath, 0, TRUE);
    EXPECT_EQ(kLimitBytes, log.MaxSize());
    log.WriteLine(text.c_str());
    EXPECT_FALSE(Exists(m_strPath));
}

TEST_F(CTraceLogTest, WithoutTheLimitTheFileKeepsGrowing)
{
    CTraceLogProbe log(m_strPath, 1, FALSE);
    EXPECT_EQ(1024u, log.MaxSize());
    for (int i = 0; i < 100; ++i)
        log.WriteLine("a line that is long enough to pass one kilobyte soon");
    EXPECT_EQ(100u, SplitLines(ReadAll(m_strPath)).size());
}

TEST_F(CTraceLogTest, SmallLimitDeletesAsSoonAsItIsPassed)
{
    CTraceLogProbe log(m_strPath, 1, TRUE);
    std::string text(1024 - kStampLength - 2, 'k');
    log.WriteLine(text.c_str());
    EXPECT_EQ(1024u, ReadAll(m_strPath).size());
    log.WriteLine("z");
    EXPECT_FALSE(Exists(m_strPath));
}

TEST_F(CTraceLogTest, TwoThreadsWritingAtOnceGiveOnlyWholeLines)
{
    const int kLinesPerThread = 1000;
    {
        CTraceLog log(m_strPath, 1000, TRUE);
        auto writer = [&log](char chName) {
            for (int i = 0; i < kLinesPerThread; ++i)
            {
                CString text;
                text.Format("thread %c line %04d %s", chName, i, chName == 'A' ? "aaaaaaaaaaaaaaaa" : "bb");
                log.WriteLine(text);
            }
        };
        CTestThread a(writer, 'A'), b(writer, 'B');
        a.join();
        b.join();
    }
    std::vector<std::string> lines = SplitLines(ReadAll(m_strPath));
    ASSERT_EQ(2u * kLinesPerThread, lines.size());
    int nNext[2] = {0, 0};
    const std::regex textPattern("^thread ([AB]) line (\\d{4}) (a{16}|bb)$");
    for (const std::string& line : lines)
    {
        std::smatch lineMatch, textMatch;
        ASSERT_TRUE(std::regex_match(line, lineMatch, kLinePattern)) << line;
        std::string text = lineMatch[2].str();
        ASSERT_TRUE(std::regex_match(text, textMatch, textPattern)) << line;
        int nThread = textMatch[1].str() == "A" ? 0 : 1;
        ASSERT_EQ(nThread == 0 ? "aaaaaaaaaaaaaaaa" : "bb", textMatch[3].str()) << line;
        ASSERT_EQ(nNext[nThread], std::stoi(textMatch[2].str())) << line;  // in order, none lost
        ++nNext[nThread];
    }
}

// Two threads keep passing a small limit: deletion and reopening happen between other lines,
// never in the middle of one, so the file always ends up with whole lines within the limit.
TEST_F(CTraceLogTest, TwoThreadsAtTheLimitNeverWriteIntoAClosedOrHalfDeletedFile)
{
    const int kLinesPerThread = 1000;
    {
        CTraceLog log(m_strPath, 1, TRUE);
        auto writer = [&log](char chName) {
            for (int i = 0; i < kLinesPerThread; ++i)
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
    std::string data = ReadAll(m_strPath);
    if (data == "<missing>")  // the very last line passed the limit
        data.clear();
    EXPECT_LE(data.size(), 1024u);
    std::vector<std::string> lines = SplitLines(data);
    const std::regex textPattern("^thread [AB] line \\d{4}$");
    for (const std::string& line : lines)
    {
        std::smatch lineMatch;
        ASSERT_TRUE(std::regex_match(line, lineMatch, kLinePattern)) << line;
        std::string text = lineMatch[2].str();
        EXPECT_TRUE(std::regex_match(text, textPattern)) << line;
    }
}

TEST_F(CTraceLogTest, FailedWriteDropsTheLineAndTheNextOneGoesToTheFile)
{
    CTraceLogProbe log(m_strPath, 1000, TRUE);
    log.WriteLine("one");
    ASSERT_NE(nullptr, log.File());

    // Swap the log's handle for a read-only one, so that the next write fails.
    HANDLE hReadOnly = ::CreateFileA(m_strPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hReadOnly);
    ::CloseHandle(log.File()->m_hFile);
    log.File()->m_hFile = hReadOnly;
    log.WriteLine("two");
    log.WriteLine("three");

    std::vector<std::string> lines = SplitLines(ReadAll(m_strPath));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("one", lines[0].substr(kStampLength));
    EXPECT_EQ("three", lines[1].substr(kStampLength));
}

TEST_F(CTraceLogTest, PathThatIsAFolderGivesNoLogAndNoCrash)
{
    CTraceLogProbe log(m_strDir, 1000, TRUE);
    EXPECT_EQ(nullptr, log.File());
    log.WriteLine("goes nowhere");
    EXPECT_TRUE(::GetFileAttributesA(m_strDir) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(CTraceLogTest, FileThatCouldNotBeOpenedStaysClosedForTheRun)
{
    CString strLater = m_strDir + "\\later";
    CString strPath = strLater + "\\DownLoadSetup.log";
    CTraceLogProbe log(strPath, 1000, TRUE);
    EXPECT_EQ(nullptr, log.File());
    log.WriteLine("lost");
    ASSERT_TRUE(::CreateDirectoryA(strLater, nullptr));
    log.WriteLine("also lost");
    EXPECT_FALSE(Exists(strPath));

    CTraceLogProbe noPath((LPCTSTR) nullptr, 1000, TRUE);
    EXPECT_EQ(nullptr, noPath.File());
    noPath.WriteLine("nothing");
}

// The program's own log: "DownLoadSetup.log" in the system directory. Nothing is written, and a
// file this test creates is removed again.
TEST_F(CTraceLogTest, ProgramLogLivesInTheSystemDirectory)
{
    char szSystem[MAX_PATH];
    UINT nLen = ::GetSystemDirectoryA(szSystem, MAX_PATH);
    ASSERT_GT(nLen, 0u);
    CString strExpected = CString(szSystem) + "\\DownLoadSetup.log";
    bool bExisted = Exists(strExpected);
    {
        CTraceLogProbe log(1000, TRUE);
        EXPECT_EQ(strExpected, log.Path());
        EXPECT_EQ(kLimitBytes, log.MaxSize());
    }
    if (!bExisted)
        ::DeleteFileA(strExpected);
}
