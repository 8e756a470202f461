// The multipart byte-range reader over a fake stream that hands its bytes out in chosen slices:
// the part-header parser, parts split across reads and notifications, the 500-byte look-ahead at
// a part boundary, the closing delimiter, malformed framing, and parts that do not continue the
// local file.
#include "tests/support/ScriptedHttpServer.h"  // winsock2.h before windows.h
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include "download/CURLDownloading.h"
#include "tests/support/FakeBinding.h"
#include "tests/support/FakeWorker.h"

using namespace xfer;

namespace
{
const char kUrl[] = "http://127.0.0.1:9/multipart/unit/brindlemox.exe";
const char kBoundary[] = "3d6b6a416f9b5";

class MultipartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strContent = MakeTestContent(1000, 7);
        m_strPath = MakeTempFilePath("brindlemox.exe");
    }
    void TearDown() override
    {
        delete m_pWorker;
        RemoveTempFile(m_strPath);
    }
    // The local file holds the first cbLocal bytes; the answer is a multipart 206.
    void Begin(size_t cbLocal)
    {
        if (cbLocal > 0)
            WriteWholeFile(m_strPath, m_strContent.substr(0, cbLocal));
        m_pWorker = new FakeWorker(m_dlg, m_strPath, kUrl);
        m_pWorker->Begin();
        m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE,
                                        std::string("multipart/byteranges; boundary=") + kBoundary);
        ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
        ASSERT_NE(nullptr, m_dlg.m_pszBoundary);
    }
    std::string Body(const std::vector<std::pair<size_t, size_t>>& parts)
    {
        return ScriptedHttpServer::MultipartAnswer(m_strContent, parts, "multipart/byteranges", kBoundary).strBody;
    }
    std::string Status() { return std::string(static_cast<LPCTSTR>(m_dlg.GetServerStatus())); }

    CURLDownloading m_dlg;
    FakeWorker* m_pWorker = nullptr;
    std::string m_strContent;
    std::string m_strPath;
};
}  // namespace

TEST_F(MultipartTest, PartHeaderGivesThePartsFirstByteAndItsEnd)
{
    Begin(0);
    const std::string strText = std::string("\r\n--") + kBoundary +
                                "\r\nContent-Type: application/octet-stream\r\nContent-Range: bytes 100-199/1000\r\n\r\nDATA";
    CReadBuffer& buf = m_dlg.m_readBuffer;
    memcpy(buf.m_pBase, strText.data(), strText.size());
    buf.m_pRead = buf.m_pBase;
    buf.m_pWrite = buf.m_pBase + strText.size();
    ASSERT_TRUE(m_dlg.ParsePartHeader());
    EXPECT_EQ(100u, m_dlg.m_dwPartPos);
    EXPECT_EQ(200u, m_dlg.m_dwPartEnd);
    EXPECT_EQ(0, memcmp(buf.m_pRead, "DATA", 4));
    EXPECT_TRUE(m_dlg.m_fLengthKnown);
    EXPECT_EQ(1000u, m_dlg.m_dwExpectedLength);
}

TEST_F(MultipartTest, TheDataStartsAfterTheEmptyLineWhateverHeaderLinesComeBefore)
{
    const std::string headers[] = {
        "Content-Range: bytes 100-199/1000\r\nContent-Type: application/octet-stream\r\n\r\n",
        "Content-Type: application/octet-stream\r\nContent-Range: bytes 100-199/1000\r\nContent-Length: 100\r\n\r\n",
        "Content-Type: application/octet-stream\nContent-Range: bytes 100-199/1000\n\n",
        "content-range: bytes 100-199/1000\r\n\r\n",
    };
    Begin(0);
    for (const std::string& strHeaders : headers)
    {
        SCOPED_TRACE(strHeaders);
        const std::string strText = std::string("\r\n--") + kBoundary + "\r\n" + strHeaders + "DATA";
        CReadBuffer& buf = m_dlg.m_readBuffer;
        memcpy(buf.m_pBase, strText.data(), strText.size());
        buf.m_pRead = buf.m_pBase;
        buf.m_pWrite = buf.m_pBase + strText.size();
        m_dlg.m_dwPartPos = m_dlg.m_dwPartEnd = 0;
        ASSERT_TRUE(m_dlg.ParsePartHeader());
        EXPECT_EQ(100u, m_dlg.m_dwPartPos);
        EXPECT_EQ(200u, m_dlg.m_dwPartEnd);
        EXPECT_EQ(0, memcmp(buf.m_pRead, "DATA", 4));
    }
}

TEST_F(MultipartTest, TheClosingDelimiterEndsTheBody)
{
    Begin(0);
    const std::string strText = std::string("\r\n--") + kBoundary + "--\r\n";
    CReadBuffer& buf = m_dlg.m_readBuffer;
    memcpy(buf.m_pBase, strText.data(), strText.size());
    buf.m_pRead = buf.m_pBase;
    buf.m_pWrite = buf.m_pBase + strText.size();
    m_dlg.m_dwPartPos = m_dlg.m_dwPartEnd = 7;
    ASSERT_TRUE(m_dlg.ParsePartHeader());
    EXPECT_EQ(0u, m_dlg.m_dwPartPos);
    EXPECT_EQ(0u, m_dlg.m_dwPartEnd);
}

TEST_F(MultipartTest, MalformedPartHeadersAreRefused)
{
    Begin(0);
    const std::string bad[] = {
        std::string("\r\n--") + kBoundary + "\r\nContent-Type: x\r\nContent-Range: bytes 1a0-199/1000\r\n\r\nD",
        std::string("\r\n--") + kBoundary + "\r\nContent-Type: x\r\nContent-Range: bytes 200-100/1000\r\n\r\nD",
        std::string("\r\n--") + kBoundary + "\r\nContent-Type: x\r\nContent-Length: 3\r\n\r\nDDD",
        std::string("\r\n--other\r\nContent-Type: x\r\nContent-Range: bytes 0-1/2\r\n\r\nDD"),
    };
    for (const std::string& strText : bad)
    {
        SCOPED_TRACE(strText);
        CReadBuffer& buf = m_dlg.m_readBuffer;
        memcpy(buf.m_pBase, strText.data(), strText.size());
        buf.m_pRead = buf.m_pBase;
        buf.m_pWrite = buf.m_pBase + strText.size();
        m_dlg.m_dwPartPos = m_dlg.m_dwPartEnd = 0;
        EXPECT_FALSE(m_dlg.ParsePartHeader());
    }
}

TEST_F(MultipartTest, PartsSplitAcrossManySmallReadsArriveWhole)
{
    Begin(0);
    // Seven-byte slices: every boundary, header line and part is cut somewhere.
    const std::string strBody = Body({{0, 99}, {100, 599}, {600, 999}});
    FakeStream stream(strBody, std::vector<ULONG>(strBody.size() / 7 + 1, 7));
    EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
    EXPECT_EQ(S_OK, m_dlg.m_hrOutcome);
    m_dlg.IntDlgStatus = 1;
    m_dlg.OnStopBinding(S_OK, nullptr);
    EXPECT_EQ(m_strContent, m_pWorker->File());
    EXPECT_EQ(3, m_dlg.IntDlgStatus.load());
    g_fDownloadComplete = FALSE;
}

TEST_F(MultipartTest, APartSpreadOverSeveralNotificationsContinuesWhereItStopped)
{
    Begin(0);
    const std::string strBody = Body({{0, 999}});
    // E_PENDING (a 0 slice) ends each notification; the next one goes on.
    std::vector<ULONG> slices;
    for (int i = 0; i < 12; ++i)
    {
        slices.push_back(101);
        slices.push_back(0);
    }
    FakeStream stream(strBody, slices);
    int cNotifications = 0;
    while (stream.Position() < strBody.size() && cNotifications < 100)
    {
        EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
        ++cNotifications;
    }
    EXPECT_GT(cNotifications, 5);
    m_pWorker->Data(&stream);  // the end of the data
    EXPECT_EQ(S_OK, m_dlg.m_hrOutcome);
    EXPECT_EQ(m_strContent, m_pWorker->File());
}

TEST_F(MultipartTest, FewerThan500BytesAtAPartBoundaryWaitForMoreData)
{
    Begin(0);
    const std::string strBody = Body({{0, 999}});
    FakeStream stream(strBody.substr(0, 300), {}, E_PENDING);
    EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
    // Nothing parsed, nothing written, the unread text kept at the start of the buffer.
    EXPECT_EQ(0u, m_dlg.m_dwPartPos);
    EXPECT_EQ(0u, m_dlg.m_dwPartEnd);
    EXPECT_EQ(m_dlg.m_readBuffer.m_pBase, m_dlg.m_readBuffer.m_pRead);
    EXPECT_EQ(300, m_dlg.m_readBuffer.m_pWrite - m_dlg.m_readBuffer.m_pBase);
    EXPECT_EQ("", m_pWorker->File());

    stream.Append(strBody.substr(300));
    stream.SetEnd(S_FALSE);
    EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
    EXPECT_EQ(m_strContent, m_pWorker->File());
}

TEST_F(MultipartTest, NothingAfterTheClosingDelimiterIsWritten)
{
    Begin(0);
    std::string strBody = Body({{0, 999}}) + std::string(2000, 'E');
    FakeStream stream(strBody, {600});
    EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
    EXPECT_TRUE(m_dlg.m_fMultipartDone);
    EXPECT_EQ(S_OK, m_dlg.m_hrOutcome);
    EXPECT_EQ(m_strContent, m_pWorker->File());
}

TEST_F(MultipartTest, MalformedFramingEndsTheTransferWithoutWritingFraming)
{
    Begin(0);
    std::string strBody = std::string("\r\n--") + kBoundary + "\r\nContent-Type: x\r\nX-Junk: 1\r\n\r\n" +
                          std::string(3000, 'J');
    FakeStream stream(strBody, {}, E_PENDING);
    EXPECT_EQ(S_OK, m_pWorker->Data(&stream));
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    m_dlg.OnStopBinding(E_ABORT, nullptr);
    EXPECT_EQ("An Internet connection was established, but the data cannot be retrieved", Status());
    EXPECT_EQ("", m_pWorker->File());
}

TEST_F(MultipartTest, ABodyCutInsideAPartIsNotComplete)
{
    Begin(0);
    const std::string strBody = Body({{0, 999}});
    FakeStream stream(strBody.substr(0, 700));  // ends (S_FALSE) in the middle of the part
    m_pWorker->Data(&stream);
    m_dlg.IntDlgStatus = 1;
    m_dlg.OnStopBinding(S_OK, nullptr);
    EXPECT_EQ("The download has failed (the connection was interrupted)", Status());
    const std::string strFile = m_pWorker->File();
    EXPECT_EQ(m_strContent.substr(0, strFile.size()), strFile);
    EXPECT_LT(strFile.size(), 1000u);
}

TEST_F(MultipartTest, OnlyBytesThatContinueTheLocalFileAreWritten)
{
    // 300 bytes on disk; the parts overlap them (0-399) and then continue (400-999).
    Begin(300);
    const std::string strBody = Body({{0, 399}, {400, 999}});
    FakeStream stream(strBody, {1000});
    m_pWorker->Data(&stream);
    EXPECT_EQ(S_OK, m_dlg.m_hrOutcome);
    EXPECT_EQ(m_strContent, m_pWorker->File());
}

TEST_F(MultipartTest, APartBeyondTheLocalLengthIsNeverWritten)
{
    Begin(300);
    const std::string strBody = Body({{500, 999}});
    FakeStream stream(strBody);
    m_pWorker->Data(&stream);
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    m_dlg.OnStopBinding(E_ABORT, nullptr);
    EXPECT_EQ(m_strContent.substr(0, 300), m_pWorker->File());
    EXPECT_EQ("An Internet connection was established, but the data cannot be retrieved", Status());
}
