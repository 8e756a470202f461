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

// The log in the system directory; a directory longer than the usual buffer is read again with
// the size the system asked for. Empty when the directory cannot be read.
CString SystemLogPath()
{
    char szDir[kSystemDirBufferSize];
    UINT nLen = ::GetSystemDirectoryA(szDir, kSystemDirBufferSize);
    CString strDir(szDir, nLen < kSystemDirBufferSize ? (int)nLen : 0);
    if (nLen >= kSystemDirBufferSize)
    {
        UINT nNeeded = nLen;
        nLen = ::GetSystemDirectoryA(strDir.GetBuffer((int)nNeeded), nNeeded + 1);
        strDir.ReleaseBuffer(nLen <= nNeeded ? (int)nLen : 0);
    }
    return strDir.IsEmpty() ? strDir : strDir + "\\DownLoadSetup.log";
}

DWORD MaxSizeBytes(UINT nMaxSizeKB)
{
    if (nMaxSizeKB == 0)
        nMaxSizeKB = kDefaultMaxSizeKB;
    return nMaxSizeKB > MAXDWORD / 1024 ? MAXDWORD : nMaxSizeKB * 1024;
}

// Runs a file operation; FALSE when it threw (the exception is deleted).
template <typename F>
BOOL Succeeds(F operation)
{
    try
    {
        operation();
        return TRUE;
    }
    catch (CFileException* e)
    {
        e->Delete();
        return FALSE;
    }
}
}  // namespace

CTraceLog::CTraceLog(UINT nMaxSizeKB, BOOL bLimitSize) : CTraceLog(SystemLogPath(), nMaxSizeKB, bLimitSize) {}

CTraceLog::CTraceLog(LPCTSTR pszPath, UINT nMaxSizeKB, BOOL bLimitSize)
    : m_strPath(pszPath), m_nMaxSize(MaxSizeBytes(nMaxSizeKB)), m_pFile(nullptr), m_bLimitSize(bLimitSize)
{
    TheLogLock();  // made before a second thread can write
    if (m_strPath.IsEmpty())
        return;
    m_pFile = new CFile;
    if (!OpenAtEnd())
    {
        delete m_pFile;
        m_pFile = nullptr;
    }
}

// Under the lock, so that a thread still writing while the process ends never meets a freed file.
CTraceLog::~CTraceLog()
{
    CLogLock lock;
    delete m_pFile;  // closes it
    m_pFile = nullptr;
}

// Opens m_strPath for appending, creating it when missing; FALSE leaves m_pFile closed.
BOOL CTraceLog::OpenAtEnd()
{
    if (!m_pFile->Open(m_strPath, kOpenFlags))
        return FALSE;
    if (Succeeds([this] { m_pFile->SeekToEnd(); }))
        return TRUE;
    m_pFile->Abort();
    return FALSE;
}

// A CFile object that is closed (deleted at the limit, or closed after a failed write) is opened
// again here, so the line goes to the file at its path, created afresh when it is gone. A line
// that cannot be written is dropped.
void CTraceLog::WriteLine(CString text)
{
    CLogLock lock;
    if (m_pFile == nullptr || text.IsEmpty())
        return;
    try
    {
        if (m_pFile->m_hFile == CFile::hFileNull && !OpenAtEnd())
            return;
        CString strLine = CTime::GetCurrentTime().Format("%m/%d/%y %H:%M:%S  ") + text + "\r\n";
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
    DWORD dwLength = 0;
    if (!m_bLimitSize || !Succeeds([&] { dwLength = m_pFile->GetLength(); }) || dwLength <= m_nMaxSize)
        return;
    Succeeds([this] { m_pFile->Close(); });  // closed even when it throws
    Succeeds([this] { CFile::Remove(m_strPath); });
}
