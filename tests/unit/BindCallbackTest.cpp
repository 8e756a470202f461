// The transfer engine over fakes of the URL moniker's objects, played through its real binding
// callback: interfaces, bind flags, request headers, the judgement of answers down to the outcome and
// the local file, the multipart reader, the read loop under Stop and a failed write, an abandoned binding.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "tests/support/FakeMoniker.h"
#include "tests/support/ScriptedHttpServer.h"

namespace
{
const char kComplete[] = "Download Complete", kCut[] = "The download has failed (the connection was interrupted)",
           kNoData[] = "An Internet connection was established, but the data cannot be retrieved",
           kNotFound[] = "The specified file does not exist on server.";
const std::string kContent = "0123456789abcdefghij";
using Callback = IBindStatusCallback*;

class BindCallbackTest : public ::testing::Test
{
protected:
    // The whole binding: the answer with its headers (those not empty) and body, then its end as
    // Wine reports it. Checks what OnResponse returns, the abort, the outcome and the local file.
    void Judge(const std::string& strLocal, DWORD dwStatus, const char* pszRange, const char* pszType,
               const char* pszLength, const std::string& strBody, HRESULT hrResponse, const char* pszOutcome,
               const std::string& strFile)
    {
        SCOPED_TRACE(std::to_string(dwStatus) + " " + pszRange + pszType + " " + pszLength);
        CFakeBindingRun run;
        for (const auto& header : {std::make_pair(HTTP_QUERY_CONTENT_RANGE, pszRange),
                                   std::make_pair(HTTP_QUERY_CONTENT_TYPE, pszType),
                                   std::make_pair(HTTP_QUERY_CONTENT_LENGTH, pszLength)})
            if (*header.second != '\0')
                run.binding.m_info.Set(header.first, header.second);
        WriteWholeFile(m_strPath, strLocal);
        run.Run(m_strPath, [&](Callback pCallback) {
            EXPECT_EQ(hrResponse, CFakeBindingRun::Response(pCallback, dwStatus));
            EXPECT_EQ(hrResponse != S_OK || dwStatus == 416 ? 1 : 0, run.binding.m_cAborts);
            FakeStream body(strBody);
            EXPECT_EQ(S_OK, CFakeBindingRun::Data(pCallback, &body));
            pCallback->OnStopBinding(dwStatus == 416 ? E_ABORT : S_OK, nullptr);  // a refused answer may end with S_OK
        });
        EXPECT_EQ(pszOutcome, run.events.Outcome());
        EXPECT_TRUE(strFile == ReadWholeFile(m_strPath));
    }
    CTempFolder m_folder{"callback"};
    std::string m_strPath = m_folder.File("brindlemox.exe");
};
}  // namespace

TEST_F(BindCallbackTest, InterfacesBindFlagsAndRequestHeaders)
{
    CFakeBindingRun run;
    WriteWholeFile(m_strPath, std::string(1234, 'a'));
    run.Run(m_strPath, [&](Callback pCallback) {
        void* pv = nullptr;
        for (auto c : {std::make_pair(&IID_IUnknown, true), std::make_pair(&IID_IBindStatusCallback, true),
                       std::make_pair(&IID_IHttpNegotiate, true), std::make_pair(&IID_IStream, false)})
        {
            EXPECT_EQ(c.second ? S_OK : E_NOINTERFACE, pCallback->QueryInterface(*c.first, &pv));
            EXPECT_EQ(c.second, pv != nullptr);
            if (pv != nullptr)
                static_cast<IUnknown*>(pv)->Release();
        }
        // Every field of the record is set, but only as far as the caller's size reaches: older URL
        // monikers pass a smaller record.
        for (DWORD cbInfo : {(DWORD)sizeof(BINDINFO), (DWORD)offsetof(BINDINFO, dwOptions)})
        {
            DWORD grfBindf = 0;
            BYTE buffer[sizeof(BINDINFO) + 16];
            memset(buffer, 0xCC, sizeof(buffer));
            BINDINFO& info = *reinterpret_cast<BINDINFO*>(buffer);
            info.cbSize = cbInfo;
            ASSERT_EQ(S_OK, pCallback->GetBindInfo(&grfBindf, &info));
            EXPECT_EQ(0x93u | BINDF_NOWRITECACHE, grfBindf);  // asynchronous pull, newest version, no cache copy
            EXPECT_TRUE(info.cbSize == cbInfo && info.dwBindVerb == BINDVERB_GET && !info.szExtraInfo &&
                        !info.szCustomVerb && !info.grfBindInfoF && !info.stgmedData.tymed);
            EXPECT_EQ(std::string(sizeof(buffer) - cbInfo, '\xCC'), std::string((char*)buffer + cbInfo, sizeof(buffer) - cbInfo));
        }
        // The rest of the file, not newer than the worker's start (the headers' form: HttpRulesTest).
        const std::string strHeaders = CFakeBindingRun::Headers(pCallback);
        EXPECT_EQ(0u, strHeaders.find("Range: bytes=1234-\r\nUnless-Modified-Since: ")) << strHeaders;
        pCallback->OnStopBinding(E_ABORT, nullptr);
    });
}

TEST_F(BindCallbackTest, EveryAnswerIsJudgedBeforeAByteIsWritten)
{
    // Refusals write nothing, whatever body Wine still delivers, and end with their own sentence.
    // (Redirections, 2xx without the file, 5xx and pages: TransferEngineTest.)
    const std::tuple<DWORD, HRESULT, const char*> refusals[] = {
        {400, INET_E_INVALID_REQUEST, "The request was invalid"}, {404, INET_E_RESOURCE_NOT_FOUND, kNotFound},
        {401, INET_E_AUTHENTICATION_REQUIRED, "Authentication is needed to access the object"},
        {408, INET_E_CONNECTION_TIMEOUT, "The Internet connection has timed out"},
        {409, INET_E_NO_VALID_MEDIA, "The file is not one of the acceptable MIME types"}};
    for (const auto& r : refusals)
        Judge("01234567", std::get<0>(r), "", "", "20", kContent, std::get<1>(r), std::get<2>(r), "01234567");
    // A resume continues the local file exactly where it ends (one cut short: TransferEngineTest), or
    // writes nothing.
    const HRESULT kRefused = INET_E_DATA_NOT_AVAILABLE;
    Judge("01234567", 206, "bytes 8-19/20", "application/octet-stream", "12", kContent.substr(8), S_OK, kComplete, kContent);
    for (const char* pszRange : {"bytes 0-19/20", "bytes 9-19/20", "bytes 8-19/15", "garbage", ""})
        Judge("01234567", 206, pszRange, "", "", kContent.substr(8), kRefused, kNoData, "01234567");
    // 200 (203: TransferEngineTest) begins the file anew; complete only with every announced byte
    // (1,048,575 and 1,048,576 bytes both read "1.00 MB").
    Judge("stale bytes of another version", 200, "", "", "20", kContent, S_OK, kComplete, kContent);
    Judge("", 200, "", "", "1048576", std::string(1048575, 'x'), S_OK, kCut, std::string(1048575, 'x'));
    // 416: the local file is complete only when it is as long as the server's file (TransferEngineTest).
    for (const char* pszRange : {"bytes */30", "bytes */4", ""})
        Judge("01234567", 416, pszRange, "", "97", "416 error page", kRefused, kNoData, "01234567");
}

TEST_F(BindCallbackTest, AnEndInsideAbortEndsTheBindingOnce)
{
    // Wine may end the binding from inside IBinding::Abort; the service's own end after it changes nothing.
    CFakeBindingRun run;
    run.Run(m_strPath, [&](Callback pCallback) {
        run.binding.m_onAbort = [&] { pCallback->OnStopBinding(E_ABORT, nullptr); };
        EXPECT_EQ(INET_E_RESOURCE_NOT_FOUND, CFakeBindingRun::Response(pCallback, 404));
        EXPECT_FALSE(run.engine.IsBound());
        EXPECT_EQ(1, run.binding.m_cRef);
        pCallback->OnStopBinding(S_OK, nullptr);
    });
    EXPECT_EQ(kNotFound, run.events.Outcome());
}

TEST_F(BindCallbackTest, ProgressCountsTheResumeOffsetAndTheReadLoopShowsItAndStopsAtOnce)
{
    CFakeBindingRun run;
    WriteWholeFile(m_strPath, std::string(1024, 'a'));
    run.Run(m_strPath, [&](Callback pCallback) {
        ASSERT_EQ(S_OK, pCallback->OnProgress(512, 3072, BINDSTATUS_DOWNLOADINGDATA, L"downloading"));
        EXPECT_EQ("Downloaded 1.50 KB of 4.00 KB", run.events.LastProgressText());
        run.engine.Abort();  // Stop: polled by the progress, the abort asked for once
        pCallback->OnProgress(600, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
        pCallback->OnProgress(700, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
        EXPECT_EQ(1, run.binding.m_cAborts);
        pCallback->OnStopBinding(E_ABORT, nullptr);
    });
    EXPECT_TRUE(run.events.end.fAborted);
    // One notification can carry the whole file: the read loop refreshes the progress line itself,
    // at most four times a second. The click comes while it drains the stream, after the third block.
    CFakeBindingRun drain;
    drain.binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "100000");
    drain.Run(m_strPath, [&](Callback pCallback) {
        ASSERT_EQ(S_OK, CFakeBindingRun::Response(pCallback, 200));
        FakeStream body(std::string(100000, 'x'));
        body.m_onRead = [&](int nRead) {
            if (nRead == 3)
                ::Sleep(300);
            if (nRead == 4)
                drain.engine.Abort();
        };
        EXPECT_EQ(S_OK, CFakeBindingRun::Data(pCallback, &body));
        EXPECT_EQ("Downloaded 24.0 KB of 97.6 KB", drain.events.LastProgressText());
        EXPECT_EQ(1, drain.binding.m_cAborts);
        pCallback->OnStopBinding(E_ABORT, nullptr);
    });
    EXPECT_EQ(3u * 8192u, ReadWholeFile(m_strPath).size());
    EXPECT_TRUE(drain.events.Outcome() == "Download Interrupted / Time Out Action _ By User" && drain.events.end.fAborted);
}

namespace
{
DWORD g_dwWriteError;  // the failure of the disk below
BOOL WINAPI FailingWriteFile(HANDLE, LPCVOID, DWORD, LPDWORD pcbWritten, LPOVERLAPPED)
{
    *pcbWritten = 0;
    ::SetLastError(g_dwWriteError);
    return FALSE;
}
}  // namespace

TEST_F(BindCallbackTest, AFailedWriteStopsTheTransferWithItsOwnSentence)
{
    // The disk fails under the transfer; the blocks are gathered, so the failure shows when they are
    // written: when the gather buffer is full, or at the latest at the end of the binding.
    const struct { size_t cbBody; DWORD dwError; const char* pszOutcome; } cases[] = {
        {(size_t)CLocalFile::kGatherBytes + 20000, ERROR_WRITE_FAULT, "The download could not be written to the local file"},
        {20000, ERROR_WRITE_FAULT, "The download could not be written to the local file"},
        {20000, ERROR_DISK_FULL, "There is not enough space on the disk to save the download"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cbBody);
        CFakeBindingRun run;
        run.binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, std::to_string(c.cbBody));
        FakeStream body(std::string(c.cbBody, 'x'));
        g_dwWriteError = c.dwError;
        run.Run(m_strPath, [&](Callback pCallback) {
            ASSERT_EQ(S_OK, CFakeBindingRun::Response(pCallback, 200));
            CLocalFile::s_pfnWriteFile = FailingWriteFile;
            CFakeBindingRun::Data(pCallback, &body);
            EXPECT_EQ(c.cbBody > 20000 ? 1 : 0, run.binding.m_cAborts);
            pCallback->OnStopBinding(c.cbBody > 20000 ? E_ABORT : S_OK, nullptr);
        });
        CLocalFile::s_pfnWriteFile = ::WriteFile;
        EXPECT_LE(body.Position(), CLocalFile::kGatherBytes + 8192u);  // no read after the failed write
        EXPECT_EQ(c.pszOutcome, run.events.Outcome());
        EXPECT_EQ(0, FileLength(m_strPath));
    }
}

TEST_F(BindCallbackTest, AnAbandonedBindingChangesNothingOfTheTransferAfterIt)
{
    // The first binding ended (the watchdog gave up on it); its callback lives on with the moniker.
    CFakeBindingRun run;
    WriteWholeFile(m_strPath, "01234567");
    Callback pOld = nullptr;
    run.Run(m_strPath, [&](Callback pCallback) {
        (pOld = pCallback)->AddRef();
        pCallback->OnStopBinding(E_ABORT, nullptr);
    });
    // The next transfer's binding runs; the old binding, late, delivers its response, data, progress and end.
    run.binding.m_info.Set(HTTP_QUERY_CONTENT_RANGE, "bytes 8-19/20");
    FakeStream late("LATE BYTES");
    run.Run(m_strPath, [&](Callback pNew) {
        EXPECT_EQ(E_ABORT, CFakeBindingRun::Response(pOld, 206));
        EXPECT_EQ(E_ABORT, CFakeBindingRun::Data(pOld, &late));
        pOld->OnProgress(5, 10, BINDSTATUS_DOWNLOADINGDATA, nullptr);
        pOld->OnStopBinding(S_OK, nullptr);
        EXPECT_TRUE(late.m_cRef == 1 && late.Position() == 0) << "no reference, no read";
        EXPECT_TRUE(run.engine.IsBound() && run.events.nEnds == 0 && run.events.progress.empty()) << "the new binding runs on";
        run.binding.m_onAbort = [pNew] { pNew->OnStopBinding(E_ABORT, nullptr); };
        pOld->Release();
        run.engine.Abort();  // ends the new binding, through the worker's message loop
    });
    EXPECT_TRUE(run.binding.m_cAborts == 1 && run.binding.m_dwAbortThreadId == GetCurrentThreadId());
    EXPECT_EQ("01234567", ReadWholeFile(m_strPath));
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
    const std::string strPart = "\r\n--B\r\nContent-Type: x\r\n";
    // cbFile: the file is the content's first cbFile bytes (-1: fewer than all).
    const struct { const char* pszName; size_t cbLocal; std::string strBody; std::vector<ULONG> slices;
                   HRESULT hrAtEnd, hrEnd; const char* pszOutcome; size_t cbFile; } cases[] = {
        {"parts in 7-byte slices", 0, body({{0, 99}, {100, 599}, {600, 999}}), std::vector<ULONG>(260, 7), S_FALSE, S_OK,
         kComplete, 1000},
        {"a part over several notifications", 0, body({{0, 999}}), pendingEvery101, S_FALSE, S_OK, kComplete, 1000},
        {"300 bytes at a part boundary wait for more", 0, body({{0, 999}}), {300, 0}, S_FALSE, S_OK, kComplete, 1000},
        {"an epilogue", 0, body({{0, 999}}) + std::string(2000, 'E'), {600}, S_FALSE, S_OK, kComplete, 1000},
        {"parts overlapping the local bytes", 300, body({{0, 399}, {400, 999}}), {1000}, S_FALSE, S_OK, kComplete, 1000},
        {"other header lines in any case and order", 0,
         "\r\n--B\ncontent-range: bytes 0-499/1000\nX-Junk: 1\n\n" + strContent.substr(0, 500) + strPart +
             "Content-Range: bytes 500-999/1000\r\nContent-Length: 500\r\n\r\n" + strContent.substr(500) + "\r\n--B--\r\n",
         {}, S_FALSE, S_OK, kComplete, 1000},
        {"a part beyond the local length", 300, body({{500, 999}}), {}, S_FALSE, E_ABORT, kNoData, 300},
        {"a part without a range", 0, strPart + "X-Junk: 1\r\n\r\n" + std::string(3000, 'J'), {}, E_PENDING, E_ABORT, kNoData, 0},
        {"a malformed range", 0, strPart + "Content-Range: bytes 1a0-199/1000\r\n\r\n" + std::string(3000, 'J'), {},
         E_PENDING, E_ABORT, kNoData, 0},
        {"another boundary", 0, "\r\n--other\r\nContent-Range: bytes 0-999/1000\r\n\r\n" + strContent, {}, E_PENDING,
         E_ABORT, kNoData, 0},
        {"a body cut inside its part", 0, body({{0, 999}}).substr(0, 700), {}, S_FALSE, S_OK, kCut, (size_t)-1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        CFakeBindingRun run;
        run.binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE, "multipart/byteranges; boundary=B");
        WriteWholeFile(m_strPath, strContent.substr(0, c.cbLocal));
        run.Run(m_strPath, [&](Callback pCallback) {
            ASSERT_EQ(S_OK, CFakeBindingRun::Response(pCallback, 206));
            FakeStream stream(c.strBody, c.slices, c.hrAtEnd);
            for (int i = 0; i < 40 && stream.Position() < c.strBody.size() && run.binding.m_cAborts == 0; ++i)
                EXPECT_EQ(S_OK, CFakeBindingRun::Data(pCallback, &stream));
            CFakeBindingRun::Data(pCallback, &stream);  // the end of the data
            pCallback->OnStopBinding(c.hrEnd, nullptr);
        });
        const std::string strFile = ReadWholeFile(m_strPath);
        EXPECT_EQ(c.pszOutcome, run.events.Outcome());
        EXPECT_TRUE(strContent.substr(0, strFile.size()) == strFile);  // never a byte of framing
        EXPECT_TRUE(c.cbFile == (size_t)-1 ? strFile.size() < 1000 : strFile.size() == c.cbFile) << strFile.size();
    }
}
