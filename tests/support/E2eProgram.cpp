#include "tests/support/E2eProgram.h"
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

// ---- files ----------------------------------------------------------------------------------------

bool FileExists(const std::string& strPath) { return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWholeFile(const std::string& strPath)
{
    std::string strData;
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return strData;
    char buffer[65536];
    DWORD cbRead = 0;
    while (::ReadFile(hFile, buffer, sizeof(buffer), &cbRead, NULL) && cbRead > 0)
        strData.append(buffer, cbRead);
    ::CloseHandle(hFile);
    return strData;
}

bool WriteWholeFile(const std::string& strPath, const std::string& strData)
{
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
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

namespace
{
void RemoveTree(const std::string& strFolder)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*").c_str(), &data);
    for (BOOL bMore = hFind != INVALID_HANDLE_VALUE; bMore; bMore = ::FindNextFileA(hFind, &data))
    {
        const std::string strName = data.cFileName, strPath = strFolder + "\\" + strName;
        if (strName == "." || strName == "..")
            continue;
        ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(strPath);
        else
            ::DeleteFileA(strPath.c_str());
    }
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
    ::RemoveDirectoryA(strFolder.c_str());
}
}  // namespace

CTempFolder::CTempFolder(const char* pszName)
{
    static LONG s_nSerial = 0;
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, szTemp);
    char szUnique[64];
    snprintf(szUnique, sizeof(szUnique), "dls%lu-%lu-%ld-", ::GetCurrentProcessId(), ::GetTickCount(),
             ::InterlockedIncrement(&s_nSerial));
    m_strPath = std::string(szTemp) + szUnique + pszName;
    ::CreateDirectoryA(m_strPath.c_str(), NULL);
}

CTempFolder::~CTempFolder() { RemoveTree(m_strPath); }

bool ReadShellLink(const std::string& strLink, std::string* pstrTarget, std::string* pstrDescription)
{
    const HRESULT hrInit = ::CoInitialize(NULL);
    bool bRead = false;
    IShellLinkA* pLink = nullptr;
    IPersistFile* pFile = nullptr;
    WCHAR wszLink[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, strLink.c_str(), -1, wszLink, MAX_PATH);
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&pLink)) &&
        SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, (void**)&pFile)) && SUCCEEDED(pFile->Load(wszLink, STGM_READ)))
    {
        char szTarget[MAX_PATH] = "", szDescription[MAX_PATH] = "";
        pLink->GetPath(szTarget, MAX_PATH, NULL, SLGP_RAWPATH);
        pLink->GetDescription(szDescription, MAX_PATH);
        *pstrTarget = szTarget;
        *pstrDescription = szDescription;
        bRead = true;
    }
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
    // The desktop folder as the program reads it: Shell Folders "Desktop", expanded.
    CRegistryData desktop = ReadRegistryValue(
        HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop");
    char szExpanded[MAX_PATH] = "";
    ::ExpandEnvironmentStringsA(desktop.data.c_str(), szExpanded, MAX_PATH);
    return std::string(szExpanded) + "\\Resume Brindlemox Download.lnk";
}

// ---- the end-to-end environment --------------------------------------------------------------------

std::string E2eEnv(const char* pszName)
{
    char szValue[1024] = "";
    const DWORD cch = ::GetEnvironmentVariableA(pszName, szValue, sizeof(szValue));
    return cch > 0 && cch < sizeof(szValue) ? std::string(szValue) : std::string();
}

std::string E2eProgram(const std::string& strFlavour)
{
    return E2eEnv("DLS_PROGRAM_DIR") + "\\DownloadSetup" + strFlavour + ".exe";
}

std::string E2eNginxUrl(const std::string& strPath) { return "http://127.0.0.1:" + E2eEnv("DLS_NGINX_PORT") + strPath; }

const char* const CServedInstaller::kPaths[4] = {"/download/brindlemox.exe", "/download/win9x/brindlemox.exe",
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
    for (char& ch : strLocal)
        if (ch == '/')
            ch = '\\';
    return strLocal;
}

std::string CServedInstaller::Content(const std::string& strUrlPath) const
{
    std::string strContent;
    if (strUrlPath == kPaths[0])  // a program that runs: the sample installer, padding after its image
        strContent = ReadWholeFile(E2eEnv("DLS_BUILD_DIR_WIN") + "\\sample\\BrindlemoxSample.exe");
    unsigned nSeed = 11;
    for (unsigned i = 0; i < 4; ++i)
        nSeed += strUrlPath == kPaths[i] ? i : 0;
    return strContent + MakeTestContent(m_cbSize > strContent.size() ? m_cbSize - strContent.size() : 0, nSeed);
}

CNginxThrottle::CNginxThrottle() { WriteWholeFile(E2eEnv("DLS_WWW_WIN") + "\\.throttle", "on"); }

void CNginxThrottle::Release() { ::DeleteFileA((E2eEnv("DLS_WWW_WIN") + "\\.throttle").c_str()); }

namespace
{
std::string NginxLogPath() { return E2eEnv("DLS_BUILD_DIR_WIN") + "\\e2e-nginx\\access.log"; }

// The value of key="..." or key=... in one log line.
std::string Field(const std::string& strLine, const std::string& strKey)
{
    size_t nPos = strLine.find(" " + strKey + "=");
    if (nPos == std::string::npos)
        return "";
    nPos += strKey.size() + 2;
    const bool bQuoted = nPos < strLine.size() && strLine[nPos] == '"';
    const size_t nEnd = strLine.find(bQuoted ? '"' : ' ', nPos + 1);
    return strLine.substr(nPos + bQuoted, nEnd == std::string::npos ? std::string::npos : nEnd - nPos - bQuoted);
}
}  // namespace

CNginxLog::CNginxLog() : m_llStart(FileLength(NginxLogPath())) {}

// Lines of tools/test's log format: dls method=GET path=/download/brindlemox.exe range="bytes=100-" status=206
std::vector<CNginxRequest> CNginxLog::Requests() const
{
    std::vector<CNginxRequest> requests;
    std::string strData = ReadWholeFile(NginxLogPath());
    size_t nPos = m_llStart > 0 ? (size_t)m_llStart : 0;
    for (size_t nEnd; nPos < strData.size() && (nEnd = strData.find('\n', nPos)) != std::string::npos; nPos = nEnd + 1)
    {
        const std::string strLine = strData.substr(nPos, nEnd - nPos);
        if (strLine.compare(0, 4, "dls ") != 0)
            continue;
        CNginxRequest request;
        request.strPath = Field(strLine, "path");
        request.strRange = Field(strLine, "range") == "-" ? "" : Field(strLine, "range");
        request.nStatus = atoi(Field(strLine, "status").c_str());
        requests.push_back(request);
    }
    return requests;
}

std::vector<CNginxRequest> CNginxLog::WaitRequests(size_t n) const
{
    std::vector<CNginxRequest> requests;
    WaitUntil([&] { return (requests = Requests()).size() >= n; }, 30000);
    return requests;
}

// ---- the program as a process ----------------------------------------------------------------------

CProgramRun::CProgramRun(const std::string& strExe)
{
    std::string strCommand = "\"" + strExe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (::CreateProcessA(strExe.c_str(), &strCommand[0], NULL, NULL, FALSE, 0, NULL,
                         strExe.substr(0, strExe.find_last_of('\\')).c_str(), &si, &m_pi))
        ::WaitForInputIdle(m_pi.hProcess, 30000);
}

CProgramRun::~CProgramRun()
{
    if (m_pi.hProcess == NULL)
        return;
    if (Running())
    {
        ::TerminateProcess(m_pi.hProcess, 99);  // a failed test's clean-up
        ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
}

bool CProgramRun::Running() const
{
    return m_pi.hProcess != NULL && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool CProgramRun::WaitExit(DWORD dwTimeoutMs, DWORD* pdwExitCode)
{
    if (m_pi.hProcess == NULL || ::WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) != WAIT_OBJECT_0)
        return false;
    if (pdwExitCode != nullptr)
        ::GetExitCodeProcess(m_pi.hProcess, pdwExitCode);
    return true;
}

namespace
{
// A visible dialog of the process with the caption (any caption: nullptr) that has (or lacks) the item.
HWND WaitDialogOf(DWORD dwPid, const char* pszCaption, int nItem, bool bWithItem, DWORD dwTimeoutMs)
{
    HWND hFound = NULL;
    WaitUntil(
        [&] {
            for (HWND hWnd : FindTopWindows(dwPid, "#32770", pszCaption, true))
                if ((::GetDlgItem(hWnd, nItem) != NULL) == bWithItem && (bWithItem || ::GetDlgItem(hWnd, IDC_START) == NULL))
                    hFound = hWnd;
            return hFound != NULL;
        },
        dwTimeoutMs);
    return hFound;
}
}  // namespace

HWND CProgramRun::WaitMessageBox(const char* pszCaption, DWORD dwTimeoutMs) const
{
    return WaitDialogOf(m_pi.dwProcessId, pszCaption, IDC_BUTTON_START, false, dwTimeoutMs);
}

HWND CProgramRun::WaitSetupDialog(DWORD dwTimeoutMs) const
{
    return WaitDialogOf(m_pi.dwProcessId, "Download Setup", IDC_BUTTON_START, true, dwTimeoutMs);
}

HWND CProgramRun::WaitDownloadDialog(DWORD dwTimeoutMs) const
{
    return WaitDialogOf(m_pi.dwProcessId, nullptr, IDC_START, true, dwTimeoutMs);
}

bool CProgramRun::Answer(const char* pszCaption, int nButton, DWORD dwTimeoutMs, std::string* pstrText) const
{
    HWND hBox = NULL;
    if (!WaitUntil([&] { return (hBox = WaitMessageBox(pszCaption, 0)) != NULL && ::GetDlgItem(hBox, nButton); },
                   dwTimeoutMs))
        return false;
    if (pstrText != nullptr)
        *pstrText = MessageBoxTextOf(hBox);
    return AnswerMessageBox(hBox, nButton) &&
           WaitUntil([&] { return !::IsWindow(hBox) || !::IsWindowVisible(hBox); }, dwTimeoutMs);
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

bool WaitTransferEnded(HWND hDownload, DWORD dwTimeoutMs, std::string* pstrStatus)
{
    // The dialog opens with Start/Resume enabled too, but without a sentence; a transfer under way
    // has Start/Resume disabled. The end enables it just before it shows the outcome.
    std::string strStatus;
    const bool bEnded = WaitUntil(
        [&] {
            strStatus = ItemTextOf(hDownload, IDC_SERVERSTATUS);
            return ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)) &&
                   !::IsWindowEnabled(::GetDlgItem(hDownload, IDC_STOP)) && !strStatus.empty() &&
                   strStatus != "Please wait while connecting......." &&
                   strStatus != "Please wait while aborting ..........";
        },
        dwTimeoutMs);
    if (pstrStatus != nullptr)
        *pstrStatus = strStatus;
    return bEnded;
}

namespace
{
struct CFindDialog
{
    const char* pszCaption;
    HWND hFound;
};

BOOL CALLBACK FindDialogProc(HWND hWnd, LPARAM lParam)
{
    auto* pFind = reinterpret_cast<CFindDialog*>(lParam);
    char szClass[16] = "";
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (::IsWindowVisible(hWnd) && lstrcmpA(szClass, "#32770") == 0 && WindowTextOf(hWnd) == pFind->pszCaption)
        pFind->hFound = hWnd;
    return TRUE;
}
}  // namespace

HWND WaitAnyDialog(const char* pszCaption, DWORD dwTimeoutMs)
{
    CFindDialog find = {pszCaption, NULL};
    WaitUntil([&] { return ::EnumWindows(FindDialogProc, (LPARAM)&find) && find.hFound != NULL; }, dwTimeoutMs);
    return find.hFound;
}

// ---- the fixture ----------------------------------------------------------------------------------

CE2eTest::CE2eTest() : m_lastSetupPath(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE) {}

void CE2eTest::SetUp()
{
    for (const char* pszName : {"DLS_PROGRAM_DIR", "DLS_WWW_WIN", "DLS_BUILD_DIR_WIN", "DLS_NGINX_PORT"})
        if (E2eEnv(pszName).empty())
            GTEST_SKIP() << pszName << " is not set: run the end-to-end tests through tools/test";
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    SupportServer();  // listening before the program could send a notice
    m_bHadShortcut = FileExists(ResumeShortcutPath());
    m_strSavedShortcut = ReadWholeFile(ResumeShortcutPath());
    ::DeleteFileA(ResumeShortcutPath().c_str());
}

void CE2eTest::TearDown()
{
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    ::DeleteFileA(ResumeShortcutPath().c_str());
    if (m_bHadShortcut)
        WriteWholeFile(ResumeShortcutPath(), m_strSavedShortcut);
}

std::string CE2eTest::StoredFolder()
{
    return ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE).data;
}
