// FakeWorker and the transfer tests' file helpers: see the header.
#include "FakeWorker.h"
#include <stdio.h>

namespace xfer
{
std::string MakeTempFilePath(const char* pszName)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    static LONG s_nCounter = 0;
    char szDir[MAX_PATH];
    snprintf(szDir, sizeof(szDir), "%sdlxfer_%lu_%ld", szTemp, GetCurrentProcessId(),
             InterlockedIncrement(&s_nCounter));
    CreateDirectoryA(szDir, NULL);
    return std::string(szDir) + "\\" + pszName;
}

void WriteWholeFile(const std::string& strPath, const std::string& strContent)
{
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD cb = 0;
    if (!strContent.empty())
        WriteFile(h, strContent.data(), static_cast<DWORD>(strContent.size()), &cb, NULL);
    CloseHandle(h);
}

std::string ReadWholeFile(const std::string& strPath)
{
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::string s(GetFileSize(h, NULL), '\0');
    DWORD cb = 0;
    if (!s.empty())
        ReadFile(h, &s[0], static_cast<DWORD>(s.size()), &cb, NULL);
    CloseHandle(h);
    s.resize(cb);
    return s;
}

void RemoveTempFile(const std::string& strPath)
{
    SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(strPath.c_str());
    const size_t slash = strPath.find_last_of('\\');
    if (slash != std::string::npos)
    {
        const std::string strDir = strPath.substr(0, slash);
        SetFileAttributesA(strDir.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA(strDir.c_str());
    }
}
}  // namespace xfer

FakeWorker::FakeWorker(CURLDownloading& dlg, const std::string& strPath, const char* pszUrl)
    : m_dlg(dlg), m_strPath(strPath)
{
    m_dlg.m_strURL = pszUrl;
    m_dlg.m_strFilePath = strPath.c_str();
}

FakeWorker::~FakeWorker()
{
    HANDLE h = m_dlg.m_hFile;
    m_dlg.m_hFile = NULL;
    if (h != NULL && h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    if (m_dlg.m_pszBoundary != nullptr)
    {
        LocalFree(m_dlg.m_pszBoundary);
        m_dlg.m_pszBoundary = nullptr;
    }
    m_dlg.m_pStream = nullptr;
    m_dlg.m_pRequest = nullptr;
}

DWORD FakeWorker::Begin()
{
    HANDLE h = CreateFileA(m_strPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    m_dlg.m_hFile = h;
    DWORD dwEnd = SetFilePointer(h, 0, NULL, FILE_END);
    if (dwEnd == INVALID_SET_FILE_POINTER)
        dwEnd = 0;
    m_dlg.m_dwResumeOffset = dwEnd;
    m_range.dwOffset = dwEnd;
    m_range.dwLength = 0;
    m_stStarted.wYear = 2026;
    m_stStarted.wMonth = 12;
    m_stStarted.wDayOfWeek = 0;
    m_stStarted.wDay = 6;
    m_stStarted.wHour = 22;
    m_request.cbSize = sizeof(DOWNLOAD_REQUEST);
    m_request.pszUrl = m_dlg.m_strURL;
    m_request.dwFlags = 15;
    m_request.pRanges = &m_range;
    m_request.cRanges = 1;
    m_request.pstUnlessModifiedSince = &m_stStarted;
    m_dlg.m_dwWorkerThreadId = GetCurrentThreadId();  // the callbacks run on the worker's thread
    m_dlg.InitCallback(&m_request);
    m_dlg.OnStartBinding(0, &m_binding);
    return dwEnd;
}

HRESULT FakeWorker::Data(IStream* pStream)
{
    STGMEDIUM medium = {};
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = pStream;
    FORMATETC format = {};
    return m_dlg.OnDataAvailable(BSCF_FIRSTDATANOTIFICATION, 0, &format, &medium);
}

std::string FakeWorker::File()
{
    m_dlg.FlushWrites();
    return xfer::ReadWholeFile(m_strPath);
}
