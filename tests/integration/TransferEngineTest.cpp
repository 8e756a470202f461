// The transfer engine with real URL bindings (Wine's urlmon) against the scripted server on
// 127.0.0.1: WorkerThreadProc runs on a thread of the test, with a download dialog object that has
// no window (its end-of-transfer messages then go nowhere). Checks the request the server saw, the
// local file, and the outcome the dialog was given.
#include "tests/support/ScriptedHttpServer.h"  // winsock2.h before windows.h
#include <gtest/gtest.h>
#include <stdio.h>
#include <atomic>
#include <string>
#include <vector>
#include "app/LastSetupPath.h"
#include "download/CURLDownloading.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FakeWorker.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/RegistryValue.h"

using namespace xfer;

namespace
{
const char kStopped[] = "Downloading stopped due to the user intervention";
const char kCompleted[] = "Download completed";
const char kInterrupted[] = "The download has failed (the connection was interrupted)";

DWORD WINAPI WorkerThread(LPVOID pParam)
{
    static_cast<CURLDownloading*>(pParam)->WorkerThreadProc();
    return 0;
}

LONGLONG FileSizeOf(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class TransferEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_fDownloadComplete = FALSE;
        m_strContent = MakeTestContent(300000, 3);
        m_strPath = MakeTempFilePath("brindlemox.exe");
    }
    void TearDown() override
    {
        m_server.Stop();
        RemoveTempFile(m_strPath);
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
        g_fDownloadComplete = FALSE;
    }

    // Starts the worker as OnStart does (abort flag down, status running).
    HANDLE StartWorker(CURLDownloading& dlg, const std::string& strPath = "/files/brindlemox.exe")
    {
        dlg.m_strURL = m_server.Url(strPath).c_str();
        dlg.m_strFilePath = m_strPath.c_str();
        dlg.g_fAbortDownload = FALSE;
        dlg.IntDlgStatus = 1;
        return CreateThread(NULL, 0, WorkerThread, &dlg, 0, NULL);
    }
    // One whole transfer; the worker ends its loop when the binding has ended.
    void Run(CURLDownloading& dlg, const std::string& strPath = "/files/brindlemox.exe")
    {
        HANDLE hThread = StartWorker(dlg, strPath);
        ASSERT_NE(nullptr, hThread);
        const DWORD dwWait = WaitForSingleObject(hThread, 90000);
        CloseHandle(hThread);
        ASSERT_EQ(WAIT_OBJECT_0, dwWait) << "the worker did not end";
    }
    std::string Status(CURLDownloading& dlg) { return std::string(static_cast<LPCTSTR>(dlg.GetServerStatus())); }

    // Stops a running transfer as Stop/Pause does, returns the file size at that moment, and
    // measures the time until the stopped state is set (ms) into *pdwStopMs.
    LONGLONG StopAndMeasure(CURLDownloading& dlg, HANDLE hThread, DWORD* pdwStopMs)
    {
        const DWORD dwStart = GetTickCount();
        dlg.g_fAbortDownload = TRUE;
        dlg.IntDlgStatus = 2;
        const LONGLONG cbAtStop = FileSizeOf(m_strPath);
        PostThreadMessageA(dlg.m_dwWorkerThreadId.load(), WM_APP_ABORT_BINDING, 0, 0);
        while (Status(dlg) != kStopped && GetTickCount() - dwStart < 60000)
            Sleep(5);
        *pdwStopMs = GetTickCount() - dwStart;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 60000));
        CloseHandle(hThread);
        return cbAtStop;
    }

    ScriptedHttpServer m_server;
    std::string m_strContent;
    std::string m_strPath;
};
}  // namespace

TEST_F(TransferEngineTest, AFreshDownloadAsksFromZeroAndEndsComplete)
{
    ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(m_strContent, r); }));
    CURLDownloading dlg;
    Run(dlg);
    const auto requests = m_server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET", requests[0].strMethod);
    EXPECT_EQ("/files/brindlemox.exe", requests[0].strPath);
    EXPECT_EQ("bytes=0-", requests[0].Header("Range"));
    // The worker's start time, in RFC 1123 form.
    const std::string strDate = requests[0].Header("Unless-Modified-Since");
    EXPECT_EQ(29u, strDate.size()) << strDate;
    EXPECT_NE(std::string::npos, strDate.find(" GMT"));
    EXPECT_TRUE(m_strContent == ReadWholeFile(m_strPath));
    EXPECT_EQ(3, dlg.IntDlgStatus.load());
    EXPECT_EQ(kCompleted, Status(dlg));
    EXPECT_TRUE(g_fDownloadComplete.load());
}

TEST_F(TransferEngineTest, AResumeAsksForTheRestAndEndsByteIdentical)
{
    WriteWholeFile(m_strPath, m_strContent.substr(0, 123457));
    ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(m_strContent, r); }));
    CURLDownloading dlg;
    Run(dlg);
    ASSERT_EQ(1u, m_server.Requests().size());
    EXPECT_EQ("bytes=123457-", m_server.Requests()[0].Header("Range"));
    EXPECT_TRUE(m_strContent == ReadWholeFile(m_strPath));
    EXPECT_EQ(kCompleted, Status(dlg));
}

TEST_F(TransferEngineTest, AServerWithoutRangesRestartsTheFileFromZero)
{
    WriteWholeFile(m_strPath, std::string(5000, 'Z'));
    ASSERT_TRUE(m_server.Start(
        [this](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(m_strContent, r, false); }));
    CURLDownloading dlg;
    Run(dlg);
    EXPECT_EQ("bytes=5000-", m_server.Requests()[0].Header("Range"));
    EXPECT_TRUE(m_strContent == ReadWholeFile(m_strPath));
    EXPECT_EQ(kCompleted, Status(dlg));
}

TEST_F(TransferEngineTest, AResumeNeverJoinsTwoVersionsOfTheInstaller)
{
    // Version 1 is cut at 100000 bytes; then the server has version 2 (or still version 1).
    const char kLm1[] = "Sun, 06 Dec 2026 10:00:00 GMT";
    const char kLm2[] = "Mon, 07 Dec 2026 10:00:00 GMT";
    struct Case
    {
        const char* pszName;
        const char *pszETag1, *pszLm1, *pszETag2, *pszLm2;
        size_t cbVersion2;    // 0: the server still has version 1
        bool fHonourIfRange;  // a changed file answers 200 with the whole new file
        const char* pszIfRange;
        bool fChanged;  // the resume ends with the sentence and the next start begins anew
    } cases[] = {
        {"strong ETag, If-Range honoured", "\"v1\"", kLm1, "\"v2\"", kLm2, 300000, true, "\"v1\"", false},
        {"strong ETag, If-Range ignored", "\"v1\"", kLm1, "\"v2\"", kLm2, 300000, false, "\"v1\"", true},
        {"weak ETag: Last-Modified", "W/\"v1\"", kLm1, "W/\"v2\"", kLm2, 300000, false, kLm1, true},
        {"no validator, longer file", "", "", "", "", 300500, false, "", true},
        {"the same version", "\"v1\"", kLm1, "\"v1\"", kLm1, 0, false, "\"v1\"", false},
    };
    const std::string strV1 = MakeTestContent(300000, 3);
    const Case* pCase = nullptr;
    std::string strV2;
    std::atomic<int> nVersion{1};
    ASSERT_TRUE(m_server.Start([&](const ScriptedRequest& r) {
        const Case& c = *pCase;
        const bool fV1 = nVersion.load() == 1;
        const std::string strETag = fV1 ? c.pszETag1 : c.pszETag2;
        const char* pszLm = fV1 ? c.pszLm1 : c.pszLm2;
        const std::string strValidator = strETag.empty() || strETag[0] == 'W' ? pszLm : strETag;
        const bool fStale = r.HasHeader("If-Range") && r.Header("If-Range") != strValidator;
        ScriptedResponse response = ScriptedHttpServer::ServeFile(fV1 ? strV1 : strV2, r, !(c.fHonourIfRange && fStale));
        if (!strETag.empty())
            response.Header("ETag", strETag);
        if (*pszLm != '\0')
            response.Header("Last-Modified", pszLm);
        if (fV1)
            response.cbCloseAfter = 100000;
        return response;
    }));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        pCase = &c;
        strV2 = c.cbVersion2 != 0 ? MakeTestContent(c.cbVersion2, 4) : strV1;
        nVersion = 1;
        RemoveTempFile(m_strPath);
        m_strPath = MakeTempFilePath("brindlemox.exe");
        const size_t nBefore = m_server.Requests().size();
        CURLDownloading dlg;
        Run(dlg);
        ASSERT_EQ(100000u, ReadWholeFile(m_strPath).size());
        nVersion = 2;
        Run(dlg);
        auto requests = m_server.Requests();
        ASSERT_EQ(nBefore + 2, requests.size());
        EXPECT_EQ("bytes=100000-", requests[nBefore + 1].Header("Range"));
        EXPECT_EQ(c.pszIfRange, requests[nBefore + 1].Header("If-Range"));
        if (c.fChanged)
        {
            EXPECT_EQ("The installer on the server has changed since the download began. Start/Resume downloads it anew",
                      Status(dlg));
            EXPECT_TRUE(strV1.substr(0, 100000) == ReadWholeFile(m_strPath));  // nothing of version 2 joined
            EXPECT_EQ(std::string("restart") + '\0',
                      ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE).data);
            Run(dlg);  // Start/Resume again: version 2 from its first byte
            requests = m_server.Requests();
            ASSERT_EQ(nBefore + 3, requests.size());
            EXPECT_EQ("bytes=0-", requests[nBefore + 2].Header("Range"));
            EXPECT_FALSE(requests[nBefore + 2].HasHeader("If-Range"));
        }
        EXPECT_EQ(kCompleted, Status(dlg));
        EXPECT_TRUE(strV2 == ReadWholeFile(m_strPath));
    }
}

TEST_F(TransferEngineTest, AnswersWithoutTheFileKeepThePartialFileAndAreNoSuccess)
{
    struct Case
    {
        int nStatus;
        const char* pszReason;
        std::string strBody;
    };
    const Case cases[] = {{204, "No Content", ""},
                          {429, "Too Many Requests", "slow down"},
                          {500, "Internal Server Error", "server error page"},
                          {503, "Service Unavailable", "try later"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.nStatus);
        WriteWholeFile(m_strPath, "older partial file");
        ScriptedHttpServer server;
        ASSERT_TRUE(server.Start([&c](const ScriptedRequest&) {
            ScriptedResponse response;
            response.nStatus = c.nStatus;
            response.strReason = c.pszReason;
            response.strBody = c.strBody;
            response.fContentLength = c.nStatus != 204;
            return response;
        }));
        CURLDownloading dlg;
        dlg.m_strURL = server.Url("/files/brindlemox.exe").c_str();
        dlg.m_strFilePath = m_strPath.c_str();
        dlg.IntDlgStatus = 1;
        HANDLE hThread = CreateThread(NULL, 0, WorkerThread, &dlg, 0, NULL);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 90000));
        CloseHandle(hThread);
        EXPECT_EQ("older partial file", ReadWholeFile(m_strPath));
        EXPECT_EQ("An Internet connection was established, but the data cannot be retrieved", Status(dlg));
        EXPECT_FALSE(g_fDownloadComplete.load());
        server.Stop();
        g_fDownloadComplete = FALSE;
    }
}

TEST_F(TransferEngineTest, EveryRefusedStatusLeavesTheFileUntouchedWithItsSentence)
{
    struct Case
    {
        int nStatus;
        const char* pszSentence;
    };
    const Case cases[] = {
        {302, "The specified file does not exist on server."},
        {400, "The request was invalid"},
        {401, "Authentication is needed to access the object"},
        {404, "The specified file does not exist on server."},
        {408, "The Internet connection has timed out"},
        {409, "The file is not one of the acceptable MIME types"},
        {410, "An Internet connection was established, but the data cannot be retrieved"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.nStatus);
        WriteWholeFile(m_strPath, "partial");
        ScriptedHttpServer server;
        const std::string strContent = m_strContent;
        ASSERT_TRUE(server.Start([&c, &strContent](const ScriptedRequest& r) {
            if (r.strPath != "/files/brindlemox.exe")
                return ScriptedHttpServer::ServeFile(strContent, r);  // where a redirect would lead
            ScriptedResponse response;
            response.nStatus = c.nStatus;
            response.strReason = "Refused";
            if (c.nStatus == 302)
                response.Header("Location", "/elsewhere/brindlemox.exe");
            response.strBody = std::string(20000, 'R');  // Wine would deliver this body
            return response;
        }));
        CURLDownloading dlg;
        dlg.m_strURL = server.Url("/files/brindlemox.exe").c_str();
        dlg.m_strFilePath = m_strPath.c_str();
        dlg.IntDlgStatus = 1;
        HANDLE hThread = CreateThread(NULL, 0, WorkerThread, &dlg, 0, NULL);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 90000));
        CloseHandle(hThread);
        EXPECT_EQ("partial", ReadWholeFile(m_strPath));
        EXPECT_EQ(c.pszSentence, Status(dlg));
        EXPECT_NE(3, dlg.IntDlgStatus.load());
        EXPECT_FALSE(g_fDownloadComplete.load());
        server.Stop();
    }
}

TEST_F(TransferEngineTest, MultipartAnswersAreWrittenUnderBothTypeNames)
{
    for (const char* pszType : {"multipart/byteranges", "multipart/x-byteranges"})
    {
        SCOPED_TRACE(pszType);
        WriteWholeFile(m_strPath, m_strContent.substr(0, 1000));
        ScriptedHttpServer server;
        const std::string strContent = m_strContent;
        ASSERT_TRUE(server.Start([pszType, &strContent](const ScriptedRequest&) {
            return ScriptedHttpServer::MultipartAnswer(strContent, {{1000, 150000}, {150001, strContent.size() - 1}},
                                                       pszType);
        }));
        CURLDownloading dlg;
        dlg.m_strURL = server.Url("/files/brindlemox.exe").c_str();
        dlg.m_strFilePath = m_strPath.c_str();
        dlg.IntDlgStatus = 1;
        HANDLE hThread = CreateThread(NULL, 0, WorkerThread, &dlg, 0, NULL);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 90000));
        CloseHandle(hThread);
        EXPECT_TRUE(strContent == ReadWholeFile(m_strPath));
        EXPECT_EQ(kCompleted, Status(dlg));
        server.Stop();
        g_fDownloadComplete = FALSE;
    }
}

TEST_F(TransferEngineTest, AConnectionClosedMidBodyKeepsAResumablePartialFile)
{
    bool fCut = true;
    ASSERT_TRUE(m_server.Start([this, &fCut](const ScriptedRequest& r) {
        ScriptedResponse response = ScriptedHttpServer::ServeFile(m_strContent, r);
        if (fCut)
            response.cbCloseAfter = 100000;
        return response;
    }));
    CDialogTraceLog log;
    {
        CURLDownloading dlg;
        Run(dlg);
        EXPECT_EQ(kInterrupted, Status(dlg));
        EXPECT_NE(3, dlg.IntDlgStatus.load());
        EXPECT_FALSE(g_fDownloadComplete.load());
    }
    const std::string strPartial = ReadWholeFile(m_strPath);
    EXPECT_LE(strPartial.size(), 100000u);
    // The log says what ended the transfer and how far it got.
    EXPECT_EQ(1, log.Count("Transfer ended for " + m_server.Url("/files/brindlemox.exe") + ": 0x800C0008 " +
                           kInterrupted + ", " + std::to_string(strPartial.size()) + " bytes on disk of " +
                           std::to_string(m_strContent.size())));
    EXPECT_TRUE(m_strContent.substr(0, strPartial.size()) == strPartial);

    fCut = false;
    CURLDownloading dlg;
    Run(dlg);
    EXPECT_EQ("bytes=" + std::to_string(strPartial.size()) + "-", m_server.Requests().back().Header("Range"));
    EXPECT_TRUE(m_strContent == ReadWholeFile(m_strPath));
    EXPECT_EQ(kCompleted, Status(dlg));
}

TEST_F(TransferEngineTest, AConnectionResetMidBodyKeepsAResumablePartialFile)
{
    bool fReset = true;
    ASSERT_TRUE(m_server.Start([this, &fReset](const ScriptedRequest& r) {
        ScriptedResponse response = ScriptedHttpServer::ServeFile(m_strContent, r);
        if (fReset)
            response.cbResetAfter = 100000;
        return response;
    }));
    {
        CURLDownloading dlg;
        dlg.m_dwStallTimeoutMs = 2000;  // Wine never ends such a binding by itself
        Run(dlg);
        const std::string strStatus = Status(dlg);
        EXPECT_TRUE(strStatus == kInterrupted || strStatus == "The Internet connection has timed out") << strStatus;
        EXPECT_NE(3, dlg.IntDlgStatus.load());
        EXPECT_FALSE(g_fDownloadComplete.load());
    }
    const std::string strPartial = ReadWholeFile(m_strPath);
    EXPECT_LE(strPartial.size(), 100000u);
    EXPECT_TRUE(m_strContent.substr(0, strPartial.size()) == strPartial);

    fReset = false;
    CURLDownloading dlg;
    Run(dlg);
    EXPECT_TRUE(m_strContent == ReadWholeFile(m_strPath));
    EXPECT_EQ(kCompleted, Status(dlg));
}

TEST_F(TransferEngineTest, ASilentServerEndsWithTheTimeoutSentence)
{
    WriteWholeFile(m_strPath, "partial");
    ASSERT_TRUE(m_server.Start([](const ScriptedRequest&) {
        ScriptedResponse response;
        response.fNoAnswer = true;
        return response;
    }));
    CURLDownloading dlg;
    dlg.m_dwStallTimeoutMs = 1500;
    const DWORD dwStart = GetTickCount();
    Run(dlg);
    EXPECT_GE(GetTickCount() - dwStart, 1500u);
    EXPECT_EQ("The Internet connection has timed out", Status(dlg));
    EXPECT_EQ("partial", ReadWholeFile(m_strPath));
}

TEST_F(TransferEngineTest, AFileThatIsAlreadyCompleteIsNotReplacedByTheErrorPage)
{
    // The whole file is on disk: the server answers 416 "Range Not Satisfiable" with an error page.
    WriteWholeFile(m_strPath, m_strContent);
    ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) {
        ScriptedResponse response = ScriptedHttpServer::ServeFile(m_strContent, r);
        response.strBody = "<html>416 Requested Range Not Satisfiable</html>";
        return response;
    }));
    CURLDownloading dlg;
    Run(dlg);
    ASSERT_EQ(1u, m_server.Requests().size());
    EXPECT_EQ("bytes=" + std::to_string(m_strContent.size()) + "-", m_server.Requests()[0].Header("Range"));
    EXPECT_TRUE(m_strContent == ReadWholeFile(m_strPath));
    EXPECT_EQ(kCompleted, Status(dlg));
    EXPECT_EQ(3, dlg.IntDlgStatus.load());
}

TEST_F(TransferEngineTest, AWrongContentRangeNeverAppends)
{
    WriteWholeFile(m_strPath, m_strContent.substr(0, 5000));
    ASSERT_TRUE(m_server.Start([this](const ScriptedRequest&) {
        // A 206 that starts at 0 although 5000 bytes were asked to be skipped.
        ScriptedResponse response;
        response.nStatus = 206;
        response.strReason = "Partial Content";
        response.Header("Content-Range", "bytes 0-" + std::to_string(m_strContent.size() - 1) + "/" +
                                             std::to_string(m_strContent.size()));
        response.strBody = m_strContent;
        return response;
    }));
    CURLDownloading dlg;
    Run(dlg);
    EXPECT_TRUE(m_strContent.substr(0, 5000) == ReadWholeFile(m_strPath));
    EXPECT_EQ("An Internet connection was established, but the data cannot be retrieved", Status(dlg));
}

TEST_F(TransferEngineTest, ARestartWhoseOldFileCannotBeDeletedWritesNothingAndSaysSo)
{
    // The partial file is held open by another program that lets others write but not delete it;
    // the server cannot resume, so the engine has to start the file anew and cannot.
    const std::string strPartial(5000, 'Z');
    WriteWholeFile(m_strPath, strPartial);
    HANDLE hHolder = CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHolder);
    CMessageBoxAnswerer boxes;
    boxes.Answer("Error deleting local file", IDOK);
    ASSERT_TRUE(m_server.Start(
        [this](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(m_strContent, r, false); }));
    CURLDownloading dlg;
    Run(dlg);
    CloseHandle(hHolder);

    ASSERT_EQ(1, boxes.Count("Error deleting local file"));
    EXPECT_EQ("Unable to delete the file from path\n\r" + m_strPath, boxes.Texts("Error deleting local file")[0]);
    EXPECT_TRUE(strPartial == ReadWholeFile(m_strPath));
    EXPECT_EQ("The download could not be written to the local file", Status(dlg));
    EXPECT_FALSE(g_fDownloadComplete.load());
}

TEST_F(TransferEngineTest, StopWhileStreamingFastWritesNothingMoreAndStartResumes)
{
    const std::string strBig = MakeTestContent(48u << 20, 5);
    ASSERT_TRUE(m_server.Start([&strBig](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(strBig, r); }));
    CURLDownloading dlg;
    HANDLE hOldWorker = StartWorker(dlg);
    const DWORD dwStart = GetTickCount();
    while (FileSizeOf(m_strPath) < (2 << 20) && GetTickCount() - dwStart < 60000)
        Sleep(2);

    // Stop/Pause as the dialog does it: the flag, then the abort request to the worker's thread.
    const DWORD dwClick = GetTickCount();
    dlg.g_fAbortDownload = TRUE;
    dlg.IntDlgStatus = 2;
    const LONGLONG cbAtStop = FileSizeOf(m_strPath);
    PostThreadMessageA(dlg.m_dwWorkerThreadId.load(), WM_APP_ABORT_BINDING, 0, 0);
    while (Status(dlg) != kStopped && GetTickCount() - dwClick < 60000)
        Sleep(1);
    const DWORD dwStopMs = GetTickCount() - dwClick;
    EXPECT_EQ(kStopped, Status(dlg));
    EXPECT_EQ(2, dlg.IntDlgStatus.load());
    Sleep(300);  // bytes the service still reads after the abort must not reach the file
    const LONGLONG cbStopped = FileSizeOf(m_strPath);
    // At most the blocks gathered before the flag went up and the one being read then.
    EXPECT_LE(cbStopped - cbAtStop, CURLDownloading::kGatherBytes + 8192);
    EXPECT_LT(cbStopped, static_cast<LONGLONG>(strBig.size()));
    printf("[ measure  ] Stop at full loopback speed: stopped state after %lu ms (file %lld bytes at the "
           "click, %lld after it)\n",
           dwStopMs, cbAtStop, cbStopped);
    RecordProperty("StopMsFullSpeed", static_cast<int>(dwStopMs));

    // Start/Resume at once, on the same dialog object, while the old worker may still be finishing
    // (Wine keeps it in CoUninitialize while the aborted connection drains): the new transfer
    // continues the partial file and ends byte-identical.
    HANDLE hNewWorker = StartWorker(dlg);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hNewWorker, 120000));
    CloseHandle(hNewWorker);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hOldWorker, 120000));
    CloseHandle(hOldWorker);
    EXPECT_EQ("bytes=" + std::to_string(cbStopped) + "-", m_server.Requests().back().Header("Range"));
    EXPECT_TRUE(strBig == ReadWholeFile(m_strPath));
    EXPECT_EQ(kCompleted, Status(dlg));
    EXPECT_EQ(3, dlg.IntDlgStatus.load());
}

TEST_F(TransferEngineTest, StopOnATenMegabytePerSecondLink)
{
    const std::string strBig = MakeTestContent(40u << 20, 9);
    ASSERT_TRUE(m_server.Start([&strBig](const ScriptedRequest& r) {
        ScriptedResponse response = ScriptedHttpServer::ServeFile(strBig, r);
        response.dwBytesPerSecond = 10u << 20;
        response.cbChunk = 65536;
        return response;
    }));
    CURLDownloading dlg;
    HANDLE hThread = StartWorker(dlg);
    const DWORD dwStart = GetTickCount();
    while (FileSizeOf(m_strPath) < (3 << 20) && GetTickCount() - dwStart < 60000)
        Sleep(2);
    DWORD dwStopMs = 0;
    const LONGLONG cbAtStop = StopAndMeasure(dlg, hThread, &dwStopMs);
    const LONGLONG cbFinal = FileSizeOf(m_strPath);
    EXPECT_EQ(kStopped, Status(dlg));
    EXPECT_LE(cbFinal - cbAtStop, CURLDownloading::kGatherBytes + 8192);
    EXPECT_TRUE(strBig.substr(0, static_cast<size_t>(cbFinal)) == ReadWholeFile(m_strPath));
    printf("[ measure  ] Stop at 10 MB/s: stopped state after %lu ms\n", dwStopMs);
    RecordProperty("StopMs10MBps", static_cast<int>(dwStopMs));
}
