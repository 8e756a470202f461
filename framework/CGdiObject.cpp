#include "afxwin.h"
#include <typeinfo>

IMPLEMENT_DYNCREATE(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)

template <class T> T* CGdiObject::TempFromHandle(HGDIOBJ hObject)
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

CGdiObject* PASCAL CGdiObject::FromHandle(HGDIOBJ hObject) { return TempFromHandle<CGdiObject>(hObject); }
CBitmap* PASCAL CBitmap::FromHandle(HBITMAP hBitmap) { return TempFromHandle<CBitmap>(hBitmap); }
CBrush* PASCAL CBrush::FromHandle(HBRUSH hBrush) { return TempFromHandle<CBrush>(hBrush); }
CFont* PASCAL CFont::FromHandle(HFONT hFont) { return TempFromHandle<CFont>(hFont); }
CRgn* PASCAL CRgn::FromHandle(HRGN hRgn) { return TempFromHandle<CRgn>(hRgn); }

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
