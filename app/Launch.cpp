// CNewUrlDlg::OnButtonStart: from the folder box to a running download thread.
#include "app/CNewUrlDlg.h"
#include "app/CSetupApp.h"
#include "app/ServerConfig.h"
#include "app/SystemInspection.h"
#include "download/CDownThread.h"
#include "res/resource.h"
#include <new>

void CNewUrlDlg::OnButtonStart()
{
    // One download per run: a second click queued behind the first, a click during the overwrite
    // question or the resume timer together with a click would otherwise start a second download
    // thread appending to the same file.
    if (m_pDownThread != nullptr || m_fStarting)
        return;
    KillTimer(ID_TIMER_RESUME);
    struct StartingGuard
    {
        BOOL& fStarting;
        explicit StartingGuard(BOOL& f) : fStarting(f) { fStarting = TRUE; }
        ~StartingGuard() { fStarting = FALSE; }
    } starting(m_fStarting);

    // 1. The folder, without one trailing backslash ("C:\" stays "C:" so the target is C:\brindlemox.exe).
    // Only a backslash that is a character of its own counts: in the double-byte code pages (Japanese,
    // Chinese, Korean) the second byte of a character can be 0x5C as well.
    GetDlgItemText(IDC_EDIT_FOLDER, m_strFolder);
    const int nLength = m_strFolder.GetLength();
    LPCTSTR pszFolder = m_strFolder;
    if (nLength > 1 && *::CharPrevA(pszFolder, pszFolder + nLength) == '\\')
        m_strFolder = m_strFolder.Left(nLength - 1);
    CString strTarget = m_strFolder + "\\brindlemox.exe";

    // 2. An existing installer is replaced only when the user agrees; a resumed download keeps it.
    // A target that exists but cannot be opened for reading counts as absent.
    if (!g_fResumeDownload)
    {
        CFile file;
        if (file.Open(strTarget, CFile::modeRead | CFile::shareDenyNone))
        {
            if (MessageBox("A file with the same name already exists. Would you like to overwrite the file?",
                           "Overwrite Existing File?", MB_YESNO | MB_ICONQUESTION) != IDYES)
            {
                theApp.m_log.WriteLine("End OnDownloadnow 4 in OnButtonStart");
                return;
            }
            file.Close();
            if (!::DeleteFileA(strTarget))
            {
                CString strMessage;
                strMessage.Format("Unable to delete the file from path\n\r%s\\brindlemox.exe", (LPCTSTR)m_strFolder);
                MessageBox(strMessage, "Download Setup", MB_OK | MB_ICONERROR);
                theApp.m_log.WriteLine("End OnDownloadnow 3 in CNewUrlDlg");
                return;
            }
        }
    }

    // 3.-4. The installer variant for this system.
    CString strOSName = GetOSName();
    strOSName.TrimLeft();
    strOSName.TrimRight();
    double dBrowserVersion = BrowserVersionNumber(GetFileVersionString("shdocvw.dll"));
    CString strURL = CString("http://") + GetDownloadServer() + ChooseInstallerPath(dBrowserVersion, strOSName);

    // 5.-7. The download dialog takes over on a thread of its own.
    ShowWindow(SW_HIDE);
    m_pDownThread = new (std::nothrow) CDownThread;
    if (m_pDownThread != nullptr)
    {
        m_pDownThread->m_strFilePath = strTarget;
        m_pDownThread->m_strURL = strURL;
        if (m_pDownThread->CreateThread(0, 0, NULL))
        {
            // 8. Begin at once (the dialog runs the start as soon as its window is up) and remember the
            // folder for a later resume.
            m_pDownThread->m_dlgDownload.OnStart();
            SaveLastSetupPath();
            return;
        }
        delete m_pDownThread;
        m_pDownThread = nullptr;
    }

    // 9. Without the thread there is no download dialog: say so and bring the Setup dialog back, so
    // the user can try again or close it. The folder is not stored.
    theApp.m_log.WriteLine("#### Failed To Create Thread #######");
    ShowWindow(SW_SHOW);
    MessageBox("The download could not be started. Please try again.", "Download Setup", MB_OK | MB_ICONERROR);
}
