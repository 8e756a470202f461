// The whole journey of a first download, as a user of a Japanese Windows (code page 932) makes it:
// the program (test build, nginx on loopback) starts, the user types a folder whose name ends in a
// double-byte character with 0x5C as its second byte and clicks Start Download; the Setup dialog
// goes, the download dialog fetches the installer into that folder, byte-identical to the served
// file; Exit ends the program without a shortcut question and the stored folder is gone. CTest runs
// this test with LC_ALL=ja_JP.UTF-8, Wine's way to code page 932 (tools/test makes the locale).
#include <gtest/gtest.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

namespace
{
class E2eFreshDownload : public CE2eTest
{
};

TEST_F(E2eFreshDownload, DownloadsTheInstallerByteForByteAndEndsCleanly)
{
    ASSERT_EQ(932u, ::GetACP()) << "runs on a Japanese system";
    CServedInstaller served(3 * 1024 * 1024 + 12345);
    CE2eFolder folder("fresh-\x95\x5C");  // ends in U+8868, 0x95 0x5C in code page 932
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(folder.Path().c_str())) << "Wine needs the ja_JP.UTF-8 locale";
    CDialogTraceLog log;
    CNginxLog nginx;

    CProgramRun program(E2eProgram("E2E"));
    ASSERT_TRUE(program.Started());
    HWND hSetup = program.WaitSetupDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hSetup);
    EXPECT_FALSE(ItemTextOf(hSetup, IDC_EDIT_FOLDER).empty());  // the desktop by default
    SetFolderBox(hSetup, folder.Path());
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));

    HWND hDownload = program.WaitDownloadDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    EXPECT_FALSE(::IsWindowVisible(hSetup));
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_OPEN)));

    // The stored folder is the box's text as typed, while the download dialog is up.
    CRegistryData stored = ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    EXPECT_EQ(folder.Path() + '\0', stored.data);

    // The 0x5C that ends the folder's name is half of a character, not a trailing backslash.
    const std::string strTarget = folder.File("brindlemox.exe");
    const std::string strServed = served.LocalFile("/download/brindlemox.exe");
    EXPECT_EQ(Sha256OfFile(strServed), Sha256OfFile(strTarget));
    EXPECT_TRUE(ReadWholeFile(strServed) == ReadWholeFile(strTarget));

    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).bExists);
    EXPECT_FALSE(FileExists(ResumeShortcutPath()));

    // The server saw one request for the general installer (Wine's browser component is 6.0),
    // asking for everything from byte 0 on.
    std::vector<CNginxRequest> requests = nginx.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("/download/brindlemox.exe", requests[0].strPath);
    EXPECT_EQ("bytes=0-", requests[0].strRange);
    EXPECT_EQ(206, requests[0].nStatus);

    const std::string strUrl = "http://127.0.0.1:" + E2eEnv("DLS_NGINX_PORT") + "/download/brindlemox.exe";
    for (const std::string& strLine :
         {"Start OnStart in CURLDownloading for " + strUrl, "pWorkerThread not null OnStart in CURLDownloading for " + strUrl,
          std::string("Start WorkerThreadProc in CURLDownloading"), "Start HttpReadFromServer in CURLDownloading for " + strUrl,
          "Start OnResponse in CURLDownloading for " + strUrl + " statuscode = 206",
          "Case 3 CloseFileCtrlDlg in CURLDownloading for " + strUrl, "OnExit called in CURLDownloadingfor" + strUrl,
          "IntDlgStatus 3 DestroyWindow in CURLDownloading for " + strUrl})
        EXPECT_EQ(1, log.Count(strLine)) << strLine;
    EXPECT_EQ(0, log.Count("End OnDownloadnow 4 in OnButtonStart"));
}
}  // namespace
