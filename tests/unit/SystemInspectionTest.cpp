// System inspection: the variant table (version record and browser component version to the
// installer's path), the file versions of modules, and the Windows name read under other Windows
// versions of Wine (a copy of this test program asked in a child process).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include "app/CNewUrlDlg.h"
#include "app/SystemInspection.h"
#include "tests/support/RegistryValue.h"

namespace
{
std::string ThisProgram()
{
    char szPath[MAX_PATH] = "";
    ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    return szPath;
}

// A file name in the temporary folder that no other test program uses.
std::string TempFile(const std::string& strName)
{
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, szTemp);
    return szTemp + std::to_string(::GetCurrentProcessId()) + "-" + strName;
}

TEST(SystemInspection, VariantTableByWindowsVersionAndBrowserComponent)
{
    const DWORD k31 = VER_PLATFORM_WIN32s, k9x = VER_PLATFORM_WIN32_WINDOWS, kNt = VER_PLATFORM_WIN32_NT;
    const char* kGeneral = "/download/brindlemox.exe";
    const char* kCommon = "/download/common/brindlemox.exe";
    const char* kWin9x = "/download/win9x/brindlemox.exe";
    const char* kWinNt = "/download/winnt/brindlemox.exe";
    struct Row
    {
        DWORD dwPlatform, dwMajor, dwMinor;
        const char* pszName;     // the short Windows name
        const char* pszBrowser;  // shdocvw.dll's file version
        const char* pszPath;
    } rows[] = {
        {k9x, 4, 0, "95", "5.0.4134.600", kWin9x},     {k9x, 4, 10, "98", "5.10.1.1", kWin9x},  // 5.10 reads 5.1
        {k9x, 9, 10, "98", "5.49", kWin9x},            {k9x, 4, 90, "me", "4.72.3110.0", kWin9x},
        {kNt, 4, 0, "nt", "5.0.4134.600", kWinNt},     {kNt, 4, 77, "nt", "5.10.1.1", kWinNt},
        {kNt, 5, 0, "2000", "5.0", kWinNt},            {kNt, 5, 1, "xp", "5.0", kCommon},
        {k31, 3, 10, "3.1", "5.0", kCommon},           {k31, 0, 0, "3.1", "5.0", kCommon},
        // Any other version: no name, the common installer.
        {k9x, 4, 3, "", "5.0", kCommon},               {kNt, 5, 2, "", "5.0", kCommon},
        {kNt, 6, 1, "", "5.0", kCommon},               {kNt, 10, 0, "", "5.0", kCommon},
        {kNt, 3, 51, "", "5.0", kCommon},              {3, 5, 1, "", "5.0", kCommon},
        {99, 4, 0, "", "5.0", kCommon},
        // 5.5 and later: the general installer whatever the system; no version: the common one.
        {k9x, 4, 10, "98", "5.50.4134.600", kGeneral}, {kNt, 4, 0, "nt", "5.5", kGeneral},
        {kNt, 5, 0, "2000", "6.0.2600.0", kGeneral},   {kNt, 5, 1, "xp", "5.50", kGeneral},
        {99, 4, 0, "", "5.5", kGeneral},               {k9x, 4, 0, "95", "", kCommon},
        {kNt, 4, 0, "nt", "", kCommon},                {kNt, 5, 0, "2000", "", kCommon},
    };
    for (const Row& row : rows)
    {
        EXPECT_STREQ(row.pszName, OSNameFromVersion(row.dwPlatform, row.dwMajor, row.dwMinor))
            << row.dwPlatform << " " << row.dwMajor << "." << row.dwMinor;
        EXPECT_STREQ(row.pszPath, ChooseInstallerPath(BrowserVersionNumber(row.pszBrowser), row.pszName))
            << row.pszName << " with shdocvw " << row.pszBrowser;
    }
}

// The stand-in browser components built by sample/ (<build>\sample\shdocvw-<name>\shdocvw.dll) are
// read under names of their own: Wine prefers its built-in module to any file named shdocvw.dll.
TEST(SystemInspection, FileVersionOfModules)
{
    auto versionOf = [](const char* pszStandIn) {
        std::string strStandIn = ThisProgram();  // <build>\tests\unit\x.exe
        for (int i = 0; i < 3; ++i)
            strStandIn.erase(strStandIn.find_last_of('\\'));
        strStandIn += std::string("\\sample\\shdocvw-") + pszStandIn + "\\shdocvw.dll";
        const std::string strCopy = TempFile(std::string("standin-") + pszStandIn + ".dll");
        if (!::CopyFileA(strStandIn.c_str(), strCopy.c_str(), FALSE))
            return "(no stand-in " + strStandIn + ")";
        std::string strVersion = (LPCTSTR)GetFileVersionString(strCopy.c_str());
        ::DeleteFileA(strCopy.c_str());
        return strVersion;
    };
    EXPECT_EQ("5.0.4134.600", versionOf("5.0"));
    EXPECT_EQ("5.10.4134.600", versionOf("5.10"));
    EXPECT_EQ("5.50.4134.600", versionOf("5.50"));  // the file version, not the product version (9.9.0.0)
    EXPECT_EQ("", versionOf("none"));               // no version resource
    EXPECT_STREQ("", GetFileVersionString("no-such-module-anywhere.dll"));
    EXPECT_STREQ("", GetFileVersionString(""));
    // The system's own browser component is found by its bare name (Wine's reports 6.0).
    EXPECT_GE(BrowserVersionNumber(GetFileVersionString("shdocvw.dll")), 5.5);
}

// Run only in the child processes of GetOSNameUnderOtherWindowsVersions, which name the expected
// answer in DLS_EXPECTED_OSNAME; the child's exit code tells the result.
TEST(OsNameProbe, GetOSNameAnswersAsExpected)
{
    const char* pszExpected = getenv("DLS_EXPECTED_OSNAME");
    if (pszExpected == nullptr)
        GTEST_SKIP() << "only run by GetOSNameUnderOtherWindowsVersions";
    EXPECT_STREQ(pszExpected, g_dlgSetup.GetOSName());
}

// Wine reports the Windows version set for a program (HKCU\Software\Wine\AppDefaults\<exe>\Version)
// when it starts: a copy of this program under a name of its own is asked in a child process. Wine's
// ProductType reads "WinNT", so a " Workstation" suffix would show on "nt" and "2000".
TEST(SystemInspection, GetOSNameUnderOtherWindowsVersions)
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    if (hNtdll == NULL || ::GetProcAddress(hNtdll, "wine_get_version") == NULL)
        GTEST_SKIP() << "Windows versions are chosen through Wine's settings";
    const std::string strExe = TempFile("OsNameProbe.exe");
    const std::string strAppKey = "Software\\Wine\\AppDefaults\\" + strExe.substr(strExe.find_last_of('\\') + 1);
    ASSERT_TRUE(::CopyFileA(ThisProgram().c_str(), strExe.c_str(), FALSE));
    const char* cases[][2] = {{"win95", "95"},   {"win98", "98"}, {"winme", "me"}, {"nt40", "nt"},
                              {"win2k", "2000"}, {"winxp", "xp"}, {"win7", ""}};
    for (const auto& c : cases)
    {
        EXPECT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, strAppKey.c_str(), "Version", c[0]));
        ::SetEnvironmentVariableA("DLS_EXPECTED_OSNAME", c[1]);
        std::string strCommand = "\"" + strExe + "\" --gtest_filter=OsNameProbe.*";
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        DWORD dwExitCode = STILL_ACTIVE;
        if (::CreateProcessA(NULL, &strCommand[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        {
            ::WaitForSingleObject(pi.hProcess, 60000);
            ::GetExitCodeProcess(pi.hProcess, &dwExitCode);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        EXPECT_EQ(0u, dwExitCode) << "GetOSName under " << c[0] << " (the child's output tells its answer)";
    }
    ::SetEnvironmentVariableA("DLS_EXPECTED_OSNAME", NULL);
    DeleteRegistryTree(HKEY_CURRENT_USER, strAppKey.c_str());
    ::DeleteFileA(strExe.c_str());
}
}  // namespace
