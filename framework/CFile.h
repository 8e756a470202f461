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

    BOOL m_bAutoDelete;
};

class CFileException : public CException
{
    DECLARE_DYNAMIC(CFileException)
public:
    explicit CFileException(LONG lOsError = -1, LPCTSTR lpszFileName = nullptr);

    // Throws a CFileException for a Win32 error code (GetLastError); 0 throws nothing.
    static void PASCAL ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);

    LONG m_lOsError;  // the Win32 error code, -1 when none applies
    CString m_strFileName;
};

class CFile : public CObject
{
    DECLARE_DYNAMIC(CFile)
public:
    // Without shareDenyNone nobody else may open the file while it is open.
    enum OpenFlags
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000
    };

    // The value of m_hFile while no file is open.
    static const HANDLE hFileNull;

    CFile();
    // Closes an open file, never throwing.
    ~CFile() override;

    // FALSE on failure, with the reason in *pError when given; never throws.
    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

    // The members below throw a CFileException on failure.
    virtual void Write(const void* lpBuf, UINT nCount);  // a short write throws ERROR_DISK_FULL
    DWORD SeekToEnd();                                   // answers the new position
    virtual DWORD GetLength() const;
    virtual void Close();
    // Closes and forgets errors.
    virtual void Abort();

    static void PASCAL Remove(LPCTSTR lpszFileName);

    HANDLE m_hFile;

protected:
    CString m_strFileName;  // as given to Open, for the exceptions
};
