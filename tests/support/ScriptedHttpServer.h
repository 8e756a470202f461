// ScriptedHttpServer: a small HTTP/1.1 server on 127.0.0.1 (Winsock, ephemeral port) for the
// transfer tests. Each request is recorded and answered by a script: status, headers, a body sent
// at a chosen pace, and misbehaviour on purpose (close or reset the connection mid-body, fall
// silent). Every connection is answered once and then closed.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <functional>
#include "tests/support/TestThread.h"
#include <string>
#include <utility>
#include <vector>

struct ScriptedRequest
{
    std::string strMethod;
    std::string strPath;
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string strRaw;                                         // the request head as received

    // The value of the first header with this name (case-insensitive), or "" when absent.
    std::string Header(const char* pszName) const;
    bool HasHeader(const char* pszName) const;
};

struct ScriptedResponse
{
    static const size_t npos = static_cast<size_t>(-1);

    int nStatus = 200;
    std::string strReason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;  // sent in this order
    bool fContentLength = true;  // add "Content-Length" with the body's full length
    std::string strBody;

    size_t cbCloseAfter = npos;  // close the connection normally (FIN) after this many body bytes
    size_t cbResetAfter = npos;  // reset the connection (RST) after this many body bytes
    size_t cbStallAfter = npos;  // send nothing more after this many body bytes, keep the connection
    bool fNoAnswer = false;      // accept the request and never answer

    DWORD dwBytesPerSecond = 0;  // 0: as fast as the socket takes it
    DWORD cbChunk = 16384;       // bytes per send()

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

    ScriptedHttpServer();
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    // Listens on 127.0.0.1 on a free port (or on nPort, for a program built to ask that port);
    // FALSE when Winsock fails or the port is taken.
    bool Start(Handler handler, unsigned short nPort = 0);
    // Ends every connection (stalled ones too) and the listener; waits for the threads.
    void Stop();

    unsigned short Port() const { return m_nPort; }
    std::string Url(const std::string& strPath) const;
    std::vector<ScriptedRequest> Requests();
    // Body bytes handed to the socket so far, over all connections.
    size_t BytesSent();

    // Answers for a file whose content the server holds: honours "Range: bytes=N-" with 206 and a
    // Content-Range, or sends the whole file with 200 when there is no Range header (or fRanges is
    // false).
    static ScriptedResponse ServeFile(const std::string& strContent, const ScriptedRequest& request,
                                      bool fRanges = true);
    // A multipart byte-range body of the given parts {first, last} of the content.
    static ScriptedResponse MultipartAnswer(const std::string& strContent,
                                            const std::vector<std::pair<size_t, size_t>>& parts,
                                            const std::string& strType = "multipart/byteranges",
                                            const std::string& strBoundary = "THIS_STRING_SEPARATES");

private:
    void AcceptLoop();
    void ServeConnection(SOCKET s);
    bool SendAll(SOCKET s, const char* p, size_t cb);
    bool Waiting(DWORD dwMs);  // sleeps; false once the server stops

    Handler m_handler;
    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_nPort = 0;
    HANDLE m_hStop = NULL;
    CTestThread m_acceptThread;
    CTestMutex m_mutex;
    std::vector<CTestThread> m_connThreads;
    std::vector<SOCKET> m_openSockets;
    std::vector<ScriptedRequest> m_requests;
    size_t m_cbSent = 0;
    bool m_fWsa = false;
};

// A file of n bytes whose content tells each offset apart (not a repeating short pattern).
std::string MakeTestContent(size_t n, unsigned seed = 1);
