// A download cut short by the server, resumed the way a user resumes it: Exit, "Create Shortcut"
// Yes (the link points at the program); the next start asks "Resume Setup", Yes continues from the
// partial length (the server sees "Range: bytes=N-") to a byte-identical file; the stored folder is
// then gone and the start after that asks nothing. The test build asks a server this test scripts
// (127.0.0.1:18634), so that the cut comes at a chosen byte.
#include <winsock2.h>  // before windows.h: the scripted server's header needs it first
#include <gtest/gtest.h>
#include <atomic>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

namespace
{
const unsigned short kScriptedPort = 18634;

class E2eInterruptedResume : public CE2eTest
{
};

TEST_F(E2eInterruptedResume, CutDownloadResumesFromItsLengthAfterShortcutAndPrompt)
{
    const std::string strContent = MakeTestContent(1500000 + 777, 5);
    const size_t cbCut = 600000;
    std::atomic<int> nRequests{0};
    ScriptedHttpServer server;
    ASSERT_TRUE(server.Start(
        [&](const ScriptedRequest& request) {
            ScriptedResponse response = ScriptedHttpServer::ServeFile(strContent, request);
            if (nRequests++ == 0)
                response.cbCloseAfter = cbCut;  // the first answer stops mid-body (a normal close)
            return response;
        },
        kScriptedPort))
        << "port " << kScriptedPort << " is taken";

    CE2eFolder folder("resume");
    const std::string strTarget = folder.File("brindlemox.exe");
    const std::string strProgram = E2eProgram("E2EScripted");
    const std::string strUrl = "http://127.0.0.1:18634/download/brindlemox.exe";

    // ---- first run: the transfer breaks off --------------------------------------------------------
    {
        CDialogTraceLog log;
        CProgramRun program(strProgram);
        HWND hSetup = program.WaitSetupDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hSetup);
        SetFolderBox(hSetup, folder.Path());
        ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
        HWND hDownload = program.WaitDownloadDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hDownload);
        std::string strStatus;
        ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
        EXPECT_NE("Download completed", strStatus);
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_OPEN)));
        EXPECT_EQ(strContent.substr(0, cbCut), ReadWholeFile(strTarget));  // every byte that came, in place

        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        std::string strQuestion;
        ASSERT_TRUE(program.Answer("Create Shortcut", IDYES, kStepWait, &strQuestion));
        EXPECT_EQ("Download has not completed successfully. Do you wish to create a shortcut on the desktop to resume "
                  "it later?",
                  strQuestion);
        ASSERT_TRUE(program.WaitExit(kStepWait));

        EXPECT_EQ(1, log.Count("Start OnResponse in CURLDownloading for " + strUrl + " statuscode = 206"));
        EXPECT_EQ(1, log.Count("OnExit called in CURLDownloadingfor" + strUrl));
        EXPECT_EQ(1, log.Count("IntDlgStatus 1 DestroyWindow in CURLDownloading for " + strUrl));
        EXPECT_EQ(0, log.Count("Case 3 CloseFileCtrlDlg in CURLDownloading for " + strUrl));
    }
    EXPECT_EQ(folder.Path() + '\0', ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).data);
    std::string strLinkTarget, strLinkDescription;
    ASSERT_TRUE(ReadShellLink(ResumeShortcutPath(), &strLinkTarget, &strLinkDescription));
    EXPECT_STRCASEEQ(strProgram.c_str(), strLinkTarget.c_str());
    EXPECT_EQ("DownloadSetup", strLinkDescription);

    // ---- second run, as from the shortcut: the resume prompt, then the rest of the file ------------
    {
        CDialogTraceLog log;
        CProgramRun program(strLinkTarget);
        std::string strPrompt;
        ASSERT_TRUE(program.Answer("Resume Setup", IDYES, kStepWait, &strPrompt));
        EXPECT_EQ("Setup has detected that a previous download was not completed. Do you want to recover and continue "
                  "Setup?",
                  strPrompt);
        // Nothing more to click: the download starts by itself, without the overwrite question.
        HWND hDownload = program.WaitDownloadDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hDownload);
        std::string strStatus;
        ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
        EXPECT_EQ("Download completed", strStatus);
        EXPECT_TRUE(program.NoMessageBoxFor("Overwrite Existing File?", 0));
        EXPECT_EQ(Sha256Of(strContent), Sha256OfFile(strTarget));
        EXPECT_TRUE(strContent == ReadWholeFile(strTarget));

        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.WaitExit(kStepWait));
        EXPECT_EQ(1, log.Count("Start OnResponse in CURLDownloading for " + strUrl + " statuscode = 206"));
        EXPECT_EQ(1, log.Count("Case 3 CloseFileCtrlDlg in CURLDownloading for " + strUrl));
        EXPECT_EQ(1, log.Count("IntDlgStatus 3 DestroyWindow in CURLDownloading for " + strUrl));
    }
    std::vector<ScriptedRequest> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("/download/brindlemox.exe", requests[0].strPath);
    EXPECT_EQ("bytes=0-", requests[0].Header("Range"));
    EXPECT_EQ("bytes=" + std::to_string(cbCut) + "-", requests[1].Header("Range"));
    EXPECT_TRUE(requests[1].HasHeader("Unless-Modified-Since"));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).bExists);

    // ---- third run: nothing pending, nothing asked -------------------------------------------------
    {
        CProgramRun program(strProgram);
        HWND hSetup = program.WaitSetupDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hSetup);  // the prompt would have come before the dialog showed
        EXPECT_TRUE(program.NoMessageBoxFor("Resume Setup", 0));
        ASSERT_TRUE(ClickButton(hSetup, IDCANCEL));
        ASSERT_TRUE(program.WaitExit(kStepWait));
    }
    EXPECT_EQ(2u, server.Requests().size());
}
}  // namespace
