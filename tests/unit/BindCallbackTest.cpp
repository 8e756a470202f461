// The binding callback over fakes: its interfaces, the bind flags, the request headers of
// BeginningTransaction, the judgement of the response in OnResponse (refusals, resume, fresh start,
// the Content-Range check, multipart detection), the read loop and the end of the binding.
#include <gtest/gtest.h>
#include <string>
#include "download/CURLDownloading.h"
#include "tests/support/FakeBinding.h"
#include "tests/support/FakeWorker.h"
#include "tests/support/TestThread.h"

using namespace xfer;

namespace
{
const char kUrl[] = "http://127.0.0.1:9/callback/unit/brindlemox.exe";
const size_t kGather = CURLDownloading::kGatherBytes;

std::string Narrow(LPCWSTR pwsz)
{
    if (pwsz == nullptr)
        return "(null)";
    char sz[512];
    WideCharToMultiByte(CP_ACP, 0, pwsz, -1, sz, sizeof(sz), NULL, NULL);
    return sz;
}

class BindCallbackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strPath = MakeTempFilePath("brindlemox.exe");
        m_pWorker = new FakeWorker(m_dlg, m_strPath, kUrl);
    }
    void TearDown() override
    {
        delete m_pWorker;
        RemoveTempFile(m_strPath);
    }
    std::string Status() { return std::string(static_cast<LPCTSTR>(m_dlg.GetServerStatus())); }
    // Ends the binding as the service does.
    void Stop(HRESULT hr) { m_dlg.OnStopBinding(hr, nullptr); }

    CURLDownloading m_dlg;
    FakeWorker* m_pWorker = nullptr;
    std::string m_strPath;
};
}  // namespace

TEST_F(BindCallbackTest, QueryInterfaceHandsOutBothInterfacesAndNullsTheRest)
{
    void* pv = reinterpret_cast<void*>(1);
    ASSERT_EQ(S_OK, m_dlg.QueryInterface(IID_IUnknown, &pv));
    EXPECT_EQ(static_cast<IBindStatusCallback*>(&m_dlg), pv);
    ASSERT_EQ(S_OK, m_dlg.QueryInterface(IID_IBindStatusCallback, &pv));
    EXPECT_EQ(static_cast<IBindStatusCallback*>(&m_dlg), pv);
    ASSERT_EQ(S_OK, m_dlg.QueryInterface(IID_IHttpNegotiate, &pv));
    EXPECT_EQ(static_cast<IHttpNegotiate*>(&m_dlg), pv);
    pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, m_dlg.QueryInterface(IID_IStream, &pv));
    EXPECT_EQ(nullptr, pv);
    // Three references taken; the counts come from the interlocked results.
    EXPECT_EQ(3, m_dlg.m_cRef);
    EXPECT_EQ(4u, static_cast<IHttpNegotiate*>(&m_dlg)->AddRef());
    EXPECT_EQ(3u, static_cast<IBindStatusCallback*>(&m_dlg)->Release());
}

TEST_F(BindCallbackTest, BindFlagsAreAsynchronousPullWithoutACacheCopy)
{
    DWORD grfBindf = 0;
    BINDINFO info;
    memset(&info, 0xCC, sizeof(info));
    info.cbSize = sizeof(info);
    ASSERT_EQ(S_OK, m_dlg.GetBindInfo(&grfBindf, &info));
    EXPECT_EQ(0x93u | BINDF_NOWRITECACHE, grfBindf);
    EXPECT_EQ(0xB3u, grfBindf);
    EXPECT_EQ(static_cast<DWORD>(BINDVERB_GET), info.dwBindVerb);
    EXPECT_EQ(nullptr, info.szExtraInfo);
    EXPECT_EQ(nullptr, info.szCustomVerb);
    EXPECT_EQ(0u, info.grfBindInfoF);
    EXPECT_EQ(0u, info.stgmedData.tymed);
}

TEST_F(BindCallbackTest, RequestHeadersAskForTheRestOfTheFileAndCarryTheStartTime)
{
    WriteWholeFile(m_strPath, std::string(1234, 'a'));
    EXPECT_EQ(1234u, m_pWorker->Begin());
    LPWSTR pwsz = nullptr;
    ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
    EXPECT_EQ("Range: bytes=1234-\r\nUnless-Modified-Since: Sun, 06 Dec 2026 22:00:00 GMT\r\n", Narrow(pwsz));
    CoTaskMemFree(pwsz);

    // A fresh download still asks for everything from 0 on.
    m_pWorker->m_range.dwOffset = 0;
    ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
    EXPECT_EQ("Range: bytes=0-\r\nUnless-Modified-Since: Sun, 06 Dec 2026 22:00:00 GMT\r\n", Narrow(pwsz));
    CoTaskMemFree(pwsz);
}

TEST_F(BindCallbackTest, RequestHeadersForSeveralRangesWithoutDateAndForNone)
{
    m_pWorker->Begin();
    BYTE_RANGE ranges[2] = {{0, 100}, {200, 0}};
    m_pWorker->m_request.pRanges = ranges;
    m_pWorker->m_request.cRanges = 2;
    m_pWorker->m_request.pstUnlessModifiedSince = nullptr;
    LPWSTR pwsz = nullptr;
    ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
    EXPECT_EQ("Range: bytes=0-99, 200-\r\n", Narrow(pwsz));
    CoTaskMemFree(pwsz);

    // Offsets go out as signed 32-bit numbers, the largest file offset included.
    ranges[0] = {2147483000u, 647};
    m_pWorker->m_request.cRanges = 1;
    ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
    EXPECT_EQ("Range: bytes=2147483000-2147483646\r\n", Narrow(pwsz));
    CoTaskMemFree(pwsz);

    m_pWorker->m_request.cRanges = 0;
    pwsz = reinterpret_cast<LPWSTR>(1);
    ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
    EXPECT_EQ(nullptr, pwsz);
}

TEST_F(BindCallbackTest, EveryRefusedStatusAbortsWritesNothingAndReportsItsSentence)
{
    struct Row
    {
        DWORD dwStatus;
        HRESULT hr;
        const char* pszSentence;
    };
    const Row rows[] = {
        {300, INET_E_RESOURCE_NOT_FOUND, "The specified file does not exist on server."},
        {302, INET_E_RESOURCE_NOT_FOUND, "The specified file does not exist on server."},
        {305, INET_E_RESOURCE_NOT_FOUND, "The specified file does not exist on server."},
        {400, INET_E_INVALID_REQUEST, "The request was invalid"},
        {401, INET_E_AUTHENTICATION_REQUIRED, "Authentication is needed to access the object"},
        {403, INET_E_AUTHENTICATION_REQUIRED, "Authentication is needed to access the object"},
        {404, INET_E_RESOURCE_NOT_FOUND, "The specified file does not exist on server."},
        {405, INET_E_AUTHENTICATION_REQUIRED, "Authentication is needed to access the object"},
        {407, INET_E_AUTHENTICATION_REQUIRED, "Authentication is needed to access the object"},
        {408, INET_E_CONNECTION_TIMEOUT, "The Internet connection has timed out"},
        {409, INET_E_NO_VALID_MEDIA, "The file is not one of the acceptable MIME types"},
        {410, INET_E_DATA_NOT_AVAILABLE,
         "An Internet connection was established, but the data cannot be retrieved"},
        // Answers that carry no file: nothing, or an error page in place of the installer.
        {204, INET_E_DATA_NOT_AVAILABLE,
         "An Internet connection was established, but the data cannot be retrieved"},
        {205, INET_E_DATA_NOT_AVAILABLE,
         "An Internet connection was established, but the data cannot be retrieved"},
        {411, INET_E_DATA_NOT_AVAILABLE,
         "An Internet connection was established, but the data cannot be retrieved"},
        {500, INET_E_DATA_NOT_AVAILABLE,
         "An Internet connection was established, but the data cannot be retrieved"},
        {599, INET_E_DATA_NOT_AVAILABLE,
         "An Internet connection was established, but the data cannot be retrieved"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.dwStatus);
        WriteWholeFile(m_strPath, "partial");
        FakeWorker worker(m_dlg, m_strPath, kUrl);
        worker.Begin();
        worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "20");
        EXPECT_EQ(row.hr, m_dlg.OnResponse(row.dwStatus, L"", L"", nullptr));
        EXPECT_EQ(1, worker.m_binding.m_cAborts);
        // Wine goes on delivering the body and ends with S_OK: neither is taken.
        FakeStream body("error page body.....");
        EXPECT_EQ(S_OK, worker.Data(&body));
        Stop(S_OK);
        EXPECT_EQ(row.pszSentence, Status());
        EXPECT_FALSE(g_fDownloadComplete.load());
        EXPECT_EQ("partial", m_pWorker->File());
    }
}

TEST_F(BindCallbackTest, AResumeWhoseRangeStartsAtTheLocalLengthIsAppended)
{
    const std::string strContent = "0123456789abcdefghij";
    WriteWholeFile(m_strPath, strContent.substr(0, 8));
    m_pWorker->Begin();
    m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_RANGE, "bytes 8-19/20").Set(HTTP_QUERY_CONTENT_LENGTH, "12");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
    EXPECT_EQ(0, m_pWorker->m_binding.m_cAborts);
    EXPECT_EQ(2u, m_dlg.m_notify.dwRangeUnits);
    EXPECT_EQ(nullptr, m_dlg.m_pszBoundary);
    EXPECT_EQ(8u, m_dlg.m_dwWriteOffset);
    FakeStream body(strContent.substr(8), {5, 0, 3});
    EXPECT_EQ(S_OK, m_pWorker->Data(&body));  // stops at the pending read
    EXPECT_EQ(S_OK, m_pWorker->Data(&body));  // and drains the rest
    Stop(S_OK);
    // "Download Complete" with every byte on disk: the completed status, whose sentence the
    // window side shows.
    EXPECT_EQ(3, m_dlg.IntDlgStatus.load());
    EXPECT_TRUE(g_fDownloadComplete.load());
    EXPECT_EQ("Download completed", Status());
    EXPECT_EQ(strContent, m_pWorker->File());
    g_fDownloadComplete = FALSE;
}

TEST_F(BindCallbackTest, AResumeThatDoesNotStartAtTheLocalLengthNeverAppends)
{
    const char* const ranges[] = {"bytes 0-19/20", "bytes 9-19/20", "bytes 8-19/15", "garbage", ""};
    for (const char* pszRange : ranges)
    {
        SCOPED_TRACE(pszRange);
        WriteWholeFile(m_strPath, "01234567");
        FakeWorker worker(m_dlg, m_strPath, kUrl);
        worker.Begin();
        if (*pszRange != '\0')
            worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_RANGE, pszRange);
        EXPECT_EQ(INET_E_DATA_NOT_AVAILABLE, m_dlg.OnResponse(206, L"", L"", nullptr));
        EXPECT_EQ(1, worker.m_binding.m_cAborts);
        FakeStream body("0123456789abcdefghij");
        worker.Data(&body);
        Stop(E_ABORT);
        EXPECT_EQ("An Internet connection was established, but the data cannot be retrieved", Status());
        EXPECT_EQ("01234567", m_pWorker->File());
    }
}

TEST_F(BindCallbackTest, AnyOtherAcceptedStatusStartsTheFileAfresh)
{
    for (DWORD dwStatus : {200u, 203u, 306u})
    {
        SCOPED_TRACE(dwStatus);
        WriteWholeFile(m_strPath, "stale bytes of another version");
        FakeWorker worker(m_dlg, m_strPath, kUrl);
        EXPECT_EQ(30u, worker.Begin());
        const std::string strBody("new content");
        worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, std::to_string(strBody.size()))
            .Set(HTTP_QUERY_ACCEPT_RANGES, "Bytes");
        ASSERT_EQ(S_OK, m_dlg.OnResponse(dwStatus, L"", L"", nullptr));
        EXPECT_EQ(0, worker.m_binding.m_cAborts);
        EXPECT_EQ(0u, m_dlg.m_dwResumeOffset);
        EXPECT_EQ(2u, m_dlg.m_notify.dwRangeUnits);
        EXPECT_EQ(strBody.size(), m_dlg.m_notify.dwContentLength);
        FakeStream body(strBody);
        worker.Data(&body);
        m_dlg.IntDlgStatus = 1;
        Stop(S_OK);
        EXPECT_EQ(3, m_dlg.IntDlgStatus.load());
        EXPECT_EQ("Download completed", Status());
        EXPECT_EQ(strBody, m_pWorker->File());
        g_fDownloadComplete = FALSE;
    }
}

TEST_F(BindCallbackTest, AnAnswerCutShortIsAnInterruptedDownloadNotACompleteOne)
{
    m_pWorker->Begin();
    m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "100000");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
    FakeStream body(std::string(30000, 'x'));
    m_pWorker->Data(&body);
    m_dlg.IntDlgStatus = 1;
    // Wine ends a body cut by the server's close with S_OK.
    Stop(S_OK);
    EXPECT_EQ("The download has failed (the connection was interrupted)", Status());
    EXPECT_NE(3, m_dlg.IntDlgStatus.load());
    EXPECT_FALSE(g_fDownloadComplete.load());
    EXPECT_EQ(30000u, m_pWorker->File().size());
}

TEST_F(BindCallbackTest, TheCompletedStatusComparesByteCountsNotRoundedSizes)
{
    // 1,048,575 and 1,048,576 bytes both read "1.00 MB".
    m_pWorker->Begin();
    m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "1048576");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
    FakeStream body(std::string(1048575, 'x'));
    m_pWorker->Data(&body);
    m_dlg.IntDlgStatus = 1;
    Stop(S_OK);
    EXPECT_NE(3, m_dlg.IntDlgStatus.load());
    EXPECT_EQ("The download has failed (the connection was interrupted)", Status());
}

TEST_F(BindCallbackTest, MultipartAnswersAreRecognisedUnderBothTypeNames)
{
    const char* const types[] = {"multipart/byteranges; boundary=3d6b6a416f9b5",
                                 "multipart/x-byteranges; boundary=3d6b6a416f9b5",
                                 "Multipart/ByteRanges;boundary=\"3d6b6a416f9b5\"",
                                 "multipart/byteranges; charset=x; boundary=3d6b6a416f9b5"};
    for (const char* pszType : types)
    {
        SCOPED_TRACE(pszType);
        FakeWorker worker(m_dlg, m_strPath, kUrl);
        worker.Begin();
        worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE, pszType);
        ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
        ASSERT_NE(nullptr, m_dlg.m_pszBoundary);
        EXPECT_STREQ("--3d6b6a416f9b5", m_dlg.m_pszBoundary);
        EXPECT_EQ(15u, m_dlg.m_cchBoundary);
        EXPECT_EQ(0u, m_dlg.m_dwPartPos);
        EXPECT_EQ(0u, m_dlg.m_dwPartEnd);
        EXPECT_EQ(0, worker.m_binding.m_cAborts);
    }
    // Other types of a 206 are single parts and need their Content-Range.
    FakeWorker worker(m_dlg, m_strPath, kUrl);
    worker.Begin();
    worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_TYPE, "application/octet-stream")
        .Set(HTTP_QUERY_CONTENT_RANGE, "bytes 0-9/10");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(206, L"", L"", nullptr));
    EXPECT_EQ(nullptr, m_dlg.m_pszBoundary);
}

TEST_F(BindCallbackTest, WithoutTheHeaderSourceNothingIsJudgedAndNothingWritten)
{
    m_pWorker->Begin();
    m_pWorker->m_binding.m_fHttpInfo = false;
    EXPECT_EQ(E_NOINTERFACE, m_dlg.OnResponse(200, L"", L"", nullptr));
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    FakeStream body("data");
    m_pWorker->Data(&body);
    Stop(E_ABORT);
    EXPECT_EQ("", m_pWorker->File());
}

TEST_F(BindCallbackTest, ARedirectIsRefusedAndReportedAsMissingFile)
{
    m_pWorker->Begin();
    EXPECT_EQ(INET_E_RESOURCE_NOT_FOUND,
              m_dlg.OnProgress(0, 0, BINDSTATUS_REDIRECTING, L"http://127.0.0.1:9/elsewhere.exe"));
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    Stop(E_ABORT);
    EXPECT_EQ("The specified file does not exist on server.", Status());
}

TEST_F(BindCallbackTest, ProgressAddsTheResumeOffsetAndTheUserAbortIsPolled)
{
    WriteWholeFile(m_strPath, std::string(1024, 'a'));
    m_pWorker->Begin();
    ASSERT_EQ(S_OK, m_dlg.OnProgress(512, 3072, BINDSTATUS_DOWNLOADINGDATA, L"downloading"));
    EXPECT_EQ(4096u, m_dlg.m_dwTotalSize);
    EXPECT_STREQ("Downloaded 1.50 KB of 4.00 KB", m_dlg.m_szProgressText);
    EXPECT_EQ(0, m_pWorker->m_binding.m_cAborts);

    m_dlg.g_fAbortDownload = TRUE;
    ASSERT_EQ(S_OK, m_dlg.OnProgress(600, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading"));
    EXPECT_EQ(2, m_dlg.IntDlgStatus.load());
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    // The abort is asked for once; later progress does not repeat it.
    m_dlg.OnProgress(700, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    m_dlg.g_fAbortDownload = FALSE;
}

TEST_F(BindCallbackTest, NoByteIsWrittenOnceStopHasBeenClicked)
{
    m_pWorker->Begin();
    m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "100000");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
    FakeStream body(std::string(100000, 'x'));
    // The click comes while the read loop drains the stream, after the third block.
    body.m_onRead = [this](int nRead) {
        if (nRead == 4)
            m_dlg.g_fAbortDownload = TRUE;
    };
    EXPECT_EQ(S_OK, m_pWorker->Data(&body));
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    Stop(E_ABORT);
    EXPECT_EQ(3u * 8192u, m_pWorker->File().size());
    EXPECT_EQ("Downloading stopped due to the user intervention", Status());
    m_dlg.g_fAbortDownload = FALSE;
}

TEST_F(BindCallbackTest, AFailedWriteStopsTheTransferWithItsOwnSentence)
{
    m_pWorker->Begin();
    m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "20000");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
    // The file goes away under the transfer: a read-only handle takes its place.
    HANDLE hWritable = m_dlg.m_hFile;
    m_dlg.m_hFile = CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    CloseHandle(hWritable);
    // The blocks are gathered; the failed write shows when they are written, at the latest at the end.
    FakeStream body(std::string(kGather + 20000, 'x'));
    m_pWorker->Data(&body);
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    EXPECT_LE(body.Position(), kGather + 8192u);  // the loop stopped at the first failed write
    Stop(E_ABORT);
    EXPECT_EQ("The download could not be written to the local file", Status());
    EXPECT_EQ("", ReadWholeFile(m_strPath));

    // Every block read before the end: the write at the end fails, and that is the outcome.
    FakeWorker worker(m_dlg, m_strPath, kUrl);
    worker.Begin();
    worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_LENGTH, "20000");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(200, L"", L"", nullptr));
    hWritable = m_dlg.m_hFile;
    m_dlg.m_hFile = CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    CloseHandle(hWritable);
    FakeStream small(std::string(20000, 'y'));
    worker.Data(&small);
    Stop(S_OK);
    EXPECT_EQ("The download could not be written to the local file", Status());
    EXPECT_FALSE(g_fDownloadComplete.load());
}

TEST_F(BindCallbackTest, AnAbortThatEndsTheBindingInsideAbortIsSafe)
{
    // Wine may call OnStopBinding from inside IBinding::Abort.
    m_pWorker->Begin();
    m_pWorker->m_binding.m_onAbort = [this] { m_dlg.OnStopBinding(E_ABORT, nullptr); };
    EXPECT_EQ(INET_E_RESOURCE_NOT_FOUND, m_dlg.OnResponse(404, L"", L"", nullptr));
    EXPECT_EQ(nullptr, m_dlg.m_pBinding);
    EXPECT_EQ("The specified file does not exist on server.", Status());
    // The service's own end notification after that changes nothing.
    Stop(E_ABORT);
    EXPECT_EQ("The specified file does not exist on server.", Status());
}

TEST_F(BindCallbackTest, RangeNotSatisfiableLeavesTheFileAndIsCompleteOnlyAtTheServersLength)
{
    // The local file is the server's whole file (a download that ended before its dialog did).
    WriteWholeFile(m_strPath, "0123456789abcdefghij");
    m_pWorker->Begin();
    m_pWorker->m_binding.m_info.Set(HTTP_QUERY_CONTENT_RANGE, "bytes */20").Set(HTTP_QUERY_CONTENT_LENGTH, "97");
    ASSERT_EQ(S_OK, m_dlg.OnResponse(416, L"", L"", nullptr));
    EXPECT_EQ(1, m_pWorker->m_binding.m_cAborts);
    FakeStream body("416 error page");
    m_pWorker->Data(&body);
    m_dlg.IntDlgStatus = 1;
    Stop(E_ABORT);
    EXPECT_EQ(3, m_dlg.IntDlgStatus.load());
    EXPECT_EQ("Download completed", Status());
    EXPECT_EQ("0123456789abcdefghij", m_pWorker->File());
    g_fDownloadComplete = FALSE;

    // Any other length: the file is not the server's and stays untouched.
    for (const char* pszRange : {"bytes */30", "bytes */4", ""})
    {
        SCOPED_TRACE(pszRange);
        WriteWholeFile(m_strPath, "01234567");
        FakeWorker worker(m_dlg, m_strPath, kUrl);
        worker.Begin();
        if (*pszRange != '\0')
            worker.m_binding.m_info.Set(HTTP_QUERY_CONTENT_RANGE, pszRange);
        EXPECT_EQ(INET_E_DATA_NOT_AVAILABLE, m_dlg.OnResponse(416, L"", L"", nullptr));
        m_dlg.IntDlgStatus = 1;
        Stop(E_ABORT);
        EXPECT_EQ("An Internet connection was established, but the data cannot be retrieved", Status());
        EXPECT_EQ("01234567", m_pWorker->File());
    }
}

TEST_F(BindCallbackTest, AnAbandonedBindingChangesNothingOfTheTransferAfterIt)
{
    // The watchdog gave up on the first binding (run on this thread) and reported its end itself.
    WriteWholeFile(m_strPath, "01234567");
    m_pWorker->Begin();
    m_dlg.CheckStall();  // not yet silent long enough: nothing happens
    EXPECT_FALSE(m_dlg.m_fBindingEnded);
    Stop(E_ABORT);
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
    EXPECT_NE(S_OK, m_pWorker->Data(&late));
    m_dlg.OnProgress(5, 10, BINDSTATUS_DOWNLOADINGDATA, nullptr);
    Stop(S_OK);
    EXPECT_EQ(1, late.m_cRef);  // no reference kept
    EXPECT_EQ(0u, late.Position());
    EXPECT_EQ(nullptr, m_dlg.m_pStream);
    EXPECT_FALSE(m_dlg.m_fBindingEnded);
    EXPECT_EQ(dwNewWorker, m_dlg.m_dwWorkerThreadId.load());
    EXPECT_EQ(1, m_dlg.IntDlgStatus.load());
    EXPECT_EQ("running", Status());
    EXPECT_EQ("01234567", m_pWorker->File());
    EXPECT_EQ(0, newWorker.m_binding.m_cAborts);
}
