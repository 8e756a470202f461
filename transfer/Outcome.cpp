// CURLDownloading, transfer side: notifications from the callback and the outcome sentences.
#include "download/CURLDownloading.h"
#include "app/CSetupApp.h"

BOOL CURLDownloading::OnDownloadNotify(DOWNLOAD_NOTIFY*) { return TRUE; }
CString CURLDownloading::GetResultMessage(HRESULT) { return CString(); }
BOOL CURLDownloading::DeliverData(DWORD, const BYTE*, DWORD) { return TRUE; }
void CURLDownloading::ShowDrainProgress() {}
