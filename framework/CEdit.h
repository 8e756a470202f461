// CEdit: an edit control.
#pragma once
#include "CWnd.h"

class CEdit : public CWnd
{
    DECLARE_DYNAMIC(CEdit)
};
