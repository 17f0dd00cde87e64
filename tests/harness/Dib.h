// A 32-bit top-down DIB section selected into a memory DC: something to draw into and read back.
#pragma once

#include "framework/Gdi.h"

#include <memory>
#include <string>

class Dib {
public:
    Dib(int width, int height);
    ~Dib();
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF Pixel(int x, int y) const;
    void Fill(COLORREF color);
    // The stored 32-bit value 0xAARRGGBB, alpha byte included.
    uint32_t Raw(int x, int y) const;
    void SetRaw(int x, int y, uint32_t value);
    HBITMAP bitmap() const { return m_bitmap.get(); }

private:
    int m_width;
    int m_height;
    uint32_t* m_bits = nullptr;
    gdi::MemoryDC m_dc;
    gdi::Bitmap m_bitmap;
    HGDIOBJ m_old = nullptr;
};

// "RRGGBB"-style text of a COLORREF (as its hexadecimal value), for messages.
std::string ColourText(COLORREF color);
// A control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hWnd);

// Copies what a window shows (its client area) into a new DIB.
void CaptureClient(HWND hWnd, Dib& dib);
// The same, without painting what the window owes first: the pixels as they are on the screen now.
void CaptureAsShown(HWND hWnd, Dib& dib);
// A copy of a whole bitmap (any format), to read its pixels.
std::unique_ptr<Dib> CopyOfBitmap(HBITMAP hBitmap);
// Reads a pixel of a bitmap (any format) as a COLORREF.
COLORREF BitmapPixel(HBITMAP hBitmap, int x, int y);
