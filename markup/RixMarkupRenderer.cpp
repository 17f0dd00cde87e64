#include "markup/RixMarkupRenderer.h"

#include <algorithm>
#include <climits>
#include <cstring>

RixMarkupRenderer::RixMarkupRenderer()
    : m_Tags(MakeTagTable())
    , m_Entities(MakeEntityTable())
    , m_crDisabledText(::GetSysColor(COLOR_BTNSHADOW))
{
    m_StyleSheet.Load(nullptr);
    LoadHandCursor();
}

RixMarkupRenderer::~RixMarkupRenderer()
{
    if (m_hLinkCursor)
        ::DestroyCursor(m_hLinkCursor);
}

COLORREF RixMarkupRenderer::LookUpColour(std::string_view name, COLORREF fallback) const
{
    return ::LookUpColour(ValueContext().colours, name, fallback);
}

RixValueContext RixMarkupRenderer::ValueContext() const
{
    RixValueContext context;
    context.hDC = m_hDC;
    context.colours.pTable = &m_Colours;
    context.colours.bNormalColours = m_bNormalColours;
    context.colours.crDisabled = m_crDisabledText;
    if (m_nWantedFont >= 0) {
        context.pfnSelectFont = [](void* pData) { static_cast<RixMarkupRenderer*>(pData)->EnsureFontSelected(); };
        context.pSelectFontData = const_cast<RixMarkupRenderer*>(this);
    }
    return context;
}

LOGFONTA RixMarkupRenderer::MakeLogFont(const TextStyle& style)
{
    LOGFONTA lf {};
    lf.lfHeight = std::clamp(style.nFontHeight, 0, kMaxFontHeight);
    lf.lfWeight = std::clamp(style.nFontWeight, 0, 1000);
    lf.lfItalic = static_cast<BYTE>(style.bItalic != 0);
    lf.lfUnderline = static_cast<BYTE>(style.bUnderline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(style.bStrikeOut != 0);
    lf.lfCharSet = DEFAULT_CHARSET;
    const size_t length = std::min<size_t>(style.strFontFace.size(), LF_FACESIZE - 1);
    std::memcpy(lf.lfFaceName, style.strFontFace.data(), length);
    lf.lfFaceName[length] = '\0';
    return lf;
}

void RixMarkupRenderer::MeasureMarkup(HDC hDC, const char* pszText, SIZE& size)
{
    m_hDC = hDC;
    ::SetTextJustification(hDC, 0, 0);
    m_strText = PrepareMarkupText(pszText ? pszText : "", m_Entities, m_bConvertNewlines);
    size = SIZE { 0, 0 };
    if (m_strText.empty())
        return;
    m_Tables.clear();
    m_nTableCellsLeft = kMaxTextTableCells;
    size = RunPass(RECT { 0, 0, m_nWrapWidth, 0 }, true);
    // Nothing visible: a later draw pass has nothing to do.
    if (size.cx == 0 && size.cy == 0)
        m_strText.clear();
    if (m_nWrapWidth != 0 && m_nWrapWidth < size.cx)
        size.cx = m_nWrapWidth;
    size.cx += 1;
    size.cy += 1;
}

void RixMarkupRenderer::DrawMeasuredMarkup(HDC hDC, const RECT& rect)
{
    if (m_strText.empty())
        return;
    m_hDC = hDC;
    RunPass(rect, false);
}

void RixMarkupRenderer::SelectStyleFont()
{
    // Selecting a font is what a style change costs most; many style changes (a colour, a link) keep
    // the font, and many are undone before any text is drawn. So the font is only chosen here, and
    // selected (and its metrics read) when text needs it.
    const LOGFONTA lf = MakeLogFont(m_Style);
    auto found = std::find_if(m_Fonts.begin(), m_Fonts.end(),
        [&](const CachedFont& font) { return std::memcmp(&font.lf, &lf, sizeof lf) == 0; });
    if (found == m_Fonts.end()) {
        if (m_Fonts.size() >= kMaxCachedFonts) {
            // The caller's font goes back in first, so that none of ours is deleted while selected.
            ::SelectObject(m_hDC, m_hOldFont);
            m_nSelectedFont = -1;
            m_Fonts.clear();
        }
        m_Fonts.push_back(CachedFont { lf, gdi::Font(::CreateFontIndirectA(&lf)), {}, false, {}, 0 });
        found = m_Fonts.end() - 1;
    }
    m_nWantedFont = static_cast<int>(found - m_Fonts.begin());
    // Measuring draws nothing, so the colours matter only when drawing.
    if (m_bMeasuring)
        return;
    const int bkMode = m_Style.nBackgroundMode == OPAQUE ? OPAQUE : TRANSPARENT;
    if (bkMode != m_nBkMode)
        ::SetBkMode(m_hDC, m_nBkMode = bkMode);
    if (m_Style.crText != m_crTextSet)
        ::SetTextColor(m_hDC, m_crTextSet = m_Style.crText);
    if (m_Style.crBackground != m_crBkSet)
        ::SetBkColor(m_hDC, m_crBkSet = m_Style.crBackground);
}

void RixMarkupRenderer::EnsureFontSelected()
{
    if (m_nWantedFont == m_nSelectedFont || m_nWantedFont < 0)
        return;
    const CachedFont& font = m_Fonts[m_nWantedFont];
    ::SelectObject(m_hDC, font.font ? font.font.get() : m_hOldFont);
    m_nSelectedFont = m_nWantedFont;
}

const TEXTMETRICA& RixMarkupRenderer::Metrics()
{
    if (m_nWantedFont >= 0 && m_Fonts[m_nWantedFont].bHasMetrics)
        return m_Fonts[m_nWantedFont].tm;
    EnsureFontSelected();
    if (m_nWantedFont < 0) {
        ::GetTextMetricsA(m_hDC, &m_tmCallerFont);
        return m_tmCallerFont;
    }
    CachedFont& font = m_Fonts[m_nWantedFont];
    if (!font.bHasMetrics) {
        ::GetTextMetricsA(m_hDC, &font.tm);
        font.bHasMetrics = true;
    }
    return font.tm;
}

const int* RixMarkupRenderer::CharWidths()
{
    if (!m_bLocalWidths || m_nWantedFont < 0 || !m_Fonts[m_nWantedFont].font)
        return nullptr;
    CachedFont& font = m_Fonts[m_nWantedFont];
    if (font.nWidths == 0) {
        EnsureFontSelected();
        font.nWidths = -1;
        // Only where a byte is a character: the font's code page decides, not the system's.
        CHARSETINFO info {};
        CPINFO codePage {};
        const UINT_PTR charset = static_cast<UINT_PTR>(::GetTextCharset(m_hDC));
        if (!::TranslateCharsetInfo(reinterpret_cast<DWORD*>(charset), &info, TCI_SRCCHARSET)
            || !::GetCPInfo(info.ciACP, &codePage) || codePage.MaxCharSize != 1
            || !::GetCharWidth32A(m_hDC, 0, 255, font.widths.data()))
            return nullptr;
        font.nWidths = 1;
    }
    return font.nWidths > 0 ? font.widths.data() : nullptr;
}

SIZE RixMarkupRenderer::RunPass(const RECT& rect, bool bMeasuring)
{
    m_bMeasuring = bMeasuring;
    // The hot areas describe the last drawing only: the mouse is tested against what is on screen.
    m_HotAreas.clear();
    if (bMeasuring) {
        m_Lines.clear();
        m_StripRecords.clear();
    }
    m_nTableDepth = 0;
    m_nStyleOverflow = 0;
    m_nLineCounter = 0;
    m_nLinkCounter = m_nTableCounter = m_nStripCounter = -1;
    m_StyleStack.clear();

    m_Style.Reset();
    m_StyleSheet.Apply("body", m_Style, ValueContext());

    m_hOldFont = ::GetCurrentObject(m_hDC, OBJ_FONT);
    m_nWantedFont = m_nSelectedFont = -1;
    // Another device, or another mapping on it, gives the same font other metrics.
    const int mapMode = ::GetMapMode(m_hDC);
    const int dpi = ::GetDeviceCaps(m_hDC, LOGPIXELSY);
    if (m_hDC != m_hMetricsDC || mapMode != m_nMetricsMapMode || dpi != m_nMetricsDpi) {
        for (CachedFont& font : m_Fonts) {
            font.bHasMetrics = false;
            font.nWidths = 0;
        }
        m_hMetricsDC = m_hDC;
        m_nMetricsMapMode = mapMode;
        m_nMetricsDpi = dpi;
    }
    // Added space between characters, or a transform that may round each one, and the platform's
    // own measuring is the only one that matches its drawing.
    m_bLocalWidths = bMeasuring && ::GetTextCharacterExtra(m_hDC) == 0 && ::GetGraphicsMode(m_hDC) == GM_COMPATIBLE;
    const int oldBkMode = m_nBkMode = ::GetBkMode(m_hDC);
    const COLORREF oldTextColour = m_crTextSet = ::GetTextColor(m_hDC);
    const COLORREF oldBkColour = m_crBkSet = ::GetBkColor(m_hDC);
    const UINT oldTextAlign = ::GetTextAlign(m_hDC);
    ::SetTextAlign(m_hDC, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SelectStyleFont();

    const SIZE size = LayoutBlocks(m_strText, rect);

    ::SetTextJustification(m_hDC, 0, 0);
    ::SetTextAlign(m_hDC, oldTextAlign);
    ::SetBkMode(m_hDC, oldBkMode);
    ::SetTextColor(m_hDC, oldTextColour);
    ::SetBkColor(m_hDC, oldBkColour);
    if (m_nSelectedFont >= 0)
        ::SelectObject(m_hDC, m_hOldFont);
    m_bLocalWidths = false;
    m_StyleStack.clear();
    m_nStyleOverflow = 0;
    m_nWantedFont = m_nSelectedFont = -1;
    return size;
}
