// The installer variant under several Windows versions (Wine's per-program version setting) and
// browser component versions (a stand-in shdocvw.dll of ours beside a copy of the program, found
// before the system's as Windows finds a program's own DLLs; Wine needs the per-program DllOverrides
// "native,builtin" for it): the path the server is asked for, and the bytes that arrive, follow the
// variant table.
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"

using E2eVariant = CE2eTest;

TEST_F(E2eVariant, PathFollowsTheWindowsVersionAndTheBrowserComponent)
{
    CServedInstaller served(262152);
    CTempFolder programFolder("variant-program");
    const std::string strExeName = "DownloadSetupVariant" + std::to_string(::GetCurrentProcessId()) + ".exe";
    const std::string strExe = programFolder.File(strExeName), strAppKey = "Software\\Wine\\AppDefaults\\" + strExeName;
    ASSERT_TRUE(::CopyFileA(E2eProgram("E2E").c_str(), strExe.c_str(), FALSE));
    struct AppKeyCleanup
    {
        std::string strKey;
        ~AppKeyCleanup() { DeleteRegistryTree(HKEY_CURRENT_USER, strKey.c_str()); }
    } appKeyCleanup{strAppKey};
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, (strAppKey + "\\DllOverrides").c_str(), "shdocvw", "native,builtin"));
    // {Wine's Windows version (nullptr: the prefix's own), the stand-in's version (nullptr: none, Wine's
    // own component 6.0 is found), the path asked for}
    const char* const cases[][3] = {
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
    for (const auto& c : cases)
    {
        const char *pszWineVersion = c[0], *pszStandIn = c[1], *pszPath = c[2];
        SCOPED_TRACE(std::string(pszWineVersion ? pszWineVersion : "default") + " with shdocvw " +
                     (pszStandIn ? pszStandIn : "of the system"));
        if (pszWineVersion != nullptr)
            ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, strAppKey.c_str(), "Version", pszWineVersion));
        else
            ASSERT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, strAppKey.c_str(), "Version"));
        ::DeleteFileA(programFolder.File("shdocvw.dll").c_str());
        const std::string strStandIn =
            E2eEnv("DLS_BUILD_DIR_WIN") + "\\sample\\shdocvw-" + (pszStandIn ? pszStandIn : "") + "\\shdocvw.dll";
        ASSERT_TRUE(!pszStandIn || ::CopyFileA(strStandIn.c_str(), programFolder.File("shdocvw.dll").c_str(), FALSE))
            << strStandIn;
        CTempFolder folder("variant");
        CDialogTraceLog log;
        CProgramRun program(strExe);
        HWND hDownload = program.StartDownload(folder.Path());
        ASSERT_TRUE(hDownload);
        program.Finish(hDownload, folder.File("brindlemox.exe"), served.Content(pszPath));
        EXPECT_EQ(1, log.Count("Start OnStart in CURLDownloading for " + E2eNginxUrl(pszPath)));
        EXPECT_EQ(1, log.Count("Start WorkerThreadProc in CURLDownloading"));
    }
}
