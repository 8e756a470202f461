// Drives the demo build of DownloadSetup through one download the way a user would, for tools/run
// on a machine without a display: Start Download with the desktop folder, the running download, the
// completed download, Open (the sample installer greets), Exit. Windows are found by caption or by
// their buttons and clicked with BM_CLICK; message boxes are answered like a user answers them.
//
//   DemoDriver.exe <stage folder>
//
// Before each stage worth a picture it writes "<stage>.ready" into the stage folder and waits for
// "<stage>.done", which tools/run writes once the screenshot is taken. Exit code 0 when every stage
// was reached.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string>

namespace
{
const DWORD kWait = 120000;
const int kStartDownload = 1000;  // Setup dialog
const int kOpen = 1004;           // download dialog
const int kStartResume = 1014;
const int kStopPause = 1015;
const int kExit = 1016;
const int kProgress = 1019;

std::string g_strStages;

struct Search
{
    const char* pszCaption;  // nullptr: any
    int nNeededItem;         // 0: none
    HWND hFound;
};

BOOL CALLBACK SearchProc(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<Search*>(lParam);
    char szClass[16] = "";
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (lstrcmpA(szClass, "#32770") != 0 || !::IsWindowVisible(hWnd))
        return TRUE;
    if (pSearch->pszCaption != nullptr)
    {
        char szCaption[256] = "";
        ::GetWindowTextA(hWnd, szCaption, sizeof(szCaption));
        if (lstrcmpA(szCaption, pSearch->pszCaption) != 0)
            return TRUE;
    }
    if (pSearch->nNeededItem != 0 && ::GetDlgItem(hWnd, pSearch->nNeededItem) == NULL)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

// A visible dialog or message box with this caption (and this control), waited for.
HWND WaitForDialog(const char* pszCaption, int nNeededItem, DWORD dwTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        Search search{pszCaption, nNeededItem, NULL};
        ::EnumWindows(SearchProc, reinterpret_cast<LPARAM>(&search));
        if (search.hFound != NULL)
            return search.hFound;
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return NULL;
        ::Sleep(100);
    }
}

bool WaitFor(bool (*pred)(HWND), HWND hWnd, DWORD dwTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    while (!pred(hWnd))
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(50);
    }
    return true;
}

void Click(HWND hDlg, int nID) { ::PostMessageA(::GetDlgItem(hDlg, nID), BM_CLICK, 0, 0); }

// Tells tools/run that the screen shows this stage and waits until it has taken its picture.
bool Stage(const char* pszName)
{
    std::string strReady = g_strStages + "\\" + pszName + ".ready";
    std::string strDone = g_strStages + "\\" + pszName + ".done";
    HANDLE hFile = ::CreateFileA(strReady.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFile);
    printf("stage %s\n", pszName);
    fflush(stdout);
    const DWORD dwStart = ::GetTickCount();
    while (::GetFileAttributesA(strDone.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        if (::GetTickCount() - dwStart > kWait)
            return false;
        ::Sleep(50);
    }
    return true;
}

int Fail(const char* pszWhat)
{
    printf("demo driver: %s\n", pszWhat);
    fflush(stdout);
    return 1;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Fail("usage: DemoDriver.exe <stage folder>");
    g_strStages = argv[1];

    HWND hSetup = WaitForDialog("Download Setup", kStartDownload, kWait);
    if (hSetup == NULL)
        return Fail("the Download Setup dialog did not appear");
    ::Sleep(500);  // let it finish painting
    Stage("setup");
    Click(hSetup, kStartDownload);

    HWND hDownload = WaitForDialog(nullptr, kStartResume, kWait);
    if (hDownload == NULL)
        return Fail("the download dialog did not appear");
    // Running: Stop/Pause enabled and the bar has moved.
    bool bRunning = WaitFor(
        [](HWND hDlg) {
            return ::IsWindowEnabled(::GetDlgItem(hDlg, kStopPause)) &&
                   ::SendMessageA(::GetDlgItem(hDlg, kProgress), PBM_GETPOS, 0, 0) >= 10;
        },
        hDownload, kWait);
    if (!bRunning)
        return Fail("the download did not start");
    ::Sleep(300);
    Stage("downloading");

    // Completed: Open is enabled.
    if (!WaitFor([](HWND hDlg) { return ::IsWindowEnabled(::GetDlgItem(hDlg, kOpen)) != FALSE; }, hDownload, kWait))
        return Fail("the download did not complete");
    ::Sleep(800);
    Stage("completed");

    // Open runs the downloaded installer, which says what it is.
    Click(hDownload, kOpen);
    HWND hInstaller = WaitForDialog("Brindlemox installer (sample)", 0, kWait);
    if (hInstaller == NULL)
        return Fail("the downloaded installer did not start");
    ::Sleep(500);
    Stage("installer");
    ::PostMessageA(hInstaller, WM_COMMAND, IDOK, 0);

    Click(hDownload, kExit);
    printf("demo driver: done\n");
    return 0;
}
