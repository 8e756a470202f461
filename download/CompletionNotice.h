// The one notice the program sends to the support server after a completed download.
#pragma once
#include <windows.h>

// Thread procedure: requests the support server's counter page once and ignores the answer.
// The parameter is not used; returns 1.
UINT CompletionNoticeThreadProc(LPVOID pParam);
