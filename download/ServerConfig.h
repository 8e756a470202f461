// The fixed host names of this build (set when the program is built).
#pragma once

// Host[:port] of the installer download server (plain http).
const char* GetDownloadServer();
// Host[:port] of the secure support server (https).
const char* GetSupportServer();
