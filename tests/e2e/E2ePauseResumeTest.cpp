// A connection that nginx drops mid-transfer is resumed by itself. Stop/Pause in the middle of a
// download and Start/Resume in the same run: the transfer stops with
// the user's sentence, the elapsed time stops, the partial file stays, and the resumed transfer asks
// nginx for the rest from exactly the partial length and ends byte-identical. A completed download
// fetched again and stopped is an unfinished download like any other. A download left with
// the close box whose installer then changes on the server ends with the new version, never a mix.
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

using E2ePauseResume = CE2eTest;

TEST_F(E2ePauseResume, StopThenResumeEndsByteIdentical)
{
    CServedInstaller served;
    CTempFolder folder("pause");
    const std::string strTarget = folder.File("brindlemox.exe"), strServed = served.Content();
    CNginxThrottle throttle;
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2E"));
    HWND hDownload = program.StartDownload(folder.Path());
    ASSERT_TRUE(hDownload);
    ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= 300 * 1024; }, kStepWait));
    EXPECT_NE("00 : 00 : 00", ItemTextOf(hDownload, IDC_TIMEELAPSED)) << "the elapsed time counts";
    WriteWholeFile(E2eEnv("DLS_WWW_WIN") + "\\.drop", "on");  // tools/test kills nginx's worker
    // The cut is seen as interrupted, or (a reset) by the watchdog: either way resumed after 2 s.
    auto resumes = [&] {
        int n = 0;
        for (const char* pszCode : {"0x800C0008", "0x800C000B"})
            n += log.Count("Automatic resume 1 of 5 in 2000 ms after " + std::string(pszCode) + " (status 206) for " +
                           E2eNginxUrl());
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return resumes() == 1; }, kStepWait));
    const LONGLONG llDropped = FileLength(strTarget);
    ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= llDropped + 300 * 1024; }, kStepWait));
    ASSERT_TRUE(ClickButton(hDownload, IDC_STOP));
    ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, "Downloading stopped due to the user intervention"));
    const LONGLONG llPaused = FileLength(strTarget);
    EXPECT_TRUE(llPaused > 0 && llPaused < (LONGLONG)strServed.size());
    EXPECT_TRUE(strServed.substr(0, (size_t)llPaused) == ReadWholeFile(strTarget));  // a true prefix
    // Resume at full speed.
    throttle.Release();
    ASSERT_TRUE(ClickButton(hDownload, IDC_START));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)); }, kStepWait));
    program.Finish(hDownload, strTarget, strServed);
    EXPECT_EQ(3, log.Count("Start OnResponse in CURLDownloading for " + E2eNginxUrl() + " statuscode = 206"));
    EXPECT_EQ(1, log.Count("Start OnStop in CURLDownloading for " + E2eNginxUrl()));
}

TEST_F(E2ePauseResume, AResumeAfterTheServerFileChangedEndsWithTheNewVersion)
{
    CServedInstaller served;
    CTempFolder folder("newversion");
    const std::string strTarget = folder.File("brindlemox.exe");
    CDialogTraceLog log;
    {
        CNginxThrottle throttle;
        CProgramRun program(E2eProgram("E2E"));
        HWND hDownload = program.StartDownload(folder.Path());
        ASSERT_TRUE(hDownload);
        ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= 300 * 1024; }, kStepWait));
        // The close box ends the program mid-transfer, at once and without a crash.
        ::PostMessageA(hDownload, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(program.Answer("Do you want to abort?", IDYES));
        ASSERT_TRUE(program.Answer("Create Shortcut", IDNO));
        DWORD dwExitCode = 0;
        ASSERT_TRUE(program.WaitExit(5000, &dwExitCode));
        EXPECT_LT(dwExitCode, 0xC0000000u) << "ended by an exception";
    }
    ASSERT_GT(FileLength(strTarget), 0);
    // The new version: other bytes (signed too), and (written more than a second after the first
    // version) a later modification time and so another ETag.
    const std::string strNew = served.NewVersion();
    ASSERT_EQ(kServedSize, strNew.size());
    ASSERT_TRUE(WriteWholeFile(served.LocalFile(), strNew));
    CProgramRun program(E2eProgram("E2E"));
    HWND hDownload = program.Resume();
    ASSERT_TRUE(hDownload);
    program.Finish(hDownload, strTarget, strNew);
    // The resume asked with If-Range, and nginx answered with the whole new file.
    EXPECT_EQ(1, log.Count("Start OnResponse in CURLDownloading for " + E2eNginxUrl() + " statuscode = 200"));
}

TEST_F(E2ePauseResume, ARestartedDownloadThatIsStoppedCanBeResumedAtTheNextStart)
{
    CServedInstaller served;
    CTempFolder folder("restart");
    const std::string strTarget = folder.File("brindlemox.exe"), strServed = served.Content();
    {
        CProgramRun program(E2eProgram("E2E"));
        HWND hDownload = program.StartDownload(folder.Path());
        ASSERT_TRUE(hDownload);
        ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, "Download completed"));
        CNginxThrottle throttle;
        ASSERT_TRUE(ClickButton(hDownload, IDC_START));
        ASSERT_TRUE(program.Answer("Confirm restarting download", IDYES));
        ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= 300 * 1024 && FileLength(strTarget) < 1000000; },
                              kStepWait));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_OPEN))) << "Open would run a partial file";
        ASSERT_TRUE(ClickButton(hDownload, IDC_STOP));
        ASSERT_TRUE(WaitUntil(
            [&] { return ItemTextOf(hDownload, IDC_SERVERSTATUS) == "Downloading stopped due to the user intervention"; },
            kStepWait));
        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.Answer("Create Shortcut", IDNO));
        ASSERT_TRUE(program.WaitExit(kStepWait));
    }
    const LONGLONG llStopped = FileLength(strTarget);
    EXPECT_TRUE(llStopped > 0 && llStopped < (LONGLONG)strServed.size());
    CDialogTraceLog log;
    CProgramRun program(E2eProgram("E2E"));
    HWND hDownload = program.Resume();
    ASSERT_TRUE(hDownload);
    program.Finish(hDownload, strTarget, strServed);
    EXPECT_EQ(1, log.Count("Start OnResponse in CURLDownloading for " + E2eNginxUrl() + " statuscode = 206"));
}
