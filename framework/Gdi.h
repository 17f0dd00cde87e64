// Owners of GDI handles and device contexts. Owners are move-only; a select guard always restores
// what it replaced. Declare an owner before the guard that selects it, so it is deselected first.
#pragma once

#include "Platform.h"

#include <atomic>
#include <utility>

namespace gdi {

// Handles held by our owners right now; tests use it to prove that drawing leaks nothing
// (the platform's own count is not available everywhere).
int LiveObjects();
void CountCreated();
void CountReleased();

template <class H, BOOL(WINAPI* Release)(H)> class Owner {
public:
    Owner() = default;
    explicit Owner(H h)
        : m_h(h)
    {
        if (m_h)
            CountCreated();
    }
    ~Owner() { reset(); }
    Owner(Owner&& other) noexcept
        : m_h(std::exchange(other.m_h, nullptr))
    {
    }
    Owner& operator=(Owner&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    H get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void reset(H h = nullptr)
    {
        if (m_h) {
            Release(m_h);
            CountReleased();
        }
        m_h = h;
        if (m_h)
            CountCreated();
    }
    H release()
    {
        if (m_h)
            CountReleased();
        return std::exchange(m_h, nullptr);
    }

private:
    H m_h = nullptr;
};

inline BOOL WINAPI DeleteGdiObject(HGDIOBJ h)
{
    return ::DeleteObject(h);
}
inline BOOL WINAPI DeleteBitmap(HBITMAP h)
{
    return ::DeleteObject(h);
}
inline BOOL WINAPI DeleteFont(HFONT h)
{
    return ::DeleteObject(h);
}
inline BOOL WINAPI DeletePen(HPEN h)
{
    return ::DeleteObject(h);
}
inline BOOL WINAPI DeleteBrush(HBRUSH h)
{
    return ::DeleteObject(h);
}
inline BOOL WINAPI DeleteRgn(HRGN h)
{
    return ::DeleteObject(h);
}
inline BOOL WINAPI DestroyIconHandle(HICON h)
{
    return ::DestroyIcon(h);
}
inline BOOL WINAPI DeleteMemoryDC(HDC h)
{
    return ::DeleteDC(h);
}
inline BOOL WINAPI DestroyImageList(HIMAGELIST h)
{
    return ::ImageList_Destroy(h);
}

using Bitmap = Owner<HBITMAP, DeleteBitmap>;
using Font = Owner<HFONT, DeleteFont>;
using Pen = Owner<HPEN, DeletePen>;
using Brush = Owner<HBRUSH, DeleteBrush>;
using Region = Owner<HRGN, DeleteRgn>;
using Icon = Owner<HICON, DestroyIconHandle>;
using ImageList = Owner<HIMAGELIST, DestroyImageList>;

// A memory device context compatible with another one (or with the screen).
class MemoryDC : public Owner<HDC, DeleteMemoryDC> {
public:
    MemoryDC() = default;
    explicit MemoryDC(HDC hdcCompatible)
        : Owner(::CreateCompatibleDC(hdcCompatible))
    {
    }
    operator HDC() const { return get(); }
};

// GetDC / ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hWnd)
        : m_hWnd(hWnd)
        , m_hDC(::GetDC(hWnd))
    {
    }
    ~WindowDC()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hWnd)
        : m_hWnd(hWnd)
    {
        m_hDC = ::BeginPaint(hWnd, &m_ps);
    }
    ~PaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    operator HDC() const { return m_hDC; }
    const PAINTSTRUCT& ps() const { return m_ps; }

private:
    HWND m_hWnd;
    HDC m_hDC;
    PAINTSTRUCT m_ps {};
};

// Selects an object into a DC and puts the previous one back on destruction.
class SelectGuard {
public:
    SelectGuard(HDC hDC, HGDIOBJ hObject)
        : m_hDC(hDC)
        , m_hOld(hObject ? ::SelectObject(hDC, hObject) : nullptr)
    {
    }
    ~SelectGuard()
    {
        if (m_hOld)
            ::SelectObject(m_hDC, m_hOld);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    // False when nothing was selected (a null object, or one the DC refused).
    explicit operator bool() const { return m_hOld != nullptr; }

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// Fills a rectangle with a plain colour without creating a brush; the DC's background colour is
// put back.
void FillSolid(HDC hDC, const RECT& rc, COLORREF color);

} // namespace gdi
