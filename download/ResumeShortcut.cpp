#include "download/ResumeShortcut.h"

HRESULT CreateResumeShortcut(LPCSTR, LPCSTR, LPCSTR) { return E_NOTIMPL; }
