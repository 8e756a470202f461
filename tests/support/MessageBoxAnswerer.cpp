#include "tests/support/MessageBoxAnswerer.h"
#include <algorithm>
#include "tests/support/DialogDriver.h"

CMessageBoxAnswerer::CMessageBoxAnswerer() : m_hStop(::CreateEventA(NULL, TRUE, FALSE, NULL))
{
    m_thread = CTestThread([this] {
        while (::WaitForSingleObject(m_hStop, 5) == WAIT_TIMEOUT)
            Scan();
    });
}

CMessageBoxAnswerer::~CMessageBoxAnswerer()
{
    ::SetEvent(m_hStop);
    m_thread.join();
    ::CloseHandle(m_hStop);
}

void CMessageBoxAnswerer::Answer(const std::string& strCaption, int nCommand)
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    m_answers[strCaption] = nCommand;
}

int CMessageBoxAnswerer::Count(const std::string& strCaption) { return (int)Texts(strCaption).size(); }

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
    return WaitUntil([&] { return Count(strCaption) >= nCount; }, dwTimeoutMs);
}

namespace
{
// Message boxes are dialogs too; the program's own dialogs (download dialog: control 1014, Setup
// dialog: control 1000) are left alone.
BOOL CALLBACK FindBoxProc(HWND hWnd, LPARAM lParam)
{
    DWORD dwProcess = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcess);
    char szClass[16] = "";
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (dwProcess == ::GetCurrentProcessId() && lstrcmpA(szClass, "#32770") == 0 && ::IsWindowVisible(hWnd) &&
        ::GetDlgItem(hWnd, 1014) == NULL && ::GetDlgItem(hWnd, 1000) == NULL)
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}
}  // namespace

void CMessageBoxAnswerer::Scan()
{
    std::vector<HWND> boxes;
    ::EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&boxes));
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
        if (::GetDlgItemTextA(hBox, 0xFFFF, szText, sizeof(szText)) == 0)  // 100 in some system versions
            ::GetDlgItemTextA(hBox, 100, szText, sizeof(szText));
        auto it = m_answers.find(szCaption);
        const int nCommand = it != m_answers.end() ? it->second : ::GetDlgItem(hBox, IDNO) != NULL ? IDNO : IDOK;
        HWND hButton = ::GetDlgItem(hBox, nCommand);
        if (hButton == NULL)
            continue;  // not built completely yet: next round
        m_captions.push_back(szCaption);
        m_texts[szCaption].push_back(szText);
        m_answered.push_back(hBox);
        ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(nCommand, BN_CLICKED), (LPARAM)hButton);
    }
}
