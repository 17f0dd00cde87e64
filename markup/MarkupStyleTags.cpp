// What the tags do: style tags change the current style and save the old one on the style stack;
// object tags put something on the line.
#include "markup/RixMarkupRenderer.h"

#include <algorithm>

void RixMarkupRenderer::ActOnTag(std::string_view tagText)
{
    const MarkupTagText tag = SplitTagText(tagText);
    if (tag.name.empty())
        return;
    const auto found = m_Tags.find(tag.name);
    if (found == m_Tags.end())
        return;
    const RixTagInfo& info = found->second;
    if (info.IsStyleTag()) {
        if (tag.bClosing)
            CloseStyleTag(info);
        else
            OpenStyleTag(info, tag.name, tag.params);
        return;
    }
    // Object tags act the same in their closing form.
    switch (info.tag) {
    case RixTag::Break:
        LayoutBreak(tag.params);
        break;
    case RixTag::Tab:
        LayoutTab(tag.params);
        break;
    case RixTag::Rule:
        LayoutRule(tag.params);
        break;
    case RixTag::String:
        LayoutString(tag.params);
        break;
    case RixTag::Bitmap:
    case RixTag::Icon:
    case RixTag::ImageStrip:
        LayoutImage(info.tag, tag.params);
        break;
    default:
        break;
    }
}

void RixMarkupRenderer::OpenStyleTag(const RixTagInfo& info, std::string_view name, std::string_view params)
{
    // Past the deepest level kept a tag changes nothing; it is only counted, for its closing tag.
    if (m_StyleStack.size() >= kMaxStyleDepth) {
        ++m_nStyleOverflow;
        return;
    }
    m_Style.strName = info.level;
    m_StyleStack.push_back(m_Style);
    const RixValueContext context = ValueContext();
    switch (info.tag) {
    case RixTag::Bold:
        m_Style.nFontWeight = std::min(m_Style.nFontWeight * 2, 900);
        break;
    case RixTag::Italic:
        m_Style.bItalic = !m_Style.bItalic;
        break;
    case RixTag::Underline:
        m_Style.bUnderline = !m_Style.bUnderline;
        break;
    case RixTag::StrikeOut:
        m_Style.bStrikeOut = !m_Style.bStrikeOut;
        break;
    case RixTag::Font:
        ApplyFontAttributes(params);
        break;
    case RixTag::AlignLeft:
        m_Style.nHorzAlign = RIXALIGN_LEFT;
        break;
    case RixTag::AlignCenter:
        m_Style.nHorzAlign = RIXALIGN_CENTER;
        break;
    case RixTag::AlignRight:
        m_Style.nHorzAlign = RIXALIGN_RIGHT;
        break;
    case RixTag::AlignJustify:
        m_Style.nHorzAlign = RIXALIGN_JUSTIFY;
        break;
    case RixTag::Baseline:
        m_Style.nVertAlign = RIXVALIGN_BASELINE;
        break;
    case RixTag::Top:
        m_Style.nVertAlign = RIXVALIGN_TOP;
        break;
    case RixTag::VCenter:
        m_Style.nVertAlign = RIXVALIGN_CENTER;
        break;
    case RixTag::Bottom:
        m_Style.nVertAlign = RIXVALIGN_BOTTOM;
        break;
    case RixTag::SheetRule:
        m_StyleSheet.Apply(name, m_Style, context);
        break;
    case RixTag::Span: {
        size_t pos = 0;
        std::string_view attribute, value;
        while (NextMarkupAttribute(params, pos, attribute, value))
            if (attribute == "class") {
                std::string selector(1, '.');
                selector.append(value);
                m_StyleSheet.Apply(selector, m_Style, context);
            }
        break;
    }
    case RixTag::Link:
        ApplyLinkAttributes(params);
        break;
    default:
        break;
    }
    SelectStyleFont();
}

void RixMarkupRenderer::CloseStyleTag(const RixTagInfo& info)
{
    if (m_nStyleOverflow > 0) {
        --m_nStyleOverflow;
        return;
    }
    m_Style.strName = info.level;
    // Only the innermost open level closes; any other closing tag is ignored.
    if (!m_StyleStack.empty() && m_StyleStack.back().strName == info.level) {
        m_Style = std::move(m_StyleStack.back());
        m_StyleStack.pop_back();
        SelectStyleFont();
    }
    m_Style.strName.clear();
}

void RixMarkupRenderer::ApplyFontAttributes(std::string_view params)
{
    const RixValueContext context = ValueContext();
    size_t pos = 0;
    std::string_view name, value;
    while (NextMarkupAttribute(params, pos, name, value)) {
        if (name == "face") {
            // Only so much of a face name reaches the font; the rest would be saved with every level.
            if (!value.empty())
                m_Style.strFontFace = value.substr(0, LF_FACESIZE - 1);
        } else if (name == "size") {
            m_Style.nFontHeight = ParseSize(context, value, m_Style.nFontHeight, true);
        } else if (name == "color") {
            m_Style.crText = ParseColour(context.colours, value, m_Style.crText);
        } else if (name == "weight") {
            m_Style.nFontWeight = ParseWeightKeyword(value);
        } else if (name == "bkgnd") {
            if (value.empty() || value == "transparent" || !m_bNormalColours) {
                m_Style.nBackgroundMode = TRANSPARENT;
            } else {
                m_Style.nBackgroundMode = OPAQUE;
                m_Style.crBackground = ParseColour(context.colours, value, m_Style.crBackground);
            }
        } else if (name == "style") {
            // "+" and "-" switch what the next letter does; after each letter it is "+" again.
            bool bOn = true;
            for (char c : value) {
                switch (c) {
                case '-':
                    bOn = false;
                    break;
                case '+':
                    bOn = true;
                    break;
                case 'b':
                    m_Style.nFontWeight = bOn ? 700 : 400;
                    bOn = true;
                    break;
                case 'i':
                    m_Style.bItalic = bOn;
                    bOn = true;
                    break;
                case 'u':
                    m_Style.bUnderline = bOn;
                    bOn = true;
                    break;
                case 's':
                    m_Style.bStrikeOut = bOn;
                    bOn = true;
                    break;
                case 'o':
                    m_Style.bOverline = bOn;
                    bOn = true;
                    break;
                default:
                    break;
                }
            }
        }
    }
}

void RixMarkupRenderer::ApplyLinkAttributes(std::string_view params)
{
    m_Style.nLinkKind = RIXLINK_MESSAGE;
    m_Style.strLinkText.clear();
    size_t pos = 0;
    std::string_view name, value;
    while (NextMarkupAttribute(params, pos, name, value)) {
        if (name == "href") {
            m_Style.nLinkKind = RIXLINK_SHELL;
            m_Style.strLinkText = value;
        } else if (name == "msg") {
            m_Style.nLinkKind = RIXLINK_MESSAGE;
            m_Style.strLinkText = value;
        }
    }
    ++m_nLinkCounter;
    m_StyleSheet.Apply(m_nLinkCounter == m_nHoverLink ? "a:hover" : "a:link", m_Style, ValueContext());
}
