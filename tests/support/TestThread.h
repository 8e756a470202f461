// A thread and a lock for test code: the win32-thread compiler that builds for old Windows has no
// std::thread or std::mutex.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <mutex>  // std::lock_guard, which works with CTestMutex
#include <utility>

class CTestMutex
{
public:
    CTestMutex() { ::InitializeCriticalSection(&m_cs); }
    ~CTestMutex() { ::DeleteCriticalSection(&m_cs); }
    CTestMutex(const CTestMutex&) = delete;
    void lock() { ::EnterCriticalSection(&m_cs); }
    void unlock() { ::LeaveCriticalSection(&m_cs); }
private:
    CRITICAL_SECTION m_cs;
};

// Runs a function on a thread of its own; join() (or the destructor) waits for it.
class CTestThread
{
public:
    CTestThread() = default;
    explicit CTestThread(std::function<void()> fn)
    {
        auto* pfn = new std::function<void()>(std::move(fn));
        if ((m_hThread = ::CreateThread(NULL, 0, Run, pfn, 0, NULL)) == NULL)
            delete pfn;
    }
    CTestThread(CTestThread&& other) noexcept : m_hThread(std::exchange(other.m_hThread, nullptr)) {}
    CTestThread& operator=(CTestThread&& other) noexcept
    {
        join();
        m_hThread = std::exchange(other.m_hThread, nullptr);
        return *this;
    }
    ~CTestThread() { join(); }
    // Waits at most dwTimeoutMs: false, the thread still running, when it has not ended.
    bool join(DWORD dwTimeoutMs = INFINITE)
    {
        if (m_hThread != NULL && ::WaitForSingleObject(m_hThread, dwTimeoutMs) != WAIT_OBJECT_0)
            return false;
        if (m_hThread != NULL)
            ::CloseHandle(std::exchange(m_hThread, nullptr));
        return true;
    }
private:
    static DWORD WINAPI Run(LPVOID pParam)
    {
        (*std::unique_ptr<std::function<void()>>(static_cast<std::function<void()>*>(pParam)))();
        return 0;
    }
    HANDLE m_hThread = NULL;
};
