// What a table draws besides its cells' content: fills, tiled background pictures and borders.
#include "markup/RixMarkupRenderer.h"

#include <algorithm>

namespace {

// Fills larger than this are drawn where they can be seen only: a pattern needs a byte per pixel.
constexpr long long kMaxFillPixels = 1LL << 24;
// Small pictures are repeated into a tile at least this large first, so that tiling a 1-pixel picture
// costs a few copies, not one per pixel.
constexpr int kMinTile = 64;

} // namespace

gdi::Bitmap RixMarkupRenderer::LoadTableBitmap(std::string_view source) const
{
    // "key:value"
    const size_t colon = source.find(':');
    if (colon == std::string_view::npos)
        return gdi::Bitmap();
    const std::string_view key = source.substr(0, colon), value = source.substr(colon + 1);
    if (key == "file")
        return LoadBitmapFile(std::string(value));
    const int id = ParseSize(ValueContext(), value, 0, false);
    if (key == "idres")
        return LoadBitmapResource(::GetModuleHandleA(nullptr), id);
    if (key == "iddll")
        return LoadBitmapResource(m_ResourceModule.Get(), id);
    return gdi::Bitmap();
}

void RixMarkupRenderer::DrawTableDecoration(const RECT& rect, const TextStyle& style)
{
    if (style.nFillEffect < 0 && !style.strBackgroundImage.empty())
        DrawTableBackground(rect, style.strBackgroundImage);
    else if (style.nFillEffect >= 0)
        DrawTableFill(rect, style);
    if (style.nBorderWidth > 0) {
        const COLORREF light = m_bNormalColours ? style.crBorderLight : m_crDisabledText;
        const COLORREF dark = m_bNormalColours ? style.crBorderDark : m_crDisabledText;
        RixEffectPainter::DrawBorder(m_hDC, rect, light, dark, style.nBorderStyle, style.nBorderWidth);
    }
}

void RixMarkupRenderer::DrawTableFill(const RECT& rect, const TextStyle& style)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    RECT area = rect;
    const long long pixels = (static_cast<long long>(rect.right) - rect.left) * (rect.bottom - rect.top);
    if (pixels > kMaxFillPixels) {
        RECT clip {};
        if (::GetClipBox(m_hDC, &clip) == ERROR || !::IntersectRect(&area, &rect, &clip))
            return;
    }
    m_EffectPainter.DrawEffect(
        m_hDC, style.nFillEffect, area, style.crBackground, style.crFillMiddle, style.crFillEnd, 5, 0);
}

void RixMarkupRenderer::DrawTableBackground(const RECT& rect, std::string_view picture)
{
    if (!m_bNormalColours)
        return;
    const gdi::Bitmap bitmap = LoadTableBitmap(picture);
    const SIZE size = RixEffectPainter::GetBitmapSize(bitmap.get());
    if (size.cx <= 0 || size.cy <= 0)
        return;
    // Only the part that can be seen is tiled, from a corner of the tile grid that starts at the
    // table's top left.
    RECT clip {}, visible {};
    if (::GetClipBox(m_hDC, &clip) == ERROR || !::IntersectRect(&visible, &rect, &clip))
        return;
    gdi::MemoryDC source(m_hDC);
    gdi::SelectGuard selectSource(source, bitmap.get());
    if (!source || !selectSource)
        return;
    int tileWidth = size.cx, tileHeight = size.cy;
    gdi::MemoryDC tileDC;
    gdi::Bitmap tile;
    if (tileWidth < kMinTile || tileHeight < kMinTile) {
        tileWidth *= (kMinTile + size.cx - 1) / size.cx;
        tileHeight *= (kMinTile + size.cy - 1) / size.cy;
        tileDC = gdi::MemoryDC(m_hDC);
        tile = gdi::Bitmap(::CreateCompatibleBitmap(m_hDC, tileWidth, tileHeight));
    }
    HDC hTile = source;
    gdi::SelectGuard selectTile(tileDC.get(), tile.get());
    if (tile && tileDC && selectTile) {
        RixEffectPainter::TileBitmap(tileDC, 0, 0, tileWidth, tileHeight, source, 0, 0, size.cx, size.cy);
        hTile = tileDC;
    } else {
        tileWidth = size.cx;
        tileHeight = size.cy;
    }
    const int left = rect.left + (visible.left - rect.left) / tileWidth * tileWidth;
    const int top = rect.top + (visible.top - rect.top) / tileHeight * tileHeight;
    RixEffectPainter::TileBitmap(
        m_hDC, left, top, visible.right - left, visible.bottom - top, hTile, 0, 0, tileWidth, tileHeight);
}
