// CNewUrlDlg::OnButtonStart: from the folder box to a running download thread.
#include "app/CNewUrlDlg.h"
#include "app/CSetupApp.h"
#include "download/ServerConfig.h"
#include "app/SystemInspection.h"
#include "download/CDownThread.h"
#include "res/resource.h"
#include <new>

namespace
{
// Marks OnButtonStart as under way for its lifetime.
class CStartingGuard
{
public:
    explicit CStartingGuard(BOOL& fStarting) : m_fStarting(fStarting) { m_fStarting = TRUE; }
    ~CStartingGuard() { m_fStarting = FALSE; }
    CStartingGuard(const CStartingGuard&) = delete;
    CStartingGuard& operator=(const CStartingGuard&) = delete;

private:
    BOOL& m_fStarting;
};
}  // namespace

void CNewUrlDlg::OnButtonStart()
{
    // One download per run: a second click queued behind the first, a click during the overwrite
    // question or the resume timer together with a click would otherwise start a second download
    // thread appending to the same file.
    if (m_pDownThread != nullptr || m_fStarting)
        return;
    KillTimer(kTimerResume);
    CStartingGuard starting(m_fStarting);

    CString strTarget = TargetFromFolderBox();
    if (!AskForFolderIfEmpty())
        return;
    // The resume (and with it the stored version of the partial file) belongs to the stored folder:
    // any other folder is asked about like a new download.
    g_fResumeDownload = g_fResumeDownload && IsStoredFolder(m_strFolder);
    if (!g_fResumeDownload && !ClearWayForInstaller(strTarget))
        return;
    if (StartDownloadThread(strTarget, InstallerUrl()))
    {
        SaveLastSetupPath();  // remembered for a later resume
        return;
    }

    // Without the thread there is no download dialog: say so and bring the Setup dialog back, so the
    // user can try again or close it. The folder is not stored.
    theApp.m_log.WriteLine("#### Failed To Create Thread #######");
    ShowWindow(SW_SHOW);
    MessageBox("The download could not be started. Please try again.", "Download Setup", MB_OK | MB_ICONERROR);
}

// The folder (into m_strFolder) without one trailing backslash ("C:\" becomes "C:", so the target is
// C:\brindlemox.exe), and the installer's path in it. Only a backslash that is a character of its
// own counts: in the double-byte code pages (Japanese, Chinese, Korean) the second byte of a
// character can be 0x5C as well.
CString CNewUrlDlg::TargetFromFolderBox()
{
    GetDlgItemText(IDC_EDIT_FOLDER, m_strFolder);
    m_strFolder = FolderWithoutBackslash(m_strFolder);
    return m_strFolder + "\\brindlemox.exe";
}

CString CNewUrlDlg::FolderWithoutBackslash(const CString& strFolder)
{
    const int nLength = strFolder.GetLength();
    LPCTSTR pszFolder = strFolder;
    if (nLength > 1 && *::CharPrevA(pszFolder, pszFolder + nLength) == '\\')
        return strFolder.Left(nLength - 1);
    return strFolder;
}

// Without a folder the installer would land in the root of the current drive: the user is asked
// for one instead. FALSE when the box names none.
BOOL CNewUrlDlg::AskForFolderIfEmpty()
{
    CString strFolder = m_strFolder;
    strFolder.TrimLeft();
    strFolder.TrimRight();
    if (!strFolder.IsEmpty())
        return TRUE;
    MessageBox("Please type the folder to download the installer into, or choose one with Browse.", "Download Setup",
               MB_OK | MB_ICONERROR);
    return FALSE;
}

// The folder (as TargetFromFolderBox leaves it) is the stored folder of the unfinished download.
BOOL CNewUrlDlg::IsStoredFolder(const CString& strFolder)
{
    CString strStored = GetLastSetupPath();
    strStored.TrimLeft();
    strStored.TrimRight();
    return ::lstrcmpiA(FolderWithoutBackslash(strStored), strFolder) == 0;
}

// An existing installer is replaced only when the user agrees and it can be deleted; FALSE when it
// stays and nothing is started. A target that exists but cannot be opened for reading counts as
// absent.
BOOL CNewUrlDlg::ClearWayForInstaller(const CString& strTarget)
{
    CFile file;
    if (!file.Open(strTarget, CFile::modeRead | CFile::shareDenyNone))
        return TRUE;
    if (MessageBox("A file with the same name already exists. Would you like to overwrite the file?",
                   "Overwrite Existing File?", MB_YESNO | MB_ICONQUESTION) != IDYES)
    {
        theApp.m_log.WriteLine("End OnDownloadnow 4 in OnButtonStart");
        return FALSE;
    }
    file.Close();
    if (!::DeleteFileA(strTarget))
    {
        CString strMessage;
        strMessage.Format("Unable to delete the file from path\n\r%s\\brindlemox.exe", (LPCTSTR)m_strFolder);
        MessageBox(strMessage, "Download Setup", MB_OK | MB_ICONERROR);
        theApp.m_log.WriteLine("End OnDownloadnow 3 in CNewUrlDlg");
        return FALSE;
    }
    return TRUE;
}

// The address of the installer variant for this system.
CString CNewUrlDlg::InstallerUrl()
{
    CString strOSName = GetOSName();
    double dBrowserVersion = BrowserVersionNumber(GetFileVersionString("shdocvw.dll"));
    return CString("http://") + GetDownloadServer() + ChooseInstallerPath(dBrowserVersion, strOSName);
}

// Hides the Setup dialog and hands the download to a thread of its own, whose dialog begins at once
// (it runs the start as soon as its window is up). FALSE when the thread could not be started.
BOOL CNewUrlDlg::StartDownloadThread(const CString& strTarget, const CString& strURL)
{
    ShowWindow(SW_HIDE);
    m_pDownThread = new (std::nothrow) CDownThread(theApp.m_log, *this);
    if (m_pDownThread == nullptr)
        return FALSE;
    m_pDownThread->m_strFilePath = strTarget;
    m_pDownThread->m_strURL = strURL;
    m_pDownThread->m_fResumeStored = g_fResumeDownload;
    if (!m_pDownThread->CreateThread(0, 0, NULL))
    {
        delete m_pDownThread;
        m_pDownThread = nullptr;
        return FALSE;
    }
    m_pDownThread->m_dlgDownload.OnStart();
    return TRUE;
}
