// The stored folder of an unfinished download (HKLM\Software\DiredevaduDozareroViziz, LASTSETUPPATH).
#pragma once
#include <windows.h>

#define LASTSETUP_KEY "Software\\DiredevaduDozareroViziz"
#define LASTSETUP_VALUE "LASTSETUPPATH"

// Deletes the stored folder once a download has completed; the key itself stays. Errors are ignored.
void RemoveLastSetupPath();
