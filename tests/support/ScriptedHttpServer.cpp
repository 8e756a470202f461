// ScriptedHttpServer: see the header.
#include "ScriptedHttpServer.h"
#include <stdio.h>
#include <algorithm>
#include <sstream>
#include <gtest/gtest.h>

std::string ScriptedRequest::Header(const char* pszName) const
{
    for (const auto& h : headers)
        if (_stricmp(h.first.c_str(), pszName) == 0)
            return h.second;
    return std::string();
}
std::string MakeTestContent(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 12345u;
    for (char& ch : s)
        ch = static_cast<char>(((x = x * 1103515245u + 12345u) >> 16) & 0xFF);
    return s;
}
ScriptedHttpServer& SupportServer()
{
    static ScriptedHttpServer* s_pServer = nullptr;  // never destroyed: the notices stay held
    if (s_pServer == nullptr && !(s_pServer = new ScriptedHttpServer)->Start(nullptr, DLS_SUPPORT_PORT))
        ADD_FAILURE() << "the support server's port " << DLS_SUPPORT_PORT << " is taken";
    return *s_pServer;
}
bool ScriptedHttpServer::Start(Handler handler, unsigned short nPort)
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    m_handler = std::move(handler);
    m_requests.clear();
    m_hStop = CreateEventA(NULL, TRUE, FALSE, NULL);
    m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {AF_INET, htons(nPort)};
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int cbAddr = sizeof(addr);
    if (bind(m_listen, (sockaddr*)&addr, sizeof(addr)) != 0 || listen(m_listen, 16) != 0 ||
        getsockname(m_listen, (sockaddr*)&addr, &cbAddr) != 0)
        return false;
    m_nPort = ntohs(addr.sin_port);
    m_acceptThread = CTestThread([this] {
        for (SOCKET s; (s = accept(m_listen, NULL, NULL)) != INVALID_SOCKET;)
        {
            std::lock_guard<CTestMutex> lock(m_mutex);
            m_openSockets.push_back(s);
            m_connThreads.emplace_back([this, s] { ServeConnection(s); });
        }
    });
    return true;
}
void ScriptedHttpServer::Stop()
{
    if (m_hStop == NULL)
        return;
    SetEvent(m_hStop);
    closesocket(m_listen);
    m_acceptThread.join();
    std::vector<CTestThread> threads;
    {
        std::lock_guard<CTestMutex> lock(m_mutex);
        for (SOCKET s : m_openSockets)
            shutdown(s, SD_BOTH);
        threads.swap(m_connThreads);
    }
    threads.clear();  // joins them
    CloseHandle(m_hStop);
    m_hStop = NULL;
    WSACleanup();
}
std::vector<ScriptedRequest> ScriptedHttpServer::Requests()
{
    std::lock_guard<CTestMutex> lock(m_mutex);
    return m_requests;
}
size_t ScriptedHttpServer::WaitRequests(size_t n, DWORD dwTimeoutMs)
{
    for (const DWORD dwStart = GetTickCount(); Requests().size() < n && GetTickCount() - dwStart < dwTimeoutMs;)
        Sleep(10);
    return Requests().size();
}
void ScriptedHttpServer::ServeConnection(SOCKET s)
{
    ScriptedRequest request;
    std::string strHead;
    char buf[16384];
    for (int n; strHead.find("\r\n\r\n") == std::string::npos && strHead.compare(0, 1, "\x16") != 0 &&
                (n = recv(s, buf, sizeof(buf), 0)) > 0;)
        strHead.append(buf, n);
    const bool fTls = strHead.compare(0, 1, "\x16") == 0;
    std::istringstream lines(fTls ? "TLS" : strHead.substr(0, strHead.find("\r\n\r\n")));
    std::string strLine;
    if (std::getline(lines, strLine))
        std::istringstream(strLine) >> request.strMethod >> request.strPath;
    for (size_t nColon; std::getline(lines, strLine);)
        if ((nColon = strLine.find(": ")) != std::string::npos)
            request.headers.emplace_back(strLine.substr(0, nColon), strLine.substr(nColon + 2, strLine.find('\r') - nColon - 2));
    {
        std::lock_guard<CTestMutex> lock(m_mutex);
        m_requests.push_back(request);
    }
    ScriptedResponse response = fTls || !m_handler ? ScriptedResponse() : m_handler(request);
    if (fTls || response.fNoAnswer)
        WaitForSingleObject(m_hStop, INFINITE);
    std::string strOut = "HTTP/1.1 " + std::to_string(response.nStatus) + " " + response.strReason + "\r\n";
    for (const auto& h : response.headers)
        strOut += h.first + ": " + h.second + "\r\n";
    if (response.fContentLength)
        strOut += "Content-Length: " + std::to_string(response.strBody.size()) + "\r\n";
    const size_t cbBody = std::min({response.strBody.size(), response.cbCloseAfter, response.cbResetAfter});
    strOut += "Connection: close\r\n\r\n" + response.strBody.substr(0, cbBody);
    for (size_t cbDone = 0, n; !fTls && !response.fNoAnswer && cbDone < strOut.size() &&
                               WaitForSingleObject(m_hStop, 0) == WAIT_TIMEOUT;
         cbDone += n)
        if ((int)(n = send(s, strOut.data() + cbDone, (int)std::min<size_t>(strOut.size() - cbDone, 16384), 0)) <= 0)
            break;
    if (cbBody == response.cbResetAfter && cbBody < response.strBody.size())
    {
        linger lg = {1, 0};  // closesocket then sends RST instead of FIN
        setsockopt(s, SOL_SOCKET, SO_LINGER, (const char*)&lg, sizeof(lg));
    }
    else
    {
        shutdown(s, SD_SEND);
        DWORD dwTimeout = 2000;  // the client reads to the end before the socket goes
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&dwTimeout, sizeof(dwTimeout));
        while (recv(s, buf, sizeof(buf), 0) > 0)
            continue;
    }
    std::lock_guard<CTestMutex> lock(m_mutex);
    m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), s), m_openSockets.end());
    closesocket(s);
}
ScriptedResponse ScriptedHttpServer::ServeFile(const std::string& strContent, const ScriptedRequest& request, bool fRanges)
{
    ScriptedResponse response;
    response.Header("Content-Type", "application/octet-stream");
    unsigned long ulFirst = 0;  // %lu: the C run time's scanf (msvcrt.dll's) knows no %zu
    response.strBody = strContent;
    if (!fRanges || sscanf(request.Header("Range").c_str(), "bytes=%lu-", &ulFirst) != 1)
        return response;
    const size_t first = ulFirst;
    const std::string strTotal = "/" + std::to_string(strContent.size());
    const bool fPast = first >= strContent.size();
    response.nStatus = fPast ? 416 : 206;
    response.strReason = fPast ? "Range Not Satisfiable" : "Partial Content";
    response.strBody = fPast ? "" : strContent.substr(first);
    return response.Header("Accept-Ranges", "bytes")
        .Header("Content-Range", fPast ? "bytes *" + strTotal
                                       : "bytes " + std::to_string(first) + "-" + std::to_string(strContent.size() - 1) + strTotal);
}
ScriptedResponse ScriptedHttpServer::MultipartAnswer(const std::string& strContent,
                                                     const std::vector<std::pair<size_t, size_t>>& parts,
                                                     const std::string& strType, const std::string& strBoundary)
{
    ScriptedResponse response;
    response.nStatus = 206;
    response.strReason = "Partial Content";
    response.Header("Content-Type", strType + "; boundary=" + strBoundary);
    for (const auto& part : parts)
        response.strBody += "\r\n--" + strBoundary + "\r\nContent-Type: application/octet-stream\r\nContent-Range: bytes " +
                            std::to_string(part.first) + "-" + std::to_string(part.second) + "/" +
                            std::to_string(strContent.size()) + "\r\n\r\n" +
                            strContent.substr(part.first, part.second - part.first + 1);
    response.strBody += "\r\n--" + strBoundary + "--\r\n";
    return response;
}
