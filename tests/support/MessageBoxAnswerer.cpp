#include "tests/support/MessageBoxAnswerer.h"
#include <algorithm>

CMessageBoxAnswerer::CMessageBoxAnswerer()
{
    m_hStop = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    m_hThread = ::CreateThread(NULL, 0, &CMessageBoxAnswerer::ThreadProc, this, 0, NULL);
}

CMessageBoxAnswerer::~CMessageBoxAnswerer()
{
    ::SetEvent(m_hStop);
    ::WaitForSingleObject(m_hThread, 10000);
    ::CloseHandle(m_hThread);
    ::CloseHandle(m_hStop);
}

void CMessageBoxAnswerer::Answer(const std::string& strCaption, int nCommand)
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    m_answers[strCaption] = nCommand;
}

int CMessageBoxAnswerer::Count(const std::string& strCaption)
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    auto it = m_texts.find(strCaption);
    return it == m_texts.end() ? 0 : (int)it->second.size();
}

std::vector<std::string> CMessageBoxAnswerer::Texts(const std::string& strCaption)
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    return m_texts[strCaption];
}

std::vector<std::string> CMessageBoxAnswerer::Captions()
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    return m_captions;
}

bool CMessageBoxAnswerer::WaitFor(const std::string& strCaption, int nCount, DWORD dwTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    while (Count(strCaption) < nCount)
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(5);
    }
    return true;
}

DWORD WINAPI CMessageBoxAnswerer::ThreadProc(LPVOID pParam)
{
    auto* pThis = static_cast<CMessageBoxAnswerer*>(pParam);
    while (::WaitForSingleObject(pThis->m_hStop, 5) == WAIT_TIMEOUT)
        pThis->Scan();
    return 0;
}

BOOL CALLBACK CMessageBoxAnswerer::EnumProc(HWND hWnd, LPARAM lParam)
{
    auto* pBoxes = reinterpret_cast<std::vector<HWND>*>(lParam);
    DWORD dwProcess = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcess);
    char szClass[16] = "";
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    // Message boxes are dialogs too: the program's own dialogs (download dialog: control 1014,
    // Setup dialog: control 1000) are left alone.
    if (dwProcess == ::GetCurrentProcessId() && lstrcmpA(szClass, "#32770") == 0 && ::IsWindowVisible(hWnd) &&
        ::GetDlgItem(hWnd, 1014) == NULL && ::GetDlgItem(hWnd, 1000) == NULL)
        pBoxes->push_back(hWnd);
    return TRUE;
}

void CMessageBoxAnswerer::Scan()
{
    std::vector<HWND> boxes;
    ::EnumWindows(&CMessageBoxAnswerer::EnumProc, reinterpret_cast<LPARAM>(&boxes));

    std::lock_guard<CTestMutex> lock(m_mutex);
    m_answered.erase(std::remove_if(m_answered.begin(), m_answered.end(), [](HWND h) { return !::IsWindow(h); }),
                     m_answered.end());
    for (HWND hBox : boxes)
    {
        if (std::find(m_answered.begin(), m_answered.end(), hBox) != m_answered.end())
            continue;
        char szCaption[256] = "";
        ::GetWindowTextA(hBox, szCaption, sizeof(szCaption));
        char szText[1024] = "";
        // The box's text is the static control 0xFFFF (100 in some versions of the system).
        if (::GetDlgItemTextA(hBox, 0xFFFF, szText, sizeof(szText)) == 0)
            ::GetDlgItemTextA(hBox, 100, szText, sizeof(szText));
        const std::string strCaption = szCaption;

        int nCommand = ::GetDlgItem(hBox, IDNO) != NULL ? IDNO : IDOK;
        auto it = m_answers.find(strCaption);
        if (it != m_answers.end())
            nCommand = it->second;
        HWND hButton = ::GetDlgItem(hBox, nCommand);
        if (hButton == NULL)
            continue;  // not built completely yet: next round
        m_captions.push_back(strCaption);
        m_texts[strCaption].push_back(szText);
        m_answered.push_back(hBox);
        ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(nCommand, BN_CLICKED), (LPARAM)hButton);
    }
}
