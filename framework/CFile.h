// CException, CFileException and CFile: the framework's exception base, the file error it throws,
// and the unbuffered binary file over a Win32 file handle.
//
// Exceptions are thrown as pointers to heap objects (throw new CFileException(...)); whoever
// catches one calls Delete() on it.
#pragma once
#include <windows.h>
#include "CObject.h"
#include "CString.h"

class CException : public CObject
{
    DECLARE_DYNAMIC(CException)
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    ~CException() override = default;

    // Frees a heap exception; one built on the stack (bAutoDelete FALSE) stays.
    void Delete();

    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);

    BOOL m_bAutoDelete;
};

class CFileException : public CException
{
    DECLARE_DYNAMIC(CFileException)
public:
    enum
    {
        none,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = CFileException::none, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr);

    // Throws a CFileException for a Win32 error code (GetLastError); 0 throws nothing.
    static void PASCAL ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);
    static void PASCAL ThrowErrno(int nErrno, LPCTSTR lpszFileName = nullptr);
    static int PASCAL OsErrorToException(LONG lOsError);
    static int PASCAL ErrnoToException(int nErrno);

    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

    int m_cause;
    LONG m_lOsError;  // the Win32 error code, -1 when none applies
    CString m_strFileName;
};

void AFXAPI AfxThrowFileException(int cause, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr);

class CFile : public CObject
{
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = (int)0x8000
    };

    enum SeekPosition
    {
        begin = 0x0,
        current = 0x1,
        end = 0x2
    };

    // The value of m_hFile while no file is open.
    static const HANDLE hFileNull;

    CFile();
    // Wraps a handle the caller owns: the destructor leaves it open.
    explicit CFile(HANDLE hFile);
    // Opens or throws a CFileException.
    CFile(LPCTSTR lpszFileName, UINT nOpenFlags);
    // Closes an open file that this object opened, never throwing.
    ~CFile() override;

    // FALSE on failure, with the reason in *pError when given; never throws.
    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

    // The members below throw a CFileException on failure.
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);  // a short write throws diskFull
    virtual LONG Seek(LONG lOff, UINT nFrom);            // answers the new position
    DWORD SeekToEnd();
    void SeekToBegin();
    virtual DWORD GetLength() const;
    virtual DWORD GetPosition() const;
    virtual void SetLength(DWORD dwNewLen);
    virtual void Flush();
    virtual void Close();
    // Closes and forgets errors.
    virtual void Abort();

    static void PASCAL Remove(LPCTSTR lpszFileName);
    static void PASCAL Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName);

    // The full path given to Open; empty while closed.
    virtual CString GetFilePath() const { return m_strFileName; }
    virtual CString GetFileName() const;

    HANDLE m_hFile;

protected:
    BOOL m_bCloseOnDelete;
    CString m_strFileName;
};
