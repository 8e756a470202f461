#include "download/ServerConfig.h"

#ifndef DOWNLOAD_SERVER
#error "DOWNLOAD_SERVER must be defined by the build"
#endif
#ifndef SUPPORT_SERVER
#error "SUPPORT_SERVER must be defined by the build"
#endif
#ifndef EXPECTED_PUBLISHER
#error "EXPECTED_PUBLISHER must be defined by the build"
#endif

const char* GetDownloadServer() { return DOWNLOAD_SERVER; }
const char* GetSupportServer() { return SUPPORT_SERVER; }
const char* GetExpectedPublisher() { return EXPECTED_PUBLISHER; }
