// The caption painter's drawing read back from a memory DC: the gradient's strips for captions of
// several widths and a long title cut with an ellipsis.
#include <gtest/gtest.h>
#include <string>
#include "GalleryWindows.h"

namespace
{
const COLORREF RIGHT_BLOCK = RGB(232, 225, 243), LEFT_BLOCK = RGB(212, 227, 252);

// An unattached painter draws no banner and no buttons; its icon starts at row 1, below the gradient's row 0.
void DrawCaption(CCaptionPainter& painter, CGdiCanvas& canvas, int cx, int cy)
{
    CAPTIONPAINT cp = {CSize(cx, cy), &canvas.m_dc, TRUE};
    painter.DrawGradientCaption(1, &cp);
}

TEST(CaptionPainter, TheGradientLeadsInStripsFromTheRightBlockToTheLeftBlock)
{
    // The right sixth is one block; strips of xSplit / 64 pixels (at least one) lead leftwards while
    // more than a strip is left, the rest is the left block.
    const struct { int cx, x, y; COLORREF cr; } cases[] = {
        {480, 400, 0, RIGHT_BLOCK},           {480, 399, 0, RGB(232, 225, 243)},   // xSplit 400, 6-pixel strips
        {480, 184, 0, RGB(222, 226, 247)},    {480, 183, 0, RGB(221, 226, 247)},   // strips 36 and 37
        {480, 300, 23, RGB(227, 225, 245)},   {480, 4, 0, RGB(213, 226, 251)},     // the bottom row; strip 66
        {480, 3, 0, LEFT_BLOCK},              {154, 128, 0, RIGHT_BLOCK},          // 2-pixel strips
        {154, 127, 0, RGB(232, 225, 243)},    {154, 1, 0, LEFT_BLOCK},
        {153, 108, 0, RGB(230, 225, 244)},    {1, 0, 0, RIGHT_BLOCK},              // 1-pixel strips; no room
    };
    for (const auto& c : cases)
    {
        CCaptionPainter painter;
        CGdiCanvas canvas(c.cx, 24, RGB(0, 0, 0));
        DrawCaption(painter, canvas, c.cx, 24);
        EXPECT_EQ(c.cr, canvas.Pixel(c.x, c.y)) << "caption " << c.cx << " wide, x " << c.x << ", y " << c.y;
    }
}

TEST(CaptionPainter, ALongTitleIsCutWithAnEllipsisInTheCaptionTextColour)
{
    const int cx = 420, cy = 24;
    CCaptionPainter blank, titled;
    titled.SetTitle(std::string(300, 'W').c_str());
    CGdiCanvas drawn(cx, cy), expected(cx, cy);
    DrawCaption(titled, drawn, cx, cy);
    DrawCaption(blank, expected, cx, cy);
    // The title runs from x = 175 to the buttons (none here), in the painter's font.
    RECT rcTitle = {175, 0, cx, cy};
    CFont* pOldFont = expected.m_dc.SelectObject(&titled.m_fontCaption);
    expected.m_dc.SetBkMode(TRANSPARENT);
    expected.m_dc.SetTextColor(RGB(0, 0, 129));
    expected.m_dc.DrawText(titled.GetTitle(), &rcTitle, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    expected.m_dc.SelectObject(pOldFont);
    int nDifferent = 0;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            nDifferent += drawn.Pixel(x, y) != expected.Pixel(x, y);
    EXPECT_EQ(0, nDifferent);
}
}  // namespace
