#include "download/CURLDownloading.h"

UINT WorkerThreadEntry(LPVOID) { return 0; }
void CURLDownloading::OnStart() {}
void CURLDownloading::OnStop() {}
void CURLDownloading::OnExit() {}
void CURLDownloading::OnClose() {}
void CURLDownloading::CloseFileCtrlDlg() {}
BOOL CURLDownloading::DestroyWindow() { return CDialog::DestroyWindow(); }
LRESULT CURLDownloading::OnAppStart(WPARAM, LPARAM) { return 0; }
LRESULT CURLDownloading::OnAppProgress(WPARAM, LPARAM) { return 0; }
LRESULT CURLDownloading::OnAppTransferEnded(WPARAM, LPARAM) { return 0; }
