// The framework's core: Windows, run-time classes, strings, files, times, the pointer map and the
// rectangle types, plus the diagnostic macros.
#pragma once
#include <windows.h>

#ifndef AFXAPI
#define AFXAPI __stdcall
#endif
#ifndef AFX_CDECL
#define AFX_CDECL __cdecl
#endif
#ifndef PASCAL
#define PASCAL __stdcall
#endif
#ifndef AFX_STATIC
#define AFX_STATIC static
#endif

#include "CObject.h"
#include "CString.h"
#include "CFile.h"
#include "CTime.h"
#include "CMapPtrToPtr.h"
#include "CRect.h"

// Diagnostics. TRACE writes nothing and does not evaluate its arguments. ASSERT checks only in
// _DEBUG builds; VERIFY always evaluates its argument and checks it only in _DEBUG builds.
#define TRACE(...) ((void)0)
#define TRACE0(sz) ((void)0)
#define TRACE1(sz, p1) ((void)0)
#define TRACE2(sz, p1, p2) ((void)0)
#define TRACE3(sz, p1, p2, p3) ((void)0)

#ifdef _DEBUG
#define ASSERT(f)                  \
    do                             \
    {                              \
        if (!(f))                  \
            ::DebugBreak();        \
    } while (0)
#define VERIFY(f) ASSERT(f)
#else
#define ASSERT(f) ((void)0)
#define VERIFY(f) ((void)(f))
#endif
#define ASSERT_VALID(pOb) ((void)0)
