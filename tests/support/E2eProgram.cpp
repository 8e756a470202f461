#include "tests/support/E2eProgram.h"
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <algorithm>
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

bool FileExists(const std::string& strPath) { return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string ReadWholeFile(const std::string& strPath)
{
    std::string strData;
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, 0, NULL);
    char buffer[65536];
    for (DWORD cbRead = 0; ::ReadFile(hFile, buffer, sizeof(buffer), &cbRead, NULL) && cbRead > 0;)
        strData.append(buffer, cbRead);
    ::CloseHandle(hFile);
    return strData;
}
bool WriteWholeFile(const std::string& strPath, const std::string& strData)
{
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD cbWritten = 0;
    const BOOL bDone = ::WriteFile(hFile, strData.data(), (DWORD)strData.size(), &cbWritten, NULL);
    ::CloseHandle(hFile);
    return bDone && cbWritten == strData.size();
}
LONGLONG FileLength(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}
static void RemoveTree(const std::string& strFolder)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*").c_str(), &data);
    for (BOOL bMore = hFind != INVALID_HANDLE_VALUE; bMore; bMore = ::FindNextFileA(hFind, &data))
    {
        const std::string strName = data.cFileName, strPath = strFolder + "\\" + strName;
        ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (strName != "." && strName != "..")
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveTree(strPath) : (void)::DeleteFileA(strPath.c_str());
    }
    ::FindClose(hFind);
    ::RemoveDirectoryA(strFolder.c_str());
}
CTempFolder::CTempFolder(const char* pszName)
{
    static LONG s_nSerial = 0;
    char szTemp[MAX_PATH] = "", szUnique[64];
    ::GetTempPathA(MAX_PATH, szTemp);
    snprintf(szUnique, sizeof(szUnique), "dls%lu-%lu-%ld-", ::GetCurrentProcessId(), ::GetTickCount(),
             ::InterlockedIncrement(&s_nSerial));
    m_strPath = std::string(szTemp) + szUnique + pszName;
    ::CreateDirectoryA(m_strPath.c_str(), NULL);
}
CTempFolder::~CTempFolder() { RemoveTree(m_strPath); }
bool ReadShellLink(const std::string& strLink, std::string* pstrTarget, std::string* pstrDescription)
{
    const HRESULT hrInit = ::CoInitialize(NULL);
    IShellLinkA* pLink = nullptr;
    IPersistFile* pFile = nullptr;
    WCHAR wszLink[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, strLink.c_str(), -1, wszLink, MAX_PATH);
    char szTarget[MAX_PATH] = "", szDescription[MAX_PATH] = "";
    const bool bRead =
        SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&pLink)) &&
        SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, (void**)&pFile)) && SUCCEEDED(pFile->Load(wszLink, STGM_READ)) &&
        SUCCEEDED(pLink->GetPath(szTarget, MAX_PATH, NULL, SLGP_RAWPATH)) &&
        SUCCEEDED(pLink->GetDescription(szDescription, MAX_PATH));
    *pstrTarget = szTarget;
    *pstrDescription = szDescription;
    if (pFile != nullptr)
        pFile->Release();
    if (pLink != nullptr)
        pLink->Release();
    if (SUCCEEDED(hrInit))
        ::CoUninitialize();
    return bRead;
}
std::string ResumeShortcutPath()
{
    char szDesktop[MAX_PATH] = "";  // Shell Folders "Desktop", expanded, as the program reads it
    ::ExpandEnvironmentStringsA(ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\"
                                                                     "Explorer\\Shell Folders", "Desktop")
                                    .data.c_str(),
                                szDesktop, MAX_PATH);
    return std::string(szDesktop) + "\\Resume Brindlemox Download.lnk";
}
std::string StoredFolder() { return ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).data; }
std::string E2eEnv(const char* pszName)
{
    char szValue[1024] = "";
    const DWORD cch = ::GetEnvironmentVariableA(pszName, szValue, sizeof(szValue));
    return cch < sizeof(szValue) ? szValue : "";
}
std::string E2eProgram(const std::string& strName) { return E2eEnv("DLS_PROGRAM_DIR") + "\\DownloadSetup" + strName + ".exe"; }
std::string E2eNginxUrl(const std::string& strPath) { return "http://127.0.0.1:" + E2eEnv("DLS_NGINX_PORT") + strPath; }
const char* const CServedInstaller::kPaths[4] = {kGeneralPath, "/download/win9x/brindlemox.exe",
                                                 "/download/winnt/brindlemox.exe", "/download/common/brindlemox.exe"};
CServedInstaller::CServedInstaller(size_t cbSize) : m_cbSize(cbSize)
{
    for (const char* pszPath : kPaths)
    {
        const std::string strLocal = LocalFile(pszPath);
        for (size_t nPos = strLocal.find('\\', 3); nPos != std::string::npos; nPos = strLocal.find('\\', nPos + 1))
            ::CreateDirectoryA(strLocal.substr(0, nPos).c_str(), NULL);
        WriteWholeFile(strLocal, Content(pszPath));
    }
}
CServedInstaller::~CServedInstaller()
{
    for (const char* pszPath : kPaths)
        ::DeleteFileA(LocalFile(pszPath).c_str());
}
std::string CServedInstaller::LocalFile(const std::string& strUrlPath) const
{
    std::string strLocal = E2eEnv("DLS_WWW_WIN") + strUrlPath;
    std::replace(strLocal.begin(), strLocal.end(), '/', '\\');
    return strLocal;
}
std::string CServedInstaller::Content(const std::string& strUrlPath) const
{
    const long nPath = long(std::find(kPaths, kPaths + 4, strUrlPath) - kPaths);
    return SignedInstaller(std::to_string(m_cbSize) + "-" + std::to_string(nPath) + ".exe");
}
std::string CServedInstaller::SignedInstaller(const std::string& strName)
{
    return ReadWholeFile(E2eEnv("DLS_BUILD_DIR_WIN") + "\\e2e-served\\" + strName);
}
CProgramRun::CProgramRun(const std::string& strExe) : m_nNoticesBefore(SupportServer().Requests().size())
{
    std::string strCommand = "\"" + strExe + "\"";
    STARTUPINFOA si = {sizeof(si)};
    if (::CreateProcessA(strExe.c_str(), &strCommand[0], NULL, NULL, FALSE, 0, NULL,
                         strExe.substr(0, strExe.find_last_of('\\')).c_str(), &si, &m_pi))
        ::WaitForInputIdle(m_pi.hProcess, 30000);
}
CProgramRun::~CProgramRun()
{
    if (m_pi.hProcess == NULL)
        return;
    ::TerminateProcess(m_pi.hProcess, 99);  // a failed test's clean-up; nothing when it has ended
    ::WaitForSingleObject(m_pi.hProcess, 10000);
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
}
size_t CProgramRun::Notices(size_t n, DWORD dwTimeoutMs) const
{
    return SupportServer().WaitRequests(m_nNoticesBefore + n, dwTimeoutMs) - m_nNoticesBefore;
}
bool CProgramRun::WaitExit(DWORD dwTimeoutMs, DWORD* pdwExitCode)
{
    if (m_pi.hProcess == NULL || ::WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) != WAIT_OBJECT_0)
        return false;
    if (pdwExitCode != nullptr)
        ::GetExitCodeProcess(m_pi.hProcess, pdwExitCode);
    return true;
}
// A visible dialog of the process with the caption (any when NULL) and the item nItem, or with
// nItem 0 a message box: neither the Setup (Start Download) nor the download dialog (Start/Resume).
static HWND WaitDialog(DWORD dwPid, const char* pszCaption, int nItem, DWORD dwTimeoutMs)
{
    HWND hFound = NULL;
    WaitUntil(
        [&] {
            for (HWND h : FindTopWindows(dwPid, "#32770", pszCaption, true))
                if (nItem != 0 ? ::GetDlgItem(h, nItem) != NULL
                               : !::GetDlgItem(h, IDC_BUTTON_START) && !::GetDlgItem(h, IDC_START))
                    hFound = h;
            return hFound != NULL;
        },
        dwTimeoutMs);
    return hFound;
}
HWND CProgramRun::WaitMessageBox(const char* pszCaption, DWORD dwMs) const { return WaitDialog(Pid(), pszCaption, 0, dwMs); }
HWND CProgramRun::WaitSetupDialog(DWORD dwMs) const { return WaitDialog(Pid(), "Download Setup", IDC_BUTTON_START, dwMs); }
HWND CProgramRun::WaitDownloadDialog(DWORD dwMs) const { return WaitDialog(Pid(), nullptr, IDC_START, dwMs); }
bool CProgramRun::Answer(const char* pszCaption, int nButton, const std::string& strText) const
{
    HWND hBox = NULL;
    if (!WaitUntil([&] { return (hBox = WaitMessageBox(pszCaption, 0)) != NULL && ::GetDlgItem(hBox, nButton); },
                   kStepWait))
        return false;
    if (!strText.empty())
        EXPECT_EQ(strText, MessageBoxTextOf(hBox));
    return AnswerMessageBox(hBox, nButton) &&
           WaitUntil([&] { return !::IsWindow(hBox) || !::IsWindowVisible(hBox); }, kStepWait);
}
HWND CProgramRun::StartDownload(const std::string& strFolder, DWORD dwTimeoutMs) const
{
    HWND hSetup = WaitSetupDialog(dwTimeoutMs);
    DWORD_PTR dwResult = 0;  // WM_SETTEXT carries its text across processes
    if (hSetup == NULL || !::SendMessageTimeoutA(::GetDlgItem(hSetup, IDC_EDIT_FOLDER), WM_SETTEXT, 0,
                                                 (LPARAM)strFolder.c_str(), SMTO_ABORTIFHUNG, 10000, &dwResult))
        return NULL;
    return ClickButton(hSetup, IDC_BUTTON_START) ? WaitDownloadDialog(dwTimeoutMs) : NULL;
}
HWND CProgramRun::Resume(DWORD* pdwAnswered) const
{
    if (!Answer("Resume Setup", IDYES,
                "Setup has detected that a previous download was not completed. Do you want to recover and continue "
                "Setup?"))
        return NULL;
    if (pdwAnswered != nullptr)
        *pdwAnswered = ::GetTickCount();
    return WaitDownloadDialog();
}
void CProgramRun::ExpectEnd(HWND hDownload, const std::string& strStatus) const
{
    // The end of a transfer enables Start/Resume, disables Stop/Pause, then shows the outcome in
    // place of the progress texts, last in the caption (which shows "N% done" meanwhile).
    std::string strShown;
    ASSERT_TRUE(WaitUntil(
        [&] {
            strShown = ItemTextOf(hDownload, IDC_SERVERSTATUS);
            return ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)) &&
                   !::IsWindowEnabled(::GetDlgItem(hDownload, IDC_STOP)) && !strShown.empty() &&
                   WindowTextOf(hDownload) == strShown;
        },
        kStepWait))
        << "the transfer has not ended: " << strShown;
    EXPECT_EQ(strStatus, strShown);
    const size_t nNotices = strStatus == "Download completed" ? 1 : 0;
    const std::string strElapsed = ItemTextOf(hDownload, IDC_TIMEELAPSED);
    Notices(nNotices, kStepWait);
    EXPECT_EQ(nNotices, Notices(nNotices + 1, 1500)) << "completion notices";
    EXPECT_EQ(strElapsed, ItemTextOf(hDownload, IDC_TIMEELAPSED)) << "the elapsed time goes on";
}
void CProgramRun::Finish(HWND hDownload, const std::string& strTarget, const std::string& strContent)
{
    ASSERT_NO_FATAL_FAILURE(ExpectEnd(hDownload, "Download completed"));
    EXPECT_TRUE(strContent == ReadWholeFile(strTarget));
    ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
    ASSERT_TRUE(WaitExit(kStepWait)) << "a question at Exit?";
    EXPECT_EQ(1u, Notices(2, 0)) << "one completion notice";
    EXPECT_EQ("", StoredFolder());
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE).bExists);
}
void CE2eTest::SetUp()
{
    for (const char* pszName : {"DLS_PROGRAM_DIR", "DLS_WWW_WIN", "DLS_BUILD_DIR_WIN", "DLS_NGINX_PORT"})
        if (E2eEnv(pszName).empty())
            GTEST_SKIP() << pszName << " is not set: run the end-to-end tests through tools/test";
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    SupportServer();  // listening before the program could send a notice
    ::DeleteFileA(ResumeShortcutPath().c_str());
}
void CE2eTest::TearDown()
{
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    ::DeleteFileA(ResumeShortcutPath().c_str());
}
