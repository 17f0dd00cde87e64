// Every visual property of a piece of markup text, one record per style level. The renderer keeps the
// current one and saves copies on its style stack; table cells use the same record.
#pragma once

#include "framework/Platform.h"

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

// Horizontal alignment of a line.
constexpr int RIXALIGN_LEFT = 0;
constexpr int RIXALIGN_CENTER = 1;
constexpr int RIXALIGN_RIGHT = 2;
constexpr int RIXALIGN_JUSTIFY = 3;

// Vertical alignment of a run or an object on its line.
constexpr int RIXVALIGN_TOP = 0;
constexpr int RIXVALIGN_CENTER = 1;
constexpr int RIXVALIGN_BOTTOM = 2;
constexpr int RIXVALIGN_BASELINE = 3;

// Text transforms.
constexpr int RIXTRANSFORM_NONE = 0;
constexpr int RIXTRANSFORM_UPPER = 1;
constexpr int RIXTRANSFORM_LOWER = 2;
constexpr int RIXTRANSFORM_CAPITALIZE = 3;

// Link kinds.
constexpr int RIXLINK_NONE = 0;
constexpr int RIXLINK_SHELL = 1;
constexpr int RIXLINK_MESSAGE = 2;

// The target or message text of a link. Every saved style and every drawn piece of the link shares
// the one copy, so that a long text costs its length once, however deep it is nested or however many
// pieces the link has.
class RixLinkText {
public:
    RixLinkText() = default;
    RixLinkText(std::string_view text)
        : m_pText(text.empty() ? nullptr : std::make_shared<const std::string>(text))
    {
    }
    const std::string& str() const
    {
        static const std::string empty;
        return m_pText ? *m_pText : empty;
    }
    const char* c_str() const { return str().c_str(); }
    bool empty() const { return !m_pText; }
    void clear() { m_pText.reset(); }
    friend bool operator==(const RixLinkText& text, std::string_view other) { return text.str() == other; }
    friend std::ostream& operator<<(std::ostream& out, const RixLinkText& text) { return out << text.str(); }

private:
    std::shared_ptr<const std::string> m_pText;
};

struct TextStyle {
    std::string strName;
    int nFontHeight = 16;
    int nFontWeight = 400;
    int bItalic = 0;
    int bUnderline = 0;
    int bStrikeOut = 0;
    int bOverline = 0;
    std::string strFontFace = "Verdana";
    COLORREF crText = 0x00000000;
    COLORREF crBackground = 0x00FFFFFF;
    COLORREF crBorderLight = 0x00000000;
    COLORREF crBorderDark = 0x00000000;
    COLORREF crFillMiddle = 0x00FFFFFF;
    COLORREF crFillEnd = 0x00FFFFFF;
    int nBackgroundMode = TRANSPARENT;
    int nFillEffect = -1;
    std::string strBackgroundImage;
    int nHorzAlign = RIXALIGN_LEFT;
    int nVertAlign = RIXVALIGN_BASELINE;
    int nBorderStyle = 0;
    int nBorderWidth = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nTextTransform = RIXTRANSFORM_NONE;
    int nMargin = 2;
    int nPadding = 0;
    int nLinkKind = RIXLINK_NONE;
    RixLinkText strLinkText;

    // Back to the defaults; a cell's width and height attributes are left as they are.
    void Reset()
    {
        const int width = nWidth, height = nHeight;
        *this = TextStyle {};
        nWidth = width;
        nHeight = height;
    }
};
