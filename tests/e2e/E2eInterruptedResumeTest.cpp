// A download cut short by the server resumes by itself, and gives up after five resumes in a row
// that add no byte; then it is resumed the way a user resumes it: Exit, "Create Shortcut" Yes (the
// link points at the program); the next start asks "Resume Setup", and Yes starts the download at
// once from the partial length (the server sees "Range: bytes=N-") to a byte-identical file; the
// stored folder and the shortcut are then gone. The folder is longer than the 49 characters that
// once were all a stored folder could hold. A cut and a reset survived without a click; a busy
// server's Retry-After, Stop during the wait, a 404 never asked again. The test build asks a server
// this test scripts (DLS_SCRIPTED_PORT) and waits 250 ms before a first automatic resume.
#include <atomic>
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

using E2eInterruptedResume = CE2eTest;

TEST_F(E2eInterruptedResume, CutDownloadResumesFromItsLengthAfterShortcutAndPrompt)
{
    const std::string strContent = CServedInstaller::SignedInstaller(std::to_string(kServedSize) + "-0.exe"),
                      strSize = std::to_string(strContent.size());
    const size_t cbCut = 600000;
    ScriptedHttpServer server;
    ASSERT_TRUE(server.Start(
        [&](const ScriptedRequest& request) {
            ScriptedResponse response = ScriptedHttpServer::ServeFile(strContent, request);
            if (server.Requests().size() <= 6)  // the first answer stops mid-body (a normal close),
                response.cbCloseAfter = server.Requests().size() == 1 ? cbCut : 0;  // five more at once
            return response;
        },
        DLS_SCRIPTED_PORT))
        << "port " << DLS_SCRIPTED_PORT << " is taken";
    CTempFolder folder("resume-into-a-folder-whose-path-is-long");
    ASSERT_GT(folder.Path().size(), 60u);
    const std::string strTarget = folder.File("brindlemox.exe"), strProgram = E2eProgram("E2EScripted");
    const std::string strUrl = server.Url(kGeneralPath);

    // ---- first run: the transfer breaks off; Exit, and Yes to the shortcut --------------------------
    {
        CDialogTraceLog log;
        CProgramRun program(strProgram);
        HWND hDownload = program.StartDownload(folder.Path());
        ASSERT_TRUE(hDownload);
        ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, "The download has failed (the connection was interrupted)"));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_OPEN)));
        EXPECT_TRUE(strContent.substr(0, cbCut) == ReadWholeFile(strTarget));  // every byte that came, in place
        EXPECT_EQ(6, log.Count("Transfer ended for " + strUrl +
                               ": 0x800C0008 The download has failed (the connection was interrupted), " +
                               std::to_string(cbCut) + " bytes on disk of " + strSize));
        EXPECT_EQ(1, log.Count("Automatic resume 5 of 5 in 4000 ms after 0x800C0008 (status 206) for " + strUrl));
        EXPECT_EQ(1, log.Count("Automatic resume given up after 5 tries without a byte, last 0x800C0008 for " +
                               strUrl));
        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.Answer("Create Shortcut", IDYES,
                                   "Download has not completed successfully. Do you wish to create a shortcut on the "
                                   "desktop to resume it later?"));
        ASSERT_TRUE(program.WaitExit(kStepWait));
        EXPECT_EQ(1, log.Count("IntDlgStatus 1 DestroyWindow in CURLDownloading for " + strUrl));
    }
    EXPECT_EQ(folder.Path() + '\0', StoredFolder());
    std::string strLinkTarget, strLinkDescription;
    ASSERT_TRUE(ReadShellLink(ResumeShortcutPath(), &strLinkTarget, &strLinkDescription));
    EXPECT_STRCASEEQ(strProgram.c_str(), strLinkTarget.c_str());
    EXPECT_EQ("DownloadSetup", strLinkDescription);

    // ---- second run, as from the shortcut: the resume prompt, then at once the rest of the file -----
    CDialogTraceLog log;
    CProgramRun program(strLinkTarget);
    DWORD dwAnswered = 0;
    HWND hDownload = program.Resume(&dwAnswered);
    ASSERT_TRUE(hDownload);
    // Nothing more to click: the download starts by itself, without the overwrite question.
    ASSERT_TRUE(WaitUntil([&] { return log.Count("Start WorkerThreadProc in CURLDownloading") == 1; }, kStepWait));
    EXPECT_LT(::GetTickCount() - dwAnswered, 1000u) << "the resumed download did not start within a second";
    program.Finish(hDownload, strTarget, strContent);
    EXPECT_FALSE(FileExists(ResumeShortcutPath())) << "the shortcut would start a new download over the installer";
    // The end of the transfer counts the bytes on disk, those of the first run included.
    EXPECT_EQ(1, log.Count("Transfer ended for " + strUrl + ": 0x00000000 Download Complete, " + strSize +
                           " bytes on disk of " + strSize));
    std::vector<ScriptedRequest> requests = server.Requests();
    ASSERT_EQ(7u, requests.size());
    EXPECT_EQ(kGeneralPath, requests[0].strPath);
    EXPECT_EQ("bytes=0-", requests[0].Header("Range"));
    for (size_t n = 1; n < 7; ++n)
        EXPECT_EQ("bytes=" + std::to_string(cbCut) + "-", requests[n].Header("Range")) << n;
    EXPECT_NE("", requests[6].Header("Unless-Modified-Since"));
}

TEST_F(E2eInterruptedResume, ACutAndAResetAreResumedByThemselves)
{
    const std::string strContent = CServedInstaller::SignedInstaller(std::to_string(kServedSize) + "-0.exe");
    ScriptedHttpServer server;
    ASSERT_TRUE(server.Start(
        [&](const ScriptedRequest& request) {
            ScriptedResponse response = ScriptedHttpServer::ServeFile(strContent, request);
            const size_t nRequest = server.Requests().size();
            if (nRequest == 1)
                response.cbCloseAfter = 300000;  // a normal close at 300 KB
            else if (nRequest == 2)
                response.cbResetAfter = 1048576 - 300000;  // a reset at 1 MB
            return response;
        },
        DLS_SCRIPTED_PORT));
    CTempFolder folder("auto-resume");
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2EScripted"));
    HWND hDownload = program.StartDownload(folder.Path());
    ASSERT_TRUE(hDownload);
    program.Finish(hDownload, folder.File("brindlemox.exe"), strContent);
    const std::vector<ScriptedRequest> requests = server.Requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("bytes=0-", requests[0].Header("Range"));
    EXPECT_EQ("bytes=300000-", requests[1].Header("Range"));
    // What came before the reset: the data in flight is lost with it.
    unsigned long ulThird = 0;
    sscanf(requests[2].Header("Range").c_str(), "bytes=%lu-", &ulThird);
    EXPECT_TRUE(ulThird > 300000 && ulThird <= 1048576) << requests[2].Header("Range");
    // Both resumes are a first try (each transfer added bytes); a reset ends as interrupted or by the watchdog.
    int nResumes = 0;
    for (const char* pszCode : {"0x800C0008", "0x800C000B"})
        nResumes += log.Count("Automatic resume 1 of 5 in 250 ms after " + std::string(pszCode) + " (status 206) for " +
                              server.Url(kGeneralPath));
    EXPECT_EQ(2, nResumes);
}

TEST_F(E2eInterruptedResume, ABusyServersRetryAfterIsWaitedStopEndsTheWaitAndA404IsNotAskedAgain)
{
    DWORD ticks[4] = {};
    std::atomic<size_t> nAnswered{0};
    ScriptedHttpServer server;
    ASSERT_TRUE(server.Start(
        [&](const ScriptedRequest&) {
            ticks[nAnswered] = ::GetTickCount();
            if (++nAnswered == 3)
                return ScriptedResponse{404, "Not Found", {}, true, "gone"};
            return ScriptedResponse{503, "Busy", {{"Retry-After", nAnswered == 1 ? "3" : "60"}}, true, "busy"};
        },
        DLS_SCRIPTED_PORT));
    CTempFolder folder("busy");
    CProgramRun program(E2eProgram("E2EScripted"));
    HWND hDownload = program.StartDownload(folder.Path());
    ASSERT_TRUE(hDownload);
    auto shows = [&](const std::string& strWait) {
        const std::string strText = "The server is busy. Resuming in " + strWait + " of 5)";
        return WaitUntil([&] { return ItemTextOf(hDownload, IDC_SERVERSTATUS) == strText; }, kStepWait);
    };
    EXPECT_TRUE(shows("3 s (try 1"));
    // The wait counts down each second, the elapsed time goes on, and only Stop/Pause can be clicked.
    ASSERT_TRUE(shows("60 s (try 2") && shows("58 s (try 2"));
    ASSERT_EQ(2u, nAnswered.load());
    EXPECT_GE(ticks[1] - ticks[0], 3000u);
    const std::string strElapsed = ItemTextOf(hDownload, IDC_TIMEELAPSED);
    EXPECT_TRUE(WaitUntil([&] { return ItemTextOf(hDownload, IDC_TIMEELAPSED) != strElapsed; }, 2000));
    EXPECT_TRUE(!::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_STOP)));
    ASSERT_TRUE(ClickButton(hDownload, IDC_STOP));
    ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, "Downloading stopped due to the user intervention"));
    EXPECT_EQ(2u, server.WaitRequests(3, 5000));
    ASSERT_TRUE(ClickButton(hDownload, IDC_START));
    ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, "The specified file does not exist on server."));
    EXPECT_EQ(3u, server.WaitRequests(4, 2000));
}
