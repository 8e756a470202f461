#include "tests/support/WindowDriver.h"
#include "tests/support/DialogDriver.h"

std::vector<HWND> FindTopWindows(DWORD dwProcessId, const char* pszClass, const char* pszCaption, bool bVisibleOnly)
{
    std::vector<HWND> found;
    for (HWND hWnd = ::GetTopWindow(NULL); hWnd != NULL; hWnd = ::GetWindow(hWnd, GW_HWNDNEXT))
    {
        DWORD dwProcess = 0;
        char szClass[64] = "";
        ::GetWindowThreadProcessId(hWnd, &dwProcess);
        ::GetClassNameA(hWnd, szClass, sizeof(szClass));
        if ((dwProcessId == 0 || dwProcess == dwProcessId) && (!bVisibleOnly || ::IsWindowVisible(hWnd)) &&
            (pszClass == nullptr || lstrcmpA(szClass, pszClass) == 0) &&
            (pszCaption == nullptr || WindowTextOf(hWnd) == pszCaption))
            found.push_back(hWnd);
    }
    return found;
}
HWND FindTopWindow(DWORD dwProcessId, const char* pszClass, const char* pszCaption, bool bVisibleOnly)
{
    const std::vector<HWND> found = FindTopWindows(dwProcessId, pszClass, pszCaption, bVisibleOnly);
    return found.empty() ? NULL : found.front();
}
HWND WaitForDialog(DWORD dwProcessId, const char* pszCaption, DWORD dwTimeoutMs)
{
    HWND hWnd = NULL;
    WaitUntil([&] { return (hWnd = FindTopWindow(dwProcessId, "#32770", pszCaption, true)) != NULL; }, dwTimeoutMs);
    return hWnd;
}
std::string WindowTextOf(HWND hWnd)
{
    char szText[1024] = "";
    DWORD_PTR dwResult = 0;
    if (hWnd == NULL || !::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(szText), (LPARAM)szText, SMTO_ABORTIFHUNG,
                                               5000, &dwResult))
        return "";
    szText[sizeof(szText) - 1] = '\0';
    return szText;
}
std::string ItemTextOf(HWND hDlg, int nID) { return WindowTextOf(::GetDlgItem(hDlg, nID)); }
std::string MessageBoxTextOf(HWND hBox)  // the static control 0xFFFF (100 in some versions of the system)
{
    return WindowTextOf(::GetDlgItem(hBox, 0xFFFF) ? ::GetDlgItem(hBox, 0xFFFF) : ::GetDlgItem(hBox, 100));
}
bool ClickButton(HWND hDlg, int nID)
{
    HWND hButton = ::GetDlgItem(hDlg, nID);
    return hButton != NULL && ::PostMessageA(hButton, BM_CLICK, 0, 0);
}
bool AnswerMessageBox(HWND hBox, int nID)
{
    HWND hButton = ::GetDlgItem(hBox, nID);
    return hButton != NULL && ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), (LPARAM)hButton);
}
