// Stop/Pause in the middle of a download and Start/Resume in the same run: the transfer stops with
// the user's sentence, the elapsed time stops, the partial file stays, and the resumed transfer asks
// nginx for the rest from exactly the partial length and ends byte-identical. A download left at Exit
// whose installer then changes on the server ends with the new version, never a mix.
#include <gtest/gtest.h>
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

class E2ePauseResume : public CE2eTest
{
protected:
    // After the end of a transfer: the elapsed time no longer counts, and the program has sent
    // nExpected completion notices.
    void ExpectEndedWithNotices(const CProgramRun& program, HWND hDownload, size_t nExpected)
    {
        const std::string strElapsed = ItemTextOf(hDownload, IDC_TIMEELAPSED);
        EXPECT_EQ(nExpected, SupportServer().WaitRequests(nExpected + 1, 1500, program.Pid()));
        EXPECT_EQ(strElapsed, ItemTextOf(hDownload, IDC_TIMEELAPSED)) << "the elapsed time goes on";
    }
};

TEST_F(E2ePauseResume, StopThenResumeEndsByteIdentical)
{
    const size_t cbFile = 4 * 1024 * 1024 + 321;
    CServedInstaller served(cbFile);
    CTempFolder folder("pause");
    const std::string strTarget = folder.File("brindlemox.exe");
    CNginxThrottle throttle;
    CDialogTraceLog log;

    CProgramRun program(E2eProgram("E2E"));
    HWND hDownload = program.StartDownload(folder.Path(), kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= 300 * 1024; }, kStepWait));
    EXPECT_NE("00 : 00 : 00", ItemTextOf(hDownload, IDC_TIMEELAPSED)) << "the elapsed time counts";
    ASSERT_TRUE(ClickButton(hDownload, IDC_STOP));
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Downloading stopped due to the user intervention", strStatus);
    ExpectEndedWithNotices(program, hDownload, 0);
    const LONGLONG llPaused = FileLength(strTarget);
    EXPECT_TRUE(llPaused > 0 && llPaused < (LONGLONG)cbFile);
    const std::string strServed = ReadWholeFile(served.LocalFile("/download/brindlemox.exe"));
    EXPECT_TRUE(strServed.substr(0, (size_t)llPaused) == ReadWholeFile(strTarget));  // a true prefix

    // Resume at full speed.
    throttle.Release();
    ASSERT_TRUE(ClickButton(hDownload, IDC_START));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)); }, kStepWait));
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    ExpectEndedWithNotices(program, hDownload, 1);
    EXPECT_TRUE(strServed == ReadWholeFile(strTarget));
    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_EQ("", StoredFolder());

    EXPECT_EQ(2, log.Count(TraceUrl("Start OnResponse in CURLDownloading for ", E2eNginxUrl() + " statuscode = 206")));
    EXPECT_EQ(1, log.Count(TraceUrl("Start OnStop in CURLDownloading for ")));
    EXPECT_EQ(1, log.Count(TraceUrl("Case 3 CloseFileCtrlDlg in CURLDownloading for ")));
}

TEST_F(E2ePauseResume, AResumeAfterTheServerFileChangedEndsWithTheNewVersion)
{
    const size_t cbFile = 4 * 1024 * 1024 + 321;
    CServedInstaller served(cbFile);
    CTempFolder folder("newversion");
    const std::string strTarget = folder.File("brindlemox.exe");
    CDialogTraceLog log;
    {
        CNginxThrottle throttle;
        CProgramRun program(E2eProgram("E2E"));
        HWND hDownload = program.StartDownload(folder.Path(), kStepWait);
        ASSERT_NE((HWND)NULL, hDownload);
        ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= 300 * 1024; }, kStepWait));
        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.Answer("Create Shortcut", IDNO, kStepWait));
        ASSERT_TRUE(program.WaitExit(kStepWait));
    }
    const LONGLONG llPartial = FileLength(strTarget);
    ASSERT_GT(llPartial, 0);

    // The new version: other bytes, a later modification time (and so another ETag).
    const std::string strNew = MakeTestContent(cbFile, 99);
    const std::string strServed = served.LocalFile("/download/brindlemox.exe");
    ASSERT_TRUE(WriteWholeFile(strServed, strNew));
    HANDLE hServed = ::CreateFileA(strServed.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t = {{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += 3600ull * 10000000ull;
    ft = {t.LowPart, t.HighPart};
    ASSERT_TRUE(::SetFileTime(hServed, NULL, NULL, &ft));
    ::CloseHandle(hServed);

    CProgramRun program(E2eProgram("E2E"));
    ASSERT_TRUE(program.Answer("Resume Setup", IDYES, kStepWait));
    HWND hDownload = program.WaitDownloadDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_TRUE(strNew == ReadWholeFile(strTarget));
    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    // The resume asked with If-Range, and nginx answered with the whole new file.
    EXPECT_EQ(1, log.Count(TraceUrl("Start OnResponse in CURLDownloading for ", E2eNginxUrl() + " statuscode = 200")));
}
