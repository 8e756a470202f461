// The end-to-end tests' view of the world: the program builds and the servers that tools/test
// starts (environment from tools/test and CTest), the program started as a process of its own and
// driven only through its windows, the served files, the nginx access log, files and shortcuts.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tests/support/RegistryValue.h"

// ---- environment --------------------------------------------------------------------------------

// An environment variable, or "" when unset.
std::string E2eEnv(const char* pszName);
// True when tools/test has started the servers and CTest has named the program; otherwise the test
// is skipped with pstrWhy set.
bool E2eAvailable(std::string* pstrWhy);
// <build>\DownloadSetup<strFlavour>.exe: "E2E" (nginx, byte ranges), "E2EPlain" (python3 -m
// http.server, no ranges), "E2EScripted" (the test's own scripted server on 127.0.0.1:18634).
std::string E2eProgram(const std::string& strFlavour);
// The folder nginx and the plain server serve (Windows form).
std::string E2eWww();

// ---- files ----------------------------------------------------------------------------------------

bool FileExists(const std::string& strPath);
std::string ReadWholeFile(const std::string& strPath);
bool WriteWholeFile(const std::string& strPath, const std::string& strData);
// SHA-256 as lower-case hex, of bytes or of a file's bytes ("" when the file cannot be read).
std::string Sha256Of(const std::string& strData);
std::string Sha256OfFile(const std::string& strPath);
// Creates every missing folder of strFolder.
bool MakeFolders(const std::string& strFolder);

// A fresh folder under the temporary folder, removed (with its files) on destruction.
class CE2eFolder
{
public:
    explicit CE2eFolder(const char* pszName);
    ~CE2eFolder();
    CE2eFolder(const CE2eFolder&) = delete;
    CE2eFolder& operator=(const CE2eFolder&) = delete;
    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "\\" + strName; }

private:
    std::string m_strPath;
};

// The installer as the servers hold it: distinct content under each of the four variant paths
// (so the downloaded bytes also tell which path was fetched); removed on destruction.
class CServedInstaller
{
public:
    explicit CServedInstaller(size_t cbSize);
    ~CServedInstaller();
    CServedInstaller(const CServedInstaller&) = delete;
    CServedInstaller& operator=(const CServedInstaller&) = delete;
    static const char* const kPaths[4];  // "/download/brindlemox.exe", ".../win9x/...", ".../winnt/...", ".../common/..."
    // Local copy of what is served under strUrlPath.
    std::string LocalFile(const std::string& strUrlPath) const;
    std::string Content(const std::string& strUrlPath) const;

private:
    size_t m_cbSize;
};

// Throttles nginx (a marker file in the served folder) while it exists, so that a download lasts
// long enough to be paused by hand.
class CNginxThrottle
{
public:
    CNginxThrottle();
    ~CNginxThrottle();
    void Release();

private:
    bool m_bActive;
};

// One request as nginx logged it.
struct CNginxRequest
{
    std::string strMethod;
    std::string strPath;
    std::string strRange;  // the Range header, "" when none
    int nStatus = 0;
};

// The requests nginx logs from now on.
class CNginxLog
{
public:
    CNginxLog();
    std::vector<CNginxRequest> Requests() const;

private:
    std::string m_strPath;
    LONGLONG m_llStart;
};

// ---- the program as a process ----------------------------------------------------------------------

class CProgramRun
{
public:
    // Starts strExe (no arguments) in its own folder.
    explicit CProgramRun(const std::string& strExe);
    // Ends the program if it is still running.
    ~CProgramRun();
    CProgramRun(const CProgramRun&) = delete;
    CProgramRun& operator=(const CProgramRun&) = delete;

    bool Started() const { return m_pi.hProcess != NULL; }
    DWORD Pid() const { return m_pi.dwProcessId; }
    bool Running() const;
    // Waits for the process to end; its exit code goes to *pdwExitCode.
    bool WaitExit(DWORD dwTimeoutMs, DWORD* pdwExitCode = nullptr);
    // Ends the process the hard way (a failed test's clean-up).
    void Kill();

    // A visible message box of this program with that caption (the program's own two dialogs are
    // not counted, so a box may share the Setup dialog's caption); NULL on timeout.
    HWND WaitMessageBox(const char* pszCaption, DWORD dwTimeoutMs) const;
    // The visible "Download Setup" dialog.
    HWND WaitSetupDialog(DWORD dwTimeoutMs) const;
    // The download dialog (the dialog with the Start/Resume button), visible.
    HWND WaitDownloadDialog(DWORD dwTimeoutMs) const;
    // Waits for a message box with this caption, answers it with nButton and returns its text;
    // false when no such box came.
    bool Answer(const char* pszCaption, int nButton, DWORD dwTimeoutMs, std::string* pstrText = nullptr) const;
    // True when no message box with this caption shows up within dwMs.
    bool NoMessageBoxFor(const char* pszCaption, DWORD dwMs) const;

private:
    PROCESS_INFORMATION m_pi{};
};

// Waits until the download dialog has ended its transfer (Start/Resume enabled again); the status
// sentence goes to *pstrStatus.
bool WaitTransferEnded(HWND hDownload, DWORD dwTimeoutMs, std::string* pstrStatus = nullptr);

// Types a folder into the Setup dialog's folder box.
void SetFolderBox(HWND hSetup, const std::string& strFolder);

// ---- the desktop ----------------------------------------------------------------------------------

// The desktop folder as the program reads it (Shell Folders "Desktop", expanded).
std::string DesktopFolder();
// The resume shortcut's path on the desktop.
std::string ResumeShortcutPath();
// Target and description of a shell link.
bool ReadShellLink(const std::string& strLink, std::string* pstrTarget, std::string* pstrDescription);

// ---- the fixture ----------------------------------------------------------------------------------

// Every end-to-end test: skipped outside tools/test; the stored folder and the resume shortcut are
// taken away before and put back as they were afterwards.
class CE2eTest : public ::testing::Test
{
protected:
    CE2eTest();
    void SetUp() override;
    void TearDown() override;
    // Bounded waits for one step of the program (start-up, a transfer of a few megabytes).
    static const DWORD kStepWait = 90000;

private:
    CSavedRegistryValue m_lastSetupPath;
    std::string m_strSavedShortcut;  // the shortcut's bytes if one was there before
    bool m_bHadShortcut = false;
};
