// The download dialog under concurrent use: progress and the end of a transfer reported from other
// threads while the user stops the transfer and closes the dialog, round after round. Every wait is
// bounded, so a deadlock fails the test instead of hanging the run. DLS_CONCURRENCY_ROUNDS sets the
// number of rounds (default 40, or as many as fit in 15 s, at least 10).
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <atomic>
#include <memory>
#include <string>
#include "download/CURLDownloading.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/MessageBoxAnswerer.h"

namespace
{
const DWORD kWait = 10000;

// One round: a dialog with a transfer under way, progress and the end of the transfer reported from
// two other threads, the user stopping and closing. Returns "", or what went wrong.
std::string RunRound(int nRound)
{
    CFakeWorkerScript script;
    auto run = std::make_unique<CDownloadDialogRun>(UniqueTestUrl(), "C:\\concurrency\\brindlemox.exe", &script);
    if (!run->Launch(true) || !run->WaitUp(kWait))
        return "the dialog did not come up";
    CURLDownloading& dlg = run->Dlg();
    std::atomic<bool> bStop{false};
    // Progress as a worker reports it, thousands of times a second; like the engine, which checks
    // the abort flag first, only a few updates follow the abort.
    CTestThread progress([&] {
        char szLine[64];
        for (int i = 0, nAfterAbort = 0; !bStop.load() && i < 100000 && !(dlg.g_fAbortDownload.load() && ++nAfterAbort > 3); ++i)
        {
            snprintf(szLine, sizeof(szLine), "Downloaded %d KB of 100 KB", i % 101);
            dlg.ProgressUpdate(dlg.FormatTimeLeft(i), dlg.FormatTransferRate(i * 0.01),
                               (i & 1) ? "Receiving data" : (LPCTSTR)dlg.m_strURL, szLine, i % 101);
            if ((i & 15) == 0)
                ::Sleep(1);
        }
    });
    // The end of the transfer, reported a few times.
    CTestThread end([&] {
        ::Sleep(nRound % 7);
        for (int i = 0; i < 3 && !bStop.load(); ++i, ::Sleep(nRound % 3))
        {
            dlg.SetServerStatus("The download has failed (the connection was interrupted)");
            dlg.CloseFileCtrlDlg();
        }
    });
    // The user: Stop/Pause (whether or not the worker is up yet), then the close box, answered Yes.
    if (nRound % 2 == 0)
        script.WaitStarted(1, kWait);
    ::Sleep(nRound % 5);
    run->Click(IDC_STOP);
    ::Sleep(nRound % 3);
    ::PostMessageA(run->Hwnd(), WM_CLOSE, 0, 0);

    const bool bEnded = run->WaitEnded(kWait);
    bStop = true;
    const bool bReportersEnded = progress.join(kWait) && end.join(kWait);
    const bool bWorkersEnded = script.JoinAll(kWait);
    if (!bEnded || !bReportersEnded || !bWorkersEnded)
    {
        progress.detach();  // something still runs: leave it alone
        end.detach();
        run.release();
        return "hang: dialog ended " + std::to_string(bEnded) + ", reporters " + std::to_string(bReportersEnded) +
               ", workers " + std::to_string(bWorkersEnded);
    }
    if (dlg.IntDlgStatus.load() != 4)
        return "status " + std::to_string(dlg.IntDlgStatus.load()) + " at the end";
    if (script.nAbortsElsewhere.load() != 0)
        return "the binding was aborted off its thread";
    if (script.nBindingRefs.load() != 0)
        return "the binding's reference was not given up exactly once";
    return "";
}
}  // namespace

TEST(DownloadDialogConcurrencyTest, ProgressAndTheEndOfTransfersWhileTheUserStopsAndCloses)
{
    CMessageBoxAnswerer boxes;
    boxes.Answer("Do you want to abort?", IDYES);
    boxes.Answer("Create Shortcut", IDNO);
    CSetupWindowStandIn setup;
    const char* pszRounds = getenv("DLS_CONCURRENCY_ROUNDS");
    const bool bCounted = pszRounds != nullptr && atoi(pszRounds) > 0;
    const int nRounds = bCounted ? atoi(pszRounds) : 40;
    const DWORD dwStart = ::GetTickCount();
    int nRun = 0;
    for (; nRun < nRounds && (bCounted || nRun < 10 || ::GetTickCount() - dwStart < 15000); ++nRun)
    {
        const std::string strFailure = RunRound(nRun);
        ASSERT_EQ("", strFailure) << "round " << nRun;
    }
    EXPECT_EQ(nRun, setup.CloseCount());
    EXPECT_EQ(nRun, boxes.Count("Do you want to abort?"));
    EXPECT_EQ(nRun, boxes.Count("Create Shortcut"));
    printf("%d rounds in %lu ms\n", nRun, (unsigned long)(::GetTickCount() - dwStart));
}
