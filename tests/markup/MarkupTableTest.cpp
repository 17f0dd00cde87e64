// Tables through real pixels: column widths from the platform's own text metrics, spacing, fills,
// borders, nesting, and texts that ask for more than a table may hold.
#include "Dib.h"
#include "TempFolder.h"
#include "draw/NoiseSource.h"
#include "markup/RixMarkupRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr int kWidth = 320;
constexpr int kHeight = 160;

// The body font of the default sheet, made without the renderer.
gdi::Font BodyFont(HDC hDC)
{
    return gdi::Font(::CreateFontA(
        10 * ::GetDeviceCaps(hDC, LOGPIXELSY) / 72, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "verdana"));
}

SIZE TextSize(HDC hDC, const std::string& text)
{
    gdi::Font font = BodyFont(hDC);
    gdi::SelectGuard select(hDC, font.get());
    SIZE size {};
    ::GetTextExtentPoint32A(hDC, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

// One letter per pixel: W white, K black, R red, B blue, anything else ".".
std::string Pixels(const Dib& dib, int x0, int y0, int x1, int y1)
{
    std::string letters;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const COLORREF c = dib.Pixel(x, y);
            letters += c == kWhite ? 'W' : c == kBlack ? 'K' : c == kRed ? 'R' : c == kBlue ? 'B' : '.';
        }
    return letters;
}

std::string Repeat(char letter, int count)
{
    return std::string(static_cast<size_t>(count), letter);
}

// Runs of letters one after the other: { { 'R', 4 }, { 'B', 24 } }.
std::string Pattern(std::initializer_list<std::pair<char, int>> runs)
{
    std::string letters;
    for (const auto& [letter, count] : runs)
        letters.append(static_cast<size_t>(std::max(count, 0)), letter);
    return letters;
}

struct TableFixture : ::testing::Test {
    RixMarkupRenderer renderer;
    Dib actual { kWidth, kHeight };
    Dib expected { kWidth, kHeight };
    SIZE size {};

    HDC dc() const { return actual.dc(); }
    int TextWidth(const std::string& text) const { return TextSize(actual.dc(), text).cx; }
    int LineHeight() const { return TextSize(actual.dc(), "x").cy; }
    const TableLayout& Table(size_t index) const { return renderer.GetTableLayouts().at(index); }

    void Render(const std::string& markup, int width = kWidth)
    {
        actual.Fill(kWhite);
        rixnoise::Seed(1);
        renderer.MeasureMarkup(dc(), markup.c_str(), size);
        renderer.DrawMeasuredMarkup(dc(), RECT { 0, 0, width, kHeight });
    }
    // The expected picture: texts in the body font at their places, over whatever was drawn first.
    void ExpectTexts(const std::vector<std::pair<std::string, POINT>>& texts)
    {
        gdi::Font font = BodyFont(expected.dc());
        gdi::SelectGuard select(expected.dc(), font.get());
        ::SetBkMode(expected.dc(), TRANSPARENT);
        for (const auto& [text, at] : texts)
            ::TextOutA(expected.dc(), at.x, at.y, text.data(), static_cast<int>(text.size()));
        int differ = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                differ += actual.Pixel(x, y) != expected.Pixel(x, y);
        EXPECT_EQ(differ, 0) << "pixels that differ";
    }
};

TEST_F(TableFixture, SpareWidthIsSharedOverUnfixedColumnsTheLaterTakingTheOddPixel)
{
    const int a = TextWidth("a") + 4, b = TextWidth("bb") + 4, h = LineHeight() + 4;
    for (const int spare : { 0, 10, 11 }) {
        const int width = a + b + 1 + spare;
        Render("<table><tr><td>a</td><td>bb</td></tr></table>", width);
        EXPECT_EQ(size.cx, a + b + 1 + 1);
        EXPECT_EQ(size.cy, h + 1);
        EXPECT_EQ(Table(0).columnWidths, (std::vector<int> { a + spare / 2, b + spare - spare / 2 })) << spare;
        EXPECT_EQ(Table(0).rowHeights, std::vector<int> { h });
        expected.Fill(kWhite);
        ExpectTexts({ { "a", { 2, 2 } }, { "bb", { a + spare / 2 + 1 + 2, 2 } } });
    }
}

TEST_F(TableFixture, CellWidthFixesItsColumnAndPercentagesDoNot)
{
    Render("<table><tr><td width=40>a</td><td>text</td></tr></table>", 300);
    EXPECT_EQ(Table(0).columnWidths, (std::vector<int> { 44, 300 - 44 - 1 }));
    EXPECT_EQ(Table(0).fixedColumns, (std::vector<int> { 1, 0 }));
    expected.Fill(kWhite);
    ExpectTexts({ { "a", { 2, 2 } }, { "text", { 44 + 1 + 2, 2 } } });

    Render("<table><tr><td width=50%>a</td><td>b</td></tr></table>", 300);
    EXPECT_EQ(Table(0).fixedColumns, (std::vector<int> { 0, 0 }));
}

TEST_F(TableFixture, SpanningCellsAddTheirShortfallTheRemainderToTheLastColumnOrFirstRow)
{
    const int a = TextWidth("a") + 4, b = TextWidth("b") + 4, h = LineHeight() + 4;
    const int wide = a + b + 41 - 4;
    Render(
        "<table><tr><td>a</td><td>b</td></tr><tr><td colspan=2 width=" + std::to_string(wide) + ">c</td></tr></table>");
    EXPECT_EQ(Table(0).columnWidths, (std::vector<int> { a + 20, b + 21 }));
    EXPECT_EQ(Table(0).fixedColumns, (std::vector<int> { 1, 1 }));

    const int tall = 2 * h + 41 - 4;
    Render("<table><tr><td rowspan=2 height=" + std::to_string(tall)
        + ">a</td><td>b</td></tr><tr><td>c</td></tr></table>");
    EXPECT_EQ(Table(0).rowHeights, (std::vector<int> { h + 21, h + 20 }));
    // The cell below the spanning one lands in the second column.
    EXPECT_EQ(Table(0).Cell(1, 0).nColSpan, -1);
    EXPECT_EQ(Table(0).Cell(1, 1).nColSpan, 1);
}

TEST_F(TableFixture, CellSpacingPutsGapsBeforeBetweenAndAfterCells)
{
    Render("<table cellspacing=4 bgcolor=red><tr><td width=20 height=10 bgcolor=blue></td>"
           "<td width=20 height=10 bgcolor=blue></td></tr><tr><td width=20 height=10 bgcolor=blue></td></tr></table>");
    EXPECT_EQ(size.cx, 4 + 24 + 5 + 24 + 4 + 1);
    EXPECT_EQ(size.cy, 4 + 14 + 5 + 14 + 4 + 1);
    const std::string across = Pattern({ { 'R', 4 }, { 'B', 24 }, { 'R', 5 }, { 'B', 24 }, { 'R', 4 }, { 'W', 1 } });
    EXPECT_EQ(Pixels(actual, 0, 10, 61, 10), across);
    EXPECT_EQ(Pixels(actual, 10, 0, 10, 41),
        Pattern({ { 'R', 4 }, { 'B', 14 }, { 'R', 5 }, { 'B', 14 }, { 'R', 4 }, { 'W', 1 } }));
    EXPECT_EQ(Pixels(actual, 40, 30, 40, 30), "R") << "no cell in the second row's second column";
}

TEST_F(TableFixture, BordersOfTablesAndCells)
{
    // Any style other than solid draws 1 pixel wide; a dashed line has gaps.
    Render("<table border=3 borderstyle=dashed cellspacing=4><tr><td width=150 height=10></td></tr></table>");
    const std::string top = Pixels(actual, 0, 0, 150, 0);
    EXPECT_NE(top.find('K'), std::string::npos);
    EXPECT_NE(top.find('W'), std::string::npos);
    EXPECT_EQ(Pixels(actual, 20, 1, 20, 1), "W") << "1 pixel wide";

    // Cells inherit the table's border 1 pixel wide; their dark edge is at the top left.
    Render("<table border=2 cellspacing=4 bordercolorlight=red bordercolordark=blue><tr>"
           "<td width=30 height=10></td></tr></table>");
    EXPECT_EQ(Pixels(actual, 5, 12, 43, 12), Pattern({ { 'W', 1 }, { 'B', 1 }, { 'W', 35 }, { 'R', 1 }, { 'W', 1 } }));
    EXPECT_EQ(Pixels(actual, 20, 5, 20, 23), Pattern({ { 'W', 1 }, { 'B', 1 }, { 'W', 15 }, { 'R', 1 }, { 'W', 1 } }));
    EXPECT_EQ(Pixels(actual, 0, 12, 0, 12), "R") << "the table's light edge at the top left";
    EXPECT_EQ(size.cx, 2 * 2 + 4 + (30 + 2 * 2 + 2 * 1) + 4 + 1);

    // Double borders take 3 pixels on every side.
    Render("<table borderstyle=double><tr><td width=10 height=10></td></tr></table>");
    EXPECT_EQ(size.cx, 16 + 6 + 1);
    EXPECT_EQ(Pixels(actual, 0, 8, 4, 8), "KWKKW") << "outer line, gap, inner line, then the cell's own border";
}

TEST_F(TableFixture, FillsDrawEveryEffectWithTheThreeColours)
{
    const char* const effects[]
        = { "solid", "hgradient", "vgradient", "hcgradient", "vcgradient", "3hgradient", "3vgradient", "noise",
              "diagshade", "hshade", "vshade", "hbump", "vbump", "softbump", "hardbump", "metal", "7" };
    RixEffectPainter painter;
    for (int i = 0; i < static_cast<int>(std::size(effects)); ++i) {
        Render(std::string("<table><tr><td width=56 height=16 bgeffect=") + effects[i]
            + " bgcolor=#102030 bgmidcolor=#a0b0c0 bgendcolor=#f0e0d0></td></tr></table>");
        expected.Fill(kWhite);
        rixnoise::Seed(1);
        painter.DrawEffect(expected.dc(), i == 16 ? 7 : i, RECT { 0, 0, 60, 20 }, RGB(0x10, 0x20, 0x30),
            RGB(0xa0, 0xb0, 0xc0), RGB(0xf0, 0xe0, 0xd0), 5, 0);
        int differ = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 64; ++x)
                differ += actual.Pixel(x, y) != expected.Pixel(x, y);
        EXPECT_EQ(differ, 0) << effects[i];
    }
    // "transparent" and colours switched off leave the cell unfilled.
    Render("<table><tr><td width=20 height=10 bgcolor=red bgeffect=transparent></td></tr></table>");
    EXPECT_EQ(Pixels(actual, 5, 5, 5, 5), "W");
    // Rows pass their attributes on to their cells.
    Render("<table><tr bgcolor=blue><td width=20 height=10></td></tr></table>");
    EXPECT_EQ(Pixels(actual, 5, 5, 5, 5), "B");
    renderer.EnableColours(false);
    Render("<table border=1 bordercolor=blue><tr><td width=20 height=10 bgcolor=red></td></tr></table>");
    EXPECT_EQ(Pixels(actual, 5, 5, 5, 5), "W");
    EXPECT_EQ(actual.Pixel(0, 5), renderer.GetDisabledTextColour()) << "borders in the disabled colour";
}

TEST_F(TableFixture, AlignmentMovesATableThatCannotStretch)
{
    const struct {
        const char* align;
        int left;
    } cases[] = { { "left", 0 }, { "center", (100 - 24) / 2 }, { "right", 100 - 24 } };
    for (const auto& c : cases) {
        Render(
            std::string("<table align=") + c.align + " bgcolor=red><tr><td width=20 height=10></td></tr></table>", 100);
        EXPECT_EQ(Pixels(actual, std::max(c.left - 1, 0), 5, c.left + 24, 5),
            Pattern({ { 'W', c.left > 0 ? 1 : 0 }, { 'R', 24 }, { 'W', 1 } }))
            << c.align;
    }
}

TEST_F(TableFixture, NestedTablesStretchIntoTheirCellAndValignPlacesContent)
{
    Render("<table><tr><td width=100 height=40 valign=middle><table bgcolor=red><tr><td>x</td></tr>"
           "</table></td></tr></table>");
    ASSERT_EQ(renderer.GetTableLayouts().size(), 2u);
    const int h = LineHeight() + 4;
    // The inner table spans the 100 pixels inside the outer cell's padding.
    const int top = 2 + (40 - h) / 2;
    EXPECT_EQ(Pixels(actual, 1, top, 102, top), Pattern({ { 'W', 1 }, { 'R', 100 }, { 'W', 1 } }));
    EXPECT_EQ(Pixels(actual, 50, top - 1, 50, top), "WR");
    EXPECT_EQ(Table(1).columnWidths, std::vector<int> { 100 });
}

TEST_F(TableFixture, WrappedCellTextBreaksAsMeasuredInAWiderColumn)
{
    renderer.SetWrapWidth(300);
    Render("<table><tr><td width=60>aaa bbb ccc ddd</td></tr></table>after");
    const int rows = Table(0).rowHeights[0];
    ASSERT_GT(rows, 2 * LineHeight()) << "the text wraps in 60 pixels";
    Dib narrow(kWidth, kHeight);
    ::BitBlt(narrow.dc(), 0, 0, kWidth, kHeight, actual.dc(), 0, 0, SRCCOPY);

    // The second row widens the column; the first cell's lines stay as they were.
    Render("<table><tr><td width=60>aaa bbb ccc ddd</td></tr><tr><td width=200></td></tr></table>after");
    EXPECT_EQ(Table(0).columnWidths[0], 204);
    int differ = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < kWidth; ++x)
            differ += actual.Pixel(x, y) != narrow.Pixel(x, y);
    EXPECT_EQ(differ, 0);
}

TEST_F(TableFixture, UnterminatedEscapedAndStrayTablesEndSafely)
{
    Render("<table><tr><td>abc");
    expected.Fill(kWhite);
    ExpectTexts({ { "abc", { 2, 2 } } });

    Render("<<table>x");
    expected.Fill(kWhite);
    ExpectTexts({ { "<table>x", { 0, 0 } } });
    EXPECT_TRUE(renderer.GetTableLayouts().empty());

    // Rows without cells still take their gaps.
    Render("<table cellspacing=3><tr></tr><tr></tr></table>");
    EXPECT_EQ(size.cy, 3 * 3 + 1 + 1);
    Render("a<table></table>b");
    expected.Fill(kWhite);
    ExpectTexts({ { "a", { 0, 0 } }, { "b", { 0, LineHeight() } } });
    ASSERT_EQ(renderer.GetTableLayouts().size(), 1u);
    EXPECT_EQ(Table(0).nColumns, 0);
}

TEST_F(TableFixture, HostileCountsAndSizesAreBounded)
{
    Render("<table><tr><td colspan=1000000000 rowspan=4000000000>x</td><td>y</td></tr></table>");
    EXPECT_EQ(Table(0).nColumns, kMaxTableColumns);
    EXPECT_EQ(Table(0).nRows, 1);
    EXPECT_EQ(Table(0).Cell(0, 0).nRowSpan, 1);

    std::string rows = "<table>";
    for (int i = 0; i < 70000; ++i)
        rows += "<tr><td colspan=2>";
    Render(rows);
    EXPECT_EQ(Table(0).nColumns, 2);
    EXPECT_EQ(Table(0).nRows, kMaxTableCells / 2);

    std::string deep;
    for (int i = 0; i < 1000; ++i)
        deep += "<table><tr><td>";
    Render(deep + "x");
    EXPECT_EQ(static_cast<int>(renderer.GetTableLayouts().size()), kMaxTableDepth);

    // A fill far larger than the picture is drawn where it shows; borders stay within what a pen can do.
    Render("<table bgeffect=noise bgcolor=red><tr><td width=100000 height=100000>x</td></tr></table>");
    EXPECT_EQ(size.cx, 100000 + 4 + 1);
    EXPECT_NE(Pixels(actual, kWidth - 1, kHeight - 1, kWidth - 1, kHeight - 1), "W");
    Render("<table border=100000><tr><td width=10>x</td></tr></table>");
    EXPECT_EQ(size.cx, 10 + 2 * 2 + 2 * 1 + 2 * RixMarkupRenderer::kMaxRuleThickness + 1);
}

TEST_F(TableFixture, TheTablesOfOneTextShareOneBound)
{
    // Each table asks for 65 rows of 1000 columns, within the bound of one table; together they would
    // keep records far larger than the text.
    std::string unit = "<table><tr><td colspan=1000>x</td>";
    for (int i = 0; i < 64; ++i)
        unit += "<tr>";
    unit += "</table>";
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += unit;
    Render(text);
    const std::vector<TableLayout>& tables = renderer.GetTableLayouts();
    long long kept = 0;
    for (const TableLayout& table : tables)
        kept += static_cast<long long>(table.nRows) * table.nColumns + table.nRows + table.nColumns + kTableRecordCells;
    EXPECT_LE(kept, kMaxTextTableCells);
    ASSERT_EQ(tables.size(), 4u) << "three whole tables, the rows of a fourth that fit, and no more records";
    EXPECT_EQ(tables[0].nRows, 65);
    EXPECT_EQ(tables[2].nRows, 65);
    EXPECT_EQ(tables[3].nRows, static_cast<int>((kMaxTextTableCells - 3 * (65 * 1001 + 1004) - 1004) / 1001));
    // The tables that kept records are laid out as before; the first is drawn with its text.
    EXPECT_EQ(Table(0).nColumns, 1000);
    EXPECT_NE(Pixels(actual, 0, 0, 30, LineHeight()), Repeat('W', 31 * (LineHeight() + 1)));

    // A later text starts afresh.
    Render(unit);
    EXPECT_EQ(renderer.GetTableLayouts().size(), 1u);
    EXPECT_EQ(Table(0).nRows, 65);
}

// A bitmap file of 3 x 2 pixels, bottom row first; or one whose header claims far more than it holds.
std::string BitmapFile(int width, int height, const std::vector<COLORREF>& pixels)
{
    std::string bytes(54, '\0');
    const auto put = [&](size_t at, uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const int stride = (width * 3 + 3) / 4 * 4;
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, static_cast<uint32_t>(54 + pixels.size() * 4), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = height - 1; y >= 0 && !pixels.empty(); --y) {
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y * width + x)];
            row[3 * x] = static_cast<char>(GetBValue(c));
            row[3 * x + 1] = static_cast<char>(GetGValue(c));
            row[3 * x + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    return bytes;
}

TEST_F(TableFixture, BackgroundPicturesAreTiledFromTheTableCorner)
{
    TempFolder folder;
    const std::string tile
        = Ansi(folder.WriteFile(L"tile.bmp", BitmapFile(3, 2, { kRed, kBlue, kBlack, kBlue, kBlack, kRed })));
    Render("<table align=center background=\"file:" + tile + "\"><tr><td width=20 height=10></td></tr></table>", 100);
    const int left = (100 - 24) / 2;
    EXPECT_EQ(Pixels(actual, left, 0, left + 5, 1), "RBKRBKBKRBKR");
    EXPECT_EQ(Pixels(actual, left + 23, 13, left + 24, 13), "RW") << "only over the table";

    // Pictures that are not what their headers say, or short names, draw nothing.
    const std::string liar = Ansi(folder.WriteFile(L"liar.bmp", BitmapFile(100000, 100000, {})));
    for (const std::string& source :
        { "file:" + liar, "file:" + Ansi(folder.File(L"none.bmp")), std::string("idres:"), std::string("iddll:129") }) {
        Render("<table background=\"" + source + "\"><tr><td width=20 height=10></td></tr></table>");
        EXPECT_EQ(Pixels(actual, 0, 0, 3, 0), "WWWW") << source;
    }
    Render("<table background=idres:129><tr><td width=20 height=10></td></tr></table>");
    EXPECT_NE(Pixels(actual, 0, 0, 23, 13), Repeat('W', 24 * 14)) << "the program's own bitmap";
}

} // namespace
