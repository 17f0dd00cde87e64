// Measuring and drawing through real fonts into real pixels. Expected pictures are drawn in the test
// with plain GDI calls at positions worked out from the platform's own text metrics, so no glyph width
// is written down here.
#include "Dib.h"
#include "markup/RixMarkupRenderer.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr int kWidth = 300;
constexpr int kHeight = 120;

// The font the default sheet gives a piece of text, made without the renderer.
struct Look {
    int weight = 400;
    bool italic = false;
    COLORREF colour = kBlack;
    bool underline = false;
    // Percent of the body font's height.
    int percent = 100;
};

gdi::Font MakeFont(HDC hDC, const Look& look)
{
    const int height = ::MulDiv(10 * ::GetDeviceCaps(hDC, LOGPIXELSY) / 72, look.percent, 100);
    return gdi::Font(::CreateFontA(
        height, 0, 0, 0, look.weight, look.italic, look.underline, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "verdana"));
}

SIZE Extent(HDC hDC, const Look& look, const std::string& text)
{
    gdi::Font font = MakeFont(hDC, look);
    gdi::SelectGuard select(hDC, font.get());
    SIZE size {};
    ::GetTextExtentPoint32A(hDC, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

TEXTMETRICA Metrics(HDC hDC, const Look& look = {})
{
    gdi::Font font = MakeFont(hDC, look);
    gdi::SelectGuard select(hDC, font.get());
    TEXTMETRICA tm {};
    ::GetTextMetricsA(hDC, &tm);
    return tm;
}

// One piece of the expected picture: drawn at x, on the given line top.
struct Piece {
    std::string text;
    int x;
    int top;
    Look look = {};
    int justifyExtra = 0;
    int justifyBlanks = 0;
};

void DrawExpected(Dib& dib, const std::vector<Piece>& pieces)
{
    dib.Fill(kWhite);
    for (const Piece& piece : pieces) {
        gdi::Font font = MakeFont(dib.dc(), piece.look);
        gdi::SelectGuard select(dib.dc(), font.get());
        ::SetBkMode(dib.dc(), TRANSPARENT);
        ::SetTextColor(dib.dc(), piece.look.colour);
        ::SetTextJustification(dib.dc(), piece.justifyExtra, piece.justifyBlanks);
        ::TextOutA(dib.dc(), piece.x, piece.top, piece.text.data(), static_cast<int>(piece.text.size()));
        ::SetTextJustification(dib.dc(), 0, 0);
    }
}

// Pixels that differ, and where the first one is.
std::string Differences(const Dib& actual, const Dib& expected)
{
    int count = 0;
    std::string first;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.Pixel(x, y) != expected.Pixel(x, y) && count++ == 0)
                first = " first at (" + std::to_string(x) + ", " + std::to_string(y)
                    + "): " + ColourText(actual.Pixel(x, y)) + " instead of " + ColourText(expected.Pixel(x, y));
    return count == 0 ? std::string() : std::to_string(count) + " pixels differ;" + first;
}

struct LayoutFixture : ::testing::Test {
    RixMarkupRenderer renderer;
    Dib actual { kWidth, kHeight };
    Dib expected { kWidth, kHeight };
    SIZE size {};

    HDC dc() const { return actual.dc(); }
    int LineHeight() const { return Extent(actual.dc(), {}, "x").cy; }
    int Width(const std::string& text, const Look& look = {}) const { return Extent(actual.dc(), look, text).cx; }

    void Render(const char* markup, int width = kWidth)
    {
        actual.Fill(kWhite);
        renderer.MeasureMarkup(actual.dc(), markup, size);
        renderer.DrawMeasuredMarkup(actual.dc(), RECT { 0, 0, width, kHeight });
    }
    void ExpectPicture(const char* markup, const std::vector<Piece>& pieces, int width = kWidth)
    {
        Render(markup, width);
        DrawExpected(expected, pieces);
        EXPECT_EQ(Differences(actual, expected), "") << markup;
    }
};

TEST_F(LayoutFixture, NothingVisibleMeasuresAsNothing)
{
    const struct {
        const char* markup;
        SIZE size;
    } cases[] = { { "", { 0, 0 } }, { "<b></b>", { 1, 1 } }, { "<unknown attr=1>", { 1, 1 } },
        { "<p></i></font>", { 1, 1 } } };
    for (const auto& c : cases) {
        Render(c.markup);
        EXPECT_EQ(size.cx, c.size.cx) << c.markup;
        EXPECT_EQ(size.cy, c.size.cy) << c.markup;
        DrawExpected(expected, {});
        EXPECT_EQ(Differences(actual, expected), "") << c.markup;
        EXPECT_TRUE(renderer.GetPreparedText().empty()) << c.markup;
    }
}

TEST_F(LayoutFixture, OneLineMeasuresItsTextPlusOne)
{
    Render("Hello, world");
    const SIZE text = Extent(dc(), {}, "Hello, world");
    EXPECT_EQ(size.cx, text.cx + 1);
    EXPECT_EQ(size.cy, text.cy + 1);
    DrawExpected(expected, { { "Hello, world", 0, 0 } });
    EXPECT_EQ(Differences(actual, expected), "");
}

TEST_F(LayoutFixture, BracketsEntitiesAndIgnoredTags)
{
    const struct {
        const char* markup;
        const char* drawn;
    } cases[] = {
        { "&amp;lt;", "<" },
        { "a<<b", "a<b" },
        { "a<", "a<" },
        { "<>x", ">x" },
        { "&quot;&gt;&nbsp;", "\"> " },
        { "<B>x</B>", "x" },
        { "</b>x", "x" },
        { "<i><i>x</i></i>", "x" },
        { "<p>x</p>", "x" },
        { "<font color=Red>x</font>", "x" },
        { "<string idres=0>x<string idres=9999>", "x" },
        { "<bmp idres=1 width=50%>x<icon file=none.ico>", "x" },
    };
    for (const auto& c : cases)
        ExpectPicture(c.markup, { { c.drawn, 0, 0 } });
    // A "<" without a ">" anywhere after it is dropped; what follows is text.
    ExpectPicture("a<b", { { "a", 0, 0 }, { "b", Width("a"), 0 } });
}

TEST_F(LayoutFixture, TheEuroEntityDrawsTheEuroSign)
{
    Render("a&euro;b");
    expected.Fill(kWhite);
    gdi::Font font = MakeFont(expected.dc(), {});
    gdi::SelectGuard select(expected.dc(), font.get());
    ::SetBkMode(expected.dc(), TRANSPARENT);
    ::SetTextColor(expected.dc(), kBlack);
    const wchar_t text[] = { L'a', 0x20AC, L'b' };
    ::TextOutW(expected.dc(), 0, 0, text, 3);
    EXPECT_EQ(Differences(actual, expected), "");
}

TEST_F(LayoutFixture, StyleTagsAndTheirCloseRule)
{
    const Look bold { 800 }, bolder { 900 }, boldItalic { 800, true }, italic { 400, true },
        red { 400, false, RGB(255, 0, 0) };
    const Look blue { 400, false, RGB(0, 0, 255) };
    const int boldX = Width("X", boldItalic), boldY = Width("Y", boldItalic);
    // Baseline alignment: a run sits its font's ascent above the line's baseline.
    const int ascent = std::max(Metrics(dc(), boldItalic).tmAscent, Metrics(dc(), bold).tmAscent);
    const int topBold = ascent - Metrics(dc(), boldItalic).tmAscent, topBold2 = ascent - Metrics(dc(), bold).tmAscent;
    const struct {
        const char* markup;
        std::vector<Piece> pieces;
    } cases[] = {
        { "<b>x</b>", { { "x", 0, 0, bold } } },
        { "<b><b>x</b></b>", { { "x", 0, 0, bolder } } },
        { "<em>x</em>", { { "x", 0, 0, italic } } },
        // The close "b" is ignored while "italic" is on top; the close "i" restores the bold style.
        { "<b><i>X</b>Y</i>Z",
            { { "X", 0, topBold, boldItalic }, { "Y", boldX, topBold, boldItalic },
                { "Z", boldX + boldY, topBold2, bold } } },
        { "<font color=red>x</font>", { { "x", 0, 0, red } } },
        { "<font color=#FF0000>x", { { "x", 0, 0, red } } },
        { "<font style=b-i>x", { { "x", 0, 0, { 700 } } } },
        { "<i><font style=-i>x", { { "x", 0, 0 } } },
        { "<font weight=bold>x</font>", { { "x", 0, 0, { 700 } } } },
        { "<u>x</u>", { { "x", 0, 0, { 400, false, kBlack, true } } } },
        { "<a>x</a>", { { "x", 0, 0, blue } } },
        { "<a href=\"ftp://h\">x</a>y", { { "x", 0, 0, blue }, { "y", Width("x"), 0 } } },
    };
    for (const auto& c : cases)
        ExpectPicture(c.markup, c.pieces);
}

TEST_F(LayoutFixture, StyleTagsPastTheDeepestLevelChangeNothing)
{
    // With the body's level, the colours fill the stack; "b" is one level too deep, and its closing
    // tag closes only it.
    std::string markup;
    for (size_t i = 1; i < RixMarkupRenderer::kMaxStyleDepth; ++i)
        markup += "<font color=red>";
    markup += "<b>x</b>y";
    for (size_t i = 1; i < RixMarkupRenderer::kMaxStyleDepth; ++i)
        markup += "</font>";
    markup += "z";
    const Look red { 400, false, RGB(255, 0, 0) };
    ExpectPicture(markup.c_str(), { { "x", 0, 0, red }, { "y", Width("x"), 0, red }, { "z", Width("xy"), 0 } });
}

TEST_F(LayoutFixture, VerticalPlacementOnALineOfTwoSizes)
{
    // A big run and a small one: the line is as high as the largest ascent plus the largest descent.
    const Look big { 400, false, kBlack, false, 125 }, small {};
    const TEXTMETRICA bigMetrics = Metrics(dc(), big), smallMetrics = Metrics(dc(), small);
    const int ascent = std::max(bigMetrics.tmAscent, smallMetrics.tmAscent);
    const int descent = std::max(bigMetrics.tmDescent, smallMetrics.tmDescent);
    const int line = ascent + descent, bigTop = ascent - bigMetrics.tmAscent, x = Width("X", big);
    ASSERT_GT(bigMetrics.tmHeight, smallMetrics.tmHeight);
    const struct {
        const char* markup;
        int top;
    } cases[] = {
        { "<big>X</big><top>y</top>", 0 },
        { "<big>X</big><vcenter>y</vcenter>", (line - smallMetrics.tmHeight) / 2 },
        { "<big>X</big><middle>y</middle>", (line - smallMetrics.tmHeight) / 2 },
        { "<big>X</big><bottom>y</bottom>", line - smallMetrics.tmAscent },
        { "<big>X</big><top><baseline>y</baseline></top>", ascent - smallMetrics.tmAscent },
    };
    for (const auto& c : cases)
        ExpectPicture(c.markup, { { "X", 0, bigTop, big }, { "y", x, c.top, small } });
}

TEST_F(LayoutFixture, BackgroundsAndSwitchedOffColours)
{
    Render("<font bkgnd=yellow>x</font>");
    EXPECT_EQ(actual.Pixel(0, 0), RGB(255, 255, 0));
    Render("<font bkgnd=yellow><font bkgnd=transparent>x");
    EXPECT_EQ(actual.Pixel(0, 0), kWhite);

    renderer.EnableColours(false);
    renderer.SetDisabledTextColour(RGB(0, 128, 0));
    ExpectPicture("<font color=red bkgnd=yellow>x</font>", { { "x", 0, 0, { 400, false, RGB(0, 128, 0) } } });
    EXPECT_EQ(renderer.LookUpColour("red", 7), RGB(0, 128, 0));
}

TEST_F(LayoutFixture, BreaksAndNewlines)
{
    const int h = LineHeight();
    const struct {
        const char* markup;
        bool convert;
        std::vector<Piece> pieces;
        int height;
    } cases[] = {
        { "a\r\nb", true, { { "a", 0, 0 }, { "b", 0, h } }, 2 * h },
        { "a\r\nb", false, { { "ab", 0, 0 } }, h },
        { "a</br>b", true, { { "a", 0, 0 }, { "b", 0, h } }, 2 * h },
        { "a<br=2>b", true, { { "a", 0, 0 }, { "b", 0, 2 * h } }, 3 * h },
        { "a<br 2>b", true, { { "a", 0, 0 }, { "b", 0, h } }, 2 * h },
        { "a<br=0>b", true, { { "a", 0, 0 }, { "b", 0, h } }, 2 * h },
        // A break on an empty line still moves down by the font's height.
        { "<br>b", true, { { "b", 0, h } }, 2 * h },
    };
    for (const auto& c : cases) {
        renderer.SetConvertNewlines(c.convert);
        ExpectPicture(c.markup, c.pieces);
        EXPECT_EQ(size.cy, c.height + 1) << c.markup;
    }
}

TEST_F(LayoutFixture, TabsStopAtMultiplesOfTheStep)
{
    // A text narrower than one step, and one between one and two steps.
    std::string narrow = "m", wide = "m";
    while (Width(wide) <= 32)
        wide += "m";
    ASSERT_LT(Width(narrow), 32);
    ASSERT_LT(Width(wide), 64);
    const struct {
        std::string markup;
        std::vector<Piece> pieces;
    } cases[] = {
        { "<t>X", { { "X", 32, 0 } } },
        { "<t=0>X", { { "X", 32, 0 } } },
        { "<t=2>X", { { "X", 64, 0 } } },
        { "\tX", { { "X", 32, 0 } } },
        { narrow + "<t>X", { { narrow, 0, 0 }, { "X", 32, 0 } } },
        { wide + "<t>X", { { wide, 0, 0 }, { "X", 64, 0 } } },
        { wide + "<t=2>X", { { wide, 0, 0 }, { "X", 96, 0 } } },
    };
    for (const auto& c : cases)
        ExpectPicture(c.markup.c_str(), c.pieces);
}

TEST_F(LayoutFixture, AlignmentPlacesWholeLines)
{
    const int hi = Width("Hi"), a = Width("A "), b = Width("B"), h = LineHeight();
    const struct {
        const char* markup;
        std::vector<Piece> pieces;
    } cases[] = {
        { "<center>Hi</center>", { { "Hi", (kWidth - hi) / 2, 0 } } },
        { "<right>Hi</right>", { { "Hi", kWidth - hi, 0 } } },
        // Opened in the middle of a line: the whole line is centred.
        { "A <center>B</center>", { { "A ", (kWidth - a - b) / 2, 0 }, { "B", (kWidth - a - b) / 2 + a, 0 } } },
        { "<center>Hi</center><br>Hi", { { "Hi", (kWidth - hi) / 2, 0 }, { "Hi", 0, h } } },
    };
    for (const auto& c : cases)
        ExpectPicture(c.markup, c.pieces);
}

TEST_F(LayoutFixture, WrappingAtBreakCharactersAndBetweenCharacters)
{
    const int h = LineHeight();
    // Without a maximum width nothing wraps, however narrow the rectangle.
    ExpectPicture("one two three", { { "one two three", 0, 0 } }, 10);
    EXPECT_EQ(renderer.GetLineMetrics()[0].nWidth, Width("one two three"));
    EXPECT_EQ(renderer.GetLineMetrics()[0].nJustify, 0);

    const int wrap = Width("one two") - 1;
    renderer.SetWrapWidth(wrap);
    ExpectPicture("one two", { { "one", 0, 0 }, { "two", 0, h } }, wrap);
    EXPECT_EQ(size.cx, std::max(Width("one"), Width("two")) + 1);
    EXPECT_EQ(size.cy, 2 * h + 1);
    // A hyphen is a break character and stays with the first piece.
    renderer.SetWrapWidth(Width("ab-") + 2);
    ExpectPicture("ab-cd", { { "ab-", 0, 0 }, { "cd", 0, h } }, Width("ab-") + 2);

    // A word wider than the room is cut after the longest prefix that fits.
    const std::string word = "abcdefghijklmnop";
    const int room = Width("abcde") + 1;
    std::vector<Piece> pieces;
    for (size_t start = 0, line = 0; start < word.size(); ++line) {
        size_t length = 1;
        while (start + length < word.size() && Width(word.substr(start, length + 1)) <= room)
            ++length;
        pieces.push_back({ word.substr(start, length), 0, static_cast<int>(line) * h });
        start += length;
    }
    ASSERT_GT(pieces.size(), 2u);
    renderer.SetWrapWidth(room);
    ExpectPicture(word.c_str(), pieces, room);
    // The text is wider than the maximum: the measured width is the maximum.
    renderer.SetWrapWidth(5);
    Render("abc");
    EXPECT_EQ(size.cx, 6);
}

// The expected lines are drawn with the same SetTextJustification the renderer must use. Wine differs
// from Windows here: it ignores SetTextJustification in GetTextExtentPoint32 and TextOut, so under Wine
// this compares the line breaks, line records and positions only, and the stretch itself shows only
// on Windows.
TEST_F(LayoutFixture, JustifiedLinesStretchExceptTheLast)
{
    const std::vector<std::string> words = { "aa", "bbb", "c", "dddd", "ee", "f", "ggg", "hh", "iiii", "j" };
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    const int wrap = Width("aa bbb c dddd") + 3;
    // With a lead (a tab) in front of the text, the first line has that much less room.
    for (const int lead : { 0, 32 }) {
        // The lines as the words fill them, each as wide as fits.
        std::vector<std::string> lines(1);
        for (const std::string& word : words) {
            const std::string longer = lines.back().empty() ? word : lines.back() + " " + word;
            if (Width(longer) <= wrap - (lines.size() == 1 ? lead : 0))
                lines.back() = longer;
            else
                lines.push_back(word);
        }
        ASSERT_GE(lines.size(), 3u);
        std::vector<Piece> pieces;
        for (size_t i = 0; i < lines.size(); ++i) {
            const int x = i == 0 ? lead : 0;
            Piece piece { lines[i], x, static_cast<int>(i) * LineHeight() };
            if (i + 1 < lines.size()) {
                piece.justifyExtra = wrap - x - Width(lines[i]);
                piece.justifyBlanks = static_cast<int>(std::count(lines[i].begin(), lines[i].end(), ' '));
            }
            pieces.push_back(piece);
        }
        renderer.SetWrapWidth(wrap);
        ExpectPicture(((lead ? "<t>" : "") + ("<justify>" + text + "</justify>")).c_str(), pieces, wrap);
        const std::vector<LineMetrics>& metrics = renderer.GetLineMetrics();
        ASSERT_EQ(metrics.size(), lines.size() + 1) << "one more line started after the last";
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(metrics[i].nAlign, RIXALIGN_JUSTIFY) << i;
            EXPECT_EQ(metrics[i].nJustify, i + 1 < lines.size() ? 1 : 0) << i;
            EXPECT_EQ(metrics[i].nWidth, Width(lines[i]) + (i == 0 ? lead : 0)) << i;
        }
    }
}

TEST_F(LayoutFixture, RulesAndOverline)
{
    // A lone rule: 1 pixel counted for 100 %, then widened by 100 % of that; 1 + 8 pixels high.
    Render("<hr>");
    EXPECT_EQ(size.cx, 3);
    EXPECT_EQ(size.cy, 10);
    for (int x : { 0, kWidth / 2, kWidth - 2 })
        EXPECT_EQ(actual.Pixel(x, 4), kBlack) << x;
    EXPECT_EQ(actual.Pixel(kWidth / 2, 3), kWhite);
    EXPECT_EQ(actual.Pixel(kWidth / 2, 5), kWhite);

    Render("<hr width=50 size=3 color=red>");
    EXPECT_EQ(size.cx, 51);
    EXPECT_EQ(size.cy, 12);
    EXPECT_EQ(actual.Pixel(10, 5), RGB(255, 0, 0));
    EXPECT_EQ(actual.Pixel(10, 1), kWhite);
    EXPECT_EQ(actual.Pixel(60, 5), kWhite);

    Render("<hr width=50%>");
    EXPECT_EQ(actual.Pixel(kWidth / 2 - 2, 4), kBlack);
    EXPECT_EQ(actual.Pixel(kWidth / 2 + 2, 4), kWhite);

    const int w = Width("xxxx");
    Render("<font style=o>xxxx</font>");
    for (int x = 0; x < w - 1; ++x)
        EXPECT_EQ(actual.Pixel(x, 0), kBlack) << x;
    EXPECT_EQ(actual.Pixel(w + 2, 0), kWhite);
}

TEST_F(LayoutFixture, StringsTransformsAndLinks)
{
    char text[128] = "";
    ASSERT_GT(::LoadStringA(::GetModuleHandleA(nullptr), IDS_SOCKETS_INIT_FAILED, text, sizeof text), 0);
    ExpectPicture("<string idres=103>", { { text, 0, 0 } });

    renderer.LoadStyleSheet("body {font-size:10pt; font-family:verdana} .up {text-transform:uppercase} "
                            ".low {text-transform:lowercase} .cap {text-transform:capitalize}");
    const struct {
        const char* markup;
        const char* drawn;
    } transforms[] = {
        { "<span class=up>abc def</span>", "ABC DEF" },
        { "<span class=low>ABC Def</span>", "abc def" },
        { "<span class=cap>hello wORLD 2nd</span>", "Hello World 2nd" },
        { "<span class=none>abc</span>", "abc" },
    };
    for (const auto& c : transforms)
        ExpectPicture(c.markup, { { c.drawn, 0, 0 } });
    renderer.LoadStyleSheet(nullptr);

    const int link = Width("link"), h = LineHeight();
    Render("<a href=\"http://x/\">link</a> and <a>two</a>");
    const std::vector<HotArea>& areas = renderer.GetHotAreas();
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].nLinkKind, RIXLINK_SHELL);
    EXPECT_EQ(areas[0].strLinkText, "http://x/");
    EXPECT_EQ(areas[0].nLinkIndex, 0);
    EXPECT_EQ(areas[0].rect.left, 0);
    EXPECT_EQ(areas[0].rect.right, link);
    EXPECT_EQ(areas[0].rect.bottom - areas[0].rect.top, h);
    EXPECT_EQ(areas[1].nLinkKind, RIXLINK_MESSAGE);
    EXPECT_EQ(areas[1].strLinkText, "");
    EXPECT_EQ(areas[1].nLinkIndex, 1);
    EXPECT_EQ(areas[1].rect.left, Width("link and "));
}

TEST_F(LayoutFixture, DeviceContextIsPutBack)
{
    gdi::Font font(::CreateFontA(20, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
    gdi::Pen pen(::CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
    gdi::SelectGuard selectFont(dc(), font.get());
    gdi::SelectGuard selectPen(dc(), pen.get());
    ::SetTextColor(dc(), RGB(10, 20, 30));
    ::SetBkColor(dc(), RGB(40, 50, 60));
    ::SetBkMode(dc(), OPAQUE);
    ::SetTextAlign(dc(), TA_BASELINE | TA_RIGHT);
    SIZE before {};
    ::GetTextExtentPoint32A(dc(), "a b c", 5, &before);
    const int live = gdi::LiveObjects();

    renderer.SetWrapWidth(Width("aa bb cc") + 2);
    Render("<justify><b><font color=red bkgnd=yellow>aa bb cc dd ee ff</font></b></justify><hr><a>l</a> "
           "<font style=o>o</font>");
    EXPECT_EQ(::GetCurrentObject(dc(), OBJ_FONT), font.get());
    EXPECT_EQ(::GetCurrentObject(dc(), OBJ_PEN), pen.get());
    EXPECT_EQ(::GetTextColor(dc()), RGB(10, 20, 30));
    EXPECT_EQ(::GetBkColor(dc()), RGB(40, 50, 60));
    EXPECT_EQ(::GetBkMode(dc()), OPAQUE);
    EXPECT_EQ(::GetTextAlign(dc()), static_cast<UINT>(TA_BASELINE | TA_RIGHT));
    SIZE after {};
    ::GetTextExtentPoint32A(dc(), "a b c", 5, &after);
    EXPECT_EQ(after.cx, before.cx) << "text justification left behind";
    // The renderer keeps its fonts for the next pass and lets them go with its style sheet.
    EXPECT_EQ(gdi::LiveObjects(), live + static_cast<int>(renderer.CachedFontCount())) << "a font or pen left alive";
    renderer.LoadStyleSheet(nullptr);
    EXPECT_EQ(gdi::LiveObjects(), live) << "a kept font left alive";
}

TEST_F(LayoutFixture, FontsAreMadeOnceAndStayBounded)
{
    const int live = gdi::LiveObjects();
    const HGDIOBJ callerFont = ::GetCurrentObject(dc(), OBJ_FONT);
    const char* markup = "<b>bold</b> plain <i>italic</i> <b>again</b>";
    for (int pass = 0; pass < 3; ++pass) {
        Render(markup);
        EXPECT_EQ(gdi::LiveObjects() - live, 3) << "pass " << pass << ": body, bold and italic fonts";
    }
    // Far more sizes than the renderer keeps: the oldest go, none is left over.
    std::string sizes;
    for (int height = 8; height < 80; ++height)
        sizes += "<font size=" + std::to_string(height) + "px>a</font>";
    Render(sizes.c_str());
    EXPECT_LE(renderer.CachedFontCount(), 32u);
    EXPECT_EQ(gdi::LiveObjects() - live, static_cast<int>(renderer.CachedFontCount()));
    EXPECT_EQ(::GetCurrentObject(dc(), OBJ_FONT), callerFont);
    // Fonts kept from earlier passes draw as freshly made ones.
    ExpectPicture("<b>bold</b> plain", { { "bold", 0, 0, { 700 } }, { " plain", Width("bold", { 700 }), 0 } });
}

TEST_F(LayoutFixture, HostileCountsAndSizesStayBounded)
{
    const int h = LineHeight();
    Render("a<br=99999999>b");
    EXPECT_EQ(size.cy, (RixMarkupRenderer::kMaxRepeat + 1) * h + 1);
    Render("<t=4294967295>b");
    EXPECT_EQ(size.cx, RixMarkupRenderer::kMaxRepeat * 32 + Width("b") + 1);
    Render("<font size=99999999px>x</font>");
    EXPECT_LE(size.cy, RixMarkupRenderer::kMaxFontHeight + 1);
    EXPECT_GT(size.cy, RixMarkupRenderer::kMaxFontHeight / 2);
    Render("<hr size=4000000000 width=4000000000>");
    EXPECT_EQ(size.cy, RixMarkupRenderer::kMaxRuleThickness + 8 + 1);
    // A long run without a break character: cut into lines of as many characters as fit.
    const int wrap = 100;
    int perLine = 1;
    while (Width(std::string(perLine + 1, 'm')) <= wrap)
        ++perLine;
    const int length = 20000;
    renderer.SetWrapWidth(wrap);
    Render(std::string(length, 'm').c_str());
    EXPECT_EQ(size.cy, (length + perLine - 1) / perLine * h + 1);
    EXPECT_EQ(size.cx, Width(std::string(perLine, 'm')) + 1);
    renderer.SetWrapWidth(0);
    std::string deep;
    for (int i = 0; i < 3000; ++i)
        deep += "<b><i><span class=x>";
    Render((deep + "x").c_str());
    EXPECT_EQ(size.cy, Extent(dc(), { 900, false }, "x").cy + 1);
}

} // namespace

TEST_F(LayoutFixture, MeasuredWidthsAreThePlatformsForEveryCharacter)
{
    std::string all;
    for (int c = 32; c < 256; ++c)
        all += static_cast<char>(c == '<' || c == '&' ? 'x' : c);
    const struct {
        const char* open;
        Look look;
        int characterExtra;
    } cases[] = { { "", {}, 0 }, { "<b>", { 700 }, 0 }, { "<i>", { 400, true }, 0 }, { "<b><i>", { 700, true }, 0 },
        // Space the caller put between characters is counted as the platform counts it.
        { "", {}, 3 }, { "<b>", { 700 }, 2 } };
    for (const auto& c : cases) {
        ::SetTextCharacterExtra(dc(), c.characterExtra);
        const std::string markup = c.open + all;
        SIZE measured {};
        renderer.MeasureMarkup(dc(), markup.c_str(), measured);
        const SIZE text = Extent(dc(), c.look, all);
        ::SetTextCharacterExtra(dc(), 0);
        EXPECT_EQ(measured.cx, text.cx + 1) << c.open << " extra " << c.characterExtra;
        EXPECT_EQ(measured.cy, text.cy + 1) << c.open << " extra " << c.characterExtra;
    }
}
