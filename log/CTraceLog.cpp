#include "log/CTraceLog.h"

#include <new>

namespace
{
const UINT kSystemDirBufferSize = 100;
const DWORD kDefaultMaxSizeKB = 1000;
const UINT kOpenFlags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyNone;

// One lock for every log of the process. It is never deleted: other threads may still write lines
// while the process ends and global objects are destroyed.
CRITICAL_SECTION g_csLog;

CRITICAL_SECTION& TheLogLock()
{
    static const bool s_bInitialised = (::InitializeCriticalSection(&g_csLog), true);
    (void)s_bInitialised;
    return g_csLog;
}

class CLogLock
{
public:
    CLogLock() { ::EnterCriticalSection(&TheLogLock()); }
    ~CLogLock() { ::LeaveCriticalSection(&TheLogLock()); }
    CLogLock(const CLogLock&) = delete;
    CLogLock& operator=(const CLogLock&) = delete;
};

// The system directory; a path longer than the usual buffer is read again with the size the
// system asked for. Empty when it cannot be read.
CString SystemDirectory()
{
    char szDir[kSystemDirBufferSize];
    UINT nLen = ::GetSystemDirectoryA(szDir, kSystemDirBufferSize);
    if (nLen == 0)
        return CString();
    if (nLen < kSystemDirBufferSize)
        return CString(szDir, (int)nLen);

    CString strDir;
    UINT nNeeded = nLen;
    nLen = ::GetSystemDirectoryA(strDir.GetBuffer((int)nNeeded), nNeeded + 1);
    if (nLen == 0 || nLen > nNeeded)
        nLen = 0;
    strDir.ReleaseBuffer((int)nLen);
    return strDir;
}
}  // namespace

CTraceLog::CTraceLog(UINT nMaxSizeKB, BOOL bLimitSize)
    : m_bEnabled(TRUE), m_nMaxSize(nMaxSizeKB), m_pFile(nullptr), m_bLimitSize(bLimitSize)
{
    CString strDir = SystemDirectory();
    if (!strDir.IsEmpty())
        m_strPath.Format("%s\\DownLoadSetup.log", (LPCTSTR)strDir);
    Open();
}

CTraceLog::CTraceLog(LPCTSTR pszPath, UINT nMaxSizeKB, BOOL bLimitSize)
    : m_strPath(pszPath), m_bEnabled(TRUE), m_nMaxSize(nMaxSizeKB), m_pFile(nullptr), m_bLimitSize(bLimitSize)
{
    Open();
}

// Under the lock, so that a thread still writing while the process ends never meets a freed file.
CTraceLog::~CTraceLog()
{
    CLogLock lock;
    if (m_pFile != nullptr)
    {
        if (m_pFile->m_hFile != CFile::hFileNull)
        {
            try
            {
                m_pFile->Close();
            }
            catch (CFileException* e)
            {
                e->Delete();
            }
        }
        delete m_pFile;
        m_pFile = nullptr;
    }
    m_bEnabled = FALSE;
}

void CTraceLog::Open()
{
    TheLogLock();

    if (m_nMaxSize == 0)
        m_nMaxSize = kDefaultMaxSizeKB;
    m_nMaxSize = m_nMaxSize > MAXDWORD / 1024 ? MAXDWORD : m_nMaxSize * 1024;

    if (!m_bEnabled)
        return;

    m_pFile = new CFile;
    if (m_strPath.IsEmpty() || !OpenAtEnd())
    {
        delete m_pFile;
        m_pFile = nullptr;
    }
}

// Opens m_strPath for appending, creating it when missing; FALSE leaves m_pFile closed.
BOOL CTraceLog::OpenAtEnd()
{
    if (!m_pFile->Open(m_strPath, kOpenFlags))
        return FALSE;
    try
    {
        m_pFile->SeekToEnd();
    }
    catch (CFileException* e)
    {
        e->Delete();
        m_pFile->Abort();
        return FALSE;
    }
    return TRUE;
}

// A CFile object that is closed (deleted at the limit, or closed after a failed write) is opened
// again here, so the line goes to the file at its path, created afresh when it is gone. A line
// that cannot be written is dropped.
void CTraceLog::WriteLine(CString text)
{
    CLogLock lock;
    if (!m_bEnabled || m_pFile == nullptr || text.IsEmpty())
        return;
    try
    {
        if (m_pFile->m_hFile == CFile::hFileNull && !OpenAtEnd())
            return;
        CString strLine = CTime::GetCurrentTime().Format("%m/%d/%y %H:%M:%S  ");
        strLine += text;
        strLine += "\r\n";
        m_pFile->Write((LPCTSTR)strLine, (UINT)strLine.GetLength());
    }
    catch (CFileException* e)
    {
        e->Delete();
        m_pFile->Abort();
        return;
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    CheckSize();
}

// Deletes the file once it is longer than m_nMaxSize bytes; a file of exactly that size stays.
void CTraceLog::CheckSize()
{
    if (!m_bLimitSize || m_pFile == nullptr || m_pFile->m_hFile == CFile::hFileNull)
        return;
    DWORD dwLength;
    try
    {
        dwLength = m_pFile->GetLength();
    }
    catch (CFileException* e)
    {
        e->Delete();
        return;
    }
    if (dwLength <= m_nMaxSize)
        return;

    // Close leaves the object closed even when it throws.
    try
    {
        m_pFile->Close();
    }
    catch (CFileException* e)
    {
        e->Delete();
    }
    try
    {
        CFile::Remove(m_strPath);
    }
    catch (CFileException* e)
    {
        e->Delete();
    }
}
