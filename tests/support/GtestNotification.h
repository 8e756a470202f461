// GoogleTest's thread start-up helper on a Win32 event, in place of its own (GTEST_HAS_NOTIFICATION_),
// which needs the std::mutex that the win32-thread compiler lacks. Included ahead of every test source.
#pragma once
#include <winsock2.h>  // ahead of windows.h, for the tests that use sockets
#include <windows.h>

namespace testing::internal
{
struct Notification
{
    HANDLE m_hEvent = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    ~Notification() { ::CloseHandle(m_hEvent); }
    void Notify() { ::SetEvent(m_hEvent); }
    void WaitForNotification() { ::WaitForSingleObject(m_hEvent, INFINITE); }
};
}  // namespace testing::internal
