// The transfer engine with real URL bindings (Wine's urlmon) against the scripted server on 127.0.0.1,
// run on a thread of the test with its events recorded: the requests the server saw, the local file
// and the outcome.
#include <atomic>
#include "app/CSetupApp.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/FakeMoniker.h"
#include "tests/support/ScriptedHttpServer.h"

namespace
{
const char kCompleted[] = "Download Complete";
const char kCut[] = "The download has failed (the connection was interrupted)";
const char kTimeout[] = "The Internet connection has timed out";
const char kNoData[] = "An Internet connection was established, but the data cannot be retrieved";
const char kNotFound[] = "The specified file does not exist on server.";
const char kWriteFailed[] = "The download could not be written to the local file";
using Answer = std::function<ScriptedResponse(const ScriptedRequest&)>;

// The stored validator of the tests' transfers, in memory.
struct CMemoryStore : IValidatorStore
{
    CString LoadValidator() override { return strValidator; }
    void SaveValidator(LPCTSTR pszText) override { strValidator = pszText; }
    CString strValidator;
};

class TransferEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) { return m_answer(r); })); }
    void TearDown() override { m_server.Stop(); }
    // One whole transfer on a thread of the test; it ends when the binding has ended. Its outcome.
    std::string Run(CTransferEngine& engine, const std::string& strFile, CRecordingEvents* pEvents = nullptr)
    {
        CRecordingEvents events;
        TRANSFER_START start;
        start.strURL = m_server.Url("/files/brindlemox.exe").c_str();
        start.strFilePath = strFile.c_str();
        EXPECT_TRUE(CTestThread([&] { engine.Run(start, &events); }).join(90000)) << "the worker did not end";
        if (pEvents != nullptr)
            *pEvents = events;
        return events.Outcome();
    }
    Answer m_answer;
    ScriptedHttpServer m_server;
    CTempFolder m_folder{"engine"};
    const std::string m_strPath = m_folder.File("brindlemox.exe");
    const std::string m_strContent = MakeTestContent(300000, 3);
};
Answer Fixed(const ScriptedResponse& response) { return [=](const ScriptedRequest&) { return response; }; }
}  // namespace

TEST_F(TransferEngineTest, EachAnswerEndsWithItsOutcomeAndAResumablePrefix)
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
        {"reset mid-body (Wine ends the binding as interrupted or unreadable, or the watchdog does)",
         Fixed({206, "Scripted", {{"Content-Range", strRange}}, true, strRest, npos, 100000}),
         "The download has failed (the connection was interrupted)|The Internet connection has timed out|"
         "An Internet connection was established, but the data cannot be retrieved",
         101000, 2000},
        {"silent", Fixed({200, "OK", {}, true, "", npos, npos, true}), kTimeout, 1000, 1500},
        {"multipart",
         Fixed(ScriptedHttpServer::MultipartAnswer(strContent, {{1000, 150000}, {150001, strContent.size() - 1}},
                                                   "multipart/x-byteranges")),
         kCompleted, 300000},
        {"complete already: 416 with an error page",
         Fixed({416, "Scripted", {{"Content-Range", "bytes */1000"}}, true, "<html>416 Range Not Satisfiable</html>"}),
         kCompleted, 1000},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszName);
        WriteWholeFile(m_strPath, strContent.substr(0, 1000));
        m_answer = row.answer;
        CTransferEngine engine(theApp.m_log);
        engine.m_dwStallTimeoutMs = row.dwStallMs;
        const DWORD dwStart = GetTickCount();
        const std::string strStatus = Run(engine, m_strPath);
        EXPECT_NE(std::string::npos, ("|" + std::string(row.pszOutcomes) + "|").find("|" + strStatus + "|")) << strStatus;
        // The watchdog ends a silent binding after its wait, long before the service would.
        EXPECT_TRUE(strStatus != kTimeout || (GetTickCount() - dwStart >= row.dwStallMs && GetTickCount() - dwStart < row.dwStallMs + 8000));
        const std::string strFile = ReadWholeFile(m_strPath);
        EXPECT_TRUE(strFile.size() >= 1000 && strFile.size() <= row.cbMost && strContent.substr(0, strFile.size()) == strFile)
            << strFile.size();
        EXPECT_EQ("bytes=1000-", m_server.Requests().back().Header("Range"));
        m_server.Stop();  // ends a silent answer
        ASSERT_TRUE(m_server.Start([this](const ScriptedRequest& r) { return m_answer(r); }));
    }
    // A folder that does not exist: the write-failure sentence, and the server is never asked. Nor
    // is it when the worker cannot have COM (its thread has another kind already): a clear end.
    CTransferEngine engine(theApp.m_log);
    EXPECT_EQ(kWriteFailed, Run(engine, m_folder.File("no such folder\\brindlemox.exe")));
    CRecordingEvents events;
    TRANSFER_START start;
    start.strURL = m_server.Url("/files/brindlemox.exe").c_str();
    start.strFilePath = m_strPath.c_str();
    CTestThread([&] {
        ::CoInitializeEx(NULL, COINIT_MULTITHREADED);
        engine.Run(start, &events);
        ::CoUninitialize();
    }).join(90000);
    EXPECT_EQ("Download InComplete - UnKnown Failure", events.Outcome());
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(TransferEngineTest, OnlyAnAnswerThatCarriesTheInstallerBeginsOrReplacesThePartialFile)
{
    // Older WinINet versions hand 307 and 308 over unfollowed; a sign-in page comes with 200.
    const std::string strPartial = m_strContent.substr(0, 1000), strPage = "<html>Please sign in</html>";
    const struct { int nStatus; const char* pszType; const char* pszOutcome; } rows[] = {
        {201, "application/octet-stream", kNoData}, {202, "application/octet-stream", kNoData},
        {300, "application/octet-stream", kNotFound}, {306, "application/octet-stream", kNotFound},
        {307, "application/octet-stream", kNotFound}, {308, "application/octet-stream", kNotFound},
        {399, "application/octet-stream", kNotFound}, {451, "application/octet-stream", kNoData},
        {599, "application/octet-stream", kNoData},
        {200, "text/html; charset=UTF-8", "The file is not one of the acceptable MIME types"},
        {203, "application/octet-stream", kCompleted},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.nStatus);
        WriteWholeFile(m_strPath, strPartial);
        const bool fFile = row.pszOutcome == kCompleted;
        m_answer = Fixed(ScriptedResponse{row.nStatus, "Scripted", {{"Content-Type", row.pszType}}, true,
                                          fFile ? m_strContent : strPage});
        CTransferEngine engine(theApp.m_log);
        EXPECT_EQ(row.pszOutcome, Run(engine, m_strPath));
        EXPECT_TRUE((fFile ? m_strContent : strPartial) == ReadWholeFile(m_strPath));
    }
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
        CTransferEngine engine(theApp.m_log);
        CMemoryStore store;
        engine.SetValidatorStore(&store);
        Run(engine, strFile);
        ASSERT_EQ(100000u, ReadWholeFile(strFile).size());
        nVersion = 2;
        std::string strStatus = Run(engine, strFile);
        auto requests = m_server.Requests();
        ASSERT_EQ(nBefore + 2, requests.size());
        EXPECT_EQ("bytes=100000-", requests[nBefore + 1].Header("Range"));
        EXPECT_EQ(c.pszIfRange, requests[nBefore + 1].Header("If-Range"));
        if (c.fChanged)
        {
            EXPECT_EQ("The installer on the server has changed since the download began. Start/Resume downloads it anew",
                      strStatus);
            EXPECT_TRUE(strV1.substr(0, 100000) == ReadWholeFile(strFile));  // nothing of version 2 joined
            EXPECT_STREQ("restart", store.strValidator);
            strStatus = Run(engine, strFile);  // Start/Resume again: version 2 from its first byte
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
    m_answer = [this](const ScriptedRequest& r) { return ScriptedHttpServer::ServeFile(m_strContent, r, false); };
    CTransferEngine engine(theApp.m_log);
    CRecordingEvents events;
    EXPECT_EQ(kWriteFailed, Run(engine, m_strPath, &events));
    CloseHandle(hHolder);
    EXPECT_EQ(std::vector<std::string>{m_strPath}, events.undeletable);
    EXPECT_TRUE(strPartial == ReadWholeFile(m_strPath));
}

TEST_F(TransferEngineTest, AStopFromAnotherThreadEndsASilentTransferAtOnce)
{
    m_answer = Fixed({200, "OK", {}, true, "", (size_t)-1, (size_t)-1, true});  // no answer at all
    CTransferEngine engine(theApp.m_log);
    CRecordingEvents events;
    TRANSFER_START start;
    start.strURL = m_server.Url("/files/brindlemox.exe").c_str();
    start.strFilePath = m_strPath.c_str();
    CTestThread worker([&] { engine.Run(start, &events); });
    ASSERT_TRUE(WaitUntil([&] { return engine.IsBound(); }, 20000));
    const DWORD dwStop = GetTickCount();
    engine.Abort();
    ASSERT_TRUE(worker.join(20000));
    EXPECT_LT(GetTickCount() - dwStop, 5000u);
    EXPECT_TRUE(events.nEnds == 1 && events.end.fAborted && events.end.hrResult != S_OK);
    EXPECT_FALSE(engine.IsBound());
}
