// The download dialog mid-transfer as the user sees it: painted caption, colours, rounded top
// corners, bitmap buttons and the texts of a running transfer (filled in by this driver). With
// DLS_SCREENSHOT_PATH set, the window's area of the screen is saved there as a BMP file;
// DLS_DIALOG_HOLD_MS keeps the dialog up that much longer (to look at it or grab the screen).
#include <gtest/gtest.h>
#include <stdlib.h>
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

// The screen's pixels under rc, top row first, as 0x00RRGGBB.
std::vector<DWORD> GrabScreen(const RECT& rc)
{
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    std::vector<DWORD> pixels((size_t)cx * cy);
    HDC hdcScreen = ::GetDC(NULL);
    HDC hdcMem = ::CreateCompatibleDC(hdcScreen);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(hdcScreen, &bmi, DIB_RGB_COLORS, &pBits, NULL, 0);
    HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
    ::BitBlt(hdcMem, 0, 0, cx, cy, hdcScreen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    memcpy(pixels.data(), pBits, pixels.size() * sizeof(DWORD));
    ::SelectObject(hdcMem, hOld);
    ::DeleteObject(hbm);
    ::DeleteDC(hdcMem);
    ::ReleaseDC(NULL, hdcScreen);
    return pixels;
}

bool SaveBmp(const char* pszPath, const std::vector<DWORD>& pixels, int cx, int cy)
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = cx;
    info.biHeight = -cy;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + (DWORD)(pixels.size() * sizeof(DWORD));
    FILE* pFile = fopen(pszPath, "wb");
    if (pFile == nullptr)
        return false;
    fwrite(&file, sizeof(file), 1, pFile);
    fwrite(&info, sizeof(info), 1, pFile);
    fwrite(pixels.data(), sizeof(DWORD), pixels.size(), pFile);
    return fclose(pFile) == 0;
}

DWORD Rgb(BYTE r, BYTE g, BYTE b) { return ((DWORD)r << 16) | ((DWORD)g << 8) | b; }
}  // namespace

TEST(DownloadDialogScreenshotTest, TheDialogMidTransfer)
{
    CMessageBoxAnswerer boxes;
    boxes.Answer("Create Shortcut", IDNO);
    CSetupWindowStandIn setup;
    CFakeWorkerScript script;  // nothing is fetched or written
    auto run = std::make_unique<CDownloadDialogRun>("http://download.brindlemox.example/download/brindlemox.exe",
                                                    "C:\\Downloads\\brindlemox.exe", &script);
    ASSERT_TRUE(run->Launch(true));
    ASSERT_TRUE(run->WaitUp(kWait));
    ASSERT_TRUE(script.WaitStarted(1, kWait));
    HWND hDlg = run->Hwnd();

    // What a running transfer shows: filled in from another thread, as the worker does.
    CTestThread worker([&] {
        CURLDownloading& dlg = run->Dlg();
        dlg.ProgressUpdate(dlg.FormatTimeLeft(41), dlg.FormatTransferRate(37.6),
                           "Receiving data from the server (Downloading.....)", "Downloaded 2.40 MB of 4.10 MB", 58);
    });
    worker.join();
    for (int i = 0; i < 17; ++i)
        ::PostMessageA(hDlg, WM_TIMER, ID_TIMER_ELAPSED, 0);
    ASSERT_TRUE(WaitUntil([&] { return run->WindowText() == "58% done brindlemox.exe "; }, kWait));
    ::RedrawWindow(hDlg, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(300);

    RECT rc;
    ::GetWindowRect(hDlg, &rc);
    std::vector<DWORD> pixels = GrabScreen(rc);
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (const char* pszPath = getenv("DLS_SCREENSHOT_PATH"))
    {
        EXPECT_TRUE(SaveBmp(pszPath, pixels, cx, cy));
    }
    if (const char* pszHold = getenv("DLS_DIALOG_HOLD_MS"))
        ::Sleep((DWORD)atoi(pszHold));

    // The caption's right end is the light lilac block of the gradient; the frame is blue.
    RECT rcClient;
    ::GetClientRect(hDlg, &rcClient);
    POINT ptClient = {0, 0};
    ::ClientToScreen(hDlg, &ptClient);
    const int xClient = ptClient.x - rc.left;
    const int yClient = ptClient.y - rc.top;
    EXPECT_EQ(Rgb(175, 199, 239) & 0xFFFFFF, pixels[(size_t)(yClient + rcClient.bottom - 3) * cx + xClient + 3] & 0xFFFFFF);
    bool bLilac = false;
    for (int x = cx / 2; x < cx && !bLilac; ++x)
        for (int y = 0; y < yClient && !bLilac; ++y)
            bLilac = (pixels[(size_t)y * cx + x] & 0xFFFFFF) == Rgb(232, 225, 243);
    EXPECT_TRUE(bLilac);

    run->Click(IDC_EXIT);
    ASSERT_TRUE(run->WaitEnded(kWait));
    ASSERT_TRUE(script.JoinAll(kWait));
}
