#include "download/ServerConfig.h"
#include "transfer/CTransferEngine.h"
#include "transfer/HttpRules.h"

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

#ifndef DLS_TEST_FIRST_RETRY_WAIT_MS
#define DLS_TEST_FIRST_RETRY_WAIT_MS kFirstRetryWaitMs
#endif
#ifndef DLS_TEST_STALL_TIMEOUT_MS
#define DLS_TEST_STALL_TIMEOUT_MS CTransferEngine::kStallTimeoutMs
#endif
DWORD GetFirstRetryWaitMs() { return DLS_TEST_FIRST_RETRY_WAIT_MS; }
DWORD GetStallTimeoutMs() { return DLS_TEST_STALL_TIMEOUT_MS; }
