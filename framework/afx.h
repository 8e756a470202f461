// The framework's core: Windows, run-time classes, strings, files, times, the pointer map and the
// rectangle types.
#pragma once
#include <windows.h>

#include "CObject.h"
#include "CString.h"
#include "CFile.h"
#include "CTime.h"
#include "CMapPtrToPtr.h"
#include "CRect.h"
