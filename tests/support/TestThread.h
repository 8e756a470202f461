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
    CTestMutex& operator=(const CTestMutex&) = delete;
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
    template <class F, class... Args> explicit CTestThread(F&& f, Args&&... args)
    {
        auto* pfn = new std::function<void()>(std::bind(std::forward<F>(f), std::forward<Args>(args)...));
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
    void join() { join(INFINITE); }
    // Waits at most dwTimeoutMs: false, the thread still running, when it has not ended.
    bool join(DWORD dwTimeoutMs)
    {
        if (m_hThread != NULL && ::WaitForSingleObject(m_hThread, dwTimeoutMs) != WAIT_OBJECT_0)
            return false;
        detach();
        return true;
    }
    void detach()
    {
        if (m_hThread != NULL)
            ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
private:
    static DWORD WINAPI Run(LPVOID pParam)
    {
        std::unique_ptr<std::function<void()>> pfn(static_cast<std::function<void()>*>(pParam));
        (*pfn)();
        return 0;
    }
    HANDLE m_hThread = NULL;
};
