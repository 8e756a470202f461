#include "download/CURLDownloading.h"

void CURLDownloading::ProgressUpdate(CString, CString, const char*, const char*, int) {}
void CURLDownloading::WriteReceivedData(const void*, DWORD) {}
CString CURLDownloading::FormatTransferRate(double) { return CString(); }
CString CURLDownloading::FormatTimeLeft(int) { return CString(); }
