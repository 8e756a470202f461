#include <winsock2.h>  // before windows.h: the scripted server's header needs it first
#include "tests/support/E2eProgram.h"
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <wincrypt.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

#ifndef PROV_RSA_AES
#define PROV_RSA_AES 24  // declared only for newer system versions than the program targets
#endif
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c  // declared only for newer system versions than the program targets
#endif

// ---- environment --------------------------------------------------------------------------------

std::string E2eEnv(const char* pszName)
{
    char szValue[1024] = "";
    DWORD cch = ::GetEnvironmentVariableA(pszName, szValue, sizeof(szValue));
    return cch > 0 && cch < sizeof(szValue) ? std::string(szValue) : std::string();
}

bool E2eAvailable(std::string* pstrWhy)
{
    const char* required[] = {"DLS_PROGRAM_DIR", "DLS_WWW_WIN", "DLS_BUILD_DIR_WIN", "DLS_NGINX_PORT"};
    for (const char* pszName : required)
        if (E2eEnv(pszName).empty())
        {
            *pstrWhy = std::string(pszName) + " is not set: run the end-to-end tests through tools/test";
            return false;
        }
    return true;
}

std::string E2eProgram(const std::string& strFlavour)
{
    return E2eEnv("DLS_PROGRAM_DIR") + "\\DownloadSetup" + strFlavour + ".exe";
}

std::string E2eWww() { return E2eEnv("DLS_WWW_WIN"); }

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
    BOOL bDone = ::WriteFile(hFile, strData.data(), (DWORD)strData.size(), &cbWritten, NULL);
    ::CloseHandle(hFile);
    return bDone && cbWritten == strData.size();
}

std::string Sha256OfFile(const std::string& strPath)
{
    return FileExists(strPath) ? Sha256Of(ReadWholeFile(strPath)) : std::string();
}

std::string Sha256Of(const std::string& strData)
{
    std::string strHex;
    HCRYPTPROV hProv = 0;
    if (!::CryptAcquireContextA(&hProv, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return "";
    HCRYPTHASH hHash = 0;
    if (::CryptCreateHash(hProv, CALG_SHA_256, 0, 0, &hHash))
    {
        BYTE digest[32];
        DWORD cbDigest = sizeof(digest);
        if (::CryptHashData(hHash, reinterpret_cast<const BYTE*>(strData.data()), (DWORD)strData.size(), 0) &&
            ::CryptGetHashParam(hHash, HP_HASHVAL, digest, &cbDigest, 0))
        {
            char szByte[3];
            for (DWORD i = 0; i < cbDigest; ++i)
            {
                snprintf(szByte, sizeof(szByte), "%02x", digest[i]);
                strHex += szByte;
            }
        }
        ::CryptDestroyHash(hHash);
    }
    ::CryptReleaseContext(hProv, 0);
    return strHex;
}

bool MakeFolders(const std::string& strFolder)
{
    for (size_t nPos = strFolder.find('\\', 3); ; nPos = strFolder.find('\\', nPos + 1))
    {
        std::string strPart = strFolder.substr(0, nPos);
        if (!strPart.empty() && !FileExists(strPart) && !::CreateDirectoryA(strPart.c_str(), NULL))
            return false;
        if (nPos == std::string::npos)
            return true;
    }
}

namespace
{
void RemoveTree(const std::string& strFolder)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string strName = data.cFileName;
            if (strName == "." || strName == "..")
                continue;
            std::string strPath = strFolder + "\\" + strName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(strPath);
            else
            {
                ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(strPath.c_str());
            }
        } while (::FindNextFileA(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(strFolder.c_str());
}
}  // namespace

CE2eFolder::CE2eFolder(const char* pszName)
{
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, szTemp);
    char szUnique[64];
    snprintf(szUnique, sizeof(szUnique), "-%lu-%lu", ::GetCurrentProcessId(), ::GetTickCount());
    m_strPath = std::string(szTemp) + "e2e" + szUnique + "-" + pszName;
    ::CreateDirectoryA(m_strPath.c_str(), NULL);
}

CE2eFolder::~CE2eFolder() { RemoveTree(m_strPath); }

const char* const CServedInstaller::kPaths[4] = {"/download/brindlemox.exe", "/download/win9x/brindlemox.exe",
                                                 "/download/winnt/brindlemox.exe", "/download/common/brindlemox.exe"};

CServedInstaller::CServedInstaller(size_t cbSize) : m_cbSize(cbSize)
{
    for (const char* pszPath : kPaths)
    {
        std::string strLocal = LocalFile(pszPath);
        MakeFolders(strLocal.substr(0, strLocal.find_last_of('\\')));
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
    std::string strLocal = E2eWww() + strUrlPath;
    for (char& ch : strLocal)
        if (ch == '/')
            ch = '\\';
    return strLocal;
}

std::string CServedInstaller::Content(const std::string& strUrlPath) const
{
    unsigned nSeed = 1;
    for (unsigned i = 0; i < 4; ++i)
        if (strUrlPath == kPaths[i])
            nSeed = 11 + i;
    return MakeTestContent(m_cbSize, nSeed);
}

CNginxThrottle::CNginxThrottle() : m_bActive(WriteWholeFile(E2eWww() + "\\.throttle", "on")) {}

CNginxThrottle::~CNginxThrottle() { Release(); }

void CNginxThrottle::Release()
{
    if (m_bActive)
        ::DeleteFileA((E2eWww() + "\\.throttle").c_str());
    m_bActive = false;
}

namespace
{
LONGLONG SizeOfFile(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// The value of key="..." or key=... in one log line.
std::string Field(const std::string& strLine, const std::string& strKey)
{
    size_t nPos = strLine.find(" " + strKey + "=");
    if (nPos == std::string::npos)
        return "";
    nPos += strKey.size() + 2;
    if (nPos < strLine.size() && strLine[nPos] == '"')
    {
        size_t nEnd = strLine.find('"', nPos + 1);
        return strLine.substr(nPos + 1, nEnd == std::string::npos ? std::string::npos : nEnd - nPos - 1);
    }
    size_t nEnd = strLine.find(' ', nPos);
    return strLine.substr(nPos, nEnd == std::string::npos ? std::string::npos : nEnd - nPos);
}
}  // namespace

CNginxLog::CNginxLog()
    : m_strPath(E2eEnv("DLS_BUILD_DIR_WIN") + "\\e2e-nginx\\access.log"), m_llStart(SizeOfFile(m_strPath))
{
}

// Lines written by tools/test's log format:
//   dls method=GET path=/download/brindlemox.exe range="bytes=100-" status=206
std::vector<CNginxRequest> CNginxLog::Requests() const
{
    std::vector<CNginxRequest> requests;
    std::string strData = ReadWholeFile(m_strPath);
    if ((LONGLONG)strData.size() < m_llStart)
        return requests;
    strData.erase(0, (size_t)m_llStart);
    size_t nPos = 0;
    while (nPos < strData.size())
    {
        size_t nEnd = strData.find('\n', nPos);
        std::string strLine = strData.substr(nPos, nEnd == std::string::npos ? std::string::npos : nEnd - nPos);
        nPos = nEnd == std::string::npos ? strData.size() : nEnd + 1;
        if (strLine.compare(0, 4, "dls ") != 0)
            continue;
        CNginxRequest request;
        request.strMethod = Field(strLine, "method");
        request.strPath = Field(strLine, "path");
        request.strRange = Field(strLine, "range");
        if (request.strRange == "-")
            request.strRange.clear();
        request.nStatus = atoi(Field(strLine, "status").c_str());
        requests.push_back(request);
    }
    return requests;
}

// ---- the program as a process ----------------------------------------------------------------------

CProgramRun::CProgramRun(const std::string& strExe)
{
    std::string strFolder = strExe.substr(0, strExe.find_last_of('\\'));
    std::string strCommand = "\"" + strExe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (!::CreateProcessA(strExe.c_str(), &strCommand[0], NULL, NULL, FALSE, 0, NULL, strFolder.c_str(), &si, &m_pi))
        m_pi = PROCESS_INFORMATION{};
    else
        ::WaitForInputIdle(m_pi.hProcess, 30000);
}

CProgramRun::~CProgramRun()
{
    if (m_pi.hProcess == NULL)
        return;
    if (Running())
        Kill();
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

void CProgramRun::Kill()
{
    if (m_pi.hProcess == NULL)
        return;
    ::TerminateProcess(m_pi.hProcess, 99);
    ::WaitForSingleObject(m_pi.hProcess, 10000);
}

HWND CProgramRun::WaitMessageBox(const char* pszCaption, DWORD dwTimeoutMs) const
{
    HWND hBox = NULL;
    WaitUntil(
        [&] {
            for (HWND hWnd : FindTopWindows(Pid(), "#32770", pszCaption, true))
                if (::GetDlgItem(hWnd, IDC_BUTTON_START) == NULL && ::GetDlgItem(hWnd, IDC_START) == NULL)
                    hBox = hWnd;
            return hBox != NULL;
        },
        dwTimeoutMs);
    return hBox;
}

HWND CProgramRun::WaitSetupDialog(DWORD dwTimeoutMs) const
{
    HWND hDialog = NULL;
    WaitUntil(
        [&] {
            for (HWND hWnd : FindTopWindows(Pid(), "#32770", "Download Setup", true))
                if (::GetDlgItem(hWnd, IDC_BUTTON_START) != NULL)
                    hDialog = hWnd;
            return hDialog != NULL;
        },
        dwTimeoutMs);
    return hDialog;
}

HWND CProgramRun::WaitDownloadDialog(DWORD dwTimeoutMs) const
{
    HWND hDialog = NULL;
    WaitUntil(
        [&] {
            for (HWND hWnd : FindTopWindows(Pid(), "#32770", nullptr, true))
                if (::GetDlgItem(hWnd, IDC_START) != NULL && ::GetDlgItem(hWnd, IDC_STOP) != NULL)
                    hDialog = hWnd;
            return hDialog != NULL;
        },
        dwTimeoutMs);
    return hDialog;
}

bool CProgramRun::Answer(const char* pszCaption, int nButton, DWORD dwTimeoutMs, std::string* pstrText) const
{
    HWND hBox = NULL;
    WaitUntil(
        [&] {
            hBox = WaitMessageBox(pszCaption, 0);
            return hBox != NULL && ::GetDlgItem(hBox, nButton) != NULL;
        },
        dwTimeoutMs);
    if (hBox == NULL || ::GetDlgItem(hBox, nButton) == NULL)
        return false;
    if (pstrText != nullptr)
        *pstrText = MessageBoxTextOf(hBox);
    if (!AnswerMessageBox(hBox, nButton))
        return false;
    return WaitUntil([&] { return !::IsWindow(hBox) || !::IsWindowVisible(hBox); }, dwTimeoutMs);
}

bool CProgramRun::NoMessageBoxFor(const char* pszCaption, DWORD dwMs) const
{
    return WaitMessageBox(pszCaption, dwMs) == NULL;
}

void SetFolderBox(HWND hSetup, const std::string& strFolder)
{
    // WM_SETTEXT carries its text across processes.
    DWORD_PTR dwResult = 0;
    ::SendMessageTimeoutA(::GetDlgItem(hSetup, IDC_EDIT_FOLDER), WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(strFolder.c_str()), SMTO_ABORTIFHUNG, 10000, &dwResult);
}

bool WaitTransferEnded(HWND hDownload, DWORD dwTimeoutMs, std::string* pstrStatus)
{
    // Ended: Start/Resume enabled, Stop/Pause disabled and a status sentence shown. The dialog
    // opens in that button state too, but with no sentence yet, and a transfer under way shows
    // "Please wait while connecting......." or progress with Start/Resume disabled.
    std::string strStatus;
    bool bEnded = WaitUntil(
        [&] {
            if (!::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)) ||
                ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_STOP)))
                return false;
            strStatus = ItemTextOf(hDownload, IDC_SERVERSTATUS);
            return !strStatus.empty() && strStatus != "Please wait while connecting.......";
        },
        dwTimeoutMs);
    if (pstrStatus != nullptr)
        *pstrStatus = strStatus;
    return bEnded;
}

// ---- the desktop ----------------------------------------------------------------------------------

std::string DesktopFolder()
{
    std::string strDesktop;
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                        KEY_READ, &hKey) == ERROR_SUCCESS)
    {
        char szValue[MAX_PATH + 1] = "";
        DWORD cbValue = MAX_PATH;
        if (::RegQueryValueExA(hKey, "Desktop", NULL, NULL, reinterpret_cast<BYTE*>(szValue), &cbValue) ==
            ERROR_SUCCESS)
        {
            char szExpanded[MAX_PATH] = "";
            ::ExpandEnvironmentStringsA(szValue, szExpanded, MAX_PATH);
            strDesktop = szExpanded;
        }
        ::RegCloseKey(hKey);
    }
    return strDesktop;
}

std::string ResumeShortcutPath() { return DesktopFolder() + "\\Resume Brindlemox Download.lnk"; }

bool ReadShellLink(const std::string& strLink, std::string* pstrTarget, std::string* pstrDescription)
{
    HRESULT hrInit = ::CoInitialize(NULL);
    bool bRead = false;
    IShellLinkA* pLink = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&pLink))))
    {
        IPersistFile* pFile = nullptr;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile))))
        {
            WCHAR wszLink[MAX_PATH];
            ::MultiByteToWideChar(CP_ACP, 0, strLink.c_str(), -1, wszLink, MAX_PATH);
            if (SUCCEEDED(pFile->Load(wszLink, STGM_READ)))
            {
                char szTarget[MAX_PATH] = "";
                char szDescription[MAX_PATH] = "";
                pLink->GetPath(szTarget, MAX_PATH, NULL, SLGP_RAWPATH);
                pLink->GetDescription(szDescription, MAX_PATH);
                *pstrTarget = szTarget;
                *pstrDescription = szDescription;
                bRead = true;
            }
            pFile->Release();
        }
        pLink->Release();
    }
    if (SUCCEEDED(hrInit))
        ::CoUninitialize();
    return bRead;
}

// ---- the fixture ----------------------------------------------------------------------------------

CE2eTest::CE2eTest() : m_lastSetupPath(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE) {}

void CE2eTest::SetUp()
{
    std::string strWhy;
    if (!E2eAvailable(&strWhy))
        GTEST_SKIP() << strWhy;
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    m_bHadShortcut = FileExists(ResumeShortcutPath());
    if (m_bHadShortcut)
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
