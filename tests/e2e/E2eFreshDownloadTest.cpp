// The whole journey of a first download, as a user of a Japanese Windows (code page 932) makes it:
// the program starts, the user types a folder whose name ends in a double-byte character with 0x5C
// as its second byte and clicks Start Download; the download dialog fetches the installer into that
// folder byte for byte, the support server hears of it once, Open runs the installer, and Exit ends
// the program without a shortcut question and with the stored folder gone. CTest runs this test with
// LC_ALL=ja_JP.UTF-8, Wine's way to code page 932 (tools/test makes the locale).
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

using E2eFreshDownload = CE2eTest;

TEST_F(E2eFreshDownload, DownloadsTheInstallerByteForByteRunsItAndEndsCleanly)
{
    ASSERT_EQ(932u, ::GetACP()) << "runs on a Japanese system";
    CServedInstaller served;
    CTempFolder folder("fresh-\x95\x5C");  // ends in U+8868, 0x95 0x5C in code page 932
    ASSERT_TRUE(FileExists(folder.Path())) << "Wine needs the ja_JP.UTF-8 locale";
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog();
    ASSERT_TRUE(hSetup);
    EXPECT_FALSE(ItemTextOf(hSetup, IDC_EDIT_FOLDER).empty());  // the desktop by default
    HWND hDownload = program.StartDownload(folder.Path());
    ASSERT_TRUE(hDownload);
    EXPECT_FALSE(::IsWindowVisible(hSetup));
    ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, "Download completed"));  // in the caption too
    EXPECT_EQ(folder.Path() + '\0', StoredFolder());  // the box's text as typed, while the dialog is up
    ASSERT_TRUE(ClickButton(hDownload, IDC_OPEN));
    HWND hInstaller = WaitForDialog(0, "Brindlemox installer (sample)", kStepWait);
    ASSERT_TRUE(hInstaller) << "Open did not run the installer";
    AnswerMessageBox(hInstaller, IDOK);
    // The 0x5C that ends the folder's name is half of a character, not a trailing backslash.
    program.Finish(hDownload, folder.File("brindlemox.exe"), served.Content());
    EXPECT_EQ("TLS", SupportServer().Requests().back().strMethod);
    EXPECT_FALSE(FileExists(ResumeShortcutPath()));
    // The dialog traces one transfer that ended complete.
    for (const char* pszLine :
         {"Case 3 CloseFileCtrlDlg in CURLDownloading for ", "IntDlgStatus 3 DestroyWindow in CURLDownloading for "})
        EXPECT_EQ(1, log.Count(pszLine + E2eNginxUrl())) << pszLine;
}
