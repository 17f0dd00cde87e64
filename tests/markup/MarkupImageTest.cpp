// Images in markup through real files, resources and pixels: bitmaps of known colours are written at
// test time, laid out alone (so each sits at the top left) and read back from a 32-bit DIB.
#include "Dib.h"
#include "TempFolder.h"
#include "markup/RixMarkupRenderer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kMagenta = RGB(255, 0, 255);
constexpr COLORREF kFrames[4] = { RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(200, 200, 0) };

// Little-endian fields of the picture files written here.
void Put(std::string& bytes, size_t at, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

uint32_t Rgb(COLORREF c)
{
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// A 24-bit bitmap file; each pixel's colour comes from the function.
template <class F> std::string BitmapFile(const TempFolder& folder, const char* name, int w, int h, F colour)
{
    const int stride = (w * 3 + 3) & ~3;
    std::string bytes(54 + static_cast<size_t>(stride) * h, '\0');
    auto put = [&](size_t at, uint32_t value, int count) { Put(bytes, at, value, count); };
    bytes[0] = 'B', bytes[1] = 'M';
    put(2, static_cast<uint32_t>(bytes.size()), 4), put(10, 54, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4);
    put(26, 1, 2), put(28, 24, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(54 + static_cast<size_t>(h - 1 - y) * stride + x * 3, Rgb(colour(x, y)), 3);
    return Ansi(folder.WriteFile(Wide(name), bytes));
}

struct ImageFixture : ::testing::Test {
    TempFolder folder;
    // 40 x 20, red with a magenta left half; 64 x 16, four frames of four colours.
    std::string red = BitmapFile(folder, "red.bmp", 40, 20, [](int x, int) { return x < 20 ? kMagenta : kRed; });
    std::string strip = BitmapFile(folder, "strip.bmp", 64, 16, [](int x, int) { return kFrames[x / 16]; });
    RixMarkupRenderer renderer;
    Dib dib { 200, 100 };
    SIZE size {};

    SIZE Render(const std::string& markup)
    {
        dib.Fill(kWhite);
        renderer.MeasureMarkup(dib.dc(), markup.c_str(), size);
        renderer.DrawMeasuredMarkup(dib.dc(), RECT { 0, 0, 200, 100 });
        return SIZE { size.cx - 1, size.cy - 1 };
    }
    // Every pixel inside the box (left to right: the colours of its columns) and white outside.
    std::string Differences(RECT box, COLORREF left, COLORREF right, int split = -1) const
    {
        for (int y = 0; y < dib.height(); ++y)
            for (int x = 0; x < dib.width(); ++x) {
                const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                const COLORREF want = !inside ? kWhite : x < split ? left : right;
                if (dib.Pixel(x, y) == want)
                    continue;
                char where[64];
                std::snprintf(where, sizeof where, "(%d, %d) is ", x, y);
                return where + ColourText(dib.Pixel(x, y));
            }
        return "";
    }
};

std::string ExePath()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// A module of its own pictures under the program's ids: bitmap 147 is 24 x 6 and blue, icon 128 is
// blue, unlike the program's.
std::string PicturesPath()
{
    const std::string exe = ExePath();
    return exe.substr(0, exe.find_last_of('\\') + 1) + "markup_pictures.dll";
}
constexpr SIZE kModuleBitmap { 24, 6 };
constexpr COLORREF kModuleBlue = RGB(0, 0, 200);

struct PictureModule {
    HMODULE hModule = ::LoadLibraryExA(PicturesPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~PictureModule()
    {
        if (hModule)
            ::FreeLibrary(hModule);
    }
};

TEST_F(ImageFixture, BitmapsTakeTheirDrawnSize)
{
    const struct {
        const char* attributes;
        SIZE drawn;
    } cases[] = { { "", { 40, 20 } }, { "width=50%", { 20, 20 } }, { "width=30", { 30, 20 } },
        { "height=50% width=200%", { 80, 10 } }, { "idres=999", { 40, 20 } } };
    for (const auto& c : cases) {
        const std::string markup = "<bmp file=\"" + red + "\" " + c.attributes + ">";
        const SIZE drawn = Render(markup);
        EXPECT_EQ(drawn.cx, c.drawn.cx) << markup;
        EXPECT_EQ(drawn.cy, c.drawn.cy) << markup;
        EXPECT_EQ(Differences(RECT { 0, 0, drawn.cx, drawn.cy }, kMagenta, kRed, drawn.cx / 2), "") << markup;
    }
    // An image that does not fit starts a new line, unless the line is empty.
    renderer.SetWrapWidth(50);
    EXPECT_EQ(Render("<bmp file=\"" + red + "\"><bmp file=\"" + red + "\">").cy, 40);
    renderer.SetWrapWidth(30);
    EXPECT_EQ(Render("<bmp file=\"" + red + "\">").cy, 20);
    renderer.SetWrapWidth(0);
    // "mask" makes the magenta half transparent.
    Render("<bmp file=\"" + red + "\" mask=#FF00FF>");
    EXPECT_EQ(Differences(RECT { 20, 0, 40, 20 }, kRed, kRed), "");
}

TEST_F(ImageFixture, ResourcesModulesAndHandlesInTheirOrder)
{
    const HMODULE self = ::GetModuleHandleA(nullptr);
    const gdi::Bitmap menu(static_cast<HBITMAP>(::LoadImageA(self, MAKEINTRESOURCEA(147), IMAGE_BITMAP, 0, 0, 0)));
    const SIZE natural = RixEffectPainter::GetBitmapSize(menu.get());
    ASSERT_GT(natural.cx, 0);
    ASSERT_NE(natural.cx, kModuleBitmap.cx) << "the two modules' pictures must differ";
    const PictureModule pictures;
    ASSERT_NE(pictures.hModule, nullptr) << PicturesPath();
    renderer.SetResourceModule(pictures.hModule);
    const std::string handle = std::to_string(reinterpret_cast<UINT_PTR>(menu.get()));
    const struct {
        std::string tag;
        SIZE drawn;
    } cases[] = {
        { "<bmp idres=147>", natural },
        { "<bmp iddll=147>", kModuleBitmap },
        // A module named in the tag wins over the renderer's.
        { "<bmp iddll=147 srcdll=\"" + ExePath() + "\">", natural },
        { "<bmp iddll=147 srcdll=\"" + PicturesPath() + "\">", kModuleBitmap },
        { "<bmp idres=147 file=\"" + red + "\">", natural },
        { "<bmp iddll=999 handle=" + handle + ">", natural },
    };
    for (const auto& c : cases) {
        const SIZE drawn = Render(c.tag);
        EXPECT_EQ(drawn.cx, c.drawn.cx) << c.tag;
        EXPECT_EQ(drawn.cy, c.drawn.cy) << c.tag;
    }
    Render("<bmp iddll=147>");
    EXPECT_EQ(Differences(RECT { 0, 0, kModuleBitmap.cx, kModuleBitmap.cy }, kModuleBlue, kModuleBlue), "");
    // A borrowed handle is left alive; an owned module goes with its renderer.
    EXPECT_EQ(::GetObjectType(menu.get()), static_cast<DWORD>(OBJ_BITMAP));
    ASSERT_EQ(::GetModuleHandleA("hid.dll"), nullptr);
    const HMODULE hid = ::LoadLibraryA("hid.dll");
    ASSERT_NE(hid, nullptr);
    std::make_unique<RixMarkupRenderer>()->SetResourceModule(hid, true);
    EXPECT_EQ(::GetModuleHandleA("hid.dll"), nullptr);
}

// A 32 x 32 icon file of one opaque colour.
std::string IconFile(const TempFolder& folder, COLORREF colour)
{
    std::string bytes(6 + 16 + 40 + 32 * 32 * 4 + 32 * 4, '\0');
    auto put = [&](size_t at, uint32_t value, int count) { Put(bytes, at, value, count); };
    put(2, 1, 2), put(4, 1, 2), put(6, 32, 1), put(7, 32, 1), put(10, 1, 2), put(12, 32, 2);
    put(14, static_cast<uint32_t>(bytes.size() - 22), 4), put(18, 22, 4);
    put(22, 40, 4), put(26, 32, 4), put(30, 64, 4), put(34, 1, 2), put(36, 32, 2);
    for (int i = 0; i < 32 * 32; ++i)
        put(62 + 4 * i, 0xFF000000 | Rgb(colour), 4);
    return Ansi(folder.WriteFile(L"green.ico", bytes));
}

TEST_F(ImageFixture, IconsLoadAtTheSystemSizeOrAsGiven)
{
    const HMODULE self = ::GetModuleHandleA(nullptr);
    const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    const std::string green = IconFile(folder, RGB(0, 160, 0));
    Render("<icon file=\"" + green + "\" width=16>");
    EXPECT_EQ(Differences(RECT { 0, 0, 16, cy }, RGB(0, 160, 0), RGB(0, 160, 0)), "");
    EXPECT_EQ(Render("<icon file=\"" + green + "\" width=200% height=50%>").cx, 2 * cx);
    EXPECT_EQ(size.cy - 1, cy / 2);
    // A borrowed icon keeps its own size unless told otherwise, and stays alive.
    const gdi::Icon own(static_cast<HICON>(::LoadImageA(self, MAKEINTRESOURCEA(128), IMAGE_ICON, 24, 24, 0)));
    const std::string handle = "<icon handle=" + std::to_string(reinterpret_cast<UINT_PTR>(own.get()));
    EXPECT_EQ(Render(handle + ">").cx, 24);
    EXPECT_EQ(Render(handle + " width=12>").cx, 12);
    EXPECT_NE(RixEffectPainter::GetIconSize(own.get()).cx, 0);
    EXPECT_EQ(Render("<icon idres=128>").cx, cx);
    EXPECT_EQ(size.cy - 1, cy);
    EXPECT_EQ(Render("<icon iddll=128 srcdll=\"" + PicturesPath() + "\" width=50% height=50%>").cx, cx / 2);
    EXPECT_EQ(Differences(RECT { 0, 0, cx / 2, cy / 2 }, kModuleBlue, kModuleBlue), "") << "the module's icon";
    // Without "srcdll", "iddll" reads the renderer's module, never the program.
    const PictureModule pictures;
    renderer.SetResourceModule(pictures.hModule);
    Render("<icon iddll=128>");
    EXPECT_EQ(Differences(RECT { 0, 0, cx, cy }, kModuleBlue, kModuleBlue), "");
}

TEST_F(ImageFixture, StripFramesAndTheImageList)
{
    for (int index = 0; index < 4; ++index) {
        const SIZE drawn = Render("<ilst file=\"" + strip + "\" index=" + std::to_string(index) + ">");
        EXPECT_EQ(Differences(RECT { 0, 0, 16, 16 }, kFrames[index], kFrames[index]), "") << index;
        EXPECT_EQ(drawn.cx, 16);
    }
    Render("<ilst file=\"" + strip + "\" index=2 speed=5> <ilst file=\"" + strip + "\" cx=16 cy=8 index=6 speed=1>");
    ASSERT_EQ(renderer.GetStripRecords().size(), 2u);
    const std::vector<StripFrameRecord>& r = renderer.GetStripRecords();
    EXPECT_EQ((std::vector<int> { r[0].nFrame, r[0].nFrameCount, r[0].nReserved, r[0].nSpeed, r[1].nFrame,
                  r[1].nFrameCount, r[1].nSpeed }),
        (std::vector<int> { 2, 4, 0, 5, 6, 8, 1 }));

    // A strip with no source shows the image list's picture at its index.
    HIMAGELIST list = ::ImageList_Create(16, 16, ILC_COLOR24, 4, 0);
    const gdi::Bitmap pictures(
        static_cast<HBITMAP>(::LoadImageA(nullptr, strip.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    ASSERT_EQ(::ImageList_Add(list, pictures.get(), nullptr), 0);
    renderer.SetImageList(list);
    Render("<ilst index=1>");
    EXPECT_EQ(Differences(RECT { 0, 0, 16, 16 }, kFrames[1], kFrames[1]), "");
    EXPECT_EQ(Render("<ilst index=3 width=200%>").cx, 32);
    EXPECT_EQ(Render("<ilst index=4>").cx, 0);
}

TEST_F(ImageFixture, ShadowsTakeRoomAndDarkenTheBackground)
{
    const std::string tag = "<bmp file=\"" + red + "\" ";
    EXPECT_EQ(Render(tag + "hotstyle=s>").cy, 24);
    EXPECT_EQ(Render(tag + "style=s>").cx, 44);
    EXPECT_LT(GetRValue(dib.Pixel(42, 22)), 255);
    // A hard shadow at half darkness halves the white background beside the image.
    // The default grey is 0x7F; set again, half of 255 rounds up.
    EXPECT_EQ(renderer.GetShadowColour(), RGB(127, 127, 127));
    renderer.ConfigureShadow(6, 2, 50, false, 7, 7);
    EXPECT_EQ(renderer.GetShadowColour(), RGB(128, 128, 128));
    EXPECT_EQ(Render(tag + "style=s>").cx, 46);
    EXPECT_EQ(dib.Pixel(45, 21), RGB(128, 128, 128));
    EXPECT_EQ(dib.Pixel(45, 1), kWhite);
    // Blur sizes beyond the image give no shadow, quickly; darkness is kept within 0 to 100.
    renderer.ConfigureShadow(4, 4, -50, true, 100000, 100000);
    EXPECT_EQ(renderer.GetShadowColour(), kWhite);
    EXPECT_EQ(Render(tag + "style=s>").cx, 44);
    EXPECT_EQ(dib.Pixel(43, 23), kWhite);
    renderer.ConfigureShadow(0, 0, 150, true, 7, 7);
    EXPECT_EQ(renderer.GetShadowColour(), RGB(0, 0, 0));
    EXPECT_EQ(Render(tag + "style=s>").cx, 40);
}

TEST_F(ImageFixture, HotStyleUnderTheMouseAndSilhouetteWithoutColours)
{
    const std::string markup = "<a href=x><bmp file=\"" + red + "\" hotstyle=g></a>";
    Render(markup);
    EXPECT_EQ(dib.Pixel(30, 5), kRed);
    ASSERT_EQ(renderer.GetHotAreas().size(), 1u);
    EXPECT_EQ(renderer.GetHotAreas()[0].rect.right, 40);
    renderer.OnLinkHover(POINT { 40, 19 });
    EXPECT_EQ(renderer.GetHoverLink(), 0);
    Render(markup);
    EXPECT_EQ(dib.Pixel(30, 5), RGB(76, 76, 76));

    renderer.EnableColours(false);
    renderer.SetDisabledTextColour(RGB(0, 0, 150));
    Render("<bmp file=\"" + red + "\" style=gl mask=#FF00FF>");
    EXPECT_EQ(Differences(RECT { 20, 0, 40, 20 }, RGB(0, 0, 150), RGB(0, 0, 150)), "");
}

TEST_F(ImageFixture, WhatDoesNotLoadTakesNoRoom)
{
    const std::string zeroWide = BitmapFile(folder, "zero.bmp", 0, 20, [](int, int) { return kRed; });
    // A header that claims 100000 x 100000 pixels.
    std::string header = ReadWholeFile(Wide(zeroWide));
    header.replace(18, 8, std::string("\xA0\x86\x01\0\xA0\x86\x01\0", 8));
    const std::string huge = Ansi(folder.WriteFile(L"huge.bmp", header));
    const std::string junk = Ansi(folder.WriteFile(L"junk.bmp", "not a picture"));
    // A sound header whose pixels stop half way.
    const std::string whole = ReadWholeFile(Wide(red));
    const std::string cut = Ansi(folder.WriteFile(L"cut.bmp", whole.substr(0, whole.size() / 2)));
    const gdi::Brush brush(::CreateSolidBrush(kRed));
    const gdi::Bitmap bitmap(::CreateCompatibleBitmap(dib.dc(), 8, 8));
    const std::string file = " file=\"" + red + "\"";
    const std::string cases[]
        = { "<bmp>", "<bmp file=\"" + Ansi(folder.File(L"missing.bmp")) + "\">", "<bmp file=\"" + junk + "\">",
              "<bmp file=\"" + huge + "\">", "<bmp file=\"" + zeroWide + "\">", "<bmp file=\"" + cut + "\">",
              "<bmp idres=999>", "<bmp iddll=147>", "<bmp iddll=147 srcdll=\"" + Ansi(folder.File(L"none.dll")) + "\">",
              "<bmp iddll=999 srcdll=\"" + ExePath() + "\">", "<bmp handle=0x1234>",
              "<bmp handle=" + std::to_string(reinterpret_cast<UINT_PTR>(brush.get())) + ">",
              "<icon handle=" + std::to_string(reinterpret_cast<UINT_PTR>(bitmap.get())) + ">",
              "<icon file=\"" + junk + "\">", "<bmp" + file + " width=0>",
              "<bmp" + file + " width=100000 height=100000>", "<ilst file=\"" + strip + "\" index=4>",
              "<ilst file=\"" + strip + "\" cx=32>", "<ilst index=0>", "<icon idres=128 width=100000 height=100000>" };
    Render("x");
    const int live = gdi::LiveObjects();
    for (const std::string& markup : cases) {
        Render(markup);
        EXPECT_EQ(size.cx, 1) << markup;
        EXPECT_EQ(Differences(RECT {}, kWhite, kWhite), "") << markup;
    }
    EXPECT_EQ(gdi::LiveObjects(), live);
}

// A bitmap file with a palette: every header field the loader believes, given here.
struct BitmapHeader {
    int width = 4, height = 2, bits = 8, planes = 1;
    uint32_t infoSize = 40, compression = BI_RGB, used = 0, imageSize = 0;
    long long offset = -1; // -1: just after the palette
    long long cut = 0; // bytes left off the end
    int paletteEntries = 256;
};

std::string BitmapBytes(const BitmapHeader& h)
{
    const size_t palette = static_cast<size_t>(h.paletteEntries) * 4;
    const size_t stride = static_cast<size_t>((h.width * h.bits + 31) / 32 * 4);
    const size_t pixels = h.compression == BI_RGB ? stride * static_cast<size_t>(h.height) : h.imageSize;
    std::string bytes(14 + 40 + palette + pixels, '\0');
    const uint32_t offset = h.offset < 0 ? static_cast<uint32_t>(14 + 40 + palette) : static_cast<uint32_t>(h.offset);
    bytes[0] = 'B', bytes[1] = 'M';
    Put(bytes, 2, static_cast<uint32_t>(bytes.size()), 4), Put(bytes, 10, offset, 4), Put(bytes, 14, h.infoSize, 4);
    Put(bytes, 18, static_cast<uint32_t>(h.width), 4), Put(bytes, 22, static_cast<uint32_t>(h.height), 4);
    Put(bytes, 26, static_cast<uint32_t>(h.planes), 2), Put(bytes, 28, static_cast<uint32_t>(h.bits), 2);
    Put(bytes, 30, h.compression, 4), Put(bytes, 34, h.imageSize, 4), Put(bytes, 46, h.used, 4);
    // Palette entry 1 is red; the pixels use it.
    Put(bytes, 54 + 4, Rgb(kRed), 4);
    for (size_t i = 54 + palette; i < bytes.size(); ++i)
        bytes[i] = h.bits == 8 ? 1 : 0;
    // Compressed: each row four pixels of colour 1, then the row's end; the last row ends the picture.
    if (h.compression == BI_RLE8 && h.imageSize == 8)
        bytes.replace(54 + palette, 8, std::string("\x04\x01\x00\x00\x04\x01\x00\x01", 8));
    bytes.resize(bytes.size() - static_cast<size_t>(h.cut));
    return bytes;
}

// A file's headers with one change made to their defaults, and whether the file should load.
template <class Header> struct FileCase {
    const char* what;
    Header header;
    bool loads;
};
template <class Header, class Change> Header With(Change change)
{
    Header header;
    change(header);
    return header;
}

TEST_F(ImageFixture, BitmapHeadersPalettesAndPixelOffsetsAreCheckedAgainstTheFile)
{
    const auto with = [](auto change) { return With<BitmapHeader>(change); };
    const FileCase<BitmapHeader> cases[] = {
        { "sound, 256 colours", BitmapHeader {}, true },
        { "sound, 2 colours named", with([](BitmapHeader& h) { h.used = 2, h.paletteEntries = 2; }), true },
        { "header longer than the file", with([](BitmapHeader& h) { h.cut = 14 + 40 + 256 * 4 + 8 - 30; }), false },
        { "unknown header size", with([](BitmapHeader& h) { h.infoSize = 1000; }), false },
        { "more colours than 8 bits have", with([](BitmapHeader& h) { h.used = 300; }), false },
        { "palette cut short", with([](BitmapHeader& h) { h.cut = 8 + 600; }), false },
        { "pixels inside the palette", with([](BitmapHeader& h) { h.offset = 14 + 40 + 16; }), false },
        { "pixels inside the header", with([](BitmapHeader& h) { h.offset = 20; }), false },
        { "pixels past the end", with([](BitmapHeader& h) { h.offset = 0x7FFFFFF0; }), false },
        { "pixels cut short", with([](BitmapHeader& h) { h.cut = 4; }), false },
        { "no planes", with([](BitmapHeader& h) { h.planes = 0; }), false },
        { "7 bits", with([](BitmapHeader& h) { h.bits = 7; }), false },
        { "compressed", with([](BitmapHeader& h) { h.compression = BI_RLE8, h.imageSize = 8; }), true },
        { "compressed past the end", with([](BitmapHeader& h) { h.compression = BI_RLE8, h.imageSize = 8, h.cut = 1; }),
            false },
        { "compression of another kind", with([](BitmapHeader& h) { h.compression = BI_JPEG, h.imageSize = 8; }),
            false },
    };
    for (const auto& c : cases) {
        const std::string path = Ansi(folder.WriteFile(L"header.bmp", BitmapBytes(c.header)));
        EXPECT_EQ(BitmapFileIsSound(path), c.loads) << c.what;
        const SIZE drawn = Render("<bmp file=\"" + path + "\">");
        EXPECT_EQ(drawn.cx, c.loads ? c.header.width : 0) << c.what;
        if (c.loads) {
            EXPECT_EQ(dib.Pixel(1, 1), kRed) << c.what;
        }
    }
}

// An icon file of one 32 x 32 image (or none), every directory and header field given here.
struct IconHeader {
    int reserved = 0, type = 1, count = 1;
    uint32_t bytes = 40 + 32 * 32 * 4 + 32 * 4, offset = 22;
    int width = 32, height = 64, bits = 32;
    bool png = false;
    size_t cut = 0;
};

std::string IconBytes(const IconHeader& h)
{
    std::string bytes(22 + 40 + 32 * 32 * 4 + 32 * 4, '\0');
    Put(bytes, 0, static_cast<uint32_t>(h.reserved), 2), Put(bytes, 2, static_cast<uint32_t>(h.type), 2);
    Put(bytes, 4, static_cast<uint32_t>(h.count), 2);
    Put(bytes, 6, 32, 1), Put(bytes, 7, 32, 1), Put(bytes, 10, 1, 2), Put(bytes, 12, 32, 2);
    Put(bytes, 14, h.bytes, 4), Put(bytes, 18, h.offset, 4);
    Put(bytes, 22, 40, 4), Put(bytes, 26, static_cast<uint32_t>(h.width), 4);
    Put(bytes, 30, static_cast<uint32_t>(h.height), 4), Put(bytes, 34, 1, 2);
    Put(bytes, 36, static_cast<uint32_t>(h.bits), 2);
    for (int i = 0; i < 32 * 32; ++i)
        Put(bytes, 62 + 4 * static_cast<size_t>(i), 0xFF000000 | Rgb(kRed), 4);
    if (h.png) {
        // A PNG signature and header chunk claiming 60000 x 60000 pixels.
        const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\xea\x60\0\0\xea\x60\x08\x06\0\0\0";
        bytes.replace(22, sizeof png - 1, png, sizeof png - 1);
    }
    bytes.resize(bytes.size() - h.cut);
    return bytes;
}

TEST_F(ImageFixture, IconDirectoriesAndImagesAreCheckedAgainstTheFile)
{
    const auto with = [](auto change) { return With<IconHeader>(change); };
    const FileCase<IconHeader> cases[] = {
        { "sound", IconHeader {}, true },
        { "a cursor's directory", with([](IconHeader& h) { h.type = 2; }), false },
        { "no images", with([](IconHeader& h) { h.count = 0; }), false },
        { "a directory longer than the file", with([](IconHeader& h) { h.count = 5000; }), false },
        { "an image past the end", with([](IconHeader& h) { h.offset = 0x7FFFFF00; }), false },
        { "an image over the directory", with([](IconHeader& h) { h.offset = 6; }), false },
        { "an image cut short", with([](IconHeader& h) { h.cut = 64; }), false },
        { "an image larger than its entry", with([](IconHeader& h) { h.width = 64; }), false },
        { "an image of 30000 x 30000", with([](IconHeader& h) { h.width = 30000, h.height = 60000; }), false },
        { "a PNG image of 60000 x 60000", with([](IconHeader& h) { h.png = true; }), false },
        { "13 bits", with([](IconHeader& h) { h.bits = 13; }), false },
    };
    const int cx = ::GetSystemMetrics(SM_CXICON);
    for (const auto& c : cases) {
        const std::string path = Ansi(folder.WriteFile(L"header.ico", IconBytes(c.header)));
        EXPECT_EQ(IconFileIsSound(path), c.loads) << c.what;
        EXPECT_EQ(Render("<icon file=\"" + path + "\">").cx, c.loads ? cx : 0) << c.what;
    }
}

TEST_F(ImageFixture, DevicesAndSharesAreNoPictureSources)
{
    const struct {
        std::string path;
        bool local;
    } cases[] = {
        { red, true },
        { "red.bmp", true },
        { "C:\\folder\\console.bmp", true },
        { "\\\\server\\share\\red.bmp", false },
        { "//server/share/red.bmp", false },
        { "\\/server\\share\\red.bmp", false },
        { "\\\\.\\PhysicalDrive0", false },
        { "\\\\?\\C:\\red.bmp", false },
        { "con", false },
        { "CON", false },
        { "nul.bmp", false },
        { "C:\\folder\\aux", false },
        { "C:\\folder\\Com1.ico", false },
        { "lpt9 .bmp", false },
        { "conin$", false },
        { "prn.", false },
        { "C:con", false },
        { "com0.bmp", true },
        { "lpt10", true },
        { "", false },
        { std::string(40000, 'a'), false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PictureSourceIsLocal(c.path), c.local) << c.path.substr(0, 40);
    // Through the tags: nothing is opened, nothing drawn.
    for (const std::string& markup : { std::string("<bmp file=\"\\\\server\\share\\red.bmp\">"),
             std::string("<icon file=\"con\">"), std::string("<bmp iddll=147 srcdll=\"\\\\server\\m.dll\">"),
             std::string("<table background=\"file:\\\\server\\share\\red.bmp\"><tr><td width=20 height=20>"
                         "</td></tr></table>") }) {
        Render(markup);
        EXPECT_EQ(Differences(RECT {}, kWhite, kWhite), "") << markup;
    }
}

} // namespace
