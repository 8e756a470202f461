// ScriptedHttpServer: see the header.
#include "ScriptedHttpServer.h"
#include <ws2tcpip.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <sstream>

namespace
{
bool EqualNoCase(const std::string& a, const char* b)
{
    return _stricmp(a.c_str(), b) == 0;
}

std::string Trim(const std::string& s)
{
    size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}
}  // namespace

std::string ScriptedRequest::Header(const char* pszName) const
{
    for (const auto& h : headers)
        if (EqualNoCase(h.first, pszName))
            return h.second;
    return std::string();
}

bool ScriptedRequest::HasHeader(const char* pszName) const
{
    for (const auto& h : headers)
        if (EqualNoCase(h.first, pszName))
            return true;
    return false;
}

std::string MakeTestContent(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < n; ++i)
    {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>((x >> 16) & 0xFF);
    }
    return s;
}

ScriptedHttpServer::ScriptedHttpServer() = default;

ScriptedHttpServer::~ScriptedHttpServer() { Stop(); }

bool ScriptedHttpServer::Start(Handler handler, unsigned short nPort)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return false;
    m_fWsa = true;
    m_handler = std::move(handler);
    m_hStop = CreateEventA(NULL, TRUE, FALSE, NULL);
    m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listen == INVALID_SOCKET)
        return false;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(nPort);
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(m_listen, 16) != 0)
        return false;
    int cbAddr = sizeof(addr);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &cbAddr);
    m_nPort = ntohs(addr.sin_port);
    m_acceptThread = CTestThread([this] { AcceptLoop(); });
    return true;
}

void ScriptedHttpServer::Stop()
{
    if (m_hStop != NULL)
        SetEvent(m_hStop);
    if (m_listen != INVALID_SOCKET)
    {
        closesocket(m_listen);
        m_listen = INVALID_SOCKET;
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<CTestThread> threads;
    {
        std::lock_guard<CTestMutex> lock(m_mutex);
        for (SOCKET s : m_openSockets)
            shutdown(s, SD_BOTH);
        threads.swap(m_connThreads);
    }
    for (auto& t : threads)
        if (t.joinable())
            t.join();
    if (m_hStop != NULL)
    {
        CloseHandle(m_hStop);
        m_hStop = NULL;
    }
    if (m_fWsa)
    {
        WSACleanup();
        m_fWsa = false;
    }
}

std::string ScriptedHttpServer::Url(const std::string& strPath) const
{
    char sz[64];
    snprintf(sz, sizeof(sz), "http://127.0.0.1:%u", static_cast<unsigned>(m_nPort));
    return std::string(sz) + strPath;
}

std::vector<ScriptedRequest> ScriptedHttpServer::Requests()
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    return m_requests;
}

size_t ScriptedHttpServer::BytesSent()
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    return m_cbSent;
}

bool ScriptedHttpServer::Waiting(DWORD dwMs) { return WaitForSingleObject(m_hStop, dwMs) == WAIT_TIMEOUT; }

void ScriptedHttpServer::AcceptLoop()
{
    for (;;)
    {
        SOCKET s = accept(m_listen, NULL, NULL);
        if (s == INVALID_SOCKET)
            return;  // the listener was closed
        std::lock_guard<CTestMutex> lock(m_mutex);
        if (WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0)
        {
            closesocket(s);
            return;
        }
        m_openSockets.push_back(s);
        m_connThreads.emplace_back([this, s] { ServeConnection(s); });
    }
}

bool ScriptedHttpServer::SendAll(SOCKET s, const char* p, size_t cb)
{
    while (cb > 0)
    {
        int n = send(s, p, static_cast<int>(std::min<size_t>(cb, 1 << 20)), 0);
        if (n <= 0)
            return false;
        p += n;
        cb -= static_cast<size_t>(n);
    }
    return true;
}

void ScriptedHttpServer::ServeConnection(SOCKET s)
{
    // The request head.
    std::string strHead;
    char buf[4096];
    while (strHead.find("\r\n\r\n") == std::string::npos && strHead.size() < 65536)
    {
        int n = recv(s, buf, sizeof(buf), 0);
        if (n <= 0)
            break;
        strHead.append(buf, static_cast<size_t>(n));
    }
    ScriptedRequest request;
    request.strRaw = strHead.substr(0, strHead.find("\r\n\r\n"));
    std::istringstream lines(request.strRaw);
    std::string strLine;
    if (std::getline(lines, strLine))
    {
        std::istringstream first(strLine);
        first >> request.strMethod >> request.strPath;
    }
    while (std::getline(lines, strLine))
    {
        size_t colon = strLine.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(Trim(strLine.substr(0, colon)), Trim(strLine.substr(colon + 1)));
    }
    {
        std::lock_guard<CTestMutex> lock(m_mutex);
        m_requests.push_back(request);
    }

    ScriptedResponse response = m_handler ? m_handler(request) : ScriptedResponse();
    bool fReset = false;
    if (response.fNoAnswer)
    {
        while (Waiting(50))
        {
        }
    }
    else
    {
        std::string strOut = "HTTP/1.1 " + std::to_string(response.nStatus) + " " + response.strReason + "\r\n";
        for (const auto& h : response.headers)
            strOut += h.first + ": " + h.second + "\r\n";
        if (response.fContentLength)
            strOut += "Content-Length: " + std::to_string(response.strBody.size()) + "\r\n";
        strOut += "Connection: close\r\n\r\n";
        bool fOk = SendAll(s, strOut.data(), strOut.size());

        size_t cbLimit = response.strBody.size();
        cbLimit = std::min(cbLimit, response.cbCloseAfter);
        cbLimit = std::min(cbLimit, response.cbResetAfter);
        cbLimit = std::min(cbLimit, response.cbStallAfter);
        LARGE_INTEGER freq, start, now;
        QueryPerformanceFrequency(&freq);
        QueryPerformanceCounter(&start);
        size_t cbDone = 0;
        const size_t cbChunk = response.cbChunk != 0 ? response.cbChunk : 16384;
        while (fOk && cbDone < cbLimit && WaitForSingleObject(m_hStop, 0) == WAIT_TIMEOUT)
        {
            size_t n = std::min(cbChunk, cbLimit - cbDone);
            fOk = SendAll(s, response.strBody.data() + cbDone, n);
            if (!fOk)
                break;
            cbDone += n;
            {
                std::lock_guard<CTestMutex> lock(m_mutex);
                m_cbSent += n;
            }
            if (response.dwBytesPerSecond != 0)
            {
                // Keep to the pace: wait until the bytes sent so far are due.
                const double dDue = static_cast<double>(cbDone) / response.dwBytesPerSecond;
                for (;;)
                {
                    QueryPerformanceCounter(&now);
                    const double dElapsed = static_cast<double>(now.QuadPart - start.QuadPart) / freq.QuadPart;
                    if (dElapsed >= dDue)
                        break;
                    const DWORD dwWait = static_cast<DWORD>((dDue - dElapsed) * 1000.0);
                    if (!Waiting(dwWait > 0 ? dwWait : 0))
                        break;
                    if (dwWait == 0)
                        Sleep(0);
                }
            }
        }
        if (fOk && cbDone == cbLimit && cbLimit < response.strBody.size())
        {
            if (response.cbStallAfter == cbLimit)
            {
                while (Waiting(50))
                {
                }
            }
            else if (response.cbResetAfter == cbLimit)
            {
                fReset = true;
            }
        }
    }

    if (fReset)
    {
        // SO_LINGER with a zero timeout makes closesocket send RST instead of FIN.
        linger lg = {1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lg), sizeof(lg));
    }
    else
    {
        shutdown(s, SD_SEND);
        // Let the client read to the end before the socket goes.
        DWORD dwTimeout = 2000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwTimeout), sizeof(dwTimeout));
        while (recv(s, buf, sizeof(buf), 0) > 0)
        {
        }
    }
    {
        std::lock_guard<CTestMutex> lock(m_mutex);
        m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), s), m_openSockets.end());
        closesocket(s);
    }
}

ScriptedResponse ScriptedHttpServer::ServeFile(const std::string& strContent, const ScriptedRequest& request,
                                               bool fRanges)
{
    ScriptedResponse response;
    response.Header("Content-Type", "application/octet-stream");
    const std::string strRange = request.Header("Range");
    size_t first = 0;
    if (fRanges && sscanf(strRange.c_str(), "bytes=%zu-", &first) == 1)
    {
        response.Header("Accept-Ranges", "bytes");
        if (first >= strContent.size())
        {
            response.nStatus = 416;
            response.strReason = "Range Not Satisfiable";
            response.Header("Content-Range", "bytes */" + std::to_string(strContent.size()));
            return response;
        }
        response.nStatus = 206;
        response.strReason = "Partial Content";
        response.Header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                             std::to_string(strContent.size() - 1) + "/" +
                                             std::to_string(strContent.size()));
        response.strBody = strContent.substr(first);
        return response;
    }
    response.strBody = strContent;
    return response;
}

ScriptedResponse ScriptedHttpServer::MultipartAnswer(const std::string& strContent,
                                                     const std::vector<std::pair<size_t, size_t>>& parts,
                                                     const std::string& strType, const std::string& strBoundary)
{
    ScriptedResponse response;
    response.nStatus = 206;
    response.strReason = "Partial Content";
    response.Header("Content-Type", strType + "; boundary=" + strBoundary);
    std::string strBody;
    for (const auto& part : parts)
    {
        strBody += "\r\n--" + strBoundary + "\r\n";
        strBody += "Content-Type: application/octet-stream\r\n";
        strBody += "Content-Range: bytes " + std::to_string(part.first) + "-" + std::to_string(part.second) + "/" +
                   std::to_string(strContent.size()) + "\r\n\r\n";
        strBody += strContent.substr(part.first, part.second - part.first + 1);
    }
    strBody += "\r\n--" + strBoundary + "--\r\n";
    response.strBody = strBody;
    return response;
}
