// The overwrite question of a new download, in one run of the program: No keeps the existing installer
// and leaves the Setup dialog as it was; Yes with an installer that cannot be deleted says so and also
// leaves the Setup dialog up; Yes then replaces the installer with the served file.
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

using E2eOverwrite = CE2eTest;

TEST_F(E2eOverwrite, NoKeepsTheOldFileAnUndeletableOneIsReportedAndYesReplacesIt)
{
    const char kOldContent[] = "an older brindlemox.exe";
    CServedInstaller served;
    CTempFolder folder("overwrite");
    const std::string strTarget = folder.File("brindlemox.exe");
    ASSERT_TRUE(WriteWholeFile(strTarget, kOldContent));
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog();
    ASSERT_TRUE(hSetup);
    // No, then Yes while the file is held open without delete sharing (the program can read it, not
    // delete it): nothing happens beyond a trace line (and, for Yes, a message).
    HANDLE hHold = INVALID_HANDLE_VALUE;
    for (int nAnswer : {IDNO, IDYES})
    {
        if (nAnswer == IDNO)
            EXPECT_EQ((HWND)NULL, program.StartDownload(folder.Path(), 0));  // the folder typed, Start clicked
        else
        {
            hHold = ::CreateFileA(strTarget.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
            ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
        }
        ASSERT_TRUE(program.Answer("Overwrite Existing File?", nAnswer,
                                   "A file with the same name already exists. Would you like to overwrite the file?"));
        if (nAnswer == IDYES)  // an OK box (a Yes/No one has no OK to answer)
            ASSERT_TRUE(program.Answer("Download Setup", IDOK, "Unable to delete the file from path\n\r" + strTarget));
        const char* pszTrace = nAnswer == IDNO ? "End OnDownloadnow 4 in OnButtonStart" : "End OnDownloadnow 3 in CNewUrlDlg";
        ASSERT_TRUE(WaitUntil([&] { return log.Count(pszTrace) == 1; }, kStepWait)) << pszTrace;
        EXPECT_TRUE(::IsWindowVisible(hSetup));
        EXPECT_EQ(folder.Path(), ItemTextOf(hSetup, IDC_EDIT_FOLDER));
        EXPECT_EQ(kOldContent, ReadWholeFile(strTarget));
        EXPECT_EQ((HWND)NULL, program.WaitDownloadDialog(1000));
        EXPECT_EQ("", StoredFolder());
    }
    ::CloseHandle(hHold);

    // Yes: the old file goes and the download replaces it.
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    ASSERT_TRUE(program.Answer("Overwrite Existing File?", IDYES));
    HWND hDownload = program.WaitDownloadDialog();
    ASSERT_TRUE(hDownload);
    program.Finish(hDownload, strTarget, served.Content());
    EXPECT_EQ(1, log.Count("End OnDownloadnow 4 in OnButtonStart"));
    EXPECT_EQ(1, log.Count("End OnDownloadnow 3 in CNewUrlDlg"));
}
