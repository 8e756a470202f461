// The one notice the program sends to the support server after a completed download.
#include "download/CompletionNotice.h"
#include <wininet.h>
#include <stdio.h>
#include "download/ServerConfig.h"

namespace
{
// An Internet handle, closed when it goes out of scope.
class CInternetHandle
{
public:
    explicit CInternetHandle(HINTERNET h) : m_h(h) {}
    ~CInternetHandle()
    {
        if (m_h != NULL)
            ::InternetCloseHandle(m_h);
    }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    HINTERNET get() const { return m_h; }

private:
    HINTERNET m_h;
};
}  // namespace

UINT CompletionNoticeThreadProc(LPVOID)
{
    // Nobody waits for this thread: an unreachable server costs this thread alone.
    char szUrl[INTERNET_MAX_URL_LENGTH];
    ::snprintf(szUrl, sizeof(szUrl), "https://%s/support/ToIncrFile.asp?UserType=N", GetSupportServer());
    CInternetHandle hInternet(::InternetOpenA("Browser", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0));
    if (hInternet.get() == NULL)
        return 1;
    // The answer means nothing to the program; the request handle is closed before the session.
    CInternetHandle hRequest(::InternetOpenUrlA(hInternet.get(), szUrl, NULL, 0, INTERNET_FLAG_RELOAD, 0));
    return 1;
}
