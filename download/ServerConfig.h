// The fixed values of this build (set when the program is built): the servers' host names and the
// publisher whose signature marks the genuine installer, and its waits.
#pragma once
#include <windows.h>

// Host[:port] of the installer download server (plain http).
const char* GetDownloadServer();
// Host[:port] of the secure support server (https).
const char* GetSupportServer();
// The signer's name (the certificate's simple display name) of the genuine installer; empty: no check.
const char* GetExpectedPublisher();
// The wait before the first automatic resume and the no-data watchdog's wait, in milliseconds: 2 s
// and 30 s; only the end-to-end build with a scripted server shortens them.
DWORD GetFirstRetryWaitMs();
DWORD GetStallTimeoutMs();
