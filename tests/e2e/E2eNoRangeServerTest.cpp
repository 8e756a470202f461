// Resuming against a server without byte ranges (python3 -m http.server, through the test build that
// asks it): the partial file of an earlier run is there and the stored folder points at it; the user
// accepts "Resume Setup", the server answers the range request with the whole file, and the download
// starts again from zero and ends byte-identical (never appended to the old bytes).
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"

using E2eNoRangeServer = CE2eTest;

TEST_F(E2eNoRangeServer, PartialFileIsReplacedFromTheStart)
{
    if (E2eEnv("DLS_PLAIN_PORT").empty())
        GTEST_SKIP() << "DLS_PLAIN_PORT is not set";
    CServedInstaller served(2 * 1024 * 1024 + 99);
    CTempFolder folder("norange");
    ASSERT_TRUE(WriteWholeFile(folder.File("brindlemox.exe"), std::string(100000, 'X')));  // an append would show
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, folder.Path()));
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2EPlain"));
    HWND hDownload = program.Resume();
    ASSERT_TRUE(hDownload);
    program.Finish(hDownload, folder.File("brindlemox.exe"), served.Content());
    const std::string strUrl = "http://127.0.0.1:" + E2eEnv("DLS_PLAIN_PORT") + kGeneralPath;
    EXPECT_EQ(1, log.Count("Start OnResponse in CURLDownloading for " + strUrl + " statuscode = 200"));
    EXPECT_EQ(1, log.Count("IntDlgStatus 3 DestroyWindow in CURLDownloading for " + strUrl));
}
