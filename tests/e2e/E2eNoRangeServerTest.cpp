// Resuming against a server without byte ranges (python3 -m http.server, through the test build that
// asks it): the partial file of an earlier run is there and the stored folder points at it; the user
// accepts "Resume Setup", the server answers the range request with the whole file, and the download
// starts again from zero and ends byte-identical (never appended to the old bytes).
#include <gtest/gtest.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

class E2eNoRangeServer : public CE2eTest
{
};

TEST_F(E2eNoRangeServer, PartialFileIsReplacedFromTheStart)
{
    if (E2eEnv("DLS_PLAIN_PORT").empty())
        GTEST_SKIP() << "DLS_PLAIN_PORT is not set";
    CServedInstaller served(2 * 1024 * 1024 + 99);
    CTempFolder folder("norange");
    const std::string strTarget = folder.File("brindlemox.exe");
    ASSERT_TRUE(WriteWholeFile(strTarget, std::string(100000, 'X')));  // not a prefix: an append would show
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, folder.Path()));
    CDialogTraceLog log;

    CProgramRun program(E2eProgram("E2EPlain"));
    ASSERT_TRUE(program.Answer("Resume Setup", IDYES, kStepWait));
    HWND hDownload = program.WaitDownloadDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_TRUE(ReadWholeFile(served.LocalFile("/download/brindlemox.exe")) == ReadWholeFile(strTarget));
    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_EQ("", StoredFolder());
    const std::string strUrl = "http://127.0.0.1:" + E2eEnv("DLS_PLAIN_PORT") + "/download/brindlemox.exe";
    EXPECT_EQ(1, log.Count("Start OnResponse in CURLDownloading for " + strUrl + " statuscode = 200"));
    EXPECT_EQ(1, log.Count("IntDlgStatus 3 DestroyWindow in CURLDownloading for " + strUrl));
}
