#include "PictureMenu.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

using gdi::FillSolid;

void FrameSolid(HDC hdc, const RECT& rc, COLORREF cr)
{
    gdi::Brush brush(::CreateSolidBrush(cr));
    if (brush)
        ::FrameRect(hdc, &rc, brush.get());
}

RECT Shrunk(RECT rc, int by)
{
    ::InflateRect(&rc, -by, -by);
    return rc;
}

// Keeps everything we do to the DC inside the item and gives the DC back as we found it: selected
// objects, colours, background mode, current position and clipping. Parts of a text item reach
// past the item (the picture box is 20 high even on a 6-high separator, the text and separator
// rectangles run past the right edge), and a menu's DC is not clipped to one item for us; without
// this a separator redrawn alone would paint over the picture of the item below it.
class ItemDC {
public:
    ItemDC(HDC hdc, const RECT& rcItem)
        : m_hdc(hdc)
        , m_nSaved(::SaveDC(hdc))
    {
        ::IntersectClipRect(hdc, rcItem.left, rcItem.top, rcItem.right, rcItem.bottom);
    }
    ~ItemDC()
    {
        if (m_nSaved)
            ::RestoreDC(m_hdc, m_nSaved);
    }
    ItemDC(const ItemDC&) = delete;
    ItemDC& operator=(const ItemDC&) = delete;

private:
    HDC m_hdc;
    int m_nSaved;
};

void CopyBitmap(HDC hdc, HBITMAP hBitmap, int x, int y)
{
    gdi::MemoryDC dcSource(hdc);
    if (!dcSource)
        return;
    gdi::SelectGuard select(dcSource, hBitmap);
    ::BitBlt(hdc, x, y, PICTUREMENU_BITMAP_SIZE, PICTUREMENU_BITMAP_SIZE, dcSource, 0, 0, SRCCOPY);
}

void DrawTick(HDC hdc, int x, int y)
{
    gdi::Pen pen(::CreatePen(PS_SOLID, 1, PICTUREMENU_FRAME));
    if (!pen)
        return;
    gdi::SelectGuard select(hdc, pen.get());
    for (int i = 0; i < PICTUREMENU_TICK_STROKES; i++) {
        const int top = y + PICTUREMENU_TICK_ROWS[i];
        ::MoveToEx(hdc, x + i, top, nullptr);
        ::LineTo(hdc, x + i, top + PICTUREMENU_TICK_STROKE_LENGTH);
    }
}

// The checked look of a picture box: a blue-grey frame, lavender inside and a tick.
void DrawCheckBox(HDC hdc, const RECT& rcPicture)
{
    RECT rcBox = Shrunk(rcPicture, 1);
    FrameSolid(hdc, rcBox, PICTUREMENU_FRAME);
    rcBox = Shrunk(rcBox, 1);
    FillSolid(hdc, rcBox, PICTUREMENU_HIGHLIGHT);
    DrawTick(hdc, rcBox.left + PICTUREMENU_TICK_OFFSET, rcBox.top + PICTUREMENU_TICK_OFFSET);
}

// GetMenuState answers -1 for a command the menu does not hold; that is no state, not every flag.
UINT StateOf(HMENU hMenu, UINT nId)
{
    const UINT nState = ::GetMenuState(hMenu, nId, MF_BYCOMMAND);
    return nState == static_cast<UINT>(-1) ? 0 : nState;
}

} // namespace

CPictureMenu::~CPictureMenu()
{
    m_Items.clear();
    DestroyMenu();
}

BOOL CPictureMenu::AppendItem(UINT nFlags, UINT_PTR nId, LPCSTR lpszText, UINT nBitmapId, LONG_PTR nValue)
{
    gdi::Bitmap bitmap;
    if (nBitmapId)
        bitmap.reset(static_cast<HBITMAP>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nBitmapId), IMAGE_BITMAP, 0, 0, 0)));

    PictureMenuItem& item = m_Items.emplace_back();
    item.pBitmap = std::move(bitmap);
    item.nValue = nValue;
    item.nHeight = m_nItemHeight;
    item.nWidth = m_nItemWidth;

    if (!(nFlags & MF_POPUP))
        nFlags |= MF_OWNERDRAW;

    const char* text = lpszText ? lpszText : "";
    const char* tab = std::strchr(text, '\t');
    const size_t length = tab ? static_cast<size_t>(tab - text) : std::strlen(text);
    // Longer texts are cut: the record has room for PICTUREMENU_TEXT_MAX characters and the NUL.
    const size_t kept = std::min(length, static_cast<size_t>(PICTUREMENU_TEXT_MAX));
    std::memcpy(item.szText, text, kept);
    item.szText[kept] = '\0';
    if (tab) {
        const size_t accelLength = std::strlen(tab + 1);
        item.pszAccel = std::make_unique<char[]>(accelLength + 1);
        std::memcpy(item.pszAccel.get(), tab + 1, accelLength + 1);
    }

    return ::AppendMenuA(m_hMenu, nFlags, nId, reinterpret_cast<LPCSTR>(&item));
}

void CPictureMenu::MeasureItem(MEASUREITEMSTRUCT* lpMeasureItemStruct)
{
    if (!lpMeasureItemStruct)
        return;
    const auto* item = reinterpret_cast<const PictureMenuItem*>(lpMeasureItemStruct->itemData);
    const int nWidth = item ? item->nWidth : m_nItemWidth;
    const int nHeight = item ? item->nHeight : m_nItemHeight;
    const bool bSeparator = StateOf(m_hMenu, lpMeasureItemStruct->itemID) & MF_SEPARATOR;
    lpMeasureItemStruct->itemWidth = static_cast<UINT>(nWidth);
    lpMeasureItemStruct->itemHeight = static_cast<UINT>(bSeparator ? PICTUREMENU_SEPARATOR_HEIGHT : nHeight);
}

void CPictureMenu::DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct)
{
    if (!lpDrawItemStruct || !lpDrawItemStruct->hDC)
        return;
    // Every item we append carries its record; an item without one is not ours to draw.
    const auto* item = reinterpret_cast<const PictureMenuItem*>(lpDrawItemStruct->itemData);
    if (!item)
        return;
    if (m_nStyle != PICTUREMENU_STYLE_ICONS && m_nStyle != PICTUREMENU_STYLE_COLOURS
        && m_nStyle != PICTUREMENU_STYLE_TEXT)
        return;

    const UINT nState = StateOf(m_hMenu, lpDrawItemStruct->itemID);
    ItemDC dc(lpDrawItemStruct->hDC, lpDrawItemStruct->rcItem);
    switch (m_nStyle) {
    case PICTUREMENU_STYLE_ICONS:
        DrawIconItem(*lpDrawItemStruct, *item, nState);
        break;
    case PICTUREMENU_STYLE_COLOURS:
        DrawColourItem(*lpDrawItemStruct, *item);
        break;
    case PICTUREMENU_STYLE_TEXT:
        DrawTextItem(*lpDrawItemStruct, *item, nState);
        break;
    default:
        break;
    }
}

void CPictureMenu::DrawIconItem(const DRAWITEMSTRUCT& dis, const PictureMenuItem& item, UINT nState)
{
    const HDC hdc = dis.hDC;
    const RECT& rc = dis.rcItem;
    const bool bSelected = dis.itemState & ODS_SELECTED;

    if (nState & MF_SEPARATOR) {
        // No icon and nothing to highlight: a grey line across the middle of the cell.
        if (dis.itemAction & ODA_DRAWENTIRE) {
            const LONG y = rc.top + (rc.bottom - rc.top) / 2;
            FillSolid(hdc, RECT { rc.left, y, rc.right, y + 1 }, PICTUREMENU_GREY);
        }
        return;
    }

    if ((dis.itemAction & ODA_DRAWENTIRE) && item.nValue)
        ::DrawIcon(hdc, rc.left + PICTUREMENU_ICON_OFFSET_X, rc.top, reinterpret_cast<HICON>(item.nValue));

    if (bSelected && (dis.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
        FrameSolid(hdc, rc, PICTUREMENU_FRAME);
        FrameSolid(hdc, Shrunk(rc, 1), PICTUREMENU_FRAME);
        m_nLastSelectedId = dis.itemID;
    } else if (!bSelected && (dis.itemAction & ODA_SELECT)) {
        const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
        FrameSolid(hdc, rc, crFace);
        FrameSolid(hdc, Shrunk(rc, 1), crFace);
    }
}

void CPictureMenu::DrawColourItem(const DRAWITEMSTRUCT& dis, const PictureMenuItem& item)
{
    const HDC hdc = dis.hDC;
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF crSwatch = static_cast<COLORREF>(std::strtoul(item.szText, nullptr, 10));
    const bool bSelected = dis.itemState & ODS_SELECTED;
    // The raised edge and the frames that take it away again both work on the whole cell. Were the
    // edge drawn inside the swatch after a full redraw, the frames of the next unhighlight would
    // miss it and it would stay on the swatch.
    const RECT rcCell = dis.rcItem;

    if (dis.itemAction & ODA_DRAWENTIRE) {
        FrameSolid(hdc, rcCell, crFace);
        RECT rcSwatch = Shrunk(rcCell, PICTUREMENU_SWATCH_INSET);
        FrameSolid(hdc, rcSwatch, PICTUREMENU_GREY);
        rcSwatch = Shrunk(rcSwatch, 1);
        FillSolid(hdc, rcSwatch, crSwatch);
    }

    if (bSelected && (dis.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
        RECT rcEdge = rcCell;
        ::DrawEdge(hdc, &rcEdge, EDGE_RAISED, BF_RECT);
        m_crLastColour = crSwatch;
        m_nLastSelectedId = dis.itemID;
    } else if (!bSelected && (dis.itemAction & ODA_SELECT)) {
        FrameSolid(hdc, rcCell, crFace);
        FrameSolid(hdc, Shrunk(rcCell, 1), crFace);
    }
}

void CPictureMenu::DrawTextItem(const DRAWITEMSTRUCT& dis, const PictureMenuItem& item, UINT nState)
{
    const HDC hdc = dis.hDC;
    const RECT& rc = dis.rcItem;
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const bool bSelected = dis.itemState & ODS_SELECTED;
    const bool bDisabled = nState & (MF_GRAYED | MF_DISABLED);
    const bool bChecked = nState & MF_CHECKED;
    const HBITMAP hBitmap = item.pBitmap.get();

    RECT rcPicture = { rc.left, rc.top, rc.left + PICTUREMENU_PICTURE_SIZE, rc.top + PICTUREMENU_PICTURE_SIZE };
    RECT rcTextBox = { rc.left + PICTUREMENU_PICTURE_SIZE, rc.top, rc.right, rc.bottom };
    RECT rcText = Shrunk(rcTextBox, PICTUREMENU_TEXT_INSET);
    ::OffsetRect(&rcText, PICTUREMENU_TEXT_SHIFT_X, PICTUREMENU_TEXT_SHIFT_Y);
    const RECT rcAccel = { rcText.right - PICTUREMENU_ACCEL_WIDTH, rcText.top, rcText.right, rcText.bottom };
    const int xBitmap = rc.left + PICTUREMENU_BITMAP_OFFSET;
    const int yBitmap = rc.top + PICTUREMENU_BITMAP_OFFSET;

    ::SetBkMode(hdc, TRANSPARENT);
    // The system leaves the highlight text colour (white) in the DC for a selected item, which
    // cannot be read on lavender; enabled items are written in the menu's text colour.
    ::SetTextColor(hdc, ::GetSysColor(bDisabled ? COLOR_BTNFACE : COLOR_MENUTEXT));
    auto drawTexts = [&]() {
        RECT rcDraw = rcText;
        ::DrawTextA(hdc, item.szText, -1, &rcDraw, DT_SINGLELINE);
        if (item.pszAccel) {
            rcDraw = rcAccel;
            ::DrawTextA(hdc, item.pszAccel.get(), -1, &rcDraw, DT_SINGLELINE);
        }
    };

    if (dis.itemAction & ODA_DRAWENTIRE) {
        FillSolid(hdc, rc, PICTUREMENU_IVORY);
        FillSolid(hdc, rcPicture, crFace);
        if (nState & MF_SEPARATOR) {
            RECT rcLine = rcTextBox;
            ::OffsetRect(&rcLine, PICTUREMENU_SEPARATOR_SHIFT_X, PICTUREMENU_SEPARATOR_SHIFT_Y);
            ::DrawEdge(hdc, &rcLine, EDGE_ETCHED, BF_TOP);
        }
        if (bChecked)
            DrawCheckBox(hdc, rcPicture);
        if (hBitmap)
            CopyBitmap(hdc, hBitmap, xBitmap, yBitmap);
        drawTexts();
    }

    if (bSelected && (dis.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
        if (bDisabled)
            return;
        if (!bChecked && hBitmap)
            ::DrawEdge(hdc, &rcPicture, EDGE_RAISED, BF_RECT);
        RECT rcHighlight = { rc.left + PICTUREMENU_HIGHLIGHT_LEFT, rc.top, rc.right, rc.bottom };
        FrameSolid(hdc, rcHighlight, PICTUREMENU_FRAME);
        FillSolid(hdc, Shrunk(rcHighlight, 1), PICTUREMENU_HIGHLIGHT);
        drawTexts();
        m_nLastSelectedId = dis.itemID;
    } else if (!bSelected && (dis.itemAction & ODA_SELECT)) {
        if (hBitmap) {
            FillSolid(hdc, rcPicture, crFace);
            // Filling the picture box took the check box with it; a checked item keeps its look.
            if (bChecked)
                DrawCheckBox(hdc, rcPicture);
            CopyBitmap(hdc, hBitmap, xBitmap, yBitmap);
        }
        FillSolid(hdc, rcTextBox, PICTUREMENU_IVORY);
        drawTexts();
    }
}
