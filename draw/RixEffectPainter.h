// The drawing-effects object: background fills (gradients and patterned effects), bitmaps, icons and
// strip frames with per-pixel effects and shadows, tiling, borders and lines. Everything it creates
// during a call is released before the call returns, except the bitmap or icon handed to the caller
// and the pattern buffer, which it keeps for the next patterned fill.
#pragma once

#include "draw/PaletteDib.h"

#include <cstdint>

// Background effect numbers.
enum RixBackgroundEffect {
    RIXFX_TRANSPARENT = -1,
    RIXFX_SOLID = 0,
    RIXFX_HGRADIENT = 1,
    RIXFX_VGRADIENT = 2,
    RIXFX_HCGRADIENT = 3,
    RIXFX_VCGRADIENT = 4,
    RIXFX_3HGRADIENT = 5,
    RIXFX_3VGRADIENT = 6,
    RIXFX_NOISE = 7,
    RIXFX_DIAGSHADE = 8,
    RIXFX_HSHADE = 9,
    RIXFX_VSHADE = 10,
    RIXFX_HBUMP = 11,
    RIXFX_VBUMP = 12,
    RIXFX_SOFTBUMP = 13,
    RIXFX_HARDBUMP = 14,
    RIXFX_METAL = 15,
};

// Image effect style flags, applied to each pixel in this order (shadows and inversion aside).
constexpr DWORD EFFECT_GREY = 0x0001;
constexpr DWORD EFFECT_DARKER = 0x0002;
constexpr DWORD EFFECT_LIGHTER = 0x0004;
constexpr DWORD EFFECT_MASKCOLOR = 0x0008;
constexpr DWORD EFFECT_SHADOW = 0x0100;
constexpr DWORD EFFECT_SOFTSHADOW = 0x0200;
constexpr DWORD EFFECT_INVERT = 0x8000;

// Border and line styles.
enum RixLineStyle {
    RIXLINE_NONE = 0,
    RIXLINE_SOLID = 1,
    RIXLINE_DASHED = 2,
    RIXLINE_DOTTED = 3,
    RIXLINE_DASHDOT = 4,
    RIXLINE_DASHDOTDOT = 5,
    RIXLINE_DOUBLE = 6,
};

class RixEffectPainter {
public:
    RixEffectPainter() = default;
    RixEffectPainter(const RixEffectPainter&) = delete;
    RixEffectPainter& operator=(const RixEffectPainter&) = delete;

    // Background effects. Only the low byte of the noise amplitude and of the blend counts.
    void DrawEffect(HDC hDC, int nEffect, const RECT& rect, COLORREF clr1, COLORREF clr2, COLORREF clr3,
                    int nNoise, int nBlend);
    void DrawGradient(HDC hDC, const RECT& rect, COLORREF clrFrom, COLORREF clrTo, BOOL bHorizontal);
    // Fills the pattern buffer for a rectangle of rect's size.
    void BuildPattern(const RECT& rect, int nEffect, int nNoise, int nBlend, COLORREF clr1, COLORREF clr2,
                      COLORREF clr3);
    const PaletteDib& GetPattern() const { return m_PatternDib; }

    // Image effects. The returned bitmap and icon belong to the caller.
    gdi::Bitmap TransformPixels(HBITMAP hBitmap, int nWidth, int nHeight, DWORD dwStyle, BOOL bTransparent,
                                COLORREF clrTransparent, COLORREF clrEffect);
    void AlphaBlendOnto(HDC hDest, int x, int y, int nWidth, int nHeight, HDC hSource, int xSource, int ySource);
    void DrawShadow(HDC hDest, int x, int y, int nWidth, int nHeight, HBITMAP hShadow, BOOL bBlur, int nBlurWidth,
                    int nBlurHeight);
    // One factor in [0, 1] per pixel of a width x height grid of byte values (255 = no shadow).
    static void BoxBlur(int nWidth, int nHeight, const BYTE* pSource, int nBlurWidth, int nBlurHeight,
                        double* pFactors);
    void DrawBitmapEffect(HDC hDC, int x, int y, int nWidth, int nHeight, HBITMAP hBitmap, BOOL bTransparent,
                          COLORREF clrTransparent, DWORD dwStyle, BOOL bOffset, int nOffsetX, int nOffsetY,
                          int nBlurWidth, int nBlurHeight, COLORREF clrEffect);
    void DrawIconEffect(HDC hDC, int x, int y, int nWidth, int nHeight, HICON hIcon, DWORD dwStyle, BOOL bOffset,
                        int nOffsetX, int nOffsetY, int nBlurWidth, int nBlurHeight, COLORREF clrEffect);
    void DrawStripFrame(HDC hDC, int x, int y, int nWidth, int nHeight, HBITMAP hStrip, int nIndex,
                        int nFrameWidth, int nFrameHeight, BOOL bTransparent, COLORREF clrTransparent,
                        DWORD dwStyle, BOOL bOffset, int nOffsetX, int nOffsetY, int nBlurWidth, int nBlurHeight,
                        COLORREF clrEffect);
    static gdi::Icon StretchIcon(HICON hIcon, int nWidth, int nHeight);
    static SIZE GetIconSize(HICON hIcon);
    static SIZE GetBitmapSize(HBITMAP hBitmap);
    static void TileBitmap(HDC hDest, int left, int top, int nWidth, int nHeight, HDC hSource, int xSource,
                           int ySource, int nTileWidth, int nTileHeight);

    // Borders and lines.
    static void DrawBorder(HDC hDC, const RECT& rect, COLORREF clrTopLeft, COLORREF clrBottomRight, int nStyle,
                           int nPenWidth);
    static void DrawLine(HDC hDC, int x1, int y1, int x2, int y2, COLORREF color, int nStyle, int nPenWidth);

    // Set while an image or icon draw finds a pixel with a non-zero alpha byte.
    BOOL SourceHasAlpha() const { return m_bSourceHasAlpha; }

private:
    // With the offset switch: a shadow of the shape at the offset position when the flags ask for one
    // (the image stays where it is), otherwise the image itself moves by the offset.
    void ApplyOffset(HDC hDC, int& x, int& y, int nWidth, int nHeight, HBITMAP hShape, BOOL bTransparent,
                     COLORREF clrTransparent, DWORD dwStyle, int nOffsetX, int nOffsetY, int nBlurWidth,
                     int nBlurHeight, COLORREF clrEffect);
    void DrawImageLayers(HDC hDC, int x, int y, int nWidth, int nHeight, HBITMAP hImage, HBITMAP hMask,
                         BOOL bMaskIsMonochrome);

    PaletteDib m_PatternDib;
    // The column a vertical gradient is copied from, kept like the pattern buffer.
    PaletteDib m_ColumnDib;
    BOOL m_bSourceHasAlpha = FALSE;
};
