// What a table draws besides its cells' content: fills, tiled background pictures and borders.
#include "markup/RixMarkupRenderer.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Fills larger than this are drawn where they can be seen only: a pattern needs a byte per pixel.
constexpr long long kMaxFillPixels = 1LL << 24;
// Pictures from files are refused past these sizes, before anything is made of them.
constexpr long kMaxPictureSide = 8192;
constexpr long long kMaxPicturePixels = 1LL << 24;
// Small pictures are repeated into a tile at least this large first, so that tiling a 1-pixel picture
// costs a few copies, not one per pixel.
constexpr int kMinTile = 64;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

template <class T> T ReadLittleEndian(const unsigned char* bytes)
{
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;)
        value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

// Whether a bitmap file is what its headers say: a size the program is willing to make, and pixel
// data that the file really holds.
bool BitmapFileIsSound(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    unsigned char header[26] = {};
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header || header[0] != 'B' || header[1] != 'M')
        return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long long fileSize = std::ftell(file.get());
    const unsigned long offset = ReadLittleEndian<uint32_t>(header + 10);
    const unsigned long infoSize = ReadLittleEndian<uint32_t>(header + 14);
    long long width = 0, height = 0, bits = 24;
    if (infoSize == 12) {
        width = ReadLittleEndian<uint16_t>(header + 18);
        height = ReadLittleEndian<uint16_t>(header + 20);
        bits = ReadLittleEndian<uint16_t>(header + 24);
    } else if (infoSize >= 40) {
        unsigned char info[12] = {};
        if (std::fseek(file.get(), 18, SEEK_SET) != 0 || std::fread(info, 1, sizeof info, file.get()) != sizeof info)
            return false;
        width = static_cast<int32_t>(ReadLittleEndian<uint32_t>(info));
        height = static_cast<int32_t>(ReadLittleEndian<uint32_t>(info + 4));
        bits = ReadLittleEndian<uint16_t>(info + 10);
        // Compressed pictures say nothing about their size in the file; they are left out.
        unsigned char compression[4] = {};
        if (std::fread(compression, 1, sizeof compression, file.get()) != sizeof compression
            || (ReadLittleEndian<uint32_t>(compression) != BI_RGB
                && ReadLittleEndian<uint32_t>(compression) != BI_BITFIELDS))
            return false;
    } else {
        return false;
    }
    height = std::abs(height);
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide
        || width * height > kMaxPicturePixels || bits <= 0 || bits > 32)
        return false;
    const long long stride = ((width * bits + 31) / 32) * 4;
    return static_cast<long long>(offset) + stride * height <= fileSize;
}

} // namespace

gdi::Bitmap RixMarkupRenderer::LoadTableBitmap(std::string_view source) const
{
    // "key:value"; anything shorter than "file:x" names nothing.
    if (source.size() < 6)
        return gdi::Bitmap();
    const size_t colon = source.find(':');
    if (colon == std::string_view::npos)
        return gdi::Bitmap();
    const std::string_view key = source.substr(0, colon), value = source.substr(colon + 1);
    if (key == "idres") {
        const int id = ParseSize(ValueContext(), value, 0, false);
        if (id <= 0 || id > 0xFFFF)
            return gdi::Bitmap();
        return gdi::Bitmap(static_cast<HBITMAP>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
    if (key == "file") {
        const std::string path(value);
        if (!BitmapFileIsSound(path))
            return gdi::Bitmap();
        return gdi::Bitmap(static_cast<HBITMAP>(
            ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    }
    // "iddll" names a bitmap of the resource module; without one there is nothing to draw.
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

void RixMarkupRenderer::DrawTableBackground(const RECT& rect, std::string_view spec)
{
    if (!m_bNormalColours)
        return;
    const gdi::Bitmap bitmap = LoadTableBitmap(spec);
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
