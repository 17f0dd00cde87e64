// Background effects checked value by value: every expected colour and palette index below is worked
// out here from the drawing rules (64 bands, the three-colour ramp, the pattern formulas), never by
// asking the painter.
#include "Dib.h"
#include "draw/NoiseSource.h"
#include "draw/RixEffectPainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// The C library generator's recurrence, which the patterns draw their noise from (the platform's
// msvcrt): seed = seed * 214013 + 2531011, value = (seed >> 16) & 0x7FFF. Tests seed the painter's
// generator, then replay it here.
class ReferenceRand {
public:
    explicit ReferenceRand(unsigned seed)
        : m_seed(seed)
    {
    }
    int operator()()
    {
        m_seed = m_seed * 214013u + 2531011u;
        return static_cast<int>((m_seed >> 16) & 0x7FFF);
    }

private:
    unsigned m_seed;
};

constexpr COLORREF kOutside = RGB(0x12, 0x34, 0x56);

int R(COLORREF c)
{
    return GetRValue(c);
}
int G(COLORREF c)
{
    return GetGValue(c);
}
int B(COLORREF c)
{
    return GetBValue(c);
}

COLORREF BandColour(COLORREF from, COLORREF to, int band)
{
    auto mix = [&](int a, int b) { return (a * (64 - band) + b * band) / 64; };
    return RGB(mix(R(from), R(to)), mix(G(from), G(to)), mix(B(from), B(to)));
}

// Colour of position p (0-based) of a gradient `extent` long: the band whose span holds p.
COLORREF GradientAt(COLORREF from, COLORREF to, int extent, int p)
{
    for (int band = 0; band < 64; ++band)
        if (p >= band * extent / 64 && p < (band + 1) * extent / 64)
            return BandColour(from, to, band);
    ADD_FAILURE() << "no band covers " << p << " of " << extent;
    return 0;
}

std::vector<COLORREF> Ramp(COLORREF c1, COLORREF c2, COLORREF c3, int blend)
{
    std::vector<COLORREF> palette(256);
    auto mix = [](COLORREF a, COLORREF b, int wa, int wb) {
        return RGB((R(a) * wa + R(b) * wb) / 128, (G(a) * wa + G(b) * wb) / 128, (B(a) * wa + B(b) * wb) / 128);
    };
    for (int i = 0; i < 128; ++i)
        palette[i] = mix(c2, c3, i, 128 - i);
    for (int i = 128; i < 256; ++i)
        palette[i] = mix(c1, c2, i - 127, 255 - i);
    const int p = std::min(blend & 0xFF, 100);
    for (COLORREF& c : palette)
        c = RGB((R(c1) * p + R(c) * (100 - p)) / 100, (G(c1) * p + G(c) * (100 - p)) / 100,
            (B(c1) * p + B(c) * (100 - p)) / 100);
    return palette;
}

int Cube(int m)
{
    return m * m * m / 16384;
}

// The pattern's palette indices, top-down, for effects 7 to 14; metal has its own test.
std::vector<int> ExpectedPattern(int effect, int W, int H, int g, ReferenceRand& rnd)
{
    const int d = 255 - 2 * g;
    const int scale = 32767 / std::max(1, 2 * g);
    auto noise = [&] { return rnd() / scale - g; };
    std::vector<int> value(static_cast<size_t>(W) * H);
    auto at = [&](int x, int r) -> int& { return value[static_cast<size_t>(H - 1 - r) * W + x]; };
    for (int r = 0; r < H; ++r) {
        for (int x = 0; x < W; ++x) {
            const int mr = 255 * r / H - 127, mc = 255 * (W - x) / W - 127;
            int v = 0;
            switch (effect) {
            case 7:
                v = 128;
                break;
            case 8:
                v = g + r * (d / 2) / H + (W - x) * (d / 2) / W;
                break;
            case 9:
                v = g + r * d / H;
                break;
            case 10:
                v = g + (W - x) * d / W;
                break;
            case 11:
                v = 128 + Cube(mr) * (128 - g) / 128;
                break;
            case 12:
                v = 128 + Cube(mc) * (128 - g) / 128;
                break;
            case 13:
                v = std::min(std::max(128 + (Cube(mr) + Cube(mc)) * (128 - g) / 128, g), 255 - g);
                break;
            case 14:
                v = 128 + Cube(mr) * (64 - g) * 2 / 128;
                break;
            }
            at(x, r) = v + noise();
        }
    }
    // Every stored value is a palette index, kept modulo 256.
    auto wrapAll = [&] {
        for (int& v : value)
            v &= 0xFF;
    };
    wrapAll();
    if (effect == 14) {
        const int L = std::min(W / 6, 16);
        for (int r = 0; r < H; ++r) {
            const int curve = (r - H / 2) * L * (r - H / 2) / std::max(1, H * H / 4);
            for (int x = 0; x < W; ++x) {
                const int inner = x - W / 2 + curve + W / 2 - L; // M + d
                if (inner < 0)
                    at(x, r) = 255 - g - x * 128 / L;
                else if (curve + W / 2 - L < x - W / 2)
                    at(x, r) = g + (W - x) * 128 / L;
                at(x, r) += noise();
            }
        }
    }
    wrapAll();
    return value;
}

std::vector<int> PatternIndices(const PaletteDib& dib)
{
    std::vector<int> out;
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x)
            out.push_back(dib.GetBits()[static_cast<size_t>(dib.GetHeight() - 1 - y) * dib.GetStride() + x]);
    return out;
}

TEST(BackgroundEffects, TheGeneratorIsTheOneTheTestsReplay)
{
    std::srand(77);
    ReferenceRand rnd(77);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(rnd(), std::rand()) << "call " << i;
}

TEST(BackgroundEffects, GradientsPaintSixtyFourBandsOverExactlyTheirRectangle)
{
    // Close colours give runs of bands of one colour, drawn as one fill.
    const std::pair<COLORREF, COLORREF> pairs[]
        = { { RGB(250, 10, 128), RGB(3, 240, 129) }, { RGB(10, 10, 10), RGB(14, 12, 10) } };
    for (const auto& [from, to] : pairs)
        for (int extent : { 1, 5, 63, 64, 65, 200, 333 }) {
            for (BOOL horizontal : { TRUE, FALSE }) {
                Dib dib(horizontal ? extent + 6 : 9, horizontal ? 9 : extent + 6);
                dib.Fill(kOutside);
                const RECT rect = horizontal ? RECT { 3, 2, 3 + extent, 7 } : RECT { 2, 3, 7, 3 + extent };
                RixEffectPainter painter;
                painter.DrawEffect(
                    dib.dc(), horizontal ? RIXFX_HGRADIENT : RIXFX_VGRADIENT, rect, from, RGB(9, 9, 9), to, 5, 0);
                for (int y = 0; y < dib.height(); ++y)
                    for (int x = 0; x < dib.width(); ++x) {
                        const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
                        const int p = horizontal ? x - rect.left : y - rect.top;
                        ASSERT_EQ(ColourText(inside ? GradientAt(from, to, extent, p) : kOutside),
                            ColourText(dib.Pixel(x, y)))
                            << "extent " << extent << (horizontal ? " across" : " down") << " at " << x << "," << y;
                    }
            }
        }
}

TEST(BackgroundEffects, GradientsDownAreWholeAtEveryWidth)
{
    // Narrow rectangles take the column copied across (the last copy cut), wide ones one fill per
    // band; both give every column the same bands, and the same painter moves between them.
    const COLORREF from = RGB(250, 10, 128), to = RGB(3, 240, 129);
    RixEffectPainter painter;
    for (int width : { 1, 63, 64, 65, 129, 2000, 7 }) {
        Dib dib(width + 4, 104);
        dib.Fill(kOutside);
        const RECT rect { 2, 2, 2 + width, 102 };
        painter.DrawEffect(dib.dc(), RIXFX_VGRADIENT, rect, from, RGB(9, 9, 9), to, 0, 0);
        for (int y = 0; y < dib.height(); ++y)
            for (int x = 0; x < dib.width(); ++x) {
                const bool inside = x >= 2 && x < 2 + width && y >= 2 && y < 102;
                ASSERT_EQ(ColourText(inside ? GradientAt(from, to, 100, y - 2) : kOutside), ColourText(dib.Pixel(x, y)))
                    << "width " << width << " at " << x << "," << y;
            }
    }
    // The column's later copies may come from the target itself, only where the first copy landed
    // whole: a rectangle running past the bitmap, or one moved by the window origin.
    struct Case {
        int dibWidth, left, right, origin;
    } const cases[] = { { 100, 2, 200, 0 }, { 100, -30, 150, 0 }, { 200, 2, 170, -9 } };
    for (const Case& c : cases) {
        Dib dib(c.dibWidth, 60);
        dib.Fill(kOutside);
        ::SetWindowOrgEx(dib.dc(), c.origin, 0, nullptr);
        painter.DrawEffect(dib.dc(), RIXFX_VGRADIENT, RECT { c.left, 5, c.right, 55 }, from, RGB(9, 9, 9), to, 0, 0);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < c.dibWidth; ++x) {
                const int logical = x + c.origin;
                const bool inside = logical >= c.left && logical < c.right && y >= 5 && y < 55;
                ASSERT_EQ(ColourText(inside ? GradientAt(from, to, 50, y - 5) : kOutside), ColourText(dib.Pixel(x, y)))
                    << c.left << ".." << c.right << " at " << x << "," << y;
            }
    }
}

TEST(BackgroundEffects, SplitGradientsDrawTheirHalvesInTheRightDirections)
{
    const COLORREF c1 = RGB(255, 0, 0), c2 = RGB(0, 255, 0), c3 = RGB(0, 0, 255);
    struct Case {
        int effect;
        bool horizontal;
        COLORREF a1, a2, b1, b2;
    } cases[] = { { RIXFX_HCGRADIENT, true, c1, c3, c3, c1 }, { RIXFX_VCGRADIENT, false, c1, c3, c3, c1 },
        { RIXFX_3HGRADIENT, true, c1, c2, c2, c3 }, { RIXFX_3VGRADIENT, false, c1, c2, c2, c3 } };
    for (const Case& c : cases) {
        for (int extent : { 1, 2, 101, 150 }) {
            Dib dib(c.horizontal ? extent : 4, c.horizontal ? 4 : extent);
            RixEffectPainter painter;
            painter.DrawEffect(dib.dc(), c.effect, RECT { 0, 0, dib.width(), dib.height() }, c1, c2, c3, 0, 0);
            const int half = extent / 2;
            for (int p = 0; p < extent; ++p) {
                const COLORREF expected
                    = p < half ? GradientAt(c.a1, c.a2, half, p) : GradientAt(c.b1, c.b2, extent - half, p - half);
                ASSERT_EQ(ColourText(expected), ColourText(c.horizontal ? dib.Pixel(p, 2) : dib.Pixel(2, p)))
                    << "effect " << c.effect << " extent " << extent << " at " << p;
            }
        }
    }
}

// A 16-bit (5-5-5) DIB section selected into a memory DC, read back as its stored words.
struct Dib16 {
    Dib16(int w, int h)
        : width(w)
        , height(h)
        , dc(nullptr)
    {
        BITMAPINFO bmi {};
        bmi.bmiHeader = { sizeof(BITMAPINFOHEADER), w, -h, 1, 16, BI_RGB, 0, 0, 0, 0, 0 };
        void* p = nullptr;
        bitmap.reset(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &p, nullptr, 0));
        bits = static_cast<WORD*>(p);
        old = ::SelectObject(dc, bitmap.get());
    }
    ~Dib16() { ::SelectObject(dc, old); }
    WORD At(int x, int y) const
    {
        ::GdiFlush();
        return bits[static_cast<size_t>(y) * ((width * 2 + 3) / 4 * 2) + x];
    }
    int width, height;
    gdi::MemoryDC dc;
    gdi::Bitmap bitmap;
    WORD* bits = nullptr;
    HGDIOBJ old = nullptr;
};

TEST(BackgroundEffects, GradientsKeepTheirPixelsWhateverTheTarget)
{
    const COLORREF from = RGB(250, 10, 128), to = RGB(3, 240, 129), mid = RGB(20, 90, 200);
    // A DC whose logical origin is moved and which clips to part of the rectangle: the brush must
    // start at the rectangle's corner on the device, and nothing may land outside the clip.
    for (const int effect : { RIXFX_HGRADIENT, RIXFX_HCGRADIENT, RIXFX_3HGRADIENT, RIXFX_VGRADIENT }) {
        Dib dib(120, 40);
        dib.Fill(kOutside);
        ::SetWindowOrgEx(dib.dc(), -7, -3, nullptr); // logical (0, 0) is device (7, 3)
        gdi::Region clip(::CreateRectRgn(20, 0, 90, 30)); // device co-ordinates
        ::SelectClipRgn(dib.dc(), clip.get());
        RixEffectPainter painter;
        const RECT rect { 5, 2, 105, 32 }; // device 12..112 x 5..35
        painter.DrawEffect(dib.dc(), effect, rect, from, mid, to, 0, 0);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x) {
                const bool inside = x >= 20 && x < 90 && y >= 5 && y < 30;
                COLORREF want = kOutside;
                if (inside) {
                    const int p = effect == RIXFX_VGRADIENT ? y - 5 : x - 12, n = effect == RIXFX_VGRADIENT ? 30 : 100;
                    if (effect == RIXFX_HGRADIENT || effect == RIXFX_VGRADIENT)
                        want = GradientAt(from, to, n, p);
                    else if (effect == RIXFX_HCGRADIENT)
                        want = p < 50 ? GradientAt(from, to, 50, p) : GradientAt(to, from, 50, p - 50);
                    else
                        want = p < 50 ? GradientAt(from, mid, 50, p) : GradientAt(mid, to, 50, p - 50);
                }
                ASSERT_EQ(ColourText(want), ColourText(dib.Pixel(x, y)))
                    << "effect " << effect << " at " << x << "," << y;
            }
    }
    // A 16-bit target takes each band as the solid fill it always was (no pattern brush there).
    for (const BOOL horizontal : { TRUE, FALSE }) {
        Dib16 drawn(70, 50), reference(70, 50);
        const RECT rect { 2, 3, 67, 47 };
        RixEffectPainter painter;
        painter.DrawGradient(drawn.dc, rect, from, to, horizontal);
        const int extent = horizontal ? 65 : 44;
        for (int band = 0; band < 64; ++band) {
            const int a = band * extent / 64, b = (band + 1) * extent / 64;
            if (b <= a)
                continue;
            const RECT part = horizontal ? RECT { 2 + a, 3, 2 + b, 47 } : RECT { 2, 3 + a, 67, 3 + b };
            gdi::Brush brush(::CreateSolidBrush(BandColour(from, to, band)));
            ::FillRect(reference.dc, &part, brush.get());
        }
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 70; ++x)
                ASSERT_EQ(reference.At(x, y), drawn.At(x, y))
                    << (horizontal ? "across" : "down") << " " << x << "," << y;
    }
}

TEST(BackgroundEffects, GradientsGiveTheDcBackAsFound)
{
    for (int effect = RIXFX_HGRADIENT; effect <= RIXFX_3VGRADIENT; ++effect) {
        Dib dib(50, 30);
        gdi::Brush own(::CreateSolidBrush(RGB(1, 2, 3)));
        const HGDIOBJ before = ::SelectObject(dib.dc(), own.get());
        ::SetDCBrushColor(dib.dc(), RGB(9, 8, 7));
        ::SetBrushOrgEx(dib.dc(), 3, 4, nullptr);
        RixEffectPainter painter;
        painter.DrawEffect(
            dib.dc(), effect, RECT { 1, 1, 49, 29 }, RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), 0, 0);
        POINT origin {};
        ::GetBrushOrgEx(dib.dc(), &origin);
        EXPECT_EQ(own.get(), ::GetCurrentObject(dib.dc(), OBJ_BRUSH)) << effect;
        EXPECT_EQ(RGB(9, 8, 7), ::GetDCBrushColor(dib.dc())) << effect;
        EXPECT_EQ(3, origin.x) << effect;
        EXPECT_EQ(4, origin.y) << effect;
        ::SelectObject(dib.dc(), before);
    }
}

TEST(BackgroundEffects, ARepeatedSizeShowsTheNewPatternNotTheLastOne)
{
    // The pattern buffer keeps its block and section for the same size: each fill must still start
    // from a clean block and reach the target with its own colours.
    RixEffectPainter painter;
    Dib dib(30, 20);
    const COLORREF c1 = RGB(230, 40, 10), c2 = RGB(20, 200, 60), c3 = RGB(5, 10, 240);
    const int liveBefore = gdi::LiveObjects();
    for (const int effect : { RIXFX_METAL, RIXFX_VBUMP, RIXFX_METAL, RIXFX_NOISE }) {
        const unsigned seed = 31u * effect;
        rixnoise::Seed(seed);
        const COLORREF first = effect == RIXFX_NOISE ? c3 : c1;
        painter.DrawEffect(dib.dc(), effect, RECT { 0, 0, 30, 20 }, first, c2, c3, 5, 0);
        const std::vector<COLORREF> palette = Ramp(first, c2, c3, 0);
        const std::vector<int> indices = PatternIndices(painter.GetPattern());
        if (effect != RIXFX_METAL) {
            ReferenceRand rnd(seed);
            ASSERT_EQ(ExpectedPattern(effect, 30, 20, 5, rnd), indices) << effect;
        }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(ColourText(palette[indices[static_cast<size_t>(y) * 30 + x]]), ColourText(dib.Pixel(x, y)))
                    << "effect " << effect << " at " << x << "," << y;
        EXPECT_LE(gdi::LiveObjects(), liveBefore + 2);
    }
    PaletteDib buffer;
    ASSERT_NE(nullptr, buffer.Create(6, 2, 8));
    buffer.Fill(9);
    buffer.SetPaletteEntry(4, 1, 2, 3);
    ASSERT_NE(nullptr, buffer.Create(6, 2, 8));
    EXPECT_EQ(0, buffer.GetBits()[5]) << "the same size again starts from zeroes";
    EXPECT_EQ(0, buffer.GetColorTable()[4].rgbRed);
}

TEST(BackgroundEffects, NumbersOutsideOneToFifteenFillWithColourOne)
{
    for (int effect : { 0, -1, 16, 255, -100 }) {
        Dib dib(12, 8);
        dib.Fill(kOutside);
        RixEffectPainter painter;
        painter.DrawEffect(dib.dc(), effect, RECT { 2, 1, 9, 6 }, RGB(200, 100, 50), RGB(1, 1, 1), RGB(2, 2, 2), 5, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool inside = x >= 2 && x < 9 && y >= 1 && y < 6;
                ASSERT_EQ(ColourText(inside ? RGB(200, 100, 50) : kOutside), ColourText(dib.Pixel(x, y)))
                    << "effect " << effect << " at " << x << "," << y;
            }
    }
}

TEST(BackgroundEffects, PaletteRampAndBlend)
{
    const COLORREF c1 = RGB(200, 17, 90), c2 = RGB(31, 250, 4), c3 = RGB(128, 0, 255);
    // Only the low byte of the blend counts, and more than 100 counts as 100.
    for (int blend : { 0, 1, 37, 99, 100, 101, 255, 0x132, 0x1FF }) {
        RixEffectPainter painter;
        painter.BuildPattern(RECT { 0, 0, 3, 2 }, RIXFX_NOISE, 0, blend, c1, c2, c3);
        const PaletteDib& dib = painter.GetPattern();
        ASSERT_EQ(256, dib.GetColorCount());
        const std::vector<COLORREF> expected = Ramp(c1, c2, c3, blend);
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD q = dib.GetColorTable()[i];
            ASSERT_EQ(ColourText(expected[i]), ColourText(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)))
                << "entry " << i << " blend " << blend;
            ASSERT_EQ(0, q.rgbReserved);
        }
        if ((blend & 0xFF) >= 100) {
            EXPECT_EQ(ColourText(c1), ColourText(expected[0])) << "a full blend is colour 1 everywhere";
        }
    }
    const std::vector<COLORREF> plain = Ramp(c1, c2, c3, 0);
    EXPECT_EQ(ColourText(c3), ColourText(plain[0]));
    EXPECT_EQ(ColourText(c1), ColourText(plain[255]));
    EXPECT_EQ(
        ColourText(RGB((200 + 127 * 31) / 128, (17 + 127 * 250) / 128, (90 + 127 * 4) / 128)), ColourText(plain[128]));
}

TEST(BackgroundEffects, PatternedEffectsFollowTheirFormulasPixelByPixel)
{
    const COLORREF c1 = RGB(230, 40, 10), c2 = RGB(20, 200, 60), c3 = RGB(5, 10, 240);
    const int sizes[][2] = { { 1, 1 }, { 2, 3 }, { 7, 5 }, { 37, 23 }, { 130, 9 } };
    for (int effect = 7; effect <= 14; ++effect) {
        for (int amplitude : { 0, 5, 40, 0x107, 200 }) {
            for (const auto& size : sizes) {
                const int W = size[0], H = size[1];
                const unsigned seed = 1000u * effect + 7u * amplitude + W;
                rixnoise::Seed(seed);
                Dib dib(W + 4, H + 3);
                dib.Fill(kOutside);
                RixEffectPainter painter;
                painter.DrawEffect(dib.dc(), effect, RECT { 3, 2, 3 + W, 2 + H }, c1, c2, c3, amplitude, 0);

                ReferenceRand rnd(seed);
                const std::vector<int> expected = ExpectedPattern(effect, W, H, amplitude & 0xFF, rnd);
                const std::vector<int> actual = PatternIndices(painter.GetPattern());
                ASSERT_EQ(expected, actual)
                    << "effect " << effect << " amplitude " << amplitude << " " << W << "x" << H;
                const std::vector<COLORREF> palette = Ramp(c1, c2, c3, 0);
                for (int y = 0; y < dib.height(); ++y)
                    for (int x = 0; x < dib.width(); ++x) {
                        const bool inside = x >= 3 && x < 3 + W && y >= 2 && y < 2 + H;
                        const COLORREF want
                            = inside ? palette[expected[static_cast<size_t>(y - 2) * W + x - 3]] : kOutside;
                        ASSERT_EQ(ColourText(want), ColourText(dib.Pixel(x, y)))
                            << "effect " << effect << " " << W << "x" << H << " at " << x << "," << y;
                    }
            }
        }
    }
}

TEST(BackgroundEffects, WidePatternsWithManyRowBasesRunInParts)
{
    // A soft bump this wide keeps more row bases than the painter holds at once: the rows noted
    // before the limit run first, and the pattern continues unbroken.
    const int W = 9001, H = 260;
    rixnoise::Seed(77);
    RixEffectPainter painter;
    painter.BuildPattern(RECT { 0, 0, W, H }, RIXFX_SOFTBUMP, 5, 0, RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9));
    ReferenceRand rnd(77);
    EXPECT_EQ(ExpectedPattern(RIXFX_SOFTBUMP, W, H, 5, rnd), PatternIndices(painter.GetPattern()));
}

TEST(BackgroundEffects, MessageBoxBackgroundIsAVerticalBumpAroundWhite)
{
    const COLORREF edge = 0x0086FDF7, white = 0x00FFFFFF;
    rixnoise::Seed(5);
    Dib dib(200, 3);
    RixEffectPainter painter;
    painter.DrawEffect(dib.dc(), RIXFX_VBUMP, RECT { 0, 0, 200, 3 }, edge, white, edge, 0, 0);
    // m = 128 in the leftmost column gives 256, kept as index 0: colour 3, which here is colour 1 again.
    EXPECT_EQ(ColourText(edge), ColourText(dib.Pixel(0, 1)));
    EXPECT_EQ(0, painter.GetPattern().GetBits()[0]);
    const std::vector<COLORREF> palette = Ramp(edge, white, edge, 0);
    // The middle columns are index 128 (129 where the generator returns 32767).
    for (int x = 85; x <= 115; ++x) {
        const COLORREF c = dib.Pixel(x, 1);
        EXPECT_TRUE(c == palette[128] || c == palette[129]) << x << ": " << ColourText(c);
        EXPECT_GE(GetBValue(c), 0xFD) << x;
    }
    // Towards the sides the columns shade to the edge colour.
    EXPECT_LT(GetBValue(dib.Pixel(5, 1)), GetBValue(dib.Pixel(40, 1)));
    EXPECT_LT(GetBValue(dib.Pixel(195, 1)), GetBValue(dib.Pixel(160, 1)));
}

TEST(BackgroundEffects, ValuesPastTheRampWrapModulo256)
{
    // Each case is a pixel whose value runs past the ramp: the raw sum is worked out here and must lie
    // outside 0 .. 255, and the stored index is that sum modulo 256 (a clamp would give 0 or 255).
    struct Case {
        int effect, amplitude, x, y;
        const char* what;
    } cases[] = {
        { RIXFX_VBUMP, 0, 0, 0, "leftmost vbump column, top" },
        { RIXFX_VBUMP, 0, 0, 20, "leftmost vbump column, middle" },
        { RIXFX_NOISE, 200, 3, 4, "noise amplitude above 127" },
        { RIXFX_NOISE, 0x1C8, 30, 1, "noise amplitude above 127 in the low byte" },
        { RIXFX_HSHADE, 200, 7, 33, "hshade with G above 127" },
        { RIXFX_DIAGSHADE, 150, 0, 39, "diagshade with G above 127" },
        { RIXFX_VSHADE, 240, 1, 0, "vshade with G above 127" },
        { RIXFX_SOFTBUMP, 200, 0, 20, "softbump bounds crossed by G above 127" },
    };
    const int W = 40, H = 40;
    for (const Case& c : cases) {
        bool found = false;
        // The first seed that sends this pixel past the ramp.
        for (unsigned seed = 1; seed < 400 && !found; ++seed) {
            ReferenceRand rnd(seed);
            const int g = c.amplitude & 0xFF;
            std::vector<int> expected = ExpectedPattern(c.effect, W, H, g, rnd);
            // The same sum unwrapped: replay the generator up to this pixel.
            const int r = H - 1 - c.y;
            ReferenceRand replay(seed);
            int noise = 0;
            for (int i = 0; i <= r * W + c.x; ++i)
                noise = replay();
            const int mc = 255 * (W - c.x) / W - 127, mr = 255 * r / H - 127;
            const int d = 255 - 2 * g;
            int raw = 0;
            switch (c.effect) {
            case RIXFX_VBUMP:
                raw = 128 + Cube(mc) * (128 - g) / 128;
                break;
            case RIXFX_NOISE:
                raw = 128;
                break;
            case RIXFX_HSHADE:
                raw = g + r * d / H;
                break;
            case RIXFX_DIAGSHADE:
                raw = g + r * (d / 2) / H + (W - c.x) * (d / 2) / W;
                break;
            case RIXFX_VSHADE:
                raw = g + (W - c.x) * d / W;
                break;
            case RIXFX_SOFTBUMP:
                raw = std::min(std::max(128 + (Cube(mr) + Cube(mc)) * (128 - g) / 128, g), 255 - g);
                break;
            }
            raw += noise / (32767 / std::max(1, 2 * g)) - g;
            if (raw >= 0 && raw <= 255)
                continue;
            found = true;
            rixnoise::Seed(seed);
            RixEffectPainter painter;
            painter.BuildPattern(
                RECT { 0, 0, W, H }, c.effect, c.amplitude, 0, RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9));
            const int actual = PatternIndices(painter.GetPattern())[static_cast<size_t>(c.y) * W + c.x];
            EXPECT_EQ(raw & 0xFF, actual) << c.what << ": raw " << raw << ", seed " << seed;
            EXPECT_EQ(expected[static_cast<size_t>(c.y) * W + c.x], actual) << c.what;
        }
        EXPECT_TRUE(found) << c.what << ": no seed sends the pixel past the ramp";
    }
}

TEST(BackgroundEffects, MetalScratchesThenShadeThenNoise)
{
    // Amplitude 200 takes the sums past 255 and below 0: they wrap. Rows of 64 and more run as one
    // (130 also pads its rows), and the colours drawn are those of the indices. Scratches crowd
    // three rows (and so cover each other on every diagonal), and start anywhere in the first
    // 32768 columns of a wider picture.
    const int sizes[][2] = { { 61, 37 }, { 130, 21 }, { 64, 9 }, { 700, 3 }, { 5, 300 }, { 40000, 2 } };
    for (const int g : { 5, 200 })
        for (const auto& size : sizes) {
            const int W = size[0], H = size[1];
            rixnoise::Seed(4242);
            RixEffectPainter painter;
            Dib dib(W, H);
            painter.DrawEffect(
                dib.dc(), RIXFX_METAL, RECT { 0, 0, W, H }, RGB(255, 255, 255), RGB(128, 128, 128), 0, g, 0);

            ReferenceRand rnd(4242);
            std::vector<int> top(static_cast<size_t>(W) * H, 0); // top-down
            for (int i = 0; i < 200; ++i) {
                const int x0 = rnd() / std::max(1, 32767 / W);
                const int y0 = rnd() / std::max(1, 32767 / H);
                const int len = rnd() / std::max(1, 32767 / std::min(W, H)) / 2;
                const int v = rnd() / 819;
                for (int k = 0; k < len; ++k) {
                    auto put = [&](int x, int y) {
                        if (x >= 0 && x < W && y >= 0 && y < H)
                            top[static_cast<size_t>(y) * W + x] = v;
                    };
                    if (x0 - k > 0 && y0 + k < H)
                        put(x0 - k, y0 + k);
                    if (x0 + k < W && y0 - k > 0)
                        put(W - x0 + k, y0 - k);
                }
            }
            const int n = (255 - 2 * g - 40) / 2;
            std::vector<int> expected(top.size());
            for (int r = 0; r < H; ++r)
                for (int x = 0; x < W; ++x) {
                    const size_t i = static_cast<size_t>(H - 1 - r) * W + x;
                    expected[i] = (top[i] + r * n / H + (W - x) * n / W + rnd() / (32767 / (2 * g))) & 0xFF;
                }
            ASSERT_EQ(expected, PatternIndices(painter.GetPattern())) << "amplitude " << g << " width " << W;
            const std::vector<COLORREF> palette = Ramp(RGB(255, 255, 255), RGB(128, 128, 128), 0, 0);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    ASSERT_EQ(
                        ColourText(palette[expected[static_cast<size_t>(y) * W + x]]), ColourText(dib.Pixel(x, y)))
                        << "amplitude " << g << " width " << W << " at " << x << "," << y;
        }
}

TEST(BackgroundEffects, SizesWithoutAnObviousRuleStillDrawAndNeverDivideByZero)
{
    RixEffectPainter painter;
    const COLORREF c1 = RGB(250, 250, 250), c2 = RGB(128, 128, 128), c3 = RGB(10, 10, 10);
    // A hard bump one pixel high is all middle row: the full bevel on both sides.
    {
        rixnoise::Seed(9);
        Dib dib(40, 1);
        painter.DrawEffect(dib.dc(), RIXFX_HARDBUMP, RECT { 0, 0, 40, 1 }, c1, c2, c3, 0, 0);
        ReferenceRand rnd(9);
        EXPECT_EQ(ExpectedPattern(RIXFX_HARDBUMP, 40, 1, 0, rnd), PatternIndices(painter.GetPattern()));
        // The lit left bevel against the (bottom-row dark) middle.
        EXPECT_GT(GetRValue(dib.Pixel(0, 0)), GetRValue(dib.Pixel(20, 0)));
    }
    // Metal on a 1 x 1 rectangle, and wider or taller than 32767 pixels.
    for (const SIZE size : { SIZE { 1, 1 }, SIZE { 40000, 2 }, SIZE { 3, 33000 } }) {
        Dib dib(size.cx, size.cy);
        dib.Fill(kOutside);
        painter.DrawEffect(dib.dc(), RIXFX_METAL, RECT { 0, 0, size.cx, size.cy }, c1, c2, c3, 5, 0);
        EXPECT_NE(kOutside, dib.Pixel(size.cx - 1, size.cy - 1)) << size.cx << "x" << size.cy;
        EXPECT_EQ(size.cx, painter.GetPattern().GetWidth());
    }
    // Empty and upside-down rectangles draw nothing at all.
    for (int effect = -1; effect <= 16; ++effect) {
        for (const RECT rect : { RECT { 5, 5, 5, 9 }, RECT { 5, 5, 9, 5 }, RECT { 8, 8, 2, 2 } }) {
            Dib dib(12, 12);
            dib.Fill(kOutside);
            painter.DrawEffect(dib.dc(), effect, rect, c1, c2, c3, 5, 0);
            for (int y = 0; y < 12; ++y) {
                for (int x = 0; x < 12; ++x) {
                    ASSERT_EQ(kOutside, dib.Pixel(x, y)) << "effect " << effect << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(BackgroundEffects, PaletteDibKeepsToItsBounds)
{
    PaletteDib dib;
    EXPECT_EQ(nullptr, dib.GetBits());
    dib.SetPixel(0, 0, 1); // nothing to write into yet
    dib.Fill(3);
    ASSERT_NE(nullptr, dib.Create(5, 3, 8));
    EXPECT_EQ(8, dib.GetStride());
    EXPECT_EQ(40u, dib.GetHeader().biSize);
    EXPECT_EQ(3, dib.GetHeader().biHeight);
    EXPECT_EQ(24u, dib.GetHeader().biSizeImage);
    dib.Fill(7);
    dib.SetPixel(4, 0, 9); // top row, last column: stored row 2
    dib.SetPixel(5, 0, 10); // outside
    dib.SetPixel(0, -1, 11);
    dib.SetPixel(0, 3, 12);
    EXPECT_EQ(9, dib.GetBits()[2 * 8 + 4]);
    EXPECT_EQ(7, dib.GetBits()[2 * 8 + 5]) << "the row's padding is filled, not the next pixel";
    dib.SetPaletteEntry(256, 1, 2, 3); // past the table: ignored
    dib.SetPaletteEntry(3, 10, 20, 30);
    EXPECT_EQ(10, dib.GetColorTable()[3].rgbRed);
    EXPECT_EQ(30, dib.GetColorTable()[3].rgbBlue);

    ASSERT_NE(nullptr, dib.Create(9, 2, 1));
    EXPECT_EQ(2, dib.GetColorCount());
    EXPECT_EQ(4, dib.GetStride());
    ASSERT_NE(nullptr, dib.Create(3, 1, 24));
    EXPECT_EQ(0, dib.GetColorCount());
    EXPECT_EQ(12, dib.GetStride());
    // A block too big to allocate leaves the buffer empty; the other operations do nothing.
    EXPECT_EQ(nullptr, dib.Create(60000, 60000, 8));
    EXPECT_EQ(nullptr, dib.GetBits());
    dib.Fill(1);
    dib.SetPaletteEntry(0, 1, 1, 1);
    Dib target(4, 4);
    target.Fill(kOutside);
    dib.Draw(target.dc(), 0, 0);
    EXPECT_EQ(kOutside, target.Pixel(0, 0));
}

TEST(BackgroundEffects, ColoursWrittenWithTheRowsReachTheTargetOnlyWhileCurrent)
{
    // Colours written beside the indices are copied as they are, which a marker colour no table entry
    // has shows; any change through the buffer after that must make the draw convert again.
    constexpr uint32_t kMarker = 0x00ABCDEF;
    struct Change {
        const char* what;
        std::function<void(PaletteDib&)> apply;
    } const changes[] = {
        { "palette entry", [](PaletteDib& d) { d.SetPaletteEntry(4, 9, 9, 9); } },
        { "whole table",
            [](PaletteDib& d) {
                const RGBQUAD grey[2] = { { 9, 9, 9, 0 }, { 8, 8, 8, 0 } };
                d.SetColorTable(grey, 2);
            } },
        { "blend", [](PaletteDib& d) { d.BlendPalette(RGB(0, 0, 0), 50); } },
        { "fill", [](PaletteDib& d) { d.Fill(4); } },
        { "pixel", [](PaletteDib& d) { d.SetPixel(0, 0, 4); } },
        { "bits", [](PaletteDib& d) { d.GetBits()[0] = 4; } },
        { "same size again", [](PaletteDib& d) { d.Create(6, 3, 8); } },
    };
    for (const Change& change : changes) {
        PaletteDib dib;
        ASSERT_NE(nullptr, dib.Create(6, 3, 8));
        for (int i = 0; i < 256; ++i)
            dib.SetPaletteEntry(i, static_cast<BYTE>(i), 0, 0);
        uint32_t* rows = dib.ColourRows();
        ASSERT_NE(nullptr, rows);
        std::fill(rows, rows + 18, kMarker);
        dib.ColoursWritten();
        Dib target(6, 3);
        dib.Draw(target.dc(), 0, 0);
        ASSERT_EQ(kMarker, target.Raw(5, 2) & 0xFFFFFF) << change.what;
        change.apply(dib);
        dib.Draw(target.dc(), 0, 0);
        const RGBQUAD q = dib.GetColorTable()[dib.GetBits()[0]];
        // Stored row 0 is the bottom row.
        EXPECT_EQ(ColourText(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)), ColourText(target.Pixel(0, 2))) << change.what;
        EXPECT_NE(kMarker, target.Raw(5, 2) & 0xFFFFFF) << change.what;
    }
    // Only a palettised buffer has colour rows.
    PaletteDib wide;
    EXPECT_EQ(nullptr, wide.ColourRows());
    ASSERT_NE(nullptr, wide.Create(4, 4, 32));
    EXPECT_EQ(nullptr, wide.ColourRows());
}

TEST(BackgroundEffects, NothingLeaksAcrossManyFills)
{
    const int before = gdi::LiveObjects();
    {
        RixEffectPainter painter;
        Dib dib(50, 40);
        const int withTarget = gdi::LiveObjects();
        for (int round = 0; round < 40; ++round)
            for (int effect = -1; effect <= 16; ++effect) {
                painter.DrawEffect(dib.dc(), effect, RECT { 1, 2, 49 - round % 3, 37 }, RGB(1, 2, 3), RGB(90, 90, 90),
                    RGB(250, 240, 230), round, round * 3);
                // The pattern buffer and the gradient column keep their sections and DCs for the next
                // fill, nothing more.
                ASSERT_LE(gdi::LiveObjects(), withTarget + 4) << "effect " << effect;
            }
    }
    EXPECT_EQ(before, gdi::LiveObjects());
}

} // namespace
