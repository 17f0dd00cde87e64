// A 32-bit DIB section (rows bottom-up, one 0xAARRGGBB value per pixel) with its pixel memory: the
// working copy every per-pixel effect reads and writes.
#pragma once

#include "framework/Gdi.h"

#include <cstdint>
#include <utility>

class DibSection32 {
public:
    DibSection32(int width, int height)
    {
        if (width <= 0 || height <= 0)
            return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (m_bitmap && bits) {
            m_pBits = static_cast<uint32_t*>(bits);
            m_nCount = static_cast<size_t>(width) * height;
        } else {
            m_bitmap.reset();
        }
    }

    explicit operator bool() const { return m_pBits != nullptr; }
    HBITMAP get() const { return m_bitmap.get(); }
    // Pending drawing reaches the pixel memory before it is read.
    uint32_t* Pixels() const
    {
        ::GdiFlush();
        return m_pBits;
    }
    size_t Count() const { return m_nCount; }
    // Hands the section to the caller.
    gdi::Bitmap Release()
    {
        m_pBits = nullptr;
        m_nCount = 0;
        return std::move(m_bitmap);
    }

private:
    gdi::Bitmap m_bitmap;
    uint32_t* m_pBits = nullptr;
    size_t m_nCount = 0;
};
