// CMessageBoxAnswerer: answers this process's message boxes by caption from a thread of its own, as
// a user would (a click on one of the box's buttons), and records what each box said.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "tests/support/TestThread.h"

class CMessageBoxAnswerer
{
public:
    CMessageBoxAnswerer();   // starts watching
    ~CMessageBoxAnswerer();  // stops watching
    // Boxes with this caption get the button nCommand (IDYES, IDNO, IDOK...); others No, or OK.
    void Answer(const std::string& strCaption, int nCommand);
    // Boxes answered so far with this caption, and their texts in order.
    int Count(const std::string& strCaption) { return (int)Texts(strCaption).size(); }
    std::vector<std::string> Texts(const std::string& strCaption);

private:
    void Scan();
    CTestMutex m_mutex;
    std::map<std::string, int> m_answers;
    std::map<std::string, std::vector<std::string>> m_texts;
    std::vector<HWND> m_answered;  // boxes answered that may not have closed yet
    HANDLE m_hStop;
    CTestThread m_thread;
};
