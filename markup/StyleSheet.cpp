#include "markup/StyleSheet.h"

#include <algorithm>

const char kDefaultStyleSheet[] = "body {font-size: 10pt; color:black; font-family:Verdana}\r\n"
                                  "p {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
                                  "h1 {font-size: 14pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
                                  "h2 {font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
                                  "h3 {font-size: 12pt; color:#ff9900; font-family:Arial; font-weight:bold}\r\n"
                                  "h4 {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
                                  "h5 {font-size: 9pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
                                  "h6 {font-size: 65%; color:#626262; font-family:Verdana; font-weight:normal}\r\n"
                                  "pre {font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb}\r\n"
                                  "code {color:#990000; font-family:Arial}\r\n"
                                  "a:link {text-decoration:none; color:blue}\r\n"
                                  "a:hover {text-decoration:underline; color:blue}\r\n"
                                  "sub {font-size:65%; vertical-align:bottom}\r\n"
                                  "sup {font-size:65%; vertical-align:top}\r\n"
                                  "big {font-size:125%}\r\n"
                                  "small {font-size:75%}\r\n"
                                  ".cpp-comment {color:green; font-style:italic}\r\n";

namespace {

bool IsNameStart(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.';
}

size_t SkipToNameStart(std::string_view text, size_t pos)
{
    while (pos < text.size() && !IsNameStart(text[pos]))
        ++pos;
    return pos;
}

void ApplyTextDecoration(std::string_view value, TextStyle& style)
{
    if (value.empty())
        value = "none";
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t end = std::min(value.find_first_of(" ,", pos), value.size());
        const std::string_view word = value.substr(pos, end - pos);
        if (word == "none")
            style.bUnderline = style.bStrikeOut = style.bOverline = 0;
        else if (word == "underline")
            style.bUnderline = 1;
        else if (word == "line-through")
            style.bStrikeOut = 1;
        else if (word == "overline")
            style.bOverline = 1;
        pos = end + 1;
    }
}

void ApplyDeclaration(
    std::string_view property, std::string_view value, TextStyle& style, const RixValueContext& context)
{
    if (property == "font-size") {
        style.nFontHeight = ParseSize(context, value, style.nFontHeight, true);
    } else if (property == "font-family") {
        if (!value.empty())
            style.strFontFace = value;
    } else if (property == "font-style") {
        if (value.empty() || value == "normal")
            style.bItalic = 0;
        else if (value == "italic" || value == "oblique")
            style.bItalic = 1;
    } else if (property == "font-weight") {
        style.nFontWeight = ParseWeightKeyword(value);
    } else if (property == "text-align") {
        if (const int align = ParseAlignKeyword(value); align >= 0)
            style.nHorzAlign = align;
    } else if (property == "text-transform") {
        if (value.empty() || value == "none")
            style.nTextTransform = RIXTRANSFORM_NONE;
        else if (value == "uppercase")
            style.nTextTransform = RIXTRANSFORM_UPPER;
        else if (value == "lowercase")
            style.nTextTransform = RIXTRANSFORM_LOWER;
        else if (value == "capitalize")
            style.nTextTransform = RIXTRANSFORM_CAPITALIZE;
    } else if (property == "color") {
        style.crText = ParseColour(context.colours, value, style.crText);
    } else if (property == "background-color") {
        if (value.empty() || value == "transparent" || !context.colours.bNormalColours) {
            style.nBackgroundMode = TRANSPARENT;
        } else {
            style.nBackgroundMode = OPAQUE;
            style.crBackground = ParseColour(context.colours, value, style.crBackground);
        }
    } else if (property == "text-decoration") {
        ApplyTextDecoration(value, style);
    } else if (property == "vertical-align") {
        if (const int align = ParseVerticalAlignKeyword(value); align >= 0)
            style.nVertAlign = align;
    } else if (property == "border-color") {
        style.crBorderLight = ParseColour(context.colours, value, style.crBorderLight);
        style.crBorderDark = ParseColour(context.colours, value, style.crBorderLight);
    } else if (property == "border-width" || property == "size") {
        style.nBorderWidth = ParseWidthKeyword(context, value, style.nBorderWidth);
        if (style.nBorderWidth == 0)
            style.nBorderStyle = 0;
        else if (style.nBorderStyle == 0)
            style.nBorderStyle = 1;
    } else if (property == "border-style") {
        if (const int borderStyle = ParseBorderStyleKeyword(value); borderStyle >= 0)
            style.nBorderStyle = borderStyle;
        if (style.nBorderStyle != 0 && style.nBorderWidth == 0)
            style.nBorderWidth = 1;
    } else if (property == "margin") {
        style.nMargin = ParseSize(context, value, style.nMargin, false);
    } else if (property == "padding") {
        style.nPadding = ParseSize(context, value, style.nPadding, false);
    }
}

} // namespace

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

void ApplyDeclarations(std::string_view declarations, TextStyle& style, const RixValueContext& context)
{
    const std::string text = LowerAscii(declarations);
    size_t pos = 0;
    for (;;) {
        pos = SkipToNameStart(text, pos);
        if (pos >= text.size())
            return;
        const size_t nameEnd = std::min(text.find_first_of(" :", pos), text.size());
        const std::string_view property = std::string_view(text).substr(pos, nameEnd - pos);
        pos = nameEnd;
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        std::string_view value;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == ';'))
                ++pos;
            if (pos < text.size() && text[pos] == '"') {
                const size_t close = std::min(text.find('"', pos + 1), text.size());
                value = std::string_view(text).substr(pos + 1, close - pos - 1);
                pos = close + 1;
            } else {
                const size_t end = std::min(text.find(';', pos), text.size());
                value = std::string_view(text).substr(pos, end - pos);
                pos = end;
            }
        }
        ApplyDeclaration(property, value, style, context);
    }
}

void RixStyleSheet::Load(const char* pszText)
{
    m_rules.clear();
    Parse(pszText ? pszText : kDefaultStyleSheet);
}

void RixStyleSheet::Store(std::string_view selector, std::string_view declarations)
{
    m_rules.insert_or_assign(LowerAscii(selector), std::string(declarations));
}

const std::string* RixStyleSheet::Find(std::string_view selector) const
{
    const auto found = m_rules.find(selector);
    return found == m_rules.end() ? nullptr : &found->second;
}

void RixStyleSheet::Apply(std::string_view selector, TextStyle& style, const RixValueContext& context) const
{
    if (const std::string* declarations = Find(LowerAscii(selector)))
        ApplyDeclarations(*declarations, style, context);
}

void RixStyleSheet::Parse(std::string_view text)
{
    size_t pos = 0;
    for (;;) {
        pos = SkipToNameStart(text, pos);
        if (pos >= text.size())
            return;
        const size_t selectorEnd = text.find_first_of(" {", pos);
        if (selectorEnd == std::string_view::npos)
            return;
        const std::string_view selector = text.substr(pos, selectorEnd - pos);
        const size_t open = text.find('{', selectorEnd);
        if (open == std::string_view::npos)
            return;
        const size_t close = text.find('}', open + 1);
        if (close == std::string_view::npos)
            return;
        const std::string_view body = text.substr(open + 1, close - open - 1);
        if (!selector.empty() && !body.empty())
            Store(selector, body);
        pos = close + 1;
    }
}
