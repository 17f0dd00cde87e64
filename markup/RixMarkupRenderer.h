// Measures and draws text written in the program's HTML-like markup, styled by a CSS-like style sheet.
// Two passes over the same prepared text: MeasureMarkup lays the text out and records every line's
// width, height and alignment; DrawMeasuredMarkup replays that layout into a rectangle. Every pass
// puts the device context back as it found it (font, colours, background mode, text alignment and
// justification).
#pragma once

#include "draw/RixEffectPainter.h"
#include "framework/Gdi.h"
#include "markup/ImageParams.h"
#include "markup/MarkupColours.h"
#include "markup/MarkupImages.h"
#include "markup/MarkupTable.h"
#include "markup/MarkupTags.h"
#include "markup/MarkupText.h"
#include "markup/StyleSheet.h"
#include "markup/TextStyle.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// One laid-out line.
struct LineMetrics {
    int nWidth = 0;
    // The largest ascent while the line is laid out, plus the largest descent once it has ended.
    int nHeight = 0;
    int nDescent = 0;
    // Sum of the percentage widths of the rules on the line.
    int nRulePercent = 0;
    int nAlign = RIXALIGN_LEFT;
    // Blanks in the line's text runs.
    int nSpaces = 0;
    // 1 when the line ended because the text wrapped.
    int nJustify = 0;
};

// A rectangle of drawn link content (edges inclusive).
struct HotArea {
    RECT rect {};
    int nLinkKind = RIXLINK_NONE;
    int nLinkIndex = -1;
    RixLinkText strLinkText;
};

class RixMarkupRenderer {
public:
    // Breaks and tabs taken from a text count at most this many times each.
    static constexpr int kMaxRepeat = 1000;
    // Fonts are never asked for taller than this; no text needs more.
    static constexpr int kMaxFontHeight = 1000;
    // Rules likewise: the platform's cost of a wide pen grows with its width.
    static constexpr int kMaxRuleThickness = 1000;
    // Style tags nested deeper than this change nothing: each open level keeps a saved style.
    static constexpr size_t kMaxStyleDepth = 1000;

    RixMarkupRenderer();
    virtual ~RixMarkupRenderer();
    RixMarkupRenderer(const RixMarkupRenderer&) = delete;
    RixMarkupRenderer& operator=(const RixMarkupRenderer&) = delete;

    // The size the text needs, one pixel added in each direction when there is anything to draw.
    void MeasureMarkup(HDC hDC, const char* pszText, SIZE& size);
    // Draws the text of the last MeasureMarkup into the rectangle.
    void DrawMeasuredMarkup(HDC hDC, const RECT& rect);

    RixEffectPainter& GetEffectPainter() { return m_EffectPainter; }

    // Links.
    // Where hover changes are reported: SendMessage(window, message, link index or -2, parameter).
    void SetHoverTarget(HWND hWnd, UINT nMessage, LPARAM lParam);
    // Where "msg" links go: SendMessage(window, message, address of the link text, parameter).
    void SetMessageLinkTarget(HWND hWnd, UINT nMessage, LPARAM lParam);
    // The mouse at a point of the last drawing; true when the hand cursor was set.
    bool OnLinkHover(POINT point);
    // A click at a point of the last drawing: follows the link there.
    void OnLinkClick(POINT point);
    // Opens a target with the shell, else with the command registered for web pages; the platform's result.
    INT_PTR ExecuteLink(const char* pszTarget, int nShowCmd);
    // Takes the cursor over (it is destroyed with the renderer); null loads the hand cursor again.
    void SetLinkCursor(HCURSOR hCursor);
    HCURSOR GetLinkCursor() const { return m_hLinkCursor; }
    int GetHoverLink() const { return m_nHoverLink; }

    // Replaces the style sheet; null loads the default sheet.
    void LoadStyleSheet(const char* pszText)
    {
        m_StyleSheet.Load(pszText);
        m_Fonts.clear();
    }
    const RixStyleSheet& GetStyleSheet() const { return m_StyleSheet; }

    // 0: lines are never wrapped.
    void SetWrapWidth(int nWidth) { m_nWrapWidth = nWidth > 0 ? nWidth : 0; }
    int GetWrapWidth() const { return m_nWrapWidth; }
    void SetTabStep(int nStep) { m_nTabStep = nStep > 0 ? nStep : 1; }
    int GetTabStep() const { return m_nTabStep; }
    void SetConvertNewlines(bool bConvert) { m_bConvertNewlines = bConvert; }
    // With colours off everything is drawn in the disabled colour on a transparent background.
    void EnableColours(bool bNormalColours) { m_bNormalColours = bNormalColours; }
    bool ColoursEnabled() const { return m_bNormalColours; }
    void SetDisabledTextColour(COLORREF color) { m_crDisabledText = color; }
    COLORREF GetDisabledTextColour() const { return m_crDisabledText; }

    // The colour of a name (case-sensitive), or the fallback.
    COLORREF LookUpColour(std::string_view name, COLORREF fallback) const;
    const RixColourTable& GetColourTable() const { return m_Colours; }

    const std::string& GetPreparedText() const { return m_strText; }
    const std::vector<LineMetrics>& GetLineMetrics() const { return m_Lines; }
    const std::vector<HotArea>& GetHotAreas() const { return m_HotAreas; }
    // Fonts the renderer keeps between passes.
    size_t CachedFontCount() const { return m_Fonts.size(); }

    // The font a style asks for.
    static LOGFONTA MakeLogFont(const TextStyle& style);

private:
    // A pass over the prepared text; returns the size it takes.
    SIZE RunPass(const RECT& rect, bool bMeasuring);
    SIZE LayoutParagraph(std::string_view text, const RECT& rect);
    RixValueContext ValueContext() const;
    // Makes the font of the current style the wanted one; it is selected when text needs it.
    void SelectStyleFont();
    void EnsureFontSelected();
    // The metrics of the current style's font, read the first time they are needed.
    const TEXTMETRICA& Metrics();
    // The current font's character widths when text may be measured without selecting it, else null.
    const int* CharWidths();
    // Extent of the text, and how many of its characters fit in the room, the way the platform counts.
    SIZE MeasureText(std::string_view text);
    size_t FitText(std::string_view text, int room, SIZE& extent);

    // Lines.
    int StartLine();
    void EndLine(int nJustify, int nCount = 1);
    int PlaceText(int nHeight);
    void MoveX(long long delta);

    // Content.
    void LayoutRun(std::string run);
    int DrawPiece(std::string_view piece, int nWidth, int nTop, int nRoom);
    void LayoutBreak(std::string_view params);
    void LayoutTab(std::string_view params);
    void LayoutRule(std::string_view params);
    void LayoutString(std::string_view params);
    void LayoutImage(RixTag tag, std::string_view params);
    void RecordHotArea(const RECT& rect);
    const HotArea* HotAreaAt(POINT point) const;
    void LoadHandCursor();

    // Tags.
    void ActOnTag(std::string_view tagText);
    void OpenStyleTag(const RixTagInfo& info, std::string_view name, std::string_view params);
    void CloseStyleTag(const RixTagInfo& info);
    void ApplyFontAttributes(std::string_view params);
    void ApplyLinkAttributes(std::string_view params);
    int ReadCount(std::string_view params) const;

    // Tables.
public:
    // One record per table in text order, made by the measure pass; the draw pass stretches them.
    const std::vector<TableLayout>& GetTableLayouts() const { return m_Tables; }

private:
    enum class TablePart { Table, Row, Cell };
    struct TableGeometry;
    // Paragraphs and the tables between them, one below the other.
    SIZE LayoutBlocks(std::string_view text, const RECT& rect);
    SIZE LayoutTable(std::string_view text, const RECT& rect);
    void LayoutTableRow(std::string_view text, TableLayout& table, int row, const TableGeometry& geometry);
    void LayoutTableCell(std::string_view text, const RECT& rect, CellLayout& cell);
    // The style levels a table, row or cell closes back to.
    struct TableLevel {
        size_t nDepth;
        int nOverflow;
    };
    // Saves the style for a table, row or cell and applies its rule and attributes.
    TableLevel OpenTableLevel(const char* name, std::string_view params, TablePart part, CellLayout* cell);
    void CloseTableLevel(const TableLevel& level);
    void ApplyTableAttributes(std::string_view params, TablePart part, CellLayout* cell);
    void DrawTableDecoration(const RECT& rect, const TextStyle& style);
    void DrawTableFill(const RECT& rect, const TextStyle& style);
    void DrawTableBackground(const RECT& rect, std::string_view picture);
    gdi::Bitmap LoadTableBitmap(std::string_view source) const;
    std::vector<TableLayout> m_Tables;
    // What the text's tables may still keep (kMaxTextTableCells at the start of a measure pass).
    long long m_nTableCellsLeft = 0;
    int m_nTableDepth = 0;

    // Tables, built once.
    RixTagTable m_Tags;
    RixEntityTable m_Entities;
    RixColourTable m_Colours;
    RixStyleSheet m_StyleSheet;
    RixEffectPainter m_EffectPainter;

    // Settings.
    bool m_bNormalColours = true;
    COLORREF m_crDisabledText = 0;
    int m_nWrapWidth = 0;
    int m_nTabStep = 32;
    bool m_bConvertNewlines = true;
    RixShadowSettings m_Shadow;
    int m_nHoverLink = -2;
    HWND m_hHoverWnd = nullptr;
    UINT m_nHoverMessage = 0;
    LPARAM m_lHoverParam = 0;
    HWND m_hLinkWnd = nullptr;
    UINT m_nLinkMessage = 0;
    LPARAM m_lLinkParam = 0;
    HCURSOR m_hLinkCursor = nullptr;

    // Per pass.
    std::string m_strText;
    HDC m_hDC = nullptr;
    bool m_bMeasuring = false;
    TextStyle m_Style;
    std::vector<TextStyle> m_StyleStack;
    // Style tags opened past the deepest level kept: each is closed by the next closing style tag.
    int m_nStyleOverflow = 0;
    // The fonts asked for so far with their metrics: a style that comes back (every closing tag, every
    // later pass) selects the font it had instead of asking for a new one. The renderer owns them until
    // it is destroyed or its style sheet changes; none stays selected after a pass.
    struct CachedFont {
        LOGFONTA lf;
        gdi::Font font;
        TEXTMETRICA tm;
        bool bHasMetrics;
        // Advance widths of the 256 characters; read the first time a measure pass needs them.
        std::array<int, 256> widths;
        // 0: not read yet; 1: read; -1: a byte is not always a character in this font.
        int nWidths;
    };
    static constexpr size_t kMaxCachedFonts = 32;
    std::vector<CachedFont> m_Fonts;
    // Metrics depend on the device and its mapping: they are kept while both stay the same.
    HDC m_hMetricsDC = nullptr;
    int m_nMetricsMapMode = 0;
    int m_nMetricsDpi = 0;
    // Indexes into m_Fonts; -1 is the caller's font.
    int m_nWantedFont = -1;
    int m_nSelectedFont = -1;
    HGDIOBJ m_hOldFont = nullptr;
    TEXTMETRICA m_tmCallerFont {};
    // Measuring adds up character widths itself: one character per byte, nothing between characters.
    bool m_bLocalWidths = false;
    // The colours and background mode the device context holds while drawing.
    int m_nBkMode = 0;
    COLORREF m_crTextSet = 0;
    COLORREF m_crBkSet = 0;
    std::vector<LineMetrics> m_Lines;
    int m_nLineCounter = 0;
    int m_nLinkCounter = -1;
    int m_nTableCounter = -1;
    int m_nStripCounter = -1;
    std::vector<HotArea> m_HotAreas;

    // The paragraph being laid out.
    RECT m_rcLayout {};
    int m_nAvailable = 0;
    int m_nX = 0;
    int m_nY = 0;
    int m_nLineStartX = 0;
    int m_nParagraphWidth = 0;
    // The line being laid out; in the draw pass also what is left of it to draw.
    LineMetrics m_Line;
    int m_nLineRemaining = 0;
    int m_nBlanksToCome = 0;

    // Images.
public:
    // Shadows of images whose style asks for one; the darkness (percent) gives the shadow colour.
    void ConfigureShadow(int nOffsetX, int nOffsetY, int nDarkness, bool bSoftShadow, int nBlurWidth, int nBlurHeight);
    const RixShadowSettings& GetShadowSettings() const { return m_Shadow; }
    COLORREF GetShadowColour() const { return m_crShadow; }
    // Where "iddll" looks when a tag names no module; an owned module is freed with the renderer.
    void SetResourceModule(HMODULE hModule, bool bOwned = false) { m_ResourceModule.Reset(hModule, bOwned); }
    // The pictures "ilst" falls back on when it names no source; the renderer owns the list.
    void SetImageList(HIMAGELIST hImageList);
    const std::vector<StripFrameRecord>& GetStripRecords() const { return m_StripRecords; }

private:
    bool LoadImageSource(RixTag tag, const ImageParams& image, RixImagePlacement& placement);
    bool SizeImage(RixTag tag, const ImageParams& image, RixImagePlacement& placement);
    int PlaceObject(int nHeight);
    void DrawImage(const ImageParams& image, const RixImagePlacement& placement, int nTop);

    RixResourceModule m_ResourceModule;
    gdi::ImageList m_ImageList;
    SIZE m_ImageListIconSize {};
    COLORREF m_crShadow = 0x007F7F7F;
    std::vector<StripFrameRecord> m_StripRecords;
};
