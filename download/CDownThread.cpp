#include "download/CDownThread.h"

IMPLEMENT_DYNCREATE(CDownThread, CWinThread)

BEGIN_MESSAGE_MAP(CDownThread, CWinThread)
END_MESSAGE_MAP()

CDownThread::CDownThread() { m_bAutoDelete = FALSE; }

BOOL CDownThread::InitInstance() { return TRUE; }

int CDownThread::ExitInstance() { return CWinThread::ExitInstance(); }
