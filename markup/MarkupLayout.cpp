// Line layout of a paragraph: lines, text runs with word wrap, breaks, tabs, rules and strings.
#include "markup/RixMarkupRenderer.h"

#include <algorithm>
#include <climits>

namespace {

// Far beyond any real layout, near enough to zero that sums of them cannot overflow.
constexpr long long kMaxCoordinate = 1 << 28;

constexpr char kBreakCharacters[] = " -.,!:;)}]?";

// Text runs are measured this many characters at a time while wrapping, so that a long run costs
// what the line can hold, not what the run holds.
constexpr size_t kMeasureWindow = 256;

int Blanks(std::string_view text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), ' '));
}

SIZE TextExtent(HDC hDC, std::string_view text)
{
    SIZE size {};
    ::GetTextExtentPoint32A(hDC, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

// How many characters from the start fit in the room. Measures a window that grows until it is wider
// than the room or holds the whole text.
size_t FitCount(HDC hDC, std::string_view text, int room, SIZE& extent)
{
    size_t length = std::min(text.size(), kMeasureWindow);
    for (;;) {
        INT fit = 0;
        extent = SIZE {};
        ::GetTextExtentExPointA(hDC, text.data(), static_cast<int>(length), std::max(room, 0), &fit, nullptr, &extent);
        if (extent.cx > room || length == text.size())
            return room < 0 ? 0 : static_cast<size_t>(std::clamp<INT>(fit, 0, static_cast<INT>(length)));
        length = std::min(text.size(), length * 2);
    }
}

void TrimTrailingBlanks(std::string_view& text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
}

void TransformText(std::string& text, int transform)
{
    if (text.empty() || transform == RIXTRANSFORM_NONE)
        return;
    const DWORD length = static_cast<DWORD>(text.size());
    if (transform == RIXTRANSFORM_UPPER) {
        ::CharUpperBuffA(text.data(), length);
        return;
    }
    ::CharLowerBuffA(text.data(), length);
    if (transform != RIXTRANSFORM_CAPITALIZE)
        return;
    for (size_t i = 0; i < text.size(); ++i)
        if ((i == 0 || text[i - 1] == ' ') && text[i] >= 'a' && text[i] <= 'z')
            text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

} // namespace

SIZE RixMarkupRenderer::MeasureText(std::string_view text)
{
    SIZE size {};
    if (const int* widths = CharWidths()) {
        long long sum = 0;
        for (unsigned char c : text)
            sum += widths[c];
        return SIZE { static_cast<LONG>(std::min<long long>(sum, INT_MAX)), Metrics().tmHeight };
    }
    EnsureFontSelected();
    ::GetTextExtentPoint32A(m_hDC, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

size_t RixMarkupRenderer::FitText(std::string_view text, int room, SIZE& extent)
{
    const int* widths = CharWidths();
    if (!widths) {
        EnsureFontSelected();
        return FitCount(m_hDC, text, room, extent);
    }
    // Stops at the first character past the room: what follows cannot change the answer.
    long long sum = 0;
    size_t fit = 0;
    for (unsigned char c : text) {
        sum += widths[c];
        if (sum > room)
            break;
        ++fit;
    }
    extent = SIZE { static_cast<LONG>(std::min<long long>(sum, INT_MAX)), Metrics().tmHeight };
    return room < 0 ? 0 : fit;
}

SIZE RixMarkupRenderer::LayoutParagraph(std::string_view text, const RECT& rect)
{
    m_rcLayout = rect;
    m_nAvailable = rect.right - rect.left;
    m_nX = rect.left;
    m_nY = rect.top;
    m_nParagraphWidth = 0;
    const int firstLine = m_nLineCounter;
    m_nX = StartLine();

    // The paragraph is read as if it stood between "<body>" and "</body>"; the two tags are acted on
    // here rather than added to the text, so that a "<" at the very end of the text stays the literal
    // bracket it is there instead of opening a tag with the added "</body>".
    ActOnTag("body");
    RixMarkupTokenizer tokenizer(text);
    while (!tokenizer.AtEnd()) {
        MarkupToken token = tokenizer.Next();
        if (!token.strRun.empty())
            LayoutRun(std::move(token.strRun));
        if (token.bHasTag)
            ActOnTag(token.tagText);
    }
    ActOnTag("/body");
    if (m_nX != m_nLineStartX)
        EndLine(0);
    ::SetTextJustification(m_hDC, 0, 0);

    SIZE size { m_nParagraphWidth, m_nY - rect.top };
    const int lastLine = std::min<int>(m_nLineCounter, static_cast<int>(m_Lines.size()));
    for (int line = firstLine; line < lastLine; ++line) {
        const LineMetrics& metrics = m_Lines[line];
        if (metrics.nRulePercent != 0)
            size.cx = std::max<int>(size.cx, metrics.nWidth + ::MulDiv(metrics.nRulePercent, size.cx, 100));
    }
    return size;
}

int RixMarkupRenderer::StartLine()
{
    int start = m_rcLayout.left;
    if (m_bMeasuring) {
        m_Line = LineMetrics {};
        m_Line.nAlign = m_Style.nHorzAlign;
        if (m_nLineCounter < static_cast<int>(m_Lines.size()))
            m_Lines[m_nLineCounter] = m_Line;
        else
            m_Lines.push_back(m_Line);
    } else {
        // A line the measure pass did not see has no room and no height.
        m_Line = m_nLineCounter < static_cast<int>(m_Lines.size()) ? m_Lines[m_nLineCounter] : LineMetrics {};
        if (m_Line.nRulePercent != 0)
            m_Line.nWidth += ::MulDiv(m_nAvailable, m_Line.nRulePercent, 100);
        if (m_Line.nAlign == RIXALIGN_JUSTIFY && m_Line.nJustify == 1)
            ::SetTextJustification(m_hDC, m_nAvailable - m_Line.nWidth, m_Line.nSpaces);
        else
            ::SetTextJustification(m_hDC, 0, 0);
        m_nLineRemaining = m_Line.nWidth;
        m_nBlanksToCome = m_Line.nSpaces;
        if (m_Line.nAlign == RIXALIGN_CENTER)
            start += (m_nAvailable - m_Line.nWidth) / 2;
        else if (m_Line.nAlign == RIXALIGN_RIGHT)
            start += m_nAvailable - m_Line.nWidth;
    }
    m_nLineStartX = start;
    return start;
}

void RixMarkupRenderer::EndLine(int nJustify, int nCount)
{
    if (m_bMeasuring) {
        if (m_Line.nHeight == 0)
            m_Line.nHeight = Metrics().tmHeight;
        const int width = m_nX - m_rcLayout.left;
        m_nParagraphWidth = std::max(m_nParagraphWidth, width);
        m_Line.nWidth = width;
        m_Line.nHeight += m_Line.nDescent;
        m_Line.nJustify = nJustify;
        m_Lines[m_nLineCounter] = m_Line;
    }
    ++m_nLineCounter;
    const long long count = std::clamp(nCount, 1, kMaxRepeat);
    m_nY = static_cast<int>(std::clamp<long long>(m_nY + count * m_Line.nHeight, -kMaxCoordinate, kMaxCoordinate));
    m_nX = StartLine();
}

void RixMarkupRenderer::MoveX(long long delta)
{
    m_nX = static_cast<int>(std::clamp<long long>(m_nX + delta, -kMaxCoordinate, kMaxCoordinate));
}

int RixMarkupRenderer::PlaceText(int nHeight)
{
    if (m_bMeasuring) {
        m_Line.nDescent = std::max<int>(m_Line.nDescent, nHeight - Metrics().tmAscent);
        m_Line.nHeight = std::max<int>(m_Line.nHeight, Metrics().tmAscent);
        return m_nY;
    }
    switch (m_Style.nVertAlign) {
    case RIXVALIGN_TOP:
        return m_nY;
    case RIXVALIGN_CENTER:
        return m_nY + (m_Line.nHeight - Metrics().tmHeight) / 2;
    case RIXVALIGN_BOTTOM:
        return m_nY + m_Line.nHeight - Metrics().tmAscent;
    default:
        return m_nY + m_Line.nHeight - m_Line.nDescent - Metrics().tmAscent;
    }
}

void RixMarkupRenderer::LayoutRun(std::string run)
{
    TransformText(run, m_Style.nTextTransform);
    std::string_view rest = run;
    while (!rest.empty()) {
        if (!m_bMeasuring) {
            EnsureFontSelected();
            ::SetTextJustification(m_hDC, 0, 0);
        }
        const int room = m_nAvailable + m_rcLayout.left - m_nX;
        const bool bWrapping = m_nWrapWidth != 0 && m_nAvailable != 0;
        SIZE extent {};
        size_t fit = rest.size();
        if (bWrapping)
            fit = FitText(rest, room, extent);
        else
            extent = MeasureText(rest);
        const int top = PlaceText(extent.cy);

        std::string_view piece = rest, remainder;
        int width = extent.cx;
        const bool bSplit = bWrapping && extent.cx > room;
        if (bSplit) {
            // The last break character whose preceding text fits, else (on an empty line) as many
            // characters as fit, at least one; else nothing, and the run goes on on the next line.
            size_t brk = 0;
            for (size_t k = rest.find_first_of(kBreakCharacters, 1); k != std::string_view::npos && k <= fit;
                 k = rest.find_first_of(kBreakCharacters, k + 1))
                brk = k;
            if (brk > 0) {
                piece = rest.substr(0, brk + 1);
                TrimTrailingBlanks(piece);
                remainder = rest.substr(brk + 1);
                while (!remainder.empty() && remainder[0] == ' ')
                    remainder.remove_prefix(1);
            } else if (m_nX == m_nLineStartX) {
                piece = rest.substr(0, std::max<size_t>(fit, 1));
                remainder = rest.substr(piece.size());
            } else {
                piece = {};
                remainder = rest;
            }
            width = piece.empty() ? 0 : MeasureText(piece).cx;
        }

        if (m_bMeasuring) {
            m_Line.nAlign = m_Style.nHorzAlign;
            m_Line.nSpaces += Blanks(piece);
        } else if (width > 0) {
            width = DrawPiece(piece, width, top, room);
        }
        MoveX(width);
        if (remainder.empty())
            break;
        EndLine(1);
        rest = remainder;
    }
}

int RixMarkupRenderer::DrawPiece(std::string_view piece, int nWidth, int nTop, int nRoom)
{
    // The last piece of a line leaves its trailing blanks out, so that a justified line ends flush.
    if (m_nLineRemaining == nWidth && piece.back() == ' ') {
        TrimTrailingBlanks(piece);
        const int trimmed = TextExtent(m_hDC, piece).cx;
        m_nLineRemaining -= nWidth - trimmed;
        nWidth = trimmed;
    }
    SIZE drawn { nWidth, Metrics().tmHeight };
    // Justified, the piece is wider than measured; otherwise it is as wide as measured.
    if (m_Line.nAlign == RIXALIGN_JUSTIFY && m_Line.nJustify == 1) {
        ::SetTextJustification(m_hDC, nRoom - m_nLineRemaining, m_nBlanksToCome);
        drawn = TextExtent(m_hDC, piece);
    }
    RecordHotArea(RECT { m_nX, nTop, m_nX + drawn.cx, nTop + drawn.cy });
    ::TextOutA(m_hDC, m_nX, nTop, piece.data(), static_cast<int>(piece.size()));
    m_nBlanksToCome -= Blanks(piece);
    // The plain width: what is left to spread stays what the line still lacks.
    m_nLineRemaining -= nWidth;
    if (m_Style.bOverline)
        RixEffectPainter::DrawLine(m_hDC, m_nX, nTop, m_nX + drawn.cx, nTop, m_Style.crText, RIXLINE_SOLID,
            m_Style.nFontWeight >= 700 ? 2 : 1);
    return drawn.cx;
}

int RixMarkupRenderer::ReadCount(std::string_view params) const
{
    // "br=3": the parameter text is "=3"; with a blank instead of "=" there is no count.
    const std::string_view count = params.empty() ? params : params.substr(1);
    return std::clamp(ParseSize(ValueContext(), count, 1, false), 0, kMaxRepeat);
}

void RixMarkupRenderer::LayoutBreak(std::string_view params)
{
    EndLine(0, ReadCount(params));
}

void RixMarkupRenderer::LayoutTab(std::string_view params)
{
    int count = std::max(ReadCount(params), 1);
    const int offset = m_nX - m_rcLayout.left;
    const int past = ((offset % m_nTabStep) + m_nTabStep) % m_nTabStep;
    int advance = 0;
    if (past != 0) {
        advance = m_nTabStep - past;
        --count;
    }
    const long long move = advance + static_cast<long long>(count) * m_nTabStep;
    MoveX(move);
    if (!m_bMeasuring)
        m_nLineRemaining -= static_cast<int>(move);
}

void RixMarkupRenderer::LayoutRule(std::string_view params)
{
    const RixValueContext context = ValueContext();
    TextStyle rule = m_Style;
    rule.nBorderWidth = 1;
    m_StyleSheet.Apply("hr", rule, context);
    int width = 100;
    bool bPercent = true;
    size_t pos = 0;
    std::string_view name, value;
    while (NextMarkupAttribute(params, pos, name, value)) {
        if (name == "width" && !value.empty()) {
            bPercent = value.back() == '%';
            width = bPercent ? LeadingDecimal(value) : ParseSize(context, value, 0, false);
        } else if (name == "size") {
            rule.nBorderWidth = ParseSize(context, value, rule.nBorderWidth, false);
        } else if (name == "color") {
            rule.crText = ParseColour(context.colours, value, rule.crText);
        }
    }
    const int thickness = std::clamp(rule.nBorderWidth, 0, kMaxRuleThickness);
    if (m_bMeasuring) {
        if (bPercent) {
            m_Line.nRulePercent = std::min(m_Line.nRulePercent + width, kMaxMarkupSize);
            width = 1;
        }
        m_Line.nHeight = std::max(m_Line.nHeight, thickness + 8);
        m_Line.nAlign = m_Style.nHorzAlign;
    } else {
        if (bPercent)
            width = ::MulDiv(m_rcLayout.right - m_rcLayout.left, width, 100);
        const int mid = m_nY + m_Line.nHeight / 2;
        RixEffectPainter::DrawLine(m_hDC, m_nX, mid, m_nX + width, mid, rule.crText, RIXLINE_SOLID, thickness);
        m_nLineRemaining -= width;
    }
    MoveX(width);
}

void RixMarkupRenderer::LayoutString(std::string_view params)
{
    int id = 0;
    size_t pos = 0;
    std::string_view name, value;
    while (NextMarkupAttribute(params, pos, name, value))
        if (name == "idres" || name == "iddll")
            id = ParseSize(ValueContext(), value, 0, false);
    if (id == 0)
        return;
    // A string resource holds at most 4097 characters.
    char text[4100] = "";
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), static_cast<UINT>(id), text, sizeof text);
    if (length <= 0)
        return;
    const std::string_view piece(text, static_cast<size_t>(length));
    EnsureFontSelected();
    ::SetTextJustification(m_hDC, 0, 0);
    const SIZE extent = TextExtent(m_hDC, piece);
    const int top = PlaceText(extent.cy);
    if (m_bMeasuring) {
        m_Line.nAlign = m_Style.nHorzAlign;
    } else {
        RecordHotArea(RECT { m_nX, top, m_nX + extent.cx, top + extent.cy });
        ::TextOutA(m_hDC, m_nX, top, piece.data(), length);
        m_nLineRemaining -= extent.cx;
    }
    MoveX(extent.cx);
}
