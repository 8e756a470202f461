// The download dialog's two small services: the resume shortcut (a real shell link, read back
// through IShellLinkA) and the completion notice sent to the support server.
#include <winsock2.h>
#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <string>
#include "tests/support/TestThread.h"
#include "app/ServerConfig.h"
#include "download/CompletionNotice.h"
#include "download/ResumeShortcut.h"
#include "tests/support/E2eProgram.h"

namespace
{
std::string TempFolder(const char* pszName)
{
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(sizeof(szTemp), szTemp);
    std::string strFolder = std::string(szTemp) + pszName + "-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(strFolder.c_str(), NULL);
    return strFolder;
}

// The port of the support server of this (test) build.
u_short SupportPort()
{
    const char* pszColon = strrchr(GetSupportServer(), ':');
    return (u_short)(pszColon != nullptr ? atoi(pszColon + 1) : 443);
}

class WinsockSession
{
public:
    WinsockSession() { ::WSAStartup(MAKEWORD(2, 2), &m_data); }
    ~WinsockSession() { ::WSACleanup(); }

private:
    WSADATA m_data;
};
}  // namespace

TEST(ResumeShortcutTest, TheLinkPointsAtTheTargetWithTheDescription)
{
    const std::string strFolder = TempFolder("shortcut");
    const std::string strLink = strFolder + "\\Resume Brindlemox Download.lnk";
    char szProgram[MAX_PATH] = "";
    ::GetModuleFileNameA(NULL, szProgram, MAX_PATH);

    EXPECT_EQ(S_OK, CreateResumeShortcut(szProgram, strLink.c_str(), "DownloadSetup"));

    ::CoInitialize(NULL);
    std::string strTarget, strDescription;
    EXPECT_TRUE(ReadShellLink(strLink, &strTarget, &strDescription));
    ::CoUninitialize();
    EXPECT_EQ(0, lstrcmpiA(szProgram, strTarget.c_str())) << strTarget;
    EXPECT_EQ("DownloadSetup", strDescription);

    ::DeleteFileA(strLink.c_str());
    ::RemoveDirectoryA(strFolder.c_str());
}

TEST(ResumeShortcutTest, ALinkPathLongerThanMaxPathIsNotSaved)
{
    const std::string strFolder = TempFolder("shortcut-long");
    std::string strLink = strFolder + "\\" + std::string(MAX_PATH, 'x') + ".lnk";
    HRESULT hr = CreateResumeShortcut("C:\\windows\\notepad.exe", strLink.c_str(), "DownloadSetup");
    EXPECT_TRUE(FAILED(hr));
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*.lnk").c_str(), &data);
    EXPECT_EQ(INVALID_HANDLE_VALUE, hFind);
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
    ::RemoveDirectoryA(strFolder.c_str());
}

TEST(ResumeShortcutTest, AMissingFolderGivesTheSaveFailure)
{
    const std::string strLink = TempFolder("shortcut-missing") + "\\no such folder\\x.lnk";
    EXPECT_TRUE(FAILED(CreateResumeShortcut("C:\\windows\\notepad.exe", strLink.c_str(), "DownloadSetup")));
    ::RemoveDirectoryA(TempFolder("shortcut-missing").c_str());
}

TEST(CompletionNoticeTest, TheNoticeConnectsToTheSupportServerAndEndsWhenItAnswersNothing)
{
    WinsockSession winsock;
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(SupportPort());
    if (strncmp(GetSupportServer(), "127.0.0.1", 9) != 0 ||
        ::bind(listener, (sockaddr*)&addr, sizeof(addr)) != 0 || ::listen(listener, 1) != 0)
    {
        ::closesocket(listener);
        GTEST_SKIP() << "the support server's port is not free on this machine";
    }

    UINT nResult = 0;
    CTestThread notice([&] { nResult = CompletionNoticeThreadProc(nullptr); });

    // The request arrives over TLS: the first byte is a handshake record. Closing the connection
    // without an answer ends the notice.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval timeout = {10, 0};
    ASSERT_EQ(1, ::select(0, &readable, NULL, NULL, &timeout));
    SOCKET client = ::accept(listener, NULL, NULL);
    ASSERT_NE(INVALID_SOCKET, client);
    FD_ZERO(&readable);
    FD_SET(client, &readable);
    ASSERT_EQ(1, ::select(0, &readable, NULL, NULL, &timeout));
    unsigned char byte = 0;
    EXPECT_EQ(1, ::recv(client, (char*)&byte, 1, 0));
    EXPECT_EQ(0x16, byte);
    ::closesocket(client);
    ::closesocket(listener);

    notice.join();
    EXPECT_EQ(1u, nResult);
}

TEST(CompletionNoticeTest, AnUnreachableSupportServerEndsTheNoticeQuietly)
{
    WinsockSession winsock;
    // Nothing listens on the support server's port: the connection is refused at once.
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(SupportPort());
    bool bFree = strncmp(GetSupportServer(), "127.0.0.1", 9) == 0 && ::bind(probe, (sockaddr*)&addr, sizeof(addr)) == 0;
    ::closesocket(probe);
    if (!bFree)
        GTEST_SKIP() << "something listens on the support server's port";

    HANDLE hDone = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    UINT nResult = 0;
    CTestThread notice([&] {
        nResult = CompletionNoticeThreadProc(nullptr);
        ::SetEvent(hDone);
    });
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hDone, 30000));
    notice.join();
    ::CloseHandle(hDone);
    EXPECT_EQ(1u, nResult);
}
