// A download cut short by the server, resumed the way a user resumes it: Exit, "Create Shortcut" Yes
// (the link points at the program); the next start asks "Resume Setup", and Yes starts the download
// at once from the partial length (the server sees "Range: bytes=N-") to a byte-identical file; the
// stored folder and the shortcut are then gone. The folder is longer than the 49 characters that
// once were all a stored folder could hold. The test build asks a server this test scripts (DLS_SCRIPTED_PORT), so
// that the cut comes at a chosen byte.
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
            if (server.Requests().size() == 1)
                response.cbCloseAfter = cbCut;  // the first answer stops mid-body (a normal close)
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
        EXPECT_EQ(1, log.Count("Transfer ended for " + strUrl +
                               ": 0x800C0008 The download has failed (the connection was interrupted), " +
                               std::to_string(cbCut) + " bytes on disk of " + strSize));
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
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(kGeneralPath, requests[0].strPath);
    EXPECT_EQ("bytes=0-", requests[0].Header("Range"));
    EXPECT_EQ("bytes=" + std::to_string(cbCut) + "-", requests[1].Header("Range"));
    EXPECT_NE("", requests[1].Header("Unless-Modified-Since"));
}
