// GDI helpers for the custom-control tests.
#include "GdiTools.h"
#include <stdio.h>

CGdiCanvas::CGdiCanvas(int cx, int cy, COLORREF crFill) : m_cx(cx), m_cy(cy), m_hBitmap(NULL), m_hOldBitmap(NULL)
{
    HDC hScreen = ::GetDC(NULL);
    m_dc.Attach(::CreateCompatibleDC(hScreen));
    m_hBitmap = ::CreateCompatibleBitmap(hScreen, cx > 0 ? cx : 1, cy > 0 ? cy : 1);
    ::ReleaseDC(NULL, hScreen);
    m_hOldBitmap = ::SelectObject(m_dc.m_hDC, m_hBitmap);
    RECT rc = {0, 0, cx, cy};
    HBRUSH hBrush = ::CreateSolidBrush(crFill);
    ::FillRect(m_dc.m_hDC, &rc, hBrush);
    ::DeleteObject(hBrush);
}

CGdiCanvas::~CGdiCanvas()
{
    ::SelectObject(m_dc.m_hDC, m_hOldBitmap);
    ::DeleteObject(m_hBitmap);
    m_dc.DeleteDC();
}

HBITMAP MakeStripBitmap(int cx, int cy, const COLORREF crImages[4], COLORREF crRest)
{
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &pBits, NULL, 0);
    if (hBitmap == NULL)
        return NULL;
    const int nStride = (cx * 3 + 3) & ~3;
    const int cxImage = cx / 4;
    for (int y = 0; y < cy; ++y)
    {
        BYTE* pRow = static_cast<BYTE*>(pBits) + y * nStride;
        for (int x = 0; x < cx; ++x)
        {
            const int nImage = x / (cxImage > 0 ? cxImage : 1);
            COLORREF cr = nImage < 4 ? crImages[nImage] : crRest;
            // Row 0 of each image gets a marker so that a shifted copy is noticed.
            if (y == cy - 1 && nImage < 4 && x % cxImage == 0)
                cr = RGB(GetRValue(cr) ^ 0x80, GetGValue(cr), GetBValue(cr));
            pRow[x * 3 + 0] = GetBValue(cr);
            pRow[x * 3 + 1] = GetGValue(cr);
            pRow[x * 3 + 2] = GetRValue(cr);
        }
    }
    ::GdiFlush();
    return hBitmap;
}

std::string ColourText(COLORREF cr)
{
    char sz[40];
    snprintf(sz, sizeof(sz), "RGB(%d, %d, %d)", GetRValue(cr), GetGValue(cr), GetBValue(cr));
    return sz;
}

namespace
{
bool DCShowsBitmap(HDC hDC, int x, int y, HBITMAP hBitmap, int xSrc, int ySrc, int cx, int cy, std::string* pstrWhy)
{
    HDC hMem = ::CreateCompatibleDC(hDC);
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    bool bSame = true;
    for (int j = 0; j < cy && bSame; ++j)
    {
        for (int i = 0; i < cx; ++i)
        {
            const COLORREF crWant = ::GetPixel(hMem, xSrc + i, ySrc + j);
            const COLORREF crHave = ::GetPixel(hDC, x + i, y + j);
            if (crWant != crHave)
            {
                if (pstrWhy != nullptr)
                {
                    char sz[160];
                    snprintf(sz, sizeof(sz), "pixel (%d, %d) is %s, the bitmap's (%d, %d) is %s", x + i, y + j,
                             ColourText(crHave).c_str(), xSrc + i, ySrc + j, ColourText(crWant).c_str());
                    *pstrWhy = sz;
                }
                bSame = false;
                break;
            }
        }
    }
    ::SelectObject(hMem, hOld);
    ::DeleteDC(hMem);
    return bSame;
}

// Wine's record of one GDI handle (include/ntgdi.h, Wine 7 and later): the same layout for 32- and
// 64-bit processes.
#pragma pack(push, 1)
struct WineGdiHandleEntry
{
    UINT64 Object;
    ULONG Owner;
    USHORT Unique;
    UCHAR Type;  // 0: free
    UCHAR Flags;
    UINT64 UserPointer;
};
#pragma pack(pop)
static_assert(sizeof(WineGdiHandleEntry) == 24, "GDI_HANDLE_ENTRY is 24 bytes");
const int WINE_MAX_GDI_HANDLES = 16384;

bool RunningOnWine()
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && ::GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

const WineGdiHandleEntry* WineGdiTable()
{
    if (!RunningOnWine())
        return nullptr;
    // The PEB's GdiSharedHandleTable: offset 0x94 in a 32-bit PEB (fs:[0x30]), 0xF8 in a 64-bit one
    // (gs:[0x60]).
    BYTE* pPeb = nullptr;
#if defined(__i386__)
    __asm__("movl %%fs:0x30, %0" : "=r"(pPeb));
    if (WineGdiHandleEntry* pTable = *reinterpret_cast<WineGdiHandleEntry**>(pPeb + 0x94))
        return pTable;
    // A 32-bit process in a 64-bit prefix: Wine records the table in the 64-bit PEB only. The 32-bit
    // TEB's GdiBatchCount (offset 0xF70) holds the address of the 64-bit TEB, whose PEB pointer is
    // at 0x60; the table address is at 0xF8 of that PEB. All of it lies below 4 GB.
    BYTE* pTeb = nullptr;
    __asm__("movl %%fs:0x18, %0" : "=r"(pTeb));
    const ULONG ulTeb64 = *reinterpret_cast<ULONG*>(pTeb + 0xF70);
    if (ulTeb64 == 0 || ::IsBadReadPtr(reinterpret_cast<void*>(ulTeb64 + 0x60), sizeof(UINT64)))
        return nullptr;
    const UINT64 ullPeb64 = *reinterpret_cast<UINT64*>(ulTeb64 + 0x60);
    if (ullPeb64 == 0 || ullPeb64 > 0xFFFFFFF0ull ||
        ::IsBadReadPtr(reinterpret_cast<void*>((ULONG_PTR)ullPeb64 + 0xF8), sizeof(UINT64)))
        return nullptr;
    const UINT64 ullTable = *reinterpret_cast<UINT64*>((ULONG_PTR)ullPeb64 + 0xF8);
    if (ullTable == 0 || ullTable > 0xFFFFFFFFull)
        return nullptr;
    return reinterpret_cast<WineGdiHandleEntry*>((ULONG_PTR)ullTable);
#elif defined(__x86_64__)
    __asm__("movq %%gs:0x60, %0" : "=r"(pPeb));
    return *reinterpret_cast<WineGdiHandleEntry**>(pPeb + 0xF8);
#else
    (void)pPeb;
    return nullptr;
#endif
}

int CountWineGdiTable(const WineGdiHandleEntry* pTable)
{
    int nCount = 0;
    for (int i = 0; i < WINE_MAX_GDI_HANDLES; ++i)
        if (pTable[i].Type != 0)
            ++nCount;
    return nCount;
}
}  // namespace

bool CanvasShowsBitmap(const CGdiCanvas& canvas, int x, int y, HBITMAP hBitmap, int xSrc, int ySrc, int cx, int cy,
                       std::string* pstrWhy)
{
    return DCShowsBitmap(canvas.m_dc.m_hDC, x, y, hBitmap, xSrc, ySrc, cx, cy, pstrWhy);
}

bool WindowShowsBitmap(HWND hWnd, int x, int y, HBITMAP hBitmap, int xSrc, int ySrc, int cx, int cy,
                       std::string* pstrWhy)
{
    HDC hDC = ::GetWindowDC(hWnd);
    const bool bSame = DCShowsBitmap(hDC, x, y, hBitmap, xSrc, ySrc, cx, cy, pstrWhy);
    ::ReleaseDC(hWnd, hDC);
    return bSame;
}

const char* GdiCountMethod()
{
    ::SetLastError(0);
    if (::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS) != 0)
        return "GetGuiResources";
    if (WineGdiTable() != nullptr)
        return "Wine handle table";
    return "none";
}

int GdiObjectCount()
{
    const DWORD dwCount = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (dwCount != 0)
        return (int)dwCount;
    if (const WineGdiHandleEntry* pTable = WineGdiTable())
        return CountWineGdiTable(pTable);
    return -1;
}
