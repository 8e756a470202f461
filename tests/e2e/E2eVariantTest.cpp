// The installer variant under several Windows versions (Wine's per-program version setting) and
// browser component versions (a stand-in shdocvw.dll of ours beside a copy of the program, which
// the version lookup finds before the system's, as Windows does for a program's own folder; Wine
// needs the per-program DllOverrides setting "native,builtin" for it, or it reads its built-in
// module whatever the file): the path the server is asked for, and the bytes that arrive, follow
// the variant table.
#include <gtest/gtest.h>
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

namespace
{
class E2eVariant : public CE2eTest
{
};

// <build>\sample\shdocvw-<name>\shdocvw.dll
std::string StandIn(const char* pszName)
{
    return E2eEnv("DLS_BUILD_DIR_WIN") + "\\sample\\shdocvw-" + pszName + "\\shdocvw.dll";
}

TEST_F(E2eVariant, PathFollowsTheWindowsVersionAndTheBrowserComponent)
{
    CServedInstaller served(256 * 1024 + 5);
    CE2eFolder programFolder("variant-program");
    const std::string strExeName = "DownloadSetupVariant" + std::to_string(::GetCurrentProcessId()) + ".exe";
    const std::string strExe = programFolder.File(strExeName);
    const std::string strDll = programFolder.File("shdocvw.dll");
    ASSERT_TRUE(::CopyFileA(E2eProgram("E2E").c_str(), strExe.c_str(), FALSE));
    const std::string strAppKey = "Software\\Wine\\AppDefaults\\" + strExeName;
    struct AppKeyCleanup
    {
        std::string strName;
        ~AppKeyCleanup()
        {
            DeleteRegistryTree(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + strName).c_str());
        }
    } appKeyCleanup{strExeName};
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, (strAppKey + "\\DllOverrides").c_str(), "shdocvw",
                                    "native,builtin"));

    struct Case
    {
        const char* pszWineVersion;  // nullptr: the prefix's own version
        const char* pszStandIn;      // nullptr: no stand-in, Wine's own component (6.0) is found
        const char* pszPath;
    } cases[] = {
        {"win98", "5.0", "/download/win9x/brindlemox.exe"},
        {"win95", "5.10", "/download/win9x/brindlemox.exe"},  // 5.10 reads as 5.1
        {"nt40", "5.0", "/download/winnt/brindlemox.exe"},
        {"win2k", "5.10", "/download/winnt/brindlemox.exe"},
        {"winxp", "5.0", "/download/common/brindlemox.exe"},
        {nullptr, "5.0", "/download/common/brindlemox.exe"},
        {"win98", "5.50", "/download/brindlemox.exe"},
        {"nt40", "none", "/download/common/brindlemox.exe"},  // no version information
        {"win98", nullptr, "/download/brindlemox.exe"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.pszWineVersion ? c.pszWineVersion : "default") + " with shdocvw " +
                     (c.pszStandIn ? c.pszStandIn : "of the system"));
        if (c.pszWineVersion != nullptr)
        {
            ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, strAppKey.c_str(), "Version", c.pszWineVersion));
        }
        else
        {
            ASSERT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, strAppKey.c_str(), "Version"));
        }
        ::DeleteFileA(strDll.c_str());
        if (c.pszStandIn != nullptr)
        {
            ASSERT_TRUE(::CopyFileA(StandIn(c.pszStandIn).c_str(), strDll.c_str(), FALSE)) << StandIn(c.pszStandIn);
        }

        CE2eFolder folder("variant");
        CDialogTraceLog log;
        CNginxLog nginx;
        CProgramRun program(strExe);
        HWND hSetup = program.WaitSetupDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hSetup);
        SetFolderBox(hSetup, folder.Path());
        ASSERT_TRUE(ClickButton(hSetup, IDC_BUTTON_START));
        HWND hDownload = program.WaitDownloadDialog(kStepWait);
        ASSERT_NE((HWND)NULL, hDownload);
        std::string strStatus;
        ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
        EXPECT_EQ("Download completed", strStatus);
        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.WaitExit(kStepWait));

        std::vector<CNginxRequest> requests = nginx.Requests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ(c.pszPath, requests[0].strPath);
        EXPECT_EQ(served.Content(c.pszPath), ReadWholeFile(folder.File("brindlemox.exe")));
        const std::string strUrl = "http://127.0.0.1:" + E2eEnv("DLS_NGINX_PORT") + c.pszPath;
        EXPECT_EQ(1, log.Count("Start OnStart in CURLDownloading for " + strUrl));
        EXPECT_EQ(1, log.Count("IntDlgStatus 3 DestroyWindow in CURLDownloading for " + strUrl));
    }
}
}  // namespace
