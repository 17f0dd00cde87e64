// CPictureMenu: a pop-up menu whose items we draw ourselves. Three looks: a grid of icons, a grid
// of colour swatches, or lines of text with a small picture in a grey column on the left (the main
// window's menu).
#pragma once

#include "../framework/Gdi.h"
#include "../framework/Menu.h"

#include <list>
#include <memory>

// Looks (SetStyle).
constexpr int PICTUREMENU_STYLE_ICONS = 1;   // the item value is the icon drawn for the item
constexpr int PICTUREMENU_STYLE_COLOURS = 2; // the item text is the swatch colour as a decimal number
constexpr int PICTUREMENU_STYLE_TEXT = 3;    // text and accelerator with a 16x16 bitmap

constexpr int PICTUREMENU_DEFAULT_STYLE = PICTUREMENU_STYLE_ICONS;
constexpr int PICTUREMENU_DEFAULT_WIDTH = 25;
constexpr int PICTUREMENU_DEFAULT_HEIGHT = 32;

// Colours (COLORREF, 0x00BBGGRR).
constexpr COLORREF PICTUREMENU_IVORY = 0x00F0FFFF;     // ground of a text item
constexpr COLORREF PICTUREMENU_FRAME = 0x00804040;     // blue-grey: highlight frame, check box, tick
constexpr COLORREF PICTUREMENU_HIGHLIGHT = 0x00EBD8D8; // lavender: inside the highlight and check box
constexpr COLORREF PICTUREMENU_GREY = 0x00808080;      // swatch frame, icon-grid separator

// Longest item text kept (the record holds it NUL-terminated); longer texts are cut.
constexpr int PICTUREMENU_TEXT_MAX = 127;

// Measuring.
constexpr int PICTUREMENU_SEPARATOR_HEIGHT = 6;

// Geometry of a text item, from the item's left/top.
constexpr int PICTUREMENU_PICTURE_SIZE = 20;      // the picture box, a square at the left
constexpr int PICTUREMENU_BITMAP_SIZE = 16;       // item bitmaps are 16x16
constexpr int PICTUREMENU_BITMAP_OFFSET = 2;      // where the bitmap goes inside the picture box
constexpr int PICTUREMENU_TEXT_INSET = 2;         // the text box shrunk on every side...
constexpr int PICTUREMENU_TEXT_SHIFT_X = 6;       // ...then moved right
constexpr int PICTUREMENU_TEXT_SHIFT_Y = 2;       // ...and down
constexpr int PICTUREMENU_ACCEL_WIDTH = 60;       // the accelerator's box at the right of the text's
constexpr int PICTUREMENU_HIGHLIGHT_LEFT = 22;    // the highlight frame leaves a gap after the pictures
constexpr int PICTUREMENU_SEPARATOR_SHIFT_X = 5;  // the etched line: the text box's top moved right...
constexpr int PICTUREMENU_SEPARATOR_SHIFT_Y = 3;  // ...and down
constexpr int PICTUREMENU_TICK_OFFSET = 5;        // the tick's origin inside the check box
constexpr int PICTUREMENU_TICK_STROKES = 7;       // one-pixel columns
constexpr int PICTUREMENU_TICK_STROKE_LENGTH = 3; // pixels per column
// Start row of each tick column below the tick's origin.
constexpr int PICTUREMENU_TICK_ROWS[PICTUREMENU_TICK_STROKES] = {2, 3, 4, 3, 2, 1, 0};

// Geometry of an icon or a swatch.
constexpr int PICTUREMENU_ICON_OFFSET_X = 2; // icons go this far right of the cell's left
constexpr int PICTUREMENU_SWATCH_INSET = 3;  // from the outer frame to the grey frame

// One item. Its address is the menu item's data; the text comes first so that the same address also
// serves as the item's string where the system draws it (a pop-up's entry).
struct PictureMenuItem {
    char szText[PICTUREMENU_TEXT_MAX + 1] = {}; // up to the first tab
    std::unique_ptr<char[]> pszAccel;           // after the first tab, or null
    gdi::Bitmap pBitmap;                        // 16x16, or null
    LONG_PTR nValue = 0;                        // icon grid: the HICON drawn
    int nWidth = 0;
    int nHeight = 0;
};

class CPictureMenu : public CMenu {
public:
    CPictureMenu() = default;
    ~CPictureMenu() override;

    void SetItemWidth(int nWidth) { m_nItemWidth = nWidth; }
    void SetItemHeight(int nHeight) { m_nItemHeight = nHeight; }
    void SetStyle(int nStyle) { m_nStyle = nStyle; }

    // Appends an item drawn by us (a pop-up entry, MF_POPUP with nId its HMENU, is drawn by the
    // system). "text\taccelerator" splits at the first tab. nBitmapId 0 means no picture; a bitmap
    // that cannot be loaded leaves none either. Returns AppendMenu's result.
    BOOL AppendItem(UINT nFlags, UINT_PTR nId, LPCSTR lpszText, UINT nBitmapId = 0, LONG_PTR nValue = 0);

    void MeasureItem(MEASUREITEMSTRUCT* lpMeasureItemStruct) override;
    void DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct) override;

    // The colour of the swatch highlighted last (colour grid).
    COLORREF GetLastColour() const { return m_crLastColour; }
    // The command highlighted last (every look).
    UINT GetLastSelectedId() const { return m_nLastSelectedId; }

protected:
    int m_nStyle = PICTUREMENU_DEFAULT_STYLE;
    int m_nItemWidth = PICTUREMENU_DEFAULT_WIDTH;
    int m_nItemHeight = PICTUREMENU_DEFAULT_HEIGHT;
    std::list<PictureMenuItem> m_Items; // in append order; a list keeps every record where it is
    COLORREF m_crLastColour = 0;
    UINT m_nLastSelectedId = 0;

private:
    void DrawIconItem(const DRAWITEMSTRUCT& dis, const PictureMenuItem& item, UINT nState);
    void DrawColourItem(const DRAWITEMSTRUCT& dis, const PictureMenuItem& item);
    void DrawTextItem(const DRAWITEMSTRUCT& dis, const PictureMenuItem& item, UINT nState);
};
