// GDI helpers for the custom-control tests: an off-screen canvas whose pixels can be read back,
// synthetic button strips, and a count of the process's GDI objects for leak checks.
#pragma once
#include <afxwin.h>
#include <string>

// A memory DC with a screen-compatible bitmap of cx x cy pixels, filled with one colour.
class CGdiCanvas
{
public:
    CGdiCanvas(int cx, int cy, COLORREF crFill = RGB(255, 255, 255));
    ~CGdiCanvas();
    CGdiCanvas(const CGdiCanvas&) = delete;
    CGdiCanvas& operator=(const CGdiCanvas&) = delete;

    COLORREF Pixel(int x, int y) const { return ::GetPixel(m_dc.m_hDC, x, y); }
    CDC* DC() { return &m_dc; }

    CDC m_dc;
    int m_cx;
    int m_cy;

private:
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOldBitmap;
};

// A 24-bit strip bitmap cx x cy whose four images (cx / 4 wide each) are filled with the four colours;
// columns from 4 * (cx / 4) on get crRest. The caller owns the handle.
HBITMAP MakeStripBitmap(int cx, int cy, const COLORREF crImages[4], COLORREF crRest);

// True when every pixel of the canvas rectangle (x, y, cx, cy) equals the pixel of the bitmap at
// (xSrc, ySrc) onwards; the first difference is described in *pstrWhy.
bool CanvasShowsBitmap(const CGdiCanvas& canvas, int x, int y, HBITMAP hBitmap, int xSrc, int ySrc, int cx, int cy,
                       std::string* pstrWhy);
// The same for a window's device context (whole window, frame included).
bool WindowShowsBitmap(HWND hWnd, int x, int y, HBITMAP hBitmap, int xSrc, int ySrc, int cx, int cy,
                       std::string* pstrWhy);

// The number of GDI objects this process holds. GetGuiResources where the system answers it;
// Wine 8 answers 0, so there the process's GDI handle table (the PEB's GdiSharedHandleTable, Wine's
// GDI_HANDLE_ENTRY records; in a 32-bit process of a 64-bit prefix the 64-bit PEB's) is walked
// instead. -1 when neither works. ControlGalleryTest proves it sees a deliberate leak.
int GdiObjectCount();
// Which of the two ways GdiObjectCount uses: "GetGuiResources", "Wine handle table" or "none".
const char* GdiCountMethod();

std::string ColourText(COLORREF cr);
