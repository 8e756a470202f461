// The transfer engine with real URL bindings (Wine's urlmon) against the scripted server on 127.0.0.1:
// WorkerThreadProc runs on a thread of the test, with a download dialog object that has no window.
// Checks the requests the server saw, the local file, the outcome and the completion notices.
#include <atomic>
#include "download/CURLDownloading.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/ScriptedHttpServer.h"

namespace
{
const char kCompleted[] = "Download completed";
const char kCut[] = "The download has failed (the connection was interrupted)";
const char kTimeout[] = "The Internet connection has timed out";
const char kNoData[] = "An Internet connection was established, but the data cannot be retrieved";
const char kWriteFailed[] = "The download could not be written to the local file";
using Answer = std::function<ScriptedResponse(const ScriptedRequest&)>;

class TransferEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_nNotices = SupportServer().Requests().size();
        ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) { return m_answer(r); }));
    }
    void TearDown() override
    {
        m_server.Stop();
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
        g_fDownloadComplete = FALSE;
    }
    // One whole transfer, the worker begun as OnStart begins it (abort flag down, status running) on a
    // thread of the test; it ends when the binding has ended. Its outcome sentence.
    std::string Run(CURLDownloading& dlg, const std::string& strFile)
    {
        dlg.m_strURL = m_server.Url("/files/brindlemox.exe").c_str();
        dlg.m_strFilePath = strFile.c_str();
        dlg.g_fAbortDownload = FALSE;
        dlg.IntDlgStatus = 1;
        EXPECT_TRUE(CTestThread([&dlg] { WorkerThreadEntry(&dlg); }).join(90000)) << "the worker did not end";
        return Status(dlg);
    }
    std::string Status(CURLDownloading& dlg) { return std::string(static_cast<LPCTSTR>(dlg.GetServerStatus())); }
    // This program's completion notices since the test began, once n have come or after dwMs.
    size_t Notices(size_t n, DWORD dwMs) { return SupportServer().WaitRequests(m_nNotices + n, dwMs) - m_nNotices; }
    size_t m_nNotices = 0;
    Answer m_answer;
    ScriptedHttpServer m_server;
    CTempFolder m_folder{"engine"};
    const std::string m_strPath = m_folder.File("brindlemox.exe");
    const std::string m_strContent = MakeTestContent(300000, 3);
};
Answer Fixed(const ScriptedResponse& response) { return [=](const ScriptedRequest&) { return response; }; }
}  // namespace

TEST_F(TransferEngineTest, EachAnswerEndsWithItsOutcomeAResumablePrefixAndANoticeOnlyWhenComplete)
{
    const std::string& strContent = m_strContent;
    const std::string strRefused(20000, 'R');  // Wine delivers the body of a refused answer
    const std::string strRest = strContent.substr(1000), strRange = "bytes 1000-299999/300000";
    const size_t npos = std::string::npos;
    struct Row
    {
        const char* pszName;
        Answer answer;
        const char* pszOutcomes;  // the possible outcomes, separated by '|'
        size_t cbMost;            // the file: a prefix of the content, at least the 1000 local bytes
        DWORD dwStallMs = 30000;
    } rows[] = {
        {"redirect",
         [&](const ScriptedRequest& r) {
             return r.strPath != "/files/brindlemox.exe"
                        ? ScriptedHttpServer::ServeFile(strContent, r)
                        : ScriptedResponse{302, "Scripted", {{"Location", "/elsewhere/brindlemox.exe"}}, true, strRefused};
         },
         "The specified file does not exist on server.", 1000},
        {"204", Fixed({204, "Scripted", {}, false}), kNoData, 1000},
        {"500", Fixed({500, "Scripted", {}, true, strRefused}), kNoData, 1000},
        {"206 ending before the last byte",
         Fixed({206, "Scripted", {{"Content-Range", "bytes 1000-1999/300000"}}, true, strContent.substr(1000, 1000)}), kCut, 2000},
        {"closed mid-body", Fixed({206, "Scripted", {{"Content-Range", strRange}}, true, strRest, 100000}), kCut, 101000},
        {"reset mid-body (Wine never ends the binding: the watchdog does)",
         Fixed({206, "Scripted", {{"Content-Range", strRange}}, true, strRest, npos, 100000}),
         "The download has failed (the connection was interrupted)|The Internet connection has timed out", 101000, 2000},
        {"silent", Fixed({200, "OK", {}, true, "", npos, npos, true}), kTimeout, 1000, 1500},
        {"multipart",
         Fixed(ScriptedHttpServer::MultipartAnswer(strContent, {{1000, 150000}, {150001, strContent.size() - 1}},
                                                   "multipart/x-byteranges")),
         kCompleted, 300000},
        {"complete already: 416 with an error page",
         Fixed({416, "Scripted", {{"Content-Range", "bytes */1000"}}, true, "<html>416 Range Not Satisfiable</html>"}),
         kCompleted, 1000},
    };
    size_t nCompleted = 0;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszName);
        WriteWholeFile(m_strPath, strContent.substr(0, 1000));
        m_answer = row.answer;
        CURLDownloading dlg;
        dlg.m_dwStallTimeoutMs = row.dwStallMs;
        const DWORD dwStart = GetTickCount();
        const std::string strStatus = Run(dlg, m_strPath);
        EXPECT_NE(std::string::npos, ("|" + std::string(row.pszOutcomes) + "|").find("|" + strStatus + "|")) << strStatus;
        EXPECT_TRUE(strStatus != kTimeout || GetTickCount() - dwStart >= row.dwStallMs);
        const std::string strFile = ReadWholeFile(m_strPath);
        EXPECT_TRUE(strFile.size() >= 1000 && strFile.size() <= row.cbMost && strContent.substr(0, strFile.size()) == strFile)
            << strFile.size();
        EXPECT_EQ(strStatus == kCompleted ? 3 : 1, dlg.IntDlgStatus.load());
        EXPECT_EQ(strStatus == kCompleted, g_fDownloadComplete.load() != FALSE);
        EXPECT_EQ("bytes=1000-", m_server.Requests().back().Header("Range"));
        nCompleted += strStatus == kCompleted;
        g_fDownloadComplete = FALSE;
        m_server.Stop();  // ends a silent answer
        ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) { return m_answer(r); }));
    }
    // A folder that does not exist: the write-failure sentence, and the server is never asked.
    CURLDownloading dlg;
    EXPECT_EQ(kWriteFailed, Run(dlg, m_folder.File("no such folder\\brindlemox.exe")));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ(2u, nCompleted);
    EXPECT_EQ(nCompleted, Notices(nCompleted + 1, 2000)) << "one completion notice per completed download only";
}

TEST_F(TransferEngineTest, AResumeNeverJoinsTwoVersionsOfTheInstaller)
{
    // Version 1 is cut at 100000 bytes; then the server has version 2 (or still version 1).
    const char kLm1[] = "Sun, 06 Dec 2026 10:00:00 GMT", kLm2[] = "Mon, 07 Dec 2026 10:00:00 GMT";
    struct Case
    {
        const char *pszName, *pszETag1, *pszLm1, *pszETag2, *pszLm2;
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
    const std::string& strV1 = m_strContent;
    const Case* pCase = nullptr;
    std::string strV2;
    std::atomic<int> nVersion{1};
    m_answer = [&](const ScriptedRequest& r) {
        const Case& c = *pCase;
        const bool fV1 = nVersion.load() == 1;
        const std::string strETag = fV1 ? c.pszETag1 : c.pszETag2;
        const char* pszLm = fV1 ? c.pszLm1 : c.pszLm2;
        const std::string strValidator = strETag.empty() || strETag[0] == 'W' ? pszLm : strETag;
        const bool fStale = !r.Header("If-Range").empty() && r.Header("If-Range") != strValidator;
        ScriptedResponse response = ScriptedHttpServer::ServeFile(fV1 ? strV1 : strV2, r, !(c.fHonourIfRange && fStale));
        if (!strETag.empty())
            response.Header("ETag", strETag);
        if (*pszLm != '\0')
            response.Header("Last-Modified", pszLm);
        if (fV1)
            response.cbCloseAfter = 100000;
        return response;
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        pCase = &c;
        strV2 = c.cbVersion2 != 0 ? MakeTestContent(c.cbVersion2, 4) : strV1;
        nVersion = 1;
        CTempFolder folder("versions");
        const std::string strFile = folder.File("brindlemox.exe");
        const size_t nBefore = m_server.Requests().size();
        CURLDownloading dlg;
        Run(dlg, strFile);
        ASSERT_EQ(100000u, ReadWholeFile(strFile).size());
        nVersion = 2;
        std::string strStatus = Run(dlg, strFile);
        auto requests = m_server.Requests();
        ASSERT_EQ(nBefore + 2, requests.size());
        EXPECT_EQ("bytes=100000-", requests[nBefore + 1].Header("Range"));
        EXPECT_EQ(c.pszIfRange, requests[nBefore + 1].Header("If-Range"));
        if (c.fChanged)
        {
            EXPECT_EQ("The installer on the server has changed since the download began. Start/Resume downloads it anew",
                      strStatus);
            EXPECT_TRUE(strV1.substr(0, 100000) == ReadWholeFile(strFile));  // nothing of version 2 joined
            EXPECT_EQ(std::string("restart") + '\0',
                      ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE).data);
            strStatus = Run(dlg, strFile);  // Start/Resume again: version 2 from its first byte
            requests = m_server.Requests();
            ASSERT_EQ(nBefore + 3, requests.size());
            EXPECT_EQ("bytes=0-", requests[nBefore + 2].Header("Range"));
            EXPECT_EQ("", requests[nBefore + 2].Header("If-Range"));
        }
        EXPECT_EQ(kCompleted, strStatus);
        EXPECT_TRUE(strV2 == ReadWholeFile(strFile));
    }
}

TEST_F(TransferEngineTest, ARestartWhoseOldFileCannotBeDeletedWritesNothingAndSaysSo)
{
    // The partial file is held open by a program that lets others write but not delete it; the
    // server cannot resume, so the engine has to begin the file anew and cannot.
    const std::string strPartial(5000, 'Z');
    WriteWholeFile(m_strPath, strPartial);
    HANDLE hHolder = CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    CMessageBoxAnswerer boxes;
    boxes.Answer("Error deleting local file", IDOK);
    m_answer = [this](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(m_strContent, r, false); };
    CURLDownloading dlg;
    EXPECT_EQ(kWriteFailed, Run(dlg, m_strPath));
    CloseHandle(hHolder);
    EXPECT_EQ(std::vector<std::string>{"Unable to delete the file from path\n\r" + m_strPath},
              boxes.Texts("Error deleting local file"));
    EXPECT_TRUE(strPartial == ReadWholeFile(m_strPath));
    EXPECT_FALSE(g_fDownloadComplete.load());
}
