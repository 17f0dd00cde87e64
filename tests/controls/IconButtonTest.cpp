// The self-drawn icon button: which picture it shows and where, its faces and edges, the
// transparent look over the parent's background, the grey look when disabled, its colour setters,
// the styles it takes over, the double click, hot tracking and its check mode.
#include "Dib.h"
#include "MainWindowFixture.h"
#include "Pump.h"
#include "controls/IconButton.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A spot of the screen that none of our windows covers.
constexpr POINT kAway = {1270, 1010};

POINT ScreenCentre(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// Every pixel of a bitmap, read once (BitmapPixel copies the whole bitmap for each pixel).
std::unique_ptr<Dib> ReadBitmapResource(int id)
{
    gdi::Bitmap bitmap(static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap)
        return nullptr;
    return CopyOfBitmap(bitmap.get());
}

// A picture of cx by cy in crKey with a block of crInk inset by ring pixels.
HBITMAP MakePicture(int cx, int cy, int ring, COLORREF crKey, COLORREF crInk)
{
    gdi::WindowDC screen(nullptr);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(screen, cx, cy);
    gdi::MemoryDC dc(screen);
    gdi::SelectGuard select(dc, hBitmap);
    gdi::Brush key(::CreateSolidBrush(crKey));
    gdi::Brush ink(::CreateSolidBrush(crInk));
    RECT all = {0, 0, cx, cy};
    RECT inner = {ring, ring, cx - ring, cy - ring};
    ::FillRect(dc, &all, key.get());
    ::FillRect(dc, &inner, ink.get());
    return hBitmap;
}

// Compares every pixel of a w by h shot with what it should be; names the first few differences.
::testing::AssertionResult Shows(const Dib& shot, int w, int h, const std::function<COLORREF(int, int)>& expected)
{
    if (shot.width() < w || shot.height() < h)
        return ::testing::AssertionFailure() << "the shot is " << shot.width() << " by " << shot.height();
    int wrong = 0;
    std::string first;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const COLORREF want = expected(x, y);
            const COLORREF got = shot.Pixel(x, y);
            if (want == got)
                continue;
            if (++wrong <= 4)
                first += " (" + std::to_string(x) + "," + std::to_string(y) + ") " + ColourText(got) + " not " + ColourText(want);
        }
    }
    if (wrong == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ:" << first;
}

enum class Edge { None, Raised, Sunken };

// The one-pixel edge of a flat button: raised while hot, sunken while pressed. Returns false
// where (x, y) is not on the edge.
bool EdgeColour(Edge edge, int x, int y, int w, int h, COLORREF& cr)
{
    if (edge == Edge::None)
        return false;
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF dark = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF topLeft = edge == Edge::Raised ? light : dark;
    const COLORREF bottomRight = edge == Edge::Raised ? dark : light;
    if (x == w - 1 || y == h - 1) {
        cr = bottomRight;
        return true;
    }
    if (x == 0 || y == 0) {
        cr = topLeft;
        return true;
    }
    return false;
}

bool Inside(const RECT& rc, int x, int y)
{
    return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
}

// A plain dialog with a pattern for a background, so that a misplaced copy of it shows; it
// counts the clicks its buttons report.
class Backdrop : public CDialog {
public:
    Backdrop() : CDialog(IDD_ABOUTBOX) {}

    static COLORREF PatternAt(int x, int y) { return RGB((x * 7) & 0xFF, (y * 5) & 0xFF, 0x90); }

    std::vector<int> clicks;
    std::vector<int> doubleClicks;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        // The About box's own controls are not wanted here.
        while (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD))
            ::DestroyWindow(hChild);
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        m_pattern = std::make_unique<Dib>(rc.right, rc.bottom);
        for (int y = 0; y < rc.bottom; y++)
            for (int x = 0; x < rc.right; x++)
                ::SetPixelV(m_pattern->dc(), x, y, PatternAt(x, y));
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_ERASEBKGND:
            if (m_pattern) {
                ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, m_pattern->width(), m_pattern->height(),
                         m_pattern->dc(), 0, 0, SRCCOPY);
                return TRUE;
            }
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED)
                clicks.push_back(LOWORD(wParam));
            else if (HIWORD(wParam) == BN_DOUBLECLICKED)
                doubleClicks.push_back(LOWORD(wParam));
            break;
        default:
            break;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }

private:
    std::unique_ptr<Dib> m_pattern;
};

// Our buttons, alone on a backdrop.
class IconButtonAlone : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlaceCursor(kAway.x, kAway.y);
        backdrop = std::make_unique<Backdrop>();
        ASSERT_TRUE(backdrop->Create());
        ::SetWindowPos(backdrop->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetForegroundWindow(backdrop->m_hWnd);
        Pump(50);
    }
    void TearDown() override
    {
        PlaceCursor(kAway.x, kAway.y);
        backdrop.reset();
        PumpFor(20);
    }

    void Pump(int ms) { PumpFor(ms, backdrop.get()); }

    // Creates a standard button and hands it to the object, as a dialog's binding does.
    void Add(CIconButton& button, int id, DWORD style, int x, int y, int w, int h, const char* text = "")
    {
        HWND hWnd = ::CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                      backdrop->m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hWnd, nullptr);
        ::SendMessageA(hWnd, WM_SETFONT, ::SendMessageA(backdrop->m_hWnd, WM_GETFONT, 0, 0), FALSE);
        ASSERT_TRUE(button.SubclassWindow(hWnd));
    }

    // What the button shows now.
    std::unique_ptr<Dib> Shot(HWND hWnd)
    {
        ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        auto dib = std::make_unique<Dib>(rc.right, rc.bottom);
        CaptureClient(hWnd, *dib);
        return dib;
    }

    // Puts the real cursor over the button and tells it that the mouse moved.
    void Hover(HWND hWnd)
    {
        const POINT at = ScreenCentre(hWnd);
        ASSERT_TRUE(PlaceCursor(at.x, at.y));
        POINT now = {};
        ::GetCursorPos(&now);
        ASSERT_EQ(now.x, at.x);
        ASSERT_EQ(now.y, at.y);
        ASSERT_EQ(::WindowFromPoint(at), hWnd);
        POINT client = at;
        ::ScreenToClient(hWnd, &client);
        ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    }

    std::unique_ptr<Backdrop> backdrop;
};

// Faces and pictures of the tests on the backdrop.
constexpr COLORREF kFaceOut = RGB(250, 240, 200);
constexpr COLORREF kFaceIn = RGB(200, 240, 250);
constexpr COLORREF kHotInk = RGB(200, 30, 30);
constexpr COLORREF kHotKey = RGB(0, 255, 0);
constexpr COLORREF kNormalInk = RGB(30, 30, 200);
constexpr COLORREF kNormalKey = RGB(0, 0, 0);
constexpr int kButtonW = 60;
constexpr int kButtonH = 40;
constexpr int kPictureW = 12;
constexpr int kPictureH = 10;
constexpr int kRing = 2;

void PaintFaces(CIconButton& button)
{
    for (BYTE slot : {ICONBUTTON_COLOR_BK_OUT, ICONBUTTON_COLOR_BK_FOCUS})
        ASSERT_EQ(button.SetColor(slot, kFaceOut), ICONBUTTON_OK);
    ASSERT_EQ(button.SetColor(ICONBUTTON_COLOR_BK_IN, kFaceIn), ICONBUTTON_OK);
}

// The ink block of a picture centred in the button, moved by (dx, dy).
RECT InkAt(int dx, int dy)
{
    const int left = (kButtonW - kPictureW) / 2 + kRing + dx;
    const int top = (kButtonH - kPictureH) / 2 + kRing + dy;
    return {left, top, left + kPictureW - 2 * kRing, top + kPictureH - 2 * kRing};
}

std::function<COLORREF(int, int)> Look(COLORREF face, RECT ink, COLORREF crInk, Edge edge)
{
    return [=](int x, int y) {
        COLORREF cr;
        if (EdgeColour(edge, x, y, kButtonW, kButtonH, cr))
            return cr;
        return Inside(ink, x, y) ? crInk : face;
    };
}

class ToolbarTest : public MainWindowTest {
protected:
    void Raise()
    {
        PlaceCursor(kAway.x, kAway.y);
        ::SetWindowPos(dlg->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetForegroundWindow(dlg->m_hWnd);
        ::RedrawWindow(dlg->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(100);
    }
    std::unique_ptr<Dib> Shot()
    {
        RECT client;
        ::GetClientRect(dlg->m_hWnd, &client);
        auto dib = std::make_unique<Dib>(client.right, client.bottom);
        CaptureClient(dlg->m_hWnd, *dib);
        return dib;
    }
    CIconButton* Button(int id) { return dynamic_cast<CIconButton*>(CWnd::FromHandlePermanent(Item(id))); }
};

struct ToolPictures {
    int id;
    int hot;
    int away;
};
constexpr ToolPictures kTools[] = {
    {IDC_ADD_FILES, IDB_ADD_FILES_HOT, IDB_ADD_FILES},
    {IDC_REMOVE_ALL, IDB_REMOVE_ALL_HOT, IDB_REMOVE_ALL},
    {IDC_REMOVE_SELECTED, IDB_REMOVE_SELECTED_HOT, IDB_REMOVE_SELECTED},
    {IDC_SETTINGS, IDB_SETTINGS_HOT, IDB_SETTINGS},
    {IDC_LIVE_UPDATE, IDB_LIVE_UPDATE_HOT, IDB_LIVE_UPDATE},
};
// The toolbar pictures' transparent colours, as the main window keys them.
constexpr COLORREF kToolHotKey = 0x00E7E6BD;
constexpr COLORREF kToolAwayKey = 0x00000000;

} // namespace

// Away from the mouse each toolbar button shows its normal picture, and the main window's
// background picture exactly where that picture has its transparent black; while the mouse is
// over one it shows the hot picture, keyed on its own colour, inside a raised edge.
TEST_F(ToolbarTest, PicturesShowTheBackgroundThroughTheirTransparentColour)
{
    Raise();
    auto background = ReadBitmapResource(IDB_BACKGROUND);
    ASSERT_NE(background, nullptr);

    // What a toolbar button at rc should show with this picture and edge.
    auto expectation = [&](const RECT& rc, const Dib& picture, COLORREF key, Edge edge) {
        const int w = rc.right - rc.left;
        const int h = rc.bottom - rc.top;
        // Centred, halves rounded towards zero.
        const int left = (w - picture.width()) / 2;
        const int top = (h - picture.height()) / 2;
        return [=, &picture, &background](int x, int y) {
            // The picture goes over the edge; its transparent pixels show the edge or the background.
            const int px = x - left;
            const int py = y - top;
            if (px >= 0 && py >= 0 && px < picture.width() && py < picture.height() && picture.Pixel(px, py) != key)
                return picture.Pixel(px, py);
            COLORREF cr;
            if (EdgeColour(edge, x, y, w, h, cr))
                return cr;
            return background->Pixel(rc.left + x, rc.top + y);
        };
    };
    // The part of the dialog's shot that a control covers.
    auto cut = [](const Dib& shot, const RECT& rc) {
        auto part = std::make_unique<Dib>(rc.right - rc.left, rc.bottom - rc.top);
        ::BitBlt(part->dc(), 0, 0, part->width(), part->height(), shot.dc(), rc.left, rc.top, SRCCOPY);
        return part;
    };

    auto shot = Shot();
    for (const ToolPictures& tool : kTools) {
        SCOPED_TRACE(tool.id);
        CIconButton* button = Button(tool.id);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->IsHot());
        auto away = ReadBitmapResource(tool.away);
        ASSERT_NE(away, nullptr);
        const RECT rc = RectInParent(Item(tool.id));
        // The check means something only where black pixels lie over a background that is not black.
        int through = 0;
        const int left = (rc.right - rc.left - away->width()) / 2;
        const int top = (rc.bottom - rc.top - away->height()) / 2;
        for (int y = std::max(0, top); y < std::min<int>(rc.bottom - rc.top, top + away->height()); y++)
            for (int x = std::max(0, left); x < std::min<int>(rc.right - rc.left, left + away->width()); x++)
                if (away->Pixel(x - left, y - top) == kToolAwayKey && background->Pixel(rc.left + x, rc.top + y) != 0)
                    through++;
        EXPECT_GT(through, 100);
        EXPECT_TRUE(Shows(*cut(*shot, rc), rc.right - rc.left, rc.bottom - rc.top,
                          expectation(rc, *away, kToolAwayKey, Edge::None)));
    }

    // Hot under the real cursor.
    const ToolPictures& tool = kTools[0];
    HWND hWnd = Item(tool.id);
    CIconButton* button = Button(tool.id);
    const POINT at = ScreenCentre(hWnd);
    ASSERT_TRUE(PlaceCursor(at.x, at.y));
    ASSERT_EQ(::WindowFromPoint(at), hWnd);
    POINT client = at;
    ::ScreenToClient(hWnd, &client);
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    EXPECT_TRUE(button->IsHot());
    auto hot = ReadBitmapResource(tool.hot);
    ASSERT_NE(hot, nullptr);
    const RECT rc = RectInParent(hWnd);
    shot = Shot();
    EXPECT_TRUE(Shows(*cut(*shot, rc), rc.right - rc.left, rc.bottom - rc.top,
                      expectation(rc, *hot, kToolHotKey, Edge::Raised)));

    // The mouse leaves: normal picture, no edge. (Shot() pumps nothing, so no mouse message of
    // the real cursor, still over the button, comes in between.)
    ::SendMessageA(hWnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button->IsHot());
    auto away = ReadBitmapResource(tool.away);
    shot = Shot();
    EXPECT_TRUE(Shows(*cut(*shot, rc), rc.right - rc.left, rc.bottom - rc.top,
                      expectation(rc, *away, kToolAwayKey, Edge::None)));
    PlaceCursor(kAway.x, kAway.y);
}

// Next lightens its face by 30 while hot (cut where a channel reaches 255) and writes in green.
TEST_F(ToolbarTest, NextLightensItsFaceWhileHot)
{
    Raise();
    HWND hWnd = Item(IDC_NEXT);
    CIconButton* next = Button(IDC_NEXT);
    ASSERT_NE(next, nullptr);

    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const int room = 255 - std::max({GetRValue(face), GetGValue(face), GetBValue(face)});
    const int lift = std::min(30, room);
    const COLORREF lighter = RGB(GetRValue(face) + lift, GetGValue(face) + lift, GetBValue(face) + lift);
    COLORREF cr = 0;
    EXPECT_EQ(next->GetColor(ICONBUTTON_COLOR_BK_IN, &cr), ICONBUTTON_OK);
    EXPECT_EQ(cr, lighter) << ColourText(cr);
    EXPECT_EQ(next->GetColor(ICONBUTTON_COLOR_FG_IN, &cr), ICONBUTTON_OK);
    EXPECT_EQ(cr, 0x00008000u);
    for (BYTE slot : {ICONBUTTON_COLOR_BK_OUT, ICONBUTTON_COLOR_BK_FOCUS}) {
        EXPECT_EQ(next->GetColor(slot, &cr), ICONBUTTON_OK);
        EXPECT_EQ(cr, face) << int(slot);
    }
    EXPECT_EQ(next->GetImagePlacement(), ICONBUTTON_ALIGN_RIGHT);

    // A band along the bottom, clear of the edge and of the 32-pixel icon wherever it sits.
    const RECT rc = RectInParent(hWnd);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    ASSERT_GE(h, 40);
    auto band = [&](COLORREF want) {
        auto shot = Shot();
        int wrong = 0;
        for (int y = h - 4; y < h - 1; y++)
            for (int x = 2; x < w - 2; x++)
                wrong += shot->Pixel(rc.left + x, rc.top + y) != want;
        return wrong;
    };
    EXPECT_EQ(band(face), 0);

    const POINT at = ScreenCentre(hWnd);
    ASSERT_TRUE(PlaceCursor(at.x, at.y));
    ASSERT_EQ(::WindowFromPoint(at), hWnd);
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(w / 2, h / 2));
    EXPECT_TRUE(next->IsHot());
    EXPECT_EQ(band(lighter), 0);
}

// Which picture shows: the normal one at rest; the hot one while pressed (moved by the press
// shift) or hot; a check box keeps its normal picture under the mouse and shows the hot one
// while ticked, unmoved; a button with only a hot picture always shows that.
TEST_F(IconButtonAlone, PictureFollowsHotPressedAndTickedStates)
{
    CIconButton push;
    Add(push, 201, BS_PUSHBUTTON, 10, 10, kButtonW, kButtonH);
    PaintFaces(push);
    ASSERT_EQ(push.SetBitmapPair(MakePicture(kPictureW, kPictureH, kRing, kHotKey, kHotInk), kHotKey,
                                 MakePicture(kPictureW, kPictureH, kRing, kNormalKey, kNormalInk), kNormalKey),
              ICONBUTTON_OK);
    EXPECT_EQ(push.GetPressShift().x, 1);
    EXPECT_EQ(push.GetPressShift().y, 1);

    EXPECT_TRUE(Shows(*Shot(push), kButtonW, kButtonH, Look(kFaceOut, InkAt(0, 0), kNormalInk, Edge::None)));

    ::SendMessageA(push, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Shows(*Shot(push), kButtonW, kButtonH, Look(kFaceIn, InkAt(1, 1), kHotInk, Edge::Sunken)));
    EXPECT_EQ(push.SetPressShift(ICONBUTTON_PRESS_DOWN), ICONBUTTON_OK);
    EXPECT_EQ(push.GetPressShift().x, 0);
    EXPECT_EQ(push.GetPressShift().y, 2);
    EXPECT_TRUE(Shows(*Shot(push), kButtonW, kButtonH, Look(kFaceIn, InkAt(0, 2), kHotInk, Edge::Sunken)));
    ::SendMessageA(push, BM_SETSTATE, FALSE, 0);

    Hover(push);
    EXPECT_TRUE(push.IsHot());
    EXPECT_TRUE(Shows(*Shot(push), kButtonW, kButtonH, Look(kFaceIn, InkAt(0, 0), kHotInk, Edge::Raised)));
    ::SendMessageA(push, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(push.IsHot());
    PlaceCursor(kAway.x, kAway.y);

    CIconButton check;
    Add(check, 202, BS_AUTOCHECKBOX, 80, 10, kButtonW, kButtonH);
    ASSERT_TRUE(check.IsCheckMode());
    PaintFaces(check);
    ASSERT_EQ(check.SetBitmapPair(MakePicture(kPictureW, kPictureH, kRing, kHotKey, kHotInk), kHotKey,
                                  MakePicture(kPictureW, kPictureH, kRing, kNormalKey, kNormalInk), kNormalKey),
              ICONBUTTON_OK);
    Hover(check);
    EXPECT_TRUE(check.IsHot());
    EXPECT_TRUE(Shows(*Shot(check), kButtonW, kButtonH, Look(kFaceIn, InkAt(0, 0), kNormalInk, Edge::Raised)));
    ::SendMessageA(check, WM_MOUSELEAVE, 0, 0);
    PlaceCursor(kAway.x, kAway.y);
    ::SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(Shows(*Shot(check), kButtonW, kButtonH, Look(kFaceIn, InkAt(0, 0), kHotInk, Edge::Sunken)));

    CIconButton hotOnly;
    Add(hotOnly, 203, BS_PUSHBUTTON, 150, 10, kButtonW, kButtonH);
    PaintFaces(hotOnly);
    ASSERT_EQ(hotOnly.SetBitmapPair(MakePicture(kPictureW, kPictureH, kRing, kHotKey, kHotInk), kHotKey),
              ICONBUTTON_OK);
    EXPECT_TRUE(Shows(*Shot(hotOnly), kButtonW, kButtonH, Look(kFaceOut, InkAt(0, 0), kHotInk, Edge::None)));
    ::SendMessageA(hotOnly, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Shows(*Shot(hotOnly), kButtonW, kButtonH, Look(kFaceIn, InkAt(1, 1), kHotInk, Edge::Sunken)));
}

// Disabled, a picture is embossed: its ink in the shadow colour over a highlight copy one pixel
// down and right, none of its own colour; a caption is written the same way, twice.
TEST_F(IconButtonAlone, DisabledLookIsEmbossed)
{
    CIconButton pictured;
    Add(pictured, 211, BS_PUSHBUTTON, 10, 10, kButtonW, kButtonH);
    PaintFaces(pictured);
    ASSERT_EQ(pictured.SetBitmapPair(MakePicture(kPictureW, kPictureH, kRing, kHotKey, kHotInk), kHotKey,
                                     MakePicture(kPictureW, kPictureH, kRing, kNormalKey, kNormalInk), kNormalKey),
              ICONBUTTON_OK);
    ::EnableWindow(pictured, FALSE);
    const COLORREF light = ::GetSysColor(COLOR_3DHILIGHT);
    const COLORREF dark = ::GetSysColor(COLOR_3DSHADOW);
    const RECT ink = InkAt(0, 0);
    RECT inkBelow = ink;
    ::OffsetRect(&inkBelow, 1, 1);
    EXPECT_TRUE(Shows(*Shot(pictured), kButtonW, kButtonH, [&](int x, int y) {
        if (Inside(ink, x, y))
            return dark;
        return Inside(inkBelow, x, y) ? light : kFaceOut;
    }));

    CIconButton captioned;
    Add(captioned, 212, BS_PUSHBUTTON, 10, 60, 80, 24, "Ab");
    PaintFaces(captioned);
    ::EnableWindow(captioned, FALSE);
    // The same caption, drawn here: centred, highlight one pixel down and right, shadow on top.
    Dib want(80, 24);
    want.Fill(kFaceOut);
    {
        gdi::SelectGuard font(want.dc(), reinterpret_cast<HFONT>(::SendMessageA(captioned, WM_GETFONT, 0, 0)));
        SIZE size = {};
        ::GetTextExtentPoint32A(want.dc(), "Ab", 2, &size);
        TEXTMETRICA tm = {};
        ::GetTextMetricsA(want.dc(), &tm);
        const int x = (80 - size.cx) / 2;
        const int y = (24 - tm.tmHeight) / 2;
        ::SetBkMode(want.dc(), TRANSPARENT);
        ::SetTextColor(want.dc(), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::TextOutA(want.dc(), x + 1, y + 1, "Ab", 2);
        ::SetTextColor(want.dc(), ::GetSysColor(COLOR_BTNSHADOW));
        ::TextOutA(want.dc(), x, y, "Ab", 2);
    }
    int shadowed = 0;
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 80; x++)
            shadowed += want.Pixel(x, y) == ::GetSysColor(COLOR_BTNSHADOW);
    EXPECT_GT(shadowed, 10);
    EXPECT_TRUE(Shows(*Shot(captioned), 80, 24, [&](int x, int y) { return want.Pixel(x, y); }));
}

// The colour setters: a shade moves all three channels by one offset, cut where the first channel
// reaches its end; bad slots, placements, shades, press styles and images are refused by code.
TEST_F(IconButtonAlone, ColourSettersShadeAndRefuse)
{
    CIconButton button;
    Add(button, 221, BS_PUSHBUTTON, 10, 10, kButtonW, kButtonH);
    struct Shade {
        COLORREF from;
        short by;
        COLORREF to;
    };
    const Shade shades[] = {
        {RGB(10, 100, 225), 30, RGB(40, 130, 255)},   {RGB(240, 240, 240), 30, RGB(255, 255, 255)},
        {RGB(200, 150, 100), -30, RGB(170, 120, 70)}, {RGB(100, 50, 20), -30, RGB(80, 30, 0)},
        {RGB(0, 0, 0), -5, RGB(0, 0, 0)},             {RGB(1, 2, 3), 255, RGB(253, 254, 255)},
    };
    for (const Shade& s : shades) {
        SCOPED_TRACE(ColourText(s.from) + " by " + std::to_string(s.by));
        ASSERT_EQ(button.SetColor(ICONBUTTON_COLOR_BK_OUT, s.from), ICONBUTTON_OK);
        EXPECT_EQ(button.ShadeColor(ICONBUTTON_COLOR_BK_OUT, s.by), ICONBUTTON_OK);
        COLORREF cr = 0;
        EXPECT_EQ(button.GetColor(ICONBUTTON_COLOR_BK_OUT, &cr), ICONBUTTON_OK);
        EXPECT_EQ(cr, s.to) << ColourText(cr);
    }
    // The face shows it: grey 240 lifted by 30 is white.
    button.SetColor(ICONBUTTON_COLOR_BK_OUT, RGB(240, 240, 240));
    button.SetColor(ICONBUTTON_COLOR_BK_FOCUS, RGB(240, 240, 240));
    button.ShadeColor(ICONBUTTON_COLOR_BK_OUT, 30);
    EXPECT_TRUE(Shows(*Shot(button), kButtonW, kButtonH, [](int, int) { return RGB(255, 255, 255); }));

    const COLORREF kept = RGB(12, 34, 56);
    button.SetColor(ICONBUTTON_COLOR_FG_OUT, kept);
    EXPECT_EQ(button.ShadeColor(ICONBUTTON_COLOR_FG_OUT, 256), ICONBUTTON_BAD_SHADE);
    EXPECT_EQ(button.ShadeColor(ICONBUTTON_COLOR_FG_OUT, -256), ICONBUTTON_BAD_SHADE);
    COLORREF cr = 0;
    button.GetColor(ICONBUTTON_COLOR_FG_OUT, &cr);
    EXPECT_EQ(cr, kept);
    EXPECT_EQ(button.SetColor(6, kept), ICONBUTTON_BAD_COLOR_INDEX);
    EXPECT_EQ(button.ShadeColor(6, 10), ICONBUTTON_BAD_COLOR_INDEX);
    EXPECT_EQ(button.GetColor(6, &cr), ICONBUTTON_BAD_COLOR_INDEX);
    EXPECT_EQ(button.GetColor(ICONBUTTON_COLOR_FG_OUT, nullptr), ICONBUTTON_BAD_COLOR_INDEX);
    EXPECT_EQ(button.SetColor(5, kept), ICONBUTTON_OK);

    EXPECT_EQ(button.SetAlign(4), ICONBUTTON_BAD_ALIGN);
    EXPECT_EQ(button.GetImagePlacement(), ICONBUTTON_ALIGN_LEFT);
    EXPECT_EQ(button.SetAlign(3), ICONBUTTON_OK);
    EXPECT_EQ(button.GetImagePlacement(), ICONBUTTON_ALIGN_NONE);
    EXPECT_EQ(button.SetPressShift(2), ICONBUTTON_BAD_PRESS_STYLE);
    EXPECT_EQ(button.SetPressShift(-1), ICONBUTTON_BAD_PRESS_STYLE);
    EXPECT_EQ(button.GetPressShift().x, 1);
    EXPECT_EQ(button.GetPressShift().y, 1);

    EXPECT_EQ(button.SetIcon(static_cast<HICON>(nullptr)), ICONBUTTON_BAD_IMAGE);
    // Not a bitmap: refused, and (owned from the call on) freed.
    EXPECT_EQ(button.SetBitmapPair(reinterpret_cast<HBITMAP>(::CreateSolidBrush(kept)), 0), ICONBUTTON_BAD_IMAGE);
    EXPECT_EQ(button.SetIcon(IDI_NEXT_HOT, IDI_NEXT), ICONBUTTON_OK);
}

// Bound to a standard button, the object keeps the type (a default push button is the default,
// the check boxes become check mode), makes the window owner-drawn and answers the dialog manager
// and the check messages accordingly.
TEST_F(IconButtonAlone, TakesOverTheStyleOfTheButton)
{
    struct Case {
        DWORD style;
        BOOL isDefault;
        BOOL checkMode;
    };
    const Case cases[] = {
        {BS_PUSHBUTTON, FALSE, FALSE}, {BS_DEFPUSHBUTTON, TRUE, FALSE}, {BS_CHECKBOX, FALSE, TRUE},
        {BS_AUTOCHECKBOX, FALSE, TRUE}, {BS_3STATE, FALSE, TRUE},       {BS_AUTO3STATE, FALSE, TRUE},
    };
    int id = 230;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        CIconButton button;
        Add(button, ++id, c.style, 10, 10, kButtonW, kButtonH);
        EXPECT_EQ(button.IsDefault(), c.isDefault);
        EXPECT_EQ(button.IsCheckMode(), c.checkMode);
        if (c.style == BS_DEFPUSHBUTTON) {
            EXPECT_EQ(button.GetButtonType(), UINT(BS_PUSHBUTTON));
        }
        EXPECT_EQ(::GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);

        const LRESULT code = ::SendMessageA(button, WM_GETDLGCODE, 0, 0);
        EXPECT_EQ(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON),
                  c.isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        EXPECT_TRUE(code & DLGC_BUTTON);

        // Only a check box keeps a tick; indeterminate counts as ticked.
        ::SendMessageA(button, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(::SendMessageA(button, BM_GETCHECK, 0, 0), c.checkMode ? 1 : 0);
        ::SendMessageA(button, BM_SETCHECK, BST_UNCHECKED, 0);
        EXPECT_EQ(::SendMessageA(button, BM_GETCHECK, 0, 0), 0);
        ::SendMessageA(button, BM_SETCHECK, BST_INDETERMINATE, 0);
        EXPECT_EQ(::SendMessageA(button, BM_GETCHECK, 0, 0), c.checkMode ? 1 : 0);
    }

    // The dialog manager moves the default on with BM_SETSTYLE; the window stays owner-drawn.
    CIconButton push;
    Add(push, 240, BS_PUSHBUTTON, 10, 10, kButtonW, kButtonH);
    ::SendMessageA(push, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    EXPECT_TRUE(push.IsDefault());
    EXPECT_EQ(::SendMessageA(push, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON),
              DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(::GetWindowLongA(push, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    ::SendMessageA(push, BM_SETSTYLE, BS_PUSHBUTTON, FALSE);
    EXPECT_FALSE(push.IsDefault());
    EXPECT_EQ(::GetWindowLongA(push, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

// A double click arrives as a second press: a push button reports two clicks (and no double
// click), a check box toggles twice. The messages go through the dialog's own loop.
TEST_F(IconButtonAlone, DoubleClickActsAsTwoClicks)
{
    CIconButton push;
    Add(push, 251, BS_PUSHBUTTON, 10, 10, kButtonW, kButtonH);
    CIconButton check;
    Add(check, 252, BS_AUTOCHECKBOX, 80, 10, kButtonW, kButtonH);
    const LPARAM at = MAKELPARAM(kButtonW / 2, kButtonH / 2);
    auto click = [&](HWND hWnd, UINT down) {
        ::PostMessageA(hWnd, down, MK_LBUTTON, at);
        ::PostMessageA(hWnd, WM_LBUTTONUP, 0, at);
        Pump(50);
    };

    click(push, WM_LBUTTONDOWN);
    click(push, WM_LBUTTONDBLCLK);
    EXPECT_EQ(backdrop->clicks, (std::vector<int>{251, 251}));
    EXPECT_TRUE(backdrop->doubleClicks.empty());

    backdrop->clicks.clear();
    EXPECT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), 0);
    click(check, WM_LBUTTONDOWN);
    EXPECT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), 1);
    click(check, WM_LBUTTONDBLCLK);
    EXPECT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(backdrop->clicks, (std::vector<int>{252, 252}));
    EXPECT_TRUE(backdrop->doubleClicks.empty());
}
