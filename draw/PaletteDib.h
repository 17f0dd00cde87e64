// A device-independent bitmap in one owned block (header, colour table, pixel rows), turned into a
// DIB section and a memory DC the first time it is drawn. The patterned backgrounds are computed in
// one of these, one byte per pixel, and reach the screen in a single BitBlt.
#pragma once

#include "framework/Gdi.h"

#include <cstdint>
#include <memory>

class PaletteDib {
public:
    PaletteDib() = default;
    PaletteDib(const PaletteDib&) = delete;
    PaletteDib& operator=(const PaletteDib&) = delete;

    // Discards any earlier content and allocates a new block, zeroed (the same size again reuses the
    // block, section and DC; a caller that writes every pixel may pass zeroed = false to have the
    // reused pixels left as they were). Returns the block, or null when it cannot be allocated (or the
    // size is empty); every other operation then does nothing.
    BYTE* Create(int width, int height, int bitsPerPixel, bool zeroed = true);
    // Ignored for an index at or past the colour count.
    void SetPaletteEntry(int index, BYTE red, BYTE green, BYTE blue);
    // The first `count` entries at once (as many as the table has).
    void SetColorTable(const RGBQUAD* entries, int count);
    // Mixes every colour-table entry toward `color` by `percent` (low byte, at most 100).
    void BlendPalette(COLORREF color, int percent);
    // Sets every byte of the pixel rows.
    void Fill(BYTE value);
    // (x, y) top-down; ignored outside the bitmap. Writes one byte (8 bits per pixel).
    void SetPixel(int x, int y, BYTE value);
    // The caller may write the rows through this pointer: the next draw converts them anew.
    BYTE* GetBits() const
    {
        m_bColoursCurrent = false;
        return m_block ? m_block.get() + sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * m_nColors : nullptr;
    }
    int GetStride() const { return m_block ? m_nStride : 0; }
    // Copies the whole bitmap to (x, y).
    void Draw(HDC hDC, int x, int y);
    // For 8 bits per pixel: the 32-bit rows (bottom-up, width pixels each) the bitmap reaches the
    // target through, for a caller that works out the colours of the rows as it writes them; null
    // when they cannot be made. ColoursWritten then says that every row's colours match the rows and
    // the colour table, which spares the next draw the conversion, until any change through this
    // object (GetBits included).
    uint32_t* ColourRows();
    void ColoursWritten();
    // Copies the bitmap side by side from (x, y) over `width` pixels, the last copy cut to fit.
    // False when nothing could be drawn.
    bool DrawAcross(HDC hDC, int x, int y, int width);

    int GetWidth() const { return m_block ? m_header.biWidth : 0; }
    int GetHeight() const { return m_block ? m_header.biHeight : 0; }
    int GetColorCount() const { return m_block ? m_nColors : 0; }
    const RGBQUAD* GetColorTable() const;
    const BITMAPINFOHEADER& GetHeader() const { return m_header; }

private:
    void Release();
    bool MakeSection(HDC hDC);
    // Whether what is drawn into rect of this DC can be read back as it was drawn.
    static bool CanCopyWithin(HDC hDC, const RECT& rect);
    // Brings the section up to date with the block and selects it into the DC; false on failure.
    bool Prepare(HDC hDC);

    std::unique_ptr<BYTE[]> m_block;
    size_t m_nBlockSize = 0;
    BITMAPINFOHEADER m_header {};
    int m_nColors = 0;
    int m_nStride = 0;
    // Declared in this order so that the DC goes before the section selected into it.
    gdi::Bitmap m_section;
    void* m_pSectionBits = nullptr;
    gdi::MemoryDC m_dc;
    mutable bool m_bColoursCurrent = false;
};
