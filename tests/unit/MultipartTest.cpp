// The multipart byte-range reader and its scan buffer: the buffer's search, number reader and
// compaction; the part-header parser; and whole bodies read from a fake stream in chosen slices
// (parts cut anywhere, spread over notifications, the look-ahead at a part boundary, the closing
// delimiter, malformed framing, a cut body, parts that overlap or skip the local file).
#include <gtest/gtest.h>
#include <string.h>
#include <memory>
#include <string>
#include <vector>
#include "tests/support/FakeWorker.h"
#include "tests/support/ScriptedHttpServer.h"

namespace
{
const char kBoundary[] = "3d6b6a416f9b5";
const char kNoData[] = "An Internet connection was established, but the data cannot be retrieved";

void Fill(CReadBuffer& buf, const std::string& strText)
{
    memcpy(buf.m_pBase, strText.data(), strText.size());
    buf.m_pRead = buf.m_pBase;
    buf.m_pWrite = buf.m_pBase + strText.size();
}
}  // namespace

TEST(CReadBufferTest, SearchContentRangesAndCompaction)
{
    CReadBuffer buf;
    ASSERT_TRUE(buf.Allocate(64));
    BYTE* pBase = buf.m_pBase;
    ASSERT_TRUE(buf.Allocate(64));  // the same size again: the same memory, emptied
    EXPECT_EQ(pBase, buf.m_pBase);
    EXPECT_EQ(buf.m_pBase + 64, buf.m_pEnd);

    // SkipPast ignores case and needs one buffered byte after the match; a failed search consumes
    // what it scanned.
    struct Skip
    {
        const char *pszText, *pszPattern;
        BOOL bFound;
        int nReadPos;
    } skips[] = {{"xxContent-RANGE: bytes", "content-range: ", TRUE, 17}, {"abc--XYZ", "--XYZ", FALSE, 3},
                 {"abc--XYZ\r", "--XYZ", TRUE, 8}, {"no boundary here", "--B", FALSE, 13},
                 {"ab", "", TRUE, 0}, {"", "", FALSE, 0}};
    for (const Skip& c : skips)
    {
        Fill(buf, c.pszText);
        EXPECT_EQ(c.bFound, buf.SkipPast(c.pszPattern, (DWORD)strlen(c.pszPattern))) << c.pszText;
        EXPECT_EQ(c.nReadPos, buf.m_pRead - buf.m_pBase) << c.pszText;
    }

    // Content-Range values, as a response header or a part header gives them.
    struct Range
    {
        const char* pszValue;
        BOOL bParsed, fRange;
        DWORD dwFirst, dwLast;
        BOOL fTotal;
        DWORD dwTotal;
    } ranges[] = {{"bytes 8-19/20", TRUE, TRUE, 8, 19, TRUE, 20},      {" bytes=5-9/*", TRUE, TRUE, 5, 9, FALSE, 0},
                  {"bytes */20", TRUE, FALSE, 0, 0, TRUE, 20},         {"bytes */*", FALSE},
                  {"bytes 9-5/20", FALSE},                             {"bytes 0-19/19", FALSE},
                  {"bytes 0-4294967295/*", FALSE},                     {"bytes 0-1/4294967296", FALSE},
                  {"bytes 0-4294967294/4294967295", TRUE, TRUE, 0, 4294967294u, TRUE, 4294967295u},
                  {"items 0-1/2", FALSE},                              {"bytes 1-2", FALSE}};
    for (const Range& c : ranges)
    {
        CURLDownloading::CONTENT_RANGE range;
        EXPECT_EQ(c.bParsed, CURLDownloading::ParseContentRange(c.pszValue, &range)) << c.pszValue;
        if (!c.bParsed)
            continue;
        EXPECT_EQ(c.fRange, range.fRange) << c.pszValue;
        EXPECT_EQ(c.dwFirst, range.dwFirst) << c.pszValue;
        EXPECT_EQ(c.dwLast, range.dwLast) << c.pszValue;
        EXPECT_EQ(c.fTotal, range.fTotal) << c.pszValue;
        EXPECT_EQ(c.dwTotal, range.dwTotal) << c.pszValue;
    }

    Fill(buf, "0123456789");
    buf.m_pRead += 6;
    buf.Compact();
    EXPECT_EQ(buf.m_pBase, buf.m_pRead);
    ASSERT_EQ(4, buf.m_pWrite - buf.m_pBase);
    EXPECT_EQ(0, memcmp(buf.m_pBase, "6789", 4));
}

namespace
{
class MultipartTest : public ::testing::Test
{
protected:
    // The local file holds the first cbLocal bytes of the content; the answer is a multipart 206.
    void Begin(size_t cbLocal)
    {
        m_pWorker.reset(new FakeWorker(m_dlg, m_folder.File("brindlemox.exe"), "http://127.0.0.1:9/brindlemox.exe"));
        WriteWholeFile(m_pWorker->m_strPath, m_strContent.substr(0, cbLocal));
        m_pWorker->Begin();
        m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE, std::string("multipart/byteranges; boundary=") + kBoundary);
        ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
        ASSERT_NE(nullptr, m_dlg.m_pszBoundary);
    }
    std::string Body(const std::vector<std::pair<size_t, size_t>>& parts)
    {
        return ScriptedHttpServer::MultipartAnswer(m_strContent, parts, "", kBoundary).strBody;
    }

    CTempFolder m_folder{"multipart"};
    std::string m_strContent = MakeTestContent(1000, 7);
    CURLDownloading m_dlg;
    std::unique_ptr<FakeWorker> m_pWorker;
};
}  // namespace

TEST_F(MultipartTest, PartHeadersGiveThePartsPlaceAndTheDataStartsAfterTheEmptyLine)
{
    Begin(0);
    const std::string strDelimiter = std::string("\r\n--") + kBoundary + "\r\n";
    struct Case
    {
        std::string strText;
        BOOL bParsed;
        DWORD dwPos, dwEnd;
    } cases[] = {
        {strDelimiter + "Content-Type: x\r\nContent-Range: bytes 100-199/1000\r\n\r\nDATA", TRUE, 100, 200},
        {strDelimiter + "Content-Range: bytes 100-199/1000\r\nContent-Type: x\r\n\r\nDATA", TRUE, 100, 200},
        {strDelimiter + "Content-Type: x\r\nContent-Range: bytes 1-2/1000\r\nContent-Length: 2\r\n\r\nDATA", TRUE, 1, 3},
        {strDelimiter + "Content-Type: x\nContent-Range: bytes 100-199/1000\n\nDATA", TRUE, 100, 200},
        {strDelimiter + "content-range: bytes 0-0/1000\r\n\r\nDATA", TRUE, 0, 1},
        {std::string("\r\n--") + kBoundary + "--\r\n", TRUE, 0, 0},  // the closing delimiter
        {strDelimiter + "Content-Type: x\r\nContent-Range: bytes 1a0-199/1000\r\n\r\nD", FALSE},
        {strDelimiter + "Content-Type: x\r\nContent-Range: bytes 200-100/1000\r\n\r\nD", FALSE},
        {strDelimiter + "Content-Type: x\r\nContent-Length: 3\r\n\r\nDDD", FALSE},
        {"\r\n--other\r\nContent-Type: x\r\nContent-Range: bytes 0-1/2\r\n\r\nDD", FALSE},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.strText);
        Fill(m_dlg.m_readBuffer, c.strText);
        m_dlg.m_dwPartPos = m_dlg.m_dwPartEnd = 7;
        ASSERT_EQ(c.bParsed, m_dlg.ParsePartHeader());
        if (!c.bParsed)
            continue;
        EXPECT_EQ(c.dwPos, m_dlg.m_dwPartPos);
        EXPECT_EQ(c.dwEnd, m_dlg.m_dwPartEnd);
        if (c.dwEnd != 0)
            EXPECT_EQ(0, memcmp(m_dlg.m_readBuffer.m_pRead, "DATA", 4));
    }
    EXPECT_TRUE(m_dlg.m_fLengthKnown);
    EXPECT_EQ(1000u, m_dlg.m_dwExpectedLength);
}

TEST_F(MultipartTest, BodiesReadInAnySlicesWriteExactlyTheBytesThatContinueTheFile)
{
    std::vector<ULONG> pendingEvery101;  // a notification ends after every 101 bytes
    for (int i = 0; i < 12; ++i)
        pendingEvery101.insert(pendingEvery101.end(), {101, 0});
    const std::string strClosed = Body({{0, 999}});
    struct Case
    {
        const char* pszName;
        size_t cbLocal;
        std::string strBody;
        std::vector<ULONG> slices;
        HRESULT hrAtEnd, hrEnd;
        size_t cbFile;           // the file is the content's first cbFile bytes
        const char* pszOutcome;  // nullptr: completed
    } cases[] = {
        {"three parts in 7-byte slices", 0, Body({{0, 99}, {100, 599}, {600, 999}}), std::vector<ULONG>(260, 7),
         S_FALSE, S_OK, 1000, nullptr},
        {"one part over several notifications", 0, strClosed, pendingEvery101, S_FALSE, S_OK, 1000, nullptr},
        {"300 bytes at a part boundary wait for more", 0, strClosed, {300, 0}, S_FALSE, S_OK, 1000, nullptr},
        {"an epilogue after the closing delimiter", 0, strClosed + std::string(2000, 'E'), {600}, S_FALSE, S_OK, 1000,
         nullptr},
        {"parts overlapping the local bytes", 300, Body({{0, 399}, {400, 999}}), {1000}, S_FALSE, S_OK, 1000, nullptr},
        {"a part beyond the local length", 300, Body({{500, 999}}), {}, S_FALSE, E_ABORT, 300, kNoData},
        {"a part header without a range", 0,
         std::string("\r\n--") + kBoundary + "\r\nContent-Type: x\r\nX-Junk: 1\r\n\r\n" + std::string(3000, 'J'), {},
         E_PENDING, E_ABORT, 0, kNoData},
        {"a body cut inside its part", 0, strClosed.substr(0, 700), {}, S_FALSE, S_OK, 0,
         "The download has failed (the connection was interrupted)"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        Begin(c.cbLocal);
        FakeStream stream(c.strBody, c.slices, c.hrAtEnd);
        for (int i = 0; i < 40 && stream.Position() < c.strBody.size() && m_dlg.m_hrOutcome == S_OK; ++i)
            EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
        m_pWorker->Data(&stream);  // the end of the data
        m_dlg.IntDlgStatus = 1;
        m_dlg.OnStopBinding(c.hrEnd, nullptr);
        const std::string strFile = m_pWorker->File();
        EXPECT_EQ(c.pszOutcome ? c.pszOutcome : "Download completed", std::string(m_dlg.GetServerStatus()));
        EXPECT_EQ(c.pszOutcome ? 1 : 3, m_dlg.IntDlgStatus.load());
        EXPECT_TRUE(m_strContent.substr(0, strFile.size()) == strFile);  // never a byte of framing
        if (c.cbFile != 0 || c.pszOutcome == kNoData)
            EXPECT_EQ(c.cbFile, strFile.size());
        else
            EXPECT_LT(strFile.size(), 1000u);
        g_fDownloadComplete = FALSE;
        m_pWorker.reset();
    }
}
