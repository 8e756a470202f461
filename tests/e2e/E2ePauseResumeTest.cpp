// Stop/Pause in the middle of a download and Start/Resume in the same run: the transfer stops with
// the user's sentence, the partial file stays, and the resumed transfer asks nginx for the rest from
// exactly the partial length and ends byte-identical. nginx is throttled while the pause is made.
#include "tests/support/ScriptedHttpServer.h"  // winsock2.h before windows.h
#include <gtest/gtest.h>
#include <utility>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

namespace
{
class E2ePauseResume : public CE2eTest
{
};

LONGLONG FileLength(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

TEST_F(E2ePauseResume, StopThenResumeEndsByteIdentical)
{
    const size_t cbFile = 4 * 1024 * 1024 + 321;
    CServedInstaller served(cbFile);
    CE2eFolder folder("pause");
    const std::string strTarget = folder.File("brindlemox.exe");
    CNginxThrottle throttle;
    CDialogTraceLog log;
    CNginxLog nginx;

    CProgramRun program(E2eProgram("E2E"));
    HWND hSetup = program.WaitSetupDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hSetup);
    SetFolderBox(hSetup, folder.Path());
    ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
    HWND hDownload = program.WaitDownloadDialog(kStepWait);
    ASSERT_NE((HWND)NULL, hDownload);

    // Some data has arrived: pause.
    ASSERT_TRUE(WaitUntil([&] { return FileLength(strTarget) >= 300 * 1024; }, kStepWait));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_STOP)) != FALSE; }, kStepWait));
    ASSERT_TRUE(ClickButton(hDownload, IDC_STOP));
    std::string strStatus;
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Downloading stopped due to the user intervention", strStatus);
    const LONGLONG llPaused = FileLength(strTarget);
    EXPECT_GT(llPaused, 0);
    EXPECT_LT(llPaused, (LONGLONG)cbFile);
    const std::string strServed = ReadWholeFile(served.LocalFile("/download/brindlemox.exe"));
    EXPECT_TRUE(strServed.substr(0, (size_t)llPaused) == ReadWholeFile(strTarget));  // a true prefix

    // Resume at full speed.
    throttle.Release();
    ASSERT_TRUE(ClickButton(hDownload, IDC_START));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)); }, kStepWait));
    ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
    EXPECT_EQ("Download completed", strStatus);
    EXPECT_EQ(Sha256Of(strServed), Sha256OfFile(strTarget));

    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(program.WaitExit(kStepWait));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).bExists);

    // nginx logs a request when its connection ends, so the stopped one may come late and second.
    std::vector<CNginxRequest> requests;
    WaitUntil(
        [&] {
            requests = nginx.Requests();
            return requests.size() >= 2;
        },
        kStepWait);
    ASSERT_EQ(2u, requests.size());
    if (requests[0].strRange != "bytes=0-")
        std::swap(requests[0], requests[1]);
    EXPECT_EQ("bytes=0-", requests[0].strRange);
    EXPECT_EQ("bytes=" + std::to_string(llPaused) + "-", requests[1].strRange);
    EXPECT_EQ(206, requests[1].nStatus);

    const std::string strUrl = "http://127.0.0.1:" + E2eEnv("DLS_NGINX_PORT") + "/download/brindlemox.exe";
    EXPECT_EQ(2, log.Count("Start OnStart in CURLDownloading for " + strUrl));
    EXPECT_EQ(1, log.Count("Start OnStop in CURLDownloading for " + strUrl));
    EXPECT_EQ(1, log.Count("Case 3 CloseFileCtrlDlg in CURLDownloading for " + strUrl));
    EXPECT_EQ(1, log.Count("IntDlgStatus 3 DestroyWindow in CURLDownloading for " + strUrl));
}

// A download left unfinished at Exit; the vendor then publishes a new installer of the same size.
// The next start resumes with If-Range: nginx answers with the whole new file, never a mix.
TEST_F(E2ePauseResume, AResumeAfterTheServerFileChangedEndsWithTheNewVersion)
{
    const size_t cbFile = 4 * 1024 * 1024 + 321;
    CServedInstaller served(cbFile);
    CE2eFolder folder("newversion");
    const std::string strTarget = folder.File("brindlemox.exe");
    CNginxLog nginx;
    {
        CNginxThrottle throttle;
        CProgramRun program(E2eProgram("E2E"));
        HWND hSetup = program.WaitSetupDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hSetup);
        SetFolderBox(hSetup, folder.Path());
        ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
        HWND hDownload = program.WaitDownloadDialog(kStepWait);
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
    {
        CProgramRun program(E2eProgram("E2E"));
        ASSERT_TRUE(program.Answer("Resume Setup", IDYES, kStepWait));
        HWND hDownload = program.WaitDownloadDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hDownload);
        std::string strStatus;
        ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
        EXPECT_EQ("Download completed", strStatus);
        EXPECT_EQ(Sha256Of(strNew), Sha256OfFile(strTarget));
        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.WaitExit(kStepWait));
    }
    std::vector<CNginxRequest> requests;
    WaitUntil([&] { return (requests = nginx.Requests()).size() >= 2; }, kStepWait);
    ASSERT_EQ(2u, requests.size());
    const CNginxRequest& resumed = requests[0].strRange == "bytes=0-" ? requests[1] : requests[0];
    EXPECT_EQ("bytes=" + std::to_string(llPartial) + "-", resumed.strRange);
    EXPECT_EQ(200, resumed.nStatus);  // the whole new file
}
}  // namespace
