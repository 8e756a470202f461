// The Setup dialog (g_dlgSetup) run modally as InitInstance runs it, driven from a second thread as a
// user would: the folder box, the resume offer, Start Download, Close, the icons, the folder picker;
// and the stored folder of an unfinished download (HKLM LASTSETUPPATH) stored and read back.
#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>
#include "app/CNewUrlDlg.h"
#include "app/LastSetupPath.h"
#include "download/ServerConfig.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/RegistryValue.h"
#include "tests/support/WindowDriver.h"

namespace
{
const DWORD kWait = 30000;  // bounded waits: a hang fails the test instead of blocking the run
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Expand(const std::string& strText)
{
    char sz[MAX_PATH] = "";
    return ::ExpandEnvironmentStringsA(strText.c_str(), sz, MAX_PATH), sz;
}
std::string Sz(const std::string& strText) { return strText + '\0'; }  // a string value's bytes
bool StoreFolder(const std::string& s) { return WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, s); }

// Downloads started (of the general installer: Wine's browser component is 6.0).
int Starts(const CDialogTraceLog& log)
{
    return log.Count(std::string("Start OnStart in CURLDownloading for http://") + GetDownloadServer() +
                     "/download/brindlemox.exe");
}
void ClickStart(HWND hDialog) { ::PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_START, BN_CLICKED), 0); }

// The Setup dialog's window once it is visible, or NULL.
HWND WaitForSetupDialog()
{
    return WaitUntil([] { return ::IsWindowVisible(g_dlgSetup.m_hWnd) != FALSE; }, kWait) ? g_dlgSetup.m_hWnd : NULL;
}

// Runs g_dlgSetup modally on this thread while driver runs on a thread of its own. Whatever the
// driver leaves open afterwards (a box, a dialog) is closed, so a failed step cannot hang.
INT_PTR RunDialog(const std::function<void()>& driver)
{
    std::atomic<bool> bModalEnded{false};
    CTestThread thread([&] {
        driver();
        if (WaitUntil([&] { return bModalEnded.load(); }, 5000))
            return;
        ADD_FAILURE() << "the Setup dialog was still running after the test's steps";
        for (; !bModalEnded; ::Sleep(200))
        {
            for (HWND hWnd : FindTopWindows(::GetCurrentProcessId(), "#32770", nullptr, true))
                if (!AnswerMessageBox(hWnd, IDNO))
                    ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
            ::PostMessageA(g_dlgSetup.m_hWnd, WM_CLOSE, 0, 0);  // also while hidden
        }
    });
    INT_PTR nResult = g_dlgSetup.DoModal();
    bModalEnded = true;
    thread.join();
    return nResult;
}

class SetupDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
        g_fResumeDownload = FALSE;
        g_dlgSetup.m_pDownThread = nullptr;  // a new run (a thread object of an earlier test is left be)
    }
    CSavedRegistryValue m_savedLastPath{HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE};
    CSavedRegistryValue m_savedDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
};

// Without Yes to a resume offer: the folder box shows the desktop folder (or nothing), the icons are
// the program's, the system menu's Close ends the dialog. A blank stored folder offers nothing; No to
// an offer keeps the stored folder.
TEST_F(SetupDialogTest, FolderBoxStartsWithTheDesktopFolder)
{
    const CRegistryData desktop = ReadRegistryValue(HKEY_CURRENT_USER, kShellFolders, "Desktop");
    ASSERT_TRUE(desktop.bExists);
    const std::string strDesktop = Expand(desktop.data.c_str());
    // The Desktop value (REG_NONE: none), the folder box, the stored folder (or none), the resume
    // offers (answered No).
    const struct { DWORD dwType; std::string strData, strBox; const char* pszStored; int nOffers; } cases[] = {
        {desktop.dwType, desktop.data, strDesktop, "   \t ", 0},
        {desktop.dwType, desktop.data, strDesktop, "  C:\\Resume\\Here  ", 1},
        {REG_SZ, Sz("%SystemRoot%\\DesktopProbe"), Expand("%SystemRoot%\\DesktopProbe"), nullptr, 0},
        {REG_NONE, "", "", nullptr, 0},
        {REG_DWORD, std::string("\x43\0\0\0", 4), "", nullptr, 0},
        {REG_SZ, Sz("C:\\" + std::string(300, 'd')), "", nullptr, 0},  // longer than the 260-byte buffer
    };
    CDialogTraceLog log;
    for (const auto& c : cases)
    {
        const std::string strCase = c.strData + " stored " + (c.pszStored ? c.pszStored : "(none)");
        ASSERT_TRUE(c.dwType == REG_NONE
                        ? DeleteRegistryValue(HKEY_CURRENT_USER, kShellFolders, "Desktop")
                        : WriteRegistryValue(HKEY_CURRENT_USER, kShellFolders, "Desktop", c.dwType, c.strData));
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
        ASSERT_TRUE(c.pszStored == nullptr || StoreFolder(c.pszStored));
        CMessageBoxAnswerer answerer;
        const INT_PTR nResult = RunDialog([&] {
            HWND hDialog = WaitForSetupDialog();
            EXPECT_EQ(c.strBox, ItemTextOf(hDialog, IDC_EDIT_FOLDER)) << strCase;
            for (auto m : {std::make_pair(WM_GETICON, ICON_BIG), {WM_GETICON, ICON_SMALL}, {WM_QUERYDRAGICON, 0}})
                EXPECT_EQ(g_dlgSetup.m_hIcon, (HICON)::SendMessageA(hDialog, m.first, m.second, 0)) << m.first;
            ::PostMessageA(hDialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        EXPECT_EQ(IDCANCEL, nResult);
        EXPECT_EQ(c.nOffers, answerer.Count("Resume Setup")) << strCase;
        EXPECT_EQ(c.pszStored ? Sz(c.pszStored) : "", StoredFolder());
    }
    EXPECT_NE((HICON)NULL, g_dlgSetup.m_hIcon);
    EXPECT_FALSE(g_fResumeDownload);
    EXPECT_EQ(0, Starts(log));
}

// Yes (asked before the dialog is first shown): one start, by the resume timer, in the stored folder
// without its blanks and its trailing backslash, stored again as the box shows it. Clicks on Start
// behind it start nothing more.
TEST_F(SetupDialogTest, YesResumesOnceInTheStoredFolder)
{
    // A folder that does not exist: the download can write nothing anywhere.
    const std::string strFolder = "C:\\no-such-folder-" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(StoreFolder(" \t" + strFolder + "\\  "));
    CDialogTraceLog log;
    const INT_PTR nResult = RunDialog([&] {
        HWND hBox = WaitForDialog(::GetCurrentProcessId(), "Resume Setup", kWait);
        EXPECT_FALSE(::IsWindowVisible(g_dlgSetup.m_hWnd));
        ASSERT_TRUE(AnswerMessageBox(hBox, IDYES));
        CMessageBoxAnswerer answerer;  // later boxes ("Create Shortcut"): No
        ASSERT_TRUE(WaitUntil([] { return g_dlgSetup.m_pDownThread != nullptr; }, kWait));
        EXPECT_FALSE(::IsWindowVisible(g_dlgSetup.m_hWnd));
        ClickStart(g_dlgSetup.m_hWnd);
        ClickStart(g_dlgSetup.m_hWnd);
        // The transfer ends (nothing can be written): Start is enabled again.
        CURLDownloading& download = g_dlgSetup.m_pDownThread->m_dlgDownload;
        const char kFailed[] = "The download could not be written to the local file";
        EXPECT_TRUE(WaitUntil([&] { return ItemTextOf(download.DialogWindow(), IDC_SERVERSTATUS) == kFailed; }, kWait));
        ::Sleep(500);
        EXPECT_EQ(1, Starts(log));
        ::PostMessageA(download.DialogWindow(), WM_COMMAND, IDOK, 0);  // ends the Setup dialog too
        WaitUntil([] { return g_dlgSetup.m_hWnd == NULL; }, kWait);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    ASSERT_NE(nullptr, g_dlgSetup.m_pDownThread);
    EXPECT_EQ(strFolder + "\\brindlemox.exe", std::string((LPCTSTR)g_dlgSetup.m_pDownThread->m_strFilePath));
    EXPECT_EQ(Sz(strFolder + "\\"), StoredFolder());
}

// A blank folder box starts nothing and asks for a folder. The folder picker: Cancel keeps the typed
// folder. Then "My Computer" (no file-system path: OK refused, no status text), a folder (its path the
// status text), "My Computer" again (the status stays), a click on the folder and OK: the box receives
// its path. With an installer already there, a click while the overwrite question is up asks nothing
// more. A resume accepted for the stored folder does not spare another folder the question.
TEST_F(SetupDialogTest, BrowseFillsTheBoxAndAClickDuringTheOverwriteQuestionAsksNothingMore)
{
    const int kPickerTree = 0x3741, kPickerInstruction = 0x3742, kPickerStatus = 0x3743;  // the shell's ids
    char szChosen[MAX_PATH] = "";
    ASSERT_NE(0u, ::GetTempPathA(sizeof(szChosen), szChosen));
    const std::string strExisting = std::string(szChosen) + "brindlemox.exe";
    WriteWholeFile(strExisting, "an older installer");
    szChosen[strlen(szChosen) - 1] = '\0';  // as the shell gives it, without the trailing backslash
    LPITEMIDLIST pidlComputer = nullptr;
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(NULL, CSIDL_DRIVES, &pidlComputer));
    EXPECT_EQ(IDCANCEL, RunDialog([&] {
        HWND hDialog = WaitForSetupDialog(), hPicker = NULL;
        auto openPicker = [&] {
            ClickButton(hDialog, IDC_BUTTON_BROWSE);
            return WaitUntil([&] { return (hPicker = ::GetLastActivePopup(hDialog)) != hDialog; }, kWait);
        };
        auto select = [&](LPARAM lParam, BOOL fPath) {
            ::SendMessageA(hPicker, BFFM_SETSELECTIONA, fPath, lParam);
            ::Sleep(300);
            return ItemTextOf(hPicker, kPickerStatus);
        };
        {
            CMessageBoxAnswerer answerer;
            ::SetDlgItemTextA(hDialog, IDC_EDIT_FOLDER, " ");
            ClickStart(hDialog);
            ASSERT_TRUE(WaitUntil([&] { return answerer.Count("Download Setup") == 1; }, kWait));
            EXPECT_EQ("Please type the folder to download the installer into, or choose one with Browse.",
                      answerer.Texts("Download Setup")[0]);
            EXPECT_EQ(nullptr, g_dlgSetup.m_pDownThread);
        }
        ASSERT_TRUE(StoreFolder("C:\\Stored"));
        g_fResumeDownload = TRUE;
        ::SetDlgItemTextA(hDialog, IDC_EDIT_FOLDER, "D:\\Typed\\Folder");
        ASSERT_TRUE(openPicker());
        ::PostMessageA(hPicker, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hPicker); }, kWait));
        ::Sleep(200);
        EXPECT_EQ("D:\\Typed\\Folder", ItemTextOf(hDialog, IDC_EDIT_FOLDER));
        ASSERT_TRUE(openPicker());
        EXPECT_EQ("Browser For Folder", ItemTextOf(hPicker, kPickerInstruction));
        EXPECT_EQ("", select((LPARAM)pidlComputer, FALSE));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hPicker, IDOK)));
        EXPECT_EQ(szChosen, select((LPARAM)szChosen, TRUE));
        HWND hTree = ::GetDlgItem(hPicker, kPickerTree);
        LPARAM hFolder = ::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        EXPECT_EQ(szChosen, select((LPARAM)pidlComputer, FALSE));
        ::SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, hFolder);
        WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(hPicker, IDOK)) != FALSE; }, kWait);
        ::PostMessageA(hPicker, WM_COMMAND, IDOK, 0);
        WaitUntil([&] { return ItemTextOf(hDialog, IDC_EDIT_FOLDER) != "D:\\Typed\\Folder"; }, kWait);
        EXPECT_EQ(szChosen, ItemTextOf(hDialog, IDC_EDIT_FOLDER));
        ClickStart(hDialog);
        HWND hQuestion = WaitForDialog(::GetCurrentProcessId(), "Overwrite Existing File?", kWait);
        ClickStart(hDialog);
        ::Sleep(500);
        EXPECT_EQ(1u, FindTopWindows(::GetCurrentProcessId(), "#32770", "Overwrite Existing File?", true).size());
        ASSERT_TRUE(AnswerMessageBox(hQuestion, IDNO));
        ClickButton(hDialog, IDCANCEL);
    }));
    ::CoTaskMemFree(pidlComputer);
    ::DeleteFileA(strExisting.c_str());
}

// What SaveLastSetupPath stores from the folder box and what GetLastSetupPath gives back (folders
// as long as the box holds, values of other types or without their zero); and where the machine-wide
// key cannot be written (a limited user on NT), the user's own key keeps the values.
LONG WINAPI RefuseMachineKey(HKEY hRoot, LPCSTR pszKey, DWORD dw, LPSTR psz, DWORD dwOptions, REGSAM sam,
                             LPSECURITY_ATTRIBUTES psa, PHKEY phKey, LPDWORD pdw)
{
    return hRoot == HKEY_LOCAL_MACHINE ? ERROR_ACCESS_DENIED
                                       : ::RegCreateKeyExA(hRoot, pszKey, dw, psz, dwOptions, sam, psa, phKey, pdw);
}

TEST_F(SetupDialogTest, TheStoredFolderAndWhatReadsBack)
{
    CNewUrlDlg dlg;  // no stored folder: it asks nothing
    ASSERT_TRUE(dlg.Create(IDD_DOWNLOADSETUP_DIALOG));
    auto stored = [](HKEY hRoot) { return ReadRegistryValue(hRoot, LASTSETUP_KEY, LASTSETUP_VALUE); };
    auto readBack = [&] { return std::string((LPCTSTR)dlg.GetLastSetupPath()); };
    // The box's text is stored exactly (blanks, a trailing backslash, its zero) and read back whole.
    for (const std::string& strFolder : {std::string("  C:\\Spaced\\  "), "C:\\" + std::string(250, 'a')})
    {
        dlg.SetDlgItemText(IDC_EDIT_FOLDER, strFolder.c_str());
        dlg.SaveLastSetupPath();
        EXPECT_EQ((DWORD)REG_SZ, stored(HKEY_LOCAL_MACHINE).dwType);
        EXPECT_EQ(Sz(strFolder), stored(HKEY_LOCAL_MACHINE).data);
        EXPECT_EQ(strFolder, readBack());
    }
    // Values of other types offer nothing; a string without its zero still reads safely.
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_BINARY, "C:\\Binary"));
    EXPECT_EQ("", readBack());
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_SZ, "C:\\NoZero"));
    EXPECT_EQ("C:\\NoZero", readBack());
    // The machine-wide key refused: folder and validator go to the user's key, read back from there
    // while the machine-wide key has none, and are removed from there.
    CSavedRegistryValue savedUserFolder(HKEY_CURRENT_USER, LASTSETUP_KEY, LASTSETUP_VALUE);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE);
    g_pfnCreateStoreKey = RefuseMachineKey;
    dlg.SetDlgItemText(IDC_EDIT_FOLDER, "C:\\Limited\\User");
    dlg.SaveLastSetupPath();
    SaveLastSetupValidator("300 \"v1\"");
    g_pfnCreateStoreKey = ::RegCreateKeyExA;
    EXPECT_FALSE(stored(HKEY_LOCAL_MACHINE).bExists);
    EXPECT_EQ(Sz("C:\\Limited\\User"), stored(HKEY_CURRENT_USER).data);
    EXPECT_EQ("C:\\Limited\\User", readBack());
    EXPECT_STREQ("300 \"v1\"", GetLastSetupValidator());
    RemoveLastSetupPath();
    EXPECT_FALSE(stored(HKEY_CURRENT_USER).bExists);
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, LASTSETUP_KEY, LASTSETUP_VALIDATOR_VALUE).bExists);
    dlg.DestroyWindow();
}
}  // namespace
