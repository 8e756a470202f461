#include "download/CURLDownloading.h"

std::atomic<BOOL> g_fDownloadComplete{FALSE};

BEGIN_MESSAGE_MAP(CURLDownloading, CDialog)
END_MESSAGE_MAP()

CURLDownloading::CURLDownloading(CWnd* pParent) : CDialog(130, pParent) {}
CURLDownloading::~CURLDownloading() {}
void CURLDownloading::DoDataExchange(CDataExchange*) {}
LRESULT CURLDownloading::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CDialog::WindowProc(message, wParam, lParam);
}
BOOL CURLDownloading::OnInitDialog() { return TRUE; }
void CURLDownloading::OnPaint() {}
void CURLDownloading::OnNcPaint() {}
HBRUSH CURLDownloading::OnCtlColor(CDC*, CWnd*, UINT) { return NULL; }
void CURLDownloading::OnTimer(UINT) {}
void CURLDownloading::OnOpen() {}
LRESULT CURLDownloading::OnDrawCaption(WPARAM, LPARAM) { return 0; }
CString CURLDownloading::GetUrlFileName() const { return CString(); }
BOOL CURLDownloading::IsDialogThread() const { return TRUE; }
