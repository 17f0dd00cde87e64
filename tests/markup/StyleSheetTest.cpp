// The style sheet, the value parsers and the colour table, read against a real device context.
#include "markup/StyleSheet.h"
#include "Dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

struct SheetFixture : ::testing::Test {
    Dib dib { 16, 16 };
    RixColourTable colours;
    RixValueContext Context(bool bNormal = true) const
    {
        RixValueContext context;
        context.hDC = dib.dc();
        context.colours = RixColourContext { &colours, bNormal, RGB(1, 2, 3) };
        return context;
    }
    int Dpi() const { return ::GetDeviceCaps(dib.dc(), LOGPIXELSY); }
};

TEST_F(SheetFixture, DefaultSheetHoldsSeventeenRulesVerbatim)
{
    RixStyleSheet sheet;
    sheet.Load(nullptr);
    EXPECT_EQ(sheet.Size(), 17u);
    // The first, one with quotes, one with a colon in its selector, the last (selected by class).
    const struct {
        const char* selector;
        const char* body;
    } rules[] = {
        { "body", "font-size: 10pt; color:black; font-family:Verdana" },
        { "pre", "font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb" },
        { "a:hover", "text-decoration:underline; color:blue" },
        { ".cpp-comment", "color:green; font-style:italic" },
    };
    for (const auto& rule : rules) {
        const std::string* body = sheet.Find(rule.selector);
        ASSERT_NE(body, nullptr) << rule.selector;
        EXPECT_EQ(*body, rule.body) << rule.selector;
    }
    // Every rule line ends with a carriage return and line feed.
    const std::string text = kDefaultStyleSheet;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 17);
    EXPECT_EQ(text.find("}\r\np {"), text.find('}'));
}

TEST_F(SheetFixture, SheetParsingSkipsMalformedRulesAndReplacesRepeatedSelectors)
{
    RixStyleSheet sheet;
    sheet.Load("H1 {color:red} h1 {font-size:3} empty {} h2, h3 {color:blue} #x {a:b} tail {never closed");
    EXPECT_EQ(sheet.Size(), 3u);
    ASSERT_NE(sheet.Find("h1"), nullptr);
    EXPECT_EQ(*sheet.Find("h1"), "font-size:3");
    EXPECT_EQ(sheet.Find("empty"), nullptr);
    // A selector list is not understood: the first name keeps its comma.
    ASSERT_NE(sheet.Find("h2,"), nullptr);
    EXPECT_EQ(*sheet.Find("h2,"), "color:blue");
    EXPECT_EQ(sheet.Find("h3"), nullptr);
    // "#" is skipped, the selector is "x".
    EXPECT_NE(sheet.Find("x"), nullptr);
    EXPECT_EQ(sheet.Find("tail"), nullptr);

    sheet.Load(nullptr);
    sheet.Store("h1", "color:red");
    TextStyle style;
    sheet.Apply("H1", style, Context());
    EXPECT_EQ(style.crText, RGB(255, 0, 0));
    EXPECT_EQ(style.nFontHeight, 16) << "the whole default h1 rule is replaced";
    EXPECT_EQ(style.nFontWeight, 400);
}

TEST_F(SheetFixture, SizeParser)
{
    const int dpi = Dpi();
    TEXTMETRICA tm {};
    ::GetTextMetricsA(dib.dc(), &tm);
    SIZE x {};
    ::GetTextExtentPoint32A(dib.dc(), "x", 1, &x);
    const struct {
        const char* value;
        int current;
        bool font;
        int expected;
    } cases[] = {
        { "", 17, true, 17 },
        { "65%", 13, false, 8 },
        { "125%", 16, false, 20 },
        { "-50%", 16, false, 0 },
        { "10pt", 0, true, 10 * dpi / 72 },
        { "12px", 0, false, 12 },
        { "2em", 0, false, 2 * tm.tmHeight },
        { "3ex", 0, false, 3 * static_cast<int>(x.cy) },
        { "1in", 0, false, dpi },
        { "2cm", 0, false, static_cast<int>(2 * dpi * 0.39370078740157477) },
        { "25mm", 0, false, static_cast<int>(25 * dpi * 0.03937007874015748) },
        { "2pc", 0, false, 2 * dpi / 6 },
        { "3", 0, true, 12 },
        { "1", 0, true, 8 },
        { "7", 0, true, 36 },
        { "8", 0, true, 8 },
        { "3", 0, false, 3 },
        { "-2", 0, true, 10 },
        { "+5", 0, false, 5 },
        { "010", 0, false, 8 },
        { "0x1F", 0, false, 31 },
        { "08", 0, false, 0 },
        { "abc", 5, false, 0 },
        { "99999999999", 0, false, kMaxMarkupSize },
        { "99999999999pt", 0, false, kMaxMarkupSize },
        { "4294967295%", 100, false, kMaxMarkupSize },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSize(Context(), c.value, c.current, c.font), c.expected) << c.value;
    EXPECT_EQ(ParseWidthKeyword(Context(), "thin", 8), 6);
    EXPECT_EQ(ParseWidthKeyword(Context(), "thick", 8), 10);
    EXPECT_EQ(ParseWidthKeyword(Context(), "medium", 8), 8);
    EXPECT_EQ(ParseWidthKeyword(Context(), "4px", 8), 4);
}

TEST_F(SheetFixture, ColourParser)
{
    const COLORREF fallback = RGB(9, 9, 9);
    const struct {
        const char* value;
        COLORREF expected;
    } cases[] = {
        { "", fallback },
        { "#ff9900", 0x000099FF },
        { "#FF9900", 0x000099FF },
        { "#f90", fallback },
        { "#ff99000", fallback },
        { "#ff99zz", RGB(0, 0xFF, 0x99) },
        { "255", RGB(255, 0, 0) },
        { "0xFF", RGB(255, 0, 0) },
        { "010", 8 },
        { "red", RGB(255, 0, 0) },
        { "Red", fallback },
        { "red ", fallback },
        { "nosuchcolour", fallback },
        { "darkseagreen", 0x008BBC8F },
        { "lightgrey", RGB(0xD3, 0xD3, 0xD3) },
        { "lightgray", fallback },
        { "buttonface", ::GetSysColor(COLOR_BTNFACE) },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseColour(Context().colours, c.value, fallback), c.expected) << c.value;
    EXPECT_EQ(ParseColour(Context(false).colours, "red", fallback), RGB(1, 2, 3));
    EXPECT_EQ(ParseColour(Context(false).colours, "", fallback), fallback);
    EXPECT_EQ(LookUpColour(Context(false).colours, "nosuchcolour", fallback), RGB(1, 2, 3));
}

TEST_F(SheetFixture, ColourTableHasEveryNameOnce)
{
    EXPECT_EQ(colours.Size(), 168u);
    // A sample across the table, each checked against its web value.
    const struct {
        const char* name;
        COLORREF expected;
    } named[] = {
        { "red", 0x000000FF },
        { "orange", 0x0000A5FF },
        { "gold", 0x0000D7FF },
        { "navy", 0x00800000 },
        { "lightgrey", 0x00D3D3D3 },
        { "aliceblue", RGB(0xF0, 0xF8, 0xFF) },
        { "yellowgreen", RGB(0x9A, 0xCD, 0x32) },
        { "rebeccapurple", CLR_INVALID },
        { "grey", CLR_INVALID },
        { "mediumvioletred", RGB(0xC7, 0x15, 0x85) },
        { "lightgoldenrodyellow", RGB(0xFA, 0xFA, 0xD2) },
        { "darkslategray", RGB(0x2F, 0x4F, 0x4F) },
        { "papayawhip", RGB(0xFF, 0xEF, 0xD5) },
    };
    for (const auto& c : named) {
        COLORREF color = CLR_INVALID;
        colours.Find(c.name, color);
        EXPECT_EQ(color, c.expected) << c.name;
    }
    const struct {
        const char* name;
        int index;
    } system[] = {
        { "activeborder", COLOR_ACTIVEBORDER },
        { "infobackground", COLOR_INFOBK },
        { "threedface", COLOR_BTNFACE },
        { "threedlightshadow", COLOR_3DLIGHT },
        { "threeddarkshadow", COLOR_3DDKSHADOW },
        { "windowtext", COLOR_WINDOWTEXT },
        { "graytext", COLOR_GRAYTEXT },
        { "inactivecaptiontext", COLOR_INACTIVECAPTIONTEXT },
    };
    for (const auto& c : system) {
        COLORREF color = CLR_INVALID;
        EXPECT_TRUE(colours.Find(c.name, color)) << c.name;
        EXPECT_EQ(color, ::GetSysColor(c.index)) << c.name;
    }
}

TEST_F(SheetFixture, DeclarationTable)
{
    using Field = std::function<int(const TextStyle&)>;
    const Field height = [](const TextStyle& s) { return s.nFontHeight; };
    const Field weight = [](const TextStyle& s) { return s.nFontWeight; };
    const Field italic = [](const TextStyle& s) { return s.bItalic; };
    const Field align = [](const TextStyle& s) { return s.nHorzAlign; };
    const Field valign = [](const TextStyle& s) { return s.nVertAlign; };
    const Field transform = [](const TextStyle& s) { return s.nTextTransform; };
    const Field text = [](const TextStyle& s) { return static_cast<int>(s.crText); };
    const Field bkmode = [](const TextStyle& s) { return s.nBackgroundMode; };
    const Field bkcolour = [](const TextStyle& s) { return static_cast<int>(s.crBackground); };
    const Field decoration = [](const TextStyle& s) { return s.bUnderline * 4 + s.bStrikeOut * 2 + s.bOverline; };
    const Field border = [](const TextStyle& s) { return s.nBorderWidth * 10 + s.nBorderStyle; };
    const Field borderColours = [](const TextStyle& s) {
        return static_cast<int>(s.crBorderLight == s.crBorderDark ? s.crBorderLight : CLR_INVALID);
    };
    const Field margin = [](const TextStyle& s) { return s.nMargin * 100 + s.nPadding; };
    const int dpi = Dpi();
    const struct {
        const char* declarations;
        const Field& field;
        int expected;
    } cases[] = {
        { "font-size: 10pt", height, 10 * dpi / 72 },
        { "FONT-SIZE: 3", height, 12 },
        { "font-size:65%", height, 10 },
        { "font-weight:bold", weight, 700 },
        { "font-weight:bolder", weight, 900 },
        { "font-weight:lighter", weight, 100 },
        { "font-weight:", weight, 400 },
        { "font-weight:600x", weight, 600 },
        { "font-weight:heavy", weight, 0 },
        { "font-style:italic", italic, 1 },
        { "font-style:oblique", italic, 1 },
        { "font-style:slanted", italic, 0 },
        { "text-align:center", align, 1 },
        { "text-align:right", align, 2 },
        { "text-align:justify", align, 0 },
        { "vertical-align:middle", valign, 1 },
        { "vertical-align:vcenter", valign, 1 },
        { "vertical-align:top", valign, 0 },
        { "vertical-align:bottom", valign, 2 },
        { "vertical-align:sideways", valign, 3 },
        { "text-transform:uppercase", transform, 1 },
        { "text-transform:lowercase", transform, 2 },
        { "text-transform:capitalize", transform, 3 },
        { "color:#ff9900", text, 0x000099FF },
        { "color:#f90", text, 0 },
        { "color:Red", text, 0x0000FF },
        { "color:red ;", text, 0 },
        { "color: 255", text, 0x0000FF },
        { "color:010", text, 8 },
        { "background-color:transparent", bkmode, TRANSPARENT },
        { "background-color:yellow", bkmode, OPAQUE },
        { "background-color:yellow", bkcolour, 0x00FFFF },
        { "text-decoration:underline overline", decoration, 5 },
        { "text-decoration:line-through,underline", decoration, 6 },
        { "text-decoration:blink", decoration, 0 },
        { "border-width:0", border, 0 },
        { "border-width:3", border, 31 },
        { "size:2", border, 21 },
        { "border-style:dashed", border, 12 },
        { "border-style:double", border, 16 },
        { "border-style:wavy", border, 0 },
        { "border-width:4; border-width:thin", border, 31 },
        { "border-color:red", borderColours, 0x0000FF },
        { "margin:5; padding:7", margin, 507 },
        { "color red", text, 0 },
        { "font-family: \"Courier\"; color:blue", text, 0xFF0000 },
    };
    for (const auto& c : cases) {
        TextStyle style;
        style.nFontHeight = 16;
        ApplyDeclarations(c.declarations, style, Context());
        EXPECT_EQ(c.field(style), c.expected) << c.declarations;
    }
    TextStyle style;
    ApplyDeclarations("font-family: \"Courier New\"", style, Context());
    EXPECT_EQ(style.strFontFace, "courier new");
    ApplyDeclarations("font-family:", style, Context());
    EXPECT_EQ(style.strFontFace, "courier new");

    TextStyle disabled;
    ApplyDeclarations("color:red; background-color:yellow; border-color:blue", disabled, Context(false));
    EXPECT_EQ(disabled.crText, RGB(1, 2, 3));
    EXPECT_EQ(disabled.crBorderLight, RGB(1, 2, 3));
    EXPECT_EQ(disabled.nBackgroundMode, TRANSPARENT);
}

TEST(TextStyleTest, ResetKeepsCellSizeOnly)
{
    TextStyle style;
    style.nWidth = 40;
    style.nHeight = 30;
    style.nFontHeight = 99;
    style.strFontFace = "Arial";
    style.nLinkKind = 2;
    style.Reset();
    EXPECT_EQ(style.nWidth, 40);
    EXPECT_EQ(style.nHeight, 30);
    EXPECT_EQ(style.nFontHeight, 16);
    EXPECT_EQ(style.strFontFace, "Verdana");
    EXPECT_EQ(style.nLinkKind, 0);
    EXPECT_EQ(style.nVertAlign, 3);
    EXPECT_EQ(style.nMargin, 2);
    EXPECT_EQ(style.nFillEffect, -1);
    EXPECT_EQ(style.crFillEnd, 0x00FFFFFFu);
}

} // namespace
