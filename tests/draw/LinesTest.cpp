// Borders and lines: the pen path, the two colours, the doubled styles, the pen styles, and the DC
// given back as found.
#include "Dib.h"
#include "draw/RixEffectPainter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

constexpr COLORREF kBack = RGB(250, 250, 240);
constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);

// What a one-pixel frame drawn as four LineTo calls covers: the top-left colour from (x1, y2) up and
// right to (x2, y1), the bottom-right colour from there down and left back to (x1, y2); every LineTo
// leaves out its end point.
COLORREF FramePixel(int x, int y, int x1, int y1, int x2, int y2)
{
    if (x == x1 && y > y1 && y <= y2)
        return kRed;
    if (y == y1 && x >= x1 && x < x2)
        return kRed;
    if (x == x2 && y >= y1 && y < y2)
        return kBlue;
    if (y == y2 && x > x1 && x <= x2)
        return kBlue;
    return kBack;
}

TEST(Lines, ThinBorderRunsOnTheRectangleEdgesInTwoColours)
{
    Dib dib(16, 14);
    dib.Fill(kBack);
    RixEffectPainter::DrawBorder(dib.dc(), RECT{2, 3, 12, 10}, kRed, kBlue, RIXLINE_SOLID, 1);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(ColourText(FramePixel(x, y, 2, 3, 12, 10)), ColourText(dib.Pixel(x, y))) << x << "," << y;
}

TEST(Lines, DoubleBorderOfWidthOneHasItsInnerFrameTwoPixelsInside)
{
    Dib dib(16, 14);
    dib.Fill(kBack);
    RixEffectPainter::DrawBorder(dib.dc(), RECT{2, 3, 12, 10}, kRed, kBlue, RIXLINE_DOUBLE, 1);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 16; ++x) {
            COLORREF expected = FramePixel(x, y, 2, 3, 12, 10);
            if (expected == kBack)
                expected = FramePixel(x, y, 4, 5, 10, 8);
            ASSERT_EQ(ColourText(expected), ColourText(dib.Pixel(x, y))) << x << "," << y;
        }
}

TEST(Lines, WideBorderIsCentredHalfAPenInside)
{
    Dib dib(30, 30);
    dib.Fill(kBack);
    // Pen 3: the path runs 1 pixel inside, so the stroke covers the rectangle's edge pixels inward.
    RixEffectPainter::DrawBorder(dib.dc(), RECT{5, 5, 25, 25}, kRed, kRed, RIXLINE_SOLID, 3);
    for (int offset : {-1, 0, 1}) {
        EXPECT_EQ(kRed, dib.Pixel(15, 6 + offset)) << "top " << offset;
        EXPECT_EQ(kRed, dib.Pixel(6 + offset, 15)) << "left " << offset;
        EXPECT_EQ(kRed, dib.Pixel(24 + offset, 15)) << "right " << offset;
        EXPECT_EQ(kRed, dib.Pixel(15, 24 + offset)) << "bottom " << offset;
    }
    EXPECT_EQ(kBack, dib.Pixel(15, 3));
    EXPECT_EQ(kBack, dib.Pixel(15, 8));
    EXPECT_EQ(kBack, dib.Pixel(15, 15));
}

// The painted runs of a horizontal line, as text ("#" painted, "." not), to compare pen patterns.
std::string Runs(int style, int width = 1)
{
    Dib dib(120, 6);
    dib.Fill(kBack);
    RixEffectPainter::DrawLine(dib.dc(), 0, 2, 120, 2, kRed, style, width);
    std::string runs;
    for (int x = 0; x < 120; ++x)
        runs += dib.Pixel(x, 2) == kRed ? '#' : '.';
    return runs;
}

TEST(Lines, EachStyleHasItsOwnPen)
{
    const std::string solid(120, '#');
    EXPECT_EQ(solid, Runs(RIXLINE_SOLID));
    EXPECT_EQ(solid, Runs(7)) << "unknown styles are solid";
    EXPECT_EQ(std::string(120, '.'), Runs(RIXLINE_NONE));
    EXPECT_EQ(std::string(120, '.'), Runs(RIXLINE_SOLID, 0));
    EXPECT_EQ(std::string(120, '.'), Runs(RIXLINE_SOLID, -2));
    std::set<std::string> patterns;
    for (int style : {RIXLINE_DASHED, RIXLINE_DOTTED, RIXLINE_DASHDOT, RIXLINE_DASHDOTDOT}) {
        const std::string runs = Runs(style);
        EXPECT_NE(std::string::npos, runs.find('.')) << style << ": " << runs;
        EXPECT_NE(std::string::npos, runs.find('#')) << style << ": " << runs;
        patterns.insert(runs);
    }
    EXPECT_EQ(4u, patterns.size()) << "dash, dot, dash-dot and dash-dot-dot differ";
    // A dashed border is dashed on all four sides.
    Dib dib(60, 60);
    dib.Fill(kBack);
    RixEffectPainter::DrawBorder(dib.dc(), RECT{5, 5, 55, 55}, kRed, kBlue, RIXLINE_DOTTED, 1);
    int red = 0, blue = 0;
    for (int i = 6; i < 54; ++i) {
        red += dib.Pixel(i, 5) == kRed;
        blue += dib.Pixel(55, i) == kBlue;
    }
    EXPECT_GT(red, 10);
    EXPECT_LT(red, 40);
    EXPECT_GT(blue, 10);
    EXPECT_LT(blue, 40);
}

TEST(Lines, DoubleLinesRepeatTwoPensAwayDownOrRight)
{
    struct Case {
        POINT from, to, second;
    } cases[] = {
        {{2, 5}, {20, 5}, {0, 2}},  // horizontal: the copy is below
        {{5, 2}, {5, 20}, {2, 0}},  // vertical: to the right
        {{2, 2}, {12, 12}, {2, 2}}, // slanted: both
    };
    for (const Case& c : cases) {
        Dib dib(30, 30);
        dib.Fill(kBack);
        RixEffectPainter::DrawLine(dib.dc(), c.from.x, c.from.y, c.to.x, c.to.y, kRed, RIXLINE_DOUBLE, 1);
        Dib expected(30, 30);
        expected.Fill(kBack);
        RixEffectPainter::DrawLine(expected.dc(), c.from.x, c.from.y, c.to.x, c.to.y, kRed, RIXLINE_SOLID, 1);
        RixEffectPainter::DrawLine(expected.dc(), c.from.x + c.second.x, c.from.y + c.second.y,
                                   c.to.x + c.second.x, c.to.y + c.second.y, kRed, RIXLINE_SOLID, 1);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(expected.Pixel(x, y), dib.Pixel(x, y)) << x << "," << y;
    }
}

TEST(Lines, TheDcIsGivenBackAsFound)
{
    Dib dib(20, 20);
    const gdi::Pen pen(::CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
    gdi::SelectGuard select(dib.dc(), pen.get());
    ::MoveToEx(dib.dc(), 7, 9, nullptr);
    const int before = gdi::LiveObjects();
    RixEffectPainter::DrawBorder(dib.dc(), RECT{1, 1, 15, 15}, kRed, kBlue, RIXLINE_DOUBLE, 2);
    RixEffectPainter::DrawLine(dib.dc(), 0, 0, 10, 3, kRed, RIXLINE_DASHED, 1);
    EXPECT_EQ(pen.get(), ::GetCurrentObject(dib.dc(), OBJ_PEN));
    POINT position{};
    ::GetCurrentPositionEx(dib.dc(), &position);
    EXPECT_EQ(7, position.x);
    EXPECT_EQ(9, position.y);
    EXPECT_EQ(before, gdi::LiveObjects());
}

} // namespace
