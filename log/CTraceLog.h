// CTraceLog: the program's append-only trace file; one time-stamped line per WriteLine, from any
// thread.
//
// The file is "DownLoadSetup.log" in the Windows system directory. It is opened for appending when
// the log is built and deleted once it grows past the size limit; the next line then starts a new
// file. A log whose file cannot be opened writes nothing and tells nobody.
#pragma once
#include <afx.h>

class CTraceLog
{
public:
    // The program's log: the file in the system directory. nMaxSizeKB 0 means 1000 KB.
    CTraceLog(UINT nMaxSizeKB, BOOL bLimitSize);
    // A log at a path of the caller's choice (tests).
    CTraceLog(LPCTSTR pszPath, UINT nMaxSizeKB, BOOL bLimitSize);
    virtual ~CTraceLog();

    // Appends "<local %m/%d/%y %H:%M:%S>  <text>\r\n" in one write; an empty text writes nothing.
    // Never fails towards the caller and never throws.
    void WriteLine(CString text);

protected:
    CString m_strPath;
    DWORD m_nMaxSize;  // bytes
    CFile* m_pFile;    // owned; null when the file could not be opened at all
    BOOL m_bLimitSize;

private:
    BOOL OpenAtEnd();
    void CheckSize();

    CTraceLog(const CTraceLog&) = delete;
    CTraceLog& operator=(const CTraceLog&) = delete;
};
