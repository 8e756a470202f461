// ScriptedHttpServer: a small HTTP/1.1 server on 127.0.0.1 for the transfer tests. It records each
// request, answers it once by a script (status, headers, body, a close
// or reset mid-body, or silence) and closes the connection. A connection that opens with a TLS
// handshake (a completion notice) is recorded as method "TLS" and held, unanswered, until Stop.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include "tests/support/TestThread.h"

struct ScriptedRequest
{
    std::string strMethod, strPath;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string Header(const char* pszName) const;  // "" when absent
};

struct ScriptedResponse
{
    int nStatus = 200;
    std::string strReason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    bool fContentLength = true;  // "Content-Length" with the body's full length
    std::string strBody;
    size_t cbCloseAfter = (size_t)-1;  // close the connection (FIN) after this many body bytes
    size_t cbResetAfter = (size_t)-1;  // reset it (RST) after this many body bytes
    bool fNoAnswer = false;
    ScriptedResponse& Header(const std::string& strName, const std::string& strValue)
    {
        headers.emplace_back(strName, strValue);
        return *this;
    }
};

class ScriptedHttpServer
{
public:
    using Handler = std::function<ScriptedResponse(const ScriptedRequest&)>;
    ~ScriptedHttpServer() { Stop(); }
    bool Start(Handler handler, unsigned short nPort = 0);  // 0: a free port; false when taken
    void Stop();                                            // ends every connection
    std::string Url(const std::string& strPath) const { return "http://127.0.0.1:" + std::to_string(m_nPort) + strPath; }
    std::vector<ScriptedRequest> Requests();
    // Waits (bounded) until n requests have come; how many came.
    size_t WaitRequests(size_t n, DWORD dwTimeoutMs);
    // A file: "Range: bytes=N-" gets 206 with Content-Range (416 past the end), otherwise (or
    // without fRanges) 200 with the whole file.
    static ScriptedResponse ServeFile(const std::string& strContent, const ScriptedRequest& request, bool fRanges = true);
    // A 206 multipart body of the parts {first, last} of the content.
    static ScriptedResponse MultipartAnswer(const std::string& strContent,
                                            const std::vector<std::pair<size_t, size_t>>& parts,
                                            const std::string& strType, const std::string& strBoundary = "SEPARATES");

private:
    void ServeConnection(SOCKET s);
    Handler m_handler;
    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_nPort = 0;
    HANDLE m_hStop = NULL;
    CTestThread m_acceptThread;
    CTestMutex m_mutex;
    std::vector<CTestThread> m_connThreads;
    std::vector<SOCKET> m_openSockets;
    std::vector<ScriptedRequest> m_requests;
};

// The support server of the test builds (127.0.0.1:DLS_SUPPORT_PORT), listening from the first call
// to the end of the test program, so that the notices it holds are never tried again. One program (or test
// program) at a time sends them: count from a mark.
ScriptedHttpServer& SupportServer();
// n bytes whose content tells each offset apart.
std::string MakeTestContent(size_t n, unsigned seed = 1);
