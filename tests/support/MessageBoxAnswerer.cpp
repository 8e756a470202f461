#include "tests/support/MessageBoxAnswerer.h"
#include <algorithm>
#include "tests/support/WindowDriver.h"

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
std::vector<std::string> CMessageBoxAnswerer::Texts(const std::string& strCaption)
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    return m_texts[strCaption];
}
void CMessageBoxAnswerer::Scan()
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    m_answered.erase(std::remove_if(m_answered.begin(), m_answered.end(), [](HWND h) { return !::IsWindow(h); }),
                     m_answered.end());
    // Message boxes are dialogs too; the program's own dialogs (download dialog: control 1014, Setup
    // dialog: control 1000) are left alone. A box not built completely yet is answered next round.
    for (HWND hBox : FindTopWindows(::GetCurrentProcessId(), "#32770", nullptr, true))
    {
        if (::GetDlgItem(hBox, 1014) || ::GetDlgItem(hBox, 1000) ||
            std::find(m_answered.begin(), m_answered.end(), hBox) != m_answered.end())
            continue;
        const std::string strCaption = WindowTextOf(hBox), strText = MessageBoxTextOf(hBox);
        auto it = m_answers.find(strCaption);
        if (AnswerMessageBox(hBox, it != m_answers.end() ? it->second : ::GetDlgItem(hBox, IDNO) ? IDNO : IDOK))
            m_texts[strCaption].push_back(strText), m_answered.push_back(hBox);
    }
}
