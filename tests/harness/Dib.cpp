#include "Dib.h"

#include <cstdio>
#include <vector>

Dib::Dib(int width, int height) : m_width(width), m_height(height), m_dc(nullptr)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height; // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap.reset(::CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    m_bits = static_cast<uint32_t*>(bits);
    m_old = ::SelectObject(m_dc, m_bitmap.get());
}

Dib::~Dib()
{
    ::SelectObject(m_dc, m_old);
}

COLORREF Dib::Pixel(int x, int y) const
{
    const uint32_t v = Raw(x, y);
    // DIB memory is 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

uint32_t Dib::Raw(int x, int y) const
{
    ::GdiFlush();
    return m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
}

void Dib::SetRaw(int x, int y, uint32_t value)
{
    ::GdiFlush();
    m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)] = value;
}

void Dib::Fill(COLORREF color)
{
    gdi::Brush brush(::CreateSolidBrush(color));
    RECT rc = {0, 0, m_width, m_height};
    ::FillRect(m_dc, &rc, brush.get());
}

void CaptureClient(HWND hWnd, Dib& dib)
{
    ::UpdateWindow(hWnd);
    CaptureAsShown(hWnd, dib);
}

void CaptureAsShown(HWND hWnd, Dib& dib)
{
    gdi::WindowDC dc(hWnd);
    ::BitBlt(dib.dc(), 0, 0, dib.width(), dib.height(), dc, 0, 0, SRCCOPY);
}

std::unique_ptr<Dib> CopyOfBitmap(HBITMAP hBitmap)
{
    BITMAP bm = {};
    ::GetObjectA(hBitmap, sizeof(bm), &bm);
    auto dib = std::make_unique<Dib>(bm.bmWidth, bm.bmHeight);
    gdi::MemoryDC src(nullptr);
    gdi::SelectGuard select(src, hBitmap);
    ::BitBlt(dib->dc(), 0, 0, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
    return dib;
}

COLORREF BitmapPixel(HBITMAP hBitmap, int x, int y)
{
    return CopyOfBitmap(hBitmap)->Pixel(x, y);
}

std::string ColourText(COLORREF color)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%06lX", static_cast<unsigned long>(color));
    return text;
}

RECT RectInParent(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}
