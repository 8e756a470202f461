// CLocalFile: the local file a transfer writes, its length, and the gather buffer through which
// received blocks reach it a quarter megabyte at a time.
#pragma once
#include <windows.h>
#include "transfer/CReadBuffer.h"

class CLocalFile
{
public:
    enum { kGatherBytes = 256 * 1024 };
    CLocalFile() = default;
    ~CLocalFile() { Close(); }
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;

    // Opens the file without truncating it; its length is where the transfer resumes. FALSE when it
    // cannot be opened (missing or read-only folder).
    BOOL OpenAtEnd(LPCTSTR pszPath);
    // Deletes the file and begins it anew; FALSE with fUndeletable when the old one cannot be deleted
    // (it stays as it is), or when the new one cannot be created.
    BOOL Replace(LPCTSTR pszPath, BOOL& fUndeletable);
    void Close();
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    DWORD Length() const { return m_dwLength; }

    // Where the read loop reads the next block of cbBlock bytes: the free end of the gather buffer
    // (written out first when the block no longer fits; NULL when that write failed), or pbFallback.
    BYTE* NextReadBlock(DWORD cbBlock, BYTE* pbFallback);
    // Appends a block (in place when it was read into NextReadBlock's space): the bytes taken, which
    // the length counts; fewer than cbData after a failed write (the error in GetLastError).
    DWORD Append(const BYTE* pbData, DWORD cbData);
    // Writes the gathered blocks; FALSE (the error in GetLastError) when they did not all reach the
    // disk, which the length then no longer counts.
    BOOL Flush();

    // How blocks reach the disk (WriteFile); tests substitute a disk that fails.
    static BOOL(WINAPI* s_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    DWORD m_dwLength = 0;
    CReadBuffer m_gather;  // received blocks on their way to the file
};
