// The Setup dialog (g_dlgSetup) run modally on the test's thread exactly as InitInstance runs it,
// driven from a second thread as a user would: the Desktop default in the folder box, the resume
// prompt before the dialog is first shown, Yes (the stored folder, the resume flag, one start by
// timer 1) and No, Close, the icons, other timers, and the folder picker (cancel keeps the box, a
// choice fills it, the status text follows the selection).
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <stdio.h>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include "tests/support/TestThread.h"
#include <vector>
#include "app/CNewUrlDlg.h"
#include "app/LastSetupPath.h"
#include "download/CDownThread.h"
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/FakeWorker.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/RegistryValue.h"
#include "tests/support/WindowDriver.h"

namespace
{
const DWORD kWait = 30000;  // bounded waits: a hang fails the test instead of blocking the run
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kResumeText[] =
    "Setup has detected that a previous download was not completed. Do you want to recover and continue Setup?";
const char kStartOnStart[] = "Start OnStart in CURLDownloading for ";

std::string Expand(const std::string& strText)
{
    char szExpanded[MAX_PATH] = "";
    ::ExpandEnvironmentStringsA(strText.c_str(), szExpanded, MAX_PATH);
    return szExpanded;
}

std::string DesktopFromRegistry()
{
    CRegistryData desktop = ReadRegistryValue(HKEY_CURRENT_USER, kShellFolders, "Desktop");
    return desktop.bExists ? Expand(desktop.data.c_str()) : std::string();
}

int CountPrefixed(const CDialogTraceLog& log, const std::string& strPrefix)
{
    int nCount = 0;
    for (const std::string& strText : log.Texts())
        if (strText.compare(0, strPrefix.size(), strPrefix) == 0)
            ++nCount;
    return nCount;
}

struct ChildTextSearch
{
    const std::string* pstrText;
    HWND hFound;
};

BOOL CALLBACK ChildTextProc(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<ChildTextSearch*>(lParam);
    if (WindowTextOf(hWnd) != *pSearch->pstrText)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

// Child window of hParent (at any depth) whose text is strText.
HWND FindChildWithText(HWND hParent, const std::string& strText)
{
    ChildTextSearch search{&strText, NULL};
    ::EnumChildWindows(hParent, ChildTextProc, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

class SetupDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
        g_fResumeDownload = FALSE;
        g_dlgSetup.m_strFolder.Empty();
        g_dlgSetup.m_pDownThread = nullptr;  // a new run (a thread object of an earlier test is left be)
    }
    void TearDown() override { g_fResumeDownload = FALSE; }

    // Runs g_dlgSetup modally on this thread while driver runs on a thread of its own. Whatever the
    // driver leaves open afterwards (a box, the dialog) is closed, so a failed step cannot hang.
    INT_PTR RunDialog(const std::function<void()>& driver)
    {
        std::atomic<bool> bModalEnded{false};
        CTestThread thread([&] {
            driver();
            if (WaitUntil([&] { return bModalEnded.load(); }, 5000))
                return;
            ADD_FAILURE() << "the Setup dialog was still running after the test's steps";
            while (!bModalEnded)
            {
                for (HWND hBox : FindTopWindows(::GetCurrentProcessId(), "#32770", nullptr, true))
                    if (hBox != g_dlgSetup.m_hWnd && !AnswerMessageBox(hBox, IDNO))
                        AnswerMessageBox(hBox, IDCANCEL);
                HWND hDialog = g_dlgSetup.m_hWnd;
                if (hDialog != NULL)
                    ::PostMessageA(hDialog, WM_CLOSE, 0, 0);
                ::Sleep(200);
            }
        });
        INT_PTR nResult = g_dlgSetup.DoModal();
        bModalEnded = true;
        thread.join();
        return nResult;
    }

    // The Setup dialog's window once it is visible, or NULL.
    static HWND WaitForSetupDialog()
    {
        HWND hDialog = NULL;
        WaitUntil(
            [&] {
                hDialog = g_dlgSetup.m_hWnd;
                return hDialog != NULL && ::IsWindowVisible(hDialog);
            },
            kWait);
        return hDialog != NULL && ::IsWindowVisible(hDialog) ? hDialog : NULL;
    }

    // Runs the dialog, reads the folder box once it is shown, and closes it with the Close button.
    std::string FolderBoxAtStart(int* pnResumePrompts = nullptr)
    {
        CMessageBoxAnswerer answerer;
        std::string strBox;
        INT_PTR nResult = RunDialog([&] {
            HWND hDialog = WaitForSetupDialog();
            ASSERT_NE((HWND)NULL, hDialog);
            strBox = ItemTextOf(hDialog, IDC_EDIT_FOLDER);
            ClickButton(hDialog, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, nResult);
        if (pnResumePrompts != nullptr)
            *pnResumePrompts = answerer.Count("Resume Setup");
        return strBox;
    }

    CSavedRegistryValue m_savedLastPath{HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE};
    CSavedRegistryValue m_savedDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
};

TEST_F(SetupDialogTest, FolderBoxShowsTheExpandedDesktopFolder)
{
    ASSERT_FALSE(DesktopFromRegistry().empty());
    EXPECT_EQ(DesktopFromRegistry(), FolderBoxAtStart());

    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kShellFolders, "Desktop", "%SystemRoot%\\DesktopProbe"));
    std::string strBox = FolderBoxAtStart();
    EXPECT_EQ(Expand("%SystemRoot%\\DesktopProbe"), strBox);
    EXPECT_EQ(std::string::npos, strBox.find('%'));
    EXPECT_EQ("", std::string((LPCTSTR)g_dlgSetup.m_strFolder));  // start-up does not fill the member
}

TEST_F(SetupDialogTest, MissingOrUnreadableDesktopLeavesTheBoxEmpty)
{
    ASSERT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, kShellFolders, "Desktop"));
    EXPECT_EQ("", FolderBoxAtStart());

    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, kShellFolders, "Desktop", REG_DWORD, std::string("\x43\0\0\0", 4)));
    EXPECT_EQ("", FolderBoxAtStart());

    // Longer than the 260-byte buffer: the read fails.
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kShellFolders, "Desktop", "C:\\" + std::string(300, 'd')));
    EXPECT_EQ("", FolderBoxAtStart());
}

TEST_F(SetupDialogTest, NothingStoredAsksNothingAndCloseEndsTheDialog)
{
    CDialogTraceLog log;
    int nPrompts = -1;
    EXPECT_EQ(DesktopFromRegistry(), FolderBoxAtStart(&nPrompts));
    EXPECT_EQ(0, nPrompts);
    EXPECT_FALSE(g_fResumeDownload);
    EXPECT_EQ(0, CountPrefixed(log, kStartOnStart));
    EXPECT_EQ((HWND)NULL, g_dlgSetup.m_hWnd);  // the dialog has ended and its window is gone
}

TEST_F(SetupDialogTest, EmptyBlankOverlongOrOtherTypeStoredValuesAskNothing)
{
    const std::string values[] = {std::string(), std::string("   \t "), std::string(50, 'x')};
    for (const std::string& strValue : values)
    {
        ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, strValue));
        int nPrompts = -1;
        EXPECT_EQ(DesktopFromRegistry(), FolderBoxAtStart(&nPrompts));
        EXPECT_EQ(0, nPrompts) << "stored value of " << strValue.size() << " characters";
    }
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_DWORD, std::string("AB\0\0", 4)));
    int nPrompts = -1;
    FolderBoxAtStart(&nPrompts);
    EXPECT_EQ(0, nPrompts);
    EXPECT_FALSE(g_fResumeDownload);
}

TEST_F(SetupDialogTest, ResumePromptComesBeforeTheDialogIsShownAndNoChangesNothing)
{
    const std::string strStored = "  C:\\Resume\\Here  ";
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, strStored));
    CDialogTraceLog log;

    bool bDialogVisibleAtPrompt = true;
    bool bYesAndNoOnly = false;
    std::string strPromptText;
    std::string strBox;
    bool bStillShown = false;
    INT_PTR nResult = RunDialog([&] {
        HWND hBox = WaitForDialog(::GetCurrentProcessId(), "Resume Setup", kWait);
        ASSERT_NE((HWND)NULL, hBox);
        ASSERT_NE((HWND)NULL, g_dlgSetup.m_hWnd);
        bDialogVisibleAtPrompt = ::IsWindowVisible(g_dlgSetup.m_hWnd) != FALSE;
        strPromptText = MessageBoxTextOf(hBox);
        bYesAndNoOnly = ::GetDlgItem(hBox, IDYES) != NULL && ::GetDlgItem(hBox, IDNO) != NULL &&
                        ::GetDlgItem(hBox, IDOK) == NULL && ::GetDlgItem(hBox, IDCANCEL) == NULL;
        AnswerMessageBox(hBox, IDNO);

        HWND hDialog = WaitForSetupDialog();
        ASSERT_NE((HWND)NULL, hDialog);
        ::Sleep(500);  // ten periods of the resume timer: nothing may start
        strBox = ItemTextOf(hDialog, IDC_EDIT_FOLDER);
        bStillShown = ::IsWindowVisible(hDialog) != FALSE;
        ClickButton(hDialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_FALSE(bDialogVisibleAtPrompt);
    EXPECT_EQ(kResumeText, strPromptText);
    EXPECT_TRUE(bYesAndNoOnly);
    EXPECT_EQ(DesktopFromRegistry(), strBox);
    EXPECT_TRUE(bStillShown);
    EXPECT_FALSE(g_fResumeDownload);
    EXPECT_EQ(0, CountPrefixed(log, kStartOnStart));
    // Declining keeps the stored folder exactly, so the next start asks again.
    CRegistryData stored = ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    EXPECT_EQ(std::string(strStored.c_str(), strStored.size() + 1), stored.data);
}

TEST_F(SetupDialogTest, YesFillsTheTrimmedFolderSetsTheResumeFlagAndStartsOnce)
{
    // A folder that does not exist: the download that timer 1 starts can write nothing anywhere.
    char szFolder[MAX_PATH];
    snprintf(szFolder, sizeof(szFolder), "C:\\no-such-folder-%lu-%lu", ::GetCurrentProcessId(), ::GetTickCount());
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE,
                                    std::string(" \t") + szFolder + "  "));
    CDialogTraceLog log;

    bool bDialogVisibleAtPrompt = true;
    std::string strBox;
    bool bSetupHidden = false;
    bool bTransferEnded = false;
    int nStartsAfterEnd = -1;
    std::unique_ptr<CMessageBoxAnswerer> pAnswerer;
    INT_PTR nResult = RunDialog([&] {
        HWND hBox = WaitForDialog(::GetCurrentProcessId(), "Resume Setup", kWait);
        ASSERT_NE((HWND)NULL, hBox);
        bDialogVisibleAtPrompt = ::IsWindowVisible(g_dlgSetup.m_hWnd) != FALSE;
        AnswerMessageBox(hBox, IDYES);
        pAnswerer.reset(new CMessageBoxAnswerer);  // later boxes: No ("Create Shortcut")

        // Timer 1 starts the download by itself: the download dialog comes up on its own thread.
        HWND hDownload = NULL;
        ASSERT_TRUE(WaitUntil(
            [&] {
                CDownThread* pThread = g_dlgSetup.m_pDownThread;
                hDownload = pThread != nullptr ? pThread->m_dlgDownload.m_hWndDialog.load() : NULL;
                return hDownload != NULL;
            },
            kWait));
        HWND hSetup = g_dlgSetup.m_hWnd;
        strBox = ItemTextOf(hSetup, IDC_EDIT_FOLDER);
        bSetupHidden = !::IsWindowVisible(hSetup);

        // The transfer ends (nothing can be written); then no second start may follow.
        bTransferEnded = WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)) != FALSE; }, kWait);
        ::Sleep(500);
        nStartsAfterEnd = CountPrefixed(log, kStartOnStart);

        // Ending the download dialog closes the Setup dialog and so ends DoModal.
        ::PostMessageA(hDownload, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_FALSE(bDialogVisibleAtPrompt);
    EXPECT_EQ(szFolder, strBox);
    EXPECT_TRUE(g_fResumeDownload);
    EXPECT_TRUE(bSetupHidden);
    EXPECT_TRUE(bTransferEnded);
    EXPECT_EQ(1, nStartsAfterEnd);
    EXPECT_EQ(szFolder, std::string((LPCTSTR)g_dlgSetup.m_strFolder));
    ASSERT_NE(nullptr, g_dlgSetup.m_pDownThread);
    EXPECT_EQ(std::string(szFolder) + "\\brindlemox.exe",
              std::string((LPCTSTR)g_dlgSetup.m_pDownThread->m_strFilePath));
    // The launch stored the folder as the box showed it.
    CRegistryData stored = ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    EXPECT_EQ(std::string(szFolder, strlen(szFolder) + 1), stored.data);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(szFolder));
    pAnswerer.reset();
}

TEST_F(SetupDialogTest, ClicksQueuedBehindTheFirstStartNothingTwice)
{
    char szFolder[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof(szFolder), szFolder));
    const std::string strExisting = std::string(szFolder) + "brindlemox.exe";
    xfer::WriteWholeFile(strExisting, "an older installer");
    snprintf(szFolder, sizeof(szFolder), "C:\\no-such-folder-%lu-%lu", ::GetCurrentProcessId(), ::GetTickCount());
    CDialogTraceLog log;

    int nQuestionsUp = -1;
    int nStartsAfterEnd = -1;
    std::unique_ptr<CMessageBoxAnswerer> pAnswerer;
    INT_PTR nResult = RunDialog([&] {
        HWND hDialog = WaitForSetupDialog();
        ASSERT_NE((HWND)NULL, hDialog);
        // A click while the overwrite question is up (its loop handles the click) asks nothing more.
        ::SetDlgItemTextA(hDialog, IDC_EDIT_FOLDER, std::string(strExisting, 0, strExisting.size() - 15).c_str());
        ::PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_START, BN_CLICKED), 0);
        HWND hQuestion = WaitForDialog(::GetCurrentProcessId(), "Overwrite Existing File?", kWait);
        ASSERT_NE((HWND)NULL, hQuestion);
        ::PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_START, BN_CLICKED), 0);
        ::Sleep(500);
        nQuestionsUp = (int)FindTopWindows(::GetCurrentProcessId(), "#32770", "Overwrite Existing File?", true).size();
        AnswerMessageBox(hQuestion, IDNO);
        pAnswerer.reset(new CMessageBoxAnswerer);  // later boxes: No ("Create Shortcut")

        // Two clicks queued together (a double click): one download.
        ::SetDlgItemTextA(hDialog, IDC_EDIT_FOLDER, szFolder);
        ::PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_START, BN_CLICKED), 0);
        ::PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_START, BN_CLICKED), 0);
        HWND hDownload = NULL;
        ASSERT_TRUE(WaitUntil(
            [&] {
                CDownThread* pThread = g_dlgSetup.m_pDownThread;
                hDownload = pThread != nullptr ? pThread->m_dlgDownload.m_hWndDialog.load() : NULL;
                return hDownload != NULL && ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START));
            },
            kWait));
        ::Sleep(500);
        nStartsAfterEnd = CountPrefixed(log, kStartOnStart);
        ::PostMessageA(hDownload, WM_COMMAND, IDOK, 0);
    });
    pAnswerer.reset();
    ::DeleteFileA(strExisting.c_str());
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_EQ(1, nQuestionsUp);
    EXPECT_EQ(1, log.Count("End OnDownloadnow 4 in OnButtonStart"));
    EXPECT_EQ(1, nStartsAfterEnd);
}

TEST_F(SetupDialogTest, IconsAndTimersOtherThanTheResumeTimer)
{
    CDialogTraceLog log;
    HICON hBig = NULL, hSmall = NULL, hDrag = NULL;
    bool bStillShown = false;
    INT_PTR nResult = RunDialog([&] {
        HWND hDialog = WaitForSetupDialog();
        ASSERT_NE((HWND)NULL, hDialog);
        hBig = (HICON)::SendMessageA(hDialog, WM_GETICON, ICON_BIG, 0);
        hSmall = (HICON)::SendMessageA(hDialog, WM_GETICON, ICON_SMALL, 0);
        hDrag = (HICON)::SendMessageA(hDialog, WM_QUERYDRAGICON, 0, 0);
        ::PostMessageA(hDialog, WM_TIMER, 7, 0);
        ::PostMessageA(hDialog, WM_TIMER, 2, 0);
        ::Sleep(300);
        bStillShown = ::IsWindowVisible(hDialog) != FALSE;
        ::PostMessageA(hDialog, WM_SYSCOMMAND, SC_CLOSE, 0);  // the system menu's Close
    });
    EXPECT_EQ(IDCANCEL, nResult);
    ASSERT_NE((HICON)NULL, g_dlgSetup.m_hIcon);
    EXPECT_EQ(g_dlgSetup.m_hIcon, hBig);
    EXPECT_EQ(g_dlgSetup.m_hIcon, hSmall);
    EXPECT_EQ(g_dlgSetup.m_hIcon, hDrag);
    EXPECT_TRUE(bStillShown);
    EXPECT_EQ(0, CountPrefixed(log, kStartOnStart));
}

// The folder picker: the owner is the Setup dialog; its instruction is "Browser For Folder".
class SetupDialogBrowseTest : public SetupDialogTest
{
protected:
    static HWND WaitForPicker(HWND hOwner)
    {
        HWND hPicker = NULL;
        WaitUntil(
            [&] {
                for (HWND hWnd : FindTopWindows(::GetCurrentProcessId(), "#32770", nullptr, true))
                    if (hWnd != hOwner && ::GetWindow(hWnd, GW_OWNER) == hOwner)
                        hPicker = hWnd;
                return hPicker != NULL;
            },
            kWait);
        return hPicker;
    }
};

TEST_F(SetupDialogBrowseTest, CancellingThePickerLeavesTheBoxAsItWas)
{
    std::string strBox;
    bool bInstructionShown = false;
    RunDialog([&] {
        HWND hDialog = WaitForSetupDialog();
        ASSERT_NE((HWND)NULL, hDialog);
        ::SendMessageA(::GetDlgItem(hDialog, IDC_EDIT_FOLDER), WM_SETTEXT, 0, (LPARAM) "D:\\Typed\\Folder");
        ClickButton(hDialog, IDC_BUTTON_BROWSE);
        HWND hPicker = WaitForPicker(hDialog);
        ASSERT_NE((HWND)NULL, hPicker);
        bInstructionShown = FindChildWithText(hPicker, "Browser For Folder") != NULL;
        ::PostMessageA(hPicker, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hPicker); }, kWait));
        ::Sleep(200);
        strBox = ItemTextOf(hDialog, IDC_EDIT_FOLDER);
        ClickButton(hDialog, IDCANCEL);
    });
    EXPECT_TRUE(bInstructionShown);
    EXPECT_EQ("D:\\Typed\\Folder", strBox);
    EXPECT_EQ("", std::string((LPCTSTR)g_dlgSetup.m_strFolder));
}

// The text of a tree item.
std::string TreeItemText(HWND hTree, HTREEITEM hItem)
{
    char szText[MAX_PATH] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = szText;
    item.cchTextMax = MAX_PATH;
    ::SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&item);
    return szText;
}

// The picker's status text (the static control beside the instruction that is not the instruction).
std::string PickerStatus(HWND hPicker)
{
    std::string strStatus;
    for (HWND hChild = ::FindWindowExA(hPicker, NULL, "Static", NULL); hChild != NULL;
         hChild = ::FindWindowExA(hPicker, hChild, "Static", NULL))
        if (WindowTextOf(hChild) != "Browser For Folder")
            strStatus = WindowTextOf(hChild);
    return strStatus;
}

// Items are chosen in the picker's tree as a user picks them: "My Computer" (no file-system path:
// OK is refused, the status text stays empty), then the desktop's items one by one until one is a
// file-system folder (its path becomes the status text), "My Computer" again (the status text
// stays), that folder again and OK: the folder box and m_strFolder receive its path.
TEST_F(SetupDialogBrowseTest, AChosenFolderFillsTheBoxAndTheStatusFollowsTheSelection)
{
    bool bNonFolderRefused = false;
    std::string strStatusForNonFolder = "(not read)";
    std::string strChosen;
    std::string strStatusKept;
    std::string strBox;
    RunDialog([&] {
        HWND hDialog = WaitForSetupDialog();
        ASSERT_NE((HWND)NULL, hDialog);
        ::SendMessageA(::GetDlgItem(hDialog, IDC_EDIT_FOLDER), WM_SETTEXT, 0, (LPARAM) "D:\\Typed");
        ClickButton(hDialog, IDC_BUTTON_BROWSE);
        HWND hPicker = WaitForPicker(hDialog);
        ASSERT_NE((HWND)NULL, hPicker);
        HWND hTree = NULL;
        ASSERT_TRUE(WaitUntil(
            [&] {
                hTree = ::FindWindowExA(hPicker, NULL, WC_TREEVIEWA, NULL);
                return hTree != NULL && ::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0) != 0;
            },
            kWait));
        HTREEITEM hRoot = (HTREEITEM)::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        ::SendMessageA(hTree, TVM_EXPAND, TVE_EXPAND, (LPARAM)hRoot);
        std::vector<HTREEITEM> items;
        HTREEITEM hComputer = NULL;
        for (HTREEITEM hItem = (HTREEITEM)::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)hRoot);
             hItem != NULL; hItem = (HTREEITEM)::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)hItem))
        {
            if (lstrcmpiA(TreeItemText(hTree, hItem).c_str(), "My Computer") == 0)
                hComputer = hItem;
            else
                items.push_back(hItem);
        }
        ASSERT_NE((HTREEITEM)NULL, hComputer);

        ::SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)hComputer);
        ::Sleep(300);
        bNonFolderRefused = !::IsWindowEnabled(::GetDlgItem(hPicker, IDOK));
        strStatusForNonFolder = PickerStatus(hPicker);

        HTREEITEM hFolder = NULL;
        for (HTREEITEM hItem : items)
        {
            ::SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)hItem);
            if (WaitUntil([&] { return !PickerStatus(hPicker).empty(); }, 500))
            {
                hFolder = hItem;
                strChosen = PickerStatus(hPicker);
                break;
            }
        }
        ASSERT_NE((HTREEITEM)NULL, hFolder) << "no file-system folder among the desktop's items";

        ::SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)hComputer);
        ::Sleep(300);
        strStatusKept = PickerStatus(hPicker);

        ::SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)hFolder);
        WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(hPicker, IDOK)) != FALSE; }, kWait);
        ::PostMessageA(hPicker, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hPicker); }, kWait));
        WaitUntil([&] { return ItemTextOf(hDialog, IDC_EDIT_FOLDER) != "D:\\Typed"; }, 5000);
        strBox = ItemTextOf(hDialog, IDC_EDIT_FOLDER);
        ClickButton(hDialog, IDCANCEL);
    });
    EXPECT_TRUE(bNonFolderRefused);
    EXPECT_EQ("", strStatusForNonFolder);
    ASSERT_FALSE(strChosen.empty());
    const DWORD dwAttributes = ::GetFileAttributesA(strChosen.c_str());
    EXPECT_TRUE(dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) << strChosen;
    EXPECT_EQ(strChosen, strStatusKept);
    EXPECT_EQ(strChosen, strBox);
    EXPECT_EQ(strChosen, std::string((LPCTSTR)g_dlgSetup.m_strFolder));
}
}  // namespace
