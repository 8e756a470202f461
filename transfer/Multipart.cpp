// CURLDownloading, transfer side: the multipart/byteranges reader.
#include "download/CURLDownloading.h"
#include "app/CSetupApp.h"

BOOL CURLDownloading::ParsePartHeader() { return FALSE; }
HRESULT CURLDownloading::ReadMultipartData() { return S_OK; }
