// The download dialog on its own thread, driven with real messages: its look, the launch's start,
// Start/Resume, Stop/Pause, Exit, Enter, the close box, Esc, the restart after a completed download,
// a late Stop and every end of the dialog. A fake transfer stands in for the engine (the dialog's
// progress display: ControlGalleryTest). Trace lines end with the test's address.
#include <gtest/gtest.h>
#include <memory>
#include "download/CURLDownloading.h"
#include "transfer/PublisherCheck.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/MessageBoxAnswerer.h"

namespace
{
const DWORD kWait = 10000;  // bounded waits: a hang fails the test instead of blocking the run
const char kStopped[] = "Downloading stopped due to the user intervention";
const char kConnecting[] = "Please wait while connecting.......";
using State = DownloadState;

HWND FocusOf(HWND hWnd)  // the window with the keyboard focus on the thread of hWnd
{
    GUITHREADINFO info = {sizeof(info)};
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, NULL), &info) ? info.hwndFocus : NULL;
}

class DownloadDialogTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        EXPECT_TRUE(!m_run || m_run->EndNow(kWait));
        m_run.reset();
    }
    CDownloadDialogRun& Open(bool bStartLikeTheLaunch)
    {
        EXPECT_TRUE(!m_run || m_run->EndNow(kWait));
        const LONG nStarted = m_transfer.nStarted.load();
        m_run.reset(new CDownloadDialogRun(m_strUrl, m_strFile, &m_transfer, &m_host));
        EXPECT_TRUE(m_run->Launch(bStartLikeTheLaunch) && m_run->WaitUp(kWait));
        EXPECT_TRUE(!bStartLikeTheLaunch || m_transfer.WaitStarted(nStarted + 1, kWait));
        return *m_run;
    }
    int Lines(const char* pszText, const CDialogTraceLog& log) const { return log.Count(pszText + m_strUrl); }
    int Lines(const char* pszText) const { return Lines(pszText, m_log); }
    // The dialog's state after a transfer and its status line.
    void ExpectState(CDownloadDialogRun& run, State state, const std::string& strServerStatus)
    {
        EXPECT_EQ((int)state, (int)run.Dlg().State());
        EXPECT_EQ(strServerStatus, run.Text(IDC_SERVERSTATUS));
    }
    CMessageBoxAnswerer m_boxes;  // outlives the dialog: its last question is answered too
    CHostStandIn m_host;
    CFakeTransfer m_transfer;
    CTempFolder m_folder{"dialog"};
    const std::string m_strUrl = UniqueTestUrl(), m_strFile = m_folder.File("brindlemox.exe");
    CDialogTraceLog m_log;
    std::unique_ptr<CDownloadDialogRun> m_run;
};
}  // namespace

// Its look; then Start when no worker can be started, the elapsed time, and the end by IDOK.
TEST_F(DownloadDialogTest, TheDialogsLookAStartWithoutAWorkerTheElapsedTimeAndOk)
{
    m_transfer.fStartFails = TRUE;
    CDownloadDialogRun& run = Open(false);
    HWND hDlg = run.Hwnd();
    EXPECT_EQ(m_strFile, run.Text(IDC_FILEPATH));
    EXPECT_TRUE(run.Enabled(IDC_START) && !run.Enabled(IDC_STOP) && !run.Enabled(IDC_OPEN) && run.Enabled(IDC_EXIT));
    EXPECT_EQ("00 : 00 : 00", run.Text(IDC_TIMEELAPSED));
    PBRANGE range = {};
    ::SendMessageA(run.Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, (LPARAM)&range);
    EXPECT_TRUE(range.iLow == 0 && range.iHigh == 100);
    const HICON hIcon = ::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_MAINFRAME));
    for (WPARAM nIcon : {ICON_BIG, ICON_SMALL})
        EXPECT_EQ((LRESULT)hIcon, ::SendMessageA(hDlg, WM_GETICON, nIcon, 0));
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
    ExpectState(run, State::NotStarted, "");
    // Elapsed time (no timer runs here): one second per tick of timer 1, other timers count nothing.
    for (int nTimer : {1, 5, 1, 1})
        ::PostMessageA(hDlg, WM_TIMER, nTimer, 0);
    EXPECT_TRUE(WaitUntil([&] { return run.Text(IDC_TIMEELAPSED) == "00 : 00 : 03"; }, kWait));
    // The OK command ends the dialog at once, without the abort question; a dialog that never
    // started a transfer says "Download Later".
    ::PostMessageA(hDlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ(0, m_boxes.Count("Do you want to abort?"));
    EXPECT_EQ(1, m_boxes.Count("Create Shortcut"));  // answered No
    EXPECT_EQ((int)State::Closed, (int)run.Dlg().State());
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
        CFakeTransfer transfer;
        CDialogTraceLog log;
        auto run = std::make_unique<CDownloadDialogRun>(strUrl, m_strFile, &transfer, &m_host);
        if (nRound % 3 == 0)
            run->Dlg().OnStart();
        ASSERT_TRUE(run->Launch(nRound % 3 == 1) && run->WaitUp(kWait));
        if (nRound % 3 == 2)
            run->Dlg().OnStart();
        ASSERT_TRUE(transfer.WaitStarted(1, kWait));
        ASSERT_TRUE(WaitUntil([&] { return log.Count("End OnStart 2 in CURLDownloading for " + strUrl) == 1; }, kWait));
        ::Sleep(100);  // a second start would have come by now
        EXPECT_EQ(1, transfer.nStarted.load());
        EXPECT_EQ(strUrl, (LPCTSTR)transfer.start.strURL);
        EXPECT_EQ(m_strFile, (LPCTSTR)transfer.start.strFilePath);
        EXPECT_EQ(1, log.Count("pWorkerThread not null OnStart in CURLDownloading for " + strUrl));
        ExpectState(*run, State::Running, kConnecting);
        EXPECT_TRUE(!run->Enabled(IDC_START) && run->Enabled(IDC_STOP));
        run->Click(IDC_EXIT);
        ASSERT_TRUE(run->WaitEnded(kWait));
        EXPECT_EQ(0, transfer.nAborts.load());  // Exit does not abort the transfer
    }
}

TEST_F(DownloadDialogTest, CloseBoxYesAbortsTheTransferAndEndsTheDialog)
{
    m_boxes.Answer("Do you want to abort?", IDYES);
    CDownloadDialogRun& run = Open(true);
    ::PostMessageA(run.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ(std::vector<std::string>{"Are you sure you want to abort the download from \r\n" + m_strUrl},
              m_boxes.Texts("Do you want to abort?"));
    EXPECT_EQ(1, m_transfer.nAborts.load());
    EXPECT_EQ((int)State::Closed, (int)run.Dlg().State());
    EXPECT_STREQ(kStopped, run.Dlg().GetServerStatus());
    EXPECT_EQ(1, m_host.CloseCount());
    for (const char* pszLine : {"m_pBinding is not null OnClose 1 in CURLDownloading for ",
                                "IntDlgStatus 2 DestroyWindow in CURLDownloading for ",
                                "g_fAbortDownload 1 DestroyWindow in CURLDownloading for "})
        EXPECT_EQ(1, Lines(pszLine)) << pszLine;
}

TEST_F(DownloadDialogTest, CloseBoxNoEnterEscCancelAndStopWithoutABindingKeepTheTransferStopWithOneAbortsIt)
{
    m_boxes.Answer("Do you want to abort?", IDNO);
    m_transfer.fBindAtOnce = FALSE;
    m_transfer.fEndOnAbort = FALSE;
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
    EXPECT_EQ(0, m_transfer.nAborts.load());
    ExpectState(run, State::Running, kConnecting);
    EXPECT_TRUE(run.Enabled(IDC_STOP));
    // Now a binding runs: its progress shows (never a negative percentage; the address as status
    // reads "Downloading......"); Stop asks the transfer to abort, and from then on nothing is shown.
    m_transfer.fBound = TRUE;
    m_transfer.Progress("Receiving", "Downloaded 1 KB", -1);
    m_transfer.Progress(m_strUrl.c_str(), "Downloaded 2 KB", 7);
    ASSERT_TRUE(WaitUntil([&] { return run.WindowText() == "7% done brindlemox.exe "; }, kWait));
    EXPECT_TRUE(run.Text(IDC_SERVERSTATUS) == "Downloading......" && run.Text(IDC_DOWNLOADSTATUS) == "Downloaded 2 KB");
    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return m_transfer.nAborts.load() == 1; }, kWait));
    ExpectState(run, State::Stopped, "Please wait while aborting ..........");
    EXPECT_FALSE(run.Enabled(IDC_STOP));
    m_transfer.Progress("late", "Downloaded 3 KB", 8);
    EXPECT_TRUE(WaitUntil([&] { return Lines("End ProgressUpdate as aborted in CURLDownloading for ") == 1; }, kWait));
    // The binding ends (as aborted bindings do, with an error) and the transfer is over.
    ASSERT_TRUE(m_transfer.End(INET_E_CANNOT_CONNECT, "The attempt to connect to the Internet has failed"));
    ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.Text(IDC_SERVERSTATUS) == kStopped; }, kWait));
    EXPECT_EQ(kStopped, run.WindowText());
    EXPECT_EQ(run.Item(IDC_START), FocusOf(run.Hwnd()));
    EXPECT_EQ((int)State::Stopped, (int)run.Dlg().State());
    EXPECT_EQ("Downloaded 2 KB", run.Text(IDC_DOWNLOADSTATUS));
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
        m_boxes.Answer("Confirm restarting download", c.nAnswer);
        const LONG nClosesBefore = m_host.CloseCount(), nForgetsBefore = m_host.m_nForgets.load();
        const int nShortcutsBefore = m_boxes.Count("Create Shortcut");
        const LONG nStartsBefore = m_transfer.nStarted.load();
        CDialogTraceLog log;
        CDownloadDialogRun& run = Open(true);
        ASSERT_TRUE(m_transfer.End(S_OK, "Download Complete"));
        ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.Text(IDC_SERVERSTATUS) == "Download completed"; },
                              kWait));
        EXPECT_TRUE(run.Enabled(IDC_OPEN));
        ASSERT_TRUE(WriteWholeFile(m_strFile, "MZ"));
        if (c.bUndeletable)
            ::SetFileAttributesA(m_strFile.c_str(), FILE_ATTRIBUTE_READONLY);
        run.Click(IDC_START);
        ASSERT_TRUE(WaitUntil([&] { return Lines("Start OnStart in CURLDownloading for ", log) == 2; }, kWait));
        const bool bRestarted = c.nAnswer == IDYES && !c.bUndeletable;
        if (!bRestarted)
        {
            ASSERT_TRUE(run.WaitEnded(kWait));
            EXPECT_EQ("Download from \"" + m_strUrl + "\" is complete.\n\rDo you wish to restart ?",
                      m_boxes.Texts("Confirm restarting download").back());
            EXPECT_EQ(c.bUndeletable ? 1 : 0, m_boxes.Count("Error deleting local file"));
            EXPECT_EQ(c.bUndeletable ? 1 : 0, Lines("End OnStart 1 in CURLDownloading for ", log));
            EXPECT_TRUE(FileExists(m_strFile));
            EXPECT_EQ(nStartsBefore + 1, m_transfer.nStarted.load());
            EXPECT_EQ((int)State::ClosedAfterComplete, (int)run.Dlg().State());
            ::SetFileAttributesA(m_strFile.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        else
        {
            ASSERT_TRUE(m_transfer.WaitStarted(nStartsBefore + 2, kWait));
            ASSERT_TRUE(WaitUntil([&] { return Lines("End OnStart 2 in CURLDownloading for ", log) == 2; }, kWait));
            EXPECT_FALSE(FileExists(m_strFile));
            EXPECT_EQ(1, Lines("restart = true  OnStart in CURLDownloading for ", log));
            EXPECT_TRUE(m_transfer.start.fBeginAnew) << "the new file's version is its own";
            // The restart's progress line, then the connecting sentence of every start.
            ExpectState(run, State::Running, kConnecting);
            EXPECT_EQ("Downloaded 0 bytes (total size unknown)", run.Text(IDC_DOWNLOADSTATUS));
            EXPECT_EQ("Not Known", run.Text(IDC_TRANSFERRATE));
            EXPECT_EQ("Not Known", run.Text(IDC_TIMELEFT));
            EXPECT_EQ("0% done brindlemox.exe ", run.WindowText());
            // Nothing of the completed download is left: Open waits, and an end before the new
            // download completes keeps the stored folder and offers the shortcut.
            EXPECT_FALSE(run.Enabled(IDC_OPEN));
            run.Click(IDC_EXIT);
            ASSERT_TRUE(run.WaitEnded(kWait));
            EXPECT_EQ((int)State::Closed, (int)run.Dlg().State());
        }
        EXPECT_EQ(nForgetsBefore + (bRestarted ? 0 : 1), m_host.m_nForgets.load());
        EXPECT_EQ(nShortcutsBefore + (bRestarted ? 1 : 0), m_boxes.Count("Create Shortcut"));
        EXPECT_EQ(nClosesBefore + 1, m_host.CloseCount());
        m_transfer.End(E_ABORT, "");  // a transfer left running ends with its dialog
    }
}

HMODULE WINAPI NoTrustFunctions(LPCSTR) { return NULL; }  // as on a Windows without them

TEST_F(DownloadDialogTest, AStopThatComesAsTheTransferCompletesChangesNothingAndOpenAsksWhereNoPublisherCanBeChecked)
{
    m_transfer.fEndOnAbort = FALSE;  // the binding ends complete before the abort reaches it
    CDownloadDialogRun& run = Open(true);
    run.Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return m_transfer.nAborts.load() == 1; }, kWait));
    ASSERT_TRUE(m_transfer.End(S_OK, "Download Complete"));
    ASSERT_TRUE(WaitUntil([&] { return run.Enabled(IDC_START) && run.WindowText() == "Download completed"; }, kWait));
    EXPECT_EQ("Download completed", run.Text(IDC_SERVERSTATUS));
    EXPECT_TRUE(run.Enabled(IDC_OPEN));
    // This Windows cannot check the publisher: Open asks before it runs the file (No: it does not).
    ASSERT_TRUE(WriteWholeFile(m_strFile, "MZ"));
    g_pfnPublisherCheckLoadLibrary = NoTrustFunctions;
    run.Click(IDC_OPEN);
    EXPECT_TRUE(WaitUntil([&] { return m_boxes.Count("Open Downloaded File") == 1; }, kWait));
    g_pfnPublisherCheckLoadLibrary = ::LoadLibraryA;
    EXPECT_EQ("The publisher of the downloaded file could not be checked on this version of Windows. Do you want to "
              "run it anyway?", m_boxes.Texts("Open Downloaded File")[0]);
    EXPECT_TRUE(FileExists(m_strFile) && run.Enabled(IDC_OPEN));
    run.Click(IDC_EXIT);
    ASSERT_TRUE(run.WaitEnded(kWait));
    EXPECT_EQ((int)State::ClosedAfterComplete, (int)run.Dlg().State());
    EXPECT_EQ(1, m_host.m_nForgets.load());
    EXPECT_EQ(0, m_boxes.Count("Create Shortcut"));
}
