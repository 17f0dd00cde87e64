#include "draw/PaletteDib.h"

#include "draw/PaletteColours.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

int ColorCountFor(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

// The biggest block we try to allocate: a bitmap larger than this cannot become a DIB section anyway.
constexpr uint64_t kMaxBlock = 0x7FFFFFFF;

} // namespace

void PaletteDib::Release()
{
    m_bColoursCurrent = false;
    m_dc.reset();
    m_section.reset();
    m_pSectionBits = nullptr;
    m_block.reset();
    m_nBlockSize = 0;
    m_header = BITMAPINFOHEADER {};
    m_nColors = 0;
    m_nStride = 0;
}

BYTE* PaletteDib::Create(int width, int height, int bitsPerPixel, bool zeroed)
{
    m_bColoursCurrent = false;
    // The same size again keeps the block, the section and the DC: only the content is discarded.
    // (A window repainted at one size would otherwise pay for fresh pages and platform objects on
    // every fill.)
    if (m_block && width == m_header.biWidth && height == m_header.biHeight && bitsPerPixel == m_header.biBitCount) {
        if (zeroed)
            std::memset(m_block.get() + sizeof(BITMAPINFOHEADER), 0, m_nBlockSize - sizeof(BITMAPINFOHEADER));
        else
            std::memset(m_block.get() + sizeof(BITMAPINFOHEADER), 0, sizeof(RGBQUAD) * m_nColors);
        return m_block.get();
    }
    Release();
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0 || bitsPerPixel > 32)
        return nullptr;
    const int colors = ColorCountFor(bitsPerPixel);
    const uint64_t stride = ((static_cast<uint64_t>(width) * bitsPerPixel + 31) >> 5) << 2;
    const uint64_t image = stride * static_cast<uint64_t>(height);
    const uint64_t size = sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * colors + image;
    if (size > kMaxBlock)
        return nullptr;
    m_block.reset(new (std::nothrow) BYTE[size]);
    if (!m_block)
        return nullptr;
    std::memset(m_block.get(), 0, size);
    m_nBlockSize = static_cast<size_t>(size);
    m_nColors = colors;
    m_nStride = static_cast<int>(stride);
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_header.biPlanes = 1;
    m_header.biBitCount = static_cast<WORD>(bitsPerPixel);
    m_header.biCompression = BI_RGB;
    m_header.biSizeImage = static_cast<DWORD>(image);
    std::memcpy(m_block.get(), &m_header, sizeof m_header);
    return m_block.get();
}

const RGBQUAD* PaletteDib::GetColorTable() const
{
    return m_block ? reinterpret_cast<const RGBQUAD*>(m_block.get() + sizeof(BITMAPINFOHEADER)) : nullptr;
}

void PaletteDib::SetPaletteEntry(int index, BYTE red, BYTE green, BYTE blue)
{
    if (!m_block || index < 0 || index >= m_nColors)
        return;
    m_bColoursCurrent = false;
    RGBQUAD* table = const_cast<RGBQUAD*>(GetColorTable());
    table[index] = RGBQUAD { blue, green, red, 0 };
}

void PaletteDib::SetColorTable(const RGBQUAD* entries, int count)
{
    if (!m_block || count <= 0)
        return;
    m_bColoursCurrent = false;
    std::memcpy(const_cast<RGBQUAD*>(GetColorTable()), entries, sizeof(RGBQUAD) * std::min(count, m_nColors));
}

void PaletteDib::BlendPalette(COLORREF color, int percent)
{
    if (!m_block)
        return;
    int p = percent & 0xFF;
    if (p > 100)
        p = 100;
    // (c1 * 0 + channel * 100) / 100 is the channel itself.
    if (p == 0)
        return;
    m_bColoursCurrent = false;
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    RGBQUAD* table = const_cast<RGBQUAD*>(GetColorTable());
    for (int i = 0; i < m_nColors; ++i) {
        table[i].rgbRed = static_cast<BYTE>((r * p + table[i].rgbRed * (100 - p)) / 100);
        table[i].rgbGreen = static_cast<BYTE>((g * p + table[i].rgbGreen * (100 - p)) / 100);
        table[i].rgbBlue = static_cast<BYTE>((b * p + table[i].rgbBlue * (100 - p)) / 100);
    }
}

void PaletteDib::Fill(BYTE value)
{
    if (m_block)
        std::memset(GetBits(), value, m_header.biSizeImage); // (GetBits marks the colours stale)
}

void PaletteDib::SetPixel(int x, int y, BYTE value)
{
    if (!m_block || x < 0 || y < 0 || x >= m_header.biWidth || y >= m_header.biHeight)
        return;
    GetBits()[static_cast<size_t>(m_header.biHeight - 1 - y) * m_nStride + x] = value;
}

bool PaletteDib::MakeSection(HDC hDC)
{
    if (m_section)
        return true;
    void* bits = nullptr;
    gdi::Bitmap section;
    if (m_header.biBitCount == 8) {
        // 8 bits per pixel travel as their colours: a 32-bit section filled through the colour table
        // copies to the target as fast as any copy, where the platform's own palette conversion
        // costs several times that.
        BITMAPINFO info {};
        info.bmiHeader = m_header;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biSizeImage = 0;
        section.reset(::CreateDIBSection(hDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    } else {
        section.reset(
            ::CreateDIBSection(hDC, reinterpret_cast<BITMAPINFO*>(m_block.get()), DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    if (!section || !bits)
        return false;
    m_section = std::move(section);
    m_pSectionBits = bits;
    return true;
}

bool PaletteDib::Prepare(HDC hDC)
{
    if (!m_block || !MakeSection(hDC))
        return false;
    ::GdiFlush();
    const int W = m_header.biWidth, H = m_header.biHeight;
    if (m_header.biBitCount == 8 && m_bColoursCurrent) {
        // Written with the rows.
    } else if (m_header.biBitCount == 8) {
        uint32_t table[256];
        std::memcpy(table, GetColorTable(), sizeof table);
        rixcolours::Convert(
            GetBits(), m_nStride, static_cast<uint32_t*>(m_pSectionBits), W, H, table, rixcolours::Best());
    } else {
        std::memcpy(m_pSectionBits, GetBits(), m_header.biSizeImage);
    }
    if (!m_dc) {
        gdi::MemoryDC dc(hDC);
        // The section stays selected for the DC's life: selecting it anew costs as much as a good
        // part of a small copy. The DC goes before the section (see the members' order).
        if (!dc || !::SelectObject(dc, m_section.get()))
            return false;
        m_dc = std::move(dc);
    }
    // The colour table may have changed since the section was made from the block.
    if (m_nColors && m_header.biBitCount != 8)
        ::SetDIBColorTable(m_dc, 0, m_nColors, GetColorTable());
    return true;
}

uint32_t* PaletteDib::ColourRows()
{
    m_bColoursCurrent = false;
    // The section's colours need no DC: one is only asked for palette-relative colours.
    if (!m_block || m_header.biBitCount != 8 || !MakeSection(nullptr))
        return nullptr;
    ::GdiFlush();
    return static_cast<uint32_t*>(m_pSectionBits);
}

void PaletteDib::ColoursWritten()
{
    m_bColoursCurrent = m_block && m_header.biBitCount == 8 && m_pSectionBits;
}

void PaletteDib::Draw(HDC hDC, int x, int y)
{
    if (Prepare(hDC))
        ::BitBlt(hDC, x, y, m_header.biWidth, m_header.biHeight, m_dc, 0, 0, SRCCOPY);
}

bool PaletteDib::DrawAcross(HDC hDC, int x, int y, int width)
{
    if (width <= 0 || !Prepare(hDC))
        return false;
    const int W = m_header.biWidth, H = m_header.biHeight;
    if (!::BitBlt(hDC, x, y, std::min(W, width), H, m_dc, 0, 0, SRCCOPY))
        return false;
    // Where every pixel of that copy is sure to have landed unchanged, the rest is copied from what
    // is already there, twice as wide each time: fewer calls than one per bitmap width.
    const bool again = width > W && CanCopyWithin(hDC, RECT { x, y, x + width, y + H });
    for (int done = W; done < width;) {
        const int n = std::min(again ? done : W, width - done);
        if (!(again ? ::BitBlt(hDC, x + done, y, n, H, hDC, x, y, SRCCOPY)
                    : ::BitBlt(hDC, x + done, y, n, H, m_dc, 0, 0, SRCCOPY)))
            return false;
        done += n;
    }
    return true;
}

bool PaletteDib::CanCopyWithin(HDC hDC, const RECT& rect)
{
    // A memory DC of plain true colour, co-ordinates only moved, and the whole rectangle inside one
    // rectangular drawable area (the bitmap, less any clipping).
    if (::GetObjectType(hDC) != OBJ_MEMDC || ::GetMapMode(hDC) != MM_TEXT || ::GetGraphicsMode(hDC) != GM_COMPATIBLE
        || ::GetLayout(hDC) != 0)
        return false;
    BITMAP bm {};
    if (!::GetObjectA(::GetCurrentObject(hDC, OBJ_BITMAP), sizeof bm, &bm) || bm.bmBitsPixel < 24)
        return false;
    RECT box {};
    return ::GetClipBox(hDC, &box) == SIMPLEREGION && rect.left >= box.left && rect.top >= box.top
        && rect.right <= box.right && rect.bottom <= box.bottom;
}
