// CColorStatic: a label with the download dialog's dark-blue text on light blue.
#include "controls/CColorStatic.h"

BEGIN_MESSAGE_MAP(CColorStatic, CStatic)
    ON_WM_CTLCOLOR_REFLECT()  // HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
END_MESSAGE_MAP()
