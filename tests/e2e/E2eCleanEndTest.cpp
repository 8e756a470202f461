// The end of the program while a transfer runs: Exit and the close box, many times over. The download
// dialog ends the program from its own thread while the worker is still busy; every run must be gone
// within 5 s of the last answer and must not end in a crash.
#include "res/resource.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/WindowDriver.h"

using E2eCleanEnd = CE2eTest;

TEST_F(E2eCleanEnd, ExitAndTheCloseBoxEndTheProgramAtOnceEveryTime)
{
    CServedInstaller served(2 * 1024 * 1024);
    CNginxThrottle throttle;  // the transfer is still running when the user ends the program
    CTempFolder folder("end");
    for (int nRun = 0; nRun < 60; ++nRun)
    {
        const bool fCloseBox = nRun % 2 == 1;
        SCOPED_TRACE((fCloseBox ? "close box, run " : "Exit, run ") + std::to_string(nRun));
        ::DeleteFileA(folder.File("brindlemox.exe").c_str());
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);  // no resume question
        CProgramRun program(E2eProgram("E2E"));
        HWND hDownload = program.StartDownload(folder.Path());
        ASSERT_TRUE(hDownload);
        if (fCloseBox)
            ::PostMessageA(hDownload, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(fCloseBox ? program.Answer("Do you want to abort?", IDYES) : ClickButton(hDownload, IDC_EXIT));
        ASSERT_TRUE(program.Answer("Create Shortcut", IDNO));
        DWORD dwExitCode = 0;
        ASSERT_TRUE(program.WaitExit(5000, &dwExitCode));
        EXPECT_LT(dwExitCode, 0xC0000000u) << "ended by an exception";
    }
}
