// The end-to-end tests' world (the program builds and the servers tools/test starts, the program as
// a process of its own driven through its windows, the served installer), and the file, folder and
// shell-link helpers that every test shares.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "app/LastSetupPath.h"
#include "tests/support/RegistryValue.h"

bool FileExists(const std::string& strPath);
std::string ReadWholeFile(const std::string& strPath);  // "" when it cannot be read
bool WriteWholeFile(const std::string& strPath, const std::string& strData);
LONGLONG FileLength(const std::string& strPath);  // -1 without the file

// A fresh folder under the temporary folder, removed with its files on destruction.
class CTempFolder
{
public:
    explicit CTempFolder(const char* pszName);
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "\\" + strName; }

private:
    std::string m_strPath;
};

bool ReadShellLink(const std::string& strLink, std::string* pstrTarget, std::string* pstrDescription);
std::string ResumeShortcutPath();  // on the desktop the program finds
std::string StoredFolder();        // LASTSETUPPATH's bytes, "" when absent
std::string E2eEnv(const char* pszName);  // "" when unset
// <build>\DownloadSetup<strFlavour>.exe: "E2E" (nginx, byte ranges), "E2EScripted" (the test's
// scripted server on DLS_SCRIPTED_PORT).
std::string E2eProgram(const std::string& strFlavour);
const char kGeneralPath[] = "/download/brindlemox.exe";
std::string E2eNginxUrl(const std::string& strPath = kGeneralPath);
const DWORD kStepWait = 90000;  // one step of the program (start-up, a transfer)

// The installer as nginx serves it under its four variant paths: the sample installer signed by the
// test publisher, made cbSize long (kServedSize, or 262152 with bytes of its own for each path; the
// build makes them). Removed on destruction.
const size_t kServedSize = 4194632;
struct CServedInstaller
{
    explicit CServedInstaller(size_t cbSize = kServedSize);
    ~CServedInstaller();
    static const char* const kPaths[4];
    std::string LocalFile(const std::string& strUrlPath = kGeneralPath) const;
    std::string Content(const std::string& strUrlPath = kGeneralPath) const;
    std::string NewVersion() const { return SignedInstaller(std::to_string(m_cbSize) + "-v2.exe"); }  // another, as long
    static std::string SignedInstaller(const std::string& strName);  // "" when the build made none
    const size_t m_cbSize;
};

// nginx sends at 256 KB/s while this object lives (or until Release).
struct CNginxThrottle
{
    CNginxThrottle() { WriteWholeFile(E2eEnv("DLS_WWW_WIN") + "\\.throttle", "on"); }
    ~CNginxThrottle() { Release(); }
    void Release() { ::DeleteFileA((E2eEnv("DLS_WWW_WIN") + "\\.throttle").c_str()); }
};

class CProgramRun
{
public:
    explicit CProgramRun(const std::string& strExe);  // started in its own folder
    ~CProgramRun();                                    // killed if still running
    CProgramRun(const CProgramRun&) = delete;
    CProgramRun& operator=(const CProgramRun&) = delete;
    DWORD Pid() const { return m_pi.dwProcessId; }
    // This run's completion notices, once n have come or after dwTimeoutMs.
    size_t Notices(size_t n, DWORD dwTimeoutMs) const;
    bool WaitExit(DWORD dwTimeoutMs, DWORD* pdwExitCode = nullptr);
    // A visible message box of this program with the caption (not one of its two dialogs), or NULL.
    HWND WaitMessageBox(const char* pszCaption, DWORD dwTimeoutMs) const;
    HWND WaitSetupDialog(DWORD dwTimeoutMs = kStepWait) const;
    HWND WaitDownloadDialog(DWORD dwTimeoutMs = kStepWait) const;
    // Answers a message box with this caption with nButton (its text checked unless strText is
    // empty); false without one.
    bool Answer(const char* pszCaption, int nButton, const std::string& strText = "") const;
    // The folder typed into the Setup dialog and Start Download clicked: the download dialog, or NULL.
    HWND StartDownload(const std::string& strFolder, DWORD dwTimeoutMs = kStepWait) const;
    // Yes to the resume prompt (its text checked; the time of the answer to *pdwAnswered): the
    // download dialog that opens, or NULL.
    HWND Resume(DWORD* pdwAnswered = nullptr) const;
    // The transfer ends with strStatus; then the elapsed time stands still and this run has sent a
    // completion notice if, and only if, the download is complete.
    void ExpectEnd(HWND hDownload, const std::string& strStatus) const;
    // The transfer ends complete with strContent in strTarget, and Exit ends the program without a
    // question, another notice or a stored folder (or its validator).
    void Finish(HWND hDownload, const std::string& strTarget, const std::string& strContent);

private:
    PROCESS_INFORMATION m_pi{};
    size_t m_nNoticesBefore;  // notices of earlier runs
};

// Every end-to-end test: skipped outside tools/test; the support server listens; the stored folder
// (put back afterwards), its validator and the resume shortcut are taken away.
class CE2eTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    CSavedRegistryValue m_lastSetupPath{HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE};
};
