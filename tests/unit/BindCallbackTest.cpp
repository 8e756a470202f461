// The binding callback over fakes: its interfaces and bind flags, the request headers, the judgement
// of every kind of answer in OnResponse (refusals, resume, fresh start, Content-Range, 416, multipart)
// down to the outcome and the local file, the read loop under Stop and a failed write, and a binding
// that the watchdog abandoned.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "app/LastSetupPath.h"
#include "tests/support/FakeWorker.h"
#include "tests/support/ScriptedHttpServer.h"

namespace
{
const char kUrl[] = "http://127.0.0.1:9/callback/unit/brindlemox.exe";
const std::string kContent = "0123456789abcdefghij";
const char kComplete[] = "Download completed";
const char kNoData[] = "An Internet connection was established, but the data cannot be retrieved";
const char kNotFound[] = "The specified file does not exist on server.";
const char kAuth[] = "Authentication is needed to access the object";
const char kCut[] = "The download has failed (the connection was interrupted)";
const char kWriteFailed[] = "The download could not be written to the local file";

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
    // Ends the binding as the service does.
    void End(HRESULT hr)
    {
        m_dlg.IntDlgStatus = 1;
        m_dlg.OnStopBinding(hr, nullptr);
    }
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

TEST_F(BindCallbackTest, InterfacesAndBindFlags)
{
    void* pv = nullptr;
    ASSERT_EQ(S_OK, m_dlg.QueryInterface(IID_IUnknown, &pv));
    EXPECT_EQ(static_cast<IBindStatusCallback*>(&m_dlg), pv);
    ASSERT_EQ(S_OK, m_dlg.QueryInterface(IID_IBindStatusCallback, &pv));
    EXPECT_EQ(static_cast<IBindStatusCallback*>(&m_dlg), pv);
    ASSERT_EQ(S_OK, m_dlg.QueryInterface(IID_IHttpNegotiate, &pv));
    EXPECT_EQ(static_cast<IHttpNegotiate*>(&m_dlg), pv);
    EXPECT_EQ(E_NOINTERFACE, m_dlg.QueryInterface(IID_IStream, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(4u, static_cast<IHttpNegotiate*>(&m_dlg)->AddRef());  // three taken above
    EXPECT_EQ(3u, static_cast<IBindStatusCallback*>(&m_dlg)->Release());

    DWORD grfBindf = 0;
    BINDINFO info;
    memset(&info, 0xCC, sizeof(info));
    info.cbSize = sizeof(info);
    ASSERT_EQ(S_OK, m_dlg.GetBindInfo(&grfBindf, &info));
    EXPECT_EQ(0x93u | BINDF_NOWRITECACHE, grfBindf);  // asynchronous pull, newest version, no cache copy
    EXPECT_EQ((DWORD)BINDVERB_GET, info.dwBindVerb);
    EXPECT_TRUE(info.szExtraInfo == nullptr && info.szCustomVerb == nullptr && info.grfBindInfoF == 0 &&
                info.stgmedData.tymed == 0);
}

TEST_F(BindCallbackTest, TheRequestAsksForTheRestOfTheFileOfTheVersionItBegan)
{
    const std::string strDate = "Unless-Modified-Since: Sun, 06 Dec 2026 22:00:00 GMT\r\n";
    struct Case
    {
        std::vector<BYTE_RANGE> ranges;
        bool bDate;
        const char* pszValidator;
        std::string strHeaders;  // "(null)": none
    } cases[] = {
        {{{1234, 0}}, true, "", "Range: bytes=1234-\r\n" + strDate},
        {{{0, 0}}, true, "", "Range: bytes=0-\r\n" + strDate},
        {{{100000, 0}}, true, "300000 \"v1\"", "Range: bytes=100000-\r\nIf-Range: \"v1\"\r\n" + strDate},
        {{{0, 100}, {200, 0}}, false, "", "Range: bytes=0-99, 200-\r\n"},
        {{{2147483000u, 647}}, false, "", "Range: bytes=2147483000-2147483646\r\n"},  // never a signed number
        {{}, true, "", "(null)"},
    };
    FakeWorker& worker = Begin("");
    for (Case& c : cases)
    {
        m_dlg.m_strValidator = c.pszValidator;
        worker.m_request.pRanges = c.ranges.data();
        worker.m_request.cRanges = (DWORD)c.ranges.size();
        worker.m_request.pstUnlessModifiedSince = c.bDate ? &worker.m_stStarted : nullptr;
        LPWSTR pwsz = reinterpret_cast<LPWSTR>(1);
        ASSERT_EQ(S_OK, m_dlg.BeginningTransaction(L"http://x/", L"", 0, &pwsz));
        char sz[512] = "(null)";
        if (pwsz != nullptr)
            WideCharToMultiByte(CP_ACP, 0, pwsz, -1, sz, sizeof(sz), NULL, NULL);
        EXPECT_EQ(c.strHeaders, sz);
        CoTaskMemFree(pwsz);
    }
}

TEST_F(BindCallbackTest, EveryAnswerIsJudgedBeforeAByteIsWritten)
{
    // The local file, the answer (status, Content-Range, Content-Type, Content-Length, body), what
    // OnResponse returns, the outcome and the local file at the end. Wine goes on delivering the body
    // of a refused answer and may end it with S_OK: neither is taken.
    const std::string strMultipart =
        ScriptedHttpServer::MultipartAnswer(kContent, {{8, 19}}, "", "3d6b6a416f9b5").strBody;
    const std::string strBig(1048575, 'x');  // 1,048,575 and 1,048,576 bytes both read "1.00 MB"
    struct Row
    {
        std::string strLocal;
        DWORD dwStatus;
        const char *pszRange, *pszType, *pszLength;
        std::string strBody;
        HRESULT hrResponse;
        const char* pszOutcome;
        std::string strFile;
    } rows[] = {
        {"01234567", 300, "", "", "20", kContent, INET_E_RESOURCE_NOT_FOUND, kNotFound, "01234567"},
        {"01234567", 302, "", "", "20", kContent, INET_E_RESOURCE_NOT_FOUND, kNotFound, "01234567"},
        {"01234567", 305, "", "", "20", kContent, INET_E_RESOURCE_NOT_FOUND, kNotFound, "01234567"},
        {"01234567", 400, "", "", "20", kContent, INET_E_INVALID_REQUEST, "The request was invalid", "01234567"},
        {"01234567", 401, "", "", "20", kContent, INET_E_AUTHENTICATION_REQUIRED, kAuth, "01234567"},
        {"01234567", 403, "", "", "20", kContent, INET_E_AUTHENTICATION_REQUIRED, kAuth, "01234567"},
        {"01234567", 404, "", "", "20", kContent, INET_E_RESOURCE_NOT_FOUND, kNotFound, "01234567"},
        {"01234567", 405, "", "", "20", kContent, INET_E_AUTHENTICATION_REQUIRED, kAuth, "01234567"},
        {"01234567", 407, "", "", "20", kContent, INET_E_AUTHENTICATION_REQUIRED, kAuth, "01234567"},
        {"01234567", 408, "", "", "20", kContent, INET_E_CONNECTION_TIMEOUT, "The Internet connection has timed out",
         "01234567"},
        {"01234567", 409, "", "", "20", kContent, INET_E_NO_VALID_MEDIA,
         "The file is not one of the acceptable MIME types", "01234567"},
        {"01234567", 410, "", "", "20", kContent, INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        // Answers without the file: nothing, or an error page in the installer's place.
        {"01234567", 204, "", "", "", "", INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 205, "", "", "", "", INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 411, "", "", "20", kContent, INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 500, "", "", "20", kContent, INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 599, "", "", "20", kContent, INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        // A resume continues the local file exactly where it ends, or writes nothing.
        {"01234567", 206, "bytes 8-19/20", "application/octet-stream", "12", kContent.substr(8), S_OK, kComplete,
         kContent},
        {"01234567", 206, "bytes 8-11/20", "", "4", kContent.substr(8, 4), S_OK, kCut, kContent.substr(0, 12)},
        {"01234567", 206, "bytes 0-19/20", "", "20", kContent, INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 206, "bytes 9-19/20", "", "11", kContent.substr(9), INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 206, "bytes 8-19/15", "", "12", kContent.substr(8), INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 206, "garbage", "", "12", kContent.substr(8), INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 206, "", "", "12", kContent.substr(8), INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        // Multipart answers under both type names, quoted boundary, other parameters.
        {"01234567", 206, "", "multipart/byteranges; boundary=3d6b6a416f9b5", "", strMultipart, S_OK, kComplete, kContent},
        {"01234567", 206, "", "multipart/x-byteranges; boundary=3d6b6a416f9b5", "", strMultipart, S_OK, kComplete,
         kContent},
        {"01234567", 206, "", "Multipart/ByteRanges;boundary=\"3d6b6a416f9b5\"", "", strMultipart, S_OK, kComplete,
         kContent},
        {"01234567", 206, "", "multipart/byteranges; charset=x; boundary=3d6b6a416f9b5", "", strMultipart, S_OK,
         kComplete, kContent},
        // Any other accepted status begins the file anew; completed only with every announced byte.
        {"stale bytes of another version", 200, "", "", "20", kContent, S_OK, kComplete, kContent},
        {"stale bytes of another version", 203, "", "", "20", kContent, S_OK, kComplete, kContent},
        {"stale bytes of another version", 306, "", "", "20", kContent, S_OK, kComplete, kContent},
        {"", 200, "", "", "40", kContent, S_OK, kCut, kContent},
        {"", 200, "", "", "1048576", strBig, S_OK, kCut, strBig},
        // 416: the local file is complete only when it is as long as the server's file.
        {kContent, 416, "bytes */20", "", "97", "416 error page", S_OK, kComplete, kContent},
        {"01234567", 416, "bytes */30", "", "97", "416 error page", INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 416, "bytes */4", "", "97", "416 error page", INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
        {"01234567", 416, "", "", "97", "416 error page", INET_E_DATA_NOT_AVAILABLE, kNoData, "01234567"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::to_string(row.dwStatus) + " " + row.pszRange + row.pszType + " " + row.pszLength);
        FakeWorker& worker = Begin(row.strLocal);
        const std::pair<DWORD, const char*> headers[] = {{HTTP_QUERY_CONTENT_RANGE, row.pszRange},
                                                          {HTTP_QUERY_CONTENT_TYPE, row.pszType},
                                                          {HTTP_QUERY_CONTENT_LENGTH, row.pszLength}};
        for (const auto& header : headers)
            if (*header.second != '\0')
                worker.m_binding.m_info.Set(header.first, header.second);
        EXPECT_EQ(row.hrResponse, m_dlg.OnResponse(row.dwStatus, L"", L"", nullptr));
        EXPECT_EQ(row.hrResponse != S_OK || row.dwStatus == 416 ? 1 : 0, worker.m_binding.m_cAborts);
        FakeStream body(row.strBody);
        EXPECT_EQ(S_OK, worker.Data(&body));
        End(row.dwStatus == 416 ? E_ABORT : S_OK);
        EXPECT_EQ(row.pszOutcome, Status());
        EXPECT_EQ(row.pszOutcome == kComplete ? 3 : 1, m_dlg.IntDlgStatus.load());
        EXPECT_EQ(row.pszOutcome == kComplete, g_fDownloadComplete.load() != FALSE);
        EXPECT_TRUE(row.strFile == worker.File());
        g_fDownloadComplete = FALSE;
    }
}

TEST_F(BindCallbackTest, RedirectsMissingHeadersAndAnEndInsideAbort)
{
    // Redirects are never followed.
    FakeWorker* pWorker = &Begin("01234567");
    EXPECT_EQ(INET_E_RESOURCE_NOT_FOUND, m_dlg.OnProgress(0, 0, BINDSTATUS_REDIRECTING, L"http://127.0.0.1:9/x.exe"));
    EXPECT_EQ(1, pWorker->m_binding.m_cAborts);
    End(S_OK);
    EXPECT_EQ(kNotFound, Status());

    // Without the response headers nothing is judged, so nothing is written.
    pWorker = &Begin("");
    pWorker->m_binding.m_fHttpInfo = false;
    EXPECT_EQ(E_NOINTERFACE, m_dlg.OnResponse(200, L"", L"", nullptr));
    EXPECT_EQ(1, pWorker->m_binding.m_cAborts);
    FakeStream body("data");
    pWorker->Data(&body);
    End(S_OK);
    EXPECT_EQ("", pWorker->File());

    // Wine may end the binding from inside IBinding::Abort; the service's own end after it changes nothing.
    pWorker = &Begin("");
    pWorker->m_binding.m_onAbort = [this] { m_dlg.OnStopBinding(E_ABORT, nullptr); };
    EXPECT_EQ(INET_E_RESOURCE_NOT_FOUND, m_dlg.OnResponse(404, L"", L"", nullptr));
    EXPECT_EQ(nullptr, m_dlg.m_pBinding);
    EXPECT_EQ(1, pWorker->m_binding.m_cRef);
    EXPECT_EQ(kNotFound, Status());
    m_dlg.OnStopBinding(S_OK, nullptr);
    EXPECT_EQ(kNotFound, Status());
}

TEST_F(BindCallbackTest, ProgressAddsTheResumeOffsetAndStopEndsTheReadLoopAtOnce)
{
    FakeWorker* pWorker = &Begin(std::string(1024, 'a'));
    ASSERT_EQ(S_OK, m_dlg.OnProgress(512, 3072, BINDSTATUS_DOWNLOADINGDATA, L"downloading"));
    EXPECT_EQ(4096u, m_dlg.m_dwTotalSize);
    EXPECT_STREQ("Downloaded 1.50 KB of 4.00 KB", m_dlg.m_szProgressText);
    EXPECT_EQ(0, pWorker->m_binding.m_cAborts);
    m_dlg.g_fAbortDownload = TRUE;  // Stop: polled by the progress, the abort asked for once
    m_dlg.OnProgress(600, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
    m_dlg.OnProgress(700, 3000, BINDSTATUS_DOWNLOADINGDATA, L"downloading");
    EXPECT_EQ(2, m_dlg.IntDlgStatus.load());
    EXPECT_EQ(1, pWorker->m_binding.m_cAborts);
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
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
        FakeStream body(std::string(cbBody, 'x'));
        worker.Data(&body);
        EXPECT_EQ(cbBody > 20000 ? 1 : 0, worker.m_binding.m_cAborts);
        EXPECT_LE(body.Position(), CURLDownloading::kGatherBytes + 8192u);  // no read after the failed write
        End(cbBody > 20000 ? E_ABORT : S_OK);
        EXPECT_EQ(kWriteFailed, Status());
        EXPECT_EQ("", ReadWholeFile(m_strPath));
        EXPECT_FALSE(g_fDownloadComplete.load());
    }
}

TEST_F(BindCallbackTest, AnAbandonedBindingChangesNothingOfTheTransferAfterIt)
{
    // The watchdog gave up on the first binding (run on this thread) and reported its end itself.
    FakeWorker& oldWorker = Begin("01234567");
    m_dlg.CheckStall();  // not silent long enough yet: nothing happens
    EXPECT_FALSE(m_dlg.m_fBindingEnded);
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
    EXPECT_EQ(1, late.m_cRef);  // no reference kept
    EXPECT_EQ(0u, late.Position());
    EXPECT_EQ(nullptr, m_dlg.m_pStream);
    EXPECT_FALSE(m_dlg.m_fBindingEnded);
    EXPECT_EQ(dwNewWorker, m_dlg.m_dwWorkerThreadId.load());
    EXPECT_EQ(1, m_dlg.IntDlgStatus.load());
    EXPECT_EQ("running", Status());
    EXPECT_EQ("01234567", ReadWholeFile(m_strPath));
    EXPECT_EQ(0, newWorker.m_binding.m_cAborts);
}
