// Shows what the drawing effects look like, one window per page, for the screenshots and for a look
// by eye: effect_gallery.exe effects   - the sixteen background effects side by side;
//           effect_gallery.exe images    - the program's icon with each image effect.
#include "GalleryWindow.h"
#include "draw/DibSection.h"
#include "draw/RixEffectPainter.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char kClassName[] = "TesselEffectGallery";

constexpr int kMargin = 14;
constexpr int kHeaderHeight = 28;
constexpr COLORREF kPageColour = RGB(250, 250, 250);
constexpr COLORREF kTextColour = RGB(32, 32, 32);
constexpr COLORREF kFrameColour = RGB(120, 120, 120);

// Background effects page: a 4 x 4 grid of cells, each with its label underneath.
constexpr int kEffectCellWidth = 216;
constexpr int kEffectCellHeight = 112;
constexpr int kLabelHeight = 24;
// Three distinct colours, so that every gradient and every pattern shows its shape.
constexpr COLORREF kEffectColour1 = RGB(110, 170, 235);
constexpr COLORREF kEffectColour2 = RGB(255, 255, 255);
constexpr COLORREF kEffectColour3 = RGB(25, 55, 120);
constexpr int kEffectNoise = 20;
constexpr int kEffectBlend = 0;

const char* const kEffectNames[] = {"solid",      "hgradient", "vgradient", "hcgradient", "vcgradient", "3hgradient",
                                    "3vgradient", "noise",     "diagshade", "hshade",     "vshade",     "hbump",
                                    "vbump",      "softbump",  "hardbump",  "metal"};

// Image effects page: one column per effect, a row at the icon's own size and a stretched one.
constexpr int kImageCellWidth = 104;
constexpr int kImageSizes[] = {32, 64};
constexpr int kImageRowHeight[] = {72, 104};
constexpr int kChecker = 8;
constexpr COLORREF kCheckerLight = RGB(255, 255, 255);
constexpr COLORREF kCheckerDark = RGB(218, 226, 238);
constexpr COLORREF kShadowColour = RGB(128, 128, 128);
constexpr COLORREF kSilhouetteColour = RGB(0, 100, 180);

struct ImageEffect {
    const char* label;
    DWORD style;
    BOOL offset;
    int blur;
    COLORREF colour;
};

// The last column is the alpha-ramp bitmap; its style is not used.
const ImageEffect kImageEffects[] = {
    {"plain", 0, FALSE, 0, 0},
    {"grey", EFFECT_GREY, FALSE, 0, 0},
    {"darker", EFFECT_DARKER, FALSE, 0, 0},
    {"lighter", EFFECT_LIGHTER, FALSE, 0, 0},
    {"silhouette", EFFECT_MASKCOLOR, FALSE, 0, kSilhouetteColour},
    {"shadow", EFFECT_SHADOW, TRUE, 0, kShadowColour},
    {"soft shadow", EFFECT_SOFTSHADOW, TRUE, 7, kShadowColour},
    {"alpha ramp", 0, FALSE, 0, 0},
};
constexpr int kImageColumns = static_cast<int>(sizeof kImageEffects / sizeof kImageEffects[0]);
constexpr int kShadowOffset = 4;

enum class Page { Effects, Images };

struct Gallery final : GalleryPage {
    Page page = Page::Effects;
    RixEffectPainter painter;
    gdi::Icon icon;
    gdi::Font font;
    gdi::Font headerFont;

    void Paint(HWND hWnd) override;
};

SIZE ContentSize(Page page)
{
    if (page == Page::Effects)
        return SIZE{kMargin + 4 * (kEffectCellWidth + kMargin),
                    kMargin + kHeaderHeight + 4 * (kEffectCellHeight + kLabelHeight + kMargin)};
    int height = kMargin + kHeaderHeight;
    for (int row : kImageRowHeight)
        height += row + kLabelHeight + kMargin;
    return SIZE{kMargin + kImageColumns * (kImageCellWidth + kMargin), height};
}

void Fill(HDC hDC, const RECT& rect, COLORREF colour)
{
    gdi::Brush brush(::CreateSolidBrush(colour));
    ::FillRect(hDC, &rect, brush.get());
}

void Frame(HDC hDC, const RECT& rect, COLORREF colour)
{
    gdi::Brush brush(::CreateSolidBrush(colour));
    const RECT outer{rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1};
    ::FrameRect(hDC, &outer, brush.get());
}

void Text(HDC hDC, HFONT hFont, const RECT& rect, const char* text, UINT format)
{
    gdi::SelectGuard select(hDC, hFont);
    ::SetBkMode(hDC, TRANSPARENT);
    ::SetTextColor(hDC, kTextColour);
    RECT r = rect;
    ::DrawTextA(hDC, text, -1, &r, format | DT_SINGLELINE | DT_NOPREFIX);
}

void PaintEffects(Gallery& gallery, HDC hDC)
{
    char header[160];
    std::snprintf(header, sizeof header,
                  "DrawEffect 0-15   colours RGB(%d,%d,%d)  RGB(%d,%d,%d)  RGB(%d,%d,%d)   noise %d   blend %d",
                  GetRValue(kEffectColour1), GetGValue(kEffectColour1), GetBValue(kEffectColour1),
                  GetRValue(kEffectColour2), GetGValue(kEffectColour2), GetBValue(kEffectColour2),
                  GetRValue(kEffectColour3), GetGValue(kEffectColour3), GetBValue(kEffectColour3), kEffectNoise,
                  kEffectBlend);
    Text(hDC, gallery.headerFont.get(), RECT{kMargin, kMargin, kMargin + 4 * (kEffectCellWidth + kMargin), kMargin + kHeaderHeight},
         header, DT_LEFT | DT_TOP);
    for (int effect = 0; effect < 16; ++effect) {
        const int left = kMargin + (effect % 4) * (kEffectCellWidth + kMargin);
        const int top = kMargin + kHeaderHeight + (effect / 4) * (kEffectCellHeight + kLabelHeight + kMargin);
        const RECT cell{left, top, left + kEffectCellWidth, top + kEffectCellHeight};
        gallery.painter.DrawEffect(hDC, effect, cell, kEffectColour1, kEffectColour2, kEffectColour3, kEffectNoise,
                                   kEffectBlend);
        Frame(hDC, cell, kFrameColour);
        char label[32];
        std::snprintf(label, sizeof label, "%d %s", effect, kEffectNames[effect]);
        Text(hDC, gallery.font.get(), RECT{left, cell.bottom + 3, cell.right, cell.bottom + kLabelHeight}, label,
             DT_CENTER | DT_TOP);
    }
}

void PaintChecker(HDC hDC, const RECT& rect)
{
    Fill(hDC, rect, kCheckerLight);
    gdi::Brush dark(::CreateSolidBrush(kCheckerDark));
    for (int y = rect.top; y < rect.bottom; y += kChecker)
        for (int x = rect.left + (((y - rect.top) / kChecker) % 2) * kChecker; x < rect.right; x += 2 * kChecker) {
            const RECT square{x, y, std::min<int>(x + kChecker, rect.right), std::min<int>(y + kChecker, rect.bottom)};
            ::FillRect(hDC, &square, dark.get());
        }
}

// A square 32-bit picture whose alpha rises from 0 at the left edge to 255 at the right; its colour
// runs from orange at the top to blue at the bottom. Straight (not premultiplied) alpha, as the
// painter blends it.
gdi::Bitmap MakeAlphaRamp(int size)
{
    DibSection32 ramp(size, size);
    if (!ramp)
        return {};
    // The section's rows are stored bottom-up.
    uint32_t* pixels = ramp.Pixels();
    for (int y = 0; y < size; ++y) {
        const uint32_t r = 240 - 200 * y / (size - 1), g = 120 + 10 * y / (size - 1), b = 20 + 210 * y / (size - 1);
        for (int x = 0; x < size; ++x) {
            const uint32_t a = 255 * x / (size - 1);
            pixels[(size - 1 - y) * size + x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return ramp.Release();
}

void PaintImages(Gallery& gallery, HDC hDC)
{
    Text(hDC, gallery.headerFont.get(),
         RECT{kMargin, kMargin, kMargin + kImageColumns * (kImageCellWidth + kMargin), kMargin + kHeaderHeight},
         "Icon 128 with DrawIconEffect: top row 32 x 32, bottom row stretched to 64 x 64;  "
         "last column a 32-bit bitmap with DrawBitmapEffect",
         DT_LEFT | DT_TOP);
    int top = kMargin + kHeaderHeight;
    for (int row = 0; row < 2; ++row) {
        const int size = kImageSizes[row];
        const gdi::Bitmap ramp = MakeAlphaRamp(size);
        for (int column = 0; column < kImageColumns; ++column) {
            const ImageEffect& effect = kImageEffects[column];
            const int left = kMargin + column * (kImageCellWidth + kMargin);
            const RECT cell{left, top, left + kImageCellWidth, top + kImageRowHeight[row]};
            PaintChecker(hDC, cell);
            Frame(hDC, cell, kFrameColour);
            // Centred together with its shadow, if it has one.
            const int spread = effect.offset ? kShadowOffset : 0;
            const int x = left + (kImageCellWidth - size - spread) / 2;
            const int y = top + (kImageRowHeight[row] - size - spread) / 2;
            if (column == kImageColumns - 1)
                gallery.painter.DrawBitmapEffect(hDC, x, y, size, size, ramp.get(), FALSE, 0, 0, FALSE, 0, 0, 0, 0,
                                                 0);
            else
                gallery.painter.DrawIconEffect(hDC, x, y, size, size, gallery.icon.get(), effect.style, effect.offset,
                                               kShadowOffset, kShadowOffset, effect.blur, effect.blur, effect.colour);
            Text(hDC, gallery.font.get(), RECT{cell.left, cell.bottom + 3, cell.right, cell.bottom + kLabelHeight},
                 effect.label, DT_CENTER | DT_TOP);
        }
        top += kImageRowHeight[row] + kLabelHeight + kMargin;
    }
}

void PaintPage(Gallery& gallery, HWND hWnd)
{
    gdi::PaintDC paint(hWnd);
    RECT client;
    ::GetClientRect(hWnd, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    // A 32-bit back buffer whatever the screen is, so that the alpha and shadow work is the same
    // everywhere; the window gets one finished copy, without flicker.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    gdi::Bitmap buffer(::CreateDIBSection(paint, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    gdi::MemoryDC memory(paint);
    if (!buffer || !memory)
        return;
    gdi::SelectGuard select(memory, buffer.get());
    Fill(memory, client, kPageColour);
    if (gallery.page == Page::Effects)
        PaintEffects(gallery, memory);
    else
        PaintImages(gallery, memory);
    ::BitBlt(paint, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
}

void Gallery::Paint(HWND hWnd)
{
    PaintPage(*this, hWnd);
}

gdi::Font MakeFont(int height, int weight)
{
    return gdi::Font(::CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma"));
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    Gallery gallery;
    char page[32] = "";
    std::sscanf(lpCmdLine ? lpCmdLine : "", "%31s", page);
    if (page[0] == '\0' || std::strcmp(page, "effects") == 0)
        gallery.page = Page::Effects;
    else if (std::strcmp(page, "images") == 0)
        gallery.page = Page::Images;
    else
        return 2;

    gallery.icon = gdi::Icon(static_cast<HICON>(::LoadImageA(hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0)));
    gallery.font = MakeFont(14, FW_NORMAL);
    gallery.headerFont = MakeFont(14, FW_BOLD);
    if (!gallery.icon || !gallery.font || !gallery.headerFont)
        return 1;

    const char* title = gallery.page == Page::Effects ? "Effect gallery - background effects"
                                                      : "Effect gallery - image effects";
    return RunGalleryWindow(hInstance, GalleryWindow{kClassName, title, ContentSize(gallery.page), gallery.icon.get()},
                            gallery, nCmdShow);
}
