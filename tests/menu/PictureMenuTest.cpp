// The self-drawn picture menu: item records, measuring, the three looks checked pixel by pixel,
// the DC given back as found, no GDI leaks, and the owner window handing WM_MEASUREITEM and
// WM_DRAWITEM to the menu.
#include "Dib.h"
#include "framework/Wnd.h"
#include "menu/PictureMenu.h"
#include "res/resource.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The look's colours, written out here rather than taken from the header.
constexpr COLORREF kIvory = RGB(0xFF, 0xFF, 0xF0);
constexpr COLORREF kBlueGrey = RGB(0x40, 0x40, 0x80);
constexpr COLORREF kLavender = RGB(0xD8, 0xD8, 0xEB);
constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);
// What a DIB holds before drawing: a colour the menu never uses.
constexpr COLORREF kBackground = RGB(1, 2, 3);
// The DC's text colour before drawing, so that we see which colour the menu writes in.
constexpr COLORREF kCallerText = RGB(200, 30, 30);

COLORREF Face() { return ::GetSysColor(COLOR_BTNFACE); }
COLORREF MenuText() { return ::GetSysColor(COLOR_MENUTEXT); }

// A text item's rectangle, away from the origin so that relative and absolute mistakes show.
constexpr int kL = 10;
constexpr int kT = 5;
constexpr int kR = 160;
constexpr int kB = 25;
constexpr RECT kItem = {kL, kT, kR, kB};

// Commands of the text menu.
constexpr UINT kAdd = 101;
constexpr UINT kSeparator = 102;
constexpr UINT kExit = 103;
constexpr UINT kTicked = 104;
constexpr UINT kTickedPicture = 105;
constexpr UINT kGrayed = 106;
constexpr UINT kDisabled = 107;
constexpr UINT kPlain = 108;

std::string Hex(COLORREF c)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%06lX", static_cast<unsigned long>(c));
    return text;
}

// "(x,y)", for messages.
std::string Where(int x, int y)
{
    char at[32];
    std::snprintf(at, sizeof(at), "(%d,%d)", x, y);
    return at;
}

// "" when every pixel of rc (right/bottom excluded) has one of the allowed colours; otherwise the
// first one that does not and how many do not.
std::string Stray(const Dib& dib, RECT rc, std::initializer_list<COLORREF> allowed)
{
    std::string first;
    int count = 0;
    for (int y = rc.top; y < rc.bottom; y++)
        for (int x = rc.left; x < rc.right; x++) {
            const COLORREF c = dib.Pixel(x, y);
            bool ok = false;
            for (COLORREF a : allowed)
                ok = ok || c == a;
            if (!ok && count++ == 0) {
                first = Where(x, y) + "=" + Hex(c);
            }
        }
    return count ? first + " and " + std::to_string(count - 1) + " more" : "";
}

// The same for the one-pixel border of rc.
std::string RingStray(const Dib& dib, RECT rc, COLORREF c)
{
    std::string result;
    for (RECT side : {RECT{rc.left, rc.top, rc.right, rc.top + 1}, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom},
                      RECT{rc.left, rc.top, rc.left + 1, rc.bottom}, RECT{rc.right - 1, rc.top, rc.right, rc.bottom}})
        result += Stray(dib, side, {c});
    return result;
}

int Count(const Dib& dib, RECT rc, COLORREF c)
{
    int count = 0;
    for (int y = rc.top; y < rc.bottom; y++)
        for (int x = rc.left; x < rc.right; x++)
            count += dib.Pixel(x, y) == c;
    return count;
}

// The smallest rectangle holding every pixel of colour c inside rc; empty when there is none.
RECT Bounds(const Dib& dib, RECT rc, COLORREF c)
{
    RECT b = {rc.right, rc.bottom, rc.left, rc.top};
    for (int y = rc.top; y < rc.bottom; y++)
        for (int x = rc.left; x < rc.right; x++)
            if (dib.Pixel(x, y) == c) {
                b.left = std::min<LONG>(b.left, x);
                b.top = std::min<LONG>(b.top, y);
                b.right = std::max<LONG>(b.right, x + 1);
                b.bottom = std::max<LONG>(b.bottom, y + 1);
            }
    return b.left < b.right ? b : RECT{};
}

// The DIB keeps its background all around rc.
void ExpectNothingOutside(const Dib& dib, RECT rc)
{
    EXPECT_EQ(Stray(dib, {0, 0, dib.width(), rc.top}, {kBackground}), "") << "above";
    EXPECT_EQ(Stray(dib, {0, rc.bottom, dib.width(), dib.height()}, {kBackground}), "") << "below";
    EXPECT_EQ(Stray(dib, {0, 0, rc.left, dib.height()}, {kBackground}), "") << "left";
    EXPECT_EQ(Stray(dib, {rc.right, 0, dib.width(), dib.height()}, {kBackground}), "") << "right";
}

std::vector<COLORREF> Snapshot(const Dib& dib)
{
    std::vector<COLORREF> pixels;
    for (int y = 0; y < dib.height(); y++)
        for (int x = 0; x < dib.width(); x++)
            pixels.push_back(dib.Pixel(x, y));
    return pixels;
}

// "" when the DIB still shows the snapshot, else the first pixel that changed.
std::string Changed(const Dib& dib, const std::vector<COLORREF>& before)
{
    for (int y = 0; y < dib.height(); y++)
        for (int x = 0; x < dib.width(); x++) {
            const COLORREF was = before[static_cast<size_t>(y * dib.width() + x)];
            if (dib.Pixel(x, y) != was)
                return Where(x, y) + " " + Hex(was) + " -> " + Hex(dib.Pixel(x, y));
        }
    return "";
}

// DrawEdge(EDGE_RAISED, BF_RECT) as Wine draws it (and as Windows documents it): outer ring light
// (COLOR_3DLIGHT) on top and left, dark (COLOR_3DDKSHADOW) on bottom and right; inner ring
// COLOR_BTNHIGHLIGHT on top and left, COLOR_BTNSHADOW on bottom and right. The bottom-right colour
// takes the top-right and bottom-left corners.
std::string RaisedEdgeStray(const Dib& dib, RECT rc)
{
    std::string result;
    const COLORREF light = ::GetSysColor(COLOR_3DLIGHT), dark = ::GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF hilite = ::GetSysColor(COLOR_BTNHIGHLIGHT), shadow = ::GetSysColor(COLOR_BTNSHADOW);
    for (int ring = 0; ring < 2; ring++) {
        const RECT r = {rc.left + ring, rc.top + ring, rc.right - ring, rc.bottom - ring};
        const COLORREF tl = ring == 0 ? light : hilite, br = ring == 0 ? dark : shadow;
        result += Stray(dib, {r.left, r.top, r.right - 1, r.top + 1}, {tl});
        result += Stray(dib, {r.left, r.top, r.left + 1, r.bottom - 1}, {tl});
        result += Stray(dib, {r.left, r.bottom - 1, r.right, r.bottom}, {br});
        result += Stray(dib, {r.right - 1, r.top, r.right, r.bottom}, {br});
    }
    return result;
}

// The repository, where the pictures are; test programs run from build\bin.
#ifdef TESSEL_SOURCE_DIR
const char* const kSourceDir = TESSEL_SOURCE_DIR;
#else
const char* const kSourceDir = "..\\..";
#endif

// A picture of the program read straight from its 24-bit BMP file.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels; // top row first
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Picture ReadPicture(const char* fileName)
{
    Picture picture;
    const std::string path = std::string(kSourceDir) + "\\res\\pictures\\" + fileName;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return picture;
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    if (bytes.size() < 54 || bytes[28] != 24)
        return picture;
    const uint32_t offset = u32(10);
    const int width = static_cast<int>(u32(18));
    const int height = static_cast<int>(u32(22)); // bottom-up
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    if (bytes.size() < offset + stride * static_cast<size_t>(height))
        return picture;
    picture.width = width;
    picture.height = height;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const size_t at = offset + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
            picture.pixels.push_back(RGB(bytes[at + 2], bytes[at + 1], bytes[at]));
        }
    return picture;
}

// "" when the picture shows at (x, y) pixel for pixel.
std::string PictureStray(const Dib& dib, const Picture& picture, int x0, int y0)
{
    if (picture.width != 16 || picture.height != 16)
        return "picture file not read";
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width; x++)
            if (dib.Pixel(x0 + x, y0 + y) != picture.At(x, y))
                return Where(x0 + x, y0 + y) + "=" + Hex(dib.Pixel(x0 + x, y0 + y)) + " expected " +
                       Hex(picture.At(x, y));
    return "";
}

PictureMenuItem* RecordOf(HMENU hMenu, UINT id)
{
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_DATA;
    if (!::GetMenuItemInfoA(hMenu, id, FALSE, &mii))
        return nullptr;
    return reinterpret_cast<PictureMenuItem*>(mii.dwItemData);
}

UINT TypeAt(HMENU hMenu, UINT position)
{
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoA(hMenu, position, TRUE, &mii);
    return mii.fType;
}

DRAWITEMSTRUCT DrawStruct(const CPictureMenu& menu, HDC hdc, UINT id, UINT action, UINT state, RECT rc)
{
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_MENU;
    dis.itemID = id;
    dis.itemAction = action;
    dis.itemState = state;
    dis.hwndItem = reinterpret_cast<HWND>(menu.m_hMenu);
    dis.hDC = hdc;
    dis.rcItem = rc;
    dis.itemData = reinterpret_cast<ULONG_PTR>(RecordOf(menu.m_hMenu, id));
    return dis;
}

void DrawInto(CPictureMenu& menu, HDC hdc, UINT id, UINT action, UINT state, RECT rc)
{
    DRAWITEMSTRUCT dis = DrawStruct(menu, hdc, id, action, state, rc);
    menu.DrawItem(&dis);
}

SIZE Measure(CPictureMenu& menu, UINT id, ULONG_PTR data)
{
    MEASUREITEMSTRUCT mis = {};
    mis.CtlType = ODT_MENU;
    mis.itemID = id;
    mis.itemData = data;
    menu.MeasureItem(&mis);
    return {static_cast<LONG>(mis.itemWidth), static_cast<LONG>(mis.itemHeight)};
}

// A small font without smoothing: text pixels are exactly the text colour.
HFONT CreateCrispFont()
{
    return ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
}

constexpr UINT kEntire = ODA_DRAWENTIRE;
constexpr UINT kSelect = ODA_SELECT;

// The text look as the main window builds it: 150 by 20, items with a picture each, plus the
// states the main window does not use yet.
class TextLook : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(font);
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.SetItemWidth(150);
        menu.SetItemHeight(20);
        menu.SetStyle(PICTUREMENU_STYLE_TEXT);
        ASSERT_TRUE(menu.AppendItem(0, kAdd, "Add files\tCtrl+A", IDB_MENU_ADD_FILES, 0));
        ASSERT_TRUE(menu.AppendItem(MF_SEPARATOR, kSeparator, "", 0, 0));
        ASSERT_TRUE(menu.AppendItem(0, kExit, "Exit", IDB_MENU_EXIT, 0));
        ASSERT_TRUE(menu.AppendItem(MF_CHECKED, kTicked, "Keep originals", 0, 0));
        ASSERT_TRUE(menu.AppendItem(MF_CHECKED, kTickedPicture, "Repair", IDB_MENU_REPAIR, 0));
        ASSERT_TRUE(menu.AppendItem(MF_GRAYED, kGrayed, "Remove all\tDel", IDB_MENU_REMOVE_ALL, 0));
        ASSERT_TRUE(menu.AppendItem(MF_DISABLED, kDisabled, "Remove\tShift+Del", IDB_MENU_REMOVE_SELECTED, 0));
        ASSERT_TRUE(menu.AppendItem(0, kPlain, "Plain", 0, 0));
        Reset();
    }
    void Reset()
    {
        dib.Fill(kBackground);
        ::SetTextColor(dib.dc(), kCallerText);
    }
    void Draw(UINT id, UINT action, UINT state, RECT rc = kItem) { DrawInto(menu, dib.dc(), id, action, state, rc); }

    Dib dib{180, 45};
    gdi::Font font{CreateCrispFont()};
    gdi::SelectGuard selectFont{dib.dc(), font.get()};
    CPictureMenu menu;
};

// The text box and the places inside it.
constexpr RECT kTextBox = {kL + 20, kT, kR, kB};
constexpr int kTextLeft = kL + 28;
constexpr int kTextTop = kT + 4;
constexpr int kAccelLeft = kR + 4 - 60;
constexpr RECT kPictureBox = {kL, kT, kL + 20, kT + 20};
constexpr RECT kHighlight = {kL + 22, kT, kR, kB};

// The tick: seven one-pixel columns of three pixels, from (x, y) down.
std::set<std::pair<int, int>> TickPixels(int x, int y)
{
    const int rows[7] = {2, 3, 4, 3, 2, 1, 0};
    std::set<std::pair<int, int>> pixels;
    for (int i = 0; i < 7; i++)
        for (int j = 0; j < 3; j++)
            pixels.insert({x + i, y + rows[i] + j});
    return pixels;
}

} // namespace

static_assert(offsetof(PictureMenuItem, szText) == 0, "the record's address must also be its text");

// ---- Records ----

TEST(PictureMenuRecords, AppendingSplitsTextLoadsPictureAndKeepsSizeAndValue)
{
    CPictureMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.AppendItem(0, 1, "Add files\tCtrl+A", IDB_MENU_ADD_FILES, 0));
    menu.SetItemWidth(150);
    menu.SetItemHeight(20);
    const LONG_PTR wide = static_cast<LONG_PTR>(0x123456789ABCLL);
    ASSERT_TRUE(menu.AppendItem(0, 2, "Exit", 0, wide));
    ASSERT_TRUE(menu.AppendItem(0, 3, "a\tb\tc", 9999, 7));
    ASSERT_TRUE(menu.AppendItem(0, 4, nullptr, 0, 0));

    PictureMenuItem* add = RecordOf(menu.m_hMenu, 1);
    PictureMenuItem* exitItem = RecordOf(menu.m_hMenu, 2);
    PictureMenuItem* tabs = RecordOf(menu.m_hMenu, 3);
    PictureMenuItem* none = RecordOf(menu.m_hMenu, 4);
    ASSERT_TRUE(add && exitItem && tabs && none) << "every item carries its record as item data";

    EXPECT_STREQ(add->szText, "Add files");
    ASSERT_NE(add->pszAccel, nullptr);
    EXPECT_STREQ(add->pszAccel.get(), "Ctrl+A");
    EXPECT_STREQ(exitItem->szText, "Exit");
    EXPECT_EQ(exitItem->pszAccel, nullptr) << "no tab, no accelerator";
    EXPECT_STREQ(tabs->szText, "a");
    ASSERT_NE(tabs->pszAccel, nullptr);
    EXPECT_STREQ(tabs->pszAccel.get(), "b\tc") << "only the first tab splits";
    EXPECT_STREQ(none->szText, "");

    // The picture: loaded when there is one, none when the id is 0 or names no bitmap.
    ASSERT_TRUE(add->pBitmap);
    BITMAP bm = {};
    ASSERT_TRUE(::GetObjectA(add->pBitmap.get(), sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 16);
    EXPECT_EQ(bm.bmHeight, 16);
    EXPECT_FALSE(exitItem->pBitmap);
    EXPECT_FALSE(tabs->pBitmap);

    // Sizes are copied when the item is appended; the value is kept whole.
    EXPECT_EQ(add->nWidth, 25);
    EXPECT_EQ(add->nHeight, 32);
    EXPECT_EQ(exitItem->nWidth, 150);
    EXPECT_EQ(exitItem->nHeight, 20);
    EXPECT_EQ(exitItem->nValue, wide);
    EXPECT_EQ(tabs->nValue, 7);
}

TEST(PictureMenuRecords, LongTextsAreCutTo127CharactersWithoutTouchingTheRest)
{
    CPictureMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    const std::string long127(127, 'a');
    const std::string long128(128, 'b');
    const std::string long300(300, 'c');
    const std::string longWithTab = std::string(200, 'd') + "\tCtrl+D";
    ASSERT_TRUE(menu.AppendItem(0, 1, long127.c_str(), 0, 11));
    ASSERT_TRUE(menu.AppendItem(0, 2, long128.c_str(), IDB_MENU_EXIT, 12));
    ASSERT_TRUE(menu.AppendItem(0, 3, long300.c_str(), 0, 13));
    ASSERT_TRUE(menu.AppendItem(0, 4, longWithTab.c_str(), 0, 14));

    struct Case {
        UINT id;
        std::string text;
        const char* accel;
        LONG_PTR value;
    };
    for (const Case& c : {Case{1, long127, nullptr, 11}, Case{2, std::string(127, 'b'), nullptr, 12},
                          Case{3, std::string(127, 'c'), nullptr, 13}, Case{4, std::string(127, 'd'), "Ctrl+D", 14}}) {
        SCOPED_TRACE(c.id);
        PictureMenuItem* item = RecordOf(menu.m_hMenu, c.id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->szText[127], '\0');
        EXPECT_EQ(std::string(item->szText), c.text);
        // What follows the text in the record is intact.
        if (c.accel) {
            ASSERT_NE(item->pszAccel, nullptr);
            EXPECT_STREQ(item->pszAccel.get(), c.accel);
        } else {
            EXPECT_EQ(item->pszAccel, nullptr);
        }
        EXPECT_EQ(item->nValue, c.value);
        EXPECT_EQ(item->nWidth, 25);
        EXPECT_EQ(item->nHeight, 32);
    }
    EXPECT_TRUE(RecordOf(menu.m_hMenu, 2)->pBitmap);
}

TEST(PictureMenuRecords, PopupEntryIsLeftToTheSystemAndShowsTheRecordText)
{
    CPictureMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    HMENU sub = ::CreatePopupMenu(); // destroyed with its parent
    ASSERT_TRUE(menu.AppendItem(0, 1, "Add files", 0, 0));
    ASSERT_TRUE(menu.AppendItem(MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Recent\tCtrl+R", 0, 0));
    ASSERT_TRUE(menu.AppendItem(MF_SEPARATOR, 3, "", 0, 0));

    EXPECT_TRUE(TypeAt(menu.m_hMenu, 0) & MFT_OWNERDRAW);
    EXPECT_FALSE(TypeAt(menu.m_hMenu, 1) & MFT_OWNERDRAW);
    EXPECT_TRUE(TypeAt(menu.m_hMenu, 2) & MFT_OWNERDRAW);
    EXPECT_TRUE(TypeAt(menu.m_hMenu, 2) & MFT_SEPARATOR);
    EXPECT_EQ(::GetSubMenu(menu.m_hMenu, 1), sub);
    char text[64] = {};
    ::GetMenuStringA(menu.m_hMenu, 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "Recent") << "the system reads the text at the record's address";
}

TEST(PictureMenuRecords, DestroyingTheMenuFreesPicturesAndTheMenu)
{
    const int before = gdi::LiveObjects();
    HMENU hMenu = nullptr;
    {
        CPictureMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        hMenu = menu.m_hMenu;
        ASSERT_TRUE(menu.AppendItem(0, 1, "Add files\tCtrl+A", IDB_MENU_ADD_FILES, 0));
        ASSERT_TRUE(menu.AppendItem(0, 2, "Exit", IDB_MENU_EXIT, 0));
        ASSERT_TRUE(menu.AppendItem(0, 3, "No picture\tF1", 0, 0));
        EXPECT_EQ(gdi::LiveObjects(), before + 2);
        EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), &menu);
    }
    EXPECT_EQ(gdi::LiveObjects(), before);
    EXPECT_FALSE(::IsMenu(hMenu));
    EXPECT_EQ(CMenu::FromHandlePermanent(hMenu), nullptr);
}

// ---- Measuring ----

TEST(PictureMenuMeasure, ItemsTakeTheirSizeSeparatorsAreSixHigh)
{
    CPictureMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.AppendItem(0, 1, "Before", 0, 0));
    menu.SetItemWidth(150);
    menu.SetItemHeight(20);
    ASSERT_TRUE(menu.AppendItem(0, 2, "Add files", IDB_MENU_ADD_FILES, 0));
    ASSERT_TRUE(menu.AppendItem(MF_SEPARATOR, 3, "", 0, 0));
    menu.SetItemWidth(40);
    menu.SetItemHeight(10);

    auto size = [&](UINT id) { return Measure(menu, id, reinterpret_cast<ULONG_PTR>(RecordOf(menu.m_hMenu, id))); };
    EXPECT_EQ(size(1).cx, 25) << "the size at append time";
    EXPECT_EQ(size(1).cy, 32);
    EXPECT_EQ(size(2).cx, 150);
    EXPECT_EQ(size(2).cy, 20);
    EXPECT_EQ(size(3).cx, 150);
    EXPECT_EQ(size(3).cy, 6);
    // A command the menu does not hold is no separator (GetMenuState answers -1, all bits set).
    const SIZE stranger = Measure(menu, 4242, reinterpret_cast<ULONG_PTR>(RecordOf(menu.m_hMenu, 2)));
    EXPECT_EQ(stranger.cx, 150);
    EXPECT_EQ(stranger.cy, 20);
}

// ---- The text look ----

TEST_F(TextLook, FullDrawShowsGroundPictureColumnBitmapAndTexts)
{
    Draw(kAdd, kEntire, 0);
    ExpectNothingOutside(dib, kItem);
    // The picture column around the bitmap, and the bitmap from its file.
    EXPECT_EQ(RingStray(dib, kPictureBox, Face()), "");
    EXPECT_EQ(RingStray(dib, {kL + 1, kT + 1, kL + 19, kT + 19}, Face()), "");
    const Picture add = ReadPicture("menu_add_165.bmp");
    EXPECT_EQ(add.At(0, 0), RGB(240, 240, 240));
    EXPECT_EQ(PictureStray(dib, add, kL + 2, kT + 2), "");
    // Ivory ground with the text in the menu's text colour, not the DC's.
    EXPECT_EQ(Stray(dib, kTextBox, {kIvory, MenuText()}), "");
    EXPECT_EQ(Count(dib, kTextBox, kCallerText), 0);
    // Where the text ends, measured with the same font (and two pixels for a glyph's overhang).
    SIZE extent = {};
    ASSERT_TRUE(::GetTextExtentPoint32A(dib.dc(), "Add files", 9, &extent));
    const int textEnd = kTextLeft + extent.cx + 2;
    ASSERT_LT(textEnd, kAccelLeft);
    const RECT text = Bounds(dib, {kTextBox.left, kT, textEnd, kB}, MenuText());
    EXPECT_GE(text.left, kTextLeft);
    EXPECT_LE(text.left, kTextLeft + 2) << "text starts at the text rectangle's left";
    EXPECT_GE(text.top, kTextTop);
    EXPECT_LE(text.bottom, kB);
    // The accelerator, left-aligned in its 60-pixel box at the text rectangle's right, and nothing
    // between the two.
    const RECT accel = Bounds(dib, {textEnd, kT, kR, kB}, MenuText());
    EXPECT_GE(accel.left, kAccelLeft);
    EXPECT_LE(accel.left, kAccelLeft + 2);
    EXPECT_GE(accel.top, kTextTop);
    EXPECT_EQ(accel.top, text.top) << "on the text's line";
    EXPECT_EQ(Stray(dib, {text.right, kT, kAccelLeft, kB}, {kIvory}), "");
}

TEST_F(TextLook, AcceleratorIsDrawnOnlyForATabText)
{
    for (UINT id : {kAdd, kExit, kPlain}) {
        SCOPED_TRACE(id);
        Reset();
        Draw(id, kEntire, 0);
        EXPECT_GT(Count(dib, {kTextLeft, kT, kAccelLeft, kB}, MenuText()), 0);
        const int accelInk = Count(dib, {kAccelLeft, kT, kR, kB}, MenuText());
        if (id == kAdd)
            EXPECT_GT(accelInk, 0);
        else
            EXPECT_EQ(accelInk, 0);
    }
    // The same when highlighted.
    Reset();
    Draw(kExit, kEntire | kSelect, ODS_SELECTED);
    EXPECT_EQ(Count(dib, {kAccelLeft, kT + 1, kR - 1, kB - 1}, MenuText()), 0);
    Reset();
    Draw(kAdd, kEntire | kSelect, ODS_SELECTED);
    EXPECT_GT(Count(dib, {kAccelLeft, kT + 1, kR - 1, kB - 1}, MenuText()), 0);
}

TEST_F(TextLook, HighlightFramesTheTextAndRaisesThePicture)
{
    struct Way {
        const char* name;
        bool fullFirst;
        UINT action;
    };
    for (const Way& way : {Way{"full draw while selected", false, kEntire | kSelect},
                           Way{"full draw then selection", true, kSelect}}) {
        SCOPED_TRACE(way.name);
        Reset();
        if (way.fullFirst)
            Draw(kAdd, kEntire, 0);
        Draw(kAdd, way.action, ODS_SELECTED);
        EXPECT_EQ(RaisedEdgeStray(dib, kPictureBox), "");
        EXPECT_EQ(PictureStray(dib, ReadPicture("menu_add_165.bmp"), kL + 2, kT + 2), "");
        EXPECT_EQ(RingStray(dib, kHighlight, kBlueGrey), "");
        EXPECT_EQ(dib.Pixel(kL + 22, kT), kBlueGrey);
        EXPECT_EQ(dib.Pixel(kR - 1, kB - 1), kBlueGrey);
        const RECT inside = {kL + 23, kT + 1, kR - 1, kB - 1};
        EXPECT_EQ(Stray(dib, inside, {kLavender, MenuText()}), "");
        EXPECT_EQ(dib.Pixel(kL + 23, kT + 1), kLavender);
        EXPECT_EQ(dib.Pixel(kR - 2, kB - 2), kLavender);
        EXPECT_GT(Count(dib, {kTextLeft, kT, kAccelLeft, kB}, MenuText()), 0);
        EXPECT_GT(Count(dib, {kAccelLeft, kT, kR, kB}, MenuText()), 0);
        EXPECT_EQ(Stray(dib, {kL + 20, kT, kL + 22, kB}, {kIvory}), "") << "the gap before the frame";
        ExpectNothingOutside(dib, kItem);
        EXPECT_EQ(menu.GetLastSelectedId(), kAdd);
    }
    // An item without a picture gets no raised edge.
    Reset();
    Draw(kPlain, kEntire | kSelect, ODS_SELECTED);
    EXPECT_EQ(Stray(dib, kPictureBox, {Face()}), "");
    EXPECT_EQ(RingStray(dib, kHighlight, kBlueGrey), "");
    EXPECT_EQ(menu.GetLastSelectedId(), kPlain);
}

TEST_F(TextLook, LosingTheHighlightRestoresWhatAFullDrawShows)
{
    for (UINT id : {kAdd, kExit, kTicked, kTickedPicture, kGrayed, kDisabled, kPlain}) {
        SCOPED_TRACE(id);
        Reset();
        Draw(id, kEntire, 0);
        const std::vector<COLORREF> plain = Snapshot(dib);
        Draw(id, kSelect, ODS_SELECTED);
        Draw(id, kSelect, 0);
        EXPECT_EQ(Changed(dib, plain), "");
    }
    // Focus changes alone draw nothing.
    Reset();
    Draw(kAdd, kEntire, 0);
    const std::vector<COLORREF> plain = Snapshot(dib);
    Draw(kAdd, ODA_FOCUS, 0);
    Draw(kAdd, ODA_FOCUS, ODS_FOCUS);
    EXPECT_EQ(Changed(dib, plain), "");
}

TEST_F(TextLook, CheckedItemShowsTheTickPixelByPixel)
{
    // Checked without a picture: frame, lavender, the tick; highlighted the box stays as it is.
    Draw(kTicked, kEntire, 0);
    const auto tick = TickPixels(kL + 2 + 5, kT + 2 + 5);
    auto expectTickBox = [&]() {
        EXPECT_EQ(RingStray(dib, kPictureBox, Face()), "");
        EXPECT_EQ(RingStray(dib, {kL + 1, kT + 1, kL + 19, kT + 19}, kBlueGrey), "");
        for (int y = kT + 2; y < kT + 18; y++)
            for (int x = kL + 2; x < kL + 18; x++) {
                const COLORREF expected = tick.count({x, y}) ? kBlueGrey : kLavender;
                ASSERT_EQ(dib.Pixel(x, y), expected) << "(" << x << "," << y << ")";
            }
    };
    expectTickBox();
    EXPECT_EQ(tick.size(), 21u);
    EXPECT_EQ(dib.Pixel(kL + 7, kT + 9), kBlueGrey);
    EXPECT_EQ(dib.Pixel(kL + 7, kT + 12), kLavender) << "a stroke's end point is not drawn";
    EXPECT_EQ(dib.Pixel(kL + 13, kT + 7), kBlueGrey);

    Draw(kTicked, kSelect, ODS_SELECTED);
    expectTickBox();
    EXPECT_EQ(RingStray(dib, kHighlight, kBlueGrey), "");
    EXPECT_EQ(menu.GetLastSelectedId(), kTicked);

    // Checked with a picture: the frame shows around it and the picture covers the tick; the
    // highlight raises nothing.
    const Picture repair = ReadPicture("menu_repair_175.bmp");
    for (UINT action : {kEntire, kEntire | kSelect}) {
        SCOPED_TRACE(action);
        Reset();
        Draw(kTickedPicture, action, action == kEntire ? 0 : ODS_SELECTED);
        EXPECT_EQ(RingStray(dib, kPictureBox, Face()), "");
        EXPECT_EQ(RingStray(dib, {kL + 1, kT + 1, kL + 19, kT + 19}, kBlueGrey), "");
        EXPECT_EQ(PictureStray(dib, repair, kL + 2, kT + 2), "");
    }
    EXPECT_EQ(RingStray(dib, kHighlight, kBlueGrey), "");
    EXPECT_EQ(menu.GetLastSelectedId(), kTickedPicture);
}

TEST_F(TextLook, DisabledItemIsWrittenInButtonFaceAndNeverHighlighted)
{
    for (UINT id : {kGrayed, kDisabled}) {
        SCOPED_TRACE(id);
        Reset();
        Draw(id, kEntire, 0);
        EXPECT_EQ(Stray(dib, kTextBox, {kIvory, Face()}), "");
        EXPECT_GT(Count(dib, {kTextLeft, kT, kAccelLeft, kB}, Face()), 0);
        EXPECT_GT(Count(dib, {kAccelLeft, kT, kR, kB}, Face()), 0);
        const std::vector<COLORREF> plain = Snapshot(dib);

        const UINT lastId = menu.GetLastSelectedId();
        Draw(id, kSelect, ODS_SELECTED);
        EXPECT_EQ(Changed(dib, plain), "") << "no highlight on selection";
        Reset();
        Draw(id, kEntire | kSelect, ODS_SELECTED);
        EXPECT_EQ(Changed(dib, plain), "") << "no highlight and no raised picture on a full draw";
        EXPECT_EQ(menu.GetLastSelectedId(), lastId);
    }
}

TEST_F(TextLook, SeparatorIsAnEtchedLineInsideItsSixPixels)
{
    const RECT rc = {kL, kT, kR, kT + 6};
    Draw(kSeparator, kEntire, 0, rc);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW), hilite = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    // DrawEdge(EDGE_ETCHED, BF_TOP): a shadow line over a highlight line.
    EXPECT_EQ(Stray(dib, {kL + 25, kT + 3, kR, kT + 4}, {shadow}), "");
    EXPECT_EQ(Stray(dib, {kL + 25, kT + 4, kR, kT + 5}, {hilite}), "");
    EXPECT_EQ(Stray(dib, {kL + 20, kT, kL + 25, kT + 6}, {kIvory}), "");
    EXPECT_EQ(Stray(dib, {kL + 20, kT, kR, kT + 3}, {kIvory}), "");
    EXPECT_EQ(Stray(dib, {kL + 20, kT + 5, kR, kT + 6}, {kIvory}), "");
    EXPECT_EQ(Stray(dib, {kL, kT, kL + 20, kT + 6}, {Face()}), "");
    // Nothing past the item: not the line's overhang on the right, not the 20-pixel picture box below.
    ExpectNothingOutside(dib, rc);
    EXPECT_EQ(Measure(menu, kSeparator, reinterpret_cast<ULONG_PTR>(RecordOf(menu.m_hMenu, kSeparator))).cy, 6);
}

// ---- The colour grid ----

namespace {

constexpr COLORREF kGreen = RGB(12, 200, 99);
constexpr COLORREF kRed = RGB(250, 10, 40);
constexpr RECT kCell = {10, 5, 35, 37}; // 25 by 32

RECT Inset(RECT rc, int by)
{
    return {rc.left + by, rc.top + by, rc.right - by, rc.bottom - by};
}

class ColourLook : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.SetStyle(PICTUREMENU_STYLE_COLOURS);
        ASSERT_TRUE(menu.AppendItem(0, 201, std::to_string(kGreen).c_str(), 0, 0));
        ASSERT_TRUE(menu.AppendItem(MF_MENUBARBREAK, 202, std::to_string(kRed).c_str(), 0, 0));
        dib.Fill(kBackground);
    }
    void Draw(UINT id, UINT action, UINT state) { DrawInto(menu, dib.dc(), id, action, state, kCell); }
    // Rings 2 and 3 of the swatch and its fill, which highlighting never touches.
    void ExpectSwatch(COLORREF colour)
    {
        EXPECT_EQ(RingStray(dib, Inset(kCell, 2), kBackground), "");
        EXPECT_EQ(RingStray(dib, Inset(kCell, 3), kGrey), "");
        EXPECT_EQ(Stray(dib, Inset(kCell, 4), {colour}), "");
        ExpectNothingOutside(dib, kCell);
    }

    Dib dib{60, 45};
    CPictureMenu menu;
};

} // namespace

TEST_F(ColourLook, FullDrawFramesAndFillsTheSwatch)
{
    Draw(201, kEntire, 0);
    EXPECT_EQ(RingStray(dib, kCell, Face()), "");
    EXPECT_EQ(RingStray(dib, Inset(kCell, 1), kBackground), "");
    ExpectSwatch(kGreen);
    EXPECT_EQ(menu.GetLastSelectedId(), 0u);
}

TEST_F(ColourLook, HighlightRaisesTheCellAndRemembersTheColour)
{
    for (bool fullFirst : {false, true}) {
        SCOPED_TRACE(fullFirst);
        dib.Fill(kBackground);
        if (fullFirst) {
            Draw(201, kEntire, 0);
            Draw(201, kSelect, ODS_SELECTED);
        } else {
            Draw(201, kEntire | kSelect, ODS_SELECTED);
        }
        EXPECT_EQ(RaisedEdgeStray(dib, kCell), "");
        ExpectSwatch(kGreen);
        EXPECT_EQ(menu.GetLastColour(), kGreen);
        EXPECT_EQ(menu.GetLastSelectedId(), 201u);

        // Losing the highlight puts button-face frames where the edge was, whichever way it came.
        Draw(201, kSelect, 0);
        EXPECT_EQ(RingStray(dib, kCell, Face()), "");
        EXPECT_EQ(RingStray(dib, Inset(kCell, 1), Face()), "");
        ExpectSwatch(kGreen);
    }
    dib.Fill(kBackground);
    Draw(202, kEntire | kSelect, ODS_SELECTED);
    ExpectSwatch(kRed);
    EXPECT_EQ(menu.GetLastColour(), kRed);
    EXPECT_EQ(menu.GetLastSelectedId(), 202u);
}

// ---- The icon grid ----

namespace {

constexpr COLORREF kIconLeft = RGB(200, 40, 40);
constexpr COLORREF kIconRight = RGB(40, 40, 200);
constexpr RECT kIconCell = {10, 5, 50, 37}; // 40 by 32: a 32-pixel icon fits at left + 2

// An opaque 32x32 icon, its left half one colour and its right half another.
HICON CreateTwoColourIcon()
{
    std::vector<uint32_t> colour(32 * 32);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            const COLORREF c = x < 16 ? kIconLeft : kIconRight;
            colour[static_cast<size_t>(y * 32 + x)] = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
        }
    std::vector<uint8_t> mask(32 * 32 / 8, 0); // all opaque
    gdi::Bitmap hColour(::CreateBitmap(32, 32, 1, 32, colour.data()));
    gdi::Bitmap hMask(::CreateBitmap(32, 32, 1, 1, mask.data()));
    ICONINFO info = {};
    info.fIcon = TRUE;
    info.hbmColor = hColour.get();
    info.hbmMask = hMask.get();
    return ::CreateIconIndirect(&info);
}

class IconLook : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(icon);
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.SetItemWidth(40);
        ASSERT_TRUE(menu.AppendItem(0, 301, "", 0, reinterpret_cast<LONG_PTR>(icon.get())));
        ASSERT_TRUE(menu.AppendItem(MF_SEPARATOR, 302, "", 0, 0));
        dib.Fill(kBackground);
    }
    void Draw(UINT id, UINT action, UINT state, RECT rc = kIconCell)
    {
        DrawInto(menu, dib.dc(), id, action, state, rc);
    }
    // The icon at (left + 2, top), less what the frames cover, and nothing beside it.
    void ExpectIcon(int framed)
    {
        const LONG l = kIconCell.left, top = kIconCell.top + framed, bottom = kIconCell.bottom - framed;
        EXPECT_EQ(Stray(dib, {l + 2, top, l + 18, bottom}, {kIconLeft}), "");
        EXPECT_EQ(Stray(dib, {l + 18, top, l + 34, bottom}, {kIconRight}), "");
        EXPECT_EQ(Stray(dib, {l + framed, top, l + 2, bottom}, {kBackground}), "");
        EXPECT_EQ(Stray(dib, {l + 34, top, kIconCell.right - framed, bottom}, {kBackground}), "");
        ExpectNothingOutside(dib, kIconCell);
    }

    gdi::Icon icon{CreateTwoColourIcon()};
    Dib dib{70, 45};
    CPictureMenu menu;
};

} // namespace

TEST_F(IconLook, IconIsDrawnAndHighlightIsTwoFrames)
{
    ASSERT_EQ(::GetSystemMetrics(SM_CXICON), 32);
    Draw(301, kEntire, 0);
    ExpectIcon(0);

    for (bool fullFirst : {false, true}) {
        SCOPED_TRACE(fullFirst);
        dib.Fill(kBackground);
        if (fullFirst) {
            Draw(301, kEntire, 0);
            Draw(301, kSelect, ODS_SELECTED);
        } else {
            Draw(301, kEntire | kSelect, ODS_SELECTED);
        }
        EXPECT_EQ(RingStray(dib, kIconCell, kBlueGrey), "");
        EXPECT_EQ(RingStray(dib, Inset(kIconCell, 1), kBlueGrey), "");
        ExpectIcon(2);
        EXPECT_EQ(menu.GetLastSelectedId(), 301u);

        Draw(301, kSelect, 0);
        EXPECT_EQ(RingStray(dib, kIconCell, Face()), "");
        EXPECT_EQ(RingStray(dib, Inset(kIconCell, 1), Face()), "");
        ExpectIcon(2);
    }
}

TEST_F(IconLook, SeparatorIsAGreyLineAcrossTheMiddle)
{
    const RECT rc = {10, 5, 50, 11};
    Draw(302, kEntire | kSelect, ODS_SELECTED, rc);
    EXPECT_EQ(Stray(dib, {10, 8, 50, 9}, {kGrey}), "");
    EXPECT_EQ(Count(dib, {0, 0, 70, 45}, kGrey), 40) << "nothing else: no frames on a separator";
    EXPECT_EQ(menu.GetLastSelectedId(), 0u);
}

// ---- Every look ----

TEST(PictureMenuLooks, UnknownStyleDrawsNothing)
{
    for (int style : {0, 4, -1, 99}) {
        SCOPED_TRACE(style);
        CPictureMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        menu.SetStyle(style);
        ASSERT_TRUE(menu.AppendItem(0, 1, "Add files\tCtrl+A", IDB_MENU_ADD_FILES, 0));
        ASSERT_TRUE(menu.AppendItem(MF_CHECKED, 2, "255", 0, 0));
        ASSERT_TRUE(menu.AppendItem(MF_SEPARATOR, 3, "", 0, 0));
        Dib dib(180, 45);
        dib.Fill(kBackground);
        for (UINT id : {1u, 2u, 3u})
            for (UINT action : {kEntire, kSelect, kEntire | kSelect})
                for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)})
                    DrawInto(menu, dib.dc(), id, action, state, kItem);
        EXPECT_EQ(Stray(dib, {0, 0, 180, 45}, {kBackground}), "");
        EXPECT_EQ(menu.GetLastSelectedId(), 0u);
        EXPECT_EQ(menu.GetLastColour(), 0u);
    }
}

namespace {

// One menu of each look, with every kind of item, drawn every way.
struct EveryLook {
    EveryLook()
    {
        const LONG_PTR value = reinterpret_cast<LONG_PTR>(icon.get());
        for (int style = 1; style <= 3; style++) {
            CPictureMenu& menu = menus[style - 1];
            menu.CreatePopupMenu();
            menu.SetStyle(style);
            menu.SetItemWidth(150);
            menu.SetItemHeight(20);
            menu.AppendItem(0, 1, "Add files\tCtrl+A", IDB_MENU_ADD_FILES, value);
            menu.AppendItem(MF_CHECKED, 2, "255", IDB_MENU_REPAIR, value);
            menu.AppendItem(MF_CHECKED, 3, "Keep originals", 0, value);
            menu.AppendItem(MF_GRAYED, 4, "Remove all\tDel", IDB_MENU_REMOVE_ALL, value);
            menu.AppendItem(MF_SEPARATOR, 5, "", 0, 0);
        }
    }
    void DrawAll(HDC hdc)
    {
        for (CPictureMenu& menu : menus)
            for (UINT id = 1; id <= 5; id++)
                for (UINT action : {kEntire, kSelect, kEntire | kSelect, static_cast<UINT>(ODA_FOCUS)})
                    for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)})
                        DrawInto(menu, hdc, id, action, state, kItem);
    }
    gdi::Icon icon{CreateTwoColourIcon()};
    CPictureMenu menus[3];
};

} // namespace

TEST(PictureMenuLooks, DrawingLeavesTheDCAsFound)
{
    EveryLook looks;
    Dib dib(180, 45);
    dib.Fill(kBackground);
    gdi::Pen pen(::CreatePen(PS_DOT, 1, RGB(1, 1, 1)));
    gdi::Brush brush(::CreateSolidBrush(RGB(2, 2, 2)));
    gdi::Font font(CreateCrispFont());
    gdi::SelectGuard selectPen(dib.dc(), pen.get());
    gdi::SelectGuard selectBrush(dib.dc(), brush.get());
    gdi::SelectGuard selectFont(dib.dc(), font.get());
    ::SetBkMode(dib.dc(), OPAQUE);
    ::SetTextColor(dib.dc(), kCallerText);
    ::SetBkColor(dib.dc(), RGB(7, 8, 9));
    ::MoveToEx(dib.dc(), 3, 4, nullptr);

    looks.DrawAll(dib.dc());

    EXPECT_EQ(::GetCurrentObject(dib.dc(), OBJ_PEN), pen.get());
    EXPECT_EQ(::GetCurrentObject(dib.dc(), OBJ_BRUSH), brush.get());
    EXPECT_EQ(::GetCurrentObject(dib.dc(), OBJ_FONT), font.get());
    EXPECT_EQ(::GetBkMode(dib.dc()), OPAQUE);
    EXPECT_EQ(::GetTextColor(dib.dc()), kCallerText);
    EXPECT_EQ(::GetBkColor(dib.dc()), RGB(7, 8, 9));
    POINT at = {};
    ::GetCurrentPositionEx(dib.dc(), &at);
    EXPECT_EQ(at.x, 3);
    EXPECT_EQ(at.y, 4);
    gdi::Region clip(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::GetClipRgn(dib.dc(), clip.get()), 0) << "no clipping left behind";
}

TEST(PictureMenuLooks, ManyDrawsLeakNoGdiObjects)
{
    EveryLook looks;
    Dib dib(180, 45);
    looks.DrawAll(dib.dc()); // anything made once on first use is there from now on
    const int live = gdi::LiveObjects();
    for (int i = 0; i < 50; i++)
        looks.DrawAll(dib.dc());
    EXPECT_EQ(gdi::LiveObjects(), live);
}

// ---- Routing through the owner window ----

TEST(PictureMenuRouting, OwnerWindowHandsMeasureAndDrawToTheMenu)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr));
    CPictureMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.SetItemWidth(150);
    popup.SetItemHeight(20);
    popup.SetStyle(PICTUREMENU_STYLE_TEXT);
    ASSERT_TRUE(popup.AppendItem(0, kAdd, "Add files\tCtrl+A", IDB_MENU_ADD_FILES, 0));
    ASSERT_TRUE(popup.AppendItem(MF_SEPARATOR, kSeparator, "", 0, 0));
    HMENU bar = ::CreateMenu();
    ASSERT_TRUE(::AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup.m_hMenu), "File"));
    ASSERT_TRUE(::SetMenu(owner.m_hWnd, bar));

    for (auto [id, height] : {std::pair<UINT, UINT>{kAdd, 20}, {kSeparator, 6}}) {
        SCOPED_TRACE(id);
        MEASUREITEMSTRUCT mis = {};
        mis.CtlType = ODT_MENU;
        mis.itemID = id;
        mis.itemData = reinterpret_cast<ULONG_PTR>(RecordOf(popup.m_hMenu, id));
        EXPECT_EQ(::SendMessageA(owner.m_hWnd, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)), TRUE);
        EXPECT_EQ(mis.itemWidth, 150u);
        EXPECT_EQ(mis.itemHeight, height);
    }

    Dib dib(180, 45);
    dib.Fill(kBackground);
    DRAWITEMSTRUCT dis = DrawStruct(popup, dib.dc(), kAdd, kEntire | kSelect, ODS_SELECTED, kItem);
    EXPECT_EQ(::SendMessageA(owner.m_hWnd, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(dib.Pixel(kL + 22, kT), kBlueGrey);
    EXPECT_EQ(dib.Pixel(kL + 21, kT), kIvory);
    EXPECT_EQ(dib.Pixel(kL + 19, kT + 19), ::GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(popup.GetLastSelectedId(), kAdd);

    ::SetMenu(owner.m_hWnd, nullptr);
    ::RemoveMenu(bar, 0, MF_BYPOSITION); // the pop-up stays ours to destroy
    ::DestroyMenu(bar);
    EXPECT_TRUE(::IsMenu(popup.m_hMenu));
}
