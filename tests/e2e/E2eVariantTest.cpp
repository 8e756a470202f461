// The installer variant under several Windows versions (Wine's per-program version setting) and
// browser component versions (a stand-in shdocvw.dll of ours beside a copy of the program, found
// before the system's as Windows finds a program's own DLLs; Wine needs the per-program DllOverrides
// "native,builtin" for it): the path the server is asked for, and the bytes that arrive, follow the
// variant table.
#include <gtest/gtest.h>
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

class E2eVariant : public CE2eTest
{
};

TEST_F(E2eVariant, PathFollowsTheWindowsVersionAndTheBrowserComponent)
{
    CServedInstaller served(256 * 1024 + 5);
    CTempFolder programFolder("variant-program");
    const std::string strExeName = "DownloadSetupVariant" + std::to_string(::GetCurrentProcessId()) + ".exe";
    const std::string strExe = programFolder.File(strExeName);
    ASSERT_TRUE(::CopyFileA(E2eProgram("E2E").c_str(), strExe.c_str(), FALSE));
    const std::string strAppKey = "Software\\Wine\\AppDefaults\\" + strExeName;
    struct AppKeyCleanup
    {
        std::string strKey;
        ~AppKeyCleanup() { DeleteRegistryTree(HKEY_CURRENT_USER, strKey.c_str()); }
    } appKeyCleanup{strAppKey};
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, (strAppKey + "\\DllOverrides").c_str(), "shdocvw", "native,builtin"));

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
            ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, strAppKey.c_str(), "Version", c.pszWineVersion));
        else
            ASSERT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, strAppKey.c_str(), "Version"));
        ::DeleteFileA(programFolder.File("shdocvw.dll").c_str());
        const std::string strStandIn =
            E2eEnv("DLS_BUILD_DIR_WIN") + "\\sample\\shdocvw-" + (c.pszStandIn ? c.pszStandIn : "") + "\\shdocvw.dll";
        if (c.pszStandIn != nullptr)
            ASSERT_TRUE(::CopyFileA(strStandIn.c_str(), programFolder.File("shdocvw.dll").c_str(), FALSE)) << strStandIn;

        CTempFolder folder("variant");
        CDialogTraceLog log;
        CProgramRun program(strExe);
        HWND hDownload = program.StartDownload(folder.Path(), kStepWait);
        ASSERT_NE((HWND)NULL, hDownload);
        std::string strStatus;
        ASSERT_TRUE(WaitTransferEnded(hDownload, kStepWait, &strStatus));
        EXPECT_EQ("Download completed", strStatus);
        ASSERT_TRUE(ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.WaitExit(kStepWait));
        EXPECT_TRUE(served.Content(c.pszPath) == ReadWholeFile(folder.File("brindlemox.exe")));
        EXPECT_EQ(1, log.Count(TraceUrl("Start OnStart in CURLDownloading for ", E2eNginxUrl(c.pszPath))));
        EXPECT_EQ(1, log.Count("Start WorkerThreadProc in CURLDownloading"));
    }
}
