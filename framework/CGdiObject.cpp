#include "afxwin.h"
#include <typeinfo>

IMPLEMENT_DYNCREATE(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)

namespace
{
// The thread's temporary wrapper of class T for a handle owned elsewhere, freed when the thread
// idles; a wrapper of another class for the same handle is replaced.
template <class T>
T* TempFromHandle(HGDIOBJ hObject)
{
    if (hObject == NULL)
        return nullptr;
    CGdiObject*& pTemp = AfxGetThreadState()->m_temporaryGdi[hObject];
    if (pTemp == nullptr || typeid(*pTemp) != typeid(T))
    {
        if (pTemp != nullptr)
        {
            pTemp->m_hObject = NULL;
            delete pTemp;
        }
        pTemp = new T;
        pTemp->m_hObject = hObject;
    }
    return static_cast<T*>(pTemp);
}

// A temporary CDC lives in the same map as the GDI objects.
class CTempDC : public CGdiObject
{
public:
    CBorrowedDC m_dc;
};
}  // namespace

CDC* PASCAL CDC::FromHandle(HDC hDC)
{
    CTempDC* pTemp = TempFromHandle<CTempDC>(hDC);
    if (pTemp == nullptr)
        return nullptr;
    pTemp->m_dc.m_hDC = hDC;
    return &pTemp->m_dc;
}

CBitmap* PASCAL CBitmap::FromHandle(HBITMAP hBitmap) { return TempFromHandle<CBitmap>(hBitmap); }
CBrush* PASCAL CBrush::FromHandle(HBRUSH hBrush) { return TempFromHandle<CBrush>(hBrush); }
CFont* PASCAL CFont::FromHandle(HFONT hFont) { return TempFromHandle<CFont>(hFont); }

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (hObject == NULL)
        return FALSE;
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ hObject = m_hObject;
    m_hObject = NULL;
    return hObject;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == NULL)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CBitmap::LoadBitmap(LPCTSTR lpszResourceName)
{
    return Attach(::LoadBitmapA(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}
