// System inspection and the installer variant table: the short Windows names by version record,
// GetOSName on the running system and under other Windows versions of Wine (a copy of this test
// program asked in a child process), file versions of modules (ours with chosen versions, none, a
// missing one, the system's), the decimal reading of a version text, and the first-match rules.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include "app/CNewUrlDlg.h"
#include "app/SystemInspection.h"
#include "tests/support/RegistryValue.h"

namespace
{
const char kOsNameOutVar[] = "DLS_OSNAME_OUT";

std::string ThisProgram()
{
    char szPath[MAX_PATH] = "";
    ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    return szPath;
}

std::string FolderOf(const std::string& strPath) { return strPath.substr(0, strPath.find_last_of('\\')); }

// The stand-in browser components built by sample/: <build>\sample\shdocvw-<name>\shdocvw.dll.
std::string StandIn(const char* pszName)
{
    std::string strBuild = FolderOf(FolderOf(FolderOf(ThisProgram())));  // <build>\tests\unit\x.exe
    return strBuild + "\\sample\\shdocvw-" + pszName + "\\shdocvw.dll";
}

bool RunningOnWine()
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && ::GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

std::string ReadFileText(const std::string& strPath)
{
    std::string strText;
    if (FILE* pFile = fopen(strPath.c_str(), "rb"))
    {
        char sz[512];
        size_t n = fread(sz, 1, sizeof(sz), pFile);
        strText.assign(sz, n);
        fclose(pFile);
    }
    return strText;
}

// Runs strExe (a copy of this program) with only the probe selected; returns what it wrote.
std::string RunProbe(const std::string& strExe, const std::string& strFolder)
{
    const std::string strOut = strFolder + "\\probe.txt";
    ::DeleteFileA(strOut.c_str());
    ::SetEnvironmentVariableA(kOsNameOutVar, strOut.c_str());
    std::string strCommand = "\"" + strExe + "\" --gtest_filter=OsNameProbe.*";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    BOOL bStarted = ::CreateProcessA(NULL, &strCommand[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL,
                                     strFolder.c_str(), &si, &pi);
    ::SetEnvironmentVariableA(kOsNameOutVar, NULL);
    if (!bStarted)
        return "(not started)";
    DWORD dwWait = ::WaitForSingleObject(pi.hProcess, 120000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    std::string strLine = dwWait == WAIT_OBJECT_0 ? ReadFileText(strOut) : std::string("(timed out)");
    ::DeleteFileA(strOut.c_str());
    return strLine;
}

TEST(SystemInspection, ShortNamesByPlatformAndVersion)
{
    struct Row
    {
        DWORD dwPlatform, dwMajor, dwMinor;
        const char* pszName;
    } rows[] = {
        {VER_PLATFORM_WIN32s, 3, 10, "3.1"}, {VER_PLATFORM_WIN32s, 0, 0, "3.1"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, "95"}, {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "98"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, "me"}, {VER_PLATFORM_WIN32_WINDOWS, 4, 3, ""},
        {VER_PLATFORM_WIN32_WINDOWS, 9, 10, "98"},  // only the minor number counts on this platform
        {VER_PLATFORM_WIN32_NT, 4, 0, "nt"}, {VER_PLATFORM_WIN32_NT, 4, 77, "nt"},
        {VER_PLATFORM_WIN32_NT, 5, 0, "2000"}, {VER_PLATFORM_WIN32_NT, 5, 1, "xp"},
        {VER_PLATFORM_WIN32_NT, 5, 2, ""}, {VER_PLATFORM_WIN32_NT, 6, 1, ""}, {VER_PLATFORM_WIN32_NT, 10, 0, ""},
        {VER_PLATFORM_WIN32_NT, 3, 51, ""}, {3, 5, 1, ""}, {99, 4, 0, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.pszName, std::string((LPCTSTR)OSNameFromVersion(row.dwPlatform, row.dwMajor, row.dwMinor)))
            << row.dwPlatform << " " << row.dwMajor << "." << row.dwMinor;
}

TEST(SystemInspection, NameOfTheRunningSystemMatchesItsVersionRecord)
{
    OSVERSIONINFOEXA osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    ASSERT_TRUE(::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&osvi)));
    EXPECT_EQ(156u, sizeof(osvi));
    CString strExpected = OSNameFromVersion(osvi.dwPlatformId, osvi.dwMajorVersion, osvi.dwMinorVersion);
    EXPECT_EQ(std::string((LPCTSTR)strExpected), std::string((LPCTSTR)g_dlgSetup.GetOSName()));
}

// Wine prefers its own built-in module to any file named shdocvw.dll unless a program is told
// otherwise, so the stand-ins are read here under names of their own.
TEST(SystemInspection, FileVersionOfModules)
{
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, szTemp);
    auto versionOf = [&](const char* pszStandIn) {
        std::string strCopy = std::string(szTemp) + "standin-" + std::to_string(::GetCurrentProcessId()) + "-" +
                              pszStandIn + ".dll";
        if (!::CopyFileA(StandIn(pszStandIn).c_str(), strCopy.c_str(), FALSE))
            return std::string("(no stand-in ") + pszStandIn + ")";
        std::string strVersion = (LPCTSTR)GetFileVersionString(strCopy.c_str());
        ::DeleteFileA(strCopy.c_str());
        return strVersion;
    };
    EXPECT_EQ("5.0.4134.600", versionOf("5.0"));
    EXPECT_EQ("5.10.4134.600", versionOf("5.10"));
    // The file version, not the product version (9.9.0.0 in these files).
    EXPECT_EQ("5.50.4134.600", versionOf("5.50"));
    EXPECT_EQ("", versionOf("none"));  // no version resource
    EXPECT_EQ("", std::string((LPCTSTR)GetFileVersionString("no-such-module-anywhere.dll")));
    EXPECT_EQ("", std::string((LPCTSTR)GetFileVersionString("")));

    // The system's own browser component (Wine's reports 6.0) selects the general installer.
    CString strSystem = GetFileVersionString("shdocvw.dll");
    EXPECT_FALSE(strSystem.IsEmpty());
    EXPECT_GE(BrowserVersionNumber(strSystem), 5.5);
}

TEST(SystemInspection, VersionTextReadAsADecimalNumber)
{
    EXPECT_DOUBLE_EQ(5.5, BrowserVersionNumber("5.50.4134.600"));
    EXPECT_DOUBLE_EQ(6.0, BrowserVersionNumber("6.0.2600.0"));
    EXPECT_DOUBLE_EQ(5.1, BrowserVersionNumber("5.10.1.1"));
    EXPECT_DOUBLE_EQ(5.0, BrowserVersionNumber("5.0.4134.600"));
    EXPECT_DOUBLE_EQ(0.0, BrowserVersionNumber(""));
    EXPECT_LT(BrowserVersionNumber("5.10.1.1"), 5.5);
}

TEST(SystemInspection, InstallerPathTakesTheFirstMatchingRule)
{
    const char kGeneral[] = "/download/brindlemox.exe";
    const char kCommon[] = "/download/common/brindlemox.exe";
    const char kWin9x[] = "/download/win9x/brindlemox.exe";
    const char kWinNt[] = "/download/winnt/brindlemox.exe";
    // 5.5 or more: the general installer whatever the system.
    for (const char* pszName : {"95", "98", "me", "nt", "2000", "xp", "3.1", ""})
    {
        EXPECT_STREQ(kGeneral, ChooseInstallerPath(5.5, pszName)) << pszName;
        EXPECT_STREQ(kGeneral, ChooseInstallerPath(6.0, pszName)) << pszName;
        EXPECT_STREQ(kCommon, ChooseInstallerPath(0.0, pszName)) << pszName;  // no version information
    }
    EXPECT_STREQ(kWin9x, ChooseInstallerPath(5.0, "95"));
    EXPECT_STREQ(kWin9x, ChooseInstallerPath(5.1, "98"));
    EXPECT_STREQ(kWin9x, ChooseInstallerPath(4.72, "me"));
    EXPECT_STREQ(kWinNt, ChooseInstallerPath(5.0, "nt"));
    EXPECT_STREQ(kWinNt, ChooseInstallerPath(5.1, "2000"));
    EXPECT_STREQ(kCommon, ChooseInstallerPath(5.0, "xp"));
    EXPECT_STREQ(kCommon, ChooseInstallerPath(5.0, "3.1"));
    EXPECT_STREQ(kCommon, ChooseInstallerPath(5.0, ""));
    EXPECT_STREQ(kWin9x, ChooseInstallerPath(5.49, "98"));
    // Exact, case-sensitive names: a suffixed or differently written name is "any other name".
    EXPECT_STREQ(kCommon, ChooseInstallerPath(5.0, "2000 Workstation"));
    EXPECT_STREQ(kCommon, ChooseInstallerPath(5.0, "NT"));
    EXPECT_STREQ(kCommon, ChooseInstallerPath(5.0, "ME"));
}

// Run in a child process only: writes what this system looks like to the launch, as
// "<GetOSName>|<GetFileVersionString("shdocvw.dll")>|<installer path>".
TEST(OsNameProbe, WritesWhatTheLaunchSees)
{
    const char* pszOut = getenv(kOsNameOutVar);
    if (pszOut == nullptr)
        GTEST_SKIP() << "only run by GetOSNameUnderOtherWindowsVersions";
    CString strName = g_dlgSetup.GetOSName();
    CString strVersion = GetFileVersionString("shdocvw.dll");
    std::string strLine = std::string((LPCTSTR)strName) + "|" + (LPCTSTR)strVersion + "|" +
                          ChooseInstallerPath(BrowserVersionNumber(strVersion), strName);
    FILE* pFile = fopen(pszOut, "wb");
    ASSERT_NE(nullptr, pFile);
    fwrite(strLine.data(), 1, strLine.size(), pFile);
    fclose(pFile);
}

// Wine reports the Windows version set for a program (HKCU\Software\Wine\AppDefaults\<exe>\Version)
// when the program starts: a copy of this test program under its own name is asked in a child
// process, with a stand-in shdocvw.dll beside it, which the version lookup finds before the system's
// (as Windows does for a program's own folder; Wine needs the per-program DllOverrides setting
// "native,builtin" for it, or it reads its built-in module whatever the file).
TEST(SystemInspection, GetOSNameUnderOtherWindowsVersions)
{
    if (!RunningOnWine())
        GTEST_SKIP() << "Windows versions are chosen through Wine's settings";

    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, szTemp);
    char szFolder[MAX_PATH];
    snprintf(szFolder, sizeof(szFolder), "%sosname-%lu", szTemp, ::GetCurrentProcessId());
    ::CreateDirectoryA(szFolder, NULL);
    const std::string strExeName = "OsNameProbe" + std::to_string(::GetCurrentProcessId()) + ".exe";
    const std::string strExe = std::string(szFolder) + "\\" + strExeName;
    const std::string strDll = std::string(szFolder) + "\\shdocvw.dll";
    ASSERT_TRUE(::CopyFileA(ThisProgram().c_str(), strExe.c_str(), FALSE));
    const std::string strAppKey = "Software\\Wine\\AppDefaults\\" + strExeName;
    // Whatever happens below: the per-program setting and the copies go.
    struct Cleanup
    {
        std::string strExeName, strExe, strDll, strFolder;
        ~Cleanup()
        {
            DeleteRegistryTree(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + strExeName).c_str());
            ::DeleteFileA(strDll.c_str());
            ::DeleteFileA(strExe.c_str());
            ::RemoveDirectoryA(strFolder.c_str());
        }
    } cleanup{strExeName, strExe, strDll, szFolder};
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, (strAppKey + "\\DllOverrides").c_str(), "shdocvw",
                                    "native,builtin"));

    struct Case
    {
        const char* pszWineVersion;
        const char* pszStandIn;  // the stand-in put beside the program
        const char* pszExpected;
    } cases[] = {
        {"win98", "5.0", "98|5.0.4134.600|/download/win9x/brindlemox.exe"},
        {"win95", "5.10", "95|5.10.4134.600|/download/win9x/brindlemox.exe"},
        {"nt40", "5.0", "nt|5.0.4134.600|/download/winnt/brindlemox.exe"},
        {"win2k", "5.10", "2000|5.10.4134.600|/download/winnt/brindlemox.exe"},
        {"winxp", "5.0", "xp|5.0.4134.600|/download/common/brindlemox.exe"},
        {"win2k", "5.50", "2000|5.50.4134.600|/download/brindlemox.exe"},
        {"win98", "none", "98||/download/common/brindlemox.exe"},
        {"win7", "5.0", "|5.0.4134.600|/download/common/brindlemox.exe"},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, strAppKey.c_str(), "Version", c.pszWineVersion));
        ::DeleteFileA(strDll.c_str());
        if (c.pszStandIn != nullptr)
        {
            ASSERT_TRUE(::CopyFileA(StandIn(c.pszStandIn).c_str(), strDll.c_str(), FALSE)) << StandIn(c.pszStandIn);
        }
        EXPECT_EQ(c.pszExpected, RunProbe(strExe, szFolder)) << c.pszWineVersion << " with shdocvw " << c.pszStandIn;
    }

    // No product-type suffix: Wine's ProductType reads "WinNT", which would otherwise have turned
    // "nt" and "2000" into "... Workstation" above.
    CRegistryData productType =
        ReadRegistryValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType");
    EXPECT_TRUE(productType.bExists);
    EXPECT_STRCASEEQ("WINNT", productType.data.c_str());

    // Without a stand-in the system's own component (6.0 under Wine) is the one found.
    ::DeleteFileA(strDll.c_str());
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, strAppKey.c_str(), "Version", "win98"));
    std::string strLine = RunProbe(strExe, szFolder);
    EXPECT_EQ(0u, strLine.find("98|")) << strLine;
    EXPECT_NE(std::string::npos, strLine.find("|/download/brindlemox.exe")) << strLine;
}
}  // namespace
