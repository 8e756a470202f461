#include "download/CompletionNotice.h"

UINT CompletionNoticeThreadProc(LPVOID) { return 1; }
