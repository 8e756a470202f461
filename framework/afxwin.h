// The class framework: windows, dialogs, controls, GDI, threads and the application object.
#pragma once
#include "afx.h"
#include <commctrl.h>
#include "AfxState.h"
#include "CCmdTarget.h"
#include "CWnd.h"
#include "CGdiObject.h"
#include "CDC.h"
#include "CDialog.h"
#include "CButton.h"
#include "CStatic.h"
#include "CEdit.h"
#include "CProgressCtrl.h"
#include "CToolTipCtrl.h"
#include "CWinThread.h"
#include "CWinApp.h"

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif
