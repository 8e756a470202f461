// The overwrite question of a new download, in one run of the program: No keeps the existing installer
// and leaves the Setup dialog as it was; Yes with an installer that cannot be deleted says so and also
// leaves the Setup dialog up; Yes then replaces the installer with the served file.
#include <gtest/gtest.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

class E2eOverwrite : public CE2eTest
{
};

TEST_F(E2eOverwrite, NoKeepsTheOldFileAnUndeletableOneIsReportedAndYesReplacesIt)
{
    const char kOldContent[] = "an older brindlemox.exe";
    CServedInstaller served(1024 * 1024 + 3);
    CTempFolder folder("overwrite");
    const std::string strTarget = folder.File("brindlemox.exe");
    ASSERT_TRUE(WriteWholeFile(strTarget, kOldContent));
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hSetup);

    // No: nothing happens beyond the trace line.
    EXPECT_EQ((HWND)NULL, program.StartDownload(folder.Path(), 0));  // the folder typed, Start clicked
    std::string strText;
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDNO, kStepWait, &strText));
    EXPECT_EQ("A file with the same name already exists. Would you like to overwrite the file?", strText);
    ASSERT_TRUE(WaitUntil([&] { return log.Count("End OnDownloadnow 4 in OnButtonStart") == 1; }, kStepWait));
    EXPECT_TRUE(::IsWindowVisible(hSetup));
    EXPECT_EQ(folder.Path(), ItemTextOf(hSetup, IDC_EDIT_FOLDER));
    EXPECT_EQ(kOldContent, ReadWholeFile(strTarget));
    EXPECT_EQ((HWND)NULL, program.WaitDownloadDialog(1000));
    EXPECT_EQ("", StoredFolder());

    // Yes, but the file is held open without delete sharing: the program can read it, not delete it.
    HANDLE hHold = ::CreateFileA(strTarget.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDYES, kStepWait));
    HWND hBox = program.WaitMessageBox("Download Setup", kStepWait);
    ASSERT_NE((HWND)NULL, hBox);
    EXPECT_EQ("Unable to delete the file from path\n\r" + strTarget, MessageBoxTextOf(hBox));
    EXPECT_EQ((HWND)NULL, ::GetDlgItem(hBox, IDNO));
    ASSERT_TRUE(program.Answer("Download Setup", IDOK, kStepWait));
    ASSERT_TRUE(WaitUntil([&] { return log.Count("End OnDownloadnow 3 in CNewUrlDlg") == 1; }, kStepWait));
    ::CloseHandle(hHold);
    EXPECT_TRUE(::IsWindowVisible(hSetup));
    EXPECT_EQ(kOldContent, ReadWholeFile(strTarget));
    EXPECT_EQ((HWND)NULL, program.WaitDownloadDialog(500));

    // Yes: the old file goes and the download replaces it.
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDYES, kStepWait));
    HWND hDownload = program.WaitDownloadDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_TRUE(ReadWholeFile(served.LocalFile("/download/brindlemox.exe")) == ReadWholeFile(strTarget));
    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_EQ(1, log.Count("End OnDownloadnow 4 in OnButtonStart"));
    EXPECT_EQ(1, log.Count("End OnDownloadnow 3 in CNewUrlDlg"));
}
