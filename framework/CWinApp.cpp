#include "afxwin.h"

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
END_MESSAGE_MAP()

namespace
{
CWinApp* g_pCurrentWinApp = nullptr;

// The executable's base name, e.g. "DownloadSetup" for C:\dir\DownloadSetup.exe.
void GetModuleBaseName(char* pszName, DWORD cchName)
{
    char szPath[MAX_PATH] = "";
    ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    const char* pszBase = szPath;
    for (const char* p = szPath; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/')
            pszBase = p + 1;
    lstrcpynA(pszName, pszBase, (int)cchName);
    if (char* pDot = strrchr(pszName, '.'))
        *pDot = '\0';
}
}  // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_pszAppName(lpszAppName)
{
    m_bAutoDelete = FALSE;  // a global object
    g_pCurrentWinApp = this;
    if (m_pszAppName == NULL)
    {
        GetModuleBaseName(m_szAppName, sizeof(m_szAppName));
        m_pszAppName = m_szAppName;
    }
}

CWinApp::~CWinApp()
{
    if (g_pCurrentWinApp == this)
        g_pCurrentWinApp = nullptr;
}

int CWinApp::ExitInstance() { return (int)AfxGetThreadState()->m_msgCur.wParam; }

// The program ships no help file, so the help command has nothing to show.
void CWinApp::OnHelp() {}

CWinApp* AFXAPI AfxGetApp() { return g_pCurrentWinApp; }

// Usable before the application object exists (global objects load resources while being built).
HINSTANCE AFXAPI AfxGetInstanceHandle() { return ::GetModuleHandleA(NULL); }
HINSTANCE AFXAPI AfxGetResourceHandle() { return ::GetModuleHandleA(NULL); }

LPCTSTR AFXAPI AfxGetAppName()
{
    if (g_pCurrentWinApp != nullptr)
        return g_pCurrentWinApp->m_pszAppName;
    static char s_szName[MAX_PATH] = "";
    if (s_szName[0] == '\0')
        GetModuleBaseName(s_szName, sizeof(s_szName));
    return s_szName;
}

int AFXAPI AfxWinMain(HINSTANCE, HINSTANCE, LPTSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    AfxGetThreadState()->m_pCurrentWinThread = pApp;

    int nReturnCode = -1;
    if (pApp->InitApplication())
    {
        if (!pApp->InitInstance())
        {
            if (pApp->m_pMainWnd != nullptr)
                pApp->m_pMainWnd->DestroyWindow();
            nReturnCode = pApp->ExitInstance();
        }
        else
        {
            nReturnCode = pApp->Run();
        }
    }
    return nReturnCode;
}
