#include "CFile.h"

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(CFile, CObject)

// ---- CException ----------------------------------------------------------------------------

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

// ---- CFileException ------------------------------------------------------------------------

CFileException::CFileException(LONG lOsError, LPCTSTR lpszFileName)
    : m_lOsError(lOsError), m_strFileName(lpszFileName)
{
}

void PASCAL CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName)
{
    if (lOsError != 0)
        throw new CFileException(lOsError, lpszFileName);
}

// ---- CFile ---------------------------------------------------------------------------------

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace
{
// A failed call always throws, even when the system left no error code behind.
[[noreturn]] void ThrowLastError(LPCTSTR lpszFileName)
{
    DWORD dwError = ::GetLastError();
    throw new CFileException(dwError != NO_ERROR ? (LONG)dwError : (LONG)ERROR_GEN_FAILURE, lpszFileName);
}
}  // namespace

// INVALID_HANDLE_VALUE rather than hFileNull below: global CFile objects may be built before this
// file's constants are initialised.
CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    const bool bNamed = lpszFileName != nullptr && *lpszFileName != '\0';
    DWORD dwAccess = (nOpenFlags & modeReadWrite) ? GENERIC_READ | GENERIC_WRITE
                     : (nOpenFlags & modeWrite)   ? GENERIC_WRITE
                                                  : GENERIC_READ;
    DWORD dwShare = (nOpenFlags & shareDenyNone) ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    DWORD dwCreate = !(nOpenFlags & modeCreate)        ? OPEN_EXISTING
                     : (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS
                                                     : CREATE_ALWAYS;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};  // the handle is inherited
    HANDLE hFile = bNamed ? ::CreateFileA(lpszFileName, dwAccess, dwShare, &sa, dwCreate, FILE_ATTRIBUTE_NORMAL, nullptr)
                          : INVALID_HANDLE_VALUE;
    if (hFile == INVALID_HANDLE_VALUE)
    {
        if (pError != nullptr)
        {
            pError->m_lOsError = bNamed ? (LONG)::GetLastError() : (LONG)ERROR_INVALID_NAME;
            pError->m_strFileName = lpszFileName;
        }
        return FALSE;
    }
    m_hFile = hFile;
    m_strFileName = lpszFileName;
    return TRUE;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return;
    DWORD dwWritten = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &dwWritten, nullptr))
        ThrowLastError(m_strFileName);
    if (dwWritten != nCount)
        throw new CFileException(ERROR_DISK_FULL, m_strFileName);
}

DWORD CFile::SeekToEnd()
{
    // Without a high word, 0xFFFFFFFF is always a failure.
    DWORD dwNew = ::SetFilePointer(m_hFile, 0, nullptr, FILE_END);
    if (dwNew == INVALID_SET_FILE_POINTER)
        ThrowLastError(m_strFileName);
    return dwNew;
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

// The object is closed afterwards even when closing the handle fails.
void CFile::Close()
{
    HANDLE hFile = m_hFile;
    CString strFileName = m_strFileName;
    m_hFile = INVALID_HANDLE_VALUE;
    m_strFileName.Empty();
    if (hFile != INVALID_HANDLE_VALUE && !::CloseHandle(hFile))
        ThrowLastError(strFileName);
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_strFileName.Empty();
}

void PASCAL CFile::Remove(LPCTSTR lpszFileName)
{
    if (!::DeleteFileA(lpszFileName))
        ThrowLastError(lpszFileName);
}
