// Text preparation, the tokenizer, the attribute reader, the tag table and the image attributes.
#include "markup/MarkupText.h"
#include "Dib.h"
#include "draw/RixEffectPainter.h"
#include "markup/ImageParams.h"
#include "markup/MarkupTags.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MarkupTextTest, EveryEntityIsReplaced)
{
    const RixEntityTable entities = MakeEntityTable();
    const struct {
        const char* entity;
        const char* replacement;
    } cases[] = {
        { "&amp;", "&" },
        { "&bull;", "\x95" },
        { "&copy;", "\xA9" },
        { "&euro;", nullptr }, // the code page's own, below
        { "&gt;", ">" },
        { "&iquest;", "\xBF" },
        { "&lt;", "<<" },
        { "&nbsp;", " " },
        { "&para;", "\xB6" },
        { "&pound;", "\xA3" },
        { "&quot;", "\"" },
        { "&reg;", "\xAE" },
        { "&trade;", "\x99" },
    };
    EXPECT_EQ(entities.size(), 13u);
    // The euro sign as the text's code page writes it.
    char euro[8] = {};
    const wchar_t wide = 0x20AC;
    ASSERT_GT(::WideCharToMultiByte(CP_ACP, 0, &wide, 1, euro, sizeof euro, nullptr, nullptr), 0);
    for (const auto& c : cases) {
        const std::string replacement = c.replacement ? c.replacement : euro;
        EXPECT_EQ(PrepareMarkupText(std::string("a") + c.entity + c.entity + "b", entities, true),
            "a" + replacement + replacement + "b")
            << c.entity;
    }
}

TEST(MarkupTextTest, TheEuroSignIsTheCodePagesOwn)
{
    const struct {
        UINT codePage;
        const char* euro;
    } cases[] = {
        { 1252, "\x80" }, // Western: 0x88 would be a circumflex there
        { 1250, "\x80" },
        { 1251, "\x88" },
        { 1253, "\x80" },
        { 874, "\x80" },
        { 65001, "\xE2\x82\xAC" },
        // A code page without a euro sign.
        { 437, "EUR" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeEntityTable(c.codePage).at("&euro;"), c.euro) << c.codePage;
}

TEST(MarkupTextTest, PreparationOrderAndLineEnds)
{
    const RixEntityTable entities = MakeEntityTable();
    const struct {
        const char* text;
        bool convert;
        const char* expected;
    } cases[] = {
        // "&amp;" goes first, so what it leaves behind is read by the entities after it.
        { "&amp;lt;", true, "<<" },
        { "&amp;amp;", true, "&amp;" },
        { "&amp;quot;&amp;", true, "\"&" },
        // "&gt;" comes before "&lt;" in the table: what "&amp;" makes of "&amp;gt;" is still replaced.
        { "&amp;gt;", true, ">" },
        { "&LT;&lt", true, "&LT;&lt" },
        { "a\r\nb\tc", true, "a<br>b<t>c" },
        { "a\r\nb\tc", false, "abc" },
        { "\r\r", true, "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrepareMarkupText(c.text, entities, c.convert), c.expected) << c.text;
}

TEST(MarkupTextTest, Tokenizer)
{
    struct Token {
        std::string run;
        std::string tag;
        bool hasTag;
        bool operator==(const Token&) const = default;
    };
    const struct {
        const char* text;
        std::vector<Token> tokens;
    } cases[] = {
        { "plain", { { "plain", "", false } } },
        { "a<b>c", { { "a", "b", true }, { "c", "", false } } },
        { "a<<b", { { "a<b", "", false } } },
        { "a<", { { "a<", "", false } } },
        { "<<<", { { "<<", "", false } } },
        { "x<>y", { { "x", "", true }, { ">y", "", false } } },
        { "a<b c", { { "a", "", true }, { "b c", "", false } } },
        { "<font color=red>x</font>", { { "", "font color=red", true }, { "x", "/font", true } } },
        { "a<<<i>b", { { "a<", "i", true }, { "b", "", false } } },
        // A tag runs to the next ">", over other brackets; after the last ">" no "<" opens a tag.
        { "<a<b>c", { { "", "a<b", true }, { "c", "", false } } },
        { "<p<q<r>s<t", { { "", "p<q<r", true }, { "s", "", true }, { "t", "", false } } },
        { "<a<a<a>x<a<a", { { "", "a<a<a", true }, { "x", "", true }, { "a", "", true }, { "a", "", false } } },
    };
    for (const auto& c : cases) {
        // Step by step, and with the tokenizer that remembers where the next ">" is: the same tokens.
        std::vector<Token> tokens, remembered;
        size_t pos = 0;
        const std::string_view text = c.text;
        while (pos < text.size() && tokens.size() < 10) {
            const MarkupToken token = NextMarkupToken(text, pos);
            tokens.push_back(Token { token.strRun, std::string(token.tagText), token.bHasTag });
        }
        RixMarkupTokenizer tokenizer(text);
        while (!tokenizer.AtEnd() && remembered.size() < 10) {
            const MarkupToken token = tokenizer.Next();
            remembered.push_back(Token { token.strRun, std::string(token.tagText), token.bHasTag });
        }
        EXPECT_EQ(tokens, c.tokens) << c.text;
        EXPECT_EQ(remembered, c.tokens) << c.text;
    }
}

TEST(MarkupTextTest, TagSplitAndAttributes)
{
    const struct {
        const char* tag;
        const char* name;
        const char* params;
        bool closing;
    } splits[] = {
        { "b", "b", "", false },
        { "/b", "b", "", true },
        { "br=3", "br", "=3", false },
        { "br 3", "br", "3", false },
        { "font  color=red size=2", "font", "color=red size=2", false },
        { "/", "", "", true },
    };
    for (const auto& s : splits) {
        const MarkupTagText tag = SplitTagText(s.tag);
        EXPECT_EQ(tag.name, s.name) << s.tag;
        EXPECT_EQ(tag.params, s.params) << s.tag;
        EXPECT_EQ(tag.bClosing, s.closing) << s.tag;
    }

    using Pairs = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* params;
        Pairs attributes;
    } cases[] = {
        { "color=red size=2", { { "color", "red" }, { "size", "2" } } },
        { "face = 'Courier New' b", { { "face", "Courier New" }, { "b", "" } } },
        { "href=\"a b\"msg=x", { { "href", "a b" }, { "msg", "x" } } },
        { "x==  5", { { "x", "5" } } },
        { "-- !! .y=1", { { ".y", "1" } } },
        { "open='never closed", { { "open", "never closed" } } },
        { "", {} },
        { "=3", { { "3", "" } } },
    };
    for (const auto& c : cases) {
        Pairs attributes;
        size_t pos = 0;
        std::string_view name, value;
        while (NextMarkupAttribute(c.params, pos, name, value) && attributes.size() < 10)
            attributes.emplace_back(name, value);
        EXPECT_EQ(attributes, c.attributes) << c.params;
    }
}

TEST(MarkupTextTest, TagTable)
{
    const RixTagTable tags = MakeTagTable();
    EXPECT_EQ(tags.size(), 40u);
    const struct {
        const char* name;
        RixTag tag;
        const char* level;
    } cases[] = {
        { "b", RixTag::Bold, "bold" },
        { "i", RixTag::Italic, "italic" },
        { "em", RixTag::Italic, "italic" },
        { "u", RixTag::Underline, "underline" },
        { "s", RixTag::StrikeOut, "strikeout" },
        { "strike", RixTag::StrikeOut, "strikeout" },
        { "font", RixTag::Font, "font" },
        { "left", RixTag::AlignLeft, "left" },
        { "center", RixTag::AlignCenter, "center" },
        { "right", RixTag::AlignRight, "right" },
        { "justify", RixTag::AlignJustify, "justify" },
        { "baseline", RixTag::Baseline, "baseline" },
        { "top", RixTag::Top, "top" },
        { "vcenter", RixTag::VCenter, "vcenter" },
        { "middle", RixTag::VCenter, "vcenter" },
        { "bottom", RixTag::Bottom, "vcenter" },
        { "body", RixTag::SheetRule, "body" },
        { "h1", RixTag::SheetRule, "h1" },
        { "h2", RixTag::SheetRule, "h2" },
        { "h3", RixTag::SheetRule, "h3" },
        { "h4", RixTag::SheetRule, "h4" },
        { "h5", RixTag::SheetRule, "h5" },
        { "h6", RixTag::SheetRule, "h6" },
        { "code", RixTag::SheetRule, "code" },
        { "pre", RixTag::SheetRule, "pre" },
        { "big", RixTag::SheetRule, "big" },
        { "small", RixTag::SheetRule, "small" },
        { "sub", RixTag::SheetRule, "sub" },
        { "sup", RixTag::SheetRule, "sup" },
        { "span", RixTag::Span, "span" },
        { "a", RixTag::Link, "link" },
        { "hr", RixTag::Rule, "" },
        { "br", RixTag::Break, "" },
        { "\n", RixTag::Break, "" },
        { "t", RixTag::Tab, "" },
        { "\t", RixTag::Tab, "" },
        { "bmp", RixTag::Bitmap, "" },
        { "icon", RixTag::Icon, "" },
        { "ilst", RixTag::ImageStrip, "" },
        { "string", RixTag::String, "" },
    };
    for (const auto& c : cases) {
        const auto found = tags.find(c.name);
        ASSERT_NE(found, tags.end()) << c.name;
        EXPECT_EQ(found->second.tag, c.tag) << c.name;
        EXPECT_EQ(found->second.level, c.level) << c.name;
    }
    for (const char* absent : { "B", "p", "table", "tr", "td", "img", "" })
        EXPECT_EQ(tags.count(absent), 0u) << absent;
}

TEST(MarkupTextTest, ImageAttributes)
{
    Dib dib(4, 4);
    RixColourTable colours;
    RixValueContext context;
    context.hDC = dib.dc();
    context.colours = RixColourContext { &colours, true, RGB(1, 2, 3) };
    const RixShadowSettings shadow;

    const ImageParams none = ReadImageParams("", context, shadow);
    EXPECT_EQ(none.crMask, 0x00FF00FFu);
    EXPECT_FALSE(none.bMask);
    EXPECT_TRUE(none.bWidthPercent && none.bHeightPercent);
    EXPECT_EQ(none.nWidth, 100);

    const ImageParams image = ReadImageParams("index=2 idres=0x81 iddll=7 handle=0x1A2B file='C:\\a b.bmp' "
                                              "srcdll=x.dll mask=lime style=gqs hotstyle=l cx=16 cy=12 "
                                              "width=50% height=30 speed=3 unknown=1",
        context, shadow);
    EXPECT_EQ(image.nIndex, 2);
    EXPECT_EQ(image.nIdRes, 0x81);
    EXPECT_EQ(image.nIdDll, 7);
    EXPECT_EQ(image.nHandle, 0x1A2Bu);
    EXPECT_EQ(image.strFile, "C:\\a b.bmp");
    EXPECT_EQ(image.strSrcDll, "x.dll");
    EXPECT_TRUE(image.bMask);
    EXPECT_EQ(image.crMask, RGB(0, 255, 0));
    EXPECT_EQ(image.dwStyle, EFFECT_GREY | EFFECT_SOFTSHADOW);
    EXPECT_EQ(image.dwHotStyle, EFFECT_LIGHTER);
    EXPECT_EQ(image.cx, 16);
    EXPECT_EQ(image.cy, 12);
    EXPECT_EQ(image.nWidth, 50);
    EXPECT_TRUE(image.bWidthPercent);
    EXPECT_EQ(image.nHeight, 30);
    EXPECT_FALSE(image.bHeightPercent);
    EXPECT_EQ(image.nSpeed, 3);

    const struct {
        const char* letters;
        int offsetX, offsetY;
        bool soft;
        DWORD expected;
    } letters[] = {
        { "gdl", 4, 4, true, EFFECT_GREY | EFFECT_DARKER | EFFECT_LIGHTER },
        { "s", 4, 4, true, EFFECT_SOFTSHADOW },
        { "s", 4, 4, false, EFFECT_SHADOW },
        { "s", 0, 0, true, 0 },
        { "s", 0, 2, false, EFFECT_SHADOW },
        { "GxS", 4, 4, true, 0 },
    };
    for (const auto& c : letters) {
        RixShadowSettings settings;
        settings.nOffsetX = c.offsetX;
        settings.nOffsetY = c.offsetY;
        settings.bSoftShadow = c.soft;
        EXPECT_EQ(ParseEffectLetters(c.letters, settings), c.expected) << c.letters;
    }
    // The transparent colour is a key: switched-off colours leave it alone.
    context.colours.bNormalColours = false;
    EXPECT_EQ(ReadImageParams("mask=lime", context, shadow).crMask, RGB(0, 255, 0));
}

} // namespace
