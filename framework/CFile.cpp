#include "CFile.h"

#include <errno.h>
#include <string.h>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(CFile, CObject)

// ---- CException ----------------------------------------------------------------------------

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError != nullptr && nMaxError != 0)
        *lpszError = '\0';
    return FALSE;
}

// ---- CFileException ------------------------------------------------------------------------

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszFileName)
{
}

void AFXAPI AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
{
    throw new CFileException(cause, lOsError, lpszFileName);
}

void PASCAL CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName)
{
    if (lOsError != 0)
        AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void PASCAL CFileException::ThrowErrno(int nErrno, LPCTSTR lpszFileName)
{
    if (nErrno != 0)
        AfxThrowFileException(ErrnoToException(nErrno), _doserrno, lpszFileName);
}

int PASCAL CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError)
    {
    case NO_ERROR:
        return none;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_NO_MORE_FILES:
    case ERROR_DISK_CHANGE:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_SAME_DEVICE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_BUFFER_OVERFLOW:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_SHARING_BUFFER_EXCEEDED:
    case ERROR_NO_MORE_SEARCH_HANDLES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_ACCESS:
    case ERROR_WRITE_PROTECT:
    case ERROR_WRITE_FAULT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_CANNOT_MAKE:
    case ERROR_BUSY:
        return accessDenied;
    case ERROR_BAD_FORMAT:
    case ERROR_NOT_DOS_DISK:
    case ERROR_INVALID_TARGET_HANDLE:
        return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_DIR_NOT_EMPTY:
        return removeCurrentDir;
    case ERROR_NO_SPOOL_SPACE:
        return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_BAD_LENGTH:
        return badSeek;
    case ERROR_CRC:
    case ERROR_NOT_READY:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NET_WRITE_FAULT:
    case ERROR_OPERATION_ABORTED:
    case ERROR_IO_INCOMPLETE:
        return hardIO;
    case ERROR_SHARING_VIOLATION:
        return sharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_LOCK_FAILED:
    case ERROR_DRIVE_LOCKED:
        return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return generic;
    }
}

int PASCAL CFileException::ErrnoToException(int nErrno)
{
    switch (nErrno)
    {
    case 0:
        return none;
    case EPERM:
    case EACCES:
        return accessDenied;
    case ENOENT:
        return fileNotFound;
    case EBADF:
        return invalidFile;
    case EMFILE:
        return tooManyOpenFiles;
    case EDEADLOCK:
        return sharingViolation;
    case ENOSPC:
        return diskFull;
    case EINVAL:
    case EIO:
        return hardIO;
    default:
        return generic;
    }
}

// The system's text for the error, or a short one naming the file when there is none.
BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError == nullptr || nMaxError == 0)
        return FALSE;
    CString strMessage;
    if (m_lOsError > 0)
    {
        char szSystem[512];
        DWORD dwLen = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       (DWORD)m_lOsError, 0, szSystem, sizeof(szSystem), nullptr);
        strMessage = CString(szSystem, (int)dwLen);
        strMessage.TrimRight();
    }
    if (strMessage.IsEmpty())
        strMessage.Format("File error %d on '%s'.", m_cause, (LPCTSTR)m_strFileName);
    lstrcpynA(lpszError, strMessage, (int)nMaxError);
    return TRUE;
}

// ---- CFile ---------------------------------------------------------------------------------

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace
{
// A failed call always throws, even when the system left no error code behind.
[[noreturn]] void ThrowLastError(LPCTSTR lpszFileName)
{
    DWORD dwError = ::GetLastError();
    CFileException::ThrowOsError(dwError != NO_ERROR ? (LONG)dwError : (LONG)ERROR_GEN_FAILURE, lpszFileName);
    throw new CFileException(CFileException::generic, -1, lpszFileName);
}
}  // namespace

// INVALID_HANDLE_VALUE rather than hFileNull below: global CFile objects may be built before this
// file's constants are initialised.
CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_hFile(INVALID_HANDLE_VALUE), m_bCloseOnDelete(FALSE)
{
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e))
        AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CFile::~CFile()
{
    if (m_hFile != INVALID_HANDLE_VALUE && m_bCloseOnDelete)
        Abort();
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (pError != nullptr)
    {
        pError->m_cause = CFileException::none;
        pError->m_lOsError = -1;
        pError->m_strFileName = lpszFileName;
    }
    if (lpszFileName == nullptr || *lpszFileName == '\0')
    {
        if (pError != nullptr)
        {
            pError->m_cause = CFileException::badPath;
            pError->m_lOsError = ERROR_INVALID_NAME;
        }
        return FALSE;
    }
    if (m_hFile != INVALID_HANDLE_VALUE)
        Abort();

    DWORD dwAccess;
    switch (nOpenFlags & 3)
    {
    case modeRead:
        dwAccess = GENERIC_READ;
        break;
    case modeWrite:
        dwAccess = GENERIC_WRITE;
        break;
    default:
        dwAccess = GENERIC_READ | GENERIC_WRITE;
        break;
    }

    DWORD dwShare;
    switch (nOpenFlags & 0x70)
    {
    case shareDenyWrite:
        dwShare = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        dwShare = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:  // shareCompat, shareExclusive
        dwShare = 0;
        break;
    }

    DWORD dwCreate;
    if (nOpenFlags & modeCreate)
        dwCreate = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    else
        dwCreate = OPEN_EXISTING;

    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, (nOpenFlags & modeNoInherit) ? FALSE : TRUE};

    // The full path is what GetFilePath reports later.
    char szFull[MAX_PATH * 2];
    LPSTR pszFilePart = nullptr;
    DWORD dwFull = ::GetFullPathNameA(lpszFileName, sizeof(szFull), szFull, &pszFilePart);
    CString strFullPath = (dwFull != 0 && dwFull < sizeof(szFull)) ? CString(szFull) : CString(lpszFileName);

    HANDLE hFile = ::CreateFileA(lpszFileName, dwAccess, dwShare, &sa, dwCreate, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        if (pError != nullptr)
        {
            LONG lError = (LONG)::GetLastError();
            pError->m_lOsError = lError;
            pError->m_cause = CFileException::OsErrorToException(lError);
            pError->m_strFileName = strFullPath;
        }
        return FALSE;
    }
    m_hFile = hFile;
    m_bCloseOnDelete = TRUE;
    m_strFileName = strFullPath;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return 0;
    DWORD dwRead = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &dwRead, nullptr))
        ThrowLastError(m_strFileName);
    return (UINT)dwRead;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return;
    DWORD dwWritten = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &dwWritten, nullptr))
        ThrowLastError(m_strFileName);
    if (dwWritten != nCount)
        AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

LONG CFile::Seek(LONG lOff, UINT nFrom)
{
    // Without a high word, 0xFFFFFFFF is always a failure.
    DWORD dwNew = ::SetFilePointer(m_hFile, lOff, nullptr, (DWORD)nFrom);
    if (dwNew == INVALID_SET_FILE_POINTER)
        ThrowLastError(m_strFileName);
    return (LONG)dwNew;
}

DWORD CFile::SeekToEnd() { return (DWORD)Seek(0, end); }

void CFile::SeekToBegin() { Seek(0, begin); }

DWORD CFile::GetPosition() const
{
    DWORD dwPos = ::SetFilePointer(m_hFile, 0, nullptr, FILE_CURRENT);
    if (dwPos == INVALID_SET_FILE_POINTER)
        ThrowLastError(m_strFileName);
    return dwPos;
}

DWORD CFile::GetLength() const
{
    DWORD dwSize = ::GetFileSize(m_hFile, nullptr);
    if (dwSize == INVALID_FILE_SIZE)
    {
        DWORD dwError = ::GetLastError();
        if (dwError != NO_ERROR)
            CFileException::ThrowOsError((LONG)dwError, m_strFileName);
    }
    return dwSize;
}

void CFile::SetLength(DWORD dwNewLen)
{
    Seek((LONG)dwNewLen, begin);
    if (!::SetEndOfFile(m_hFile))
        ThrowLastError(m_strFileName);
}

void CFile::Flush()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    if (!::FlushFileBuffers(m_hFile))
        ThrowLastError(m_strFileName);
}

void CFile::Close()
{
    BOOL bError = FALSE;
    DWORD dwError = NO_ERROR;
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        bError = !::CloseHandle(m_hFile);
        if (bError)
            dwError = ::GetLastError();
    }
    m_hFile = INVALID_HANDLE_VALUE;
    m_bCloseOnDelete = FALSE;
    CString strFileName = m_strFileName;
    m_strFileName.Empty();
    if (bError)
        CFileException::ThrowOsError(dwError != NO_ERROR ? (LONG)dwError : (LONG)ERROR_INVALID_HANDLE, strFileName);
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

void PASCAL CFile::Remove(LPCTSTR lpszFileName)
{
    if (!::DeleteFileA(lpszFileName))
        ThrowLastError(lpszFileName);
}

void PASCAL CFile::Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName)
{
    if (!::MoveFileA(lpszOldName, lpszNewName))
        ThrowLastError(lpszOldName);
}

CString CFile::GetFileName() const
{
    int nSlash = m_strFileName.ReverseFind('\\');
    int nOther = m_strFileName.ReverseFind('/');
    if (nOther > nSlash)
        nSlash = nOther;
    return m_strFileName.Mid(nSlash + 1);
}
