// The transparent label and check box: only their letters and the box itself cover the main
// window's background picture, a shorter text leaves nothing of a longer one behind, and their
// colour requests come back hollow.
#include "Dib.h"
#include "MainWindowFixture.h"
#include "controls/TransparentButton.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// The labels keep the DC's own text colour.
constexpr COLORREF kLabelInk = RGB(0, 0, 0);

bool Inside(const RECT& rc, int x, int y)
{
    return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
}

class TransparentTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ::SetWindowPos(dlg->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        HBITMAP hBitmap = static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr),
                                                            MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0,
                                                            LR_CREATEDIBSECTION));
        ASSERT_NE(hBitmap, nullptr);
        gdi::Bitmap picture(hBitmap);
        BITMAP bm = {};
        ::GetObjectA(hBitmap, sizeof(bm), &bm);
        background = std::make_unique<Dib>(bm.bmWidth, bm.bmHeight);
        gdi::MemoryDC src(nullptr);
        gdi::SelectGuard select(src, hBitmap);
        ::BitBlt(background->dc(), 0, 0, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
    }

    std::unique_ptr<Dib> Shot()
    {
        ::RedrawWindow(dlg->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(50);
        RECT client;
        ::GetClientRect(dlg->m_hWnd, &client);
        auto dib = std::make_unique<Dib>(client.right, client.bottom);
        CaptureClient(dlg->m_hWnd, *dib);
        return dib;
    }

    // Pixels of rc that are neither the background nor ink; skip is left out. Counts the ink in ink.
    std::string Stray(const Dib& shot, const RECT& rc, COLORREF crInk, int& ink, const RECT& skip = {})
    {
        int stray = 0;
        std::string first;
        ink = 0;
        for (int y = rc.top; y < rc.bottom; y++) {
            for (int x = rc.left; x < rc.right; x++) {
                if (Inside(skip, x, y))
                    continue;
                const COLORREF got = shot.Pixel(x, y);
                if (got == crInk) {
                    ink++;
                    continue;
                }
                if (got != background->Pixel(x, y) && ++stray == 1)
                    first = std::to_string(x) + "," + std::to_string(y) + ": " + ColourText(got) + " not " +
                            ColourText(background->Pixel(x, y));
            }
        }
        return std::to_string(stray) + (stray ? " stray, first at " + first : "");
    }

    std::unique_ptr<Dib> background;
};

} // namespace

// Around " Select All" and its box only letters and the box cover the picture.
TEST_F(TransparentTest, SelectAllLabelAndBoxLeaveTheBackgroundAlone)
{
    auto shot = Shot();
    const RECT box = RectInParent(Item(IDC_SELECT_ALL));
    const RECT label = RectInParent(Item(IDC_SELECT_ALL_LABEL));
    RECT around;
    ::UnionRect(&around, &box, &label);
    ::InflateRect(&around, 4, 4);
    int ink = 0;
    EXPECT_EQ(Stray(*shot, around, kLabelInk, ink, box), "0");
    EXPECT_GT(ink, 40) << "the label's letters";
}

// The check box alone over the picture, with a caption: right of its box only letters, in the
// window text colour, ticked or not.
TEST_F(TransparentTest, CheckBoxPaintsOnlyItsBoxAndLetters)
{
    CTransparentButton check;
    HWND hWnd = ::CreateWindowExA(0, "BUTTON", "Tick here", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 120, 440, 120,
                                  18, dlg->m_hWnd, reinterpret_cast<HMENU>(4200), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hWnd, nullptr);
    ::SendMessageA(hWnd, WM_SETFONT, ::SendMessageA(dlg->m_hWnd, WM_GETFONT, 0, 0), FALSE);
    ASSERT_TRUE(check.SubclassWindow(hWnd));
    RECT client;
    ::GetClientRect(dlg->m_hWnd, &client);
    ASSERT_LE(440 + 18, client.bottom);

    // Right of the box, whose square is never 16 pixels wide.
    const RECT rc = RectInParent(hWnd);
    const RECT letters = {rc.left + 16, rc.top, rc.right, rc.bottom};
    const COLORREF crText = ::GetSysColor(COLOR_WINDOWTEXT);
    int ink = 0;
    EXPECT_EQ(Stray(*Shot(), letters, crText, ink), "0");
    EXPECT_GT(ink, 20);
    ::SendMessageA(hWnd, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(Stray(*Shot(), letters, crText, ink), "0");
    EXPECT_GT(ink, 20);
}

// A long instruction, then a short one: the label shows the short one and nothing else.
TEST_F(TransparentTest, ShorterInstructionLeavesNoRemains)
{
    HWND hWnd = Item(IDC_INSTRUCTIONS);
    const RECT rc = RectInParent(hWnd);
    SIZE shortSize = {};
    {
        gdi::WindowDC dc(hWnd);
        gdi::SelectGuard font(dc, reinterpret_cast<HFONT>(::SendMessageA(hWnd, WM_GETFONT, 0, 0)));
        ::GetTextExtentPoint32A(dc, "Hi", 2, &shortSize);
    }
    ASSERT_GT(shortSize.cx, 0);
    const RECT past = {rc.left + shortSize.cx + 1, rc.top, rc.right, rc.bottom};

    ::SetWindowTextA(hWnd, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW\r\nMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM");
    Pump(100);
    RECT client;
    ::GetClientRect(dlg->m_hWnd, &client);
    Dib before(client.right, client.bottom);
    CaptureClient(dlg->m_hWnd, before);
    int ink = 0;
    Stray(before, past, kLabelInk, ink);
    ASSERT_GT(ink, 200) << "the long text reaches past the short one";

    ::SetWindowTextA(hWnd, "Hi");
    Pump(100);
    Dib after(client.right, client.bottom);
    CaptureClient(dlg->m_hWnd, after);
    EXPECT_EQ(Stray(after, past, kLabelInk, ink), "0");
    EXPECT_EQ(ink, 0) << "nothing of the long text";
    const RECT shortText = {rc.left, rc.top, rc.left + shortSize.cx + 1, rc.bottom};
    EXPECT_EQ(Stray(after, shortText, kLabelInk, ink), "0");
    EXPECT_GT(ink, 5) << "the short text is shown";
}

// Colour requests of the bound label and check box: the hollow brush, a transparent background,
// and for the check box the window text colour.
TEST_F(TransparentTest, ColourRequestsComeBackHollow)
{
    struct Request {
        int id;
        UINT message;
    };
    const Request requests[] = {
        {IDC_SELECT_ALL, WM_CTLCOLORBTN},
        {IDC_SELECT_ALL, WM_CTLCOLORSTATIC},
        {IDC_SELECT_ALL_LABEL, WM_CTLCOLORSTATIC},
        {IDC_INSTRUCTIONS, WM_CTLCOLORSTATIC},
    };
    for (const Request& r : requests) {
        SCOPED_TRACE(std::to_string(r.id) + " " + std::to_string(r.message));
        HWND hWnd = Item(r.id);
        gdi::WindowDC dc(hWnd);
        ::SetBkMode(dc, OPAQUE);
        ::SetTextColor(dc, RGB(200, 30, 30));
        const LRESULT brush = ::SendMessageA(dlg->m_hWnd, r.message, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                                             reinterpret_cast<LPARAM>(hWnd));
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
        if (r.id == IDC_SELECT_ALL) {
            EXPECT_EQ(::GetTextColor(dc), ::GetSysColor(COLOR_WINDOWTEXT));
        }
    }
}

// The program's manifest asks for common controls 6, whose themes would draw their own box (and,
// on Windows 7, their own text colour). The transparent check box keeps the classic 13 x 13 box
// that DrawFrameControl draws, ticked and unticked. Wine 8 refuses SetWindowTheme's empty names
// with ERROR_INVALID_NAME and keeps the theme; a blank name works on both.
TEST_F(TransparentTest, CheckBoxKeepsTheClassicBoxUnderVisualStyles)
{
    CTransparentButton check;
    HWND hWnd = ::CreateWindowExA(0, "BUTTON", "Tick here", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 120, 440, 120,
                                  18, dlg->m_hWnd, reinterpret_cast<HMENU>(4201), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hWnd, nullptr);
    ASSERT_TRUE(check.SubclassWindow(hWnd));
    const RECT rc = RectInParent(hWnd);
    for (const bool ticked : {false, true}) {
        SCOPED_TRACE(ticked ? "ticked" : "unticked");
        ::SendMessageA(hWnd, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
        constexpr int kBox = 13;
        Dib classic(kBox, kBox);
        RECT box = {0, 0, kBox, kBox};
        ::DrawFrameControl(classic.dc(), &box, DFC_BUTTON, DFCS_BUTTONCHECK | (ticked ? DFCS_CHECKED : 0));
        auto shot = Shot();
        bool found = false;
        for (int y = rc.top; y + kBox <= rc.bottom && !found; y++) {
            for (int x = rc.left; x + kBox <= rc.left + 20 && !found; x++) {
                bool same = true;
                for (int j = 0; j < kBox && same; j++)
                    for (int i = 0; i < kBox && same; i++)
                        same = shot->Pixel(x + i, y + j) == classic.Pixel(i, j);
                found = same;
            }
        }
        EXPECT_TRUE(found) << "no classic check box in the control's first 20 pixels";
    }
}
