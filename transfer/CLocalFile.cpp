// CLocalFile: the local file and its write gathering.
#include "transfer/CLocalFile.h"
#include <string.h>

BOOL(WINAPI* CLocalFile::s_pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::WriteFile;

BOOL CLocalFile::OpenAtEnd(LPCTSTR pszPath)
{
    Close();
    m_hFile = ::CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    const DWORD dwEnd = ::SetFilePointer(m_hFile, 0, NULL, FILE_END);
    m_dwLength = dwEnd == INVALID_SET_FILE_POINTER ? 0 : dwEnd;
    m_gather.Allocate(kGatherBytes);  // without it every block is written on its own
    return IsOpen();
}

BOOL CLocalFile::Replace(LPCTSTR pszPath, BOOL& fUndeletable)
{
    Close();
    m_dwLength = 0;
    fUndeletable = !::DeleteFileA(pszPath) && ::GetLastError() != ERROR_FILE_NOT_FOUND;
    if (fUndeletable)
        return FALSE;
    m_hFile = ::CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    return IsOpen();
}

void CLocalFile::Close()
{
    if (m_gather.m_pBase != nullptr)
        m_gather.m_pWrite = m_gather.m_pBase;  // what was not flushed is no part of the file
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

BYTE* CLocalFile::NextReadBlock(DWORD cbBlock, BYTE* pbFallback)
{
    CReadBuffer& gather = m_gather;
    if (gather.m_pBase == nullptr)
        return pbFallback;
    if (static_cast<DWORD>(gather.m_pEnd - gather.m_pWrite) < cbBlock && !Flush())
        return nullptr;
    return gather.m_pWrite;
}

DWORD CLocalFile::Append(const BYTE* pbData, DWORD cbData)
{
    // One WriteFile per block costs as much as the rest of the transfer on a fast link. A block that
    // does not fit behind a failed write counts as not written.
    DWORD cbWritten = 0;
    CReadBuffer& gather = m_gather;
    if (!IsOpen() || gather.m_pBase == nullptr || cbData > gather.m_cbSize)
    {
        s_pfnWriteFile(m_hFile, pbData, cbData, &cbWritten, NULL);
    }
    else if (static_cast<DWORD>(gather.m_pEnd - gather.m_pWrite) >= cbData || Flush())
    {
        if (pbData != gather.m_pWrite)
            memmove(gather.m_pWrite, pbData, cbData);
        gather.m_pWrite += cbData;
        cbWritten = cbData;
    }
    m_dwLength += cbWritten;
    return cbWritten;
}

BOOL CLocalFile::Flush()
{
    CReadBuffer& gather = m_gather;
    if (gather.m_pBase == nullptr)
        return TRUE;
    const DWORD cbGathered = static_cast<DWORD>(gather.m_pWrite - gather.m_pBase);
    if (cbGathered == 0)
        return TRUE;
    gather.m_pWrite = gather.m_pBase;
    DWORD cbWritten = 0;
    if (s_pfnWriteFile(m_hFile, gather.m_pBase, cbGathered, &cbWritten, NULL) && cbWritten == cbGathered)
        return TRUE;
    const DWORD dwError = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    m_dwLength -= cbGathered - cbWritten;
    ::SetLastError(dwError);
    return FALSE;
}
