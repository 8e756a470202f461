// FakeWorker: puts a CURLDownloading (no window) into the state in which WorkerThreadProc hands it
// to a binding: the local file opened at its end, the request record, InitCallback, and a
// FakeBinding passed to OnStartBinding. Unit tests then drive the callback methods directly.
// Also small file helpers for the transfer tests.
#pragma once
#include <windows.h>
#include <string>
#include "FakeBinding.h"
#include "download/CURLDownloading.h"

namespace xfer
{
// A fresh temporary folder path + file name; the file does not exist yet.
std::string MakeTempFilePath(const char* pszName);
void WriteWholeFile(const std::string& strPath, const std::string& strContent);
std::string ReadWholeFile(const std::string& strPath);
// Deletes the file and its folder (as made by MakeTempFilePath).
void RemoveTempFile(const std::string& strPath);
}  // namespace xfer

class FakeWorker
{
public:
    // strExisting: the local file's content before the transfer (absent: no file).
    FakeWorker(CURLDownloading& dlg, const std::string& strPath, const char* pszUrl);
    ~FakeWorker();

    // Opens the file (OPEN_ALWAYS) at its end, fills the request and starts the callback with
    // m_binding. Returns the resume offset.
    DWORD Begin();
    // OnDataAvailable with the stream as Wine passes it.
    HRESULT Data(IStream* pStream);
    // The local file as it stands once the gathered blocks are written.
    std::string File();

    CURLDownloading& m_dlg;
    FakeBinding m_binding;
    DOWNLOAD_REQUEST m_request = {};
    BYTE_RANGE m_range = {};
    SYSTEMTIME m_stStarted = {};
    std::string m_strPath;
};
