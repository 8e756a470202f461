// The download dialog on its own thread, driven with real messages: its look, the launch's start,
// Start/Resume, Stop/Pause, Exit, the close box, Esc, IDOK, the restart after a completed download and
// every end of the dialog. A scripted worker stands in for the transfer engine (progress:
// ControlGalleryTest). Trace lines end with the test's address.
#include <gtest/gtest.h>
#include <memory>
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

HWND FocusOf(HWND hWnd)  // the window with the keyboard focus on the thread of hWnd
{
    GUITHREADINFO info = {sizeof(info)};
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, NULL), &info) ? info.hwndFocus : NULL;
}

CWinThread* AFXAPI NoThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES) { return nullptr; }

class DownloadDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, "C:\\dialogtest"); }
    void TearDown() override
    {
        if (m_run)
            EXPECT_TRUE(m_run->EndNow(kWait));
        EXPECT_TRUE(m_script.JoinAll(kWait));
        m_run.reset();
    }
    CDownloadDialogRun& Open(bool bStartLikeTheLaunch)
    {
        if (m_run)  // the scripted workers go before their dialog does
            EXPECT_TRUE(m_run->EndNow(kWait) && m_script.JoinAll(kWait));
        m_run.reset(new CDownloadDialogRun(m_strUrl, m_strFile, &m_script));
        EXPECT_TRUE(m_run->Launch(bStartLikeTheLaunch) && m_run->WaitUp(kWait));
        if (bStartLikeTheLaunch)
            EXPECT_TRUE(m_script.WaitStarted(1, kWait));
        return *m_run;
    }
    int Lines(const char* pszText, const CDialogTraceLog& log) const { return log.Count(pszText + m_strUrl); }
    int Lines(const char* pszText) const { return Lines(pszText, m_log); }
    bool BindingHeld(CDownloadDialogRun& run)
    {
        ::EnterCriticalSection(&run.Dlg().m_csShared);
        const bool bHeld = run.Dlg().m_pBinding != nullptr;
        ::LeaveCriticalSection(&run.Dlg().m_csShared);
        return bHeld;
    }
    // The dialog's state after a transfer: IntDlgStatus, g_fAbortDownload, the status line.
    void ExpectState(CDownloadDialogRun& run, int nStatus, bool bAbort, const std::string& strServerStatus)
    {
        EXPECT_EQ(nStatus, run.Dlg().IntDlgStatus.load());
        EXPECT_EQ(bAbort, run.Dlg().g_fAbortDownload.load() != FALSE);
        EXPECT_EQ(strServerStatus, run.Text(IDC_SERVERSTATUS));
    }
    std::string StoredFolder() { return ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).data; }
    CSavedRegistryValue m_savedFolder{HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE};
    CMessageBoxAnswerer m_boxes;  // outlives the dialog: its last question is answered too
    CSetupWindowStandIn m_setup;
    CFakeWorkerScript m_script;
    CTempFolder m_folder{"dialog"};
    const std::string m_strUrl = UniqueTestUrl(), m_strFile = m_folder.File("brindlemox.exe");
    CDialogTraceLog m_log;
    std::unique_ptr<CDownloadDialogRun> m_run;
};
}  // namespace

// Its look; then Start when no worker can be started, the elapsed time, and the end by IDOK.
TEST_F(DownloadDialogTest, TheDialogsLookAStartWithoutAWorkerTheElapsedTimeAndOk)
{
    g_fDownloadComplete = TRUE;  // left over from an earlier dialog: cleared when the dialog opens
    m_run.reset(new CDownloadDialogRun(m_strUrl, m_strFile, &m_script));
    CDownloadDialogRun& run = *m_run;
    run.Dlg().m_pfnBeginThread = NoThread;
    ASSERT_TRUE(run.Launch(false) && run.WaitUp(kWait));
    HWND hDlg = run.Hwnd();
    EXPECT_FALSE(g_fDownloadComplete.load());
    EXPECT_STREQ("Download from brindlemox.exe", run.Dlg().m_captionPainter.GetTitle());
    EXPECT_EQ(m_strFile, run.Text(IDC_FILEPATH));
    EXPECT_TRUE(run.Enabled(IDC_START) && !run.Enabled(IDC_STOP) && !run.Enabled(IDC_OPEN) && run.Enabled(IDC_EXIT));
    EXPECT_EQ("00 : 00 : 00", run.Text(IDC_TIMEELAPSED));
    PBRANGE range = {};
    ::SendMessageA(run.Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, (LPARAM)&range);
    EXPECT_TRUE(range.iLow == 0 && range.iHigh == 100);
    for (WPARAM nIcon : {ICON_BIG, ICON_SMALL})
        EXPECT_EQ((LRESULT)run.Dlg().m_hIcon, ::SendMessageA(hDlg, WM_GETICON, nIcon, 0));
    for (const char* pszLine : {"Constructor in CURLDownloading", "Start OnInitDialog in CURLDownloading",
                                "End OnInitDialog in CURLDownloading"})
        EXPECT_EQ(1, m_log.Count(pszLine)) << pszLine;
    // The region: (0, 0)-(W, H + 12) with 24-pixel corner ellipses, so only the top corners are cut.
    RECT rc;
    ::GetWindowRect(hDlg, &rc);
    HRGN hRgn = ::CreateRectRgn(0, 0, 0, 0);
    HRGN hExpected = ::CreateRoundRectRgn(0, 0, rc.right - rc.left, rc.bottom - rc.top + 12, 24, 24);
    EXPECT_NE(ERROR, ::GetWindowRgn(hDlg, hRgn));
    EXPECT_EQ(NULLREGION, ::CombineRgn(hExpected, hExpected, hRgn, RGN_XOR));
    ::DeleteObject(hExpected);
    ::DeleteObject(hRgn);
    // Light blue, with a darker band along the top (3 rows) and the right edge (1 column).
    ::GetClientRect(hDlg, &rc);
    ::RedrawWindow(hDlg, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC hdc = ::GetDC(hDlg);
    const COLORREF crFrame = RGB(127, 144, 192), crBack = RGB(175, 199, 239);
    EXPECT_TRUE(WaitUntil([&] { return ::GetPixel(hdc, 3, rc.bottom - 3) == crBack; }, kWait));
    EXPECT_EQ(crBack, ::GetPixel(hdc, 3, 3));
    for (POINT pt : {POINT{rc.right / 2, 0}, POINT{rc.right / 2, 2}, POINT{rc.right - 1, rc.bottom - 3}})
        EXPECT_EQ(crFrame, ::GetPixel(hdc, pt.x, pt.y)) << pt.x << "," << pt.y;
    ::ReleaseDC(hDlg, hdc);
    run.Click(IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return m_log.Count("Couldn't begin download thread") == 1; }, kWait));
    EXPECT_FALSE(WaitUntil([&] { return run.Text(IDC_TIMEELAPSED) != "00 : 00 : 00"; }, 1300)) << "no timer";
    EXPECT_TRUE(run.Enabled(IDC_START) && !run.Enabled(IDC_STOP));
    ExpectState(run, 0, false, "");
    // Elapsed time (no timer runs here): one second per tick of timer 1, other timers count nothing.
    for (int nTimer : {ID_TIMER_ELAPSED, 5, ID_TIMER_ELAPSED, ID_TIMER_ELAPSED})
        ::PostMessageA(hDlg, WM_TIMER, nTimer, 0);
    EXPECT_TRUE(WaitUntil([&] { return run.Text(IDC_TIMEELAPSED) == "00 : 00 : 03"; }, kWait));
    // The OK command ends the dialog at once, without the abort question; a dialog that never
    // started a transfer says "Download Later".
    ::PostMessageA(hDlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ(0, m_boxes.Count("Do you want to abort?"));
    EXPECT_EQ(1, m_boxes.Count("Create Shortcut"));  // answered No
    EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
    EXPECT_STREQ("Download Later", run.Dlg().GetServerStatus());
}

TEST_F(DownloadDialogTest, TheLaunchsStartRunsExactlyOnceAsSoonAsTheDialogIsUp)
{
    // The launch calls OnStart on its own thread right after creating the download thread: before
    // the window exists, while it comes up, or once it is up. Each way one start, as a click would.
    for (int nRound = 0; nRound < 6; ++nRound)
    {
        SCOPED_TRACE(nRound);
        const std::string strUrl = UniqueTestUrl();
        CFakeWorkerScript script;
        CDialogTraceLog log;
        auto run = std::make_unique<CDownloadDialogRun>(strUrl, m_strFile, &script);
        if (nRound % 3 == 0)
            run->Dlg().OnStart();
        ASSERT_TRUE(run->Launch(nRound % 3 == 1) && run->WaitUp(kWait));
        if (nRound % 3 == 2)
            run->Dlg().OnStart();
        ASSERT_TRUE(script.WaitStarted(1, kWait));
        ASSERT_TRUE(WaitUntil([&] { return log.Count("End OnStart 2 in CURLDownloading for " + strUrl) == 1; }, kWait));
        ::Sleep(100);  // a second start would have come by now
        EXPECT_EQ(1, script.nStarted.load());
        EXPECT_EQ(1, log.Count("pWorkerThread not null OnStart in CURLDownloading for " + strUrl));
        ExpectState(*run, 1, false, kConnecting);
        EXPECT_TRUE(!run->Enabled(IDC_START) && run->Enabled(IDC_STOP));
        run->Click(IDC_EXIT);
        ASSERT_TRUE(run->WaitEnded(kWait) && script.JoinAll(kWait));
        EXPECT_EQ(0, script.nAbortRequests.load());  // Exit does not abort the transfer
    }
}

TEST_F(DownloadDialogTest, CloseBoxYesAbortsOnTheWorkerAndEndsTheDialog)
{
    m_boxes.Answer("Do you want to abort?", IDYES);
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(WaitUntil([&] { return BindingHeld(run); }, kWait));
    ::PostMessageA(run.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.WaitEnded(kWait));
    ASSERT_TRUE(m_script.JoinAll(kWait));
    EXPECT_EQ(std::vector<std::string>{"Are you sure you want to abort the download from \r\n" + m_strUrl},
              m_boxes.Texts("Do you want to abort?"));
    // The binding was aborted once, on the worker's own thread, and its reference given up.
    EXPECT_EQ(1, m_script.nAbortRequests.load());
    EXPECT_EQ(1, m_script.nAbortsOnWorkerThread.load());
    EXPECT_EQ(0, m_script.nAbortsElsewhere.load());
    EXPECT_EQ(0, m_script.nBindingRefs.load());
    EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
    EXPECT_TRUE(run.Dlg().g_fAbortDownload.load());
    EXPECT_STREQ(kStopped, run.Dlg().GetServerStatus());
    for (const char* pszLine : {"m_pBinding is not null OnClose 1 in CURLDownloading for ",
                                "IntDlgStatus 2 DestroyWindow in CURLDownloading for ",
                                "g_fAbortDownload 1 DestroyWindow in CURLDownloading for "})
        EXPECT_EQ(1, Lines(pszLine)) << pszLine;
}

TEST_F(DownloadDialogTest, CloseBoxNoEnterEscCancelAndStopWithoutABindingKeepTheTransferStopWithOneAbortsIt)
{
    m_boxes.Answer("Do you want to abort?", IDNO);
    m_script.bBindAtOnce = FALSE;
    m_script.bEndOnAbort = FALSE;
    CDownloadDialogRun& run = Open(true);
    ::PostMessageA(run.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    ::PostMessageA(run.Item(IDC_STOP), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageA(run.Item(IDC_STOP), WM_KEYUP, VK_ESCAPE, 0xC0010001);
    // Enter on the focused Stop/Pause button asks as the close box does.
    ::PostMessageA(run.Item(IDC_STOP), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(run.Item(IDC_STOP), WM_KEYUP, VK_RETURN, 0xC01C0001);
    // Posted messages are handled in order: once the questions are up, the cancel commands are done.
    ::PostMessageA(run.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return m_boxes.Count("Do you want to abort?") == 2; }, kWait));
    ASSERT_TRUE(WaitUntil([&] { return Lines("End OnClose in CURLDownloading for ") == 2; }, kWait));
    EXPECT_TRUE(!run.Ended() && ::IsWindowVisible(run.Hwnd()));
    // Stop without a binding only writes its trace line.
    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Lines("End OnStop in CURLDownloading for") == 1; }, kWait));
    EXPECT_EQ(0, Lines("Start OnStop in CURLDownloading for "));
    EXPECT_EQ(0, m_script.nAbortRequests.load());
    ExpectState(run, 1, false, kConnecting);
    EXPECT_TRUE(run.Enabled(IDC_STOP));
    // Now the worker holds a binding: Stop asks it to abort, on its own thread.
    ASSERT_TRUE(m_script.Post(WM_FAKE_BIND));
    ASSERT_TRUE(WaitUntil([&] { return BindingHeld(run); }, kWait));
    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return m_script.nAbortsOnWorkerThread.load() == 1; }, kWait));
    ExpectState(run, 2, true, "Please wait while aborting ..........");
    EXPECT_FALSE(run.Enabled(IDC_STOP));
    // The binding ends (as aborted bindings do, with an error) and the transfer is over.
    ASSERT_TRUE(m_script.Post(WM_FAKE_FAIL));
    ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.Text(IDC_SERVERSTATUS) == kStopped; }, kWait));
    EXPECT_EQ(kStopped, run.WindowText());
    EXPECT_EQ(run.Item(IDC_START), FocusOf(run.Hwnd()));
    EXPECT_EQ(2, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ(1, Lines("g_fAbortDownload 1 CloseFileCtrlDlg in CURLDownloading for "));
}

TEST_F(DownloadDialogTest, StartAfterACompletedDownloadAsksToRestart)
{
    const struct { const char* pszName; int nAnswer; bool bUndeletable; } cases[] = {
        {"No ends the dialog", IDNO, false},
        {"Yes deletes the file and starts anew", IDYES, false},
        {"Yes with a file that cannot be deleted", IDYES, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, "C:\\dialogtest");
        m_boxes.Answer("Confirm restarting download", c.nAnswer);
        const LONG nClosesBefore = m_setup.CloseCount(), nShortcutsBefore = m_boxes.Count("Create Shortcut");
        CDialogTraceLog log;
        CDownloadDialogRun& run = Open(true);
        ASSERT_TRUE(m_script.Post(WM_FAKE_COMPLETE));
        ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.Text(IDC_SERVERSTATUS) == "Download completed"; },
                              kWait));
        ASSERT_TRUE(WriteWholeFile(m_strFile, "MZ"));
        if (c.bUndeletable)
            ::SetFileAttributesA(m_strFile.c_str(), FILE_ATTRIBUTE_READONLY);
        run.Click(IDC_START);
        ASSERT_TRUE(WaitUntil([&] { return Lines("Start OnStart in CURLDownloading for ", log) == 2; }, kWait));
        if (c.nAnswer == IDNO || c.bUndeletable)
        {
            ASSERT_TRUE(run.WaitEnded(kWait));
            EXPECT_EQ("Download from \"" + m_strUrl + "\" is complete.\n\rDo you wish to restart ?",
                      m_boxes.Texts("Confirm restarting download").back());
            EXPECT_EQ(c.bUndeletable ? 1 : 0, m_boxes.Count("Error deleting local file"));
            EXPECT_EQ(c.bUndeletable ? 1 : 0, Lines("End OnStart 1 in CURLDownloading for ", log));
            EXPECT_TRUE(FileExists(m_strFile));
            EXPECT_EQ(1, m_script.nStarted.load());
            EXPECT_EQ(6, run.Dlg().IntDlgStatus.load());
            ::SetFileAttributesA(m_strFile.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        else
        {
            ASSERT_TRUE(m_script.WaitStarted(2, kWait));
            ASSERT_TRUE(WaitUntil([&] { return Lines("End OnStart 2 in CURLDownloading for ", log) == 2; }, kWait));
            EXPECT_FALSE(FileExists(m_strFile));
            EXPECT_EQ(1, Lines("restart = true  OnStart in CURLDownloading for ", log));
            EXPECT_EQ(0u, run.Dlg().m_dwResumeOffset);
            EXPECT_FALSE(run.Dlg().m_fRestart);
            // The restart's progress line, then the connecting sentence of every start.
            ExpectState(run, 1, false, kConnecting);
            EXPECT_EQ("Downloaded 0 bytes (total size unknown)", run.Text(IDC_DOWNLOADSTATUS));
            EXPECT_EQ("Not Known", run.Text(IDC_TRANSFERRATE));
            EXPECT_EQ("Not Known", run.Text(IDC_TIMELEFT));
            EXPECT_EQ("0% done brindlemox.exe ", run.WindowText());
            // Nothing of the completed download is left: Open waits, and an end before the new
            // download completes keeps the stored folder and offers the shortcut.
            EXPECT_FALSE(run.Enabled(IDC_OPEN));
            run.Click(IDC_EXIT);
            ASSERT_TRUE(run.WaitEnded(kWait));
            EXPECT_EQ(4, run.Dlg().IntDlgStatus.load());
        }
        const bool bRestarted = c.nAnswer == IDYES && !c.bUndeletable;
        EXPECT_EQ(bRestarted ? "C:\\dialogtest" + std::string(1, '\0') : "", StoredFolder());
        EXPECT_EQ(nShortcutsBefore + (bRestarted ? 1 : 0), m_boxes.Count("Create Shortcut"));
        EXPECT_EQ(nClosesBefore + 1, m_setup.CloseCount());
        ASSERT_TRUE(m_script.JoinAll(kWait));
        m_script.nStarted = 0;
    }
}

TEST_F(DownloadDialogTest, AStopThatComesAsTheTransferCompletesChangesNothing)
{
    m_script.bEndOnAbort = FALSE;  // the binding ends complete before the abort reaches it
    CDownloadDialogRun& run = Open(true);
    ASSERT_TRUE(WaitUntil([&] { return BindingHeld(run); }, kWait));
    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return m_script.nAbortsOnWorkerThread.load() == 1; }, kWait));
    ASSERT_TRUE(m_script.Post(WM_FAKE_COMPLETE));
    ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.WindowText() == "Download completed"; }, kWait));
    EXPECT_EQ("Download completed", run.Text(IDC_SERVERSTATUS));
    EXPECT_TRUE(run.Enabled(IDC_OPEN));
    run.Click(IDC_EXIT);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ(6, run.Dlg().IntDlgStatus.load());
    EXPECT_EQ("", StoredFolder());
    EXPECT_EQ(0, m_boxes.Count("Create Shortcut"));
}
