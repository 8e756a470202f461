// The download dialog under concurrent use: progress updates and the end of a transfer reported
// from other threads while the user stops the transfer and closes the dialog, round after round.
// Every wait is bounded, so a deadlock fails the test instead of hanging the run.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <atomic>
#include <memory>
#include <string>
#include "tests/support/TestThread.h"
#include <vector>
#include "download/CURLDownloading.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/MessageBoxAnswerer.h"

namespace
{
const DWORD kWait = 10000;

struct Hammer
{
    CURLDownloading* pDlg;
    std::atomic<bool>* pbStop;
    int nSeed;
};

// Progress from the "worker": a stream of updates until told to stop.
DWORD WINAPI ProgressHammer(LPVOID pParam)
{
    auto* pHammer = static_cast<Hammer*>(pParam);
    char szLine[64];
    int nAfterAbort = 0;
    for (int i = 0; !pHammer->pbStop->load() && i < 100000; ++i)
    {
        // Like the engine, which checks the abort flag first, only a few updates follow the abort.
        if (pHammer->pDlg->g_fAbortDownload.load() && ++nAfterAbort > 3)
            break;
        snprintf(szLine, sizeof(szLine), "Downloaded %d KB of 100 KB", i % 101);
        pHammer->pDlg->ProgressUpdate(pHammer->pDlg->FormatTimeLeft(i), pHammer->pDlg->FormatTransferRate(i * 0.01),
                                      (i & 1) ? "Receiving data" : (LPCTSTR)pHammer->pDlg->m_strURL, szLine, i % 101);
        if ((i & 15) == 0)
            ::Sleep(1);  // thousands of updates a second, more than any transfer reports
    }
    return 0;
}

// The end of the transfer reported a few times from another thread, with outcome sentences.
DWORD WINAPI EndHammer(LPVOID pParam)
{
    auto* pHammer = static_cast<Hammer*>(pParam);
    ::Sleep(pHammer->nSeed % 7);
    for (int i = 0; i < 3 && !pHammer->pbStop->load(); ++i)
    {
        pHammer->pDlg->SetServerStatus("The download has failed (the connection was interrupted)");
        pHammer->pDlg->CloseFileCtrlDlg();
        ::Sleep(pHammer->nSeed % 3);
    }
    return 0;
}

// One round: a dialog with a transfer under way, the reporters busy, the user stopping and closing.
// Returns an empty string, or what went wrong.
std::string RunRound(int nRound)
{
    CDialogTestFiles files("concurrency");
    CFakeWorkerScript script;
    auto run = std::make_unique<CDownloadDialogRun>(files.m_strUrl, files.m_strFilePath, &script);
    if (!run->Launch(true) || !run->WaitUp(kWait))
        return "the dialog did not come up";

    std::atomic<bool> bStop{false};
    Hammer hammer = {&run->Dlg(), &bStop, nRound};
    HANDLE hThreads[2] = {::CreateThread(NULL, 0, ProgressHammer, &hammer, 0, NULL),
                          ::CreateThread(NULL, 0, EndHammer, &hammer, 0, NULL)};

    // The user: Stop/Pause (whether or not the worker is up yet), then the close box (answered Yes).
    if (nRound % 2 == 0)
        script.WaitStarted(1, kWait);
    ::Sleep(nRound % 5);
    run->Click(IDC_STOP);
    ::Sleep(nRound % 3);
    ::PostMessageA(run->Hwnd(), WM_CLOSE, 0, 0);

    const bool bEnded = run->WaitEnded(kWait);
    bStop = true;
    const DWORD dwJoined = ::WaitForMultipleObjects(2, hThreads, TRUE, kWait);
    ::CloseHandle(hThreads[0]);
    ::CloseHandle(hThreads[1]);
    const bool bWorkersEnded = script.JoinAll(kWait);
    if (!bEnded || dwJoined != WAIT_OBJECT_0 || !bWorkersEnded)
    {
        run.release();  // something still runs on it: leave it alone
        return "hang: dialog ended " + std::to_string(bEnded) + ", reporters joined " +
               std::to_string(dwJoined == WAIT_OBJECT_0) + ", workers ended " + std::to_string(bWorkersEnded);
    }
    if (run->Dlg().IntDlgStatus.load() != 4)
        return "status " + std::to_string(run->Dlg().IntDlgStatus.load()) + " at the end";
    if (script.nAbortsElsewhere.load() != 0)
        return "the binding was aborted off its thread";
    if (script.nBindingRefs.load() != 0)
        return "the binding's reference was not given up exactly once";
    return std::string();
}
}  // namespace

TEST(DownloadDialogConcurrencyTest, ProgressAndTheEndOfTransfersWhileTheUserStopsAndCloses)
{
    CMessageBoxAnswerer boxes;
    boxes.Answer("Do you want to abort?", IDYES);
    boxes.Answer("Create Shortcut", IDNO);
    CSetupWindowStandIn setup;

    // 200 rounds, or as many as fit in 40 seconds on a slow machine (at least 20): the rounds repeat
    // to shake out races, and a slow host must not turn that into a time-out of the whole test.
    // DLS_CONCURRENCY_ROUNDS sets the count and lifts the time budget (to repeat more, or less).
    const char* pszRounds = getenv("DLS_CONCURRENCY_ROUNDS");
    const bool bCounted = pszRounds != nullptr && atoi(pszRounds) > 0;
    const int nRounds = bCounted ? atoi(pszRounds) : 200;
    const int kMinRounds = bCounted ? nRounds : 20;
    const DWORD kBudget = 40000;
    const DWORD dwStart = ::GetTickCount();
    // One dialog at a time, as in the program. With dialogs on several threads of one process, Wine
    // crashes now and then inside its Uniscribe script cache, which all threads share
    // (init_script_cache, reached from an edit control's WM_SETTEXT on each dialog's own thread);
    // DLS_CONCURRENCY_LANES runs more dialogs side by side.
    const char* pszLanes = getenv("DLS_CONCURRENCY_LANES");
    const int kLanes = pszLanes != nullptr && atoi(pszLanes) > 0 ? atoi(pszLanes) : 1;

    std::atomic<int> nNext{0};
    std::atomic<int> nDone{0};
    std::vector<std::string> failures(kLanes);
    std::vector<CTestThread> lanes;
    for (int nLane = 0; nLane < kLanes; ++nLane)
    {
        lanes.emplace_back([&, nLane] {
            for (int nRound = nNext++; nRound < nRounds; nRound = nNext++)
            {
                if (nRound >= kMinRounds && ::GetTickCount() - dwStart > kBudget)
                    break;
                std::string strFailure = RunRound(nRound);
                if (!strFailure.empty())
                {
                    failures[nLane] = "round " + std::to_string(nRound) + ": " + strFailure;
                    return;
                }
                ++nDone;
            }
        });
    }
    for (CTestThread& lane : lanes)
        lane.join();

    for (const std::string& strFailure : failures)
        EXPECT_EQ("", strFailure);
    const int nRun = nDone.load();
    EXPECT_GE(nRun, kMinRounds);
    EXPECT_EQ(nRun, setup.CloseCount());
    EXPECT_EQ(nRun, boxes.Count("Do you want to abort?"));
    EXPECT_EQ(nRun, boxes.Count("Create Shortcut"));
    printf("%d rounds in %lu ms\n", nRun, (unsigned long)(::GetTickCount() - dwStart));
}
