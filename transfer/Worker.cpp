// CURLDownloading, transfer side: the worker thread and the start of the URL binding.
#include "download/CURLDownloading.h"
#include "app/CSetupApp.h"

void CURLDownloading::WorkerThreadProc() {}
BOOL CURLDownloading::BeginDownload(DOWNLOAD_REQUEST*) { return FALSE; }
BOOL CURLDownloading::HttpReadFromServer(DOWNLOAD_REQUEST*) { return FALSE; }
HRESULT CURLDownloading::GetAnInterface(IUnknown*, REFIID, void**, BOOL, REFGUID, REFIID, void**) { return E_FAIL; }
