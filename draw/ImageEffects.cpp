// Bitmaps, icons and strip frames drawn with per-pixel effects, alpha, masks and drop shadows.
// Every step works on one 32-bit copy; all arithmetic is done in integers so that each truncation is
// the exact one of the real-valued rule.
#include "draw/DibSection.h"
#include "draw/RixEffectPainter.h"

#include <algorithm>
#include <vector>

namespace {

// COLORREF 0x00BBGGRR to the pixel order 0x00RRGGBB.
uint32_t ToPixel(COLORREF color)
{
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

uint32_t TransformPixel(uint32_t c, DWORD style, BOOL bTransparent, uint32_t transparent, uint32_t effect)
{
    uint32_t d = 0;
    if (!bTransparent || c != transparent) {
        int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        if (style & EFFECT_GREY)
            r = g = b = (299 * r + 587 * g + 114 * b) / 1000;
        if (style & EFFECT_DARKER) {
            r = r * 3 / 4;
            g = g * 3 / 4;
            b = b * 3 / 4;
        }
        if (style & EFFECT_LIGHTER) {
            r = std::min(255, r * 5 / 4);
            g = std::min(255, g * 5 / 4);
            b = std::min(255, b * 5 / 4);
        }
        d = (style & EFFECT_MASKCOLOR) ? effect : static_cast<uint32_t>((r << 16) | (g << 8) | b);
    }
    if (style & EFFECT_INVERT)
        d = ~d & 0x00FFFFFF;
    return (c & 0xFF000000) | d;
}

// How far each box window falls short of white: the sum of 255 - value over the picture's pixels in
// the window, the padding outside counting 0. Prefix sums make the cost independent of the box size,
// and nothing is allocated or looped over by it, whatever size a caller passes.
std::vector<int64_t> BoxShortfalls(int width, int height, const BYTE* source, int boxWidth, int boxHeight)
{
    // The window of a position p covers p - box / 2 .. p - box / 2 + box - 1, cut to 0 .. extent - 1.
    auto window = [](int p, int box, int extent, int& lo, int& hi) {
        const int64_t first = static_cast<int64_t>(p) - box / 2;
        const int64_t last = first + box - 1;
        lo = static_cast<int>(std::max<int64_t>(first, 0));
        hi = static_cast<int>(std::min<int64_t>(last, extent - 1));
        return lo <= hi;
    };
    std::vector<int64_t> rows(static_cast<size_t>(width) * height);
    std::vector<int64_t> prefix(static_cast<size_t>(std::max(width, height)) + 1);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = source + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x)
            prefix[x + 1] = prefix[x] + (255 - in[x]);
        int64_t* out = &rows[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            int lo, hi;
            out[x] = window(x, boxWidth, width, lo, hi) ? prefix[hi + 1] - prefix[lo] : 0;
        }
    }
    std::vector<int64_t> sums(static_cast<size_t>(width) * height);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y)
            prefix[y + 1] = prefix[y] + rows[static_cast<size_t>(y) * width + x];
        for (int y = 0; y < height; ++y) {
            int lo, hi;
            const bool any = window(y, boxHeight, height, lo, hi);
            sums[static_cast<size_t>(y) * width + x] = any ? prefix[hi + 1] - prefix[lo] : 0;
        }
    }
    return sums;
}

int Channel(uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

// Copies a bitmap into a new 32-bit section of its own size or stretched to another.
bool CopyInto(const DibSection32& target, int width, int height, HBITMAP hSource, int xSource, int ySource,
              int sourceWidth, int sourceHeight)
{
    gdi::MemoryDC source(nullptr), dest(nullptr);
    if (!source || !dest)
        return false;
    gdi::SelectGuard selectSource(source, hSource);
    gdi::SelectGuard selectDest(dest, target.get());
    if (!selectSource || !selectDest)
        return false;
    if (sourceWidth == width && sourceHeight == height)
        return ::BitBlt(dest, 0, 0, width, height, source, xSource, ySource, SRCCOPY) != FALSE;
    ::SetStretchBltMode(dest, COLORONCOLOR);
    return ::StretchBlt(dest, 0, 0, width, height, source, xSource, ySource, sourceWidth, sourceHeight, SRCCOPY) !=
           FALSE;
}

} // namespace

gdi::Bitmap RixEffectPainter::TransformPixels(HBITMAP hBitmap, int nWidth, int nHeight, DWORD dwStyle,
                                              BOOL bTransparent, COLORREF clrTransparent, COLORREF clrEffect)
{
    if (!hBitmap)
        return {};
    DibSection32 dib(nWidth, nHeight);
    if (!dib || !CopyInto(dib, nWidth, nHeight, hBitmap, 0, 0, nWidth, nHeight))
        return {};
    const uint32_t transparent = ToPixel(clrTransparent), effect = ToPixel(clrEffect);
    uint32_t* pixels = dib.Pixels();
    for (size_t i = 0; i < dib.Count(); ++i) {
        const uint32_t c = pixels[i];
        if (c > 0x00FFFFFF)
            m_bSourceHasAlpha = TRUE;
        pixels[i] = TransformPixel(c, dwStyle, bTransparent, transparent, effect);
    }
    return dib.Release();
}

void RixEffectPainter::AlphaBlendOnto(HDC hDest, int x, int y, int nWidth, int nHeight, HDC hSource, int xSource,
                                      int ySource)
{
    DibSection32 source(nWidth, nHeight), dest(nWidth, nHeight);
    gdi::MemoryDC dc(nullptr);
    if (!source || !dest || !dc)
        return;
    {
        gdi::SelectGuard select(dc, source.get());
        ::BitBlt(dc, 0, 0, nWidth, nHeight, hSource, xSource, ySource, SRCCOPY);
    }
    gdi::SelectGuard select(dc, dest.get());
    ::BitBlt(dc, 0, 0, nWidth, nHeight, hDest, x, y, SRCCOPY);
    const uint32_t* from = source.Pixels();
    uint32_t* to = dest.Pixels();
    for (size_t i = 0; i < dest.Count(); ++i) {
        const int a = static_cast<int>(from[i] >> 24);
        uint32_t result = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int channel = (Channel(from[i], shift) * a + Channel(to[i], shift) * (255 - a)) / 255;
            result |= static_cast<uint32_t>(channel) << shift;
        }
        to[i] = result;
    }
    ::BitBlt(hDest, x, y, nWidth, nHeight, dc, 0, 0, SRCCOPY);
}

void RixEffectPainter::BoxBlur(int nWidth, int nHeight, const BYTE* pSource, int nBlurWidth, int nBlurHeight,
                               double* pFactors)
{
    if (nWidth <= 0 || nHeight <= 0 || !pSource || !pFactors)
        return;
    nBlurWidth = std::max(1, nBlurWidth);
    nBlurHeight = std::max(1, nBlurHeight);
    const std::vector<int64_t> shortfalls = BoxShortfalls(nWidth, nHeight, pSource, nBlurWidth, nBlurHeight);
    // Exact integers in a double up to 2^53, as every box of a real picture is; a box too large for
    // that still gives a factor close to 1 rather than an overflowed sum.
    const double whole = 255.0 * nBlurWidth * nBlurHeight;
    for (size_t i = 0; i < shortfalls.size(); ++i)
        pFactors[i] = (whole - static_cast<double>(shortfalls[i])) / whole;
}

void RixEffectPainter::DrawShadow(HDC hDest, int x, int y, int nWidth, int nHeight, HBITMAP hShadow, BOOL bBlur,
                                  int nBlurWidth, int nBlurHeight)
{
    if (!hShadow)
        return;
    if (bBlur) {
        // Odd boxes only, so that the blur stays centred; 0 becomes 1 (no spread).
        nBlurWidth = std::max(0, nBlurWidth);
        nBlurHeight = std::max(0, nBlurHeight);
        if (nBlurWidth % 2 == 0)
            ++nBlurWidth;
        if (nBlurHeight % 2 == 0)
            ++nBlurHeight;
        // A blur as large as the image leaves no room for the shrunk shadow: then there is none, and
        // nothing is allocated or summed for a size that may come from markup text.
        if (nBlurWidth >= nWidth || nBlurHeight >= nHeight)
            return;
    }
    DibSection32 shadow(nWidth, nHeight), background(nWidth, nHeight);
    if (!shadow || !background)
        return;
    if (bBlur) {
        {
            gdi::MemoryDC dc(nullptr);
            gdi::SelectGuard select(dc, shadow.get());
            if (!select)
                return;
            ::PatBlt(dc, 0, 0, nWidth, nHeight, WHITENESS);
        }
        const int innerWidth = nWidth - nBlurWidth, innerHeight = nHeight - nBlurHeight;
        const SIZE size = GetBitmapSize(hShadow);
        {
            gdi::MemoryDC source(nullptr), dest(nullptr);
            gdi::SelectGuard selectSource(source, hShadow);
            gdi::SelectGuard selectDest(dest, shadow.get());
            if (!selectSource || !selectDest)
                return;
            ::SetStretchBltMode(dest, COLORONCOLOR);
            ::StretchBlt(dest, nBlurWidth / 2, nBlurHeight / 2, innerWidth, innerHeight, source, 0, 0, size.cx,
                         size.cy, SRCCOPY);
        }
    } else if (!CopyInto(shadow, nWidth, nHeight, hShadow, 0, 0, nWidth, nHeight)) {
        return;
    }

    gdi::MemoryDC dc(nullptr);
    gdi::SelectGuard select(dc, background.get());
    if (!select)
        return;
    ::BitBlt(dc, 0, 0, nWidth, nHeight, hDest, x, y, SRCCOPY);

    const uint32_t* shade = shadow.Pixels();
    std::vector<BYTE> blue(shadow.Count());
    for (size_t i = 0; i < blue.size(); ++i)
        blue[i] = static_cast<BYTE>(shade[i] & 0xFF);
    // factor = part / whole; each channel becomes trunc(channel * factor), unchanged at factor 1.
    std::vector<int64_t> parts;
    int64_t whole = 255;
    if (bBlur) {
        // The box is smaller than the image here, so the whole fits easily.
        whole = 255LL * nBlurWidth * nBlurHeight;
        parts = BoxShortfalls(nWidth, nHeight, blue.data(), nBlurWidth, nBlurHeight);
        for (int64_t& part : parts)
            part = whole - part;
    } else {
        parts.assign(blue.begin(), blue.end());
    }
    uint32_t* pixels = background.Pixels();
    for (size_t i = 0; i < background.Count(); ++i) {
        if (parts[i] >= whole)
            continue;
        uint32_t result = pixels[i] & 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8)
            result |= static_cast<uint32_t>(Channel(pixels[i], shift) * parts[i] / whole) << shift;
        pixels[i] = result;
    }
    ::BitBlt(hDest, x, y, nWidth, nHeight, dc, 0, 0, SRCCOPY);
}

void RixEffectPainter::DrawImageLayers(HDC hDC, int x, int y, int nWidth, int nHeight, HBITMAP hImage,
                                       HBITMAP hMask, BOOL bMaskIsMonochrome)
{
    gdi::MemoryDC dc(hDC);
    if (!dc)
        return;
    if (m_bSourceHasAlpha) {
        gdi::SelectGuard select(dc, hImage);
        if (select)
            AlphaBlendOnto(hDC, x, y, nWidth, nHeight, dc, 0, 0);
        return;
    }
    {
        gdi::SelectGuard select(dc, hMask);
        if (!select)
            return;
        // A monochrome mask takes the destination's text colour for its 0 bits and its background
        // colour for its 1 bits: black and white for the time of the copy.
        const COLORREF oldText = bMaskIsMonochrome ? ::SetTextColor(hDC, RGB(0, 0, 0)) : 0;
        const COLORREF oldBack = bMaskIsMonochrome ? ::SetBkColor(hDC, RGB(255, 255, 255)) : 0;
        ::BitBlt(hDC, x, y, nWidth, nHeight, dc, 0, 0, SRCAND);
        if (bMaskIsMonochrome) {
            ::SetTextColor(hDC, oldText);
            ::SetBkColor(hDC, oldBack);
        }
    }
    gdi::SelectGuard select(dc, hImage);
    if (select)
        ::BitBlt(hDC, x, y, nWidth, nHeight, dc, 0, 0, SRCPAINT);
}

void RixEffectPainter::ApplyOffset(HDC hDC, int& x, int& y, int nWidth, int nHeight, HBITMAP hShape,
                                   BOOL bTransparent, COLORREF clrTransparent, DWORD dwStyle, int nOffsetX,
                                   int nOffsetY, int nBlurWidth, int nBlurHeight, COLORREF clrEffect)
{
    if (!(dwStyle & (EFFECT_SHADOW | EFFECT_SOFTSHADOW))) {
        x += nOffsetX;
        y += nOffsetY;
        return;
    }
    // The shape's pixels take the effect colour, the rest white (no shadow there).
    const gdi::Bitmap shadow = TransformPixels(hShape, nWidth, nHeight, EFFECT_MASKCOLOR | EFFECT_INVERT, bTransparent,
                                               clrTransparent, ~clrEffect & 0x00FFFFFF);
    if (shadow)
        DrawShadow(hDC, x + nOffsetX, y + nOffsetY, nWidth, nHeight, shadow.get(), (dwStyle & EFFECT_SOFTSHADOW) != 0,
                   nBlurWidth, nBlurHeight);
}

void RixEffectPainter::DrawBitmapEffect(HDC hDC, int x, int y, int nWidth, int nHeight, HBITMAP hBitmap,
                                        BOOL bTransparent, COLORREF clrTransparent, DWORD dwStyle, BOOL bOffset,
                                        int nOffsetX, int nOffsetY, int nBlurWidth, int nBlurHeight,
                                        COLORREF clrEffect)
{
    m_bSourceHasAlpha = FALSE;
    if (!hBitmap)
        return;
    // The copy is a 32-bit section whatever the destination is, so an alpha channel survives it.
    const SIZE size = GetBitmapSize(hBitmap);
    DibSection32 copy(nWidth, nHeight);
    if (!copy || !CopyInto(copy, nWidth, nHeight, hBitmap, 0, 0, size.cx, size.cy))
        return;
    const gdi::Bitmap mask = TransformPixels(copy.get(), nWidth, nHeight, EFFECT_MASKCOLOR | EFFECT_INVERT,
                                             bTransparent, clrTransparent, RGB(255, 255, 255));
    const gdi::Bitmap image =
        TransformPixels(copy.get(), nWidth, nHeight, dwStyle, bTransparent, clrTransparent, clrEffect);
    if (!mask || !image)
        return;
    if (bOffset)
        ApplyOffset(hDC, x, y, nWidth, nHeight, copy.get(), bTransparent, clrTransparent, dwStyle, nOffsetX, nOffsetY,
                    nBlurWidth, nBlurHeight, clrEffect);
    DrawImageLayers(hDC, x, y, nWidth, nHeight, image.get(), mask.get(), FALSE);
}

void RixEffectPainter::DrawIconEffect(HDC hDC, int x, int y, int nWidth, int nHeight, HICON hIcon, DWORD dwStyle,
                                      BOOL bOffset, int nOffsetX, int nOffsetY, int nBlurWidth, int nBlurHeight,
                                      COLORREF clrEffect)
{
    m_bSourceHasAlpha = FALSE;
    if (!hIcon)
        return;
    const SIZE size = GetIconSize(hIcon);
    const gdi::Icon copy = (size.cx == nWidth && size.cy == nHeight) ? gdi::Icon(::CopyIcon(hIcon))
                                                                     : StretchIcon(hIcon, nWidth, nHeight);
    ICONINFO info{};
    if (!copy || !::GetIconInfo(copy.get(), &info))
        return;
    const gdi::Bitmap mask(info.hbmMask), color(info.hbmColor);
    // A monochrome icon keeps its picture in the lower half of its mask; there is no colour part to draw.
    if (!mask || !color)
        return;
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    const gdi::Bitmap image = (dwStyle & EFFECT_MASKCOLOR)
                                  ? TransformPixels(mask.get(), nWidth, nHeight, dwStyle, TRUE, white, clrEffect)
                                  : TransformPixels(color.get(), nWidth, nHeight, dwStyle, TRUE, black, clrEffect);
    if (!image)
        return;
    if (bOffset)
        ApplyOffset(hDC, x, y, nWidth, nHeight, mask.get(), TRUE, white, dwStyle, nOffsetX, nOffsetY, nBlurWidth,
                    nBlurHeight, clrEffect);
    DrawImageLayers(hDC, x, y, nWidth, nHeight, image.get(), mask.get(), TRUE);
}

void RixEffectPainter::DrawStripFrame(HDC hDC, int x, int y, int nWidth, int nHeight, HBITMAP hStrip, int nIndex,
                                      int nFrameWidth, int nFrameHeight, BOOL bTransparent, COLORREF clrTransparent,
                                      DWORD dwStyle, BOOL bOffset, int nOffsetX, int nOffsetY, int nBlurWidth,
                                      int nBlurHeight, COLORREF clrEffect)
{
    if (!hStrip || nFrameWidth <= 0 || nFrameHeight <= 0)
        return;
    const SIZE size = GetBitmapSize(hStrip);
    const int columns = size.cx / nFrameWidth, rows = size.cy / nFrameHeight;
    if (columns <= 0 || rows <= 0 || nIndex < 0 || nIndex >= columns * rows)
        return;
    DibSection32 frame(nFrameWidth, nFrameHeight);
    if (!frame || !CopyInto(frame, nFrameWidth, nFrameHeight, hStrip, nFrameWidth * (nIndex % columns),
                            nFrameHeight * (nIndex / columns), nFrameWidth, nFrameHeight))
        return;
    DrawBitmapEffect(hDC, x, y, nWidth, nHeight, frame.get(), bTransparent, clrTransparent, dwStyle, bOffset,
                     nOffsetX, nOffsetY, nBlurWidth, nBlurHeight, clrEffect);
}

SIZE RixEffectPainter::GetBitmapSize(HBITMAP hBitmap)
{
    BITMAP bm{};
    if (!hBitmap || !::GetObjectA(hBitmap, sizeof bm, &bm))
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, std::abs(bm.bmHeight)};
}

SIZE RixEffectPainter::GetIconSize(HICON hIcon)
{
    ICONINFO info{};
    if (!hIcon || !::GetIconInfo(hIcon, &info))
        return SIZE{0, 0};
    const gdi::Bitmap mask(info.hbmMask), color(info.hbmColor);
    return SIZE{2 * static_cast<LONG>(info.xHotspot), 2 * static_cast<LONG>(info.yHotspot)};
}

gdi::Icon RixEffectPainter::StretchIcon(HICON hIcon, int nWidth, int nHeight)
{
    ICONINFO info{};
    if (!hIcon || nWidth <= 0 || nHeight <= 0 || !::GetIconInfo(hIcon, &info))
        return {};
    const gdi::Bitmap mask(info.hbmMask), color(info.hbmColor);
    gdi::MemoryDC source(nullptr), dest(nullptr);
    if (!source || !dest || !mask)
        return {};
    const int width = 2 * static_cast<int>(info.xHotspot), height = 2 * static_cast<int>(info.yHotspot);
    // A monochrome icon's mask holds both halves, one above the other.
    const int halves = color ? 1 : 2;
    auto stretch = [&](HBITMAP hFrom, int parts) {
        BITMAP bm{};
        if (!::GetObjectA(hFrom, sizeof bm, &bm))
            return gdi::Bitmap();
        gdi::Bitmap to(::CreateBitmap(nWidth, nHeight * parts, bm.bmPlanes, bm.bmBitsPixel, nullptr));
        gdi::SelectGuard selectFrom(source, hFrom);
        gdi::SelectGuard selectTo(dest, to.get());
        if (!selectFrom || !selectTo)
            return gdi::Bitmap();
        // The same sampling for both bitmaps keeps the mask over its picture.
        ::SetStretchBltMode(dest, COLORONCOLOR);
        ::StretchBlt(dest, 0, 0, nWidth, nHeight * parts, source, 0, 0, width, height * parts, SRCCOPY);
        return to;
    };
    const gdi::Bitmap newMask = stretch(mask.get(), halves);
    const gdi::Bitmap newColor = color ? stretch(color.get(), 1) : gdi::Bitmap();
    if (!newMask || (color && !newColor))
        return {};
    ICONINFO result{TRUE, 0, 0, newMask.get(), newColor.get()};
    return gdi::Icon(::CreateIconIndirect(&result));
}

void RixEffectPainter::TileBitmap(HDC hDest, int left, int top, int nWidth, int nHeight, HDC hSource, int xSource,
                                  int ySource, int nTileWidth, int nTileHeight)
{
    // An empty tile would never advance.
    if (nTileWidth <= 0 || nTileHeight <= 0)
        return;
    for (int x = left; x < left + nWidth; x += nTileWidth)
        for (int y = top; y < top + nHeight; y += nTileHeight)
            ::BitBlt(hDest, x, y, std::min(x + nTileWidth, left + nWidth) - x,
                     std::min(y + nTileHeight, top + nHeight) - y, hSource, xSource, ySource, SRCCOPY);
}
