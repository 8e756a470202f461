// The whole journey of a first download, as a user of a Japanese Windows (code page 932) makes it:
// the program starts, the user types a folder whose name ends in a double-byte character with 0x5C
// as its second byte and clicks Start Download; the download dialog fetches the installer into that
// folder byte for byte, the support server hears of it once, Open runs the installer, and Exit ends
// the program without a shortcut question and with the stored folder gone. CTest runs this test with
// LC_ALL=ja_JP.UTF-8, Wine's way to code page 932 (tools/test makes the locale).
#include <gtest/gtest.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

class E2eFreshDownload : public CE2eTest
{
};

TEST_F(E2eFreshDownload, DownloadsTheInstallerByteForByteRunsItAndEndsCleanly)
{
    ASSERT_EQ(932u, ::GetACP()) << "runs on a Japanese system";
    CServedInstaller served(3 * 1024 * 1024 + 12345);
    CTempFolder folder("fresh-\x95\x5C");  // ends in U+8868, 0x95 0x5C in code page 932
    ASSERT_TRUE(FileExists(folder.Path())) << "Wine needs the ja_JP.UTF-8 locale";
    CDialogTraceLog log;

    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hSetup);
    EXPECT_FALSE(ItemTextOf(hSetup, IDC_EDIT_FOLDER).empty());  // the desktop by default
    HWND hDownload = program.StartDownload(folder.Path(), kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    EXPECT_FALSE(::IsWindowVisible(hSetup));
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_EQ("Download completed", WindowTextOf(hDownload));  // the caption
    EXPECT_EQ(folder.Path() + '\0', StoredFolder());  // the box's text as typed, while the dialog is up
    // The 0x5C that ends the folder's name is half of a character, not a trailing backslash.
    const std::string strTarget = folder.File("brindlemox.exe");
    EXPECT_TRUE(ReadWholeFile(served.LocalFile("/download/brindlemox.exe")) == ReadWholeFile(strTarget));
    ASSERT_EQ(1u, SupportServer().WaitRequests(1, kStepWait, program.Pid())) << "no completion notice";
    EXPECT_EQ("TLS", SupportServer().Requests().back().strMethod);

    // Open runs the downloaded installer.
    ASSERT_TRUE(ClickButton(hDownload, IDC_OPEN));
    HWND hInstaller = WaitAnyDialog("Brindlemox installer (sample)", kStepWait);
    ASSERT_NE((HWND)NULL, hInstaller) << "Open did not run the installer";
    AnswerMessageBox(hInstaller, IDOK);

    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_EQ("", StoredFolder());
    EXPECT_FALSE(FileExists(ResumeShortcutPath()));
    EXPECT_EQ(1u, SupportServer().WaitRequests(2, 0, program.Pid())) << "one completion notice";

    // One transfer of the general installer (Wine's browser component is 6.0), from byte 0 on.
    for (const std::string& strLine :
         {TraceUrl("Start OnStart in CURLDownloading for "), std::string("Start WorkerThreadProc in CURLDownloading"),
          TraceUrl("Start OnResponse in CURLDownloading for ", E2eNginxUrl() + " statuscode = 206"),
          TraceUrl("Case 3 CloseFileCtrlDlg in CURLDownloading for "),
          TraceUrl("IntDlgStatus 3 DestroyWindow in CURLDownloading for ")})
        EXPECT_EQ(1, log.Count(strLine)) << strLine;
}
