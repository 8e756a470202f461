// The overwrite question of a new download: No keeps the existing installer and leaves the Setup
// dialog as it was; Yes replaces it with the served file. An existing installer that cannot be
// deleted is reported and also leaves the Setup dialog up.
#include <gtest/gtest.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

namespace
{
const char kOldContent[] = "an older brindlemox.exe";

class E2eOverwrite : public CE2eTest
{
};

TEST_F(E2eOverwrite, NoKeepsTheOldFileAndYesReplacesIt)
{
    CServedInstaller served(1024 * 1024 + 3);
    CE2eFolder folder("overwrite");
    const std::string strTarget = folder.File("brindlemox.exe");
    ASSERT_TRUE(WriteWholeFile(strTarget, kOldContent));
    CDialogTraceLog log;

    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hSetup);
    SetFolderBox(hSetup, folder.Path());

    // No: nothing happens beyond the trace line.
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    std::string strQuestion;
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDNO, kStepWait, &strQuestion));
    EXPECT_EQ("A file with the same name already exists. Would you like to overwrite the file?", strQuestion);
    ASSERT_TRUE(WaitUntil([&] { return log.Count("End OnDownloadnow 4 in OnButtonStart") == 1; }, kStepWait));
    EXPECT_TRUE(::IsWindowVisible(hSetup));
    EXPECT_EQ(folder.Path(), ItemTextOf(hSetup, IDC_EDIT_FOLDER));
    EXPECT_EQ(kOldContent, ReadWholeFile(strTarget));
    EXPECT_EQ((HWND)NULL, program.WaitDownloadDialog(1000));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).bExists);

    // Yes: the old file goes and the download replaces it.
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDYES, kStepWait));
    HWND hDownload = program.WaitDownloadDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_EQ(Sha256OfFile(served.LocalFile("/download/brindlemox.exe")), Sha256OfFile(strTarget));
    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_EQ(1, log.Count("End OnDownloadnow 4 in OnButtonStart"));
    EXPECT_EQ(0, log.Count("End OnDownloadnow 3 in CNewUrlDlg"));
}

TEST_F(E2eOverwrite, AFileThatCannotBeDeletedIsReported)
{
    CE2eFolder folder("undeletable");
    const std::string strTarget = folder.File("brindlemox.exe");
    ASSERT_TRUE(WriteWholeFile(strTarget, kOldContent));
    // Held open without delete sharing by this test: the program can read it but not delete it.
    HANDLE hHold = ::CreateFileA(strTarget.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHold);
    CDialogTraceLog log;

    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hSetup);
    SetFolderBox(hSetup, folder.Path());
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDYES, kStepWait));
    HWND hBox = program.WaitMessageBox("Download Setup", kStepWait);
    ASSERT_NE((HWND)NULL, hBox);
    EXPECT_EQ("Unable to delete the file from path\n\r" + folder.Path() + "\\brindlemox.exe", MessageBoxTextOf(hBox));
    EXPECT_NE((HWND)NULL, ::GetDlgItem(hBox, IDOK));
    EXPECT_EQ((HWND)NULL, ::GetDlgItem(hBox, IDNO));
    ASSERT_TRUE(program.Answer("Download Setup", IDOK, kStepWait));
    ASSERT_TRUE(WaitUntil([&] { return log.Count("End OnDownloadnow 3 in CNewUrlDlg") == 1; }, kStepWait));
    ::CloseHandle(hHold);
    EXPECT_TRUE(::IsWindowVisible(hSetup));
    EXPECT_EQ(kOldContent, ReadWholeFile(strTarget));
    EXPECT_EQ((HWND)NULL, program.WaitDownloadDialog(500));

    ASSERT_TRUE(ClickButton(hSetup, IDCANCEL));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).bExists);
}
}  // namespace
