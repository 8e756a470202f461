// The download dialog on its own thread, driven with real messages: the launch's early start,
// Start/Resume, Stop/Pause, Exit, the close box, Esc and IDOK, the end of a transfer, the restart
// after a completed download, and every end of the dialog with its status, trace lines, stored
// folder, shortcut question and the WM_CLOSE to the Setup dialog. A scripted worker stands in for
// the transfer engine and ends transfers the way the engine does.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <memory>
#include <string>
#include "tests/support/TestThread.h"
#include "app/LastSetupPath.h"
#include "download/CURLDownloading.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/MessageBoxAnswerer.h"

namespace
{
const DWORD kWait = 10000;  // bounded waits: a hang fails the test instead of blocking the run
const char kStopped[] = "Downloading stopped due to the user intervention";
const char kConnecting[] = "Please wait while connecting.......";

// The stored folder (HKLM LASTSETUPPATH): read, written and put back as it was.
bool ReadLastSetupPath(std::string* pstrValue)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    char szValue[MAX_PATH] = "";
    DWORD cbValue = sizeof(szValue) - 1;
    bool bFound = ::RegQueryValueExA(hKey, LASTSETUP_VALUE, NULL, NULL, (BYTE*)szValue, &cbValue) == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    if (bFound && pstrValue != nullptr)
        *pstrValue = szValue;
    return bFound;
}

void WriteLastSetupPath(const std::string& strValue)
{
    HKEY hKey = NULL;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) ==
        ERROR_SUCCESS)
    {
        ::RegSetValueExA(hKey, LASTSETUP_VALUE, 0, REG_SZ, (const BYTE*)strValue.c_str(), (DWORD)strValue.size() + 1);
        ::RegCloseKey(hKey);
    }
}

std::string DesktopShortcutPath()
{
    char szDesktop[MAX_PATH] = "";
    HKEY hKey = NULL;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      &hKey) == ERROR_SUCCESS)
    {
        char szValue[MAX_PATH] = "";
        DWORD cbValue = sizeof(szValue) - 1;
        if (::RegQueryValueExA(hKey, "Desktop", NULL, NULL, (BYTE*)szValue, &cbValue) == ERROR_SUCCESS)
            ::ExpandEnvironmentStringsA(szValue, szDesktop, MAX_PATH);
        ::RegCloseKey(hKey);
    }
    return std::string(szDesktop) + "\\Resume Brindlemox Download.lnk";
}

// The window with the keyboard focus on the thread of hWnd.
HWND FocusOf(HWND hWnd)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, NULL), &info) ? info.hwndFocus : NULL;
}

class DownloadDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bHadStoredFolder = ReadLastSetupPath(&m_strStoredFolder);
        m_strShortcut = DesktopShortcutPath();
        m_bHadShortcut = FileExists(m_strShortcut);
    }

    void TearDown() override
    {
        if (m_run)
        {
            EXPECT_TRUE(m_run->EndNow(kWait));
        }
        EXPECT_TRUE(m_script.JoinAll(kWait));
        m_run.reset();
        if (m_bHadStoredFolder)
            WriteLastSetupPath(m_strStoredFolder);
        else
            RemoveLastSetupPath();
        if (!m_bHadShortcut)
            ::DeleteFileA(m_strShortcut.c_str());
    }

    CDownloadDialogRun& Open(bool bStartLikeTheLaunch)
    {
        m_run.reset(new CDownloadDialogRun(m_files.m_strUrl, m_files.m_strFilePath, &m_script));
        EXPECT_TRUE(m_run->Launch(bStartLikeTheLaunch));
        EXPECT_TRUE(m_run->WaitUp(kWait));
        return *m_run;
    }

    // Text followed by this test's address, as the dialog writes its trace lines.
    std::string U(const char* pszText) const { return pszText + m_files.m_strUrl; }
    std::vector<std::string> UrlLines() const { return m_log.TextsEndingWith(m_files.m_strUrl); }

    // Lets a running transfer end completely, as the engine reports it.
    void CompleteTransfer(CDownloadDialogRun& run)
    {
        ASSERT_TRUE(m_script.Post(WM_FAKE_COMPLETE));
        ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.Text(IDC_SERVERSTATUS) == "Download completed"; },
                              kWait));
    }

    bool BindingHeld(CDownloadDialogRun& run)
    {
        ::EnterCriticalSection(&run.Dlg().m_csShared);
        bool bHeld = run.Dlg().m_pBinding != nullptr;
        ::LeaveCriticalSection(&run.Dlg().m_csShared);
        return bHeld;
    }

    CMessageBoxAnswerer m_boxes;  // outlives the dialog: its last question is answered too
    CSetupWindowStandIn m_setup;
    CFakeWorkerScript m_script;
    CDialogTestFiles m_files{"dialog"};
    CDialogTraceLog m_log;
    std::unique_ptr<CDownloadDialogRun> m_run;
    bool m_bHadStoredFolder = false;
    std::string m_strStoredFolder;
    std::string m_strShortcut;
    bool m_bHadShortcut = false;
};
}  // namespace

TEST_F(DownloadDialogTest, TheDialogOpensWithItsCaptionControlsIconAndRoundedTop)
{
    g_fDownloadComplete = TRUE;  // left over from an earlier dialog: cleared when the dialog opens
    CDownloadDialogRun& run = Open(false);
    HWND hDlg = run.Hwnd();

    EXPECT_FALSE(g_fDownloadComplete.load());
    EXPECT_STREQ("Download from brindlemox.exe", run.Dlg().m_captionPainter.GetTitle());
    EXPECT_EQ(m_files.m_strFilePath, run.Text(IDC_FILEPATH));
    EXPECT_TRUE(run.Enabled(IDC_START));
    EXPECT_FALSE(run.Enabled(IDC_STOP));
    EXPECT_FALSE(run.Enabled(IDC_OPEN));
    EXPECT_TRUE(run.Enabled(IDC_EXIT));
    EXPECT_EQ("00 : 00 : 00", run.Text(IDC_TIMEELAPSED));
    EXPECT_EQ(0, run.Dlg().IntDlgStatus.load());
    PBRANGE range = {};
    ::SendMessageA(run.Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, (LPARAM)&range);
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(100, range.iHigh);
    EXPECT_EQ((LRESULT)run.Dlg().m_hIcon, ::SendMessageA(hDlg, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ((LRESULT)run.Dlg().m_hIcon, ::SendMessageA(hDlg, WM_GETICON, ICON_SMALL, 0));

    // The region is the rounded rectangle (0, 0)-(W, H + 12) with 24-pixel corner ellipses: it
    // reaches 12 pixels below the window, so only the top corners are cut.
    RECT rcWindow;
    ::GetWindowRect(hDlg, &rcWindow);
    const int cx = rcWindow.right - rcWindow.left;
    const int cy = rcWindow.bottom - rcWindow.top;
    HRGN hRgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, ::GetWindowRgn(hDlg, hRgn));
    HRGN hExpected = ::CreateRoundRectRgn(0, 0, cx, cy + 12, 24, 24);
    HRGN hDifference = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(NULLREGION, ::CombineRgn(hDifference, hRgn, hExpected, RGN_XOR));
    ::DeleteObject(hDifference);
    ::DeleteObject(hExpected);
    EXPECT_FALSE(::PtInRegion(hRgn, 0, 0));
    EXPECT_FALSE(::PtInRegion(hRgn, cx - 2, 0));
    EXPECT_TRUE(::PtInRegion(hRgn, cx / 2, 0));
    EXPECT_TRUE(::PtInRegion(hRgn, 12, 0));
    EXPECT_TRUE(::PtInRegion(hRgn, 0, cy - 1));
    EXPECT_TRUE(::PtInRegion(hRgn, cx - 2, cy - 1));
    ::DeleteObject(hRgn);

    std::vector<std::string> texts = m_log.Texts();
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Constructor in CURLDownloading"));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Start OnInitDialog in CURLDownloading"));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "End OnInitDialog in CURLDownloading"));
}

TEST_F(DownloadDialogTest, TheClientAreaIsPaintedLightBlueWithADarkerBandAtTopAndRight)
{
    CDownloadDialogRun& run = Open(false);
    HWND hDlg = run.Hwnd();
    RECT rcClient;
    ::GetClientRect(hDlg, &rcClient);
    ::RedrawWindow(hDlg, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC hdc = ::GetDC(hDlg);
    const COLORREF crFrame = RGB(127, 144, 192);
    const COLORREF crBack = RGB(175, 199, 239);
    // Below the lower group box, at the left edge: background; the top 3 rows and the last column:
    // the frame colour.
    EXPECT_TRUE(WaitUntil([&] { return ::GetPixel(hdc, 3, rcClient.bottom - 3) == crBack; }, kWait));
    EXPECT_EQ(crFrame, ::GetPixel(hdc, rcClient.right / 2, 0));
    EXPECT_EQ(crFrame, ::GetPixel(hdc, rcClient.right / 2, 2));
    EXPECT_EQ(crBack, ::GetPixel(hdc, 3, 3));
    EXPECT_EQ(crFrame, ::GetPixel(hdc, rcClient.right - 1, rcClient.bottom - 3));
    ::ReleaseDC(hDlg, hdc);
}

TEST_F(DownloadDialogTest, TheLaunchsStartRunsExactlyOnceAsSoonAsTheDialogIsUp)
{
    // The launch calls OnStart on its own thread right after creating the download thread; the
    // window may or may not exist at that moment. Each way, exactly one start happens, on the
    // dialog's thread, as a click on Start/Resume would.
    for (int nRound = 0; nRound < 12; ++nRound)
    {
        SCOPED_TRACE(nRound);
        CDialogTestFiles files("launch");
        CFakeWorkerScript script;
        CDialogTraceLog log;
        auto run = std::make_unique<CDownloadDialogRun>(files.m_strUrl, files.m_strFilePath, &script);
        switch (nRound % 3)
        {
        case 0:  // before the thread even exists
            run->Dlg().OnStart();
            ASSERT_TRUE(run->Launch(false));
            break;
        case 1:  // right after CreateThread, as the launch does
            ASSERT_TRUE(run->Launch(true));
            break;
        default:  // once the window is up
            ASSERT_TRUE(run->Launch(false));
            ASSERT_TRUE(run->WaitUp(kWait));
            run->Dlg().OnStart();
            break;
        }
        ASSERT_TRUE(run->WaitUp(kWait));
        ASSERT_TRUE(script.WaitStarted(1, kWait));
        auto upTo = [&](const char* pszText) { return pszText + files.m_strUrl; };
        ASSERT_TRUE(WaitUntil([&] { return log.Count(upTo("End OnStart 2 in CURLDownloading for ")) == 1; }, kWait));
        ::Sleep(100);  // a second start would have come by now

        EXPECT_EQ(1, script.nStarted.load());
        std::vector<std::string> lines = log.TextsEndingWith(files.m_strUrl);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(upTo("Start OnStart in CURLDownloading for "), lines[0]);
        EXPECT_EQ(upTo("pWorkerThread not null OnStart in CURLDownloading for "), lines[1]);
        EXPECT_EQ(upTo("End OnStart 2 in CURLDownloading for "), lines[2]);
        EXPECT_EQ(1, run->Dlg().IntDlgStatus.load());
        EXPECT_FALSE(run->Dlg().g_fAbortDownload.load());
        EXPECT_FALSE(run->Enabled(IDC_START));
        EXPECT_TRUE(run->Enabled(IDC_STOP));
        EXPECT_EQ(run->Item(IDC_STOP), FocusOf(run->Hwnd()));
        EXPECT_EQ(kConnecting, run->Text(IDC_SERVERSTATUS));

        run->Click(IDC_EXIT);
        ASSERT_TRUE(run->WaitEnded(kWait));
        ASSERT_TRUE(script.JoinAll(kWait));
        run.reset();
        EXPECT_EQ(0, script.nAbortRequests.load());  // Exit does not abort the transfer
    }
}

TEST_F(DownloadDialogTest, ExitAfterACompletedDownloadRemovesTheStoredFolderAndAsksNothing)
{
    WriteLastSetupPath("C:\\dialogtest");
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));
    CompleteTransfer(run);

    EXPECT_EQ("Download completed", run.WindowText());
    EXPECT_TRUE(run.Enabled(IDC_OPEN));
    EXPECT_FALSE(run.Enabled(IDC_STOP));
    EXPECT_TRUE(run.Enabled(IDC_EXIT));
    EXPECT_EQ(3, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ(1, m_log.Count(U("Case 3 CloseFileCtrlDlg in CURLDownloading for ")));

    run.Click(IDC_EXIT);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ(6, run.Dlg().IntDlgStatus.load());
    EXPECT_FALSE(ReadLastSetupPath(nullptr));
    EXPECT_EQ(0, m_boxes.Count("Create Shortcut"));
    EXPECT_TRUE(m_boxes.Captions().empty());
    EXPECT_EQ(1, m_setup.CloseCount());
    EXPECT_STREQ("Download completed", run.Dlg().GetServerStatus());

    std::vector<std::string> lines = UrlLines();
    const std::vector<std::string> tail = {
        U("OnExit called in CURLDownloadingfor"),
        U("Start DestroyWindow in CURLDownloading for "),
        U("IntDlgStatus 3 DestroyWindow in CURLDownloading for "),
    };
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(tail, std::vector<std::string>(lines.end() - tail.size(), lines.end()));
}

TEST_F(DownloadDialogTest, CloseBoxYesAbortsOnTheWorkerAndOffersTheResumeShortcut)
{
    WriteLastSetupPath("C:\\dialogtest");
    m_boxes.Answer("Do you want to abort?", IDYES);
    m_boxes.Answer("Create Shortcut", IDYES);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));
    ASSERT_TRUE(WaitUntil([&] { return BindingHeld(run); }, kWait));

    ::PostMessageA(run.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.WaitEnded(kWait));
    ASSERT_TRUE(WaitUntil([&] { return m_script.nEnded.load() == 1; }, kWait));

    ASSERT_EQ(1, m_boxes.Count("Do you want to abort?"));
    EXPECT_EQ("Are you sure you want to abort the download from \r\n" + m_files.m_strUrl,
              m_boxes.Texts("Do you want to abort?")[0]);
    ASSERT_EQ(1, m_boxes.Count("Create Shortcut"));
    EXPECT_EQ("Download has not completed successfully. Do you wish to create a shortcut on the desktop to resume "
              "it later?",
              m_boxes.Texts("Create Shortcut")[0]);

    // The binding was aborted once, on the worker's own thread, and its reference given up once.
    EXPECT_EQ(1, m_script.nAbortRequests.load());
    EXPECT_EQ(1, m_script.nAbortsOnWorkerThread.load());
    EXPECT_EQ(0, m_script.nAbortsElsewhere.load());
    EXPECT_EQ(0, m_script.nBindingRefs.load());

    EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
    EXPECT_TRUE(run.Dlg().g_fAbortDownload.load());
    EXPECT_STREQ(kStopped, run.Dlg().GetServerStatus());
    EXPECT_EQ(1, m_setup.CloseCount());
    std::string strStored;
    EXPECT_TRUE(ReadLastSetupPath(&strStored));
    EXPECT_EQ("C:\\dialogtest", strStored);

    std::string strTarget, strDescription;
    ASSERT_TRUE(ReadShellLink(m_strShortcut, &strTarget, &strDescription));
    char szProgram[MAX_PATH] = "";
    ::GetModuleFileNameA(NULL, szProgram, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA(szProgram, strTarget.c_str())) << strTarget;
    EXPECT_EQ("DownloadSetup", strDescription);

    std::vector<std::string> lines = UrlLines();
    const std::vector<std::string> expected = {
        U("Start OnStart in CURLDownloading for "),
        U("pWorkerThread not null OnStart in CURLDownloading for "),
        U("End OnStart 2 in CURLDownloading for "),
        U("Start OnClose in CURLDownloading for "),
        U("Not from exit OnClose in CURLDownloading for "),
        U("m_pBinding is not null OnClose 1 in CURLDownloading for "),
        U("End OnClose in CURLDownloading for "),
        U("Start DestroyWindow in CURLDownloading for "),
        U("IntDlgStatus 2 DestroyWindow in CURLDownloading for "),
        U("g_fAbortDownload 1 DestroyWindow in CURLDownloading for "),
    };
    // The worker's end of the aborted binding (CloseFileCtrlDlg) may come at any point after the
    // abort request; it does not belong to the dialog's own sequence.
    std::vector<std::string> dialogLines;
    for (const std::string& strLine : lines)
        if (strLine.find("CloseFileCtrlDlg") == std::string::npos)
            dialogLines.push_back(strLine);
    EXPECT_EQ(expected, dialogLines);
}

TEST_F(DownloadDialogTest, WithoutADesktopFolderThereIsNoShortcutAndNoMessage)
{
    // The user's desktop folder cannot be read: the shortcut question is asked, Yes makes nothing
    // and nobody is told.
    const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_ALL_ACCESS, &hKey));
    char szDesktop[MAX_PATH] = "";
    DWORD cbDesktop = sizeof(szDesktop);
    DWORD dwType = 0;
    const bool bHadDesktop =
        ::RegQueryValueExA(hKey, "Desktop", NULL, &dwType, (BYTE*)szDesktop, &cbDesktop) == ERROR_SUCCESS;
    ::RegDeleteValueA(hKey, "Desktop");

    m_boxes.Answer("Create Shortcut", IDYES);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));
    run.Click(IDC_EXIT);
    const bool bEnded = run.WaitEnded(kWait);

    if (bHadDesktop)
        ::RegSetValueExA(hKey, "Desktop", 0, dwType, (const BYTE*)szDesktop, cbDesktop);
    ::RegCloseKey(hKey);

    ASSERT_TRUE(bEnded);
    EXPECT_EQ(std::vector<std::string>{"Create Shortcut"}, m_boxes.Captions());
    EXPECT_FALSE(FileExists(m_strShortcut) && !m_bHadShortcut);
    EXPECT_EQ(1, m_setup.CloseCount());
    EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
}

TEST_F(DownloadDialogTest, CloseBoxNoAndEscKeepTheDialogAndTheTransfer)
{
    m_boxes.Answer("Do you want to abort?", IDNO);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));

    ::PostMessageA(run.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    ::PostMessageA(run.Item(IDC_STOP), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageA(run.Item(IDC_STOP), WM_KEYUP, VK_ESCAPE, 0xC0010001);
    // Posted messages are handled in order: once the question is up, the cancel commands are done.
    ::PostMessageA(run.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_boxes.WaitFor("Do you want to abort?", 1, kWait));
    ASSERT_TRUE(WaitUntil([&] { return m_log.Count(U("End OnClose in CURLDownloading for ")) == 1; }, kWait));

    EXPECT_FALSE(run.Ended());
    EXPECT_TRUE(::IsWindowVisible(run.Hwnd()));
    EXPECT_EQ(0, m_log.Count(U("Start DestroyWindow in CURLDownloading for ")));
    EXPECT_EQ(0, m_log.Count(U("m_pBinding is not null OnClose 1 in CURLDownloading for ")));
    EXPECT_EQ(0, m_script.nAbortRequests.load());
    EXPECT_EQ(1, run.Dlg().IntDlgStatus.load());
    EXPECT_FALSE(run.Dlg().g_fAbortDownload.load());
    EXPECT_EQ(kConnecting, run.Text(IDC_SERVERSTATUS));
    EXPECT_EQ(0, m_setup.CloseCount());
}

TEST_F(DownloadDialogTest, TheOkCommandEndsTheDialogAtOnceWithoutTheQuestion)
{
    CDownloadDialogRun& run = Open(false);
    ::PostMessageA(run.Hwnd(), WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitEnded(kWait));

    EXPECT_EQ(0, m_boxes.Count("Do you want to abort?"));
    EXPECT_EQ(1, m_boxes.Count("Create Shortcut"));  // answered No
    EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
    EXPECT_STREQ("Download Later", run.Dlg().GetServerStatus());
    EXPECT_EQ(1, m_setup.CloseCount());
    EXPECT_FALSE(FileExists(m_strShortcut) && !m_bHadShortcut);
    const std::vector<std::string> expected = {
        U("Start DestroyWindow in CURLDownloading for "),
        U("IntDlgStatus 0 DestroyWindow in CURLDownloading for "),
    };
    EXPECT_EQ(expected, UrlLines());
}

TEST_F(DownloadDialogTest, StopWithoutABindingOnlyWritesItsTraceLineAndWithOneAbortsOnTheWorker)
{
    m_script.bBindAtOnce = FALSE;
    m_script.bEndOnAbort = FALSE;
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));

    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return m_log.Count(U("End OnStop in CURLDownloading for")) == 1; }, kWait));
    EXPECT_EQ(0, m_log.Count(U("Start OnStop in CURLDownloading for ")));
    EXPECT_EQ(1, run.Dlg().IntDlgStatus.load());
    EXPECT_FALSE(run.Dlg().g_fAbortDownload.load());
    EXPECT_TRUE(run.Enabled(IDC_STOP));
    EXPECT_EQ(kConnecting, run.Text(IDC_SERVERSTATUS));

    // Now the worker holds a binding: Stop asks it to abort, on its own thread.
    ASSERT_TRUE(m_script.Post(WM_FAKE_BIND));
    ASSERT_TRUE(WaitUntil([&] { return BindingHeld(run); }, kWait));
    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return m_script.nAbortsOnWorkerThread.load() == 1; }, kWait));
    EXPECT_EQ("Please wait while aborting ..........", run.Text(IDC_SERVERSTATUS));
    EXPECT_FALSE(run.Enabled(IDC_STOP));
    EXPECT_EQ(2, run.Dlg().IntDlgStatus.load());
    EXPECT_TRUE(run.Dlg().g_fAbortDownload.load());
    EXPECT_EQ(0, m_script.nAbortsElsewhere.load());

    // The binding ends (as aborted bindings do, with an error) and the transfer is over.
    ASSERT_TRUE(m_script.Post(WM_FAKE_FAIL));
    ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.Text(IDC_SERVERSTATUS) == kStopped; }, kWait));
    EXPECT_EQ(kStopped, run.WindowText());
    EXPECT_FALSE(run.Enabled(IDC_STOP));
    EXPECT_EQ(run.Item(IDC_START), FocusOf(run.Hwnd()));
    EXPECT_EQ(2, run.Dlg().IntDlgStatus.load());
    const std::vector<std::string> closeLines = {
        U("Start CloseFileCtrlDlg in CURLDownloading for "),
        U("g_fAbortDownload 1 CloseFileCtrlDlg in CURLDownloading for "),
        U("End CloseFileCtrlDlg in CURLDownloading for "),
    };
    std::vector<std::string> lines = UrlLines();
    ASSERT_GE(lines.size(), closeLines.size());
    EXPECT_EQ(closeLines, std::vector<std::string>(lines.end() - closeLines.size(), lines.end()));

    // Start/Resume begins the next transfer.
    run.Click(IDC_START);
    ASSERT_TRUE(m_script.WaitStarted(2, kWait));
    ASSERT_TRUE(WaitUntil([&] { return m_log.Count(U("End OnStart 2 in CURLDownloading for ")) == 2; }, kWait));
    EXPECT_FALSE(run.Enabled(IDC_START));
    EXPECT_TRUE(run.Enabled(IDC_STOP));
    EXPECT_FALSE(run.Dlg().g_fAbortDownload.load());
    EXPECT_EQ(1, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ(kConnecting, run.Text(IDC_SERVERSTATUS));
}

TEST_F(DownloadDialogTest, RestartAfterACompletedDownloadAsksFirstAndNoEndsTheDialog)
{
    WriteLastSetupPath("C:\\dialogtest");
    m_boxes.Answer("Confirm restarting download", IDNO);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));
    CompleteTransfer(run);

    run.Click(IDC_START);
    ASSERT_TRUE(run.WaitEnded(kWait));
    ASSERT_EQ(1, m_boxes.Count("Confirm restarting download"));
    EXPECT_EQ("Download from \"" + m_files.m_strUrl + "\" is complete.\n\rDo you wish to restart ?",
              m_boxes.Texts("Confirm restarting download")[0]);
    EXPECT_EQ(1, m_script.nStarted.load());
    EXPECT_EQ(6, run.Dlg().IntDlgStatus.load());
    EXPECT_FALSE(ReadLastSetupPath(nullptr));
    EXPECT_EQ(0, m_boxes.Count("Create Shortcut"));
    EXPECT_EQ(1, m_setup.CloseCount());

    std::vector<std::string> lines = UrlLines();
    const std::vector<std::string> tail = {
        U("Start OnStart in CURLDownloading for "),
        U("IntDlgStatus  3 or 6 OnStart in CURLDownloading for "),
        U("OnExit called in CURLDownloadingfor"),
        U("End OnStart 2 in CURLDownloading for "),
        U("Start DestroyWindow in CURLDownloading for "),
        U("IntDlgStatus 3 DestroyWindow in CURLDownloading for "),
    };
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(tail, std::vector<std::string>(lines.end() - tail.size(), lines.end()));
}

TEST_F(DownloadDialogTest, RestartYesDeletesTheFileAndAFailedRestartStillEndsAsCompleted)
{
    WriteLastSetupPath("C:\\dialogtest");
    m_boxes.Answer("Confirm restarting download", IDYES);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));
    CompleteTransfer(run);
    HANDLE hFile = ::CreateFileA(m_files.m_strFilePath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD cbWritten = 0;
    ::WriteFile(hFile, "MZ", 2, &cbWritten, NULL);
    ::CloseHandle(hFile);

    run.Click(IDC_START);
    ASSERT_TRUE(m_script.WaitStarted(2, kWait));
    ASSERT_TRUE(WaitUntil([&] { return m_log.Count(U("End OnStart 2 in CURLDownloading for ")) == 2; }, kWait));
    EXPECT_FALSE(FileExists(m_files.m_strFilePath));
    EXPECT_EQ(1, m_log.Count(U("restart = true  OnStart in CURLDownloading for ")));
    EXPECT_EQ(1, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ(0u, run.Dlg().m_dwResumeOffset);
    EXPECT_FALSE(run.Dlg().m_fRestart);
    // The restart's progress line, then the connecting sentence of every start.
    EXPECT_EQ("Downloaded 0 bytes (total size unknown)", run.Text(IDC_DOWNLOADSTATUS));
    EXPECT_EQ("Not Known", run.Text(IDC_TRANSFERRATE));
    EXPECT_EQ("Not Known", run.Text(IDC_TIMELEFT));
    EXPECT_EQ("0% done brindlemox.exe ", run.WindowText());
    EXPECT_EQ(kConnecting, run.Text(IDC_SERVERSTATUS));
    EXPECT_FALSE(run.Enabled(IDC_START));

    // The second transfer fails; the completed download still counts when the dialog ends.
    ASSERT_TRUE(m_script.Post(WM_FAKE_FAIL));
    ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START); }, kWait));
    EXPECT_EQ("The attempt to connect to the Internet has failed", run.Text(IDC_SERVERSTATUS));
    EXPECT_EQ(1, m_log.Count(U("Case default CloseFileCtrlDlg in CURLDownloading for ")));
    EXPECT_TRUE(g_fDownloadComplete.load());

    run.Click(IDC_EXIT);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ(1, m_log.Count(U("IntDlgStatus 1 DestroyWindow in CURLDownloading for ")));
    EXPECT_FALSE(ReadLastSetupPath(nullptr));
    EXPECT_EQ(0, m_boxes.Count("Create Shortcut"));
}

TEST_F(DownloadDialogTest, RestartWithAFileThatCannotBeDeletedSaysSoAndEndsTheDialog)
{
    m_boxes.Answer("Confirm restarting download", IDYES);
    m_boxes.Answer("Error deleting local file", IDOK);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(m_script.WaitStarted(1, kWait));
    CompleteTransfer(run);
    HANDLE hFile = ::CreateFileA(m_files.m_strFilePath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    ::CloseHandle(hFile);
    ::SetFileAttributesA(m_files.m_strFilePath.c_str(), FILE_ATTRIBUTE_READONLY);

    run.Click(IDC_START);
    ASSERT_TRUE(run.WaitEnded(kWait));
    ASSERT_EQ(1, m_boxes.Count("Error deleting local file"));
    EXPECT_EQ("Unable to delete the file from path\n\r" + m_files.m_strFilePath,
              m_boxes.Texts("Error deleting local file")[0]);
    EXPECT_TRUE(FileExists(m_files.m_strFilePath));
    EXPECT_EQ(1, m_script.nStarted.load());
    EXPECT_EQ(1, m_log.Count(U("End OnStart 1 in CURLDownloading for ")));
    EXPECT_EQ(0, m_log.Count(U("restart = true  OnStart in CURLDownloading for ")));
    EXPECT_EQ(6, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ(1, m_setup.CloseCount());
}

TEST_F(DownloadDialogTest, TheElapsedTimeCountsTimerOneOnly)
{
    CDownloadDialogRun& run = Open(false);
    HWND hDlg = run.Hwnd();
    ::PostMessageA(hDlg, WM_TIMER, ID_TIMER_ELAPSED, 0);
    ASSERT_TRUE(WaitUntil([&] { return run.Text(IDC_TIMEELAPSED) == "00 : 00 : 01"; }, kWait));
    ::PostMessageA(hDlg, WM_TIMER, 5, 0);
    ::PostMessageA(hDlg, WM_TIMER, ID_TIMER_ELAPSED, 0);
    ::PostMessageA(hDlg, WM_TIMER, ID_TIMER_ELAPSED, 0);
    ASSERT_TRUE(WaitUntil([&] { return run.Dlg().m_nElapsedSec >= 3; }, kWait));
    ::Sleep(50);
    EXPECT_EQ(3, run.Dlg().m_nElapsedSec);
    EXPECT_EQ("00 : 00 : 03", run.Text(IDC_TIMEELAPSED));
}

TEST_F(DownloadDialogTest, ProgressFromTheWorkerReachesTheTextsBarAndCaption)
{
    CDownloadDialogRun& run = Open(false);
    CTestThread worker([&] {
        run.Dlg().ProgressUpdate("00 : 01 : 40", "38 K/sec", "Receiving data", "Downloaded 1.00 MB of 2.00 MB", 50);
    });
    worker.join();
    ASSERT_TRUE(WaitUntil([&] { return run.WindowText() == "50% done brindlemox.exe "; }, kWait));
    EXPECT_EQ("Receiving data", run.Text(IDC_SERVERSTATUS));
    EXPECT_EQ("Downloaded 1.00 MB of 2.00 MB", run.Text(IDC_DOWNLOADSTATUS));
    EXPECT_EQ("38 K/sec", run.Text(IDC_TRANSFERRATE));
    EXPECT_EQ("00 : 01 : 40", run.Text(IDC_TIMELEFT));
    EXPECT_EQ(50, ::SendMessageA(run.Item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
    EXPECT_STREQ("50% done brindlemox.exe ", run.Dlg().m_captionPainter.GetTitle());

    CTestThread second([&] {
        run.Dlg().ProgressUpdate("Not Known", "Not Known", run.Dlg().m_strURL, "Downloaded 1.50 MB of 2.00 MB", 75);
        run.Dlg().ProgressUpdate("Not Known", "Not Known", "ignored", "ignored", 101);
        run.Dlg().ProgressUpdate("Not Known", "Not Known", "ignored", "ignored", -1);
    });
    second.join();
    ASSERT_TRUE(WaitUntil([&] { return run.WindowText() == "75% done brindlemox.exe "; }, kWait));
    EXPECT_EQ("Downloading......", run.Text(IDC_SERVERSTATUS));
    EXPECT_EQ("Downloaded 1.50 MB of 2.00 MB", run.Text(IDC_DOWNLOADSTATUS));
    EXPECT_EQ(75, ::SendMessageA(run.Item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
}
