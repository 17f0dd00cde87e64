// Image, icon and line effects drawn into 32-bit DIB sections and read back value by value. Expected
// pixels come from the rules written out here: the pixel transform, straight alpha, the shadow factor
// and a naive box blur (every window summed afresh, padding 255).
#include "Dib.h"
#include "draw/RixEffectPainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kBack = RGB(100, 150, 250);
constexpr uint32_t kMagenta = 0x00FF00FF;

// A free-standing 32-bit bitmap (not selected anywhere) with the given top-down pixels.
gdi::Bitmap MakeBitmap(int w, int h, const std::vector<uint32_t>& pixels)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    gdi::Bitmap bitmap(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    return bitmap;
}

// The stored values of a 32-bit DIB section, top-down, alpha byte included.
std::vector<uint32_t> ReadPixels(HBITMAP hBitmap)
{
    DIBSECTION ds{};
    EXPECT_EQ(static_cast<int>(sizeof ds), ::GetObjectA(hBitmap, sizeof ds, &ds));
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    std::vector<uint32_t> out;
    ::GdiFlush();
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const uint32_t*>(ds.dsBm.bmBits) + static_cast<size_t>(bottomUp ? h - 1 - y : y) * w;
        out.insert(out.end(), row, row + w);
    }
    return out;
}

uint32_t Rgb(COLORREF c)
{
    return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// A stored 0x00RRGGBB pixel as a COLORREF.
COLORREF AsColour(uint32_t v)
{
    return RGB(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF);
}

uint32_t ExpectedTransform(uint32_t c, DWORD flags, bool transparent, COLORREF clrTransparent, COLORREF clrEffect)
{
    uint32_t d = 0;
    if (!transparent || c != Rgb(clrTransparent)) {
        int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        if (flags & 0x1)
            r = g = b = (299 * r + 587 * g + 114 * b) / 1000;
        if (flags & 0x2)
            r = r * 75 / 100, g = g * 75 / 100, b = b * 75 / 100;
        if (flags & 0x4)
            r = std::min(255, r * 125 / 100), g = std::min(255, g * 125 / 100), b = std::min(255, b * 125 / 100);
        d = (flags & 0x8) ? Rgb(clrEffect) : static_cast<uint32_t>(r << 16 | g << 8 | b);
    }
    if (flags & 0x8000)
        d = 0xFFFFFF - d;
    return (c & 0xFF000000) | d;
}

// Straight alpha: trunc(s * a + d * (1 - a)) with a = A / 255, exactly.
COLORREF Blend(uint32_t source, COLORREF dest)
{
    const int a = source >> 24;
    auto mix = [&](int s, int d) { return (s * a + d * (255 - a)) / 255; };
    return RGB(mix(source >> 16 & 0xFF, GetRValue(dest)), mix(source >> 8 & 0xFF, GetGValue(dest)),
               mix(source & 0xFF, GetBValue(dest)));
}

COLORREF Shade(COLORREF c, int64_t part, int64_t whole)
{
    return RGB(GetRValue(c) * part / whole, GetGValue(c) * part / whole, GetBValue(c) * part / whole);
}

// Compares every pixel of `dib` with `expected(x, y)`.
template <class F>
void ExpectPicture(const Dib& dib, F expected, const char* what)
{
    for (int y = 0; y < dib.height(); ++y)
        for (int x = 0; x < dib.width(); ++x)
            ASSERT_EQ(ColourText(expected(x, y)), ColourText(dib.Pixel(x, y))) << what << " at " << x << "," << y;
}

const std::vector<uint32_t> kSample = {
    kMagenta,   0x01FF00FF, 0x00FFFFFF, 0x00102030, 0x80C86432, 0x00000000,
    0x00FAFAFA, 0xFF0080FF, 0x00C80A40, 0x007F7F7F, 0x00FF00FE, 0x00010203,
};

TEST(ImageEffects, TransformPixelsAppliesEveryFlagInOrder)
{
    const gdi::Bitmap source = MakeBitmap(4, 3, kSample);
    const COLORREF effect = RGB(0x11, 0x22, 0x33);
    for (DWORD flags : {0x0u, 0x1u, 0x2u, 0x4u, 0x8u, 0x3u, 0x6u, 0x5u, 0x9u, 0xFu, 0x8000u, 0x8008u, 0x8001u}) {
        for (BOOL transparent : {FALSE, TRUE}) {
            RixEffectPainter painter;
            const gdi::Bitmap result =
                painter.TransformPixels(source.get(), 4, 3, flags, transparent, RGB(255, 0, 255), effect);
            ASSERT_TRUE(result);
            const std::vector<uint32_t> got = ReadPixels(result.get());
            for (size_t i = 0; i < kSample.size(); ++i)
                EXPECT_EQ(ExpectedTransform(kSample[i], flags, transparent, RGB(255, 0, 255), effect), got[i])
                    << std::hex << "flags " << flags << " transparent " << transparent << " pixel " << kSample[i];
            EXPECT_TRUE(painter.SourceHasAlpha());
        }
    }
    // White stays white under grey, and lighter stops at 255.
    EXPECT_EQ(0x00FFFFFFu, ExpectedTransform(0x00FFFFFF, 0x1, false, 0, 0));
    RixEffectPainter painter;
    const gdi::Bitmap plain = MakeBitmap(2, 1, {0x00FFFFFF, 0x00FAFAFA});
    const gdi::Bitmap grey = painter.TransformPixels(plain.get(), 2, 1, 0x5, FALSE, 0, 0);
    EXPECT_EQ((std::vector<uint32_t>{0x00FFFFFF, 0x00FFFFFF}), ReadPixels(grey.get()));
    EXPECT_FALSE(painter.SourceHasAlpha()) << "no pixel has an alpha byte";
    EXPECT_FALSE(painter.TransformPixels(nullptr, 2, 1, 0, FALSE, 0, 0));
}

TEST(ImageEffects, BitmapsDrawThroughTheirMaskOrWithAlpha)
{
    // 4 x 3, magenta in two places.
    const std::vector<uint32_t> opaque = {0x00FF0000, kMagenta, 0x0000FF00, 0x00000000, 0x00123456, 0x00FFFFFF,
                                          kMagenta,   0x00808080, 0x00010101, 0x00FEDCBA, 0x000000FF, 0x00F0F0F0};
    const gdi::Bitmap bitmap = MakeBitmap(4, 3, opaque);
    auto source = [&](int x, int y) { return opaque[static_cast<size_t>(y) * 4 + x]; };
    auto inImage = [](int x, int y, int left, int top) { return x >= left && x < left + 4 && y >= top && y < top + 3; };
    for (BOOL transparent : {TRUE, FALSE}) {
        Dib dib(10, 8);
        dib.Fill(kBack);
        RixEffectPainter painter;
        painter.DrawBitmapEffect(dib.dc(), 3, 2, 4, 3, bitmap.get(), transparent, RGB(255, 0, 255), 0, FALSE, 0, 0, 0,
                                 0, 0);
        EXPECT_FALSE(painter.SourceHasAlpha());
        ExpectPicture(
            dib,
            [&](int x, int y) {
                if (!inImage(x, y, 3, 2))
                    return kBack;
                const uint32_t s = source(x - 3, y - 2);
                return transparent && s == kMagenta ? kBack : AsColour(s);
            },
            transparent ? "through the mask" : "without transparency");
    }
    // The offset without a shadow flag moves the image.
    {
        Dib dib(12, 10);
        dib.Fill(kBack);
        RixEffectPainter painter;
        painter.DrawBitmapEffect(dib.dc(), 1, 1, 4, 3, bitmap.get(), TRUE, RGB(255, 0, 255), EFFECT_GREY, TRUE, 5, 4, 3,
                                 3, 0);
        ExpectPicture(
            dib,
            [&](int x, int y) {
                if (!inImage(x, y, 6, 5))
                    return kBack;
                const uint32_t s = source(x - 6, y - 5);
                return s == kMagenta ? kBack : AsColour(ExpectedTransform(s, EFFECT_GREY, true, 0, 0));
            },
            "moved by the offset");
    }
    // One pixel with an alpha byte switches the whole draw to blending; the mask is not used.
    std::vector<uint32_t> withAlpha = opaque;
    withAlpha[4] = 0x80123456;
    withAlpha[5] = 0xFFFFFFFF;
    const gdi::Bitmap alpha = MakeBitmap(4, 3, withAlpha);
    Dib dib(10, 8);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawBitmapEffect(dib.dc(), 3, 2, 4, 3, alpha.get(), TRUE, RGB(255, 0, 255), 0, FALSE, 0, 0, 0, 0, 0);
    EXPECT_TRUE(painter.SourceHasAlpha());
    ExpectPicture(
        dib,
        [&](int x, int y) {
            if (!inImage(x, y, 3, 2))
                return kBack;
            const uint32_t s = withAlpha[static_cast<size_t>(y - 2) * 4 + x - 3];
            return Blend(s == kMagenta ? 0 : s, kBack);
        },
        "alpha");
    EXPECT_EQ(ColourText(RGB((0x12 * 128 + 100 * 127) / 255, (0x34 * 128 + 150 * 127) / 255,
                             (0x56 * 128 + 250 * 127) / 255)),
              ColourText(dib.Pixel(3, 3)));
}

TEST(ImageEffects, BitmapsOfAnotherSizeAreStretched)
{
    const gdi::Bitmap bitmap = MakeBitmap(2, 2, {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFF00});
    Dib dib(6, 6);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawBitmapEffect(dib.dc(), 1, 1, 4, 4, bitmap.get(), FALSE, 0, 0, FALSE, 0, 0, 0, 0, 0);
    const COLORREF quarter[2][2] = {{RGB(255, 0, 0), RGB(0, 255, 0)}, {RGB(0, 0, 255), RGB(255, 255, 0)}};
    ExpectPicture(
        dib,
        [&](int x, int y) {
            return (x >= 1 && x < 5 && y >= 1 && y < 5) ? quarter[(y - 1) / 2][(x - 1) / 2] : kBack;
        },
        "doubled");
}

TEST(ImageEffects, HardShadowDarkensTheBackgroundByTheEffectColoursBlue)
{
    // Opaque 4 x 3 red with one magenta (transparent) corner.
    std::vector<uint32_t> pixels(12, 0x00FF0000);
    pixels[11] = kMagenta;
    const gdi::Bitmap bitmap = MakeBitmap(4, 3, pixels);
    const COLORREF effect = RGB(200, 10, 64);
    Dib dib(12, 10);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawBitmapEffect(dib.dc(), 2, 2, 4, 3, bitmap.get(), TRUE, RGB(255, 0, 255), EFFECT_SHADOW, TRUE, 3, 2, 0,
                             0, effect);
    ExpectPicture(
        dib,
        [&](int x, int y) {
            if (x >= 2 && x < 6 && y >= 2 && y < 5 && !(x == 5 && y == 4))
                return RGB(255, 0, 0);
            if (x >= 5 && x < 9 && y >= 4 && y < 7 && !(x == 8 && y == 6))
                return Shade(kBack, 64, 255);
            return kBack;
        },
        "hard shadow");
    // A shadow flag without the offset switch draws no shadow.
    Dib plain(12, 10);
    plain.Fill(kBack);
    painter.DrawBitmapEffect(plain.dc(), 2, 2, 4, 3, bitmap.get(), TRUE, RGB(255, 0, 255), EFFECT_SHADOW, FALSE, 3, 2,
                             0, 0, effect);
    EXPECT_EQ(kBack, plain.Pixel(7, 5));
}

// A naive blur: every window summed afresh over the grid padded with 255.
int64_t WindowSum(const std::vector<int>& grid, int w, int h, int x, int y, int bw, int bh)
{
    int64_t sum = 0;
    for (int dy = -(bh / 2); dy <= bh / 2; ++dy)
        for (int dx = -(bw / 2); dx <= bw / 2; ++dx) {
            const int sx = x + dx, sy = y + dy;
            sum += (sx >= 0 && sx < w && sy >= 0 && sy < h) ? grid[static_cast<size_t>(sy) * w + sx] : 255;
        }
    return sum;
}

TEST(ImageEffects, BoxBlurMatchesNaiveWindowSums)
{
    const int w = 9, h = 7;
    std::vector<int> grid(w * h);
    std::vector<BYTE> bytes(w * h);
    for (int i = 0; i < w * h; ++i)
        bytes[i] = static_cast<BYTE>(grid[i] = (i * 37 + 11) % 256);
    for (const auto& box : {std::pair{3, 3}, std::pair{5, 1}, std::pair{1, 1}, std::pair{3, 5}, std::pair{9, 9},
                            std::pair{21, 3}}) {
        std::vector<double> factors(w * h, -1);
        RixEffectPainter::BoxBlur(w, h, bytes.data(), box.first, box.second, factors.data());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_DOUBLE_EQ(static_cast<double>(WindowSum(grid, w, h, x, y, box.first, box.second)) /
                                     (255.0 * box.first * box.second),
                                 factors[static_cast<size_t>(y) * w + x])
                    << box.first << "x" << box.second << " at " << x << "," << y;
    }
    // 0 is a box of one: the factor is the value itself.
    std::vector<double> factors(w * h);
    RixEffectPainter::BoxBlur(w, h, bytes.data(), 0, 0, factors.data());
    EXPECT_DOUBLE_EQ(grid[10] / 255.0, factors[10]);
}

TEST(ImageEffects, SoftShadowIsTheShrunkShadowBlurred)
{
    const int w = 12, h = 10, ox = 14, oy = 12;
    const gdi::Bitmap bitmap = MakeBitmap(w, h, std::vector<uint32_t>(w * h, 0x00FF0000));
    const COLORREF effect = RGB(0, 0, 40);
    // The shadow bitmap shrunk by the box (7 x 7) into a white picture, then blurred.
    std::vector<int> blue(w * h, 255);
    for (int y = 3; y < 3 + (h - 7); ++y)
        for (int x = 3; x < 3 + (w - 7); ++x)
            blue[static_cast<size_t>(y) * w + x] = 40;
    auto expected = [&](int x, int y) {
        if (x >= 2 && x < 2 + w && y >= 2 && y < 2 + h)
            return RGB(255, 0, 0);
        const int sx = x - 2 - ox, sy = y - 2 - oy;
        if (sx >= 0 && sx < w && sy >= 0 && sy < h)
            return Shade(kBack, WindowSum(blue, w, h, sx, sy, 7, 7), 7 * 7 * 255);
        return kBack;
    };
    // An even box is made odd: 6 is used as 7.
    for (int box : {7, 6}) {
        Dib dib(2 + ox + w + 2, 2 + oy + h + 2);
        dib.Fill(kBack);
        RixEffectPainter painter;
        painter.DrawBitmapEffect(dib.dc(), 2, 2, w, h, bitmap.get(), FALSE, 0, EFFECT_SOFTSHADOW, TRUE, ox, oy, box, box,
                                 effect);
        ExpectPicture(dib, expected, box == 7 ? "blur 7" : "blur 6");
    }
    // The darkest point is the middle of the shrunk shadow.
    EXPECT_EQ(Shade(kBack, WindowSum(blue, w, h, 5, 4, 7, 7), 7 * 7 * 255), expected(2 + ox + 5, 2 + oy + 4));
    EXPECT_NE(kBack, expected(2 + ox + 5, 2 + oy + 4));
}

TEST(ImageEffects, HostileBlurSizesNeitherLoopNorOverflow)
{
    // Sizes as markup text may give them: a box as large as the image or larger leaves no room for
    // the shrunk shadow, so there is none, and nothing is summed or allocated for it.
    const int w = 12, h = 10;
    const gdi::Bitmap bitmap = MakeBitmap(w, h, std::vector<uint32_t>(w * h, 0x00FF0000));
    for (const auto& box : {std::pair{INT_MAX, INT_MAX}, std::pair{INT_MAX - 1, 3}, std::pair{3, INT_MAX},
                            std::pair{INT_MIN, INT_MAX}, std::pair{w, 3}, std::pair{3, h}}) {
        Dib dib(2 + 4 + w + 2, 2 + 4 + h + 2);
        dib.Fill(kBack);
        RixEffectPainter painter;
        painter.DrawBitmapEffect(dib.dc(), 2, 2, w, h, bitmap.get(), FALSE, 0, EFFECT_SOFTSHADOW, TRUE, 4, 4, box.first,
                                 box.second, RGB(0, 0, 0));
        ExpectPicture(
            dib,
            [&](int x, int y) { return x >= 2 && x < 2 + w && y >= 2 && y < 2 + h ? RGB(255, 0, 0) : kBack; },
            ("blur " + std::to_string(box.first) + " x " + std::to_string(box.second)).c_str());
    }
    // The factors themselves for a box far larger than the grid: every window holds the whole grid,
    // the rest is padding of 255.
    const int gw = 5, gh = 4;
    std::vector<BYTE> bytes(gw * gh);
    int64_t shortfall = 0;
    for (int i = 0; i < gw * gh; ++i) {
        bytes[i] = static_cast<BYTE>(i * 11);
        shortfall += 255 - bytes[i];
    }
    std::vector<double> factors(gw * gh, -1);
    RixEffectPainter::BoxBlur(gw, gh, bytes.data(), INT_MAX, INT_MAX, factors.data());
    const double whole = 255.0 * INT_MAX * INT_MAX;
    for (double f : factors)
        EXPECT_DOUBLE_EQ((whole - static_cast<double>(shortfall)) / whole, f);
}

TEST(ImageEffects, DrawShadowWithoutBlurUsesTheBlueByteAsFactor)
{
    const gdi::Bitmap shadow = MakeBitmap(3, 1, {0x00FFFFFF, 0x00000080, 0x00FF0000});
    Dib dib(5, 3);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawShadow(dib.dc(), 1, 1, 3, 1, shadow.get(), FALSE, 0, 0);
    EXPECT_EQ(kBack, dib.Pixel(1, 1)) << "white leaves the background";
    EXPECT_EQ(ColourText(Shade(kBack, 0x80, 255)), ColourText(dib.Pixel(2, 1)));
    EXPECT_EQ(ColourText(RGB(0, 0, 0)), ColourText(dib.Pixel(3, 1))) << "blue 0 is full shadow, red or not";
    EXPECT_EQ(kBack, dib.Pixel(0, 1));
    EXPECT_EQ(kBack, dib.Pixel(2, 0));
}

// An 8 x 8 icon: a red square with a green pixel, transparent (mask 1, colour black) around it.
gdi::Icon MakeIcon(const std::vector<uint32_t>& colour, const std::vector<bool>& transparent)
{
    const gdi::Bitmap colourBitmap = MakeBitmap(8, 8, colour);
    WORD maskRows[8] = {};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (transparent[y * 8 + x])
                maskRows[y] |= static_cast<WORD>(0x80 >> x);
    const gdi::Bitmap mask(::CreateBitmap(8, 8, 1, 1, maskRows));
    ICONINFO info{TRUE, 0, 0, mask.get(), colourBitmap.get()};
    return gdi::Icon(::CreateIconIndirect(&info));
}

struct TestIcon {
    std::vector<uint32_t> colour = std::vector<uint32_t>(64, 0);
    std::vector<bool> transparent = std::vector<bool>(64, true);
    TestIcon(uint32_t alpha)
    {
        for (int y = 2; y < 6; ++y)
            for (int x = 1; x < 7; ++x) {
                colour[y * 8 + x] = alpha | 0xFF0000;
                transparent[y * 8 + x] = false;
            }
        colour[3 * 8 + 3] = alpha | 0x00FF00;
        colour[4 * 8 + 4] = 0; // black inside the shape stays black
    }
    // (ix, iy) in the icon's own 8 x 8 grid; anything outside is transparent.
    bool Opaque(int ix, int iy) const
    {
        return ix >= 0 && ix < 8 && iy >= 0 && iy < 8 && !transparent[static_cast<size_t>(iy) * 8 + ix];
    }
    uint32_t Pixel(int ix, int iy) const { return colour[static_cast<size_t>(iy) * 8 + ix]; }
};

TEST(ImageEffects, IconsDrawThroughTheirOwnMask)
{
    const TestIcon shape(0);
    const gdi::Icon icon = MakeIcon(shape.colour, shape.transparent);
    ASSERT_TRUE(icon);
    EXPECT_EQ(8, RixEffectPainter::GetIconSize(icon.get()).cx);
    EXPECT_EQ(8, RixEffectPainter::GetIconSize(icon.get()).cy);
    EXPECT_EQ(0, RixEffectPainter::GetIconSize(nullptr).cx);
    for (DWORD flags : {DWORD{0}, EFFECT_DARKER, EFFECT_MASKCOLOR}) {
        Dib dib(12, 12);
        dib.Fill(kBack);
        // The caller's colours must not tint the mask.
        ::SetTextColor(dib.dc(), RGB(255, 0, 0));
        ::SetBkColor(dib.dc(), RGB(0, 0, 255));
        RixEffectPainter painter;
        painter.DrawIconEffect(dib.dc(), 2, 3, 8, 8, icon.get(), flags, FALSE, 0, 0, 0, 0, RGB(1, 90, 200));
        EXPECT_FALSE(painter.SourceHasAlpha());
        EXPECT_EQ(RGB(255, 0, 0), ::GetTextColor(dib.dc()));
        EXPECT_EQ(RGB(0, 0, 255), ::GetBkColor(dib.dc()));
        ExpectPicture(
            dib,
            [&](int x, int y) {
                const int ix = x - 2, iy = y - 3;
                if (!shape.Opaque(ix, iy))
                    return kBack;
                if (flags == EFFECT_MASKCOLOR)
                    return RGB(1, 90, 200);
                return AsColour(ExpectedTransform(shape.Pixel(ix, iy), flags, true, 0, 0));
            },
            "icon");
    }
}

TEST(ImageEffects, IconShadowsFollowTheIconsMask)
{
    const TestIcon shape(0);
    const gdi::Icon icon = MakeIcon(shape.colour, shape.transparent);
    Dib dib(14, 14);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawIconEffect(dib.dc(), 2, 3, 8, 8, icon.get(), EFFECT_SHADOW, TRUE, 3, 2, 0, 0, RGB(90, 90, 0x40));
    ExpectPicture(
        dib,
        [&](int x, int y) {
            if (shape.Opaque(x - 2, y - 3))
                return AsColour(shape.Pixel(x - 2, y - 3));
            return shape.Opaque(x - 5, y - 5) ? Shade(kBack, 0x40, 255) : kBack;
        },
        "icon with its shadow");
}

TEST(ImageEffects, IconsOfAnotherSizeAreStretchedFirst)
{
    const TestIcon shape(0);
    const gdi::Icon icon = MakeIcon(shape.colour, shape.transparent);
    const gdi::Icon big = RixEffectPainter::StretchIcon(icon.get(), 16, 24);
    ASSERT_TRUE(big);
    EXPECT_EQ(16, RixEffectPainter::GetIconSize(big.get()).cx);
    EXPECT_EQ(24, RixEffectPainter::GetIconSize(big.get()).cy);
    EXPECT_FALSE(RixEffectPainter::StretchIcon(nullptr, 16, 16));

    Dib dib(20, 28);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawIconEffect(dib.dc(), 2, 2, 16, 24, icon.get(), 0, FALSE, 0, 0, 0, 0, 0);
    ExpectPicture(
        dib,
        [&](int x, int y) {
            // Each icon pixel becomes 2 x 3; x and y below 2 lie outside.
            if (x < 2 || y < 2 || !shape.Opaque((x - 2) / 2, (y - 2) / 3))
                return kBack;
            return AsColour(shape.Pixel((x - 2) / 2, (y - 2) / 3));
        },
        "stretched icon");
}

TEST(ImageEffects, IconsWithAnAlphaChannelAreBlended)
{
    const TestIcon shape(0x80000000);
    const gdi::Icon icon = MakeIcon(shape.colour, shape.transparent);
    Dib dib(12, 12);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawIconEffect(dib.dc(), 2, 3, 8, 8, icon.get(), 0, FALSE, 0, 0, 0, 0, 0);
    EXPECT_TRUE(painter.SourceHasAlpha());
    EXPECT_EQ(ColourText(Blend(0x80FF0000, kBack)), ColourText(dib.Pixel(3, 5)));
    EXPECT_EQ(ColourText(Blend(0x8000FF00, kBack)), ColourText(dib.Pixel(5, 6)));
    EXPECT_EQ(kBack, dib.Pixel(2, 3)) << "transparent pixels have alpha 0";
}

TEST(ImageEffects, StripFramesAreReadLeftToRightThenDown)
{
    // A 2 x 2 grid of 3 x 2 frames, each frame one colour.
    const uint32_t colours[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFF00};
    std::vector<uint32_t> strip(6 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            strip[static_cast<size_t>(y) * 6 + x] = colours[(y / 2) * 2 + x / 3];
    const gdi::Bitmap bitmap = MakeBitmap(6, 4, strip);
    for (int index = -1; index <= 5; ++index) {
        Dib dib(8, 6);
        dib.Fill(kBack);
        RixEffectPainter painter;
        painter.DrawStripFrame(dib.dc(), 2, 1, 3, 2, bitmap.get(), index, 3, 2, FALSE, 0, 0, FALSE, 0, 0, 0, 0, 0);
        const bool drawn = index >= 0 && index < 4;
        const uint32_t c = drawn ? colours[index] : 0;
        ExpectPicture(
            dib,
            [&](int x, int y) {
                return drawn && x >= 2 && x < 5 && y >= 1 && y < 3 ? AsColour(c)
                                                                   : kBack;
            },
            "frame");
    }
    // Frame sizes that give no frame at all.
    Dib dib(8, 6);
    dib.Fill(kBack);
    RixEffectPainter painter;
    for (const SIZE frame : {SIZE{0, 2}, SIZE{3, 0}, SIZE{7, 2}, SIZE{3, 5}})
        painter.DrawStripFrame(dib.dc(), 0, 0, 3, 2, bitmap.get(), 0, frame.cx, frame.cy, FALSE, 0, 0, FALSE, 0, 0, 0,
                               0, 0);
    painter.DrawStripFrame(dib.dc(), 0, 0, 3, 2, nullptr, 0, 3, 2, FALSE, 0, 0, FALSE, 0, 0, 0, 0, 0);
    ExpectPicture(dib, [](int, int) { return kBack; }, "no frame");
}

TEST(ImageEffects, TilesRepeatAndAreCutAtTheEdges)
{
    Dib source(6, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            source.SetRaw(x, y, static_cast<uint32_t>(x * 40) << 16 | static_cast<uint32_t>(y * 50) << 8 | 7);
    Dib dib(14, 11);
    dib.Fill(kBack);
    RixEffectPainter::TileBitmap(dib.dc(), 2, 3, 8, 5, source.dc(), 1, 1, 3, 2);
    ExpectPicture(
        dib,
        [&](int x, int y) {
            if (x < 2 || x >= 10 || y < 3 || y >= 8)
                return kBack;
            return source.Pixel(1 + (x - 2) % 3, 1 + (y - 3) % 2);
        },
        "tiles");
    // An empty tile draws nothing (and does not loop for ever).
    RixEffectPainter::TileBitmap(dib.dc(), 0, 0, 14, 11, source.dc(), 0, 0, 0, 2);
    RixEffectPainter::TileBitmap(dib.dc(), 0, 0, 14, 11, source.dc(), 0, 0, 2, -1);
    EXPECT_EQ(kBack, dib.Pixel(0, 0));
}

TEST(ImageEffects, NullImagesDrawNothing)
{
    Dib dib(6, 6);
    dib.Fill(kBack);
    RixEffectPainter painter;
    painter.DrawBitmapEffect(dib.dc(), 0, 0, 6, 6, nullptr, FALSE, 0, 0, FALSE, 0, 0, 0, 0, 0);
    painter.DrawIconEffect(dib.dc(), 0, 0, 6, 6, nullptr, 0, FALSE, 0, 0, 0, 0, 0);
    painter.DrawShadow(dib.dc(), 0, 0, 6, 6, nullptr, TRUE, 3, 3);
    ExpectPicture(dib, [](int, int) { return kBack; }, "nothing");
    EXPECT_EQ(0, RixEffectPainter::GetBitmapSize(nullptr).cx);
}

TEST(ImageEffects, NothingLeaksAcrossManyDraws)
{
    const TestIcon shape(0), alphaShape(0xFF000000);
    const gdi::Icon icon = MakeIcon(shape.colour, shape.transparent);
    const gdi::Icon alphaIcon = MakeIcon(alphaShape.colour, alphaShape.transparent);
    const gdi::Bitmap bitmap = MakeBitmap(4, 2, {kMagenta, 1, 2, 3, 0x80FFFFFF, 5, 6, 7});
    Dib dib(40, 40);
    Dib tiles(4, 4);
    const int before = gdi::LiveObjects();
    RixEffectPainter painter;
    for (int round = 0; round < 30; ++round) {
        for (DWORD flags : {0x0u, 0x1u, 0x8u, 0x102u, 0x204u, 0x8000u}) {
            painter.DrawBitmapEffect(dib.dc(), 1, 1, 8 + round % 3, 6, bitmap.get(), TRUE, RGB(255, 0, 255), flags, TRUE,
                                     2, 2, round % 5, 3, RGB(9, 9, 9));
            painter.DrawIconEffect(dib.dc(), 3, 3, round % 2 ? 8 : 12, 8, round % 3 ? icon.get() : alphaIcon.get(),
                                   flags, TRUE, 3, 1, 5, 5, RGB(50, 50, 50));
            painter.DrawStripFrame(dib.dc(), 0, 0, 2, 2, bitmap.get(), round % 4, 2, 2, TRUE, RGB(255, 0, 255), flags,
                                   FALSE, 0, 0, 0, 0, 0);
        }
        gdi::Bitmap t = painter.TransformPixels(bitmap.get(), 4, 2, 0x8008, TRUE, 0, 0);
        gdi::Icon stretched = RixEffectPainter::StretchIcon(icon.get(), 20, 20);
        RixEffectPainter::GetIconSize(stretched.get());
        RixEffectPainter::TileBitmap(dib.dc(), 0, 0, 30, 30, tiles.dc(), 0, 0, 4, 4);
        RixEffectPainter::DrawBorder(dib.dc(), RECT{1, 1, 30, 30}, RGB(1, 1, 1), RGB(2, 2, 2), 6, 2);
        RixEffectPainter::DrawLine(dib.dc(), 0, 0, 30, 9, RGB(1, 1, 1), 2, 1);
        ASSERT_EQ(before + 2, gdi::LiveObjects()) << "only the transformed bitmap and the stretched icon";
    }
    EXPECT_EQ(before, gdi::LiveObjects());
}

} // namespace
