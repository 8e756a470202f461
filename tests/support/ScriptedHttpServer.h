// ScriptedHttpServer: a small HTTP/1.1 server on 127.0.0.1 (Winsock) for the transfer tests. Each
// request is recorded and answered once by a script (status, headers, body, a close or reset
// mid-body, or silence), then the connection is closed. A connection that opens with a TLS
// handshake (the completion notice to the support server) is recorded as method "TLS" and held
// without an answer until the server stops.
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
    std::string strMethod;
    std::string strPath;
    std::vector<std::pair<std::string, std::string>> headers;
    DWORD dwClientPid = 0;  // the process that connected, when Windows can tell
    // The value of the first header with this name (any case), or "" when absent.
    std::string Header(const char* pszName) const;
    bool HasHeader(const char* pszName) const;
};

struct ScriptedResponse
{
    static const size_t npos = static_cast<size_t>(-1);
    int nStatus = 200;
    std::string strReason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    bool fContentLength = true;  // "Content-Length" with the body's full length
    std::string strBody;
    size_t cbCloseAfter = npos;  // close the connection (FIN) after this many body bytes
    size_t cbResetAfter = npos;  // reset it (RST) after this many body bytes
    bool fNoAnswer = false;      // never answer
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
    ScriptedHttpServer() = default;
    ~ScriptedHttpServer() { Stop(); }
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    // Listens on 127.0.0.1, on nPort or a free port; false when the port is taken.
    bool Start(Handler handler, unsigned short nPort = 0);
    // Ends every connection and the listener and waits for their threads.
    void Stop();
    std::string Url(const std::string& strPath) const;
    std::vector<ScriptedRequest> Requests();
    // Waits (bounded) until at least n requests have come (from process dwPid only, unless 0);
    // returns how many came.
    size_t WaitRequests(size_t n, DWORD dwTimeoutMs, DWORD dwPid = 0);

    // A file the server holds: "Range: bytes=N-" gets 206 with Content-Range (416 past the end),
    // no Range header (or fRanges false) the whole file with 200.
    static ScriptedResponse ServeFile(const std::string& strContent, const ScriptedRequest& request,
                                      bool fRanges = true);
    // A 206 multipart body of the parts {first, last} of the content.
    static ScriptedResponse MultipartAnswer(const std::string& strContent,
                                            const std::vector<std::pair<size_t, size_t>>& parts,
                                            const std::string& strType = "multipart/byteranges",
                                            const std::string& strBoundary = "THIS_STRING_SEPARATES");

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

// The support server of the test builds (127.0.0.1:18632), started on first use and kept for the rest
// of the test program: it sees one "TLS" request per completion notice and holds each open, so that
// no notice is tried again. Other test programs on the machine may send theirs: count by process.
ScriptedHttpServer& SupportServer();

// n bytes whose content tells each offset apart.
std::string MakeTestContent(size_t n, unsigned seed = 1);
