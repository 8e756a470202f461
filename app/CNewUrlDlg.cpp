// CNewUrlDlg: construction, initialisation (desktop default, resume prompt), the resume timer and
// the icon. The launch is in Launch.cpp, the folder picker in FolderBrowser.cpp, the stored folder
// in LastSetupPath.cpp and GetOSName in SystemInspection.cpp.
#include "app/CNewUrlDlg.h"
#include "download/ResumeShortcut.h"
#include "res/resource.h"

// Set when the user accepts the resume prompt; the launch then keeps the existing file.
BOOL g_fResumeDownload = FALSE;

BEGIN_MESSAGE_MAP(CNewUrlDlg, CDialog)
    ON_WM_SYSCOMMAND()      // void OnSysCommand(UINT nID, LPARAM lParam)
    ON_WM_PAINT()           // void OnPaint()
    ON_WM_QUERYDRAGICON()   // HCURSOR OnQueryDragIcon()
    ON_BN_CLICKED(IDC_BUTTON_START, OnButtonStart)    // void OnButtonStart()
    ON_BN_CLICKED(IDC_BUTTON_BROWSE, OnButtonBrowse)  // void OnButtonBrowse()
    ON_WM_TIMER()           // void OnTimer(UINT nIDEvent)
END_MESSAGE_MAP()

// Built as a global before the application object, so the icon comes straight from the module's
// resources rather than through the application.
CNewUrlDlg::CNewUrlDlg()
    : CDialog(IDD_DOWNLOADSETUP_DIALOG, NULL),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_pDownThread(nullptr)
{
}

// The icon is a shared resource icon and the download thread lives until the process ends: the
// dialog frees neither.
CNewUrlDlg::~CNewUrlDlg() {}

// No control is bound; the exchange during initialisation leaves no download thread behind.
void CNewUrlDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    m_pDownThread = nullptr;
}

BOOL CNewUrlDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    ShowDesktopFolder();
    OfferResume();
    return TRUE;  // the framework gives the focus to the first control
}

// The folder box starts with the user's desktop folder.
void CNewUrlDlg::ShowDesktopFolder()
{
    char szDesktop[MAX_PATH];
    if (ReadDesktopFolder(szDesktop))
        SetDlgItemText(IDC_EDIT_FOLDER, szDesktop);
}

// With a stored folder the user is asked, while the dialog is still being built (before it is first
// shown), whether to continue the unfinished download; Yes puts the folder into the box and starts
// the download by the resume timer.
void CNewUrlDlg::OfferResume()
{
    CString strLastPath = GetLastSetupPath();
    strLastPath.TrimLeft();
    strLastPath.TrimRight();
    if (strLastPath.IsEmpty() ||
        MessageBox("Setup has detected that a previous download was not completed. Do you want to recover and "
                   "continue Setup?",
                   "Resume Setup", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    SetDlgItemText(IDC_EDIT_FOLDER, strLastPath);
    g_fResumeDownload = TRUE;
    SetTimer(kTimerResume, 50, NULL);
}

// Timer 1 fires once: it starts the resumed download as if Start Download had been clicked.
void CNewUrlDlg::OnTimer(UINT nIDEvent)
{
    if (nIDEvent == kTimerResume)
    {
        KillTimer(kTimerResume);
        OnButtonStart();
    }
    CDialog::OnTimer(nIDEvent);
}

void CNewUrlDlg::OnSysCommand(UINT nID, LPARAM lParam) { CDialog::OnSysCommand(nID, lParam); }

// Minimised, the dialog draws its icon centred in the client area.
void CNewUrlDlg::OnPaint()
{
    if (!IsIconic())
    {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);

    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

// The icon shown while the minimised window is dragged.
HCURSOR CNewUrlDlg::OnQueryDragIcon() { return (HCURSOR)m_hIcon; }

// The download dialog's thread ends the application through this dialog (it sends the message and
// ends; the main thread then waits for it).
void CNewUrlDlg::DownloadDialogEnded()
{
    HWND hWnd = m_hWnd;
    if (hWnd != NULL && ::IsWindow(hWnd))
        ::SendMessageA(hWnd, WM_CLOSE, 0, 0);
}
