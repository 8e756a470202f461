// CNewUrlDlg: the "Download Setup" dialog, the program's main window: folder choice, resume
// prompt, and the launch of the download.
#pragma once
#include <afxwin.h>
#include "download/IDownloadHost.h"

class CDownThread;

class CNewUrlDlg : public CDialog, public IDownloadHost
{
public:
    CNewUrlDlg();
    ~CNewUrlDlg() override;

    HICON m_hIcon;
    CString m_strFolder;
    CDownThread* m_pDownThread;

    afx_msg void OnButtonStart();
    afx_msg void OnButtonBrowse();
    CString GetOSName();
    void SaveLastSetupPath();
    CString GetLastSetupPath();

    // IDownloadHost: the stored validator, the stored download forgotten once complete, and the
    // end of the program when the download dialog ends (any thread).
    CString LoadValidator() override;
    void SaveValidator(LPCTSTR pszText) override;
    void ForgetStoredDownload() override;
    void DownloadDialogEnded() override;

protected:
    enum
    {
        kTimerResume = 1,  // starts a resumed download by itself, 50 ms after initialisation
    };
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnTimer(UINT nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    // OnInitDialog's steps.
    void ShowDesktopFolder();
    void OfferResume();
    // OnButtonStart's steps.
    CString TargetFromFolderBox();
    static CString FolderWithoutBackslash(const CString& strFolder);
    BOOL AskForFolderIfEmpty();
    BOOL IsStoredFolder(const CString& strFolder);
    BOOL ClearWayForInstaller(const CString& strTarget);
    CString InstallerUrl();
    BOOL StartDownloadThread(const CString& strTarget, const CString& strURL);

    // OnButtonStart is under way (its boxes run message loops in which a second click or the resume
    // timer could start it again).
    BOOL m_fStarting = FALSE;
};

extern CNewUrlDlg g_dlgSetup;
extern BOOL g_fResumeDownload;
