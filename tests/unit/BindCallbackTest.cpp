// The binding callback over fakes of the URL moniker's objects: its interfaces, bind flags and request
// headers, the judgement of every kind of answer down to the outcome and the local file, the multipart
// reader, the read loop under Stop and a failed write, and a binding that the watchdog abandoned.
#include <gtest/gtest.h>
#include <string.h>
#include <memory>
#include <string>
#include <vector>
#include "tests/support/FakeWorker.h"
#include "tests/support/ScriptedHttpServer.h"

namespace
{
const char kUrl[] = "http://127.0.0.1:9/callback/unit/brindlemox.exe", kComplete[] = "Download completed",
           kNoData[] = "An Internet connection was established, but the data cannot be retrieved",
           kNotFound[] = "The specified file does not exist on server.",
           kAuth[] = "Authentication is needed to access the object",
           kCut[] = "The download has failed (the connection was interrupted)";
const std::string kContent = "0123456789abcdefghij";

void Fill(CReadBuffer& buf, const std::string& strText)
{
    memcpy(buf.m_pRead = buf.m_pBase, strText.data(), strText.size());
    buf.m_pWrite = buf.m_pBase + strText.size();
}

class BindCallbackTest : public ::testing::Test
{
protected:
    // A new binding on this thread; the local file holds strLocal first.
    FakeWorker& Begin(const std::string& strLocal)
    {
        m_pWorker.reset();
        WriteWholeFile(m_strPath, strLocal);
        m_pWorker.reset(new FakeWorker(m_dlg, m_strPath, kUrl));
        m_dlg.m_strValidator = "";  // no version known from an earlier answer
        m_pWorker->Begin();
        return *m_pWorker;
    }
    // The whole binding: the answer with its headers (those not empty) and body, then its end as
    // Wine reports it. Checks what OnResponse returns, the abort, the outcome and the local file.
    void Judge(const std::string& strLocal, DWORD dwStatus, const char* pszRange, const char* pszType,
               const char* pszLength, const std::string& strBody, HRESULT hrResponse, const char* pszOutcome,
               const std::string& strFile)
    {
        SCOPED_TRACE(std::to_string(dwStatus) + " " + pszRange + pszType + " " + pszLength);
        FakeWorker& worker = Begin(strLocal);
        for (const auto& header : {std::make_pair(HTTP_QUERY_CONTENT_RANGE, pszRange),
                                   std::make_pair(HTTP_QUERY_CONTENT_TYPE, pszType),
                                   std::make_pair(HTTP_QUERY_CONTENT_LENGTH, pszLength)})
            if (*header.second != '\0')
                worker.m_binding.m_info.Set(header.first, header.second);
        EXPECT_EQ(hrResponse, m_dlg.OnResponse(dwStatus, L"", L"", nullptr));
        EXPECT_EQ(hrResponse != S_OK || dwStatus == 416 ? 1 : 0, worker.m_binding.m_cAborts);
        FakeStream body(strBody);
        EXPECT_EQ(S_OK, worker.Data(&body));
        End(dwStatus == 416 ? E_ABORT : S_OK);  // a refused answer may still end with S_OK
        EXPECT_EQ(pszOutcome, Status());
        EXPECT_EQ(pszOutcome == kComplete ? 3 : 1, m_dlg.IntDlgStatus.load());
        EXPECT_EQ(pszOutcome == kComplete, g_fDownloadComplete.load() != FALSE);
        EXPECT_TRUE(strFile == worker.File());
        g_fDownloadComplete = FALSE;
    }
    void End(HRESULT hr) { m_dlg.IntDlgStatus = 1, m_dlg.OnStopBinding(hr, nullptr); }
    std::string Status() { return std::string(static_cast<LPCTSTR>(m_dlg.GetServerStatus())); }
    void TearDown() override
    {
        m_pWorker.reset();
        g_fDownloadComplete = FALSE;
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    }
    CTempFolder m_folder{"callback"};
    std::string m_strPath = m_folder.File("brindlemox.exe");
    CURLDownloading m_dlg;
    std::unique_ptr<FakeWorker> m_pWorker;
};
}  // namespace

TEST_F(BindCallbackTest, InterfacesBindFlagsAndRequestHeaders)
{
    void* pv = nullptr;
    void *pCallback = static_cast<IBindStatusCallback*>(&m_dlg), *pNegotiate = static_cast<IHttpNegotiate*>(&m_dlg);
    for (auto c : {std::make_pair(&IID_IUnknown, pCallback), std::make_pair(&IID_IBindStatusCallback, pCallback),
                   std::make_pair(&IID_IHttpNegotiate, pNegotiate), std::make_pair(&IID_IStream, (void*)nullptr)})
    {
        EXPECT_EQ(c.second ? S_OK : E_NOINTERFACE, m_dlg.QueryInterface(*c.first, &pv));
        EXPECT_EQ(c.second, pv);
    }
    DWORD grfBindf = 0;
    BINDINFO info;
    memset(&info, 0xCC, sizeof(info));  // every field set by GetBindInfo
    ASSERT_EQ(S_OK, m_dlg.GetBindInfo(&grfBindf, &info));
    EXPECT_EQ(0x93u | BINDF_NOWRITECACHE, grfBindf);  // asynchronous pull, newest version, no cache copy
    EXPECT_TRUE(info.dwBindVerb == BINDVERB_GET && !info.szExtraInfo && !info.szCustomVerb && !info.grfBindInfoF &&
                !info.stgmedData.tymed);
    // The rest of the file (one open range, as the worker asks), not newer than the worker's start.
    // (If-Range is read by the engine test, at the server.)
    const std::string strDate = "Unless-Modified-Since: Sun, 06 Dec 2026 22:00:00 GMT\r\n";
    FakeWorker& worker = Begin("");
    for (DWORD dwOffset : {1234u, 4000000000u})  // never a signed number
    {
        worker.m_range.dwOffset = dwOffset;
        LPWSTR pwsz = nullptr;
        ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
        char sz[512] = "";
        WideCharToMultiByte(CP_ACP, 0, pwsz, -1, sz, sizeof(sz), NULL, NULL);
        EXPECT_EQ("Range: bytes=" + std::to_string(dwOffset) + "-\r\n" + strDate, sz);
        CoTaskMemFree(pwsz);
    }
}

TEST_F(BindCallbackTest, EveryAnswerIsJudgedBeforeAByteIsWritten)
{
    // Refusals write nothing, whatever body Wine still delivers, and end with their own sentence.
    const std::tuple<DWORD, HRESULT, const char*> refusals[] = {
        {300, INET_E_RESOURCE_NOT_FOUND, kNotFound}, {305, INET_E_RESOURCE_NOT_FOUND, kNotFound},
        {400, INET_E_INVALID_REQUEST, "The request was invalid"},
        {401, INET_E_AUTHENTICATION_REQUIRED, kAuth}, {403, INET_E_AUTHENTICATION_REQUIRED, kAuth},
        {404, INET_E_RESOURCE_NOT_FOUND, kNotFound},  {405, INET_E_AUTHENTICATION_REQUIRED, kAuth},
        {407, INET_E_AUTHENTICATION_REQUIRED, kAuth}, {408, INET_E_CONNECTION_TIMEOUT, "The Internet connection has timed out"},
        {409, INET_E_NO_VALID_MEDIA, "The file is not one of the acceptable MIME types"},
        {410, INET_E_DATA_NOT_AVAILABLE, kNoData},    {411, INET_E_DATA_NOT_AVAILABLE, kNoData},
        {599, INET_E_DATA_NOT_AVAILABLE, kNoData},    {204, INET_E_DATA_NOT_AVAILABLE, kNoData},
        {205, INET_E_DATA_NOT_AVAILABLE, kNoData}};
    for (const auto& r : refusals)
        Judge("01234567", std::get<0>(r), "", "", "20", kContent, std::get<1>(r), std::get<2>(r), "01234567");
    // A resume continues the local file exactly where it ends, or writes nothing.
    const HRESULT kRefused = INET_E_DATA_NOT_AVAILABLE;
    Judge("01234567", 206, "bytes 8-19/20", "application/octet-stream", "12", kContent.substr(8), S_OK, kComplete, kContent);
    Judge("01234567", 206, "bytes 8-11/20", "", "", kContent.substr(8, 4), S_OK, kCut, kContent.substr(0, 12));
    for (const char* pszRange : {"bytes 0-19/20", "bytes 9-19/20", "bytes 8-19/15", "garbage", ""})
        Judge("01234567", 206, pszRange, "", "", kContent.substr(8), kRefused, kNoData, "01234567");
    // Multipart answers under both type names, with a quoted boundary and other parameters.
    const std::string strParts = ScriptedHttpServer::MultipartAnswer(kContent, {{8, 19}}, "", "3d6b6a416f9b5").strBody;
    for (const char* pszType : {"multipart/x-byteranges; boundary=3d6b6a416f9b5",
                                "Multipart/ByteRanges;boundary=\"3d6b6a416f9b5\"",
                                "multipart/byteranges; charset=x; boundary=3d6b6a416f9b5"})
        Judge("01234567", 206, "", pszType, "", strParts, S_OK, kComplete, kContent);
    // Any other accepted status begins the file anew; complete only with every announced byte
    // (1,048,575 and 1,048,576 bytes both read "1.00 MB").
    for (DWORD dwStatus : {200u, 203u, 306u})
        Judge("stale bytes of another version", dwStatus, "", "", "20", kContent, S_OK, kComplete, kContent);
    Judge("", 200, "", "", "40", kContent, S_OK, kCut, kContent);
    Judge("", 200, "", "", "1048576", std::string(1048575, 'x'), S_OK, kCut, std::string(1048575, 'x'));
    // 416: the local file is complete only when it is as long as the server's file.
    Judge(kContent, 416, "bytes */20", "", "97", "416 error page", S_OK, kComplete, kContent);
    for (const char* pszRange : {"bytes */30", "bytes */4", ""})
        Judge("01234567", 416, pszRange, "", "97", "416 error page", kRefused, kNoData, "01234567");
}

TEST_F(BindCallbackTest, AnEndInsideAbortEndsTheBindingOnce)
{
    // Wine may end the binding from inside IBinding::Abort; the service's own end after it changes nothing.
    FakeWorker& worker = Begin("");
    worker.m_binding.m_onAbort = [this] { m_dlg.OnStopBinding(E_ABORT, nullptr); };
    EXPECT_EQ(INET_E_RESOURCE_NOT_FOUND, m_dlg.OnResponse(404, L"", L"", nullptr));
    EXPECT_EQ(nullptr, m_dlg.m_pBinding);
    EXPECT_EQ(1, worker.m_binding.m_cRef);
    m_dlg.OnStopBinding(S_OK, nullptr);
    EXPECT_EQ(kNotFound, Status());
}

TEST_F(BindCallbackTest, ProgressCountsTheResumeOffsetAndTheReadLoopShowsItAndStopsAtOnce)
{
    FakeWorker* pWorker = &Begin(std::string(1024, 'a'));
    ASSERT_EQ(S_OK, m_dlg.OnProgress(512, 3072, BINDSTATUS_DOWNLOADINGDATA, L"downloading"));
    EXPECT_EQ(4096u, m_dlg.m_dwTotalSize);
    EXPECT_STREQ("Downloaded 1.50 KB of 4.00 KB", m_dlg.m_szProgressText);
    m_dlg.g_fAbortDownload = TRUE;  // Stop: polled by the progress, the abort asked for once
    m_dlg.OnProgress(600, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
    m_dlg.OnProgress(700, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
    EXPECT_TRUE(m_dlg.IntDlgStatus.load() == 2 && pWorker->m_binding.m_cAborts == 1);
    m_dlg.g_fAbortDownload = FALSE;
    // One notification can carry the whole file: the read loop refreshes the progress line itself,
    // at most four times a second. The click comes while it drains the stream, after the third block.
    pWorker = &Begin("");
    pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "100000");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
    FakeStream body(std::string(100000, 'x'));
    body.m_onRead = [this](int nRead) {
        if (nRead == 3)
            ::Sleep(300);
        m_dlg.g_fAbortDownload = nRead == 4;
    };
    EXPECT_EQ(S_OK, pWorker->Data(&body));
    EXPECT_STREQ("Downloaded 24.0 KB of 97.6 KB", m_dlg.m_progressShown.strDownloadStatus);
    EXPECT_EQ(1, pWorker->m_binding.m_cAborts);
    m_dlg.OnStopBinding(E_ABORT, nullptr);
    EXPECT_EQ(3u * 8192u, pWorker->File().size());
    EXPECT_EQ("Downloading stopped due to the user intervention", Status());
    m_dlg.g_fAbortDownload = FALSE;
}

TEST_F(BindCallbackTest, AFailedWriteStopsTheTransferWithItsOwnSentence)
{
    // The file turns read-only under the transfer; the blocks are gathered, so the failure shows when
    // they are written: when the gather buffer is full, or at the latest at the end of the binding.
    for (size_t cbBody : {(size_t)CURLDownloading::kGatherBytes + 20000, (size_t)20000})
    {
        SCOPED_TRACE(cbBody);
        FakeWorker& worker = Begin("");
        worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, std::to_string(cbBody));
        ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
        m_dlg.SetLocalFile(CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                       OPEN_EXISTING, 0, NULL));
        FakeStream body(std::string(cbBody, 'x'));
        worker.Data(&body);
        EXPECT_EQ(cbBody > 20000 ? 1 : 0, worker.m_binding.m_cAborts);
        EXPECT_LE(body.Position(), CURLDownloading::kGatherBytes + 8192u);  // no read after the failed write
        End(cbBody > 20000 ? E_ABORT : S_OK);
        EXPECT_EQ("The download could not be written to the local file", Status());
        EXPECT_EQ("", ReadWholeFile(m_strPath));
        EXPECT_FALSE(g_fDownloadComplete.load());
    }
}

TEST_F(BindCallbackTest, AnAbandonedBindingChangesNothingOfTheTransferAfterIt)
{
    // The watchdog gave up on the first binding (run on this thread) and reported its end itself.
    FakeWorker& oldWorker = Begin("01234567");
    m_dlg.OnStopBinding(E_ABORT, nullptr);
    // Start: a new transfer on another worker thread, its binding running.
    FakeWorker newWorker(m_dlg, m_strPath, kUrl);
    CTestThread([&] { newWorker.Begin(); }).join();
    newWorker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_RANGE, "bytes 8-19/20");
    const DWORD dwNewWorker = m_dlg.m_dwWorkerThreadId.load();
    m_dlg.IntDlgStatus = 1;
    m_dlg.SetServerStatus("running");
    // The old binding, late, on the old thread: its response, data, progress and end.
    FakeStream late("LATE BYTES");
    EXPECT_NE(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
    EXPECT_NE(S_OK, oldWorker.Data(&late));
    m_dlg.OnProgress(5, 10, BINDSTATUS_DOWNLOADINGDATA, nullptr);
    m_dlg.OnStopBinding(S_OK, nullptr);
    EXPECT_TRUE(late.m_cRef == 1 && late.Position() == 0 && m_dlg.m_pStream == nullptr) << "no reference, no read";
    EXPECT_TRUE(!m_dlg.m_fBindingEnded && m_dlg.m_dwWorkerThreadId.load() == dwNewWorker) << "the new binding runs on";
    EXPECT_TRUE(m_dlg.IntDlgStatus.load() == 1 && Status() == "running" && newWorker.m_binding.m_cAborts == 0);
    EXPECT_EQ("01234567", ReadWholeFile(m_strPath));
}

TEST(CReadBufferTest, SearchNumbersAndCompaction)
{
    CReadBuffer buf;
    ASSERT_TRUE(buf.Allocate(64));
    // SkipPast ignores case and needs a buffered byte after the match; a failed search consumes what
    // it scanned.
    const std::tuple<const char*, const char*, BOOL, int> skips[] = {
        {"xxContent-RANGE: bytes", "content-range: ", TRUE, 17}, {"abc--XYZ", "--XYZ", FALSE, 3},
        {"abc--XYZ\r", "--XYZ", TRUE, 8}, {"no boundary here", "--B", FALSE, 13}};
    for (const auto& c : skips)
    {
        Fill(buf, std::get<0>(c));
        EXPECT_EQ(std::get<2>(c), buf.SkipPast(std::get<1>(c), (DWORD)strlen(std::get<1>(c)))) << std::get<0>(c);
        EXPECT_EQ(std::get<3>(c), buf.m_pRead - buf.m_pBase) << std::get<0>(c);
    }
    // Content-Range values, as a response header or a part header gives them: parsed?, first, last,
    // total (0: none given; a FIRST-LAST is given unless first == last == ~0).
    const std::tuple<const char*, BOOL, DWORD, DWORD, DWORD> ranges[] = {
        {"bytes 8-19/20", TRUE, 8, 19, 20},        {" bytes=5-9/*", TRUE, 5, 9, 0},
        {"bytes */20", TRUE, ~0u, ~0u, 20},        {"bytes */*", FALSE, 0, 0, 0},
        {"bytes 9-5/20", FALSE, 0, 0, 0},          {"bytes 0-19/19", FALSE, 0, 0, 0},
        {"bytes 0-4294967295/*", FALSE, 0, 0, 0},  {"bytes 0-1/4294967296", FALSE, 0, 0, 0},
        {"items 0-1/2", FALSE, 0, 0, 0},           {"bytes 1-2", FALSE, 0, 0, 0},
        {"bytes 0-4294967294/4294967295", TRUE, 0, 4294967294u, 4294967295u}};
    for (const auto& c : ranges)
    {
        CURLDownloading::CONTENT_RANGE range;
        ASSERT_EQ(std::get<1>(c), CURLDownloading::ParseContentRange(std::get<0>(c), &range)) << std::get<0>(c);
        if (!std::get<1>(c))
            continue;
        const bool fRange = std::get<2>(c) != ~0u;
        EXPECT_EQ(fRange, range.fRange != FALSE) << std::get<0>(c);
        EXPECT_TRUE(!fRange || (range.dwFirst == std::get<2>(c) && range.dwLast == std::get<3>(c))) << std::get<0>(c);
        EXPECT_EQ(std::get<4>(c) != 0, range.fTotal != FALSE) << std::get<0>(c);
        EXPECT_EQ(std::get<4>(c), range.fTotal ? range.dwTotal : 0u) << std::get<0>(c);
    }
    Fill(buf, "0123456789");
    buf.m_pRead += 6;
    buf.Compact();
    EXPECT_TRUE(buf.m_pRead == buf.m_pBase && buf.m_pWrite == buf.m_pBase + 4 && memcmp(buf.m_pBase, "6789", 4) == 0);
}

TEST_F(BindCallbackTest, PartHeadersGiveThePartsPlaceAndTheDataStartsAfterTheEmptyLine)
{
    FakeWorker& worker = Begin("");
    worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE, "multipart/byteranges; boundary=B");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
    const std::string strPart = "\r\n--B\r\nContent-Type: x\r\n";
    const std::tuple<std::string, BOOL, DWORD, DWORD> cases[] = {
        {strPart + "Content-Range: bytes 100-199/1000\r\n\r\nDATA", TRUE, 100, 200},
        {strPart + "Content-Range: bytes 1-2/1000\r\nContent-Length: 2\r\n\r\nDATA", TRUE, 1, 3},
        {"\r\n--B\nContent-Type: x\ncontent-range: bytes 0-0/1000\n\nDATA", TRUE, 0, 1},
        {"\r\n--B--\r\n", TRUE, 0, 0},  // the closing delimiter
        {strPart + "Content-Range: bytes 1a0-199/1000\r\n\r\nD", FALSE, 0, 0},
        {strPart + "Content-Length: 3\r\n\r\nDDD", FALSE, 0, 0},
        {"\r\n--other\r\nContent-Range: bytes 0-1/2\r\n\r\nDD", FALSE, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::get<0>(c));
        Fill(m_dlg.m_readBuffer, std::get<0>(c));
        m_dlg.m_dwPartPos = m_dlg.m_dwPartEnd = 7;
        ASSERT_EQ(std::get<1>(c), m_dlg.ParsePartHeader());
        if (std::get<1>(c))
            EXPECT_TRUE(m_dlg.m_dwPartPos == std::get<2>(c) && m_dlg.m_dwPartEnd == std::get<3>(c) &&
                        (std::get<3>(c) == 0 || memcmp(m_dlg.m_readBuffer.m_pRead, "DATA", 4) == 0));
    }
    EXPECT_TRUE(m_dlg.m_fLengthKnown && m_dlg.m_dwExpectedLength == 1000);
}

TEST_F(BindCallbackTest, MultipartBodiesReadInAnySlicesWriteExactlyTheBytesThatContinueTheFile)
{
    const std::string strContent = MakeTestContent(1000, 7);
    auto body = [&](const std::vector<std::pair<size_t, size_t>>& parts) {
        return ScriptedHttpServer::MultipartAnswer(strContent, parts, "", "B").strBody;
    };
    std::vector<ULONG> pendingEvery101;  // a notification ends after every 101 bytes
    for (int i = 0; i < 12; ++i)
        pendingEvery101.insert(pendingEvery101.end(), {101, 0});
    // cbFile: the file is the content's first cbFile bytes (-1: fewer than all).
    const struct { const char* pszName; size_t cbLocal; std::string strBody; std::vector<ULONG> slices;
                   HRESULT hrAtEnd, hrEnd; const char* pszOutcome; size_t cbFile; } cases[] = {
        {"parts in 7-byte slices", 0, body({{0, 99}, {100, 599}, {600, 999}}), std::vector<ULONG>(260, 7), S_FALSE, S_OK,
         kComplete, 1000},
        {"a part over several notifications", 0, body({{0, 999}}), pendingEvery101, S_FALSE, S_OK, kComplete, 1000},
        {"300 bytes at a part boundary wait for more", 0, body({{0, 999}}), {300, 0}, S_FALSE, S_OK, kComplete, 1000},
        {"an epilogue", 0, body({{0, 999}}) + std::string(2000, 'E'), {600}, S_FALSE, S_OK, kComplete, 1000},
        {"parts overlapping the local bytes", 300, body({{0, 399}, {400, 999}}), {1000}, S_FALSE, S_OK, kComplete, 1000},
        {"a part beyond the local length", 300, body({{500, 999}}), {}, S_FALSE, E_ABORT, kNoData, 300},
        {"a part without a range", 0, "\r\n--B\r\nContent-Type: x\r\nX-Junk: 1\r\n\r\n" + std::string(3000, 'J'), {},
         E_PENDING, E_ABORT, kNoData, 0},
        {"a body cut inside its part", 0, body({{0, 999}}).substr(0, 700), {}, S_FALSE, S_OK, kCut, (size_t)-1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        FakeWorker& worker = Begin(strContent.substr(0, c.cbLocal));
        worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE, "multipart/byteranges; boundary=B");
        ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
        FakeStream stream(c.strBody, c.slices, c.hrAtEnd);
        for (int i = 0; i < 40 && stream.Position() < c.strBody.size() && m_dlg.m_hrOutcome == S_OK; ++i)
            EXPECT_EQ(S_OK, worker.Data(&stream));
        worker.Data(&stream);  // the end of the data
        End(c.hrEnd);
        const std::string strFile = worker.File();
        EXPECT_EQ(c.pszOutcome, Status());
        EXPECT_TRUE(strContent.substr(0, strFile.size()) == strFile);  // never a byte of framing
        EXPECT_TRUE(c.cbFile == (size_t)-1 ? strFile.size() < 1000 : strFile.size() == c.cbFile) << strFile.size();
        g_fDownloadComplete = FALSE;
    }
}
